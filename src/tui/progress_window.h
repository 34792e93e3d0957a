// The "Czekaj ..." window that shows how far a wait or an insert has got.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "tui/screen.h"

namespace zq::tui {

class ProgressWindow {
 public:
  // Fails (Opened() false) when the window cannot be opened.
  ProgressWindow(Screen& screen, std::string_view caption, std::string_view message, long total);
  bool Opened() const { return window_ != nullptr; }
  void Step(long n);
  void Reset();
  void Close();
  long Position() const { return position_; }
  void SetCounterShown(bool on) { counterShown_ = on; }
  // Called after every step, as the event layer's idle action would be.
  void SetIdleHook(std::function<void()> hook) { idleHook_ = std::move(hook); }

 private:
  Screen& screen_;
  std::unique_ptr<FramedWindow> window_;
  long total_;
  long position_ = 0;
  bool counterShown_ = true;
  std::function<void()> idleHook_;
};

}  // namespace zq::tui
