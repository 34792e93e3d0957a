// The sorted insert, its serious I/O error question, and the waiting loop's modes,
// driven through a Files decorator that fails chosen operations.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/cp852.h"
#include "platform/forwarding_files.h"
#include "support/test_env.h"
#include "tui/named_records.h"
#include "tui/polish.h"
#include "tui/shared_file.h"

namespace zq::tui {
namespace {

using zq::operator""_pl;

using test_records::Firm;
using test_records::kRecordSize;
using test_records::NamedFile;
using test_records::NameOf;
using test_records::Record;

constexpr std::uint16_t kKeyT = 0x1454;
constexpr std::uint16_t kKeyN = 0x314E;

// Counts the operations on every file it opens and fails the ones a test picks: the
// n-th read, write or lock (1-based, counted from the moment the plan is set).
struct Faults {
  int failRead = 0;
  int failWrite = 0;
  int failLocks = 0;  // this many locks in a row fail with a lock violation
  int reads = 0;
  int writes = 0;
  int locks = 0;
  std::uint64_t bytesWritten = 0;
  std::function<void()> onRead;
};

class FaultyFile : public platform::ForwardingFile {
 public:
  FaultyFile(std::unique_ptr<platform::File> inner, Faults& faults)
      : ForwardingFile(std::move(inner)), faults_(faults) {}
  bool Read(void* b, std::size_t n, std::size_t& done, int& e) override {
    if (faults_.onRead) faults_.onRead();
    if (++faults_.reads == faults_.failRead) {
      done = 0;
      e = platform::kErrReadFault;
      return false;
    }
    return Inner().Read(b, n, done, e);
  }
  bool Write(const void* b, std::size_t n, std::size_t& done, int& e) override {
    if (++faults_.writes == faults_.failWrite) {
      // Half a record reaches the disk before the failure.
      Inner().Write(b, n / 2, done, e);
      e = platform::kErrWriteFault;
      return false;
    }
    bool ok = Inner().Write(b, n, done, e);
    faults_.bytesWritten += done;
    return ok;
  }
  bool Lock(std::uint64_t o, std::uint64_t l, int& e) override {
    ++faults_.locks;
    if (faults_.failLocks > 0) {
      --faults_.failLocks;
      e = platform::kErrLockViolation;
      return false;
    }
    return Inner().Lock(o, l, e);
  }

 private:
  Faults& faults_;
};

class FaultyFiles : public platform::ForwardingFiles {
 public:
  using ForwardingFiles::ForwardingFiles;
  Faults faults;

 protected:
  std::unique_ptr<platform::File> Wrap(std::unique_ptr<platform::File> file,
                                       std::string_view) override {
    return std::make_unique<FaultyFile>(std::move(file), faults);
  }
};

// A process whose sleeps can be watched.
class WatchedProcess : public platform::Process {
 public:
  explicit WatchedProcess(platform::Process& inner) : inner_(inner) {}
  std::function<void(int)> onSleep;
  int sleeps = 0;
  std::vector<std::string> Arguments() override { return inner_.Arguments(); }
  std::string OwnPath() override { return inner_.OwnPath(); }
  std::optional<std::string> Environment(std::string_view n) override {
    return inner_.Environment(n);
  }
  void Sleep(int ms) override {
    ++sleeps;
    if (onSleep) onSleep(ms);
    inner_.Sleep(ms);
  }
  platform::LocalTime Now() override { return inner_.Now(); }
  void WriteStdout(std::string_view s) override { inner_.WriteStdout(s); }
  void WriteStderr(std::string_view s) override { inner_.WriteStderr(s); }

 private:
  platform::Process& inner_;
};

class InsertTest : public ::testing::Test {
 protected:
  std::string ListPath() const { return dir.Prefix() + "SPISFIRM.DAT"; }

  std::unique_ptr<NamedFile> OpenList() {
    auto list = std::make_unique<NamedFile>(shared, ListPath());
    EXPECT_TRUE(list->Open(WaitMode::kQuick, SharedFile::How::kOpen));
    return list;
  }

