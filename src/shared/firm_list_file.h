// The firm list file of a tree (SPISFIRM.DAT unless renamed) as a shared record file,
// kept in order of name, directory and note so that a firm is inserted where the
// accounting program expects it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "shared/firm_record.h"
#include "tui/shared_file.h"

namespace zq::shared {

inline constexpr std::size_t kFirmKeyLength = 66;

// Name (31 characters), a blank, directory (8), a blank, note (25), each padded or
// cut. Length bytes that claim more than their field holds are taken as the field's
// size, and nothing is read past the record, however short the span.
std::string FirmKeyText(std::span<const std::uint8_t> record);

class FirmListFile : public tui::SharedFile {
 public:
  FirmListFile(tui::SharedFiles& shared, std::string_view name)
      : SharedFile(shared, name, kFirmRecordSize) {}

  std::string KeyText(std::span<const std::uint8_t> record) override { return FirmKeyText(record); }
};

}  // namespace zq::shared
