#include "tui/shared_file.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <optional>

#include "platform/cp852.h"
#include "tui/event.h"
#include "tui/message.h"
#include "tui/polish.h"
#include "tui/progress_window.h"

namespace zq::tui {

using zq::operator""_pl;

namespace {

constexpr std::uint16_t kBoxWarningYesNo = kMbWarning | kMbYes | kMbNo;
// An insert reads the records above its place this many bytes at a time.
constexpr std::size_t kInsertBlockBytes = 64 * 1024;
constexpr std::uint16_t kBoxErrorYesNo = kMbError | kMbYes | kMbNo;
constexpr std::uint16_t kBoxInfoYesNo = kMbInformation | kMbYes | kMbNo;
constexpr std::uint16_t kBoxConfirmYesNo = kMbConfirmation | kMbYes | kMbNo;
constexpr std::uint16_t kAnswerYes = kCmYes;

// Name errors: the old runtime's 10 and 11, and the host's invalid, bad-path and
// too-long names.
bool IsBadName(int error) {
  return error == 10 || error == 11 || error == platform::kErrInvalidName || error == 161 ||
         error == platform::kErrFilenameTooLong;
}

bool IsAccessError(int error) {
  return error == platform::kErrAccessDenied || error == platform::kErrSharingViolation ||
         error == platform::kErrLockViolation;
}

bool EndsWithSeparator(std::string_view path) {
  return !path.empty() && (path.back() == '\\' || path.back() == '/');
}

std::string BadNameText(std::string_view name) {
  std::string text(kCentre + std::string("Niepoprawny format nazwy"));
  text += kNewLine;
  text += kCentre;
  text += name;
  return text;
}

// Puts the file-open mode back however the open ends.
class ModeGuard {
 public:
  ModeGuard(SharedFiles& shared, std::uint8_t mode) : shared_(shared) {
    shared_.SaveFileMode();
    shared_.SetFileMode(mode);
  }
  ~ModeGuard() { shared_.RestoreFileMode(); }
  ModeGuard(const ModeGuard&) = delete;
  ModeGuard& operator=(const ModeGuard&) = delete;

