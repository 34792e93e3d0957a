// The toolkit's lowest layer: the 80x25 screen with its colour scheme, framed
// windows that stack and give back what lay beneath, text output at a position,
// the screen clock, the beeper, cursor shapes and the program's own paths.
// Positions are 1-based (column, row) as everywhere above the platform layer.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace zq::tui {

using platform::Cell;

struct ColourScheme {
  std::array<std::uint8_t, 11> at;
  std::uint8_t operator[](std::size_t i) const { return at[i]; }
  std::uint8_t& operator[](std::size_t i) { return at[i]; }
};

inline constexpr ColourScheme kDefaultScheme{
    {0x07, 0x0F, 0x1F, 0x70, 0x07, 0x02, 0x0F, 0x0F, 0x4F, 0x0F, 0x70}};

// Indexes of the control colour quadruple.
enum ControlColour { kNormal = 0, kHighlight = 1, kField = 2, kFocusedField = 3 };

constexpr std::uint8_t Attr(int background, int foreground) {
  return static_cast<std::uint8_t>(background * 16 + foreground);
}

// The rectangle the main module's line output is confined to (1-based, inclusive).
struct TextWindow {
  std::uint8_t left = 1, right = 80, top = 1, bottom = 25;
};

struct WindowOptions {
  bool keepContents = false;  // a hidden window shown again gets its own cells back
  bool clearInside = true;
  bool framed = true;
};

class Screen;

// A framed window over the screen. Closing (or destroying) it restores the cells beneath.
class FramedWindow {
 public:
  ~FramedWindow();
  FramedWindow(const FramedWindow&) = delete;
  FramedWindow& operator=(const FramedWindow&) = delete;

  // Inside rectangle, 1-based absolute.
  int InnerLeft() const { return left_ + (options_.framed ? 1 : 0); }
  int InnerTop() const { return top_ + (options_.framed ? 1 : 0); }
  int InnerRight() const { return right_ - (options_.framed ? 1 : 0); }
  int InnerBottom() const { return bottom_ - (options_.framed ? 1 : 0); }
  int InnerWidth() const { return InnerRight() - InnerLeft() + 1; }
  int InnerHeight() const { return InnerBottom() - InnerTop() + 1; }
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Right() const { return right_; }
  int Bottom() const { return bottom_; }
  std::uint8_t TextAttr() const { return textAttr_; }
  std::uint8_t FrameAttr() const { return frameAttr_; }
  std::uint8_t HeaderAttr() const { return headerAttr_; }
  const std::string& Title() const { return title_; }

  // Redraws frame and title (for example after the scheme was borrowed).
  void DrawFrame();
  void SetAttributes(std::uint8_t header, std::uint8_t frame, std::uint8_t text);
  // Takes the window off the screen (restoring what lay beneath) and puts it back.
  void Hide();
  void Show();
  bool Visible() const { return visible_; }
  void Close();

 private:
  friend class Screen;
  FramedWindow(Screen& screen, int left, int top, int right, int bottom, std::string title,
               std::uint8_t header, std::uint8_t frame, std::uint8_t text, WindowOptions options);
  void SaveBeneath();
  void RestoreBeneath();

  Screen& screen_;
  int left_, top_, right_, bottom_;
  std::string title_;
  std::uint8_t headerAttr_, frameAttr_, textAttr_;
  WindowOptions options_;
  std::vector<Cell> beneath_;
  std::vector<Cell> own_;
  bool visible_ = false;
  bool closed_ = false;
};

class Screen {
 public:
  explicit Screen(platform::Platform& platform);

  platform::Console& Console() { return platform_.console; }
  platform::Files& Files() { return platform_.files; }
  platform::Process& Process() { return platform_.process; }
  platform::Platform& Platform() { return platform_; }

  // Computes the paths, reads kolory.zq and the sound switch. Runs once at start.
  void Start();

  // Told of every message box, yes/no question and input box with the answer given,
  // so that what was shown outside the progress log can be kept as well.
  using DialogNote = std::function<void(std::string_view text, std::string_view answer)>;
  void SetDialogNote(DialogNote note) { dialogNote_ = std::move(note); }
  void NoteDialog(std::string_view text, std::string_view answer) const {
    if (dialogNote_) dialogNote_(text, answer);
  }

