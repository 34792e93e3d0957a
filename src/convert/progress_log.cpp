#include "convert/progress_log.h"

#include <algorithm>

namespace zq::convert {

namespace {

constexpr int kColumns = platform::Console::kColumns;

}  // namespace

ProgressLog::ProgressLog(tui::Screen& screen) : screen_(screen) {}

void ProgressLog::Clear(bool whole) {
  int from = whole ? 1 : kFirstScrollRow;
  for (int r = from; r <= kRows; ++r) {
    lines_[static_cast<std::size_t>(r - 1)].clear();
    RenderRow(r);
  }
  DrawRows(1, kRows);
  column_ = 1;
  row_ = from;
  screen_.PlaceCursor(column_, row_);
}

void ProgressLog::Color(std::uint8_t colour) {
  colour_ = colour;
}

void ProgressLog::Write(std::string_view text) {
  if (text.empty()) return;
  std::uint8_t colour = Colour();
  for (LogSink* sink : sinks_) sink->OnWrite(text, colour);
  std::size_t room = column_ < kColumns ? static_cast<std::size_t>(kColumns - column_) : 0;
  std::string_view shown = text.substr(0, std::min(text.size(), room));
  if (!shown.empty()) {
    std::string& line = lines_[static_cast<std::size_t>(row_ - 1)];
    std::size_t at = static_cast<std::size_t>(column_ - 1);
    if (line.size() < at + shown.size()) line.resize(at + shown.size(), ' ');
    line.replace(at, shown.size(), shown);
    platform::Cell* cells = &cells_[static_cast<std::size_t>(row_ - 1) * kColumns + at];
    for (std::size_t i = 0; i < shown.size(); ++i)
      cells[i].ch = static_cast<std::uint8_t>(shown[i]);
    screen_.WriteAbsolute(colour, column_, row_, shown);
  }
  colour_.reset();
  column_ += static_cast<int>(shown.size());
  screen_.PlaceCursor(column_, row_);
}

void ProgressLog::WriteLn(std::string_view text) {
  Write(text);
  for (LogSink* sink : sinks_) sink->OnLineEnd();
  EndLine();
}

void ProgressLog::AlertLn(std::uint8_t colour, std::string_view text) {
  if (column_ > 1 && column_ + static_cast<int>(text.size()) > kColumns) WriteLn();
  Color(colour);
  WriteLn(text);
}

void ProgressLog::NoteAnswer(std::string_view answer) {
  for (LogSink* sink : sinks_) sink->OnAnswer(answer);
}

void ProgressLog::EndLine() {
  if (row_ < kLastRow) {
    ++row_;
  } else {
    // Rows 4..24 move up into 3..23 and row 24 comes in blank; the header stays.
    for (int r = kFirstScrollRow; r <= kLastRow; ++r)
      lines_[static_cast<std::size_t>(r - 1)] = std::move(lines_[static_cast<std::size_t>(r)]);
    lines_[static_cast<std::size_t>(kLastRow)].clear();
    std::copy(cells_.begin() + kFirstScrollRow * kColumns,
              cells_.begin() + (kLastRow + 1) * kColumns,
              cells_.begin() + (kFirstScrollRow - 1) * kColumns);
    RenderRow(kLastRow + 1);
    DrawRows(kFirstScrollRow, kLastRow + 1);
  }
  column_ = 1;
  screen_.PlaceCursor(column_, row_);
}

void ProgressLog::RenderRow(int row) {
  const std::string& line = lines_[static_cast<std::size_t>(row - 1)];
  auto cells = std::span(cells_).subspan(static_cast<std::size_t>(row - 1) * kColumns, kColumns);
  std::fill(cells.begin(), cells.end(), platform::Cell{' ', cellsColour_});
  for (std::size_t i = 0; i < line.size() && i < cells.size(); ++i)
    cells[i].ch = static_cast<std::uint8_t>(line[i]);
}

void ProgressLog::DrawRows(int first, int last) {
  if (!cellsRendered_ || cellsColour_ != NormalColour()) {
    cellsColour_ = NormalColour();
    cellsRendered_ = true;
    for (int r = 1; r <= kRows; ++r) RenderRow(r);
  }
  // One block for the whole band: the log scrolls on every line it ends.
  const auto count = static_cast<std::size_t>(last - first + 1);
  screen_.PutRows(first, std::span(cells_).subspan(static_cast<std::size_t>(first - 1) * kColumns,
                                                   count * kColumns));
}

void ProgressLog::AddSink(LogSink* sink) {
  if (sink && std::find(sinks_.begin(), sinks_.end(), sink) == sinks_.end()) sinks_.push_back(sink);
}

void ProgressLog::RemoveSink(LogSink* sink) {
  sinks_.erase(std::remove(sinks_.begin(), sinks_.end(), sink), sinks_.end());
}

}  // namespace zq::convert
