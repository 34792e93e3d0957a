// Files and directories, shaped after the Win32 file calls. Paths are code page
// 852 bytes in which both '\' and '/' separate components; a host backend maps
// them onto its own names.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace zq::platform {

// Error codes are the Win32 ones, so that callers read the same numbers on every host.
enum FileError : int {
  kErrNone = 0,
  kErrFileNotFound = 2,
  kErrPathNotFound = 3,
  kErrTooManyOpen = 4,
  kErrAccessDenied = 5,
  kErrInvalidHandle = 6,
  kErrNoMoreFiles = 18,
  kErrWriteFault = 29,
  kErrReadFault = 30,
  kErrSharingViolation = 32,
  kErrLockViolation = 33,
  kErrNotSameDevice = 17,
  kErrHandleDiskFull = 39,
  kErrFileExists = 80,
  kErrInvalidParameter = 87,
  kErrDiskFull = 112,
  kErrInvalidName = 123,
  kErrDirNotEmpty = 145,
  kErrNotLocked = 158,
  kErrFilenameTooLong = 206,
  kErrAlreadyExists = 183,
  kErrDirectory = 267,  // a directory was expected
  kErrGeneric = 31,
};

enum Access : std::uint8_t { kRead = 1, kWrite = 2, kReadWrite = 3 };

// What other opens of the same file may do meanwhile (FILE_SHARE_READ/WRITE).
enum Share : std::uint8_t { kShareNone = 0, kShareRead = 1, kShareWrite = 2, kShareReadWrite = 3 };

enum class Disposition {
  kOpenExisting,  // fails when missing
  kCreateAlways,  // creates or truncates
  kOpenAlways,    // opens, creating when missing
  kCreateNew,     // fails when present
};

enum class Whence { kBegin, kCurrent, kEnd };

// Which side of a copy from one open file into another failed.
enum class CopyFault { kNone, kRead, kWrite };

// File attributes in the Win32 bit order; the find mask uses the same bits.
enum Attributes : std::uint32_t {
  kAttrReadOnly = 0x01,
  kAttrHidden = 0x02,
  kAttrSystem = 0x04,
  kAttrDirectory = 0x10,
  kAttrArchive = 0x20,
  kAttrNormal = 0x80,
};

class File {
 public:
  virtual ~File() = default;
  // Both report the count actually transferred; false with an error code on failure.
  virtual bool Read(void* buffer, std::size_t size, std::size_t& done, int& error) = 0;
  virtual bool Write(const void* buffer, std::size_t size, std::size_t& done, int& error) = 0;
  virtual bool Seek(std::int64_t offset, Whence whence, std::int64_t& position, int& error) = 0;
  virtual bool Size(std::int64_t& size, int& error) = 0;
  // Cuts the file at the current position.
  virtual bool Truncate(int& error) = 0;
  virtual bool Flush(int& error) = 0;
  // Byte-range locks; a range held by another open fails with kErrLockViolation.
  virtual bool Lock(std::uint64_t offset, std::uint64_t length, int& error) = 0;
  virtual bool Unlock(std::uint64_t offset, std::uint64_t length, int& error) = 0;
  virtual bool Close(int& error) = 0;
  // Carries the bytes from this file's position into `target` at its position until this
  // file ends or `limit` bytes have gone, as reading here and writing there would: both
  // positions move on, and `done` counts the bytes that reached the target. False on a
  // failure, `fault` telling whether reading or writing failed and `error` its code; what
  // was carried before it stays in the target. A target that takes no more bytes is a
  // write failure. This reads and writes through `scratch`; a host that can copy between
  // its own files without the bytes passing through the program does so instead.
  virtual bool CopyTo(File& target, std::uint64_t limit, std::span<std::uint8_t> scratch,
                      std::uint64_t& done, CopyFault& fault, int& error);
};

struct FindData {
  std::string name;  // code page 852, no directory part
  std::uint32_t attributes = 0;
  std::int64_t size = 0;
};

class FindHandle {
 public:
  virtual ~FindHandle() = default;
  virtual bool Next(FindData& data) = 0;
};

class Files {
 public:
  virtual ~Files() = default;
  virtual std::unique_ptr<File> Open(std::string_view path, Access access, Share share,
                                     Disposition disposition, int& error) = 0;
  virtual bool Rename(std::string_view from, std::string_view to, int& error) = 0;
  virtual bool Remove(std::string_view path, int& error) = 0;
  virtual bool MakeDirectory(std::string_view path, int& error) = 0;
  virtual bool RemoveDirectory(std::string_view path, int& error) = 0;
  // Attributes of an existing file or directory; false when there is none.
  virtual bool GetAttributes(std::string_view path, std::uint32_t& attributes,
                             std::int64_t& size) = 0;
  // Wildcards * and ? in the last component, matched without regard to case.
  // Entries whose hidden, system or directory bits are not in the mask are skipped,
  // as FindFirstFile with a DOS attribute mask does.
  virtual std::unique_ptr<FindHandle> FindFirst(std::string_view pattern, std::uint32_t mask,
                                                FindData& first, int& error) = 0;
  virtual std::string CurrentDirectory() = 0;
  virtual bool SetCurrentDirectory(std::string_view path, int& error) = 0;
  // Whether two paths name the same existing object (same file, whatever its spelling).
  virtual bool SameObject(std::string_view a, std::string_view b) = 0;

  // While held (calls nest), a host that finds names without regard to case by listing
  // directories may keep each listing instead of making it again for every name it does
  // not find under its exact spelling; this program's own creates, renames and deletes
  // keep the listings true. A name another program gives a file meanwhile, under another
  // case than the one asked for, may then go unseen until the hold ends; an exact
  // spelling is always found. The per-firm run holds one for each firm.
  virtual void HoldListings(bool hold) { (void)hold; }
};

// Holds the listings for a scope.
class ListingHold {
 public:
  explicit ListingHold(Files& files) : files_(files) { files_.HoldListings(true); }
  ~ListingHold() { files_.HoldListings(false); }
  ListingHold(const ListingHold&) = delete;
  ListingHold& operator=(const ListingHold&) = delete;

 private:
  Files& files_;
};

}  // namespace zq::platform
