// What the copy primitives did, counted for the reconciliation of a run: records read,
// written and dropped by a filter or converter, files copied and files missing, and the
// copies that failed.
#pragma once

#include <cstdint>

namespace zq::convert {

struct CopyCounts {
  std::int64_t recordsRead = 0;
  std::int64_t recordsWritten = 0;
  std::int64_t recordsDropped = 0;
  int filesCopied = 0;
  int filesMissing = 0;
  int errors = 0;

  CopyCounts& operator+=(const CopyCounts& other) {
    recordsRead += other.recordsRead;
    recordsWritten += other.recordsWritten;
    recordsDropped += other.recordsDropped;
    filesCopied += other.filesCopied;
    filesMissing += other.filesMissing;
    errors += other.errors;
    return *this;
  }
  bool Empty() const {
    return recordsRead == 0 && recordsWritten == 0 && recordsDropped == 0 && filesCopied == 0 &&
           filesMissing == 0 && errors == 0;
  }
  friend bool operator==(const CopyCounts&, const CopyCounts&) = default;
};

class CopyTally {
 public:
  virtual ~CopyTally() = default;
  virtual void OnCopy(const CopyCounts& counts) = 0;
};

// Adds up everything it is told.
class CopyTotal : public CopyTally {
 public:
  void OnCopy(const CopyCounts& counts) override { total += counts; }
  CopyCounts total;
};

}  // namespace zq::convert
