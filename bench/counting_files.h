// A files decorator for the benchmarks that counts the calls reaching the host's file
// layer, each of which is one system call there: opens, reads, writes (and the bytes
// written), flushes, closes, copies from file to file, and the seeks, sizes, look-ups,
// renames and directories made together. A copy may take a few calls of the host; it is
// counted as one.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>

#include "platform/forwarding_files.h"

namespace zq::bench {

struct Counts {
  std::uint64_t opens = 0;
  std::uint64_t reads = 0;
  std::uint64_t writes = 0;
  std::uint64_t flushes = 0;
  std::uint64_t closes = 0;
  std::uint64_t copies = 0;
  std::uint64_t other = 0;
  std::uint64_t bytesWritten = 0;
  std::uint64_t Calls() const { return opens + reads + writes + flushes + closes + copies + other; }
};

class CountingFile : public platform::ForwardingFile {
 public:
  CountingFile(std::unique_ptr<platform::File> inner, Counts& counts)
      : ForwardingFile(std::move(inner)), counts_(counts) {}
  bool Read(void* b, std::size_t n, std::size_t& done, int& e) override {
    ++counts_.reads;
    return Inner().Read(b, n, done, e);
  }
  bool Write(const void* b, std::size_t n, std::size_t& done, int& e) override {
    bool ok = Inner().Write(b, n, done, e);
    ++counts_.writes;
    counts_.bytesWritten += done;
    return ok;
  }
  bool Flush(int& e) override {
    ++counts_.flushes;
    return Inner().Flush(e);
  }
  bool Seek(std::int64_t o, platform::Whence w, std::int64_t& p, int& e) override {
    ++counts_.other;
    return Inner().Seek(o, w, p, e);
  }
  bool Size(std::int64_t& s, int& e) override {
    ++counts_.other;
    return Inner().Size(s, e);
  }
  bool Close(int& e) override {
    ++counts_.closes;
    return Inner().Close(e);
  }
  // Between two counted files the host's own copy is counted once for each call of it.
  bool CopyTo(platform::File& target, std::uint64_t limit, std::span<std::uint8_t> scratch,
              std::uint64_t& done, platform::CopyFault& fault, int& e) override {
    auto* counted = dynamic_cast<CountingFile*>(&target);
    if (counted == nullptr) return File::CopyTo(target, limit, scratch, done, fault, e);
    ++counts_.copies;
    bool ok = Inner().CopyTo(counted->Inner(), limit, scratch, done, fault, e);
    counts_.bytesWritten += done;
    return ok;
  }

 private:
  Counts& counts_;
};

class CountingFiles : public platform::ForwardingFiles {
 public:
  using ForwardingFiles::ForwardingFiles;
  Counts counts;

  bool GetAttributes(std::string_view p, std::uint32_t& a, std::int64_t& s) override {
    ++counts.other;
    return ForwardingFiles::GetAttributes(p, a, s);
  }
  bool Rename(std::string_view a, std::string_view b, int& e) override {
    ++counts.other;
    return ForwardingFiles::Rename(a, b, e);
  }
  bool SameObject(std::string_view a, std::string_view b) override {
    ++counts.other;
    return ForwardingFiles::SameObject(a, b);
  }
  bool MakeDirectory(std::string_view p, int& e) override {
    ++counts.other;
    return ForwardingFiles::MakeDirectory(p, e);
  }

 protected:
  std::unique_ptr<platform::File> Wrap(std::unique_ptr<platform::File> file,
                                       std::string_view) override {
    ++counts.opens;
    return std::make_unique<CountingFile>(std::move(file), counts);
  }
};

}  // namespace zq::bench
