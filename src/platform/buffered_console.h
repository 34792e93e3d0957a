// What the terminal and Win32 consoles have in common: the 80x25 cells kept in a
// display buffer in front of the host, the cursor, the notice shown when the host
// is too small, and what happens once standard input has ended.
//
// An ended input can never bring a key, yet the program's pages and prompts wait
// for one. So the console reports Esc at once and then every kEndOfInputKeyMs
// while the program keeps asking, which cancels prompts and closes windows. Esc
// does not end everything (the Wizard's cancel question takes it as "no" and goes
// back to its page, whose Esc asks again), so once EndOfInputKeys::kMaxKeys of them
// have not ended the program, the console ends it: the host's console is given
// back, a line on standard error says why and ProgramExit{kEndOfInputExitCode}
// unwinds the program.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/console.h"
#include "platform/display_buffer.h"

namespace zq::platform {

// When the keys of an ended input come, and when they have had their chance.
class EndOfInputKeys {
 public:
  static constexpr long long kIntervalMs = 500;
  // Enough for a few nested windows and questions to close one after another.
  static constexpr int kMaxKeys = 16;

  enum class Step { kWait, kEsc, kGiveUp };

  // Asked while the input has ended and nothing else is waiting.
  Step Next(long long nowMs);
  int Sent() const { return sent_; }

 private:
  int sent_ = 0;
  long long lastMs_ = 0;
};

// One line of a centred notice, 0-based.
struct NoticeLine {
  int column = 0;
  int row = 0;
  std::string text;
};

// `text` (code page 852) broken at blanks into lines of at most `width` characters
// (a longer word is cut), centred in width x height; lines below the last row are
// left out.
std::vector<NoticeLine> PlaceNotice(std::string_view text, int width, int height);

class BufferedConsole : public Console {
 public:
  static constexpr long long kEndOfInputKeyMs = EndOfInputKeys::kIntervalMs;
  static constexpr int kEndOfInputExitCode = 1;

  int Columns() const override { return kColumns; }
  int Rows() const override { return kRows; }
  void WriteCells(int column, int row, std::span<const Cell> cells) override;
  void WriteRows(int row, std::span<const Cell> cells) override;
  void ReadCells(int column, int row, std::span<Cell> cells) const override;
  void SetCursorPosition(int column, int row) override;
  void SetCursorInfo(CursorInfo info) override;
  CursorInfo GetCursorInfo() const override { return cursor_; }
  void Flush() override { FlushFrame(false); }

  // The program is about to wait: whatever the throttle held back goes out now.
  void FlushNow() { FlushFrame(true); }
  // Gives the host's console back as it was found. Idempotent; later output or
  // input takes it again.
  virtual void Restore() = 0;

 protected:
  // Sends the buffer's changes (all of them when `force`) to the host.
  virtual void FlushFrame(bool force) = 0;
  // One line of text for standard error, code page 852, without its line end.
  virtual void WriteError(std::string_view cp852) = 0;

  // To be called when the input has ended and nothing is waiting: true with the
  // next Esc (`shift` its shift bits), false until it is due; throws ProgramExit
  // once the program has had its Esc keys.
  bool EndOfInputKey(InputEvent& event, long long nowMs, std::uint8_t shift);

  DisplayBuffer buffer_;
  int cursorColumn_ = 0, cursorRow_ = 0;
  CursorInfo cursor_;
  // The cursor changed since the host was last told.
  bool cursorDirty_ = true;
  // The program has written cells: the screen is wanted.
  bool drawn_ = false;

 private:
  EndOfInputKeys endOfInput_;
};

}  // namespace zq::platform
