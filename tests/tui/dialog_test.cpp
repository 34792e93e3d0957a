#include "tui/dialog.h"

#include <gtest/gtest.h>

#include "tui/controls.h"
#include "tui/dialog_rig.h"

namespace zq::tui {
namespace {

using test::DialogRig;
using zq::operator""_pl;

constexpr std::uint16_t kNext = 0x1001;
constexpr std::uint16_t kBack = 0x1002;

// Page inside starts at screen column 4, row 3.
constexpr int kLeft = 3, kTop = 2;
int X(int column) {
  return kLeft + column;
}
int Y(int row) {
  return kTop + row;
}

// A page that, like the Wizard's, ends itself on its own commands.
class WizardLike : public DialogPage {
 public:
  explicit WizardLike(Screen& screen) : DialogPage(screen, " Strona ", 22, 76, 2, 3) {}
  void HandleEvent(Event& event) override {
    ++seen;
    if (event.IsCommand(kNext) || event.IsCommand(kBack)) Close(event.Command());
    DialogPage::HandleEvent(event);
  }
  int seen = 0;
};

struct Page {
  explicit Page(DialogRig& r) : page(r.screen) {
    line = &page.Add<InputLine>(text, 10, 2, 4, Label("Tekst:", 1, 3));
    box = &page.Add<CheckBox>("pole", flag, 4, 4);
    group = &page.Add<CheckGroup>(mask, std::vector<std::string>{"jeden", "dwa", "trzy"}, 6, 4,
                                  Label("Grupa:", 5, 3));
    page.Add<PushButton>(kBack, "<< Wstecz", 1, 14, 19, 14);
    page.Add<PushButton>(kCmCancel, "Poniechaj", 1, 14, 19, 34);
    page.Add<PushButton>(kNext, "Dalej >>", 1, 14, 19, 54);
  }
  std::string text;
  bool flag = false;
  std::uint16_t mask = 0;
  WizardLike page;
  InputLine* line;
  CheckBox* box;
  CheckGroup* group;
};

TEST(DialogPage, FocusMovesInInsertionOrderAndWraps) {
  DialogRig r;
  Page p(r);
  std::vector<int> order;
  auto note = [&] { order.push_back(p.page.Current()); };
  r.Then(note);
  r.console.PushKey(key::kTab);
  r.Then(note);
  r.console.PushKey(key::kTab);
  r.Then(note);
  r.console.PushKeys({key::kShiftTab, key::kShiftTab, key::kShiftTab});
  r.Then(note);  // wrapped to the last
  r.console.PushKey(key::kTab);
  r.Then(note);                    // and forward to the first
  r.console.PushKey(key::kEnter);  // Enter in the InputLine moves on
  r.Then(note);
  r.console.PushKey(key::kDown);
  r.Then(note);
  r.console.PushKeys({key::kDown, key::kDown, key::kDown});  // through the group's items
  r.Then(note);
  r.console.PushKey(key::kRight);
  r.Then(note);
  r.console.PushKey(key::kLeft);
  r.Then(note);
  r.console.PushKey(key::kEsc);
  EXPECT_EQ(p.page.Execute(), kCmCancel);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 6, 1, 2, 3, 4, 5, 4}));
}

TEST(DialogPage, SkipsControlsThatCannotBeSelected) {
  DialogRig r;
  Page p(r);
  p.box->SetSelectable(false);
  p.group->SetSelectable(false);
  int after = 0;
  r.console.PushKey(key::kTab);
  r.Then([&] { after = p.page.Current(); });
  r.console.PushKey(key::kEsc);
  p.page.Execute();
  EXPECT_EQ(after, 4);
}

