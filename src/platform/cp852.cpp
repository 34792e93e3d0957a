#include "platform/cp852.h"

namespace zq {

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string Cp852ToUtf8(std::string_view cp852) {
  // Names are mostly ASCII: room for one byte each, so that a short name needs no heap.
  std::string out;
  out.reserve(cp852.size());
  for (unsigned char c : cp852) AppendUtf8(out, kCp852ToUnicode[c]);
  return out;
}

std::string Utf8ToCp852(std::string_view utf8, char fallback) {
  static const auto kReverse = [] {
    std::array<int, 0x2600> r{};
    r.fill(-1);
    for (int b = 0; b < 256; ++b) r[kCp852ToUnicode[static_cast<std::size_t>(b)]] = b;
    return r;
  }();
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t cp = DecodeUtf8(utf8, i);
    int b = cp < kReverse.size() ? kReverse[cp] : -1;
    out += b < 0 ? fallback : static_cast<char>(b);
  }
  return out;
}

}  // namespace zq
