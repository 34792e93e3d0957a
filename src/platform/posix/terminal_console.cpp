#include "platform/posix/terminal_console.h"

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/cp852.h"

namespace zq::platform {

namespace {

// What a signal handler needs to give the terminal back: plain data only, so the
// handler stays async-signal-safe.
struct SignalRestore {
  volatile sig_atomic_t raw = 0;
  volatile sig_atomic_t screen = 0;
  int inFd = -1;
  int outFd = -1;
  termios original{};
};

SignalRestore g_restore;
volatile sig_atomic_t g_resized = 0;
volatile sig_atomic_t g_resumed = 0;
TerminalConsole* g_active = nullptr;
bool g_atexitRegistered = false;

constexpr int kTerminatingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int kFatalSignals[] = {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL};
constexpr int kMaxSignal = 65;
struct sigaction g_previous[kMaxSignal];
bool g_installed[kMaxSignal] = {};

void WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

void RestoreAsyncSafe() {
  if (g_restore.screen) {
    g_restore.screen = 0;
    std::string_view off = TerminalRenderer::kMouseOff;
    std::string_view leave = TerminalRenderer::kLeaveScreen;
    WriteAll(g_restore.outFd, off.data(), off.size());
    WriteAll(g_restore.outFd, leave.data(), leave.size());
  }
  if (g_restore.raw) {
    g_restore.raw = 0;
    ::tcsetattr(g_restore.inFd, TCSANOW, &g_restore.original);
  }
}

void AtExitRestore() {
  RestoreAsyncSafe();
}

// Terminating and fatal signals: give the terminal back, then let the signal do
// what it would have done (the previous handler, or the default action).
void OnDeadlySignal(int sig) {
  int saved = errno;
  RestoreAsyncSafe();
  if (sig > 0 && sig < kMaxSignal && g_installed[sig]) {
    ::sigaction(sig, &g_previous[sig], nullptr);
    g_installed[sig] = false;
  } else {
    ::signal(sig, SIG_DFL);
  }
  ::raise(sig);
  errno = saved;
}

void OnResize(int) {
  g_resized = 1;
}

void OnStop(int) {
  int saved = errno;
  RestoreAsyncSafe();
  ::signal(SIGTSTP, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTSTP);
  ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
  ::raise(SIGTSTP);
  // Running again: the main flow takes the terminal back.
  struct sigaction sa {};
  sa.sa_handler = OnStop;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGTSTP, &sa, nullptr);
  g_resumed = 1;
  errno = saved;
}

void Install(int sig, void (*handler)(int), bool keepIgnored) {
  struct sigaction previous {};
  if (::sigaction(sig, nullptr, &previous) != 0) return;
  // A signal the caller chose to ignore (nohup) stays ignored.
  if (keepIgnored && !(previous.sa_flags & SA_SIGINFO) && previous.sa_handler == SIG_IGN) return;
  struct sigaction sa {};
  sa.sa_handler = handler;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  if (::sigaction(sig, &sa, nullptr) != 0) return;
  g_previous[sig] = previous;
  g_installed[sig] = true;
}

void InstallHandlers() {
  for (int sig : kTerminatingSignals) Install(sig, OnDeadlySignal, true);
  for (int sig : kFatalSignals) Install(sig, OnDeadlySignal, true);
  Install(SIGWINCH, OnResize, false);
  Install(SIGTSTP, OnStop, true);
}

void RemoveHandlers() {
  for (int sig = 1; sig < kMaxSignal; ++sig) {
    if (!g_installed[sig]) continue;
    ::sigaction(sig, &g_previous[sig], nullptr);
    g_installed[sig] = false;
  }
}

std::string Base64(std::string_view bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                 static_cast<unsigned char>(bytes[i + 1]) << 8 |
                 static_cast<unsigned char>(bytes[i + 2]);
    out += kDigits[v >> 18 & 63];
    out += kDigits[v >> 12 & 63];
    out += kDigits[v >> 6 & 63];
    out += kDigits[v & 63];
  }
  if (i < bytes.size()) {
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += kDigits[v >> 18 & 63];
    out += kDigits[v >> 12 & 63];
    out += i + 1 < bytes.size() ? kDigits[v >> 6 & 63] : '=';
    out += '=';
  }
  return out;
}

}  // namespace

