#include "driver/wizard.h"

#include <optional>

#include "driver/discovery.h"
#include "driver/firm_list.h"
#include "driver/firm_run.h"
#include "driver/firm_selection.h"
#include "driver/global_copy.h"
#include "driver/pages.h"
#include "platform/cp852.h"
#include "tui/message.h"

namespace zq::driver {

using zq::operator""_pl;

namespace {

// The firms still to be carried over, the user's choice among them, then the run over
// the chosen ones; the list lives only for this step.
void RunFirms(RunState& run) {
  FirmList firms;
  std::optional<FirmRunSummary> summary;
  if (RecogniseEnvironment(run, firms) > 0 && ChooseFirms(run.screen, firms))
    summary = ConvertSelectedFirms(run, firms);
  firms.Release();
  run.log.Clear(false);
  if (summary) WriteFirmRunSummary(run, *summary);
}

}  // namespace

void InstallWizard(RunState& run) {
  run.pages.clear();
  for (int n = 1; n <= 4; ++n)
    run.pages.push_back([n](RunState& r) { return RunWizardPage(r, n); });
  run.steps = RunSteps{};
  run.steps.globalDataCopy = RunGlobalDataCopy;
  run.steps.perFirmRun = RunFirms;
}

bool ConfirmCancel(RunState& run) {
  return tui::YesNoQuestion(run.screen, false, "Rezygnujesz z konwersji danych na nowy rok ?", 10,
                            10);
}

bool StartCopy(RunState& run) {
  const ConversionOptions& o = run.options;
  run.copier.showSlowly = o.showSlowly;
  if (run.dryRun && !BeginDryRun(run)) return false;
  if ((o.runItems & kRunGlobal) && o.globalItems != 0 && run.steps.globalDataCopy)
    run.steps.globalDataCopy(run);
  FlushJournal(run);
  if ((o.runItems & kRunFirms) && run.steps.perFirmRun) {
    run.steps.perFirmRun(run);
    PresentReport(run);
  }
  if (run.dryRun) EndDryRun(run);
  run.log.WriteLn("");
  run.log.WriteLn("");
  run.log.WriteLn("Koniec pracy kopiera danych DOR_ZQ na rok 2020");
  return true;
}

void RunWizard(RunState& run) {
  const int pageCount = static_cast<int>(run.pages.size());
  for (;;) {
    std::optional<std::uint16_t> command;
    if (run.currentPage >= 1 && run.currentPage <= pageCount)
      command = run.pages[static_cast<std::size_t>(run.currentPage - 1)](run);
    // A page that cannot be built counts as cancelled, as the firm selection does.
    switch (command.value_or(kCancel)) {
      case kCancel:
        if (ConfirmCancel(run)) return;
        break;
      case kPrevPage:
        if (run.currentPage > 1) --run.currentPage;
        break;
      case kNextPage:
        if (run.currentPage < pageCount) ++run.currentPage;
        break;
      case kStartCopy:
        StartCopy(run);
        return;
      default:
        break;
    }
  }
}

}  // namespace zq::driver
