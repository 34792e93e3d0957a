#include <gtest/gtest.h>

#include <filesystem>

#include "driver/auto_settings.h"
#include "driver/pages.h"
#include "driver/startup.h"
#include "driver/wizard.h"
#include "platform/cp852.h"
#include "support/test_env.h"

namespace zq::driver {
namespace {

using zq::operator""_pl;

enum : std::uint16_t {
  kEsc = 0x011B,
  kEnter = 0x1C0D,
  kTab = 0x0F09,
  kSpace = 0x3920,
  kDown = 0x5000,
  kPgUp = 0x4900,
  kPgDn = 0x5100,
  kF5 = 0x3F00,
  kCtrlY = 0x1519,
  kKeyN = 0x316E,
  kKeyT = 0x1474,
};

class PagesTest : public ::testing::Test {
 protected:
  PagesTest() {
    rig.process.SetOwnPath(dir.Prefix() + "zq18-20.exe");
    test::WriteFile(dir / "DOR_2019" / "SPISFIRM.DAT", std::string(103, 'x'));
    std::filesystem::create_directories(dir / "DOR_2020");
    // The start command runs the global data copy first, which needs its directory.
    std::filesystem::create_directories(dir / "DOR_2019" / "#BIN980");
    test::WriteFile(dir / "zq18-20.PTH",
                    "DOR_2019=" + Source(false) + "\r\nDOR_2020=" + Target(false) + "\r\n");
  }
  std::string Source(bool slash = true) { return dir.Prefix() + "DOR_2019" + (slash ? "\\" : ""); }
  std::string Target(bool slash = true) { return dir.Prefix() + "DOR_2020" + (slash ? "\\" : ""); }
  void Start() {
    run = std::make_unique<RunState>(rig.platform);
    InstallWizard(*run);
    StartUp(*run);
    DrawBanner(*run, ResolveTrees(*run));
    run->steps.perFirmRun = [this](RunState&) { started = true; };
  }
  // Looks at the screen at this point of the key script.
  void Snap(std::string& into) {
    rig.console.PushAction([this, &into] { into = rig.console.ScreenText(); });
  }
  void Type(std::string_view text) { rig.console.PushText(text); }
  void Keys(std::initializer_list<std::uint16_t> keys) { rig.console.PushKeys(keys); }

