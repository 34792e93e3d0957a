// The controls pages are built from: InputLine, CheckBox, CheckGroup, RadioGroup and
// PushButton. Each edits the caller's variable in place, so a page's event handler
// always sees the current values. Positions are (row, column) inside the page.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tui/dialog.h"

namespace zq::tui {

// A one-line text field of at most 255 characters. It scrolls when its maximum length
// exceeds its visible width, with « and » beside the field showing hidden text.
class InputLine : public Control {
 public:
  static constexpr int kMaxLength = 255;

  // `width` 0 shows as many cells as the maximum length.
  InputLine(std::string& text, int maxLength, int row, int column, Label label = {}, int width = 0);

  void Draw() override;

  void SetPassword(bool on) { password_ = on; }
  // Every typed character is upper-cased.
  void SetUpperCase(bool on) { upperCase_ = on; }
  int MaxLength() const { return max_; }
  int Width() const { return width_; }
  // Edit position (0-based, 0..MaxLength()) and first character shown.
  int Position() const { return pos_; }
  int ScrollOffset() const { return scroll_; }

 protected:
  bool Handle(Event& event) override;
  void BeginEdit() override;
  void EndEdit() override;
  bool CursorAt(int& column, int& row) const override;

 private:
  void Replace(std::string_view text);
  void KeepCursorVisible();
  bool Scrolls() const { return max_ > width_; }

  std::string& text_;
  std::string entry_;
  int max_;
  int width_;
  int scroll_ = 0;
  int pos_ = 0;
  bool password_ = false;
  bool upperCase_ = false;
};

// Text that a clipboard may hand over: up to its first control character, only the
// characters an InputLine takes, at most `max` of them.
std::string FilterPastedText(std::string_view text, std::size_t max);

class CheckBox : public Control {
 public:
  CheckBox(std::string_view text, bool& value, int row, int column, Label label = {});
  void Draw() override;

 protected:
  bool Handle(Event& event) override;
  bool CursorAt(int& column, int& row) const override;

 private:
  void Toggle();
  std::string text_;
  bool& value_;
};

// Up to 16 boxes bound to the bits of a mask, item i (from 0) to bit i.
class CheckGroup : public Control {
 public:
  static constexpr int kMaxItems = 16;
  CheckGroup(std::uint16_t& mask, std::vector<std::string> items, int row, int column,
             Label label = {});
  void Draw() override;
  int CurrentItem() const { return current_; }

 protected:
  bool Handle(Event& event) override;
  bool CursorAt(int& column, int& row) const override;

 private:
  void SetBit(bool on);
  std::uint16_t& mask_;
  std::vector<std::string> items_;
  int current_ = 0;
};

// One choice among items, bound to a 0-based index.
class RadioGroup : public Control {
 public:
  RadioGroup(std::uint16_t& index, std::vector<std::string> items, int row, int column,
             Label label = {});
  void Draw() override;
  int CurrentItem() const { return current_; }

 protected:
  bool Handle(Event& event) override;
  bool CursorAt(int& column, int& row) const override;

 private:
  void Choose();
  std::uint16_t& index_;
  std::vector<std::string> items_;
  int current_ = 0;
};

// Issues its command when pressed by Enter, Space, a click or its hot key (the first
// character of its title, taken by the page).
class PushButton : public Control {
 public:
  PushButton(std::uint16_t command, std::string_view title, int height, int width, int row,
             int column);
  void Draw() override;
  std::uint16_t Command() const { return command_; }
  const std::string& Title() const { return title_; }

 protected:
  bool Handle(Event& event) override;

 private:
  std::uint16_t command_;
  std::string title_;
  int height_, width_;
};

}  // namespace zq::tui
