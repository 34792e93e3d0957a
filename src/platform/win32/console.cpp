#include "platform/win32/console.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/cp852.h"
#include "platform/process.h"
#include "platform/win32/keys.h"
#include "platform/win32/text.h"
#include "platform/win32/win.h"

namespace zq::platform::win32 {

namespace {

using zq::operator""_pl;

// What the control handler needs to give the console back. It runs on a thread of
// its own while the main thread may be drawing, so it only repeats the few calls
// that leave the console usable for whoever started the program.
struct RestoreState {
  HANDLE input = nullptr;
  HANDLE output = nullptr;
  DWORD inputMode = 0;
  UINT inputCodePage = 0, outputCodePage = 0;
  volatile LONG inputTaken = 0;
  volatile LONG screenTaken = 0;
  volatile LONG codePagesTaken = 0;
};

RestoreState g_restore;
Win32Console* g_active = nullptr;

BOOL WINAPI OnControl(DWORD) {
  if (InterlockedExchange(&g_restore.screenTaken, 0))
    SetConsoleActiveScreenBuffer(g_restore.output);
  if (InterlockedExchange(&g_restore.inputTaken, 0))
    SetConsoleMode(g_restore.input, g_restore.inputMode);
  if (InterlockedExchange(&g_restore.codePagesTaken, 0)) {
    SetConsoleCP(g_restore.inputCodePage);
    SetConsoleOutputCP(g_restore.outputCodePage);
  }
  return FALSE;  // the default handler ends the process
}

long long NowMs() {
  return static_cast<long long>(GetTickCount64());
}

bool IsConsoleHandle(HANDLE h) {
  DWORD mode = 0;
  return h != nullptr && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode) != 0;
}

HANDLE OpenConsole(const wchar_t* name) {
  HANDLE h = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

void PutText(HANDLE screen, int column, int row, std::string_view cp852, WORD attribute) {
  if (cp852.empty()) return;
  std::vector<CHAR_INFO> cells(cp852.size());
  for (std::size_t i = 0; i < cp852.size(); ++i) {
    cells[i].Char.AsciiChar = cp852[i];
    cells[i].Attributes = attribute;
  }
  SMALL_RECT rect{static_cast<SHORT>(column), static_cast<SHORT>(row),
                  static_cast<SHORT>(column + static_cast<int>(cp852.size()) - 1),
                  static_cast<SHORT>(row)};
  WriteConsoleOutputA(screen, cells.data(), COORD{static_cast<SHORT>(cp852.size()), 1}, COORD{0, 0},
                      &rect);
}

}  // namespace

// Hands the display buffer's runs to the screen buffer.
class Win32Console::Sink : public DisplaySink {
 public:
  explicit Sink(HANDLE screen) : screen_(screen) {}
  bool CanScroll() const override { return screen_ != nullptr; }
  void Scroll(int top, int bottom, int lines) override {
    SMALL_RECT source{0, static_cast<SHORT>(top + lines), static_cast<SHORT>(kColumns - 1),
                      static_cast<SHORT>(bottom)};
    SMALL_RECT clip{0, static_cast<SHORT>(top), static_cast<SHORT>(kColumns - 1),
                    static_cast<SHORT>(bottom)};
    CHAR_INFO fill;
    fill.Char.AsciiChar = ' ';
    fill.Attributes = 0x07;
    ScrollConsoleScreenBufferA(screen_, &source, &clip, COORD{0, static_cast<SHORT>(top)}, &fill);
  }
  void PutRun(int column, int row, std::span<const Cell> cells) override {
    if (screen_ == nullptr || cells.empty()) return;
    CHAR_INFO data[kColumns];
    std::size_t n = std::min<std::size_t>(cells.size(), kColumns);
    for (std::size_t i = 0; i < n; ++i) {
      data[i].Char.AsciiChar = static_cast<CHAR>(cells[i].ch);
      data[i].Attributes = cells[i].attr;
    }
    SMALL_RECT rect{static_cast<SHORT>(column), static_cast<SHORT>(row),
                    static_cast<SHORT>(column + static_cast<int>(n) - 1), static_cast<SHORT>(row)};
    WriteConsoleOutputA(screen_, data, COORD{static_cast<SHORT>(n), 1}, COORD{0, 0}, &rect);
  }

