// The four Wizard pages, each a DialogPage bound to the Conversion options, and the
// check page 1 runs on the tree roots before it may be left.
#pragma once

#include <optional>

#include "driver/run_state.h"
#include "tui/dialog.h"

namespace zq::driver {

// Builds page `number` (1..4), runs it and gives the command that ended it; nothing
// when its window could not be opened.
std::optional<std::uint16_t> RunWizardPage(RunState& run, int number);

// Page 1's check of the two roots: adds the trailing backslashes, wants a firm list in
// the Source tree and an existing Target directory, and refuses two roots that name the
// same directory. Shows its error boxes and moves the focus on `page`.
bool ValidatePaths(RunState& run, tui::DialogPage& page);

}  // namespace zq::driver
