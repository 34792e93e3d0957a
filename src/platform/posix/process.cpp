#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/cp852.h"
#include "platform/posix/posix_process.h"
#include "platform/posix/terminal_console.h"

namespace zq::platform {

namespace {

std::string CurrentDirectory() {
  std::string dir(PATH_MAX, '\0');
  if (::getcwd(dir.data(), dir.size()) == nullptr) return {};
  dir.resize(std::char_traits<char>::length(dir.c_str()));
  return dir;
}

std::string Absolute(const std::string& path) {
  if (char* real = ::realpath(path.c_str(), nullptr)) {
    std::string out(real);
    std::free(real);
    return out;
  }
  if (!path.empty() && path[0] == '/') return path;
  return CurrentDirectory() + "/" + path;
}

// Where the shell found a program started by its bare name.
std::string SearchPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return {};
  std::string_view rest(path);
  while (true) {
    std::size_t colon = rest.find(':');
    std::string_view dir = rest.substr(0, colon);
    // An empty entry is the current directory.
    std::string candidate(dir.empty() ? std::string_view(".") : dir);
    candidate += '/';
    candidate += name;
    if (::access(candidate.c_str(), X_OK) == 0) return Absolute(candidate);
    if (colon == std::string_view::npos) return {};
    rest.remove_prefix(colon + 1);
  }
}

}  // namespace

PosixProcess::PosixProcess(int argc, char** argv, TerminalConsole* console) : console_(console) {
  if (argc > 0 && argv != nullptr && argv[0] != nullptr) argv0_ = argv[0];
  for (int i = 1; i < argc && argv != nullptr; ++i)
    if (argv[i] != nullptr) arguments_.emplace_back(argv[i]);
}

std::vector<std::string> PosixProcess::Arguments() {
  std::vector<std::string> out;
  out.reserve(arguments_.size());
  for (const auto& a : arguments_) out.push_back(Utf8ToCp852(a));
  return out;
}

std::string PosixProcess::OwnPath() {
  std::string path(PATH_MAX, '\0');
  ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
  if (n > 0 && static_cast<std::size_t>(n) < path.size()) {
    path.resize(static_cast<std::size_t>(n));
    return Utf8ToCp852(path);
  }
  if (argv0_.empty()) return {};
  std::string found;
  if (argv0_.find('/') != std::string::npos)
    found = Absolute(argv0_);
  else
    found = SearchPath(argv0_);
  if (found.empty()) found = Absolute(argv0_);
  return Utf8ToCp852(found);
}

std::optional<std::string> PosixProcess::Environment(std::string_view name) {
  const char* value = std::getenv(std::string(name).c_str());
  if (value == nullptr) return std::nullopt;
  return Utf8ToCp852(value);
}

void PosixProcess::Sleep(int milliseconds) {
  if (console_ != nullptr) console_->FlushNow();
  if (milliseconds <= 0) return;
  timespec request{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
  timespec remaining{};
  while (::nanosleep(&request, &remaining) != 0 && errno == EINTR) request = remaining;
}

LocalTime PosixProcess::Now() {
  timespec ts{};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  time_t seconds = ts.tv_sec;
  tm local{};
  ::localtime_r(&seconds, &local);
  LocalTime t;
  t.year = local.tm_year + 1900;
  t.month = local.tm_mon + 1;
  t.day = local.tm_mday;
  t.hour = local.tm_hour;
  t.minute = local.tm_min;
  t.second = std::min(local.tm_sec, 59);  // a leap second shows as :59
  t.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
  t.dayOfWeek = local.tm_wday;
  return t;
}

void PosixProcess::WriteStdout(std::string_view cp852) {
  WriteTo(1, cp852);
}

void PosixProcess::WriteStderr(std::string_view cp852) {
  WriteTo(2, cp852);
}

void PosixProcess::WriteTo(int fd, std::string_view cp852) {
  std::string text = Cp852ToUtf8(cp852);
  if (console_ != nullptr && console_->RawOutput()) {
    std::string crlf;
    crlf.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) crlf += '\r';
      crlf += text[i];
    }
    text.swap(crlf);
  }
  std::string_view rest(text);
  while (!rest.empty()) {
    ssize_t n = ::write(fd, rest.data(), rest.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    rest.remove_prefix(static_cast<std::size_t>(n));
  }
}

}  // namespace zq::platform