TerminalConsole::TerminalConsole(int inputFd, int outputFd) : in_(inputFd), out_(outputFd) {
  inputTty_ = ::isatty(in_) == 1;
  outputTty_ = ::isatty(out_) == 1;
  if (inputTty_ && ::tcgetattr(in_, &original_) == 0) haveOriginal_ = true;
}

TerminalConsole::~TerminalConsole() {
  Restore();
  if (registered_) {
    RemoveHandlers();
    g_active = nullptr;
  }
}

long long TerminalConsole::NowMs() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

bool TerminalConsole::SetSize(int columns, int rows) {
  // A terminal cannot be told its size; the screen is 80x25 inside whatever it has.
  return columns == kColumns && rows == kRows;
}

void TerminalConsole::SetTitle(std::string_view cp852) {
  title_ = cp852;
  titleDirty_ = true;
  buffer_.MarkDirty();
}

void TerminalConsole::TakeInput() {
  if (!registered_ && g_active == nullptr && (inputTty_ || outputTty_)) {
    g_active = this;
    registered_ = true;
    InstallHandlers();
    if (!g_atexitRegistered) {
      g_atexitRegistered = true;
      std::atexit(AtExitRestore);
    }
  }
  if (rawOn_ || !inputTty_ || !haveOriginal_) return;
  termios raw = original_;
  raw.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF);
  raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  raw.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
  raw.c_cflag |= CS8;
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  if (registered_) {
    g_restore.inFd = in_;
    g_restore.outFd = out_;
    g_restore.original = original_;
    g_restore.raw = 1;
  }
  if (::tcsetattr(in_, TCSANOW, &raw) == 0) {
    rawOn_ = true;
  } else if (registered_) {
    g_restore.raw = 0;
  }
}

void TerminalConsole::EnterScreenSequences() {
  renderer_.Reset();
  renderer_.Raw(TerminalRenderer::kEnterScreen);
  renderer_.Raw(TerminalRenderer::kMouseOn);
  buffer_.Invalidate();
  titleDirty_ = true;
  tooSmallShown_ = false;
}

void TerminalConsole::TakeScreen() {
  if (screenOn_) return;
  TakeInput();
  screenOn_ = true;
  if (!outputTty_) return;
  if (registered_) {
    g_restore.outFd = out_;
    g_restore.screen = 1;
  }
  EnterScreenSequences();
  CheckSize();
}

void TerminalConsole::Restore() {
  if (screenOn_ && outputTty_) {
    if (registered_) g_restore.screen = 0;
    std::string bytes(TerminalRenderer::kMouseOff);
    bytes += TerminalRenderer::kLeaveScreen;
    renderer_.TakeOutput();
    Write(bytes);
  }
  screenOn_ = false;
  if (rawOn_) {
    if (registered_) g_restore.raw = 0;
    ::tcsetattr(in_, TCSADRAIN, &original_);
    rawOn_ = false;
  }
  tooSmall_ = false;
  tooSmallShown_ = false;
  renderer_.Reset();
  buffer_.Invalidate();
}

