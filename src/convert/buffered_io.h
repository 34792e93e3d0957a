// Buffered reading and writing between the copy routines and a platform file, so that
// a file of small records costs a system call per 64 KiB instead of one per record.
// The caller sees the same outcomes as with unbuffered calls: a read gives fewer
// bytes than asked only at the end of the file, and a write either puts every byte
// or fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/files.h"

namespace zq::convert {

inline constexpr std::size_t kIoBufferSize = 64 * 1024;

class BufferedReader {
 public:
  explicit BufferedReader(platform::File& file, std::size_t capacity = kIoBufferSize);
  // Buffers in `storage`, grown to `capacity` when smaller, so that a caller copying many
  // files allocates the room once.
  BufferedReader(platform::File& file, std::vector<std::uint8_t>& storage,
                 std::size_t capacity = kIoBufferSize);

  // Up to `size` bytes; fewer only at the end of the file, 0 once it is reached.
  // False when the file reports a read error while this request is served.
  bool Read(void* buffer, std::size_t size, std::size_t& done, int& error);

  // The bytes buffered so far, refilling when none are left; an empty span at the end
  // of the file. Consume() takes bytes off its front.
  bool Peek(std::span<const std::uint8_t>& bytes, int& error);
  void Consume(std::size_t count) { pos_ += count; }

 private:
  bool Refill(int& error);

  platform::File& file_;
  std::vector<std::uint8_t> own_;
  std::span<std::uint8_t> buffer_;
  std::size_t pos_ = 0, end_ = 0;
  bool eof_ = false;
};

class BufferedWriter {
 public:
  explicit BufferedWriter(platform::File& file, std::size_t capacity = kIoBufferSize);
  BufferedWriter(platform::File& file, std::vector<std::uint8_t>& storage,
                 std::size_t capacity = kIoBufferSize);

  // False when the bytes, or bytes buffered before them, could not be written.
  bool Write(const void* bytes, std::size_t size, int& error);
  bool Flush(int& error);
  bool Failed() const { return failed_; }
  // The bytes the file has taken so far (not those still in the buffer).
  std::uint64_t Written() const { return written_; }

 private:
  bool Put(const std::uint8_t* bytes, std::size_t size, int& error);

  platform::File& file_;
  std::vector<std::uint8_t> own_;
  std::span<std::uint8_t> buffer_;
  std::size_t used_ = 0;
  std::uint64_t written_ = 0;
  bool failed_ = false;
};

}  // namespace zq::convert
