#include "tui/event.h"

#include <gtest/gtest.h>

#include "tui/dialog.h"
#include "tui/dialog_rig.h"

namespace zq::tui {
namespace {

using test::DialogRig;

Event Next(DialogRig& r) {
  Event e;
  GetEvent(r.screen, e);
  return e;
}

TEST(GetEvent, KeysKeepTheirCodeAndCharacter) {
  DialogRig r;
  r.console.PushKey(key::kF5);
  r.console.PushKey(0x2D78);  // x
  Event e = Next(r);
  EXPECT_TRUE(e.IsKey(key::kF5));
  EXPECT_FALSE(e.HasCharacter());
  EXPECT_EQ(e.Character(), ' ');
  EXPECT_EQ(e.bytes[1], 1);
  e = Next(r);
  EXPECT_TRUE(e.IsKey(0x2D78));
  EXPECT_TRUE(e.IsChar('x'));
  EXPECT_EQ(e.bytes[1], 0);
}

TEST(GetEvent, TranslatesCtrlICtrlQAndShiftedInsert) {
  DialogRig r;
  r.console.PushKey(key::kCtrlI);
  r.console.PushKey(key::kCtrlQ);
  r.console.PushKey(key::kInsert, platform::kShiftLeft);
  r.console.PushKey(key::kInsert);
  EXPECT_TRUE(Next(r).IsKey(key::kInsert));
  EXPECT_TRUE(Next(r).IsKey(key::kEsc));
  EXPECT_TRUE(Next(r).IsKey(key::kShiftInsert));
  EXPECT_TRUE(Next(r).IsKey(key::kInsert));
}

TEST(GetEvent, KeysWithoutScanCodeGetTheKeyboardsCode) {
  // A terminal delivers bytes only; they must compare equal to the key codes.
  DialogRig r;
  for (char c : std::string("\r\x1b\t\x08\x7f\x04 T"))
    r.console.PushKey(static_cast<std::uint8_t>(c));
  EXPECT_TRUE(Next(r).IsKey(key::kEnter));
  EXPECT_TRUE(Next(r).IsKey(key::kEsc));
  EXPECT_TRUE(Next(r).IsKey(key::kTab));
  EXPECT_TRUE(Next(r).IsKey(key::kBackspace));
  EXPECT_TRUE(Next(r).IsKey(key::kBackspace));
  EXPECT_TRUE(Next(r).IsKey(key::kCtrlD));
  EXPECT_TRUE(Next(r).IsKey(key::kSpace));
  EXPECT_TRUE(Next(r).IsKey(0x1454));
}

TEST(GetEvent, PolishAltLetters) {
  DialogRig r;
  r.console.PushKey(key::kAltA, platform::kAlt);
  r.console.PushKey(key::kAltZ, 0x2B);  // Alt+Shift with Num Lock
  r.console.PushKey(key::kAltX, 0x68);  // Alt with Caps Lock and Num Lock
  r.console.PushKey(key::kAltL, 0x0A);  // Alt with one Shift key only: still lower case
  r.console.PushKey(key::kAltP, platform::kAlt);
  r.console.PushKey(0x2000, platform::kAlt);  // Alt+D is no letter of the table
  Event e = Next(r);
  EXPECT_TRUE(e.HasCharacter());
  EXPECT_EQ(static_cast<unsigned char>(e.Character()), 0xA5);
  EXPECT_EQ(e.KeyCode(), key::kAltA);
  EXPECT_EQ(static_cast<unsigned char>(Next(r).Character()), 0xBD);
  EXPECT_EQ(static_cast<unsigned char>(Next(r).Character()), 0x8D);
  EXPECT_EQ(static_cast<unsigned char>(Next(r).Character()), 0x88);
  EXPECT_EQ(static_cast<unsigned char>(Next(r).Character()), 0x15);
  e = Next(r);
  EXPECT_FALSE(e.HasCharacter());
  EXPECT_EQ(e.KeyCode(), 0x2000);

  LayerState(r.screen).polishAltKeys = false;
  r.console.PushKey(key::kAltA, platform::kAlt);
  EXPECT_FALSE(Next(r).HasCharacter());
}

TEST(GetEvent, MousePressesOnlyWithOneBasedCells) {
  DialogRig r;
  auto window = r.screen.OpenWindow(10, 5, 30, 12, "", 0x07, 0x07, 0x07);
  platform::MouseEvent m;
  m.column = 14;
  m.row = 7;
  m.moved = true;
  r.console.PushMouse(m);  // a move with no button: nothing
  m.buttons = platform::kMouseLeft;
  r.console.PushMouse(m);  // press
  m.column = 15;
  r.console.PushMouse(m);  // drag while held: nothing
  m.buttons = 0;
  r.console.PushMouse(m);  // release: nothing
  r.Click(3, 4, platform::kMouseRight);
  r.Click(3, 4, platform::kMouseMiddle);
  r.Click(3, 4, platform::kMouseFourth);
  Event e = Next(r);
  EXPECT_TRUE(e.IsLeftClick());
  EXPECT_EQ(e.Column(), 15);
  EXPECT_EQ(e.Row(), 8);
  // Relative to the inside of the open window (inside starts at 11, 6).
  EXPECT_EQ(e.WindowColumn(), 5);
  EXPECT_EQ(e.WindowRow(), 3);
  e = Next(r);
  EXPECT_EQ(e.Button(), kButtonRight);
  EXPECT_EQ(e.WindowColumn(), -7);
  EXPECT_EQ(Next(r).Button(), kButtonThird);
  EXPECT_EQ(Next(r).Button(), kButtonFourth);
}

TEST(GetEvent, APressWhoseReleaseWasLostStillCounts) {
  DialogRig r;
  platform::MouseEvent m;
  m.column = 9;
  m.row = 9;
  m.buttons = platform::kMouseLeft;
  r.console.PushMouse(m);
  r.console.PushMouse(m);  // pressed again, the release in between never arrived
  m.moved = true;
  r.console.PushMouse(m);  // held and moved: no press
  m.moved = false;
  m.wheel = -1;
  r.console.PushMouse(m);  // the wheel with the button held: no press
  r.console.PushKey(key::kEnter);
  EXPECT_TRUE(Next(r).IsLeftClick());
  EXPECT_TRUE(Next(r).IsLeftClick());
  EXPECT_TRUE(Next(r).IsKey(key::kEnter));
}

TEST(GetEvent, ClickInTheTopLeftCornerIsEsc) {
  DialogRig r;
  r.Click(1, 1);
  r.Click(2, 1);
  r.Click(3, 1);
  EXPECT_TRUE(Next(r).IsKey(key::kEsc));
  EXPECT_TRUE(Next(r).IsKey(key::kEsc));
  EXPECT_TRUE(Next(r).IsLeftClick());
}

TEST(GetEvent, IdleRunsTheActionAndTheClockButNotWhileKeysWait) {
  DialogRig r;
  int idle = 0;
  SetIdleAction(r.screen, [&] {
    if (++idle == 20) r.console.PushKey(key::kEnter);
  });
  r.console.PushKey(key::kEsc);
  EXPECT_TRUE(Next(r).IsKey(key::kEsc));
  EXPECT_EQ(idle, 1);
  EXPECT_EQ(r.Cells(73, 1, 8), std::string(8, ' '));  // no clock while a key waited
  EXPECT_TRUE(Next(r).IsKey(key::kEnter));
  EXPECT_EQ(idle, 20);
  EXPECT_EQ(r.Cells(73, 1, 8), "10:00:01");
  EXPECT_EQ(r.AttrAt(73, 1), 0x0F);
  SetIdleAction(r.screen, nullptr);
}

TEST(GetEvent, WatcherAndLastEvent) {
  DialogRig r;
  int seen = 0;
  SetEventWatcher(r.screen, [&](Event& e) {
    ++seen;
    if (e.IsKey(key::kF1)) e.SetCommand(kCmFocus, 0, 2);
  });
  r.console.PushKey(key::kF1);
  Event e = Next(r);
  EXPECT_EQ(seen, 1);
  EXPECT_TRUE(e.IsCommand(kCmFocus));
  EXPECT_EQ(e.Parameter(), 2);
  EXPECT_EQ(LastEvent(r.screen).bytes, e.bytes);
}

TEST(StatusLine, DrawsItemsAndTurnsKeysAndClicksIntoCommands) {
  DialogRig r;
  {
    StatusLine outer(r.screen, {{0x1001, key::kPgDn, "PgDn-Dalej"}});
    EXPECT_EQ(r.Row(25), " PgDn-Dalej│");
    EXPECT_EQ(r.AttrAt(1, 25), 0x70);
    EXPECT_EQ(r.AttrAt(80, 25), 0x70);
    {
      StatusLine inner(
          r.screen,
          {{0x1002, key::kPgUp, "PgUp-Wstecz"}, {0x1001, key::kPgDn, "PgDn-Dalej"}, {0, 0, "?"}});
      EXPECT_EQ(r.Row(25), " PgUp-Wstecz│PgDn-Dalej│?│");
      r.console.PushKey(key::kPgUp);
      r.console.PushKey(key::kF5);
      r.Click(15, 25);  // on "PgDn-Dalej"
      r.Click(13, 25);  // on the separator
      r.Click(25, 25);  // on "?", which has no command
      Event e = Next(r);
      EXPECT_TRUE(e.IsCommand(0x1002));
      EXPECT_EQ(e.Origin(), kOriginStatusLine);
      EXPECT_TRUE(Next(r).IsKey(key::kF5));
      EXPECT_TRUE(Next(r).IsCommand(0x1001));
      EXPECT_TRUE(Next(r).IsLeftClick());
      EXPECT_TRUE(Next(r).IsLeftClick());
    }
    EXPECT_EQ(r.Row(25), " PgDn-Dalej│");
    r.console.PushKey(key::kPgUp);
    EXPECT_TRUE(Next(r).IsKey(key::kPgUp));
  }
  EXPECT_EQ(r.Row(25), "");
  EXPECT_EQ(r.AttrAt(1, 25), 0x07);
}

TEST(StatusLine, LongTextsAreCut) {
  DialogRig r;
  StatusLine line(r.screen, {{1, key::kF5, std::string(60, 'a')}});
  EXPECT_EQ(r.Row(25), " " + std::string(40, 'a') + "│");
}

}  // namespace
}  // namespace zq::tui
