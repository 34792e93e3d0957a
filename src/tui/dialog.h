// The modal DialogPage with its controls, and the StatusLine on row 25.
//
// Positions of controls are relative to the page's inside and given as (row, column),
// both 1-based; a page is placed on the screen by (row, column) of its outer top-left
// corner. A page that cannot open its window reports it through Opened(); Execute on
// it returns kCmCancel at once, so callers treat it as cancelled.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tui/event.h"
#include "tui/screen.h"

namespace zq::tui {

class DialogPage;

// Control kinds.
inline constexpr int kKindLabel = 0;
inline constexpr int kKindInputLine = 1;
inline constexpr int kKindCheckBox = 9;
inline constexpr int kKindCheckGroup = 10;
inline constexpr int kKindRadioGroup = 11;
inline constexpr int kKindPushButton = 12;
inline constexpr int kKindPickList = 13;

// The text in front of (or above) a control; clicking it focuses the control.
// A Label made from an empty text is none.
class Label {
 public:
  Label() = default;
  Label(std::string_view text, int row, int column);
  bool None() const { return text_.empty(); }
  const std::string& Text() const { return text_; }
  int Row() const { return row_; }
  int Column() const { return column_; }
  bool Contains(int column, int row) const;

 private:
  std::string text_;
  int row_ = 0, column_ = 0;
};

// Inside-relative rectangle; a point is inside when left <= column < right and
// top <= row < bottom.
struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool Contains(int column, int row) const {
    return left <= column && column < right && top <= row && row < bottom;
  }
};

class Control {
 public:
  Control(int kind, Rect rect, Label label);
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  // The replaceable operations, in this order. Edit runs the control's own input loop
  // and returns with the first event it does not consume left in `event`.
  virtual void Edit(Event& event);
  virtual void Draw() = 0;
  virtual void Done() {}

  int Kind() const { return kind_; }
  bool Focused() const { return focused_; }
  bool Selectable() const { return !notSelectable_; }
  void SetSelectable(bool on) { notSelectable_ = !on; }
  std::uint16_t HelpContext() const { return helpContext_; }
  void SetHelpContext(std::uint16_t context) { helpContext_ = context; }
  const Rect& Bounds() const { return rect_; }
  const Label& GetLabel() const { return label_; }
  DialogPage* Owner() const { return owner_; }
  // Inside-relative point on the control or on its Label.
  bool Hit(int column, int row) const;

 protected:
  friend class DialogPage;

  // One event of the edit loop: true when consumed (the loop goes on), false to leave
  // the control with the event.
  virtual bool Handle(Event& event) = 0;
  virtual void BeginEdit() {}
  virtual void EndEdit() {}
  // Where the cursor stands while the control waits; false for no cursor.
  virtual bool CursorAt(int& column, int& row) const;
  // Whether a left click inside is the control's own business.
  virtual bool TakesClicks() const { return true; }

  Screen& Scr() const;
  // Writes relative to the owner page's inside, clipped to it.
  void Put(std::uint8_t attr, int column, int row, std::string_view text) const;
  void PutCell(std::uint8_t attr, int column, int row, std::uint8_t ch) const;
  void DrawLabel() const;
  std::uint8_t Colour(ControlColour which) const;
  std::uint8_t SchemeColour(std::size_t index) const;
  // The page inside column and row of an absolute mouse position.
  int InsideColumn(const Event& event) const;
  int InsideRow(const Event& event) const;
  bool ClickInside(const Event& event) const;
  void MarkModified() const;

  Rect rect_;

 private:
  // The control event wrapper: cursor, GetEvent, clicks on the Label.
  void ReadEvent(Event& event);

  int kind_;
  Label label_;
  DialogPage* owner_ = nullptr;
  std::uint16_t helpContext_ = 0;
  bool notSelectable_ = false;
  bool focused_ = false;
};

struct StatusItem {
  StatusItem(std::uint16_t command, std::uint16_t key, std::string_view text)
      : command(command), key(key), text(text) {}
  std::uint16_t command = 0;  // 0: shown only
  std::uint16_t key = 0;      // 0: no key
  std::string text;           // at most 40 characters
};

// Key bindings shown on row 25. Creating one pushes it on the stack and draws it;
// destroying it draws the one beneath again (or clears row 25).
class StatusLine {
 public:
  StatusLine(Screen& screen, std::vector<StatusItem> items);
  ~StatusLine();
  StatusLine(const StatusLine&) = delete;
  StatusLine& operator=(const StatusLine&) = delete;

  void Draw() const;
  // A bound key, or a left click on an item, becomes the item's command.
  void Translate(Event& event) const;
  const std::vector<StatusItem>& Items() const { return items_; }

 private:
  Screen& screen_;
  std::vector<StatusItem> items_;
};

class DialogPage {
 public:
  static constexpr int kMaxControls = 255;

  DialogPage(Screen& screen, std::string_view title, int height, int width, int row, int column);
  virtual ~DialogPage();
  DialogPage(const DialogPage&) = delete;
  DialogPage& operator=(const DialogPage&) = delete;

  bool Opened() const { return window_ != nullptr; }
  Screen& GetScreen() const { return screen_; }
  FramedWindow* Window() const { return window_.get(); }

  // Takes the control, numbers it (from 1) and draws it. Returns its number, 0 when the
  // page is full (the control is then kept alive but never shown or focused).
  int Insert(std::unique_ptr<Control> control);
  template <class T, class... Args>
  T& Add(Args&&... args) {
    auto control = std::make_unique<T>(std::forward<Args>(args)...);
    T& ref = *control;
    Insert(std::move(control));
    return ref;
  }

  // Runs the page modally; returns the command that closed it.
  std::uint16_t Execute();
  // Statusline, controls from the last to the first, window. Runs once.
  void Done();

  // The page's event handler; derived pages handle their own events first and then
  // call this, the common handling.
  virtual void HandleEvent(Event& event);
  // Ends Execute with this command.
  void Close(std::uint16_t command);

  int Count() const { return static_cast<int>(controls_.size()); }
  int Current() const { return current_; }
  Control* At(int number) const;
  // Gives the focus to control `number` (1..Count()).
  void Focus(int number);
  void SetStatusLine(std::vector<StatusItem> items);
  void SetHelpContext(std::uint16_t context) { helpContext_ = context; }
  void SetF1Action(std::function<void(std::uint16_t)> action) { f1Action_ = std::move(action); }
  // Redraws every control (after the bound variables were changed from outside).
  void DrawControls();

  // Inside-relative output, clipped to the inside.
  void WriteText(std::uint8_t attr, int column, int row, std::string_view text) const;

 private:
  void MoveFocus(int step);
  bool PressHotKey(Event& event);

  Screen& screen_;
  std::unique_ptr<FramedWindow> window_;
  std::vector<std::unique_ptr<Control>> controls_;
  std::vector<std::unique_ptr<Control>> overflow_;
  std::unique_ptr<StatusLine> statusLine_;
  std::function<void(std::uint16_t)> f1Action_;
  std::uint16_t helpContext_ = 0;
  std::uint16_t result_ = kCmCancel;
  int current_ = 1;
  int firstButton_ = 0;
  bool hotKeys_ = false;
  bool closing_ = false;
  bool redispatch_ = false;
  bool done_ = false;
};

}  // namespace zq::tui
