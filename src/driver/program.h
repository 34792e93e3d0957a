// The program's entry and top-level flow: start-up, the Wizard loop, the run and the ending.
#pragma once

#include "platform/platform.h"

namespace zq::driver {

// Runs the whole program on the given host services and returns the exit code.
int RunProgram(platform::Platform& platform);

}  // namespace zq::driver
