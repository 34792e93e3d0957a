#include "sample_modules.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "convert/modules.h"
#include "convert/wage_settings.h"
#include "platform/cp852.h"
#include "shared/record.h"

namespace zq::sample {

using zq::operator""_pl;
using shared::Field;
using shared::RecordRef;

namespace {

constexpr std::string_view kAssetTexts[] = {
    "Zestaw komputerowy"_pl,  "Samochód osobowy"_pl, "Regał magazynowy"_pl,
    "Drukarka laserowa"_pl,   "Kserokopiarka"_pl,    "Wózek widłowy"_pl,
    "Lokal użytkowy"_pl,      "Magazyn główny"_pl,   "Jan Kowalski"_pl,
    "Anna Nowak"_pl,          "OT 3/2015"_pl,        "Faktura VAT 112/2016"_pl,
    "amortyzacja liniowa"_pl, "KŚT 491"_pl,          "Dział administracji"_pl,
};
constexpr std::string_view kMonthTexts[] = {
    "odpis miesięczny"_pl, "odpis jednorazowy"_pl, "ulepszenie"_pl, "", "aktualizacja"_pl,
};
constexpr std::string_view kMileageTexts[] = {
    "Hurtownia Zgierz"_pl, "Urząd Skarbowy"_pl, "Łódź"_pl,         "Kraków"_pl,
    "Piotrkowska 12"_pl,   "90-001"_pl,         "Polska"_pl,       "dostawa towaru"_pl,
    "EL 4711K"_pl,         "osobowy 1.6"_pl,    "Jan Kowalski"_pl, "spotkanie z klientem"_pl,
};

void Noise(Rng& rng, std::string& bytes, std::size_t from, std::size_t to) {
  for (std::size_t k = from; k < to && k < bytes.size(); ++k)
    bytes[k] = static_cast<char>(rng.Below(256));
}

// The text as its length byte and characters, cut to the field; the bytes after it stay
// as they are, stale as the module leaves them.
void PutText(std::string& bytes, const Field& field, std::string_view text) {
  const std::size_t n = std::min(text.size(), field.Capacity());
  bytes[field.offset] = static_cast<char>(n);
  std::memcpy(bytes.data() + field.offset + 1, text.data(), n);
}

// Every element of every text of `texts` from the pool.
void PutTexts(Rng& rng, std::string& bytes, std::span<const Field> texts,
              std::span<const std::string_view> pool) {
  for (const Field& f : texts)
    for (std::size_t i = 0; i < f.count; ++i) PutText(bytes, f.At(i), rng.Pick(pool));
}

// Records of a module file: binary values throughout, then the texts.
std::string TextRecords(Rng& rng, const shared::Layout& layout, int count,
                        std::span<const std::string_view> pool) {
  std::string file;
  for (int r = 0; r < count; ++r) {
    std::string record(layout.size, '\0');
    Noise(rng, record, 0, record.size());
    PutTexts(rng, record, layout.fields, pool);
    file += record;
  }
  return file;
}

std::string AssetRecord(Rng& rng) {
  using namespace convert;
  std::string record(kFixedAsset.size, '\0');
  // The values before the yearly table and after it; the table holds the years from
  // the purchase on, the earlier ones are empty.
  Noise(rng, record, 0, kAssetYearTable);
  Noise(rng, record, AssetMonthTextOffset(kAssetLastYear + 1, 1) - kAssetMonthText, record.size());
  const int bought = rng.Between(1995, 2019);
  for (int year = bought; year <= kAssetLastYear; ++year)
    for (int month = 1; month <= 12; ++month) {
      const std::size_t entry = AssetMonthTextOffset(year, month) - kAssetMonthText;
      Noise(rng, record, entry, entry + kAssetMonthEntry);
    }
  for (const Field& f : kFixedAssetTexts) {
    if (f.name == "MonthText") continue;
    for (std::size_t i = 0; i < f.count; ++i) PutText(record, f.At(i), rng.Pick(kAssetTexts));
  }
  const Field months = kFixedAsset["MonthText"];
  for (int year = bought; year <= kAssetLastYear; ++year)
    for (int month = 1; month <= 12; ++month)
      PutText(record,
              months.At(static_cast<std::size_t>((year - kAssetFirstYear) * 12 + month - 1)),
              rng.Pick(kMonthTexts));
  return record;
}

}  // namespace

std::string FixedAssetRecords(Rng& rng, int count) {
  std::string file;
  for (int i = 0; i < count; ++i) file += AssetRecord(rng);
  return file;
}

std::string AssetBaseList(Rng& rng, std::initializer_list<std::string_view> names) {
  std::string file;
  auto add = [&](std::string_view name, std::string_view title) {
    std::string record(convert::kAssetBase.size, '\0');
    Noise(rng, record, convert::kAssetBase["Description"].End(), record.size());
    PutText(record, convert::kAssetBase["Title"], title);
    PutText(record, convert::kAssetBaseName, name);
    PutText(record, convert::kAssetBase["Description"], rng.Pick(kAssetTexts));
    file += record;
  };
  add(convert::kMainAssetBase, "Środki trwałe"_pl);
  for (std::string_view name : names) add(name, Cat({"Ewidencja ", name}));
  return file;
}

void MakeAssetFiles(MakerContext& ctx, FileSink& sink) {
  using namespace convert;
  Rng& rng = ctx.rng;
  const bool all = ctx.firmIndex == 0;
  if (!all && !rng.Chance(40)) return;
  std::string assets = FixedAssetRecords(rng, ctx.Records(all ? 6 : rng.Between(1, 8), 2));
  // One asset whose name claims more than its field holds: the run cuts it.
  if (all) assets[kFixedAssetRecordSize + kFixedAsset["Text4"].offset] = '\xFF';
  sink.Add(kFixedAssetsFileName, std::move(assets));
  sink.Add(kEquipmentFileName, FixedAssetRecords(rng, ctx.Records(all ? 4 : rng.Between(0, 3), 2)));
  sink.Add(kAssetSettingsFileName, TextRecords(rng, kAssetSettings, 1, kAssetTexts));
  if (!all && !rng.Chance(50)) {
    sink.Add(kAssetBaseListFileName, AssetBaseList(rng, {}));
    return;
  }
  sink.Add(kAssetBaseListFileName, AssetBaseList(rng, {"MASZYNY", "BUDYNKI", kBadAssetBaseName}));
  sink.Add("MASZYNY.REK", FixedAssetRecords(rng, ctx.Records(3, 2)));
  sink.Add("BUDYNKI.REK", FixedAssetRecords(rng, ctx.Records(2, 2)));
}

void MakeMileageFiles(MakerContext& ctx, FileSink& sink) {
  using namespace convert;
  Rng& rng = ctx.rng;
  const bool all = ctx.firmIndex == 0;
  if (!all && !rng.Chance(40)) return;
  sink.Add(kMileageSettingsFileName, TextRecords(rng, kMileageSettings, 1, kMileageTexts));
  sink.Add(kMileageAddressFileName,
           TextRecords(rng, kMileageAddress, ctx.Records(4, 5), kMileageTexts));
  sink.Add(kCarFileName, TextRecords(rng, kCar, all ? 2 : 1, kMileageTexts));
  sink.Add("_2020\\styczen.kst", TextRecords(rng, kRouteCost, ctx.Records(2, 10), kMileageTexts));
  sink.Add("_2020\\luty.kst", TextRecords(rng, kRouteCost, ctx.Records(1, 10), kMileageTexts));
  sink.Add("_2020\\wyjazdy.wyj", TextRecords(rng, kTrip, ctx.Records(5, 20), kMileageTexts));
}

}  // namespace zq::sample
