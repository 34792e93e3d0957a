// The four ways a file travels from the old installation into the new one: a text
// copy line by line, a byte copy, a record copy with an optional in-place filter and a
// record conversion from one record size to another. All four share the overwrite
// question, whose answer can be remembered for the rest of the run, and report every
// step and every failure on the progress log, so the caller simply goes on with its
// next step; the status each returns is there for counting.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "convert/answers.h"
#include "convert/copy_tally.h"
#include "convert/progress_log.h"
#include "platform/files.h"
#include "tui/screen.h"

namespace zq::convert {

class BufferedWriter;

// May change the record in place; true to have it written.
using RecordFilter = std::function<bool(std::span<std::uint8_t> record)>;
// Fills `out` (handed over zeroed) from `in`; true to have `out` written.
using RecordConverter =
    std::function<bool(std::span<const std::uint8_t> in, std::span<std::uint8_t> out)>;

// Log colours of the copy routines.
enum LogColour : std::uint8_t {
  kColourAnnounce = 9,
  kColourError = 12,
  kColourWarning = 14,
  kColourPrompt = 15,
};

// How a copy ended, for callers that keep count or act on it; everything has been
// shown on the log already.
enum class CopyStatus {
  kCopied,        // the target was written to the end of the source
  kNoSource,      // the source is missing or empty: nothing was done
  kKept,          // the existing target was kept on the user's answer
  kOpenFailed,    // the source could not be opened
  kCreateFailed,  // the target could not be created or opened
  kReadFailed,    // the target holds what was copied before the read error
  kWriteFailed,
  kCloseFailed,  // copied, but a file reported an error when closed
};

constexpr bool Failed(CopyStatus status) {
  return status >= CopyStatus::kOpenFailed;
}

class Copier {
 public:
  // Block size of the byte copy: measured fastest of 2 KiB to 1 MiB.
  static constexpr std::size_t kByteBlock = 64 * 1024;

  Copier(tui::Screen& screen, ProgressLog& log);

  // Run-wide state, kept from one call to the next and from firm to firm.
  // 0: ask about every existing target; 1: keep every one; -1: overwrite every one.
  std::int32_t overwriteMemory = 0;
  // Record copies and conversions extend an existing target instead of asking.
  bool appendMode = false;
  // 1 when a record copy starts, then one more after every read and every write of
  // it; filters may read it.
  std::int32_t recordCounter = 0;
  // A one-second pause after each finished copy, so the user can follow the log.
  bool showSlowly = false;
  // Where answers come from instead of the keyboard; none in an interactive run.
  AnswerSource* answers = nullptr;

  // Waits for a key with the cursor shown, drops any further keys already waiting
  // and returns the character of the first (0 for keys without one).
  char WaitKey();
  void SlowPause();
  // Size of the file of that name, 0 when there is none (a directory counts as none).
  std::int64_t FileSizeOf(std::string_view name);
  bool DirExists(std::string_view path);
  // True to keep the existing file, false to overwrite it.
  bool AskOverwrite(std::string_view name);
  // One key answering the question just shown on the log, from the keyboard or the
  // answer source; the answer goes to the log's sinks.
  char Ask(Question question);

  // Each told to `tally` when one listens: what was read, written, dropped, copied or
  // found missing.
  CopyStatus CopyTextFile(std::string_view source, std::string_view target);
  CopyStatus CopyFileBytes(std::string_view source, std::string_view target);
  CopyStatus CopyRecords(std::string_view source, std::string_view target, std::uint16_t size,
                         const RecordFilter& filter);
  CopyStatus ConvertRecords(std::string_view source, std::string_view target, std::uint16_t inSize,
                            std::uint16_t outSize, const RecordConverter& converter);
  CopyTally* tally = nullptr;

  ProgressLog& Log() { return log_; }

 private:
  // The source's open failure is shown here, the key wait is the caller's; a target
  // that cannot be opened is reported by the caller, whose wording differs.
  std::unique_ptr<platform::File> OpenSource(std::string_view source);
  // `present`: the target exists and is not empty.
  std::unique_ptr<platform::File> OpenTarget(std::string_view source, std::string_view target,
                                             bool present, bool append);
  // The steps the record routines share up to the opened target; false when the
  // routine ends there (with `status` set), everything shown that should be.
  bool OpenRecordFiles(std::string_view source, std::string_view target, std::int64_t& sourceSize,
                       std::unique_ptr<platform::File>& in, std::unique_ptr<platform::File>& out,
                       CopyStatus& status);
  // A warning line when the source ends inside a record.
  void WarnShortLastRecord(std::string_view source, std::int64_t sourceSize, std::uint16_t size);
  // The end the record routines share: the buffered records flushed (a failure then,
  // or `writeFailed`, is shown as the write error), both files closed, the slow pause.
  CopyStatus FinishRecords(BufferedWriter& writer, bool writeFailed,
                           std::unique_ptr<platform::File>& in, std::string_view source,
                           std::unique_ptr<platform::File>& out, std::string_view target,
                           CopyStatus status);
  // Closes both, showing close errors; a copy that went well becomes kCloseFailed.
  CopyStatus CloseBoth(std::unique_ptr<platform::File>& in, std::string_view source,
                       std::unique_ptr<platform::File>& out, std::string_view target,
                       CopyStatus status);

  // The primitives themselves; the public ones count around them.
  CopyStatus CopyTextFileUncounted(std::string_view source, std::string_view target);
  CopyStatus CopyFileBytesUncounted(std::string_view source, std::string_view target);
  CopyStatus CopyRecordsUncounted(std::string_view source, std::string_view target,
                                  std::uint16_t size, const RecordFilter& filter);
  CopyStatus ConvertRecordsUncounted(std::string_view source, std::string_view target,
                                     std::uint16_t inSize, std::uint16_t outSize,
                                     const RecordConverter& converter);
  // Reports one finished primitive to the tally, from what the record routines measured.
  CopyStatus Tell(CopyStatus status, std::string_view target, std::uint16_t inSize,
                  std::uint16_t outSize);

  tui::Screen& screen_;
  ProgressLog& log_;
  // Room the routines reuse from file to file rather than allocate for each.
  std::vector<std::uint8_t> block_, readRoom_, writeRoom_, recordIn_, recordOut_;
  // What the last record routine found out on its way, so the tally asks the host again
  // only for what it could not know: the sizes before the copy and the bytes written.
  struct Measured {
    std::int64_t sourceSize = 0;
    std::int64_t targetBefore = 0;
    std::uint64_t written = 0;
    bool writtenKnown = false;  // every write went through
  };
  Measured measured_;
};

}  // namespace zq::convert
