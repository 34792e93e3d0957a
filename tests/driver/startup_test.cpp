#include <gtest/gtest.h>

#include "driver/paths.h"
#include "driver/program.h"
#include "driver/startup.h"
#include "driver/wizard.h"
#include "platform/cp852.h"
#include "support/test_env.h"

namespace zq::driver {
namespace {

using zq::operator""_pl;

constexpr std::uint16_t kEnter = 0x1C0D;

class StartupTest : public ::testing::Test {
 protected:
  StartupTest() { rig.process.SetOwnPath(dir.Prefix() + "zq18-20.exe"); }
  void Pth(std::string_view text) { test::WriteFile(dir / "zq18-20.PTH", text); }
  void Lst(std::string_view text) { test::WriteFile(dir / "zq18-20.LST", text); }
  // Start-up as far as the Wizard, returning the run state for inspection.
  std::unique_ptr<RunState> Start(std::vector<std::string> args = {}) {
    rig.process.SetArguments(std::move(args));
    auto run = std::make_unique<RunState>(rig.platform);
    StartUp(*run);
    refused = ResolveTrees(*run);
    return run;
  }
  test::TempDir dir;
  test::HeadlessRig rig;
  std::vector<std::string> refused;
};

TEST_F(StartupTest, TreeRootPrecedence) {
  // Defaults: the built-in source and the program directory as target.
  auto run = Start();
  EXPECT_EQ(run->options.sourceTree, "\\DOR_2019\\");
  EXPECT_EQ(run->options.targetTree, dir.Prefix());

  // The first argument is taken unchanged, options of the shared library included.
  run = Start({"E:\\X"});
  EXPECT_EQ(run->options.targetTree, "E:\\X");
  run = Start({"/kprspis:FIRMY.DAT"});
  EXPECT_EQ(run->options.targetTree, "/kprspis:FIRMY.DAT");

  // The path settings file wins over the argument.
  Pth("[PATHS]\r\nDOR_2019=D:\\A\\\r\nDOR_2020=D:\\ROK2020\r\n");
  run = Start({"E:\\X"});
  EXPECT_EQ(run->options.sourceTree, "D:\\A\\\\");
  EXPECT_EQ(run->options.targetTree, "D:\\ROK2020\\");
}

TEST_F(StartupTest, PathSettingsLinesAreReadOneByOne) {
  Pth("dor_2019=D:\\LOWER\r\n DOR_2019=D:\\BLANK\r\nDOR_2019=D:\\FIRST\r\nrubbish\r\n"
      "DOR_2019=D:\\LATER\nDOR_2020=\r\n");
  auto run = Start({"E:\\X"});
  EXPECT_EQ(run->options.sourceTree, "D:\\LATER\\");
  // An empty value is an empty Target tree, not the root of the current drive.
  EXPECT_EQ(run->options.targetTree, "");
  // The announcement line is written before the banner clears the screen.
  EXPECT_NE(rig.console.ScreenText().find(Cp852ToUtf8("Ustalenie ścieżek dostępu"_pl)),
            std::string::npos);
}

TEST_F(StartupTest, GarbageOrOverlongPathSettingsKeepTheDefaults) {
  std::string garbage;
  for (int i = 0; i < 5000; ++i) garbage += static_cast<char>((i * 37) % 256);
  Pth(garbage);
  auto run = Start({"E:\\X"});
  EXPECT_EQ(run->options.sourceTree, "\\DOR_2019\\");
  EXPECT_EQ(run->options.targetTree, "E:\\X");

  std::string longPath(300, 'k');
  Pth("DOR_2019=" + longPath + "\r\nDOR_2020=/ok\r\n");
  run = Start({"/" + longPath});
  EXPECT_EQ(run->options.sourceTree, "\\DOR_2019\\");
  EXPECT_EQ(run->options.targetTree, "/ok\\");
  ASSERT_EQ(refused.size(), 2u);
  DrawBanner(*run, refused);
  EXPECT_NE(rig.console.RowText(2).find(Cp852ToUtf8("Pominięto"_pl)), std::string::npos);
}

TEST_F(StartupTest, PathSettingsWithControlCharactersAreRefused) {
  // A carriage return inside a line and a zero byte, which would end the host's name.
  Pth(std::string("DOR_2019=D:\\A\rB\r\nDOR_2020=D:\\X\0Y\r\n", 34));
  auto run = Start({"E:\\X"});
  EXPECT_EQ(run->options.sourceTree, "\\DOR_2019\\");
  EXPECT_EQ(run->options.targetTree, "E:\\X");
  EXPECT_EQ(refused.size(), 2u);
}

TEST_F(StartupTest, ExtraFileList) {
  auto run = Start();
  EXPECT_TRUE(run->extraFiles.empty());
  Lst("NOTATKI.TXT\r\n\r\nA.DAT>B.DAT\r\n" + std::string(30, 'x') + "\r\nLAST");
  run = Start();
  ASSERT_EQ(run->extraFiles.size(), 5u);
  EXPECT_EQ(run->extraFiles[0], "NOTATKI.TXT");
  EXPECT_EQ(run->extraFiles[1], "");
  EXPECT_EQ(run->extraFiles[2], "A.DAT>B.DAT");
  EXPECT_EQ(run->extraFiles[3], std::string(25, 'x'));
  EXPECT_EQ(run->extraFiles[4], "LAST");
  Lst("ONE\r\nTWO\r\n\x1A"
      "after the end\r\n");
  run = Start();
  EXPECT_EQ(run->extraFiles, (ExtraFileList{"ONE", "TWO"}));
}

TEST(PathSettingsFile, WritesThreeLinesAndReadsThemBack) {
  test::TempDir dir;
  auto files = platform::CreateHostFiles();
  std::string path = dir.Prefix() + "zq18-20.PTH";
  ASSERT_TRUE(WritePathSettings(*files, path, "D:\\DOR_2019\\", ""));
  EXPECT_EQ(test::ReadFile(dir / "zq18-20.PTH"),
            "[PATHS]\r\nDOR_2019=D:\\DOR_2019\r\nDOR_2020=\r\n");
  ASSERT_TRUE(WritePathSettings(*files, path, "/a/b\\", "/c/d\\"));
  PathSettings back = ReadPathSettings(*files, path);
  EXPECT_EQ(back.sourceTree, "/a/b\\");
  EXPECT_EQ(back.targetTree, "/c/d\\");
  EXPECT_FALSE(WritePathSettings(*files, dir.Prefix() + "missing/zq18-20.PTH", "a\\", "b\\"));
}

TEST(DefaultTarget, DropsOnlyADrivePrefix) {
  EXPECT_EQ(DefaultTargetTree("D:\\DOR_2020\\"), "\\DOR_2020\\");
  EXPECT_EQ(DefaultTargetTree("/opt/dor2020/"), "/opt/dor2020/");
  EXPECT_EQ(DefaultTargetTree("\\\\SERWER\\DOR\\"), "\\\\SERWER\\DOR\\");
}

TEST_F(StartupTest, QuestionMarkShowsTheUsageAndEnds) {
  rig.process.SetArguments({"a?b"});
  rig.console.PushKey(kEnter);
  EXPECT_EQ(RunProgram(rig.platform), 0);
  EXPECT_TRUE(rig.console.SizeSet());
  EXPECT_EQ(rig.console.Title(), "zqLirno - Konwerter 2018-2019");
  std::string out = rig.process.Stdout();
  EXPECT_TRUE(
      out.starts_with("Program do kopiowania wybranych danych do nowego DOR_ZQ.\n"
                      "z wersji KP980 (2019) na KP020 (2020)\n" +
                      std::string(70, '\xC4') + "\n\nUruchom zq18-20 [Katalog_danych_,2020]\n"));
  EXPECT_NE(out.find("Katalogu w którym jest program zq18-20.EXE można umieścić\n"_pl),
            std::string::npos);
  EXPECT_TRUE(out.ends_with("danych firmy na rok nastepny\n\n"));
  // The screen is not touched.
  EXPECT_EQ(rig.console.ScreenText(), std::string(25, '\n'));
}

// The Wizard loop driven by pages that answer from a script.
class WizardLoopTest : public StartupTest {
 protected:
  void Page(int number, std::vector<std::uint16_t> answers) { scripts[number] = answers; }
  void Install(RunState& run) {
    run.pages.clear();
    for (int n = 1; n <= 4; ++n)
      run.pages.push_back([this, n](RunState&) -> std::optional<std::uint16_t> {
        shown.push_back(n);
        auto& s = scripts[n];
        if (s.empty()) return std::nullopt;
        std::uint16_t c = s.front();
        s.erase(s.begin());
        return c;
      });
  }
  std::map<int, std::vector<std::uint16_t>> scripts;
  std::vector<int> shown;
};

TEST_F(WizardLoopTest, MovesBetweenPagesAndStaysAtTheEnds) {
  auto run = Start();
  Install(*run);
  Page(1, {kPrevPage, 0x1234, kNextPage});
  Page(2, {kNextPage, kNextPage});
  Page(3, {kPrevPage, kNextPage});
  Page(4, {kNextPage, kStartCopy});
  std::vector<std::string> steps;
  run->steps.globalDataCopy = [&](RunState&) { steps.push_back("global"); };
  run->steps.perFirmRun = [&](RunState&) { steps.push_back("firms"); };
  RunWizard(*run);
  EXPECT_EQ(shown, (std::vector<int>{1, 1, 1, 2, 3, 2, 3, 4, 4}));
  EXPECT_EQ(steps, (std::vector<std::string>{"global", "firms"}));
  EXPECT_NE(rig.console.ScreenText().find("Koniec pracy kopiera danych DOR_ZQ na rok 2020"),
            std::string::npos);
}

TEST_F(WizardLoopTest, RunItemsChooseTheSteps) {
  auto run = Start();
  Install(*run);
  Page(1, {kStartCopy});
  std::vector<std::string> steps;
  run->steps.globalDataCopy = [&](RunState&) { steps.push_back("global"); };
  run->steps.perFirmRun = [&](RunState&) { steps.push_back("firms"); };
  run->options.runItems = 0;
  RunWizard(*run);
  EXPECT_TRUE(steps.empty());

  Page(1, {kStartCopy});
  run->options.runItems = kRunGlobal | kRunFirms;
  run->options.globalItems = 0;  // nothing global chosen: the step is skipped altogether
  RunWizard(*run);
  EXPECT_EQ(steps, (std::vector<std::string>{"firms"}));
}

TEST_F(WizardLoopTest, CancelAsksAndNoShowsTheSamePageAgain) {
  auto run = Start();
  Install(*run);
  Page(1, {kNextPage});
  Page(2, {kCancel, kCancel});
  std::string question;
  rig.console.PushAction([&] { question = rig.console.ScreenText(); });
  rig.console.PushKey(kEnter);  // the default answer is no
  rig.console.PushKey(0x1474);  // t: yes
  bool ran = false;
  run->steps.perFirmRun = [&](RunState&) { ran = true; };
  RunWizard(*run);
  EXPECT_NE(question.find("Rezygnujesz z konwersji danych na nowy rok ?"), std::string::npos);
  EXPECT_EQ(shown, (std::vector<int>{1, 2, 2}));
  EXPECT_FALSE(ran);
}

TEST_F(StartupTest, WholeProgramCancelledEndsWithNacisnijEnterAndCodeZero) {
  rig.console.PushKey(0x011B);  // Esc on page 1
  rig.console.PushKey(0x1474);  // t: yes, give up
  std::string atEnd;
  platform::Cell rule;
  rig.console.PushAction([&] {
    atEnd = rig.console.ScreenText();
    rule = rig.console.At(0, 1);
  });
  rig.console.PushKey(kEnter);
  EXPECT_EQ(RunProgram(rig.platform), 0);
  EXPECT_NE(atEnd.find("Nacisnij Enter"), std::string::npos);
  EXPECT_NE(atEnd.find(Cp852ToUtf8(
                " PROGRAM DO PRZEPCHNIĘCIA DANYCH DOR_ZQ <= #980  NA 2020 1.07(x86)"_pl)),
            std::string::npos);
  EXPECT_EQ(rule.ch, 0xC4);
  EXPECT_EQ(rule.attr, 0x0F);
  EXPECT_EQ(rig.console.ScreenText(), std::string(25, '\n'));  // cleared at the end
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
}

}  // namespace
}  // namespace zq::driver
