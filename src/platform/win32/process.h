// Process services of a Windows program. The command line, the program's path and
// the environment arrive in the OEM code page, the program's own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/process.h"

namespace zq::platform::win32 {

class Win32Console;

class Win32Process : public Process {
 public:
  // `console` (may be null) is flushed before every sleep, so the screen is current
  // while the program waits.
  explicit Win32Process(Win32Console* console);

  std::vector<std::string> Arguments() override;
  std::string OwnPath() override;
  std::optional<std::string> Environment(std::string_view name) override;
  void Sleep(int milliseconds) override;
  LocalTime Now() override;
  // To the console in its output code page (852 while the program runs), or byte for byte to a
  // redirected handle; new lines become CR LF either way.
  void WriteStdout(std::string_view cp852) override;
  void WriteStderr(std::string_view cp852) override;

 private:
  Win32Console* console_;
};

// A command line split as the C runtime splits it: blanks and tabs between
// arguments, double quotes around blanks, 2n backslashes before a quote give n
// backslashes and a quote that opens or closes, 2n+1 give n and a literal quote, and
// "" inside quotes is a literal quote. The first word, the program, ends at the first
// blank outside quotes and knows no backslash rules.
std::vector<std::wstring> SplitCommandLine(std::wstring_view line);

}  // namespace zq::platform::win32
