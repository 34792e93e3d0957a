// The screen side of the console backend, read back from the real screen buffer:
// cells in code page 852 with their attributes, only changed runs sent, scrolling,
// cursor, size, title, and the console given back as it was found.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console_rig.h"
#include "platform/cp852.h"
#include "platform/win32/process.h"

namespace zq::platform::win32::test {
namespace {

using zq::operator""_pl;

std::vector<CHAR_INFO> ReadBack(HANDLE screen, int column, int row, int count, bool wide = false) {
  std::vector<CHAR_INFO> cells(static_cast<std::size_t>(count));
  SMALL_RECT rect{static_cast<SHORT>(column), static_cast<SHORT>(row),
                  static_cast<SHORT>(column + count - 1), static_cast<SHORT>(row)};
  COORD size{static_cast<SHORT>(count), 1};
  BOOL ok = wide ? ReadConsoleOutputW(screen, cells.data(), size, COORD{0, 0}, &rect)
                 : ReadConsoleOutputA(screen, cells.data(), size, COORD{0, 0}, &rect);
  EXPECT_TRUE(ok) << "error " << GetLastError();
  return cells;
}

std::string RowText(HANDLE screen, int row) {
  std::string text;
  for (const CHAR_INFO& c : ReadBack(screen, 0, row, Console::kColumns))
    text += static_cast<char>(c.Char.AsciiChar);
  return text;
}

std::vector<Cell> Text(std::string_view cp852, std::uint8_t attr) {
  std::vector<Cell> cells;
  for (char c : cp852) cells.push_back(Cell{static_cast<std::uint8_t>(c), attr});
  return cells;
}

using ConsoleScreen = ConsoleTest;

TEST_F(ConsoleScreen, EveryCharacterFrom0x20To0xFFComesBackWithItsAttribute) {
  Win32Console console;
  // 224 characters on three rows, each with an attribute of its own.
  for (int b = 0x20; b <= 0xFF; ++b) {
    int i = b - 0x20;
    Cell cell{static_cast<std::uint8_t>(b), static_cast<std::uint8_t>((i * 37) & 0xFF)};
    console.WriteCells(i % 80, 2 + i / 80, std::span<const Cell>(&cell, 1));
  }
  console.FlushNow();
  HANDLE screen = console.ScreenHandle();
  ASSERT_NE(screen, nullptr);
  for (int row = 0; row < 3; ++row) {
    auto narrow = ReadBack(screen, 0, 2 + row, 80);
    auto wide = ReadBack(screen, 0, 2 + row, 80, true);
    for (int column = 0; column < 80; ++column) {
      int i = row * 80 + column;
      if (i > 0xFF - 0x20) break;
      auto b = static_cast<unsigned char>(0x20 + i);
      const CHAR_INFO& c = narrow[static_cast<std::size_t>(column)];
      EXPECT_EQ(static_cast<unsigned char>(c.Char.AsciiChar), b) << "byte 0x" << std::hex << int(b);
      EXPECT_EQ(c.Attributes, static_cast<WORD>((i * 37) & 0xFF))
          << "byte 0x" << std::hex << int(b);
      // And the console shows the code page's own character, whatever it reads back.
      EXPECT_EQ(static_cast<char16_t>(wide[static_cast<std::size_t>(column)].Char.UnicodeChar),
                kCp852ToUnicode[b])
          << "byte 0x" << std::hex << int(b);
    }
  }
}

TEST_F(ConsoleScreen, OnlyChangedCellsAreSentAgain) {
  Win32Console console;
  auto line = Text("Kopiuję plik 2020_ROK.REK"_pl, 0x07);
  console.WriteCells(0, 5, line);
  console.FlushNow();
  HANDLE screen = console.ScreenHandle();
  ASSERT_NE(screen, nullptr);
  // A mark put behind the backend's back stays: the next frame does not redraw the row.
  CHAR_INFO mark;
  mark.Char.AsciiChar = '#';
  mark.Attributes = 0x4F;
  SMALL_RECT at{40, 5, 40, 5};
  ASSERT_TRUE(WriteConsoleOutputA(screen, &mark, COORD{1, 1}, COORD{0, 0}, &at));
  Cell changed{'k', 0x07};
  console.WriteCells(0, 5, std::span<const Cell>(&changed, 1));
  console.FlushNow();
  std::string row = RowText(screen, 5);
  EXPECT_EQ(row.substr(0, 25), "kopiuję plik 2020_ROK.REK"_pl);
  EXPECT_EQ(row[40], '#');
}

TEST_F(ConsoleScreen, ScrollingBandsEndUpAsWritten) {
  Win32Console console;
  auto row = [](int n) {
    std::string s = "wiersz " + std::to_string(n);
    s.resize(80, ' ');
    return s;
  };
  for (int r = 0; r < 25; ++r) console.WriteCells(0, r, Text(row(r), 0x07));
  console.FlushNow();
  // The progress log moves rows 3..22 up by one or more lines and writes new ones at the bottom.
  for (int step = 1; step <= 3; ++step) {
    for (int r = 3; r <= 22; ++r) {
      int shown = r + step <= 22 ? r + step : 100 + r;
      console.WriteCells(0, r, Text(row(shown), static_cast<std::uint8_t>(r == 22 ? 0x0C : 0x07)));
    }
    console.FlushNow();
  }
  HANDLE screen = console.ScreenHandle();
  ASSERT_NE(screen, nullptr);
  for (int r = 0; r < 25; ++r) {
    std::vector<Cell> want(80);
    console.ReadCells(0, r, want);
    auto got = ReadBack(screen, 0, r, 80);
    for (int c = 0; c < 80; ++c) {
      ASSERT_EQ(static_cast<unsigned char>(got[static_cast<std::size_t>(c)].Char.AsciiChar),
                want[static_cast<std::size_t>(c)].ch)
          << "row " << r << " column " << c;
      ASSERT_EQ(got[static_cast<std::size_t>(c)].Attributes, want[static_cast<std::size_t>(c)].attr)
          << "row " << r << " column " << c;
    }
  }
}

TEST_F(ConsoleScreen, ScreenIs80By25WithTheCursorAndTitleAsSet) {
  Win32Console console;
  EXPECT_TRUE(console.SetSize(80, 25));
  EXPECT_FALSE(console.SetSize(132, 50));
  console.SetTitle("zqLirno - Konwerter 2018-2019");
  Cell c{'x', 0x07};
  console.WriteCells(0, 0, std::span<const Cell>(&c, 1));
  console.SetCursorPosition(10, 5);
  console.SetCursorInfo(CursorInfo{50, true});
  console.FlushNow();
  HANDLE screen = console.ScreenHandle();
  ASSERT_NE(screen, nullptr);
  CONSOLE_SCREEN_BUFFER_INFO info;
  ASSERT_TRUE(GetConsoleScreenBufferInfo(screen, &info));
  EXPECT_EQ(info.dwSize.X, 80);
  EXPECT_EQ(info.dwSize.Y, 25);
  EXPECT_EQ(info.srWindow.Right - info.srWindow.Left + 1, 80);
  EXPECT_EQ(info.srWindow.Bottom - info.srWindow.Top + 1, 25);
  EXPECT_EQ(info.dwCursorPosition.X, 10);
  EXPECT_EQ(info.dwCursorPosition.Y, 5);
  CONSOLE_CURSOR_INFO cursor;
  ASSERT_TRUE(GetConsoleCursorInfo(screen, &cursor));
  EXPECT_EQ(cursor.dwSize, 50u);
  EXPECT_TRUE(cursor.bVisible);
  console.SetCursorInfo(CursorInfo{20, false});
  console.FlushNow();
  ASSERT_TRUE(GetConsoleCursorInfo(screen, &cursor));
  EXPECT_FALSE(cursor.bVisible);
  char title[256] = {};
  GetConsoleTitleA(title, sizeof title);
  EXPECT_STREQ(title, "zqLirno - Konwerter 2018-2019");
}

TEST_F(ConsoleScreen, NothingIsTakenBeforeItIsNeededAndEverythingIsGivenBack) {
  ASSERT_TRUE(SetConsoleCP(437));
  ASSERT_TRUE(SetConsoleOutputCP(437));
  DWORD mode = ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT;
  ASSERT_TRUE(SetConsoleMode(in_, mode));
  SetConsoleTitleW(L"cmd");
  // The window the program was started from, with a mark to find it by.
  CHAR_INFO mark;
  mark.Char.AsciiChar = '@';
  mark.Attributes = 0x1E;
  SMALL_RECT at{0, 0, 0, 0};
  ASSERT_TRUE(WriteConsoleOutputA(out_, &mark, COORD{1, 1}, COORD{0, 0}, &at));
  {
    Win32Console console;
    // The code pages are the program's at once (its usage text is code page 852) ...
    EXPECT_EQ(GetConsoleOutputCP(), 852u);
    EXPECT_EQ(GetConsoleCP(), 852u);
    // ... the screen and the input only when used.
    EXPECT_FALSE(console.ScreenTaken());
    EXPECT_FALSE(console.InputTaken());
    console.SetTitle("zq");
    InputEvent e;
    console.PollEvent(e);
    EXPECT_TRUE(console.InputTaken());
    EXPECT_FALSE(console.ScreenTaken());
    Cell c{'Z', 0x70};
    console.WriteCells(0, 0, std::span<const Cell>(&c, 1));
    console.FlushNow();
    EXPECT_TRUE(console.ScreenTaken());
    HANDLE active = OpenConsoleHandle(L"CONOUT$");
    EXPECT_EQ(ReadBack(active, 0, 0, 1)[0].Char.AsciiChar, 'Z');
    CloseHandle(active);
    DWORD now = 0;
    GetConsoleMode(in_, &now);
    EXPECT_EQ(now & (ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_PROCESSED_INPUT), 0u);
    EXPECT_NE(now & ENABLE_MOUSE_INPUT, 0u);
  }
  EXPECT_EQ(GetConsoleOutputCP(), 437u);
  EXPECT_EQ(GetConsoleCP(), 437u);
  DWORD after = 0;
  GetConsoleMode(in_, &after);
  EXPECT_EQ(
      after & (ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_PROCESSED_INPUT | ENABLE_MOUSE_INPUT),
      mode);
  wchar_t title[64] = {};
  GetConsoleTitleW(title, 64);
  EXPECT_STREQ(title, L"cmd");
  HANDLE active = OpenConsoleHandle(L"CONOUT$");
  auto cell = ReadBack(active, 0, 0, 1)[0];
  EXPECT_EQ(cell.Char.AsciiChar, '@');
  EXPECT_EQ(cell.Attributes, 0x1E);
  CloseHandle(active);
}

TEST_F(ConsoleScreen, TheUsageTextReachesTheConsoleInCodePage852) {
  Win32Console console;
  Win32Process process(&console);
  CONSOLE_SCREEN_BUFFER_INFO info;
  ASSERT_TRUE(GetConsoleScreenBufferInfo(out_, &info));
  process.WriteStdout("Katalog w którym jest program\n"_pl);
  auto cells = ReadBack(out_, 0, info.dwCursorPosition.Y, 29, true);
  std::u16string shown;
  for (const CHAR_INFO& c : cells) shown += static_cast<char16_t>(c.Char.UnicodeChar);
  EXPECT_EQ(shown, u"Katalog w którym jest program");
}

TEST_F(ConsoleScreen, ClipboardTextRoundTripsAndNeverWaits) {
  Win32Console console;
  ASSERT_TRUE(console.SetClipboard("Łódź, ul. Piotrkowska"_pl));
  std::string text;
  ASSERT_TRUE(console.GetClipboard(text));
  EXPECT_EQ(text, "Łódź, ul. Piotrkowska"_pl);
}

// Another program holding the clipboard open makes OpenClipboard fail at once; the
// program's own clipboard stands in, and neither call waits for the other program.
TEST(Win32Clipboard, HeldByAnotherProgramTheProgramsOwnStandsIn) {
  std::string helper = ZQ_WIN_LOCK;
  if (!helper.empty() && helper[0] == '/') {  // built on a POSIX host, run under wine
    for (char& c : helper)
      if (c == '/') c = '\\';
    helper = "Z:" + helper;
  }
  std::string tag = std::to_string(GetCurrentProcessId());
  std::string readyName = "zq-clipboard-ready-" + tag, releaseName = "zq-clipboard-release-" + tag;
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, readyName.c_str());
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, releaseName.c_str());
  ASSERT_TRUE(ready && release);
  Win32Console console;
  ASSERT_TRUE(console.SetClipboard("Łódź"_pl));

  std::string line = "\"" + helper + "\" hold-clipboard " + readyName + " " + releaseName;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(
      CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
      << line << ": error " << GetLastError();
  HANDLE waits[2] = {ready, pi.hProcess};
  DWORD which = WaitForMultipleObjects(2, waits, FALSE, 30000);
  if (which == WAIT_OBJECT_0) {
    std::string text;
    EXPECT_TRUE(console.GetClipboard(text));
    EXPECT_EQ(text, "Łódź"_pl);
    EXPECT_TRUE(console.SetClipboard("Kraków"_pl));
    EXPECT_TRUE(console.GetClipboard(text));
    EXPECT_EQ(text, "Kraków"_pl);
  }
  SetEvent(release);
  WaitForSingleObject(pi.hProcess, 30000);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  CloseHandle(ready);
  CloseHandle(release);
  if (which != WAIT_OBJECT_0) {
    if (code == 3) GTEST_SKIP() << "no clipboard to hold here";
    FAIL() << "the program holding the clipboard ended with " << code;
  }
}

}  // namespace
}  // namespace zq::platform::win32::test
