#include "tui/dialog.h"

#include <algorithm>

#include "tui/controls.h"
#include "tui/polish.h"

namespace zq::tui {

namespace {

constexpr char kStatusSeparator = '\xB3';  // │
constexpr std::size_t kStatusTextMax = 40;
constexpr std::size_t kLabelMax = 80;

bool ClosesPage(std::uint16_t command) {
  switch (command) {
    case kCmYes:
    case kCmNo:
    case kCmOk:
    case kCmCancel:
    case kCmClose5:
    case kCmClose7:
      return true;
    default:
      return false;
  }
}

}  // namespace

// ---- Label ----

Label::Label(std::string_view text, int row, int column)
    : text_(text.substr(0, std::min(text.size(), kLabelMax))), row_(row), column_(column) {}

bool Label::Contains(int column, int row) const {
  return !None() && row == row_ && column >= column_ &&
         column < column_ + static_cast<int>(text_.size());
}

// ---- Control ----

Control::Control(int kind, Rect rect, Label label)
    : rect_(rect), kind_(kind), label_(std::move(label)) {}

bool Control::Hit(int column, int row) const {
  return rect_.Contains(column, row) || label_.Contains(column, row);
}

Screen& Control::Scr() const {
  return owner_->GetScreen();
}

void Control::Put(std::uint8_t attr, int column, int row, std::string_view text) const {
  if (owner_) owner_->WriteText(attr, column, row, text);
}

void Control::PutCell(std::uint8_t attr, int column, int row, std::uint8_t ch) const {
  char c = static_cast<char>(ch);
  Put(attr, column, row, std::string_view(&c, 1));
}

void Control::DrawLabel() const {
  if (label_.None()) return;
  Put(Colour(focused_ ? kHighlight : kNormal), label_.Column(), label_.Row(), label_.Text());
}

std::uint8_t Control::Colour(ControlColour which) const {
  return Scr().ControlAttr(which);
}

std::uint8_t Control::SchemeColour(std::size_t index) const {
  return Scr().Scheme()[index];
}

int Control::InsideColumn(const Event& event) const {
  FramedWindow* w = owner_ ? owner_->Window() : nullptr;
  return w ? event.Column() - w->InnerLeft() + 1 : event.Column();
}

int Control::InsideRow(const Event& event) const {
  FramedWindow* w = owner_ ? owner_->Window() : nullptr;
  return w ? event.Row() - w->InnerTop() + 1 : event.Row();
}

bool Control::ClickInside(const Event& event) const {
  return event.IsLeftClick() && rect_.Contains(InsideColumn(event), InsideRow(event));
}

void Control::MarkModified() const {
  ModifiedFlag(Scr()) = true;
}

bool Control::CursorAt(int&, int&) const {
  return false;
}

void Control::ReadEvent(Event& event) {
  Screen& screen = Scr();
  int column = 0, row = 0;
  FramedWindow* w = owner_->Window();
  if (w && CursorAt(column, row)) {
    screen.PlaceCursor(w->InnerLeft() + column - 1, w->InnerTop() + row - 1);
    screen.ShowCursor(InsertMode(screen) ? 20 : 50);
  } else {
    screen.HideCursor();
  }
  GetEvent(screen, event);
  if (event.IsLeftClick()) {
    int c = InsideColumn(event), r = InsideRow(event);
    if (label_.Contains(c, r)) {
      screen.Beep(2, 4000);
      event.Clear();
    } else if (rect_.Contains(c, r) && !TakesClicks()) {
      screen.Beep(2, 300);
      event.Clear();
    }
  }
  screen.HideCursor();
}

void Control::Edit(Event& event) {
  focused_ = true;
  BeginEdit();
  Draw();
  for (;;) {
    ReadEvent(event);
    if (event.IsNothing()) continue;
    if (!Handle(event)) break;
  }
  focused_ = false;
  EndEdit();
  Draw();
}

// ---- StatusLine ----

StatusLine::StatusLine(Screen& screen, std::vector<StatusItem> items)
    : screen_(screen), items_(std::move(items)) {
  for (StatusItem& item : items_)
    if (item.text.size() > kStatusTextMax) item.text.resize(kStatusTextMax);
  LayerState(screen_).statusLines.push_back(this);
  Draw();
}

StatusLine::~StatusLine() {
  auto& stack = LayerState(screen_).statusLines;
  bool top = !stack.empty() && stack.back() == this;
  stack.erase(std::remove(stack.begin(), stack.end(), this), stack.end());
  if (!top) return;
  if (!stack.empty())
    stack.back()->Draw();
  else
    screen_.FillAbsolute(screen_.Scheme()[0], 1, platform::Console::kRows,
                         platform::Console::kColumns);
}

void StatusLine::Draw() const {
  std::uint8_t attr = screen_.Scheme()[10];
  int row = platform::Console::kRows;
  screen_.FillAbsolute(attr, 1, row, platform::Console::kColumns);
  int column = 2;
  for (const StatusItem& item : items_) {
    std::string text = item.text + kStatusSeparator;
    screen_.WriteAbsolute(attr, column, row, text);
    column += static_cast<int>(text.size());
  }
}

void StatusLine::Translate(Event& event) const {
  if (event.IsKeyEvent()) {
    for (const StatusItem& item : items_) {
      if (item.key != 0 && item.command != 0 && event.KeyCode() == item.key) {
        event.SetCommand(item.command, kOriginStatusLine);
        return;
      }
    }
  } else if (event.IsLeftClick() && event.Row() == platform::Console::kRows) {
    int column = 2;
    for (const StatusItem& item : items_) {
      int width = static_cast<int>(item.text.size());
      if (item.command != 0 && event.Column() >= column && event.Column() < column + width) {
        event.SetCommand(item.command, kOriginStatusLine);
        return;
      }
      column += width + 1;
    }
  }
}

// ---- DialogPage ----

DialogPage::DialogPage(Screen& screen, std::string_view title, int height, int width, int row,
                       int column)
    : screen_(screen) {
  const ColourScheme& s = screen.Scheme();
  window_ = screen.OpenWindow(column, row, column + width - 1, row + height - 1, title, s[6], s[4],
                              s[5], WindowOptions{false, true, true});
}

DialogPage::~DialogPage() {
  Done();
}

int DialogPage::Insert(std::unique_ptr<Control> control) {
  if (!control) return 0;
  if (Count() >= kMaxControls) {
    overflow_.push_back(std::move(control));
    return 0;
  }
  control->owner_ = this;
  controls_.push_back(std::move(control));
  int number = Count();
  if (!hotKeys_ && controls_.back()->Kind() == kKindPushButton) {
    hotKeys_ = true;
    firstButton_ = number;
  }
  if (Opened()) controls_.back()->Draw();
  return number;
}

Control* DialogPage::At(int number) const {
  if (number < 1 || number > Count()) return nullptr;
  return controls_[static_cast<std::size_t>(number - 1)].get();
}

void DialogPage::Focus(int number) {
  if (number >= 1 && number <= Count()) current_ = number;
}

void DialogPage::SetStatusLine(std::vector<StatusItem> items) {
  statusLine_.reset();
  // A page that never showed must not leave its keys bound either.
  if (Opened()) statusLine_ = std::make_unique<StatusLine>(screen_, std::move(items));
}

void DialogPage::DrawControls() {
  if (!Opened()) return;
  for (auto& c : controls_) c->Draw();
}

void DialogPage::WriteText(std::uint8_t attr, int column, int row, std::string_view text) const {
  FramedWindow* w = window_.get();
  if (!w || row < 1 || row > w->InnerHeight() || text.empty()) return;
  if (column < 1) {
    auto skip = static_cast<std::size_t>(1 - column);
    if (skip >= text.size()) return;
    text.remove_prefix(skip);
    column = 1;
  }
  int room = w->InnerWidth() - column + 1;
  if (room <= 0) return;
  text = text.substr(0, std::min(text.size(), static_cast<std::size_t>(room)));
  screen_.WriteAbsolute(attr, w->InnerLeft() + column - 1, w->InnerTop() + row - 1, text);
}

std::uint16_t DialogPage::Execute() {
  if (!Opened()) return kCmCancel;
  DialogLayerState& state = LayerState(screen_);
  DialogPage* previous = state.currentPage;
  struct Restore {
    DialogLayerState& state;
    DialogPage* previous;
    ~Restore() { state.currentPage = previous; }
  } restore{state, previous};

  closing_ = false;
  redispatch_ = false;
  result_ = kCmCancel;
  bool selectable = std::any_of(controls_.begin(), controls_.end(),
                                [](const auto& c) { return c->Selectable(); });
  if (selectable && (!At(current_) || !At(current_)->Selectable())) {
    current_ = 1;
    while (!At(current_)->Selectable()) ++current_;
  }
  Event event;
  while (!closing_) {
    state.currentPage = this;
    if (redispatch_)
      redispatch_ = false;
    else if (selectable)
      At(current_)->Edit(event);
    else
      GetEvent(screen_, event);
    HandleEvent(event);
  }
  return result_;
}

void DialogPage::Close(std::uint16_t command) {
  result_ = command;
  closing_ = true;
}

void DialogPage::MoveFocus(int step) {
  int n = Count();
  int next = current_;
  for (int i = 0; i < n; ++i) {
    next = (next - 1 + step + n) % n + 1;
    if (At(next)->Selectable()) {
      current_ = next;
      return;
    }
  }
}

bool DialogPage::PressHotKey(Event& event) {
  if (!hotKeys_ || firstButton_ < 1) return false;
  char typed = NationalUpperChar(event.Character());
  for (int i = firstButton_; i <= Count(); ++i) {
    Control* c = At(i);
    if (c->Kind() != kKindPushButton) continue;
    auto* button = static_cast<PushButton*>(c);
    if (button->Title().empty() || NationalUpperChar(button->Title().front()) != typed) continue;
    event.SetCommand(button->Command(), kOriginControl);
    current_ = i;
    // The current control has already let the key go; the command is handled on the
    // next round as if the button itself had issued it.
    redispatch_ = true;
    return true;
  }
  return false;
}

void DialogPage::HandleEvent(Event& event) {
  if (event.IsKeyEvent()) {
    std::uint16_t code = event.KeyCode();
    if (code == key::kEsc) {
      event.SetCommand(kCmCancel);
    } else if (code == key::kUp || code == key::kShiftTab || code == key::kLeft) {
      if (Count() > 1) {
        MoveFocus(-1);
        event.Clear();
      }
    } else if (code == key::kDown || code == key::kTab || code == key::kRight ||
               code == key::kEnter) {
      if (Count() > 1) {
        MoveFocus(1);
        event.Clear();
      }
    } else if (code == key::kF1) {
      Control* c = At(current_);
      std::uint16_t context = c && c->HelpContext() ? c->HelpContext() : helpContext_;
      if (f1Action_) f1Action_(context);
      event.Clear();
    } else if (event.HasCharacter()) {
      PressHotKey(event);
    }
  } else if (event.IsMouse()) {
    std::uint16_t button = event.Button();
    if (button == kButtonRight) {
      event.SetCommand(kCmCancel);
    } else if (button == kButtonThird || button == kButtonFourth) {
      event.SetCommand(kCmOk);
    } else if (button == kButtonLeft && window_) {
      int column = event.Column() - window_->InnerLeft() + 1;
      int row = event.Row() - window_->InnerTop() + 1;
      if (column >= 1 && column <= window_->InnerWidth() && row >= 1 &&
          row <= window_->InnerHeight()) {
        for (int i = 1; i <= Count(); ++i) {
          if (At(i)->Selectable() && At(i)->Hit(column, row)) {
            current_ = i;
            break;
          }
        }
        event.Clear();
      }
    }
  } else if (event.IsCommand(kCmFocus)) {
    int number = event.Parameter();
    if (number >= 1 && number <= Count()) {
      Focus(number);
      event.Clear();
    }
  }
  if (event.IsCommand() && ClosesPage(event.Command())) Close(event.Command());
}

void DialogPage::Done() {
  if (done_) return;
  done_ = true;
  statusLine_.reset();
  while (!controls_.empty()) {
    controls_.back()->Done();
    controls_.pop_back();
  }
  overflow_.clear();
  window_.reset();
}

}  // namespace zq::tui
