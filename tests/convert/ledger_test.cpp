// Ledger entries and repayments of 2020 in the new layout: the derived amounts with the
// VAT proportion and limits, the widened texts, the stamp, struck-out entries, and
// records whose bytes are not what they should be.
#include "convert/ledger.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "convert/copy_fixture.h"
#include "support/log_capture.h"

namespace zq::convert {
namespace {

using Record = std::vector<std::uint8_t>;
using zq::operator""_pl;

double RealAt(const Record& r, std::size_t at) {
  double v = 0;
  std::memcpy(&v, r.data() + at, 8);
  return v;
}
void PutReal(Record& r, std::size_t at, double v) {
  std::memcpy(r.data() + at, &v, 8);
}
void PutText(Record& r, std::size_t at, std::string_view text, int length = -1) {
  r[at] = static_cast<std::uint8_t>(length < 0 ? static_cast<int>(text.size()) : length);
  std::memcpy(r.data() + at + 1, text.data(), text.size());
}
std::string TextAt(const Record& r, std::size_t at) {
  return std::string(reinterpret_cast<const char*>(r.data() + at + 1), r[at]);
}

class LedgerTest : public test::CopyFixture {
 protected:
  LedgerTest() { log.AddSink(&lines); }
  ~LedgerTest() override { log.RemoveSink(&lines); }

  LedgerConversion Ledger(int firmProportion = -1, bool wait = false) {
    return {.copier = &copier,
            .clock = &rig.process,
            .waitOnStruckOut = wait,
            .vatProportional = firmProportion >= 0,
            .vatProportion = static_cast<std::uint16_t>(std::max(firmProportion, 0))};
  }
  // The new record, or nothing when the entry was dropped.
  std::optional<Record> Convert(const Record& old, const LedgerConversion& ledger) {
    Record out(kEntrySize);
    if (!ConvertLedgerEntry(ledger, old, out)) return std::nullopt;
    return out;
  }

