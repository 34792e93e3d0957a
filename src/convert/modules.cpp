#include "convert/modules.h"

namespace zq::convert {

namespace {

bool CutAll(std::span<std::uint8_t> record, std::span<const shared::Field> texts) {
  // A short last record is cut as far as it goes; the copy writes only what was read.
  shared::CutTexts(shared::RecordRef(record), texts);
  return true;
}

}  // namespace

bool FilterFixedAsset(std::span<std::uint8_t> record) {
  return CutAll(record, kFixedAssetTexts);
}

bool FilterAssetSettings(std::span<std::uint8_t> record) {
  return CutAll(record, kAssetSettingsTexts);
}

bool FilterAssetBase(std::span<std::uint8_t> record) {
  return CutAll(record, kAssetBaseTexts);
}

bool FilterMileageSettings(std::span<std::uint8_t> record) {
  return CutAll(record, kMileageSettingsTexts);
}

bool FilterMileageAddress(std::span<std::uint8_t> record) {
  return CutAll(record, kMileageAddressTexts);
}

bool FilterCar(std::span<std::uint8_t> record) {
  return CutAll(record, kCarTexts);
}

bool FilterRouteCost(std::span<std::uint8_t> record) {
  return CutAll(record, kRouteCostTexts);
}

bool FilterTrip(std::span<std::uint8_t> record) {
  return CutAll(record, kTripTexts);
}

}  // namespace zq::convert
