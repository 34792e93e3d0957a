#include <memory>

#include "platform/host.h"
#include "platform/win32/console.h"
#include "platform/win32/files.h"
#include "platform/win32/process.h"

namespace zq::platform {

namespace {

class Win32Host : public Host {
 public:
  Win32Host()
      : files_(CreateHostFiles()), process_(&console_), platform_{console_, *files_, process_} {}

  Platform& Get() override { return platform_; }

 private:
  // The console is declared first so that it is destroyed last: the console is
  // given back after everything that might still draw.
  win32::Win32Console console_;
  std::unique_ptr<Files> files_;
  win32::Win32Process process_;
  Platform platform_;
};

}  // namespace

// The arguments come from the command line itself (GetCommandLineW), which keeps
// characters that the narrow argv of the C runtime would already have lost.
std::unique_ptr<Host> CreateHost(int, char**) {
  return std::make_unique<Win32Host>();
}

}  // namespace zq::platform
