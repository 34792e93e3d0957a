#include "shared/ini.h"

#include <charconv>
#include <optional>
#include <utility>

#include "platform/text_file.h"
#include "tui/polish.h"

namespace zq::shared {

namespace {

using platform::File;

bool Blank(char c) {
  return static_cast<unsigned char>(c) <= 0x20;
}

std::string_view TrimEnd(std::string_view text) {
  while (!text.empty() && Blank(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && Blank(text.front())) text.remove_prefix(1);
  return TrimEnd(text);
}

// The value of a line whose key is `upperKey`, or nullopt when the line holds another key
// or none. Only the line's ends are trimmed, so "KEY =x" is not the key KEY.
std::optional<std::string_view> ValueFor(std::string_view line, std::string_view upperKey) {
  std::string_view text = Trim(line);
  std::size_t eq = text.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  // Every key looked up is compared with every line: without a copy of either.
  if (!tui::SameUpper(text.substr(0, eq), upperKey)) return std::nullopt;
  return text.substr(eq + 1);
}

std::string Sanitize(std::string_view value) {
  std::string out(value);
  for (char& c : out)
    if (c == '\r' || c == '\n' || c == '\x1A') c = ' ';
  return out;
}

// Other programs read the file through the host's cache as soon as the lock is given
// back, so it is not flushed to disk: the file that decides whether a firm's data counts
// as carried is the firm list, and that one is.
bool RewriteWhole(File& file, std::string_view bytes, int& error) {
  std::int64_t position = 0;
  return file.Seek(0, platform::Whence::kBegin, position, error) &&
         platform::WriteAll(file, bytes.data(), bytes.size(), error) && file.Truncate(error);
}

}  // namespace

IniFile::~IniFile() {
  Close();
}

void IniFile::Reset() {
  file_.reset();
  open_ = locked_ = modified_ = false;
  locks_ = nullptr;
  mode_ = Mode::kRead;
  original_.clear();
  sections_.clear();
}

FileStatus IniFile::Open(platform::Files& files, std::string_view path, Mode mode,
                         const IniOptions& options) {
  Close();
  if (path.size() > kMaxFileName) return {platform::kErrFilenameTooLong};
  int error = 0;
  sections_.push_back(Section{});
  mode_ = mode;
  if (mode == Mode::kRead) {
    std::unique_ptr<File> file = files.Open(path, platform::kRead, platform::kShareReadWrite,
                                            platform::Disposition::kOpenExisting, error);
    if (!file) {
      if (error == platform::kErrFileNotFound || error == platform::kErrPathNotFound) {
        open_ = true;
        return {};
      }
      Reset();
      return {error};
    }
    FileStatus status = Load(*file);
    int closeError = 0;
    file->Close(closeError);
    if (!status) {
      Reset();
      return status;
    }
    open_ = true;
    return {};
  }

  file_ = files.Open(path, platform::kReadWrite, platform::kShareReadWrite,
                     platform::Disposition::kOpenAlways, error);
  if (!file_) {
    Reset();
    return {error};
  }
  if (options.locks != nullptr) {
    if (!options.locks->LockTextFile(*file_, error)) {
      int closeError = 0;
      file_->Close(closeError);
      Reset();
      return {error};
    }
    locked_ = true;
    locks_ = options.locks;
  }
  FileStatus status = Load(*file_);
  std::int64_t position = 0;
  if (status) {
    // The bytes as they are, to put back if the rewrite fails half way.
    if (!file_->Seek(0, platform::Whence::kBegin, position, error)) status = {error};
    char buffer[16 * 1024];
    for (std::size_t got = 0; status;) {
      if (!file_->Read(buffer, sizeof buffer, got, error)) status = {error};
      if (got == 0) break;
      original_.append(buffer, got);
    }
  }
  if (!status) {
    int ignored = 0;
    if (locked_) locks_->UnlockTextFile(*file_, ignored);
    file_->Close(ignored);
    Reset();
    return status;
  }
  open_ = true;
  return {};
}

FileStatus IniFile::Load(File& file) {
  platform::TextReader reader(file);
  std::string line;
  while (reader.ReadLine(line)) {
    std::string_view text = Trim(line);
    if (text.empty()) continue;
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
      Section section;
      section.named = true;
      section.name = text.substr(1, text.size() - 2);
      section.upperName = tui::UpperText(section.name);
      section.header = line;
      sections_.push_back(std::move(section));
      continue;
    }
    sections_.back().lines.push_back(line);
  }
  if (reader.Failed()) return {reader.Error() ? reader.Error() : platform::kErrReadFault};
  return {};
}

FileStatus IniFile::Close() {
  if (!open_) return {};
  FileStatus status;
  if (file_) {
    if (mode_ == Mode::kWrite && modified_) status = Save();
    int error = 0;
    if (locked_ && !locks_->UnlockTextFile(*file_, error) && status) status = {error};
    if (!file_->Close(error) && status) status = {error};
  }
  Reset();
  return status;
}

FileStatus IniFile::Save() {
  std::string bytes = Serialize();
  int error = 0;
  if (RewriteWhole(*file_, bytes, error)) return {};
  // A full disk or a failing medium: the old contents fit where they were, so put them
  // back rather than leave half a file.
  int ignored = 0;
  RewriteWhole(*file_, original_, ignored);
  return {error ? error : platform::kErrWriteFault};
}

std::string IniFile::Serialize() const {
  std::string out;
  auto line = [&](std::string_view text) {
    out += text;
    out += "\r\n";
  };
  for (const Section& section : sections_) {
    if (!section.named && section.lines.empty()) continue;
    if (section.named) line(section.header);
    for (const std::string& text : section.lines) line(text);
    line("");
  }
  return out;
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
  std::string upper = tui::UpperText(name);
  for (const Section& section : sections_)
    if (section.named && section.upperName == upper) return &section;
  return nullptr;
}

IniFile::Section* IniFile::FindSection(std::string_view name) {
  return const_cast<Section*>(std::as_const(*this).FindSection(name));
}

int IniFile::FindKey(const Section& section, std::string_view key) {
  std::string upper = tui::UpperText(key);
  for (std::size_t i = 0; i < section.lines.size(); ++i)
    if (ValueFor(section.lines[i], upper)) return static_cast<int>(i);
  return -1;
}

const std::string* IniFile::FindValueLine(std::string_view section, std::string_view key) const {
  const Section* found = FindSection(section);
  if (!found) return nullptr;
  int index = FindKey(*found, key);
  return index < 0 ? nullptr : &found->lines[static_cast<std::size_t>(index)];
}

std::string IniFile::ReadText(std::string_view section, std::string_view key,
                              std::string_view defaultValue) const {
  const std::string* line = FindValueLine(section, key);
  if (!line) return std::string(defaultValue);
  // A carriage return inside a line (the line reader ends lines only at LF) is read as
  // the blank it becomes when written, so a value read and written back is unchanged.
  return Sanitize(*ValueFor(*line, tui::UpperText(key)));
}

char IniFile::ReadChar(std::string_view section, std::string_view key, char defaultValue) const {
  std::string value = ReadText(section, key);
  return value.empty() ? defaultValue : value.front();
}

std::int32_t IniFile::ReadInteger(std::string_view section, std::string_view key,
                                  std::int32_t defaultValue) const {
  const std::string* line = FindValueLine(section, key);
  if (!line) return defaultValue;
  std::string_view value = *ValueFor(*line, tui::UpperText(key));
  // from_chars takes a "-" but not a "+".
  if (value.size() > 1 && value.front() == '+' && value[1] != '-') value.remove_prefix(1);
  std::int32_t number = 0;
  auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
  if (ec != std::errc() || end != value.data() + value.size() || value.empty()) return defaultValue;
  return number;
}

bool IniFile::ReadYesNo(std::string_view section, std::string_view key, bool defaultValue) const {
  std::string value = tui::UpperText(ReadText(section, key));
  if (value == "NIE") return false;
  if (value == "TAK") return true;
  return defaultValue;
}

void IniFile::WriteText(std::string_view section, std::string_view key, std::string_view value) {
  std::string line = std::string(key) + "=" + Sanitize(value);
  Section* found = FindSection(section);
  if (!found) {
    Section added;
    added.named = true;
    added.name = section;
    added.upperName = tui::UpperText(section);
    added.header = "[" + std::string(section) + "]";
    sections_.push_back(std::move(added));
    found = &sections_.back();
  }
  int index = FindKey(*found, key);
  if (index < 0) {
    found->lines.push_back(std::move(line));
    modified_ = true;
    return;
  }
  std::string& existing = found->lines[static_cast<std::size_t>(index)];
  // Blanks at the end of a line do not read back, so a value that differs only by them
  // (a blank character) is no change.
  std::string_view wanted = TrimEnd(std::string_view(line).substr(key.size() + 1));
  if (*ValueFor(existing, tui::UpperText(key)) == wanted) return;
  existing = std::move(line);
  modified_ = true;
}

void IniFile::WriteChar(std::string_view section, std::string_view key, char value) {
  WriteText(section, key, std::string_view(&value, 1));
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
  WriteText(section, key, std::to_string(value));
}

void IniFile::WriteYesNo(std::string_view section, std::string_view key, bool value) {
  WriteText(section, key, value ? "TAK" : "NIE");
}

}  // namespace zq::shared
