#include "tui/message.h"

#include <gtest/gtest.h>

#include "tui/dialog_rig.h"
#include "tui/event.h"

namespace zq::tui {
namespace {

using zq::operator""_pl;
using test::DialogRig;

const std::string kCancelQuestion = std::string("Rezygnujesz z konwersji danych na nowy rok ?"_pl);

TEST(YesNoQuestion, KeysAndDefault) {
  DialogRig r;
  r.console.PushKey(key::kEnter);
  EXPECT_FALSE(YesNoQuestion(r.screen, false, kCancelQuestion, 10, 10));
  r.console.PushKey(key::kEnter);
  EXPECT_TRUE(YesNoQuestion(r.screen, true, kCancelQuestion, 10, 10));
  r.console.PushKeys({key::kDown, key::kEnter});
  EXPECT_TRUE(YesNoQuestion(r.screen, false, kCancelQuestion, 10, 10));
  r.console.PushKeys({key::kEsc, 0x1474});
  EXPECT_TRUE(YesNoQuestion(r.screen, false, kCancelQuestion, 10, 10));
  r.console.PushText("N");
  EXPECT_FALSE(YesNoQuestion(r.screen, true, kCancelQuestion, 10, 10));
}

TEST(ErrorBox, ClosesWithEnter) {
  DialogRig r;
  r.console.PushKey(key::kEnter);
  EXPECT_EQ(ErrorBox(r.screen,
                     "\x03"
                     "Brak katalogu\r\x03"
                     "D:\\X\\"),
            kCmOk);
}

}  // namespace
}  // namespace zq::tui

namespace zq::tui {
namespace {

TEST(MessageGolden, Screens) {
  test::DialogRig r;
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
