// The run journal: everything the progress log is given, every answer to a question,
// every message box, and the run's own marks, as UTF-8 lines ended by CR LF, each
// headed by the local time. Lines are kept in memory and appended to the file at each
// firm's end and at the end of the run, so a run that is killed leaves the journal of
// its whole firms; several runs may share one file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "convert/progress_log.h"
#include "platform/files.h"
#include "platform/process.h"

namespace zq::driver {

class Journal : public convert::LogSink {
 public:
  Journal(platform::Files& files, platform::Process& process, std::string path);

  const std::string& Path() const { return path_; }
  // Whether the file can be opened for appending (it is made when missing).
  bool Usable();

  void OnWrite(std::string_view text, std::uint8_t colour) override;
  void OnLineEnd() override;
  void OnAnswer(std::string_view answer) override;

  // A line of the journal only, code page 852.
  void Note(std::string_view text);
  // Ends the log's line still open (a prompt), so that what follows comes after it.
  void EndOpenLine() {
    if (lineOpen_) OnLineEnd();
  }
  // A message box or question window and the answer given to it.
  void NoteDialog(std::string_view text, std::string_view answer);

  // Appends the lines kept since the last flush, a line still open included only at
  // the end of the run; false when the file could not be written (the lines stay kept).
  bool Flush(bool final = false);

 private:
  void Keep(std::string_view cp852);

  platform::Files& files_;
  platform::Process& process_;
  std::string path_;
  std::string line_;
  bool lineOpen_ = false;
  std::string pending_;
};

// The switches the program takes besides its first argument; every other argument
// keeps its place, so without them the arguments read as they always did.
struct RunSwitches {
  std::string logPath;   // "/LOG:file"
  std::string autoPath;  // "/AUTO:file"
  bool dryRun = false;   // "/TEST"
  bool unattended = false;
  std::vector<std::string> arguments;
};

RunSwitches ReadRunSwitches(const std::vector<std::string>& arguments);

}  // namespace zq::driver
