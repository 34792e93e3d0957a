// The display buffer in front of the terminal, and the renderer that turns its
// runs into terminal output. A small terminal model replays that output, so the
// tests check what a terminal would really show.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/cp852.h"
#include "platform/display_buffer.h"
#include "platform/posix/terminal_renderer.h"

namespace zq::platform {
namespace {

using zq::operator""_pl;

constexpr int W = DisplayBuffer::kColumns;
constexpr int H = DisplayBuffer::kRows;
const Cell kGarbage{'#', 0x5D};

// Applies runs and scrolls to its own grid, as a terminal does.
class ModelSink : public DisplaySink {
 public:
  explicit ModelSink(bool canScroll = true) : canScroll_(canScroll), grid_(W * H, kGarbage) {}
  bool CanScroll() const override { return canScroll_; }
  void BeginFrame() override { ++frames_; }
  void Scroll(int top, int bottom, int lines) override {
    scrolls_.push_back({top, bottom, lines});
    for (int r = top; r <= bottom; ++r)
      for (int c = 0; c < W; ++c)
        grid_[Index(c, r)] = r + lines <= bottom ? grid_[Index(c, r + lines)] : kGarbage;
  }
  void PutRun(int column, int row, std::span<const Cell> cells) override {
    ++runs_;
    cellsSent_ += static_cast<int>(cells.size());
    for (std::size_t i = 0; i < cells.size(); ++i)
      grid_[Index(column + static_cast<int>(i), row)] = cells[i];
  }
  bool Matches(const DisplayBuffer& b) const {
    for (int r = 0; r < H; ++r)
      for (int c = 0; c < W; ++c)
        if (!(grid_[Index(c, r)] == b.At(c, r))) return false;
    return true;
  }
  void ResetCounts() {
    frames_ = runs_ = cellsSent_ = 0;
    scrolls_.clear();
  }

  int frames_ = 0, runs_ = 0, cellsSent_ = 0;
  struct ScrollOp {
    int top, bottom, lines;
  };
  std::vector<ScrollOp> scrolls_;

 private:
  static std::size_t Index(int c, int r) { return static_cast<std::size_t>(r * W + c); }
  bool canScroll_;
  std::vector<Cell> grid_;
};

std::vector<Cell> Text(std::string_view s, std::uint8_t attr = 0x07) {
  std::vector<Cell> cells;
  for (char c : s) cells.push_back(Cell{static_cast<std::uint8_t>(c), attr});
  return cells;
}

std::vector<Cell> Line(int n, std::uint8_t attr = 0x07) {
  std::string s = "Kopiuje plik DANE" + std::to_string(n) + ".DAT";
  s.resize(W, ' ');
  return Text(s, attr);
}

// A terminal that understands what the renderer sends: cursor moves, SGR
// colours, scroll margins with SU, clears and UTF-8 text without autowrap.
class TerminalModel {
 public:
  TerminalModel() : glyph_(W * H, U'#'), attr_(W * H, 0xFF) {}

  void Feed(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
      auto b = static_cast<unsigned char>(s[i]);
      if (b == 0x1B) {
        i = Escape(s, i);
      } else if (b < 0x20 || b == 0x7F) {
        controls_ += static_cast<char>(b);  // BEL may end an OSC only; nothing else is allowed
        ++i;
      } else {
        char32_t cp = DecodeUtf8(s, i);
        if (cp == 0xFFFD) badUtf8_ = true;
        if (row_ < H && col_ < W) {
          glyph_[static_cast<std::size_t>(row_ * W + col_)] = cp;
          attr_[static_cast<std::size_t>(row_ * W + col_)] = static_cast<std::uint8_t>(attrNow_);
        }
        if (col_ < W - 1) ++col_;
      }
    }
  }

  // Whether the terminal shows what the buffer holds, glyph and colour.
  std::string Mismatch(const DisplayBuffer& b) const {
    for (int r = 0; r < H; ++r)
      for (int c = 0; c < W; ++c) {
        Cell cell = b.At(c, r);
        std::size_t k = static_cast<std::size_t>(r * W + c);
        if (glyph_[k] != CellGlyph(cell.ch) || attr_[k] != cell.attr)
          return "cell " + std::to_string(c) + "," + std::to_string(r);
      }
    return {};
  }
  bool badUtf8_ = false;
  std::string controls_;

