#include "driver/program.h"

#include "driver/auto_run.h"
#include "driver/run_state.h"
#include "driver/startup.h"
#include "driver/version.h"
#include "driver/wizard.h"
#include "platform/cp852.h"
#include "shared/config.h"
#include "tui/message.h"

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
  auto args = ReadRunSwitches(run.platform.process.Arguments()).arguments;
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
  auto args = ReadRunSwitches(run.platform.process.Arguments()).arguments;
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

bool OpenJournal(RunState& run) {
  run.switches = ReadRunSwitches(run.platform.process.Arguments());
  std::string path = run.switches.logPath;
  if (path.empty() && run.switches.unattended) path = run.screen.ProgramStem() + ".LOG";
  if (path.empty()) return true;
  platform::Files& files = run.dryRun ? run.dryRun->Host() : run.platform.files;
  auto journal = std::make_unique<Journal>(files, run.platform.process, path);
  if (!journal->Usable()) {
    std::string text = S("\x03Nie można zapisać dziennika pracy\r\x03"_pl) + path;
    if (run.switches.unattended) {
      run.platform.process.WriteStderr(S("Nie można zapisać dziennika pracy "_pl) + path + "\n");
      return false;
    }
    return tui::YesNoQuestion(run.screen, false, text + S("\r\x03Pracować bez dziennika ?"_pl), 8,
                              10);
  }
  Journal* kept = journal.get();
  run.journal = std::move(journal);
  run.log.AddSink(kept);
  run.screen.SetDialogNote(
      [kept](std::string_view text, std::string_view answer) { kept->NoteDialog(text, answer); });
  std::string start = S("==== Początek pracy"_pl);
  if (run.switches.unattended) start += S(" bez obsługi, ustawienia: "_pl) + run.switches.autoPath;
  if (run.switches.dryRun) start += S(" - PRÓBA, nic nie zostanie zapisane"_pl);
  kept->Note(start);
  return true;
}

void FlushJournal(RunState& run, bool final) {
  if (!run.journal || run.journal->Flush(final)) return;
  if (run.journalFailed) return;
  run.journalFailed = true;
  run.log.AlertLn(convert::kColourError,
                  S("Błąd zapisu dziennika pracy "_pl) + run.journal->Path());
}

// The last line a question or key wait left open comes before the run's end.
void CloseJournal(RunState& run, int code) {
  if (!run.journal) return;
  run.journal->EndOpenLine();
  NoteInJournal(run, S("==== Koniec pracy, kod wyjścia "_pl) + std::to_string(code));
  FlushJournal(run, true);
}

void NoteInJournal(RunState& run, std::string_view text) {
  if (run.journal) run.journal->Note(text);
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

int RunProgram(platform::Platform& host) {
  try {
    // A dry run puts its file layer under the whole program; it takes nothing anywhere
    // until the run itself begins.
    DryRunFiles dryRun(host.files);
    const bool dry = ReadRunSwitches(host.process.Arguments()).dryRun;
    platform::Platform platform{host.console, dry ? dryRun : host.files, host.process};
    RunState run(platform);
    if (dry) run.dryRun = &dryRun;
    InstallWizard(run);
    StartUp(run);
    if (AnswerHelpRequest(run)) return 0;
    // A journal asked for and not writable: the run does not start.
    if (!OpenJournal(run)) return kExitBadSettings;
    try {
      int code = 0;
      // The Extra file list and the remembered roots as in every run; the settings
      // file's roots then take the place of the Wizard's.
      auto warnings = ResolveTrees(run);
      DrawBanner(run, warnings);
      if (run.switches.unattended) {
        code = RunUnattended(run);
      } else {
        RunWizard(run);
        Ending(run);
      }
      CloseJournal(run, code);
      return code;
    } catch (const platform::ProgramExit& exit) {
      CloseJournal(run, exit.code);
      throw;
    }
  } catch (const platform::ProgramExit& exit) {
    return exit.code;
  }
}

}  // namespace zq::driver
