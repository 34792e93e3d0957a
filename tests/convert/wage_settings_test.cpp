// The payroll list settings brought into layout 4 for 2020.
#include <gtest/gtest.h>

#include <vector>

#include "convert/wage_settings.h"

namespace zq::convert {
namespace {

std::vector<std::uint8_t> Filled(std::uint8_t first) {
  std::vector<std::uint8_t> rec(kWageSettingsRecordSize);
  for (std::size_t k = 0; k < rec.size(); ++k) rec[k] = static_cast<std::uint8_t>(first + k);
  return rec;
}

void PutText(std::vector<std::uint8_t>& rec, std::size_t at, std::string_view text,
             std::size_t length) {
  rec[at] = static_cast<std::uint8_t>(length);
  std::copy(text.begin(), text.end(), rec.begin() + static_cast<std::ptrdiff_t>(at) + 1);
}

void ExpectYearAndWorkingDays(const std::vector<std::uint8_t>& rec) {
  EXPECT_EQ(rec[0x263] | rec[0x264] << 8, 2020);
  const std::vector<std::uint8_t> days(rec.begin() + 0x278, rec.begin() + 0x284);
  EXPECT_EQ(days,
            std::vector<std::uint8_t>(std::begin(kWorkingDays2020), std::end(kWorkingDays2020)));
}

TEST(WageSettings, OlderLayoutMovesFieldByFieldIntoLayout4) {
  std::vector<std::uint8_t> rec = Filled(1);
  rec[0x262] = 3;
  for (int i = 0; i < 10; ++i) {
    PutText(rec, 18 * i, "AB", 2);
    rec[18 * i + 3] = static_cast<std::uint8_t>(i);
    rec[18 * i + 4] = 0x01;
    PutText(rec, 18 * i + 5, "Składnik", 8);
  }
  PutText(rec, 0x0B9, "Siedemnascie-znak", 17);  // cut to 16 in layout 4
  PutText(rec, 0x0CB, "krótki", 6);
  rec[0x0DD] = 200;                     // over-long: only its room of 17 is read, then cut to 16
  PutText(rec, 0x101, "ostatni", 255);  // room of 12 before the raw block
  const std::vector<std::uint8_t> old = rec;

  ASSERT_TRUE(FilterWageSettings(rec));
  std::vector<std::uint8_t> want(kWageSettingsRecordSize, 0);
  for (int i = 0; i < 10; ++i) {
    std::copy_n(old.begin() + 18 * i, 5, want.begin() + 22 * i);
    std::copy_n(old.begin() + 18 * i + 5, 9, want.begin() + 22 * i + 5);
  }
  auto text = [&](std::size_t at, std::size_t from, std::size_t n) {
    want[at] = static_cast<std::uint8_t>(n);
    std::copy_n(old.begin() + static_cast<std::ptrdiff_t>(from) + 1, n,
                want.begin() + static_cast<std::ptrdiff_t>(at) + 1);
  };
  text(0x1B8, 0x0B9, 16);
  text(0x1B8 + 17, 0x0CB, 6);
  text(0x1B8 + 34, 0x0DD, 16);
  text(0x1B8 + 51, 0x0EF, old[0x0EF] > 16 ? 16 : old[0x0EF]);
  text(0x1B8 + 68, 0x101, 12);
  std::copy_n(old.begin() + 0x10E, 16, want.begin() + 0x265);
  std::copy_n(old.begin() + 0x124, 2, want.begin() + 0x275);
  want[0x277] = old[0x14D];
  want[0x262] = 4;
  want[0x263] = 2020 & 0xFF;
  want[0x264] = 2020 >> 8;
  std::copy(std::begin(kWorkingDays2020), std::end(kWorkingDays2020), want.begin() + 0x278);
  EXPECT_EQ(rec, want);
}

TEST(WageSettings, Layout4KeepsItsEntriesAndGetsTheYearAndDays) {
  // Every length byte 1 (within its field), every other byte its own value.
  std::vector<std::uint8_t> rec(kWageSettingsRecordSize, 1);
  for (std::size_t k = 0x20D; k < rec.size(); ++k) rec[k] = static_cast<std::uint8_t>(k * 7);
  rec[0x262] = 4;
  PutText(rec, 22 * 19 + 5, "dwudziesty", 250);  // over-long length byte
  std::vector<std::uint8_t> want = rec;
  want[22 * 19 + 5] = 16;
  ASSERT_TRUE(FilterWageSettings(rec));
  ExpectYearAndWorkingDays(rec);
  for (std::size_t k = 0; k < rec.size(); ++k) {
    if (k >= 0x263 && k < 0x265) continue;
    if (k >= 0x278 && k < 0x284) continue;
    ASSERT_EQ(rec[k], want[k]) << "byte " << k;
  }
}

}  // namespace
}  // namespace zq::convert
