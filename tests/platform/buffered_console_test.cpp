// What both host consoles share: the cells and cursor kept for the host, and the
// placing of the too-small notice.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/buffered_console.h"
#include "platform/cp852.h"

namespace zq::platform {
namespace {

using zq::operator""_pl;

// A console whose input has ended, on a clock the test moves.
class EndedConsole : public BufferedConsole {
 public:
  long long now = 0;

  bool SetSize(int, int) override { return true; }
  void SetTitle(std::string_view) override {}
  bool PollEvent(InputEvent& event) override { return EndOfInputKey(event, now, kNumLock); }
  int PendingEvents() override { return 0; }
  void FlushInput() override {}
  void Beep(int, int) override {}
  bool GetClipboard(std::string&) override { return false; }
  bool SetClipboard(std::string_view) override { return false; }
  void Restore() override {}

 protected:
  void FlushFrame(bool) override {}
};

TEST(BufferedConsole, CursorAndCellsAreKeptForTheHost) {
  EndedConsole console;
  console.SetCursorPosition(-3, 40);
  console.SetCursorInfo(CursorInfo{250, false});
  EXPECT_EQ(console.GetCursorInfo().percent, 100);
  EXPECT_FALSE(console.GetCursorInfo().visible);
  console.SetCursorInfo(CursorInfo{0, true});
  EXPECT_EQ(console.GetCursorInfo().percent, 1);
  Cell written[3] = {{'a', 0x1F}, {'b', 0x1F}, {'c', 0x1F}};
  console.WriteCells(78, 24, written);  // the last one falls off the grid
  Cell back[3];
  console.ReadCells(78, 24, back);
  EXPECT_EQ(back[0], written[0]);
  EXPECT_EQ(back[1], written[1]);
  EXPECT_EQ(back[2], Cell{});
  EXPECT_EQ(console.Columns(), 80);
  EXPECT_EQ(console.Rows(), 25);
}

TEST(PlaceNotice, WrapsAtBlanksAndCentresInTheSpaceThereIs) {
  auto lines = PlaceNotice("Okno terminala jest za małe: potrzeba 80 x 25 znaków."_pl, 30, 10);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].text, "Okno terminala jest za małe:"_pl);
  EXPECT_EQ(lines[1].text, "potrzeba 80 x 25 znaków."_pl);
  EXPECT_EQ(lines[0].row, 4);
  EXPECT_EQ(lines[1].row, 5);
  EXPECT_EQ(lines[0].column, 1);  // 28 characters in 30
  EXPECT_EQ(lines[1].column, 3);  // 24 in 30
}

TEST(PlaceNotice, LongWordsAreCutAndRowsBelowTheLastLeftOut) {
  auto lines = PlaceNotice("ab 1234567 c", 3, 2);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].text, "ab");
  EXPECT_EQ(lines[1].text, "123");
  EXPECT_EQ(lines[0].row, 0);
  EXPECT_EQ(lines[1].row, 1);
  // No room at all still shows what fits, from the top left.
  auto tiny = PlaceNotice("xyz", 0, 1);
  ASSERT_EQ(tiny.size(), 1u);
  EXPECT_EQ(tiny[0].text, "x");
  EXPECT_EQ(tiny[0].column, 0);
}

}  // namespace
}  // namespace zq::platform