  std::vector<Record> Records() const {
    std::string bytes = test::ReadFile(dir / "SPISFIRM.DAT");
    std::vector<Record> out(bytes.size() / kRecordSize);
    for (std::size_t i = 0; i < out.size(); ++i)
      std::copy_n(bytes.begin() + static_cast<long>(i * kRecordSize), kRecordSize, out[i].begin());
    return out;
  }

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const Record& r : Records()) names.push_back(NameOf(r));
    return names;
  }

  void Snapshot() {
    rig.console.PushAction([this] { shots.push_back(rig.console.ScreenText()); });
  }

  test::TempDir dir;
  test::HeadlessRig rig;
  FaultyFiles files{*rig.files};
  WatchedProcess process{rig.process};
  platform::Platform platform{rig.console, files, process};
  Screen screen{platform};
  SharedFiles shared{screen};
  std::vector<std::string> shots;
};

TEST_F(InsertTest, OrderOfInsertedFirms) {
  auto list = OpenList();
  // Into an empty file: record 0.
  ASSERT_TRUE(list->InsertSorted(Firm("Mława"_pl)));
  EXPECT_EQ(list->LastInserted(), 0);
  // Polish letters decide, and case does not.
  for (const char* name : {"Łódź", "Lublin", "ala", "Ąb", "Ala", "Żabka", "Zenon"})
    ASSERT_TRUE(list->InsertSorted(Firm(Utf8ToCp852(name))));
  std::vector<std::string> expected;
  for (const char* name : {"ala", "Ala", "Ąb", "Lublin", "Łódź", "Mława", "Zenon", "Żabka"})
    expected.push_back(Utf8ToCp852(name));
  EXPECT_EQ(Names(), expected);

  // A key equal to an existing one goes after it, whatever the rest of the record.
  ASSERT_TRUE(list->InsertSorted(Firm("Lublin", "second")));
  EXPECT_EQ(list->LastInserted(), 4);
  std::vector<Record> records = Records();
  EXPECT_EQ(records[3], Firm("Lublin"));
  EXPECT_EQ(records[4], Firm("Lublin", "second"));
  ASSERT_TRUE(list->InsertSorted(Firm("LUBLIN", "third")));
  EXPECT_EQ(list->LastInserted(), 5);
  // Everything comes before a first record that sorts after it.
  ASSERT_TRUE(list->InsertSorted(Firm("0")));
  EXPECT_EQ(list->LastInserted(), 0);
  EXPECT_EQ(Records().size(), 11u);
  // The lock taken for the insert is given back.
  EXPECT_FALSE(list->Locked());
}

// A list longer than the block an insert reads and moves at a time: the new record lands
// in the last block, an earlier one, or at the very start, and every record stays.
TEST_F(InsertTest, LongListsAreMovedABlockAtATimeAndStaySorted) {
  auto list = OpenList();
  shared.SetProgressDisplay(false);
  std::string bytes;
  std::vector<std::string> names;
  for (int i = 0; i < 1500; ++i) {
    std::string name = "K" + std::to_string(10000 + 2 * i);
    Record r = Firm(name);
    bytes.append(reinterpret_cast<const char*>(r.data()), r.size());
    names.push_back(name);
  }
  test::WriteFile(dir / "SPISFIRM.DAT", bytes);
  struct Case {
    std::string name;
    std::int64_t place;
  };
  // K12999 sorts after 1499 records (K10000..K12998), K10001 after one, K11201 after 601.
  for (const Case& c : {Case{"K12999", 1500}, Case{"K12001", 1001}, Case{"K11201", 601},
                        Case{"K10001", 1}, Case{"A", 0}, Case{"K10000", 2}}) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(list->InsertSorted(Firm(c.name)));
    EXPECT_EQ(list->LastInserted(), c.place);
    names.insert(std::upper_bound(names.begin(), names.end(), c.name), c.name);
    EXPECT_EQ(Names(), names);
  }
}

TEST_F(InsertTest, ProgressWindowOnlyFromTwentyOneRecordsAndWhenShown) {
  auto list = OpenList();
  bool seen = false;
  files.faults.onRead = [&] {
    seen = seen || rig.console.ScreenText().find("Wstawianie...") != std::string::npos;
  };
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(list->InsertSorted(Firm("Z" + std::to_string(i))));
  EXPECT_FALSE(seen);
  shared.SetProgressDisplay(false);
  ASSERT_TRUE(list->InsertSorted(Firm("A")));
  EXPECT_FALSE(seen);
  shared.SetProgressDisplay(true);
  ASSERT_TRUE(list->InsertSorted(Firm("B")));
  EXPECT_TRUE(seen);
}

