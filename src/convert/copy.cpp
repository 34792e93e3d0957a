#include "convert/copy.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

#include "convert/buffered_io.h"
#include "platform/cp852.h"

namespace zq::convert {

using zq::operator""_pl;

namespace {

using platform::Disposition;
using platform::File;

// Short enough that a key feels answered at once, long enough not to spin.
constexpr int kKeyPollMs = 20;
constexpr int kSlowPauseMs = 1000;

std::string Concat(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view part : parts) out += part;
  return out;
}

char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Closes a file; a file that is already gone counts as closed.
bool CloseFile(std::unique_ptr<File>& file) {
  if (!file) return true;
  int error = 0;
  bool ok = file->Close(error);
  file.reset();
  return ok;
}

enum class Outcome { kDone, kReadFailed, kWriteFailed };

// Carries the lines of a text whole, whatever their length, without holding more than
// the reader's buffer: the CR of a CR LF and a lone LF both end a line, every line is
// written with CR LF, a 0x1A byte ends the text and a last line without a line end
// gets one. A CR followed by anything else is data and is carried as it is.
Outcome CopyTextLines(BufferedReader& in, BufferedWriter& out) {
  static constexpr std::uint8_t kCr = '\r', kLf = '\n', kEndOfText = 0x1A;
  static constexpr char kLineEnd[] = "\r\n";
  int error = 0;
  bool pendingCr = false;  // a CR that may be the start of a line end
  bool lineOpen = false;   // bytes written since the last line end
  auto special = [](std::uint8_t b) { return b == kCr || b == kLf || b == kEndOfText; };
  auto flushCr = [&]() {
    if (!pendingCr) return true;
    pendingCr = false;
    lineOpen = true;
    return out.Write(&kCr, 1, error);
  };
  for (bool ended = false; !ended;) {
    std::span<const std::uint8_t> bytes;
    if (!in.Peek(bytes, error)) return Outcome::kReadFailed;
    if (bytes.empty()) break;
    std::size_t i = 0;
    while (i < bytes.size()) {
      const std::uint8_t* start = bytes.data() + i;
      const std::uint8_t* stop = std::find_if(start, bytes.data() + bytes.size(), special);
      if (stop != start) {
        if (!flushCr() || !out.Write(start, static_cast<std::size_t>(stop - start), error))
          return Outcome::kWriteFailed;
        lineOpen = true;
      }
      i = static_cast<std::size_t>(stop - bytes.data());
      if (i == bytes.size()) break;
      std::uint8_t c = bytes[i++];
      if (c == kCr) {
        if (!flushCr()) return Outcome::kWriteFailed;
        pendingCr = true;
      } else if (c == kLf) {
        pendingCr = false;
        lineOpen = false;
        if (!out.Write(kLineEnd, 2, error)) return Outcome::kWriteFailed;
      } else {
        ended = true;
        break;
      }
    }
    in.Consume(i);
  }
  if (lineOpen && !out.Write(kLineEnd, 2, error)) return Outcome::kWriteFailed;
  return Outcome::kDone;
}

}  // namespace

Copier::Copier(tui::Screen& screen, ProgressLog& log) : screen_(screen), log_(log) {}

char Copier::WaitKey() {
  // Nobody is at the keyboard of an unattended run: the answer source goes on for them.
  if (answers) return Ask(Question::kKeyWait);
  platform::Console& console = screen_.Console();
  screen_.PlaceCursor(log_.Column(), log_.Row());
  screen_.ShowNormalCursor();
  screen_.Flush();
  platform::InputEvent event;
  char key = 0;
  for (;;) {
    if (console.PollEvent(event)) {
      if (event.kind != platform::InputEvent::Kind::Key) continue;
      key = static_cast<char>(event.key.ch);
      break;
    }
    screen_.Process().Sleep(kKeyPollMs);
  }
  // An extended key's second code and keys typed ahead must not answer the next wait.
  while (console.PendingEvents() > 0 && console.PollEvent(event)) {
  }
  screen_.HideCursor();
  return key;
}

void Copier::SlowPause() {
  if (!showSlowly) return;
  screen_.Flush();
  screen_.Process().Sleep(kSlowPauseMs);
}

std::int64_t Copier::FileSizeOf(std::string_view name) {
  std::uint32_t attributes = 0;
  std::int64_t size = 0;
  if (!screen_.Files().GetAttributes(name, attributes, size)) return 0;
  if (attributes & platform::kAttrDirectory) return 0;
  return std::max<std::int64_t>(size, 0);
}

