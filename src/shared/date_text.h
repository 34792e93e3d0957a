// The 4-byte date of the ledger program's files and its "DD-MM-YYYY" text form.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zq::shared {

// Day, month and year as the data files hold them: day byte, month byte, 16-bit year,
// so that the little-endian 32-bit value compares as the date does. All zero means none.
struct Date {
  std::uint8_t day = 0;
  std::uint8_t month = 0;
  std::uint16_t year = 0;

  friend bool operator==(const Date&, const Date&) = default;
};

// Only the ranges count, not the length of the month: 31-02-2020 is a valid date.
constexpr bool DateValid(const Date& d) {
  return d.day >= 1 && d.day <= 31 && d.month >= 1 && d.month <= 12 && d.year >= 1 &&
         d.year <= 2999;
}

// "DD-MM-YYYY" with leading zeros, or "-" for a date that is not valid (a zero date too).
std::string DateToText(const Date& date);

// The inverse of DateToText: a text that is "-", not 10 characters long, has anything
// but digits where the day, month and year stand, or names an invalid date gives the
// zero date. The two separators are not checked, as the ledger program does not.
Date TextToDate(std::string_view text);

}  // namespace zq::shared
