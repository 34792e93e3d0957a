// The terminal console on a real pseudo-terminal: when it takes the terminal,
// what reaches it, how keys come back, and that every way out gives it back.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/cp852.h"
#include "platform/posix/posix_process.h"
#include "platform/posix/terminal_console.h"

namespace zq::platform {
namespace {

using zq::operator""_pl;

class Pty {
 public:
  Pty(int columns, int rows) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    EXPECT_GE(master_, 0);
    EXPECT_EQ(::grantpt(master_), 0);
    EXPECT_EQ(::unlockpt(master_), 0);
    slave_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY);
    EXPECT_GE(slave_, 0);
    Resize(columns, rows);
  }
  ~Pty() {
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
  }
  void Resize(int columns, int rows) {
    winsize ws{};
    ws.ws_col = static_cast<unsigned short>(columns);
    ws.ws_row = static_cast<unsigned short>(rows);
    ::ioctl(master_, TIOCSWINSZ, &ws);
  }
  void Type(std::string_view bytes) {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // What the terminal has received so far (waits until it goes quiet).
  std::string Drain() {
    std::string out;
    char buf[4096];
    while (true) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 150) <= 0) break;
      ssize_t n = ::read(master_, buf, sizeof buf);
      if (n <= 0) break;
      out.append(buf, static_cast<std::size_t>(n));
    }
    return out;
  }
  termios Mode() const {
    termios t{};
    ::tcgetattr(slave_, &t);
    return t;
  }
  int Slave() const { return slave_; }

 private:
  int master_ = -1, slave_ = -1;
};

bool Contains(const std::string& haystack, std::string_view needle) {
  return haystack.find(needle) != std::string::npos;
}

// Polls until `count` events came or a generous deadline passed.
std::vector<InputEvent> PollFor(TerminalConsole& c, std::size_t count) {
  std::vector<InputEvent> out;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (out.size() < count && std::chrono::steady_clock::now() < deadline) {
    InputEvent e;
    if (c.PollEvent(e))
      out.push_back(e);
    else
      ::usleep(5000);
  }
  return out;
}

std::vector<Cell> Text(std::string_view s, std::uint8_t attr = 0x07) {
  std::vector<Cell> cells;
  for (char ch : s) cells.push_back(Cell{static_cast<std::uint8_t>(ch), attr});
  return cells;
}

TEST(TerminalConsole, TakesTheTerminalLazilyAndGivesItBack) {
  Pty pty(80, 25);
  termios before = pty.Mode();
  ASSERT_TRUE(before.c_lflag & ICANON);
  {
    TerminalConsole c(pty.Slave(), pty.Slave());
    EXPECT_TRUE(c.SetSize(80, 25));
    c.SetTitle("zqLirno - Konwerter 2018-2019");
    c.SetCursorInfo(CursorInfo{20, false});
    // Nothing drawn yet: the terminal is untouched, so text printed before stays.
    EXPECT_EQ(pty.Drain(), "");
    EXPECT_TRUE(pty.Mode().c_lflag & ICANON);

    // Waiting for a key takes the input only; the normal screen stays.
    InputEvent e;
    EXPECT_FALSE(c.PollEvent(e));
    termios raw = pty.Mode();
    EXPECT_FALSE(raw.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_FALSE(raw.c_iflag & IXON);  // Ctrl+S and Ctrl+Q are keys
    EXPECT_FALSE(c.ScreenTaken());
    EXPECT_EQ(pty.Drain(), "");

    // The first cells take the screen.
    c.WriteCells(0, 0, Text(" PROGRAM DO PRZEPCHNIĘCIA"_pl));
    c.Flush();
    std::string shown = pty.Drain();
    EXPECT_TRUE(Contains(shown, "\x1b[?1049h"));
    EXPECT_TRUE(Contains(shown, "\x1b[?1006h"));
    EXPECT_TRUE(Contains(shown, "\x1b]0;zqLirno - Konwerter 2018-2019\a"));
    EXPECT_TRUE(Contains(shown, " PROGRAM DO PRZEPCHNIĘCIA"));
  }
  std::string restored = pty.Drain();
  EXPECT_TRUE(Contains(restored, "\x1b[?1049l"));
  EXPECT_TRUE(Contains(restored, "\x1b[?1000l"));
  EXPECT_TRUE(Contains(restored, "\x1b[?25h"));
  termios after = pty.Mode();
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_oflag, before.c_oflag);
}

