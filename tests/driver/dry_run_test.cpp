// The dry run's file layer: which paths it takes to the scratch tree, what the scratch
// tree starts with, that nothing reaches the Source tree, and that it is gone at the end.
#include "driver/dry_run.h"

#include <gtest/gtest.h>

#include "support/test_env.h"

namespace zq::driver {
namespace {

namespace fs = std::filesystem;

class DryRunFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir / "S" / "FIRMA");
    test::WriteFile(dir / "S" / "FIRMA" / "A.DAT", "source");
    fs::create_directories(dir / "T" / "#BIN020" / "SUB");
    fs::create_directories(dir / "T" / "CARRIED");
    fs::create_directories(dir / "tmp");
    test::WriteFile(dir / "T" / "SPISFIRM.DAT", "list");
    test::WriteFile(dir / "T" / "#BIN020" / "SUB" / "G.DAT", "global");
    test::WriteFile(dir / "T" / "CARRIED" / "X.DAT", "carried firm");
    ASSERT_TRUE(layer.Begin(dir.Prefix() + "S\\", dir.Prefix() + "T\\", dir.Prefix() + "tmp",
                            "#BIN020", failed))
        << failed;
    scratch = layer.ScratchTree();
  }

  test::TempDir dir;
  std::unique_ptr<platform::Files> host = platform::CreateHostFiles();
  DryRunFiles layer{*host};
  std::string failed, scratch;
};

TEST_F(DryRunFilesTest, TargetPathsAreTakenToTheScratchTreeAndNothingElse) {
  const std::string t = dir.Prefix() + "T";
  const std::string root = scratch.substr(0, scratch.size() - 1);
  const struct {
    std::string path, mapped;
  } cases[] = {
      {t + "\\FIRMA\\A.DAT", scratch + "FIRMA\\A.DAT"},
      {dir.Prefix() + "t/firma/a.dat", scratch + "firma/a.dat"},  // another case and separator
      {t + "\\", scratch},
      {t, root},
      {t + "X\\A.DAT", t + "X\\A.DAT"},  // a sibling whose name begins alike
      {dir.Prefix() + "S\\FIRMA\\A.DAT", dir.Prefix() + "S\\FIRMA\\A.DAT"},
  };
  for (const auto& c : cases) EXPECT_EQ(layer.Mapped(c.path), c.mapped) << c.path;
}

TEST_F(DryRunFilesTest, TheScratchTreeHoldsWhatTheRunReadsAndTheSourceCannotBeWritten) {
  // The root's files and the global directory whole; other directories are empty
  // stand-ins, so a firm already carried is still seen as carried.
  EXPECT_EQ(test::ReadFile(fs::path(scratch + "SPISFIRM.DAT")), "list");
  EXPECT_EQ(test::ReadFile(fs::path(scratch + "#BIN020/SUB/G.DAT")), "global");
  EXPECT_TRUE(fs::is_directory(scratch + "CARRIED"));
  EXPECT_TRUE(fs::is_empty(scratch + "CARRIED"));

  int error = 0;
  const std::string t = dir.Prefix() + "T\\";
  auto file = layer.Open(t + "spisfirm.dat", platform::kWrite, platform::kShareNone,
                         platform::Disposition::kCreateAlways, error);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(test::ReadFile(dir / "T" / "SPISFIRM.DAT"), "list");
  EXPECT_TRUE(layer.MakeDirectory(t + "NOWA", error));
  EXPECT_TRUE(fs::is_directory(scratch + "NOWA"));
  EXPECT_FALSE(fs::exists(dir / "T" / "NOWA"));

  const std::string s = dir.Prefix() + "S\\FIRMA\\";
  EXPECT_EQ(layer.Open(s + "A.DAT", platform::kWrite, platform::kShareNone,
                       platform::Disposition::kOpenExisting, error),
            nullptr);
  EXPECT_EQ(error, platform::kErrAccessDenied);
  EXPECT_EQ(layer.Open(s + "B.DAT", platform::kRead, platform::kShareNone,
                       platform::Disposition::kCreateNew, error),
            nullptr);
  EXPECT_FALSE(layer.Rename(s + "A.DAT", s + "A.DAT~", error));
  EXPECT_FALSE(layer.Remove(s + "A.DAT", error));
  EXPECT_FALSE(layer.MakeDirectory(s + "NOWY", error));
  EXPECT_NE(layer.Open(s + "A.DAT", platform::kRead, platform::kShareRead,
                       platform::Disposition::kOpenExisting, error),
            nullptr);
  EXPECT_EQ(test::ReadFile(dir / "S" / "FIRMA" / "A.DAT"), "source");

  EXPECT_TRUE(file->Close(error));
  EXPECT_TRUE(layer.End());
  EXPECT_TRUE(fs::is_empty(dir / "tmp"));
  EXPECT_EQ(layer.Mapped(t + "X"), t + "X") << "nothing is taken after the end";
  EXPECT_EQ(test::ReadFile(dir / "T" / "CARRIED" / "X.DAT"), "carried firm");
  EXPECT_EQ(test::ReadFile(dir / "T" / "SPISFIRM.DAT"), "list");
}

TEST_F(DryRunFilesTest, NoScratchTreeInsideEitherTree) {
  for (const char* inside : {"T", "t\\CARRIED", "S/FIRMA"}) {
    DryRunFiles other{*host};
    std::string at;
    EXPECT_FALSE(other.Begin(dir.Prefix() + "S\\", dir.Prefix() + "T\\", dir.Prefix() + inside,
                             "#BIN020", at))
        << inside;
    EXPECT_FALSE(other.Active());
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "T"), fs::directory_iterator()), 3);
}

}  // namespace
}  // namespace zq::driver
