// Process services of the Windows build: the command line split as the C runtime
// does, texts in the OEM code page, standard output.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/cp852.h"
#include "platform/win32/process.h"
#include "platform/win32/text.h"
#include "platform/win32/win.h"
#include "support/test_env.h"

namespace zq::platform::win32 {
namespace {

using zq::operator""_pl;

TEST(SplitCommandLine, FollowsTheRulesOfTheCRuntime) {
  using V = std::vector<std::wstring>;
  EXPECT_EQ(SplitCommandLine(L"zq18-20.exe"), V{L"zq18-20.exe"});
  EXPECT_EQ(SplitCommandLine(L"\"C:\\Program Files\\zq18-20.exe\"  D:\\DOR_2020\\ ?"),
            (V{L"C:\\Program Files\\zq18-20.exe", L"D:\\DOR_2020\\", L"?"}));
  // A tree root with a blank, quoted: its trailing backslash stays a backslash.
  EXPECT_EQ(SplitCommandLine(L"p \"D:\\Moje dane\\DOR 2020\\\\\""),
            (V{L"p", L"D:\\Moje dane\\DOR 2020\\"}));
  EXPECT_EQ(SplitCommandLine(L"p a\\\\\\\"b c\\d \"\" \"x\"\"y\""),
            (V{L"p", L"a\\\"b", L"c\\d", L"", L"x\"y"}));
  EXPECT_EQ(SplitCommandLine(L"p\t/kprspis:SPIS.DAT\t "), (V{L"p", L"/kprspis:SPIS.DAT"}));
  // The program name knows no backslash rules.
  EXPECT_EQ(SplitCommandLine(L"C:\\zq\\\"a b\" c"), (V{L"C:\\zq\\a b", L"c"}));
}

TEST(Win32Process, TextsArriveInTheOemCodePage) {
  if (GetOEMCP() != 852) GTEST_SKIP() << "needs a Polish system (OEM code page 852)";
  Win32Process process(nullptr);
  ASSERT_TRUE(SetEnvironmentVariableW(L"ZQ_WIN_TEST", L"\u0141\u00F3d\u017A"));
  EXPECT_EQ(process.Environment("ZQ_WIN_TEST"), std::optional<std::string>("Łódź"_pl));
  EXPECT_EQ(process.Environment("zq_win_test"), std::optional<std::string>("Łódź"_pl));
  // Characters the code page lacks are marked, not dropped.
  ASSERT_TRUE(SetEnvironmentVariableW(L"ZQ_WIN_TEST", L"a\u20ACb"));
  EXPECT_EQ(process.Environment("ZQ_WIN_TEST"), std::optional<std::string>("a?b"));
  ASSERT_TRUE(SetEnvironmentVariableW(L"ZQ_WIN_TEST", std::wstring(1000, L'x').c_str()));
  EXPECT_EQ(process.Environment("ZQ_WIN_TEST"), std::optional<std::string>(std::string(1000, 'x')));
  ASSERT_TRUE(SetEnvironmentVariableW(L"ZQ_WIN_TEST", nullptr));
  EXPECT_EQ(process.Environment("ZQ_WIN_TEST"), std::nullopt);
  EXPECT_EQ(process.Environment(""), std::nullopt);

  std::string own = process.OwnPath();
  ASSERT_GT(own.size(), 4u);
  EXPECT_EQ(own[1], ':');
  EXPECT_EQ(own.substr(own.rfind('\\') + 1), "zq_win_tests.exe");
  // The arguments are the command line's after the program.
  auto words = SplitCommandLine(GetCommandLineW());
  EXPECT_EQ(process.Arguments().size(), words.size() - 1);

  LocalTime t = process.Now();
  EXPECT_GE(t.year, 2020);
  EXPECT_TRUE(t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31);
  EXPECT_TRUE(t.dayOfWeek >= 0 && t.dayOfWeek <= 6);
}

TEST(Win32Process, RedirectedStandardOutputGetsCodePage852BytesWithCrLf) {
  test::TempDir dir;
  std::wstring path = (dir / "out.txt").wstring();
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
  SetStdHandle(STD_OUTPUT_HANDLE, file);
  Win32Process process(nullptr);
  process.WriteStdout("Uruchom zq18-20\ngdzie:\r\nKatalog danych - ąę\n"_pl);
  SetStdHandle(STD_OUTPUT_HANDLE, saved);
  CloseHandle(file);
  EXPECT_EQ(test::ReadFile(dir / "out.txt"),
            "Uruchom zq18-20\r\ngdzie:\r\nKatalog danych - ąę\r\n"_pl);
}

// What the system's OEM conversion must give for the program's texts to be right.
TEST(OemText, OnAPolishSystemTheOemCodePageIsCodePage852) {
  if (GetOEMCP() != 852) GTEST_SKIP() << "needs a Polish system (OEM code page 852)";
  for (int b = 0; b < 256; ++b) {
    std::string byte(1, static_cast<char>(b));
    std::wstring wide = OemToWide(byte);
    ASSERT_EQ(wide.size(), 1u);
    EXPECT_EQ(static_cast<char16_t>(wide[0]), kCp852ToUnicode[static_cast<std::size_t>(b)]) << b;
    EXPECT_EQ(WideToOem(wide), byte) << b;
  }
}

TEST(OemText, CharactersTheCodePageLacksAreMarkedNeverMappedToALookAlike) {
  // One marker for a character beyond the basic plane, not two.
  EXPECT_EQ(WideToOem(L"a\U0001F600b"), "a?b");
  // A with macron is in no OEM code page of a Latin script in its own right; a best
  // fit would turn it into A and name another file.
  EXPECT_EQ(WideToOem(L"\u0100X"), "?X");
  EXPECT_EQ(WideToOem(L"\u20AC", '_'), "_");
  EXPECT_EQ(OemToWide(""), L"");
}

}  // namespace
}  // namespace zq::platform::win32
