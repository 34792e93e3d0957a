// The terminal key decoder: byte sequences in, PC key codes and mouse events out.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "platform/cp852.h"
#include "platform/posix/key_decoder.h"

namespace zq::platform {
namespace {

using zq::operator""_pl;

// Far enough past the last byte that any held Esc has timed out.
constexpr long long kLater = 10'000;

std::vector<InputEvent> DecodeAll(std::string_view bytes) {
  KeyDecoder d;
  d.Feed(bytes, 0);
  std::vector<InputEvent> out;
  InputEvent e;
  while (d.Next(e, kLater)) out.push_back(e);
  return out;
}

std::vector<std::uint16_t> Codes(std::string_view bytes) {
  std::vector<std::uint16_t> out;
  for (const auto& e : DecodeAll(bytes))
    if (e.kind == InputEvent::Kind::Key) out.push_back(e.key.Code());
  return out;
}

KeyEvent OneKey(std::string_view bytes) {
  auto events = DecodeAll(bytes);
  EXPECT_EQ(events.size(), 1u) << "for " << testing::PrintToString(std::string(bytes));
  if (events.empty() || events[0].kind != InputEvent::Kind::Key) return {};
  return events[0].key;
}

struct KeyCase {
  const char* bytes;
  std::uint16_t code;
};

void ExpectCodes(const std::vector<KeyCase>& cases) {
  for (const auto& c : cases) {
    auto codes = Codes(c.bytes);
    ASSERT_EQ(codes.size(), 1u) << testing::PrintToString(std::string(c.bytes));
    EXPECT_EQ(codes[0], c.code) << testing::PrintToString(std::string(c.bytes)) << " gave 0x"
                                << std::hex << codes[0];
  }
}

TEST(TerminalKeys, FunctionKeysInEveryCommonForm) {
  ExpectCodes({
      {"\x1bOP", 0x3B00},
      {"\x1bOQ", 0x3C00},
      {"\x1bOR", 0x3D00},
      {"\x1bOS", 0x3E00},
      {"\x1b[11~", 0x3B00},
      {"\x1b[12~", 0x3C00},
      {"\x1b[13~", 0x3D00},
      {"\x1b[14~", 0x3E00},
      {"\x1b[[A", 0x3B00},
      {"\x1b[[E", 0x3F00},
      {"\x1b[15~", 0x3F00},
      {"\x1b[17~", 0x4000},
      {"\x1b[18~", 0x4100},
      {"\x1b[19~", 0x4200},
      {"\x1b[20~", 0x4300},
      {"\x1b[21~", 0x4400},
      {"\x1b[23~", 0x8500},
      {"\x1b[24~", 0x8600},
      // Shift, Ctrl and Alt with function keys, xterm modifier parameters.
      {"\x1b[1;2P", 0x5400},
      {"\x1b[1;5P", 0x5E00},
      {"\x1b[1;3P", 0x6800},
      {"\x1b[15;2~", 0x5800},
      {"\x1b[15;5~", 0x6200},
      {"\x1b[15;3~", 0x6C00},
      {"\x1b[21;2~", 0x5D00},
      {"\x1b[21;5~", 0x6700},
      {"\x1b[21;3~", 0x7100},
      {"\x1b[23;2~", 0x8700},
      {"\x1b[24;2~", 0x8800},
      {"\x1b[23;5~", 0x8900},
      {"\x1b[24;5~", 0x8A00},
      {"\x1b[23;3~", 0x8B00},
      {"\x1b[24;3~", 0x8C00},
      // rxvt numbers for Shift+F3 and beyond.
      {"\x1b[25~", 0x5600},
      {"\x1b[34~", 0x5D00},
  });
}

TEST(TerminalKeys, CursorAndEditingKeys) {
  ExpectCodes({
      {"\x1b[A", 0x4800},
      {"\x1b[B", 0x5000},
      {"\x1b[C", 0x4D00},
      {"\x1b[D", 0x4B00},
      {"\x1bOA", 0x4800},
      {"\x1bOB", 0x5000},
      {"\x1bOC", 0x4D00},
      {"\x1bOD", 0x4B00},
      {"\x1b[H", 0x4700},
      {"\x1b[F", 0x4F00},
      {"\x1bOH", 0x4700},
      {"\x1bOF", 0x4F00},
      {"\x1b[1~", 0x4700},
      {"\x1b[4~", 0x4F00},
      {"\x1b[7~", 0x4700},
      {"\x1b[8~", 0x4F00},
      {"\x1b[5~", 0x4900},
      {"\x1b[6~", 0x5100},
      {"\x1b[2~", 0x5200},
      {"\x1b[3~", 0x5300},
      {"\x1b[1;5D", 0x7300},
      {"\x1b[1;5C", 0x7400},
      {"\x1bOd", 0x7300},
      {"\x1bOc", 0x7400},
      {"\x1b[1;5A", 0x8D00},
      {"\x1b[1;5B", 0x9100},
      {"\x1b[1;5H", 0x7700},
      {"\x1b[1;5F", 0x7500},
      {"\x1b[5;5~", 0x8400},
      {"\x1b[6;5~", 0x7600},
      {"\x1b[2;5~", 0x9200},
      {"\x1b[3;5~", 0x9300},
      {"\x1b[2^", 0x9200},
      {"\x1b[1;3A", 0x9800},
      {"\x1b[1;3D", 0x9B00},
      {"\x1b[6;3~", 0xA100},
      // Shift with a cursor key keeps the plain code; the shift bits tell.
      {"\x1b[1;2A", 0x4800},
      {"\x1b[2;2~", 0x5200},
      {"\x1b[2$", 0x5200},
      {"\x1b[a", 0x4800},
  });
  EXPECT_EQ(OneKey("\x1b[2;2~").shift & kShift, kShift);  // the toolkit's Shift+Insert
  EXPECT_EQ(OneKey("\x1b[1;5D").shift & kCtrl, kCtrl);
  EXPECT_EQ(OneKey("\x1b[A").shift & (kShift | kCtrl | kAlt), 0);
}

TEST(TerminalKeys, ControlCharactersAndTheKeysTerminalsCannotTellApart) {
  ExpectCodes({
      {"\t", 0x0F09},          {"\x1b[Z", 0x0F00},
      {"\r", 0x1C0D},          {"\x7f", 0x0E08},
      {"\x08", 0x0E08},        {"\n", 0x1C0A},
      {"\x1b[13;5u", 0x1C0A},  {"\x1b[27;5;13~", 0x1C0A},
      {"\x04", 0x2004},        {"\x17", 0x1117},
      {"\x19", 0x1519},        {"\x0b", 0x250B},
      {"\x0e", 0x310E},        {"\x10", 0x1910},
      {"\x14", 0x1414},        {"\x11", 0x1011},
      {"\x13", 0x1F13},        {"\x03", 0x2E03},
      {"\x01", 0x1E01},        {"\x1a", 0x2C1A},
      {"\x1b[105;5u", 0x1709},  // Ctrl+I where the terminal can say so
  });
  EXPECT_EQ(OneKey("\x04").shift & kCtrl, kCtrl);
  EXPECT_EQ(OneKey("\x1b[Z").shift & kShift, kShift);
}

TEST(TerminalKeys, PrintableAsciiCarriesUsKeyboardScanCodes) {
  ExpectCodes({{"x", 0x2D78},  {"X", 0x2D58}, {"0", 0x0B30}, {" ", 0x3920}, {"t", 0x1474},
               {"T", 0x1454},  {"n", 0x316E}, {"N", 0x314E}, {"1", 0x0231}, {"!", 0x0221},
               {"-", 0x0C2D},  {"+", 0x0D2B}, {"/", 0x352F}, {"?", 0x353F}, {"~", 0x297E},
               {"\\", 0x2B5C}, {"a", 0x1E61}, {"m", 0x326D}, {"p", 0x1970}, {"z", 0x2C7A}});
  // Every printable character comes through as itself with some scan code.
  for (int c = 0x20; c < 0x7F; ++c) {
    std::string s(1, static_cast<char>(c));
    KeyEvent k = OneKey(s);
    EXPECT_EQ(k.ch, c);
    EXPECT_NE(k.scan, 0) << s;
  }
}

TEST(TerminalKeys, AltLettersAreScanCodesWithTheAltBit) {
  ExpectCodes({{"\x1b"
                "a",
                0x1E00},
               {"\x1b"
                "x",
                0x2D00},
               {"\x1b"
                "z",
                0x2C00},
               {"\x1b"
                "p",
                0x1900},
               {"\x1b"
                "1",
                0x7800},
               {"\x1b"
                "0",
                0x8100},
               {"\x1b\x7f", 0x0E00},
               {"\x1b\r", 0x1C00},
               {"\x1b[97;3u", 0x1E00}});
  KeyEvent lower = OneKey(
      "\x1b"
      "a");
  EXPECT_EQ(lower.shift, kAlt | kNumLock);
  // Alt+Shift with Num Lock is exactly the state the toolkit reads as upper case.
  KeyEvent upper = OneKey(
      "\x1b"
      "A");
  EXPECT_EQ(upper.Code(), 0x1E00);
  EXPECT_EQ(upper.shift, 0x2B);
}

TEST(TerminalKeys, EscAloneIsHeldUntilTheTimeoutThenReported) {
  KeyDecoder d;
  InputEvent e;
  d.Feed("\x1b", 1000);
  EXPECT_FALSE(d.Next(e, 1000 + KeyDecoder::kEscTimeoutMs - 1));
  EXPECT_EQ(d.Ready(1000 + KeyDecoder::kEscTimeoutMs - 1), 0);
  ASSERT_TRUE(d.Next(e, 1000 + KeyDecoder::kEscTimeoutMs));
  EXPECT_EQ(e.key.Code(), 0x011B);
  EXPECT_FALSE(d.Next(e, 5000));

  // A sequence whose rest arrives within the timeout is one key, not Esc.
  d.Feed("\x1b", 2000);
  EXPECT_FALSE(d.Next(e, 2020));
  d.Feed("[", 2030);
  EXPECT_FALSE(d.Next(e, 2040));
  d.Feed("A", 2060);
  ASSERT_TRUE(d.Next(e, 2060));
  EXPECT_EQ(e.key.Code(), 0x4800);

  // Esc, a pause, then a letter: two keys.
  d.Feed("\x1b", 3000);
  EXPECT_TRUE(d.Next(e, 3100));
  EXPECT_EQ(e.key.Code(), 0x011B);
  d.Feed("x", 3200);
  ASSERT_TRUE(d.Next(e, 3200));
  EXPECT_EQ(e.key.Code(), 0x2D78);

  // Esc Esc is two presses; Esc [ alone after the timeout is Alt+[.
  EXPECT_EQ(Codes("\x1b\x1b"), (std::vector<std::uint16_t>{0x011B, 0x011B}));
  EXPECT_EQ(Codes("\x1b["), (std::vector<std::uint16_t>{0x1A00}));
  // Esc Esc [ A is Alt+Up as some terminals send it.
  EXPECT_EQ(Codes("\x1b\x1b[A"), (std::vector<std::uint16_t>{0x9800}));
}

TEST(TerminalKeys, SequencesSplitAcrossReadsAtEveryByte) {
  const std::string stream =
      "\x1b[15;5~"
      "\x1b[1;5D"
      "\xc4\x85"
      "\x1bOP"
      "\x1b[<0;10;5M"
      "\xe2\x82\xac"
      "q"
      "\x1b"
      "a";
  std::vector<std::uint16_t> whole = Codes(stream);
  EXPECT_EQ(whole, (std::vector<std::uint16_t>{0x6200, 0x7300, 0x1EA5, 0x3B00, 0x1071, 0x1E00}));
  // Byte by byte, 10 ms apart: the same keys come out.
  KeyDecoder d;
  std::vector<std::uint16_t> split;
  InputEvent e;
  long long t = 0;
  for (char c : stream) {
    d.Feed(std::string_view(&c, 1), t);
    t += 10;
    while (d.Next(e, t))
      if (e.kind == InputEvent::Kind::Key) split.push_back(e.key.Code());
  }
  while (d.Next(e, t + kLater))
    if (e.kind == InputEvent::Kind::Key) split.push_back(e.key.Code());
  EXPECT_EQ(split, whole);
}

TEST(TerminalKeys, Utf8PolishLettersArriveAsCodePage852) {
  std::string typed;
  for (const auto& e : DecodeAll("ąćęłńóśźżĄĆĘŁŃÓŚŹŻ")) typed += static_cast<char>(e.key.ch);
  EXPECT_EQ(typed, "ąćęłńóśźżĄĆĘŁŃÓŚŹŻ"_pl);
  EXPECT_EQ(OneKey("ą").Code(), 0x1EA5);  // on the key of the letter a
  EXPECT_EQ(OneKey("Ż").shift & kShift, kShift);
  EXPECT_EQ(OneKey("ü").ch, 0x81);  // other letters of the code page too
  // Characters the code page has not are dropped, not guessed.
  EXPECT_TRUE(DecodeAll("€😀").empty());
}

TEST(TerminalKeys, MalformedInputNeverBecomesControlBytesOrHangs) {
  // An overlong encoding of Esc must not start a sequence; a stray continuation
  // byte and a cut-off character are dropped.
  EXPECT_EQ(Codes("\xc0\x9b[Ax"), (std::vector<std::uint16_t>{0x1A5B, 0x1E41, 0x2D78}));
  EXPECT_EQ(Codes("\x80x"), (std::vector<std::uint16_t>{0x2D78}));
  EXPECT_EQ(Codes("\xc4"), (std::vector<std::uint16_t>{}));
  // A sequence that never ends is noise; what follows it still decodes.
  std::string noise = "\x1b[" + std::string(200, '1') + "x";
  auto codes = Codes(noise);
  ASSERT_FALSE(codes.empty());
  EXPECT_EQ(codes.back(), 0x2D78);
  // Unknown sequences vanish whole.
  EXPECT_EQ(Codes("\x1b[?1;2c\x1b[I\x1b[99~y"), (std::vector<std::uint16_t>{0x1579}));

  // Random bytes: no crash, nothing left waiting after the input ends, and no
  // key carries a character below 0x20 other than the ones a key really has.
  std::mt19937 rng(852);
  KeyDecoder d;
  InputEvent e;
  long long t = 0;
  for (int round = 0; round < 2000; ++round) {
    std::string chunk;
    int n = static_cast<int>(rng() % 16);
    for (int i = 0; i < n; ++i) {
      unsigned r = rng() % 10;
      chunk += r < 3   ? '\x1b'
               : r < 5 ? "[O;<0123456789~ABCDMm"[rng() % 21]
                       : static_cast<char>(rng());
    }
    d.Feed(chunk, t);
    t += rng() % 80;
    while (d.Next(e, t)) {
      if (e.kind == InputEvent::Kind::Mouse) {
        EXPECT_LT(e.mouse.column, 80);
        EXPECT_LT(e.mouse.row, 25);
      }
    }
  }
  d.EndOfInput(t);
  while (d.Next(e, t + kLater)) {
  }
  EXPECT_FALSE(d.HasPartial());
}

TEST(TerminalKeys, SgrMouseReportsBecomeMouseEvents) {
  KeyDecoder d;
  InputEvent e;
  d.Feed("\x1b[<0;10;5M", 0);
  ASSERT_TRUE(d.Next(e, 0));
  ASSERT_EQ(e.kind, InputEvent::Kind::Mouse);
  EXPECT_EQ(e.mouse.column, 9);
  EXPECT_EQ(e.mouse.row, 4);
  EXPECT_EQ(e.mouse.buttons, kMouseLeft);
  EXPECT_FALSE(e.mouse.moved);
  // Dragging with the button held.
  d.Feed("\x1b[<32;12;5M", 10);
  ASSERT_TRUE(d.Next(e, 10));
  EXPECT_TRUE(e.mouse.moved);
  EXPECT_EQ(e.mouse.buttons, kMouseLeft);
  EXPECT_EQ(e.mouse.column, 11);
  // Release outside the screen still arrives, inside it, with no button held.
  d.Feed("\x1b[<0;120;40m", 20);
  ASSERT_TRUE(d.Next(e, 20));
  EXPECT_EQ(e.mouse.buttons, 0);
  EXPECT_EQ(e.mouse.column, 79);
  EXPECT_EQ(e.mouse.row, 24);
  // A press outside the 80x25 screen is nobody's.
  d.Feed("\x1b[<0;100;3M\x1b[<0;100;3m", 30);
  ASSERT_TRUE(d.Next(e, 30));
  EXPECT_EQ(e.mouse.buttons, 0);
  EXPECT_FALSE(d.Next(e, 30));
  // Right button with Ctrl, the wheel, and a double click.
  d.Feed("\x1b[<18;1;1M", 40);
  ASSERT_TRUE(d.Next(e, 40));
  EXPECT_EQ(e.mouse.buttons, kMouseRight);
  EXPECT_EQ(e.mouse.shift & kCtrl, kCtrl);
  d.Feed("\x1b[<2;1;1m\x1b[<64;3;3M\x1b[<65;3;3M", 50);
  ASSERT_TRUE(d.Next(e, 50));
  EXPECT_EQ(e.mouse.buttons, 0);
  ASSERT_TRUE(d.Next(e, 50));
  EXPECT_EQ(e.mouse.wheel, 1);
  ASSERT_TRUE(d.Next(e, 50));
  EXPECT_EQ(e.mouse.wheel, -1);
  d.Feed("\x1b[<0;5;5M\x1b[<0;5;5m", 1000);
  d.Feed("\x1b[<0;5;5M", 1000 + KeyDecoder::kDoubleClickMs - 1);
  std::vector<bool> doubles;
  while (d.Next(e, 5000)) doubles.push_back(e.mouse.doubleClick);
  EXPECT_EQ(doubles, (std::vector<bool>{false, false, true}));
}

TEST(TerminalKeys, LegacyMouseReports) {
  auto events = DecodeAll(std::string("\x1b[M") + char(32 + 0) + char(32 + 3) + char(32 + 2) +
                          "\x1b[M" + char(32 + 3) + char(32 + 3) + char(32 + 2));
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].mouse.column, 2);
  EXPECT_EQ(events[0].mouse.row, 1);
  EXPECT_EQ(events[0].mouse.buttons, kMouseLeft);
  EXPECT_EQ(events[1].mouse.buttons, 0);
}

TEST(TerminalKeys, ClearDropsWaitingInput) {
  KeyDecoder d;
  InputEvent e;
  d.Feed("abc\x1b[1;", 0);
  EXPECT_EQ(d.Ready(0), 3);
  d.Clear();
  EXPECT_FALSE(d.Next(e, kLater));
  d.Feed("x", kLater);
  ASSERT_TRUE(d.Next(e, kLater));
  EXPECT_EQ(e.key.Code(), 0x2D78);
}

}  // namespace
}  // namespace zq::platform
