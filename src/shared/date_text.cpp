#include "shared/date_text.h"

#include <string>

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
  // Built by hand: every carried ledger entry's log line shows its date.
  std::string text = "00-00-0000";
  auto put = [&](std::size_t at, unsigned value, int digits) {
    for (int i = digits - 1; i >= 0; --i, value /= 10)
      text[at + static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
  };
  put(0, date.day, 2);
  put(3, date.month, 2);
  put(6, date.year, 4);
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
