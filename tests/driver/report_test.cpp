// The reconciliation report of a run: a firm carried and a firm that could not be, each
// with its figures, the troubled one marked, the total line, the journal holding it
// whole and the window showing it before the run ends, with or without a journal.
#include <gtest/gtest.h>

#include "driver/firm_rig.h"
#include "driver/report.h"
#include "driver/startup.h"

namespace zq::driver {
namespace {

using namespace test_rig;

class ReportTest : public FirmRunRig {};

TEST_F(ReportTest, FirmsItemsAndTotalsAreReportedAndTheFailedFirmStandsOut) {
  MakeFirm("A");
  fs::create_directories(SourceDir("B"));  // no annual settings: B cannot be carried
  rig.process.SetArguments({"/LOG:" + dir.Prefix() + "j.log"});
  ASSERT_TRUE(OpenJournal(*run));
  FirmList firms;
  firms.Add(shared::MakeFirmRecord("Firma A", "A", ""));
  firms.Add(shared::MakeFirmRecord("Firma B", "B", ""));
  rig.console.PushKey(kEnter);  // B's "Nie można dokonać konwersji"
  ConvertSelectedFirms(*run, firms);

  const RunReport& report = run->report;
  ASSERT_EQ(report.firms.size(), 2u);
  const FirmReport& a = report.firms[0];
  const FirmReport& b = report.firms[1];
  EXPECT_TRUE(a.added);
  EXPECT_FALSE(a.Troubled());
  EXPECT_GT(a.Total().filesMissing, 0) << "every item of A without its file";
  EXPECT_FALSE(b.added);
  EXPECT_TRUE(b.Troubled());
  EXPECT_TRUE(b.items.empty());

  std::vector<ReportLine> lines = ReportLines(report);
  ASSERT_GE(lines.size(), 6u);
  EXPECT_TRUE(lines.back().text.starts_with("RAZEM 1/2")) << lines.back().text;
  int troubled = 0;
  for (const ReportLine& line : lines) troubled += line.troubled ? 1 : 0;
  EXPECT_EQ(troubled, 1);
  const auto bLine = std::find_if(lines.begin(), lines.end(), [](const ReportLine& l) {
    return l.text.starts_with("B - NIE DOPISANA");
  });
  ASSERT_NE(bLine, lines.end());
  EXPECT_TRUE(bLine->troubled);

  rig.console.PushAction(
      [&] { EXPECT_NE(rig.console.ScreenText().find("ZESTAWIENIE"), std::string::npos); });
  rig.console.PushKey(kEnter);
  PresentReport(*run);
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
  FlushJournal(*run, true);
  std::string journal = test::ReadFile(dir / "j.log");
  EXPECT_NE(journal.find("==== Zestawienie przeniesionych danych\r\n"), std::string::npos);
  EXPECT_NE(journal.find("! B - NIE DOPISANA"), std::string::npos) << journal;
  EXPECT_NE(journal.find("  RAZEM 1/2"), std::string::npos);
}

TEST_F(ReportTest, APlainInteractiveRunIsCountedAndShownToo) {
  MakeFirm("A");
  FirmList firms;
  firms.Add(shared::MakeFirmRecord("Firma A", "A", ""));
  ConvertSelectedFirms(*run, firms);
  ASSERT_EQ(run->report.firms.size(), 1u);
  EXPECT_TRUE(run->report.firms[0].added);
  EXPECT_EQ(run->copier.tally, nullptr) << "counting ends with the firm";
  rig.console.PushAction(
      [&] { EXPECT_NE(rig.console.ScreenText().find("RAZEM 1/1"), std::string::npos); });
  rig.console.PushKey(0x011B);  // Esc
  PresentReport(*run);
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
}

}  // namespace
}  // namespace zq::driver
