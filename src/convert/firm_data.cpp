#include "convert/firm_data.h"

#include <algorithm>

#include "platform/cp852.h"
#include "shared/firm_text.h"
#include "tui/message.h"

namespace zq::convert {

using zq::operator""_pl;

namespace {

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
  // The firm record is carried as it is: every byte as read, also behind a text's end,
  // but for a length byte that claims more than its field.
  std::copy_n(in.begin(), std::min(in.size(), out.size()), out.begin());
  shared::CutTexts(shared::RecordRef(out), kAddressFields);
  return true;
}

bool FilterAdvancePayment(std::span<std::uint8_t> record) {
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
