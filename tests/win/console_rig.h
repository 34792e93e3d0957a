// A real console for the tests of the console backend: the process's own when it has
// one, else a new one. (Under wine only a console on a terminal works, so ctest runs
// these tests through tools/win-run.sh with ZQ_WIN_TTY set; without one they are
// skipped.) While a test runs, the standard handles are the console's, as they are
// for the program started in a console window.
#pragma once

#include <gtest/gtest.h>

#include "platform/console.h"
#include "platform/win32/console.h"
#include "platform/win32/win.h"

namespace zq::platform::win32::test {

inline HANDLE OpenConsoleHandle(const wchar_t* name) {
  return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     nullptr, OPEN_EXISTING, 0, nullptr);
}

class ConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HANDLE probe = OpenConsoleHandle(L"CONOUT$");
    if (probe == INVALID_HANDLE_VALUE) {
      FreeConsole();
      ASSERT_TRUE(AllocConsole()) << "no console could be made, error " << GetLastError();
    } else {
      CloseHandle(probe);
    }
    in_ = OpenConsoleHandle(L"CONIN$");
    out_ = OpenConsoleHandle(L"CONOUT$");
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (in_ == INVALID_HANDLE_VALUE || out_ == INVALID_HANDLE_VALUE ||
        !GetConsoleScreenBufferInfo(out_, &info))
      GTEST_SKIP() << "no working console (error " << GetLastError() << ")";
    savedIn_ = GetStdHandle(STD_INPUT_HANDLE);
    savedOut_ = GetStdHandle(STD_OUTPUT_HANDLE);
    SetStdHandle(STD_INPUT_HANDLE, in_);
    SetStdHandle(STD_OUTPUT_HANDLE, out_);
    FlushConsoleInputBuffer(in_);
  }

  void TearDown() override {
    SetStdHandle(STD_INPUT_HANDLE, savedIn_);
    SetStdHandle(STD_OUTPUT_HANDLE, savedOut_);
    if (in_ != INVALID_HANDLE_VALUE) CloseHandle(in_);
    if (out_ != INVALID_HANDLE_VALUE) CloseHandle(out_);
  }

  HANDLE in_ = INVALID_HANDLE_VALUE;
  HANDLE out_ = INVALID_HANDLE_VALUE;

 private:
  HANDLE savedIn_ = nullptr;
  HANDLE savedOut_ = nullptr;
};

}  // namespace zq::platform::win32::test
