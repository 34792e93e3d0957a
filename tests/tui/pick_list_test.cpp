#include "tui/pick_list.h"

#include <gtest/gtest.h>

#include "tui/controls.h"
#include "tui/dialog_rig.h"
#include "tui/polish.h"

namespace zq::tui {
namespace {

using test::DialogRig;
using zq::operator""_pl;

class TextList : public PickList {
 public:
  TextList(std::int32_t& current, std::vector<std::string> items, int rows, int width, int row,
           int column, Label label = {})
      : PickList(current, rows, width, row, column, std::move(label)), items(std::move(items)) {
    SetCount(static_cast<int>(this->items.size()));
  }
  void Prepare() override { SetCount(static_cast<int>(items.size())); }
  std::string ItemText(int item) override { return items[static_cast<std::size_t>(item - 1)]; }
  std::vector<std::string> items;
};

// A firm line as the selection window builds it: name, mark at 32, directory at 34.
std::string FirmLine(std::string_view name, std::string_view dir) {
  std::string line(52, ' ');
  line.replace(0, name.size(), name);
  line[31] = '\xFE';
  line.replace(33, dir.size(), dir);
  return line;
}

std::vector<std::string> Firms() {
  return {FirmLine("Zakład Stolarski"_pl, "STOLARZ"),
          FirmLine("Lublin Handel", "LUBHAN"),
          FirmLine("Łódź Transport"_pl, "LODZTR"),
          FirmLine("Mława Sklep"_pl, "MLAWA"),
          FirmLine("Ćma Usługi"_pl, "CMA"),
          FirmLine("Ala i Spółka"_pl, "ALA1"),
          FirmLine("Łask Rolnik"_pl, "LASK"),
          FirmLine("Bogdan Kowal", "BKOWAL"),
          FirmLine("Cezary Piekarz", "ZZPIEK"),
          FirmLine("Dorota Biuro", "DBIURO"),
          FirmLine("Ewa Fryzjer", "EWAF"),
          FirmLine("Franek Auto", "FRAUTO"),
          FirmLine("Grześ Bud"_pl, "GBUD")};
}

// The firm selection window's shape: a page at row 6, column 10, 58 x 15.
struct FirmPage {
  explicit FirmPage(DialogRig& r, std::vector<std::string> items = Firms())
      : page(r.screen, " BAZA FIRM ", 15, 58, 6, 10) {
    list = &page.Add<TextList>(current, std::move(items), 10, 52, 2, 1,
                               Label("Nazwa                   Wybrana? KATALOG   INFO", 1, 3));
    list->AddSearchColumn(34);
  }
  // Row on screen of visible list row i (0-based), column of the items.
  static int RowOf(int i) { return 6 + 1 + 2 + i; }
  static constexpr int kItemColumn = 10 + 1 + 1;
  std::int32_t current = 0;
  DialogPage page;
  TextList* list;
};

std::vector<int> Frequencies(const DialogRig& r) {
  std::vector<int> out;
  for (auto [f, ms] : r.console.Beeps()) out.push_back(f);
  return out;
}

TEST(PickList, GoldenScreen) {
  DialogRig r;
  FirmPage p(r);
  p.current = 12;
  std::string shot;
  r.Then([&] { shot = r.Snapshot(); });
  r.console.PushKey(key::kEsc);
  EXPECT_EQ(p.page.Execute(), kCmCancel);
  EXPECT_EQ(shot, zq::test::Golden("tui/pick_list.txt", shot));
}

TEST(PickList, EmptyListShowsPustoAndOnlyBeeps) {
  DialogRig r;
  FirmPage p(r, {});
  std::string shot;
  r.Then([&] { shot = r.Snapshot(); });
  r.console.PushKeys({key::kEnter, key::kDel, key::kDown});
  r.console.PushKey(key::kEsc);
  EXPECT_EQ(p.page.Execute(), kCmCancel);
  EXPECT_EQ(p.current, 0);
  EXPECT_EQ(r.console.Beeps(), (std::vector<std::pair<int, int>>{{500, 288}, {500, 288}}));
  EXPECT_EQ(shot, zq::test::Golden("tui/pick_list_empty.txt", shot));
  EXPECT_EQ(r.AttrAt(FirmPage::kItemColumn + 20, FirmPage::RowOf(0)), 0x4F);
}

// Runs the page; records every command that reached the page.
class Recorder : public DialogPage {
 public:
  Recorder(Screen& s) : DialogPage(s, " BAZA FIRM ", 15, 58, 6, 10) {}
  void HandleEvent(Event& e) override {
    if (e.IsCommand()) commands.push_back(e.Command());
    DialogPage::HandleEvent(e);
  }
  std::vector<std::uint16_t> commands;
};

TEST(PickList, InsertOnAnEmptyListIssuesItsCommand) {
  DialogRig r;
  std::int32_t current = 4;
  Recorder page(r.screen);
  page.Add<TextList>(current, std::vector<std::string>{}, 10, 52, 2, 1);
  r.console.PushKeys({key::kInsert, key::kEsc});
  EXPECT_EQ(page.Execute(), kCmCancel);
  EXPECT_EQ(page.commands, (std::vector<std::uint16_t>{kCmListInsert}));
  EXPECT_EQ(current, 0);
}

TEST(PickList, CommandKeysAndClicks) {
  DialogRig r;
  std::int32_t current = 3;
  Recorder page(r.screen);
  auto& list = page.Add<TextList>(current, Firms(), 10, 52, 2, 1);
  r.console.PushKeys({key::kEnter, key::kCtrlEnter, key::kInsert, key::kDel});
  r.Click(FirmPage::kItemColumn + 5, FirmPage::RowOf(2));  // the current row: chosen
  r.Click(FirmPage::kItemColumn + 5, FirmPage::RowOf(4));  // another row: made current
  r.Then([&] { EXPECT_EQ(current, 5); });
  r.console.PushKey(key::kEsc);
  EXPECT_EQ(page.Execute(), kCmCancel);
  EXPECT_EQ(page.commands, (std::vector<std::uint16_t>{kCmListChoose, kCmListCtrlEnter,
                                                       kCmListInsert, kCmListDel, kCmListChoose}));
  EXPECT_EQ(list.FirstShown(), 1);
}

TEST(PickList, MovingAndScrolling) {
  DialogRig r;
  FirmPage p(r);
  std::vector<std::pair<int, int>> seen;  // current, first shown
  auto note = [&] { seen.emplace_back(p.current, p.list->FirstShown()); };
  r.Then(note);
  r.console.PushKey(key::kUp);  // at the first item: nothing
  r.Then(note);
  for (int i = 0; i < 10; ++i) r.console.PushKey(key::kDown);
  r.Then(note);  // scrolled by one
  r.console.PushKey(key::kPgDn);
  r.Then(note);  // stops at the last item
  r.console.PushKey(key::kDown);
  r.Then(note);
  r.console.PushKey(key::kPgUp);
  r.Then(note);
  r.console.PushKey(key::kHome);
  r.Then(note);
  r.console.PushKey(key::kEnd);
  r.Then(note);
  r.Click(FirmPage::kItemColumn + 3, FirmPage::RowOf(-1));  // top line: page up
  r.Then(note);
  r.Click(FirmPage::kItemColumn + 3, FirmPage::RowOf(10));  // bottom line: page down
  r.Then(note);
  r.console.PushKey(key::kEsc);
  p.page.Execute();
  EXPECT_EQ(
      seen,
      (std::vector<std::pair<int, int>>{
          {1, 1}, {1, 1}, {11, 2}, {13, 4}, {13, 4}, {3, 1}, {1, 1}, {13, 4}, {3, 1}, {13, 4}}));
}

TEST(PickList, ScrollMarksShowWhileFocused) {
  DialogRig r;
  FirmPage p(r);
  int mark = 11 + 52 - 1;  // two columns left of the right edge
  int top = FirmPage::RowOf(-1), bottom = FirmPage::RowOf(10);
  r.Then([&] {
    EXPECT_EQ(r.Cells(mark, top, 1), "\xC4");
    EXPECT_EQ(r.Cells(mark, bottom, 1), "v");
    EXPECT_EQ(r.AttrAt(mark, bottom), 0x0F);
  });
  r.console.PushKey(key::kEnd);
  r.Then([&] {
    EXPECT_EQ(r.Cells(mark, top, 1), "^");
    EXPECT_EQ(r.Cells(mark, bottom, 1), "\xC4");
  });
  r.console.PushKey(key::kEsc);
  p.page.Execute();
  // Unfocused: no marks.
  EXPECT_EQ(r.Cells(mark, top, 1), "\xC4");
  EXPECT_EQ(r.AttrAt(mark, top), 0x07);
}

TEST(PickList, LeaveAtEdges) {
  DialogRig r;
  std::int32_t current = 1;
  std::string text;
  DialogPage page(r.screen, "", 15, 58, 6, 10);
  auto& list = page.Add<TextList>(current, std::vector<std::string>{"a", "b"}, 5, 20, 1, 1);
  page.Add<InputLine>(text, 5, 12, 2);
  list.SetLeaveAtEdges(true);
  std::vector<int> focus;
  r.console.PushKey(key::kUp);  // leaves as Shift+Tab: to the last control
  r.Then([&] { focus.push_back(page.Current()); });
  r.console.PushKey(key::kTab);
  r.console.PushKeys({key::kDown, key::kDown});  // leaves as Tab at the last item
  r.Then([&] { focus.push_back(page.Current()); });
  r.console.PushKey(key::kEsc);
  page.Execute();
  EXPECT_EQ(focus, (std::vector<int>{2, 2}));
  EXPECT_EQ(current, 2);
}

TEST(PickList, QuickSearchInBothColumnsWithPolishLetters) {
  DialogRig r;
  FirmPage p(r);
  std::vector<int> seen;
  auto note = [&] { seen.push_back(p.current); };
  r.console.PushText("ł"_pl);  // lower case typed, upper-cased for the search
  r.Then(note);                // Łódź Transport
  r.Then([&] { EXPECT_EQ(p.list->SearchText(), "Ł"_pl); });
  r.console.PushText("a");
  r.Then(note);                // on from there: Łask Rolnik
  r.console.PushText("ć"_pl);  // the search text starts again at item 1
  r.Then(note);                // no: "ŁAĆ" finds nothing, beeps and empties the search
  r.Then([&] { EXPECT_EQ(p.list->SearchText(), ""); });
  r.console.PushText("ć"_pl);
  r.Then(note);                  // Ćma Usługi
  r.console.PushKey(key::kTab);  // the directory column
  r.Then([&] {
    EXPECT_EQ(p.list->SearchColumnIndex(), 1);
    EXPECT_EQ(r.Cells(11, FirmPage::RowOf(p.current - p.list->FirstShown()), 1), "\xAF");
  });
  r.console.PushText("zz");
  r.Then(note);                       // ZZPIEK
  r.console.PushKey(key::kShiftTab);  // back to the names; any other key empties the search
  r.Then([&] { EXPECT_EQ(p.list->SearchText(), ""); });
  r.console.PushText("z");
  r.Then(note);  // Zakład Stolarski
  r.console.PushKey(key::kEsc);
  p.page.Execute();
  EXPECT_EQ(seen, (std::vector<int>{3, 7, 7, 5, 9, 1}));
  EXPECT_EQ(r.console.Beeps(), (std::vector<std::pair<int, int>>{{1200, 96}}));
}

TEST(PickList, MissDropsWaitingKeys) {
  DialogRig r;
  FirmPage p(r);
  r.console.SetTypeAhead(true);
  r.console.PushText("q");    // no firm starts with Q
  r.console.PushText("ewa");  // typed ahead: dropped with the miss
  r.Then([&] { EXPECT_EQ(p.current, 1); });
  r.console.PushKey(key::kEsc);
  p.page.Execute();
  EXPECT_EQ(Frequencies(r), (std::vector<int>{1200}));
}

TEST(PickList, SortedListsAreSearchedByHalving) {
  DialogRig r;
  std::vector<std::string> names;
  for (std::string_view n :
       {std::string_view("Ala"), "Ąb"_pl, std::string_view("Bogdan"), std::string_view("Cma"),
        "Ćma"_pl, std::string_view("Lis"), "Łoś"_pl, std::string_view("Osa"), "Ósemka"_pl,
        std::string_view("Zebra"), "Żaba"_pl})
    names.emplace_back(n);
  std::int32_t current = 1;
  DialogPage page(r.screen, "", 15, 58, 6, 10);
  auto& list = page.Add<TextList>(current, names, 5, 20, 1, 1);
  list.SetSorted(true);
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::string upper = UpperText(names[i]);
    EXPECT_EQ(list.Find(upper.substr(0, 2), 1), static_cast<int>(i) + 1) << i;
  }
  EXPECT_EQ(list.Find("ŁA"_pl, 1), -1);
  EXPECT_EQ(list.Find("Z", 1), 10);
  EXPECT_EQ(list.Find("A", 2), -1);  // from item 2 on no text begins with A
}

}  // namespace
}  // namespace zq::tui
