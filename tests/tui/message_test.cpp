#include "tui/message.h"

#include <gtest/gtest.h>

#include "tui/controls.h"
#include "tui/dialog.h"
#include "tui/dialog_rig.h"
#include "tui/event.h"

namespace zq::tui {
namespace {

using test::DialogRig;
using zq::operator""_pl;

const std::string kCancelQuestion = std::string("Rezygnujesz z konwersji danych na nowy rok ?"_pl);

// The cancel question at row 10, column 10: the window spans columns 10..59, rows
// 10..15; "T a k" stands on row 13, "N i e" on row 14.
constexpr int kYesRow = 13, kNoRow = 14;

bool Ask(DialogRig& r, bool defaultYes) {
  return YesNoQuestion(r.screen, defaultYes, kCancelQuestion, 10, 10);
}

TEST(YesNoQuestion, EnterTakesTheDefaultArrowsFlipIt) {
  DialogRig r;
  r.console.PushKey(key::kEnter);
  EXPECT_FALSE(Ask(r, false));
  r.console.PushKey(key::kEnter);
  EXPECT_TRUE(Ask(r, true));
  r.console.PushKeys({key::kDown, key::kEnter});
  EXPECT_TRUE(Ask(r, false));
  r.console.PushKeys({key::kUp, key::kUp, key::kUp, key::kEnter});
  EXPECT_FALSE(Ask(r, true));
}

TEST(YesNoQuestion, LettersAndStatusLineKeysAnswerEscDoesNothing) {
  DialogRig r;
  r.console.PushKeys({key::kEsc, 0x1474});  // Esc, then t
  EXPECT_TRUE(Ask(r, false));
  r.console.PushKey(0x1454);  // T
  EXPECT_TRUE(Ask(r, false));
  r.console.PushText("n");
  EXPECT_FALSE(Ask(r, true));
  r.console.PushText("N");
  EXPECT_FALSE(Ask(r, true));
  r.console.PushKeys({key::kF5, key::kTab, key::kSpace, key::kCtrlT});
  EXPECT_TRUE(Ask(r, false));
  r.console.PushKey(key::kCtrlN);
  EXPECT_FALSE(Ask(r, true));
  EXPECT_EQ(r.console.ScriptLeft(), 0u);
}

TEST(YesNoQuestion, MouseRules) {
  DialogRig r;
  r.Click(30, kYesRow);
  EXPECT_TRUE(Ask(r, false));
  r.Click(11, kYesRow);  // first inside column
  EXPECT_TRUE(Ask(r, false));
  r.Click(10, kYesRow);  // on the frame: not inside
  EXPECT_FALSE(Ask(r, true));
  r.Click(30, kNoRow);
  EXPECT_FALSE(Ask(r, true));
  r.Click(70, 3);  // anywhere else is no
  EXPECT_FALSE(Ask(r, true));
  r.Click(30, kYesRow, platform::kMouseRight);  // other buttons are no
  EXPECT_FALSE(Ask(r, true));
}

TEST(YesNoQuestion, ShowsChoicesAndGivesTheScreenBack) {
  DialogRig r;
  StatusLine beneath(r.screen, {{0x1001, key::kPgDn, "PgDn-Dalej"}});
  std::string before = r.Snapshot();
  r.Then([&] {
    EXPECT_EQ(r.AttrAt(12, kNoRow), 0x70);  // the answer shown: scheme[10]
    EXPECT_EQ(r.AttrAt(12, kYesRow), 0x02);
    EXPECT_EQ(r.AttrAt(13, kYesRow), 0x0F);  // hot letter of the other choice
    EXPECT_EQ(r.Row(25), " ^T - tak│^N - nie│");
  });
  r.console.PushKey(key::kDown);
  r.Then([&] {
    EXPECT_EQ(r.AttrAt(12, kYesRow), 0x70);
    EXPECT_EQ(r.AttrAt(13, kNoRow), 0x0F);
  });
  r.console.PushKey(key::kEnter);
  EXPECT_TRUE(Ask(r, false));
  EXPECT_EQ(r.Snapshot(), before);
}

TEST(YesNoQuestion, MovesUpAndLeftToFitAndTakesSeveralLines) {
  DialogRig r;
  std::string text = "Pierwsza linia\r" + std::string(80, 'x') + "\rtrzecia";
  r.Then([&] {
    // Width 76 (the longest, cut), so column 1; three lines from row 24-3-5 = 16.
    EXPECT_EQ(r.Cells(1, 16, 1), "\xDA");
    EXPECT_EQ(r.Cells(80, 16, 1), "\xBF");
    EXPECT_EQ(r.Cells(3, 17, 14), "Pierwsza linia");
    EXPECT_EQ(r.Cells(3, 18, 76), std::string(76, 'x'));
    EXPECT_EQ(r.Cells(1, 23, 1), "\xC0");
  });
  r.console.PushText("t");
  EXPECT_TRUE(YesNoQuestion(r.screen, false, text, 20, 60));
}

TEST(YesNoQuestion, NarrowTextGetsSevenColumns) {
  DialogRig r;
  r.Then([&] {
    EXPECT_EQ(r.Cells(10, 10, 11), "\xDA" + std::string(9, '\xC4') + "\xBF");
    EXPECT_EQ(r.Cells(11, 11, 9), " Ok?     ");
  });
  r.console.PushKey(key::kEnter);
  YesNoQuestion(r.screen, false, "Ok?", 10, 10);
}

TEST(MessageBox, LayoutCodesTitleAndButtons) {
  DialogRig r;
  std::string shot;
  r.Then([&] { shot = r.Snapshot(); });
  r.console.PushText("n");  // the hot key of "Nie"
  std::string text = std::string(" Plik zajęty "_pl) + kTitleEnd + kCentre + "Czy czekamy ?\r\r" +
                     std::string("linia zwykła"_pl) + kNewLine + kCentre + std::string(60, 'w');
  EXPECT_EQ(MessageBox(r.screen, 0x0302, text), kCmNo);
  EXPECT_EQ(shot, zq::test::Golden("tui/message_box.txt", shot));
  // The inside starts at column 21, row 9: the centred line at (40 - 13) / 2 = 13, the
  // empty line skipped but counted, the plain line at 1, the long one cut to 38.
  test::DialogRig check;
  check.Then([&] {
    EXPECT_NE(check.Row(8).find(" Plik zajęty "), std::string::npos);  // UTF-8 row text
    EXPECT_EQ(check.Cells(33, 9, 13), "Czy czekamy ?");
    EXPECT_EQ(check.Row(10), "                   │                                      │");
    EXPECT_EQ(check.Cells(21, 11, 12), "linia zwykła"_pl);
    EXPECT_EQ(check.Cells(21, 12, 39), std::string(38, 'w') + "\xB3");
  });
  check.console.PushKey(key::kEsc);
  EXPECT_EQ(MessageBox(check.screen, 0x0302, text), kCmCancel);
}

TEST(MessageBox, KindsGiveTheirTitles) {
  DialogRig r;
  const std::pair<std::uint16_t, std::string> kinds[] = {
      {0x0400, " UWAGA "}, {0x0401, " Błąd "}, {0x0402, " Informacja "}, {0x0403, " Potwierdź "}};
  for (const auto& [flags, title] : kinds) {
    std::string top;
    r.Then([&] { top = r.Row(8); });
    r.console.PushKey(key::kEnter);
    EXPECT_EQ(MessageBox(r.screen, flags, "x"), kCmOk);
    EXPECT_NE(top.find(title), std::string::npos) << title;
  }
}

TEST(MessageBox, ButtonsAreSpreadEvenly) {
  DialogRig r;
  // The inside starts at column 21; buttons stand on row 15.
  r.Then([&] {
    // Width 40, four buttons: gap (40 - 36) / 5 = 0, which would put the first on the
    // frame; they start one column in: inside columns 1, 10, 19, 28.
    EXPECT_EQ(r.Cells(22, 15, 9), "\xAF  Tak  \xAE");
    // (the focused face, one column to the right, touches the next button's first cell)
    EXPECT_EQ(r.Cells(31, 15, 8), "  Nie   ");
    EXPECT_EQ(r.Cells(39, 15, 9), "   OK    ");
    EXPECT_EQ(r.Cells(48, 15, 9), " Porzuć  "_pl);
  });
  r.console.PushKey(key::kEnter);
  EXPECT_EQ(MessageBox(r.screen, 0x0F00, "?"), kCmYes);
  r.Then([&] {
    // Two buttons: gap (40 - 18) / 3 = 7, inside columns 7 and 23.
    EXPECT_EQ(r.Cells(28, 15, 9), "\xAF  Tak  \xAE");
    EXPECT_EQ(r.Cells(43, 15, 9), "   Nie   ");
  });
  r.console.PushKeys({key::kTab, key::kEnter});
  EXPECT_EQ(MessageBox(r.screen, 0x0300, "?"), kCmNo);
}

TEST(MessageBox, EscAndRightButtonCancel) {
  DialogRig r;
  r.console.PushKey(key::kEsc);
  EXPECT_EQ(MessageBox(r.screen, 0x0300, "?"), kCmCancel);
  r.Click(40, 12, platform::kMouseRight);
  EXPECT_EQ(ErrorBox(r.screen, "?"), kCmCancel);
}

TEST(MessageBox, ErrorColoursAreBorrowedAndPutBack) {
  DialogRig r;
  StatusLine beneath(r.screen, {{0, 0, "spod"}});
  ColourScheme before = r.screen.Scheme();
  std::string screenBefore = r.Snapshot();
  r.Then([&] {
    EXPECT_EQ(r.AttrAt(20, 8), 0x4F);  // frame
    EXPECT_EQ(r.AttrAt(21, 9), 0x4F);  // text
    EXPECT_EQ(r.AttrAt(40, 8), 0x4F);  // title
    EXPECT_EQ(r.screen.Scheme()[4], 0x4F);
    EXPECT_EQ(r.Row(25), " ?│");
  });
  r.console.PushKey(key::kEnter);
  EXPECT_EQ(ErrorBox(r.screen,
                     "\x03"
                     "Brak katalogu\r\x03"
                     "D:\\X\\"),
            kCmOk);
  EXPECT_EQ(r.screen.Scheme().at, before.at);
  EXPECT_EQ(r.Snapshot(), screenBefore);
  // Other kinds keep the scheme.
  r.Then([&] { EXPECT_EQ(r.AttrAt(20, 8), 0x07); });
  r.console.PushKey(key::kEnter);
  MessageBox(r.screen, 0x0402, "x");
}

// A process whose sleeps look at the screen first.
class WatchingProcess : public platform::HeadlessProcess {
 public:
  WatchingProcess(platform::FakeClock& clock, platform::HeadlessConsole& console)
      : HeadlessProcess(clock), console_(console) {}
  void Sleep(int milliseconds) override {
    sleeps.push_back(milliseconds);
    seen.push_back(console_.ScreenText());
    HeadlessProcess::Sleep(milliseconds);
  }
  std::vector<int> sleeps;
  std::vector<std::string> seen;

