#include "driver/discovery.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <set>
#include <vector>

#include "convert/copy.h"
#include "platform/cp852.h"
#include "shared/firm_list_file.h"
#include "tui/message.h"
#include "tui/polish.h"
#include "tui/shared_file.h"

namespace zq::driver {

namespace {

using zq::operator""_pl;

constexpr std::uint8_t kWarning = convert::kColourWarning;

std::string Join(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view part : parts) out += part;
  return out;
}

// Record texts may hold any byte; a control character in a warning would show as a
// stray symbol and hide what is wrong.
std::string Printable(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20) c = '?';
  return out;
}

std::string_view WithoutTrailingBlanksAndDots(std::string_view name) {
  while (!name.empty() && (name.back() == ' ' || name.back() == '.')) name.remove_suffix(1);
  return name;
}

// How the host tells two directory names apart: case does not count, and neither do
// the trailing blanks and dots it drops.
std::string DirectoryKey(std::string_view directory) {
  return tui::UpperText(WithoutTrailingBlanksAndDots(directory));
}

bool IsDeviceName(std::string_view name) {
  std::string base = tui::UpperText(name.substr(0, name.find('.')));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (std::string_view device : {"CON", "PRN", "AUX", "NUL", "CLOCK$", "CONIN$", "CONOUT$"})
    if (base == device) return true;
  if (base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) && base[3] >= '1' &&
      base[3] <= '9')
    return true;
  return false;
}

// The Source firm list, which may end in a torn record.
class SourceFirmList : public shared::FirmListFile {
 public:
  using FirmListFile::FirmListFile;

  // The bytes after the last whole record, less than one record; empty when there are
  // none or they cannot be read.
  std::vector<std::uint8_t> Tail(std::int64_t records) {
    std::vector<std::uint8_t> tail;
    platform::File* file = Handle();
    std::int64_t bytes = 0;
    int error = 0;
    if (!file || !file->Size(bytes, error)) return tail;
    std::int64_t whole = records * static_cast<std::int64_t>(shared::kFirmRecordSize);
    if (bytes <= whole || bytes - whole >= static_cast<std::int64_t>(shared::kFirmRecordSize))
      return tail;
    tail.resize(static_cast<std::size_t>(bytes - whole));
    std::int64_t position = 0;
    std::size_t done = 0;
    if (!file->Seek(whole, platform::Whence::kBegin, position, error) ||
        !file->Read(tail.data(), tail.size(), done, error))
      done = 0;
    tail.resize(done);
    return tail;
  }
};

// The directories the Target firm list holds, read once when the first firm found in
// the Target tree asks for it.
class TargetFirmIndex {
 public:
  TargetFirmIndex(RunState& run) : run_(run) {}

  // Nothing when the list exists but cannot be read: the question cannot be answered.
  std::optional<bool> Holds(std::string_view directory) {
    if (!read_) Read();
    if (!readable_) return std::nullopt;
    return directories_.contains(DirectoryKey(directory));
  }
  bool Readable() const { return readable_; }

 private:
  void Read() {
    read_ = true;
    shared::FirmListFile list(run_.sharedFiles, run_.options.targetTree + run_.firmListName);
    // Only read, and without shutting out a workstation that is inserting a firm.
    list.SetOpenMode(tui::filemode::kRead | tui::filemode::kDenyNone);
    if (!list.Open(tui::WaitMode::kQuick, tui::SharedFile::How::kOpenExisting)) {
      std::uint16_t error = list.LastError();
      // No list yet: no firm has been carried over to its end.
      readable_ = error == platform::kErrFileNotFound || error == platform::kErrPathNotFound;
      return;
    }
    std::int64_t records = 0;
    if (!list.Size(records)) {
      readable_ = false;
      list.Close();
      return;
    }
    shared::FirmRecordBytes record{};
    for (std::int64_t i = 0; i < records; ++i) {
      if (!list.ReadAt(i, record)) continue;
      directories_.insert(DirectoryKey(shared::RecordView(record).Get(shared::kFirmDirectory)));
    }
    readable_ = true;
    list.Close();
  }

  RunState& run_;
  bool read_ = false;
  bool readable_ = false;
  std::set<std::string> directories_;
};

[[noreturn]] void EndProgram(RunState& run) {
  run.platform.process.Exit(0);
}

}  // namespace

bool IsUsableFirmDirectory(std::string_view directory) {
  if (WithoutTrailingBlanksAndDots(directory).empty()) return false;
  for (char c : directory) {
    auto b = static_cast<unsigned char>(c);
    if (b < 0x20) return false;
    switch (c) {
      case '\\':
      case '/':
      case ':':
      case '*':
      case '?':
      case '"':
      case '<':
      case '>':
      case '|':
        return false;
      default:
        break;
    }
  }
  return !IsDeviceName(directory);
}

FirmPlace PlaceOf(RunState& run, const std::string& directory) {
  if (!IsUsableFirmDirectory(directory)) return FirmPlace::kBadDirectory;
  if (run.copier.DirExists(run.options.targetTree + directory)) return FirmPlace::kInTarget;
  if (!run.copier.DirExists(run.options.sourceTree + directory)) return FirmPlace::kNoSource;
  return FirmPlace::kOffered;
}

