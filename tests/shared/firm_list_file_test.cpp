// The firm list file: its key, and firms inserted into it in key order.
#include "shared/firm_list_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "platform/cp852.h"
#include "shared/firm_record.h"
#include "support/test_env.h"
#include "tui/polish.h"

namespace zq::shared {
namespace {

using zq::operator""_pl;

FirmRecordBytes Firm(std::string_view name, std::string_view directory = "KAT",
                     std::string_view info = "", std::string_view data = {}) {
  return MakeFirmRecord(name, directory, info, data);
}

class FirmListTest : public ::testing::Test {
 protected:
  std::vector<FirmRecordBytes> Records() const {
    std::string bytes = test::ReadFile(dir / "SPISFIRM.DAT");
    std::vector<FirmRecordBytes> out(bytes.size() / kFirmRecordSize);
    for (std::size_t i = 0; i < out.size(); ++i)
      std::copy_n(bytes.begin() + static_cast<long>(i * kFirmRecordSize), kFirmRecordSize,
                  out[i].begin());
    return out;
  }

  test::TempDir dir;
  test::HeadlessRig rig;
  tui::Screen screen{rig.platform};
  tui::SharedFiles shared{screen};
  FirmListFile list{shared, dir.Prefix() + "SPISFIRM.DAT"};
};

bool SortedByKey(const std::vector<FirmRecordBytes>& records) {
  for (std::size_t i = 1; i < records.size(); ++i) {
    std::string a = tui::UpperText(FirmKeyText(records[i - 1]));
    std::string b = tui::UpperText(FirmKeyText(records[i]));
    if (tui::PolishCompare(a, b) > 0) return false;
  }
  return true;
}

TEST(FirmKey, NameDirectoryAndNotePaddedToSixtySixCharacters) {
  FirmRecordBytes r = Firm("Piekarnia", "PIEK", "Kraków"_pl);
  std::string key = FirmKeyText(r);
  ASSERT_EQ(key.size(), kFirmKeyLength);
  EXPECT_EQ(key, std::string("Piekarnia") + std::string(22, ' ') + " PIEK     " +
                     std::string("Kraków"_pl) + std::string(19, ' '));

  // Full fields fill the key exactly.
  r = Firm(std::string(31, 'n'), std::string(8, 'd'), std::string(25, 'i'));
  EXPECT_EQ(FirmKeyText(r),
            std::string(31, 'n') + " " + std::string(8, 'd') + " " + std::string(25, 'i'));

  // Length bytes that claim more than their fields: each text stops at its field.
  FirmRecordBytes corrupt{};
  corrupt.fill('x');
  corrupt[0x00] = 0xFF;
  corrupt[0x20] = 0xFF;
  corrupt[0x29] = 0xFF;
  key = FirmKeyText(corrupt);
  ASSERT_EQ(key.size(), kFirmKeyLength);
  EXPECT_EQ(key, std::string(31, 'x') + " " + std::string(8, 'x') + " " + std::string(25, 'x'));

  // A record cut short reads as far as it goes and no further.
  std::vector<std::uint8_t> stub = {5, 'A', 'B'};
  key = FirmKeyText(stub);
  ASSERT_EQ(key.size(), kFirmKeyLength);
  EXPECT_EQ(key.substr(0, 3), "AB ");
  EXPECT_EQ(key.substr(31), std::string(35, ' '));
}

TEST_F(FirmListTest, DirectoryAndNoteOrderFirmsOfOneName) {
  ASSERT_TRUE(list.Open(tui::WaitMode::kQuick, tui::SharedFile::How::kOpen));
  ASSERT_TRUE(list.InsertSorted(Firm("Lublin", "KAT", "b")));
  ASSERT_TRUE(list.InsertSorted(Firm("Lublin", "KAT", "a")));
  ASSERT_TRUE(list.InsertSorted(Firm("Lublin", "AAA", "z")));
  ASSERT_TRUE(list.InsertSorted(Firm("Łódź"_pl, "AAA")));
  ASSERT_TRUE(list.InsertSorted(Firm("lublin", "KAT", "A", "same key, later")));
  std::vector<FirmRecordBytes> expected = {Firm("Lublin", "AAA", "z"), Firm("Lublin", "KAT", "a"),
                                           Firm("lublin", "KAT", "A", "same key, later"),
                                           Firm("Lublin", "KAT", "b"), Firm("Łódź"_pl, "AAA")};
  EXPECT_EQ(Records(), expected);
}

TEST_F(FirmListTest, ThreeHundredFirmsInRandomOrderEndSortedAndComplete) {
  std::mt19937 random(2020);
  std::vector<FirmRecordBytes> firms;
  const std::string letters("AaĄąBCĆćEĘęLŁłNŃOÓóSŚśZŹŻż 0123456789"_pl);
  for (int i = 0; i < 300; ++i) {
    std::string name;
    for (std::size_t n = 1 + random() % 12; n > 0; --n) name += letters[random() % letters.size()];
    firms.push_back(Firm(name, "K" + std::to_string(random() % 50), "", std::to_string(i)));
  }
  std::vector<FirmRecordBytes> order = firms;
  std::shuffle(order.begin(), order.end(), random);

  ASSERT_TRUE(list.Open(tui::WaitMode::kQuick, tui::SharedFile::How::kOpen));
  for (const FirmRecordBytes& r : order) ASSERT_TRUE(list.InsertSorted(r));
  list.Close();

  std::vector<FirmRecordBytes> records = Records();
  ASSERT_EQ(records.size(), 300u);
  EXPECT_TRUE(SortedByKey(records));
  std::sort(records.begin(), records.end());
  std::sort(firms.begin(), firms.end());
  EXPECT_EQ(records, firms);
}

}  // namespace
}  // namespace zq::shared
