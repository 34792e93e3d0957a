#include "tui/screen.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace zq::tui {

namespace {

constexpr std::uint8_t kFrame[8] = {0xDA, 0xC0, 0xBF, 0xD9, 0xC4, 0xC4, 0xB3, 0xB3};

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

}  // namespace

std::string PathStem(std::string_view programPath) {
  std::size_t lastSep = programPath.find_last_of("\\/");
  std::size_t dot = programPath.rfind('.');
  if (dot != std::string_view::npos && (lastSep == std::string_view::npos || dot > lastSep))
    return std::string(programPath.substr(0, dot));
  return std::string(programPath);
}

std::string PathDirectory(std::string_view path) {
  std::size_t lastSep = path.find_last_of("\\/");
  if (lastSep == std::string_view::npos) return {};
  return std::string(path.substr(0, lastSep + 1));
}

std::string TrimStartDirectory(std::string_view dir) {
  std::string out(dir);
  if (out.size() > 3 && IsSeparator(out.back())) out.pop_back();
  return out;
}

std::string PadCut(std::string_view text, std::size_t width) {
  std::string out(text.substr(0, std::min(text.size(), width)));
  out.resize(width, ' ');
  return out;
}

// ---- FramedWindow ----

FramedWindow::FramedWindow(Screen& screen, int left, int top, int right, int bottom,
                           std::string title, std::uint8_t header, std::uint8_t frame,
                           std::uint8_t text, WindowOptions options)
    : screen_(screen),
      left_(left),
      top_(top),
      right_(right),
      bottom_(bottom),
      title_(std::move(title)),
      headerAttr_(header),
      frameAttr_(frame),
      textAttr_(text),
      options_(options) {}

FramedWindow::~FramedWindow() {
  Close();
}

void FramedWindow::SaveBeneath() {
  int w = right_ - left_ + 1;
  beneath_.resize(static_cast<std::size_t>(w * (bottom_ - top_ + 1)));
  for (int r = top_; r <= bottom_; ++r)
    screen_.GetCells(left_, r,
                     std::span(beneath_).subspan(static_cast<std::size_t>((r - top_) * w),
                                                 static_cast<std::size_t>(w)));
}

void FramedWindow::RestoreBeneath() {
  int w = right_ - left_ + 1;
  for (int r = top_; r <= bottom_; ++r)
    screen_.PutCells(left_, r,
                     std::span<const Cell>(beneath_).subspan(
                         static_cast<std::size_t>((r - top_) * w), static_cast<std::size_t>(w)));
}

void FramedWindow::DrawFrame() {
  if (!options_.framed) return;
  int w = right_ - left_ + 1;
  std::vector<Cell> line(static_cast<std::size_t>(w), Cell{kFrame[4], frameAttr_});
  line.front().ch = kFrame[0];
  line.back().ch = kFrame[2];
  screen_.PutCells(left_, top_, line);
  for (auto& c : line) c.ch = kFrame[5];
  line.front().ch = kFrame[1];
  line.back().ch = kFrame[3];
  screen_.PutCells(left_, bottom_, line);
  Cell side{kFrame[6], frameAttr_};
  for (int r = top_ + 1; r < bottom_; ++r) {
    screen_.PutCells(left_, r, std::span(&side, 1));
    screen_.PutCells(right_, r, std::span(&side, 1));
  }
  if (!title_.empty()) {
    std::string t = title_.substr(0, static_cast<std::size_t>(std::max(0, w - 2)));
    int col = left_ + (w - static_cast<int>(t.size())) / 2;
    screen_.WriteAbsolute(headerAttr_, col, top_, t);
  }
}

void FramedWindow::SetAttributes(std::uint8_t header, std::uint8_t frame, std::uint8_t text) {
  headerAttr_ = header;
  frameAttr_ = frame;
  textAttr_ = text;
}

