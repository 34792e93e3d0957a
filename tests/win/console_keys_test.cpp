// Console input records as the keyboard queues them, turned into the keys and mouse
// events of the backend, and those read by the toolkit's GetEvent as the program sees
// them. (Records written into a console with WriteConsoleInputA are not read back
// reliably by wine's console on a terminal, so the records go straight to the
// translation the backend's PollEvent uses; tests/win/wizard_walk.sh types real keys
// into the console.)
#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <vector>

#include "platform/cp852.h"
#include "platform/headless/headless.h"
#include "platform/host.h"
#include "platform/win32/keys.h"
#include "platform/win32/win.h"
#include "tui/event.h"
#include "tui/screen.h"

namespace zq::platform::win32::test {
namespace {

using zq::operator""_pl;

constexpr DWORD kLeftAlt = LEFT_ALT_PRESSED;
constexpr DWORD kLeftCtrl = LEFT_CTRL_PRESSED;
constexpr DWORD kAltGr = RIGHT_ALT_PRESSED | LEFT_CTRL_PRESSED;

// A key record as a keyboard driver queues it (the character in code page 852).
INPUT_RECORD Key(WORD virtualKey, WORD scan, unsigned char ch, DWORD state = 0, bool down = true,
                 WORD repeat = 1) {
  INPUT_RECORD r{};
  r.EventType = KEY_EVENT;
  r.Event.KeyEvent.bKeyDown = down ? TRUE : FALSE;
  r.Event.KeyEvent.wRepeatCount = repeat;
  r.Event.KeyEvent.wVirtualKeyCode = virtualKey;
  r.Event.KeyEvent.wVirtualScanCode = scan;
  r.Event.KeyEvent.uChar.AsciiChar = static_cast<CHAR>(ch);
  r.Event.KeyEvent.dwControlKeyState = state;
  return r;
}

INPUT_RECORD Mouse(SHORT column, SHORT row, DWORD buttons, DWORD flags = 0, DWORD state = 0) {
  INPUT_RECORD r{};
  r.EventType = MOUSE_EVENT;
  r.Event.MouseEvent.dwMousePosition = COORD{column, row};
  r.Event.MouseEvent.dwButtonState = buttons;
  r.Event.MouseEvent.dwEventFlags = flags;
  r.Event.MouseEvent.dwControlKeyState = state;
  return r;
}

std::deque<InputEvent> Events(std::initializer_list<INPUT_RECORD> records) {
  std::deque<InputEvent> out;
  for (const INPUT_RECORD& r : records) AppendEvents(r, out);
  return out;
}

struct Expected {
  std::uint16_t code;
  std::uint8_t shift;
};

// The codes the backend gives for `records`, one key each.
std::vector<Expected> Codes(std::initializer_list<INPUT_RECORD> records) {
  std::vector<Expected> out;
  for (const InputEvent& e : Events(records)) {
    EXPECT_EQ(e.kind, InputEvent::Kind::Key);
    out.push_back(Expected{e.key.Code(), e.key.shift});
  }
  return out;
}

void ExpectCodes(const std::vector<Expected>& got, std::initializer_list<std::uint16_t> want) {
  ASSERT_EQ(got.size(), want.size());
  std::size_t i = 0;
  for (std::uint16_t code : want) {
    EXPECT_EQ(got[i].code, code) << "key " << i << std::hex << ": got 0x" << got[i].code
                                 << ", want 0x" << code;
    ++i;
  }
}

// What the toolkit makes of the keys the backend gives.
std::vector<tui::Event> ToolkitEvents(std::initializer_list<INPUT_RECORD> records) {
  FakeClock clock;
  HeadlessConsole console(clock);
  HeadlessProcess process(clock);
  auto files = CreateHostFiles();
  Platform platform{console, *files, process};
  tui::Screen screen(platform);
  screen.Start();
  std::size_t count = 0;
  for (const InputEvent& e : Events(records)) {
    console.PushKey(e.key.Code(), e.key.shift);
    ++count;
  }
  std::vector<tui::Event> out;
  for (std::size_t i = 0; i < count; ++i) {
    tui::Event e;
    tui::GetEvent(screen, e);
    out.push_back(e);
  }
  return out;
}

TEST(ConsoleKeys, FunctionAndCursorKeysGetTheBiosCodesOfTheirModifiers) {
  auto got = Codes({
      Key(VK_F1, 0x3B, 0),
      Key(VK_F5, 0x3F, 0),
      Key(VK_F10, 0x44, 0),
      Key(VK_F12, 0x58, 0),
      Key(VK_F1, 0x3B, 0, SHIFT_PRESSED),
      Key(VK_F5, 0x3F, 0, kLeftCtrl),
      Key(VK_F4, 0x3E, 0, kLeftAlt),
      Key(VK_PRIOR, 0x49, 0, ENHANCED_KEY),
      Key(VK_NEXT, 0x51, 0, ENHANCED_KEY),
      Key(VK_UP, 0x48, 0, ENHANCED_KEY),
      Key(VK_DOWN, 0x50, 0, ENHANCED_KEY),
      Key(VK_LEFT, 0x4B, 0, ENHANCED_KEY),
      Key(VK_RIGHT, 0x4D, 0, ENHANCED_KEY),
      Key(VK_LEFT, 0x4B, 0, ENHANCED_KEY | kLeftCtrl),
      Key(VK_RIGHT, 0x4D, 0, ENHANCED_KEY | RIGHT_CTRL_PRESSED),
      Key(VK_HOME, 0x47, 0),
      Key(VK_END, 0x4F, 0),
      Key(VK_INSERT, 0x52, 0),
      Key(VK_INSERT, 0x52, 0, kLeftCtrl),
      Key(VK_DELETE, 0x53, 0),
      // Without a scan code (a remote or emulated keyboard) the virtual key decides.
      Key(VK_F5, 0, 0),
      Key(VK_NEXT, 0, 0),
  });
  ExpectCodes(got, {0x3B00, 0x3F00, 0x4400, 0x8600, 0x5400, 0x6200, 0x6B00, 0x4900,
                    0x5100, 0x4800, 0x5000, 0x4B00, 0x4D00, 0x7300, 0x7400, 0x4700,
                    0x4F00, 0x5200, 0x9200, 0x5300, 0x3F00, 0x5100});
  EXPECT_EQ(got[4].shift & kShift, kShift);
  EXPECT_EQ(got[5].shift & kCtrl, kCtrl);
  EXPECT_EQ(got[6].shift & kAlt, kAlt);
}

TEST(ConsoleKeys, EnterTabEscAndBackspaceKeepTheirCharactersAsTheToolkitExpects) {
  auto got = Codes({
      Key(VK_RETURN, 0x1C, '\r'),
      Key(VK_RETURN, 0x1C, '\n', kLeftCtrl),
      // Some consoles give Esc no character; it is still 0x011B.
      Key(VK_ESCAPE, 0x01, 0x1B),
      Key(VK_ESCAPE, 0x01, 0),
      Key(VK_TAB, 0x0F, '\t'),
      // Shift+Tab comes with a tab character, which the keyboard BIOS never gave.
      Key(VK_TAB, 0x0F, '\t', SHIFT_PRESSED),
      Key(VK_BACK, 0x0E, 0x08),
      Key(VK_SPACE, 0x39, ' '),
      Key(VK_ADD, 0x4E, '+'),
      Key(VK_SUBTRACT, 0x4A, '-'),
  });
  ExpectCodes(got,
              {0x1C0D, 0x1C0A, 0x011B, 0x011B, 0x0F09, 0x0F00, 0x0E08, 0x3920, 0x4E2B, 0x4A2D});
}

TEST(ConsoleKeys, CtrlAndAltCombinations) {
  auto got = Codes({
      Key('D', 0x20, 0x04, kLeftCtrl),
      Key('K', 0x25, 0x0B, kLeftCtrl),
      Key('Y', 0x15, 0x19, RIGHT_CTRL_PRESSED),
      Key('P', 0x19, 0x10, kLeftCtrl),
      Key('W', 0x11, 0x17, kLeftCtrl),
      // Ctrl+I is not Tab, nor Ctrl+M Enter: the scan code tells them apart.
      Key('I', 0x17, 0x09, kLeftCtrl),
      Key('M', 0x32, 0x0D, kLeftCtrl),
      // A layout that leaves the character out still gives the control character.
      Key('T', 0x14, 0, kLeftCtrl),
      // Alt+letter comes with the letter; the keyboard BIOS gave none.
      Key('A', 0x1E, 'a', kLeftAlt),
      Key('X', 0x2D, 'x', kLeftAlt),
      Key('Z', 0x2C, 'Z', kLeftAlt | SHIFT_PRESSED),
      Key('1', 0x02, '1', kLeftAlt),
  });
  ExpectCodes(got, {0x2004, 0x250B, 0x1519, 0x1910, 0x1117, 0x1709, 0x320D, 0x1414, 0x1E00, 0x2D00,
                    0x2C00, 0x7800});
  for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(got[i].shift & (kCtrl | kAlt), kCtrl) << i;
  for (std::size_t i = 8; i < got.size(); ++i) EXPECT_EQ(got[i].shift & kAlt, kAlt) << i;
}

TEST(ConsoleKeys, PolishLettersOfAltGrArriveAsCharactersWithoutCtrlOrAlt) {
  auto got = Codes({
      Key('A', 0x1E, 0xA5, kAltGr),
      Key('A', 0x1E, 0xA4, kAltGr | SHIFT_PRESSED),
      Key('L', 0x26, 0x88, kAltGr),
      Key('Z', 0x2C, 0xBE, kAltGr),
      Key('X', 0x2D, 0xAB, kAltGr),
      Key('O', 0x18, 0xA2, kAltGr),
      Key('S', 0x1F, 0x97, kAltGr | SHIFT_PRESSED),
      // Typed through an input method or pasted: no key, no scan code.
      Key(0, 0, 0xA9),
      Key(0, 0, 0xE3),
  });
  ExpectCodes(got, {0x1EA5, 0x1EA4, 0x2688, 0x2CBE, 0x2DAB, 0x18A2, 0x1F97, 0x12A9, 0x31E3});
  for (const Expected& e : got) EXPECT_EQ(e.shift & (kCtrl | kAlt), 0) << std::hex << e.code;
  EXPECT_EQ(got[1].shift & kShift, kShift);
}

TEST(ConsoleKeys, ReleasesLoneModifiersAndRepeatsAreHandled) {
  auto got = Codes({
      Key(VK_SHIFT, 0x2A, 0, SHIFT_PRESSED),
      Key(VK_CONTROL, 0x1D, 0, kLeftCtrl),
      Key(VK_MENU, 0x38, 0, kLeftAlt),
      Key(VK_CAPITAL, 0x3A, 0, CAPSLOCK_ON),
      Key('Q', 0x10, 'q', 0, false),
      Key(VK_F5, 0x3F, 0, 0, false),
      Key(VK_DOWN, 0x50, 0, ENHANCED_KEY, true, 3),
      // Alt+0165 on the keypad: the digits are no keys, the release of Alt brings ą.
      Key(VK_NUMPAD1, 0x4F, 0, kLeftAlt),
      Key(VK_NUMPAD6, 0x4D, 0, kLeftAlt),
      Key(VK_MENU, 0x38, 0xA5, 0, false),
  });
  ExpectCodes(got, {0x5000, 0x5000, 0x5000, 0x1EA5});
}

TEST(ConsoleKeys, LockKeysShowInTheShiftState) {
  auto got = Codes({Key('A', 0x1E, 'a', NUMLOCK_ON), Key('A', 0x1E, 'A', CAPSLOCK_ON),
                    Key('A', 0x1E, 'a', SCROLLLOCK_ON)});
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].shift, kNumLock);
  EXPECT_EQ(got[1].shift, kCapsLock);
  EXPECT_EQ(got[2].shift, kScrollLock);
}