 private:
  static int FromAnsi(int a) {
    static constexpr int kPc[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    return kPc[a];
  }
  std::size_t Escape(std::string_view s, std::size_t i) {
    if (i + 1 >= s.size()) return s.size();
    if (s[i + 1] == ']') {  // OSC ... BEL
      std::size_t end = s.find('\a', i);
      return end == std::string_view::npos ? s.size() : end + 1;
    }
    if (s[i + 1] != '[') return i + 2;
    std::size_t j = i + 2;
    std::string params;
    while (j < s.size() && (s[j] < 0x40 || s[j] > 0x7E)) params += s[j++];
    char fin = s[j];
    std::vector<int> p;
    int v = 0;
    bool any = false;
    for (char c : params) {
      if (c >= '0' && c <= '9') {
        v = v * 10 + (c - '0');
        any = true;
      } else if (c == ';') {
        p.push_back(any ? v : 0);
        v = 0;
        any = false;
      }
    }
    p.push_back(any ? v : 0);
    bool priv = !params.empty() && (params[0] == '?' || params.back() == ' ');
    if (!priv) {
      auto arg = [&](std::size_t k, int d) { return k < p.size() && p[k] > 0 ? p[k] : d; };
      switch (fin) {
        case 'H':
          row_ = arg(0, 1) - 1;
          col_ = arg(1, 1) - 1;
          break;
        case 'C':
          col_ = std::min(W - 1, col_ + arg(0, 1));
          break;
        case 'r':
          top_ = arg(0, 1) - 1;
          bottom_ = arg(1, H) - 1;
          row_ = col_ = 0;
          break;
        case 'S': {
          int n = arg(0, 1);
          for (int r = top_; r <= bottom_; ++r)
            for (int c = 0; c < W; ++c) {
              std::size_t to = static_cast<std::size_t>(r * W + c);
              if (r + n <= bottom_) {
                std::size_t from = static_cast<std::size_t>((r + n) * W + c);
                glyph_[to] = glyph_[from];
                attr_[to] = attr_[from];
              } else {
                glyph_[to] = U'?';
              }
            }
          break;
        }
        case 'J':
          std::fill(glyph_.begin(), glyph_.end(), U' ');
          std::fill(attr_.begin(), attr_.end(), 0xFE);
          break;
        case 'm':
          for (int n : p) {
            if (n == 0)
              attrNow_ = 0x07;
            else if (n >= 30 && n <= 37)
              attrNow_ = (attrNow_ & 0xF0) | FromAnsi(n - 30);
            else if (n >= 90 && n <= 97)
              attrNow_ = (attrNow_ & 0xF0) | (8 + FromAnsi(n - 90));
            else if (n >= 40 && n <= 47)
              attrNow_ = (attrNow_ & 0x0F) | FromAnsi(n - 40) << 4;
            else if (n >= 100 && n <= 107)
              attrNow_ = (attrNow_ & 0x0F) | (8 + FromAnsi(n - 100)) << 4;
          }
          break;
        default:
          break;
      }
    }
    return j + 1;
  }

  std::vector<char32_t> glyph_;
  std::vector<std::uint8_t> attr_;
  int row_ = 0, col_ = 0, top_ = 0, bottom_ = H - 1;
  int attrNow_ = 0x07;
};

TEST(DisplayBuffer, SendsOnlyTheCellsThatChanged) {
  DisplayBuffer b;
  ModelSink sink;
  ASSERT_TRUE(b.Flush(sink, 0, true));
  EXPECT_EQ(sink.cellsSent_, W * H);  // the host starts unknown
  EXPECT_TRUE(sink.Matches(b));

  sink.ResetCounts();
  b.WriteCells(5, 3, Text("x"));
  ASSERT_TRUE(b.Flush(sink, 100, false));
  EXPECT_EQ(sink.cellsSent_, 1);
  EXPECT_TRUE(sink.Matches(b));

  // Writing what is already there is no change at all.
  sink.ResetCounts();
  b.WriteCells(5, 3, Text("x"));
  EXPECT_FALSE(b.Flush(sink, 200, false));
  EXPECT_EQ(sink.frames_, 0);

  // Changed and changed back before the flush: nothing to send.
  b.WriteCells(0, 0, Text("abc"));
  b.WriteCells(0, 0, Text("   "));
  b.Flush(sink, 300, false);
  EXPECT_EQ(sink.cellsSent_, 0);
}

TEST(DisplayBuffer, CoalescesNearbyChangesIntoOneRun) {
  DisplayBuffer b;
  ModelSink sink;
  b.Flush(sink, 0, true);
  sink.ResetCounts();
  b.WriteCells(10, 2, Text("a"));
  b.WriteCells(12, 2, Text("b"));
  b.Flush(sink, 100, true);
  EXPECT_EQ(sink.runs_, 1);
  EXPECT_EQ(sink.cellsSent_, 3);

  sink.ResetCounts();
  b.WriteCells(10, 2, Text("c"));
  b.WriteCells(40, 2, Text("d"));
  b.Flush(sink, 200, true);
  EXPECT_EQ(sink.runs_, 2);
  EXPECT_EQ(sink.cellsSent_, 2);
  EXPECT_TRUE(sink.Matches(b));
}

TEST(DisplayBuffer, ThrottlesFlushesButNeverLosesTheLastState) {
  DisplayBuffer b;
  ModelSink sink;
  b.Flush(sink, 0, true);
  sink.ResetCounts();
  // A storm of writes, each followed by a flush, 1 ms apart.
  for (int i = 0; i < 200; ++i) {
    b.WriteCells(0, 3, Line(i));
    b.Flush(sink, 1000 + i, false);
  }
  EXPECT_LE(sink.frames_, 200 / static_cast<int>(DisplayBuffer::kThrottleMs) + 1);
  EXPECT_TRUE(b.Deferred());
  EXPECT_FALSE(sink.Matches(b));
  // The next forced flush (the program waits for a key or sleeps) shows the end state.
  EXPECT_TRUE(b.Flush(sink, 1200, true));
  EXPECT_TRUE(sink.Matches(b));
  EXPECT_FALSE(b.Deferred());
  // So does any unforced flush once the throttle time has passed.
  b.WriteCells(0, 4, Line(999));
  EXPECT_FALSE(b.Flush(sink, 1201, false));
  EXPECT_TRUE(b.Flush(sink, 1200 + DisplayBuffer::kThrottleMs, false));
  EXPECT_TRUE(sink.Matches(b));
}

TEST(DisplayBuffer, ScrolledLogBecomesOneHostScrollAndOneNewRow) {
  DisplayBuffer b;
  ModelSink sink;
  for (int r = 0; r < H; ++r) b.WriteCells(0, r, Line(r));
  b.Flush(sink, 0, true);
  // The log scrolls rows 2..22 up by one and writes a new line at row 22.
  auto scrollLog = [&](int lines, int first) {
    for (int k = 0; k < lines; ++k) {
      for (int r = 2; r < 22; ++r) {
        std::vector<Cell> row(W);
        b.ReadCells(0, r + 1, row);
        b.WriteCells(0, r, row);
      }
      b.WriteCells(0, 22, Line(first + k));
    }
  };
  sink.ResetCounts();
  scrollLog(1, 100);
  b.Flush(sink, 100, true);
  ASSERT_EQ(sink.scrolls_.size(), 1u);
  EXPECT_EQ(sink.scrolls_[0].top, 2);
  EXPECT_EQ(sink.scrolls_[0].bottom, 22);
  EXPECT_EQ(sink.scrolls_[0].lines, 1);
  EXPECT_EQ(sink.cellsSent_, W);
  EXPECT_TRUE(sink.Matches(b));

  // Several lines within one frame: one scroll by that many.
  sink.ResetCounts();
  scrollLog(3, 200);
  b.Flush(sink, 200, true);
  ASSERT_EQ(sink.scrolls_.size(), 1u);
  EXPECT_EQ(sink.scrolls_[0].lines, 3);
  EXPECT_LE(sink.cellsSent_, 3 * W);
  EXPECT_TRUE(sink.Matches(b));

  // A sink that cannot scroll gets rows instead and still ends up right.
  ModelSink plain(false);
  DisplayBuffer b2;
  for (int r = 0; r < H; ++r) b2.WriteCells(0, r, Line(r));
  b2.Flush(plain, 0, true);
  std::vector<Cell> row(W);
  b2.ReadCells(0, 4, row);
  b2.WriteCells(0, 3, row);
  b2.Flush(plain, 100, true);
  EXPECT_TRUE(plain.scrolls_.empty());
  EXPECT_TRUE(plain.Matches(b2));
}

// The progress log hands its band of rows over in one call: the frames sent are the
// frames the same rows written one at a time give, whether the band changed, stayed
// the same, ran off the grid or ended in part of a row.
TEST(DisplayBuffer, BandOfRowsSendsWhatRowByRowWritesSend) {
  struct Case {
    const char* name;
    int row, rows, extra;  // whole rows from `row`, then `extra` cells of one more
    int shift;             // the band holds the lines `shift` below it
  };
  const Case kCases[] = {
      {"scrolled log", 2, 22, 0, 1},   {"unchanged", 2, 22, 0, 0},
      {"off the bottom", 20, 8, 0, 1}, {"above the top", -2, 5, 0, 1},
      {"part of a row", 5, 3, 17, 2},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    DisplayBuffer band, rows;
    ModelSink bandSink, rowsSink;
    for (int r = 0; r < H; ++r) {
      band.WriteCells(0, r, Line(r));
      rows.WriteCells(0, r, Line(r));
    }
    band.Flush(bandSink, 0, true);
    rows.Flush(rowsSink, 0, true);
    bandSink.ResetCounts();
    rowsSink.ResetCounts();
    std::vector<Cell> cells;
    for (int k = 0; k < c.rows + (c.extra > 0 ? 1 : 0); ++k) {
      std::vector<Cell> line = Line(c.row + k + c.shift);
      line.resize(W, Cell{});
      cells.insert(cells.end(), line.begin(), line.begin() + (k < c.rows ? W : c.extra));
    }
    band.WriteRows(c.row, cells);
    for (std::size_t at = 0, r = 0; at < cells.size(); at += W, ++r)
      rows.WriteCells(0, c.row + static_cast<int>(r),
                      std::span(cells).subspan(at, std::min<std::size_t>(W, cells.size() - at)));
    EXPECT_EQ(band.Dirty(), rows.Dirty());
    band.Flush(bandSink, 100, true);
    rows.Flush(rowsSink, 100, true);
    for (int r = 0; r < H; ++r)
      for (int col = 0; col < W; ++col) ASSERT_EQ(band.At(col, r), rows.At(col, r));
    EXPECT_TRUE(bandSink.Matches(band));
    EXPECT_EQ(bandSink.cellsSent_, rowsSink.cellsSent_);
    EXPECT_EQ(bandSink.runs_, rowsSink.runs_);
    EXPECT_EQ(bandSink.scrolls_.size(), rowsSink.scrolls_.size());
  }
}

TEST(DisplayBuffer, InvalidateRedrawsEverything) {
  DisplayBuffer b;
  ModelSink sink;
  b.WriteCells(0, 0, Text("abc"));
  b.Flush(sink, 0, true);
  sink.ResetCounts();
  b.Invalidate();
  EXPECT_TRUE(b.Dirty());
  b.Flush(sink, 100, false);
  EXPECT_EQ(sink.cellsSent_, W * H);
}

TEST(DisplayBuffer, WritesAndReadsOutsideTheGridAreClipped) {
  DisplayBuffer b;
  std::vector<Cell> wide = Text(std::string(200, 'w'));
  b.WriteCells(-50, 0, wide);
  b.WriteCells(70, 1, wide);
  b.WriteCells(0, 25, wide);
  b.WriteCells(0, -1, wide);
  b.WriteCells(2147483600, 2, wide);
  b.WriteCells(-2147483600, 3, wide);
  EXPECT_EQ(b.At(0, 0).ch, 'w');
  EXPECT_EQ(b.At(79, 0).ch, 'w');
  EXPECT_EQ(b.At(69, 1).ch, ' ');
  EXPECT_EQ(b.At(70, 1).ch, 'w');
  EXPECT_EQ(b.At(0, 2).ch, ' ');
  EXPECT_EQ(b.At(0, 3).ch, ' ');
  std::vector<Cell> back(10, Cell{'z', 0x11});
  b.ReadCells(75, 1, back);
  EXPECT_EQ(back[4].ch, 'w');
  EXPECT_EQ(back[5], Cell{});  // outside: a blank, never stale bytes
  b.ReadCells(0, 30, back);
  EXPECT_EQ(back[0], Cell{});
}

TEST(TerminalRenderer, EveryByteShowsAsOneValidUtf8CharacterNeverAControlByte) {
  for (int b = 0; b < 256; ++b) {
    std::string_view s = CellGlyphUtf8(static_cast<std::uint8_t>(b));
    ASSERT_FALSE(s.empty()) << b;
    std::size_t i = 0;
    char32_t cp = DecodeUtf8(s, i);
    EXPECT_EQ(i, s.size()) << "one character for byte " << b;
    EXPECT_NE(cp, 0xFFFDu) << b;
    EXPECT_GE(cp, 0x20u) << b;
    EXPECT_NE(cp, 0x7Fu) << b;
    EXPECT_FALSE(cp >= 0x80 && cp < 0xA0) << b;  // no C1 controls either
    EXPECT_NE(cp, 0xADu) << "soft hyphen may show with no width";
  }
  EXPECT_EQ(CellGlyphUtf8(0xC4), "─");
  EXPECT_EQ(CellGlyphUtf8(0xB0), "░");
  EXPECT_EQ(CellGlyphUtf8(0xB1), "▒");
  EXPECT_EQ(CellGlyphUtf8(0xDB), "█");
  EXPECT_EQ(CellGlyphUtf8(0xDC), "▄");
  EXPECT_EQ(CellGlyphUtf8(0xDF), "▀");
  EXPECT_EQ(CellGlyphUtf8(0xFE), "■");
  EXPECT_EQ(CellGlyphUtf8(0xDA), "┌");
  EXPECT_EQ(CellGlyphUtf8(0xD9), "┘");
  EXPECT_EQ(CellGlyphUtf8(0x10), "►");
  EXPECT_EQ(CellGlyphUtf8(0x00), " ");
  std::string polish;
  for (char c : "ąćęłńóśźżĄĆĘŁŃÓŚŹŻ"_pl) polish += CellGlyphUtf8(static_cast<std::uint8_t>(c));
  EXPECT_EQ(polish, "ąćęłńóśźżĄĆĘŁŃÓŚŹŻ");
}

TEST(TerminalRenderer, AttributesBecomeTheSixteenStandardColours) {
  EXPECT_EQ(AttributeSgr(0x07), "\x1b[37;40m");
  EXPECT_EQ(AttributeSgr(0x0F), "\x1b[97;40m");
  EXPECT_EQ(AttributeSgr(0x1F), "\x1b[97;44m");  // PC blue is ANSI 4
  EXPECT_EQ(AttributeSgr(0x4F), "\x1b[97;41m");  // PC red is ANSI 1
  EXPECT_EQ(AttributeSgr(0x70), "\x1b[30;47m");
  EXPECT_EQ(AttributeSgr(0x02), "\x1b[32;40m");
  EXPECT_EQ(AttributeSgr(0x03), "\x1b[36;40m");
  EXPECT_EQ(AttributeSgr(0x06), "\x1b[33;40m");
  EXPECT_EQ(AttributeSgr(0x0E), "\x1b[93;40m");
  EXPECT_EQ(AttributeSgr(0x09), "\x1b[94;40m");
  EXPECT_EQ(AttributeSgr(0x0C), "\x1b[91;40m");
  // Bit 7, the push button's blink mark, shows as a bright background.
  EXPECT_EQ(AttributeSgr(0xF0), "\x1b[30;107m");
  EXPECT_EQ(AttributeSgr(0x8E), "\x1b[93;100m");
}

TEST(TerminalRenderer, KeepsColourChangesAndCursorMovesShort) {
  TerminalRenderer r;
  r.PutRun(0, 0, Text("AB"));
  EXPECT_EQ(r.TakeOutput(), "\x1b[1H\x1b[37;40mAB");
  r.PutRun(2, 0, Text("C", 0x0F));  // right after: no move; same background: foreground only
  EXPECT_EQ(r.TakeOutput(), "\x1b[97mC");
  r.PutRun(10, 0, Text("D", 0x1F));
  EXPECT_EQ(r.TakeOutput(), "\x1b[7C\x1b[44mD");
  r.PutRun(4, 3, Text("E", 0x1F));
  EXPECT_EQ(r.TakeOutput(), "\x1b[4;5HE");
  // After the last column the cursor position is not trusted.
  r.PutRun(79, 5, Text("F", 0x1F));
  r.PutRun(0, 6, Text("G", 0x1F));
  EXPECT_EQ(r.TakeOutput(), "\x1b[6;80HF\x1b[7HG");
  // Runs are clipped to the 80x25 screen.
  r.PutRun(78, 7, Text("xyz", 0x1F));
  r.PutRun(0, 25, Text("no", 0x1F));
  EXPECT_EQ(r.TakeOutput(), "\x1b[8;79Hxy");
}

TEST(TerminalRenderer, CursorShapeVisibilityAndTitle) {
  TerminalRenderer r;
  r.Cursor(10, 5, CursorInfo{20, true});
  EXPECT_EQ(r.TakeOutput(), "\x1b[3 q\x1b[6;11H\x1b[?25h");
  r.Cursor(10, 5, CursorInfo{20, true});
  EXPECT_EQ(r.TakeOutput(), "");
  r.Cursor(10, 5, CursorInfo{50, true});
  EXPECT_EQ(r.TakeOutput(), "\x1b[1 q");
  r.Cursor(0, 0, CursorInfo{50, false});
  EXPECT_EQ(r.TakeOutput(), "\x1b[?25l");
  // The title is UTF-8 and cannot carry control bytes that would end or inject a sequence.
  r.Title("Kopiuję\x07\x1b]0;x\x1b\\"_pl);
  EXPECT_EQ(r.TakeOutput(), "\x1b]0;Kopiuję]0;x\\\a");
}

// The buffer and the renderer together, fed random screens, always leave the
// terminal showing exactly the buffer's cells.
TEST(TerminalRenderer, RandomFramesReplayToTheSameScreen) {
  std::mt19937 rng(2020);
  DisplayBuffer b;
  TerminalRenderer r;
  TerminalModel term;
  r.Raw(TerminalRenderer::kEnterScreen);
  long long t = 0;
  for (int step = 0; step < 600; ++step) {
    unsigned what = rng() % 10;
    if (what < 5) {
      int n = static_cast<int>(rng() % 30) + 1;
      std::vector<Cell> cells(static_cast<std::size_t>(n));
      std::uint8_t attr = static_cast<std::uint8_t>(rng());
      for (auto& c : cells)
        c = Cell{static_cast<std::uint8_t>(rng()),
                 rng() % 3 ? attr : static_cast<std::uint8_t>(rng())};
      b.WriteCells(static_cast<int>(rng() % 90) - 5, static_cast<int>(rng() % H), cells);
    } else if (what < 8) {
      // A log-style scroll of a random band.
      int top = static_cast<int>(rng() % 10),
          bottom = top + 3 + static_cast<int>(rng() % (H - top - 3));
      for (int row = top; row < bottom; ++row) {
        std::vector<Cell> line(W);
        b.ReadCells(0, row + 1, line);
        b.WriteCells(0, row, line);
      }
      b.WriteCells(0, bottom, Line(step, static_cast<std::uint8_t>(rng())));
    } else if (what == 8) {
      b.Invalidate();
      r.ClearScreen();
    }
    t += static_cast<long long>(rng() % 20);
    b.Flush(r, t, rng() % 4 == 0);
    term.Feed(r.TakeOutput());
    if (!b.Deferred()) {
      ASSERT_EQ(term.Mismatch(b), "") << "after step " << step;
    }
  }
  t += 1000;
  b.Flush(r, t, true);
  term.Feed(r.TakeOutput());
  EXPECT_EQ(term.Mismatch(b), "");
  EXPECT_FALSE(term.badUtf8_);
  EXPECT_EQ(term.controls_, "");
}

}  // namespace
}  // namespace zq::platform