class SeriousErrorTest : public InsertTest {
 protected:
  void SetUp() override {
    auto list = OpenList();
    for (const char* name : {"Alfa", "Beta", "Gamma", "Delta"})
      ASSERT_TRUE(list->InsertSorted(Firm(name, std::string(36, name[0]))));
    before = Records();
    files.faults = Faults{};
  }
  std::vector<Record> before;
};

TEST_F(SeriousErrorTest, TakRetriesAFailedWriteInsteadOfGoingOn) {
  auto list = OpenList();
  files.faults.failWrite = 2;  // the append passes, the first shift fails halfway
  Snapshot();
  rig.console.PushKey(kKeyT);
  ASSERT_TRUE(list->InsertSorted(Firm("Aaa")));
  ASSERT_EQ(shots.size(), 1u);
  EXPECT_NE(shots[0].find("Błąd"), std::string::npos) << shots[0];
  EXPECT_NE(shots[0].find("Poważny BŁĄD I/O."), std::string::npos) << shots[0];
  EXPECT_NE(shots[0].find("zapisu danych"), std::string::npos) << shots[0];
  EXPECT_NE(shots[0].find("Czy KONTYNUOWAĆ PRACĘ ?"), std::string::npos) << shots[0];
  // Whole records: the half-written one was written again in full.
  std::vector<Record> expected = {
      Firm("Aaa"), Firm("Alfa", std::string(36, 'A')), Firm("Beta", std::string(36, 'B')),
      Firm("Delta", std::string(36, 'D')), Firm("Gamma", std::string(36, 'G'))};
  EXPECT_EQ(Records(), expected);
}

TEST_F(SeriousErrorTest, TakRetriesAFailedReadSoNoZeroedRecordIsWritten) {
  auto list = OpenList();
  files.faults.failRead = 1;  // the records above the new one are read in one block
  Snapshot();
  rig.console.PushKey(kKeyT);
  ASSERT_TRUE(list->InsertSorted(Firm("Aaa")));
  ASSERT_EQ(shots.size(), 1u);
  EXPECT_NE(shots[0].find("odczytu danych"), std::string::npos) << shots[0];
  std::vector<std::string> expected = {"Aaa", "Alfa", "Beta", "Delta", "Gamma"};
  EXPECT_EQ(Names(), expected);
  for (const Record& r : Records()) EXPECT_NE(r, Record{});
}

TEST_F(SeriousErrorTest, TakRetriesAFailedAppendAtTheSamePlace) {
  auto list = OpenList();
  files.faults.failWrite = 1;
  Snapshot();
  rig.console.PushKey(kKeyT);
  ASSERT_TRUE(list->InsertSorted(Firm("Zeta")));
  ASSERT_EQ(shots.size(), 1u);
  EXPECT_NE(shots[0].find("dopisania do  pliku"), std::string::npos) << shots[0];
  std::vector<std::string> expected = {"Alfa", "Beta", "Delta", "Gamma", "Zeta"};
  EXPECT_EQ(Names(), expected);
  EXPECT_EQ(test::ReadFile(dir / "SPISFIRM.DAT").size(), 5 * kRecordSize);
}

TEST_F(SeriousErrorTest, DeclinedEndsTheProgramWith255AndLosesNoRecord) {
  {
    auto list = OpenList();
    files.faults.failWrite = 3;
    rig.console.PushKey(kKeyN);
    try {
      list->InsertSorted(Firm("Aaa"));
      ADD_FAILURE() << "the program went on";
    } catch (const platform::ProgramExit& exit) {
      EXPECT_EQ(exit.code, 255);
    }
  }
  std::vector<Record> after = Records();
  EXPECT_GE(after.size(), before.size());
  for (const Record& r : before) EXPECT_NE(std::find(after.begin(), after.end(), r), after.end());
  // The file is not left locked.
  files.faults = Faults{};
  auto again = OpenList();
  EXPECT_TRUE(again->LockWholeFile(WaitMode::kQuick));
}

