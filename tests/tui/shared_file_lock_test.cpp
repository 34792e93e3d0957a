// Locks between processes: a second process holds a firm list while this one inserts,
// sharing switched off, and inserts killed at random moments.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/cp852.h"
#include "support/test_env.h"
#include "tui/named_records.h"
#include "tui/polish.h"
#include "tui/shared_file.h"

namespace zq::tui {
namespace {

constexpr std::uint16_t kKeyT = 0x1454;
constexpr std::uint16_t kKeyN = 0x314E;

using test_records::Firm;
using test_records::kRecordSize;
using test_records::NamedFile;
using test_records::NameOf;
using test_records::Record;

std::vector<Record> RecordsOf(const std::filesystem::path& path) {
  std::string bytes = test::ReadFile(path);
  std::vector<Record> out(bytes.size() / kRecordSize);
  for (std::size_t i = 0; i < out.size(); ++i)
    std::copy_n(bytes.begin() + static_cast<long>(i * kRecordSize), kRecordSize, out[i].begin());
  return out;
}

bool Sorted(const std::vector<Record>& records) {
  for (std::size_t i = 1; i < records.size(); ++i)
    if (PolishCompare(UpperText(NameOf(records[i - 1])), UpperText(NameOf(records[i]))) > 0)
      return false;
  return true;
}

// The headless process, except that its sleeps take real time: waiting for another
// process needs the other process to get somewhere meanwhile.
class SleepingProcess : public platform::Process {
 public:
  explicit SleepingProcess(platform::Process& inner) : inner_(inner) {}
  std::vector<std::string> Arguments() override { return inner_.Arguments(); }
  std::string OwnPath() override { return inner_.OwnPath(); }
  std::optional<std::string> Environment(std::string_view n) override {
    return inner_.Environment(n);
  }
  void Sleep(int ms) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    inner_.Sleep(ms);
  }
  platform::LocalTime Now() override { return inner_.Now(); }
  void WriteStdout(std::string_view s) override { inner_.WriteStdout(s); }

 private:
  platform::Process& inner_;
};

// Another process that takes the whole-file lock of a file and holds it until told to
// let go (or for ten seconds at most, so that a failed test leaves nothing behind).
class LockHolder {
 public:
  explicit LockHolder(const std::string& path) {
    if (pipe(toChild_) != 0 || pipe(fromChild_) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(toChild_[1]);
      close(fromChild_[0]);
      auto files = platform::CreateHostFiles();
      int error = 0;
      auto file = files->Open(path, platform::kReadWrite, platform::kShareReadWrite,
                              platform::Disposition::kOpenExisting, error);
      char state = file && file->Lock(0, kWholeFileLength, error) ? 'L' : 'F';
      Tell(fromChild_[1], state);
      pollfd wait{toChild_[0], POLLIN, 0};
      poll(&wait, 1, 10000);
      if (state == 'L') file->Unlock(0, kWholeFileLength, error);
      Tell(fromChild_[1], 'U');
      _exit(0);
    }
    close(toChild_[0]);
    close(fromChild_[1]);
    locked_ = Hear() == 'L';
  }
  ~LockHolder() {
    Release();
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
    close(toChild_[1]);
    close(fromChild_[0]);
  }
  bool Locked() const { return locked_; }
  // Returns once the lock is given back.
  void Release() {
    if (released_ || pid_ <= 0) return;
    released_ = true;
    Tell(toChild_[1], 'R');
    Hear();
  }

 private:
  static void Tell(int fd, char c) {
    while (write(fd, &c, 1) < 0 && errno == EINTR) {
    }
  }
  char Hear() {
    char c = 0;
    while (read(fromChild_[0], &c, 1) < 0 && errno == EINTR) {
    }
    return c;
  }

