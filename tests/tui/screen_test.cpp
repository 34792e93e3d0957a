#include "tui/screen.h"

#include <gtest/gtest.h>

#include "platform/cp852.h"
#include "support/test_env.h"
#include "tui/progress_window.h"

namespace zq::tui {
namespace {

using zq::operator""_pl;

class ScreenTest : public ::testing::Test {
 protected:
  void Start() {
    rig.process.SetOwnPath(dir.Prefix() + "zq18-20.exe");
    screen.Start();
  }
  test::TempDir dir;
  test::HeadlessRig rig;
  Screen screen{rig.platform};
};

TEST(ProgramPaths, StemDropsTheExtensionOfTheLastComponentOnly) {
  EXPECT_EQ(PathStem("D:\\DOR_2020\\zq18-20.EXE"), "D:\\DOR_2020\\zq18-20");
  EXPECT_EQ(PathStem("D:\\DOR.2020\\zq18-20"), "D:\\DOR.2020\\zq18-20");
  EXPECT_EQ(PathStem("/opt/dor.2020/zq18-20"), "/opt/dor.2020/zq18-20");
  EXPECT_EQ(PathStem("/opt/x/zq18-20.bin"), "/opt/x/zq18-20");
  EXPECT_EQ(PathDirectory("D:\\DOR_2020\\zq18-20"), "D:\\DOR_2020\\");
  EXPECT_EQ(PathDirectory("/opt/x/zq18-20"), "/opt/x/");
  EXPECT_EQ(PathDirectory("zq18-20"), "");
  // The stem is never cut, however long the path.
  std::string longPath = "/" + std::string(200, 'k') + "/zq18-20.exe";
  EXPECT_EQ(PathStem(longPath), longPath.substr(0, longPath.size() - 4));
}

TEST(ProgramPaths, StartDirectoryKeepsARootBackslash) {
  EXPECT_EQ(TrimStartDirectory("C:\\"), "C:\\");
  EXPECT_EQ(TrimStartDirectory("C:\\WORK\\"), "C:\\WORK");
  EXPECT_EQ(TrimStartDirectory("/"), "/");
  EXPECT_EQ(TrimStartDirectory("/home/x/"), "/home/x");
}

TEST_F(ScreenTest, ColoursFileCases) {
  Start();
  EXPECT_EQ(screen.Scheme().at, kDefaultScheme.at);  // missing file

  std::string good = "\x17\x1F\x2F\x70\x07\x02\x0F\x0F\x4F\x0F\x70";
  test::WriteFile(dir / "kolory.zq", good);
  Start();
  EXPECT_EQ(screen.Scheme()[0], 0x17);
  EXPECT_EQ(screen.ControlAttr(kField), 0x2F);

  test::WriteFile(dir / "kolory.zq", std::string("\0\0\0\0\x11\x11\x11\x11\x11\x11\x11", 11));
  Screen zeros(rig.platform);
  zeros.Start();
  EXPECT_EQ(zeros.Scheme().at, kDefaultScheme.at);

  test::WriteFile(dir / "kolory.zq", "\x17\x1F");  // short record
  Screen shortFile(rig.platform);
  shortFile.Start();
  EXPECT_EQ(shortFile.Scheme().at, kDefaultScheme.at);

  test::WriteFile(dir / "kolory.zq", good + "trailing garbage");
  Screen longer(rig.platform);
  longer.Start();
  EXPECT_EQ(longer.Scheme()[0], 0x17);
}

TEST_F(ScreenTest, OnlyExactOffSilencesTheBeeper) {
  for (const char* value : {"off", "OFF ", "Off", "ON", ""}) {
    rig.process.SetEnvironment("ZQSOUND", value);
    Start();
    screen.ErrorBeep();
    EXPECT_FALSE(screen.SoundOff()) << value;
  }
  EXPECT_EQ(rig.console.Beeps().size(), 5u);
  EXPECT_EQ(rig.console.Beeps().back(), std::make_pair(500, 288));
  rig.process.SetEnvironment("ZQSOUND", "OFF");
  Start();
  screen.Beep(2, 1200);
  EXPECT_EQ(rig.console.Beeps().size(), 5u);
}

TEST_F(ScreenTest, WindowsStackAndGiveBackWhatLayBeneath) {
  Start();
  screen.WriteAbsolute(0x07, 1, 5, std::string(80, 'x'));
  std::string before = rig.console.ScreenText();
  {
    auto outer = screen.OpenWindow(10, 3, 40, 10, " Tytuł "_pl, 0x0F, 0x07, 0x02);
    ASSERT_TRUE(outer);
    std::string top = rig.console.RowText(2);
    std::string dashes;
    for (int i = 0; i < 11; ++i) dashes += "─";
    EXPECT_EQ(top.substr(top.find("┌"), std::string("┌").size() * 2 + dashes.size() * 2 + 8),
              "┌" + dashes + " Tytuł " + dashes + "┐");
    EXPECT_EQ(rig.console.At(9, 2).ch, 0xDA);
    EXPECT_EQ(rig.console.At(39, 9).ch, 0xD9);
    EXPECT_EQ(rig.console.At(10, 4).attr, 0x02);  // cleared inside
    screen.WriteAt(0x1E, 1, 1, "abc");
    EXPECT_EQ(rig.console.At(10, 3).ch, 'a');  // inside starts one cell in
    // Writes are clipped to the inside, never drawn on the frame.
    screen.WriteAt(0x1E, 28, 2, "123456");
    EXPECT_EQ(rig.console.At(39, 4).ch, 0xB3);
    {
      auto inner = screen.OpenWindow(20, 5, 60, 12, "", 0x0F, 0x07, 0x02);
      ASSERT_TRUE(inner);
      EXPECT_EQ(screen.OpenedWindow(), inner.get());
      screen.WriteAt(0x1E, 1, 1, "in");
      EXPECT_EQ(rig.console.At(20, 5).ch, 'i');
    }
    EXPECT_EQ(screen.OpenedWindow(), outer.get());
    EXPECT_EQ(rig.console.At(10, 3).ch, 'a');
  }
  EXPECT_EQ(screen.OpenedWindow(), nullptr);
  EXPECT_EQ(rig.console.ScreenText(), before);
}

TEST_F(ScreenTest, WindowOutsideTheScreenFails) {
  Start();
  EXPECT_FALSE(screen.OpenWindow(0, 1, 10, 5, "", 7, 7, 7));
  EXPECT_FALSE(screen.OpenWindow(70, 20, 81, 25, "", 7, 7, 7));
  EXPECT_FALSE(screen.OpenWindow(10, 10, 11, 11, "", 7, 7, 7));
  EXPECT_TRUE(screen.OpenWindow(1, 1, 80, 25, "", 7, 7, 7));
}

TEST_F(ScreenTest, KeptWindowGetsItsOwnContentsBack) {
  Start();
  auto w = screen.OpenWindow(5, 5, 30, 10, "", 7, 7, 2, {true, true, true});
  screen.WriteAt(0x1E, 2, 2, "zachowaj");
  w->Hide();
  EXPECT_EQ(rig.console.At(6, 6).ch, ' ');
  EXPECT_EQ(rig.console.At(4, 4).ch, ' ');
  w->Show();
  EXPECT_EQ(rig.console.At(6, 6).ch, 'z');
}

TEST_F(ScreenTest, ClockShowsOncePerSecondAtTheTopRight) {
  Start();
  rig.clock.Set({2020, 1, 2, 9, 5, 7, 0, 4});
  screen.ClockTick();
  EXPECT_EQ(rig.console.RowText(0).substr(72), "09:05:07");
  EXPECT_EQ(rig.console.At(72, 0).attr, 0x0F);
  screen.WriteAbsolute(0x07, 73, 1, "        ");
  screen.ClockTick();  // 64 ms later: same second, nothing written
  EXPECT_EQ(rig.console.RowText(0).substr(72), "        ");
  for (int i = 0; i < 15; ++i) screen.ClockTick();
  EXPECT_EQ(rig.console.RowText(0).substr(72), "09:05:08");
}

TEST_F(ScreenTest, ProgressWindowFillsAndStopsAtAFullBar) {
  Start();
  std::string before = rig.console.ScreenText();
  {
    ProgressWindow progress(screen, "", "Wstawianie...", 10);
    ASSERT_TRUE(progress.Opened());
    EXPECT_NE(rig.console.RowText(8).find("Czekaj ..."), std::string::npos);
    // The bar fills the inner width exactly, frame untouched.
    EXPECT_EQ(rig.console.At(20, 11).ch, 0xB0);
    EXPECT_EQ(rig.console.At(54, 11).ch, 0xB0);
    EXPECT_EQ(rig.console.At(55, 11).ch, 0xB3);
    EXPECT_EQ(rig.console.At(22, 9).ch, 'W');
    progress.Step(5);
    EXPECT_EQ(rig.console.At(20 + 16, 11).ch, 0xDB);
    EXPECT_EQ(rig.console.At(20 + 17, 11).ch, 0xB0);
    progress.Step(100);
    EXPECT_EQ(progress.Position(), 10);
    EXPECT_EQ(rig.console.At(54, 11).ch, 0xDB);
    EXPECT_EQ(rig.console.At(55, 11).ch, 0xB3);
    EXPECT_NE(rig.console.RowText(13).find("      10"), std::string::npos);
    EXPECT_EQ(rig.console.At(27, 13).attr, 0x4F);
    progress.Reset();
    EXPECT_EQ(rig.console.At(20, 11).ch, 0xB1);
  }
  EXPECT_EQ(rig.console.ScreenText(), before);
}

}  // namespace
}  // namespace zq::tui
