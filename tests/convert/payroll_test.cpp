// Payroll records of 2020 moved into the new layout: every named field in its new place,
// the amount in hundredths as a real, every other byte 0.
#include "convert/payroll.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "convert/copy_fixture.h"

namespace zq::convert {
namespace {

using Record = std::vector<std::uint8_t>;

struct Move {
  std::size_t from, to, width;
};

// The placement tables of the file layout, written out here byte range by byte range.
constexpr Move kHeaderMoves[] = {
    {0x0000, 0x0000, 8}, {0x0009, 0x0009, 1}, {0x000E, 0x000E, 1}, {0x000F, 0x000F, 408},
    {0x2727, 0x61A7, 2}, {0x2729, 0x61A9, 1}, {0x272A, 0x61AA, 1}, {0x2754, 0x61D4, 60},
    {0x2790, 0x6210, 1}, {0x2791, 0x6211, 1}, {0x2793, 0x6213, 1}, {0x2794, 0x6214, 8},
};

std::vector<Move> MonthMoves() {
  std::vector<Move> moves = {
      {0x006, 0x006, 7},  {0x05D, 0x075, 2},  {0x05F, 0x0ED, 2},  {0x089, 0x4BD, 8},
      {0x091, 0x4CD, 1},  {0x0FA, 0x536, 1},  {0x11B, 0x557, 1},  {0x11C, 0x558, 24},
      {0x134, 0x570, 22}, {0x14A, 0x586, 48}, {0x17A, 0x5B6, 48}, {0x0F2, 0x5F6, 8},
      {0x1BA, 0x606, 1},  {0x1BB, 0x607, 8},  {0x1C3, 0x60F, 1},  {0x1D4, 0x620, 5},
      {0x1D9, 0x625, 8},  {0x307, 0x793, 1},  {0x30C, 0x794, 2},  {0x30E, 0x796, 8},
  };
  for (std::size_t k = 0; k < 10; ++k) moves.push_back({0x00D + 8 * k, 0x00D + 24 * k, 8});
  for (std::size_t k = 0; k < 5; ++k) moves.push_back({0x061 + 8 * k, 0x1ED + 72 * k, 8});
  for (std::size_t k = 0; k < 5; ++k) moves.push_back({0x092 + 8 * k, 0x4CE + 8 * k, 8});
  for (std::size_t k = 0; k < 7; ++k) moves.push_back({0x0BA + 8 * k, 0x4FE + 8 * k, 8});
  for (std::size_t k = 0; k < 4; ++k) moves.push_back({0x0FB + 8 * k, 0x537 + 8 * k, 8});
  for (std::size_t k = 0; k < 2; ++k) moves.push_back({0x1AA + 8 * k, 0x5E6 + 8 * k, 8});
  for (std::size_t k = 0; k < 2; ++k) moves.push_back({0x1C4 + 8 * k, 0x610 + 8 * k, 8});
  for (std::size_t k = 0; k < 8; ++k) moves.push_back({0x1E1 + 30 * k, 0x62D + 30 * k, 30});
  for (std::size_t k = 0; k < 2; ++k) moves.push_back({0x2D1 + 8 * k, 0x75D + 8 * k, 8});
  for (std::size_t k = 0; k < 2; ++k) moves.push_back({0x2E1 + 4 * k, 0x76D + 4 * k, 4});
  for (std::size_t k = 0; k < 2; ++k) moves.push_back({0x2E9 + 2 * k, 0x775 + 2 * k, 2});
  for (std::size_t k = 0; k < 2; ++k) moves.push_back({0x2ED + k, 0x779 + k, 1});
  for (std::size_t k = 0; k < 3; ++k) moves.push_back({0x2EF + 8 * k, 0x77B + 8 * k, 8});
  for (std::size_t k = 0; k < 3; ++k) moves.push_back({0x317 + k, 0x79E + k, 1});
  return moves;
}

std::size_t OldMonth(std::size_t m) {
  return 0x1A7 + 800 * m;
}
std::size_t NewMonth(std::size_t m) {
  return 0x1A7 + 2048 * m;
}

double RealAt(const Record& r, std::size_t at) {
  double v = 0;
  std::memcpy(&v, r.data() + at, 8);
  return v;
}

TEST(Payroll, EveryFieldMovesToItsPlaceAndNothingElseIsCarried) {
  Record old(kOldPayrollSize);
  std::string pattern = test::Pattern(old.size(), 5);
  std::memcpy(old.data(), pattern.data(), old.size());
  const std::int32_t hundredths[] = {0, 123456, -1, 2147483647};
  for (std::size_t m = 0; m < 12; ++m) {
    // The month text and the text of 4 hold as many characters as they may, so that
    // they are carried byte for byte; month 3's length bytes claim more than that.
    old[OldMonth(m) + 0x006] = m == 2 ? 200 : 6;
    old[OldMonth(m) + 0x1D4] = m == 2 ? 255 : 4;
    std::int32_t h = hundredths[m % 4];
    std::memcpy(old.data() + OldMonth(m) + 0x308, &h, 4);
  }

  Record out(kPayrollSize, 0xEE);
  ASSERT_TRUE(ConvertPayroll(old, out));

  Record want(kPayrollSize, 0);
  for (const Move& mv : kHeaderMoves)
    std::memcpy(want.data() + mv.to, old.data() + mv.from, mv.width);
  want[0x008] = 5;
  for (std::size_t m = 0; m < 12; ++m) {
    for (const Move& mv : MonthMoves())
      std::memcpy(want.data() + NewMonth(m) + mv.to, old.data() + OldMonth(m) + mv.from, mv.width);
    double amount = hundredths[m % 4] * 0.01;
    std::memcpy(want.data() + NewMonth(m) + 0x4F6, &amount, 8);
  }
  want[NewMonth(2) + 0x006] = 6;
  want[NewMonth(2) + 0x620] = 4;
  for (std::size_t k = 0; k < want.size(); ++k) ASSERT_EQ(out[k], want[k]) << "byte " << k;

  EXPECT_EQ(RealAt(out, NewMonth(0) + 0x4F6), 0.0);
  EXPECT_FALSE(std::signbit(RealAt(out, NewMonth(0) + 0x4F6)));
  EXPECT_DOUBLE_EQ(RealAt(out, NewMonth(1) + 0x4F6), 1234.56);
  EXPECT_DOUBLE_EQ(RealAt(out, NewMonth(2) + 0x4F6), -0.01);
}

TEST(Payroll, AShortRecordIsConvertedFromWhatItHolds) {
  // ConvertRecords hands the converter a whole buffer; the converter on its own must
  // still not reach past a shorter one.
  for (std::size_t size :
       {std::size_t{1}, std::size_t{0x1A7 + 900}, std::size_t{0x2728}, std::size_t{0x2729}}) {
    SCOPED_TRACE(size);
    Record old(size, 0x11);
    Record out(kPayrollSize);
    ASSERT_TRUE(ConvertPayroll(old, out));
    EXPECT_EQ(out[0], 0x11);
    EXPECT_EQ(out[8], 5);
    // The word at 0x2727 as far as the record reaches.
    EXPECT_EQ(out[0x61A7], size > 0x2727 ? 0x11 : 0);
    EXPECT_EQ(out[0x61A8], size > 0x2728 ? 0x11 : 0);
    EXPECT_EQ(out[NewMonth(1) + 0x006], size > OldMonth(1) + 0x006 ? 6 : 0);
  }
}

}  // namespace
}  // namespace zq::convert
