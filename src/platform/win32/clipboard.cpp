// The system clipboard of the console backend. The clipboard holds text in the
// ANSI code page (the system makes the other text formats from it); the program's
// text is in the OEM code page, so both directions go through the system's own
// OEM/ANSI conversion, as every other OEM program's clipboard text does.
#include <cstring>

#include "platform/win32/console.h"
#include "platform/win32/win.h"

namespace zq::platform::win32 {

bool Win32Console::GetClipboard(std::string& cp852) {
  cp852 = clipboard_;
  // Opening fails at once while another program holds the clipboard: the
  // program's own clipboard then stands in, and nothing waits.
  if (!OpenClipboard(GetConsoleWindow())) return true;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const auto* text = static_cast<const char*>(GlobalLock(data))) {
      // A block without its terminating NUL ends where the block does.
      std::size_t limit = GlobalSize(data);
      std::size_t n = 0;
      while (n < limit && text[n] != 0) ++n;
      std::string oem(n, '\0');
      if (n > 0) CharToOemBuffA(text, oem.data(), static_cast<DWORD>(n));
      cp852 = std::move(oem);
      GlobalUnlock(data);
    }
  }
  // No text there (an image, an empty clipboard, or a host that keeps none): the
  // program's own copy is still worth pasting.
  CloseClipboard();
  return true;
}

bool Win32Console::SetClipboard(std::string_view cp852) {
  clipboard_ = cp852;
  HWND owner = GetConsoleWindow();
  // Without a window the system clipboard would take the text and drop it again.
  if (owner == nullptr || !OpenClipboard(owner)) return true;
  if (EmptyClipboard()) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, cp852.size() + 1);
    if (block != nullptr) {
      if (auto* p = static_cast<char*>(GlobalLock(block))) {
        if (!cp852.empty()) OemToCharBuffA(cp852.data(), p, static_cast<DWORD>(cp852.size()));
        p[cp852.size()] = '\0';
        GlobalUnlock(block);
        if (SetClipboardData(CF_TEXT, block) == nullptr) GlobalFree(block);
      } else {
        GlobalFree(block);
      }
    }
  }
  CloseClipboard();
  return true;
}

}  // namespace zq::platform::win32