  int toChild_[2] = {-1, -1};
  int fromChild_[2] = {-1, -1};
  pid_t pid_ = -1;
  bool locked_ = false;
  bool released_ = false;
};

// Whether another process can lock the whole file right now.
bool OtherProcessCanLock(const std::string& path) {
  pid_t pid = fork();
  if (pid == 0) {
    auto files = platform::CreateHostFiles();
    int error = 0;
    auto file = files->Open(path, platform::kReadWrite, platform::kShareReadWrite,
                            platform::Disposition::kOpenExisting, error);
    _exit(file && file->Lock(0, kWholeFileLength, error) ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class LockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    NamedFile list(shared, ListPath());
    ASSERT_TRUE(list.Open(WaitMode::kQuick, SharedFile::How::kCreate));
    for (const char* name : {"Beta", "Delta"}) ASSERT_TRUE(list.InsertSorted(Firm(name)));
    original = test::ReadFile(dir / "SPISFIRM.DAT");
  }
  std::string ListPath() const { return dir.Prefix() + "SPISFIRM.DAT"; }

  test::TempDir dir;
  test::HeadlessRig rig;
  SleepingProcess process{rig.process};
  platform::Platform platform{rig.console, *rig.files, process};
  Screen screen{platform};
  SharedFiles shared{screen};
  std::string original;
  std::vector<std::string> shots;
};

TEST_F(LockTest, HeldByAnotherProcessTheInsertAsksAndNieGivesUp) {
  LockHolder holder(ListPath());
  ASSERT_TRUE(holder.Locked());
  NamedFile list(shared, ListPath());
  ASSERT_TRUE(list.Open(WaitMode::kAsk, SharedFile::How::kOpen));

  rig.console.PushAction([&] { shots.push_back(rig.console.ScreenText()); });
  rig.console.PushKey(kKeyN);
  EXPECT_FALSE(list.InsertSorted(Firm("Alfa")));
  ASSERT_EQ(shots.size(), 1u);
  EXPECT_NE(shots[0].find("NET Info"), std::string::npos) << shots[0];
  EXPECT_NE(shots[0].find("DOSTĘP BLOKOWANY SIECIOWO"), std::string::npos) << shots[0];
  EXPECT_NE(shots[0].find("Czy czekamy ?"), std::string::npos) << shots[0];
  // A whole cycle of 30 attempts 50 ms apart went by before the question.
  EXPECT_EQ(rig.clock.ElapsedMs(), (kAttemptsPerCycle - 1) * kRetryDelayMs);
  EXPECT_EQ(test::ReadFile(dir / "SPISFIRM.DAT"), original);
  EXPECT_FALSE(list.Locked());
}

TEST_F(LockTest, HeldByAnotherProcessTakWaitsOnAndTheInsertGoesThrough) {
  LockHolder holder(ListPath());
  ASSERT_TRUE(holder.Locked());
  NamedFile list(shared, ListPath());
  ASSERT_TRUE(list.Open(WaitMode::kAsk, SharedFile::How::kOpen));

  rig.console.PushAction([&] {
    shots.push_back(rig.console.ScreenText());
    holder.Release();
  });
  rig.console.PushKey(kKeyT);
  EXPECT_TRUE(list.InsertSorted(Firm("Alfa")));
  ASSERT_EQ(shots.size(), 1u);
  EXPECT_NE(shots[0].find("Czy czekamy ?"), std::string::npos) << shots[0];
  std::vector<Record> records = RecordsOf(dir / "SPISFIRM.DAT");
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0], Firm("Alfa"));
  // The insert gave its lock back.
  EXPECT_TRUE(OtherProcessCanLock(ListPath()));
}