void FramedWindow::Show() {
  if (visible_ || closed_) return;
  SaveBeneath();
  int w = right_ - left_ + 1;
  if (options_.keepContents && !own_.empty()) {
    for (int r = top_; r <= bottom_; ++r)
      screen_.PutCells(left_, r,
                       std::span<const Cell>(own_).subspan(static_cast<std::size_t>((r - top_) * w),
                                                           static_cast<std::size_t>(w)));
  } else {
    DrawFrame();
    if (options_.clearInside)
      for (int r = InnerTop(); r <= InnerBottom(); ++r)
        screen_.FillAbsolute(textAttr_, InnerLeft(), r, InnerWidth());
  }
  visible_ = true;
}

void FramedWindow::Hide() {
  if (!visible_) return;
  if (options_.keepContents) {
    int w = right_ - left_ + 1;
    own_.resize(beneath_.size());
    for (int r = top_; r <= bottom_; ++r)
      screen_.GetCells(left_, r,
                       std::span(own_).subspan(static_cast<std::size_t>((r - top_) * w),
                                               static_cast<std::size_t>(w)));
  }
  RestoreBeneath();
  visible_ = false;
}

void FramedWindow::Close() {
  if (closed_) return;
  Hide();
  closed_ = true;
  screen_.Pop(this);
}

// ---- Screen ----

Screen::Screen(platform::Platform& platform) : platform_(platform) {}

void Screen::Start() {
  programStem_ = PathStem(platform_.process.OwnPath());
  programDirectory_ = PathDirectory(programStem_);
  startDirectory_ = TrimStartDirectory(platform_.files.CurrentDirectory());
  defaults_ = kDefaultScheme;
  std::array<std::uint8_t, 11> record{};
  if (ReadColoursFile(record))
    LoadScheme(record);
  else
    scheme_ = defaults_;
  for (int i = 0; i < 4; ++i)
    controlColours_[static_cast<std::size_t>(i)] = scheme_[static_cast<std::size_t>(i)];
  auto sound = platform_.process.Environment("ZQSOUND");
  soundOff_ = sound && *sound == "OFF";
}

void Screen::LoadScheme(const std::array<std::uint8_t, 11>& record) {
  if (record[0] == 0 && record[1] == 0 && record[2] == 0 && record[3] == 0) return;
  scheme_.at = record;
}

bool Screen::ReadColoursFile(std::array<std::uint8_t, 11>& record) {
  int error = 0;
  auto file =
      platform_.files.Open(programDirectory_ + "kolory.zq", platform::kRead,
                           platform::kShareReadWrite, platform::Disposition::kOpenExisting, error);
  if (!file) return false;
  std::array<std::uint8_t, 11> buffer{};
  std::size_t done = 0;
  bool ok = file->Read(buffer.data(), buffer.size(), done, error) && done == buffer.size();
  file->Close(error);
  // A short record reads as the defaults.
  record = ok ? buffer : defaults_.at;
  return true;
}

bool Screen::WriteColoursFile(const std::array<std::uint8_t, 11>& record) {
  int error = 0;
  auto file =
      platform_.files.Open(programDirectory_ + "kolory.zq", platform::kWrite, platform::kShareNone,
                           platform::Disposition::kCreateAlways, error);
  if (!file) return false;
  std::size_t done = 0;
  file->Write(record.data(), record.size(), done, error);
  file->Close(error);
  return true;
}

void Screen::PutCells(int column, int row, std::span<const Cell> cells) {
  platform_.console.WriteCells(column - 1, row - 1, cells);
}

void Screen::PutRows(int row, std::span<const Cell> cells) {
  platform_.console.WriteRows(row - 1, cells);
}

void Screen::GetCells(int column, int row, std::span<Cell> cells) const {
  platform_.console.ReadCells(column - 1, row - 1, cells);
}

void Screen::WriteAbsolute(std::uint8_t attr, int column, int row, std::string_view text) {
  if (text.empty()) return;
  // A row's worth on the stack: the progress log writes here for every line it shows.
  std::array<Cell, platform::Console::kColumns> rowCells;
  std::vector<Cell> longCells;
  if (text.size() > rowCells.size()) longCells.resize(text.size());
  std::span<Cell> cells =
      longCells.empty() ? std::span<Cell>(rowCells).first(text.size()) : std::span<Cell>(longCells);
  for (std::size_t i = 0; i < text.size(); ++i)
    cells[i] = Cell{static_cast<std::uint8_t>(text[i]), attr};
  PutCells(column, row, cells);
}

