// A named pipe or a device where the program expects a data file: every place that
// opens such a file itself must refuse it as unreadable and go on, never wait for a
// writer or read without end. An alarm turns a regression into a failure, not a hang.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "driver/firm_rig.h"
#include "driver/firm_run.h"
#include "driver/paths.h"
#include "driver/startup.h"
#include "tui/screen.h"

namespace zq::driver {
namespace {

using namespace test_rig;
using zq::operator""_pl;

// Kills the test program when a step waits far longer than any of them takes.
class HangGuard {
 public:
  HangGuard() { alarm(30); }
  ~HangGuard() { alarm(0); }
};

enum class Odd { kFifo, kZero, kNull };
constexpr Odd kOdd[] = {Odd::kFifo, Odd::kZero, Odd::kNull};

const char* Name(Odd odd) {
  return odd == Odd::kFifo ? "fifo" : odd == Odd::kZero ? "/dev/zero" : "/dev/null";
}

// Puts the odd file where the program will look for `path` (a device through a link).
void Plant(const fs::path& path, Odd odd) {
  fs::create_directories(path.parent_path());
  fs::remove(path);
  if (odd == Odd::kFifo)
    ASSERT_EQ(mkfifo(path.c_str(), 0666), 0);
  else
    fs::create_symlink(odd == Odd::kZero ? "/dev/zero" : "/dev/null", path);
}

TEST(NonRegularFilesAtStart, ListPathAndColourFilesReadAsMissing) {
  for (Odd odd : kOdd) {
    SCOPED_TRACE(Name(odd));
    test::TempDir dir;
    test::HeadlessRig rig;
    rig.process.SetOwnPath(dir.Prefix() + "zq18-20.exe");
    Plant(dir / "zq18-20.LST", odd);
    Plant(dir / "zq18-20.PTH", odd);
    Plant(dir / "kolory.zq", odd);
    HangGuard guard;
    RunState run(rig.platform);
    StartUp(run);
    ResolveTrees(run);
    EXPECT_TRUE(run.extraFiles.empty());
    EXPECT_EQ(run.options.sourceTree, "\\DOR_2019\\");
    EXPECT_EQ(run.options.targetTree, dir.Prefix());
    EXPECT_EQ(run.screen.Scheme().at, run.screen.DefaultScheme().at);
  }
}

class NonRegularFirmFilesTest : public FirmRunRig {};

TEST_F(NonRegularFirmFilesTest, MarkerFirmTextAndDeclarationAreRefusedAsUnreadable) {
  for (Odd odd : kOdd) {
    SCOPED_TRACE(Name(odd));
    const std::string n = std::to_string(static_cast<int>(odd));
    for (int k = 0; k < 8; ++k) rig.console.PushKey(kEnter);
    HangGuard guard;

    // The Source marker: the firm ends before its Target directory is made.
    const std::string marker = "MARKER" + n;
    MakeFirm(marker);
    Plant(SourceDir(marker) / "_zq_dor.rek", odd);
    log.Clear();
    EXPECT_FALSE(Convert(marker).completed);
    EXPECT_NE(log.Find("Brak dostepu do " + SourcePath(marker, "_zq_dor.rek")), nullptr)
        << log.Dump();

    // The firm text data: the read error ends the firm's run.
    const std::string text = "TEXT" + n;
    MakeFirm(text);
    Plant(SourceDir(text) / "FIRMATXT.INI", odd);
    log.Clear();
    EXPECT_FALSE(Convert(text).completed);
    EXPECT_NE(log.Find("Błąd odczytu danych firmy "_ps + SourcePath(text, "FIRMATXT.INI")), nullptr)
        << log.Dump();

    // A declaration: reported and passed over, the others still converted.
    const std::string dra = "DRA" + n;
    Plant(SourceDir(dra) / "2020D401.001", odd);
    Source(dra, "2020D402.001", Bytes(kDraHeaderSize, 3));
    auto firm = Context(dra);
    log.Clear();
    ConvertDra5Declarations(*firm);
    EXPECT_FALSE(InTarget(dra, "2020D501.001") &&
                 fs::file_size(TargetDir(dra) / "2020D501.001") > 0);
    EXPECT_EQ(ReadTarget(dra, "2020D502.001").size(), kDraHeaderSize);
    EXPECT_GE(firm->errors, 1) << log.Dump();
  }
}

}  // namespace
}  // namespace zq::driver
