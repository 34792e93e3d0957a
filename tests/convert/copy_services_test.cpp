// The overwrite question, the key wait, the slow pause and the file look-ups.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "copy_fixture.h"

namespace zq::test {
namespace {

using zq::operator""_pl;

class OverwriteQuestionTest : public CopyFixture {};

struct Answer {
  char key;
  bool keep;
  int memory;
};

TEST_F(OverwriteQuestionTest, EachAnswerInEitherCase) {
  const Answer answers[] = {{'A', false, -1}, {'a', false, -1}, {'N', true, 1}, {'n', true, 1},
                            {'W', false, 0},  {'w', false, 0},  {'Z', true, 0}, {'z', true, 0}};
  for (const Answer& answer : answers) {
    SCOPED_TRACE(std::string(1, answer.key));
    copier.overwriteMemory = 0;
    log.Clear(true);
    Key(answer.key);
    EXPECT_EQ(copier.AskOverwrite("C:\\DOR\\PLIK.REK"), answer.keep);
    EXPECT_EQ(copier.overwriteMemory, answer.memory);
    EXPECT_EQ(KeysLeft(), 0u);
    EXPECT_EQ(Row(1), "Stwierdzono obecność pliku C:\\DOR\\PLIK.REK");
    EXPECT_EQ(Row(2), " W-wykonaj kopiownie (zastępując) [A-i wszystkie następne]");
    EXPECT_EQ(Row(3), " Z-zostaw plik                    [N-i wszystkie następne] ?");
    EXPECT_EQ(Row(4), "---->  Z(n)/W(a)");
    EXPECT_EQ(AttrAt(1, 1), 12);
    EXPECT_EQ(AttrAt(1, 2), 14);
    EXPECT_EQ(AttrAt(1, 3), 7);
    EXPECT_EQ(AttrAt(1, 4), 15);
    // The prompt line was ended.
    EXPECT_EQ(log.Row(), 5);
    EXPECT_EQ(log.Column(), 1);
  }
  // The two blanks at the end of the second line are part of it.
  EXPECT_EQ(log.Line(2), " W-wykonaj kopiownie (zastępując) [A-i wszystkie następne]  "_pl);
}

TEST_F(OverwriteQuestionTest, OtherKeysAreIgnoredSilently) {
  rig.console.PushKeys({0x011B, 0x1C0D, 0x3F00, 'x', ' ', 'q'});
  Key('z');
  EXPECT_TRUE(copier.AskOverwrite("PLIK"));
  EXPECT_EQ(KeysLeft(), 0u);
  EXPECT_TRUE(rig.console.Beeps().empty());
  EXPECT_EQ(log.Row(), 5);
  EXPECT_EQ(Row(5), "");
}

TEST_F(OverwriteQuestionTest, RememberedAnswerAsksNothing) {
  copier.overwriteMemory = 1;
  EXPECT_TRUE(copier.AskOverwrite("PLIK"));
  copier.overwriteMemory = -1;
  EXPECT_FALSE(copier.AskOverwrite("PLIK"));
  EXPECT_EQ(Row(1), "");
  EXPECT_TRUE(sink.Lines().empty());
}

TEST_F(OverwriteQuestionTest, AllAnswerHoldsForEveryLaterPrimitive) {
  for (const char* name : {"a.txt", "b.bin", "c.rek", "d.rek"}) {
    Write(std::string("src_") + name, "nowe\r\n");
    Write(std::string("dst_") + name, "stare");
  }
  Key('a');
  copier.CopyFileBytes(Path("src_b.bin"), Path("dst_b.bin"));
  copier.CopyTextFile(Path("src_a.txt"), Path("dst_a.txt"));
  copier.CopyRecords(Path("src_c.rek"), Path("dst_c.rek"), 3, nullptr);
  copier.ConvertRecords(Path("src_d.rek"), Path("dst_d.rek"), 6, 6, [](auto in, auto out) {
    std::copy(in.begin(), in.end(), out.begin());
    return true;
  });
  EXPECT_EQ(KeysLeft(), 0u);
  for (const char* name : {"a.txt", "b.bin", "c.rek", "d.rek"})
    EXPECT_EQ(Read(std::string("dst_") + name), "nowe\r\n") << name;
}

TEST_F(OverwriteQuestionTest, NoneAnswerKeepsEveryLaterTarget) {
  for (const char* name : {"a.txt", "b.bin", "c.rek", "d.rek"}) {
    Write(std::string("src_") + name, "nowe\r\n");
    Write(std::string("dst_") + name, "stare");
  }
  Key('N');
  copier.CopyRecords(Path("src_c.rek"), Path("dst_c.rek"), 3, nullptr);
  copier.CopyFileBytes(Path("src_b.bin"), Path("dst_b.bin"));
  copier.CopyTextFile(Path("src_a.txt"), Path("dst_a.txt"));
  copier.ConvertRecords(Path("src_d.rek"), Path("dst_d.rek"), 6, 6, nullptr);
  EXPECT_EQ(KeysLeft(), 0u);
  for (const char* name : {"a.txt", "b.bin", "c.rek", "d.rek"})
    EXPECT_EQ(Read(std::string("dst_") + name), "stare") << name;
  // Only the one question was shown (four lines), nothing was copied.
  EXPECT_EQ(sink.Lines().size(), 4u);
}

TEST_F(OverwriteQuestionTest, SingleAnswersAskAgainNextTime) {
  Write("src", "nowe");
  Write("dst1", "stare");
  Write("dst2", "stare");
  Key('W');
  Key('z');
  copier.CopyFileBytes(Path("src"), Path("dst1"));
  copier.CopyFileBytes(Path("src"), Path("dst2"));
  EXPECT_EQ(KeysLeft(), 0u);
  EXPECT_EQ(Read("dst1"), "nowe");
  EXPECT_EQ(Read("dst2"), "stare");
  EXPECT_EQ(copier.overwriteMemory, 0);
}

class WaitKeyTest : public CopyFixture {};

TEST_F(WaitKeyTest, ShowsTheCursorWhileWaitingAndDropsTypeAhead) {
  log.Write("cdn - naciśnij dowolny klawisz."_pl);
  bool visibleWhileWaiting = false;
  rig.console.PushAction([&] {
    visibleWhileWaiting = rig.console.GetCursorInfo().visible;
    EXPECT_EQ(rig.console.CursorColumn(), 31);
    EXPECT_EQ(rig.console.CursorRow(), 0);
  });
  rig.console.SetTypeAhead(true);
  rig.console.PushKeys({'x', 0x3F00, 'y'});
  EXPECT_EQ(copier.WaitKey(), 'x');
  EXPECT_TRUE(visibleWhileWaiting);
  EXPECT_FALSE(rig.console.GetCursorInfo().visible);
  EXPECT_EQ(KeysLeft(), 0u);
}

TEST_F(WaitKeyTest, MouseEventsAreNoKey) {
  rig.console.PushMouse(platform::MouseEvent{5, 5, platform::kMouseLeft});
  rig.console.PushKey(0x3F00);  // F5 has no character
  EXPECT_EQ(copier.WaitKey(), '\0');
  EXPECT_EQ(KeysLeft(), 0u);
}

TEST_F(WaitKeyTest, SlowPauseWaitsOneSecondOnlyWhenAsked) {
  long long start = rig.clock.ElapsedMs();
  copier.SlowPause();
  EXPECT_EQ(rig.clock.ElapsedMs(), start);
  copier.showSlowly = true;
  copier.SlowPause();
  EXPECT_EQ(rig.clock.ElapsedMs(), start + 1000);
}

TEST_F(WaitKeyTest, PausesOfEachPrimitive) {
  copier.showSlowly = true;
  Write("src", "abcdef\r\n");
  auto elapsed = [&](auto&& call) {
    long long start = rig.clock.ElapsedMs();
    call();
    return rig.clock.ElapsedMs() - start;
  };
  EXPECT_EQ(elapsed([&] { copier.CopyTextFile(Path("src"), Path("t1")); }), 0);
  EXPECT_EQ(elapsed([&] { copier.CopyFileBytes(Path("src"), Path("t2")); }), 1000);
  EXPECT_EQ(elapsed([&] { copier.CopyRecords(Path("src"), Path("t3"), 4, nullptr); }), 1000);
  EXPECT_EQ(elapsed([&] { copier.ConvertRecords(Path("src"), Path("t4"), 4, 4, nullptr); }), 2000);
  EXPECT_EQ(elapsed([&] { copier.CopyRecords(Path("none"), Path("t5"), 4, nullptr); }), 1000);
  EXPECT_EQ(elapsed([&] { copier.ConvertRecords(Path("none"), Path("t6"), 4, 4, nullptr); }), 1000);
  EXPECT_EQ(elapsed([&] { copier.CopyFileBytes(Path("none"), Path("t7")); }), 0);
  // A target kept on the user's answer is left without a pause.
  copier.overwriteMemory = 1;
  EXPECT_EQ(elapsed([&] { copier.CopyRecords(Path("src"), Path("t3"), 4, nullptr); }), 0);
  EXPECT_EQ(elapsed([&] { copier.CopyFileBytes(Path("src"), Path("t2")); }), 0);
}

class FileLookupTest : public CopyFixture {};

TEST_F(FileLookupTest, SizesOfFilesOnly) {
  Write("plik", "12345");
  Write("pusty", "");
  std::filesystem::create_directory(dir / "katalog");
  EXPECT_EQ(copier.FileSizeOf(Path("plik")), 5);
  EXPECT_EQ(copier.FileSizeOf(Path("pusty")), 0);
  EXPECT_EQ(copier.FileSizeOf(Path("brak")), 0);
  EXPECT_EQ(copier.FileSizeOf(Path("katalog")), 0);
  EXPECT_EQ(copier.FileSizeOf(Path("brak/plik")), 0);
  EXPECT_TRUE(copier.DirExists(Path("katalog")));
  EXPECT_FALSE(copier.DirExists(Path("plik")));
  EXPECT_FALSE(copier.DirExists(Path("brak")));
}

TEST_F(FileLookupTest, FilesOf2GiBAndMoreAreNotMissing) {
  Write("duzy", "");
  // Sparse: takes no room on the disk.
  std::filesystem::resize_file(dir / "duzy", (std::uintmax_t{1} << 32) + 3);
  EXPECT_EQ(copier.FileSizeOf(Path("duzy")), (std::int64_t{1} << 32) + 3);
  std::filesystem::resize_file(dir / "duzy", std::uintmax_t{1} << 31);
  EXPECT_EQ(copier.FileSizeOf(Path("duzy")), std::int64_t{1} << 31);
}

}  // namespace
}  // namespace zq::test

