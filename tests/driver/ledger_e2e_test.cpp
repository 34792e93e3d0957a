// The entries, repayments and payroll records a firm keyed into 2020, carried by the
// per-firm run with the real item rows: the firm's VAT proportion reaching the entries,
// January appended, later months asking, converted months hidden, a payroll file that
// ends in part of a record.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "convert/ledger.h"
#include "convert/payroll.h"
#include "driver/firm_rig.h"
#include "sample.h"
#include "sample_ledger.h"

namespace zq::driver {
namespace {

using namespace test_rig;
using zq::operator""_pl;

constexpr std::size_t kOld = convert::kOldEntrySize, kNew = convert::kEntrySize;

// The rows of the entries keyed into 2020, as the table has them.
std::vector<FirmItem> EnteredRows() {
  std::vector<FirmItem> rows;
  for (const FirmItem& item : FirmItems())
    if (item.number == 28 || item.number == 29) rows.push_back(item);
  return rows;
}

// Old entries against the new records they gave: every entry not struck out, in order,
// its old bytes carried but for the fields the conversion sets, its split-code entries
// with the firm's proportion when the firm settles VAT in proportion.
void CheckEntries(const std::string& old, const std::string& converted, int proportion) {
  ASSERT_EQ(old.size() % kOld, 0u);
  ASSERT_EQ(converted.size() % kNew, 0u);
  std::size_t at = 0;
  int struck = 0;
  for (std::size_t k = 0; k < old.size() / kOld; ++k) {
    const std::string in = old.substr(k * kOld, kOld);
    if (in[0x01E] & 2) {
      ++struck;
      continue;
    }
    SCOPED_TRACE(k);
    ASSERT_LT(at, converted.size());
    const std::string out = converted.substr(at, kNew);
    at += kNew;
    std::string carried = out.substr(0, kOld), want = in;
    // Column and mode, the VAT limit and proportion, the marker and the outstanding
    // amount are the conversion's to set.
    for (auto [from, n] : {std::pair{0x0F2, 3}, {0x150, 10}, {0x16F, 1}, {0x171, 8}}) {
      carried.replace(from, n, n, '\0');
      want.replace(from, n, n, '\0');
    }
    EXPECT_EQ(carried, want);
    EXPECT_EQ(out[0x16F], 0x5F);
    EXPECT_EQ(out[0x35D], 3);
    const int code = static_cast<unsigned char>(out[0x0F2]) & 0x7F;
    const bool split =
        std::count(std::begin(convert::kSplitCodes), std::end(convert::kSplitCodes), code) > 0;
    if (proportion > 0 && split) {
      EXPECT_EQ(WordAt(out, 0x158), static_cast<unsigned>(proportion));
    } else {
      EXPECT_EQ(WordAt(out, 0x158), WordAt(in, 0x158));
    }
    for (std::size_t real : {0x34D, 0x355, 0x150, 0x171})
      EXPECT_TRUE(std::isfinite(RealAt(out, real)));
  }
  EXPECT_EQ(at, converted.size());
  EXPECT_GT(struck + static_cast<int>(at / kNew), 0);
}

class LedgerEndToEndTest : public FirmRunRig {};

TEST_F(LedgerEndToEndTest, AGeneratedFirmsEntriesAndPayrollArriveConverted) {
  sample::Sample made = sample::GenerateSample({.seed = 3, .firms = 3}, dir / "gen");
  const sample::SampleFirm& firm = made.firms[0];
  run->options.sourceTree = dir.Prefix() + "gen\\DOR_2019\\";
  run->options.targetTree = dir.Prefix() + "gen\\DOR_2020\\";
  const std::vector<FirmItem> rows = EnteredRows();
  FirmResult result = Convert(firm.directory, rows);
  ASSERT_TRUE(result.completed) << log.Dump();
  EXPECT_EQ(result.errors, 0) << log.Dump();

  const auto source = [&](std::string_view name) {
    return test::ReadFile(sample::HostPath(made.SourceFirmPath(firm), name));
  };
  const auto target = [&](std::string_view name) {
    return test::ReadFile(sample::HostPath(made.TargetFirmPath(firm), name));
  };
  const int proportion = result.firmVatProportional ? result.firmVatProportion : 0;
  // The first firm keys January and March, not February.
  for (const char* m : {"1", "3"}) {
    SCOPED_TRACE(m);
    CheckEntries(source(std::string("2020K880.") + m), target(std::string("2020K990.") + m),
                 proportion);
  }
  EXPECT_FALSE(fs::exists(sample::HostPath(made.TargetFirmPath(firm), "2020K990.2")));
  EXPECT_EQ(target("2020SP.1"), source("2020SP.1"));  // documents within 12 as made
  EXPECT_NE(log.Find("Konwertuję zapisy : Marzec     "_pl), nullptr) << log.Dump();
  EXPECT_GT(log.CountHolding(" SKREŚLONY"_pl), 0);

  const std::string payroll = target("2020WP5.REK");
  const std::string oldPayroll = source("2020WP2.REK");
  ASSERT_EQ(payroll.size() / convert::kPayrollSize, oldPayroll.size() / convert::kOldPayrollSize);
  for (std::size_t p = 0; p < payroll.size() / convert::kPayrollSize; ++p) {
    EXPECT_EQ(payroll.substr(p * convert::kPayrollSize, 8),
              oldPayroll.substr(p * convert::kOldPayrollSize, 8));
    EXPECT_EQ(payroll[p * convert::kPayrollSize + 8], 5);
  }
}

TEST_F(LedgerEndToEndTest, JanuaryIsAppendedLaterMonthsAskAndKeptMonthsAreHidden) {
  MakeFirm("F");
  // A firm settling VAT in proportion, 75 percent for the new year.
  std::string annual = Annual2019();
  annual[0x75] = 1;
  annual[0x78] = 75;
  Source("F", "2019_ROK.REK", annual);
  sample::Rng rng(7);
  int serial = 0;
  const std::string january = sample::LedgerEntries(rng, 1, 30, true, serial);
  const std::string february = sample::LedgerEntries(rng, 2, 5, true, serial);
  Source("F", "2020K880.1", january);
  Source("F", "2020K880.2", february);
  // March ends in half an entry, neither of them struck out.
  std::string march = sample::LedgerEntries(rng, 3, 2, true, serial);
  march[0x01E] = march[kOld + 0x01E] = 0;
  march.resize(kOld + kOld / 2);
  Source("F", "2020K880.3", march);
  Source("F", "2020SP.1", sample::Repayments(rng, 1, 3));
  Source("F", "2020SP.2", sample::Repayments(rng, 2, 1));
  // One whole payroll record and one byte of the next.
  Source("F", "2020WP2.REK", sample::PayrollRecords(rng, 1, 2) + "\x07");
  Target("F", "2020K990.1", std::string(kNew, 'J'));
  Target("F", "2020K990.2", std::string(kNew, 'F'));
  Target("F", "2020SP.1", std::string(48, 'S'));
  run->options.hideConverted = true;
  rig.console.PushKey(Key('z'));  // February's existing target is kept

  FirmResult result = Convert("F", EnteredRows());
  ASSERT_TRUE(result.completed);
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
  EXPECT_EQ(result.firmVatProportion, 75);

  const std::string januaryOut = ReadTarget("F", "2020K990.1");
  ASSERT_EQ(januaryOut.substr(0, kNew), std::string(kNew, 'J'));
  CheckEntries(january, januaryOut.substr(kNew), 75);
  EXPECT_EQ(ReadTarget("F", "2020K990.2"), std::string(kNew, 'F'));
  EXPECT_EQ(ReadTarget("F", "2020SP.1").substr(0, 48), std::string(48, 'S'));
  EXPECT_EQ(ReadTarget("F", "2020SP.1").size(), 4 * 48u);
  EXPECT_EQ(log.Count("Stwierdzono obecność pliku "_pl), 1) << log.Dump();

  auto names = Snapshot(SourceDir("F"));
  for (const char* hidden : {"2020K880.1~", "2020K880.2~", "2020SP.1~", "2020SP.2~"})
    EXPECT_TRUE(names.count(hidden)) << hidden;
  // The repayments' shared line is ended before what follows them.
  EXPECT_NE(log.FindStarting("Zmiana nazwy pliku " + SourcePath("F", "2020SP.1")), nullptr)
      << log.Dump();

  // The half entry is converted as if the rest were zeros, and the log says so.
  const std::string marchOut = ReadTarget("F", "2020K990.3");
  ASSERT_EQ(marchOut.size(), 2 * kNew);
  std::string half = marchOut.substr(kNew, kOld);
  EXPECT_EQ(half.substr(0, kOld / 2), march.substr(kOld, kOld / 2));
  EXPECT_EQ(half[0x16F], 0x5F);
  half[0x16F] = 0;
  EXPECT_EQ(half.substr(kOld / 2), std::string(kOld / 2, '\0'));
  EXPECT_NE(log.FindStarting("Niepełny ostatni rekord (200 z 400 bajtów)"_pl), nullptr)
      << log.Dump();

  const std::string payroll = ReadTarget("F", "2020WP5.REK");
  ASSERT_EQ(payroll.size(), 2u * convert::kPayrollSize);
  EXPECT_EQ(payroll[convert::kPayrollSize], 7);  // the key's one byte, the rest zeros
  EXPECT_EQ(payroll.substr(convert::kPayrollSize + 9),
            std::string(convert::kPayrollSize - 9, '\0'));
  const LogLine* tail = log.FindStarting("Niepełny ostatni rekord (1 z 10176 bajtów)"_pl);
  ASSERT_NE(tail, nullptr) << log.Dump();
  EXPECT_EQ(tail->colour, convert::kColourWarning);
}

}  // namespace
}  // namespace zq::driver