TEST(DialogPage, HotKeysPressTheFirstMatchingButton) {
  DialogRig r;
  {
    Page p(r);
    p.page.Focus(2);
    r.console.PushText("d");  // on a check box: presses "Dalej >>"
    EXPECT_EQ(p.page.Execute(), kNext);
    EXPECT_EQ(p.page.Current(), 6);
  }
  {
    Page p(r);
    r.console.PushText("D");  // in an InputLine: typed
    r.console.PushKey(key::kTab);
    r.console.PushText("<");
    EXPECT_EQ(p.page.Execute(), kBack);
    EXPECT_EQ(p.text, "D");
  }
  {
    Page p(r);
    p.page.Focus(4);
    r.console.PushText("p");  // Poniechaj: a closing command
    EXPECT_EQ(p.page.Execute(), kCmCancel);
  }
  {
    // National upper-casing: ł presses "Łącz".
    DialogRig r2;
    DialogPage page(r2.screen, "", 10, 40, 2, 2);
    page.Add<PushButton>(kCmOk, "Łącz"_pl, 1, 9, 2, 2);
    page.Add<PushButton>(kCmNo, "Nie", 1, 9, 2, 14);
    page.Focus(2);
    r2.console.PushText("ł"_pl);
    EXPECT_EQ(page.Execute(), kCmOk);
  }
}

TEST(DialogPage, EscRightButtonAndOtherButtons) {
  DialogRig r;
  {
    Page p(r);
    r.console.PushKey(key::kEsc);
    EXPECT_EQ(p.page.Execute(), kCmCancel);
  }
  {
    Page p(r);
    r.Click(40, 10, platform::kMouseRight);
    EXPECT_EQ(p.page.Execute(), kCmCancel);
  }
  {
    Page p(r);
    r.Click(40, 10, platform::kMouseMiddle);
    EXPECT_EQ(p.page.Execute(), kCmOk);
  }
}

TEST(DialogPage, LeftClickFocusesTheControlOrItsLabel) {
  DialogRig r;
  Page p(r);
  std::vector<int> order;
  r.Click(X(5), Y(4));  // on the check box: focus only, the click is consumed
  r.Then([&] { order.push_back(p.page.Current()); });
  r.Click(X(3), Y(5));  // on the group's Label
  r.Then([&] { order.push_back(p.page.Current()); });
  r.Click(X(70), Y(12));  // on no control: nothing
  r.Then([&] { order.push_back(p.page.Current()); });
  r.Click(79, 24);  // outside the page: nothing
  r.Then([&] { order.push_back(p.page.Current()); });
  r.Click(X(55), Y(19));  // the Dalej button: focus
  r.Click(X(55), Y(19));  // and now it presses it
  EXPECT_EQ(p.page.Execute(), kNext);
  EXPECT_EQ(order, (std::vector<int>{2, 3, 3, 3}));
  EXPECT_FALSE(p.flag);
  EXPECT_TRUE(r.console.Beeps().empty());
}

TEST(DialogPage, FocusCommandAndF1) {
  DialogRig r;
  Page p(r);
  std::vector<std::uint16_t> contexts;
  p.page.SetHelpContext(7);
  p.page.SetF1Action([&](std::uint16_t c) { contexts.push_back(c); });
  p.box->SetHelpContext(42);
  SetEventWatcher(r.screen, [](Event& e) {
    if (e.IsKey(key::kF5)) e.SetCommand(kCmFocus, 0, 2);
    if (e.IsKey(0x3C00)) e.SetCommand(kCmFocus, 0, 99);  // no such control
  });
  int focused = 0;
  r.console.PushKey(key::kF1);
  r.console.PushKey(key::kF5);
  r.console.PushKey(0x3C00);
  r.Then([&] { focused = p.page.Current(); });
  r.console.PushKey(key::kF1);
  r.console.PushKey(key::kEsc);
  p.page.Execute();
  SetEventWatcher(r.screen, nullptr);
  EXPECT_EQ(focused, 2);
  EXPECT_EQ(contexts, (std::vector<std::uint16_t>{7, 42}));
}

TEST(DialogPage, AWindowThatCannotOpenIsCancelled) {
  DialogRig r;
  std::string before = r.console.ScreenText();
  DialogPage page(r.screen, " Za duża "_pl, 10, 40, 20, 50);
  EXPECT_FALSE(page.Opened());
  std::string text = "abc";
  page.Add<InputLine>(text, 10, 1, 1);
  page.Add<PushButton>(kCmOk, "OK", 1, 9, 3, 3);
  page.SetStatusLine({{kCmOk, key::kF5, "F5"}});
  EXPECT_EQ(page.Execute(), kCmCancel);
  page.Done();
  EXPECT_EQ(r.console.ScreenText(), before);
  EXPECT_EQ(r.console.ScriptLeft(), 0u);
}

