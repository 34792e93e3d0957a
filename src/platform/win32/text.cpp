#include "platform/win32/text.h"

#include <array>
#include <cstdint>

#include "platform/cp852.h"

namespace zq::platform::win32 {

namespace {

// Byte for each UTF-16 unit below the last character of the code page, -1 for none.
constexpr std::size_t kReverseSize = 0x2600;
constexpr auto kReverse = [] {
  std::array<std::int16_t, kReverseSize> r{};
  r.fill(-1);
  for (int b = 0; b < 256; ++b)
    r[kCp852ToUnicode[static_cast<std::size_t>(b)]] = static_cast<std::int16_t>(b);
  return r;
}();

int ByteOf(wchar_t w) {
  auto u = static_cast<std::size_t>(static_cast<std::uint16_t>(w));
  return u < kReverseSize ? kReverse[u] : -1;
}

}  // namespace

std::wstring Cp852ToWide(std::string_view cp852) {
  std::wstring out;
  out.reserve(cp852.size());
  for (unsigned char c : cp852) out += static_cast<wchar_t>(kCp852ToUnicode[c]);
  return out;
}

std::string WideToCp852(std::wstring_view wide, char fallback) {
  std::string out;
  out.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    auto u = static_cast<std::uint16_t>(wide[i]);
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < wide.size()) {
      auto next = static_cast<std::uint16_t>(wide[i + 1]);
      if (next >= 0xDC00 && next <= 0xDFFF) ++i;  // one character, one fallback
      out += fallback;
      continue;
    }
    int b = ByteOf(wide[i]);
    out += b < 0 ? fallback : static_cast<char>(b);
  }
  return out;
}

bool FitsCp852(std::wstring_view wide) {
  for (wchar_t w : wide)
    if (ByteOf(w) < 0) return false;
  return true;
}

}  // namespace zq::platform::win32
