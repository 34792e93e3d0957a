// Code page 852 (the Polish DOS code page) is the program's only character set: every
// text inside the program, on screen and in the data files is a single byte of it.
// One table maps each byte to Unicode; the way back is derived from it, so the two
// directions can never disagree.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace zq {

inline constexpr std::array<char16_t, 256> kCp852ToUnicode = {
    0x0000, 0x0001, 0x0002, 0x0003, 0x0004, 0x0005, 0x0006, 0x0007,
    0x0008, 0x0009, 0x000A, 0x000B, 0x000C, 0x000D, 0x000E, 0x000F,
    0x0010, 0x0011, 0x0012, 0x0013, 0x0014, 0x0015, 0x0016, 0x0017,
    0x0018, 0x0019, 0x001A, 0x001B, 0x001C, 0x001D, 0x001E, 0x001F,
    0x0020, 0x0021, 0x0022, 0x0023, 0x0024, 0x0025, 0x0026, 0x0027,
    0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F,
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,
    0x0040, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047,
    0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F,
    0x0050, 0x0051, 0x0052, 0x0053, 0x0054, 0x0055, 0x0056, 0x0057,
    0x0058, 0x0059, 0x005A, 0x005B, 0x005C, 0x005D, 0x005E, 0x005F,
    0x0060, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067,
    0x0068, 0x0069, 0x006A, 0x006B, 0x006C, 0x006D, 0x006E, 0x006F,
    0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077,
    0x0078, 0x0079, 0x007A, 0x007B, 0x007C, 0x007D, 0x007E, 0x007F,
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x016F, 0x0107, 0x00E7,
    0x0142, 0x00EB, 0x0150, 0x0151, 0x00EE, 0x0179, 0x00C4, 0x0106,
    0x00C9, 0x0139, 0x013A, 0x00F4, 0x00F6, 0x013D, 0x013E, 0x015A,
    0x015B, 0x00D6, 0x00DC, 0x0164, 0x0165, 0x0141, 0x00D7, 0x010D,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x0104, 0x0105, 0x017D, 0x017E,
    0x0118, 0x0119, 0x00AC, 0x017A, 0x010C, 0x015F, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x011A,
    0x015E, 0x2563, 0x2551, 0x2557, 0x255D, 0x017B, 0x017C, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x0102, 0x0103,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4,
    0x0111, 0x0110, 0x010E, 0x00CB, 0x010F, 0x0147, 0x00CD, 0x00CE,
    0x011B, 0x2518, 0x250C, 0x2588, 0x2584, 0x0162, 0x016E, 0x2580,
    0x00D3, 0x00DF, 0x00D4, 0x0143, 0x0144, 0x0148, 0x0160, 0x0161,
    0x0154, 0x00DA, 0x0155, 0x0170, 0x00FD, 0x00DD, 0x0163, 0x00B4,
    0x00AD, 0x02DD, 0x02DB, 0x02C7, 0x02D8, 0x00A7, 0x00F7, 0x00B8,
    0x00B0, 0x00A8, 0x02D9, 0x0171, 0x0158, 0x0159, 0x25A0, 0x00A0,
};

// Byte for a Unicode code point, or -1 when the code page has no such character.
constexpr int UnicodeToCp852(char32_t cp) {
  if (cp < 0x80) return static_cast<int>(cp);
  for (int b = 0x80; b < 256; ++b)
    if (kCp852ToUnicode[static_cast<std::size_t>(b)] == cp) return b;
  return -1;
}

// Decodes one UTF-8 sequence at s[i], advancing i. Malformed input yields U+FFFD.
constexpr char32_t DecodeUtf8(std::string_view s, std::size_t& i) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char c = byte(i++);
  if (c < 0x80) return c;
  int extra = (c >= 0xF0) ? 3 : (c >= 0xE0) ? 2 : (c >= 0xC0) ? 1 : -1;
  if (extra < 0) return 0xFFFD;
  char32_t cp = c & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    if (i >= s.size() || (byte(i) & 0xC0) != 0x80) return 0xFFFD;
    cp = (cp << 6) | (byte(i++) & 0x3F);
  }
  return cp;
}

void AppendUtf8(std::string& out, char32_t cp);
std::string Cp852ToUtf8(std::string_view cp852);
// Characters outside the code page become `fallback`.
std::string Utf8ToCp852(std::string_view utf8, char fallback = '?');

namespace detail {

// The literal's bytes as template arguments, one character each: clang 14 crashes when
// it has to print a class-type template argument holding the text (in a note about an
// evaluation that passes the literal on), and a character pack it prints well.
template <char... Cs>
struct Cp852Literal {
  static constexpr char kText[] = {Cs..., '\0'};
  static consteval std::size_t Count() {
    std::string_view s(kText, sizeof...(Cs));
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size();) {
      DecodeUtf8(s, i);
      ++n;
    }
    return n;
  }
  // constexpr, not consteval (clang 14 refuses a consteval call in the initializer of a
  // static member of a class template); kBytes being constexpr still makes it run at
  // compile time.
  static constexpr std::array<char, Count() + 1> Convert() {
    std::string_view s(kText, sizeof...(Cs));
    std::array<char, Count() + 1> out{};
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size();) {
      int b = UnicodeToCp852(DecodeUtf8(s, i));
      // Not a constant expression: a character outside code page 852 fails the build.
      if (b < 0) throw "character outside code page 852";
      out[n++] = static_cast<char>(b);
    }
    return out;
  }
  static constexpr std::array<char, Count() + 1> kBytes = Convert();
};

}  // namespace detail

// "Kopiuję plik "_pl is the code page 852 form of a UTF-8 source literal, made at compile
// time. A string literal operator template with a character pack is an extension both
// GCC and clang have.
#ifdef __clang__
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wgnu-string-literal-operator-template"
#endif
template <class C, C... Cs>
consteval std::string_view operator""_pl() {
  static_assert(std::is_same_v<C, char>, "a plain string literal");
  using T = detail::Cp852Literal<Cs...>;
  return std::string_view(T::kBytes.data(), T::kBytes.size() - 1);
}
#ifdef __clang__
#pragma clang diagnostic pop
#endif

}  // namespace zq