TEST(ConsoleKeys, MouseButtonsPositionsAndWheel) {
  auto events =
      Events({Mouse(5, 6, FROM_LEFT_1ST_BUTTON_PRESSED), Mouse(5, 6, 0),
              Mouse(79, 24, RIGHTMOST_BUTTON_PRESSED, 0, LEFT_CTRL_PRESSED),
              Mouse(10, 3, FROM_LEFT_2ND_BUTTON_PRESSED | FROM_LEFT_3RD_BUTTON_PRESSED),
              Mouse(1, 1, FROM_LEFT_1ST_BUTTON_PRESSED, DOUBLE_CLICK), Mouse(2, 2, 0, MOUSE_MOVED),
              Mouse(0, 0, static_cast<DWORD>(120) << 16, MOUSE_WHEELED),
              Mouse(0, 0, static_cast<DWORD>(static_cast<WORD>(-120)) << 16, MOUSE_WHEELED)});
  ASSERT_EQ(events.size(), 8u);
  for (const auto& e : events) EXPECT_EQ(e.kind, InputEvent::Kind::Mouse);
  EXPECT_EQ(events[0].mouse.column, 5);
  EXPECT_EQ(events[0].mouse.row, 6);
  EXPECT_EQ(events[0].mouse.buttons, kMouseLeft);
  EXPECT_EQ(events[1].mouse.buttons, 0);
  EXPECT_EQ(events[2].mouse.buttons, kMouseRight);
  EXPECT_EQ(events[2].mouse.column, 79);
  EXPECT_EQ(events[2].mouse.row, 24);
  EXPECT_EQ(events[2].mouse.shift & kCtrl, kCtrl);
  EXPECT_EQ(events[3].mouse.buttons, kMouseMiddle | kMouseFourth);
  EXPECT_TRUE(events[4].mouse.doubleClick);
  EXPECT_TRUE(events[5].mouse.moved);
  EXPECT_EQ(events[6].mouse.wheel, 1);
  EXPECT_EQ(events[6].mouse.buttons, 0);
  EXPECT_EQ(events[7].mouse.wheel, -1);
}