  test::LogCapture lines;
};

// Offsets of the entry record, written out here as the file layout gives them.
enum : std::size_t {
  kAtDate = 0x012,
  kAtFlags = 0x01E,
  kAtText1 = 0x020,
  kAtText2 = 0x037,
  kAtText3 = 0x04A,
  kAtText4 = 0x06F,
  kAtText5 = 0x094,
  kAtText6 = 0x0B9,
  kAtSettlement = 0x0ED,
  kAtColumn = 0x0F2,
  kAtMode = 0x0F3,
  kAtNet1 = 0x0F8,
  kAtVat1 = 0x100,
  kAtNetWithoutVat1 = 0x118,
  kAtNetWithoutVat2 = 0x120,
  kAtNet3 = 0x128,
  kAtVat3 = 0x130,
  kAtFurther = 0x148,
  kAtLimit = 0x150,
  kAtProportion = 0x158,
  kAtNoSplit = 0x15A,
  kAtNoRecompute = 0x15B,
  kAtLimitMode = 0x15C,
  kAtMarker = 0x16F,
  kAtOutstanding = 0x171,
  kAtPaidKind = 0x179,
  kAtPaid = 0x17A,
  kAtLong1 = 0x190,
  kAtLong3 = 0x1C1,
  kAtLong5 = 0x2C3,
  kAtLong6 = 0x314,
  kAtNdNet = 0x34D,
  kAtNdVat = 0x355,
  kAtLayoutMark = 0x35D,
  kAtMoment = 0x35E,
};

TEST(LedgerCents, HalvesGoAwayFromZeroAndTinyAmountsAreZero) {
  struct Case {
    double in, want;
  } cases[] = {{0, 0},
               {0.00009, 0},
               {-0.00009, 0},
               {0.004, 0},
               {-0.004, 0},
               {0.005, 0.01},
               {-0.005, -0.01},
               {0.0049, 0},
               {1.234999, 1.23},
               {11.505, 11.51},
               {17.25, 17.25},
               {-17.25, -17.25},
               {2.675, 2.68},
               {123456.785, 123456.79},
               {1.234999995, 1.24}};  // the ledger's slack: just under half a cent goes up
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    double got = Cents(c.in);
    EXPECT_DOUBLE_EQ(got, c.want);
    EXPECT_FALSE(got == 0 && std::signbit(got)) << "a negative zero";
  }
}

TEST(LedgerCents, DosDateTimePacksDateHighAndTimeLow) {
  EXPECT_EQ(DosDateTime({2020, 1, 2, 10, 0, 0}), 0x50225000u);
  EXPECT_EQ(DosDateTime({2021, 12, 31, 23, 59, 59}),
            (41u << 9 | 12 << 5 | 31) << 16 | (23u << 11 | 59 << 5 | 29));
}

struct AmountCase {
  const char* name;
  int column = 7;
  int settlement = 2;
  int mode = 0;
  int limitMode = 0;
  double limit = 0;
  int proportion = 0;
  int firmProportion = -1;  // -1: the firm does not settle VAT in proportion
  int noSplit = 0, noRecompute = 0;
  double net1 = 100, vat1 = 23, net3 = 0, vat3 = 0;
  double netWithoutVat1 = 0, netWithoutVat2 = 0, further = 0;
  int paidKind = 0;
  double paid = 0;
  // Expected.
  double ndNet = 0, ndVat = 0;
  double outstanding = 7.77;                                    // as copied unless recomputed
  double wantLimit = std::numeric_limits<double>::quiet_NaN();  // NaN: as copied
  int wantColumn = -1, wantMode = -1, wantProportion = -1;      // -1: as copied
};

// clang-format off
const AmountCase kAmountCases[] = {
    {.name = "column 7, proportion 75",
     .mode = 1, .proportion = 75,
     .ndNet = 25, .ndVat = 5.75},
    {.name = "VAT limit mode 2 halves",
     .limitMode = 2, .vat1 = 23.01,
     .ndNet = 50, .ndVat = 11.5, .wantLimit = 11.51},
    {.name = "column 21 in a proportion firm",
     .column = 21, .firmProportion = 60,
     .ndNet = 100, .ndVat = 23, .wantColumn = 15, .wantMode = 2, .wantProportion = 60},
    {.name = "column 21 with the high bit",
     .column = 0x95,
     .ndNet = 100, .ndVat = 23, .wantColumn = 15, .wantMode = 2},
    {.name = "high bit of a split column is kept",
     .column = 0x87, .mode = 1, .proportion = 75,
     .ndNet = 25, .ndVat = 5.75},
    {.name = "no settlement amounts",
     .settlement = 5, .mode = 1, .proportion = 75, .paid = 1},
    {.name = "code 3, flag 1",
     .column = 3, .settlement = 3, .netWithoutVat1 = 200, .paid = 50,
     .outstanding = 150},
    {.name = "code 30, flag 4",
     .column = 30, .settlement = 6, .netWithoutVat1 = 200, .paid = 50,
     .outstanding = 150},
    {.name = "flag 1, slot 2 unpaid",
     .column = 3, .settlement = 3, .netWithoutVat1 = 200, .paidKind = 0x10, .paid = 50,
     .outstanding = 200},
    {.name = "flag 4 pays whatever the kind",
     .column = 3, .settlement = 6, .netWithoutVat1 = 200, .paidKind = 0x10, .paid = 50,
     .outstanding = 150},
    {.name = "flags 1 and 4, slot 2 unpaid",
     .column = 3, .settlement = 7, .netWithoutVat1 = 200, .paidKind = 0x10, .paid = 50,
     .outstanding = 200},
    {.name = "code 5",
     .column = 5, .settlement = 3, .netWithoutVat1 = 200, .netWithoutVat2 = 80, .paid = 30,
     .outstanding = 50},
    {.name = "code 37",
     .column = 37, .settlement = 3, .further = 40,
     .outstanding = 40},
    {.name = "code 40",
     .column = 40, .settlement = 3, .further = 40, .paid = 10,
     .outstanding = 30},
    {.name = "code 38 keeps the outstanding",
     .column = 38, .settlement = 3, .further = 40, .paid = 10},
    {.name = "code 41 keeps the outstanding",
     .column = 41, .settlement = 7, .further = 40, .paid = 10},
    {.name = "code 39 with a limit",
     .column = 39, .settlement = 3, .limit = 10, .netWithoutVat1 = 5, .further = 2,
     .outstanding = 117},
    {.name = "code 39 without a limit",
     .column = 39, .settlement = 3, .netWithoutVat1 = 5, .further = 2,
     .outstanding = 107},
    {.name = "code 39 without deduction",
     .column = 39, .settlement = 3, .mode = 2, .limit = 10, .netWithoutVat1 = 5, .further = 2,
     .outstanding = 130},
    {.name = "other code without deduction",
     .column = 10, .settlement = 3, .mode = 2, .net3 = 50, .vat3 = 11.5, .further = 1, .paid = 20,
     .outstanding = 165.5},
    {.name = "other code with deduction",
     .column = 10, .settlement = 3, .net3 = 50, .vat3 = 11.5, .further = 1, .paid = 20,
     .outstanding = 131},
    {.name = "no-recompute byte",
     .settlement = 3, .mode = 1, .limitMode = 2, .limit = 3, .proportion = 75,
     .noRecompute = 1, .paid = 20,
     .outstanding = -20},
    {.name = "no-split byte",
     .mode = 1, .proportion = 75, .noSplit = 1},
    {.name = "no-split byte other than 1",
     .mode = 1, .proportion = 75, .noSplit = 2,
     .ndNet = 25, .ndVat = 5.75},
    {.name = "proportion 0",
     .column = 9, .mode = 1,
     .ndNet = 100, .ndVat = 23},
    {.name = "proportion 1",
     .column = 9, .mode = 1, .proportion = 1,
     .ndNet = 99, .ndVat = 22.77},
    {.name = "proportion 99",
     .column = 9, .mode = 1, .proportion = 99,
     .ndNet = 1, .ndVat = 0.23},
    {.name = "proportion 100",
     .column = 9, .mode = 1, .proportion = 100},
    {.name = "proportion 150",
     .column = 9, .mode = 1, .proportion = 150},
    {.name = "the firm's proportion for a split code",
     .column = 31, .mode = 1, .proportion = 10, .firmProportion = 75,
     .ndNet = 25, .ndVat = 5.75, .wantProportion = 75},
    {.name = "the firm's proportion passes other codes",
     .column = 10, .mode = 1, .proportion = 10, .firmProportion = 75},
    {.name = "limit mode 1, no limit",
     .limitMode = 1,
     .ndNet = 100, .ndVat = 23},
    {.name = "limit mode 1, lower limit",
     .limitMode = 1, .limit = 10,
     .ndNet = 56.52, .ndVat = 13},
    {.name = "limit mode 1, higher limit",
     .limitMode = 1, .limit = 30},
    {.name = "limit, then proportion",
     .mode = 1, .limitMode = 1, .limit = 10, .proportion = 50,
     .ndNet = 78.26, .ndVat = 18},
    {.name = "negative amounts",
     .mode = 1, .proportion = 75, .net1 = -100, .vat1 = -23,
     .ndNet = -25, .ndVat = -5.75},
    {.name = "half a cent goes up",
     .mode = 1, .proportion = 50, .net1 = 0.03, .vat1 = 0.01,
     .ndNet = 0.01, .ndVat = 0},
    {.name = "under half a cent goes down",
     .mode = 1, .proportion = 1, .net1 = 1, .vat1 = 0.49,
     .ndNet = 0.99, .ndVat = 0.49},
    {.name = "VAT that counts as zero",
     .mode = 1, .proportion = 50, .vat1 = 0.00009},
    {.name = "deduction mode 3",
     .mode = 3,
     .ndNet = 100, .ndVat = 23},
};
// clang-format on

TEST_F(LedgerTest, DerivedAmountsFollowTheSettlementAndTheVatRules) {
  for (const AmountCase& c : kAmountCases) {
    SCOPED_TRACE(c.name);
    Record old(kOldEntrySize);
    old[kAtSettlement] = static_cast<std::uint8_t>(c.settlement);
    old[kAtColumn] = static_cast<std::uint8_t>(c.column);
    old[kAtMode] = static_cast<std::uint8_t>(c.mode);
    old[kAtLimitMode] = static_cast<std::uint8_t>(c.limitMode);
    PutReal(old, kAtLimit, c.limit);
    old[kAtProportion] = static_cast<std::uint8_t>(c.proportion);
    old[kAtNoSplit] = static_cast<std::uint8_t>(c.noSplit);
    old[kAtNoRecompute] = static_cast<std::uint8_t>(c.noRecompute);
    PutReal(old, kAtNet1, c.net1);
    PutReal(old, kAtVat1, c.vat1);
    PutReal(old, kAtNet3, c.net3);
    PutReal(old, kAtVat3, c.vat3);
    PutReal(old, kAtNetWithoutVat1, c.netWithoutVat1);
    PutReal(old, kAtNetWithoutVat2, c.netWithoutVat2);
    PutReal(old, kAtFurther, c.further);
    PutReal(old, kAtOutstanding, 7.77);
    old[kAtPaidKind] = static_cast<std::uint8_t>(c.paidKind);
    PutReal(old, kAtPaid, c.paid);

    std::optional<Record> out = Convert(old, Ledger(c.firmProportion));
    ASSERT_TRUE(out);
    const Record& r = *out;
    EXPECT_NEAR(RealAt(r, kAtNdNet), c.ndNet, 1e-9);
    EXPECT_NEAR(RealAt(r, kAtNdVat), c.ndVat, 1e-9);
    EXPECT_NEAR(RealAt(r, kAtOutstanding), c.outstanding, 1e-9);
    EXPECT_EQ(RealAt(r, kAtLimit), std::isnan(c.wantLimit) ? c.limit : c.wantLimit);
    EXPECT_EQ(r[kAtColumn], c.wantColumn < 0 ? c.column : c.wantColumn);
    EXPECT_EQ(r[kAtMode] | r[kAtMode + 1] << 8, c.wantMode < 0 ? c.mode : c.wantMode);
    EXPECT_EQ(r[kAtProportion] | r[kAtProportion + 1] << 8,
              c.wantProportion < 0 ? c.proportion : c.wantProportion);
    // Amounts the rules do not name are carried as they were.
    EXPECT_EQ(RealAt(r, kAtNet1), c.net1);
    EXPECT_EQ(RealAt(r, kAtPaid), c.paid);
    EXPECT_EQ(lines.CountHolding("poza zakresem"), 0);
  }
}

TEST_F(LedgerTest, TextsWidenAndCaretTextsContinueText1) {
  struct Case {
    const char* name;
    std::string text1, text6;
    int text1Length;  // the length byte as stored; -1: the text's own
    std::string long1, long6;
  } cases[] = {
      {"caret digits", "Faktura", "^12", -1, "Faktura12", ""},
      {"text 6 of its own", "Faktura", "Uwagi", -1, "Faktura", "Uwagi"},
      {"text 6 cut to 40", "F", std::string(51, 'x'), -1, "F", std::string(40, 'x')},
      {"caret text cut to 48", std::string(22, 'a'), "^" + std::string(50, 'b'), -1,
       std::string(22, 'a') + std::string(26, 'b'), ""},
      {"caret alone", "Faktura", "^", -1, "Faktura", ""},
      // The length byte claims more than text 1's room: only the room is read.
      {"over-long text 1", std::string(22, 'a'), "", 255, std::string(22, 'a'), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Record old(kOldEntrySize);
    PutText(old, kAtText1, c.text1, c.text1Length);
    PutText(old, kAtText2, "FV 1/2020");
    PutText(old, kAtText3, std::string(36, 'c'));
    PutText(old, kAtText5, std::string(36, 'e'), 200);
    PutText(old, kAtText6, c.text6);
    std::optional<Record> out = Convert(old, Ledger());
    ASSERT_TRUE(out);
    EXPECT_EQ(TextAt(*out, kAtLong1), c.long1);
    EXPECT_EQ(TextAt(*out, kAtLong6), c.long6);
    EXPECT_EQ(TextAt(*out, kAtLong3), std::string(36, 'c'));
    EXPECT_EQ(TextAt(*out, kAtLong5), std::string(36, 'e'));
    // The carried texts keep their bytes, their length bytes lowered to their rooms.
    EXPECT_EQ((*out)[kAtText1], c.text1Length == 255 ? 22 : c.text1.size());
    EXPECT_EQ((*out)[kAtText5], 36);
    EXPECT_EQ((*out)[kAtText2], 9);
  }
}

TEST_F(LedgerTest, OldBytesAreCarriedAndTheNewPartHoldsOnlyItsFields) {
  Record old(kOldEntrySize);
  std::string pattern = test::Pattern(kOldEntrySize, 3);
  std::memcpy(old.data(), pattern.data(), old.size());
  for (std::size_t at : {kAtText1, kAtText2, kAtText3, kAtText4, kAtText5, kAtText6}) old[at] = 5;
  old[kAtFlags] = 0;
  old[kAtSettlement] = 0;
  old[kAtColumn] = 10;
  std::optional<Record> out = Convert(old, Ledger(50));
  ASSERT_TRUE(out);
  const Record& r = *out;
  Record want = old;
  want[kAtMarker] = 0x5F;
  EXPECT_EQ(Record(r.begin(), r.begin() + kOldEntrySize), want);
  // Sequence field: the old entry's own.
  EXPECT_EQ(std::memcmp(r.data(), old.data(), 4), 0);
  EXPECT_EQ(r[kAtLayoutMark], 3);
  std::uint32_t moment = 0;
  std::memcpy(&moment, r.data() + kAtMoment, 4);
  EXPECT_EQ(moment, DosDateTime(rig.process.Now()));
  for (std::size_t k = kOldEntrySize; k < kEntrySize; ++k) {
    bool named = (k >= kAtLong1 && k < kAtLong1 + 6) || (k >= kAtLong3 && k < kAtLong3 + 6) ||
                 (k >= 0x242 && k < 0x242 + 6) || (k >= kAtLong5 && k < kAtLong5 + 6) ||
                 (k >= kAtLong6 && k < kAtLong6 + 6) || k == kAtLayoutMark ||
                 (k >= kAtMoment && k < kAtMoment + 4);
    if (!named) {
      ASSERT_EQ(r[k], 0) << "byte " << k;
    }
  }
}

TEST_F(LedgerTest, ScreenLineShowsDateTextsAndDash) {
  struct Case {
    std::uint8_t day, month;
    const char* want;
  } cases[] = {
      {5, 3, "DOR=05-03-2020 FV 12/20   Zakup paliwa.ok"},
      {0, 3, "DOR=- FV 12/20   Zakup paliwa.ok"},
      {5, 13, "DOR=- FV 12/20   Zakup paliwa.ok"},
  };
  for (const Case& c : cases) {
    lines.Clear();
    Record old(kOldEntrySize);
    old[kAtDate] = c.day;
    old[kAtDate + 1] = c.month;
    old[kAtDate + 2] = 2020 & 0xFF;
    old[kAtDate + 3] = 2020 >> 8;
    PutText(old, kAtText2, "FV 12/20");
    PutText(old, kAtText5, "Zakup paliwa");
    ASSERT_TRUE(Convert(old, Ledger()));
    EXPECT_EQ(lines.Texts(), std::vector<std::string>{c.want});
  }
}

TEST_F(LedgerTest, StruckOutEntriesAreDroppedWithThePauseOrTheKeyWait) {
  struct Case {
    bool slowly, wait;
    long long pausedMs;
    bool keyTaken;
  } cases[] = {{false, false, 0, false},
               {true, false, 1000, false},
               {false, true, 0, true},
               {true, true, 1000, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.slowly << c.wait);
    lines.Clear();
    copier.showSlowly = c.slowly;
    // A wait that should not come finds no key and fails the test.
    if (c.keyTaken) Key('x');
    long long before = rig.clock.ElapsedMs();
    Record old(kOldEntrySize);
    old[kAtFlags] = 2 | 1;
    PutText(old, kAtText2, "FV");
    PutText(old, kAtText5, "Storno");
    EXPECT_FALSE(Convert(old, Ledger(-1, c.wait)));
    EXPECT_EQ(lines.Texts(),
              std::vector<std::string>{Cp852ToUtf8("DOR=- FV         Storno SKREŚLONY"_pl)});
    EXPECT_EQ(KeysLeft(), 0u);
    EXPECT_EQ(rig.clock.ElapsedMs() - before >= 1000, c.pausedMs > 0);
  }
}

TEST_F(LedgerTest, AmountsThatAreNotFiniteLeaveTheDerivedAmountsAlone) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* name;
    double net1, vat1, net3;
  } cases[] = {{"NaN VAT", 100, nan, 0},
               {"infinite net", inf, 23, 0},
               {"finite amounts whose sum overflows", 1.5e308, 23, 1.5e308}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    lines.Clear();
    Record old(kOldEntrySize);
    old[kAtSettlement] = 3;
    old[kAtColumn] = 7;
    old[kAtMode] = 1;
    old[kAtProportion] = 75;
    PutReal(old, kAtNet1, c.net1);
    PutReal(old, kAtVat1, c.vat1);
    PutReal(old, kAtNet3, c.net3);
    PutReal(old, kAtOutstanding, 7.77);
    std::optional<Record> out = Convert(old, Ledger());
    ASSERT_TRUE(out);
    EXPECT_EQ(RealAt(*out, kAtNdNet), 0);
    EXPECT_EQ(RealAt(*out, kAtNdVat), 0);
    EXPECT_EQ(RealAt(*out, kAtOutstanding), 7.77);
    EXPECT_EQ(lines.CountHolding("poza zakresem"), 1) << lines.Dump();
  }
}

TEST_F(LedgerTest, RepaymentsAreCarriedWithTheDocumentCutAndShareALine) {
  Record in(kRepaymentSize);
  std::string pattern = test::Pattern(kRepaymentSize, 9);
  std::memcpy(in.data(), pattern.data(), in.size());
  in[5] = 15;
  in[6] = 3;
  in[7] = 2020 & 0xFF;
  in[8] = 2020 >> 8;
  PutText(in, 0x011, "FV 1/2020 ABC", 200);
  for (int k = 0; k < 3; ++k) {
    Record out(kRepaymentSize);
    EXPECT_TRUE(ConvertRepayment(log, in, out));
    Record want = in;
    want[0x011] = 12;
    EXPECT_EQ(out, want);
  }
  const std::string one = "SP= dnia:15-03-2020 dok:FV 1/2020 AB";
  // Two fit on a line; the third starts the next.
  EXPECT_EQ(lines.Texts(), std::vector<std::string>{one + one});
  EXPECT_EQ(lines.Open(), one);
}

}  // namespace
}  // namespace zq::convert
