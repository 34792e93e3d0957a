#include "platform/win32/keys.h"

#include <algorithm>

#include "platform/bios_keys.h"

namespace zq::platform::win32 {

namespace {

// The keys without a character by their virtual-key codes.
constexpr struct {
  std::uint16_t virtualKey;
  PcKey key;
} kSpecial[] = {
    {VK_F1, PcKey::kF1},       {VK_F2, PcKey::kF2},        {VK_F3, PcKey::kF3},
    {VK_F4, PcKey::kF4},       {VK_F5, PcKey::kF5},        {VK_F6, PcKey::kF6},
    {VK_F7, PcKey::kF7},       {VK_F8, PcKey::kF8},        {VK_F9, PcKey::kF9},
    {VK_F10, PcKey::kF10},     {VK_F11, PcKey::kF11},      {VK_F12, PcKey::kF12},
    {VK_UP, PcKey::kUp},       {VK_DOWN, PcKey::kDown},    {VK_LEFT, PcKey::kLeft},
    {VK_RIGHT, PcKey::kRight}, {VK_HOME, PcKey::kHome},    {VK_END, PcKey::kEnd},
    {VK_PRIOR, PcKey::kPgUp},  {VK_NEXT, PcKey::kPgDn},    {VK_INSERT, PcKey::kIns},
    {VK_DELETE, PcKey::kDel},  {VK_CLEAR, PcKey::kCenter},
};

// A scan code for an event that came without one (typed through an input method,
// pasted, or sent by a terminal emulator): the key of the US layout that gives the
// character, or of the letter key for a virtual key code.
std::uint8_t ScanFor(std::uint16_t virtualKey, std::uint8_t ch, bool& shifted) {
  shifted = false;
  if (ch >= 0x20) {
    CharacterKey k = KeyOfCharacter(ch);
    if (ch < 0x80 || k.scan != 0) {
      shifted = k.shifted;
      return k.scan;
    }
  }
  if (virtualKey >= 'A' && virtualKey <= 'Z')
    return KeyOfCharacter(static_cast<std::uint8_t>(virtualKey - 'A' + 'a')).scan;
  if (virtualKey >= '0' && virtualKey <= '9')
    return KeyOfCharacter(static_cast<std::uint8_t>(virtualKey)).scan;
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

  for (const auto& s : kSpecial) {
    if (s.virtualKey != vk) continue;
    out = PcKeyEvent(s.key, shift);
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
      out = PcKeyEvent(PcKey::kEnter, shift);
      return true;
    case VK_ESCAPE:
      out = PcKeyEvent(PcKey::kEsc, shift);
      return true;
    case VK_TAB:
      out = PcKeyEvent(PcKey::kTab, shift);
      return true;
    case VK_BACK:
      out = PcKeyEvent(PcKey::kBackspace, shift);
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
    scan = AltScan(scan);
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
      return PcKeyEvent(PcKey::kEnter, 0);
    case 0x1B:
      return PcKeyEvent(PcKey::kEsc, 0);
    case 0x09:
      return PcKeyEvent(PcKey::kTab, 0);
    case 0x08:
    case 0x7F:
      return PcKeyEvent(PcKey::kBackspace, 0);
    default:
      break;
  }
  if (ch >= 0x01 && ch <= 0x1A)
    return KeyEvent{KeyOfCharacter(static_cast<std::uint8_t>('a' + ch - 1)).scan, ch, kCtrl};
  bool shifted = false;
  std::uint8_t scan = ScanFor(0, ch, shifted);
  return KeyEvent{scan, ch, static_cast<std::uint8_t>(shifted ? kShift : 0)};
}

}  // namespace zq::platform::win32
