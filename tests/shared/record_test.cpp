#include "shared/record.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/cp852.h"
#include "shared/firm_record.h"

namespace zq::shared {
namespace {

using zq::operator""_pl;

// A layout with every kind, a repeated field with a stride and a raw overlay.
inline constexpr Field kSampleFields[] = {
    {"Tag", 0, 1, Kind::Byte},
    {"Open", 1, 1, Kind::Bool},
    {"Count", 2, 2, Kind::Word},
    {"Delta", 4, 2, Kind::Int16},
    {"Sum", 6, 4, Kind::Int32},
    {"Key", 10, 8, Kind::Int64},
    {"Net", 18, 8, Kind::Real},
    {"When", 26, 4, Kind::Date},
    {"Name", 30, 11, Kind::Text},
    {"Rest", 41, 5, Kind::Bytes},
    {"Counter", 46, 2, Kind::Word, 3, 4},  // 46, 50, 54
    {"Spare", 48, 2, Kind::Word, 3, 4},    // 48, 52, 56 between the counters
    {"Head", 0, 10, Kind::Bytes, 1, 0, kMayOverlap},
};
inline constexpr Layout kSample{"SAMPLE", 58, kSampleFields};
static_assert(kSample.Problem().empty());

inline constexpr IntField kTag = kSample.Int("Tag");
inline constexpr FlagField kOpen = kSample.Flag("Open");
inline constexpr IntField kCount = kSample.Int("Count");
inline constexpr IntField kDelta = kSample.Int("Delta");
inline constexpr IntField kSum = kSample.Int("Sum");
inline constexpr IntField kKey = kSample.Int("Key");
inline constexpr RealField kNet = kSample.Real("Net");
inline constexpr DateField kWhen = kSample.Date("When");
inline constexpr TextField kName = kSample.Text("Name");
inline constexpr BytesField kRest = kSample.Bytes("Rest");
inline constexpr IntField kCounter = kSample.Int("Counter");
inline constexpr IntField kSpare = kSample.Int("Spare");

static_assert(kCounter.At(2).offset == 54 && kSpare.At(1).offset == 52);
static_assert(kCounter.At(3).offset == kNowhere);
static_assert(kName.Capacity() == 10);

// Layout faults the compiler is asked to find.
constexpr std::string_view ProblemOf(std::span<const Field> fields, std::size_t size) {
  return Layout{"BAD", size, fields}.Problem();
}
inline constexpr Field kOverlap[] = {{"A", 0, 4, Kind::Int32}, {"B", 2, 2, Kind::Word}};
inline constexpr Field kPastEnd[] = {{"A", 0, 4, Kind::Int32}, {"B", 4, 9, Kind::Text}};
inline constexpr Field kWrongWidth[] = {{"A", 0, 4, Kind::Real}};
inline constexpr Field kTwice[] = {{"A", 0, 1, Kind::Byte}, {"A", 1, 1, Kind::Byte}};
inline constexpr Field kTooLongText[] = {{"A", 0, 257, Kind::Text}};
inline constexpr Field kDenseRepeat[] = {{"A", 0, 4, Kind::Int32, 3, 2}};
inline constexpr Field kRepeatPastEnd[] = {{"A", 0, 2, Kind::Word, 12, 8}};
inline constexpr Field kInterleaveClash[] = {{"A", 0, 2, Kind::Word, 4, 4},
                                             {"B", 5, 2, Kind::Word, 4, 4}};
inline constexpr Field kMarkedOverlay[] = {{"A", 0, 4, Kind::Int32},
                                           {"All", 0, 4, Kind::Bytes, 1, 0, kMayOverlap}};
static_assert(ProblemOf(kOverlap, 8) == "fields overlap");
static_assert(ProblemOf(kPastEnd, 12) == "field reaches past the record");
static_assert(ProblemOf(kPastEnd, 13).empty());
static_assert(ProblemOf(kWrongWidth, 8) == "width does not match the kind");
static_assert(ProblemOf(kTwice, 2) == "two fields of one name");
static_assert(ProblemOf(kTooLongText, 300) == "text longer than a length byte can tell");
static_assert(ProblemOf(kDenseRepeat, 20) == "elements of a repeated field overlap");
static_assert(ProblemOf(kRepeatPastEnd, 89) == "field reaches past the record");
static_assert(ProblemOf(kRepeatPastEnd, 90).empty());
static_assert(ProblemOf(kInterleaveClash, 20) == "fields overlap");
static_assert(ProblemOf(kMarkedOverlay, 4).empty());
static_assert(Layout{"EMPTY", 0, {}}.Problem() == "record size is zero");

// The firm record is the first real layout: its offsets are fixed by the data files.
static_assert(kFirmRecord.size == 103);
static_assert(kFirmDirectory.offset == 32 && kFirmDirectory.Capacity() == 8);
static_assert(kFirmInfo.offset == 41 && kFirmInfo.Capacity() == 25);
static_assert(kFirmData.offset == 67 && kFirmData.End() == 103);

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> v;
  for (int x : values) v.push_back(static_cast<std::uint8_t>(x));
  return v;
}

TEST(RecordNumbers, ReadLittleEndianWithTheSignOfTheirKind) {
  std::vector<std::uint8_t> rec(kSample.size, 0);
  rec[0] = 0xFE;
  rec[1] = 2;
  rec[2] = 0x34, rec[3] = 0x12;
  rec[4] = 0xFF, rec[5] = 0xFF;
  rec[6] = 0x00, rec[7] = 0x00, rec[8] = 0x00, rec[9] = 0x80;
  for (int k = 0; k < 8; ++k) rec[10 + k] = 0xFF;
  RecordView view(rec);
  EXPECT_EQ(view.Get(kTag), 0xFE);
  EXPECT_TRUE(view.Get(kOpen));
  EXPECT_EQ(view.Get(kCount), 0x1234);
  EXPECT_EQ(view.Get(kDelta), -1);
  EXPECT_EQ(view.Get(kSum), INT32_MIN);
  EXPECT_EQ(view.Get(kKey), -1);
}

TEST(RecordNumbers, WritesAreCutToTheFieldAndTouchNothingElse) {
  std::vector<std::uint8_t> rec(kSample.size, 0xAA);
  RecordRef ref(rec);
  EXPECT_TRUE(ref.Set(kCount, 70000));  // 0x11170 -> 0x1170
  EXPECT_EQ(ref.Get(kCount), 0x1170);
  EXPECT_TRUE(ref.Set(kDelta, -2));
  EXPECT_EQ(ref.Get(kDelta), -2);
  EXPECT_EQ(rec[4], 0xFE);
  EXPECT_EQ(rec[5], 0xFF);
  EXPECT_TRUE(ref.Set(kOpen, true));
  EXPECT_EQ(rec[1], 1);
  EXPECT_TRUE(ref.SetInt(kOpen, 256));  // a flag, not the low byte of the number
  EXPECT_EQ(rec[1], 1);
  EXPECT_TRUE(ref.Set(kKey, 0x0102030405060708));
  EXPECT_EQ(rec[10], 0x08);
  EXPECT_EQ(rec[17], 0x01);
  EXPECT_EQ(rec[0], 0xAA);
  EXPECT_EQ(rec[18], 0xAA);
}

TEST(RecordNumbers, RealsKeepEveryBit) {
  std::vector<std::uint8_t> rec(kSample.size, 0);
  RecordRef ref(rec);
  ref.Set(kNet, 1.5);
  EXPECT_EQ(std::vector<std::uint8_t>(rec.begin() + 18, rec.begin() + 26),
            Bytes({0, 0, 0, 0, 0, 0, 0xF8, 0x3F}));
  for (double x : {-0.0, 1e300, -123456.78, 5e-324}) {
    ref.Set(kNet, x);
    double back = ref.Get(kNet);
    EXPECT_EQ(std::memcmp(&back, &x, sizeof x), 0) << x;
  }
  ref.Set(kNet, std::nan(""));
  EXPECT_TRUE(std::isnan(ref.Get(kNet)));
}

TEST(RecordDates, StoreDayMonthYearAndCompareAsOneNumber) {
  std::vector<std::uint8_t> rec(kSample.size, 0);
  RecordRef ref(rec);
  ref.Set(kWhen, Date{31, 12, 2019});
  EXPECT_EQ(std::vector<std::uint8_t>(rec.begin() + 26, rec.begin() + 30),
            Bytes({31, 12, 0xE3, 0x07}));
  EXPECT_EQ(ref.Get(kWhen), (Date{31, 12, 2019}));

  // The packed number is what the data files compare; it must order dates as the
  // calendar does.
  std::int32_t packed;
  std::memcpy(&packed, rec.data() + 26, 4);
  EXPECT_EQ(packed, PackedDate(Date{31, 12, 2019}));
  auto before = [](Date a, Date b) { return PackedDate(a) < PackedDate(b); };
  EXPECT_TRUE(before(Date{31, 12, 2019}, Date{1, 1, 2020}));
  EXPECT_TRUE(before(Date{1, 2, 2020}, Date{2, 2, 2020}));
  EXPECT_TRUE(before(Date{28, 1, 2020}, Date{1, 2, 2020}));
  EXPECT_TRUE(before(Date{}, Date{1, 1, 1}));
  EXPECT_EQ(PackedDate(Date{}), 0);
  EXPECT_EQ(UnpackDate(PackedDate(Date{7, 3, 2020})), (Date{7, 3, 2020}));
}

TEST(RecordTexts, LengthByteIsTrustedOnlyAsFarAsTheFieldGoes) {
  std::vector<std::uint8_t> rec(kSample.size, 'x');
  rec[30] = 200;  // claims 200 characters in a field of 10
  RecordView view(rec);
  EXPECT_EQ(view.Get(kName), "xxxxxxxxxx");
  rec[30] = 3;
  EXPECT_EQ(view.Get(kName), "xxx");
  rec[30] = 0;
  EXPECT_EQ(view.Get(kName), "");
}

TEST(RecordTexts, WritesCutToTheFieldAndZeroTheTail) {
  std::vector<std::uint8_t> rec(kSample.size, 0xAA);
  RecordRef ref(rec);
  EXPECT_TRUE(ref.Set(kName, "Piekarnia Łódź Bałuty"_pl));
  EXPECT_EQ(rec[30], 10);
  EXPECT_EQ(ref.Get(kName), "Piekarnia "_pl);
  EXPECT_EQ(rec[41], 0xAA);  // the next field is untouched

  EXPECT_TRUE(ref.Set(kName, "Łąka"_pl));
  EXPECT_EQ(ref.Get(kName), "Łąka"_pl);
  for (int k = 35; k <= 40; ++k) EXPECT_EQ(rec[k], 0) << "stale byte at " << k;

  EXPECT_TRUE(ref.Set(kName, ""));
  EXPECT_EQ(rec[30], 0);
  for (int k = 31; k <= 40; ++k) EXPECT_EQ(rec[k], 0);
}

TEST(RecordTexts, CutInPlaceLowersOnlyAnOverLongLengthByte) {
  constexpr Field kTwo[] = {{"T", 2, 5, Kind::Text, 2, 6}};  // two texts of 4, one byte apart
  struct Case {
    std::uint8_t first, second;
    std::uint8_t wantFirst, wantSecond;
  };
  for (const Case c : {Case{4, 0, 4, 0}, Case{5, 255, 4, 4}, Case{3, 9, 3, 4}}) {
    std::vector<std::uint8_t> rec(16);
    for (std::size_t k = 0; k < rec.size(); ++k) rec[k] = static_cast<std::uint8_t>(0xA0 + k);
    rec[2] = c.first;
    rec[8] = c.second;
    std::vector<std::uint8_t> want = rec;
    want[2] = c.wantFirst;
    want[8] = c.wantSecond;
    EXPECT_TRUE(CutTexts(RecordRef(rec), kTwo));
    EXPECT_EQ(rec, want) << int(c.first) << " " << int(c.second);
  }
  // A short record: what lies inside is cut, nothing is written past its end.
  std::vector<std::uint8_t> shortRec = {0, 0, 200, 'a', 'b', 'c', 'd', 'e', 77};
  std::vector<std::uint8_t> padded = shortRec;
  padded.resize(32, 0xEE);
  EXPECT_FALSE(CutTexts(RecordRef(std::span(padded).first(shortRec.size())), kTwo));
  EXPECT_EQ(padded[2], 4);
  EXPECT_EQ(padded[8], 4);  // the second text's length byte lies inside: cut too
  for (std::size_t k = shortRec.size(); k < padded.size(); ++k) EXPECT_EQ(padded[k], 0xEE);
  // A field that is no text is left alone.
  std::vector<std::uint8_t> rec(16, 0xFF);
  EXPECT_FALSE(RecordRef(rec).CutInPlace(Field{"N", 0, 4, Kind::Int32}));
  EXPECT_EQ(rec, std::vector<std::uint8_t>(16, 0xFF));
}

TEST(RecordBytes, CutOrPadToTheField) {
  std::vector<std::uint8_t> rec(kSample.size, 0xAA);
  RecordRef ref(rec);
  ref.Set(kRest, "abcdefgh");
  EXPECT_EQ(ref.Get(kRest), "abcde");
  ref.Set(kRest, "ab");
  EXPECT_EQ(ref.Get(kRest), std::string("ab\0\0\0", 5));
  EXPECT_EQ(rec[46], 0xAA);
}

TEST(RecordBounds, ShortRecordsReadAsIfZeroFollowed) {
  // Heap buffers of the exact size, so that the address sanitizer sees any overrun.
  std::vector<std::uint8_t> rec(kSample.size, 0x11);
  RecordRef(rec).Set(kName, "Kowalscy"_pl);

  auto cut = [&](std::size_t n) { return std::vector<std::uint8_t>(rec.begin(), rec.begin() + n); };
  std::vector<std::uint8_t> none = cut(0);
  RecordView empty(none);
  EXPECT_EQ(empty.Get(kTag), 0);
  EXPECT_EQ(empty.Get(kName), "");
  EXPECT_EQ(empty.Get(kRest), std::string(5, '\0'));
  EXPECT_EQ(empty.Get(kWhen), Date{});

  std::vector<std::uint8_t> half = cut(8);  // Sum (6..9) is cut after two bytes
  RecordView partial(half);
  EXPECT_EQ(partial.Get(kSum), 0x1111);
  EXPECT_EQ(partial.Get(kKey), 0);
  EXPECT_EQ(partial.Get(kNet), 0.0);

  std::vector<std::uint8_t> text = cut(34);  // length byte 8, but only 3 characters left
  EXPECT_EQ(RecordView(text).Get(kName), "Kow");
  std::vector<std::uint8_t> lengthOnly = cut(31);
  EXPECT_EQ(RecordView(lengthOnly).Get(kName), "");
}

TEST(RecordBounds, WritesThatDoNotFitWriteNothing) {
  std::vector<std::uint8_t> buffer(kSample.size, 0x5A);
  RecordRef shortRec(std::span<std::uint8_t>(buffer.data(), 20));
  EXPECT_TRUE(shortRec.Set(kKey, 1));     // 10..17 fits
  EXPECT_FALSE(shortRec.Set(kNet, 2.0));  // 18..25 does not
  EXPECT_FALSE(shortRec.Set(kName, "abc"));
  EXPECT_FALSE(shortRec.Set(kWhen, Date{1, 1, 2020}));
  EXPECT_FALSE(shortRec.Set(kRest, "abc"));
  EXPECT_FALSE(shortRec.Set(kCounter.At(5), 7));
  shortRec.Clear();
  for (std::size_t k = 0; k < 20; ++k) EXPECT_EQ(buffer[k], 0);
  for (std::size_t k = 20; k < buffer.size(); ++k) EXPECT_EQ(buffer[k], 0x5A) << k;
}

TEST(RecordBounds, RepeatedFieldsStayInsideTheirElements) {
  std::vector<std::uint8_t> rec(kSample.size, 0);
  RecordRef ref(rec);
  for (std::size_t i = 0; i < 3; ++i) {
    ref.Set(kCounter.At(i), static_cast<std::int64_t>(100 + i));
    ref.Set(kSpare.At(i), 7);
  }
  EXPECT_EQ(ref.Get(kCounter.At(0)), 100);
  EXPECT_EQ(ref.Get(kCounter.At(2)), 102);
  EXPECT_EQ(rec[50], 101);
  EXPECT_EQ(rec[52], 7);
  // An index past the last element reaches no byte at all.
  EXPECT_EQ(ref.Get(kCounter.At(3)), 0);
  EXPECT_FALSE(ref.Set(kCounter.At(3), 1));
  EXPECT_FALSE(ref.Set(kCounter.At(static_cast<std::size_t>(-1)), 1));
}

TEST(RecordBounds, RuntimeLookupAndKindMismatches) {
  ASSERT_NE(kSample.Find("Net"), nullptr);
  EXPECT_EQ(kSample.Find("Net")->offset, 18u);
  EXPECT_EQ(kSample.Find("Brutto"), nullptr);

  std::vector<std::uint8_t> rec(kSample.size, 0x41);
  RecordRef ref(rec);
  // Run-time kinds that do not go together change nothing.
  EXPECT_FALSE(ref.SetText(kSample["Net"], "abc"));
  EXPECT_FALSE(ref.SetReal(kSample["Name"], 1.0));
  EXPECT_FALSE(ref.SetDate(kSample["Sum"], Date{1, 1, 2020}));
  EXPECT_EQ(ref.GetText(kSample["Net"]), "");
  EXPECT_EQ(ref.GetInt(kSample["Name"]), 0);
  EXPECT_EQ(std::vector<std::uint8_t>(kSample.size, 0x41), rec);
}

// An older and a newer layout of one record, the way a converter sees them.
inline constexpr Field kOldFields[] = {
    {"Key", 0, 8, Kind::Int64},   {"Name", 8, 31, Kind::Text}, {"Count", 39, 2, Kind::Word},
    {"Net", 41, 8, Kind::Real},   {"Born", 49, 4, Kind::Date}, {"Months", 53, 2, Kind::Word, 12},
    {"Note", 77, 21, Kind::Text}, {"Raw", 98, 6, Kind::Bytes},
};
inline constexpr Layout kOld{"OLD", 104, kOldFields};
static_assert(kOld.Problem().empty());

inline constexpr Field kNewFields[] = {
    {"Key", 0, 8, Kind::Int64},     {"Name", 8, 41, Kind::Text},
    {"Short", 49, 11, Kind::Text},  {"Count", 60, 4, Kind::Int32},
    {"Net", 64, 8, Kind::Real},     {"Gross", 72, 8, Kind::Real},
    {"Born", 80, 4, Kind::Date},    {"Months", 84, 2, Kind::Word, 12, 4},
    {"Format", 132, 1, Kind::Byte}, {"Valid", 133, 4, Kind::Date},
    {"Mark", 137, 7, Kind::Text},   {"Raw", 144, 6, Kind::Bytes},
    {"Flags", 150, 2, Kind::Word},  {"Spare", 152, 48, Kind::Bytes},
};
inline constexpr Layout kNew{"NEW", 200, kNewFields};
static_assert(kNew.Problem().empty());

inline constexpr Rule kOldToNew[] = {
    Copy(kOld["Key"], kNew["Key"]),
    Copy(kOld["Name"], kNew["Name"]),
    CutText(kOld["Name"], kNew["Short"], 4),
    Copy(kOld["Count"], kNew["Count"]),
    Copy(kOld["Net"], kNew["Net"]),
    Computed(kNew["Gross"], [](RecordView in) { return in.Get(kOld.Real("Net")) * 1.23; }),
    Copy(kOld["Born"], kNew["Born"]),
    Copy(kOld["Months"], kNew["Months"]),
    Constant(kNew["Format"], 3),
    Constant(kNew["Valid"], Date{1, 1, 2020}),
    Constant(kNew["Mark"], "ŁĄKA"_pl),
    Copy(kOld["Raw"], kNew["Raw"]),
    Computed([](RecordView in, RecordRef out) {
      out.Set(kNew.Int("Flags"), in.Get(kOld.Int("Count")) > 10 ? 1 : 2);
    }),
};

std::vector<std::uint8_t> OldRecord() {
  std::vector<std::uint8_t> rec(kOld.size, 0xCC);  // stale bytes everywhere
  RecordRef ref(rec);
  ref.Set(kOld.Int("Key"), -42);
  ref.Set(kOld.Text("Name"), "Zakład Ślusarski Żółw"_pl);
  ref.Set(kOld.Int("Count"), 65535);
  ref.Set(kOld.Real("Net"), 100.0);
  ref.Set(kOld.Date("Born"), Date{29, 2, 1980});
  for (std::size_t m = 0; m < 12; ++m)
    ref.Set(kOld.Int("Months").At(m), static_cast<std::int64_t>(m + 1));
  ref.Set(kOld.Bytes("Raw"), "\x01\x02\x03\x04\x05\x06");
  return rec;
}

TEST(RecordBuilder, MakesTheNewRecordFromTheTableOnly) {
  std::vector<std::uint8_t> in = OldRecord();
  std::vector<std::uint8_t> out(kNew.size, 0xEE);  // stale output from the record before
  Build(kOldToNew, RecordView(in), RecordRef(out));
  RecordView rec(out);

  EXPECT_EQ(rec.Get(kNew.Int("Key")), -42);
  EXPECT_EQ(rec.Get(kNew.Text("Name")), "Zakład Ślusarski Żółw"_pl);
  EXPECT_EQ(rec.Get(kNew.Text("Short")), "Zakł"_pl);
  EXPECT_EQ(rec.Get(kNew.Int("Count")), 65535);  // a word widened, not sign-extended
  EXPECT_EQ(rec.Get(kNew.Real("Net")), 100.0);
  EXPECT_DOUBLE_EQ(rec.Get(kNew.Real("Gross")), 123.0);
  EXPECT_EQ(rec.Get(kNew.Date("Born")), (Date{29, 2, 1980}));
  EXPECT_EQ(rec.Get(kNew.Int("Months").At(11)), 12);
  EXPECT_EQ(rec.Get(kNew.Int("Format")), 3);
  EXPECT_EQ(rec.Get(kNew.Date("Valid")), (Date{1, 1, 2020}));
  EXPECT_EQ(rec.Get(kNew.Text("Mark")), "ŁĄKA"_pl);
  EXPECT_EQ(rec.Get(kNew.Bytes("Raw")), "\x01\x02\x03\x04\x05\x06");
  EXPECT_EQ(rec.Get(kNew.Int("Flags")), 1);

  // Everything the table does not name is zero: the gaps between the months, the text
  // tails and the spare block.
  for (std::size_t m = 0; m < 12; ++m) {
    EXPECT_EQ(out[86 + 4 * m], 0);
    EXPECT_EQ(out[87 + 4 * m], 0);
  }
  for (std::size_t k = 8 + 1 + 21; k < 49; ++k) EXPECT_EQ(out[k], 0) << k;
  for (std::size_t k = 152; k < 200; ++k) EXPECT_EQ(out[k], 0) << k;
}

TEST(RecordBuilder, ShortInputGivesAFullOutputWithZeroes) {
  std::vector<std::uint8_t> full = OldRecord();
  std::vector<std::uint8_t> tail(full.begin(), full.begin() + 45);  // ends inside Net
  std::vector<std::uint8_t> out(kNew.size, 0xEE);
  Build(kOldToNew, RecordView(tail), RecordRef(out));
  RecordView rec(out);
  EXPECT_EQ(rec.Get(kNew.Int("Key")), -42);
  EXPECT_EQ(rec.Get(kNew.Int("Count")), 65535);
  EXPECT_EQ(rec.Get(kNew.Date("Born")), Date{});
  EXPECT_EQ(rec.Get(kNew.Int("Months").At(0)), 0);
  EXPECT_EQ(rec.Get(kNew.Bytes("Raw")), std::string(6, '\0'));
  EXPECT_EQ(rec.Get(kNew.Int("Format")), 3);
}

TEST(RecordBuilder, ConstantsFillEveryElementAndNarrowCopiesCut) {
  static constexpr Rule kRules[] = {
      Constant(kOld["Months"], 1), Copy(kNew["Count"], kOld["Count"]),  // Int32 into a Word
      Copy(kNew["Name"], kOld["Note"]),                                 // 40 characters into 20
  };
  std::vector<std::uint8_t> in(kNew.size, 0);
  RecordRef(in).Set(kNew.Int("Count"), 0x12345);
  RecordRef(in).Set(kNew.Text("Name"), "Przedsiębiorstwo Handlowo-Usługowe"_pl);
  std::vector<std::uint8_t> out(kOld.size, 0xEE);
  Build(kRules, RecordView(in), RecordRef(out));
  RecordView rec(out);
  for (std::size_t m = 0; m < 12; ++m) EXPECT_EQ(rec.Get(kOld.Int("Months").At(m)), 1);
  EXPECT_EQ(rec.Get(kOld.Int("Count")), 0x2345);
  EXPECT_EQ(rec.Get(kOld.Text("Note")), "Przedsiębiorstwo Han"_pl);
}

TEST(RecordBuilder, CarryWithinOneRecordMovesOverlappingBytes) {
  // A filter moving a text one byte to the right inside the same buffer.
  static constexpr Field kFields[] = {{"A", 0, 9, Kind::Text},
                                      {"B", 1, 9, Kind::Text, 1, 0, kMayOverlap}};
  static constexpr Layout kShift{"SHIFT", 10, kFields};
  std::vector<std::uint8_t> rec(kShift.size, 0);
  RecordRef ref(rec);
  ref.Set(kShift.Text("A"), "abcdefgh");
  EXPECT_TRUE(ref.CarryFrom(ref, kShift["A"], kShift["B"]));
  EXPECT_EQ(ref.Get(kShift.Text("B")), "abcdefgh");
}

TEST(RecordBuilder, AnArrayCarriesAsItsElementsDoWhereverTheInputEnds) {
  // Packed and spaced arrays of every non-text kind, moved to another offset; the whole
  // array must give the bytes its elements give one by one, for every input length.
  static constexpr Field kFields[] = {{"Words", 1, 2, Kind::Word, 7},
                                      {"Reals", 16, 8, Kind::Real, 3},
                                      {"Spaced", 41, 4, Kind::Int32, 3, 5},
                                      {"Raw", 56, 3, Kind::Bytes, 2}};
  static constexpr Field kMoved[] = {{"Words", 3, 2, Kind::Word, 7},
                                     {"Reals", 17, 8, Kind::Real, 3},
                                     {"Spaced", 42, 4, Kind::Int32, 3},
                                     {"Raw", 58, 3, Kind::Bytes, 2}};
  std::vector<std::uint8_t> full(64);
  for (std::size_t k = 0; k < full.size(); ++k) full[k] = static_cast<std::uint8_t>(0x11 + 3 * k);
  for (std::size_t length = 0; length <= full.size(); ++length) {
    const RecordView in(std::span<const std::uint8_t>(full.data(), length));
    for (std::size_t f = 0; f < std::size(kFields); ++f) {
      std::vector<std::uint8_t> whole(full.size(), 0xEE), single(full.size(), 0xEE);
      const bool all = RecordRef(whole).CarryFrom(in, kFields[f], kMoved[f]);
      bool each = true;
      for (std::size_t i = 0; i < kFields[f].count; ++i)
        each = RecordRef(single).CarryFrom(in, kFields[f].At(i), kMoved[f].At(i)) && each;
      EXPECT_EQ(whole, single) << kFields[f].name << " from " << length << " bytes";
      EXPECT_EQ(all, each) << kFields[f].name << " from " << length << " bytes";
    }
  }
}

TEST(FirmRecord, TextsAreCutAndFirmDataCarried) {
  std::string data(36, '\0');
  for (int k = 0; k < 36; ++k) data[k] = static_cast<char>(0xF0 - k);
  FirmRecordBytes rec = MakeFirmRecord("Warsztat Samochodowy Częstochowa"_pl, "WARSZTATY"_pl,
                                       "KPiR, VAT miesięczny"_pl, data);
  FirmRecordText text = ReadFirmRecord(RecordView(rec));
  EXPECT_EQ(text.name, "Warsztat Samochodowy Częstochow"_pl);  // 31 of 32
  EXPECT_EQ(text.directory, "WARSZTAT");
  EXPECT_EQ(text.info, "KPiR, VAT miesięczny"_pl);
  EXPECT_EQ(RecordView(rec).Get(kFirmData), data);
  EXPECT_EQ(rec[0], 31);
  EXPECT_EQ(rec[32], 8);
}

TEST(FirmRecord, BytesAfterTheTextsAreOfNoMeaning) {
  FirmRecordBytes rec;
  rec.fill('#');
  rec[0] = 5;
  std::memcpy(&rec[1], "Kwiat", 5);
  rec[32] = 6;
  std::memcpy(&rec[33], "KWIATY", 6);
  rec[41] = 0;
  FirmRecordText text = ReadFirmRecord(RecordView(rec));
  EXPECT_EQ(text.name, "Kwiat");
  EXPECT_EQ(text.directory, "KWIATY");
  EXPECT_EQ(text.info, "");
}

}  // namespace
}  // namespace zq::shared
