// What both host consoles share: the keys of an ended input and how they end a
// program that does not end by itself, and the placing of the too-small notice.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/buffered_console.h"
#include "platform/cp852.h"
#include "platform/process.h"

namespace zq::platform {
namespace {

using zq::operator""_pl;

TEST(EndOfInputKeys, EscAtOnceThenOnePerIntervalThenGiveUp) {
  using Step = EndOfInputKeys::Step;
  constexpr long long kInterval = EndOfInputKeys::kIntervalMs;
  EndOfInputKeys keys;
  long long t = 10'000;
  EXPECT_EQ(keys.Next(t), Step::kEsc);
  EXPECT_EQ(keys.Next(t), Step::kWait);
  EXPECT_EQ(keys.Next(t + kInterval - 1), Step::kWait);
  for (int n = 2; n <= EndOfInputKeys::kMaxKeys; ++n) {
    t += kInterval;
    EXPECT_EQ(keys.Next(t - 1), Step::kWait) << n;
    EXPECT_EQ(keys.Next(t), Step::kEsc) << n;
  }
  EXPECT_EQ(keys.Sent(), EndOfInputKeys::kMaxKeys);
  // The last Esc still has its interval to end the program in.
  EXPECT_EQ(keys.Next(t + kInterval - 1), Step::kWait);
  EXPECT_EQ(keys.Next(t + kInterval), Step::kGiveUp);
  EXPECT_EQ(keys.Next(t + 10 * kInterval), Step::kGiveUp);
  EXPECT_EQ(keys.Sent(), EndOfInputKeys::kMaxKeys);
}

TEST(EndOfInputKeys, AProgramPollingSlowlyStillGetsEveryKey) {
  EndOfInputKeys keys;
  int esc = 0;
  long long t = 0;
  while (keys.Next(t) == EndOfInputKeys::Step::kEsc) {
    ++esc;
    t += 5 * EndOfInputKeys::kIntervalMs;  // a page that takes its time to redraw
  }
  EXPECT_EQ(esc, EndOfInputKeys::kMaxKeys);
}

// A console whose input has ended, on a clock the test moves.
class EndedConsole : public BufferedConsole {
 public:
  long long now = 0;
  std::vector<std::string> calls;

  bool SetSize(int, int) override { return true; }
  void SetTitle(std::string_view) override {}
  bool PollEvent(InputEvent& event) override { return EndOfInputKey(event, now, kNumLock); }
  int PendingEvents() override { return 0; }
  void FlushInput() override {}
  void Beep(int, int) override {}
  bool GetClipboard(std::string&) override { return false; }
  bool SetClipboard(std::string_view) override { return false; }
  void Restore() override { calls.push_back("restore"); }

 protected:
  void FlushFrame(bool) override {}
  void WriteError(std::string_view cp852) override { calls.push_back(std::string(cp852)); }
};

TEST(BufferedConsole, EndedInputRunsTheProgramDownWithEscThenEndsIt) {
  EndedConsole console;
  int keys = 0;
  int exitCode = -1;
  try {
    // A program that takes every Esc as "go back" and asks again, for ever.
    for (int poll = 0; poll < 100'000; ++poll) {
      InputEvent e;
      if (console.PollEvent(e)) {
        ASSERT_EQ(e.kind, InputEvent::Kind::Key);
        EXPECT_EQ(e.key.Code(), 0x011B);
        EXPECT_EQ(e.key.shift, kNumLock);
        ++keys;
      }
      console.now += 10;
    }
  } catch (const ProgramExit& exit) {
    exitCode = exit.code;
  }
  EXPECT_EQ(exitCode, BufferedConsole::kEndOfInputExitCode);
  EXPECT_EQ(exitCode, 1);
  EXPECT_EQ(keys, EndOfInputKeys::kMaxKeys);
  // Within seconds, not at the end of the loop.
  EXPECT_LE(console.now, (EndOfInputKeys::kMaxKeys + 1) * EndOfInputKeys::kIntervalMs);
  // The console is given back first, so the message stays where the user sees it.
  ASSERT_EQ(console.calls.size(), 2u);
  EXPECT_EQ(console.calls[0], "restore");
  EXPECT_EQ(console.calls[1], "Koniec danych wejściowych: program kończy pracę."_pl);
}

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