TEST(ToolkitKeys, AltGrAndAltLettersBothTypePolishLetters) {
  auto events = ToolkitEvents({
      Key('E', 0x12, 0xA9, kAltGr),                  // AltGr+E: ę
      Key('E', 0x12, 'e', kLeftAlt),                 // Alt+E: ę by the toolkit's Alt table
      Key('N', 0x31, 0xE3, kAltGr | SHIFT_PRESSED),  // AltGr+Shift+N: Ń
      Key(VK_F5, 0x3F, 0),
      Key(VK_NEXT, 0x51, 0, ENHANCED_KEY),
      Key('D', 0x20, 0x04, kLeftCtrl),
  });
  ASSERT_EQ(events.size(), 6u);
  EXPECT_TRUE(events[0].IsChar("ę"_pl[0]));
  EXPECT_EQ(events[0].KeyCode(), 0x12A9);
  EXPECT_TRUE(events[1].IsChar("ę"_pl[0]));
  EXPECT_TRUE(events[2].IsChar("Ń"_pl[0]));
  EXPECT_TRUE(events[3].IsKey(tui::key::kF5));
  EXPECT_FALSE(events[3].HasCharacter());
  EXPECT_TRUE(events[4].IsKey(tui::key::kPgDn));
  EXPECT_TRUE(events[5].IsKey(tui::key::kCtrlD));
}

}  // namespace
}  // namespace zq::platform::win32::test
