// The one source of input for the toolkit: keys and mouse clicks from the console,
// turned into the 16-byte Event record, with the StatusLine's key bindings, the idle
// clock and the run-wide state that the dialog layer shares.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tui/screen.h"

namespace zq::tui {

// Key codes: keyboard scan code * 256 + character.
namespace key {
inline constexpr std::uint16_t kEsc = 0x011B;
inline constexpr std::uint16_t kEnter = 0x1C0D;
inline constexpr std::uint16_t kCtrlEnter = 0x1C0A;
inline constexpr std::uint16_t kTab = 0x0F09;
inline constexpr std::uint16_t kShiftTab = 0x0F00;
inline constexpr std::uint16_t kBackspace = 0x0E08;
inline constexpr std::uint16_t kSpace = 0x3920;
inline constexpr std::uint16_t kUp = 0x4800;
inline constexpr std::uint16_t kDown = 0x5000;
inline constexpr std::uint16_t kLeft = 0x4B00;
inline constexpr std::uint16_t kRight = 0x4D00;
inline constexpr std::uint16_t kCtrlLeft = 0x7300;
inline constexpr std::uint16_t kCtrlRight = 0x7400;
inline constexpr std::uint16_t kHome = 0x4700;
inline constexpr std::uint16_t kEnd = 0x4F00;
inline constexpr std::uint16_t kPgUp = 0x4900;
inline constexpr std::uint16_t kPgDn = 0x5100;
inline constexpr std::uint16_t kInsert = 0x5200;
inline constexpr std::uint16_t kShiftInsert = 0x0500;
inline constexpr std::uint16_t kCtrlInsert = 0x9200;
inline constexpr std::uint16_t kDel = 0x5300;
inline constexpr std::uint16_t kF1 = 0x3B00;
inline constexpr std::uint16_t kF5 = 0x3F00;
inline constexpr std::uint16_t kGreyPlus = 0x4E2B;
inline constexpr std::uint16_t kGreyMinus = 0x4A2D;
inline constexpr std::uint16_t kCtrlD = 0x2004;
inline constexpr std::uint16_t kCtrlK = 0x250B;
// A terminal sends Ctrl+L as 0x0C, while Ctrl+M arrives as 0x0D and reads as Enter; the
// InputLine therefore lower-cases on Ctrl+L as well.
inline constexpr std::uint16_t kCtrlL = 0x260C;
inline constexpr std::uint16_t kCtrlM = 0x320D;
inline constexpr std::uint16_t kCtrlN = 0x310E;
inline constexpr std::uint16_t kCtrlP = 0x1910;
inline constexpr std::uint16_t kCtrlQ = 0x1011;
inline constexpr std::uint16_t kCtrlI = 0x1709;
inline constexpr std::uint16_t kCtrlT = 0x1414;
inline constexpr std::uint16_t kCtrlW = 0x1117;
inline constexpr std::uint16_t kCtrlY = 0x1519;
inline constexpr std::uint16_t kAltA = 0x1E00;
inline constexpr std::uint16_t kAltC = 0x2E00;
inline constexpr std::uint16_t kAltE = 0x1200;
inline constexpr std::uint16_t kAltL = 0x2600;
inline constexpr std::uint16_t kAltN = 0x3100;
inline constexpr std::uint16_t kAltO = 0x1800;
inline constexpr std::uint16_t kAltP = 0x1900;
inline constexpr std::uint16_t kAltS = 0x1F00;
inline constexpr std::uint16_t kAltX = 0x2D00;
inline constexpr std::uint16_t kAltZ = 0x2C00;
}  // namespace key

// Command codes.
inline constexpr std::uint16_t kCmYes = 0xDD01;
inline constexpr std::uint16_t kCmNo = 0xDD02;
inline constexpr std::uint16_t kCmOk = 0xDD03;
inline constexpr std::uint16_t kCmCancel = 0xDD04;
inline constexpr std::uint16_t kCmClose5 = 0xDD05;
inline constexpr std::uint16_t kCmFocus = 0xDD06;  // parameter: control number
inline constexpr std::uint16_t kCmClose7 = 0xDD07;
inline constexpr std::uint16_t kCmListDel = 0xF403;
inline constexpr std::uint16_t kCmListCtrlEnter = 0xF404;
inline constexpr std::uint16_t kCmListChoose = 0xF405;
inline constexpr std::uint16_t kCmListInsert = 0xF406;
inline constexpr std::uint16_t kCmQuestionYes = 0x1111;
inline constexpr std::uint16_t kCmQuestionNo = 0x2222;

// Where a command came from.
inline constexpr std::uint8_t kOriginStatusLine = 3;
inline constexpr std::uint8_t kOriginControl = 4;

// Mouse buttons as the Event numbers them.
inline constexpr std::uint16_t kButtonLeft = 1;
inline constexpr std::uint16_t kButtonRight = 2;
inline constexpr std::uint16_t kButtonThird = 3;
inline constexpr std::uint16_t kButtonFourth = 4;

enum class EventKind : std::uint8_t { kNothing = 0, kKey = 1, kMouse = 2, kCommand = 3 };

// The 16-byte event record. The byte layout is kept because callers reuse one record
// and its fields overlap by kind:
//   key:     1 no-character flag, 2 character, 3 shift state, 4-5 key code
//   mouse:   1-2 button, 3-4 column, 5-6 row (1-based), 7-8 and 9-10 relative to the
//            open window's inside
//   command: 1-2 command, 3 origin, 5 parameter
struct Event {
  std::array<std::uint8_t, 16> bytes{};

