// Four of the firm's own files: the firm record, the firm text data FIRMATXT.INI (which
// learns where the previous year's data of the firm lies), the advance payments of
// 2020 and the money-transfer settings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "convert/copy.h"
#include "shared/ini.h"
#include "shared/record.h"
#include "tui/screen.h"
#include "tui/shared_file.h"

namespace zq::convert {

inline constexpr std::string_view kFirmAddressFileName = "FIRMA_A8.REK";
inline constexpr std::string_view kAdvancePaymentsFileName = "2020ZAL.REK";
inline constexpr std::string_view kTransferSettingsFileName = "BAZA_PP8.INI";
inline constexpr std::string_view kFirmTextDataFileName = "FIRMATXT.INI";

// The address layout: the firm record, and embedded in the person, family and tax-form
// records. Field names are the keys of the address sections of FIRMATXT.INI.
inline constexpr shared::Field kAddressFields[] = {
    {"POWIAT", 0x00, 19, shared::Kind::Text},      {"WOJEWODZTWO", 0x13, 23, shared::Kind::Text},
    {"GMINA", 0x2A, 27, shared::Kind::Text},       {"ULICA", 0x45, 31, shared::Kind::Text},
    {"DOM", 0x64, 8, shared::Kind::Text},          {"LOKAL", 0x6C, 8, shared::Kind::Text},
    {"MIEJSCOWOSC", 0x74, 27, shared::Kind::Text}, {"KOD", 0x8F, 7, shared::Kind::Text},
    {"POCZTA", 0x96, 27, shared::Kind::Text},      {"SKRYTKA", 0xB1, 6, shared::Kind::Text},
    {"TELEFON", 0xB7, 13, shared::Kind::Text},     {"KRAJ", 0xC4, 13, shared::Kind::Text},
    {"KODUE", 0xD1, 15, shared::Kind::Text},
};
inline constexpr std::size_t kAddressRecordSize = 224;
inline constexpr shared::Layout kAddressRecord{"FIRMA_A8.REK", kAddressRecordSize, kAddressFields};
static_assert(kAddressRecord.Problem().empty());

// Advance payments of 2020: a text of 70 per month; every other byte is carried.
inline constexpr shared::Field kAdvancePaymentFields[] = {
    {"MonthText", 0x0E, 71, shared::Kind::Text, 12},
};
inline constexpr std::size_t kAdvancePaymentRecordSize = 1024;
inline constexpr shared::Layout kAdvancePaymentRecord{"2020ZAL.REK", kAdvancePaymentRecordSize,
                                                      kAdvancePaymentFields};
static_assert(kAdvancePaymentRecord.Problem().empty());

// A Record converter: the firm record byte for byte, only an over-long length byte
// lowered to its field.
bool ConvertFirmAddress(std::span<const std::uint8_t> in, std::span<std::uint8_t> out);
// A Record filter: every byte carried but over-long length bytes of the twelve monthly
// texts; always kept.
bool FilterAdvancePayment(std::span<std::uint8_t> record);

// Each takes the firm directories as tree root + firm directory without a trailing
// backslash, and reports on the copier's progress log like every copy.
struct FirmDataDirs {
  std::string_view source;
  std::string_view target;
};

// FIRMA_A8.REK through ConvertRecords, 224 -> 224.
void ConvertFirmRecord(Copier& copier, const FirmDataDirs& dirs);
// 2020ZAL.REK through CopyRecords with FilterAdvancePayment, only when the annual
// settings came from the Source tree's 2020 file; otherwise nothing is done.
void CopyAdvancePayments(Copier& copier, const FirmDataDirs& dirs, bool annualFrom2020);
// BAZA_PP8.INI line by line.
void CopyTransferSettings(Copier& copier, const FirmDataDirs& dirs);

enum class FirmTextOutcome {
  kConverted,
  // The Source file exists and cannot be read, or the Target cannot be created, locked
  // or written. The error box has been shown; the caller ends the firm's run.
  kReadFailed,
  kWriteFailed,
};

struct FirmTextResult {
  FirmTextOutcome outcome = FirmTextOutcome::kConverted;
  shared::FileStatus status;  // of the step that failed
  bool Ok() const { return outcome == FirmTextOutcome::kConverted; }
};

// Reads the Source FIRMATXT.INI with the year 2020 (a missing file gives the defaults),
// records `previousYearDir` (AnnualResult::sourceFirmDir, cut to 40) under [DOR]
// PATH2019, and writes the whole record into the Target FIRMATXT.INI under its lock.
// Earlier-year keys PATH2019 .. PATH2013 are carried, so the list moves on by a year.
// The lock is the shared record files' text-file lock (none with sharing off). A
// failure shows the error box "Błąd odczytu danych firmy" and is given back.
FirmTextResult ConvertFirmTextData(tui::SharedFiles& shared, const FirmDataDirs& dirs,
                                   std::string_view previousYearDir);

}  // namespace zq::convert
