#include "platform/headless/headless.h"

#include <algorithm>

#include "platform/cp852.h"

namespace zq::platform {

namespace {

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysIn(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Idle polls after which a waiting program is taken to have run out of script.
constexpr long kIdleLimit = 200000;

}  // namespace

LocalTime FakeClock::Now() const {
  LocalTime t = start_;
  long long ms = t.millisecond + elapsedMs_;
  t.millisecond = static_cast<int>(ms % 1000);
  long long s = t.second + ms / 1000;
  t.second = static_cast<int>(s % 60);
  long long m = t.minute + s / 60;
  t.minute = static_cast<int>(m % 60);
  long long h = t.hour + m / 60;
  t.hour = static_cast<int>(h % 24);
  long long days = h / 24;
  t.dayOfWeek = static_cast<int>((t.dayOfWeek + days) % 7);
  while (days-- > 0) {
    if (++t.day > DaysIn(t.year, t.month)) {
      t.day = 1;
      if (++t.month > 12) {
        t.month = 1;
        ++t.year;
      }
    }
  }
  return t;
}

HeadlessConsole::HeadlessConsole(FakeClock& clock)
    : clock_(clock), cells_(kColumns * kRows) {}

bool HeadlessConsole::SetSize(int columns, int rows) {
  sizeSet_ = columns == kColumns && rows == kRows;
  return sizeSet_;
}

void HeadlessConsole::WriteCells(int column, int row, std::span<const Cell> cells) {
  if (row < 0 || row >= kRows) return;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    int c = column + static_cast<int>(i);
    if (c >= 0 && c < kColumns) cells_[Index(c, row)] = cells[i];
  }
}

void HeadlessConsole::ReadCells(int column, int row, std::span<Cell> cells) const {
  for (std::size_t i = 0; i < cells.size(); ++i) {
    int c = column + static_cast<int>(i);
    cells[i] = (row >= 0 && row < kRows && c >= 0 && c < kColumns) ? cells_[Index(c, row)]
                                                                   : Cell{};
  }
}

void HeadlessConsole::SetCursorPosition(int column, int row) {
  cursorColumn_ = std::clamp(column, 0, kColumns - 1);
  cursorRow_ = std::clamp(row, 0, kRows - 1);
}

bool HeadlessConsole::PollEvent(InputEvent& event) {
  while (!script_.empty()) {
    Step step = std::move(script_.front());
    script_.pop_front();
    if (auto* action = std::get_if<std::function<void()>>(&step)) {
      (*action)();
      continue;
    }
    idlePolls_ = 0;
    event = InputEvent{};
    if (auto* key = std::get_if<KeyEvent>(&step)) {
      event.kind = InputEvent::Kind::Key;
      event.key = *key;
    } else {
      event.kind = InputEvent::Kind::Mouse;
      event.mouse = std::get<MouseEvent>(step);
    }
    return true;
  }
  if (++idlePolls_ > kIdleLimit) throw ScriptExhausted{ScreenText()};
  return false;
}

int HeadlessConsole::PendingEvents() {
  // Type-ahead is only what the test marked as such; otherwise the script is
  // taken to be typed later, key by key, as a person would.
  if (!typeAhead_) return 0;
  return static_cast<int>(std::count_if(script_.begin(), script_.end(), [](const Step& s) {
    return !std::holds_alternative<std::function<void()>>(s);
  }));
}

void HeadlessConsole::FlushInput() {
  if (!typeAhead_) return;
  while (!script_.empty() && !std::holds_alternative<std::function<void()>>(script_.front()))
    script_.pop_front();
}

void HeadlessConsole::Beep(int frequency, int milliseconds) {
  beeps_.emplace_back(frequency, milliseconds);
  clock_.Advance(milliseconds);
}

bool HeadlessConsole::GetClipboard(std::string& cp852) {
  cp852 = clipboard_;
  return true;
}

bool HeadlessConsole::SetClipboard(std::string_view cp852) {
  clipboard_ = cp852;
  return true;
}

void HeadlessConsole::PushKey(std::uint16_t code, std::uint8_t shift) {
  script_.emplace_back(KeyEvent{static_cast<std::uint8_t>(code >> 8),
                                static_cast<std::uint8_t>(code & 0xFF), shift});
}

void HeadlessConsole::PushKeys(std::initializer_list<std::uint16_t> codes) {
  for (auto c : codes) PushKey(c);
}

void HeadlessConsole::PushText(std::string_view cp852) {
  for (unsigned char c : cp852) script_.emplace_back(KeyEvent{0, c, 0});
}

void HeadlessConsole::PushMouse(const MouseEvent& mouse) { script_.emplace_back(mouse); }

void HeadlessConsole::PushAction(std::function<void()> action) {
  script_.emplace_back(std::move(action));
}

std::string HeadlessConsole::RowText(int row) const {
  std::string out;
  for (int c = 0; c < kColumns; ++c) {
    unsigned char ch = cells_[Index(c, row)].ch;
    // Control bytes have no glyph of their own here; show them as blanks.
    AppendUtf8(out, ch < 0x20 ? U' ' : kCp852ToUnicode[ch]);
  }
  return out;
}

std::string HeadlessConsole::ScreenText() const {
  std::string out;
  for (int r = 0; r < kRows; ++r) {
    std::string line = RowText(r);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out += line;
    out += '\n';
  }
  return out;
}

std::string HeadlessConsole::AttributeMap(bool background) const {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kColumns; ++c) {
      std::uint8_t a = cells_[Index(c, r)].attr;
      out += kHex[background ? (a >> 4) : (a & 0x0F)];
    }
    out += '\n';
  }
  return out;
}

std::optional<std::string> HeadlessProcess::Environment(std::string_view name) {
  auto it = env_.find(name);
  if (it == env_.end()) return std::nullopt;
  return it->second;
}

}  // namespace zq::platform