void TerminalConsole::CheckSize() {
  int columns = kColumns, rows = kRows;
  winsize ws{};
  if (outputTty_ && ::ioctl(out_, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
    columns = ws.ws_col;
    rows = ws.ws_row;
  }
  bool changed = columns != terminalColumns_ || rows != terminalRows_;
  terminalColumns_ = columns;
  terminalRows_ = rows;
  tooSmall_ = screenOn_ && outputTty_ && (columns < kColumns || rows < kRows);
  if (changed && screenOn_ && outputTty_) {
    // Terminals keep, cut or reflow the old contents when resized: start clean.
    renderer_.ClearScreen();
    buffer_.Invalidate();
    tooSmallShown_ = false;
  }
}

void TerminalConsole::ShowTooSmall() {
  if (tooSmallShown_) return;
  using zq::operator""_pl;
  renderer_.ClearScreen();
  renderer_.Cursor(0, 0, CursorInfo{20, false});
  std::string_view notice = "Okno terminala jest za małe: potrzeba 80 x 25 znaków."_pl;
  for (const NoticeLine& line : PlaceNotice(notice, terminalColumns_, terminalRows_))
    renderer_.Text(line.column, line.row, Cp852ToUtf8(line.text));
  Write(renderer_.TakeOutput());
  tooSmallShown_ = true;
  buffer_.Invalidate();
}

void TerminalConsole::Service() {
  if (!registered_) return;
  if (g_resumed) {
    g_resumed = 0;
    if (rawOn_) {
      rawOn_ = false;
      TakeInput();
    }
    if (screenOn_ && outputTty_) {
      g_restore.screen = 1;
      EnterScreenSequences();
      CheckSize();
    }
  }
  if (g_resized) {
    g_resized = 0;
    CheckSize();
  }
}

void TerminalConsole::ReadInput() {
  if (inputEnded_) return;
  char bytes[4096];
  for (int round = 0; round < 16; ++round) {
    pollfd p{in_, POLLIN, 0};
    int r = ::poll(&p, 1, 0);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return;
    if (p.revents & POLLNVAL) {
      inputEnded_ = true;
      break;
    }
    ssize_t n = ::read(in_, bytes, sizeof bytes);
    if (n > 0) {
      decoder_.Feed(std::string_view(bytes, static_cast<std::size_t>(n)), NowMs());
      if (static_cast<std::size_t>(n) < sizeof bytes) return;
      continue;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) return;
    inputEnded_ = true;  // end of file, hang-up or a broken descriptor
    break;
  }
  if (inputEnded_) decoder_.EndOfInput(NowMs());
}

bool TerminalConsole::PollEvent(InputEvent& event) {
  Service();
  TakeInput();
  // Asked again on every poll while waiting: a resize signal may have gone to
  // another handler, and the wait must still end.
  if (tooSmall_) CheckSize();
  if (tooSmall_) {
    ShowTooSmall();
    return false;
  }
  ReadInput();
  long long now = NowMs();
  if (decoder_.Next(event, now)) {
    FlushFrame(false);
    return true;
  }
  FlushFrame(true);
  return inputEnded_ && EndOfInputKey(event, now, KeyDecoder::kBaseShift);
}

int TerminalConsole::PendingEvents() {
  Service();
  TakeInput();
  if (tooSmall_) return 0;
  ReadInput();
  FlushFrame(false);
  return decoder_.Ready(NowMs());
}

void TerminalConsole::FlushInput() {
  Service();
  TakeInput();
  ReadInput();
  decoder_.Clear();
}

void TerminalConsole::Beep(int frequency, int milliseconds) {
  (void)frequency;
  (void)milliseconds;
  if (outputTty_) Write("\a");
}

void TerminalConsole::FlushFrame(bool force) {
  Service();
  if (!drawn_) return;  // nothing drawn yet: the terminal stays as the user left it
  TakeScreen();
  if (!outputTty_ || outputDead_) {
    buffer_.Flush(renderer_, NowMs(), true);
    renderer_.TakeOutput();
    return;
  }
  if (tooSmall_) {
    ShowTooSmall();
    return;
  }
  long long now = NowMs();
  if (titleDirty_ && (force || !buffer_.Deferred())) {
    renderer_.Title(title_);
    titleDirty_ = false;
  }
  if (buffer_.Flush(renderer_, now, force)) renderer_.Cursor(cursorColumn_, cursorRow_, cursor_);
  if (!renderer_.Output().empty()) Write(renderer_.TakeOutput());
}

void TerminalConsole::WriteError(std::string_view cp852) {
  std::string line = Cp852ToUtf8(cp852) + "\n";
  WriteAll(2, line.data(), line.size());
}

void TerminalConsole::Write(std::string_view bytes) {
  while (!bytes.empty() && !outputDead_) {
    ssize_t n = ::write(out_, bytes.data(), bytes.size());
    if (n > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p{out_, POLLOUT, 0};
      if (::poll(&p, 1, 1000) > 0) continue;
    }
    // The terminal is gone: keep running without output rather than spin.
    outputDead_ = true;
  }
}

bool TerminalConsole::GetClipboard(std::string& cp852) {
  // The terminal's own clipboard could only be read by waiting for its answer;
  // the program's clipboard never blocks.
  cp852 = clipboard_;
  return true;
}

bool TerminalConsole::SetClipboard(std::string_view cp852) {
  clipboard_ = cp852;
  if (screenOn_ && outputTty_ && !outputDead_) {
    std::string clean;
    for (char c : cp852)
      if (static_cast<unsigned char>(c) >= 0x20) clean += c;
    std::string bytes = "\x1b]52;c;" + Base64(Cp852ToUtf8(clean)) + "\a";
    Write(bytes);
  }
  return true;
}

}  // namespace zq::platform
