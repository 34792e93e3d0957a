#include "platform/win32/process.h"

#include <algorithm>

#include "platform/win32/console.h"
#include "platform/win32/text.h"
#include "platform/win32/win.h"

namespace zq::platform::win32 {

namespace {

bool IsBlank(wchar_t c) {
  return c == L' ' || c == L'\t';
}

std::string WithCrLf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

}  // namespace

std::vector<std::wstring> SplitCommandLine(std::wstring_view line) {
  std::vector<std::wstring> out;
  std::size_t i = 0;
  // The program name: quotes group, nothing escapes.
  std::wstring program;
  bool quoted = false;
  for (; i < line.size(); ++i) {
    wchar_t c = line[i];
    if (c == L'"') {
      quoted = !quoted;
      continue;
    }
    if (!quoted && IsBlank(c)) break;
    program += c;
  }
  out.push_back(program);
  for (;;) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i >= line.size()) break;
    std::wstring arg;
    quoted = false;
    while (i < line.size()) {
      wchar_t c = line[i];
      if (c == L'\\') {
        std::size_t n = 0;
        while (i < line.size() && line[i] == L'\\') {
          ++n;
          ++i;
        }
        if (i < line.size() && line[i] == L'"') {
          arg.append(n / 2, L'\\');
          if (n % 2 == 1) {
            arg += L'"';
            ++i;
          }
        } else {
          arg.append(n, L'\\');
        }
        continue;
      }
      if (c == L'"') {
        if (quoted && i + 1 < line.size() && line[i + 1] == L'"') {
          arg += L'"';
          i += 2;
          continue;
        }
        quoted = !quoted;
        ++i;
        continue;
      }
      if (!quoted && IsBlank(c)) break;
      arg += c;
      ++i;
    }
    out.push_back(arg);
  }
  return out;
}

Win32Process::Win32Process(Win32Console* console) : console_(console) {
  // The program's own path comes from a file call.
  UseOemFileApis();
}

// The command line is read in UTF-16, so an argument with characters of the OEM
// code page that the ANSI one lacks still arrives whole.
std::vector<std::string> Win32Process::Arguments() {
  auto words = SplitCommandLine(GetCommandLineW());
  std::vector<std::string> out;
  for (std::size_t i = 1; i < words.size(); ++i) out.push_back(WideToOem(words[i]));
  return out;
}

std::string Win32Process::OwnPath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

std::optional<std::string> Win32Process::Environment(std::string_view name) {
  if (name.empty() || name.find('=') != std::string_view::npos) return std::nullopt;
  std::wstring wide = OemToWide(name);
  std::wstring value(256, L'\0');
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    DWORD n = GetEnvironmentVariableW(wide.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (n == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    if (n < value.size()) {
      value.resize(n);
      return WideToOem(value);
    }
    value.resize(n);  // n is the size needed, with its terminator
  }
}

void Win32Process::Sleep(int milliseconds) {
  if (console_ != nullptr) console_->FlushNow();
  if (milliseconds > 0) ::Sleep(static_cast<DWORD>(milliseconds));
}

LocalTime Win32Process::Now() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  LocalTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.day = st.wDay;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = std::min<int>(st.wSecond, 59);
  t.millisecond = st.wMilliseconds;
  t.dayOfWeek = st.wDayOfWeek;
  return t;
}

namespace {

// To the console in its output code page, or byte for byte to a redirected handle.
void WriteStandard(DWORD stdHandle, std::string_view cp852) {
  HANDLE out = GetStdHandle(stdHandle);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  std::string text = WithCrLf(cp852);
  std::string_view rest(text);
  DWORD mode = 0;
  bool console = GetConsoleMode(out, &mode) != 0;
  while (!rest.empty()) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(rest.size(), 16384));
    DWORD written = 0;
    // The console reads the bytes in its output code page, which is 852 while the
    // program runs.
    BOOL ok = console ? WriteConsoleA(out, rest.data(), chunk, &written, nullptr)
                      : WriteFile(out, rest.data(), chunk, &written, nullptr);
    if (!ok || written == 0) return;
    rest.remove_prefix(written);
  }
}

}  // namespace

void Win32Process::WriteStdout(std::string_view cp852) {
  WriteStandard(STD_OUTPUT_HANDLE, cp852);
}

void Win32Process::WriteStderr(std::string_view cp852) {
  WriteStandard(STD_ERROR_HANDLE, cp852);
}

}  // namespace zq::platform::win32