namespace zq::test {
namespace {

using convert::CopyStatus;

class CopyStatusTest : public CopyFixture {
 protected:
  // Runs one primitive (0 text, 1 bytes, 2 records, 3 conversion) from src to `target`.
  CopyStatus Run(int primitive, const std::string& target) {
    std::string source = Path("src");
    auto identity = [](std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
      std::copy(in.begin(), in.end(), out.begin());
      return true;
    };
    switch (primitive) {
      case 0:
        return copier.CopyTextFile(source, target);
      case 1:
        return copier.CopyFileBytes(source, target);
      case 2:
        return copier.CopyRecords(source, target, 4, nullptr);
      default:
        return copier.ConvertRecords(source, target, 4, 4, identity);
    }
  }
};

TEST_F(CopyStatusTest, EachPrimitiveTellsHowItEnded) {
  std::filesystem::create_directory(dir / "kat");
  for (int p = 0; p < 4; ++p) {
    SCOPED_TRACE(p);
    files.ClearPlans();
    std::filesystem::remove(dir / "src");
    std::filesystem::remove(dir / "dst");
    EXPECT_EQ(Run(p, Path("dst")), CopyStatus::kNoSource);
    Write("src", "abcdefgh\r\n");
    EXPECT_EQ(Run(p, Path("dst")), CopyStatus::kCopied);
    // The conversion writes whole output records, so its short tail is padded.
    EXPECT_EQ(Read("dst"), p == 3 ? std::string("abcdefgh\r\n\0\0", 12) : "abcdefgh\r\n");
    Key('z');
    EXPECT_EQ(Run(p, Path("dst")), CopyStatus::kKept);
    for (int i = 0; i < 8; ++i) Key(' ');  // enough for every failure that waits
    EXPECT_EQ(Run(p, Path("kat")), CopyStatus::kCreateFailed);
    EXPECT_EQ(Run(p, FullDisk()), CopyStatus::kWriteFailed);
    files.Plan(Path("src"), {.readFailsAfter = 5});
    EXPECT_EQ(Run(p, Path("nowy")), CopyStatus::kReadFailed);
    files.Plan(Path("src"), {.failOpen = true});
    EXPECT_EQ(Run(p, Path("nowy2")), CopyStatus::kOpenFailed);
    files.Plan(Path("src"), {.failClose = true});
    // The text copy ignores close errors.
    EXPECT_EQ(Run(p, Path("nowy3")), p == 0 ? CopyStatus::kCopied : CopyStatus::kCloseFailed);
    while (KeysLeft() > 0) copier.WaitKey();
    for (const char* name : {"nowy", "nowy2", "nowy3"}) std::filesystem::remove(dir / name);
  }
  EXPECT_FALSE(convert::Failed(CopyStatus::kCopied));
  EXPECT_FALSE(convert::Failed(CopyStatus::kNoSource));
  EXPECT_FALSE(convert::Failed(CopyStatus::kKept));
  EXPECT_TRUE(convert::Failed(CopyStatus::kCloseFailed));
}

// A source from last year that is read-only: every primitive makes its target as a
// new file of today's, writable, whatever the source's time and attributes were.
TEST_F(CopyStatusTest, TargetsAreNewFilesWithTheirOwnTimeAndDefaultAttributes) {
  namespace fs = std::filesystem;
  Write("src", "abcdefgh\r\n");
  auto lastYear = fs::file_time_type::clock::now() - std::chrono::hours(24 * 365);
  fs::last_write_time(dir / "src", lastYear);
  fs::permissions(dir / "src",
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  for (int p = 0; p < 4; ++p) {
    SCOPED_TRACE(p);
    std::string target = "dst" + std::to_string(p);
    ASSERT_EQ(Run(p, Path(target)), CopyStatus::kCopied);
    EXPECT_GT(fs::last_write_time(dir / target), lastYear + std::chrono::hours(24 * 300));
    EXPECT_NE(fs::status(dir / target).permissions() & fs::perms::owner_write, fs::perms::none);
    std::uint32_t attributes = 0;
    std::int64_t size = 0;
    ASSERT_TRUE(rig.files->GetAttributes(Path(target), attributes, size));
    EXPECT_EQ(attributes & platform::kAttrReadOnly, 0u);
    EXPECT_EQ(attributes & (platform::kAttrHidden | platform::kAttrSystem), 0u);
  }
  fs::permissions(dir / "src", fs::perms::owner_write, fs::perm_options::add);
}

}  // namespace
}  // namespace zq::test