 private:
  SharedFiles& shared_;
};

}  // namespace

platform::Access AccessOf(std::uint8_t mode) {
  switch (mode & filemode::kAccessMask) {
    case filemode::kRead:
      return platform::kRead;
    case filemode::kWrite:
      return platform::kWrite;
    default:
      return platform::kReadWrite;
  }
}

platform::Share ShareOf(std::uint8_t mode) {
  switch (mode & filemode::kSharingMask) {
    case filemode::kExclusive:
      return platform::kShareNone;
    case filemode::kDenyWrite:
      return platform::kShareRead;
    case filemode::kDenyRead:
      return platform::kShareWrite;
    default:
      return platform::kShareReadWrite;
  }
}

std::string SeriousErrorText(std::string_view operation) {
  std::string text;
  text += kCentre;
  text += "Poważny BŁĄD I/O."_pl;
  text += kNewLine;
  text += kCentre;
  text += operation;
  text += kNewLine;
  text += kNewLine;
  text += kCentre;
  text += "Czy KONTYNUOWAĆ PRACĘ ?"_pl;
  return text;
}

// ---- SharedFiles ----

SharedFiles::SharedFiles(Screen& screen) : screen_(screen) {}

std::uint8_t SharedFiles::FileMode() const {
  return sharing_ ? mode_ : static_cast<std::uint8_t>(mode_ & filemode::kAccessMask);
}

void SharedFiles::RestoreFileMode() {
  if (savedModes_.empty()) return;
  mode_ = savedModes_.back();
  savedModes_.pop_back();
}

std::unique_ptr<platform::File> SharedFiles::OpenFile(std::string_view path,
                                                      platform::Disposition disposition,
                                                      int& error) {
  std::uint8_t mode = FileMode();
  return Files().Open(path, AccessOf(mode), ShareOf(mode), disposition, error);
}

std::uint16_t SharedFiles::Ask(std::uint16_t flags, std::string_view text) {
  if (messageBox_) return messageBox_(flags, text);
  return MessageBox(screen_, flags, text);
}

void SharedFiles::ShowError(std::string_view text) {
  Ask(kMbError | kMbOk, text);
}

SharedFiles::Lookup SharedFiles::LookUp(std::string_view name) {
  if (name.size() > kMaxName) {
    ShowError(BadNameText(name));
    return Lookup::kBadName;
  }
  int refused = 0;
  for (;;) {
    int error = 0;
    // An open, not a directory lookup: only an open sees that another workstation
    // holds the file, which is what the question is about.
    auto file = Files().Open(name, platform::kRead, platform::kShareReadWrite,
                             platform::Disposition::kOpenExisting, error);
    if (file) {
      int ignored = 0;
      file->Close(ignored);
      return Lookup::kFound;
    }
    if (IsBadName(error)) {
      ShowError(BadNameText(name));
      return Lookup::kBadName;
    }
    if (!IsAccessError(error)) return Lookup::kMissing;
    if (++refused > kQuietLookups) {
      std::string text;
      text += kCentre;
      text += "Dostęp do pliku"_pl;
      text += kNewLine;
      text += kCentre;
      text += name;
      text += kNewLine;
      text += kCentre;
      text += "niemożliwy/zabroniony !"_pl;
      text += kNewLine;
      text += kCentre;
      text += "Ponowić próbę ?"_pl;
      if (Ask(kBoxWarningYesNo, text) != kAnswerYes) return Lookup::kDeclined;
      refused = 0;
      continue;
    }
    Process().Sleep(kLookupDelayMs);
  }
}

bool SharedFiles::ExistsWithRetry(std::string_view name) {
  return LookUp(name) == Lookup::kFound;
}

bool SharedFiles::WaitFor(WaitMode mode, const std::function<bool()>& action) {
  int attempt = 1;
  bool done = action();
  bool gaveUp = false;
  std::unique_ptr<ProgressWindow> queue;
  while (!done && !gaveUp) {
    ++attempt;
    switch (mode) {
      case WaitMode::kAsk:
        if (attempt > kAttemptsPerCycle) {
          std::string text;
          text += kCentre;
          text += " NET Info";
          text += kNewLine;
          text += kCentre;
          text += "DOSTĘP BLOKOWANY SIECIOWO"_pl;
          text += kNewLine;
          text += "Czy czekamy ?";
          if (Ask(kBoxInfoYesNo, text) == kAnswerYes)
            attempt = 1;
          else
            gaveUp = true;
        } else {
          Process().Sleep(kRetryDelayMs);
        }
        break;
      case WaitMode::kQueue:
        if (attempt > kAttemptsPerCycle) {
          attempt = 1;
          if (queue)
            queue->Reset();
          else
            queue = std::make_unique<ProgressWindow>(screen_, "Sieciowa KOLEJKA ", "",
                                                     kAttemptsPerCycle - 1);
        } else {
          if (queue) queue->Step(1);
          Process().Sleep(kRetryDelayMs);
        }
        break;
      case WaitMode::kQuick:
        if (attempt > kAttemptsPerCycle) gaveUp = true;
        break;
    }
    if (!gaveUp) done = action();
  }
  if (queue) queue->Close();
  screen_.Console().FlushInput();
  return done;
}

bool SharedFiles::LockTextFile(platform::File& file, int& error) {
  error = platform::kErrNone;
  if (!sharing_) return true;
  for (int attempt = 1;; ++attempt) {
    if (file.Lock(0, 1, error)) return true;
    if (error != platform::kErrLockViolation || attempt >= kAttemptsPerCycle) return false;
    Process().Sleep(kRetryDelayMs);
  }
}

bool SharedFiles::UnlockTextFile(platform::File& file, int& error) {
  error = platform::kErrNone;
  if (!sharing_) return true;
  return file.Unlock(0, 1, error);
}

void SharedFiles::SettleTemporaryDirectory() {
  for (const char* variable : {"zqTEMP", "KPRBOX", "TEMP", "TMP"}) {
    std::optional<std::string> value = Process().Environment(variable);
    // A longer value cannot be held whole, and a cut one would name another directory.
    if (!value || value->empty() || value->size() > kMaxName) continue;
    std::uint32_t attributes = 0;
    std::int64_t size = 0;
    if (Files().GetAttributes(*value, attributes, size) &&
        (attributes & platform::kAttrDirectory) != 0) {
      temporaryDirectory_ = *value;
      return;
    }
  }
  temporaryDirectory_ = Files().CurrentDirectory();
}

std::uint32_t SharedFiles::Random(std::uint32_t below) {
  if (!seeded_) {
    platform::LocalTime t = Process().Now();
    seed_ = static_cast<std::uint32_t>(((t.hour * 60 + t.minute) * 60 + t.second) * 100 +
                                       t.millisecond / 10);
    seeded_ = true;
  }
  seed_ = seed_ * 134775813u + 1u;
  return static_cast<std::uint32_t>((std::uint64_t{seed_} * below) >> 32);
}

std::string SharedFiles::TemporaryName(std::string_view directory, std::string_view extension) {
  std::string dir(directory.empty() ? std::string_view(temporaryDirectory_) : directory);
  if (!dir.empty() && !EndsWithSeparator(dir)) dir += '\\';
  std::uint32_t n = Random(32767);
  std::string name;
  // Bounded so that a directory full of such names cannot hang the program; the
  // creating open refuses an existing name anyway.
  for (int tries = 0; tries < 0x10000; ++tries, ++n) {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(n));
    name = dir + "~zq" + hex + std::string(extension);
    std::uint32_t attributes = 0;
    std::int64_t size = 0;
    if (!Files().GetAttributes(name, attributes, size)) break;
  }
  return name;
}

