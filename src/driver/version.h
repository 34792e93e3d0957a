// The program's version: the banner shows it, and tools/release.sh names the release
// bundle after it (it reads the literal below, so keep it on one line).
#pragma once

#include <string_view>

namespace zq::driver {

inline constexpr std::string_view kVersion = "1.07";

}  // namespace zq::driver
