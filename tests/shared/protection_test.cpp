#include "shared/protection.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/cp852.h"

namespace zq::shared {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Enough of a person record for the check: its texts and dates, over the protected
// range and beyond it, as a converter would describe them.
inline constexpr Field kPersonFields[] = {
    {"Key", 0x000, 8, Kind::Int64},        {"Mark", 0x008, 1, Kind::Byte},
    {"Nip", 0x00E, 14, Kind::Text},        {"Pesel", 0x01C, 12, Kind::Text},
    {"Surname", 0x028, 32, Kind::Text},    {"FirstName", 0x048, 23, Kind::Text},
    {"SecondName", 0x05F, 23, Kind::Text}, {"Father", 0x076, 23, Kind::Text},
    {"Mother", 0x08D, 23, Kind::Text},     {"Born", 0x0A4, 4, Kind::Date},
    {"Place", 0x0A8, 41, Kind::Text},      {"Left", 0x0D5, 4, Kind::Date},
    {"Eight", 0x514, 51, Kind::Text, 8},   {"Last", 0x7D0, 16, Kind::Text},
};
inline constexpr Layout kPerson{"DANE_PR8.REK", 2048, kPersonFields};
static_assert(kPerson.Problem().empty());

inline constexpr Field kOperatorFields[] = {
    {"Name", 0x018, 31, Kind::Text},
    {"Password", 0x037, 17, Kind::Text},
    {"Full", 0x05D, 38, Kind::Text},
    {"Rights", 0x085, 2, Kind::Word, 7},
};
inline constexpr Layout kOperator{"OPERATOR.REK", 512, kOperatorFields};
static_assert(kOperator.Problem().empty());

// Persons with Polish names and some numbers between the fields, the rest zero.
Bytes MakePerson(int i, std::mt19937& random) {
  Bytes bytes(2048, 0);
  RecordRef r{std::span<std::uint8_t>(bytes)};
  const char* surnames[] = {"Kowalski", "Wiśniewska", "Żółkiewski", "Łęcka", "Nowak"};
  const char* names[] = {"Jan", "Małgorzata", "Źdźisław", "Ewa", "Józef"};
  r.SetInt(kPerson["Key"], 1000 + i);
  r.SetText(kPerson["Surname"], Utf8ToCp852(surnames[i % 5]));
  r.SetText(kPerson["FirstName"], Utf8ToCp852(names[(i + 2) % 5]));
  r.SetText(kPerson["Pesel"], "7001010" + std::to_string(1000 + i));
  r.SetText(kPerson["Place"], Utf8ToCp852("Łódź"));
  r.SetDate(kPerson["Born"], Date{static_cast<std::uint8_t>(1 + i % 28), 3, 1970});
  if (i % 3 == 0) r.SetDate(kPerson["Left"], Date{30, 12, 2019});
  for (std::size_t k = 0x100; k < 0x140; ++k) bytes[k] = static_cast<std::uint8_t>(random());
  return bytes;
}

Bytes MakeOperator(int i) {
  Bytes bytes(512, 0);
  RecordRef r{std::span<std::uint8_t>(bytes)};
  r.SetText(kOperator["Name"], Utf8ToCp852(i % 2 ? "Księgowa" : "Admin"));
  r.SetText(kOperator["Password"], "haslo" + std::to_string(i));
  r.SetText(kOperator["Full"], Utf8ToCp852("Anna Żak, biuro rachunkowe"));
  r.SetInt(kOperator["Rights"].At(3), 0x0004 + i);
  return bytes;
}

std::vector<std::span<const std::uint8_t>> Spans(const std::vector<Bytes>& records) {
  return {records.begin(), records.end()};
}

TEST(Protection, StreamIsTheRuntimeGenerators) {
  // The first values below 255 from seeds 0 and 200: a changed generator could no
  // longer read the ledger program's files.
  Bytes zeros(8, 0);
  ProtectBlock(zeros, 0);
  EXPECT_EQ(zeros, (Bytes{0, 8, 219, 51, 69, 171, 81, 41}));
  zeros.assign(8, 0);
  ProtectBlock(zeros, 200);
  EXPECT_EQ(zeros, (Bytes{70, 246, 42, 69, 4, 20, 239, 63}));
}

TEST(Protection, EachRoutineIsItsOwnInverseAndKeepsToItsRange) {
  std::mt19937 random(7);
  Bytes original(2048);
  for (auto& b : original) b = static_cast<std::uint8_t>(random());
  for (int seed : {0, 1, 97, 255}) {
    Bytes person = original;
    ProtectRecord(person, static_cast<std::uint8_t>(seed));
    EXPECT_TRUE(std::equal(person.begin(), person.begin() + 14, original.begin()));
    EXPECT_TRUE(std::equal(person.begin() + 0x7E6, person.end(), original.begin() + 0x7E6));
    EXPECT_NE(person, original);
    ProtectRecord(person, static_cast<std::uint8_t>(seed));
    EXPECT_EQ(person, original);

    Bytes block(original.begin(), original.begin() + 512);
    ProtectBlock(block, static_cast<std::uint8_t>(seed));
    EXPECT_NE(block, Bytes(original.begin(), original.begin() + 512));
    ProtectBlock(block, static_cast<std::uint8_t>(seed));
    EXPECT_EQ(block, Bytes(original.begin(), original.begin() + 512));
  }
}

TEST(Protection, ShortRecordsAreScrambledAsFarAsTheyGo) {
  Bytes tiny(10, 0x55);
  ProtectRecord(tiny, 3);  // the range starts past the end
  EXPECT_EQ(tiny, Bytes(10, 0x55));
  Bytes part(100, 0);
  ProtectRecord(part, 3);
  Bytes full(2048, 0);
  ProtectRecord(full, 3);
  EXPECT_TRUE(std::equal(part.begin(), part.end(), full.begin()));
  Bytes block(300, 0), whole(512, 0);
  ProtectBlock(block, 3);
  ProtectBlock(whole, 3);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), whole.begin()));
}

