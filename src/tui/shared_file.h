// Record files shared between workstations: opening in a sharing mode, waiting for a
// file someone else holds (quietly, then with a question or a queue window), locking
// the whole file while a record is inserted in key order, locking a text file while it
// is rewritten, and naming temporary files.
//
// Workstations are kept apart only by the host's byte-range locks; every wait is a
// sleep on the one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "tui/screen.h"

namespace zq::tui {

// The one-byte file-open mode: an access part and a sharing part.
namespace filemode {
inline constexpr std::uint8_t kRead = 0x00;
inline constexpr std::uint8_t kWrite = 0x01;
inline constexpr std::uint8_t kReadWrite = 0x02;
inline constexpr std::uint8_t kExclusive = 0x10;
inline constexpr std::uint8_t kDenyWrite = 0x20;
inline constexpr std::uint8_t kDenyRead = 0x30;
inline constexpr std::uint8_t kDenyNone = 0x40;
inline constexpr std::uint8_t kAccessMask = 0x0F;
inline constexpr std::uint8_t kSharingMask = 0xF0;
// Shared record files.
inline constexpr std::uint8_t kShared = kReadWrite | kDenyNone;
}  // namespace filemode

// How the mode reaches the host. A sharing part of 0 (sharing switched off) denies
// nothing: with sharing off the program neither waits for others nor shuts them out.
platform::Access AccessOf(std::uint8_t mode);
platform::Share ShareOf(std::uint8_t mode);

// How long the waits go on.
inline constexpr int kAttemptsPerCycle = 30;
inline constexpr int kRetryDelayMs = 50;
inline constexpr int kQuietLookups = 3;
inline constexpr int kLookupDelayMs = 500;

// The whole-file lock covers the first 2^31 - 1 bytes; a text file is locked on its first.
inline constexpr std::uint64_t kWholeFileLength = 0x7FFFFFFF;

// Names are texts of at most 255 characters; a longer one is refused, never cut.
inline constexpr std::size_t kMaxName = 255;

// A read that got less than a whole record (Win32's end-of-file code).
inline constexpr int kErrShortRecord = 38;

enum class WaitMode : std::uint8_t {
  kQuick = 0,  // 30 quick retries, then give up
  kAsk = 1,    // ask "Czy czekamy ?" after every 30 attempts
  kQueue = 2,  // the queue window; never gives up
};

// What the waits and questions go through; the toolkit's message boxes by default.
// Tests and other callers may replace the box (flags, text) -> command.
using MessageBoxFn = std::function<std::uint16_t(std::uint16_t flags, std::string_view text)>;

// The run-wide side of shared file access: the file-open mode and the sharing switch,
// the existence check with its questions, the waiting loop, the temporary directory.
class SharedFiles {
 public:
  explicit SharedFiles(Screen& screen);

  Screen& GetScreen() const { return screen_; }
  platform::Files& Files() const { return screen_.Files(); }
  platform::Process& Process() const { return screen_.Process(); }

  // The file-open mode as the host sees it: the sharing part is 0 while sharing is off.
  std::uint8_t FileMode() const;
  void SetFileMode(std::uint8_t mode) { mode_ = mode; }
  // Two calls around an open with another mode; they nest.
  void SaveFileMode() { savedModes_.push_back(mode_); }
  void RestoreFileMode();

  // On at start. Off: every sharing part is 0 and no locks are taken.
  bool Sharing() const { return sharing_; }
  void SetSharing(bool on) { sharing_ = on; }

  // The "Wstawianie..." window of long inserts; on at start.
  bool ProgressDisplay() const { return progressDisplay_; }
  void SetProgressDisplay(bool on) { progressDisplay_ = on; }

  // Opens with the current file-open mode.
  std::unique_ptr<platform::File> OpenFile(std::string_view path, platform::Disposition disposition,
                                           int& error);

  // Whether the file exists. Access, sharing and lock errors are looked at again after
  // 500 ms; after three such lookups the user is asked whether to go on trying.
  bool ExistsWithRetry(std::string_view name);
  enum class Lookup { kFound, kMissing, kDeclined, kBadName };
  Lookup LookUp(std::string_view name);

  // Tries `action` until it succeeds or the wait mode gives up; see WaitMode.
  bool WaitFor(WaitMode mode, const std::function<bool()>& action);

  // A text file is locked on its first byte while it is rewritten, so that another
  // workstation's writer waits instead of mixing its lines with ours. The lock is
  // tried quietly kAttemptsPerCycle times kRetryDelayMs apart while another holds it;
  // with sharing off both succeed without touching the file.
  bool LockTextFile(platform::File& file, int& error);
  bool UnlockTextFile(platform::File& file, int& error);

  // The first of zqTEMP, KPRBOX, TEMP, TMP that names an existing directory, else the
  // current directory. Runs once at start.
  void SettleTemporaryDirectory();
  const std::string& TemporaryDirectory() const { return temporaryDirectory_; }
  // A name "~zq" + 8 hex digits + extension in `directory` (the Temporary directory
  // when empty) that does not exist yet.
  std::string TemporaryName(std::string_view directory, std::string_view extension);

  // The boxes the waits ask with.
  std::uint16_t Ask(std::uint16_t flags, std::string_view text);
  void ShowError(std::string_view text);
  void SetMessageBox(MessageBoxFn box) { messageBox_ = std::move(box); }

 private:
  // The runtime's generator: seed := seed * 134775813 + 1, value below n from the
  // upper half of seed * n.
  std::uint32_t Random(std::uint32_t below);

