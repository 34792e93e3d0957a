// Locks between processes: another process holds a firm list while this one
// inserts, and sharing switched off.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/other_process.h"
#include "tui/lock_fixture.h"

namespace zq::tui {
namespace {

using namespace lock_fixture;
using test::LockHolder;
using test::OtherProcessCanLock;

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

}  // namespace
}  // namespace zq::tui