TEST(Protection, PlausibilityLooksAtTextLengthsCharactersAndDates) {
  std::mt19937 random(1);
  Bytes person = MakePerson(1, random);
  EXPECT_TRUE(DecodesPlausibly(RecordView(std::span<const std::uint8_t>(person)), kPerson));
  auto check = [&](auto change) {
    Bytes b = person;
    change(b);
    return DecodesPlausibly(RecordView(std::span<const std::uint8_t>(b)), kPerson);
  };
  EXPECT_FALSE(check([](Bytes& b) { b[0x028] = 32; }));  // longer than the surname field
  EXPECT_TRUE(check([](Bytes& b) {                       // as long as it
    b[0x028] = 31;
    std::fill_n(b.begin() + 0x029, 31, 'x');
  }));
  EXPECT_FALSE(check([](Bytes& b) { b[0x029] = '\x07'; }));       // a control code
  EXPECT_FALSE(check([](Bytes& b) { b[0x514 + 51 * 7] = 51; }));  // the eighth repeated text
  EXPECT_FALSE(check([](Bytes& b) { b[0x0A5] = 13; }));           // month 13
  EXPECT_TRUE(check([](Bytes& b) { std::fill_n(b.begin() + 0x0A4, 4, 0); }));  // no date
  EXPECT_TRUE(check([](Bytes& b) { b[0x100] = 0xFF; }));  // bytes no field names
  // A record cut short: what it does not reach is empty; a text it cuts is not plausible.
  Bytes cut(person.begin(), person.begin() + 0x04A);
  EXPECT_FALSE(DecodesPlausibly(RecordView(std::span<const std::uint8_t>(cut)), kPerson));
  Bytes shorter(person.begin(), person.begin() + 0x048);
  EXPECT_TRUE(DecodesPlausibly(RecordView(std::span<const std::uint8_t>(shorter)), kPerson));
}

