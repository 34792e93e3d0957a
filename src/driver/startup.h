// The steps of the program's start and end, one function each so the flow in
// RunProgram reads like the sequence it is.
#pragma once

#include <string>
#include <vector>

#include "driver/run_state.h"

namespace zq::driver {

// Toolkit paths, colours and sound; the 80x25 console and its title.
void StartUp(RunState& run);
// A first argument with a "?" anywhere: the usage text on standard output and a key.
bool AnswerHelpRequest(RunState& run);
// The Extra file list, then the tree roots from the defaults, the first argument and
// the Path settings file. Gives the values refused as too long, for the log.
std::vector<std::string> ResolveTrees(RunState& run);
void DrawBanner(RunState& run, const std::vector<std::string>& refused);
void Ending(RunState& run);

}  // namespace zq::driver
