// Opening shared record files, the existence check and its questions, record access,
// text file locks and temporary names.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/cp852.h"
#include "platform/forwarding_files.h"
#include "support/test_env.h"
#include "tui/shared_file.h"

namespace zq::tui {
namespace {

using zq::operator""_pl;
namespace fs = std::filesystem;

constexpr std::uint16_t kKeyT = 0x1454;
constexpr std::uint16_t kKeyN = 0x314E;
constexpr std::uint16_t kKeyEnter = 0x1C0D;

// Refuses opens for writing of one path with access denied, as a read-only share would.
class ReadOnlyFiles : public platform::ForwardingFiles {
 public:
  ReadOnlyFiles(platform::Files& inner, std::string path)
      : ForwardingFiles(inner), path_(std::move(path)) {}
  std::unique_ptr<platform::File> Open(std::string_view path, platform::Access access,
                                       platform::Share share, platform::Disposition disposition,
                                       int& error) override {
    if (path == path_ && (access & platform::kWrite)) {
      error = platform::kErrAccessDenied;
      return nullptr;
    }
    return ForwardingFiles::Open(path, access, share, disposition, error);
  }

 private:
  std::string path_;
};

class SharedFileTest : public ::testing::Test {
 protected:
  std::string PathOf(const std::string& name) const { return dir.Prefix() + name; }
  // Looks at the screen the next time the program waits for a key.
  void Snapshot() {
    rig.console.PushAction([this] { shots.push_back(rig.console.ScreenText()); });
  }
  std::string LastShot() const { return shots.empty() ? std::string() : shots.back(); }
  std::unique_ptr<platform::File> HoldExclusive(const std::string& name) {
    int error = 0;
    auto held = rig.files->Open(PathOf(name), platform::kReadWrite, platform::kShareNone,
                                platform::Disposition::kOpenExisting, error);
    EXPECT_TRUE(held) << error;
    return held;
  }

