// The keyboard as the PC BIOS reports it, which is what the toolkit reads on every
// host: the scan codes of the keys without a character under each modifier, the
// editing keys with theirs, the US layout's keys for printable ASCII and the keys
// the Polish letters sit on. Each backend maps its own key identifiers (terminal
// sequences, virtual-key codes) onto these and nothing else.
#pragma once

#include <cstdint>

#include "platform/console.h"

namespace zq::platform {

enum class PcKey : std::uint8_t {
  kF1,
  kF2,
  kF3,
  kF4,
  kF5,
  kF6,
  kF7,
  kF8,
  kF9,
  kF10,
  kF11,
  kF12,
  kUp,
  kDown,
  kLeft,
  kRight,
  kHome,
  kEnd,
  kPgUp,
  kPgDn,
  kIns,
  kDel,
  kCenter,  // keypad 5 without Num Lock
  kEnter,
  kTab,
  kEsc,
  kBackspace,
};

// F1..F12 by number.
constexpr PcKey FunctionKey(int number) {
  return static_cast<PcKey>(static_cast<int>(PcKey::kF1) + number - 1);
}

// The key as the BIOS gives it with the modifiers in `shift` (Alt wins over Ctrl,
// Ctrl over Shift), the shift bits passed on as they are.
KeyEvent PcKeyEvent(PcKey key, std::uint8_t shift);

struct CharacterKey {
  std::uint8_t scan = 0;  // 0: no key types it
  bool shifted = false;   // Shift is part of typing it
};

// The key that types a code page 852 character: for printable ASCII the key of the
// US layout, for a Polish letter the key of the Latin letter it is typed with
// (AltGr or Alt with it on the programmer's layout).
CharacterKey KeyOfCharacter(std::uint8_t ch);

// The scan code of Alt with the key of `scan`: the digit row has codes of its own.
constexpr std::uint8_t AltScan(std::uint8_t scan) {
  return scan >= 0x02 && scan <= 0x0D ? static_cast<std::uint8_t>(scan + 0x76) : scan;
}

}  // namespace zq::platform