// ---- SharedFile ----

SharedFile::SharedFile(SharedFiles& shared, std::string_view name, std::size_t recordSize)
    : shared_(shared), name_(name), recordSize_(std::max<std::size_t>(1, recordSize)) {}

SharedFile::~SharedFile() {
  Close();
}

bool SharedFile::Fail(int error) {
  lastError_ = static_cast<std::uint16_t>(error);
  return false;
}

bool SharedFile::ReadBytes(std::uint8_t* data, std::size_t size) {
  std::size_t done = 0;
  int error = 0;
  bool ok = file_->Read(data, size, done, error);
  if (!ok || done != size) return Fail(ok ? kErrShortRecord : error);
  lastError_ = 0;
  return true;
}

bool SharedFile::WriteBytes(const std::uint8_t* data, std::size_t size) {
  std::size_t done = 0;
  int error = 0;
  bool ok = file_->Write(data, size, done, error);
  if (!ok || done != size) return Fail(ok ? platform::kErrDiskFull : error);
  lastError_ = 0;
  return true;
}

bool SharedFile::ReadRecord(std::span<std::uint8_t> buffer) {
  if (buffer.size() < recordSize_) return Fail(platform::kErrInvalidParameter);
  if (!file_ || !ReadBytes(buffer.data(), recordSize_)) {
    if (!file_) Fail(platform::kErrInvalidHandle);
    std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
    return false;
  }
  return true;
}

bool SharedFile::WriteRecord(std::span<const std::uint8_t> buffer) {
  if (buffer.size() < recordSize_) return Fail(platform::kErrInvalidParameter);
  if (!file_) return Fail(platform::kErrInvalidHandle);
  return WriteBytes(buffer.data(), recordSize_);
}

std::string SharedFile::MissingFileQuestion() const {
  return kCentre + std::string("Utworzyć nowy ?"_pl);
}

int SharedFile::Compare(std::span<const std::uint8_t> existing,
                        std::span<const std::uint8_t> added) {
  return PolishCompare(UpperText(KeyText(added)), UpperText(KeyText(existing)));
}

std::string SharedFile::KeyText(std::span<const std::uint8_t>) {
  return {};
}

bool SharedFile::CheckName() {
  if (name_.size() <= kMaxName) return true;
  shared_.ShowError(BadNameText(name_));
  return Fail(platform::kErrFilenameTooLong);
}

bool SharedFile::OpenExisting() {
  ModeGuard mode(shared_, openMode_);
  int error = 0;
  for (int attempt = 1;; ++attempt) {
    file_ = shared_.OpenFile(name_, platform::Disposition::kOpenExisting, error);
    if (file_ || error != platform::kErrSharingViolation || attempt >= kAttemptsPerCycle) break;
    shared_.Process().Sleep(kRetryDelayMs);
  }
  if (!file_) return Fail(error);
  state_ = State::kOpened;
  lastError_ = 0;
  return true;
}

