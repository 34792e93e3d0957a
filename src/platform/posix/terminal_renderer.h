// Turns cells into what an xterm-compatible terminal understands: code page 852
// bytes as UTF-8, attributes as the 16 standard colours, cursor moves kept short.
// Pure: it only appends to a string, so it is tested without a terminal.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/console.h"
#include "platform/display_buffer.h"

namespace zq::platform {

// The character a cell shows. Bytes below 0x20 and 0x7F get the glyphs of the
// classic PC character set, so no cell ever sends a control byte; 0xF0 (soft
// hyphen) and 0xFF (no-break space) get visible one-column stand-ins because
// terminals may draw them with no width.
char32_t CellGlyph(std::uint8_t ch);
// The UTF-8 form of CellGlyph, precomputed.
std::string_view CellGlyphUtf8(std::uint8_t ch);

// Full SGR sequence for an attribute: foreground from the low nibble, background
// from the high one. Bit 7 (the blink mark of a focused push button) shows as a
// bright background, as the Windows console shows it.
std::string AttributeSgr(std::uint8_t attr);

class TerminalRenderer : public DisplaySink {
 public:
  // Alternate screen, autowrap off (so the bottom-right cell never scrolls), cursor
  // hidden, title pushed, colours reset and the screen cleared.
  static constexpr std::string_view kEnterScreen =
      "\x1b[?1049h\x1b[22;0t\x1b[?7l\x1b[?25l\x1b[0m\x1b[2J";
  static constexpr std::string_view kLeaveScreen =
      "\x1b[0m\x1b[0 q\x1b[?7h\x1b[?25h\x1b[?1049l\x1b[23;0t";
  static constexpr std::string_view kMouseOn = "\x1b[?1000h\x1b[?1002h\x1b[?1006h";
  static constexpr std::string_view kMouseOff = "\x1b[?1006l\x1b[?1002l\x1b[?1000l";

  // Forgets everything it assumed about the terminal (after the screen was cleared
  // or lost); the next output sets colours and positions afresh.
  void Reset();
  void ClearScreen();

  bool CanScroll() const override { return true; }
  void Scroll(int top, int bottom, int lines) override;
  void PutRun(int column, int row, std::span<const Cell> cells) override;

  // Emits only what differs from the cursor state last sent.
  void Cursor(int column, int row, CursorInfo info);
  // OSC 0 with the title in UTF-8; control characters are dropped so the title
  // cannot end the sequence early or inject another one.
  void Title(std::string_view cp852);
  // Plain UTF-8 text at a position in default colours (for notices drawn outside
  // the 80x25 screen model).
  void Text(int column, int row, std::string_view utf8);
  void Raw(std::string_view bytes) { out_ += bytes; }

  const std::string& Output() const { return out_; }
  std::string TakeOutput();

 private:
  void MoveTo(int column, int row);
  void SetAttribute(std::uint8_t attr);

  std::string out_;
  int attr_ = -1;
  int row_ = -1, column_ = -1;  // where the terminal's cursor is, -1 unknown
  int cursorVisible_ = -1;
  int cursorBlock_ = -1;
};

}  // namespace zq::platform
