#include "tui/controls.h"

#include <algorithm>

#include "tui/polish.h"

namespace zq::tui {

namespace {

constexpr std::uint8_t kMarkOn = 0xFE;     // ■
constexpr std::uint8_t kMarkOff = 0xFA;    // ·
constexpr std::uint8_t kLeftMark = 0xAE;   // «
constexpr std::uint8_t kRightMark = 0xAF;  // »
constexpr std::size_t kClipboardMax = 128;
constexpr std::size_t kItemMax = 78;
constexpr std::size_t kTitleMax = 70;

std::vector<std::string> CutItems(std::vector<std::string> items, std::size_t count) {
  if (items.size() > count) items.resize(count);
  for (std::string& item : items)
    if (item.size() > kItemMax) item.resize(kItemMax);
  return items;
}

int LongestItem(const std::vector<std::string>& items) {
  std::size_t longest = 0;
  for (const std::string& item : items) longest = std::max(longest, item.size());
  return static_cast<int>(longest);
}

bool IsSelectChar(const Event& e) {
  return e.IsChar(' ') || e.IsChar('x') || e.IsChar('X');
}

void TrimRight(std::string& text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
}

// Up/Left and Down/Right move a group's current item; at either end the key is left
// to the page, which moves the focus on.
enum class ItemStep { kNone, kMoved, kAtEnd };
ItemStep StepItem(const Event& event, int& current, int count) {
  if (event.IsKey(key::kUp) || event.IsKey(key::kLeft)) {
    if (current == 0) return ItemStep::kAtEnd;
    --current;
    return ItemStep::kMoved;
  }
  if (event.IsKey(key::kDown) || event.IsKey(key::kRight)) {
    if (current >= count - 1) return ItemStep::kAtEnd;
    ++current;
    return ItemStep::kMoved;
  }
  return ItemStep::kNone;
}

// The cursor of a group stands in the mark of its current item.
bool ItemCursor(const Rect& rect, int current, int& column, int& row) {
  column = rect.left + 1;
  row = rect.top + current;
  return true;
}

}  // namespace

std::string FilterPastedText(std::string_view text, std::size_t max) {
  std::string out;
  for (char c : text) {
    auto b = static_cast<unsigned char>(c);
    if (b < 0x20 && b != 0x15) break;
    if (!IsAcceptedChar(c)) continue;
    if (out.size() >= max) break;
    out.push_back(c);
  }
  return out;
}

// ---- InputLine ----

InputLine::InputLine(std::string& text, int maxLength, int row, int column, Label label, int width)
    : Control(kKindInputLine, Rect{}, std::move(label)),
      text_(text),
      max_(std::clamp(maxLength, 1, kMaxLength)),
      width_(width > 0 ? std::min(width, max_) : max_) {
  rect_ = Rect{column, row, column + width_, row + 1};
  if (static_cast<int>(text_.size()) > max_) text_.resize(static_cast<std::size_t>(max_));
  TrimRight(text_);
}

void InputLine::Draw() {
  if (!Owner()) return;
  std::string shown = text_.substr(std::min(text_.size(), static_cast<std::size_t>(scroll_)));
  if (password_) shown.assign(shown.size(), '*');
  Put(Colour(Focused() ? kFocusedField : kField), rect_.left, rect_.top,
      PadCut(shown, static_cast<std::size_t>(width_)));
  if (Scrolls()) {
    std::uint8_t plain = Owner()->Window() ? Owner()->Window()->TextAttr() : SchemeColour(5);
    bool before = scroll_ > 0;
    bool after = static_cast<int>(text_.size()) > scroll_ + width_;
    PutCell(before ? SchemeColour(9) : plain, rect_.left - 1, rect_.top, before ? kLeftMark : ' ');
    PutCell(after ? SchemeColour(9) : plain, rect_.right, rect_.top, after ? kRightMark : ' ');
  }
  DrawLabel();
}

void InputLine::KeepCursorVisible() {
  if (!Scrolls()) {
    scroll_ = 0;
    return;
  }
  if (pos_ < scroll_) scroll_ = pos_;
  if (pos_ > scroll_ + width_ - 1) scroll_ = pos_ - width_ + 1;
}

void InputLine::Replace(std::string_view text) {
  text_.assign(text.substr(0, std::min(text.size(), static_cast<std::size_t>(max_))));
  pos_ = static_cast<int>(text_.size());
}

void InputLine::BeginEdit() {
  entry_ = text_;
  pos_ = std::min(static_cast<int>(text_.size()), max_);
  KeepCursorVisible();
}

void InputLine::EndEdit() {
  TrimRight(text_);
  pos_ = std::min(pos_, static_cast<int>(text_.size()));
  scroll_ = 0;
  if (text_ != entry_) MarkModified();
}

bool InputLine::CursorAt(int& column, int& row) const {
  column = rect_.left + pos_ - scroll_;
  row = rect_.top;
  return true;
}

bool InputLine::Handle(Event& event) {
  Screen& screen = Scr();
  int length = static_cast<int>(text_.size());
  if (event.IsMouse()) {
    if (!ClickInside(event)) return false;
    int at = scroll_ + InsideColumn(event) - rect_.left;
    pos_ = std::clamp(at, 0, std::min(length, max_));
    KeepCursorVisible();
    Draw();
    return true;
  }
  if (!event.IsKeyEvent()) return false;
  auto at = static_cast<std::size_t>(pos_);
  DialogLayerState& state = LayerState(screen);
  switch (event.KeyCode()) {
    case key::kBackspace:
      if (pos_ == 0) {
        screen.Beep(1, 1200);
      } else {
        --pos_;
        text_.erase(at - 1, 1);
      }
      break;
    case key::kDel:
      if (pos_ >= max_)
        screen.Beep(1, 2250);
      else if (pos_ < length)
        text_.erase(at, 1);
      break;
    case key::kLeft:
      if (pos_ == 0) return false;
      --pos_;
      break;
    case key::kRight:
      if (pos_ + 1 > max_) return false;
      if (pos_ + 1 <= length) ++pos_;
      break;
    case key::kCtrlLeft:
      pos_ = 0;
      break;
    case key::kCtrlRight:
      pos_ = std::min(length, max_);
      break;
    case key::kInsert:
      state.insertMode = !state.insertMode;
      break;
    case key::kCtrlP:
      Replace(entry_);
      break;
    case key::kCtrlY:
      Replace("");
      break;
    case key::kCtrlK:
      state.clipboard = text_.substr(0, std::min(text_.size(), kClipboardMax));
      break;
    case key::kCtrlW:
      Replace(FilterPastedText(state.clipboard, static_cast<std::size_t>(max_)));
      break;
    case key::kCtrlInsert:
      // Without a system clipboard the toolkit's own keeps the text.
      if (!screen.Console().SetClipboard(text_))
        state.clipboard = text_.substr(0, std::min(text_.size(), kClipboardMax));
      break;
    case key::kShiftInsert: {
      std::string pasted;
      if (!screen.Console().GetClipboard(pasted)) pasted = state.clipboard;
      Replace(FilterPastedText(pasted, static_cast<std::size_t>(max_)));
      break;
    }
    case key::kCtrlD:
      text_ = UpperText(text_);
      break;
    case key::kCtrlM:
    case key::kCtrlL:
      text_ = LowerText(text_);
      break;
    default: {
      if (!event.HasCharacter() || !IsAcceptedChar(event.Character())) return false;
      char c = upperCase_ ? UpperChar(event.Character()) : event.Character();
      if (pos_ >= max_) {
        screen.Beep(1, 3000);
      } else if (state.insertMode) {
        text_.insert(at, 1, c);
        if (static_cast<int>(text_.size()) > max_) text_.resize(static_cast<std::size_t>(max_));
        ++pos_;
      } else {
        if (pos_ < length)
          text_[at] = c;
        else
          text_.push_back(c);
        ++pos_;
      }
      break;
    }
  }
  KeepCursorVisible();
  Draw();
  return true;
}

// ---- CheckBox ----

CheckBox::CheckBox(std::string_view text, bool& value, int row, int column, Label label)
    : Control(kKindCheckBox, Rect{}, std::move(label)),
      text_(text.substr(0, std::min(text.size(), kItemMax))),
      value_(value) {
  rect_ = Rect{column, row, column + 4 + static_cast<int>(text_.size()), row + 1};
}

void CheckBox::Draw() {
  if (!Owner()) return;
  std::uint8_t normal = Colour(kNormal), high = Colour(kHighlight);
  Put(normal, rect_.left, rect_.top, "[ ]");
  PutCell(high, rect_.left + 1, rect_.top, value_ ? kMarkOn : ' ');
  Put(Focused() ? high : normal, rect_.left + 4, rect_.top, text_);
  DrawLabel();
}

void CheckBox::Toggle() {
  value_ = !value_;
  MarkModified();
  Draw();
}

bool CheckBox::Handle(Event& event) {
  if (IsSelectChar(event) || ClickInside(event)) {
    Toggle();
    return true;
  }
  return false;
}

bool CheckBox::CursorAt(int& column, int& row) const {
  column = rect_.left + 1;
  row = rect_.top;
  return true;
}

// ---- CheckGroup ----

CheckGroup::CheckGroup(std::uint16_t& mask, std::vector<std::string> items, int row, int column,
                       Label label)
    : Control(kKindCheckGroup, Rect{}, std::move(label)),
      mask_(mask),
      items_(CutItems(std::move(items), kMaxItems)) {
  rect_ =
      Rect{column, row, column + 4 + LongestItem(items_), row + static_cast<int>(items_.size())};
  if (items_.empty()) SetSelectable(false);
}

void CheckGroup::Draw() {
  if (!Owner()) return;
  std::uint8_t normal = Colour(kNormal), high = Colour(kHighlight);
  for (std::size_t i = 0; i < items_.size(); ++i) {
    int row = rect_.top + static_cast<int>(i);
    bool on = mask_ & (1u << i);
    Put(normal, rect_.left, row, "[ ]");
    PutCell(high, rect_.left + 1, row, on ? kMarkOn : ' ');
    bool current = Focused() && static_cast<int>(i) == current_;
    Put(current ? high : normal, rect_.left + 4, row, items_[i]);
  }
  DrawLabel();
}

void CheckGroup::SetBit(bool on) {
  auto bit = static_cast<std::uint16_t>(1u << current_);
  auto updated = static_cast<std::uint16_t>(on ? (mask_ | bit) : (mask_ & ~bit));
  if (updated != mask_) MarkModified();
  mask_ = updated;
}

bool CheckGroup::Handle(Event& event) {
  int count = static_cast<int>(items_.size());
  if (event.IsMouse()) {
    if (!ClickInside(event)) return false;
    current_ = InsideRow(event) - rect_.top;
    SetBit(!(mask_ & (1u << current_)));
  } else if (event.IsChar(' ')) {
    SetBit(!(mask_ & (1u << current_)));
  } else if (event.IsChar('x') || event.IsChar('X') || event.IsChar('+')) {
    SetBit(true);
  } else if (event.IsChar('0') || event.IsChar('-')) {
    SetBit(false);
  } else if (ItemStep step = StepItem(event, current_, count); step != ItemStep::kNone) {
    if (step == ItemStep::kAtEnd) return false;
  } else {
    return false;
  }
  Draw();
  return true;
}

bool CheckGroup::CursorAt(int& column, int& row) const {
  return ItemCursor(rect_, current_, column, row);
}

// ---- RadioGroup ----

RadioGroup::RadioGroup(std::uint16_t& index, std::vector<std::string> items, int row, int column,
                       Label label)
    : Control(kKindRadioGroup, Rect{}, std::move(label)),
      index_(index),
      items_(CutItems(std::move(items), 16)) {
  rect_ =
      Rect{column, row, column + 4 + LongestItem(items_), row + static_cast<int>(items_.size())};
  if (index_ >= items_.size()) index_ = 0;
  current_ = items_.empty() ? 0 : index_;
  if (items_.empty()) SetSelectable(false);
}

void RadioGroup::Draw() {
  if (!Owner()) return;
  std::uint8_t normal = Colour(kNormal), high = Colour(kHighlight);
  for (std::size_t i = 0; i < items_.size(); ++i) {
    int row = rect_.top + static_cast<int>(i);
    Put(normal, rect_.left, row, "( ) ");
    PutCell(high, rect_.left + 1, row, i == index_ ? kMarkOn : kMarkOff);
    bool current = Focused() && static_cast<int>(i) == current_;
    Put(current ? high : normal, rect_.left + 4, row, items_[i]);
  }
  DrawLabel();
}

void RadioGroup::Choose() {
  if (index_ != current_) MarkModified();
  index_ = static_cast<std::uint16_t>(current_);
}

bool RadioGroup::Handle(Event& event) {
  int count = static_cast<int>(items_.size());
  if (event.IsMouse()) {
    if (!ClickInside(event)) return false;
    current_ = InsideRow(event) - rect_.top;
    Choose();
  } else if (IsSelectChar(event) || event.IsChar('+')) {
    Choose();
  } else if (ItemStep step = StepItem(event, current_, count); step != ItemStep::kNone) {
    if (step == ItemStep::kAtEnd) return false;
  } else {
    return false;
  }
  Draw();
  return true;
}

bool RadioGroup::CursorAt(int& column, int& row) const {
  return ItemCursor(rect_, current_, column, row);
}

// ---- PushButton ----

PushButton::PushButton(std::uint16_t command, std::string_view title, int height, int width,
                       int row, int column)
    : Control(kKindPushButton, Rect{}, Label()),
      command_(command),
      title_(title.substr(0, std::min(title.size(), kTitleMax))),
      height_(std::max(1, height)),
      width_(std::max(1, width)) {
  // The face, and the column its shadow (or its focused face) takes on the right.
  rect_ = Rect{column, row, column + width_ + 1, row + height_};
}

void PushButton::Draw() {
  if (!Owner()) return;
  int left = rect_.left, top = rect_.top;
  int middle = height_ / 2;
  if (!Focused()) {
    std::uint8_t face = SchemeColour(10), shadow = Colour(kHighlight);
    std::string title = title_.substr(0, std::min(title_.size(), static_cast<std::size_t>(width_)));
    for (int r = 0; r < height_; ++r) {
      std::string line(static_cast<std::size_t>(width_), ' ');
      if (r == middle) line.replace((line.size() - title.size()) / 2, title.size(), title);
      Put(face, left, top + r, line);
      PutCell(shadow, left + width_, top + r, r == 0 ? 0xDC : 0xDB);
    }
    Put(shadow, left, top + height_, " " + std::string(static_cast<std::size_t>(width_), '\xDF'));
    return;
  }
  std::uint8_t face = Colour(kFocusedField), free = SchemeColour(5);
  auto inner = static_cast<std::size_t>(std::max(0, width_ - 2));
  std::string title = title_.substr(0, std::min(title_.size(), inner));
  for (int r = 0; r < height_; ++r) {
    PutCell(free, left, top + r, ' ');
    std::string line(static_cast<std::size_t>(width_), ' ');
    if (r == middle) line.replace(1 + (inner - title.size()) / 2, title.size(), title);
    Put(face, left + 1, top + r, line);
    if (r == middle) {
      auto blink = static_cast<std::uint8_t>(face | 0x80);
      PutCell(blink, left + 1, top + r, kRightMark);
      if (width_ > 1) PutCell(blink, left + width_, top + r, kLeftMark);
    }
  }
  Put(free, left, top + height_, std::string(static_cast<std::size_t>(width_ + 1), ' '));
}

bool PushButton::Handle(Event& event) {
  if (event.IsKey(key::kEnter) || event.IsChar(' ') || ClickInside(event)) {
    event.SetCommand(command_, kOriginControl);
  }
  return false;
}

}  // namespace zq::tui
