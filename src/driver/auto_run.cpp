#include "driver/auto_run.h"

#include <map>

#include "driver/auto_settings.h"
#include "driver/discovery.h"
#include "driver/firm_run.h"
#include "driver/startup.h"
#include "driver/wizard.h"
#include "platform/cp852.h"
#include "tui/event.h"
#include "tui/message.h"
#include "tui/polish.h"

namespace zq::driver {

namespace {

using zq::operator""_pl;

// The settings file's answers in the form each question takes them.
class SettingsAnswers : public convert::AnswerSource {
 public:
  explicit SettingsAnswers(const AutoAnswers& answers) : answers_(answers) {}
  std::string Answer(convert::Question question) override {
    using convert::Question;
    switch (question) {
      case Question::kOverwrite:
        return std::string(1, answers_.overwrite);
      case Question::kAnnualYear:
        return std::string(1, answers_.annualYear);
      case Question::kVatProportion:
        return answers_.vatProportion < 0 ? "" : std::to_string(answers_.vatProportion);
      case Question::kStaffPerson:
      case Question::kPid5Person:
        return "T";
      default:
        return "\r";
    }
  }

 private:
  AutoAnswers answers_;
};

int Seconds(const platform::LocalTime& t) {
  return t.hour * 3600 + t.minute * 60 + t.second;
}

bool ReadWhole(platform::Files& files, const std::string& path, std::string& text) {
  int error = 0;
  auto file = files.Open(path, platform::kRead, platform::kShareRead,
                         platform::Disposition::kOpenExisting, error);
  if (!file) return false;
  char buffer[4096];
  for (;;) {
    std::size_t got = 0;
    if (!file->Read(buffer, sizeof buffer, got, error)) return false;
    if (got == 0) break;
    text.append(buffer, got);
  }
  return file->Close(error);
}

// Every problem on standard error and in the journal; nothing else happens.
int Refuse(RunState& run, const std::vector<std::string>& problems) {
  std::string head = std::string("Błędny plik ustawień "_pl) + run.switches.autoPath;
  run.platform.process.WriteStderr(head + "\n");
  NoteInJournal(run, head);
  for (const std::string& p : problems) {
    run.platform.process.WriteStderr(p + "\n");
    NoteInJournal(run, p);
  }
  return kExitBadSettings;
}

// What the settings name that the trees do not have: the roots, the global source
// directory when the global data are to be copied, and firms the run would not offer.
// Checked before anything is written, so that a wrong file changes nothing.
void CheckAgainstTrees(RunState& run, const AutoSettings& settings,
                       std::vector<std::string>& problems) {
  const ConversionOptions& o = settings.options;
  if (run.copier.FileSizeOf(o.sourceTree + run.firmListName) < 1) {
    problems.push_back(std::string("Brak pliku "_pl) + o.sourceTree + run.firmListName);
    return;
  }
  std::string target = o.targetTree.substr(0, o.targetTree.size() - 1);
  if (!run.copier.DirExists(target)) problems.push_back("Brak katalogu " + target);
  if (tui::UpperText(o.sourceTree) == tui::UpperText(o.targetTree))
    problems.push_back(std::string("Katalogi nię mogą być identyczne !"_pl));
  if (!problems.empty()) return;
  if ((o.runItems & kRunGlobal) && o.globalItems != 0 &&
      !run.copier.DirExists(o.sourceTree + o.globalSourceDir))
    problems.push_back("Brak katalogu danych globalnych " + o.sourceTree + o.globalSourceDir);
  if (settings.allFirms || !(o.runItems & kRunFirms)) return;
  // The trees as the run will see them: the settings' roots.
  const ConversionOptions kept = run.options;
  run.options.sourceTree = o.sourceTree;
  run.options.targetTree = o.targetTree;
  std::optional<std::vector<std::string>> offered = OfferedDirectories(run);
  run.options = kept;
  if (!offered) {
    problems.push_back(std::string("Brak dostępu do pliku "_pl) + o.sourceTree + run.firmListName);
    return;
  }
  for (const std::string& wanted : settings.firms) {
    bool found = false;
    for (const std::string& d : *offered)
      found = found || tui::UpperText(d) == tui::UpperText(wanted);
    if (!found) problems.push_back("Firmy nie ma do przeniesienia: " + wanted);
  }
}

}  // namespace

int RunUnattended(RunState& run) {
  std::string text;
  if (!ReadWhole(run.platform.files, run.switches.autoPath, text))
    return Refuse(run, {std::string("Brak pliku ustawień "_pl) + run.switches.autoPath});
  AutoSettingsRead read = ParseAutoSettings(text);
  if (read.Ok()) CheckAgainstTrees(run, read.settings, read.problems);
  if (!read.Ok()) return Refuse(run, read.problems);

  const AutoSettings settings = read.settings;
  run.options = settings.options;
  SettingsAnswers answers(settings.answers);
  run.copier.answers = &answers;
  // A question (whether to go on waiting for a locked file, above all) is answered yes
  // until the settings' time has passed since it was first asked; any other box is
  // taken as read. Nothing is shown and no key waited for.
  std::map<std::string, int> firstAsked;
  tui::LayerState(run.screen).autoAnswer = [&](std::uint16_t flags, std::string_view boxText) {
    if (!(flags & (tui::kMbYes | tui::kMbNo))) return flags == 0 ? tui::kCmCancel : tui::kCmOk;
    int now = Seconds(run.platform.process.Now());
    auto at = firstAsked.try_emplace(std::string(boxText), now).first;
    return now - at->second < settings.answers.lockWaitSeconds ? tui::kCmYes : tui::kCmNo;
  };

  std::vector<std::string> notOffered;
  bool listFailed = false;
  run.steps.perFirmRun = [&](RunState& r) {
    FirmList firms;
    if (RecogniseEnvironment(r, firms) == 0) return;
    if (!settings.allFirms) {
      firms.SelectAll(false);
      for (const std::string& wanted : settings.firms) {
        bool found = false;
        for (int n = 1; n <= firms.Count(); ++n) {
          if (tui::UpperText(firms.At(n).Directory()) != tui::UpperText(wanted)) continue;
          firms.At(n).selected = true;
          found = true;
        }
        if (!found) notOffered.push_back(wanted);
      }
    }
    for (const std::string& d : notOffered)
      r.log.AlertLn(convert::kColourError, "Firmy nie ma do przeniesienia: " + d);
    FirmRunSummary summary = ConvertSelectedFirms(r, firms);
    listFailed = summary.listNotOpened;
    firms.Release();
    r.log.Clear(false);
    WriteFirmRunSummary(r, summary);
  };
  bool began = StartCopy(run);
  Ending(run);
  run.copier.answers = nullptr;
  tui::LayerState(run.screen).autoAnswer = nullptr;

  bool trouble = !began || listFailed || !notOffered.empty();
  for (const FirmReport& firm : run.report.firms)
    trouble = trouble || !firm.added || firm.Total().errors > 0;
  return trouble ? kExitFirmTrouble : 0;
}

}  // namespace zq::driver
