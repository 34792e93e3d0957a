#include "platform/cp852.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

namespace zq {
namespace {

std::string IconvToUtf8(unsigned char byte) {
  iconv_t cd = iconv_open("UTF-8", "CP852");
  if (cd == reinterpret_cast<iconv_t>(-1)) return "<no iconv>";
  char in[1] = {static_cast<char>(byte)};
  char out[8] = {};
  char* ip = in;
  char* op = out;
  size_t il = 1, ol = sizeof out;
  size_t r = iconv(cd, &ip, &il, &op, &ol);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) return "<invalid>";
  return std::string(out, static_cast<size_t>(op - out));
}

TEST(Cp852, EveryByteMatchesIconvBothWays) {
  for (int b = 0; b < 256; ++b) {
    std::string byte(1, static_cast<char>(b));
    std::string utf8 = Cp852ToUtf8(byte);
    EXPECT_EQ(utf8, IconvToUtf8(static_cast<unsigned char>(b))) << "byte " << b;
    EXPECT_EQ(Utf8ToCp852(utf8), byte) << "byte " << b;
  }
}

TEST(Cp852, LiteralsAreConvertedAtCompileTime) {
  constexpr std::string_view word = "Zażółć gęślą jaźń"_pl;
  static_assert(word.size() == 17);
  EXPECT_EQ(word, "Za\xBE\xA2\x88\x86 g\xA9\x98l\xA5 ja\xAB\xE4");
  static_assert("─░▒█▄▀■˙"_pl == "\xC4\xB0\xB1\xDB\xDC\xDF\xFE\xFA");
  static_assert("ŁÓDŹ"_pl == "\x9D\xE0\x44\x8D");
}

TEST(Cp852, CharactersOutsideTheCodePageBecomeTheFallback) {
  EXPECT_EQ(Utf8ToCp852("€ and ß"), "? and \xE1");
  EXPECT_EQ(Utf8ToCp852("\xE2\x82"), "?");  // cut sequence
  EXPECT_EQ(Utf8ToCp852("x\xFFy", '_'), "x_y");
}

}  // namespace
}  // namespace zq
