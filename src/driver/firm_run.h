// The per-firm run: carries every selected firm of the list into the Target tree, item
// by item, and adds each firm carried over to its end to the Target firm list, in key
// order. Also the small per-firm operations no other part uses: the firm marker, hiding
// a converted Source file, the listed and wildcard-matched files, the further fixed-asset
// bases, the year folder and the DRA declarations of 2020.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "convert/copy.h"
#include "driver/firm_items.h"
#include "driver/firm_list.h"
#include "driver/run_state.h"
#include "shared/record.h"

namespace zq::driver {

// The firm marker: one 256-byte record in each firm directory, which the new year's
// copy gets with its years set to 2020 and its flag to 1; every other byte as read.
inline constexpr std::string_view kFirmMarkerName = "_zq_dor.rek";
inline constexpr std::size_t kFirmMarkerSize = 256;
inline constexpr std::uint16_t kMarkerYear = 2020;
inline constexpr shared::Field kFirmMarkerFields[] = {
    {"Year", 0, 2, shared::Kind::Word},
    {"FromYear", 2, 2, shared::Kind::Word},
    {"ToYear", 4, 2, shared::Kind::Word},
    {"Flag", 7, 1, shared::Kind::Byte},
};
inline constexpr shared::Layout kFirmMarker{"_zq_dor.rek", kFirmMarkerSize, kFirmMarkerFields};
static_assert(kFirmMarker.Problem().empty());

// A DRA declaration: an 896-byte header and any number of 448-byte attachment blocks.
// The new form gets the balance and its two parts computed from five amounts.
inline constexpr std::string_view kDraSourcePattern = "2020D4??.*";
inline constexpr std::size_t kDraHeaderSize = 896;
inline constexpr std::size_t kDraBlockSize = 448;
inline constexpr shared::Field kDraHeaderFields[] = {
    {"AmountA", 478, 8, shared::Kind::Real},
    {"AmountB", 518, 8, shared::Kind::Real},  // subtracted
    {"NegativePart", 526, 8, shared::Kind::Real},
    {"NonNegativePart", 534, 8, shared::Kind::Real},
    {"AmountC", 590, 8, shared::Kind::Real},
    {"AmountD", 614, 8, shared::Kind::Real},
    {"AmountE", 630, 8, shared::Kind::Real},
    {"Balance", 688, 8, shared::Kind::Real},
};
inline constexpr shared::Layout kDraHeader{"2020D4??", kDraHeaderSize, kDraHeaderFields};
static_assert(kDraHeader.Problem().empty());

// Balance = (A - B) + C + D + E, with its magnitude as the negative part when below 0
// and itself as the non-negative part otherwise; the header keeps every other byte.
void ComputeDraBalance(std::span<std::uint8_t> header);

// How one firm's run ended.
struct FirmResult {
  // The run reached its end: the firm is to be added to the Target firm list.
  bool completed = false;
  int errors = 0;
  // Family members and contracts dropped because their person was not carried.
  int notCarried = 0;
  // The per-firm values as the run left them.
  bool annualFrom2020 = false;
  std::uint8_t firmVatProportional = 0;
  std::uint16_t firmVatProportion = 0;
};

// The firms that need the user's eye once the run is over.
struct FirmRunSummary {
  enum class Kind : std::uint8_t { kNotAdded, kErrors, kAlreadyListed, kNotCarried };
  struct Entry {
    Kind kind = Kind::kNotAdded;
    std::string name;
    std::string directory;
    int errors = 0;
    int notCarried = 0;
  };
  std::vector<Entry> entries;
  // The Target firm list could not be opened: no firm was converted.
  bool listNotOpened = false;
  std::string listPath;
  // Firms run and firms added to the Target firm list.
  int converted = 0;
  int added = 0;
};

// Called once the user has confirmed the selection, with the firms in list order.
// The caller releases the list, clears the log below its header and then shows the
// summary (WriteFirmRunSummary).
FirmRunSummary ConvertSelectedFirms(RunState& run, FirmList& firms);
FirmRunSummary ConvertSelectedFirms(RunState& run, FirmList& firms,
                                    std::span<const FirmItem> items);
// A few lines before the closing line of the program; nothing when every firm went well.
void WriteFirmRunSummary(RunState& run, const FirmRunSummary& summary);

// One firm: its preconditions (annual settings present, Source marker readable, Target
// directory present), the Target marker, the annual settings, the items, the end line
// and the optional key wait.
FirmResult ConvertFirm(RunState& run, FirmRunShared& shared, std::string_view directory);
FirmResult ConvertFirm(RunState& run, FirmRunShared& shared, std::string_view directory,
                       std::span<const FirmItem> items);

// With the hide option on, renames a converted Source file to its name followed by "~",
// unless its conversion failed (the next run must still find it).
void HideConvertedFile(FirmContext& firm, std::string_view sourcePath,
                       convert::CopyStatus conversion);

// An entry of the Extra file list, or a file name: "a>b" copies the Source a to the
// Target b, "a" copies a under its own name. Each name must be a plain file name of the
// firm directory; anything else is refused with a line on the log.
void CopyListedFile(FirmContext& firm, std::string_view entry);
// Every Source file of the firm directory matching the pattern, under its own name.
void CopyMatchingFiles(FirmContext& firm, std::string_view pattern);
// Every Source declaration 2020D4??.* as the Target 2020D5??.*, on one log line.
void ConvertDra5Declarations(FirmContext& firm);
// The file of every fixed-asset base that stbazy.rek lists, but the main one (carried
// by an item of its own), through the fixed-asset filter. A base name becomes a file
// name only when it is one plain name of the firm directory; any other is shown and
// passed over.
void CopyAssetBases(FirmContext& firm);
// CopyRecords of every Source file matching `pattern` ("_2020\*.kst") into the same
// folder of the Target firm directory, made first if still pending.
void CopyYearFolder(FirmContext& firm, std::string_view pattern, std::uint16_t size,
                    const convert::RecordFilter& filter);
// The Source path to read for the PID-5 and PIT-28 data: the only one present without
// a question; with both present the 2020 file when the annual settings came from 2020,
// else the overwrite question about the bare 2020 name decides (keep: 2020, overwrite:
// 2019).
std::string ChooseRecordSource(FirmContext& firm, std::string_view name2020,
                               std::string_view name2019);
// The month loop: entries and repayments of months 1..12, January appended to an
// existing Target, each converted Source file hidden when asked.
void ConvertMonths(FirmContext& firm, const MonthLoop& loop);

// Whether an Extra file list name is one plain file name (no directory part, no ".."
// and no character a file name cannot hold).
bool IsPlainFileName(std::string_view name);

}  // namespace zq::driver
