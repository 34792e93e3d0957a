// An insert into a firm list killed at random moments, as a workstation that loses
// power in the middle of one.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tui/lock_fixture.h"

namespace zq::tui {
namespace {

using namespace lock_fixture;

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