 private:
  HANDLE screen_;
};

Win32Console::Win32Console() {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  if (IsConsoleHandle(in)) {
    input_ = in;
  } else if (HANDLE own = OpenConsole(L"CONIN$")) {
    input_ = own;
    ownInput_ = true;
  } else if (in != nullptr && in != INVALID_HANDLE_VALUE) {
    stdin_ = in;
  } else {
    inputEnded_ = true;
  }
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (IsConsoleHandle(out)) {
    output_ = out;
  } else if (HANDLE own = OpenConsole(L"CONOUT$")) {
    // Standard output is redirected, but there is a console to draw on.
    output_ = own;
    ownOutput_ = true;
  }
  if (output_ != nullptr && g_active == nullptr) {
    g_active = this;
    SetConsoleCtrlHandler(OnControl, TRUE);
  }
  // Before anything is written: the usage text goes to standard output in code page 852.
  TakeCodePages();
}

Win32Console::~Win32Console() {
  Restore();
  if (g_active == this) {
    SetConsoleCtrlHandler(OnControl, FALSE);
    g_active = nullptr;
  }
  if (ownInput_) CloseHandle(input_);
  if (ownOutput_) CloseHandle(output_);
}

void Win32Console::TakeCodePages() {
  if (codePagesTaken_ || (input_ == nullptr && output_ == nullptr)) return;
  inputCodePage_ = GetConsoleCP();
  outputCodePage_ = GetConsoleOutputCP();
  if (g_active == this) {
    g_restore.inputCodePage = inputCodePage_;
    g_restore.outputCodePage = outputCodePage_;
    InterlockedExchange(&g_restore.codePagesTaken, 1);
  }
  SetConsoleCP(852);
  SetConsoleOutputCP(852);
  codePagesTaken_ = true;
}

void Win32Console::TakeInput() {
  TakeCodePages();
  if (inputTaken_ || input_ == nullptr) return;
  DWORD mode = 0;
  if (!GetConsoleMode(input_, &mode)) return;
  inputMode_ = mode;
  if (g_active == this) {
    g_restore.input = input_;
    g_restore.inputMode = mode;
    InterlockedExchange(&g_restore.inputTaken, 1);
  }
  // Keys one by one, Ctrl+C as a key, the mouse (Quick Edit would take it) and
  // size changes; no line editing, no echo, no terminal sequences.
  SetConsoleMode(input_, ENABLE_WINDOW_INPUT | ENABLE_MOUSE_INPUT | ENABLE_EXTENDED_FLAGS);
  inputTaken_ = true;
}

void Win32Console::TakeScreen() {
  if (screenTaken_ || output_ == nullptr) return;
  TakeCodePages();
  TakeInput();
  screen_ =
      CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
  if (screen_ == INVALID_HANDLE_VALUE || screen_ == nullptr) screen_ = output_;
  tooSmall_ = !FitScreen();
  tooSmallShown_ = false;
  tooSmallDismissed_ = false;
  if (screen_ != output_) {
    if (g_active == this) {
      g_restore.output = output_;
      InterlockedExchange(&g_restore.screenTaken, 1);
    }
    SetConsoleActiveScreenBuffer(screen_);
  }
  screenTaken_ = true;
  buffer_.Invalidate();
  cursorDirty_ = true;
  lastSizeCheckMs_ = NowMs();
}

// Makes the screen buffer and its window 80x25; true when the console can show
// all of it.
bool Win32Console::FitScreen() {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(screen_, &info)) return false;
  int width = info.srWindow.Right - info.srWindow.Left + 1;
  int height = info.srWindow.Bottom - info.srWindow.Top + 1;
  // The window may not be larger than the buffer: shrink it first, grow it last.
  if (width > kColumns || height > kRows || info.srWindow.Left != 0 || info.srWindow.Top != 0) {
    SMALL_RECT smaller{0, 0, static_cast<SHORT>(std::min(width, kColumns) - 1),
                       static_cast<SHORT>(std::min(height, kRows) - 1)};
    SetConsoleWindowInfo(screen_, TRUE, &smaller);
  }
  if (!SetConsoleScreenBufferSize(screen_, COORD{kColumns, kRows})) {
    // Some hosts keep a larger buffer; the screen then sits at its top left.
    SetConsoleScreenBufferSize(screen_,
                               COORD{static_cast<SHORT>(std::max<int>(info.dwSize.X, kColumns)),
                                     static_cast<SHORT>(std::max<int>(info.dwSize.Y, kRows))});
  }
  SMALL_RECT full{0, 0, kColumns - 1, kRows - 1};
  SetConsoleWindowInfo(screen_, TRUE, &full);
  if (!GetConsoleScreenBufferInfo(screen_, &info)) return false;
  width = info.srWindow.Right - info.srWindow.Left + 1;
  height = info.srWindow.Bottom - info.srWindow.Top + 1;
  COORD largest = GetLargestConsoleWindowSize(screen_);
  bool fits =
      info.dwSize.X >= kColumns && info.dwSize.Y >= kRows && width >= kColumns && height >= kRows;
  // A host that cannot tell its largest window says 0 x 0.
  if (largest.X != 0 || largest.Y != 0) fits = fits && largest.X >= kColumns && largest.Y >= kRows;
  return fits;
}

