// The terminal's key decoder on any byte stream, fed in pieces at varying times. Every
// key it gives is one a PC keyboard gives (the tables of bios_keys.h: the keys without
// a character under every modifier, each character with its key, Ctrl and Alt with a
// letter or digit, the numeric keypad), no more events come than bytes went in, and nothing is held
// back once the input has ended.
#include <set>
#include <utility>

#include "fuzz.h"
#include "platform/bios_keys.h"
#include "platform/posix/key_decoder.h"

namespace zq::fuzz {
namespace {

using platform::KeyOfCharacter;

std::set<std::uint16_t> PcKeyboard() {
  std::set<std::uint16_t> codes;
  auto add = [&](std::uint8_t scan, std::uint8_t ch) {
    codes.insert(static_cast<std::uint16_t>(scan << 8 | ch));
  };
  for (int k = 0; k <= static_cast<int>(platform::PcKey::kBackspace); ++k)
    for (std::uint8_t shift : {0, 0x03, 0x04, 0x07, 0x08, 0x0B, 0x0C, 0x0F})
      codes.insert(platform::PcKeyEvent(static_cast<platform::PcKey>(k), shift).Code());
  for (int c = 0; c < 256; ++c) {
    const auto ch = static_cast<std::uint8_t>(c);
    add(KeyOfCharacter(ch).scan, ch);
    if (c >= 0x20 && c < 0x7F) add(platform::AltScan(KeyOfCharacter(ch).scan), 0);
  }
  for (std::uint8_t i = 0; i < 26; ++i) {
    const std::uint8_t scan = KeyOfCharacter(static_cast<std::uint8_t>('a' + i)).scan;
    add(scan, static_cast<std::uint8_t>(i + 1));  // Ctrl+letter
    add(scan, 0);                                 // Alt+Ctrl+letter
  }
  // The numeric keypad with Num Lock on: digits, point and the grey keys.
  for (const auto& [scan, ch] : {std::pair<std::uint8_t, char>{0x47, '7'},
                                 {0x48, '8'},
                                 {0x49, '9'},
                                 {0x4B, '4'},
                                 {0x4C, '5'},
                                 {0x4D, '6'},
                                 {0x4F, '1'},
                                 {0x50, '2'},
                                 {0x51, '3'},
                                 {0x52, '0'},
                                 {0x53, '.'},
                                 {0x37, '*'},
                                 {0x4A, '-'},
                                 {0x4E, '+'}})
    add(scan, static_cast<std::uint8_t>(ch));
  // Ctrl+2, Ctrl+\, Ctrl+], Ctrl+6, Ctrl+-, Alt+space.
  add(0x03, 0x00);
  add(0x2B, 0x1C);
  add(0x1B, 0x1D);
  add(0x07, 0x1E);
  add(0x0C, 0x1F);
  add(0x39, ' ');
  return codes;
}

ZQ_FUZZ_TARGET(key_decoder) {
  static const std::set<std::uint16_t> keyboard = PcKeyboard();
  platform::KeyDecoder decoder;
  long long now = 0;
  std::size_t events = 0;
  auto drain = [&] {
    platform::InputEvent e;
    while (decoder.Next(e, now)) {
      ++events;
      ZQ_CHECK(events <= data.size(), "more events than bytes");
      if (e.kind != platform::InputEvent::Kind::Key) continue;
      ZQ_CHECK(keyboard.contains(e.key.Code()),
               "key code " + std::to_string(e.key.Code()) + " no PC key gives");
    }
  };
  // Each piece: a byte giving its length and the time before it, then the bytes.
  std::size_t at = 0;
  while (at < data.size()) {
    const std::uint8_t head = data[at++];
    const std::size_t n = std::min<std::size_t>(1 + head % 8, data.size() - at);
    now += head / 8 * 5;
    decoder.Feed(std::string_view(reinterpret_cast<const char*>(data.data() + at), n), now);
    at += n;
    drain();
  }
  now += platform::KeyDecoder::kEscTimeoutMs + 1;
  drain();
  decoder.EndOfInput(now);
  drain();
  ZQ_CHECK(!decoder.HasPartial(), "bytes held after the end of the input");
}

}  // namespace
}  // namespace zq::fuzz
