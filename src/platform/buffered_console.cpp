#include "platform/buffered_console.h"

#include <algorithm>
#include <utility>

#include "platform/bios_keys.h"
#include "platform/cp852.h"
#include "platform/process.h"

namespace zq::platform {

EndOfInputKeys::Step EndOfInputKeys::Next(long long nowMs) {
  if (sent_ > 0 && nowMs - lastMs_ < kIntervalMs) return Step::kWait;
  if (sent_ >= kMaxKeys) return Step::kGiveUp;
  ++sent_;
  lastMs_ = nowMs;
  return Step::kEsc;
}

std::vector<NoticeLine> PlaceNotice(std::string_view text, int width, int height) {
  width = std::max(width, 1);
  std::vector<std::string> lines;
  std::string line;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t end = text.find(' ', i);
    if (end == std::string_view::npos) end = text.size();
    std::string word(text.substr(i, end - i));
    i = end + 1;
    while (static_cast<int>(word.size()) > width) {
      if (!line.empty()) lines.push_back(std::exchange(line, std::string()));
      lines.push_back(word.substr(0, static_cast<std::size_t>(width)));
      word.erase(0, static_cast<std::size_t>(width));
    }
    if (word.empty()) continue;
    if (line.empty()) {
      line = word;
    } else if (static_cast<int>(line.size() + 1 + word.size()) <= width) {
      line += ' ';
      line += word;
    } else {
      lines.push_back(std::exchange(line, word));
    }
  }
  if (!line.empty()) lines.push_back(line);

  std::vector<NoticeLine> placed;
  int top = std::max(0, (height - static_cast<int>(lines.size())) / 2);
  for (std::size_t n = 0; n < lines.size() && top + static_cast<int>(n) < height; ++n) {
    int column = std::max(0, (width - static_cast<int>(lines[n].size())) / 2);
    placed.push_back(NoticeLine{column, top + static_cast<int>(n), std::move(lines[n])});
  }
  return placed;
}

void BufferedConsole::WriteCells(int column, int row, std::span<const Cell> cells) {
  buffer_.WriteCells(column, row, cells);
  if (!cells.empty()) drawn_ = true;
}

void BufferedConsole::WriteRows(int row, std::span<const Cell> cells) {
  buffer_.WriteRows(row, cells);
  if (!cells.empty()) drawn_ = true;
}

void BufferedConsole::ReadCells(int column, int row, std::span<Cell> cells) const {
  buffer_.ReadCells(column, row, cells);
}

void BufferedConsole::SetCursorPosition(int column, int row) {
  cursorColumn_ = std::clamp(column, 0, kColumns - 1);
  cursorRow_ = std::clamp(row, 0, kRows - 1);
  cursorDirty_ = true;
  buffer_.MarkDirty();
}

void BufferedConsole::SetCursorInfo(CursorInfo info) {
  info.percent = std::clamp(info.percent, 1, 100);
  cursor_ = info;
  cursorDirty_ = true;
  buffer_.MarkDirty();
}

bool BufferedConsole::EndOfInputKey(InputEvent& event, long long nowMs, std::uint8_t shift) {
  switch (endOfInput_.Next(nowMs)) {
    case EndOfInputKeys::Step::kWait:
      return false;
    case EndOfInputKeys::Step::kEsc:
      event = InputEvent{};
      event.kind = InputEvent::Kind::Key;
      event.key = PcKeyEvent(PcKey::kEsc, shift);
      return true;
    case EndOfInputKeys::Step::kGiveUp:
      break;
  }
  // The message goes to the screen the user is left with, not the program's own.
  Restore();
  using zq::operator""_pl;
  WriteError("Koniec danych wejściowych: program kończy pracę."_pl);
  throw ProgramExit{kEndOfInputExitCode};
}

}  // namespace zq::platform
