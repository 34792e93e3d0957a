// The unattended run (/AUTO:file): the Wizard's choices, the firms and every answer come
// from the settings file; nothing waits for a key. Gives the exit code: 0 when every
// chosen firm was carried without an error, 1 when one had errors or was not added, 2
// when the settings file is missing or wrong (nothing written, every problem on
// standard output and in the journal).
#pragma once

#include "driver/run_state.h"

namespace zq::driver {

inline constexpr int kExitFirmTrouble = 1;

int RunUnattended(RunState& run);

}  // namespace zq::driver