TEST(Protection, TheSeedOfAFileIsRecognisedFromItsRecords) {
  for (int seed : {0, 7, 128, 200, 255}) {
    std::mt19937 random(static_cast<unsigned>(seed));
    std::vector<Bytes> plain, persons;
    for (int i = 0; i < 6; ++i) {
      plain.push_back(MakePerson(i, random));
      persons.push_back(plain.back());
      ProtectRecord(persons.back(), static_cast<std::uint8_t>(seed));
    }
    EXPECT_EQ(RecogniseSeed(Spans(persons), kPersonProtection, kPerson), seed);

    // One record at a time, as a converter sees them: decoded with the file's seed, and
    // scrambled again byte for byte as they were.
    SeedRecogniser recogniser(kPersonProtection, kPerson);
    for (std::size_t i = 0; i < persons.size(); ++i) {
      Bytes record = persons[i];
      SeedRecogniser::Result result = recogniser.Unprotect(record);
      ASSERT_TRUE(result.decoded);
      EXPECT_EQ(result.seed, seed);
      EXPECT_EQ(record, plain[i]);
      recogniser.Protect(record, result.seed);
      EXPECT_EQ(record, persons[i]);
    }
    EXPECT_EQ(recogniser.FileSeed(), seed);
    EXPECT_EQ(recogniser.Undecodable(), 0);
  }
}

TEST(Protection, OperatorBlocksWithFewTextsAreRecognisedToo) {
  for (int seed : {3, 64, 254}) {
    std::vector<Bytes> plain, blocks;
    for (int i = 0; i < 4; ++i) {
      plain.push_back(MakeOperator(i));
      blocks.push_back(plain.back());
      ProtectBlock(blocks.back(), static_cast<std::uint8_t>(seed));
    }
    EXPECT_EQ(RecogniseSeed(Spans(blocks), kBlockProtection, kOperator), seed);
    SeedRecogniser recogniser(kBlockProtection, kOperator);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
      Bytes record = blocks[i];
      auto result = recogniser.Unprotect(record);
      ASSERT_TRUE(result.decoded);
      EXPECT_EQ(result.seed, seed);
      EXPECT_EQ(record, plain[i]);
      recogniser.Protect(record, result.seed);
      EXPECT_EQ(record, blocks[i]);
    }
  }
}

TEST(Protection, EmptyRecordsStillDecodeUnderTheirOwnSeed) {
  // No text and no date to go by: the zero bytes of the unused fields decide.
  for (int seed : {5, 99}) {
    Bytes blank(2048, 0);
    ProtectRecord(blank, static_cast<std::uint8_t>(seed));
    std::vector<Bytes> one{blank};
    EXPECT_EQ(RecogniseSeed(Spans(one), kPersonProtection, kPerson), seed);
    SeedRecogniser recogniser(kPersonProtection, kPerson);
    auto result = recogniser.Unprotect(blank);
    ASSERT_TRUE(result.decoded);
    EXPECT_EQ(result.seed, seed);
    EXPECT_EQ(blank, Bytes(2048, 0));
  }
}

TEST(Protection, RecordsNoSeedDecodesAreLeftByteForByteAndCounted) {
  std::mt19937 random(11);
  Bytes noise(2048);
  for (auto& b : noise) b = static_cast<std::uint8_t>(random());
  std::vector<Bytes> onlyNoise{noise};
  EXPECT_EQ(RecogniseSeed(Spans(onlyNoise), kPersonProtection, kPerson), std::nullopt);

  SeedRecogniser recogniser(kPersonProtection, kPerson);
  Bytes record = noise;
  EXPECT_FALSE(recogniser.Unprotect(record).decoded);
  EXPECT_EQ(record, noise);
  EXPECT_EQ(recogniser.Undecodable(), 1);
  EXPECT_EQ(recogniser.FileSeed(), std::nullopt);

  // Among good records the bad one does not move the file's seed.
  std::vector<Bytes> mixed;
  for (int i = 0; i < 4; ++i) {
    mixed.push_back(MakePerson(i, random));
    ProtectRecord(mixed.back(), 42);
  }
  mixed.insert(mixed.begin() + 1, noise);
  EXPECT_EQ(RecogniseSeed(Spans(mixed), kPersonProtection, kPerson), 42);
  for (Bytes& r : mixed) {
    Bytes before = r;
    auto result = recogniser.Unprotect(r);
    if (before == noise) {
      EXPECT_FALSE(result.decoded);
      EXPECT_EQ(r, noise);
    } else {
      EXPECT_TRUE(result.decoded);
      EXPECT_EQ(result.seed, 42);
    }
  }
  EXPECT_EQ(recogniser.Undecodable(), 2);
  EXPECT_EQ(recogniser.FileSeed(), 42);
}

}  // namespace
}  // namespace zq::shared