TEST(TerminalConsole, KeysTypedOnTheTerminalArriveDecoded) {
  Pty pty(80, 25);
  TerminalConsole c(pty.Slave(), pty.Slave());
  InputEvent e;
  c.PollEvent(e);  // raw mode from here on
  pty.Type(
      "\x1b[A"
      "ą"
      "\x13"
      "\x03"
      "\x1b[15~");
  auto events = PollFor(c, 5);
  ASSERT_EQ(events.size(), 5u);
  EXPECT_EQ(events[0].key.Code(), 0x4800);
  EXPECT_EQ(events[1].key.Code(), 0x1EA5);
  EXPECT_EQ(events[2].key.Code(), 0x1F13);  // Ctrl+S, no flow control
  EXPECT_EQ(events[3].key.Code(), 0x2E03);  // Ctrl+C is a key, not a signal
  EXPECT_EQ(events[4].key.Code(), 0x3F00);
  // A lone Esc comes once the terminal is quiet for a moment.
  pty.Type("\x1b");
  auto esc = PollFor(c, 1);
  ASSERT_EQ(esc.size(), 1u);
  EXPECT_EQ(esc[0].key.Code(), 0x011B);
  // Flushed input is gone.
  pty.Type("xyz");
  ::usleep(50000);
  c.FlushInput();
  EXPECT_FALSE(c.PollEvent(e));
}

TEST(TerminalConsole, SmallTerminalShowsANoticeAndWaitsUntilItGrows) {
  Pty pty(60, 20);
  TerminalConsole c(pty.Slave(), pty.Slave());
  c.WriteCells(0, 0, Text("Wizard page"));
  c.Flush();
  std::string shown = pty.Drain();
  EXPECT_TRUE(c.TooSmall());
  EXPECT_TRUE(Contains(shown, "Okno terminala jest za małe:"));
  EXPECT_FALSE(Contains(shown, "Wizard page"));
  pty.Type("x");
  InputEvent e;
  ::usleep(20000);
  EXPECT_FALSE(c.PollEvent(e));  // the key waits

  pty.Resize(100, 30);
  ::raise(SIGWINCH);
  auto events = PollFor(c, 1);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].key.Code(), 0x2D78);
  EXPECT_FALSE(c.TooSmall());
  c.FlushNow();
  EXPECT_TRUE(Contains(pty.Drain(), "Wizard page"));
}

TEST(TerminalConsole, WithoutATerminalDrawsNothingAndEndOfInputGivesEsc) {
  int in[2], out[2];
  ASSERT_EQ(::pipe(in), 0);
  ASSERT_EQ(::pipe(out), 0);
  {
    TerminalConsole c(in[0], out[1]);
    ASSERT_EQ(::write(in[1], "x\r", 2), 2);
    ::close(in[1]);
    c.WriteCells(3, 4, Text("cell"));
    c.FlushNow();
    Cell back[4];
    c.ReadCells(3, 4, back);
    EXPECT_EQ(back[0].ch, 'c');
    auto events = PollFor(c, 4);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].key.Code(), 0x2D78);
    EXPECT_EQ(events[1].key.Code(), 0x1C0D);
    // The input has ended: Esc, again and again, so that prompts run down.
    EXPECT_EQ(events[2].key.Code(), 0x011B);
    EXPECT_EQ(events[3].key.Code(), 0x011B);
  }
  ::close(out[1]);
  char buf[16];
  EXPECT_EQ(::read(out[0], buf, sizeof buf), 0);  // not one byte of screen output
  ::close(in[0]);
  ::close(out[0]);
}

