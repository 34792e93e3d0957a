// The run journal as a bookkeeper reads it after the run: every line the log was given
// and every answer, UTF-8 with CR LF and a time on each line, appended to what earlier
// runs left, and written firm by firm so that a killed run loses no whole firm.
#include <gtest/gtest.h>

#include <regex>

#include "driver/firm_rig.h"
#include "driver/journal.h"
#include "driver/startup.h"
#include "platform/headless/headless.h"
#include "tui/message.h"

namespace zq::driver {
namespace {

using namespace test_rig;
using zq::operator""_pl;

class JournalTest : public FirmRunRig {
 protected:
  std::string JournalPath() const { return dir.Prefix() + "dziennik.log"; }
  std::string Journal() const { return test::ReadFile(dir / "dziennik.log"); }
  void Open() {
    rig.process.SetArguments({"/log:" + JournalPath()});
    ASSERT_TRUE(OpenJournal(*run));
    ASSERT_TRUE(run->journal);
  }
  FirmRunSummary RunFirms(const std::vector<std::string>& directories) {
    FirmList firms;
    for (const auto& d : directories) firms.Add(shared::MakeFirmRecord("Firma " + d, d, ""));
    return ConvertSelectedFirms(*run, firms);
  }
};

TEST(RunSwitchesTest, NewSwitchesAreTakenOutAnywhereAndTheRestKeepsItsOrder) {
  struct Case {
    std::vector<std::string> args;
    std::string log, autoFile;
    bool dry;
    std::vector<std::string> rest;
  };
  const std::vector<Case> cases = {
      {{}, "", "", false, {}},
      {{"D:\\ROK"}, "", "", false, {"D:\\ROK"}},
      {{"/LOG:a.log", "D:\\ROK"}, "a.log", "", false, {"D:\\ROK"}},
      {{"D:\\ROK", "/auto:x.ini", "/test"}, "", "x.ini", true, {"D:\\ROK"}},
      {{"/kprspis:F.DAT", "/Log:b c.log", "/TESTY"},
       "b c.log",
       "",
       false,
       {"/kprspis:F.DAT", "/TESTY"}},
  };
  for (const Case& c : cases) {
    RunSwitches s = ReadRunSwitches(c.args);
    EXPECT_EQ(s.logPath, c.log);
    EXPECT_EQ(s.autoPath, c.autoFile);
    EXPECT_EQ(s.unattended, !c.autoFile.empty());
    EXPECT_EQ(s.dryRun, c.dry);
    EXPECT_EQ(s.arguments, c.rest);
  }
}

TEST_F(JournalTest, LinesAnswersAndWindowsAreAppendedAsStampedUtf8WithCrLf) {
  test::WriteFile(dir / "dziennik.log", "earlier run\r\n");
  Open();
  run->log.WriteLn("Błąd odczytu"_pl);
  run->log.Write("---->  Z(n)/W(a)");
  run->log.NoteAnswer("W");
  run->log.WriteLn();
  run->log.NoteAnswer("Enter");
  EXPECT_EQ(Journal(), "earlier run\r\n") << "nothing reaches the file before a flush";
  rig.console.PushKey(kEnter);
  tui::ErrorBox(run->screen,
                "\x03"
                "Brak katalogu\r\x03X");
  FlushJournal(*run, true);

  std::string text = Journal();
  ASSERT_TRUE(text.starts_with("earlier run\r\n"));
  text = text.substr(13);
  EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1) << "lines end with CR LF";
  std::vector<std::string> lines;
  for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
    lines.push_back(text.substr(at, end - at));
  const std::regex stamp(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d (.*)$)");
  std::vector<std::string> bodies;
  for (const auto& line : lines) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, stamp)) << line;
    bodies.push_back(m[1]);
  }
  ASSERT_EQ(bodies.size(), 5u);
  EXPECT_TRUE(bodies[0].starts_with("==== Początek pracy")) << bodies[0];
  EXPECT_EQ(bodies[1], "Błąd odczytu");
  EXPECT_EQ(bodies[2], "---->  Z(n)/W(a)  [odpowiedź: W]");
  EXPECT_EQ(bodies[3], "  [odpowiedź: Enter]");
  EXPECT_EQ(bodies[4], "[okno] Brak katalogu / X  [odpowiedź: OK]");
}

TEST_F(JournalTest, TheOverwriteQuestionIsJournalledWithTheKeyTyped) {
  test::WriteFile(dir / "a.txt", "new");
  test::WriteFile(dir / "b.txt", "old");
  Open();
  rig.console.PushKey(Key('w'));
  run->copier.CopyFileBytes(dir.Prefix() + "a.txt", dir.Prefix() + "b.txt");
  FlushJournal(*run, true);
  EXPECT_NE(Journal().find("---->  Z(n)/W(a)  [odpowiedź: w]\r\n"), std::string::npos) << Journal();
  EXPECT_EQ(test::ReadFile(dir / "b.txt"), "new");
}

TEST_F(JournalTest, ARunKilledMidFirmLeavesTheJournalOfTheWholeFirmsBefore) {
  MakeFirm("A");
  MakeFirm("B");
  // Both years: the year question waits for a key that never comes.
  Source("B", "2020_ROK.REK", Annual2019());
  Open();
  EXPECT_THROW(RunFirms({"A", "B"}), platform::ScriptExhausted);
  std::string text = Journal();
  EXPECT_NE(text.find("---- koniec firmy A\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("FIRMA   : Firma B"), std::string::npos) << text;
  EXPECT_TRUE(text.ends_with("\r\n"));
}

TEST_F(JournalTest, AJournalThatCannotBeWrittenStopsTheRunUnlessTheUserGoesOnWithout) {
  const std::string bad = dir.Prefix() + "brak/katalogu/dziennik.log";
  run->screen.Start();
  for (bool goOn : {false, true}) {
    SCOPED_TRACE(goOn);
    rig.process.SetArguments({"/LOG:" + bad});
    rig.console.PushKey(Key(goOn ? 't' : 'n'));
    EXPECT_EQ(OpenJournal(*run), goOn);
    EXPECT_FALSE(run->journal);
  }
  rig.process.SetArguments({"/LOG:" + bad, "/AUTO:x.ini"});
  EXPECT_FALSE(OpenJournal(*run)) << "an unattended run never asks";
  EXPECT_NE(rig.process.Stderr().find("dziennika"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "brak"));
}

}  // namespace
}  // namespace zq::driver
