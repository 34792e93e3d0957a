// The items of one firm's run, as data: one row per item with the option that enables
// it, the line logged before it, its files, the copy primitive and record sizes, and the
// converter or filter it hands over. One loop runs the rows in order; an item that is
// off is skipped, and no item's outcome stops the others, except a step that ends the
// firm's run (its firm text data cannot be carried).
//
// A conversion that lands later joins the table as one row.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "convert/copy.h"
#include "convert/ledger.h"
#include "convert/staff.h"
#include "driver/run_state.h"

namespace zq::driver {

// Items of FirmItems, page 3 from the top.
namespace firm_items {
inline constexpr std::uint16_t kTextData = 1 << 0;
inline constexpr std::uint16_t kStaff = 1 << 1;
inline constexpr std::uint16_t kFamilies = 1 << 2;
inline constexpr std::uint16_t kPitD = 1 << 3;
inline constexpr std::uint16_t kLocalAddresses = 1 << 4;
inline constexpr std::uint16_t kSalesAutomation = 1 << 5;
inline constexpr std::uint16_t kPurchaseAutomation = 1 << 6;
inline constexpr std::uint16_t kConstantsAndNotes = 1 << 7;
inline constexpr std::uint16_t kTransfers = 1 << 8;
inline constexpr std::uint16_t kWageSettings = 1 << 9;
inline constexpr std::uint16_t kZusPel = 1 << 10;
inline constexpr std::uint16_t kOneOffAssets = 1 << 11;
inline constexpr std::uint16_t kTransferSettings = 1 << 12;
inline constexpr std::uint16_t kInternalDocuments = 1 << 13;
inline constexpr std::uint16_t kInterestLists = 1 << 14;
inline constexpr std::uint16_t kVehicles = 1 << 15;
}  // namespace firm_items

// Items of Entered2020Items.
namespace entered_items {
inline constexpr std::uint16_t kEntries = 1 << 0;
inline constexpr std::uint16_t kPayroll = 1 << 1;
inline constexpr std::uint16_t kContracts = 1 << 2;
inline constexpr std::uint16_t kNotes = 1 << 3;
inline constexpr std::uint16_t kDraDeclarations = 1 << 4;
}  // namespace entered_items

// Items of DllItems.
namespace dll_items {
inline constexpr std::uint16_t kFixedAssets = 1 << 0;
inline constexpr std::uint16_t kMileage140 = 1 << 1;
inline constexpr std::uint16_t kMileage150 = 1 << 2;
}  // namespace dll_items

// What the firms of one run share beyond the run state.
struct FirmRunShared {
  // Set by the answer "A" to the year question of the annual settings.
  bool alwaysTake2020 = false;
};

// One firm's run: its directories and the values set anew for every firm.
struct FirmContext {
  FirmContext(RunState& run, FirmRunShared& shared, std::string_view directory);

  RunState& run;
  FirmRunShared& shared;
  std::string directory;
  // Tree root + firm directory, without a trailing backslash.
  std::string sourceDir;
  std::string targetDir;

  // The annual settings came from a 2020_ROK.REK of the Source tree.
  bool annualFrom2020 = false;
  std::uint8_t firmVatProportional = 0;
  std::uint16_t firmVatProportion = 0;
  // Where the previous year's data of the firm lie, as the firm text data records it.
  std::string sourceFirmDir;
  // What the ledger entry converter needs of this run; the VAT proportion follows the
  // annual settings.
  convert::LedgerConversion ledger;
  // The Target year folder still has to be made; shared by the items copying into it.
  bool folderPending = true;
  // Selection mode, moved persons and the family members and contracts left behind.
  convert::StaffTransfer staff;
  // Failures the items reported; the firm is still added to the Target firm list.
  int errors = 0;
  // A step ended the firm's run: the items after it do not run, the firm is not added.
  bool ended = false;

