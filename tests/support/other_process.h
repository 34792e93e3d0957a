// Another process of this machine that holds a file's whole-file lock, as another
// workstation running the ledger program would: a child process on POSIX, the lock
// helper program on Windows.
#pragma once

#include <memory>
#include <string>

namespace zq::test {

class LockHolder {
 public:
  // Starts the other process, which opens `path` (read/write, deny none) and takes
  // the lock on bytes 0 .. 2^31-2; returns once it has it or has failed. The lock is
  // held until Release, or ten seconds at most, so a failed test leaves nothing behind.
  explicit LockHolder(const std::string& path);
  ~LockHolder();
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;
  bool Locked() const;
  // Returns once the lock is given back.
  void Release();

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// Whether another process can take the whole-file lock of `path` right now.
bool OtherProcessCanLock(const std::string& path);

}  // namespace zq::test
