// The Wizard loop: shows the option pages one at a time, moves between them on the
// pages' commands, and on the start command runs the copy.
#pragma once

#include "driver/run_state.h"

namespace zq::driver {

// Fills the page table and the run steps with what the program has.
void InstallWizard(RunState& run);
void RunWizard(RunState& run);
// The run after the start command: global data, then the firms, then the closing line;
// false when it could not begin (a dry run without its scratch tree).
bool StartCopy(RunState& run);
// "Rezygnujesz z konwersji danych na nowy rok ?"; true when the user confirms.
bool ConfirmCancel(RunState& run);

}  // namespace zq::driver