void Win32Console::CheckStillSmall() {
  long long now = NowMs();
  if (now - lastSizeCheckMs_ < 250) return;
  lastSizeCheckMs_ = now;
  COORD largest = GetLargestConsoleWindowSize(screen_);
  if ((largest.X != 0 || largest.Y != 0) && (largest.X < kColumns || largest.Y < kRows)) return;
  if (!FitScreen()) return;
  tooSmall_ = false;
  tooSmallShown_ = false;
  buffer_.Invalidate();
  cursorDirty_ = true;
}

void Win32Console::ShowTooSmall() {
  if (tooSmallShown_) return;
  CONSOLE_SCREEN_BUFFER_INFO info{};
  info.dwSize = COORD{kColumns, kRows};
  int width = kColumns, height = kRows;
  if (GetConsoleScreenBufferInfo(screen_, &info)) {
    COORD largest = GetLargestConsoleWindowSize(screen_);
    width = std::min<int>(info.dwSize.X, largest.X > 0 ? largest.X : info.dwSize.X);
    height = std::min<int>(info.dwSize.Y, largest.Y > 0 ? largest.Y : info.dwSize.Y);
  }
  width = std::max(width, 1);
  height = std::max(height, 1);
  DWORD written = 0;
  FillConsoleOutputCharacterA(screen_, ' ', static_cast<DWORD>(info.dwSize.X) * info.dwSize.Y,
                              COORD{0, 0}, &written);
  FillConsoleOutputAttribute(screen_, 0x07, static_cast<DWORD>(info.dwSize.X) * info.dwSize.Y,
                             COORD{0, 0}, &written);
  std::string notice(
      "Okno konsoli jest za małe: potrzeba 80 x 25 znaków. "
      "Naciśnij klawisz, aby mimo to kontynuować."_pl);
  for (const NoticeLine& line : PlaceNotice(notice, width, height))
    PutText(screen_, line.column, line.row, line.text, 0x07);
  CONSOLE_CURSOR_INFO hidden{20, FALSE};
  SetConsoleCursorInfo(screen_, &hidden);
  tooSmallShown_ = true;
  buffer_.Invalidate();
  cursorDirty_ = true;
}

void Win32Console::ReportNoConsole() {
  if (noConsoleReported_) return;
  noConsoleReported_ = true;
  WriteError("Brak okna konsoli: program trzeba uruchomic w oknie konsoli (80 x 25 znakow).");
}