TEST_F(LockTest, WithSharingOffNothingIsLockedAndNothingWaits) {
  test::HeadlessRig quiet;  // fake sleeps: any wait would show on its clock
  Screen quietScreen(quiet.platform);
  SharedFiles quietShared(quietScreen);
  quietShared.SetSharing(false);
  {
    LockHolder holder(ListPath());
    ASSERT_TRUE(holder.Locked());
    NamedFile list(quietShared, ListPath());
    list.SetWholeFileLock(true);
    ASSERT_TRUE(list.Open(WaitMode::kAsk, SharedFile::How::kOpen));
    EXPECT_TRUE(list.InsertSorted(Firm("Alfa")));  // no key in the script: no question
    EXPECT_EQ(quiet.clock.ElapsedMs(), 0);
    EXPECT_FALSE(list.Locked());
  }
  {
    NamedFile list(quietShared, ListPath());
    list.SetWholeFileLock(true);
    ASSERT_TRUE(list.Open(WaitMode::kAsk, SharedFile::How::kOpen));
    EXPECT_TRUE(OtherProcessCanLock(ListPath()));
  }
  EXPECT_EQ(RecordsOf(dir / "SPISFIRM.DAT").size(), 3u);

  // With sharing on, the same file kept locked while open shuts the other process out,
  // and an insert through it keeps the lock it was opened with.
  NamedFile list(shared, ListPath());
  list.SetWholeFileLock(true);
  ASSERT_TRUE(list.Open(WaitMode::kAsk, SharedFile::How::kOpen));
  EXPECT_TRUE(list.Locked());
  EXPECT_FALSE(OtherProcessCanLock(ListPath()));
  EXPECT_TRUE(list.InsertSorted(Firm("Epsilon")));
  EXPECT_TRUE(list.Locked());
  EXPECT_FALSE(OtherProcessCanLock(ListPath()));
  list.Close();
  EXPECT_TRUE(OtherProcessCanLock(ListPath()));
}

TEST_F(LockTest, AnInsertKilledAtAnyMomentLosesNoRecordAndNeverShortensTheFile) {
  // Enough records that moving them takes longer than the flush that ends an insert.
  std::string initial;
  for (int i = 1000; i < 1600; ++i) {
    Record r = Firm("M" + std::to_string(i));
    initial.append(r.begin(), r.end());
  }
  test::WriteFile(dir / "SPISFIRM.DAT", initial);
  std::mt19937 random(4242);
  int caughtMidInsert = 0;
  for (int round = 0; round < 12; ++round) {
    std::vector<Record> before = RecordsOf(dir / "SPISFIRM.DAT");
    std::map<Record, int> counts;
    for (const Record& r : before) ++counts[r];

    pid_t pid = fork();
    if (pid == 0) {
      test::HeadlessRig childRig;
      Screen childScreen(childRig.platform);
      SharedFiles childShared(childScreen);
      childShared.SetProgressDisplay(false);
      NamedFile list(childShared, ListPath());
      if (!list.Open(WaitMode::kAsk, SharedFile::How::kOpen)) _exit(2);
      // Keys that sort first move every record, which is when a kill hurts most.
      for (int i = 0; i < 10000; ++i) {
        std::string name = "A" + std::to_string(round) + "-" + std::to_string(99999 - i);
        if (!list.InsertSorted(Firm(name))) _exit(3);
      }
      _exit(0);
    }
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(5 + random() % 60));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child finished or failed: " << status;

    std::vector<Record> after = RecordsOf(dir / "SPISFIRM.DAT");
    ASSERT_GE(after.size(), before.size()) << "round " << round;
    std::map<Record, int> left;
    for (const Record& r : after) ++left[r];
    for (const auto& [record, n] : counts)
      ASSERT_GE(left[record], n) << "lost " << NameOf(record) << " in round " << round;
    EXPECT_TRUE(Sorted(after)) << "round " << round;
    // A record found once more than before: the kill came while records were moving.
    bool moving = false;
    for (const auto& [record, n] : counts) moving = moving || left[record] > n;
    if (moving) ++caughtMidInsert;
  }
  RecordProperty("KilledWhileMovingRecords", caughtMidInsert);
}

}  // namespace
}  // namespace zq::tui
