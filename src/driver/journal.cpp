#include "driver/journal.h"

#include <algorithm>

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
  // "YYYY-MM-DD HH:MM:SS ": written digit by digit, since a run writes a line for every
  // file of every firm.
  char stamp[] = "0000-00-00 00:00:00 ";
  auto put = [&stamp](int at, int width, int value) {
    for (int i = at + width - 1; i >= at; --i, value /= 10)
      stamp[i] = static_cast<char>('0' + value % 10);
  };
  put(0, 4, std::clamp(t.year, 0, 9999));
  put(5, 2, std::clamp(t.month, 0, 99));
  put(8, 2, std::clamp(t.day, 0, 99));
  put(11, 2, std::clamp(t.hour, 0, 99));
  put(14, 2, std::clamp(t.minute, 0, 99));
  put(17, 2, std::clamp(t.second, 0, 99));
  pending_.append(stamp, sizeof stamp - 1);
  pending_ += Cp852ToUtf8(cp852);
  pending_ += "\r\n";
}

bool Journal::Flush(bool final) {
  if (final) EndOpenLine();
  if (pending_.empty()) return true;
  int error = 0;
  auto file = files_.Open(path_, platform::kWrite, platform::kShareRead,
                          platform::Disposition::kOpenAlways, error);
  if (!file) return false;
  std::int64_t at = 0;
  // Handed to the system at each firm's end, which is all a killed run needs; made
  // safe on the disk only at the end, so that a journal does not cost every firm a
  // wait for the disk.
  bool ok = file->Seek(0, platform::Whence::kEnd, at, error) &&
            platform::WriteAll(*file, pending_.data(), pending_.size(), error) &&
            (!final || file->Flush(error));
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
