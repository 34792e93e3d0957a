#include "driver/journal.h"

#include <cstdio>

#include "platform/cp852.h"
#include "platform/text_file.h"

namespace zq::driver {

namespace {

using zq::operator""_pl;

// The ASCII upper case of a switch, so "/log:" reads as "/LOG:".
std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

// A window's text on one line: its line breaks and title mark become " / ", its
// centring marks go.
std::string OneLine(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\r' || c == '\x07')
      out += " / ";
    else if (c != '\x03')
      out += c;
  }
  return out;
}

}  // namespace

Journal::Journal(platform::Files& files, platform::Process& process, std::string path)
    : files_(files), process_(process), path_(std::move(path)) {}

bool Journal::Usable() {
  int error = 0;
  auto file = files_.Open(path_, platform::kWrite, platform::kShareRead,
                          platform::Disposition::kOpenAlways, error);
  return file && file->Close(error);
}

void Journal::OnWrite(std::string_view text, std::uint8_t) {
  line_ += text;
  lineOpen_ = true;
}

void Journal::OnLineEnd() {
  Keep(line_);
  line_.clear();
  lineOpen_ = false;
}

void Journal::OnAnswer(std::string_view answer) {
  std::string given = std::string("  [odpowiedź: "_pl) + std::string(answer) + "]";
  if (lineOpen_) {
    line_ += given;
    return;
  }
  Keep(given);
}

void Journal::Note(std::string_view text) {
  Keep(text);
}

void Journal::NoteDialog(std::string_view text, std::string_view answer) {
  std::string line = "[okno] " + OneLine(text);
  if (!answer.empty()) line += std::string("  [odpowiedź: "_pl) + OneLine(answer) + "]";
  Keep(line);
}

void Journal::Keep(std::string_view cp852) {
  platform::LocalTime t = process_.Now();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d ", t.year, t.month, t.day,
                t.hour, t.minute, t.second);
  pending_ += stamp;
  pending_ += Cp852ToUtf8(cp852);
  pending_ += "\r\n";
}

bool Journal::Flush(bool final) {
  if (final && lineOpen_) OnLineEnd();
  if (pending_.empty()) return true;
  int error = 0;
  auto file = files_.Open(path_, platform::kWrite, platform::kShareRead,
                          platform::Disposition::kOpenAlways, error);
  if (!file) return false;
  std::int64_t at = 0;
  bool ok = file->Seek(0, platform::Whence::kEnd, at, error) &&
            platform::WriteAll(*file, pending_.data(), pending_.size(), error) &&
            file->Flush(error);
  // A failed append may have left part of the lines: they are kept and written again
  // rather than lost.
  if (!file->Close(error)) ok = false;
  if (ok) pending_.clear();
  return ok;
}

RunSwitches ReadRunSwitches(const std::vector<std::string>& arguments) {
  RunSwitches switches;
  for (const std::string& argument : arguments) {
    std::string upper = UpperAscii(argument);
    if (upper.starts_with("/LOG:")) {
      switches.logPath = argument.substr(5);
    } else if (upper.starts_with("/AUTO:")) {
      switches.autoPath = argument.substr(6);
      switches.unattended = true;
    } else if (upper == "/TEST") {
      switches.dryRun = true;
    } else {
      switches.arguments.push_back(argument);
    }
  }
  return switches;
}

}  // namespace zq::driver
