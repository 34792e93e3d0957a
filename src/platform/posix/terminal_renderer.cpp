#include "platform/posix/terminal_renderer.h"

#include <array>

#include "platform/cp852.h"

namespace zq::platform {

namespace {

// The PC glyphs of the control range, as every DOS screen showed them.
constexpr char32_t kLowGlyphs[32] = {
    U' ',      U'\u263A', U'\u263B', U'\u2665', U'\u2666', U'\u2663', U'\u2660', U'\u2022',
    U'\u25D8', U'\u25CB', U'\u25D9', U'\u2642', U'\u2640', U'\u266A', U'\u266B', U'\u263C',
    U'\u25BA', U'\u25C4', U'\u2195', U'\u203C', U'\u00B6', U'\u00A7', U'\u25AC', U'\u21A8',
    U'\u2191', U'\u2193', U'\u2192', U'\u2190', U'\u221F', U'\u2194', U'\u25B2', U'\u25BC',
};

// PC colour order (blue first) to ANSI order (red first).
constexpr int kAnsi[8] = {0, 4, 2, 6, 1, 5, 3, 7};

const std::array<std::string, 256>& GlyphTable() {
  static const std::array<std::string, 256> table = [] {
    std::array<std::string, 256> t;
    for (int b = 0; b < 256; ++b)
      AppendUtf8(t[static_cast<std::size_t>(b)], CellGlyph(static_cast<std::uint8_t>(b)));
    return t;
  }();
  return table;
}

void AppendNumber(std::string& out, int n) {
  if (n < 0) {
    out += '-';
    n = -n;
  }
  char digits[12];
  int k = 0;
  do {
    digits[k++] = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n > 0);
  while (k > 0) out += digits[--k];
}

int Foreground(std::uint8_t attr) {
  int f = attr & 0x0F;
  return f < 8 ? 30 + kAnsi[f] : 90 + kAnsi[f - 8];
}

int Background(std::uint8_t attr) {
  int b = attr >> 4;
  return b < 8 ? 40 + kAnsi[b] : 100 + kAnsi[b - 8];
}

}  // namespace

char32_t CellGlyph(std::uint8_t ch) {
  if (ch < 0x20) return kLowGlyphs[ch];
  if (ch == 0x7F) return U'\u2302';
  if (ch == 0xF0) return U'-';
  if (ch == 0xFF) return U' ';
  return kCp852ToUnicode[ch];
}

std::string_view CellGlyphUtf8(std::uint8_t ch) {
  return GlyphTable()[ch];
}

std::string AttributeSgr(std::uint8_t attr) {
  std::string out = "\x1b[";
  AppendNumber(out, Foreground(attr));
  out += ';';
  AppendNumber(out, Background(attr));
  out += 'm';
  return out;
}

void TerminalRenderer::Reset() {
  attr_ = -1;
  row_ = column_ = -1;
  cursorVisible_ = -1;
  cursorBlock_ = -1;
}

void TerminalRenderer::ClearScreen() {
  out_ += "\x1b[0m\x1b[2J";
  attr_ = -1;
  row_ = column_ = -1;
}

void TerminalRenderer::MoveTo(int column, int row) {
  if (row == row_ && column == column_) return;
  out_ += "\x1b[";
  if (row == row_ && column_ >= 0 && column > column_) {
    int n = column - column_;
    if (n > 1) AppendNumber(out_, n);
    out_ += 'C';
  } else {
    AppendNumber(out_, row + 1);
    if (column > 0) {
      out_ += ';';
      AppendNumber(out_, column + 1);
    }
    out_ += 'H';
  }
  row_ = row;
  column_ = column;
}

void TerminalRenderer::SetAttribute(std::uint8_t attr) {
  if (attr_ == attr) return;
  if (attr_ >= 0 && (attr_ >> 4) == (attr >> 4)) {
    out_ += "\x1b[";
    AppendNumber(out_, Foreground(attr));
    out_ += 'm';
  } else if (attr_ >= 0 && (attr_ & 0x0F) == (attr & 0x0F)) {
    out_ += "\x1b[";
    AppendNumber(out_, Background(attr));
    out_ += 'm';
  } else {
    out_ += AttributeSgr(attr);
  }
  attr_ = attr;
}

void TerminalRenderer::Scroll(int top, int bottom, int lines) {
  if (lines <= 0 || bottom <= top) return;
  out_ += "\x1b[";
  AppendNumber(out_, top + 1);
  out_ += ';';
  AppendNumber(out_, bottom + 1);
  out_ += "r\x1b[";
  if (lines > 1) AppendNumber(out_, lines);
  out_ += "S\x1b[r";
  // Setting the margins homes the cursor.
  row_ = 0;
  column_ = 0;
}

void TerminalRenderer::PutRun(int column, int row, std::span<const Cell> cells) {
  if (cells.empty() || row < 0 || row >= Console::kRows) return;
  const auto& glyphs = GlyphTable();
  for (std::size_t i = 0; i < cells.size(); ++i) {
    int c = column + static_cast<int>(i);
    if (c < 0) continue;
    if (c >= Console::kColumns) break;
    MoveTo(c, row);
    SetAttribute(cells[i].attr);
    out_ += glyphs[cells[i].ch];
    // Without autowrap the cursor stays on the last column of the terminal, which
    // is ours only when the terminal is exactly 80 wide: take it as unknown there.
    column_ = c + 1 < Console::kColumns ? c + 1 : -1;
  }
}

void TerminalRenderer::Cursor(int column, int row, CursorInfo info) {
  if (!info.visible) {
    if (cursorVisible_ != 0) out_ += "\x1b[?25l";
    cursorVisible_ = 0;
    return;
  }
  int block = info.percent >= 50 ? 1 : 0;
  if (cursorBlock_ != block) out_ += block ? "\x1b[1 q" : "\x1b[3 q";
  cursorBlock_ = block;
  MoveTo(column, row);
  if (cursorVisible_ != 1) out_ += "\x1b[?25h";
  cursorVisible_ = 1;
}

void TerminalRenderer::Title(std::string_view cp852) {
  std::string clean;
  for (char ch : cp852) {
    auto b = static_cast<unsigned char>(ch);
    if (b >= 0x20 && b != 0x7F) clean += ch;
  }
  out_ += "\x1b]0;";
  out_ += Cp852ToUtf8(clean);
  out_ += '\a';
}

void TerminalRenderer::Text(int column, int row, std::string_view utf8) {
  out_ += "\x1b[0m";
  attr_ = -1;
  MoveTo(column, row);
  out_ += utf8;
  row_ = column_ = -1;
}

std::string TerminalRenderer::TakeOutput() {
  std::string out;
  out.swap(out_);
  return out;
}

}  // namespace zq::platform
