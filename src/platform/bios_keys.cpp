#include "platform/bios_keys.h"

#include <array>
#include <cstddef>

namespace zq::platform {

namespace {

struct ScanSet {
  std::uint8_t plain, shift, ctrl, alt;
};

// In the order of PcKey.
constexpr ScanSet kSpecialScans[] = {
    {0x3B, 0x54, 0x5E, 0x68}, {0x3C, 0x55, 0x5F, 0x69}, {0x3D, 0x56, 0x60, 0x6A},
    {0x3E, 0x57, 0x61, 0x6B}, {0x3F, 0x58, 0x62, 0x6C}, {0x40, 0x59, 0x63, 0x6D},
    {0x41, 0x5A, 0x64, 0x6E}, {0x42, 0x5B, 0x65, 0x6F}, {0x43, 0x5C, 0x66, 0x70},
    {0x44, 0x5D, 0x67, 0x71}, {0x85, 0x87, 0x89, 0x8B}, {0x86, 0x88, 0x8A, 0x8C},
    {0x48, 0x48, 0x8D, 0x98},  // Up
    {0x50, 0x50, 0x91, 0xA0},  // Down
    {0x4B, 0x4B, 0x73, 0x9B},  // Left
    {0x4D, 0x4D, 0x74, 0x9D},  // Right
    {0x47, 0x47, 0x77, 0x97},  // Home
    {0x4F, 0x4F, 0x75, 0x9F},  // End
    {0x49, 0x49, 0x84, 0x99},  // PgUp
    {0x51, 0x51, 0x76, 0xA1},  // PgDn
    {0x52, 0x52, 0x92, 0xA2},  // Insert
    {0x53, 0x53, 0x93, 0xA3},  // Del
    {0x4C, 0x4C, 0x8F, 0x4C},  // keypad 5
};
static_assert(std::size(kSpecialScans) == static_cast<std::size_t>(PcKey::kCenter) + 1);

constexpr std::array<CharacterKey, 128> MakeAsciiTable() {
  std::array<CharacterKey, 128> t{};
  auto set = [&t](char c, std::uint8_t scan, bool shifted) {
    t[static_cast<std::size_t>(c)] = CharacterKey{scan, shifted};
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

constexpr std::array<CharacterKey, 128> kAscii = MakeAsciiTable();

// Code page 852 lower and upper case of each Polish letter and the Latin letter's key.
struct PolishLetter {
  std::uint8_t lower, upper, scan;
};

constexpr PolishLetter kPolish[] = {{0xA5, 0xA4, 0x1E}, {0x86, 0x8F, 0x2E}, {0xA9, 0xA8, 0x12},
                                    {0x88, 0x9D, 0x26}, {0xE4, 0xE3, 0x31}, {0xA2, 0xE0, 0x18},
                                    {0x98, 0x97, 0x1F}, {0xAB, 0x8D, 0x2D}, {0xBE, 0xBD, 0x2C}};

}  // namespace

KeyEvent PcKeyEvent(PcKey key, std::uint8_t shift) {
  bool alt = (shift & kAlt) != 0;
  bool ctrl = (shift & kCtrl) != 0;
  switch (key) {
    case PcKey::kEnter:
      return KeyEvent{0x1C, static_cast<std::uint8_t>(alt ? 0 : ctrl ? 0x0A : 0x0D), shift};
    case PcKey::kEsc:
      return KeyEvent{0x01, static_cast<std::uint8_t>(alt ? 0 : 0x1B), shift};
    case PcKey::kTab:
      if (alt) return KeyEvent{0xA5, 0, shift};
      if (ctrl) return KeyEvent{0x94, 0, shift};
      return KeyEvent{0x0F, static_cast<std::uint8_t>((shift & kShift) ? 0 : 0x09), shift};
    case PcKey::kBackspace:
      return KeyEvent{0x0E, static_cast<std::uint8_t>(alt ? 0 : ctrl ? 0x7F : 0x08), shift};
    default:
      break;
  }
  const ScanSet& s = kSpecialScans[static_cast<std::size_t>(key)];
  std::uint8_t scan = alt ? s.alt : ctrl ? s.ctrl : (shift & kShift) ? s.shift : s.plain;
  return KeyEvent{scan, 0, shift};
}

CharacterKey KeyOfCharacter(std::uint8_t ch) {
  if (ch < 0x80) return kAscii[ch];
  for (const PolishLetter& p : kPolish)
    if (ch == p.lower || ch == p.upper) return CharacterKey{p.scan, ch == p.upper};
  return {};
}

}  // namespace zq::platform
