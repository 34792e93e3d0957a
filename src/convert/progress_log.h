// The scrolling progress log: every file copied, record converted and error met is
// reported here, in Polish, on screen rows 3..23 under a fixed two-line header.
// A shadow copy of the 25 rows is kept so that scrolling and clearing can redraw
// without reading the screen back.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tui/screen.h"

namespace zq::convert {

// Sees every piece of text the log is given, whole (also what the screen cuts off),
// so that the log can be copied elsewhere, for example to a file.
class LogSink {
 public:
  virtual ~LogSink() = default;
  virtual void OnWrite(std::string_view text, std::uint8_t colour) = 0;
  virtual void OnLineEnd() = 0;
  // The answer given to the question the log just asked (a key, a value typed or one
  // taken from a settings file); the screen does not show it.
  virtual void OnAnswer(std::string_view /*answer*/) {}
};

class ProgressLog {
 public:
  static constexpr int kRows = 25;
  // Rows 1 and 2 are the header; rows 3..kLastRow scroll.
  static constexpr int kFirstScrollRow = 3;
  static constexpr int kLastRow = 23;
  // A log line ends by this column; the last column of the screen stays blank.
  static constexpr int kLastColumn = 79;

  explicit ProgressLog(tui::Screen& screen);

  // Blanks rows 1..25 (whole) or 3..25 and redraws every row from the shadow. The
  // cursor goes to row 1 after a whole clear and to row 3 otherwise, so the header
  // that was kept is not written over.
  void Clear(bool whole);
  // Colour of the next write only; afterwards writes return to the normal colour.
  void Color(std::uint8_t colour);
  void Write(std::string_view text);
  void WriteLn(std::string_view text = {});
  // A whole line that must be seen (errors, warnings, questions): when the current
  // line already has text and the message does not fit in what is left of it, the
  // message starts on a line of its own.
  void AlertLn(std::uint8_t colour, std::string_view text);
  // Hands the answer to a question to the sinks only.
  void NoteAnswer(std::string_view answer);

  // The log cursor, 1-based absolute screen positions.
  int Column() const { return column_; }
  int Row() const { return row_; }
  // The colour the next write will use.
  std::uint8_t Colour() const { return colour_.value_or(NormalColour()); }
  std::uint8_t NormalColour() const { return screen_.Scheme()[0]; }
  // Shadow of screen row 1..25 as the log wrote it; a row never written is empty.
  const std::string& Line(int row) const { return lines_[static_cast<std::size_t>(row - 1)]; }

  void AddSink(LogSink* sink);
  void RemoveSink(LogSink* sink);

  tui::Screen& Screen() { return screen_; }

 private:
  void EndLine();
  // Rows first..last (1-based) from the shadow, in the normal colour.
  void DrawRows(int first, int last);
  // cells_ of one row from its line.
  void RenderRow(int row);

  tui::Screen& screen_;
  std::array<std::string, kRows> lines_;
  // The shadow as drawn: each line in the normal colour of cellsColour_, blank to the
  // right edge. Kept beside lines_ so that a scroll moves cells instead of rendering
  // the band again.
  std::array<platform::Cell, platform::Console::kColumns * kRows> cells_{};
  std::uint8_t cellsColour_ = 0;
  bool cellsRendered_ = false;
  int column_ = 1;
  int row_ = 1;
  std::optional<std::uint8_t> colour_;
  std::vector<LogSink*> sinks_;
};

}  // namespace zq::convert