// Runs `body` in a child on the pty's slave and returns its wait status.
template <typename Body>
int InChild(Pty& pty, Body body) {
  pid_t pid = ::fork();
  if (pid == 0) {
    // A sanitizer's report of the provoked fault is expected; keep it out of the log.
    int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) ::dup2(null, 2);
    body(pty.Slave());
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return status;
}

TEST(TerminalConsole, TerminatingAndFatalSignalsRestoreTheTerminal) {
  for (int sig : {SIGTERM, SIGHUP, SIGINT, SIGSEGV, SIGABRT}) {
    Pty pty(80, 25);
    termios before = pty.Mode();
    int status = InChild(pty, [sig](int fd) {
      TerminalConsole c(fd, fd);
      c.WriteCells(0, 0, Text("drawn"));
      c.FlushNow();
      ::raise(sig);
    });
    std::string shown = pty.Drain();
    EXPECT_TRUE(Contains(shown, "drawn")) << sig;
    EXPECT_TRUE(Contains(shown, "\x1b[?1049l")) << "signal " << sig;
    // The signal still ends the program (a sanitizer may report a fault first).
    EXPECT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) != 0)) << sig;
    if (sig == SIGTERM) {
      ASSERT_TRUE(WIFSIGNALED(status));
      EXPECT_EQ(WTERMSIG(status), SIGTERM);
    }
    EXPECT_EQ(pty.Mode().c_lflag, before.c_lflag) << sig;
  }
}

TEST(TerminalConsole, ExitWithoutUnwindingRestoresTheTerminal) {
  Pty pty(80, 25);
  termios before = pty.Mode();
  int status = InChild(pty, [](int fd) {
    auto* c = new TerminalConsole(fd, fd);  // never destroyed: only atexit is left
    c->WriteCells(0, 0, Text("drawn"));
    c->FlushNow();
    std::exit(3);
  });
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3);
  EXPECT_TRUE(Contains(pty.Drain(), "\x1b[?1049l"));
  EXPECT_EQ(pty.Mode().c_lflag, before.c_lflag);
}

TEST(PosixProcess, StandardOutputGetsCarriageReturnsWhileTheTerminalIsRaw) {
  Pty pty(80, 25);
  InChild(pty, [](int fd) {
    ::dup2(fd, 1);
    TerminalConsole c(fd, fd);
    PosixProcess process(0, nullptr, &c);
    process.WriteStdout("Program do kopiowania\n"_pl);
    InputEvent e;
    c.PollEvent(e);
    process.WriteStdout("z wersji\nKP\r\n"_pl);
  });
  EXPECT_EQ(pty.Drain(), "Program do kopiowania\r\nz wersji\r\nKP\r\n");
}

TEST(PosixProcess, ArgumentsPathEnvironmentAndTime) {
  char name[] = "/no/such/dir/zq18-20";
  char first[] = "D:\\Zażółć\\";
  char second[] = "/kprspis:SPIS.DAT";
  char* argv[] = {name, first, second, nullptr};
  PosixProcess p(3, argv, nullptr);
  EXPECT_EQ(p.Arguments(),
            (std::vector<std::string>{std::string("D:\\Zażółć\\"_pl), "/kprspis:SPIS.DAT"}));
  std::string own = p.OwnPath();
  EXPECT_EQ(own.front(), '/');
  EXPECT_TRUE(std::filesystem::exists(own));
  ::setenv("ZQ_TERM_TEST", "Łódź", 1);
  EXPECT_EQ(p.Environment("ZQ_TERM_TEST"), std::optional<std::string>(std::string("Łódź"_pl)));
  ::unsetenv("ZQ_TERM_TEST");
  EXPECT_EQ(p.Environment("ZQ_TERM_TEST"), std::nullopt);
  LocalTime t = p.Now();
  EXPECT_GE(t.year, 2020);
  EXPECT_TRUE(t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31);
  EXPECT_TRUE(t.millisecond >= 0 && t.millisecond < 1000);
  EXPECT_TRUE(t.dayOfWeek >= 0 && t.dayOfWeek < 7);
}

}  // namespace
}  // namespace zq::platform
