// Line-by-line reading of the CR LF text files the program shares with the ledger
// program (.PTH, .LST, INI files, text copies). Reading strips the CR on every host,
// a lone LF also ends a line, and a 0x1A byte ends the text, as it did on DOS.
#pragma once

#include <string>
#include <vector>

#include "platform/files.h"

namespace zq::platform {

class TextReader {
 public:
  explicit TextReader(File& file) : file_(file) {}
  // False at the end of the text or on a read error (then Failed() is true).
  // Lines are returned whole, however long.
  bool ReadLine(std::string& line);
  bool Failed() const { return failed_; }
  int Error() const { return error_; }

 private:
  bool Fill();
  File& file_;
  std::vector<char> buffer_ = std::vector<char>(64 * 1024);
  std::size_t pos_ = 0, end_ = 0;
  bool eof_ = false, failed_ = false;
  int error_ = 0;
};

// Writes all of `bytes`, retrying after short writes; false only when a write fails
// or makes no progress.
bool WriteAll(File& file, const void* bytes, std::size_t size, int& error);
// The line and a CR LF.
bool WriteLine(File& file, std::string_view line, int& error);

}  // namespace zq::platform