TEST(DialogPage, HoldsAtMost255Controls) {
  DialogRig r;
  auto values = std::make_unique<bool[]>(300);
  DialogPage page(r.screen, "", 20, 70, 2, 2);
  int last = 0;
  for (int i = 0; i < 256; ++i) {
    auto control = std::make_unique<CheckBox>("x", values[static_cast<std::size_t>(i)], 1, 1);
    last = page.Insert(std::move(control));
  }
  EXPECT_EQ(last, 0);
  EXPECT_EQ(page.Count(), 255);
  r.console.PushKey(key::kEsc);
  EXPECT_EQ(page.Execute(), kCmCancel);
}

// A control kind of its own that takes no clicks.
class Plate : public Control {
 public:
  Plate() : Control(99, Rect{2, 2, 10, 4}, Label("Tablica", 1, 2)) {}
  void Draw() override { Put(0x07, 2, 2, "########"); }

 protected:
  bool Handle(Event& event) override { return !event.IsKeyEvent(); }
  bool TakesClicks() const override { return false; }
};

TEST(Control, ClicksOnItsLabelOrOnAKindWithoutClicksBeep) {
  DialogRig r;
  DialogPage page(r.screen, "", 10, 40, 2, 2);
  page.Add<Plate>();
  r.Click(3 + 2, 3 + 2);  // inside: 300 Hz
  r.Click(3 + 2, 3);      // on its Label: 4000 Hz
  r.console.PushKey(key::kEsc);
  EXPECT_EQ(page.Execute(), kCmCancel);
  EXPECT_EQ(r.console.Beeps(), (std::vector<std::pair<int, int>>{{300, 96}, {4000, 96}}));
}

TEST(DialogPage, DoneGivesBackTheScreenAndStatusLine) {
  DialogRig r;
  r.screen.WriteAbsolute(0x1E, 1, 10, std::string(80, '#'));
  StatusLine beneath(r.screen, {{0, 0, "spod"}});
  std::string before = r.Snapshot();
  {
    Page p(r);
    p.page.SetStatusLine({{kNext, key::kPgDn, "PgDn-Dalej"}});
    EXPECT_EQ(r.Row(25), " PgDn-Dalej│");
    r.console.PushKey(key::kPgDn);
    EXPECT_EQ(p.page.Execute(), kNext);
  }
  EXPECT_EQ(r.Snapshot(), before);
}

TEST(DialogPage, TypingRedrawsOnlyTheEditedControl) {
  DialogRig r;
  Page p(r);
  r.Then([&] {
    // Scribble on other controls; a keystroke must not repaint them.
    r.screen.WriteAbsolute(0x07, X(4), Y(4), "XXX");
    r.screen.WriteAbsolute(0x07, X(14), Y(19), "YYY");
  });
  r.console.PushText("a");
  r.Then([&] {
    EXPECT_EQ(r.Cells(X(4), Y(4), 3), "XXX");
    EXPECT_EQ(r.Cells(X(14), Y(19), 3), "YYY");
    EXPECT_EQ(r.Cells(X(4), Y(2), 1), "a");
  });
  r.console.PushKey(key::kEsc);
  p.page.Execute();
}

