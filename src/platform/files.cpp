#include "platform/files.h"

#include <algorithm>
#include <array>

#include "platform/text_file.h"

namespace zq::platform {

bool File::CopyTo(File& target, std::uint64_t limit, std::span<std::uint8_t> scratch,
                  std::uint64_t& done, CopyFault& fault, int& error) {
  done = 0;
  fault = CopyFault::kNone;
  error = kErrNone;
  std::array<std::uint8_t, 512> small;
  if (scratch.empty()) scratch = small;
  while (done < limit) {
    const auto want =
        static_cast<std::size_t>(std::min<std::uint64_t>(scratch.size(), limit - done));
    std::size_t got = 0;
    if (!Read(scratch.data(), want, got, error)) {
      fault = CopyFault::kRead;
      return false;
    }
    if (got == 0) break;
    got = std::min(got, want);
    if (!WriteAll(target, scratch.data(), got, error)) {
      fault = CopyFault::kWrite;
      return false;
    }
    done += got;
  }
  return true;
}

}  // namespace zq::platform
