// Console input records as the keyboard BIOS would have reported them: key codes of
// scan code * 256 + character with the BIOS shift bits, which is what the toolkit
// reads on every host. Pure, so the mapping is tested without a console.
#pragma once

#include <cstdint>
#include <deque>

#include "platform/console.h"
#include "platform/win32/win.h"

namespace zq::platform::win32 {

// The fields of a KEY_EVENT_RECORD, the character already in code page 852.
struct ConsoleKey {
  bool down = true;
  std::uint16_t repeat = 1;
  std::uint16_t virtualKey = 0;
  std::uint16_t scan = 0;  // hardware scan code, 0 when the event has none
  std::uint8_t ch = 0;
  std::uint32_t state = 0;  // dwControlKeyState
};

// The fields of a MOUSE_EVENT_RECORD.
struct ConsoleMouse {
  int column = 0;
  int row = 0;
  std::uint32_t buttons = 0;  // dwButtonState
  std::uint32_t state = 0;    // dwControlKeyState
  std::uint32_t flags = 0;    // dwEventFlags
};

// BIOS shift bits of a dwControlKeyState.
std::uint8_t ShiftState(std::uint32_t controlKeyState);

// The key a console key event stands for; false for events that are no key of
// their own: releases, Shift, Ctrl, Alt and the lock keys alone, the keypad digits
// of an Alt+number entry (its character comes with the release of Alt).
bool TranslateKey(const ConsoleKey& in, KeyEvent& out);

MouseEvent TranslateMouse(const ConsoleMouse& in);

// Appends the events of one key or mouse record to `out` (a held key's repeats as
// that many keys, at most 32); records of other kinds add nothing.
void AppendEvents(const INPUT_RECORD& record, std::deque<InputEvent>& out);

// The key a character read from a redirected standard input stands for.
KeyEvent KeyForCharacter(std::uint8_t ch);

}  // namespace zq::platform::win32
