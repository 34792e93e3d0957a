// The console as the toolkit sees it: an 80x25 grid of code page 852 cells with
// attributes, a cursor, and a stream of key and mouse events. Shaped after the
// Win32 console calls so that the Windows backend is a thin mapping.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zq::platform {

struct Cell {
  std::uint8_t ch = ' ';
  std::uint8_t attr = 0x07;
  friend bool operator==(const Cell&, const Cell&) = default;
};

// Shift state bits as the keyboard BIOS reports them; the toolkit's Event carries them as is.
enum ShiftBits : std::uint8_t {
  kShiftRight = 0x01,
  kShiftLeft = 0x02,
  kShift = 0x03,
  kCtrl = 0x04,
  kAlt = 0x08,
  kScrollLock = 0x10,
  kNumLock = 0x20,
  kCapsLock = 0x40,
};

struct KeyEvent {
  std::uint8_t scan = 0;  // keyboard scan code (extended keys use their BIOS code)
  std::uint8_t ch = 0;    // code page 852 character, 0 for keys without one
  std::uint8_t shift = 0;
  std::uint16_t Code() const { return static_cast<std::uint16_t>(scan << 8 | ch); }
};

enum MouseButtons : std::uint8_t {
  kMouseLeft = 0x01,
  kMouseRight = 0x02,
  kMouseMiddle = 0x04,
  kMouseFourth = 0x08,
};

struct MouseEvent {
  int column = 0;  // 0-based cell
  int row = 0;
  std::uint8_t buttons = 0;  // buttons held down after this event
  bool moved = false;
  bool doubleClick = false;
  int wheel = 0;  // +1 up, -1 down, 0 none
  std::uint8_t shift = 0;
};

struct InputEvent {
  enum class Kind { None, Key, Mouse, Resize } kind = Kind::None;
  KeyEvent key;
  MouseEvent mouse;
};

struct CursorInfo {
  int percent = 20;  // cell height filled, 1..100
  bool visible = true;
};

class Console {
 public:
  virtual ~Console() = default;

  static constexpr int kColumns = 80;
  static constexpr int kRows = 25;

  // Asks for an 80x25 buffer and window; false when the host refuses.
  virtual bool SetSize(int columns, int rows) = 0;
  virtual int Columns() const = 0;
  virtual int Rows() const = 0;
  virtual void SetTitle(std::string_view cp852) = 0;

  // Positions are 0-based; runs that leave the grid are clipped.
  virtual void WriteCells(int column, int row, std::span<const Cell> cells) = 0;
  // Whole rows from `row` down, kColumns cells each: the progress log redraws its band
  // of rows this way on every line, so a backend may take them in one go.
  virtual void WriteRows(int row, std::span<const Cell> cells) {
    for (std::size_t at = 0; at < cells.size(); at += kColumns, ++row)
      WriteCells(0, row, cells.subspan(at, std::min<std::size_t>(kColumns, cells.size() - at)));
  }
  virtual void ReadCells(int column, int row, std::span<Cell> cells) const = 0;

  virtual void SetCursorPosition(int column, int row) = 0;
  virtual void SetCursorInfo(CursorInfo info) = 0;
  virtual CursorInfo GetCursorInfo() const = 0;

  // Returns at once: true with an event, false when nothing is waiting.
  virtual bool PollEvent(InputEvent& event) = 0;
  virtual int PendingEvents() = 0;
  virtual void FlushInput() = 0;

  virtual void Beep(int frequency, int milliseconds) = 0;

  // Sends what changed since the last flush to the host. Backends that draw
  // directly may do nothing.
  virtual void Flush() {}

  // System clipboard text in code page 852; false when none can be reached.
  virtual bool GetClipboard(std::string& cp852) = 0;
  virtual bool SetClipboard(std::string_view cp852) = 0;
};

}  // namespace zq::platform
