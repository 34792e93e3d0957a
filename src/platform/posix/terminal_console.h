// The console on a POSIX terminal (xterm and its kin, tmux, the Linux console).
//
// The terminal is taken lazily: raw input on the first input poll, the alternate
// screen on the first frame that has cells to show. Text written to standard
// output before that (the usage text) stays on the normal screen and is still
// there after exit. The terminal is given back on every way out: destruction,
// exit(), the terminating signals (SIGINT, SIGTERM, SIGHUP, which are re-raised
// afterwards) and the fatal ones (SIGSEGV, SIGABRT, SIGBUS, SIGFPE, restored with
// async-signal-safe calls only, then passed on).
//
// A terminal smaller than 80x25 shows a notice instead of the screen and the
// program waits (PollEvent reports nothing, typed keys stay queued) until it is
// large enough; then the whole screen is drawn again. A larger one shows the
// screen at its top left.
//
// Without a terminal: when standard output is not one, nothing is drawn (the
// cells are still kept and read back); when standard input is not one, its bytes
// are decoded as typed keys without raw mode. Once input has ended, PollEvent
// reports an Esc key at once and then one every kEndOfInputKeyMs while the
// program keeps asking, so that pages and prompts that Esc cancels run down
// instead of the program waiting for keys that can never come.
#pragma once

#include <termios.h>

#include <string>

#include "platform/console.h"
#include "platform/display_buffer.h"
#include "platform/posix/key_decoder.h"
#include "platform/posix/terminal_renderer.h"

namespace zq::platform {

class TerminalConsole : public Console {
 public:
  static constexpr long long kEndOfInputKeyMs = 500;

  explicit TerminalConsole(int inputFd = 0, int outputFd = 1);
  ~TerminalConsole() override;
  TerminalConsole(const TerminalConsole&) = delete;
  TerminalConsole& operator=(const TerminalConsole&) = delete;

  bool SetSize(int columns, int rows) override;
  int Columns() const override { return kColumns; }
  int Rows() const override { return kRows; }
  void SetTitle(std::string_view cp852) override;
  void WriteCells(int column, int row, std::span<const Cell> cells) override;
  void ReadCells(int column, int row, std::span<Cell> cells) const override;
  void SetCursorPosition(int column, int row) override;
  void SetCursorInfo(CursorInfo info) override;
  CursorInfo GetCursorInfo() const override { return cursor_; }
  bool PollEvent(InputEvent& event) override;
  int PendingEvents() override;
  void FlushInput() override;
  void Beep(int frequency, int milliseconds) override;
  void Flush() override;
  bool GetClipboard(std::string& cp852) override;
  bool SetClipboard(std::string_view cp852) override;

  // The program is about to wait: whatever the throttle held back goes out now.
  void FlushNow();
  // True while the terminal's output processing is off, so that a lone '\n' would
  // not return the carriage.
  bool RawOutput() const { return rawOn_ && outputTty_; }
  // Gives the terminal back as it was found. Idempotent; later output or input
  // takes it again.
  void Restore();

  bool ScreenTaken() const { return screenOn_; }
  bool InputTaken() const { return rawOn_; }
  bool TooSmall() const { return tooSmall_; }

 private:
  void TakeInput();
  void TakeScreen();
  void EnterScreenSequences();
  void Service();
  void CheckSize();
  void ShowTooSmall();
  void ReadInput();
  void FlushFrame(bool force);
  void Write(std::string_view bytes);
  static long long NowMs();

  int in_, out_;
  bool inputTty_ = false, outputTty_ = false;
  termios original_{};
  bool haveOriginal_ = false;
  bool rawOn_ = false;
  bool screenOn_ = false;
  bool drawn_ = false;  // the program has written cells: the screen is wanted
  bool outputDead_ = false;
  bool registered_ = false;

  DisplayBuffer buffer_;
  TerminalRenderer renderer_;
  KeyDecoder decoder_;

  int cursorColumn_ = 0, cursorRow_ = 0;
  CursorInfo cursor_;
  std::string title_;
  bool titleDirty_ = false;
  std::string clipboard_;

  int terminalColumns_ = kColumns, terminalRows_ = kRows;
  bool tooSmall_ = false;
  bool tooSmallShown_ = false;

  bool inputEnded_ = false;
  long long lastEndKeyMs_ = 0;
  bool endKeySent_ = false;
};

}  // namespace zq::platform