bool Copier::DirExists(std::string_view path) {
  std::uint32_t attributes = 0;
  std::int64_t size = 0;
  return screen_.Files().GetAttributes(path, attributes, size) &&
         (attributes & platform::kAttrDirectory) != 0;
}

bool Copier::AskOverwrite(std::string_view name) {
  if (overwriteMemory == 1) return true;
  if (overwriteMemory == -1) return false;
  log_.AlertLn(kColourError, Concat({"Stwierdzono obecność pliku "_pl, name}));
  log_.Color(kColourWarning);
  log_.WriteLn(" W-wykonaj kopiownie (zastępując) [A-i wszystkie następne]  "_pl);
  log_.WriteLn(" Z-zostaw plik                    [N-i wszystkie następne] ?"_pl);
  log_.Color(kColourPrompt);
  log_.Write("---->  Z(n)/W(a)");
  for (;;) {
    switch (AsciiUpper(Ask(Question::kOverwrite))) {
      case 'A':
        log_.WriteLn();
        overwriteMemory = -1;
        return false;
      case 'N':
        log_.WriteLn();
        overwriteMemory = 1;
        return true;
      case 'W':
        log_.WriteLn();
        return false;
      case 'Z':
        log_.WriteLn();
        return true;
      default:
        break;
    }
  }
}

CopyStatus Copier::CopyTextFileUncounted(std::string_view source, std::string_view target) {
  if (FileSizeOf(source) < 1) return CopyStatus::kNoSource;
  std::unique_ptr<File> in = OpenSource(source);
  if (!in) {
    WaitKey();
    return CopyStatus::kOpenFailed;
  }
  bool present = FileSizeOf(target) >= 1;
  if (present && AskOverwrite(target)) {
    CloseFile(in);
    return CopyStatus::kKept;
  }
  std::unique_ptr<File> out = OpenTarget(source, target, present, false);
  if (!out) {
    log_.AlertLn(kColourError, Concat({"Błąd utworzenia pliku "_pl, target}));
    WaitKey();
    CloseFile(in);
    return CopyStatus::kCreateFailed;
  }
  log_.Color(kColourAnnounce);
  log_.WriteLn(Concat({"Kopiuję plik "_pl, source}));

  BufferedReader reader(*in, readRoom_);
  BufferedWriter writer(*out, writeRoom_);
  Outcome outcome = CopyTextLines(reader, writer);
  // What was copied before a read error stays in the target.
  int error = 0;
  bool flushed = writer.Flush(error);
  CopyStatus status = CopyStatus::kCopied;
  if (outcome == Outcome::kReadFailed) {
    log_.AlertLn(kColourError, Concat({"Błąd odczytu z pliku "_pl, source}));
    status = CopyStatus::kReadFailed;
  }
  if (outcome == Outcome::kWriteFailed || !flushed) {
    log_.AlertLn(kColourError, Concat({"Błąd zapisu do pliku "_pl, target}));
    if (status == CopyStatus::kCopied) status = CopyStatus::kWriteFailed;
  }
  CloseFile(in);
  CloseFile(out);
  return status;
}

std::unique_ptr<File> Copier::OpenSource(std::string_view source) {
  int error = 0;
  std::unique_ptr<File> in = screen_.Files().Open(
      source, platform::kRead, platform::kShareReadWrite, Disposition::kOpenExisting, error);
  if (!in) log_.AlertLn(kColourError, Concat({"Błąd otwarcia pliku "_pl, source}));
  return in;
}

std::unique_ptr<File> Copier::OpenTarget(std::string_view source, std::string_view target,
                                         bool present, bool append) {
  // A target that is the source under another spelling would be cut (or, appended to,
  // would grow as fast as it is read) before it is copied: it counts as not creatable.
  // Only a target that is there can be the source.
  if (present && screen_.Files().SameObject(source, target)) return nullptr;
  int error = 0;
  std::unique_ptr<File> out =
      screen_.Files().Open(target, platform::kWrite, platform::kShareRead,
                           append ? Disposition::kOpenExisting : Disposition::kCreateAlways, error);
  std::int64_t end = 0;
  if (out && append && !out->Seek(0, platform::Whence::kEnd, end, error)) CloseFile(out);
  return out;
}

