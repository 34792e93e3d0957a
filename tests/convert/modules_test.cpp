// The module file filters against the text positions of the module records, written
// out here once more as the modules define them: every byte as read, only a length byte
// over its field lowered, in whole records and in records cut short.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/modules.h"

namespace zq::convert {
namespace {

struct TextAt {
  std::size_t offset;
  std::size_t length;  // characters
};

struct FilterCase {
  const char* file;
  std::size_t size;
  bool (*filter)(std::span<std::uint8_t>);
  std::vector<TextAt> texts;
};

std::vector<TextAt> Texts(std::initializer_list<TextAt> texts) {
  return texts;
}

// Every month of the yearly table of an asset, 1985 to 2020, after the other texts.
std::vector<TextAt> AssetTexts() {
  std::vector<TextAt> texts =
      Texts({{0x004, 60},         {0x041, 60},         {0x07E, 30},         {0x09D, 30},
             {0x0C0, 60},         {0x0FD, 60},         {0x13A, 60},         {0x21B + 0x04, 30},
             {0x21B + 0x27, 60},  {0x21B + 0x64, 60},  {0x21B + 0xA1, 60},  {0x21B + 0xDE, 60},
             {0x21B + 0x11B, 60}, {0x21B + 0x158, 60}, {0x21B + 0x195, 60}, {0x519, 60},
             {0x556, 60},         {0x593, 60},         {0x5D0, 60},         {0x62B, 60},
             {0x668, 60},         {0x6A5, 60},         {0x6E2, 20},         {0x6F7, 60},
             {0x98E7, 15},        {0x98F7, 18}});
  for (int year = 1985; year <= 2020; ++year)
    for (int month = 1; month <= 12; ++month)
      texts.push_back({0x803 + 1020 * static_cast<std::size_t>(year - 1985) +
                           85 * static_cast<std::size_t>(month - 1) + 0x18,
                       30});
  return texts;
}

const std::vector<FilterCase>& Cases() {
  static const std::vector<FilterCase> cases = {
      {"srodki.rek", 39771, FilterFixedAsset, AssetTexts()},
      {"st.cnf", 3837, FilterAssetSettings,
       Texts({{0x000, 40}, {0x029, 40}, {0x052, 40}, {0x097, 20}, {0x0AC, 30}, {0x4F8, 30}})},
      {"stbazy.rek", 367, FilterAssetBase, Texts({{0x000, 50}, {0x040, 50}})},
      {"km.cnf", 2395, FilterMileageSettings,
       Texts({{0x03A, 40}, {0x063, 40}, {0x08C, 40}, {0x151, 10}})},
      {"adresy.rek", 557, FilterMileageAddress,
       Texts({{0x004, 40},
              {0x02D, 40},
              {0x07F, 37},
              {0x0DB, 20},
              {0x0F0, 30},
              {0x10F, 20},
              {0x124, 20},
              {0x139, 30},
              {0x158, 30},
              {0x177, 40},
              {0x1A0, 40}})},
      {"samochod.rek", 704, FilterCar, Texts({{0x004, 12}, {0x011, 35}, {0x045, 40}, {0x06E, 40}})},
      {"*.kst", 572, FilterRouteCost,
       Texts({{0x006, 20}, {0x01F, 40}, {0x048, 40}, {0x08D, 20}, {0x0A2, 30}, {0x0C1, 50}})},
      {"*.wyj", 128, FilterTrip, Texts({{0x018, 35}, {0x03C, 35}})},
  };
  return cases;
}

std::vector<std::uint8_t> Varied(std::size_t size, unsigned seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 37 + seed * 11);
  return bytes;
}

TEST(ModuleFiltersTest, RecordsWhoseTextsFitAreKeptByteForByte) {
  for (const FilterCase& c : Cases()) {
    SCOPED_TRACE(c.file);
    // Stale bytes after every text; each length byte from empty to full.
    std::vector<std::uint8_t> record = Varied(c.size, 3);
    for (std::size_t i = 0; i < c.texts.size(); ++i)
      record[c.texts[i].offset] = static_cast<std::uint8_t>(i % (c.texts[i].length + 1));
    record[c.texts.back().offset] = static_cast<std::uint8_t>(c.texts.back().length);
    const std::vector<std::uint8_t> before = record;
    EXPECT_TRUE(c.filter(record));
    EXPECT_EQ(record, before);
  }
}

TEST(ModuleFiltersTest, OverLongLengthBytesAreLoweredAndNoOtherByteChanges) {
  for (const FilterCase& c : Cases()) {
    SCOPED_TRACE(c.file);
    // Every other byte holds the largest length byte there is: a text the filter takes
    // to lie where none does would be cut and show up.
    std::vector<std::uint8_t> record(c.size, 0xFF);
    std::vector<std::uint8_t> expected = record;
    for (std::size_t i = 0; i < c.texts.size(); ++i) {
      const TextAt& t = c.texts[i];
      record[t.offset] = static_cast<std::uint8_t>(t.length + 1 + i % (255 - t.length));
      expected[t.offset] = static_cast<std::uint8_t>(t.length);
    }
    EXPECT_TRUE(c.filter(record));
    for (std::size_t at = 0; at < c.size; ++at)
      ASSERT_EQ(record[at], expected[at]) << "offset 0x" << std::hex << at;
  }
}

TEST(ModuleFiltersTest, TheYearlyTableRunsFromJanuary1985ToDecember2020) {
  EXPECT_EQ(AssetMonthTextOffset(1985, 1), 0x81Bu);
  EXPECT_EQ(AssetMonthTextOffset(2020, 12), 0x803u + 1020 * 35 + 85 * 11 + 0x18);
  // January of the year before the table and of the year after it hold no texts.
  const std::size_t before = 0x803 - 1020 + 0x18, after = 0x803 + 1020 * 36 + 0x18;
  const std::size_t months[] = {0x81B, 0x803 + 1020 * 17 + 85 * 5 + 0x18,
                                0x803 + 1020 * 35 + 85 * 11 + 0x18};
  std::vector<std::uint8_t> record(kFixedAssetRecordSize, 0);
  for (std::size_t at : months) record[at] = 200;
  record[before] = record[after] = 200;
  FilterFixedAsset(record);
  for (std::size_t at : months) EXPECT_EQ(record[at], 30) << at;
  EXPECT_EQ(record[before], 200);
  EXPECT_EQ(record[after], 200);
}

TEST(ModuleFiltersTest, ARecordCutShortIsCutAsFarAsItGoesAndNotPast) {
  for (const FilterCase& c : Cases()) {
    SCOPED_TRACE(c.file);
    const TextAt& last = c.texts.back();
    // Ends: inside the last text's characters, right after its length byte, at it.
    for (std::size_t size : {last.offset + 3, last.offset + 1, last.offset, std::size_t{1}}) {
      SCOPED_TRACE(size);
      // Exactly as long as what was read, so that any step past it is caught.
      std::vector<std::uint8_t> record(size, 0xFF);
      std::vector<std::uint8_t> expected = record;
      for (const TextAt& t : c.texts)
        if (t.offset < size) expected[t.offset] = static_cast<std::uint8_t>(t.length);
      EXPECT_TRUE(c.filter(record));
      EXPECT_EQ(record, expected);
    }
  }
}

}  // namespace
}  // namespace zq::convert
