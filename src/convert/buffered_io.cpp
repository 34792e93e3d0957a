#include "convert/buffered_io.h"

#include <algorithm>
#include <cstring>

#include "platform/text_file.h"

namespace zq::convert {

namespace {

std::span<std::uint8_t> Room(std::vector<std::uint8_t>& storage, std::size_t capacity) {
  capacity = std::max<std::size_t>(capacity, 1);
  if (storage.size() < capacity) storage.resize(capacity);
  return std::span<std::uint8_t>(storage).first(capacity);
}

}  // namespace

BufferedReader::BufferedReader(platform::File& file, std::size_t capacity)
    : file_(file), buffer_(Room(own_, capacity)) {}

BufferedReader::BufferedReader(platform::File& file, std::vector<std::uint8_t>& storage,
                               std::size_t capacity)
    : file_(file), buffer_(Room(storage, capacity)) {}

bool BufferedReader::Refill(int& error) {
  pos_ = end_ = 0;
  if (eof_) return true;
  std::size_t got = 0;
  if (!file_.Read(buffer_.data(), buffer_.size(), got, error)) return false;
  end_ = std::min(got, buffer_.size());
  if (end_ == 0) eof_ = true;
  return true;
}

bool BufferedReader::Read(void* buffer, std::size_t size, std::size_t& done, int& error) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  done = 0;
  while (done < size) {
    if (pos_ == end_) {
      if (eof_) break;
      std::size_t want = size - done;
      if (want >= buffer_.size()) {
        // A request as large as the buffer goes straight to the file.
        std::size_t got = 0;
        if (!file_.Read(out + done, want, got, error)) return false;
        if (got == 0) {
          eof_ = true;
          break;
        }
        done += std::min(got, want);
        continue;
      }
      if (!Refill(error)) return false;
      if (eof_) break;
    }
    std::size_t n = std::min(end_ - pos_, size - done);
    std::memcpy(out + done, buffer_.data() + pos_, n);
    pos_ += n;
    done += n;
  }
  return true;
}

bool BufferedReader::Peek(std::span<const std::uint8_t>& bytes, int& error) {
  if (pos_ == end_ && !Refill(error)) {
    bytes = {};
    return false;
  }
  bytes = std::span<const std::uint8_t>(buffer_.data() + pos_, end_ - pos_);
  return true;
}

BufferedWriter::BufferedWriter(platform::File& file, std::size_t capacity)
    : file_(file), buffer_(Room(own_, capacity)) {}

BufferedWriter::BufferedWriter(platform::File& file, std::vector<std::uint8_t>& storage,
                               std::size_t capacity)
    : file_(file), buffer_(Room(storage, capacity)) {}

bool BufferedWriter::Put(const std::uint8_t* bytes, std::size_t size, int& error) {
  if (!platform::WriteAll(file_, bytes, size, error)) {
    failed_ = true;
    return false;
  }
  written_ += size;
  return true;
}

bool BufferedWriter::Flush(int& error) {
  if (failed_) return false;
  std::size_t used = used_;
  used_ = 0;
  return used == 0 || Put(buffer_.data(), used, error);
}

bool BufferedWriter::Write(const void* bytes, std::size_t size, int& error) {
  if (failed_) return false;
  const auto* in = static_cast<const std::uint8_t*>(bytes);
  // The buffer fills across record boundaries: records of more than half its size
  // (fixed assets, payroll) would otherwise cost a write each.
  while (size > 0) {
    if (used_ == 0 && size >= buffer_.size()) return Put(in, size, error);
    const std::size_t n = std::min(size, buffer_.size() - used_);
    std::memcpy(buffer_.data() + used_, in, n);
    used_ += n;
    in += n;
    size -= n;
    if (used_ == buffer_.size() && !Flush(error)) return false;
  }
  return true;
}

}  // namespace zq::convert
