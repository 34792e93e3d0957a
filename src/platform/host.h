// The services of the machine the program runs on: the POSIX terminal or the Win32
// console, with the host's files and process.
#pragma once

#include <memory>

#include "platform/platform.h"

namespace zq::platform {

class Host {
 public:
  virtual ~Host() = default;
  virtual Platform& Get() = 0;
};

std::unique_ptr<Host> CreateHost(int argc, char** argv);

// The host's file system alone; the headless backend keeps files real.
std::unique_ptr<Files> CreateHostFiles();

}  // namespace zq::platform
