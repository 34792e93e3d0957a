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
// reports Esc keys and in the end ends the program (BufferedConsole); its line on
// standard error is UTF-8, as every text the program gives a POSIX host.
#pragma once

#include <termios.h>

#include <string>

#include "platform/buffered_console.h"
#include "platform/posix/key_decoder.h"
#include "platform/posix/terminal_renderer.h"

namespace zq::platform {

class TerminalConsole : public BufferedConsole {
 public:
  explicit TerminalConsole(int inputFd = 0, int outputFd = 1);
  ~TerminalConsole() override;
  TerminalConsole(const TerminalConsole&) = delete;
  TerminalConsole& operator=(const TerminalConsole&) = delete;

  bool SetSize(int columns, int rows) override;
  void SetTitle(std::string_view cp852) override;
  bool PollEvent(InputEvent& event) override;
  int PendingEvents() override;
  void FlushInput() override;
  void Beep(int frequency, int milliseconds) override;
  bool GetClipboard(std::string& cp852) override;
  bool SetClipboard(std::string_view cp852) override;
  void Restore() override;

  // True while the terminal's output processing is off, so that a lone '\n' would
  // not return the carriage.
  bool RawOutput() const { return rawOn_ && outputTty_; }

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
  void FlushFrame(bool force) override;
  void WriteError(std::string_view cp852) override;
  void Write(std::string_view bytes);
  static long long NowMs();

  int in_, out_;
  bool inputTty_ = false, outputTty_ = false;
  termios original_{};
  bool haveOriginal_ = false;
  bool rawOn_ = false;
  bool screenOn_ = false;
  bool outputDead_ = false;
  bool registered_ = false;

  TerminalRenderer renderer_;
  KeyDecoder decoder_;

  std::string title_;
  bool titleDirty_ = false;
  std::string clipboard_;

  int terminalColumns_ = kColumns, terminalRows_ = kRows;
  bool tooSmall_ = false;
  bool tooSmallShown_ = false;

  bool inputEnded_ = false;
};

}  // namespace zq::platform
