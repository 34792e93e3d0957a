// The files of the two add-on modules kept in the firm directory: the fixed-asset module
// (assets, low-value equipment, its settings and its list of further asset bases) and
// the older mileage log (settings, addresses, cars, and the route costs and trips of the
// year in the folder "_2020"). The modules own these records; all that is known of them
// here is where their texts lie. Each is carried record for record with every byte as
// read, only a text whose length byte claims more than its field holds is cut to the
// field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "shared/record.h"

namespace zq::convert {

inline constexpr std::string_view kFixedAssetsFileName = "srodki.rek";
inline constexpr std::string_view kEquipmentFileName = "wyposaz.rek";
inline constexpr std::string_view kAssetSettingsFileName = "st.cnf";
inline constexpr std::string_view kAssetBaseListFileName = "stbazy.rek";
inline constexpr std::string_view kMileageSettingsFileName = "km.cnf";
inline constexpr std::string_view kMileageAddressFileName = "adresy.rek";
inline constexpr std::string_view kCarFileName = "samochod.rek";
inline constexpr std::string_view kRouteCostPattern = "_2020\\*.kst";
inline constexpr std::string_view kTripPattern = "_2020\\*.wyj";

// The yearly table of an asset: a block of twelve 85-byte month entries for every year
// from 1985 to 2020, each entry with a text 0x18 bytes in.
inline constexpr int kAssetFirstYear = 1985;
inline constexpr int kAssetLastYear = 2020;
inline constexpr std::size_t kAssetYearTable = 0x803;
inline constexpr std::size_t kAssetYearBlock = 1020;
inline constexpr std::size_t kAssetMonthEntry = 85;
inline constexpr std::size_t kAssetMonthText = 0x18;
inline constexpr std::size_t kAssetMonths = (kAssetLastYear - kAssetFirstYear + 1) * 12;
static_assert(kAssetYearBlock == 12 * kAssetMonthEntry, "the months of a year follow each other");

// Offset of the month text of year y and month m (1..12) in an asset record.
constexpr std::size_t AssetMonthTextOffset(int year, int month) {
  return kAssetYearTable + kAssetYearBlock * static_cast<std::size_t>(year - kAssetFirstYear) +
         kAssetMonthEntry * static_cast<std::size_t>(month - 1) + kAssetMonthText;
}

// One asset of srodki.rek, wyposaz.rek or a further base; the texts only, named by
// where they lie (what they hold is the module's business).
inline constexpr shared::Field kFixedAssetTexts[] = {
    {"Text4", 0x004, 61, shared::Kind::Text},
    {"Text41", 0x041, 61, shared::Kind::Text},
    {"Text7E", 0x07E, 31, shared::Kind::Text},
    {"Text9D", 0x09D, 31, shared::Kind::Text},
    {"TextC0", 0x0C0, 61, shared::Kind::Text, 3},
    {"Text21F", 0x21F, 31, shared::Kind::Text},
    {"Text242", 0x242, 61, shared::Kind::Text, 7},
    {"Text519", 0x519, 61, shared::Kind::Text, 4},
    {"Text62B", 0x62B, 61, shared::Kind::Text, 3},
    {"Text6E2", 0x6E2, 21, shared::Kind::Text},
    {"Text6F7", 0x6F7, 61, shared::Kind::Text},
    {"MonthText", AssetMonthTextOffset(kAssetFirstYear, 1), 31, shared::Kind::Text, kAssetMonths,
     kAssetMonthEntry},
    {"Text98E7", 0x98E7, 16, shared::Kind::Text},
    {"Text98F7", 0x98F7, 19, shared::Kind::Text},
};
inline constexpr shared::Layout kFixedAsset{"srodki.rek", 39771, kFixedAssetTexts};
static_assert(kFixedAsset.Problem().empty());
static_assert(kFixedAsset["MonthText"].At(kAssetMonths - 1).offset ==
              AssetMonthTextOffset(kAssetLastYear, 12));

inline constexpr shared::Field kAssetSettingsTexts[] = {
    {"Text0", 0x000, 41, shared::Kind::Text, 3},
    {"Text97", 0x097, 21, shared::Kind::Text},
    {"TextAC", 0x0AC, 31, shared::Kind::Text},
    {"Text4F8", 0x4F8, 31, shared::Kind::Text},
};
inline constexpr shared::Layout kAssetSettings{"st.cnf", 3837, kAssetSettingsTexts};
static_assert(kAssetSettings.Problem().empty());

// A further asset base: its title, the name of its file (the name followed by ".REK")
// right after it, with room up to the description, and the description.
inline constexpr shared::Field kAssetBaseTexts[] = {
    {"Title", 0x000, 51, shared::Kind::Text},
    {"Description", 0x040, 51, shared::Kind::Text},
};
inline constexpr shared::Field kAssetBaseFields[] = {
    kAssetBaseTexts[0],
    {"BaseName", 51, 13, shared::Kind::Text},
    kAssetBaseTexts[1],
};
inline constexpr shared::Layout kAssetBase{"stbazy.rek", 367, kAssetBaseFields};
static_assert(kAssetBase.Problem().empty());
inline constexpr shared::TextField kAssetBaseName = kAssetBase.Text("BaseName");
// The base whose file is srodki.rek, carried by an item of its own.
inline constexpr std::string_view kMainAssetBase = "SRODKI";

inline constexpr shared::Field kMileageSettingsTexts[] = {
    {"Text3A", 0x03A, 41, shared::Kind::Text, 3},
    {"Text151", 0x151, 11, shared::Kind::Text},
};
inline constexpr shared::Layout kMileageSettings{"km.cnf", 2395, kMileageSettingsTexts};
static_assert(kMileageSettings.Problem().empty());

inline constexpr shared::Field kMileageAddressTexts[] = {
    {"Text4", 0x004, 41, shared::Kind::Text, 2},   {"Text7F", 0x07F, 38, shared::Kind::Text},
    {"TextDB", 0x0DB, 21, shared::Kind::Text},     {"TextF0", 0x0F0, 31, shared::Kind::Text},
    {"Text10F", 0x10F, 21, shared::Kind::Text, 2}, {"Text139", 0x139, 31, shared::Kind::Text, 2},
    {"Text177", 0x177, 41, shared::Kind::Text, 2},
};
inline constexpr shared::Layout kMileageAddress{"adresy.rek", 557, kMileageAddressTexts};
static_assert(kMileageAddress.Problem().empty());

inline constexpr shared::Field kCarTexts[] = {
    {"Text4", 0x004, 13, shared::Kind::Text},
    {"Text11", 0x011, 36, shared::Kind::Text},
    {"Text45", 0x045, 41, shared::Kind::Text, 2},
};
inline constexpr shared::Layout kCar{"samochod.rek", 704, kCarTexts};
static_assert(kCar.Problem().empty());

inline constexpr shared::Field kRouteCostTexts[] = {
    {"Text6", 0x006, 21, shared::Kind::Text},  {"Text1F", 0x01F, 41, shared::Kind::Text, 2},
    {"Text8D", 0x08D, 21, shared::Kind::Text}, {"TextA2", 0x0A2, 31, shared::Kind::Text},
    {"TextC1", 0x0C1, 51, shared::Kind::Text},
};
inline constexpr shared::Layout kRouteCost{"*.kst", 572, kRouteCostTexts};
static_assert(kRouteCost.Problem().empty());

inline constexpr shared::Field kTripTexts[] = {
    {"Text18", 0x018, 36, shared::Kind::Text, 2},
};
inline constexpr shared::Layout kTrip{"*.wyj", 128, kTripTexts};
static_assert(kTrip.Problem().empty());

// Record sizes for the record copy.
inline constexpr std::uint16_t kFixedAssetRecordSize = kFixedAsset.size;
inline constexpr std::uint16_t kAssetSettingsRecordSize = kAssetSettings.size;
inline constexpr std::uint16_t kAssetBaseRecordSize = kAssetBase.size;
inline constexpr std::uint16_t kMileageSettingsRecordSize = kMileageSettings.size;
inline constexpr std::uint16_t kMileageAddressRecordSize = kMileageAddress.size;
inline constexpr std::uint16_t kCarRecordSize = kCar.size;
inline constexpr std::uint16_t kRouteCostRecordSize = kRouteCost.size;
inline constexpr std::uint16_t kTripRecordSize = kTrip.size;

// Record filters: the texts of the layout cut in place; every record is kept.
bool FilterFixedAsset(std::span<std::uint8_t> record);
bool FilterAssetSettings(std::span<std::uint8_t> record);
bool FilterAssetBase(std::span<std::uint8_t> record);
bool FilterMileageSettings(std::span<std::uint8_t> record);
bool FilterMileageAddress(std::span<std::uint8_t> record);
bool FilterCar(std::span<std::uint8_t> record);
bool FilterRouteCost(std::span<std::uint8_t> record);
bool FilterTrip(std::span<std::uint8_t> record);

}  // namespace zq::convert
