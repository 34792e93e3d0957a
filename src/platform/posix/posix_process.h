// Process services on a POSIX host. Texts cross the boundary as UTF-8 outside and
// code page 852 inside.
#pragma once

#include <string>
#include <vector>

#include "platform/process.h"

namespace zq::platform {

class TerminalConsole;

class PosixProcess : public Process {
 public:
  // `console` (may be null) is flushed before every sleep, so the screen is
  // current while the program waits, and tells whether standard output needs
  // "\r\n" for a new line.
  PosixProcess(int argc, char** argv, TerminalConsole* console);

  std::vector<std::string> Arguments() override;
  std::string OwnPath() override;
  std::optional<std::string> Environment(std::string_view name) override;
  void Sleep(int milliseconds) override;
  LocalTime Now() override;
  void WriteStdout(std::string_view cp852) override;
  void WriteStderr(std::string_view cp852) override;

 private:
  void WriteTo(int fd, std::string_view cp852);

  std::vector<std::string> arguments_;  // UTF-8, as given
  std::string argv0_;
  TerminalConsole* console_;
};

}  // namespace zq::platform