  std::string SourcePath(std::string_view name) const {
    return sourceDir + "\\" + std::string(name);
  }
  std::string TargetPath(std::string_view name) const {
    return targetDir + "\\" + std::string(name);
  }
  convert::Copier& Copier() const { return run.copier; }
  convert::ProgressLog& Log() const { return run.log; }
  platform::Files& Files() const { return run.platform.files; }
  // Counts a failure of a primitive; true when it was one.
  bool Count(convert::CopyStatus status);
};

enum class ItemOption : std::uint8_t {
  kAlways,
  kAnnualFrom2020,
  kFirmItems,  // every bit of `bits` on in FirmItems
  kEntered2020Items,
  kDllItems,
  kExtraFiles,  // the Extra file list is not empty
};

enum class ItemLabel : std::uint8_t {
  kNone,
  kLine,       // the label is a line of its own
  kContinued,  // the label is written without ending the line; the next text continues it
};

enum class ItemHow : std::uint8_t {
  kByteCopy,    // CopyFileBytes sources[0] -> target
  kTextCopy,    // CopyTextFile sources[0] -> target
  kRecordCopy,  // CopyRecords sources[0] -> target, inSize, filter
  kConvert,     // ConvertRecords sources[0] -> target, inSize -> outSize, converter
  kListedFile,  // CopyListedFile(sources[0])
  kExtraList,   // CopyListedFile for each entry of the Extra file list, in list order
  kMatching,    // CopyMatchingFiles for each pattern of sources, in order
  kDra,         // ConvertDra5Declarations
  // ConvertRecords from sources[0] (the 2020 file) or sources[1] (the 2019 file), as
  // ChooseRecordSource decides, to target.
  kChosenSource,
  // CopyRecords from sources[0] when the annual settings came from 2020 and that file
  // is present, else from sources[1], to target, inSize, filter.
  kYearSource,
  // CopyRecords of every Source file matching sources[0] ("_2020\*.kst") into the same
  // folder of the Target firm directory, made once (FirmContext::folderPending).
  kYearFolder,
  // The twelve months of entries and repayments (MonthLoop), with Append mode on for
  // January only, each converted Source file then hidden when asked.
  kMonths,
  kStep,  // `step` does the item
};

using RecordFilterFn = bool (*)(std::span<std::uint8_t> record);
using RecordConverterFn = bool (*)(std::span<const std::uint8_t> in, std::span<std::uint8_t> out);
// The same for converters that read or change what belongs to the firm's run (the staff
// selection, the moved persons, the VAT proportion): the row gives a captureless lambda
// that hands the converter its part of the FirmContext.
using FirmRecordFilterFn = bool (*)(FirmContext& firm, std::span<std::uint8_t> record);
using FirmRecordConverterFn = bool (*)(FirmContext& firm, std::span<const std::uint8_t> in,
                                       std::span<std::uint8_t> out);
using ItemStepFn = void (*)(FirmContext& firm);

// One file kind of the month loop: Source stem + "." + m -> Target stem + "." + m.
struct MonthFile {
  std::string_view sourceStem{};
  std::string_view targetStem{};
  std::string_view label{};  // followed by the month name padded to 11 characters
  std::uint16_t inSize = 0;
  std::uint16_t outSize = 0;
  RecordConverterFn converter = nullptr;
  FirmRecordConverterFn firmConverter = nullptr;  // instead of `converter`
};

struct MonthLoop {
  MonthFile entries{};
  MonthFile repayments{};
};

struct FirmItem {
  int number = 0;
  ItemOption option = ItemOption::kAlways;
  std::uint16_t bits = 0;
  std::string_view label{};  // code page 852
  ItemLabel labelStyle = ItemLabel::kNone;
  ItemHow how = ItemHow::kStep;
  std::array<std::string_view, 4> sources{};
  std::string_view target{};
  std::uint16_t inSize = 0;
  std::uint16_t outSize = 0;
  RecordFilterFn filter = nullptr;
  RecordConverterFn converter = nullptr;
  FirmRecordFilterFn firmFilter = nullptr;        // instead of `filter`
  FirmRecordConverterFn firmConverter = nullptr;  // instead of `converter`
  ItemStepFn step = nullptr;
  const MonthLoop* months = nullptr;
};

// The filter or converter a row hands to the copy primitives, bound to the firm when it
// is one of the firm's own; empty when the row has none.
convert::RecordFilter FilterOf(FirmContext& firm, RecordFilterFn plain,
                               FirmRecordFilterFn withFirm);
convert::RecordConverter ConverterOf(FirmContext& firm, RecordConverterFn plain,
                                     FirmRecordConverterFn withFirm);

// The item table, in the order the items run.
std::span<const FirmItem> FirmItems();

bool ItemEnabled(const FirmContext& firm, const FirmItem& item);
// Runs one item (its label first); the option is not looked at.
void RunFirmItem(FirmContext& firm, const FirmItem& item);
// Every enabled item in table order, until a step ends the firm's run.
void RunFirmItems(FirmContext& firm, std::span<const FirmItem> items);

// "Styczeń" .. "Grudzień" for 1..12, code page 852; empty otherwise.
std::string_view MonthName(int month);

}  // namespace zq::driver
