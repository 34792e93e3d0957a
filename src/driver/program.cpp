#include "driver/program.h"

#include "driver/run_state.h"
#include "driver/startup.h"
#include "driver/version.h"
#include "driver/wizard.h"
#include "platform/cp852.h"
#include "shared/config.h"

namespace zq::driver {

namespace {

using zq::operator""_pl;

constexpr std::string_view kTitle = "zqLirno - Konwerter 2018-2019";

std::string S(std::string_view v) {
  return std::string(v);
}

void WriteUsage(platform::Process& process) {
  const std::string lines[] = {
      S("Program do kopiowania wybranych danych do nowego DOR_ZQ."),
      S("z wersji KP") + "980" + " (" + "2019" + ") na KP" + "020" + " (" + "2020" + ")",
      std::string(70, '\xC4'),
      "",
      S("Uruchom ") + "zq18-20" + " [Katalog_danych_," + "2020" + "]",
      "gdzie:",
      S("Katalog danych - lokalizacja istniejącego katalogu na rok "_pl) + "2020",
      S("Katalogu w którym jest program "_pl) + "zq18-20" + S(".EXE można umieścić"_pl),
      S("plik o nazwie ") + "zq18-20" + S(".LST w którym można w kolejnych wierszach"_pl),
      S("wpisać nazwy plików, jakie będą automatycznie kopiowane z katalogu"_pl),
      "danych firmy na rok nastepny",
      "",
  };
  for (const auto& line : lines) process.WriteStdout(line + "\n");
}

}  // namespace

void StartUp(RunState& run) {
  platform::Platform& p = run.platform;
  // The toolkit's paths, colours and sound switch come first: everything else
  // derives file names from the Program path stem.
  run.screen.Start();
  run.sharedFiles.SettleTemporaryDirectory();
  run.firmListName = shared::SettleConfiguration(p.process).firmListName;
  p.console.SetSize(platform::Console::kColumns, platform::Console::kRows);
  p.console.SetTitle(kTitle);
}

bool AnswerHelpRequest(RunState& run) {
  auto args = run.platform.process.Arguments();
  if (args.empty() || args[0].find('?') == std::string::npos) return false;
  WriteUsage(run.platform.process);
  run.copier.WaitKey();
  return true;
}

std::vector<std::string> ResolveTrees(RunState& run) {
  const std::string& stem = run.screen.ProgramStem();
  run.extraFiles = ReadExtraFileList(run.platform.files, stem + ".LST");

  std::vector<std::string> warnings;
  ConversionOptions& o = run.options;
  o.sourceTree = "\\DOR_2019\\";
  auto args = run.platform.process.Arguments();
  if (!args.empty()) {
    if (args[0].size() <= kMaxTreeLength)
      o.targetTree = args[0];
    else
      warnings.push_back(args[0]);
  }
  if (args.empty() || args[0].size() > kMaxTreeLength)
    o.targetTree = DefaultTargetTree(run.screen.ProgramDirectory());

  PathSettings settings = ReadPathSettings(run.platform.files, stem + ".PTH");
  if (settings.opened) run.log.WriteLn("Ustalenie ścieżek dostępu "_pl);
  if (settings.sourceTree) o.sourceTree = *settings.sourceTree;
  if (settings.targetTree) o.targetTree = *settings.targetTree;
  for (auto& r : settings.refused) warnings.push_back(r);
  return warnings;
}

void DrawBanner(RunState& run, const std::vector<std::string>& warnings) {
  run.screen.HideCursor();
  run.log.Color(10);
  run.log.Clear(true);
  run.log.WriteLn(S(" PROGRAM DO PRZEPCHNIĘCIA DANYCH DOR_ZQ <= #980  NA 2020 "_pl)
                      .append(kVersion)
                      .append("(x86)"));
  run.log.Color(15);
  run.log.WriteLn(std::string(80, '\xC4'));
  run.log.Color(7);
  for (const auto& w : warnings) {
    run.log.Color(14);
    run.log.WriteLn("Pominięto ścieżkę dłuższą niż 255 znaków:"_pl);
    run.log.Color(14);
    run.log.WriteLn(w);
  }
}

void Ending(RunState& run) {
  run.copier.showSlowly = run.options.showSlowly;
  run.screen.ShowNormalCursor();
  run.copier.SlowPause();
  run.log.Write("Nacisnij Enter");
  run.copier.WaitKey();
  run.log.Clear(true);
}

int RunProgram(platform::Platform& platform) {
  try {
    RunState run(platform);
    InstallWizard(run);
    StartUp(run);
    if (AnswerHelpRequest(run)) return 0;
    auto warnings = ResolveTrees(run);
    DrawBanner(run, warnings);
    RunWizard(run);
    Ending(run);
    platform.process.Exit(0);
  } catch (const platform::ProgramExit& exit) {
    return exit.code;
  }
}

}  // namespace zq::driver
