#include <memory>

#include "platform/host.h"
#include "platform/posix/posix_process.h"
#include "platform/posix/terminal_console.h"

namespace zq::platform {

namespace {

class PosixHost : public Host {
 public:
  PosixHost(int argc, char** argv)
      : files_(CreateHostFiles()),
        process_(argc, argv, &console_),
        platform_{console_, *files_, process_} {}

  Platform& Get() override { return platform_; }

 private:
  // The console is declared first so that it is destroyed last: the terminal is
  // given back after everything that might still draw.
  TerminalConsole console_;
  std::unique_ptr<Files> files_;
  PosixProcess process_;
  Platform platform_;
};

}  // namespace

std::unique_ptr<Host> CreateHost(int argc, char** argv) {
  return std::make_unique<PosixHost>(argc, argv);
}

}  // namespace zq::platform
