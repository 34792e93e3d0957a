#include "tui/progress_window.h"

#include <algorithm>

namespace zq::tui {

namespace {
// The window's layout counts from its outer corner: the bar fills the 35 inner
// columns exactly and the counter sits on the bottom frame line, so nothing is
// drawn outside the cells the window gives back when it closes.
constexpr int kBarWidth = 35;
constexpr int kMessageColumn = 3, kMessageRow = 1;
constexpr int kBarColumn = 1, kBarRow = 3;
}  // namespace

ProgressWindow::ProgressWindow(Screen& screen, std::string_view caption, std::string_view message,
                               long total)
    : screen_(screen), total_(std::max(1L, total)) {
  const ColourScheme& s = screen.Scheme();
  window_ =
      screen.OpenWindow(20, 9, 56, 14, caption.empty() ? "Czekaj ..." : caption, s[1], s[4], s[0]);
  if (!window_) return;
  screen.WriteAt(s[10], kMessageColumn, kMessageRow, PadCut(message, 32));
  screen.WriteAt(s[10], kBarColumn, kBarRow, std::string(kBarWidth, '\xB0'));
}

void ProgressWindow::Step(long n) {
  if (!window_) return;
  position_ = std::min(position_ + n, total_);
  int filled = static_cast<int>(kBarWidth * position_ / total_);
  if (filled > 0)
    screen_.WriteAt(screen_.Scheme()[10], kBarColumn, kBarRow,
                    std::string(static_cast<std::size_t>(filled), '\xDB'));
  if (counterShown_) {
    std::string digits = std::to_string(position_);
    if (digits.size() < 8) digits.insert(0, 8 - digits.size(), ' ');
    screen_.WriteAbsolute(0x4F, window_->Left() + 1, window_->Bottom(), digits);
  }
  if (idleHook_) idleHook_();
}

void ProgressWindow::Reset() {
  if (!window_) return;
  position_ = 0;
  screen_.WriteAt(screen_.Scheme()[10], kBarColumn, kBarRow, std::string(kBarWidth, '\xB1'));
}

void ProgressWindow::Close() {
  window_.reset();
}

}  // namespace zq::tui
