// A headless screen for the dialog toolkit's tests, with helpers to click and to read
// rows back.
#pragma once

#include <string>

#include "platform/cp852.h"
#include "support/test_env.h"
#include "tui/event.h"
#include "tui/screen.h"

namespace zq::tui::test {

struct DialogRig {
  DialogRig() { screen.Start(); }

  // A press and release of `buttons` at the 1-based cell (column, row).
  void Click(int column, int row, std::uint8_t buttons = platform::kMouseLeft) {
    platform::MouseEvent press;
    press.column = column - 1;
    press.row = row - 1;
    press.buttons = buttons;
    console.PushMouse(press);
    press.buttons = 0;
    console.PushMouse(press);
  }
  // Row 1..25 as UTF-8, trailing blanks removed.
  std::string Row(int row) const {
    std::string line = console.RowText(row - 1);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
  }
  // Code page 852 bytes of `count` cells from (column, row), 1-based.
  std::string Cells(int column, int row, int count) const {
    std::string out;
    for (int i = 0; i < count; ++i)
      out.push_back(static_cast<char>(console.At(column - 1 + i, row - 1).ch));
    return out;
  }
  std::uint8_t AttrAt(int column, int row) const { return console.At(column - 1, row - 1).attr; }
  // Runs `check` when the program next waits for input.
  template <class F>
  void Then(F check) {
    console.PushAction(check);
  }
  // Screen text and both attribute maps, for golden files.
  std::string Snapshot() const {
    return console.ScreenText() + "\n-- foreground\n" + console.AttributeMap(false) +
           "\n-- background\n" + console.AttributeMap(true);
  }

  zq::test::HeadlessRig rig;
  platform::HeadlessConsole& console = rig.console;
  Screen screen{rig.platform};
};

}  // namespace zq::tui::test
