// The module items of a firm's run: the fixed-asset files with the further bases their
// list names, and the mileage files with the year folder, each under its own option.
#include <gtest/gtest.h>

#include "convert/modules.h"
#include "driver/firm_rig.h"
#include "driver/firm_run.h"

namespace zq::driver {
namespace {

using namespace test_rig;
using zq::operator""_pl;

// A record of stbazy.rek naming a base, its length byte as given.
std::string BaseRecord(std::string_view name, std::size_t length) {
  std::string record = Bytes(convert::kAssetBaseRecordSize, 9);
  record[0] = 5;
  record[0x40] = 7;
  record[51] = static_cast<char>(length);
  std::copy(name.begin(), name.end(), record.begin() + 52);
  return record;
}
std::string BaseRecord(std::string_view name) {
  return BaseRecord(name, name.size());
}

// Asset records whose texts fit (Bytes() puts small and large bytes everywhere, so the
// length bytes are set where the filter looks).
std::string Assets(int count, std::uint8_t seed) {
  std::string file = Bytes(convert::kFixedAssetRecordSize * static_cast<std::size_t>(count), seed);
  for (int r = 0; r < count; ++r)
    for (const shared::Field& f : convert::kFixedAssetTexts)
      for (std::size_t i = 0; i < f.count; ++i)
        file[static_cast<std::size_t>(r) * convert::kFixedAssetRecordSize + f.At(i).offset] = 3;
  return file;
}

class ModuleItemsTest : public FirmRunRig {
 protected:
  void RunRows(FirmContext& firm, int first, int last) {
    for (const FirmItem& item : FirmItems())
      if (item.number >= first && item.number <= last && ItemEnabled(firm, item))
        RunFirmItem(firm, item);
  }
};

TEST_F(ModuleItemsTest, FurtherAssetBasesAreCopiedOnlyUnderPlainNamesInsideTheFirm) {
  struct Base {
    std::string name;
    std::size_t length;
    enum { kCopied, kRefused, kPassed, kMissing } outcome;
  };
  const Base bases[] = {
      {"SRODKI", 6, Base::kPassed},  // the main base, an item of its own
      {"MASZYNY", 7, Base::kCopied},
      {"maszyny", 7, Base::kPassed},  // listed twice
      {"", 0, Base::kPassed},         // an empty slot
      {"DUZA", 4, Base::kCopied},
      {"BRAK", 4, Base::kMissing},
      {"..", 2, Base::kRefused},
      {"..\\WYJSCIE", 10, Base::kRefused},
      {"../WYJSCIE", 10, Base::kRefused},
      {"C:WYJSCIE", 9, Base::kRefused},
      {"M*", 2, Base::kRefused},
      {"CON", 3, Base::kRefused},
      {"LPT1", 4, Base::kRefused},
      {"A\x07", 2, Base::kRefused},
      {"DLUGANAZWAXY", 200, Base::kRefused},  // runs past its room into the next text
  };
  std::string list;
  for (const Base& b : bases) list += BaseRecord(b.name, b.length);
  Source("F", "stbazy.rek", list);
  std::string maszyny = Assets(2, 1);
  maszyny[convert::kFixedAssetRecordSize + 0x004] = '\xFF';  // the second asset's first text
  Source("F", "MASZYNY.REK", maszyny);
  Source("F", "DUZA.REK", Assets(40, 2));
  Source("F", "SRODKI.REK", Assets(1, 3));
  // Where the refused names lead when taken as paths.
  test::WriteFile(dir / "DOR_2019" / "WYJSCIE.REK", Assets(1, 4));
  test::WriteFile(dir / "DOR_2019" / "F" / "C:WYJSCIE.REK", Assets(1, 5));
  test::WriteFile(dir / "DOR_2019" / "F" / "M1.REK", Assets(1, 6));
  const auto source = Snapshot(dir / "DOR_2019");

  auto firm = Context("F");
  CopyAssetBases(*firm);

  std::string cut = maszyny;
  cut[convert::kFixedAssetRecordSize + 0x004] = 60;
  EXPECT_EQ(
      Snapshot(dir / "DOR_2020"),
      (std::map<std::string, std::string>{{"F/MASZYNY.REK", cut}, {"F/DUZA.REK", Assets(40, 2)}}));
  EXPECT_EQ(Snapshot(dir / "DOR_2019"), source);
  int refused = 0;
  for (const Base& b : bases) {
    SCOPED_TRACE(b.name);
    std::string shown = b.name.substr(0, std::min<std::size_t>(b.length, 12));
    const LogLine* line =
        log.Find("Pominięto bazę środków trwałych o niedozwolonej nazwie \""_ps + shown + "\"");
    EXPECT_EQ(line != nullptr, b.outcome == Base::kRefused) << log.Dump();
    if (line) {
      EXPECT_EQ(line->colour, convert::kColourWarning);
      ++refused;
    }
  }
  EXPECT_EQ(log.Count("Kopiuje "_ps + SourcePath("F", "MASZYNY.REK")), 1) << log.Dump();
  const LogLine* missing = log.Find("Brak pliku źródłowego "_ps + SourcePath("F", "BRAK.REK"));
  ASSERT_NE(missing, nullptr) << log.Dump();
  EXPECT_EQ(missing->colour, convert::kColourWarning);
  EXPECT_EQ(firm->errors, refused);
}

TEST_F(ModuleItemsTest, ABaseListCutShortUnreadableOrMissingStillLetsTheRunGoOn) {
  Source("F", "stbazy.rek", BaseRecord("MASZYNY") + BaseRecord("BUDYNKI").substr(0, 60));
  Source("F", "MASZYNY.REK", Assets(1, 1));
  Source("F", "BUDYNKI.REK", Assets(1, 2));
  auto firm = Context("F");
  CopyAssetBases(*firm);
  EXPECT_EQ(ReadTarget("F", "MASZYNY.REK"), Assets(1, 1));
  EXPECT_FALSE(InTarget("F", "BUDYNKI.REK"));
  const LogLine* torn =
      log.Find("Pominięto niepełny ostatni rekord pliku "_ps + SourcePath("F", "stbazy.rek"));
  ASSERT_NE(torn, nullptr) << log.Dump();
  EXPECT_EQ(torn->colour, convert::kColourWarning);

  // A list that cannot be opened, or fails after its first record: said in red, and the
  // bases read before the failure still come over.
  for (bool opens : {false, true}) {
    SCOPED_TRACE(opens);
    const std::string firmDir = opens ? "READ" : "OPEN";
    Source(firmDir, "stbazy.rek", BaseRecord("MASZYNY") + BaseRecord("BUDYNKI"));
    Source(firmDir, "MASZYNY.REK", Assets(1, 1));
    Source(firmDir, "BUDYNKI.REK", Assets(1, 2));
    const std::string list = SourcePath(firmDir, "stbazy.rek");
    faulty.Plan(list, {.failOpen = !opens, .readFailsAfter = convert::kAssetBaseRecordSize});
    auto failing = Context(firmDir);
    CopyAssetBases(*failing);
    const LogLine* said =
        log.Find((opens ? "Błąd odczytu danych z "_ps : "Błąd otwarcia pliku "_ps) + list);
    ASSERT_NE(said, nullptr) << log.Dump();
    EXPECT_EQ(said->colour, convert::kColourError);
    EXPECT_EQ(InTarget(firmDir, "MASZYNY.REK"), opens);
    EXPECT_FALSE(InTarget(firmDir, "BUDYNKI.REK"));
    EXPECT_EQ(failing->errors, 1);
  }

  // No list at all: nothing to do and nothing said.
  log.lines.clear();
  auto bare = Context("G");
  CopyAssetBases(*bare);
  EXPECT_TRUE(log.lines.empty());
  EXPECT_EQ(bare->errors, 0);
}

TEST_F(ModuleItemsTest, EachModuleRunsItsItemsUnderItsOwnOption) {
  const std::string assetFiles[] = {"srodki.rek", "wyposaz.rek", "st.cnf", "stbazy.rek",
                                    "MASZYNY.REK"};
  const std::string mileageFiles[] = {"km.cnf", "adresy.rek", "samochod.rek", "_2020/a.kst",
                                      "_2020/b.wyj"};
  for (std::uint16_t options : {dll_items::kFixedAssets, dll_items::kMileage140}) {
    SCOPED_TRACE(options);
    const std::string firmDir = options == dll_items::kFixedAssets ? "ST" : "KM";
    // The last asset cut short in its first text, which claims 255 characters.
    std::string torn = Assets(2, 1) + Assets(1, 7).substr(0, 0x20);
    torn[2 * convert::kFixedAssetRecordSize + 0x004] = '\xFF';
    Source(firmDir, "srodki.rek", torn);
    Source(firmDir, "wyposaz.rek", Assets(1, 2));
    Source(firmDir, "st.cnf", std::string(convert::kAssetSettingsRecordSize, '\x05'));
    Source(firmDir, "stbazy.rek", BaseRecord("MASZYNY"));
    Source(firmDir, "MASZYNY.REK", Assets(1, 3));
    Source(firmDir, "km.cnf", std::string(convert::kMileageSettingsRecordSize, '\x05'));
    Source(firmDir, "adresy.rek", std::string(convert::kMileageAddressRecordSize * 2, '\x05'));
    Source(firmDir, "samochod.rek", std::string(convert::kCarRecordSize, '\x05'));
    Source(firmDir, "_2020/a.kst", std::string(convert::kRouteCostRecordSize, '\x05'));
    Source(firmDir, "_2020/b.wyj", std::string(convert::kTripRecordSize, '\x05'));
    run->options.dllItems = options;
    auto firm = Context(firmDir);
    RunRows(*firm, 34, 44);
    for (const std::string& name : assetFiles)
      EXPECT_EQ(InTarget(firmDir, name), options == dll_items::kFixedAssets) << name;
    if (options == dll_items::kFixedAssets) {
      torn[2 * convert::kFixedAssetRecordSize + 0x004] = 60;
      EXPECT_EQ(ReadTarget(firmDir, "srodki.rek"), torn);
    }
    for (const std::string& name : mileageFiles)
      EXPECT_EQ(InTarget(firmDir, name), options == dll_items::kMileage140) << name;
    EXPECT_EQ(firm->errors, 0) << log.Dump();
  }
}

TEST_F(ModuleItemsTest, AYearFolderAlreadyInTheTargetTakesTheRouteCostsAndTrips) {
  std::string costs(convert::kRouteCostRecordSize * 2, '\x04');
  costs[convert::kRouteCostRecordSize + 0x0C1] = '\xFF';
  std::string trips(convert::kTripRecordSize, '\x04');
  trips[0x03C] = '\x30';
  Source("F", "_2020/a.kst", costs);
  Source("F", "_2020/b.wyj", trips);
  Target("F", "_2020/stary.kst", "kept as it was");
  run->options.dllItems = dll_items::kMileage140;
  auto firm = Context("F");
  RunRows(*firm, 43, 44);

  std::string cutCosts = costs, cutTrips = trips;
  cutCosts[convert::kRouteCostRecordSize + 0x0C1] = 50;
  cutTrips[0x03C] = 35;
  EXPECT_EQ(ReadTarget("F", "_2020/a.kst"), cutCosts);
  EXPECT_EQ(ReadTarget("F", "_2020/b.wyj"), cutTrips);
  EXPECT_EQ(ReadTarget("F", "_2020/stary.kst"), "kept as it was");
  EXPECT_EQ(log.FindStarting("Błąd utworzenia folderu"_pl), nullptr) << log.Dump();
  EXPECT_EQ(firm->errors, 0);
}

}  // namespace
}  // namespace zq::driver