  test::TempDir dir;
  test::HeadlessRig rig;
  std::unique_ptr<RunState> run;
  bool started = false;
};

TEST_F(PagesTest, EveryPageLooksAsDesigned) {
  Start();
  std::string pages[4];
  std::string page1Colours;
  // Short paths, so the golden screens do not depend on the temporary directory.
  run->options.sourceTree = "D:\\DOR_2019\\";
  run->options.targetTree = "D:\\DOR_2020\\";
  rig.console.PushAction([&] {
    pages[0] = rig.console.ScreenText();
    page1Colours = rig.console.AttributeMap(false) + rig.console.AttributeMap(true);
  });
  Keys({kEsc});
  Keys({kKeyN});  // stay, then look at the other pages without the path check
  rig.console.PushAction([&] { run->currentPage = 2; });
  Keys({kEsc, kKeyN});
  Snap(pages[1]);
  Keys({kPgDn});
  Snap(pages[2]);
  Keys({kPgDn});
  Snap(pages[3]);
  Keys({kEsc, kKeyT});
  RunWizard(*run);
  for (int i = 0; i < 4; ++i) {
    std::string name = "driver/page" + std::to_string(i + 1) + ".txt";
    EXPECT_EQ(pages[i], test::Golden(name, pages[i])) << name;
  }
  EXPECT_EQ(page1Colours, test::Golden("driver/page1.attr", page1Colours));
}

TEST_F(PagesTest, WalkingForwardAndBackKeepsEveryChoice) {
  Start();
  Keys({kPgDn});                        // page 1 -> 2 (paths are valid)
  Keys({kDown, kDown, kDown, kSpace});  // "Dane BIURA ..." on
  Keys({kPgDn});                        // -> 3
  Keys({kSpace});                       // "dane tekstowe firmy" off
  Keys({kPgUp});                        // -> 2
  std::string page2;
  Snap(page2);
  Keys({kPgDn, kPgDn});  // -> 3 -> 4
  Keys({kSpace});        // focus starts on "Zatrzymywac akcje co firme": on
  Keys({kPgUp, kPgDn});  // -> 3 -> 4
  Keys({kF5});
  Keys({kEnter});  // "Nacisnij Enter" comes later; not in this test
  RunWizard(*run);
  EXPECT_EQ(run->options.globalItems, 0x06D7 | 0x0008);
  EXPECT_EQ(run->options.firmItems, 0xFFFE);
  EXPECT_TRUE(run->options.stopPerFirm);
  EXPECT_TRUE(started);
  EXPECT_NE(page2.find("[■] Dane BIURA do wystawienia rachunków"_pl.empty()
                           ? ""
                           : Cp852ToUtf8("[■] Dane BIURA do wystawienia rachunków"_pl)),
            std::string::npos);
}

TEST_F(PagesTest, EscIsPoniechajOnEveryPageAndTheQuestionDefaultsToNo) {
  Start();
  std::string questions[4];
  for (int page = 1; page <= 4; ++page) {
    Keys({kEsc});
    Snap(questions[page - 1]);
    Keys({kEnter});  // default: no, the same page again
    if (page < 4) Keys({kPgDn});
  }
  Keys({kEsc, kKeyT});
  RunWizard(*run);
  EXPECT_EQ(run->currentPage, 4);
  for (const auto& q : questions)
    EXPECT_NE(q.find("Rezygnujesz z konwersji danych na nowy rok ?"), std::string::npos);
  EXPECT_FALSE(started);
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
}

TEST_F(PagesTest, PgUpOnPageOneAndPgDnOnPageFourDoNothing) {
  Start();
  std::string first, last;
  Keys({kPgUp});
  Snap(first);
  Keys({kPgDn, kPgDn, kPgDn, kPgDn});
  Snap(last);
  Keys({kF5});
  RunWizard(*run);
  EXPECT_NE(first.find(" Lokalizacja "), std::string::npos);
  EXPECT_NE(last.find(" START KOPIOWANIA "), std::string::npos);
  EXPECT_TRUE(started);
}

TEST_F(PagesTest, FamilyDataFollowsStaffDataBothWays) {
  Start();
  Keys({kPgDn, kPgDn});   // page 3, focus on the firm item group, first item
  Keys({kDown, kSpace});  // staff off: family goes with it at the next event
  Keys({kDown, kSpace});  // family on again while staff is off: undone at the next event
  Keys({kPgDn, kF5});
  RunWizard(*run);
  EXPECT_EQ(run->options.firmItems & 0x0006, 0);
  EXPECT_EQ(run->options.firmItems | 0x0006, 0xFFFF);
}

TEST_F(PagesTest, MissingFirmListKeepsPageOneWithFocusOnTheSource) {
  std::filesystem::remove(dir / "DOR_2019" / "SPISFIRM.DAT");
  test::WriteFile(dir / "DOR_2019" / "SPISFIRM.DAT", "");  // empty counts as missing
  Start();
  std::string box;
  Keys({kPgDn});
  Snap(box);
  Keys({kEnter});
  Type("\xAB");  // ź lands in the focused field (never in a temporary name)
  Keys({kEsc, kKeyT});
  RunWizard(*run);
  EXPECT_NE(box.find("Brak pliku SPISFIRM.DAT"), std::string::npos);
  EXPECT_NE(box.find(Cp852ToUtf8("Musisz wskazać katalog"_pl)), std::string::npos);
  EXPECT_NE(box.find(Cp852ToUtf8("głównym programu DOR_ZQ"_pl)), std::string::npos);
  EXPECT_EQ(run->currentPage, 1);
  EXPECT_NE(run->options.sourceTree.find('\xAB'), std::string::npos);
  EXPECT_EQ(run->options.targetTree.find('\xAB'), std::string::npos);
}

TEST_F(PagesTest, MissingTargetDirectoryIsReportedCentred) {
  std::filesystem::remove(dir / "DOR_2020");
  Start();
  std::string box;
  Keys({kPgDn});
  Snap(box);
  Keys({kEnter, kEsc, kKeyT});
  RunWizard(*run);
  EXPECT_NE(box.find("Brak katalogu"), std::string::npos);
  EXPECT_NE(box.find(Target()), std::string::npos);
  EXPECT_EQ(run->currentPage, 1);
  // The trailing backslash was added when the page was left.
  EXPECT_EQ(run->options.targetTree, Target());
}

TEST_F(PagesTest, TheSameDirectorySpeltTwoWaysIsRefused) {
  std::filesystem::create_directory_symlink(dir / "DOR_2019", dir / "LINK");
  test::WriteFile(dir / "zq18-20.PTH",
                  "DOR_2019=" + Source(false) + "\r\nDOR_2020=" + dir.Prefix() + "dor_2019\r\n");
  for (std::string target : {dir.Prefix() + "dor_2019", dir.Prefix() + "LINK", Source(false)}) {
    test::WriteFile(dir / "zq18-20.PTH",
                    "DOR_2019=" + Source(false) + "\r\nDOR_2020=" + target + "\r\n");
    rig.console.FlushInput();
    Start();
    std::string box;
    Keys({kPgDn});
    Snap(box);
    Keys({kEnter});
    Type("\xAB");  // ź: focus moved to the target field
    Keys({kEsc, kKeyT});
    RunWizard(*run);
    EXPECT_NE(box.find(Cp852ToUtf8("Katalogi nię mogą być identyczne !"_pl)), std::string::npos)
        << target;
    EXPECT_EQ(run->currentPage, 1) << target;
    EXPECT_NE(run->options.targetTree.find('\xAB'), std::string::npos) << target;
  }
}

TEST_F(PagesTest, SaveBoxWritesThePathSettings) {
  Start();
  Keys({kTab, kCtrlY});  // empty the target field: an empty Target tree is not checked
  Keys({kTab, kSpace});  // the save box
  Keys({kPgDn, kEsc, kKeyT});
  RunWizard(*run);
  EXPECT_EQ(test::ReadFile(dir / "zq18-20.PTH"),
            "[PATHS]\r\nDOR_2019=" + Source(false) + "\r\nDOR_2020=\r\n");
  EXPECT_EQ(run->currentPage, 2);
}

TEST_F(PagesTest, ALongPathIsKeptWhole) {
  std::string deep = dir.Prefix() + std::string(60, 'g') + "/" + std::string(60, 'h');
  std::filesystem::create_directories(deep);
  test::WriteFile(dir / "zq18-20.PTH",
                  "DOR_2019=" + Source(false) + "\r\nDOR_2020=" + deep + "\r\n");
  Start();
  Keys({kPgDn, kEsc, kKeyT});
  RunWizard(*run);
  EXPECT_EQ(run->options.targetTree, deep + "\\");
  EXPECT_EQ(run->currentPage, 2);
}

}  // namespace
}  // namespace zq::driver

namespace zq::driver {
namespace {

TEST_F(PagesTest, F2OnTheStartPageWritesTheChoicesForAnUnattendedReplay) {
  Start();
  // A choice off its default on page 3, then F2 on page 4 and a cancel.
  Keys({kPgDn, kPgDn, kSpace, kPgDn, 0x3C00, kF5});
  RunWizard(*run);
  EXPECT_TRUE(started);
  std::string text = test::ReadFile(dir / "zq18-20.AUT");
  ASSERT_FALSE(text.empty());
  AutoSettingsRead read = ParseAutoSettings(text);
  ASSERT_TRUE(read.Ok()) << read.problems.front();
  EXPECT_EQ(read.settings.options.sourceTree, run->options.sourceTree);
  EXPECT_EQ(read.settings.options.targetTree, run->options.targetTree);
  EXPECT_EQ(read.settings.options.firmItems, run->options.firmItems);
  EXPECT_NE(run->options.firmItems, ConversionOptions{}.firmItems);
  EXPECT_TRUE(read.settings.allFirms);
}

}  // namespace
}  // namespace zq::driver
