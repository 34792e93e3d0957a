// An in-memory console and process with a scripted input queue and a fake clock,
// so that the whole program runs in tests: keys in, 80x25 cells out.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "platform/console.h"
#include "platform/process.h"

namespace zq::platform {

// Raised when the program waits for input that the script no longer has: a test
// that forgot a key fails instead of hanging.
struct ScriptExhausted {
  std::string screen;
};

class FakeClock {
 public:
  void Advance(int ms) { elapsedMs_ += ms; }
  long long ElapsedMs() const { return elapsedMs_; }
  LocalTime Now() const;
  void Set(const LocalTime& start) {
    start_ = start;
    elapsedMs_ = 0;
  }

 private:
  LocalTime start_{2020, 1, 2, 10, 0, 0, 0, 4};
  long long elapsedMs_ = 0;
};

class HeadlessConsole : public Console {
 public:
  using Step = std::variant<KeyEvent, MouseEvent, std::function<void()>>;

  explicit HeadlessConsole(FakeClock& clock);

  bool SetSize(int columns, int rows) override;
  int Columns() const override { return kColumns; }
  int Rows() const override { return kRows; }
  void SetTitle(std::string_view cp852) override { title_ = cp852; }
  void WriteCells(int column, int row, std::span<const Cell> cells) override;
  void ReadCells(int column, int row, std::span<Cell> cells) const override;
  void SetCursorPosition(int column, int row) override;
  void SetCursorInfo(CursorInfo info) override { cursor_ = info; }
  CursorInfo GetCursorInfo() const override { return cursor_; }
  bool PollEvent(InputEvent& event) override;
  int PendingEvents() override;
  void FlushInput() override;
  void Beep(int frequency, int milliseconds) override;
  bool GetClipboard(std::string& cp852) override;
  bool SetClipboard(std::string_view cp852) override;

  // Script. Keys are given by key code (scan * 256 + char) with an optional shift state.
  void PushKey(std::uint16_t code, std::uint8_t shift = 0);
  void PushKeys(std::initializer_list<std::uint16_t> codes);
  // Plain text typed as keys; the string is code page 852.
  void PushText(std::string_view cp852);
  void PushMouse(const MouseEvent& mouse);
  // Runs when the program reaches this point of the script (to look at the screen).
  void PushAction(std::function<void()> action);
  std::size_t ScriptLeft() const { return script_.size(); }
  // Keys a program reads and drops after the one it waits for (type-ahead flush)
  // are not lost from the script: only keys pushed with this flag count as type-ahead.
  void SetTypeAhead(bool on) { typeAhead_ = on; }

  // Inspection.
  Cell At(int column, int row) const { return cells_[Index(column, row)]; }
  std::string RowText(int row) const;  // UTF-8, trailing blanks kept
  std::string ScreenText() const;      // 25 lines, UTF-8, trailing blanks trimmed
  // One hex digit of the attribute's foreground and background per cell:
  // rows of "bf" pairs separated by blanks would be unreadable, so two maps.
  std::string AttributeMap(bool background) const;
  const std::string& Title() const { return title_; }
  int CursorColumn() const { return cursorColumn_; }
  int CursorRow() const { return cursorRow_; }
  const std::vector<std::pair<int, int>>& Beeps() const { return beeps_; }
  bool SizeSet() const { return sizeSet_; }

 private:
  static int Index(int column, int row) { return row * kColumns + column; }

  FakeClock& clock_;
  std::vector<Cell> cells_;
  std::deque<Step> script_;
  std::string title_;
  std::string clipboard_;
  CursorInfo cursor_;
  int cursorColumn_ = 0;
  int cursorRow_ = 0;
  std::vector<std::pair<int, int>> beeps_;
  long idlePolls_ = 0;
  bool sizeSet_ = false;
  bool typeAhead_ = false;
};

class HeadlessProcess : public Process {
 public:
  explicit HeadlessProcess(FakeClock& clock) : clock_(clock) {}

  std::vector<std::string> Arguments() override { return arguments_; }
  std::string OwnPath() override { return ownPath_; }
  std::optional<std::string> Environment(std::string_view name) override;
  void Sleep(int milliseconds) override { clock_.Advance(milliseconds); }
  LocalTime Now() override { return clock_.Now(); }
  void WriteStdout(std::string_view cp852) override { stdout_ += cp852; }
  void WriteStderr(std::string_view cp852) override { stderr_ += cp852; }

  void SetArguments(std::vector<std::string> arguments) { arguments_ = std::move(arguments); }
  void SetOwnPath(std::string path) { ownPath_ = std::move(path); }
  void SetEnvironment(const std::string& name, const std::string& value) { env_[name] = value; }
  void ClearEnvironment(const std::string& name) { env_.erase(name); }
  const std::string& Stdout() const { return stdout_; }
  const std::string& Stderr() const { return stderr_; }

 private:
  FakeClock& clock_;
  std::vector<std::string> arguments_;
  std::string ownPath_ = "/zq/zq18-20";
  std::map<std::string, std::string, std::less<>> env_;
  std::string stdout_;
  std::string stderr_;
};

}  // namespace zq::platform
