#include "driver/firm_selection.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "driver/discovery.h"
#include "driver/startup.h"
#include "driver/wizard.h"
#include "platform/cp852.h"
#include "shared/firm_record.h"
#include "support/test_env.h"

namespace zq::driver {
namespace {

using zq::operator""_pl;
namespace fs = std::filesystem;

enum : std::uint16_t {
  kEnter = 0x1C0D,
  kEsc = 0x011B,
  kSpace = 0x3920,
  kDown = 0x5000,
  kHome = 0x4700,
  kEnd = 0x4F00,
  kPgDn = 0x5100,
  kTab = 0x0F09,
  kShiftTab = 0x0F00,
  kF5 = 0x3F00,
  kCtrlW = 0x1117,
  kCtrlD = 0x2004,
};

constexpr char kSearchMarker = '\xAF';  // »

class FirmSelectionTest : public ::testing::Test {
 protected:
  void Add(std::string_view name, std::string_view directory, std::string_view info = "") {
    firms.Add(shared::MakeFirmRecord(name, directory, info));
  }
  void Keys(std::initializer_list<std::uint16_t> keys) { rig.console.PushKeys(keys); }
  void Type(std::string_view cp852) { rig.console.PushText(cp852); }

  // What the screen shows for the firm of that name: its mark and the row marker in
  // front of its line; nothing when the firm is not in view.
  struct Shown {
    char mark = 0;
    char marker = 0;
  };
  std::optional<Shown> Look(std::string_view name) const {
    for (int row = 0; row < platform::Console::kRows; ++row) {
      std::string cells;
      for (int c = 0; c < platform::Console::kColumns; ++c)
        cells += static_cast<char>(rig.console.At(c, row).ch);
      std::size_t at = cells.find(name);
      if (at == std::string::npos || at == 0 || at + kMarkColumn > cells.size()) continue;
      return Shown{cells[at + kMarkColumn - 1], cells[at - 1]};
    }
    return std::nullopt;
  }
  // Records what Look gives at this point of the key script.
  void Snap(std::string_view name, std::optional<Shown>& into) {
    rig.console.PushAction([this, name, &into] { into = Look(name); });
  }
  bool Choose() { return ChooseFirms(screen, firms); }

