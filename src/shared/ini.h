// The INI file object of the ledger program's text data: sections of "key=value" lines,
// looked up without regard to case (Polish letters included), written back with CR LF.
// Lines the program does not ask about stay in the file as they were.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/process.h"
#include "tui/shared_file.h"

namespace zq::shared {

// Outcome of a file operation: the platform error code (platform::FileError) or 0.
struct FileStatus {
  int error = platform::kErrNone;
  bool Ok() const { return error == platform::kErrNone; }
  explicit operator bool() const { return Ok(); }
};

// Longest file name the program handles; a longer one is refused, never cut.
inline constexpr std::size_t kMaxFileName = 255;

// A writer locks the file's first byte through the shared record files (which wait
// quietly for another workstation's writer, and take no lock with sharing off).
// Without them, as in a single-user tool or a test, no lock is taken.
struct IniOptions {
  tui::SharedFiles* locks = nullptr;
};

class IniFile {
 public:
  enum class Mode { kRead, kWrite };

  IniFile() = default;
  ~IniFile();
  IniFile(const IniFile&) = delete;
  IniFile& operator=(const IniFile&) = delete;

  // Reading: a missing file gives an empty object (every read its default) and
  // succeeds; the file is read whole and closed at once. Writing: a missing file is
  // created, the file stays open and locked until Close. On failure the object stays
  // closed and empty.
  FileStatus Open(platform::Files& files, std::string_view path, Mode mode,
                  const IniOptions& options = {});
  // Rewrites the file when it was opened for writing and something changed, then
  // unlocks and closes it. When the rewrite fails the previous contents are put back
  // as far as the host lets us, and the error is returned.
  FileStatus Close();

  bool IsOpen() const { return open_; }
  bool ReadOnly() const { return mode_ == Mode::kRead; }
  bool Modified() const { return modified_; }

  // Values are the text after the first "=" of the key's line. Missing section or key
  // gives the default.
  std::string ReadText(std::string_view section, std::string_view key,
                       std::string_view defaultValue = {}) const;
  // First character of the value; the default when the value is empty.
  char ReadChar(std::string_view section, std::string_view key, char defaultValue) const;
  // Decimal with an optional sign; the default for anything else or a value outside
  // the 32-bit range.
  std::int32_t ReadInteger(std::string_view section, std::string_view key,
                           std::int32_t defaultValue) const;
  // "TAK" true, "NIE" false (any case), anything else the default.
  bool ReadYesNo(std::string_view section, std::string_view key, bool defaultValue) const;

  // A missing section is added at the end, a missing key at the end of its section, a
  // differing value replaces its line by key=value; only a change marks the object
  // modified. Line breaks and end-of-text bytes in a value become blanks: they would
  // split the line and let the value add keys or sections of its own.
  void WriteText(std::string_view section, std::string_view key, std::string_view value);
  void WriteChar(std::string_view section, std::string_view key, char value);
  void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
  void WriteYesNo(std::string_view section, std::string_view key, bool value);

  // The file as Close would write it.
  std::string Serialize() const;

 private:
  struct Section {
    bool named = false;  // the first section holds the lines before any header
    std::string name;
    std::string upperName;
    std::string header;              // the header line as it was read
    std::vector<std::string> lines;  // as read, blank lines dropped
  };

  void Reset();
  FileStatus Load(platform::File& file);
  const Section* FindSection(std::string_view name) const;
  Section* FindSection(std::string_view name);
  // Index of the key's line, or -1.
  static int FindKey(const Section& section, std::string_view key);
  const std::string* FindValueLine(std::string_view section, std::string_view key) const;
  FileStatus Save();

  std::unique_ptr<platform::File> file_;
  Mode mode_ = Mode::kRead;
  bool open_ = false;
  bool locked_ = false;
  tui::SharedFiles* locks_ = nullptr;
  bool modified_ = false;
  std::string original_;  // the file's bytes at open, to put back after a failed rewrite
  std::vector<Section> sections_;
};

}  // namespace zq::shared