  EventKind Kind() const { return static_cast<EventKind>(bytes[0]); }
  bool IsNothing() const { return Kind() == EventKind::kNothing; }
  void Clear() { bytes.fill(0); }

  // Keys.
  bool IsKeyEvent() const { return Kind() == EventKind::kKey; }
  bool HasCharacter() const { return IsKeyEvent() && bytes[1] == 0; }
  char Character() const { return static_cast<char>(bytes[2]); }
  std::uint8_t ShiftState() const { return bytes[3]; }
  std::uint16_t KeyCode() const { return Word(4); }
  bool IsKey(std::uint16_t code) const { return IsKeyEvent() && KeyCode() == code; }
  // A key carrying this character, whatever its scan code.
  bool IsChar(char c) const { return HasCharacter() && Character() == c; }
  void SetKey(std::uint16_t code, std::uint8_t shift, bool noCharacter, char character);

  // Mouse.
  bool IsMouse() const { return Kind() == EventKind::kMouse; }
  std::uint16_t Button() const { return Word(1); }
  bool IsLeftClick() const { return IsMouse() && Button() == kButtonLeft; }
  int Column() const { return Word(3); }
  int Row() const { return Word(5); }
  int WindowColumn() const { return static_cast<std::int16_t>(Word(7)); }
  int WindowRow() const { return static_cast<std::int16_t>(Word(9)); }
  void SetMouse(std::uint16_t button, int column, int row, int windowColumn, int windowRow);

  // Commands.
  bool IsCommand() const { return Kind() == EventKind::kCommand; }
  bool IsCommand(std::uint16_t command) const { return IsCommand() && Command() == command; }
  std::uint16_t Command() const { return Word(1); }
  std::uint8_t Origin() const { return bytes[3]; }
  std::uint8_t Parameter() const { return bytes[5]; }
  void SetCommand(std::uint16_t command, std::uint8_t origin = 0, std::uint8_t parameter = 0);

 private:
  std::uint16_t Word(std::size_t at) const {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
  }
  void SetWord(std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
  }
};
static_assert(sizeof(Event) == 16);

class DialogPage;
class StatusLine;

// The run-wide state of the event and dialog layer, one per Screen.
struct DialogLayerState {
  bool insertMode = true;
  bool modified = false;
  bool polishAltKeys = true;
  DialogPage* currentPage = nullptr;
  std::vector<StatusLine*> statusLines;  // top of the stack last
  std::string clipboard;                 // the toolkit's own, at most 128 characters
  std::function<void()> idleAction;
  std::function<void(Event&)> eventWatcher;
  Event lastEvent;
  int inputBoxWidth = 37;
  std::uint8_t heldButtons = 0;  // mouse buttons down after the last mouse report
  // Set when nobody is at the keyboard: answers every message box, yes/no question and
  // input box (given its flags; kMbYes | kMbNo for a question, 0 for an input box)
  // instead of showing it.
  std::function<std::uint16_t(std::uint16_t flags, std::string_view text)> autoAnswer;
};

DialogLayerState& LayerState(Screen& screen);

// Insert mode, shared by every InputLine; on at start.
inline bool InsertMode(Screen& screen) {
  return LayerState(screen).insertMode;
}
// Set by any control whose value changed during an edit; never cleared by the controls.
inline bool& ModifiedFlag(Screen& screen) {
  return LayerState(screen).modified;
}
inline void SetIdleAction(Screen& screen, std::function<void()> action) {
  LayerState(screen).idleAction = std::move(action);
}
inline void SetEventWatcher(Screen& screen, std::function<void(Event&)> watcher) {
  LayerState(screen).eventWatcher = std::move(watcher);
}
inline const Event& LastEvent(Screen& screen) {
  return LayerState(screen).lastEvent;
}

// Waits for the next key or mouse press. While nothing is waiting it runs the idle
// action and the screen clock; the StatusLine on top may turn the event into a command.
void GetEvent(Screen& screen, Event& event);

// The characters an InputLine takes and a PickList searches by.
constexpr bool IsAcceptedChar(char c) {
  auto b = static_cast<unsigned char>(c);
  return b == 0x15 || (b >= 0x20 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE);
}

}  // namespace zq::tui