TEST(CheckBox, KeysAndClicksToggle) {
  DialogRig r;
  Page p(r);
  p.page.Focus(2);
  std::vector<bool> values;
  auto note = [&] { values.push_back(p.flag); };
  r.console.PushText(" ");
  r.Then(note);
  r.console.PushText("x");
  r.Then(note);
  r.console.PushText("X");
  r.Then(note);
  r.Then([&] {
    EXPECT_EQ(r.Cells(X(4), Y(4), 8), "[\xFE] pole");
    EXPECT_EQ(r.AttrAt(X(5), Y(4)), 0x0F);  // the mark in highlight
    EXPECT_EQ(r.AttrAt(X(4), Y(4)), 0x07);
    EXPECT_EQ(r.AttrAt(X(8), Y(4)), 0x0F);  // text highlighted while focused
  });
  r.Click(X(9), Y(4));
  r.Then(note);
  r.console.PushKey(key::kEsc);
  p.page.Execute();
  EXPECT_EQ(values, (std::vector<bool>{true, false, true, false}));
  EXPECT_EQ(r.Cells(X(4), Y(4), 8), "[ ] pole");
  EXPECT_EQ(r.AttrAt(X(8), Y(4)), 0x07);
  EXPECT_TRUE(ModifiedFlag(r.screen));
}

TEST(CheckGroup, KeysSetAndClearBits) {
  DialogRig r;
  Page p(r);
  p.mask = 0x8000;  // a bit beyond the items stays as it is
  p.page.Focus(3);
  r.console.PushText(" ");  // item 0 on
  r.console.PushKey(key::kDown);
  r.console.PushText("x");            // item 1 on
  r.console.PushKey(key::kGreyPlus);  // stays on
  r.console.PushKey(key::kDown);
  r.console.PushText("X");                     // item 2 on
  r.console.PushKey(key::kGreyMinus);          // item 2 off
  r.console.PushKeys({key::kUp, key::kLeft});  // back to item 0
  r.console.PushText("0");                     // item 0 off
  r.Then([&] {
    EXPECT_EQ(p.mask, 0x8002);
    EXPECT_EQ(p.group->CurrentItem(), 0);
    EXPECT_EQ(r.Cells(X(4), Y(6), 9), "[ ] jeden");
    EXPECT_EQ(r.Cells(X(4), Y(7), 7), "[\xFE] dwa");
    EXPECT_EQ(r.AttrAt(X(8), Y(6)), 0x0F);  // current item highlighted
    EXPECT_EQ(r.AttrAt(X(8), Y(7)), 0x07);
  });
  r.Click(X(9), Y(8));  // click on "trzy": current and toggled
  r.Then([&] { EXPECT_EQ(p.group->CurrentItem(), 2); });
  r.console.PushKey(key::kEsc);
  p.page.Execute();
  EXPECT_EQ(p.mask, 0x8006);
}

TEST(CheckGroup, ShowsAndEditsSixteenItemsAtMost) {
  DialogRig r;
  std::vector<std::string> items;
  for (int i = 1; i <= 18; ++i) items.push_back("item " + std::to_string(i));
  std::uint16_t mask = 0;
  DialogPage page(r.screen, "", 22, 40, 1, 1);
  auto& group = page.Add<CheckGroup>(mask, items, 1, 2);
  EXPECT_EQ(group.Bounds().bottom - group.Bounds().top, 16);
  EXPECT_EQ(group.Bounds().right - group.Bounds().left, 4 + 7);
  EXPECT_EQ(r.Cells(3, 17, 11), "[ ] item 16");
  EXPECT_EQ(r.Cells(3, 18, 11), std::string(11, ' '));
  r.console.PushKey(key::kEnd);  // not a group key: leaves, the page ignores it
  for (int i = 0; i < 20; ++i) r.console.PushKey(key::kDown);
  r.console.PushText(" ");
  r.console.PushKey(key::kEsc);
  page.Execute();
  EXPECT_EQ(mask, 0x8000);
}

TEST(RadioGroup, AnIndexBeyondTheItemsStartsAtTheFirst) {
  DialogRig r;
  std::uint16_t index = 5;
  DialogPage page(r.screen, "", 10, 40, 1, 1);
  page.Add<RadioGroup>(index, std::vector<std::string>{"a", "b", "c"}, 1, 1);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(r.Cells(2, 2, 5), "(\xFE) a");
  EXPECT_EQ(r.Cells(2, 3, 5), "(\xFA) b");
}

