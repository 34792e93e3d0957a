#include "driver/global_copy.h"

#include <optional>

#include "convert/bases.h"
#include "convert/wage_settings.h"
#include "platform/cp852.h"
#include "tui/message.h"

namespace zq::driver {

using zq::operator""_pl;

namespace {

using enum GlobalHow;
namespace gi = global_items;

constexpr GlobalItem kGlobalItems[] = {
    {1, gi::kAddresses, "Globalna baza adresów"_pl, kAddresses, {convert::kAddressBaseName}},
    {2,
     gi::kProgramSettings,
     "Konfigurator dor_2019.ini",
     kTextCopy,
     {"dor_2019.ini"},
     "dor_2020.ini"},
    {3, gi::kTaxOffices, "Baza urzedów skarbowych"_pl, kTaxOffices, {convert::kTaxOfficeBaseName}},
    {4, gi::kKeyConstants, "Globale stale klawiszy F2..F10", kByteCopy, {"baza_ff.txt"}},
    {5,
     gi::kOfficeData,
     "Dane biura do FRV",
     kOfficeData,
     {convert::kOfficeDataSourceName},
     convert::kOfficeDataTargetName},
    {6, gi::kDllSettings, "Konfigurator DOR_ZQ.INI", kByteCopy, {"DOR_ZQ.INI"}},
    {7, gi::kTaxConstants, "Zeszloroczne stale podatkowe", kByteCopy, {"2019spd.ini"}},
    {8,
     gi::kWageSettings,
     "Globale ustawienia wynagrodzen",
     kWageSettings,
     {convert::kWageSettings2020Name, convert::kWageSettings2019Name},
     convert::kWageSettingsTargetName},
    {9, gi::kColours, "Ustawienia kolorów"_pl, kByteCopy, {"KOLORY.ZQ"}},
    {10, gi::kOperators, {}, kOperators, {convert::kOperatorFileName}},
    {11, gi::kStaffFiles, {}, kByteCopy, {"ZUS_PEL.INI", "UMOWY.INI"}},
};

std::string InDir(std::string_view dir, std::string_view name) {
  std::string path(dir);
  path += '\\';
  path += name;
  return path;
}

// Sets a run-wide flag for one step and clears it however the step ends.
class FlagForStep {
 public:
  explicit FlagForStep(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagForStep() { flag_ = false; }
  FlagForStep(const FlagForStep&) = delete;
  FlagForStep& operator=(const FlagForStep&) = delete;

 private:
  bool& flag_;
};

// Gives the console text window back however the step ends.
class NarrowedTextWindow {
 public:
  NarrowedTextWindow(tui::Screen& screen, int left, int top, int right, int bottom)
      : screen_(screen), saved_(screen.SetTextWindow(left, top, right, bottom)) {}
  ~NarrowedTextWindow() { screen_.RestoreTextWindow(saved_); }
  NarrowedTextWindow(const NarrowedTextWindow&) = delete;
  NarrowedTextWindow& operator=(const NarrowedTextWindow&) = delete;

 private:
  tui::Screen& screen_;
  tui::TextWindow saved_;
};

[[noreturn]] void EndWithBox(RunState& run, std::string_view what, std::string_view path) {
  std::string text(1, tui::kCentre);
  text += what;
  text += '\r';
  text += tui::kCentre;
  text += path;
  tui::ErrorBox(run.screen, text);
  run.platform.process.Exit(0);
}

}  // namespace

std::span<const GlobalItem> GlobalItems() {
  return kGlobalItems;
}

std::string GlobalSourceDirectory(const RunState& run) {
  return run.options.sourceTree + run.options.globalSourceDir;
}

std::string GlobalTargetDirectory(const RunState& run) {
  return run.options.targetTree + std::string(kTargetGlobalDir);
}

void RunGlobalItem(RunState& run, const GlobalItem& item) {
  convert::Copier& copier = run.copier;
  const std::string from = GlobalSourceDirectory(run);
  const std::string to = GlobalTargetDirectory(run);
  const std::string_view source = item.sources[0];
  const std::string target = InDir(to, item.target.empty() ? source : item.target);
  if (!item.label.empty()) run.log.WriteLn(item.label);
  switch (item.how) {
    case kByteCopy:
      for (std::string_view name : item.sources)
        if (!name.empty()) copier.CopyFileBytes(InDir(from, name), InDir(to, name));
      break;
    case kTextCopy:
      copier.CopyTextFile(InDir(from, source), target);
      break;
    case kTaxOffices:
    case kAddresses: {
      std::optional<FlagForStep> taxOffices;
      if (item.how == kTaxOffices) taxOffices.emplace(run.taxOfficeBase);
      copier.ConvertRecords(InDir(from, source), target, convert::kAddressBaseRecordSize,
                            convert::kAddressBaseRecordSize,
                            [&run](std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
                              return convert::ConvertAddress(in, out, run.taxOfficeBase);
                            });
      break;
    }
    case kOfficeData:
      copier.ConvertRecords(InDir(from, source), target, convert::kOfficeDataRecordSize,
                            convert::kOfficeDataRecordSize, convert::ConvertOfficeData);
      break;
    case kWageSettings: {
      std::string chosen = InDir(from, source);
      if (copier.FileSizeOf(chosen) < 1) chosen = InDir(from, item.sources[1]);
      copier.CopyRecords(chosen, target, convert::kWageSettingsRecordSize,
                         convert::FilterWageSettings);
      break;
    }
    case kOperators:
      convert::CopyOperators(copier, InDir(from, source), target);
      break;
  }
}

void RunGlobalDataCopy(RunState& run) {
  NarrowedTextWindow window(run.screen, 3, 3, 77, 20);
  const std::string from = GlobalSourceDirectory(run);
  const std::string to = GlobalTargetDirectory(run);
  int error = 0;
  if (!run.copier.DirExists(from)) EndWithBox(run, "Brak katalogu zródłowego"_pl, from);
  if (!run.copier.DirExists(to) && !run.platform.files.MakeDirectory(to, error))
    EndWithBox(run, "Utworzenia katalogu", to);

  for (const GlobalItem& item : kGlobalItems) {
    if ((run.options.globalItems & item.box) == 0) continue;
    RunGlobalItem(run, item);
    run.screen.Flush();
  }
  if (run.options.stopPerFirm) {
    run.log.WriteLn("cdn - nacisnij dowolny klawisz.");
    run.copier.WaitKey();
  }
  run.log.Clear(false);
}

}  // namespace zq::driver
