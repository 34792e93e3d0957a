// Process services: arguments, own path, environment, time, sleep and exit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zq::platform {

struct LocalTime {
  int year = 2020, month = 1, day = 1;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  int dayOfWeek = 0;  // 0 = Sunday
};

// Thrown by Process::Exit so that every backend unwinds (and restores its
// terminal) before the code reaches the host.
struct ProgramExit {
  int code;
};

class Process {
 public:
  virtual ~Process() = default;
  // Arguments after the program name, code page 852.
  virtual std::vector<std::string> Arguments() = 0;
  // Full path of the running program, code page 852, host separators.
  virtual std::string OwnPath() = 0;
  virtual std::optional<std::string> Environment(std::string_view name) = 0;
  virtual void Sleep(int milliseconds) = 0;
  virtual LocalTime Now() = 0;
  // Standard output, for the usage text written before the screen is taken.
  virtual void WriteStdout(std::string_view cp852) = 0;
  // Standard error, for what must reach the user or a calling script even when standard
  // output is taken for something else: why an unattended run was refused.
  virtual void WriteStderr(std::string_view cp852) = 0;
  [[noreturn]] void Exit(int code) { throw ProgramExit{code}; }
};

}  // namespace zq::platform
