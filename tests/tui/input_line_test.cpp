#include <gtest/gtest.h>

#include "tui/controls.h"
#include "tui/dialog.h"
#include "tui/dialog_rig.h"

namespace zq::tui {
namespace {

using test::DialogRig;
using zq::operator""_pl;

// A page at (row 3, column 5) whose inside starts at column 6, row 4 of the screen.
struct LinePage {
  explicit LinePage(DialogRig& rig, std::string initial = "", int max = 10, int width = 0)
      : r(rig), text(std::move(initial)), page(rig.screen, " T ", 10, 60, 3, 5) {
    line = &page.Add<InputLine>(text, max, 2, 4, Label("Nazwa:", 1, 2), width);
  }
  // Runs the page until Esc (pushed last) and returns the text.
  std::string Run() {
    r.console.PushKey(key::kEsc);
    EXPECT_EQ(page.Execute(), kCmCancel);
    return text;
  }
  // Absolute screen column of the field's inside-relative column c.
  static int Col(int c) { return 5 + c; }
  static constexpr int kRow = 5;

  DialogRig& r;
  std::string text;
  DialogPage page;
  InputLine* line = nullptr;
};

std::vector<int> Frequencies(const DialogRig& r) {
  std::vector<int> out;
  for (auto [f, ms] : r.console.Beeps()) out.push_back(f);
  return out;
}

TEST(InputLine, TypingAndCursorKeys) {
  DialogRig r;
  LinePage p(r, "abc");
  r.console.PushText("de");                         // abcde, cursor at the end
  r.console.PushKeys({key::kLeft, key::kLeft});     // before d
  r.console.PushText("X");                          // abcXde
  r.console.PushKey(key::kBackspace);               // abcde
  r.console.PushKey(key::kDel);                     // abce
  r.console.PushKeys({key::kCtrlLeft, key::kDel});  // bce
  r.console.PushKeys({key::kRight, key::kRight});   // after c
  r.console.PushText("_");                          // bc_e
  r.console.PushKeys({key::kCtrlRight});
  r.console.PushText("!");         // bc_e!
  r.console.PushKey(key::kRight);  // at the end: stays
  r.console.PushText("?");
  EXPECT_EQ(p.Run(), "bc_e!?");
  EXPECT_TRUE(r.console.Beeps().empty());
}

TEST(InputLine, StartsAfterTheTextAndCutsItToTheMaximum) {
  DialogRig r;
  std::string text = "abcdefghijkl  ";
  DialogPage page(r.screen, "", 10, 60, 3, 5);
  page.Add<InputLine>(text, 8, 2, 4);
  EXPECT_EQ(text, "abcdefgh");
  std::string blanks = "ab   ";
  page.Add<InputLine>(blanks, 8, 3, 4);
  EXPECT_EQ(blanks, "ab");
  r.Then([&] {
    EXPECT_EQ(r.console.CursorColumn() + 1, LinePage::Col(4) + 8);  // after the full text
  });
  r.console.PushKey(key::kEsc);
  page.Execute();
}

TEST(InputLine, BeepsAtTheEdges) {
  DialogRig r;
  LinePage p(r, "abcde", 5);
  r.console.PushText("x");       // full: beep 3000, nothing typed
  r.console.PushKey(key::kDel);  // behind the last allowed position: 2250
  r.console.PushKey(key::kCtrlLeft);
  r.console.PushKey(key::kBackspace);  // first position: 1200
  r.console.PushKey(key::kRight);
  r.console.PushText("Q");  // Insert mode in a full field drops the last character
  EXPECT_EQ(p.Run(), "aQbcd");
  EXPECT_EQ(Frequencies(r), (std::vector<int>{3000, 2250, 1200}));
  for (auto [f, ms] : r.console.Beeps()) EXPECT_EQ(ms, 48);
}

TEST(InputLine, LeftAtTheStartAndRightBeyondTheMaximumLeaveTheControl) {
  DialogRig r;
  std::string first = "ab", second = "xyz";
  bool box = false;
  DialogPage page(r.screen, "", 10, 60, 3, 5);
  page.Add<InputLine>(first, 3, 1, 2);
  page.Add<InputLine>(second, 3, 2, 2);
  page.Add<CheckBox>("box", box, 3, 2);
  page.Focus(2);
  r.console.PushKey(key::kRight);                    // at 3 = maximum: leaves to the box
  r.console.PushText(" ");                           // toggles the box
  r.console.PushKey(key::kUp);                       // back to the second line, cursor at its end
  r.console.PushKeys({key::kCtrlLeft, key::kLeft});  // leaves to the first line
  r.console.PushText("c");
  r.console.PushKey(key::kEnter);  // Enter moves on, it is not consumed
  r.console.PushKey(key::kCtrlLeft);
  r.console.PushText("!");  // Insert mode in a full field drops the last character
  r.console.PushKey(key::kEsc);
  page.Execute();
  EXPECT_EQ(first, "abc");
  EXPECT_EQ(second, "!xy");
  EXPECT_TRUE(box);
}

TEST(InputLine, InsertKeyTogglesOverwriteAndTheCursorShape) {
  DialogRig r;
  LinePage p(r, "abcd");
  r.Then([&] {
    EXPECT_TRUE(r.console.GetCursorInfo().visible);
    EXPECT_EQ(r.console.GetCursorInfo().percent, 20);
    EXPECT_EQ(r.console.CursorColumn() + 1, LinePage::Col(4) + 4);
    EXPECT_EQ(r.console.CursorRow() + 1, LinePage::kRow);
  });
  r.console.PushKeys({key::kInsert, key::kCtrlLeft});
  r.Then([&] { EXPECT_EQ(r.console.GetCursorInfo().percent, 50); });
  r.console.PushText("XY");
  r.console.PushKey(key::kCtrlRight);
  r.console.PushText("ef");  // at the end overwrite appends
  r.console.PushKey(key::kInsert);
  r.Then([&] { EXPECT_EQ(r.console.GetCursorInfo().percent, 20); });
  EXPECT_EQ(p.Run(), "XYcdef");
  EXPECT_TRUE(InsertMode(r.screen));
  EXPECT_FALSE(r.console.GetCursorInfo().visible);  // hidden once the page is left
}

TEST(InputLine, RestoreEmptyAndCase) {
  DialogRig r;
  LinePage p(r, std::string("Żółw"_pl), 20);
  r.console.PushText("ik");
  r.console.PushKey(key::kCtrlP);  // back to the text on entry
  r.console.PushKey(key::kCtrlD);
  r.Then([&] { EXPECT_EQ(p.text, "ŻÓŁW"_pl); });
  r.console.PushKey(key::kCtrlM);
  r.Then([&] { EXPECT_EQ(p.text, "żółw"_pl); });
  r.console.PushKey(key::kCtrlD);
  r.console.PushKey(key::kCtrlL);  // the terminal's key for lower case
  r.Then([&] { EXPECT_EQ(p.text, "żółw"_pl); });
  r.console.PushKey(key::kCtrlY);
  r.Then([&] { EXPECT_EQ(p.text, ""); });
  r.console.PushText("źdźbło"_pl);
  EXPECT_EQ(p.Run(), "źdźbło"_pl);
}

TEST(InputLine, UpperCaseFlagAndPassword) {
  DialogRig r;
  LinePage p(r);
  p.line->SetUpperCase(true);
  p.line->SetPassword(true);
  r.console.PushText("ąbc1"_pl);
  r.Then([&] { EXPECT_EQ(r.Cells(LinePage::Col(4), LinePage::kRow, 5), "**** "); });
  EXPECT_EQ(p.Run(), "ĄBC1"_pl);
}

TEST(InputLine, CharactersOutsideTheAcceptedSetLeaveAndTypeNothing) {
  DialogRig r;
  LinePage p(r, "ab");
  r.console.PushKey(0x00FF);
  r.console.PushKey(0x0015);  // § is accepted
  r.console.PushKey(0x3C00);  // F2, a key without a character
  EXPECT_EQ(p.Run(), "ab\x15");
}

TEST(InputLine, ToolkitClipboard) {
  DialogRig r;
  LinePage p(r, "kopia");
  r.console.PushKey(key::kCtrlK);
  r.console.PushKey(key::kCtrlY);
  r.console.PushText("x");
  r.console.PushKey(key::kCtrlW);
  EXPECT_EQ(p.Run(), "kopia");
  EXPECT_EQ(LayerState(r.screen).clipboard, "kopia");

  LinePage small(r, "", 3);
  r.console.PushKey(key::kCtrlW);  // cut to the field
  EXPECT_EQ(small.Run(), "kop");
}

TEST(InputLine, SystemClipboard) {
  DialogRig r;
  LinePage p(r, "D:\\DOR_2019", 20);
  r.console.PushKey(key::kCtrlInsert);
  EXPECT_EQ(p.Run(), "D:\\DOR_2019");
  std::string clip;
  ASSERT_TRUE(r.console.GetClipboard(clip));
  EXPECT_EQ(clip, "D:\\DOR_2019");

  // Up to the first control character, only accepted characters, cut to the field.
  r.console.SetClipboard(
      "a\x7F"
      "b\xFF"
      "c\x15"
      "d\r\nsecond line");
  LinePage paste(r, "old");
  r.console.PushKey(key::kShiftInsert);
  EXPECT_EQ(paste.Run(),
            "abc\x15"
            "d");
  r.console.SetClipboard(std::string(300, 'z'));
  LinePage longPaste(r, "", 10);
  r.console.PushKey(key::kInsert, platform::kShiftRight);  // Shift held on Insert
  EXPECT_EQ(longPaste.Run(), std::string(10, 'z'));
}

// A console without a system clipboard.
class NoClipboardConsole : public platform::HeadlessConsole {
 public:
  using HeadlessConsole::HeadlessConsole;
  bool GetClipboard(std::string&) override { return false; }
  bool SetClipboard(std::string_view) override { return false; }
};

TEST(InputLine, WithoutASystemClipboardTheToolkitsOwnIsUsed) {
  zq::test::HeadlessRig rig;
  NoClipboardConsole console(rig.clock);
  platform::Platform platform{console, *rig.files, rig.process};
  Screen screen(platform);
  screen.Start();
  std::string a = "tekst", b;
  {
    DialogPage page(screen, "", 10, 60, 3, 5);
    page.Add<InputLine>(a, 10, 1, 1);
    page.Add<InputLine>(b, 10, 2, 1);
    console.PushKeys({key::kCtrlInsert, key::kTab, key::kShiftInsert, key::kEsc});
    page.Execute();
  }
  EXPECT_EQ(b, "tekst");
}

TEST(InputLine, ScrollsWithMarks) {
  DialogRig r;
  LinePage p(r, "abcdefghij", 20, 5);
  int left = LinePage::Col(4), row = LinePage::kRow;
  r.Then([&] {
    // The cursor after the text, the last four characters shown and « on the left.
    EXPECT_EQ(r.Cells(left, row, 5), "ghij ");
    EXPECT_EQ(r.Cells(left - 1, row, 1), "\xAE");
    EXPECT_EQ(r.AttrAt(left - 1, row), r.screen.Scheme()[9]);
    EXPECT_EQ(r.Cells(left + 5, row, 1), " ");
    EXPECT_EQ(r.console.CursorColumn() + 1, left + 4);
  });
  r.console.PushKey(key::kCtrlLeft);
  r.Then([&] {
    EXPECT_EQ(r.Cells(left, row, 5), "abcde");
    EXPECT_EQ(r.Cells(left - 1, row, 1), " ");
    EXPECT_EQ(r.Cells(left + 5, row, 1), "\xAF");
    EXPECT_EQ(r.console.CursorColumn() + 1, left);
  });
  r.console.PushKeys(
      {key::kRight, key::kRight, key::kRight, key::kRight, key::kRight, key::kRight});
  r.Then([&] {
    EXPECT_EQ(p.line->ScrollOffset(), 2);
    EXPECT_EQ(r.Cells(left, row, 5), "cdefg");
    EXPECT_EQ(r.Cells(left - 1, row, 1), "\xAE");
    EXPECT_EQ(r.Cells(left + 5, row, 1), "\xAF");
  });
  r.console.PushText("0123456789xyz");  // up to 20, then the field is full
  EXPECT_EQ(p.Run(), "abcdef0123456789xyzg");
  // A full field beeps only when the cursor is behind the last allowed position.
  EXPECT_TRUE(r.console.Beeps().empty());
  // Unfocused it shows its start again.
  EXPECT_EQ(r.Cells(left, row, 5), "abcde");
}

TEST(InputLine, LongPathIsNeverCut) {
  DialogRig r;
  std::string path = "D:\\" + std::string(120, 'k') + "\\";
  LinePage p(r, path, 255, 50);
  r.console.PushText("X");
  EXPECT_EQ(p.Run(), path + "X");
}

TEST(InputLine, ClickPlacesTheCursorAndClickOnItsLabelBeeps) {
  DialogRig r;
  LinePage p(r, "abcdef");
  int left = LinePage::Col(4);
  r.Click(left + 2, LinePage::kRow);
  r.console.PushText("X");            // abXcdef
  r.Click(left + 9, LinePage::kRow);  // beyond the text: at its end
  r.console.PushText("Y");
  r.Click(LinePage::Col(2), 4);  // its Label: 4000 Hz, nothing else
  r.console.PushText("Z");
  EXPECT_EQ(p.Run(), "abXcdefYZ");
  EXPECT_EQ(Frequencies(r), (std::vector<int>{4000}));
}

TEST(InputLine, LeavingTrimsAndSetsModifiedOnlyOnChange) {
  DialogRig r;
  {
    LinePage p(r, "abc");
    r.console.PushText("d");
    r.console.PushKey(key::kBackspace);
    EXPECT_EQ(p.Run(), "abc");
    EXPECT_FALSE(ModifiedFlag(r.screen));
  }
  {
    LinePage p(r, "abc");
    r.console.PushText("   ");
    EXPECT_EQ(p.Run(), "abc");
    EXPECT_FALSE(ModifiedFlag(r.screen));
  }
  LinePage p(r, "abc");
  r.console.PushText("d");
  EXPECT_EQ(p.Run(), "abcd");
  EXPECT_TRUE(ModifiedFlag(r.screen));
}

TEST(InputLine, DrawsInFieldColours) {
  DialogRig r;
  std::string a = "ab", b = "cd";
  DialogPage page(r.screen, "", 10, 60, 3, 5);
  page.Add<InputLine>(a, 4, 2, 4, Label("A:", 2, 1));
  page.Add<InputLine>(b, 4, 3, 4, Label("B:", 3, 1));
  r.Then([&] {
    EXPECT_EQ(r.AttrAt(LinePage::Col(4), 5), 0x70);  // focused field
    EXPECT_EQ(r.AttrAt(LinePage::Col(4) + 3, 5), 0x70);
    EXPECT_EQ(r.AttrAt(LinePage::Col(4), 6), 0x1F);  // field
    EXPECT_EQ(r.AttrAt(LinePage::Col(1), 5), 0x0F);  // its Label highlighted
    EXPECT_EQ(r.AttrAt(LinePage::Col(1), 6), 0x07);
  });
  r.console.PushKey(key::kEsc);
  page.Execute();
}

}  // namespace
}  // namespace zq::tui
