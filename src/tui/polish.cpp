#include "tui/polish.h"

#include <algorithm>
#include <array>

#include "platform/cp852.h"

namespace zq::tui {

namespace {

constexpr std::string_view kLower =
    "\xA5\x86\xA9\x88\xE4\xA2\x98\xBE\xAB\x81\x89\x84\x94\x8B\x9F\xE7";
constexpr std::string_view kUpper =
    "\xA4\x8F\xA8\x9D\xE3\xE0\x97\xBD\x8D\x9A\xD3\x8E\x99\x8A\xAC\xE6";

constexpr auto kCollation = [] {
  std::array<char, 159> s{};
  std::size_t n = 0;
  for (int b = 0x00; b <= 0x1F; ++b) s[n++] = static_cast<char>(b);
  s[n++] = '_';
  s[n++] = ' ';
  for (int b = 0x21; b <= 0x40; ++b) s[n++] = static_cast<char>(b);
  std::string_view letters =
      "AaĄąÄäBbCcĆćČčDdEeĘęËëFfGgHhIiJjKkLlŁłMmNnŃńOoÓóÖöŐőPpQqRrSsŚśŠšTtUuÜüVvWwXxYyZzŻżŹź"_pl;
  for (char c : letters) s[n++] = c;
  for (int b : {0x5B, 0x5C, 0x5D, 0x5E, 0x60, 0x7B, 0x7C, 0x7D, 0x7E})
    s[n++] = static_cast<char>(b);
  if (n != s.size()) throw "collation string must hold 159 bytes";
  return s;
}();

constexpr auto kRanks = [] {
  std::array<std::uint8_t, 256> r{};
  r.fill(255);
  for (std::size_t i = 0; i < kCollation.size(); ++i)
    r[static_cast<unsigned char>(kCollation[i])] = static_cast<std::uint8_t>(i + 1);
  return r;
}();

// The host's upper-casing of the national range, from the code page's own letter pairs:
// a byte whose Unicode character has an upper-case partner in the code page maps to it.
const std::array<char, 256>& NationalTable() {
  static const std::array<char, 256> table = [] {
    std::array<char, 256> t{};
    for (int b = 0; b < 256; ++b) t[static_cast<std::size_t>(b)] = static_cast<char>(b);
    for (int b = 'a'; b <= 'z'; ++b) t[static_cast<std::size_t>(b)] = static_cast<char>(b - 32);
    for (int b = 128; b <= 165; ++b) {
      char16_t u = kCp852ToUnicode[static_cast<std::size_t>(b)];
      // Latin Extended letters pair as (upper, lower) in even/odd order; Latin-1 letters
      // differ by 0x20. Look for a code page byte holding the upper partner.
      char16_t candidates[2] = {static_cast<char16_t>(u - 1), static_cast<char16_t>(u - 0x20)};
      bool latin1 = u >= 0xE0 && u <= 0xFE && u != 0xF7;
      bool extended = u >= 0x100 && u <= 0x17F && (u & 1);
      // In Latin Extended-A a few letters (ĺ, ľ, ł, ń, ň, ź, ż, ž) pair odd-upper, even-lower.
      bool extendedOddUpper = (u >= 0x139 && u <= 0x148) || (u >= 0x179 && u <= 0x17E);
      char16_t want = 0;
      if (latin1)
        want = candidates[1];
      else if (extendedOddUpper && !(u & 1))
        want = candidates[0];
      else if (!extendedOddUpper && extended)
        want = candidates[0];
      if (!want) continue;
      int up = UnicodeToCp852(want);
      if (up > 0) t[static_cast<std::size_t>(b)] = static_cast<char>(up);
    }
    return t;
  }();
  return table;
}

}  // namespace

char UpperChar(char c) {
  if (c >= 'a' && c <= 'z') return static_cast<char>(c ^ 0x20);
  std::size_t i = kLower.find(c);
  return i == std::string_view::npos ? c : kUpper[i];
}

char LowerChar(char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c | 0x20);
  std::size_t i = kUpper.find(c);
  return i == std::string_view::npos ? c : kLower[i];
}

std::string UpperText(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = UpperChar(c);
  return out;
}

bool SameUpper(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (UpperChar(a[i]) != UpperChar(b[i])) return false;
  return true;
}

std::string LowerText(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = LowerChar(c);
  return out;
}

char NationalUpperChar(char c) {
  return NationalTable()[static_cast<unsigned char>(c)];
}

int CollationRank(unsigned char c) {
  return kRanks[c];
}

int PolishCompare(std::string_view first, std::string_view second) {
  std::size_t n = std::max(first.size(), second.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char a = i < first.size() ? static_cast<unsigned char>(first[i]) : 0;
    unsigned char b = i < second.size() ? static_cast<unsigned char>(second[i]) : 0;
    int ra = kRanks[a], rb = kRanks[b];
    if (ra != rb) return rb < ra ? 1 : -1;
  }
  return 0;
}

}  // namespace zq::tui