CopyStatus Copier::CloseBoth(std::unique_ptr<File>& in, std::string_view source,
                             std::unique_ptr<File>& out, std::string_view target,
                             CopyStatus status) {
  bool closed = true;
  if (!CloseFile(in)) {
    log_.AlertLn(kColourError, Concat({"Błąd zamknięcia zbioru "_pl, source}));
    WaitKey();
    closed = false;
  }
  if (!CloseFile(out)) {
    log_.AlertLn(kColourError, Concat({"Błąd zamknięcia zbioru "_pl, target}));
    WaitKey();
    closed = false;
  }
  return status == CopyStatus::kCopied && !closed ? CopyStatus::kCloseFailed : status;
}

CopyStatus Copier::CopyFileBytesUncounted(std::string_view source, std::string_view target) {
  std::int64_t size = FileSizeOf(source);
  if (size < 1) return CopyStatus::kNoSource;
  bool present = FileSizeOf(target) >= 1;
  if (present && AskOverwrite(target)) return CopyStatus::kKept;
  std::unique_ptr<File> in = OpenSource(source);
  if (!in) {
    WaitKey();
    return CopyStatus::kOpenFailed;
  }
  std::unique_ptr<File> out = OpenTarget(source, target, present, false);
  if (!out) {
    log_.AlertLn(kColourError, Concat({"Błąd Utworzenia pliku "_pl, target}));
    CloseFile(in);
    WaitKey();
    return CopyStatus::kCreateFailed;
  }
  log_.Color(kColourAnnounce);
  log_.WriteLn(Concat({"Kopiuję "_pl, source, "  ", std::to_string(size), " bytów..."_pl}));

  if (block_.size() < kByteBlock) block_.resize(kByteBlock);
  CopyStatus status = CopyStatus::kCopied;
  int error = 0;
  std::uint64_t done = 0;
  platform::CopyFault fault = platform::CopyFault::kNone;
  // To the end of the source, however much it has grown since its size was shown.
  if (!in->CopyTo(*out, std::numeric_limits<std::uint64_t>::max(), block_, done, fault, error)) {
    const bool reading = fault == platform::CopyFault::kRead;
    log_.AlertLn(kColourError, reading ? "Błąd odczytu danych"_pl : "Błąd zapisu danych"_pl);
    WaitKey();
    status = reading ? CopyStatus::kReadFailed : CopyStatus::kWriteFailed;
  }
  status = CloseBoth(in, source, out, target, status);
  SlowPause();
  return status;
}

CopyStatus Copier::FinishRecords(BufferedWriter& writer, bool writeFailed,
                                 std::unique_ptr<File>& in, std::string_view source,
                                 std::unique_ptr<File>& out, std::string_view target,
                                 CopyStatus status) {
  // Records held in the buffer are written out before the files close, and a failure
  // then is the write error it is.
  int error = 0;
  const bool flushed = writer.Flush(error);
  measured_.written = writer.Written();
  measured_.writtenKnown = flushed && !writeFailed;
  if (!flushed || writeFailed) {
    log_.AlertLn(kColourError, "Błąd zapisu danych"_pl);
    WaitKey();
    if (status == CopyStatus::kCopied) status = CopyStatus::kWriteFailed;
  }
  status = CloseBoth(in, source, out, target, status);
  SlowPause();
  return status;
}

bool Copier::OpenRecordFiles(std::string_view source, std::string_view target,
                             std::int64_t& sourceSize, std::unique_ptr<File>& in,
                             std::unique_ptr<File>& out, CopyStatus& status) {
  sourceSize = FileSizeOf(source);
  if (sourceSize < 1) {
    log_.AlertLn(kColourWarning, Concat({"Brak pliku źródłowego "_pl, source}));
    SlowPause();
    status = CopyStatus::kNoSource;
    return false;
  }
  bool append = false;
  measured_.sourceSize = sourceSize;
  measured_.targetBefore = FileSizeOf(target);
  bool present = measured_.targetBefore >= 1;
  if (present) {
    if (appendMode) {
      append = true;
    } else if (AskOverwrite(target)) {
      status = CopyStatus::kKept;
      return false;
    }
  }
  in = OpenSource(source);
  if (!in) {
    WaitKey();
    status = CopyStatus::kOpenFailed;
    return false;
  }
  out = OpenTarget(source, target, present, append);
  if (!out) {
    log_.AlertLn(kColourError, Concat({"Błąd Utworzenia pliku "_pl, target}));
    CloseFile(in);
    WaitKey();
    status = CopyStatus::kCreateFailed;
    return false;
  }
  return true;
}

