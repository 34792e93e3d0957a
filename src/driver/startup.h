// The steps of the program's start and end, one function each so the flow in
// RunProgram reads like the sequence it is.
#pragma once

#include <string>
#include <vector>

#include "driver/run_state.h"

namespace zq::driver {

// Exit code of a run refused before it began: bad settings, an unwritable journal.
inline constexpr int kExitBadSettings = 2;

// Toolkit paths, colours and sound; the 80x25 console and its title.
void StartUp(RunState& run);
// A first argument with a "?" anywhere: the usage text on standard output and a key.
bool AnswerHelpRequest(RunState& run);
// The Extra file list, then the tree roots from the defaults, the first argument and
// the Path settings file. Gives the values refused as too long, for the log.
std::vector<std::string> ResolveTrees(RunState& run);
// The journal of "/LOG:" (beside the program in an unattended run). False when it
// cannot be written and the run must not start: an unattended run says why on standard
// output, an interactive one asks whether to go on without it.
bool OpenJournal(RunState& run);
void DrawBanner(RunState& run, const std::vector<std::string>& refused);
void Ending(RunState& run);

}  // namespace zq::driver
