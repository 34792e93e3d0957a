#include "platform/win32/keys.h"

#include <algorithm>
#include <array>

namespace zq::platform::win32 {

namespace {

// Scan codes of keys without a character: plain, with Shift, Ctrl and Alt.
struct ScanSet {
  std::uint16_t virtualKey;
  std::uint8_t plain, shift, ctrl, alt;
};

constexpr ScanSet kSpecial[] = {
    {VK_F1, 0x3B, 0x54, 0x5E, 0x68},     {VK_F2, 0x3C, 0x55, 0x5F, 0x69},
    {VK_F3, 0x3D, 0x56, 0x60, 0x6A},     {VK_F4, 0x3E, 0x57, 0x61, 0x6B},
    {VK_F5, 0x3F, 0x58, 0x62, 0x6C},     {VK_F6, 0x40, 0x59, 0x63, 0x6D},
    {VK_F7, 0x41, 0x5A, 0x64, 0x6E},     {VK_F8, 0x42, 0x5B, 0x65, 0x6F},
    {VK_F9, 0x43, 0x5C, 0x66, 0x70},     {VK_F10, 0x44, 0x5D, 0x67, 0x71},
    {VK_F11, 0x85, 0x87, 0x89, 0x8B},    {VK_F12, 0x86, 0x88, 0x8A, 0x8C},
    {VK_UP, 0x48, 0x48, 0x8D, 0x98},     {VK_DOWN, 0x50, 0x50, 0x91, 0xA0},
    {VK_LEFT, 0x4B, 0x4B, 0x73, 0x9B},   {VK_RIGHT, 0x4D, 0x4D, 0x74, 0x9D},
    {VK_HOME, 0x47, 0x47, 0x77, 0x97},   {VK_END, 0x4F, 0x4F, 0x75, 0x9F},
    {VK_PRIOR, 0x49, 0x49, 0x84, 0x99},  {VK_NEXT, 0x51, 0x51, 0x76, 0xA1},
    {VK_INSERT, 0x52, 0x52, 0x92, 0xA2}, {VK_DELETE, 0x53, 0x53, 0x93, 0xA3},
    {VK_CLEAR, 0x4C, 0x4C, 0x8F, 0x4C},  // keypad 5 without Num Lock
};

// Scan codes of the US keyboard for printable ASCII, and whether Shift makes it.
struct AsciiKey {
  std::uint8_t scan;
  bool shifted;
};

constexpr std::array<AsciiKey, 128> MakeAsciiTable() {
  std::array<AsciiKey, 128> t{};
  auto set = [&t](char c, std::uint8_t scan, bool shifted) {
    t[static_cast<std::size_t>(c)] = AsciiKey{scan, shifted};
  };
  const char* rows[] = {"qwertyuiop", "asdfghjkl", "zxcvbnm"};
  const std::uint8_t starts[] = {0x10, 0x1E, 0x2C};
  for (int r = 0; r < 3; ++r)
    for (int i = 0; rows[r][i]; ++i) {
      auto scan = static_cast<std::uint8_t>(starts[r] + i);
      set(rows[r][i], scan, false);
      set(static_cast<char>(rows[r][i] - 'a' + 'A'), scan, true);
    }
  const char* digits = "1234567890";
  const char* shiftedDigits = "!@#$%^&*()";
  for (int i = 0; i < 10; ++i) {
    set(digits[i], static_cast<std::uint8_t>(0x02 + i), false);
    set(shiftedDigits[i], static_cast<std::uint8_t>(0x02 + i), true);
  }
  const struct {
    char plain, shifted;
    std::uint8_t scan;
  } punct[] = {{'-', '_', 0x0C}, {'=', '+', 0x0D},  {'[', '{', 0x1A}, {']', '}', 0x1B},
               {';', ':', 0x27}, {'\'', '"', 0x28}, {'`', '~', 0x29}, {'\\', '|', 0x2B},
               {',', '<', 0x33}, {'.', '>', 0x34},  {'/', '?', 0x35}};
  for (const auto& p : punct) {
    set(p.plain, p.scan, false);
    set(p.shifted, p.scan, true);
  }
  set(' ', 0x39, false);
  return t;
}

constexpr std::array<AsciiKey, 128> kAscii = MakeAsciiTable();

// The key a Polish letter sits on (the Latin letter its key carries), 0 for none.
std::uint8_t PolishScan(std::uint8_t ch, bool& upper) {
  struct Entry {
    std::uint8_t lower, upper, scan;
  };
  static constexpr Entry kLetters[] = {{0xA5, 0xA4, 0x1E}, {0x86, 0x8F, 0x2E}, {0xA9, 0xA8, 0x12},
                                       {0x88, 0x9D, 0x26}, {0xE4, 0xE3, 0x31}, {0xA2, 0xE0, 0x18},
                                       {0x98, 0x97, 0x1F}, {0xAB, 0x8D, 0x2D}, {0xBE, 0xBD, 0x2C}};
  for (const auto& e : kLetters) {
    if (ch == e.lower || ch == e.upper) {
      upper = ch == e.upper;
      return e.scan;
    }
  }
  upper = false;
  return 0;
}

// A scan code for an event that came without one (typed through an input method,
// pasted, or sent by a terminal emulator): the key of the US layout that gives the
// character, or of the letter key for a virtual key code.
std::uint8_t ScanFor(std::uint16_t virtualKey, std::uint8_t ch, bool& shifted) {
  shifted = false;
  if (ch >= 0x20 && ch < 0x80) {
    shifted = kAscii[ch].shifted;
    return kAscii[ch].scan;
  }
  if (ch >= 0x80) {
    std::uint8_t scan = PolishScan(ch, shifted);
    if (scan != 0) return scan;
  }
  if (virtualKey >= 'A' && virtualKey <= 'Z')
    return kAscii[static_cast<std::size_t>(virtualKey - 'A' + 'a')].scan;
  if (virtualKey >= '0' && virtualKey <= '9') return kAscii[virtualKey].scan;
  return 0;
}

bool IsModifierAlone(std::uint16_t vk) {
  switch (vk) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
    case VK_LSHIFT:
    case VK_RSHIFT:
    case VK_LCONTROL:
    case VK_RCONTROL:
    case VK_LMENU:
    case VK_RMENU:
    case VK_CAPITAL:
    case VK_NUMLOCK:
    case VK_SCROLL:
    case VK_LWIN:
    case VK_RWIN:
    case VK_APPS:
    case VK_PAUSE:
      return true;
    default:
      return false;
  }
}

}  // namespace