  const std::string& ProgramStem() const { return programStem_; }
  const std::string& ProgramDirectory() const { return programDirectory_; }
  const std::string& StartDirectory() const { return startDirectory_; }

  ColourScheme& Scheme() { return scheme_; }
  const ColourScheme& DefaultScheme() const { return defaults_; }
  std::uint8_t ControlAttr(ControlColour which) const { return controlColours_[which]; }
  // A record whose first four bytes are zero is ignored.
  void LoadScheme(const std::array<std::uint8_t, 11>& record);
  std::array<std::uint8_t, 11> SaveScheme() const { return scheme_.at; }
  // The colours file in the Program directory.
  bool ReadColoursFile(std::array<std::uint8_t, 11>& record);
  bool WriteColoursFile(const std::array<std::uint8_t, 11>& record);

  // Relative to the open window's inside when one is open; hides the cursor.
  void WriteAt(std::uint8_t attr, int column, int row, std::string_view text);
  void WriteAtPlain(int column, int row, std::string_view text);
  // Absolute, whatever window is open.
  void WriteAbsolute(std::uint8_t attr, int column, int row, std::string_view text);
  void FillAbsolute(std::uint8_t attr, int column, int row, int width, char ch = ' ');
  void PutCells(int column, int row, std::span<const Cell> cells);
  // Whole rows from `row` down (1-based), Console::kColumns cells each.
  void PutRows(int row, std::span<const Cell> cells);
  void GetCells(int column, int row, std::span<Cell> cells) const;
  void Clear(std::uint8_t attr);

  std::unique_ptr<FramedWindow> OpenWindow(int left, int top, int right, int bottom,
                                           std::string_view title, std::uint8_t header,
                                           std::uint8_t frame, std::uint8_t text,
                                           WindowOptions options = {});
  FramedWindow* OpenedWindow() const { return stack_.empty() ? nullptr : stack_.back(); }

  TextWindow SetTextWindow(int left, int top, int right, int bottom);
  void RestoreTextWindow(TextWindow previous) { textWindow_ = previous; }
  TextWindow CurrentTextWindow() const { return textWindow_; }

  // Cursor, 1-based absolute position.
  void HideCursor();
  void ShowCursor(int percent);
  void ShowNormalCursor() { ShowCursor(20); }
  void PlaceCursor(int column, int row);

  // Sound: units of 48 ms.
  void Beep(int units, int frequency);
  void ErrorBeep() { Beep(6, 500); }
  bool SoundOff() const { return soundOff_; }

  // The idle step of the event source: waits 64 ms and shows the time when the second changed.
  void ClockTick();
  void Flush() { platform_.console.Flush(); }

  // Run-wide state of the event and dialog layer, made by that layer on first use; it
  // lives and dies with the screen it belongs to.
  std::shared_ptr<void>& DialogState() { return dialogState_; }

 private:
  friend class FramedWindow;
  DialogNote dialogNote_;
  void Push(FramedWindow* window) { stack_.push_back(window); }
  void Pop(FramedWindow* window);

  platform::Platform& platform_;
  std::string programStem_, programDirectory_, startDirectory_;
  ColourScheme scheme_ = kDefaultScheme;
  ColourScheme defaults_ = kDefaultScheme;
  std::array<std::uint8_t, 4> controlColours_{0x07, 0x0F, 0x1F, 0x70};
  std::vector<FramedWindow*> stack_;
  TextWindow textWindow_;
  bool soundOff_ = false;
  int lastClockSecond_ = -1;
  std::shared_ptr<void> dialogState_;
};

// Program path pieces, shared with the start-up code and its tests.
// The stem drops an extension from the last component only.
std::string PathStem(std::string_view programPath);
// Up to and including the last separator ('\' or '/').
std::string PathDirectory(std::string_view path);
// A trailing separator is removed when the text is longer than 3 characters.
std::string TrimStartDirectory(std::string_view dir);

// Pads on the right with blanks or cuts after width characters.
std::string PadCut(std::string_view text, std::size_t width);
// True when every bit of mask is set in value.
constexpr bool BitTest(unsigned mask, unsigned value) { return (value & mask) == mask; }

}  // namespace zq::tui