std::optional<std::vector<std::string>> OfferedDirectories(RunState& run) {
  SourceFirmList list(run.sharedFiles, run.options.sourceTree + run.firmListName);
  list.SetOpenMode(tui::filemode::kRead | tui::filemode::kExclusive);
  std::int64_t records = 0;
  if (!list.Open(tui::WaitMode::kQuick, tui::SharedFile::How::kOpenExisting)) return std::nullopt;
  if (!list.Size(records)) {
    list.Close();
    return std::nullopt;
  }
  std::vector<std::string> offered;
  shared::FirmRecordBytes record{};
  for (std::int64_t i = 0; i < records; ++i) {
    if (!list.ReadAt(i, record)) continue;
    std::string directory = shared::RecordView(record).Get(shared::kFirmDirectory);
    if (PlaceOf(run, directory) == FirmPlace::kOffered) offered.push_back(std::move(directory));
  }
  list.Close();
  return offered;
}

int RecogniseEnvironment(RunState& run, FirmList& firms) {
  firms.Release();
  convert::ProgressLog& log = run.log;
  convert::Copier& copier = run.copier;
  const std::string& listName = run.firmListName;
  const std::string& sourceTree = run.options.sourceTree;

  log.Clear(false);
  log.WriteLn("ROZPOZNANIE ŚRODOWISKA PRACY DOR 2019"_pl);
  log.WriteLn();

  const std::string path = sourceTree + listName;
  SourceFirmList list(run.sharedFiles, path);
  // Read access, exclusive: the ledger program must not change the list meanwhile.
  list.SetOpenMode(tui::filemode::kRead | tui::filemode::kExclusive);
  if (!list.Open(tui::WaitMode::kQuick, tui::SharedFile::How::kOpenExisting)) {
    log.WriteLn(Join({"Błąd otwarcia/dostępu do pliku "_pl, path}));
    std::string text;
    text += tui::kCentre;
    text += "Brak dostępu do pliku"_pl;
    text += tui::kNewLine;
    text += tui::kCentre;
    text += path;
    tui::ErrorBox(run.screen, text);
    EndProgram(run);
  }

  std::int64_t records = 0;
  if (!list.Size(records)) {
    log.WriteLn(Join({"Błąd okreslenia długości pliku "_pl, listName}));
    list.Close();
    copier.WaitKey();
    EndProgram(run);
  }

  bool repair = false;
  // A torn last record is told where it lies, after the whole ones.
  auto reportTail = [&] {
    std::vector<std::uint8_t> tail = list.Tail(records);
    if (tail.empty()) return;
    std::string name = shared::RecordView(tail).Get(shared::kFirmName);
    log.Color(kWarning);
    log.WriteLn(Join({"Pominięto niepełny rekord firmy "_pl, Printable(name)}));
    repair = true;
  };

  if (records == 0) {
    reportTail();
    log.WriteLn(Join({"Zerowa długość pliku "_pl, listName}));
    list.Close();
    copier.WaitKey();
    EndProgram(run);
  }

  TargetFirmIndex target(run);
  bool targetUnreadableTold = false;
  bool stopped = false;
  shared::FirmRecordBytes record{};
  for (std::int64_t i = 0; i < records; ++i) {
    if (!list.ReadAt(i, record)) continue;
    shared::RecordView view(record);
    const std::string name = view.Get(shared::kFirmName);
    const std::string directory = view.Get(shared::kFirmDirectory);

    switch (PlaceOf(run, directory)) {
      case FirmPlace::kBadDirectory:
        log.Color(kWarning);
        log.WriteLn(Join({"Pominięto firmę "_pl, Printable(name), " - błędny katalog \""_pl,
                          Printable(directory), "\""}));
        repair = true;
        continue;
      case FirmPlace::kInTarget: {
        log.WriteLn(Join({"Odnaleziono katalog docelowy ", directory, " dla firmy ", name}));
        std::optional<bool> listed = target.Holds(directory);
        if (listed == false) {
          log.Color(kWarning);
          log.WriteLn(
              Join({"Niepełne przeniesienie "_pl, Printable(name), " (brak w "_pl, listName, ")"}));
        } else if (!listed && !targetUnreadableTold) {
          log.Color(kWarning);
          log.WriteLn(Join({"Nie sprawdzono docelowego ", listName, " - brak dostępu"_pl}));
          targetUnreadableTold = true;
        }
        continue;
      }
      case FirmPlace::kNoSource:
        log.WriteLn(Join({"Brak katalogu zródłowego    "_pl, directory, " dla firmy ", name}));
        repair = true;
        continue;
      case FirmPlace::kOffered:
        break;
    }
    // Only firms that would be listed count towards the limit.
    if (firms.Full()) {
      log.WriteLn(Join({"Przekroczona maksymalna ilość firm "_pl, std::to_string(kMaxFirms)}));
      stopped = true;
      break;
    }
    firms.Add(record);
  }
  if (!stopped) reportTail();
  list.Close();  // nothing was written; an error on closing changes nothing

  if (firms.Empty()) {
    log.WriteLn("Zerowa ilość odczytanych firm"_pl);
    copier.WaitKey();
  }
  if (repair) {
    log.WriteLn(Join({"Napraw plik ", listName, " !"}));
    copier.WaitKey();
  }
  return firms.Count();
}

}  // namespace zq::driver
