#include "platform/text_file.h"

namespace zq::platform {

bool TextReader::Fill() {
  if (eof_ || failed_) return false;
  std::size_t got = 0;
  if (!file_.Read(buffer_.data(), buffer_.size(), got, error_)) {
    failed_ = true;
    return false;
  }
  pos_ = 0;
  end_ = got;
  if (got == 0) eof_ = true;
  return got > 0;
}

bool TextReader::ReadLine(std::string& line) {
  line.clear();
  bool any = false;
  for (;;) {
    if (pos_ == end_ && !Fill()) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return any && !failed_;
    }
    any = true;
    while (pos_ < end_) {
      char c = buffer_[pos_++];
      if (c == '\n') {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return true;
      }
      if (c == '\x1A') {
        eof_ = true;
        pos_ = end_;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return !line.empty();
      }
      line += c;
    }
  }
}

bool WriteAll(File& file, const void* bytes, std::size_t size, int& error) {
  const char* p = static_cast<const char*>(bytes);
  while (size > 0) {
    std::size_t done = 0;
    if (!file.Write(p, size, done, error)) return false;
    if (done == 0) {
      if (error == kErrNone) error = kErrDiskFull;
      return false;
    }
    p += done;
    size -= done;
  }
  return true;
}

bool WriteLine(File& file, std::string_view line, int& error) {
  std::string out(line);
  out += "\r\n";
  return WriteAll(file, out.data(), out.size(), error);
}

}  // namespace zq::platform
