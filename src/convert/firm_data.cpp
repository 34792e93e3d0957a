#include "convert/firm_data.h"

#include "platform/cp852.h"
#include "shared/firm_text.h"
#include "tui/message.h"

namespace zq::convert {

using zq::operator""_pl;

namespace {

using shared::Copy;
using shared::Rule;

constexpr const shared::Layout& kA = kAddressRecord;

consteval Rule Carry(std::string_view field) {
  return Copy(kA[field], kA[field]);
}

// The firm record is carried as it is; going field by field cuts a length byte that
// claims more than its field, and leaves no stale bytes behind a text.
constexpr Rule kFirmAddressRules[] = {
    Carry("POWIAT"),  Carry("WOJEWODZTWO"), Carry("GMINA"), Carry("ULICA"),  Carry("DOM"),
    Carry("LOKAL"),   Carry("MIEJSCOWOSC"), Carry("KOD"),   Carry("POCZTA"), Carry("SKRYTKA"),
    Carry("TELEFON"), Carry("KRAJ"),        Carry("KODUE"),
};

std::string FirmFile(std::string_view dir, std::string_view name) {
  std::string path(dir);
  path += '\\';
  path += name;
  return path;
}

void ShowFirmTextError(tui::Screen& screen) {
  std::string text(1, tui::kCentre);
  text += shared::kFirmTextError;
  tui::ErrorBox(screen, text);
}

}  // namespace

bool ConvertFirmAddress(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  shared::Build(kFirmAddressRules, shared::RecordView(in), shared::RecordRef(out));
  return true;
}

bool FilterAdvancePayment(std::span<std::uint8_t> record) {
  // Cut in place: the characters past a text's end are carried as they are.
  shared::CutTexts(shared::RecordRef(record), kAdvancePaymentFields);
  return true;
}

void ConvertFirmRecord(Copier& copier, const FirmDataDirs& dirs) {
  copier.ConvertRecords(FirmFile(dirs.source, kFirmAddressFileName),
                        FirmFile(dirs.target, kFirmAddressFileName), kAddressRecordSize,
                        kAddressRecordSize, ConvertFirmAddress);
}

void CopyAdvancePayments(Copier& copier, const FirmDataDirs& dirs, bool annualFrom2020) {
  if (!annualFrom2020) return;
  copier.CopyRecords(FirmFile(dirs.source, kAdvancePaymentsFileName),
                     FirmFile(dirs.target, kAdvancePaymentsFileName), kAdvancePaymentRecordSize,
                     FilterAdvancePayment);
}

void CopyTransferSettings(Copier& copier, const FirmDataDirs& dirs) {
  copier.CopyTextFile(FirmFile(dirs.source, kTransferSettingsFileName),
                      FirmFile(dirs.target, kTransferSettingsFileName));
}

FirmTextResult ConvertFirmTextData(tui::SharedFiles& shared, const FirmDataDirs& dirs,
                                   std::string_view previousYearDir) {
  tui::Screen& screen = shared.GetScreen();
  const shared::IniOptions options{.locks = &shared};
  FirmTextResult result;
  // The year 2020 names the earlier-year keys PATH2019 .. PATH2013: read that way, the
  // 2019 file's PATH2012 falls off the end and PATH2019 is the slot for the old data.
  shared::FirmText record(shared::kFirmTextYear);
  result.status = shared::ReadFirmText(screen.Files(), FirmFile(dirs.source, kFirmTextDataFileName),
                                       record, options);
  if (!result.status) {
    result.outcome = FirmTextOutcome::kReadFailed;
    ShowFirmTextError(screen);
    return result;
  }
  record.SetText("DOR", "PATH" + std::to_string(shared::kFirmTextYear - 1), previousYearDir);
  result.status = shared::WriteFirmText(
      screen.Files(), FirmFile(dirs.target, kFirmTextDataFileName), record, options);
  if (!result.status) {
    result.outcome = FirmTextOutcome::kWriteFailed;
    ShowFirmTextError(screen);
  }
  return result;
}

}  // namespace zq::convert
