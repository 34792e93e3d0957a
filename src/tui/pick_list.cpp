#include "tui/pick_list.h"

#include <algorithm>

#include "tui/polish.h"

namespace zq::tui {

namespace {

constexpr std::uint8_t kLine = 0xC4;          // ─
constexpr std::uint8_t kSearchMarker = 0xAF;  // »

}  // namespace

PickList::PickList(std::int32_t& current, int visibleRows, int width, int row, int column,
                   Label label)
    : Control(kKindPickList, Rect{}, std::move(label)),
      current_(current),
      rows_(std::max(1, visibleRows)),
      width_(std::max(1, width)) {
  rect_ = Rect{column, row, column + width_ + 2, row + rows_ + 2};
}

void PickList::SetCount(int count) {
  count_ = std::max(0, count);
  Normalise();
}

void PickList::AddSearchColumn(int position) {
  if (position >= 1 && static_cast<int>(searchColumns_.size()) < kMaxSearchColumns)
    searchColumns_.push_back(position);
}

void PickList::Normalise() {
  if (count_ == 0) {
    current_ = 0;
    first_ = 1;
    return;
  }
  if (current_ < 1 || current_ > count_) current_ = 1;
  int lastFirst = std::max(1, count_ - rows_ + 1);
  first_ = std::clamp(first_, 1, lastFirst);
}

// Brings the current item into view; `centre` puts it in the middle where possible.
void PickList::ShowCurrent(bool centre) {
  Normalise();
  if (count_ == 0) return;
  int lastFirst = std::max(1, count_ - rows_ + 1);
  bool visible = current_ >= first_ && current_ < first_ + rows_;
  if (centre && !visible)
    first_ = std::clamp(static_cast<int>(current_) - rows_ / 2, 1, lastFirst);
  else if (current_ < first_)
    first_ = current_;
  else if (current_ >= first_ + rows_)
    first_ = current_ - rows_ + 1;
}

void PickList::Draw() {
  if (!Owner()) return;
  Prepare();
  if (first_ == 0) {
    // First showing: the current item in the middle of the rows.
    Normalise();
    first_ = std::clamp(static_cast<int>(current_) - rows_ / 2, 1, std::max(1, count_ - rows_ + 1));
  }
  ShowCurrent(true);
  DrawLines();
  DrawRows();
  DrawLabel();
}

void PickList::DrawLines() {
  std::uint8_t attr = Colour(Focused() ? kHighlight : kNormal);
  std::string line(static_cast<std::size_t>(width_ + 2), static_cast<char>(kLine));
  std::size_t mark = static_cast<std::size_t>(width_ - 1);
  std::string top = line, bottom = line;
  if (Focused() && count_ > 0 && first_ > 1) top[mark] = '^';
  if (Focused() && count_ > 0 && first_ + rows_ - 1 < count_) bottom[mark] = 'v';
  Put(attr, rect_.left, rect_.top, top);
  Put(attr, rect_.left, rect_.top + rows_ + 1, bottom);
}

void PickList::DrawRows() {
  if (count_ == 0) {
    DrawEmpty();
    return;
  }
  for (int i = 0; i < rows_; ++i) DrawRow(i);
  DrawLines();
}

void PickList::DrawRow(int visibleRow) {
  if (visibleRow < 0 || visibleRow >= rows_) return;
  int item = first_ + visibleRow;
  int row = rect_.top + 1 + visibleRow;
  bool current = item == current_;
  char marker = ' ';
  if (current) marker = searchColumn_ > 0 ? static_cast<char>(kSearchMarker) : '>';
  PutCell(Colour(Focused() ? kHighlight : kNormal), rect_.left, row,
          static_cast<std::uint8_t>(marker));
  auto width = static_cast<std::size_t>(width_);
  if (item >= 1 && item <= count_)
    Put(Colour(current ? kFocusedField : kField), rect_.left + 1, row,
        PadCut(ItemText(item), width));
  else
    Put(SchemeColour(5), rect_.left + 1, row, std::string(width, ' '));
}

void PickList::DrawEmpty() {
  auto width = static_cast<std::size_t>(width_);
  for (int i = 0; i < rows_; ++i) {
    int row = rect_.top + 1 + i;
    PutCell(Colour(Focused() ? kHighlight : kNormal), rect_.left, row, ' ');
    Put(SchemeColour(5), rect_.left + 1, row, std::string(width, ' '));
  }
  std::string_view empty = ">> PUSTO <<";
  int offset = std::max(0, (width_ - static_cast<int>(empty.size())) / 2);
  Put(SchemeColour(8), rect_.left + 1 + offset, rect_.top + 1,
      empty.substr(0, std::min(empty.size(), width)));
  DrawLines();
}

int PickList::Find(std::string_view search, int from) {
  if (search.empty() || count_ == 0) return -1;
  from = std::max(1, from);
  if (searchColumn_ == 0 && sorted_) {
    // The first item whose upper-cased prefix does not sort before the search text.
    int low = from, high = count_ + 1;
    auto prefix = [&](int item) {
      std::string text = UpperText(ItemText(item));
      return text.substr(0, std::min(text.size(), search.size()));
    };
    while (low < high) {
      int mid = low + (high - low) / 2;
      if (PolishCompare(prefix(mid), search) < 0)
        low = mid + 1;
      else
        high = mid;
    }
    if (low <= count_ && PolishCompare(prefix(low), search) == 0) return low;
    return -1;
  }
  auto start =
      static_cast<std::size_t>(searchColumns_[static_cast<std::size_t>(searchColumn_)] - 1);
  for (int item = from; item <= count_; ++item) {
    std::string text = UpperText(ItemText(item));
    if (text.size() >= start && std::string_view(text).substr(start).starts_with(search))
      return item;
  }
  return -1;
}

bool PickList::Search(char c) {
  Screen& screen = Scr();
  bool hit = false;
  if (search_.size() < kMaxSearchText) {
    search_.push_back(UpperChar(c));
    int from = search_.size() == 1 ? 1 : static_cast<int>(current_);
    int item = Find(search_, from);
    if (item >= 1 && item <= count_) {
      current_ = item;
      ShowCurrent(true);
      DrawRows();
      hit = true;
    }
  }
  if (!hit) {
    screen.Beep(2, 1200);
    screen.Console().FlushInput();
    search_.clear();
  }
  return true;
}

bool PickList::Issue(Event& event, std::uint16_t command) {
  event.SetCommand(command, kOriginControl);
  return false;
}

bool PickList::Handle(Event& event) {
  Screen& screen = Scr();
  Normalise();
  bool searchChar =
      event.HasCharacter() && IsAcceptedChar(event.Character()) && !event.IsKey(key::kGreyPlus);
  if (!searchChar) search_.clear();
  if (event.IsMouse()) {
    if (!ClickInside(event)) return false;
    int row = InsideRow(event);
    if (row == rect_.top) {
      current_ = std::max(1, static_cast<int>(current_) - rows_);
      first_ = std::max(1, first_ - rows_);
    } else if (row == rect_.top + rows_ + 1) {
      current_ = std::min(count_, static_cast<int>(current_) + rows_);
      first_ = first_ + rows_;
    } else {
      int item = first_ + row - rect_.top - 1;
      if (count_ > 0 && item == current_) return Issue(event, kCmListChoose);
      if (item >= 1 && item <= count_) current_ = item;
    }
    Normalise();
    ShowCurrent(false);
    DrawRows();
    return true;
  }
  if (!event.IsKeyEvent()) return false;
  std::uint16_t code = event.KeyCode();
  if (count_ == 0) {
    if (code == key::kEnter || code == key::kDel) {
      screen.ErrorBeep();
      return true;
    }
    if (code == key::kInsert) return Issue(event, kCmListInsert);
    if (code == key::kTab || code == key::kShiftTab || searchChar) {
      // Nothing to move to or find: a search beeps as any miss does.
      if (searchChar) return Search(event.Character());
      return true;
    }
    return false;
  }
  switch (code) {
    case key::kUp:
      if (current_ <= 1) {
        if (!leaveAtEdges_) return true;
        event.SetKey(key::kShiftTab, event.ShiftState(), true, ' ');
        return false;
      }
      --current_;
      break;
    case key::kDown:
      if (current_ >= count_) {
        if (!leaveAtEdges_) return true;
        event.SetKey(key::kTab, event.ShiftState(), false, '\t');
        return false;
      }
      ++current_;
      break;
    case key::kPgUp:
      current_ = std::max(1, static_cast<int>(current_) - rows_);
      first_ = std::max(1, first_ - rows_);
      break;
    case key::kPgDn:
      current_ = std::min(count_, static_cast<int>(current_) + rows_);
      first_ = first_ + rows_;
      break;
    case key::kHome:
      current_ = 1;
      break;
    case key::kEnd:
      current_ = count_;
      break;
    case key::kEnter:
      return Issue(event, kCmListChoose);
    case key::kCtrlEnter:
      return Issue(event, kCmListCtrlEnter);
    case key::kInsert:
      return Issue(event, kCmListInsert);
    case key::kDel:
      return Issue(event, kCmListDel);
    case key::kTab:
    case key::kShiftTab: {
      int n = static_cast<int>(searchColumns_.size());
      searchColumn_ = (searchColumn_ + (code == key::kTab ? 1 : n - 1)) % n;
      DrawRow(current_ - first_);
      return true;
    }
    default:
      if (searchChar) return Search(event.Character());
      return false;
  }
  Normalise();
  ShowCurrent(false);
  DrawRows();
  return true;
}

}  // namespace zq::tui
