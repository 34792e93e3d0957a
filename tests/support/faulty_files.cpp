#include "support/faulty_files.h"

#include <algorithm>

namespace zq::test {

namespace {

class FaultyFile : public platform::ForwardingFile {
 public:
  FaultyFile(std::unique_ptr<platform::File> inner, const FaultPlan& plan,
             std::shared_ptr<FileStats> stats)
      : ForwardingFile(std::move(inner)), plan_(plan), stats_(std::move(stats)) {}

  bool Read(void* buffer, std::size_t size, std::size_t& done, int& error) override {
    ++stats_->reads;
    done = 0;
    if (plan_.readFailsAfter) {
      if (read_ >= *plan_.readFailsAfter) {
        error = plan_.error;
        return false;
      }
      size = static_cast<std::size_t>(std::min<std::uint64_t>(size, *plan_.readFailsAfter - read_));
    }
    bool ok = Inner().Read(buffer, size, done, error);
    read_ += done;
    return ok;
  }

  bool Write(const void* buffer, std::size_t size, std::size_t& done, int& error) override {
    ++stats_->writes;
    done = 0;
    if (plan_.writeStallsAfter && written_ >= *plan_.writeStallsAfter) {
      error = platform::kErrNone;
      return true;
    }
    std::size_t put = size;
    if (plan_.writeChunk > 0) put = std::min(put, plan_.writeChunk);
    if (plan_.writeStallsAfter)
      put = static_cast<std::size_t>(
          std::min<std::uint64_t>(put, *plan_.writeStallsAfter - written_));
    bool fail = false;
    if (plan_.writeFailsAfter && written_ + put > *plan_.writeFailsAfter) {
      put = static_cast<std::size_t>(*plan_.writeFailsAfter -
                                     std::min(written_, *plan_.writeFailsAfter));
      fail = true;
    }
    if (put > 0 && !Inner().Write(buffer, put, done, error)) {
      written_ += done;
      return false;
    }
    written_ += done;
    if (fail) {
      error = plan_.error;
      return false;
    }
    return true;
  }

  bool Close(int& error) override {
    ++stats_->closes;
    bool ok = Inner().Close(error);
    if (ok && plan_.failClose) {
      error = plan_.error;
      return false;
    }
    return ok;
  }

 private:
  FaultPlan plan_;
  std::shared_ptr<FileStats> stats_;
  std::uint64_t read_ = 0;
  std::uint64_t written_ = 0;
};

}  // namespace

FileStats FaultyFiles::Stats(const std::string& path) const {
  auto it = stats_.find(path);
  return it == stats_.end() ? FileStats{} : *it->second;
}

std::unique_ptr<platform::File> FaultyFiles::Open(std::string_view path, platform::Access access,
                                                  platform::Share share,
                                                  platform::Disposition disposition, int& error) {
  auto& stats = stats_[std::string(path)];
  if (!stats) stats = std::make_shared<FileStats>();
  ++stats->opens;
  FaultPlan plan;
  if (auto it = plans_.find(path); it != plans_.end()) plan = it->second;
  if (plan.failOpen) {
    error = plan.error;
    return nullptr;
  }
  std::unique_ptr<platform::File> file = Inner().Open(path, access, share, disposition, error);
  if (!file) return nullptr;
  return std::make_unique<FaultyFile>(std::move(file), plan, stats);
}

}  // namespace zq::test
