// A Files decorator that makes chosen operations on chosen files fail, for the I/O
// failures a test run as root cannot provoke through permissions: an open refused,
// a read error after some bytes, writes that stop short (with or without progress)
// or fail, a close that reports an error. Files without a plan behave as the host's.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/files.h"
#include "platform/forwarding_files.h"

namespace zq::test {

struct FaultPlan {
  bool failOpen = false;
  // Reads deliver this many bytes of the file in all, then fail.
  std::optional<std::uint64_t> readFailsAfter = std::nullopt;
  // Writes take this many bytes in all; the write that would go past it puts what
  // fits and fails.
  std::optional<std::uint64_t> writeFailsAfter = std::nullopt;
  // When set, a write puts at most this many bytes and reports success (a short write).
  std::size_t writeChunk = 0;
  // After this many bytes, writes report success having put nothing.
  std::optional<std::uint64_t> writeStallsAfter = std::nullopt;
  // Close closes the file and then reports an error.
  bool failClose = false;
  int error = platform::kErrGeneric;
};

// What was done to one path, counted over every open of it.
struct FileStats {
  int opens = 0;
  int reads = 0;
  int writes = 0;
  int closes = 0;
};

class FaultyFiles : public platform::ForwardingFiles {
 public:
  explicit FaultyFiles(platform::Files& inner) : ForwardingFiles(inner) {}

  // The path exactly as the program spells it.
  void Plan(const std::string& path, const FaultPlan& plan) { plans_[path] = plan; }
  void ClearPlans() { plans_.clear(); }
  FileStats Stats(const std::string& path) const;

  std::unique_ptr<platform::File> Open(std::string_view path, platform::Access access,
                                       platform::Share share, platform::Disposition disposition,
                                       int& error) override;

 private:
  std::map<std::string, FaultPlan, std::less<>> plans_;
  std::map<std::string, std::shared_ptr<FileStats>, std::less<>> stats_;
};

}  // namespace zq::test