  test::HeadlessRig rig;
  tui::Screen screen{rig.platform};
  FirmList firms;
};

TEST_F(FirmSelectionTest, EachLineHoldsNameMarkDirectoryAndTheStartOfTheNote) {
  Add(std::string(31, 'N'), "KATALOG8", "0123456789ABCDEFGHIJKLMNO");
  Add("Krótka"_pl, "K", "");
  firms.At(2).selected = false;
  std::string full = FirmLine(firms.At(1));
  EXPECT_EQ(full, std::string(31, 'N') + "\xFE KATALOG8 0123456789");
  std::string shortLine = FirmLine(firms.At(2));
  ASSERT_EQ(shortLine.size(), 52u);
  EXPECT_EQ(shortLine, tui::PadCut(std::string("Krótka"_pl), 31) + "\xFA K" + std::string(18, ' '));
}

TEST_F(FirmSelectionTest, SpaceTogglesTheCurrentFirmAndMarksStayWithTheirFirms) {
  for (int i = 1; i <= 15; ++i) {
    char name[16], dir[8];
    std::snprintf(name, sizeof name, "Firma %02d", i);
    std::snprintf(dir, sizeof dir, "D%02d", i);
    Add(name, dir);
  }
  std::optional<Shown> first, thirteen, firstAgain, secondAgain, thirteenAgain;
  Keys({kSpace});
  for (int i = 0; i < 12; ++i) Keys({kDown});
  Keys({kSpace});
  Snap("Firma 13", thirteen);
  Snap("Firma 01", first);
  Keys({kHome});
  Snap("Firma 01", firstAgain);
  Snap("Firma 02", secondAgain);
  Keys({kEnd});
  Snap("Firma 13", thirteenAgain);
  Keys({kF5});
  EXPECT_TRUE(Choose());

  ASSERT_TRUE(thirteen);
  EXPECT_EQ(thirteen->mark, '\xFA');
  EXPECT_EQ(thirteen->marker, '>');
  EXPECT_FALSE(first) << "the list should have scrolled";
  ASSERT_TRUE(firstAgain && secondAgain && thirteenAgain);
  EXPECT_EQ(firstAgain->mark, '\xFA');
  EXPECT_EQ(secondAgain->mark, '\xFE');
  EXPECT_EQ(thirteenAgain->mark, '\xFA');
  for (int i = 1; i <= 15; ++i) EXPECT_EQ(firms.At(i).selected, i != 1 && i != 13) << i;
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
}

TEST_F(FirmSelectionTest, CtrlDDeselectsAllCtrlWSelectsAllAndF5StartsEvenWithNone) {
  Add("Alfa", "A");
  Add("Beta", "B");
  Add("Gamma", "G");
  std::optional<Shown> noneA, noneG, allB;
  Keys({kCtrlD});
  Snap("Alfa", noneA);
  Snap("Gamma", noneG);
  Keys({kCtrlW});
  Snap("Beta", allB);
  Keys({kDown, kSpace, kCtrlD, kF5});
  EXPECT_TRUE(Choose());
  ASSERT_TRUE(noneA && noneG && allB);
  EXPECT_EQ(noneA->mark, '\xFA');
  EXPECT_EQ(noneG->mark, '\xFA');
  EXPECT_EQ(allB->mark, '\xFE');
  EXPECT_EQ(firms.SelectedCount(), 0);
}

TEST_F(FirmSelectionTest, EscLeavesWithoutStarting) {
  Add("Alfa", "A");
  Add("Beta", "B");
  Keys({kDown, kSpace, kEsc});
  EXPECT_FALSE(Choose());
  EXPECT_TRUE(firms.At(1).selected);
  EXPECT_FALSE(firms.At(2).selected);

  // An empty list has no current firm to toggle.
  firms.Release();
  Keys({kSpace, kCtrlW, kF5});
  EXPECT_TRUE(Choose());
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
}

TEST_F(FirmSelectionTest, TabSwitchesQuickSearchBetweenNameAndDirectory) {
  Add("Alfa", "ZETA");
  Add("Beta", "ALFA");
  Add("Zeta", "BETA");
  std::optional<Shown> byName, byDirectory, backToName;
  Type("z");
  Snap("Zeta", byName);
  Keys({kTab});
  Type("ze");
  Snap("Alfa", byDirectory);
  Keys({kShiftTab});
  Type("b");
  Snap("Beta", backToName);
  Keys({kF5});
  EXPECT_TRUE(Choose());
  ASSERT_TRUE(byName && byDirectory && backToName);
  EXPECT_EQ(byName->marker, '>');
  EXPECT_EQ(byDirectory->marker, kSearchMarker);
  EXPECT_EQ(backToName->marker, '>');
}

TEST_F(FirmSelectionTest, QuickSearchKnowsPolishLetters) {
  Add("Kowalski", "KOW");
  Add("Łódzka Spółka"_pl, "LODZ");
  Add("Lis", "LIS");
  Add("Łaska"_pl, "LASK");
  Add("Ósemka"_pl, "OSEM");
  // Each search picks its firm and Space deselects it; Home starts the next search
  // afresh.
  Type("łó"_pl);
  Keys({kSpace, kHome});
  Type("ła"_pl);
  Keys({kSpace, kHome});
  Type("l");
  Keys({kSpace, kHome});
  Type("ó"_pl);
  Keys({kSpace, kF5});
  EXPECT_TRUE(Choose());
  EXPECT_TRUE(firms.At(1).selected);
  for (int i = 2; i <= 5; ++i) EXPECT_FALSE(firms.At(i).selected) << i;
  EXPECT_TRUE(rig.console.Beeps().empty());
}

TEST_F(FirmSelectionTest, AMissedSearchBeepsAndChangesNothing) {
  Add("Alfa", "A");
  Add("Beta", "B");
  Type("bx");
  Keys({kSpace, kF5});
  EXPECT_TRUE(Choose());
  // "b" found Beta, "bx" missed; Beta stayed current.
  EXPECT_TRUE(firms.At(1).selected);
  EXPECT_FALSE(firms.At(2).selected);
  EXPECT_FALSE(rig.console.Beeps().empty());
}

// The whole screen as the user sees it after the recognition: banner, log, window.
class FirmSelectionScreenTest : public ::testing::Test {
 protected:
  FirmSelectionScreenTest() {
    rig.process.SetOwnPath(dir.Prefix() + "zq18-20.exe");
    run = std::make_unique<RunState>(rig.platform);
    StartUp(*run);
    DrawBanner(*run, {});
    run->options.sourceTree = dir.Prefix() + "DOR_2019\\";
    run->options.targetTree = dir.Prefix() + "DOR_2020\\";
  }
  void Tree(const std::vector<shared::FirmRecordBytes>& source,
            const std::vector<std::string>& sourceDirs,
            const std::vector<std::string>& targetDirs) {
    std::string bytes;
    for (const auto& r : source) bytes.append(reinterpret_cast<const char*>(r.data()), r.size());
    test::WriteFile(dir / "DOR_2019" / "SPISFIRM.DAT", bytes);
    fs::create_directories(dir / "DOR_2020");
    for (const auto& d : sourceDirs) fs::create_directories(dir / "DOR_2019" / d);
    for (const auto& d : targetDirs) fs::create_directories(dir / "DOR_2020" / d);
  }

