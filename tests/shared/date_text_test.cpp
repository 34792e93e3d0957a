#include "shared/date_text.h"

#include <gtest/gtest.h>

namespace zq::shared {
namespace {

TEST(DateText, ValidDatesHaveTwoTwoAndFourDigitsWithLeadingZeros) {
  EXPECT_EQ(DateToText({1, 2, 2020}), "01-02-2020");
  EXPECT_EQ(DateToText({31, 12, 2019}), "31-12-2019");
  EXPECT_EQ(DateToText({5, 7, 999}), "05-07-0999");
  EXPECT_EQ(DateToText({1, 1, 1}), "01-01-0001");
  EXPECT_EQ(DateToText({31, 12, 2999}), "31-12-2999");
}

TEST(DateText, DatesOutOfRangeAndTheZeroDateAreADash) {
  EXPECT_EQ(DateToText({}), "-");
  EXPECT_EQ(DateToText({0, 1, 2020}), "-");
  EXPECT_EQ(DateToText({32, 1, 2020}), "-");
  EXPECT_EQ(DateToText({1, 0, 2020}), "-");
  EXPECT_EQ(DateToText({1, 13, 2020}), "-");
  EXPECT_EQ(DateToText({1, 1, 0}), "-");
  EXPECT_EQ(DateToText({1, 1, 3000}), "-");
  EXPECT_EQ(DateToText({255, 255, 65535}), "-");
}

TEST(DateText, OnlyRangesCountNotTheLengthOfTheMonth) {
  EXPECT_TRUE(DateValid({31, 2, 2020}));
  EXPECT_EQ(DateToText({31, 2, 2020}), "31-02-2020");
  EXPECT_EQ(TextToDate("31-02-2020"), (Date{31, 2, 2020}));
}

TEST(DateText, TextReadsBackToTheSameDate) {
  for (Date d : {Date{1, 1, 1}, Date{9, 9, 2009}, Date{31, 12, 2999}, Date{15, 6, 1970}})
    EXPECT_EQ(TextToDate(DateToText(d)), d) << DateToText(d);
}

TEST(DateText, UnreadableTextsGiveTheZeroDate) {
  EXPECT_EQ(TextToDate("-"), Date{});
  EXPECT_EQ(TextToDate(""), Date{});
  EXPECT_EQ(TextToDate("1-2-2020"), Date{});     // not 10 characters
  EXPECT_EQ(TextToDate("01-02-20201"), Date{});  // 11
  EXPECT_EQ(TextToDate("32-01-2020"), Date{});   // day out of range
  EXPECT_EQ(TextToDate("00-01-2020"), Date{});
  EXPECT_EQ(TextToDate("01-13-2020"), Date{});
  EXPECT_EQ(TextToDate("01-01-0000"), Date{});
  EXPECT_EQ(TextToDate("01-01-3000"), Date{});
  EXPECT_EQ(TextToDate(" 1-02-2020"), Date{});  // a blank is not a digit
  EXPECT_EQ(TextToDate("ab-02-2020"), Date{});
  EXPECT_EQ(TextToDate("01-02-20x0"), Date{});
}

TEST(DateText, SeparatorsAreNotChecked) {
  EXPECT_EQ(TextToDate("01.02.2020"), (Date{1, 2, 2020}));
  EXPECT_EQ(TextToDate("01/02/2020"), (Date{1, 2, 2020}));
}

}  // namespace
}  // namespace zq::shared