std::uint8_t ShiftState(std::uint32_t s) {
  std::uint8_t bits = 0;
  if (s & SHIFT_PRESSED) bits |= kShift;
  if (s & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) bits |= kCtrl;
  if (s & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) bits |= kAlt;
  if (s & SCROLLLOCK_ON) bits |= kScrollLock;
  if (s & NUMLOCK_ON) bits |= kNumLock;
  if (s & CAPSLOCK_ON) bits |= kCapsLock;
  return bits;
}

bool TranslateKey(const ConsoleKey& in, KeyEvent& out) {
  std::uint8_t shift = ShiftState(in.state);
  bool alt = (shift & kAlt) != 0;
  bool ctrl = (shift & kCtrl) != 0;
  std::uint16_t vk = in.virtualKey;
  std::uint8_t ch = in.ch;

  if (!in.down) {
    // Alt+number on the keypad: the character arrives with the release of Alt.
    if (vk == VK_MENU && ch != 0) {
      bool shifted = false;
      std::uint8_t scan = ScanFor(0, ch, shifted);
      out = KeyEvent{scan, ch, static_cast<std::uint8_t>(shift & ~(kAlt | kCtrl))};
      return true;
    }
    return false;
  }
  if (IsModifierAlone(vk)) return false;
  if (alt && vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return false;

  for (const ScanSet& s : kSpecial) {
    if (s.virtualKey != vk) continue;
    std::uint8_t scan = alt ? s.alt : ctrl ? s.ctrl : (shift & kShift) ? s.shift : s.plain;
    out = KeyEvent{scan, 0, shift};
    return true;
  }

  // AltGr is Ctrl with Alt: the character it makes (the Polish letters of the
  // programmer's layout) is typed text, not a shortcut.
  if (alt && ctrl && ch >= 0x20 && vk != VK_RETURN && vk != VK_TAB && vk != VK_ESCAPE &&
      vk != VK_BACK) {
    bool shifted = false;
    std::uint8_t scan =
        in.scan != 0 ? static_cast<std::uint8_t>(in.scan) : ScanFor(vk, ch, shifted);
    out = KeyEvent{scan, ch, static_cast<std::uint8_t>(shift & ~(kAlt | kCtrl))};
    return true;
  }

  switch (vk) {
    case VK_RETURN:
      out = KeyEvent{0x1C, static_cast<std::uint8_t>(alt ? 0 : ctrl ? 0x0A : 0x0D), shift};
      return true;
    case VK_ESCAPE:
      out = KeyEvent{0x01, static_cast<std::uint8_t>(alt ? 0 : 0x1B), shift};
      return true;
    case VK_TAB:
      if (alt)
        out = KeyEvent{0xA5, 0, shift};
      else if (ctrl)
        out = KeyEvent{0x94, 0, shift};
      else
        out = KeyEvent{0x0F, static_cast<std::uint8_t>((shift & kShift) ? 0 : 0x09), shift};
      return true;
    case VK_BACK:
      out = KeyEvent{0x0E, static_cast<std::uint8_t>(alt ? 0 : ctrl ? 0x7F : 0x08), shift};
      return true;
    default:
      break;
  }

  bool shifted = false;
  std::uint8_t scan = static_cast<std::uint8_t>(in.scan);
  if (scan == 0) {
    scan = ScanFor(vk, ch, shifted);
    if (shifted) shift |= kShift;
  }

  if (alt) {
    // Alt with a key: the key without its character, as the toolkit's Polish Alt
    // letters and shortcuts expect; the digit row has Alt codes of its own.
    if (scan >= 0x02 && scan <= 0x0D) scan = static_cast<std::uint8_t>(scan + 0x76);
    if (scan == 0) return false;
    out = KeyEvent{scan, static_cast<std::uint8_t>(scan == 0x39 ? ' ' : 0), shift};
    return true;
  }
  if (ctrl && vk >= 'A' && vk <= 'Z') {
    // Ctrl+letter is the letter's control character whatever the layout put in uChar.
    if (scan == 0) scan = ScanFor(vk, 0, shifted);
    out = KeyEvent{scan, static_cast<std::uint8_t>(vk - 'A' + 1), shift};
    return true;
  }
  if (ch == 0 && !ctrl) return false;  // a dead key or a key the layout gives nothing for
  if (scan == 0 && ch == 0) return false;
  out = KeyEvent{scan, ch, shift};
  return true;
}

MouseEvent TranslateMouse(const ConsoleMouse& in) {
  MouseEvent m;
  m.column = in.column;
  m.row = in.row;
  // The high word of a wheel event is its distance; the low bits are still the buttons.
  if (in.buttons & FROM_LEFT_1ST_BUTTON_PRESSED) m.buttons |= kMouseLeft;
  if (in.buttons & RIGHTMOST_BUTTON_PRESSED) m.buttons |= kMouseRight;
  if (in.buttons & FROM_LEFT_2ND_BUTTON_PRESSED) m.buttons |= kMouseMiddle;
  if (in.buttons & FROM_LEFT_3RD_BUTTON_PRESSED) m.buttons |= kMouseFourth;
  m.moved = (in.flags & MOUSE_MOVED) != 0;
  m.doubleClick = (in.flags & DOUBLE_CLICK) != 0;
  if (in.flags & MOUSE_WHEELED) {
    auto delta = static_cast<std::int16_t>(in.buttons >> 16);
    m.wheel = delta > 0 ? 1 : delta < 0 ? -1 : 0;
  }
  m.shift = ShiftState(in.state);
  return m;
}

void AppendEvents(const INPUT_RECORD& r, std::deque<InputEvent>& out) {
  if (r.EventType == KEY_EVENT) {
    const KEY_EVENT_RECORD& k = r.Event.KeyEvent;
    ConsoleKey key{k.bKeyDown != 0,
                   k.wRepeatCount,
                   k.wVirtualKeyCode,
                   k.wVirtualScanCode,
                   static_cast<std::uint8_t>(k.uChar.AsciiChar),
                   k.dwControlKeyState};
    InputEvent e;
    e.kind = InputEvent::Kind::Key;
    if (!TranslateKey(key, e.key)) return;
    // A held key repeats; a flood of them must not fill memory.
    int repeat = std::clamp<int>(k.wRepeatCount, 1, 32);
    for (int n = 0; n < repeat; ++n) out.push_back(e);
  } else if (r.EventType == MOUSE_EVENT) {
    const MOUSE_EVENT_RECORD& m = r.Event.MouseEvent;
    InputEvent e;
    e.kind = InputEvent::Kind::Mouse;
    e.mouse = TranslateMouse(ConsoleMouse{m.dwMousePosition.X, m.dwMousePosition.Y, m.dwButtonState,
                                          m.dwControlKeyState, m.dwEventFlags});
    out.push_back(e);
  }
}

KeyEvent KeyForCharacter(std::uint8_t ch) {
  switch (ch) {
    case 0x0D:
    case 0x0A:
      return KeyEvent{0x1C, 0x0D, 0};
    case 0x1B:
      return KeyEvent{0x01, 0x1B, 0};
    case 0x09:
      return KeyEvent{0x0F, 0x09, 0};
    case 0x08:
    case 0x7F:
      return KeyEvent{0x0E, 0x08, 0};
    default:
      break;
  }
  if (ch >= 0x01 && ch <= 0x1A)
    return KeyEvent{kAscii[static_cast<std::size_t>('a' + ch - 1)].scan, ch, kCtrl};
  bool shifted = false;
  std::uint8_t scan = ScanFor(0, ch, shifted);
  return KeyEvent{scan, ch, static_cast<std::uint8_t>(shifted ? kShift : 0)};
}

}  // namespace zq::platform::win32