 private:
  platform::HeadlessConsole& console_;
};

TEST(MessageBox, SelfClosingIsShownForTwoAndAHalfSecondsWithoutReadingKeys) {
  zq::test::HeadlessRig rig;
  WatchingProcess process(rig.clock, rig.console);
  platform::Platform platform{rig.console, *rig.files, process};
  Screen screen(platform);
  screen.Start();
  rig.console.PushKey(key::kEnter);  // not for the box
  EXPECT_EQ(MessageBox(screen, 0x0308, std::string(1, kCentre) + "Gotowe"), kCmCancel);
  ASSERT_EQ(process.sleeps, std::vector<int>{2500});
  EXPECT_EQ(process.seen[0], zq::test::Golden("tui/self_closing_box.txt", process.seen[0]));
  EXPECT_EQ(rig.console.ScriptLeft(), 1u);
  EXPECT_EQ(rig.console.ScreenText(), std::string(25, '\n'));  // gone again
}

TEST(MessageBox, DropsWaitingKeysFirst) {
  DialogRig r;
  r.console.SetTypeAhead(true);
  r.console.PushText("tt");
  r.Then([] {});
  r.console.PushText("n");
  EXPECT_EQ(MessageBox(r.screen, 0x0300, "?"), kCmNo);
}

TEST(MessageBox, AWindowThatCannotOpenCancels) {
  DialogRig r;
  std::string before = r.Snapshot();
  EXPECT_EQ(MessageBox(r.screen, 0x0401, "x", 10, 40, 20, 20), kCmCancel);
  EXPECT_EQ(MessageBox(r.screen, 0x0401, "x", 10, 70, 8, 20), kCmCancel);
  EXPECT_EQ(r.Snapshot(), before);
  EXPECT_EQ(r.screen.Scheme().at, kDefaultScheme.at);
}

TEST(MessageBox, NestedOverAPageGivesItsStatusLineBack) {
  DialogRig r;
  bool flag = false;
  struct AskingPage : DialogPage {
    explicit AskingPage(Screen& s) : DialogPage(s, " Strona ", 20, 70, 2, 5) {}
    void HandleEvent(Event& e) override {
      if (e.IsCommand(0x1001)) {
        answer = ErrorBox(GetScreen(), "Błąd"_pl);
        e.Clear();
      }
      DialogPage::HandleEvent(e);
    }
    std::uint16_t answer = 0;
  } page(r.screen);
  page.Add<CheckBox>("pole", flag, 2, 2);
  page.SetStatusLine({{0x1001, key::kPgDn, "PgDn-Dalej"}});
  std::string before;
  r.Then([&] { before = r.Snapshot(); });
  r.console.PushKey(key::kPgDn);
  r.console.PushKey(key::kPgDn);  // inside the box the page's binding does not apply
  r.console.PushKey(key::kEnter);
  r.Then([&] { EXPECT_EQ(r.Snapshot(), before); });
  r.console.PushText(" ");
  r.console.PushKey(key::kEsc);
  EXPECT_EQ(page.Execute(), kCmCancel);
  EXPECT_EQ(page.answer, kCmOk);
  EXPECT_TRUE(flag);
}

TEST(InputBox, OkKeepsTheTextEscGivesTheOldBack) {
  DialogRig r;
  std::string value = "12,5";
  std::string shot;
  r.Then([&] { shot = r.Snapshot(); });
  r.console.PushKey(key::kBackspace);
  r.console.PushText("75");
  r.console.PushKey(key::kEnter);
  EXPECT_EQ(InputBox(r.screen, false, value, "\x03Podaj proporcję VAT\r\x03w procentach"_pl),
            kCmOk);
  EXPECT_EQ(value, "12,75");
  EXPECT_EQ(shot, zq::test::Golden("tui/input_box.txt", shot));

  r.console.PushText("99");
  r.console.PushKey(key::kEsc);
  EXPECT_EQ(InputBox(r.screen, false, value, "?"), kCmCancel);
  EXPECT_EQ(value, "12,75");

  r.Click(38, 15);  // the OK button: focus
  r.Click(38, 15);  // press
  EXPECT_EQ(InputBox(r.screen, false, value, "?"), kCmOk);
}

TEST(InputBox, EscKeepsAValueLongerThanTheField) {
  DialogRig r;
  std::string value(50, 'a');
  r.console.PushKey(key::kEsc);
  EXPECT_EQ(InputBox(r.screen, false, value, "?"), kCmCancel);
  EXPECT_EQ(value, std::string(50, 'a'));
}

TEST(InputBox, WidthForOneCallPasswordAndModifiedFlag) {
  DialogRig r;
  std::string value;
  SetInputBoxWidth(r.screen, 40);  // ignored
  SetInputBoxWidth(r.screen, 0);   // ignored
  SetInputBoxWidth(r.screen, 5);
  ModifiedFlag(r.screen) = false;
  r.console.PushText("ab");
  r.Then([&] {
    // Column (37 - 5) / 2 + 2 = 18 inside, screen column 38; row 5 inside, screen row 13.
    EXPECT_EQ(r.Cells(38, 13, 5), "**   ");
    EXPECT_EQ(r.AttrAt(38, 13), 0x70);
    EXPECT_EQ(r.AttrAt(43, 13), 0x02);
  });
  r.console.PushText("cdefg");  // beyond five: beeps
  r.console.PushKey(key::kEnter);
  EXPECT_EQ(InputBox(r.screen, true, value, "Hasło:"_pl), kCmOk);
  EXPECT_EQ(value, "abcde");
  EXPECT_FALSE(ModifiedFlag(r.screen));
  EXPECT_EQ(r.console.Beeps().size(), 2u);
  // Back to 37 for the next call.
  value.clear();
  r.console.PushText(std::string(40, 'z'));
  r.console.PushKey(key::kEnter);
  InputBox(r.screen, false, value, "?");
  EXPECT_EQ(value, std::string(37, 'z'));
}

TEST(MessageGolden, CancelQuestionAndErrorBox) {
  DialogRig r;
  std::string shot;
  r.Then([&] { shot = r.Snapshot(); });
  r.console.PushKey(key::kEnter);
  YesNoQuestion(r.screen, false, kCancelQuestion, 10, 10);
  EXPECT_EQ(shot, zq::test::Golden("tui/yes_no_question.txt", shot));
  r.Then([&] { shot = r.Snapshot(); });
  r.console.PushKey(key::kEnter);
  ErrorBox(
      r.screen,
      std::string("Brak pliku SPISFIRM.DAT\rMusisz wskazać katalog\rgłównym programu DOR_ZQ"_pl));
  EXPECT_EQ(shot, zq::test::Golden("tui/error_box.txt", shot));
}

}  // namespace
}  // namespace zq::tui
