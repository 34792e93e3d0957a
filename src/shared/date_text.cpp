#include "shared/date_text.h"

#include <cstdio>

namespace zq::shared {

namespace {

// Digits only: a blank or a sign where a digit belongs makes the date unreadable.
bool ParseDigits(std::string_view text, int& value) {
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return !text.empty();
}

}  // namespace

std::string DateToText(const Date& date) {
  if (!DateValid(date)) return "-";
  char text[16];
  std::snprintf(text, sizeof text, "%02u-%02u-%04u", unsigned{date.day}, unsigned{date.month},
                unsigned{date.year});
  return text;
}

Date TextToDate(std::string_view text) {
  if (text.size() != 10) return {};
  int day = 0, month = 0, year = 0;
  if (!ParseDigits(text.substr(0, 2), day) || !ParseDigits(text.substr(3, 2), month) ||
      !ParseDigits(text.substr(6, 4), year))
    return {};
  Date date{static_cast<std::uint8_t>(day), static_cast<std::uint8_t>(month),
            static_cast<std::uint16_t>(year)};
  return DateValid(date) ? date : Date{};
}

}  // namespace zq::shared