  test::TempDir dir;
  test::HeadlessRig rig;
  Screen screen{rig.platform};
  SharedFiles shared{screen};
  std::vector<std::string> shots;
};

std::vector<std::uint8_t> Bytes(std::string_view text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

TEST(FileOpenMode, MapsOntoHostAccessAndSharing) {
  EXPECT_EQ(AccessOf(0x00), platform::kRead);
  EXPECT_EQ(AccessOf(0x01), platform::kWrite);
  EXPECT_EQ(AccessOf(0x42), platform::kReadWrite);
  EXPECT_EQ(ShareOf(0x10), platform::kShareNone);
  EXPECT_EQ(ShareOf(0x20), platform::kShareRead);
  EXPECT_EQ(ShareOf(0x30), platform::kShareWrite);
  EXPECT_EQ(ShareOf(0x42), platform::kShareReadWrite);
  // Sharing switched off shuts nobody out.
  EXPECT_EQ(ShareOf(0x00), platform::kShareReadWrite);
}

TEST_F(SharedFileTest, FileModeIsSavedAndRestoredAndLosesItsSharingPartWhenSharingIsOff) {
  shared.SetFileMode(filemode::kShared);
  shared.SaveFileMode();
  shared.SetFileMode(filemode::kRead | filemode::kExclusive);
  EXPECT_EQ(shared.FileMode(), 0x10);
  shared.SaveFileMode();
  shared.SetFileMode(filemode::kWrite);
  shared.RestoreFileMode();
  EXPECT_EQ(shared.FileMode(), 0x10);
  shared.RestoreFileMode();
  EXPECT_EQ(shared.FileMode(), 0x42);
  shared.RestoreFileMode();  // nothing saved: stays
  EXPECT_EQ(shared.FileMode(), 0x42);

  shared.SetSharing(false);
  EXPECT_EQ(shared.FileMode(), 0x02);
  shared.SetSharing(true);
  EXPECT_EQ(shared.FileMode(), 0x42);

  // An exclusive read through the current mode keeps a second opener out, and the
  // open of a shared file puts the caller's mode back.
  test::WriteFile(dir / "A.DAT", "x");
  shared.SetFileMode(filemode::kRead | filemode::kExclusive);
  int error = 0;
  auto first = shared.OpenFile(PathOf("A.DAT"), platform::Disposition::kOpenExisting, error);
  ASSERT_TRUE(first);
  SharedFile other(shared, PathOf("A.DAT"), 1);
  EXPECT_FALSE(other.Open(WaitMode::kQuick, SharedFile::How::kOpenExisting));
  EXPECT_EQ(other.LastError(), platform::kErrSharingViolation);
  EXPECT_EQ(shared.FileMode(), 0x10);
}

TEST_F(SharedFileTest, EachWayOfOpening) {
  SharedFile missing(shared, PathOf("NEW.DAT"), 4);
  EXPECT_FALSE(missing.Open(WaitMode::kQuick, SharedFile::How::kOpenExisting));
  EXPECT_FALSE(fs::exists(dir / "NEW.DAT"));

  SharedFile created(shared, PathOf("NEW.DAT"), 4);
  ASSERT_TRUE(created.Open(WaitMode::kQuick, SharedFile::How::kOpen));
  EXPECT_EQ(created.GetState(), SharedFile::State::kCreated);
  ASSERT_TRUE(created.Append(Bytes("abcd")));
  created.Close();
  EXPECT_EQ(created.GetState(), SharedFile::State::kClosed);

  SharedFile opened(shared, PathOf("new.dat"), 4);  // names are found without regard to case
  ASSERT_TRUE(opened.Open(WaitMode::kQuick, SharedFile::How::kOpen));
  EXPECT_EQ(opened.GetState(), SharedFile::State::kOpened);
  std::int64_t records = 0;
  ASSERT_TRUE(opened.Size(records));
  EXPECT_EQ(records, 1);
  opened.Close();

  SharedFile existing(shared, PathOf("NEW.DAT"), 4);
  ASSERT_TRUE(existing.Open(WaitMode::kQuick, SharedFile::How::kOpenExisting));
  existing.Close();

  SharedFile truncated(shared, PathOf("NEW.DAT"), 4);
  ASSERT_TRUE(truncated.Open(WaitMode::kQuick, SharedFile::How::kCreate));
  EXPECT_EQ(fs::file_size(dir / "NEW.DAT"), 0u);
  truncated.Close();

  fs::create_directory(dir / "T");
  SharedFile temporary(shared, PathOf("T"), 4);
  ASSERT_TRUE(temporary.Open(WaitMode::kQuick, SharedFile::How::kCreateTemporary));
  EXPECT_EQ(temporary.GetState(), SharedFile::State::kTemporaryCreated);
  std::string name = temporary.Name();
  ASSERT_GT(name.size(), 15u);
  EXPECT_EQ(name.substr(0, PathOf("T").size() + 4), PathOf("T") + "\\~zq");
  EXPECT_EQ(name.substr(name.size() - 4), ".tmp");
  temporary.Close();
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir / "T")) {
    ++files;
    EXPECT_EQ(entry.path().filename().string().size(), 15u);
  }
  EXPECT_EQ(files, 1);
}

TEST_F(SharedFileTest, AskingBeforeCreatingAMissingFile) {
  Snapshot();
  rig.console.PushKey(kKeyN);
  SharedFile declined(shared, PathOf("ASK.DAT"), 4);
  EXPECT_FALSE(declined.Open(WaitMode::kQuick, SharedFile::How::kOpenOrAsk));
  EXPECT_FALSE(fs::exists(dir / "ASK.DAT"));
  std::string screenText = LastShot();
  EXPECT_NE(screenText.find("Potwierdź"), std::string::npos) << screenText;
  EXPECT_NE(screenText.find("Nie odnaleziono pliku:"), std::string::npos) << screenText;
  EXPECT_NE(screenText.find("ASK.DAT"), std::string::npos) << screenText;
  EXPECT_NE(screenText.find("Utworzyć nowy ?"), std::string::npos) << screenText;

  rig.console.PushKey(kKeyT);
  SharedFile accepted(shared, PathOf("ASK.DAT"), 4);
  EXPECT_TRUE(accepted.Open(WaitMode::kQuick, SharedFile::How::kOpenOrAsk));
  EXPECT_TRUE(fs::exists(dir / "ASK.DAT"));
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
  // No question for a file that is there.
  accepted.Close();
  SharedFile again(shared, PathOf("ASK.DAT"), 4);
  EXPECT_TRUE(again.Open(WaitMode::kQuick, SharedFile::How::kOpenOrAsk));
}

TEST_F(SharedFileTest, AFileHeldByAnotherIsLookedAtQuietlyThenAskedAbout) {
  test::WriteFile(dir / "HELD.DAT", "data");
  auto held = HoldExclusive("HELD.DAT");

  // Declined: the open fails and creates nothing; the file is untouched.
  Snapshot();
  rig.console.PushKey(kKeyN);
  long long before = rig.clock.ElapsedMs();
  SharedFile declined(shared, PathOf("HELD.DAT"), 1);
  EXPECT_FALSE(declined.Open(WaitMode::kQuick, SharedFile::How::kOpen));
  EXPECT_EQ(rig.clock.ElapsedMs() - before, 3 * kLookupDelayMs);
  std::string screenText = LastShot();
  EXPECT_NE(screenText.find("UWAGA"), std::string::npos) << screenText;
  EXPECT_NE(screenText.find("Dostęp do pliku"), std::string::npos) << screenText;
  EXPECT_NE(screenText.find("niemożliwy/zabroniony !"), std::string::npos) << screenText;
  EXPECT_NE(screenText.find("Ponowić próbę ?"), std::string::npos) << screenText;

  // Tak counts again; meanwhile the other side lets go and the open goes through.
  rig.console.PushAction([&] { held.reset(); });
  rig.console.PushKey(kKeyT);
  SharedFile retried(shared, PathOf("HELD.DAT"), 1);
  EXPECT_TRUE(retried.Open(WaitMode::kQuick, SharedFile::How::kOpen));
  EXPECT_EQ(retried.GetState(), SharedFile::State::kOpened);
  // (Read only now: Windows lets nobody read a file held exclusively.)
  EXPECT_EQ(test::ReadFile(dir / "HELD.DAT"), "data");
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
  EXPECT_TRUE(shared.ExistsWithRetry(PathOf("HELD.DAT")));
  EXPECT_FALSE(shared.ExistsWithRetry(PathOf("NONE.DAT")));

  // A directory where the file should be cannot be opened either.
  fs::create_directory(dir / "DIR.DAT");
  rig.console.PushKey(kKeyN);
  EXPECT_FALSE(shared.ExistsWithRetry(PathOf("DIR.DAT")));
}

TEST_F(SharedFileTest, OpeningFailuresAfterTheLookup) {
  // Another open that denies writers: the read-only lookup passes, the read/write open
  // meets a sharing violation, tries quietly 30 times and fails without a question.
  test::WriteFile(dir / "RO.DAT", "data");
  int error = 0;
  auto reader = rig.files->Open(PathOf("RO.DAT"), platform::kRead, platform::kShareRead,
                                platform::Disposition::kOpenExisting, error);
  ASSERT_TRUE(reader);
  long long before = rig.clock.ElapsedMs();
  SharedFile blocked(shared, PathOf("RO.DAT"), 1);
  EXPECT_FALSE(blocked.Open(WaitMode::kQuick, SharedFile::How::kOpen));
  EXPECT_EQ(blocked.LastError(), platform::kErrSharingViolation);
  EXPECT_EQ(rig.clock.ElapsedMs() - before, (kAttemptsPerCycle - 1) * kRetryDelayMs);
  reader.reset();

  // Access denied to the open itself brings the error box.
  ReadOnlyFiles readOnly(*rig.files, PathOf("RO.DAT"));
  platform::Platform platform{rig.console, readOnly, rig.process};
  Screen roScreen(platform);
  SharedFiles roShared(roScreen);
  Snapshot();
  rig.console.PushKey(kKeyEnter);
  SharedFile denied(roShared, PathOf("RO.DAT"), 1);
  EXPECT_FALSE(denied.Open(WaitMode::kQuick, SharedFile::How::kOpen));
  EXPECT_EQ(denied.LastError(), platform::kErrAccessDenied);
  std::string screenText = LastShot();
  EXPECT_NE(screenText.find("Dostęp do pliku"), std::string::npos) << screenText;
  EXPECT_NE(screenText.find("Zabronony !(?)"), std::string::npos) << screenText;
  EXPECT_EQ(test::ReadFile(dir / "RO.DAT"), "data");
}

// The headless process with something to do at a given sleep, as when another
// workstation lets go of a file while this one waits.
class ReleasingProcess : public platform::HeadlessProcess {
 public:
  using HeadlessProcess::HeadlessProcess;
  void At(int sleep, std::function<void()> action) {
    at_ = sleep;
    action_ = std::move(action);
  }
  int Sleeps() const { return sleeps_; }
  void Sleep(int milliseconds) override {
    HeadlessProcess::Sleep(milliseconds);
    if (++sleeps_ == at_ && action_) action_();
  }