void Copier::WarnShortLastRecord(std::string_view source, std::int64_t sourceSize,
                                 std::uint16_t size) {
  // The short record is still carried (a conversion sees it padded with zeros), but the
  // user should know the file ends inside a record.
  const std::int64_t rest = sourceSize % size;
  if (rest == 0) return;
  log_.AlertLn(kColourWarning, Concat({"Niepełny ostatni rekord ("_pl, std::to_string(rest), " z ",
                                       std::to_string(size), " bajtów) w "_pl, source}));
}

CopyStatus Copier::CopyRecordsUncounted(std::string_view source, std::string_view target,
                                        std::uint16_t size, const RecordFilter& filter) {
  recordCounter = 1;
  std::int64_t sourceSize = 0;
  std::unique_ptr<File> in, out;
  // A record size of 0 would never reach the end of the source.
  if (size == 0) return CopyStatus::kNoSource;
  CopyStatus status = CopyStatus::kCopied;
  if (!OpenRecordFiles(source, target, sourceSize, in, out, status)) return status;
  WarnShortLastRecord(source, sourceSize, size);
  std::vector<std::uint8_t>& record = recordIn_;
  record.resize(size);
  log_.Color(kColourAnnounce);
  log_.WriteLn(
      Concat({"Kopiuje "_pl, source, "  ", std::to_string(sourceSize / size), " pozycji ..."}));

  BufferedReader reader(*in, readRoom_);
  BufferedWriter writer(*out, writeRoom_);
  int error = 0;
  bool writeFailed = false;
  for (;;) {
    std::size_t got = 0;
    bool read = reader.Read(record.data(), record.size(), got, error);
    ++recordCounter;
    if (!read) {
      log_.AlertLn(kColourError, "Błąd odczytu danych"_pl);
      WaitKey();
      status = CopyStatus::kReadFailed;
      break;
    }
    // A short last record must not carry bytes of the record before it.
    std::fill(record.begin() + static_cast<std::ptrdiff_t>(got), record.end(), 0);
    if (got == 0) break;
    if (filter && !filter(std::span<std::uint8_t>(record))) continue;
    bool written = writer.Write(record.data(), got, error);
    ++recordCounter;
    if (!written) {
      writeFailed = true;
      break;
    }
  }
  return FinishRecords(writer, writeFailed, in, source, out, target, status);
}

CopyStatus Copier::ConvertRecordsUncounted(std::string_view source, std::string_view target,
                                           std::uint16_t inSize, std::uint16_t outSize,
                                           const RecordConverter& converter) {
  std::int64_t sourceSize = 0;
  std::unique_ptr<File> in, out;
  if (inSize == 0) return CopyStatus::kNoSource;
  CopyStatus status = CopyStatus::kCopied;
  if (!OpenRecordFiles(source, target, sourceSize, in, out, status)) return status;
  WarnShortLastRecord(source, sourceSize, inSize);
  std::vector<std::uint8_t>& input = recordIn_;
  std::vector<std::uint8_t>& output = recordOut_;
  input.resize(inSize);
  output.resize(outSize);
  log_.Color(kColourAnnounce);
  log_.WriteLn(
      Concat({"Kopiuje "_pl, source, "  ", std::to_string(sourceSize / inSize), " pozycji ..."}));
  SlowPause();

  BufferedReader reader(*in, readRoom_);
  BufferedWriter writer(*out, writeRoom_);
  int error = 0;
  bool writeFailed = false;
  for (;;) {
    std::size_t got = 0;
    if (!reader.Read(input.data(), input.size(), got, error)) {
      log_.AlertLn(kColourError, "Błąd odczytu danych"_pl);
      WaitKey();
      status = CopyStatus::kReadFailed;
      break;
    }
    if (got == 0) break;
    // A short last record is seen padded with zeros, not with the record before it.
    std::fill(input.begin() + static_cast<std::ptrdiff_t>(got), input.end(), 0);
    if (!converter) continue;
    // Every output record starts zeroed, so no field of the record before leaks into it.
    std::fill(output.begin(), output.end(), 0);
    if (!converter(std::span<const std::uint8_t>(input), std::span<std::uint8_t>(output))) continue;
    if (!writer.Write(output.data(), output.size(), error)) {
      writeFailed = true;
      break;
    }
  }
  return FinishRecords(writer, writeFailed, in, source, out, target, status);
}

}  // namespace zq::convert
