#include "convert/wage_settings.h"

#include <algorithm>
#include <array>

namespace zq::convert {

namespace {

using shared::Constant;
using shared::Copy;
using shared::CutText;
using shared::Rule;

constexpr const shared::Layout& kOld = kOldWageSettings;
constexpr const shared::Layout& kNew = kWageSettings;
constexpr std::size_t kNewText = 16;

constexpr Rule kFromOlderLayout[] = {
    Copy(kOld["Code"], kNew["Code"]),
    Copy(kOld["Number"], kNew["Number"]),
    CutText(kOld["Name"], kNew["Name"], kNewText),
    CutText(kOld["Text"], kNew["Text"], kNewText),
    CutText(kOld["LastText"], kNew["Text"].At(4), kNewText),
    Copy(kOld["Block"], kNew["Block"]),
    Copy(kOld["Word"], kNew["Word"]),
    Copy(kOld["Byte"], kNew["Byte"]),
    Copy(kOld["Monthly"], kNew["Monthly"]),
    Constant(kNew["Mark"], kWageSettingsLayout),
};

constexpr shared::Field kLayout4Texts[] = {kNew["Code"], kNew["Name"], kNew["Text"]};

}  // namespace

bool FilterWageSettings(std::span<std::uint8_t> record) {
  shared::RecordRef out(record);
  if (out.Get(kNew.Int("Mark")) != kWageSettingsLayout) {
    std::array<std::uint8_t, kWageSettingsRecordSize> old{};
    std::copy_n(record.begin(), std::min(record.size(), old.size()), old.begin());
    shared::Build(kFromOlderLayout, shared::RecordView(old), out);
  } else {
    shared::CutTexts(out, kLayout4Texts);
  }
  out.Set(kNew.Int("Year"), kWageSettingsYear);
  const shared::IntField monthly = kNew.Int("Monthly");
  for (std::size_t m = 0; m < monthly.count; ++m) out.Set(monthly.At(m), kWorkingDays2020[m]);
  return true;
}

}  // namespace zq::convert