bool SharedFile::CreateFile(platform::Disposition disposition, State state) {
  // Creating needs write access whatever the mode says.
  std::uint8_t mode = openMode_;
  if ((mode & filemode::kAccessMask) == filemode::kRead)
    mode = static_cast<std::uint8_t>((mode & filemode::kSharingMask) | filemode::kReadWrite);
  ModeGuard guard(shared_, mode);
  int error = 0;
  for (int attempt = 1;; ++attempt) {
    file_ = shared_.OpenFile(name_, disposition, error);
    if (file_ || error != platform::kErrSharingViolation || attempt >= kAttemptsPerCycle) break;
    shared_.Process().Sleep(kRetryDelayMs);
  }
  if (!file_) return Fail(error);
  state_ = state;
  lastError_ = 0;
  return true;
}

bool SharedFile::OpenOrCreate(How how) {
  switch (how) {
    case How::kOpen:
    case How::kOpenOrAsk: {
      SharedFiles::Lookup found = shared_.LookUp(name_);
      if (found == SharedFiles::Lookup::kBadName) return Fail(platform::kErrInvalidName);
      if (found == SharedFiles::Lookup::kDeclined) return Fail(platform::kErrAccessDenied);
      if (found == SharedFiles::Lookup::kFound) {
        if (OpenExisting()) return true;
        if (lastError_ == platform::kErrAccessDenied) {
          std::string text;
          text += kCentre;
          text += "Dostęp do pliku"_pl;
          text += kNewLine;
          text += kCentre;
          text += name_;
          text += kNewLine;
          text += kCentre;
          text += "Zabronony !(?)";
          shared_.ShowError(text);
        }
        return false;
      }
      if (how == How::kOpenOrAsk) {
        std::string text;
        text += kCentre;
        text += "Nie odnaleziono pliku:";
        text += kNewLine;
        text += kCentre;
        text += name_;
        text += kNewLine;
        text += MissingFileQuestion();
        if (shared_.Ask(kBoxConfirmYesNo, text) != kAnswerYes)
          return Fail(platform::kErrFileNotFound);
      }
      // Opens rather than truncates a file that another workstation made meanwhile.
      return CreateFile(platform::Disposition::kOpenAlways, State::kCreated);
    }
    case How::kOpenExisting:
      return OpenExisting();
    case How::kCreate:
      return CreateFile(platform::Disposition::kCreateAlways, State::kCreated);
    case How::kCreateTemporary: {
      std::string directory = name_;
      // A name that another program takes between the lookup and the create is not
      // overwritten: the create refuses it and another name is drawn.
      for (int tries = 0; tries < 8; ++tries) {
        name_ = shared_.TemporaryName(directory, ".tmp");
        if (!CheckName()) return false;
        if (CreateFile(platform::Disposition::kCreateNew, State::kTemporaryCreated)) return true;
        if (lastError_ != platform::kErrFileExists && lastError_ != platform::kErrAlreadyExists)
          return false;
      }
      return false;
    }
  }
  return Fail(platform::kErrInvalidParameter);
}

bool SharedFile::Open(WaitMode wait, How how) {
  if (IsOpen()) Close();
  if (!CheckName()) return false;
  if (!OpenOrCreate(how)) {
    if (IsBadName(lastError_) && how != How::kOpen && how != How::kOpenOrAsk)
      shared_.ShowError(BadNameText(name_));
    return false;
  }
  if (shared_.Sharing() && wholeFileLock_ && !LockWholeFile(wait)) {
    std::uint16_t error = lastError_;
    Close();
    return Fail(error);
  }
  return true;
}

bool SharedFile::Close() {
  if (!file_) {
    state_ = State::kClosed;
    return true;
  }
  int error = 0;
  if (locked_) file_->Unlock(0, kWholeFileLength, error);
  locked_ = false;
  bool ok = file_->Close(error);
  file_.reset();
  state_ = State::kClosed;
  return ok ? true : Fail(error);
}

std::uint64_t SharedFile::OffsetOf(std::int64_t record) const {
  return static_cast<std::uint64_t>(record) * recordSize_;
}

