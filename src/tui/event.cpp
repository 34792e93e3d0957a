#include "tui/event.h"

#include <memory>

#include "tui/dialog.h"

namespace zq::tui {

namespace {

// Scan codes of the PC keyboard by character, for backends that know the character
// only (a terminal sends bytes): with them a typed key compares equal to its key code.
constexpr std::array<std::uint8_t, 128> kScanByChar = [] {
  std::array<std::uint8_t, 128> t{};
  auto set = [&](std::string_view chars, std::uint8_t scan) {
    for (char c : chars) t[static_cast<unsigned char>(c)] = scan;
  };
  constexpr std::string_view kRows[] = {"qwertyuiop", "asdfghjkl", "zxcvbnm"};
  constexpr std::uint8_t kRowStart[] = {0x10, 0x1E, 0x2C};
  for (int r = 0; r < 3; ++r) {
    for (std::size_t i = 0; i < kRows[r].size(); ++i) {
      auto scan = static_cast<std::uint8_t>(kRowStart[r] + i);
      char lower = kRows[r][i];
      t[static_cast<unsigned char>(lower)] = scan;
      t[static_cast<unsigned char>(lower - 0x20)] = scan;
      t[static_cast<unsigned char>(lower - 0x60)] = scan;  // Ctrl+letter
    }
  }
  set("1!", 0x02), set("2@", 0x03), set("3#", 0x04), set("4$", 0x05), set("5%", 0x06);
  set("6^", 0x07), set("7&", 0x08), set("8*", 0x09), set("9(", 0x0A), set("0)", 0x0B);
  set("-_", 0x0C), set("=+", 0x0D), set("[{", 0x1A), set("]}", 0x1B), set(";:", 0x27);
  set("'\"", 0x28), set("`~", 0x29), set("\\|", 0x2B), set(",<", 0x33), set(".>", 0x34);
  set("/?", 0x35), set(" ", 0x39);
  // Control characters that are keys of their own rather than Ctrl+letter.
  t[0x08] = 0x0E;  // Backspace
  t[0x09] = 0x0F;  // Tab
  t[0x0A] = 0x1C;  // Ctrl+Enter
  t[0x0D] = 0x1C;  // Enter
  t[0x1B] = 0x01;  // Esc
  return t;
}();

struct AltLetter {
  std::uint16_t code;
  std::uint8_t lower, upper;
};

constexpr AltLetter kAltLetters[] = {
    {key::kAltA, 0xA5, 0xA4}, {key::kAltC, 0x86, 0x8F}, {key::kAltE, 0xA9, 0xA8},
    {key::kAltL, 0x88, 0x9D}, {key::kAltN, 0xE4, 0xE3}, {key::kAltO, 0xA2, 0xE0},
    {key::kAltP, 0x15, 0x15}, {key::kAltS, 0x98, 0x97}, {key::kAltX, 0xAB, 0x8D},
    {key::kAltZ, 0xBE, 0xBD},
};

bool MakeKeyEvent(const DialogLayerState& state, const platform::KeyEvent& in, Event& e) {
  std::uint8_t scan = in.scan;
  std::uint8_t ch = in.ch;
  if (scan == 0 && ch == 0) return false;
  if (scan == 0 && ch == 0x7F) {
    // What a terminal sends for Backspace.
    scan = 0x0E;
    ch = 0x08;
  }
  if (scan == 0 && ch < 0x80) scan = kScanByChar[ch];
  auto code = static_cast<std::uint16_t>(scan << 8 | ch);
  if (code == key::kCtrlI) code = key::kInsert;
  if (code == key::kCtrlQ) code = key::kEsc;
  if (code == key::kInsert && (in.shift & platform::kShift)) code = key::kShiftInsert;
  ch = static_cast<std::uint8_t>(code & 0xFF);
  if (ch != 0) {
    e.SetKey(code, in.shift, false, static_cast<char>(ch));
    return true;
  }
  e.SetKey(code, in.shift, true, ' ');
  if (state.polishAltKeys) {
    for (const AltLetter& a : kAltLetters) {
      if (a.code != code) continue;
      bool upper = in.shift == 0x2B || in.shift == 0x68;
      e.SetKey(code, in.shift, false, static_cast<char>(upper ? a.upper : a.lower));
      break;
    }
  }
  return true;
}

std::uint16_t ButtonNumber(std::uint8_t pressed) {
  if (pressed & platform::kMouseLeft) return kButtonLeft;
  if (pressed & platform::kMouseRight) return kButtonRight;
  if (pressed & platform::kMouseMiddle) return kButtonThird;
  return kButtonFourth;
}

// The console reports the buttons held after each mouse event; the toolkit wants presses.
bool MakeMouseEvent(Screen& screen, DialogLayerState& state, const platform::MouseEvent& in,
                    Event& e) {
  std::uint8_t held = in.buttons & 0x0F;
  auto pressed = static_cast<std::uint8_t>(held & ~state.heldButtons);
  // A button report that changes nothing means its release was lost (dropped with the
  // type-ahead, say): it is a press all the same, or the next click would go unheard.
  bool report = !in.moved && in.wheel == 0;
  if (in.doubleClick || (report && pressed == 0 && held == state.heldButtons)) pressed = held;
  state.heldButtons = held;
  if (pressed == 0) return false;
  int column = in.column + 1;
  int row = in.row + 1;
  if (row == 1 && (column == 1 || column == 2)) {
    e.SetKey(key::kEsc, in.shift, false, '\x1B');
    return true;
  }
  int windowColumn = column, windowRow = row;
  if (FramedWindow* w = screen.OpenedWindow()) {
    windowColumn = column - w->InnerLeft() + 1;
    windowRow = row - w->InnerTop() + 1;
  }
  e.SetMouse(ButtonNumber(pressed), column, row, windowColumn, windowRow);
  return true;
}

}  // namespace

void Event::SetKey(std::uint16_t code, std::uint8_t shift, bool noCharacter, char character) {
  Clear();
  bytes[0] = static_cast<std::uint8_t>(EventKind::kKey);
  bytes[1] = noCharacter ? 1 : 0;
  bytes[2] = static_cast<std::uint8_t>(character);
  bytes[3] = shift;
  SetWord(4, code);
}

void Event::SetMouse(std::uint16_t button, int column, int row, int windowColumn, int windowRow) {
  Clear();
  bytes[0] = static_cast<std::uint8_t>(EventKind::kMouse);
  SetWord(1, button);
  SetWord(3, static_cast<std::uint16_t>(column));
  SetWord(5, static_cast<std::uint16_t>(row));
  SetWord(7, static_cast<std::uint16_t>(windowColumn));
  SetWord(9, static_cast<std::uint16_t>(windowRow));
}

void Event::SetCommand(std::uint16_t command, std::uint8_t origin, std::uint8_t parameter) {
  Clear();
  bytes[0] = static_cast<std::uint8_t>(EventKind::kCommand);
  SetWord(1, command);
  bytes[3] = origin;
  bytes[5] = parameter;
}

DialogLayerState& LayerState(Screen& screen) {
  std::shared_ptr<void>& slot = screen.DialogState();
  if (!slot) slot = std::make_shared<DialogLayerState>();
  return *static_cast<DialogLayerState*>(slot.get());
}

void GetEvent(Screen& screen, Event& event) {
  DialogLayerState& state = LayerState(screen);
  event.Clear();
  for (;;) {
    if (state.idleAction) state.idleAction();
    platform::InputEvent in;
    if (screen.Console().PollEvent(in)) {
      if (in.kind == platform::InputEvent::Kind::Key && MakeKeyEvent(state, in.key, event)) break;
      if (in.kind == platform::InputEvent::Kind::Mouse &&
          MakeMouseEvent(screen, state, in.mouse, event))
        break;
      continue;
    }
    // A real terminal shows nothing until the changed cells are sent.
    screen.Flush();
    screen.ClockTick();
    event.Clear();
  }
  screen.HideCursor();
  if (state.eventWatcher) state.eventWatcher(event);
  if (!state.statusLines.empty()) state.statusLines.back()->Translate(event);
  state.lastEvent = event;
}

}  // namespace zq::tui