  test::TempDir dir;
  test::HeadlessRig rig;
  std::unique_ptr<RunState> run;
};

TEST_F(FirmSelectionScreenTest, TheWindowLooksAsDesigned) {
  std::vector<shared::FirmRecordBytes> list = {
      shared::MakeFirmRecord("Przedsiębiorstwo Handlowe ŁUKASZ"_pl, "LUKASZ",
                             "Sklep spożywczy w Łodzi ul. Piotrkowska"_pl),
      shared::MakeFirmRecord("Biuro Rachunkowe", "BIURO", "ksiegi"),
      shared::MakeFirmRecord("Już przeniesiona"_pl, "STARA", ""),
  };
  for (int i = 1; i <= 12; ++i)
    list.push_back(shared::MakeFirmRecord("Firma nr " + std::to_string(i), "F" + std::to_string(i),
                                          "info " + std::to_string(i)));
  std::vector<std::string> sourceDirs = {"LUKASZ", "BIURO", "STARA"};
  for (int i = 1; i <= 12; ++i) sourceDirs.push_back("F" + std::to_string(i));
  Tree(list, sourceDirs, {"STARA"});

  FirmList firms;
  ASSERT_EQ(RecogniseEnvironment(*run, firms), 14);
  std::string text, colours;
  rig.console.PushKeys({kDown, kSpace});
  rig.console.PushAction([&] {
    text = rig.console.ScreenText();
    colours = rig.console.AttributeMap(false) + rig.console.AttributeMap(true);
  });
  rig.console.PushKeys({kEsc});
  EXPECT_FALSE(ChooseFirms(run->screen, firms));
  EXPECT_EQ(text, test::Golden("driver/firm_selection.txt", text));
  EXPECT_EQ(colours, test::Golden("driver/firm_selection.attr", colours));
}

TEST_F(FirmSelectionScreenTest, EscInTheWindowCarriesNoFirmOver) {
  Tree({shared::MakeFirmRecord("Alfa", "ALFA", ""), shared::MakeFirmRecord("Beta", "BETA", "")},
       {"ALFA", "BETA"}, {});
  fs::create_directories(dir / "DOR_2019" / "ALFA");
  test::WriteFile(dir / "DOR_2019" / "ALFA" / "2019_ROK.REK", std::string(512, '\0'));
  InstallWizard(*run);
  std::string shown;
  rig.console.PushAction([&] { shown = rig.console.ScreenText(); });
  rig.console.PushKeys({kEsc});
  run->steps.perFirmRun(*run);
  EXPECT_NE(shown.find("BAZA FIRM"), std::string::npos);
  EXPECT_TRUE(fs::is_empty(dir / "DOR_2020"));
  EXPECT_EQ(run->log.Row(), convert::ProgressLog::kFirstScrollRow);
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
}

}  // namespace
}  // namespace zq::driver