bool SharedFile::Seek(std::int64_t record) {
  if (!file_) return Fail(platform::kErrInvalidHandle);
  if (record < 0 ||
      static_cast<std::uint64_t>(record) >
          static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) / recordSize_)
    return Fail(platform::kErrInvalidParameter);
  std::int64_t position = 0;
  int error = 0;
  if (!file_->Seek(static_cast<std::int64_t>(OffsetOf(record)), platform::Whence::kBegin, position,
                   error))
    return Fail(error);
  return true;
}

bool SharedFile::Size(std::int64_t& records) {
  records = 0;
  if (!file_) return Fail(platform::kErrInvalidHandle);
  std::int64_t bytes = 0;
  int error = 0;
  if (!file_->Size(bytes, error)) return Fail(error);
  records = bytes / static_cast<std::int64_t>(recordSize_);
  return true;
}

bool SharedFile::ReadAt(std::int64_t record, std::span<std::uint8_t> buffer) {
  if (!Seek(record)) {
    std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
    return false;
  }
  return ReadRecord(buffer);
}

bool SharedFile::WriteAt(std::int64_t record, std::span<const std::uint8_t> buffer) {
  return Seek(record) && WriteRecord(buffer);
}

bool SharedFile::ReadRange(std::int64_t first, std::span<std::uint8_t> buffer) {
  return Seek(first) && ReadBytes(buffer.data(), buffer.size() / recordSize_ * recordSize_);
}

bool SharedFile::WriteRange(std::int64_t first, std::span<const std::uint8_t> buffer) {
  return Seek(first) && WriteBytes(buffer.data(), buffer.size() / recordSize_ * recordSize_);
}

bool SharedFile::Append(std::span<const std::uint8_t> buffer) {
  std::int64_t records = 0;
  return Size(records) && WriteAt(records, buffer);
}

bool SharedFile::LockRegion(std::int64_t first, std::int64_t count) {
  if (!file_) return Fail(platform::kErrInvalidHandle);
  if (!shared_.Sharing()) return true;
  std::uint64_t offset = 0, length = kWholeFileLength;
  if (count >= 0) {
    if (first < 0) return Fail(platform::kErrInvalidParameter);
    offset = OffsetOf(first);
    length = OffsetOf(count);
  }
  int error = 0;
  if (!file_->Lock(offset, length, error)) return Fail(error);
  return true;
}

bool SharedFile::UnlockRegion(std::int64_t first, std::int64_t count) {
  if (!file_) return Fail(platform::kErrInvalidHandle);
  if (!shared_.Sharing()) return true;
  std::uint64_t offset = 0, length = kWholeFileLength;
  if (count >= 0) {
    if (first < 0) return Fail(platform::kErrInvalidParameter);
    offset = OffsetOf(first);
    length = OffsetOf(count);
  }
  int error = 0;
  if (!file_->Unlock(offset, length, error)) return Fail(error);
  return true;
}

bool SharedFile::LockRecord(std::int64_t record, WaitMode wait) {
  return shared_.WaitFor(wait, [&] { return LockRegion(record, 1); });
}

bool SharedFile::LockWholeFile(WaitMode wait) {
  if (!shared_.WaitFor(wait, [&] { return LockRegion(0, -1); })) return false;
  locked_ = shared_.Sharing();
  return true;
}

bool SharedFile::UnlockWholeFile(WaitMode wait) {
  if (!shared_.WaitFor(wait, [&] { return UnlockRegion(0, -1); })) return false;
  locked_ = false;
  return true;
}

void SharedFile::ReportSerious(std::string_view operation) {
  if (shared_.Ask(kBoxErrorYesNo, SeriousErrorText(operation)) != kAnswerYes)
    shared_.Process().Exit(255);
}

void SharedFile::Insist(std::string_view operation, const std::function<bool()>& step) {
  while (!step()) ReportSerious(operation);
}