 private:
  int sleeps_ = 0, at_ = -1;
  std::function<void()> action_;
};

TEST_F(SharedFileTest, ASharingViolationIsRetriedQuietlyUntilTheOtherOpenLetsGo) {
  test::WriteFile(dir / "BUSY.DAT", "data");
  int error = 0;
  auto reader = rig.files->Open(PathOf("BUSY.DAT"), platform::kRead, platform::kShareRead,
                                platform::Disposition::kOpenExisting, error);
  ASSERT_TRUE(reader);
  ReleasingProcess process(rig.clock);
  process.At(10, [&] { reader.reset(); });
  platform::Platform platform{rig.console, *rig.files, process};
  Screen busyScreen(platform);
  SharedFiles busyShared(busyScreen);
  long long before = rig.clock.ElapsedMs();
  SharedFile opened(busyShared, PathOf("BUSY.DAT"), 1);
  // No key in the script: a question would end the test.
  ASSERT_TRUE(opened.Open(WaitMode::kQuick, SharedFile::How::kOpen)) << opened.LastError();
  EXPECT_EQ(process.Sleeps(), 10);
  EXPECT_EQ(rig.clock.ElapsedMs() - before, 10 * kRetryDelayMs);
  EXPECT_EQ(opened.GetState(), SharedFile::State::kOpened);
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
}

TEST_F(SharedFileTest, LongNamesAreKeptWholeAndRefusedClearly) {
  // Well past 79 characters, inside 255: opened under its whole name.
  std::string sub(90, 'k');
  fs::create_directory(dir / sub);
  std::string longName = PathOf(sub) + "/" + std::string(60, 'f') + ".DAT";
  ASSERT_GT(longName.size(), 150u);
  SharedFile kept(shared, longName, 1);
  ASSERT_TRUE(kept.Open(WaitMode::kQuick, SharedFile::How::kOpen));
  EXPECT_EQ(kept.Name(), longName);
  EXPECT_TRUE(fs::exists(dir / sub / (std::string(60, 'f') + ".DAT")));
  kept.Close();

  // Longer than a name can be: refused before the host is asked.
  std::string tooLong = PathOf(sub) + "/" + std::string(200, 'g');
  ASSERT_GT(tooLong.size(), kMaxName);
  Snapshot();
  rig.console.PushKey(kKeyEnter);
  SharedFile refused(shared, tooLong, 1);
  EXPECT_FALSE(refused.Open(WaitMode::kQuick, SharedFile::How::kCreate));
  EXPECT_EQ(refused.LastError(), platform::kErrFilenameTooLong);
  EXPECT_NE(LastShot().find("Niepoprawny format nazwy"), std::string::npos) << LastShot();
  EXPECT_EQ(refused.Name(), tooLong);

  // Short enough here, but too long for the host once its letters are spelled out.
  std::string wide;
  for (int i = 0; i < 200; ++i) wide += "ą"_pl;
  std::string hostRefused = PathOf(wide);
  ASSERT_LE(hostRefused.size(), kMaxName);
  shots.clear();
  Snapshot();
  rig.console.PushKey(kKeyEnter);
  SharedFile byHost(shared, hostRefused, 1);
  EXPECT_FALSE(byHost.Open(WaitMode::kQuick, SharedFile::How::kOpen));
  EXPECT_NE(LastShot().find("Niepoprawny format nazwy"), std::string::npos) << LastShot();
  rig.console.PushKey(kKeyEnter);
  SharedFile byHostCreate(shared, hostRefused, 1);
  EXPECT_FALSE(byHostCreate.Open(WaitMode::kQuick, SharedFile::How::kCreate));
  EXPECT_EQ(byHostCreate.LastError(), platform::kErrFilenameTooLong);
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
}

TEST_F(SharedFileTest, RecordsByNumberWithShortReadsAndTornTails) {
  SharedFile file(shared, PathOf("REC.DAT"), 4);
  ASSERT_TRUE(file.Open(WaitMode::kQuick, SharedFile::How::kCreate));
  ASSERT_TRUE(file.Append(Bytes("AAAA")));
  ASSERT_TRUE(file.Append(Bytes("BBBB")));
  ASSERT_TRUE(file.WriteAt(3, Bytes("DDDD")));  // leaves a hole of zeroes at 2
  std::int64_t records = 0;
  ASSERT_TRUE(file.Size(records));
  EXPECT_EQ(records, 4);

  std::array<std::uint8_t, 4> buffer{};
  ASSERT_TRUE(file.ReadAt(1, buffer));
  EXPECT_EQ(std::string(buffer.begin(), buffer.end()), "BBBB");
  ASSERT_TRUE(file.ReadAt(2, buffer));
  EXPECT_EQ(buffer, (std::array<std::uint8_t, 4>{}));

  // Past the end, and a buffer too small for a record: zeroed or refused, never overrun.
  buffer.fill('x');
  EXPECT_FALSE(file.ReadAt(4, buffer));
  EXPECT_EQ(file.LastError(), kErrShortRecord);
  EXPECT_EQ(buffer, (std::array<std::uint8_t, 4>{}));
  std::array<std::uint8_t, 3> small{};
  EXPECT_FALSE(file.ReadAt(0, small));
  EXPECT_EQ(file.LastError(), platform::kErrInvalidParameter);
  EXPECT_FALSE(file.WriteAt(0, small));
  EXPECT_FALSE(file.ReadAt(-1, buffer));
  file.Close();

  // A torn record at the end is not counted, and the next append covers it.
  test::WriteFile(dir / "REC.DAT", test::ReadFile(dir / "REC.DAT") + "ZZ");
  ASSERT_TRUE(file.Open(WaitMode::kQuick, SharedFile::How::kOpenExisting));
  ASSERT_TRUE(file.Size(records));
  EXPECT_EQ(records, 4);
  buffer.fill('x');
  EXPECT_FALSE(file.ReadAt(4, buffer));  // the two bytes of the torn record
  EXPECT_EQ(buffer, (std::array<std::uint8_t, 4>{}));
  ASSERT_TRUE(file.Append(Bytes("EEEE")));
  file.Close();
  EXPECT_EQ(test::ReadFile(dir / "REC.DAT"), std::string("AAAABBBB\0\0\0\0DDDDEEEE", 20));

  // Nothing works on a closed file, and it says so.
  EXPECT_FALSE(file.Append(Bytes("FFFF")));
  EXPECT_EQ(file.LastError(), platform::kErrInvalidHandle);
}

TEST_F(SharedFileTest, TextFileLockCoversTheFirstByte) {
  test::WriteFile(dir / "FIRMATXT.INI", "[DOR]\r\n");
  int error = 0;
  auto mine =
      rig.files->Open(PathOf("FIRMATXT.INI"), platform::kReadWrite, platform::kShareReadWrite,
                      platform::Disposition::kOpenExisting, error);
  auto theirs =
      rig.files->Open(PathOf("FIRMATXT.INI"), platform::kReadWrite, platform::kShareReadWrite,
                      platform::Disposition::kOpenExisting, error);
  ASSERT_TRUE(mine && theirs);
  ASSERT_TRUE(shared.LockTextFile(*mine, error));
  EXPECT_FALSE(theirs->Lock(0, 1, error));
  EXPECT_EQ(error, platform::kErrLockViolation);
  EXPECT_TRUE(theirs->Lock(1, 1, error));  // only the first byte
  ASSERT_TRUE(theirs->Unlock(1, 1, error));
  ASSERT_TRUE(shared.UnlockTextFile(*mine, error));
  ASSERT_TRUE(theirs->Lock(0, 1, error));
  ASSERT_TRUE(theirs->Unlock(0, 1, error));

  // Another writer's lock is waited for quietly, a cycle long, then given up.
  ASSERT_TRUE(theirs->Lock(0, 1, error));
  long long before = rig.clock.ElapsedMs();
  EXPECT_FALSE(shared.LockTextFile(*mine, error));
  EXPECT_EQ(error, platform::kErrLockViolation);
  EXPECT_EQ(rig.clock.ElapsedMs() - before, (kAttemptsPerCycle - 1) * kRetryDelayMs);
  ASSERT_TRUE(theirs->Unlock(0, 1, error));

  shared.SetSharing(false);
  ASSERT_TRUE(shared.LockTextFile(*mine, error));
  EXPECT_TRUE(theirs->Lock(0, 1, error));
  EXPECT_TRUE(shared.UnlockTextFile(*mine, error));
}

TEST_F(SharedFileTest, TemporaryDirectoryPrecedence) {
  for (const char* name : {"A", "B", "C"}) fs::create_directory(dir / name);
  rig.process.SetEnvironment("zqTEMP", PathOf("MISSING"));
  rig.process.SetEnvironment("KPRBOX", PathOf("A"));
  rig.process.SetEnvironment("TEMP", PathOf("B"));
  rig.process.SetEnvironment("TMP", PathOf("C"));
  shared.SettleTemporaryDirectory();
  EXPECT_EQ(shared.TemporaryDirectory(), PathOf("A"));

  rig.process.SetEnvironment("zqTEMP", PathOf("C"));
  shared.SettleTemporaryDirectory();
  EXPECT_EQ(shared.TemporaryDirectory(), PathOf("C"));

  rig.process.ClearEnvironment("zqTEMP");
  rig.process.SetEnvironment("KPRBOX", "");
  test::WriteFile(dir / "FILE", "x");  // a file is no directory
  rig.process.SetEnvironment("TEMP", PathOf("FILE"));
  shared.SettleTemporaryDirectory();
  EXPECT_EQ(shared.TemporaryDirectory(), PathOf("C"));

  rig.process.ClearEnvironment("TMP");
  shared.SettleTemporaryDirectory();
  EXPECT_EQ(shared.TemporaryDirectory(), rig.files->CurrentDirectory());
}

TEST_F(SharedFileTest, TemporaryNamesNeverNameAnExistingFile) {
  rig.process.SetEnvironment("zqTEMP", dir.Path().string());
  shared.SettleTemporaryDirectory();
  std::string name = shared.TemporaryName("", ".tmp");
  std::string expectedStart = dir.Path().string() + "\\~zq";
  ASSERT_EQ(name.substr(0, expectedStart.size()), expectedStart);
  std::string digits = name.substr(expectedStart.size(), 8);
  EXPECT_EQ(digits.find_first_not_of("0123456789ABCDEF"), std::string::npos) << name;
  EXPECT_LT(std::stoul(digits, nullptr, 16), 32767ul);
  EXPECT_EQ(name.substr(expectedStart.size() + 8), ".tmp");

  // A second generator seeded from the same (fake) clock draws the same number; the
  // name it would give exists by now, so it steps on to the next.
  test::WriteFile(dir / name.substr(dir.Path().string().size() + 1), "");
  SharedFiles twin(screen);
  twin.SettleTemporaryDirectory();
  std::string next = twin.TemporaryName("", ".tmp");
  EXPECT_NE(next, name);
  EXPECT_EQ(std::stoul(next.substr(expectedStart.size(), 8), nullptr, 16),
            std::stoul(digits, nullptr, 16) + 1);

  // Many in a row, each created as it is given: all new.
  fs::create_directory(dir / "MANY");
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    std::string n = shared.TemporaryName(PathOf("MANY/"), ".$$$");
    ASSERT_EQ(n.substr(0, PathOf("MANY/").size()), PathOf("MANY/")) << "no second separator";
    ASSERT_FALSE(fs::exists(dir / "MANY" / n.substr(PathOf("MANY/").size())));
    test::WriteFile(dir / "MANY" / n.substr(PathOf("MANY/").size()), "");
    ASSERT_TRUE(seen.insert(n).second);
  }
}

}  // namespace
}  // namespace zq::tui
