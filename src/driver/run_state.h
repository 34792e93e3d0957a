// Everything that lives for the whole run: the screen, the progress log and copy
// primitives, the Conversion options, the Extra file list and the Wizard position.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "convert/copy.h"
#include "convert/progress_log.h"
#include "driver/dry_run.h"
#include "driver/journal.h"
#include "driver/options.h"
#include "driver/paths.h"
#include "driver/report.h"
#include "platform/platform.h"
#include "tui/screen.h"
#include "tui/shared_file.h"

namespace zq::driver {

// Command codes the Wizard pages end with.
inline constexpr std::uint16_t kNextPage = 0x1001;
inline constexpr std::uint16_t kPrevPage = 0x1002;
inline constexpr std::uint16_t kStartCopy = 0x1003;
inline constexpr std::uint16_t kCancel = 0xDD04;

struct RunState;

// Builds one Wizard page from the options, runs it modally and gives the command that
// ended it; nothing when the page could not be built (treated as a cancel).
using WizardPage = std::function<std::optional<std::uint16_t>(RunState&)>;

// The parts of the run after the start command, in their order; an empty one is skipped.
struct RunSteps {
  std::function<void(RunState&)> globalDataCopy;
  std::function<void(RunState&)> perFirmRun;
};

struct RunState {
  explicit RunState(platform::Platform& p)
      : platform(p), screen(p), log(screen), copier(screen, log) {}

  platform::Platform& platform;
  tui::Screen screen;
  convert::ProgressLog log;
  convert::Copier copier;
  // The file-open mode, the sharing switch and the waits of shared record files.
  tui::SharedFiles sharedFiles{screen};
  ConversionOptions options;
  ExtraFileList extraFiles;
  // Settled at start-up from "/kprspis:" and KPRSPIS.
  std::string firmListName = "SPISFIRM.DAT";
  // The address converter reads the tax-office layout: true only while the global copy
  // converts the tax-office base.
  bool taxOfficeBase = false;
  // The new switches of the command line; the journal when one is kept.
  RunSwitches switches;
  std::unique_ptr<Journal> journal;
  // The file layer of a dry run, below everything else; none in a real run.
  DryRunFiles* dryRun = nullptr;
  bool journalFailed = false;
  // The reconciliation of the run, and the firm whose items are being counted into it
  // (none outside a firm's run).
  RunReport report;
  FirmReport* firmReport = nullptr;
  int currentPage = 1;
  std::vector<WizardPage> pages;
  RunSteps steps;
};

// Appends the journal kept so far, when there is one; a journal that can no longer be
// written is said once on the log.
void FlushJournal(RunState& run, bool final = false);
// A line of the journal only.
void NoteInJournal(RunState& run, std::string_view text);

}  // namespace zq::driver
