// The console of a Windows process: an 80x25 screen buffer of code page 852 cells
// with attributes, its cursor and title, key and mouse input records.
//
// The console is taken lazily, as a terminal is on POSIX: its input mode on the
// first input poll, the screen on the first frame that has cells to show. The
// screen is a screen buffer of the program's own, made active while it runs, so the
// window the program was started from (its text, size and scroll-back) is there
// again afterwards; the input mode, the input and output code pages and the title
// are put back too, on every way out (destruction, Ctrl+Break, closing the window).
// A display buffer in front sends only the changed runs of cells.
//
// A console that cannot show 80x25 gets a notice instead of the screen; the
// program waits until the console is large enough or a key is pressed, and then
// draws the screen (what does not fit is cut off).
//
// Without a console (standard handles redirected and no console attached) nothing
// is drawn: the cells are still kept and read back, a message on standard error
// says why, and standard input, when redirected, is read as typed characters. Once
// that input has ended, a program that has drawn its screen cannot go on: the
// next PollEvent ends it with kNoConsoleExitCode (through ProgramExit, so that
// everything unwinds). Before anything is drawn (the usage text) an ended input
// reads as Esc keys until the program ends or the console ends it (BufferedConsole);
// its line on standard error is in code page 852, as the program's other text.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "platform/buffered_console.h"

namespace zq::platform::win32 {

class Win32Console : public BufferedConsole {
 public:
  static constexpr int kNoConsoleExitCode = 1;

  Win32Console();
  ~Win32Console() override;
  Win32Console(const Win32Console&) = delete;
  Win32Console& operator=(const Win32Console&) = delete;

  bool SetSize(int columns, int rows) override;
  void SetTitle(std::string_view cp852) override;
  bool PollEvent(InputEvent& event) override;
  int PendingEvents() override;
  void FlushInput() override;
  void Beep(int frequency, int milliseconds) override;
  bool GetClipboard(std::string& cp852) override;
  bool SetClipboard(std::string_view cp852) override;
  void Restore() override;

  // Whether a console was found to draw on.
  bool HasConsole() const { return output_ != nullptr; }
  bool ScreenTaken() const { return screenTaken_; }
  bool InputTaken() const { return inputTaken_; }
  bool TooSmall() const { return tooSmall_ && !tooSmallDismissed_; }
  // The screen buffer the program draws on (a HANDLE), null before the screen is taken.
  void* ScreenHandle() const { return screenTaken_ ? screen_ : nullptr; }

 private:
  class Sink;
  friend class Sink;

  void TakeCodePages();
  void TakeInput();
  void TakeScreen();
  bool FitScreen();
  void CheckStillSmall();
  void ShowTooSmall();
  void ReportNoConsole();
  void ReadInput();
  void ReadConsoleRecords();
  void ReadRedirectedInput();
  void FlushFrame(bool force) override;
  void WriteError(std::string_view cp852) override;
  void PutCursor();

  // Console handles (HANDLE); null when there is none.
  void* input_ = nullptr;
  void* output_ = nullptr;  // the screen buffer that was active at start
  void* screen_ = nullptr;  // the program's own screen buffer, or output_
  void* stdin_ = nullptr;   // redirected standard input, when there is no console input
  bool ownInput_ = false, ownOutput_ = false;

  bool inputTaken_ = false;
  std::uint32_t inputMode_ = 0;
  bool screenTaken_ = false;
  bool codePagesTaken_ = false;
  unsigned inputCodePage_ = 0, outputCodePage_ = 0;
  bool titleSet_ = false;
  std::wstring originalTitle_;
  std::string title_;
  bool noConsoleReported_ = false;

  bool tooSmall_ = false;
  bool tooSmallShown_ = false;
  bool tooSmallDismissed_ = false;
  long long lastSizeCheckMs_ = 0;

  std::deque<InputEvent> queue_;
  bool inputEnded_ = false;
  bool lastWasReturn_ = false;

  std::string clipboard_;
};

}  // namespace zq::platform::win32
