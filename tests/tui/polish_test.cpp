#include "tui/polish.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/cp852.h"

namespace zq::tui {
namespace {

using zq::operator""_pl;

TEST(PolishCase, WholeWordsMapBothWays) {
  EXPECT_EQ(UpperText("źdźbło"_pl), "ŹDŹBŁO"_pl);
  EXPECT_EQ(LowerText("ŻÓŁW"_pl), "żółw"_pl);
  EXPECT_EQ(UpperText("zażółć gęślą jaźń"_pl), "ZAŻÓŁĆ GĘŚLĄ JAŹŃ"_pl);
  EXPECT_EQ(UpperText("äöüëőčš"_pl), "ÄÖÜËŐČŠ"_pl);
}

TEST(PolishCase, SameUpperAgreesWithComparingCapitals) {
  const std::string_view texts[] = {"",          "Adres",     "ADRES",     "adres ",
                                    "źdźbło"_pl, "ŹDŹBŁO"_pl, "ŹDŹBLO"_pl, "Nip",
                                    "NIP",       "zażółć"_pl, "ZAŻÓŁĆ"_pl, "ZAZOLC"};
  for (std::string_view a : texts)
    for (std::string_view b : texts)
      EXPECT_EQ(SameUpper(a, b), UpperText(a) == UpperText(b)) << a << " / " << b;
}

TEST(PolishCase, OnlyLettersChange) {
  for (int b = 0; b < 256; ++b) {
    char c = static_cast<char>(b);
    bool asciiLower = b >= 'a' && b <= 'z';
    bool asciiUpper = b >= 'A' && b <= 'Z';
    if (!asciiLower && !asciiUpper && UpperChar(c) == c && LowerChar(c) == c) continue;
    // Every mapped byte goes back to itself.
    if (UpperChar(c) != c) {
      EXPECT_EQ(LowerChar(UpperChar(c)), c) << b;
    }
    if (LowerChar(c) != c) {
      EXPECT_EQ(UpperChar(LowerChar(c)), c) << b;
    }
  }
  EXPECT_EQ(UpperChar('1'), '1');
  EXPECT_EQ(UpperChar('\xC4'), '\xC4');
  EXPECT_EQ(UpperChar('@'), '@');  // 0x40 ^ 0x20 would be a grave accent
  EXPECT_EQ(LowerChar('['), '[');
}

TEST(PolishCase, NationalUpperCaseCoversTheHostRange) {
  EXPECT_EQ(NationalUpperChar('a'), 'A');
  EXPECT_EQ(NationalUpperChar("ą"_pl[0]), "Ą"_pl[0]);
  EXPECT_EQ(NationalUpperChar("ć"_pl[0]), "Ć"_pl[0]);
  EXPECT_EQ(NationalUpperChar("ł"_pl[0]), "Ł"_pl[0]);
  EXPECT_EQ(NationalUpperChar("ś"_pl[0]), "Ś"_pl[0]);
  EXPECT_EQ(NationalUpperChar("ó"_pl[0]), "Ó"_pl[0]);  // 0xA2, inside 128..165
  // Bytes above 165 are left alone even when they are letters.
  EXPECT_EQ(NationalUpperChar("ń"_pl[0]), "ń"_pl[0]);
  EXPECT_EQ(NationalUpperChar("ę"_pl[0]), "ę"_pl[0]);
  EXPECT_EQ(NationalUpperChar('\xC4'), '\xC4');
}

TEST(PolishCollation, AlphabeticalOrder) {
  EXPECT_EQ(PolishCompare("Łódź"_pl, "Lublin"), 1);
  EXPECT_EQ(PolishCompare("Łódź"_pl, "Mława"_pl), -1);
  EXPECT_EQ(PolishCompare("ala", "Ala"), 1);
  EXPECT_EQ(PolishCompare("ala", "Ąb"_pl), -1);
  EXPECT_EQ(PolishCompare("9", "A"), -1);
  EXPECT_EQ(PolishCompare("_", " "), -1);
  EXPECT_EQ(PolishCompare("A", "a"), -1);
  EXPECT_EQ(PolishCompare("Kot", "Kot"), 0);
  EXPECT_EQ(PolishCompare("Kot", "Kotek"), -1);  // a prefix sorts first
  EXPECT_EQ(PolishCompare("Kotek", "Kot"), 1);
  EXPECT_EQ(PolishCompare("zz", "ż"_pl), -1);
  EXPECT_EQ(PolishCompare("Źle"_pl, "Żle"_pl), 1);  // ź after ż
  EXPECT_EQ(PolishCompare("[", "z"), 1);            // brackets after the letters
  EXPECT_EQ(PolishCompare("\xFF", "~"), 1);         // outside the string ranks last
}

TEST(PolishCollation, SortsAWordList) {
  std::vector<std::string> words = {
      std::string("żaba"_pl), std::string("Zebra"_pl),  std::string("ćma"_pl),
      std::string("cma"_pl),  std::string("Ćma"_pl),    std::string("łoś"_pl),
      std::string("lis"_pl),  std::string("ósemka"_pl), std::string("osa"_pl),
      std::string("Ala"_pl),  std::string("ąż"_pl)};
  std::sort(words.begin(), words.end(),
            [](const std::string& a, const std::string& b) { return PolishCompare(a, b) < 0; });
  std::vector<std::string> want = {
      std::string("Ala"_pl),   std::string("ąż"_pl),  std::string("cma"_pl),
      std::string("Ćma"_pl),   std::string("ćma"_pl), std::string("lis"_pl),
      std::string("łoś"_pl),   std::string("osa"_pl), std::string("ósemka"_pl),
      std::string("Zebra"_pl), std::string("żaba"_pl)};
  EXPECT_EQ(words, want);
}

TEST(PolishCollation, RanksFollowTheTable) {
  EXPECT_EQ(CollationRank(0x00), 1);
  EXPECT_EQ(CollationRank('_'), 33);
  EXPECT_EQ(CollationRank(' '), 34);
  EXPECT_EQ(CollationRank('A'), 67);
  EXPECT_EQ(CollationRank('~'), 159);
  EXPECT_EQ(CollationRank(0xC4), 255);
}

}  // namespace
}  // namespace zq::tui