// Only a process without a console writes these lines (with one, input comes from
// it and never ends), so standard error is a file or a pipe: the bytes go as they
// are, in the code page the program works in.
void Win32Console::WriteError(std::string_view cp852) {
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  if (err == nullptr || err == INVALID_HANDLE_VALUE) return;
  std::string line(cp852);
  line += "\r\n";
  DWORD written = 0;
  WriteFile(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

bool Win32Console::SetSize(int columns, int rows) {
  // The screen buffer is made 80x25 when it is taken; whether the console can show
  // it all is known then (TooSmall).
  if (columns != kColumns || rows != kRows) return false;
  return !screenTaken_ || !tooSmall_;
}

void Win32Console::SetTitle(std::string_view cp852) {
  title_ = cp852;
  if (output_ == nullptr) return;
  TakeCodePages();
  if (!titleSet_) {
    std::vector<wchar_t> old(1024);
    DWORD n = GetConsoleTitleW(old.data(), static_cast<DWORD>(old.size()));
    originalTitle_.assign(old.data(), std::min<std::size_t>(n, old.size()));
    titleSet_ = true;
  }
  SetConsoleTitleA(title_.c_str());
}

void Win32Console::PutCursor() {
  if (!cursorDirty_ || screen_ == nullptr) return;
  SetConsoleCursorPosition(
      screen_, COORD{static_cast<SHORT>(cursorColumn_), static_cast<SHORT>(cursorRow_)});
  CONSOLE_CURSOR_INFO info{static_cast<DWORD>(cursor_.percent), cursor_.visible ? TRUE : FALSE};
  SetConsoleCursorInfo(screen_, &info);
  cursorDirty_ = false;
}

void Win32Console::ReadInput() {
  if (input_ != nullptr)
    ReadConsoleRecords();
  else if (stdin_ != nullptr && !inputEnded_)
    ReadRedirectedInput();
}

void Win32Console::ReadConsoleRecords() {
  INPUT_RECORD records[64];
  for (int round = 0; round < 16; ++round) {
    DWORD waiting = 0;
    if (!GetNumberOfConsoleInputEvents(input_, &waiting)) return;
    if (waiting == 0 && round == 0) {
      // Some console hosts (wine's on a terminal) read their keyboard only while the
      // program waits on the input handle; a wait of no time lets them. Records
      // already queued are read without it.
      WaitForSingleObject(input_, 0);
      if (!GetNumberOfConsoleInputEvents(input_, &waiting)) return;
    }
    if (waiting == 0) return;
    DWORD got = 0;
    if (!ReadConsoleInputA(input_, records, std::min<DWORD>(waiting, 64), &got) || got == 0) return;
    for (DWORD i = 0; i < got; ++i) {
      const INPUT_RECORD& r = records[i];
      if (r.EventType == KEY_EVENT || r.EventType == MOUSE_EVENT) {
        AppendEvents(r, queue_);
      } else if (r.EventType == WINDOW_BUFFER_SIZE_EVENT) {
        lastSizeCheckMs_ = 0;  // look again at once
      }
    }
  }
}

void Win32Console::ReadRedirectedInput() {
  char bytes[4096];
  DWORD got = 0;
  DWORD type = GetFileType(stdin_);
  if (type == FILE_TYPE_PIPE) {
    DWORD available = 0;
    if (!PeekNamedPipe(stdin_, nullptr, 0, nullptr, &available, nullptr)) {
      inputEnded_ = true;  // the writer has gone
      return;
    }
    if (available == 0) return;
    if (!ReadFile(stdin_, bytes, std::min<DWORD>(available, sizeof bytes), &got, nullptr) ||
        got == 0) {
      inputEnded_ = true;
      return;
    }
  } else if (type == FILE_TYPE_DISK) {
    if (!ReadFile(stdin_, bytes, sizeof bytes, &got, nullptr) || got == 0) {
      inputEnded_ = true;
      return;
    }
  } else {
    // A character device that is not a console (NUL, a serial port) gives no keys,
    // and a read could wait for ever.
    inputEnded_ = true;
    return;
  }
  for (DWORD i = 0; i < got; ++i) {
    auto b = static_cast<std::uint8_t>(bytes[i]);
    // CR LF is one Enter.
    if (b == 0x0A && lastWasReturn_) {
      lastWasReturn_ = false;
      continue;
    }
    lastWasReturn_ = b == 0x0D;
    if (b == 0) continue;
    InputEvent e;
    e.kind = InputEvent::Kind::Key;
    e.key = KeyForCharacter(b);
    queue_.push_back(e);
  }
}

bool Win32Console::PollEvent(InputEvent& event) {
  TakeInput();
  ReadInput();
  if (screenTaken_ && tooSmall_ && !tooSmallDismissed_) {
    CheckStillSmall();
    if (tooSmall_) {
      // A key goes past the notice (it is not given to the program): the screen is
      // drawn as far as it fits.
      auto key = std::find_if(queue_.begin(), queue_.end(),
                              [](const InputEvent& e) { return e.kind == InputEvent::Kind::Key; });
      if (key != queue_.end()) {
        queue_.erase(queue_.begin(), key + 1);
        tooSmallDismissed_ = true;
        buffer_.Invalidate();
        cursorDirty_ = true;
      }
    }
  }
  if (!queue_.empty() && !TooSmall()) {
    event = queue_.front();
    queue_.pop_front();
    FlushFrame(false);
    return true;
  }
  FlushFrame(true);
  long long now = NowMs();
  if (inputEnded_ && input_ == nullptr && queue_.empty() && drawn_ && output_ == nullptr) {
    // A screen nobody can see, waiting for keys that cannot come: Esc would only walk
    // the program round its pages and questions for ever.
    ReportNoConsole();
    throw ProgramExit{kNoConsoleExitCode};
  }
  return inputEnded_ && input_ == nullptr && queue_.empty() && EndOfInputKey(event, now, 0);
}

int Win32Console::PendingEvents() {
  TakeInput();
  ReadInput();
  FlushFrame(false);
  if (TooSmall()) return 0;
  return static_cast<int>(std::min<std::size_t>(queue_.size(), 1 << 20));
}

void Win32Console::FlushInput() {
  TakeInput();
  ReadInput();
  queue_.clear();
}

void Win32Console::Beep(int frequency, int milliseconds) {
  if (milliseconds <= 0) return;
  // Beep refuses frequencies outside 37..32767 Hz; it waits for the sound to end.
  ::Beep(static_cast<DWORD>(std::clamp(frequency, 37, 32767)),
         static_cast<DWORD>(std::min(milliseconds, 5000)));
}

void Win32Console::FlushFrame(bool force) {
  if (!drawn_) return;  // nothing drawn yet: the console stays as the user left it
  TakeScreen();
  if (output_ == nullptr) {
    ReportNoConsole();
    return;
  }
  if (TooSmall()) {
    ShowTooSmall();
    return;
  }
  Sink sink(screen_);
  if (buffer_.Flush(sink, NowMs(), force)) PutCursor();
}

void Win32Console::Restore() {
  if (screenTaken_) {
    if (screen_ != output_) {
      SetConsoleActiveScreenBuffer(output_);
      InterlockedExchange(&g_restore.screenTaken, 0);
      CloseHandle(screen_);
    }
    screen_ = nullptr;
    screenTaken_ = false;
    tooSmall_ = false;
    buffer_.Invalidate();
  }
  if (inputTaken_) {
    InterlockedExchange(&g_restore.inputTaken, 0);
    SetConsoleMode(input_, inputMode_);
    inputTaken_ = false;
  }
  if (titleSet_) {
    SetConsoleTitleW(originalTitle_.c_str());
    titleSet_ = false;
  }
  if (codePagesTaken_) {
    InterlockedExchange(&g_restore.codePagesTaken, 0);
    SetConsoleCP(inputCodePage_);
    SetConsoleOutputCP(outputCodePage_);
    codePagesTaken_ = false;
  }
}

}  // namespace zq::platform::win32