void Screen::FillAbsolute(std::uint8_t attr, int column, int row, int width, char ch) {
  if (width <= 0) return;
  std::vector<Cell> cells(static_cast<std::size_t>(width),
                          Cell{static_cast<std::uint8_t>(ch), attr});
  PutCells(column, row, cells);
}

void Screen::WriteAt(std::uint8_t attr, int column, int row, std::string_view text) {
  if (FramedWindow* w = OpenedWindow()) {
    // Clipped to the window's inside, as a window-relative write must not draw on its frame.
    if (row < 1 || row > w->InnerHeight() || column > w->InnerWidth()) {
      HideCursor();
      return;
    }
    if (column < 1) {
      std::size_t skip = static_cast<std::size_t>(1 - column);
      text = skip < text.size() ? text.substr(skip) : std::string_view();
      column = 1;
    }
    std::size_t room = static_cast<std::size_t>(w->InnerWidth() - column + 1);
    WriteAbsolute(attr, w->InnerLeft() + column - 1, w->InnerTop() + row - 1,
                  text.substr(0, std::min(text.size(), room)));
  } else {
    WriteAbsolute(attr, column, row, text);
  }
  HideCursor();
}

void Screen::WriteAtPlain(int column, int row, std::string_view text) {
  FramedWindow* w = OpenedWindow();
  WriteAt(w ? w->TextAttr() : scheme_[0], column, row, text);
}

void Screen::Clear(std::uint8_t attr) {
  for (int r = 1; r <= platform::Console::kRows; ++r)
    FillAbsolute(attr, 1, r, platform::Console::kColumns);
}

std::unique_ptr<FramedWindow> Screen::OpenWindow(int left, int top, int right, int bottom,
                                                 std::string_view title, std::uint8_t header,
                                                 std::uint8_t frame, std::uint8_t text,
                                                 WindowOptions options) {
  int minSize = options.framed ? 3 : 1;
  if (left < 1 || top < 1 || right > platform::Console::kColumns ||
      bottom > platform::Console::kRows || right - left + 1 < minSize || bottom - top + 1 < minSize)
    return nullptr;
  std::unique_ptr<FramedWindow> w(new FramedWindow(
      *this, left, top, right, bottom, std::string(title), header, frame, text, options));
  w->Show();
  Push(w.get());
  return w;
}

void Screen::Pop(FramedWindow* window) {
  auto it = std::find(stack_.begin(), stack_.end(), window);
  if (it != stack_.end()) stack_.erase(it);
}

TextWindow Screen::SetTextWindow(int left, int top, int right, int bottom) {
  TextWindow previous = textWindow_;
  textWindow_ = TextWindow{static_cast<std::uint8_t>(left), static_cast<std::uint8_t>(right),
                           static_cast<std::uint8_t>(top), static_cast<std::uint8_t>(bottom)};
  return previous;
}

void Screen::HideCursor() {
  auto info = platform_.console.GetCursorInfo();
  if (info.visible) platform_.console.SetCursorInfo({info.percent, false});
}

void Screen::ShowCursor(int percent) {
  platform_.console.SetCursorInfo({std::clamp(percent, 1, 100), true});
}

void Screen::PlaceCursor(int column, int row) {
  platform_.console.SetCursorPosition(column - 1, row - 1);
}

void Screen::Beep(int units, int frequency) {
  if (soundOff_) return;
  platform_.console.Beep(frequency, units * 48);
}

void Screen::ClockTick() {
  platform_.process.Sleep(64);
  platform::LocalTime now = platform_.process.Now();
  if (now.second == lastClockSecond_) return;
  lastClockSecond_ = now.second;
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", now.hour % 100, now.minute % 100,
                now.second % 100);
  // The clock draws over whatever is there but must not move or show the cursor.
  WriteAbsolute(0x0F, 73, 1, text);
  Flush();
}

}  // namespace zq::tui
