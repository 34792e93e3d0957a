#include "tui/message.h"

#include <algorithm>
#include <vector>

#include "platform/cp852.h"
#include "tui/controls.h"
#include "tui/dialog.h"
#include "tui/event.h"

namespace zq::tui {

using zq::operator""_pl;

namespace {

constexpr int kSelfClosingMs = 2500;
constexpr int kDefaultInputWidth = 37;

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  for (;;) {
    std::size_t end = text.find(kNewLine);
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

// Column and text of a line laid out in `width` cells of which `room` may be used:
// a leading centring code centres it, any other line starts at `column`.
struct PlacedLine {
  int column;
  std::string_view text;
};

PlacedLine PlaceLine(std::string_view line, int width, int room, int column) {
  std::size_t max = static_cast<std::size_t>(std::max(0, room));
  if (!line.empty() && line.front() == kCentre) {
    line.remove_prefix(1);
    line = line.substr(0, std::min(line.size(), max));
    return {std::max(1, (width - static_cast<int>(line.size())) / 2), line};
  }
  return {column, line.substr(0, std::min(line.size(), max))};
}

// Puts the colour scheme back however the box ends.
struct SchemeGuard {
  Screen& screen;
  ColourScheme saved;
  ~SchemeGuard() { screen.Scheme() = saved; }
};

void DrawChoice(Screen& screen, int row, int width, std::string_view text, bool chosen) {
  // text is "~X y z": the letter after the tilde is the hot letter.
  std::string shown = " " + std::string(text.substr(1));
  std::string line = PadCut(shown, static_cast<std::size_t>(std::max(0, width - 1)));
  const ColourScheme& s = screen.Scheme();
  if (chosen) {
    screen.WriteAt(s[10], 2, row, line);
    return;
  }
  screen.WriteAt(s[5], 2, row, line);
  if (line.size() > 1) screen.WriteAt(s[9], 3, row, line.substr(1, 1));
}

// The button that closed a message box, as the journal names it.
std::string_view CommandAnswer(std::uint16_t command, std::uint16_t flags) {
  if (flags & kMbSelfClosing) return "";
  switch (command) {
    case kCmYes:
      return "Tak";
    case kCmNo:
      return "Nie";
    case kCmOk:
      return "OK";
    default:
      return "Esc";
  }
}

}  // namespace

bool YesNoQuestion(Screen& screen, bool defaultYes, std::string_view text, int row, int column) {
  if (auto& answer = LayerState(screen).autoAnswer) {
    bool yes = answer(kMbYes | kMbNo, text) == kCmYes;
    screen.NoteDialog(text, yes ? "Tak" : "Nie");
    return yes;
  }
  constexpr int kMaxLines = 24 - 5 - 1;
  std::vector<std::string_view> lines = SplitLines(text);
  if (static_cast<int>(lines.size()) > kMaxLines) lines.resize(kMaxLines);
  int count = static_cast<int>(lines.size());
  std::size_t longest = 0;
  for (std::string_view line : lines) {
    bool centred = !line.empty() && line.front() == kCentre;
    longest = std::max(longest, line.size() - (centred ? 1 : 0));
  }
  int width = std::clamp(static_cast<int>(longest), 7, 76);
  if (column + width > 77) column = 77 - width;
  if (row + count + 5 > 24) row = 24 - count - 5;
  column = std::max(1, column);
  row = std::max(1, row);

  const ColourScheme& s = screen.Scheme();
  auto window = screen.OpenWindow(column, row, column + width + 3, row + count + 4, "", s[4], s[5],
                                  s[5], WindowOptions{true, true, true});
  if (!window) return defaultYes;
  for (int i = 0; i < count; ++i) {
    PlacedLine placed = PlaceLine(lines[static_cast<std::size_t>(i)], width + 2, width, 2);
    screen.WriteAt(s[7], 2, i + 1, std::string(static_cast<std::size_t>(width), ' '));
    screen.WriteAt(s[7], placed.column, i + 1, placed.text);
  }
  screen.WriteAt(s[5], 1, count + 1, std::string(static_cast<std::size_t>(width + 2), '\xC4'));

  StatusLine status(screen, {{kCmQuestionYes, key::kCtrlT, "^T - tak"},
                             {kCmQuestionNo, key::kCtrlN, "^N - nie"}});
  int yesRow = window->InnerTop() + count + 1;
  bool answer = defaultYes;
  Event event;
  for (;;) {
    DrawChoice(screen, count + 2, width, "~T a k", answer);
    DrawChoice(screen, count + 3, width, "~N i e", !answer);
    GetEvent(screen, event);
    if (event.IsKey(key::kEnter)) break;
    if (event.IsChar('T') || event.IsChar('t') || event.IsCommand(kCmQuestionYes)) {
      answer = true;
      break;
    }
    if (event.IsChar('N') || event.IsChar('n') || event.IsCommand(kCmQuestionNo)) {
      answer = false;
      break;
    }
    if (event.IsKey(key::kUp) || event.IsKey(key::kDown)) {
      answer = !answer;
      continue;
    }
    if (event.IsMouse()) {
      answer = event.IsLeftClick() && event.Row() == yesRow &&
               event.Column() >= window->InnerLeft() && event.Column() <= window->InnerRight();
      break;
    }
  }
  screen.NoteDialog(text, answer ? "Tak" : "Nie");
  return answer;
}

std::uint16_t MessageBox(Screen& screen, std::uint16_t flags, std::string_view text, int height,
                         int width, int row, int column) {
  if (auto& answer = LayerState(screen).autoAnswer) {
    std::uint16_t result = answer(flags, text);
    screen.NoteDialog(text, CommandAnswer(result, flags));
    return result;
  }
  int kind = flags & 0x0F;
  std::string title;
  switch (kind) {
    case 1:
    case 8:
      title = " Błąd "_pl;
      break;
    case 2:
      title = " Informacja "_pl;
      break;
    case 3:
      title = " Potwierdź "_pl;
      break;
    default:
      title = " UWAGA "_pl;
      break;
  }
  SchemeGuard guard{screen, screen.Scheme()};
  if (kind == 1 || kind == 8) {
    ColourScheme& s = screen.Scheme();
    s[4] = s[5] = s[6] = s[8];
  }
  screen.Console().FlushInput();
  if (std::size_t bell = text.find(kTitleEnd); bell != std::string_view::npos) {
    title = std::string(text.substr(0, bell));
    text.remove_prefix(bell + 1);
  }

  DialogPage page(screen, title, height, width, row, column);
  if (!page.Opened()) return kCmCancel;
  std::uint8_t textAttr = screen.Scheme()[5];
  int lineRow = 1;
  for (std::string_view line : SplitLines(text)) {
    if (!line.empty()) {
      PlacedLine placed = PlaceLine(line, width, width - 2, 1);
      page.WriteText(textAttr, placed.column, lineRow, placed.text);
    }
    ++lineRow;
  }

  struct ButtonKind {
    std::uint16_t flag, command;
    std::string_view title;
  };
  static constexpr ButtonKind kButtons[] = {{kMbYes, kCmYes, "Tak"},
                                            {kMbNo, kCmNo, "Nie"},
                                            {kMbOk, kCmOk, "OK"},
                                            {kMbCancel, kCmCancel, "Porzuć"_pl}};
  int n = 0;
  for (const ButtonKind& b : kButtons)
    if (flags & b.flag) ++n;
  int gap = (width - 9 * n) / (n + 1);
  // With no room between them the first button would stand on the frame; move them
  // all one column in instead of letting the first cover the second.
  int shift = gap < 1 ? 1 - gap : 0;
  int k = 0;
  for (const ButtonKind& b : kButtons) {
    if (!(flags & b.flag)) continue;
    page.Add<PushButton>(b.command, b.title, 1, 9, height - 3, shift + gap + (gap + 9) * k);
    ++k;
  }
  page.SetStatusLine({{0, 0, "?"}});

  std::uint16_t result = kCmCancel;
  if (flags & kMbSelfClosing) {
    screen.HideCursor();
    screen.Flush();
    screen.Process().Sleep(kSelfClosingMs);
  } else {
    result = page.Execute();
  }
  page.Done();
  screen.NoteDialog(text, CommandAnswer(result, flags));
  return result;
}

std::uint16_t MessageBox(Screen& screen, std::uint16_t flags, std::string_view text) {
  return MessageBox(screen, flags, text, 10, 40, 8, 20);
}

std::uint16_t ErrorBox(Screen& screen, std::string_view text) {
  return MessageBox(screen, kMbError | kMbOk, text);
}

void SetInputBoxWidth(Screen& screen, int width) {
  if (width >= 1 && width <= 36) LayerState(screen).inputBoxWidth = width;
}

std::uint16_t InputBox(Screen& screen, bool password, std::string& variable,
                       std::string_view prompt) {
  DialogLayerState& state = LayerState(screen);
  if (state.autoAnswer) {
    state.inputBoxWidth = kDefaultInputWidth;
    std::uint16_t result = state.autoAnswer(0, prompt);
    screen.NoteDialog(prompt, result == kCmOk ? std::string_view(variable) : "Esc");
    return result;
  }
  int fieldWidth = state.inputBoxWidth;
  state.inputBoxWidth = kDefaultInputWidth;
  bool modified = state.modified;
  // The whole old value, not only what fits the field: leaving with Esc must not
  // shorten the caller's text.
  std::string copy = variable;
  screen.Console().FlushInput();

  constexpr int kWidth = 41;
  DialogPage page(screen, "", 10, kWidth, 8, 20);
  if (!page.Opened()) return kCmCancel;
  std::uint8_t textAttr = screen.Scheme()[5];
  int lineRow = 2;
  for (std::string_view line : SplitLines(prompt)) {
    if (!line.empty()) {
      PlacedLine placed = PlaceLine(line, kWidth, kWidth - 3, 2);
      page.WriteText(textAttr, placed.column, lineRow, placed.text);
    }
    ++lineRow;
  }
  auto& field = page.Add<InputLine>(variable, fieldWidth, 5, (37 - fieldWidth) / 2 + 2);
  field.SetPassword(password);
  field.Draw();
  page.Add<PushButton>(kCmOk, "OK", 1, 8, 7, 16);
  page.SetStatusLine(
      {{kCmOk, key::kEnter, "Enter - potwierdź"_pl}, {kCmCancel, key::kEsc, "Esc - zrezygnuj"}});
  std::uint16_t result = page.Execute();
  if (result != kCmOk) variable = copy;
  page.Done();
  screen.NoteDialog(prompt, result == kCmOk ? std::string_view(variable) : "Esc");
  state.modified = modified;
  return result;
}

}  // namespace zq::tui