TEST(RadioGroup, MovingDoesNotChooseSpaceAndClicksDo) {
  DialogRig r;
  std::uint16_t index = 0;
  bool after = false;
  DialogPage page(r.screen, "", 10, 40, 1, 1);
  page.Add<RadioGroup>(index, std::vector<std::string>{"a", "b", "c"}, 1, 1);
  page.Add<CheckBox>("po", after, 5, 1);
  std::vector<int> seen;
  r.console.PushKey(key::kDown);
  r.Then([&] { seen.push_back(index); });
  r.console.PushText(" ");
  r.Then([&] { seen.push_back(index); });
  r.console.PushKeys({key::kDown, key::kDown});  // leaves at the last item
  r.Then([&] { seen.push_back(page.Current()); });
  r.Click(2, 2);  // back to the group: focus only
  r.Click(3, 4);  // item c chosen
  r.Then([&] { seen.push_back(index); });
  r.console.PushKey(key::kUp);
  r.console.PushKey(key::kGreyPlus);
  r.Then([&] { seen.push_back(index); });
  r.console.PushKey(key::kEsc);
  page.Execute();
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 2, 1}));
}

TEST(PushButton, EnterSpaceAndClickPressIt) {
  DialogRig r;
  struct Recording : DialogPage {
    explicit Recording(Screen& s) : DialogPage(s, "", 10, 40, 1, 1) {}
    void HandleEvent(Event& e) override {
      if (e.IsCommand(0x1003)) {
        origin = e.Origin();
        Close(0x1003);
      }
      DialogPage::HandleEvent(e);
    }
    int origin = 0;
  };
  for (int how = 0; how < 3; ++how) {
    Recording page(r.screen);
    page.Add<PushButton>(0x1003, "ZACZNIJ", 3, 14, 2, 5);
    if (how == 0) r.console.PushKey(key::kEnter);
    if (how == 1) r.console.PushText(" ");
    if (how == 2) r.Click(2 + 5 + 3, 2 + 2);
    EXPECT_EQ(page.Execute(), 0x1003);
    EXPECT_EQ(page.origin, kOriginControl);
  }
}

TEST(PushButton, DrawsFaceShadowAndBlinkingMarks) {
  DialogRig r;
  DialogPage page(r.screen, "", 12, 40, 1, 1);
  page.Add<PushButton>(0x1003, "ZACZNIJ", 3, 14, 2, 5);
  page.Add<PushButton>(kCmCancel, "Poniechaj", 1, 14, 8, 5);
  // Unfocused: face in scheme[10], shadow on the right and below in highlight.
  int c = 6, t = 3;  // absolute column and row of the first
  EXPECT_EQ(r.Cells(c, t + 1, 15), "   ZACZNIJ    \xDB");
  EXPECT_EQ(r.Cells(c + 14, t, 1), "\xDC");
  EXPECT_EQ(r.Cells(c, t + 3, 15), " " + std::string(14, '\xDF'));
  EXPECT_EQ(r.AttrAt(c, t), 0x70);
  EXPECT_EQ(r.AttrAt(c + 14, t), 0x0F);
  r.Then([&] {
    // Focused: one column right, no shadow, marks with the blink bit.
    EXPECT_EQ(r.Cells(c, t + 1, 15), " \xAF  ZACZNIJ   \xAE");
    EXPECT_EQ(r.AttrAt(c, t + 1), 0x02);
    EXPECT_EQ(r.AttrAt(c + 1, t + 1), 0xF0);
    EXPECT_EQ(r.AttrAt(c + 2, t + 1), 0x70);
    EXPECT_EQ(r.AttrAt(c + 14, t + 1), 0xF0);
    EXPECT_EQ(r.Cells(c, t + 3, 15), std::string(15, ' '));
    EXPECT_EQ(r.AttrAt(c + 5, t + 3), 0x02);
    EXPECT_FALSE(r.console.GetCursorInfo().visible);
  });
  r.console.PushKey(key::kEsc);
  page.Execute();
  EXPECT_EQ(r.Cells(c, t + 1, 15), "   ZACZNIJ    \xDB");
}

}  // namespace
}  // namespace zq::tui