  Screen& screen_;
  std::uint8_t mode_ = filemode::kReadWrite;
  std::vector<std::uint8_t> savedModes_;
  bool sharing_ = true;
  bool progressDisplay_ = true;
  std::string temporaryDirectory_;
  std::uint32_t seed_ = 0;
  bool seeded_ = false;
  MessageBoxFn messageBox_;
};

// A file of fixed-size records used by several workstations at once. Derived kinds
// give their record reading and writing, the question asked before creating a missing
// file, and the key order of InsertSorted.
class SharedFile {
 public:
  enum class State : std::uint8_t { kClosed, kOpened, kCreated, kTemporaryCreated };
  enum class How : std::uint8_t {
    kOpen = 0,             // open, creating the file when missing
    kOpenExisting = 1,     // open only an existing file
    kCreate = 2,           // create an empty file
    kCreateTemporary = 3,  // a new temporary file in the directory given as the name
    kOpenOrAsk = 4,        // as kOpen, but ask before creating
  };

  // The record size is at least 1. A name longer than 255 characters is kept, and
  // Open refuses it.
  SharedFile(SharedFiles& shared, std::string_view name, std::size_t recordSize);
  virtual ~SharedFile();
  SharedFile(const SharedFile&) = delete;
  SharedFile& operator=(const SharedFile&) = delete;

  // The replaceable operations, in this order.
  // One record at the current position; a short read zeroes the record.
  virtual bool ReadRecord(std::span<std::uint8_t> buffer);
  virtual bool WriteRecord(std::span<const std::uint8_t> buffer);
  // The last line of the "file not found" question.
  virtual std::string MissingFileQuestion() const;
  // Positive when `added` sorts after `existing`, zero when equal, negative before.
  virtual int Compare(std::span<const std::uint8_t> existing, std::span<const std::uint8_t> added);
  // The key the base Compare orders by, in Polish order without regard to case.
  virtual std::string KeyText(std::span<const std::uint8_t> record);

  bool Open(WaitMode wait, How how);
  // Unlocks when locked; false when the host reports an error on closing.
  bool Close();

  bool Seek(std::int64_t record);
  // Whole records only; a shorter tail is not counted.
  bool Size(std::int64_t& records);
  bool ReadAt(std::int64_t record, std::span<std::uint8_t> buffer);
  bool WriteAt(std::int64_t record, std::span<const std::uint8_t> buffer);
  // Writes after the last whole record, over any torn tail.
  bool Append(std::span<const std::uint8_t> buffer);
  // As many whole records as the buffer holds, from `first` on, in one call to the host;
  // false when not all of them were there (or could be written).
  bool ReadRange(std::int64_t first, std::span<std::uint8_t> buffer);
  bool WriteRange(std::int64_t first, std::span<const std::uint8_t> buffer);

  // Places the record after every record whose key is not greater, holding the whole
  // file locked meanwhile. The file grows by a copy of its last record and records are
  // moved one place up from the end, a page at a time, so that the file is in key order
  // and holds each record at least once at every moment. A failed step asks whether
  // to go on (and retries it) or to end the program with exit code 255.
  bool InsertSorted(std::span<const std::uint8_t> record);

  bool LockRecord(std::int64_t record, WaitMode wait);
  bool LockWholeFile(WaitMode wait);
  bool UnlockWholeFile(WaitMode wait);
  // One try; a negative count means the whole file.
  bool LockRegion(std::int64_t first, std::int64_t count);
  bool UnlockRegion(std::int64_t first, std::int64_t count);

  const std::string& Name() const { return name_; }
  std::size_t RecordSize() const { return recordSize_; }
  State GetState() const { return state_; }
  bool IsOpen() const { return state_ != State::kClosed; }
  // Set before Open when the file is to stay locked while open.
  void SetWholeFileLock(bool on) { wholeFileLock_ = on; }
  bool WholeFileLock() const { return wholeFileLock_; }
  bool Locked() const { return locked_; }
  std::uint16_t LastError() const { return lastError_; }
  std::int64_t LastInserted() const { return lastInserted_; }
  // The mode the file is opened with; read/write, deny none unless changed.
  void SetOpenMode(std::uint8_t mode) { openMode_ = mode; }
  std::uint8_t OpenMode() const { return openMode_; }

 protected:
  SharedFiles& Shared() const { return shared_; }
  platform::File* Handle() const { return file_.get(); }
  bool Fail(int error);

 private:
  // Exactly `size` bytes at the current position; a shorter transfer is a failure.
  bool ReadBytes(std::uint8_t* data, std::size_t size);
  bool WriteBytes(const std::uint8_t* data, std::size_t size);
  bool OpenExisting();
  bool CreateFile(platform::Disposition disposition, State state);
  bool OpenOrCreate(How how);
  bool CheckName();
  // Runs one step of an insert until it succeeds: a failure brings the serious I/O
  // error question, and its Tak tries the step again.
  void Insist(std::string_view operation, const std::function<bool()>& step);
  // The serious I/O error question: returns on Tak, ends the program on anything else.
  void ReportSerious(std::string_view operation);
  bool InsertLocked(std::span<const std::uint8_t> record);
  std::uint64_t OffsetOf(std::int64_t record) const;

  SharedFiles& shared_;
  std::string name_;
  std::size_t recordSize_;
  std::unique_ptr<platform::File> file_;
  State state_ = State::kClosed;
  bool wholeFileLock_ = false;
  bool locked_ = false;
  std::uint16_t lastError_ = 0;
  std::int64_t lastInserted_ = -1;
  std::uint8_t openMode_ = filemode::kShared;
};

// The centred text lines of the serious I/O error question for one operation.
std::string SeriousErrorText(std::string_view operation);

}  // namespace zq::tui
