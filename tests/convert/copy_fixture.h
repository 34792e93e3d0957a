// A headless screen, the progress log and a Copier over real files in a temporary
// directory, with fault injection in between and a sink that records the log.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/copy.h"
#include "convert/progress_log.h"
#include "platform/cp852.h"
#include "support/faulty_files.h"
#include "support/test_env.h"
#include "tui/screen.h"
#include "tui/shared_file.h"

namespace zq::test {

// The log as lines of "colour|text" in UTF-8, one entry per piece written.
class RecordingSink : public convert::LogSink {
 public:
  void OnWrite(std::string_view text, std::uint8_t colour) override {
    current_ += std::to_string(colour) + "|" + Cp852ToUtf8(text);
  }
  void OnLineEnd() override {
    lines_.push_back(current_);
    current_.clear();
  }
  const std::vector<std::string>& Lines() const { return lines_; }
  const std::string& Pending() const { return current_; }
  void Reset() {
    lines_.clear();
    current_.clear();
  }

 private:
  std::vector<std::string> lines_;
  std::string current_;
};

class CopyFixture : public ::testing::Test {
 protected:
  CopyFixture() { log.AddSink(&sink); }

  std::string Path(const std::string& name) const { return dir.Prefix() + name; }
  // A target on a full disk: its first write fails, nothing put.
  std::string FullDisk() {
    files.Plan(Path("full"), {.writeFailsAfter = 0, .error = platform::kErrDiskFull});
    return Path("full");
  }
  // Screen row 1..25 in UTF-8 without trailing blanks.
  std::string Row(int row) const {
    std::string text = rig.console.RowText(row - 1);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
  }
  // Attribute of the cell at 1-based column and row.
  std::uint8_t AttrAt(int column, int row) const {
    return rig.console.At(column - 1, row - 1).attr;
  }
  void Write(const std::string& name, std::string_view bytes) { WriteFile(dir / name, bytes); }
  std::string Read(const std::string& name) const { return ReadFile(dir / name); }
  bool Exists(const std::string& name) const { return std::filesystem::exists(dir / name); }
  // A key for the next wait; keys left over show that no wait came.
  void Key(char c) { rig.console.PushKey(static_cast<std::uint8_t>(c)); }
  std::size_t KeysLeft() const { return rig.console.ScriptLeft(); }

  TempDir dir;
  HeadlessRig rig;
  FaultyFiles files{*rig.files};
  platform::Platform platform{rig.console, files, rig.process};
  tui::Screen screen{platform};
  convert::ProgressLog log{screen};
  convert::Copier copier{screen, log};
  tui::SharedFiles sharedFiles{screen};
  RecordingSink sink;
};

// Bytes 0, 1, 2, ... of the given length.
inline std::string Pattern(std::size_t size, unsigned seed = 0) {
  std::string out(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    out[i] = static_cast<char>((i * 7 + seed * 13 + i / 251) & 0xFF);
  return out;
}

}  // namespace zq::test
