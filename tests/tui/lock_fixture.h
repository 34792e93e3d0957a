// What the tests of locks between processes share: a firm list of two records made
// fresh for each test, records read back from the file, sleeps that take real time.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/test_env.h"
#include "tui/named_records.h"
#include "tui/polish.h"
#include "tui/shared_file.h"

namespace zq::tui::lock_fixture {

inline constexpr std::uint16_t kKeyT = 0x1454;
inline constexpr std::uint16_t kKeyN = 0x314E;

using test_records::Firm;
using test_records::kRecordSize;
using test_records::NamedFile;
using test_records::NameOf;
using test_records::Record;

inline std::vector<Record> RecordsOf(const std::filesystem::path& path) {
  std::string bytes = test::ReadFile(path);
  std::vector<Record> out(bytes.size() / kRecordSize);
  for (std::size_t i = 0; i < out.size(); ++i)
    std::copy_n(bytes.begin() + static_cast<long>(i * kRecordSize), kRecordSize, out[i].begin());
  return out;
}

inline bool Sorted(const std::vector<Record>& records) {
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
  void WriteStderr(std::string_view s) override { inner_.WriteStderr(s); }

 private:
  platform::Process& inner_;
};

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

}  // namespace zq::tui::lock_fixture
