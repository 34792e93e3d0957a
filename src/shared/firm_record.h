// The firm record of the firm list file: 103-byte records, no header, one per firm.
// The program reads the name, the data directory and the note; the rest is the
// accounting program's own firm data, carried byte for byte.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "shared/record.h"

namespace zq::shared {

inline constexpr std::size_t kFirmRecordSize = 103;

inline constexpr Field kFirmRecordFields[] = {
    {"Name", 0, 32, Kind::Text},        // up to 31 characters
    {"Directory", 32, 9, Kind::Text},   // up to 8: the data directory under a tree root
    {"Info", 41, 26, Kind::Text},       // up to 25
    {"FirmData", 67, 36, Kind::Bytes},  // not interpreted here
};
inline constexpr Layout kFirmRecord{"SPISFIRM.DAT", kFirmRecordSize, kFirmRecordFields};
static_assert(kFirmRecord.Problem().empty());

inline constexpr TextField kFirmName = kFirmRecord.Text("Name");
inline constexpr TextField kFirmDirectory = kFirmRecord.Text("Directory");
inline constexpr TextField kFirmInfo = kFirmRecord.Text("Info");
inline constexpr BytesField kFirmData = kFirmRecord.Bytes("FirmData");

using FirmRecordBytes = std::array<std::uint8_t, kFirmRecordSize>;

// The readable part of a firm record, code page 852.
struct FirmRecordText {
  std::string name;
  std::string directory;
  std::string info;
};

FirmRecordText ReadFirmRecord(RecordView record);

// A record with the texts cut to their fields, clean tails, and the firm data given
// (cut or zero-filled to 36 bytes).
FirmRecordBytes MakeFirmRecord(std::string_view name, std::string_view directory,
                               std::string_view info, std::string_view firmData = {});

}  // namespace zq::shared
