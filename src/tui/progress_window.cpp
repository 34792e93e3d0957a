#include "tui/progress_window.h"

#include <algorithm>

namespace zq::tui {

namespace {
constexpr int kBarWidth = 35;
}

ProgressWindow::ProgressWindow(Screen& screen, std::string_view caption, std::string_view message,
                               long total)
    : screen_(screen), total_(std::max(1L, total)) {
  const ColourScheme& s = screen.Scheme();
  window_ = screen.OpenWindow(20, 9, 56, 14, caption.empty() ? "Czekaj ..." : caption, s[1], s[4],
                              s[0]);
  if (!window_) return;
  screen.WriteAt(s[10], 4, 2, PadCut(message, 32));
  screen.WriteAt(s[10], 2, 4, std::string(kBarWidth, '\xB0'));
}

void ProgressWindow::Step(long n) {
  if (!window_) return;
  position_ = std::min(position_ + n, total_);
  int filled = static_cast<int>(kBarWidth * position_ / total_);
  if (filled > 0) screen_.WriteAt(screen_.Scheme()[10], 2, 4, std::string(static_cast<std::size_t>(filled), '\xDB'));
  if (counterShown_) {
    std::string digits = std::to_string(position_);
    if (digits.size() < 8) digits.insert(0, 8 - digits.size(), ' ');
    // Inside row 6 would lie below the frame and stay on screen after the window
    // closes; the free row between the message and the bar keeps it inside.
    screen_.WriteAt(0x4F, 2, 3, digits);
  }
  if (idleHook_) idleHook_();
}

void ProgressWindow::Reset() {
  if (!window_) return;
  position_ = 0;
  screen_.WriteAt(screen_.Scheme()[10], 2, 4, std::string(kBarWidth, '\xB1'));
}

void ProgressWindow::Close() { window_.reset(); }

}  // namespace zq::tui
