#include "driver/firm_items.h"

#include "convert/bases.h"
#include "convert/firm_data.h"
#include "convert/ledger.h"
#include "convert/modules.h"
#include "convert/payroll.h"
#include "convert/wage_settings.h"
#include "driver/firm_run.h"
#include "driver/staff_items.h"
#include "platform/cp852.h"

namespace zq::driver {

using zq::operator""_pl;

namespace {

using convert::CopyStatus;

// The firm's text data must reach the new year whole: a file that cannot be read,
// created or locked ends the firm's run, so that the firm is not listed half carried.
void ConvertFirmText(FirmContext& firm) {
  convert::FirmTextResult result = convert::ConvertFirmTextData(
      firm.run.sharedFiles, {firm.sourceDir, firm.targetDir}, firm.sourceFirmDir);
  if (result.Ok()) return;
  bool read = result.outcome == convert::FirmTextOutcome::kReadFailed;
  std::string path = read ? firm.SourcePath(convert::kFirmTextDataFileName)
                          : firm.TargetPath(convert::kFirmTextDataFileName);
  firm.Log().AlertLn(
      convert::kColourError,
      std::string(read ? "Błąd odczytu danych firmy "_pl : "Błąd zapisu danych firmy "_pl) + path);
  firm.Log().AlertLn(convert::kColourError,
                     "Konwersja firmy przerwana, firma nie zostanie dopisana do spisu firm"_pl);
  firm.Copier().WaitKey();
  ++firm.errors;
  firm.ended = true;
}

// The address base of a firm is read as the run-wide mode says, which only the global
// copy of the tax-office base ever turns on.
bool ConvertFirmAddressBase(FirmContext& firm, std::span<const std::uint8_t> in,
                            std::span<std::uint8_t> out) {
  return convert::ConvertAddress(in, out, firm.run.taxOfficeBase);
}

using enum ItemOption;
using enum ItemLabel;
using enum ItemHow;
namespace fi = firm_items;
namespace ei = entered_items;
namespace di = dll_items;

// The entries and repayments of each month of 2020.
constexpr MonthLoop kLedgerMonths{
    .entries = {.sourceStem = convert::kOldEntryStem,
                .targetStem = convert::kEntryStem,
                .label = "Konwertuję zapisy : "_pl,
                .inSize = convert::kOldEntrySize,
                .outSize = convert::kEntrySize,
                .firmConverter =
                    [](FirmContext& f, std::span<const std::uint8_t> in,
                       std::span<std::uint8_t> out) {
                      return convert::ConvertLedgerEntry(f.ledger, in, out);
                    }},
    .repayments = {.sourceStem = convert::kRepaymentStem,
                   .targetStem = convert::kRepaymentStem,
                   .label = "Konwertuję spłaty : "_pl,
                   .inSize = convert::kRepaymentSize,
                   .outSize = convert::kRepaymentSize,
                   .firmConverter =
                       [](FirmContext& f, std::span<const std::uint8_t> in,
                          std::span<std::uint8_t> out) {
                         return convert::ConvertRepayment(f.Log(), in, out);
                       }},
};

// Rows of items whose converters or filters are not part of the program yet are
// absent; each joins as one row at its place in the order.
constexpr FirmItem kItemTable[] = {
    {.number = 1,
     .option = kAnnualFrom2020,
     .label = "Deklaracja VAT-7 z 2020",
     .labelStyle = kLine,
     .how = kByteCopy,
     .sources = {"2020vJ17.REK"},
     .target = "2020vJ17.REK"},
    {.number = 2,
     .option = kAnnualFrom2020,
     .label = "Suma z kolumn za 2020",
     .labelStyle = kLine,
     .how = kByteCopy,
     .sources = {"2020kol2.rek"},
     .target = "2020kol2.rek"},
    {.number = 3,
     .option = kAnnualFrom2020,
     .how = kRecordCopy,
     .sources = {convert::kAdvancePaymentsFileName},
     .target = convert::kAdvancePaymentsFileName,
     .inSize = convert::kAdvancePaymentRecordSize,
     .filter = convert::FilterAdvancePayment},
    {.number = 4,
     .option = kFirmItems,
     .bits = fi::kTextData,
     .how = kStep,
     .sources = {convert::kFirmTextDataFileName},
     .target = convert::kFirmTextDataFileName,
     .step = ConvertFirmText},
    {.number = 5,
     .option = kFirmItems,
     .bits = fi::kTextData,
     .how = kConvert,
     .sources = {convert::kFirmAddressFileName},
     .target = convert::kFirmAddressFileName,
     .inSize = convert::kAddressRecordSize,
     .outSize = convert::kAddressRecordSize,
     .converter = convert::ConvertFirmAddress},
    {.number = 6, .option = kAlways, .how = kStep, .step = BeginStaff},
    {.number = 7,
     .option = kFirmItems,
     .bits = fi::kStaff,
     .label = "Pracownicy / Właściciele"_pl,
     .labelStyle = kLine,
     .how = kStep,
     .sources = {convert::kPersonFileName},
     .target = convert::kPersonFileName,
     .step = ConvertStaffPersons},
    {.number = 8,
     .option = kFirmItems,
     .bits = fi::kStaff | fi::kFamilies,
     .label = "Rodziny pracowników"_pl,
     .labelStyle = kLine,
     .how = kStep,
     .sources = {convert::kFamilyFileName},
     .target = convert::kFamilyFileName,
     .step = ConvertStaffFamilies},
    {.number = 9,
     .option = kFirmItems,
     .bits = fi::kStaff,
     .label = "Dane umów o pracę UMOWY.INI"_pl,
     .labelStyle = kLine,
     .how = kListedFile,
     .sources = {"UMOWY.INI"}},
    // A record cut short by the end of its file must be told apart from a whole one,
    // so the tax forms are steps: the source is chosen as for kChosenSource.
    {.number = 10,
     .option = kFirmItems,
     .bits = fi::kPitD,
     .label = "PID-5 ",
     .labelStyle = kContinued,
     .how = kStep,
     .sources = {convert::kPid5Name2020, convert::kPid5Name2019},
     .target = convert::kPid5Name2020,
     .step = ConvertPid5Data},
    {.number = 11,
     .option = kFirmItems,
     .bits = fi::kPitD,
     .label = "\"PIT-28\" ",
     .labelStyle = kContinued,
     .how = kStep,
     .sources = {convert::kPit28Name2020, convert::kPit28Name2019},
     .target = convert::kPit28Name2020,
     .step = ConvertPit28Data},
    {.number = 12,
     .option = kFirmItems,
     .bits = fi::kLocalAddresses,
     .label = "Baza adresów"_pl,
     .labelStyle = kLine,
     .how = kConvert,
     .sources = {convert::kAddressBaseName},
     .target = convert::kAddressBaseName,
     .inSize = convert::kAddressBaseRecordSize,
     .outSize = convert::kAddressBaseRecordSize,
     .firmConverter = ConvertFirmAddressBase},
    {.number = 13,
     .option = kFirmItems,
     .bits = fi::kSalesAutomation,
     .label = "Automat sprzedaży"_pl,
     .labelStyle = kLine,
     .how = kConvert,
     .sources = {convert::kSalesAutomationSource},
     .target = convert::kSalesAutomationTarget,
     .inSize = convert::kAutomationOldSize,
     .outSize = convert::kAutomationNewSize,
     .converter = convert::ConvertAutomation},
    {.number = 14,
     .option = kFirmItems,
     .bits = fi::kPurchaseAutomation,
     .label = "Automat zakupów"_pl,
     .labelStyle = kLine,
     .how = kConvert,
     .sources = {convert::kPurchaseAutomationSource},
     .target = convert::kPurchaseAutomationTarget,
     .inSize = convert::kAutomationOldSize,
     .outSize = convert::kAutomationNewSize,
     .converter = convert::ConvertAutomation},
    {.number = 15,
     .option = kFirmItems,
     .bits = fi::kConstantsAndNotes,
     .label = "Baza stałych F1..F10"_pl,
     .labelStyle = kLine,
     .how = kTextCopy,
     .sources = {"baza_ff.txt"},
     .target = "baza_ff.txt"},
    {.number = 16,
     .option = kFirmItems,
     .bits = fi::kConstantsAndNotes,
     .label = "Notatnik",
     .labelStyle = kLine,
     .how = kTextCopy,
     .sources = {"Notatnik.txt"},
     .target = "Notatnik.txt"},
    {.number = 17,
     .option = kFirmItems,
     .bits = fi::kConstantsAndNotes,
     .label = "Notatka",
     .labelStyle = kLine,
     .how = kTextCopy,
     .sources = {"Notatka.txt"},
     .target = "Notatka.txt"},
    {.number = 18,
     .option = kFirmItems,
     .bits = fi::kConstantsAndNotes,
     .label = "Notes",
     .labelStyle = kLine,
     .how = kTextCopy,
     .sources = {"Notes.txt"},
     .target = "Notes.txt"},
    {.number = 19,
     .option = kFirmItems,
     .bits = fi::kTransfers,
     .label = "Baza przelewów"_pl,
     .labelStyle = kLine,
     .how = kConvert,
     .sources = {convert::kTransferBaseName},
     .target = convert::kTransferBaseName,
     .inSize = convert::kTransferRecordSize,
     .outSize = convert::kTransferRecordSize,
     .converter = convert::ConvertTransfer},
    {.number = 20,
     .option = kExtraFiles,
     .label = "Lista dodatkowa ....",
     .labelStyle = kLine,
     .how = kExtraList},
    {.number = 21,
     .option = kFirmItems,
     .bits = fi::kWageSettings,
     .label = "Ustawienia lokalne listy wynagrodzeń"_pl,
     .labelStyle = kLine,
     .how = kYearSource,
     .sources = {convert::kWageSettings2020Name, convert::kWageSettings2019Name},
     .target = convert::kWageSettingsTargetName,
     .inSize = convert::kWageSettingsRecordSize,
     .filter = convert::FilterWageSettings},
    {.number = 22,
     .option = kFirmItems,
     .bits = fi::kZusPel,
     .label = "Ustawienia ZUS_PEL",
     .labelStyle = kLine,
     .how = kListedFile,
     .sources = {"ZUS_PEL.INI"}},
    {.number = 23,
     .option = kFirmItems,
     .bits = fi::kOneOffAssets,
     .label = "Środki umożone jednorazowo (3500)"_pl,
     .labelStyle = kLine,
     .how = kRecordCopy,
     .sources = {convert::kOneOffAssetsName},
     .target = convert::kOneOffAssetsName,
     .inSize = convert::kOneOffAssetSize,
     .filter = convert::FilterOneOffAsset},
    {.number = 24,
     .option = kFirmItems,
     .bits = fi::kTransferSettings,
     .label = "Ustawienia przelewów"_pl,
     .labelStyle = kLine,
     .how = kTextCopy,
     .sources = {convert::kTransferSettingsFileName},
     .target = convert::kTransferSettingsFileName},
    {.number = 25,
     .option = kFirmItems,
     .bits = fi::kInternalDocuments,
     .label = "Dwody wewnętrzne"_pl,
     .labelStyle = kLine,
     .how = kConvert,
     .sources = {convert::kInternalDocumentsName},
     .target = convert::kInternalDocumentsName,
     .inSize = convert::kInternalDocumentSize,
     .outSize = convert::kInternalDocumentSize,
     .converter = convert::ConvertInternalDocument},
    {.number = 26,
     .option = kFirmItems,
     .bits = fi::kInterestLists,
     .label = "Wystawiona lista odsetek",
     .labelStyle = kLine,
     .how = kRecordCopy,
     .sources = {convert::kInterestListName},
     .target = convert::kInterestListName,
     .inSize = convert::kInterestListSize,
     .filter = convert::FilterInterestList},
    {.number = 27,
     .option = kFirmItems,
     .bits = fi::kVehicles,
     .label = "Lista pojazdów dla VAT"_pl,
     .labelStyle = kLine,
     .how = kRecordCopy,
     .sources = {convert::kVehiclesName},
     .target = convert::kVehiclesName,
     .inSize = convert::kVehicleSize,
     .filter = convert::FilterVehicle},
    {.number = 28,
     .option = kEntered2020Items,
     .bits = ei::kEntries,
     .label = "Dane wprowadzone do DOR:",
     .labelStyle = kLine,
     .how = kMonths,
     .months = &kLedgerMonths},
    {.number = 29,
     .option = kEntered2020Items,
     .bits = ei::kPayroll,
     .label = "Wynagrodzenia wprowadzone w 2020",
     .labelStyle = kLine,
     .how = kConvert,
     .sources = {convert::kOldPayrollFileName},
     .target = convert::kPayrollFileName,
     .inSize = convert::kOldPayrollSize,
     .outSize = convert::kPayrollSize,
     .converter = convert::ConvertPayroll},
    {.number = 30,
     .option = kEntered2020Items,
     .bits = ei::kContracts,
     .label = "Umowy zlecenia wprowadzone w 2020",
     .labelStyle = kLine,
     .how = kStep,
     .sources = {convert::kContractFileName},
     .target = convert::kContractFileName,
     .step = CopyStaffContracts},
    {.number = 31,
     .option = kEntered2020Items,
     .bits = ei::kNotes,
     .label = "Noty korygujące z 2020"_pl,
     .labelStyle = kLine,
     .how = kConvert,
     .sources = {convert::kNotesName},
     .target = convert::kNotesName,
     .inSize = convert::kNoteRecordSize,
     .outSize = convert::kNoteRecordSize,
     .converter = convert::ConvertNote},
    {.number = 32,
     .option = kEntered2020Items,
     .bits = ei::kDraDeclarations,
     .how = kDra,
     .sources = {kDraSourcePattern}},
    {.number = 33,
     .option = kDllItems,
     .bits = di::kFixedAssets,
     .label = "DLL: Srodki Trwale",
     .labelStyle = kLine,
     .how = kTextCopy,
     .sources = {"dokument.rek"},
     .target = "dokument.rek"},
    {.number = 34,
     .option = kDllItems,
     .bits = di::kFixedAssets,
     .how = kRecordCopy,
     .sources = {convert::kFixedAssetsFileName},
     .target = convert::kFixedAssetsFileName,
     .inSize = convert::kFixedAssetRecordSize,
     .filter = convert::FilterFixedAsset},
    {.number = 35,
     .option = kDllItems,
     .bits = di::kFixedAssets,
     .how = kRecordCopy,
     .sources = {convert::kEquipmentFileName},
     .target = convert::kEquipmentFileName,
     .inSize = convert::kFixedAssetRecordSize,
     .filter = convert::FilterFixedAsset},
    {.number = 36,
     .option = kDllItems,
     .bits = di::kFixedAssets,
     .how = kRecordCopy,
     .sources = {convert::kAssetSettingsFileName},
     .target = convert::kAssetSettingsFileName,
     .inSize = convert::kAssetSettingsRecordSize,
     .filter = convert::FilterAssetSettings},
    {.number = 37,
     .option = kDllItems,
     .bits = di::kFixedAssets,
     .how = kRecordCopy,
     .sources = {convert::kAssetBaseListFileName},
     .target = convert::kAssetBaseListFileName,
     .inSize = convert::kAssetBaseRecordSize,
     .filter = convert::FilterAssetBase},
    {.number = 38,
     .option = kDllItems,
     .bits = di::kFixedAssets,
     .how = kStep,
     .step = CopyAssetBases},
    {.number = 39,
     .option = kDllItems,
     .bits = di::kMileage140,
     .label = "DLL : Kilometrówka KM140 \"Vanta\""_pl,
     .labelStyle = kLine,
     .how = kMatching,
     .sources = {"*.cel", "cel*.rek", "*.trs", "tras*.rek"}},
    {.number = 40,
     .option = kDllItems,
     .bits = di::kMileage140,
     .how = kRecordCopy,
     .sources = {convert::kMileageSettingsFileName},
     .target = convert::kMileageSettingsFileName,
     .inSize = convert::kMileageSettingsRecordSize,
     .filter = convert::FilterMileageSettings},
    {.number = 41,
     .option = kDllItems,
     .bits = di::kMileage140,
     .how = kRecordCopy,
     .sources = {convert::kMileageAddressFileName},
     .target = convert::kMileageAddressFileName,
     .inSize = convert::kMileageAddressRecordSize,
     .filter = convert::FilterMileageAddress},
    {.number = 42,
     .option = kDllItems,
     .bits = di::kMileage140,
     .how = kRecordCopy,
     .sources = {convert::kCarFileName},
     .target = convert::kCarFileName,
     .inSize = convert::kCarRecordSize,
     .filter = convert::FilterCar},
    {.number = 43,
     .option = kDllItems,
     .bits = di::kMileage140,
     .how = kYearFolder,
     .sources = {convert::kRouteCostPattern},
     .inSize = convert::kRouteCostRecordSize,
     .filter = convert::FilterRouteCost},
    {.number = 44,
     .option = kDllItems,
     .bits = di::kMileage140,
     .how = kYearFolder,
     .sources = {convert::kTripPattern},
     .inSize = convert::kTripRecordSize,
     .filter = convert::FilterTrip},
    {.number = 45,
     .option = kDllItems,
     .bits = di::kMileage150,
     .label = "DLL : Kilometrówka KM150 \"zq\""_pl,
     .labelStyle = kLine,
     .how = kMatching,
     .sources = {"km__*.rek", "km20*.rek"}},
    {.number = 46,
     .option = kAlways,
     .label = "DLL : Vorlex.EXE -> dor_import.xml",
     .labelStyle = kLine,
     .how = kListedFile,
     .sources = {"dor_import.xml"}},
};

constexpr bool RisingNumbers() {
  for (std::size_t i = 1; i < std::size(kItemTable); ++i)
    if (kItemTable[i].number <= kItemTable[i - 1].number) return false;
  return true;
}
static_assert(RisingNumbers(), "the items run in the order of their numbers");

constexpr std::string_view kMonthNames[] = {
    "Styczeń"_pl, "Luty",        "Marzec",      "Kwiecień"_pl,    "Maj",      "Czerwiec",
    "Lipiec",     "Sierpień"_pl, "Wrzesień"_pl, "Październik"_pl, "Listopad", "Grudzień"_pl,
};

}  // namespace

FirmContext::FirmContext(RunState& r, FirmRunShared& s, std::string_view dir)
    : run(r),
      shared(s),
      directory(dir),
      sourceDir(r.options.sourceTree + std::string(dir)),
      targetDir(r.options.targetTree + std::string(dir)),
      ledger{.copier = &r.copier,
             .clock = &r.platform.process,
             .waitOnStruckOut = r.options.stopPerFirm} {
  staff.Begin(r.options.staffScope);
}

bool FirmContext::Count(CopyStatus status) {
  if (!convert::Failed(status)) return false;
  ++errors;
  return true;
}

convert::RecordFilter FilterOf(FirmContext& firm, RecordFilterFn plain,
                               FirmRecordFilterFn withFirm) {
  if (withFirm)
    return [&firm, withFirm](std::span<std::uint8_t> record) { return withFirm(firm, record); };
  if (plain) return plain;
  return {};
}

convert::RecordConverter ConverterOf(FirmContext& firm, RecordConverterFn plain,
                                     FirmRecordConverterFn withFirm) {
  if (withFirm)
    return [&firm, withFirm](std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
      return withFirm(firm, in, out);
    };
  if (plain) return plain;
  return {};
}

std::span<const FirmItem> FirmItems() {
  return kItemTable;
}

std::string_view MonthName(int month) {
  if (month < 1 || month > 12) return {};
  return kMonthNames[month - 1];
}

bool ItemEnabled(const FirmContext& firm, const FirmItem& item) {
  const ConversionOptions& o = firm.run.options;
  auto all = [&](std::uint16_t set) { return (set & item.bits) == item.bits; };
  switch (item.option) {
    case kAlways:
      return true;
    case kAnnualFrom2020:
      return firm.annualFrom2020;
    case kFirmItems:
      return all(o.firmItems);
    case kEntered2020Items:
      return all(o.entered2020Items);
    case kDllItems:
      return all(o.dllItems);
    case kExtraFiles:
      return !firm.run.extraFiles.empty();
  }
  return false;
}

void RunFirmItem(FirmContext& firm, const FirmItem& item) {
  convert::Copier& copier = firm.Copier();
  if (item.labelStyle == kLine) firm.Log().WriteLn(item.label);
  if (item.labelStyle == kContinued) firm.Log().Write(item.label);
  const std::string_view source = item.sources[0];
  const convert::RecordFilter filter = FilterOf(firm, item.filter, item.firmFilter);
  const convert::RecordConverter converter = ConverterOf(firm, item.converter, item.firmConverter);
  switch (item.how) {
    case kByteCopy:
      firm.Count(copier.CopyFileBytes(firm.SourcePath(source), firm.TargetPath(item.target)));
      break;
    case kTextCopy:
      firm.Count(copier.CopyTextFile(firm.SourcePath(source), firm.TargetPath(item.target)));
      break;
    case kRecordCopy:
      firm.Count(copier.CopyRecords(firm.SourcePath(source), firm.TargetPath(item.target),
                                    item.inSize, filter));
      break;
    case kConvert:
      firm.Count(copier.ConvertRecords(firm.SourcePath(source), firm.TargetPath(item.target),
                                       item.inSize, item.outSize, converter));
      break;
    case kListedFile:
      CopyListedFile(firm, source);
      break;
    case kExtraList:
      for (const std::string& entry : firm.run.extraFiles) CopyListedFile(firm, entry);
      break;
    case kMatching:
      for (std::string_view pattern : item.sources)
        if (!pattern.empty()) CopyMatchingFiles(firm, pattern);
      break;
    case kDra:
      ConvertDra5Declarations(firm);
      break;
    case kChosenSource: {
      std::string from = ChooseRecordSource(firm, source, item.sources[1]);
      firm.Count(copier.ConvertRecords(from, firm.TargetPath(item.target), item.inSize,
                                       item.outSize, converter));
      break;
    }
    case kYearSource: {
      bool take2020 = firm.annualFrom2020 && copier.FileSizeOf(firm.SourcePath(source)) >= 1;
      firm.Count(copier.CopyRecords(firm.SourcePath(take2020 ? source : item.sources[1]),
                                    firm.TargetPath(item.target), item.inSize, filter));
      break;
    }
    case kYearFolder:
      CopyYearFolder(firm, source, item.inSize, filter);
      break;
    case kMonths:
      if (item.months) ConvertMonths(firm, *item.months);
      break;
    case kStep:
      if (item.step) item.step(firm);
      break;
  }
}

void RunFirmItems(FirmContext& firm, std::span<const FirmItem> items) {
  for (const FirmItem& item : items) {
    if (firm.ended) return;
    if (!ItemEnabled(firm, item)) continue;
    {
      std::string_view name = !item.label.empty()    ? item.label
                              : !item.target.empty() ? item.target
                                                     : item.sources[0];
      ItemCount count(firm.run, item.number, name, firm.errors);
      RunFirmItem(firm, item);
    }
    // The log shows what has been done so far, not only when the run next waits for a
    // key; the screen's own throttle keeps this to a frame now and then.
    firm.run.screen.Flush();
  }
}

}  // namespace zq::driver
