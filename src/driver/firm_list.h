// The firms of one run that are still to be carried into the new year: each entry is
// the firm's record from the Source firm list, byte for byte, and whether the user has
// it selected. Built once by the Environment recognition, changed only in the Selected
// flags by the selection window, read by the per-firm run and released at its end.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "shared/firm_record.h"
#include "shared/record.h"

namespace zq::driver {

inline constexpr int kMaxFirms = 2048;

struct Firm {
  shared::FirmRecordBytes record{};
  bool selected = true;

  std::string Name() const { return shared::RecordView(record).Get(shared::kFirmName); }
  std::string Directory() const { return shared::RecordView(record).Get(shared::kFirmDirectory); }
  std::string Info() const { return shared::RecordView(record).Get(shared::kFirmInfo); }
};

class FirmList {
 public:
  int Count() const { return static_cast<int>(firms_.size()); }
  bool Empty() const { return firms_.empty(); }
  bool Full() const { return Count() >= kMaxFirms; }

  // Firm number n, 1..Count(), in the order of the Source firm list.
  Firm& At(int n) { return firms_.at(static_cast<std::size_t>(n - 1)); }
  const Firm& At(int n) const { return firms_.at(static_cast<std::size_t>(n - 1)); }

  // Refused (false) once the list holds kMaxFirms firms. A new firm starts selected.
  bool Add(const shared::FirmRecordBytes& record) {
    if (Full()) return false;
    firms_.push_back(Firm{record, true});
    return true;
  }
  void SelectAll(bool on) {
    for (Firm& firm : firms_) firm.selected = on;
  }
  int SelectedCount() const {
    int n = 0;
    for (const Firm& firm : firms_) n += firm.selected ? 1 : 0;
    return n;
  }
  void Release() { firms_.clear(); }

  std::vector<Firm>::iterator begin() { return firms_.begin(); }
  std::vector<Firm>::iterator end() { return firms_.end(); }
  std::vector<Firm>::const_iterator begin() const { return firms_.begin(); }
  std::vector<Firm>::const_iterator end() const { return firms_.end(); }

 private:
  std::vector<Firm> firms_;
};

}  // namespace zq::driver
