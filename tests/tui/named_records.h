// Firm-list-sized records keyed by a length-prefixed name at offset 0, for the tests
// of the shared record files.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "tui/screen.h"
#include "tui/shared_file.h"

namespace zq::tui::test_records {

constexpr std::size_t kRecordSize = 103;
using Record = std::array<std::uint8_t, kRecordSize>;

inline Record Firm(std::string_view name, std::string_view data = {}) {
  Record r{};
  r[0] = static_cast<std::uint8_t>(std::min<std::size_t>(name.size(), 31));
  std::copy_n(name.begin(), r[0], r.begin() + 1);
  std::copy_n(data.begin(), std::min<std::size_t>(data.size(), 36), r.begin() + 67);
  return r;
}

inline std::string NameOf(std::span<const std::uint8_t> r) {
  std::size_t n = std::min<std::size_t>({r.size() - 1, r[0], 31});
  return std::string(r.begin() + 1, r.begin() + 1 + static_cast<long>(n));
}

class NamedFile : public SharedFile {
 public:
  NamedFile(SharedFiles& shared, std::string_view name) : SharedFile(shared, name, kRecordSize) {}
  std::string KeyText(std::span<const std::uint8_t> record) override {
    return PadCut(NameOf(record), 31);
  }
};

}  // namespace zq::tui::test_records