bool SharedFile::InsertLocked(std::span<const std::uint8_t> record) {
  const std::string readText = std::string("odczytu") + " danych";
  const std::string writeText = std::string("zapisu") + " danych";
  const std::string endText = std::string("ustawienia końca"_pl) + " pliku";
  // The file grows by a copy of its last record rather than by the new one, so that it
  // is in key order at every moment; the new record is written last, in its place.
  std::int64_t existing = 0;
  Insist(endText, [&] { return Size(existing); });
  std::vector<std::uint8_t> last(record.begin(), record.end());
  if (existing > 0) Insist(readText, [&] { return ReadAt(existing - 1, last); });
  Insist(std::string("dopisania do ") + " pliku", [&] { return Append(last); });
  std::int64_t n = 0;
  Insist(endText, [&] { return Size(n); });

  std::unique_ptr<ProgressWindow> window;
  if (n >= 21 && shared_.ProgressDisplay())
    window = std::make_unique<ProgressWindow>(shared_.GetScreen(), "Wstawianie...", "", n);

  bool placed = false;
  if (n == 1) {
    placed = true;
    lastInserted_ = 0;
  } else if (n > 1) {
    const std::size_t size = recordSize_;
    const std::int64_t perBlock =
        std::max<std::int64_t>(1, static_cast<std::int64_t>(kInsertBlockBytes / size));
    // Records [first, n - 1), read from the end down a block at a time until the place
    // of the new one is found: after the last record whose key is not greater.
    std::vector<std::uint8_t> tail;
    std::int64_t first = n - 1, place = -1;
    while (place < 0) {
      const std::int64_t low = std::max<std::int64_t>(0, first - perBlock);
      std::vector<std::uint8_t> block(static_cast<std::size_t>(first - low) * size);
      Insist(readText, [&] { return ReadRange(low, block); });
      tail.insert(tail.begin(), block.begin(), block.end());
      for (std::int64_t i = first - 1; i >= low && place < 0; --i) {
        if (window) window->Step(1);
        auto existingRecord = std::span<const std::uint8_t>(tail).subspan(
            static_cast<std::size_t>(i - low) * size, size);
        if (Compare(existingRecord, record) >= 0) place = i + 1;
      }
      first = low;
      if (place < 0 && low == 0) place = 0;
    }
    // Records place .. n-2 go one place up, from the end down (slot n-1 holds its copy
    // already). Each write covers records of one page of the file, or one record that
    // crosses a page boundary: a write within a page is never cut short by a killed
    // process, and between writes every record is in the file at least once.
    constexpr std::uint64_t kPage = 4096;
    auto pageOf = [&](std::int64_t slot, std::uint64_t byte) {
      return (static_cast<std::uint64_t>(slot) * size + byte) / kPage;
    };
    for (std::int64_t top = n - 1; top > place + 1;) {
      std::int64_t from = top - 1;
      const std::uint64_t page = pageOf(from, size - 1);
      if (pageOf(from, 0) == page)
        while (from - 1 > place && pageOf(from - 1, 0) == page) --from;
      auto moved = std::span<const std::uint8_t>(tail).subspan(
          static_cast<std::size_t>(from - 1 - first) * size,
          static_cast<std::size_t>(top - from) * size);
      Insist(writeText, [&] { return WriteRange(from, moved); });
      top = from;
    }
    Insist(writeText, [&] { return WriteAt(place, record); });
    placed = true;
    lastInserted_ = place;
  }
  if (window) window->Close();
  return placed;
}

bool SharedFile::InsertSorted(std::span<const std::uint8_t> record) {
  if (!file_) return Fail(platform::kErrInvalidHandle);
  if (record.size() < recordSize_) return Fail(platform::kErrInvalidParameter);
  record = record.first(recordSize_);

  // A file kept locked since its open stays locked after the insert; locking it again
  // through the same handle would fail.
  bool lockedHere = false;
  if (!locked_) {
    if (!LockWholeFile(WaitMode::kAsk)) return false;
    lockedHere = true;
  }
  bool placed = InsertLocked(record);
  if (lockedHere)
    Insist("odblokowania" + std::string(" pliku"),
           [&] { return UnlockWholeFile(WaitMode::kQuick); });
  // Nothing can be tried again here (the file held no record after the append), so
  // Tak goes on and the insert reports its failure.
  if (!placed) ReportSerious(std::string("wstawienia do") + " pliku");
  // The one flush to disk of a firm's run: a firm counts as carried once it is listed,
  // so the list must not lose it, and it is written only after all the firm's files.
  int error = 0;
  if (!file_->Flush(error)) return Fail(error);
  return placed;
}

}  // namespace zq::tui
