// The firm's annual settings for 2020: 2020_ROK.REK in the Target firm directory, built
// from the closed year's 2019_ROK.REK (standing settings carried, counters restarted,
// the closing state of 2019 as the opening state of 2020) or from a 2020_ROK.REK that
// the old program version already began (carried nearly unchanged). Runs once per firm,
// before every other file of the firm, and gives back the per-firm values that later
// conversions read.
//
// The three 512-byte records are described below as layouts; how each output record is
// made from its source record is a mapping table per source year (annual.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "convert/copy.h"
#include "shared/record.h"
#include "tui/screen.h"

namespace zq::convert {

inline constexpr std::string_view kAnnual2019FileName = "2019_ROK.REK";
inline constexpr std::string_view kAnnual2020FileName = "2020_ROK.REK";
inline constexpr std::size_t kAnnualRecordSize = 512;
inline constexpr int kAnnualRecordCount = 3;
// Approval state of a year whose twelve months are all approved.
inline constexpr std::uint8_t kAllMonthsApproved = 13;
// Longest previous-year directory the firm text data can record.
inline constexpr std::size_t kSourceFirmDirLength = 40;

// Record 1: the firm's year settings. Fields named only by their offset are settings
// whose meaning this tool does not need; they are carried.
inline constexpr shared::Field kAnnualYearFields[] = {
    {"Tag", 0x00, 2, shared::Kind::Bytes},
    {"Month", 0x02, 1, shared::Kind::Byte},
    {"Approval", 0x03, 1, shared::Kind::Byte},  // kAllMonthsApproved: December closed
    {"Format", 0x04, 1, shared::Kind::Byte},
    {"Setting05", 0x05, 2, shared::Kind::Word},
    {"Setting07", 0x07, 2, shared::Kind::Word},
    {"Setting0C", 0x0C, 1, shared::Kind::Byte},
    {"Setting0D", 0x0D, 1, shared::Kind::Byte},
    {"Setting0E", 0x0E, 2, shared::Kind::Word},
    // One 8-byte entry per month: two counters and four spare bytes.
    {"MonthCounterA", 0x10, 2, shared::Kind::Word, 12, 8},
    {"MonthCounterB", 0x12, 2, shared::Kind::Word, 12, 8},
    {"MonthSpare", 0x14, 4, shared::Kind::Bytes, 12, 8},
    {"Setting70", 0x70, 2, shared::Kind::Word},
    {"Setting72", 0x72, 1, shared::Kind::Byte},
    {"Setting73", 0x73, 1, shared::Kind::Byte},
    {"Setting74", 0x74, 1, shared::Kind::Byte},
    {"VatProportional", 0x75, 1, shared::Kind::Byte},    // non-zero: VAT settled in proportion
    {"VatProportion", 0x76, 2, shared::Kind::Word},      // of the year, percent
    {"NextVatProportion", 0x78, 2, shared::Kind::Word},  // assumed for the next year
    {"Setting7A", 0x7A, 1, shared::Kind::Byte},
    {"Setting7B", 0x7B, 4, shared::Kind::Int32},
    {"Setting7F", 0x7F, 2, shared::Kind::Word},
    {"Format83", 0x83, 1, shared::Kind::Byte},
    {"Setting85", 0x85, 1, shared::Kind::Byte},
    {"Setting87", 0x87, 2, shared::Kind::Word},
    {"Setting89", 0x89, 2, shared::Kind::Word},
    {"Setting8B", 0x8B, 2, shared::Kind::Word},
    {"Setting8D", 0x8D, 1, shared::Kind::Byte},
    {"Setting8E", 0x8E, 1, shared::Kind::Byte},
    {"Setting8F", 0x8F, 1, shared::Kind::Byte},
    // Element 0 the opening state of the year, element 12 the state after December.
    {"State", 0x96, 8, shared::Kind::Real, 13},
    {"SettingFE", 0xFE, 2, shared::Kind::Word},
    {"Monthly", 0x100, 8, shared::Kind::Real, 12},
    {"Setting16C", 0x16C, 2, shared::Kind::Word},
    {"Value198", 0x198, 8, shared::Kind::Real},
    {"Counter1A0", 0x1A0, 2, shared::Kind::Word},
    {"Setting1A2", 0x1A2, 1, shared::Kind::Byte},
    {"Setting1A3", 0x1A3, 1, shared::Kind::Byte},
    {"Setting1A4", 0x1A4, 1, shared::Kind::Byte},
    {"Setting1A5", 0x1A5, 2, shared::Kind::Word},
};
inline constexpr shared::Layout kAnnualYear{"ROK.REK 1", kAnnualRecordSize, kAnnualYearFields};
static_assert(kAnnualYear.Problem().empty());

// Record 2: ten document numbering entries, each a leading text, a running counter and
// a trailing text.
inline constexpr shared::Field kAnnualNumberingFields[] = {
    {"Tag", 0x00, 2, shared::Kind::Bytes},           {"Lead", 0x02, 7, shared::Kind::Text, 10, 16},
    {"Number", 0x09, 2, shared::Kind::Word, 10, 16}, {"Trail", 0x0B, 7, shared::Kind::Text, 10, 16},
    {"SettingA2", 0xA2, 1, shared::Kind::Byte},      {"SettingA3", 0xA3, 1, shared::Kind::Byte},
};
inline constexpr shared::Layout kAnnualNumbering{"ROK.REK 2", kAnnualRecordSize,
                                                 kAnnualNumberingFields};
static_assert(kAnnualNumbering.Problem().empty());

// Record 3: year values and twelve monthly blocks kept as raw bytes.
inline constexpr shared::Field kAnnualValuesFields[] = {
    {"Tag", 0x00, 2, shared::Kind::Bytes},      {"Value02", 0x02, 8, shared::Kind::Real},
    {"Value0A", 0x0A, 8, shared::Kind::Real},   {"MonthBlock", 0x12, 21, shared::Kind::Bytes, 12},
    {"Value10E", 0x10E, 8, shared::Kind::Real}, {"Setting116", 0x116, 2, shared::Kind::Word},
};
inline constexpr shared::Layout kAnnualValues{"ROK.REK 3", kAnnualRecordSize, kAnnualValuesFields};
static_assert(kAnnualValues.Problem().empty());

struct AnnualParams {
  tui::Screen& screen;
  // Its progress log is where everything is reported; its key wait and pause are used.
  Copier& copier;
  // Tree root + firm directory, without a trailing backslash ("C:\DOR_2019\PIEKARZ");
  // the files are this + "\" + name.
  std::string_view sourceFirmDir;
  std::string_view targetFirmDir;
  // Warn, and wait for a key, before carrying the state of a December never approved.
  bool warnOpenDecember = true;
  // Run-wide, false at the start of the run: set by the answer "A" to the year question,
  // after which every firm with both files takes its 2020 file without asking.
  bool& alwaysTake2020;
};

enum class AnnualOutcome {
  kWritten,   // all three records written
  kNoSource,  // neither 2019_ROK.REK nor 2020_ROK.REK present (size above 0)
  kSourceNotOpened,
  kTargetNotCreated,
  kReadFailed,   // a source record could not be read whole; no output left behind
  kWriteFailed,  // a record could not be written; no output left behind
};

struct AnnualResult {
  AnnualOutcome outcome = AnnualOutcome::kNoSource;
  // The source was the 2020_ROK.REK of the Source tree (set as soon as it is chosen).
  bool annualFrom2020 = false;
  // Offset 0x75 and 0x76 of the new record 1, the latter after the proportion question;
  // both 0 when record 1 was never read.
  std::uint8_t firmVatProportional = 0;
  std::uint16_t firmVatProportion = 0;
  // AnnualParams::sourceFirmDir cut to kSourceFirmDirLength, once record 1 has been
  // read; empty before. The firm text data records it as the previous-year directory.
  std::string sourceFirmDir;
  // The proportion was asked and the answer source declined to give one: the firm's
  // run is not to go on.
  bool proportionRefused = false;
};

// Everything is shown on the progress log and asked on the spot; whatever the outcome,
// the caller goes on with the firm's next file.
AnnualResult ConvertAnnualSettings(const AnnualParams& params);

}  // namespace zq::convert