TEST_F(InsertTest, QuickWaitGivesUpAfterThirtyAttemptsWithoutWaiting) {
  auto list = OpenList();
  files.faults = Faults{};
  files.faults.failLocks = 1000;
  EXPECT_FALSE(list->LockWholeFile(WaitMode::kQuick));
  EXPECT_EQ(files.faults.locks, kAttemptsPerCycle);
  EXPECT_EQ(process.sleeps, 0);
  EXPECT_FALSE(list->Locked());
}

TEST_F(InsertTest, AskingWaitGivesUpOnNieAndGoesOnOnTak) {
  auto list = OpenList();
  files.faults = Faults{};
  files.faults.failLocks = 1000;
  Snapshot();
  rig.console.PushKey(kKeyN);
  EXPECT_FALSE(list->InsertSorted(Firm("A")));
  EXPECT_EQ(files.faults.locks, kAttemptsPerCycle);
  EXPECT_EQ(process.sleeps, kAttemptsPerCycle - 1);
  ASSERT_EQ(shots.size(), 1u);
  EXPECT_NE(shots[0].find("Informacja"), std::string::npos) << shots[0];
  EXPECT_NE(shots[0].find("NET Info"), std::string::npos) << shots[0];
  EXPECT_NE(shots[0].find("DOSTĘP BLOKOWANY SIECIOWO"), std::string::npos) << shots[0];
  EXPECT_NE(shots[0].find("Czy czekamy ?"), std::string::npos) << shots[0];
  EXPECT_TRUE(Records().empty());

  // Two cycles refused, the third attempt of the third cycle goes through.
  files.faults = Faults{};
  files.faults.failLocks = 2 * kAttemptsPerCycle + 2;
  rig.console.PushKeys({kKeyT, kKeyT});
  EXPECT_TRUE(list->InsertSorted(Firm("A")));
  EXPECT_EQ(files.faults.locks, 2 * kAttemptsPerCycle + 3);
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
  EXPECT_EQ(Names(), std::vector<std::string>{"A"});
}

TEST_F(InsertTest, QueueWindowRestartsItsBarEveryThirtyAttemptsAndNeverGivesUp) {
  auto list = OpenList();
  files.faults = Faults{};
  files.faults.failLocks = 200;
  std::vector<std::string> bars;
  std::vector<std::string> titles;
  process.onSleep = [&](int) {
    titles.push_back(rig.console.RowText(9 - 1));
    // The bar fills the 35 inner columns of one row of the window framed at column 20,
    // rows 9..14; found by its characters, so the window's inner layout may move.
    std::string bar;
    for (int row = 9; row < 13 && bar.empty(); ++row) {
      std::uint8_t first = rig.console.At(20, row).ch;
      if (first != 0xB0 && first != 0xB1 && first != 0xDB) continue;
      for (int c = 20; c < 20 + 35; ++c) bar += static_cast<char>(rig.console.At(c, row).ch);
    }
    bars.push_back(bar);
  };
  // No key: a question would run out of script.
  EXPECT_TRUE(list->LockWholeFile(WaitMode::kQueue));
  EXPECT_EQ(files.faults.locks, 201);
  EXPECT_TRUE(list->Locked());

  // The first 29 waits come before the window.
  ASSERT_GT(bars.size(), 3u * 29);
  for (int i = 0; i < 29; ++i)
    EXPECT_EQ(titles[static_cast<std::size_t>(i)].find("Sieciowa KOLEJKA"), std::string::npos);
  EXPECT_NE(titles[29].find("Sieciowa KOLEJKA "), std::string::npos) << titles[29];
  const std::string full(35, '\xDB');
  const std::string restarted = "\xDB" + std::string(34, '\xB1');
  // A cycle of 29 steps fills the bar; the next cycle starts again from a reset bar.
  EXPECT_EQ(bars[29 + 28], full);
  EXPECT_EQ(bars[29 + 29], restarted);
  EXPECT_EQ(bars[29 + 29 + 28], full);
  EXPECT_EQ(bars[29 + 2 * 29], restarted);
  // The window is gone afterwards.
  EXPECT_EQ(rig.console.ScreenText().find("Sieciowa KOLEJKA"), std::string::npos);
}

}  // namespace
}  // namespace zq::tui
