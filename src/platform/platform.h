// One bundle of the host services; everything above this layer reaches the host only
// through it.
#pragma once

#include "platform/console.h"
#include "platform/files.h"
#include "platform/process.h"

namespace zq::platform {

struct Platform {
  Console& console;
  Files& files;
  Process& process;
};

}  // namespace zq::platform
