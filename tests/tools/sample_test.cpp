#include "sample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <set>

#include "platform/cp852.h"
#include "shared/firm_record.h"
#include "support/test_env.h"

namespace zq::sample {
namespace {

using zq::operator""_pl;
namespace fs = std::filesystem;

// Every file under root, by relative path, with its bytes.
std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::string name = fs::relative(entry.path(), root).generic_string();
    files[name] = entry.is_directory() ? "<dir>" : test::ReadFile(entry.path());
  }
  return files;
}

std::string RecordBytes(const shared::FirmRecordBytes& record) {
  return std::string(reinterpret_cast<const char*>(record.data()), record.size());
}

TEST(SampleGenerator, SameSeedGivesTheSameBytes) {
  test::TempDir a, b, c;
  GenerateSample({.seed = 7, .firms = 25}, a.Path());
  GenerateSample({.seed = 7, .firms = 25}, b.Path());
  GenerateSample({.seed = 8, .firms = 25}, c.Path());
  auto first = Tree(a.Path());
  EXPECT_GT(first.size(), 100u);
  EXPECT_EQ(first, Tree(b.Path()));
  EXPECT_NE(first.at("DOR_2019/SPISFIRM.DAT"), Tree(c.Path()).at("DOR_2019/SPISFIRM.DAT"));
}

TEST(SampleGenerator, FirmListDecodesToTheFirmsMade) {
  test::TempDir dir;
  Sample sample = GenerateSample({.seed = 3, .firms = 40}, dir.Path());
  std::string list = test::ReadFile(sample.source / "SPISFIRM.DAT");
  ASSERT_EQ(list.size(), 40 * shared::kFirmRecordSize);

  std::set<std::string> directories;
  for (std::size_t i = 0; i < sample.firms.size(); ++i) {
    const SampleFirm& firm = sample.firms[i];
    std::string_view bytes(list.data() + i * shared::kFirmRecordSize, shared::kFirmRecordSize);
    EXPECT_EQ(bytes, RecordBytes(firm.record));
    shared::FirmRecordText text = shared::ReadFirmRecord(shared::RecordView(bytes));
    EXPECT_EQ(text.name, firm.name);
    EXPECT_EQ(text.directory, firm.directory);
    EXPECT_EQ(text.info, firm.info);
    EXPECT_FALSE(text.name.empty());
    EXPECT_LE(text.name.size(), 31u);
    EXPECT_FALSE(text.directory.empty());
    EXPECT_LE(text.directory.size(), 8u);
    // Directory names are unique as the host compares them too (without regard to case).
    std::string upper = Cp852ToUtf8(text.directory);
    for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    EXPECT_TRUE(directories.insert(upper).second) << upper;
  }
  EXPECT_EQ(sample.firms[0].name, "Piekarnia Łódź"_pl);
  EXPECT_EQ(sample.firms[0].directory, "PIEKARZ");
}

TEST(SampleGenerator, DiscoverySetMatchesTheDirectoriesMade) {
  for (int firms : {0, 1, 2, 3, 6, 40}) {
    for (std::uint64_t seed : {1u, 99u}) {
      SCOPED_TRACE("firms " + std::to_string(firms) + " seed " + std::to_string(seed));
      test::TempDir dir;
      Sample sample = GenerateSample({.seed = seed, .firms = firms}, dir.Path());
      ASSERT_EQ(sample.firms.size(), static_cast<std::size_t>(firms));

      std::string targetList;
      int carried = 0, missing = 0;
      std::vector<const SampleFirm*> expected;
      for (const SampleFirm& firm : sample.firms) {
        bool inSource = fs::is_directory(sample.SourceFirmPath(firm));
        bool inTarget = fs::is_directory(sample.TargetFirmPath(firm));
        // Discovery keeps a firm whose directory is in the Source tree and not in the Target.
        EXPECT_EQ(firm.Discovered(), inSource && !inTarget) << Cp852ToUtf8(firm.directory);
        if (inSource && !inTarget) expected.push_back(&firm);
        switch (firm.state) {
          case FirmState::kReady:
            break;
          case FirmState::kAlreadyInTarget:
            ++carried;
            EXPECT_TRUE(inSource && inTarget);
            targetList += RecordBytes(firm.record);
            break;
          case FirmState::kMissing:
            ++missing;
            EXPECT_FALSE(inSource || inTarget);
            break;
        }
      }
      EXPECT_EQ(sample.Discovered(), expected);
      EXPECT_EQ(carried, firms >= 2 ? 1 : 0);
      EXPECT_EQ(missing, firms >= 3 ? std::max(1, firms / 6) : 0);
      EXPECT_EQ(test::ReadFile(sample.target / "SPISFIRM.DAT"), targetList);
      EXPECT_TRUE(fs::is_directory(sample.source / "#BIN980"));
      EXPECT_TRUE(fs::is_directory(sample.target / "#BIN020"));
      if (firms > 0) {
        EXPECT_EQ(sample.firms[0].state, FirmState::kReady);
      }
    }
  }
}

TEST(SampleGenerator, ReportsExactlyTheFilesOnDisk) {
  test::TempDir dir;
  Sample sample = GenerateSample({.seed = 5, .firms = 12}, dir.Path());
  std::set<fs::path> reported;
  auto report = [&](const fs::path& base, const std::vector<std::string>& names) {
    for (const std::string& name : names) reported.insert(HostPath(base, name));
  };
  report(sample.source / "#BIN980", sample.sourceGlobalFiles);
  report(sample.target / "#BIN020", sample.targetGlobalFiles);
  for (const SampleFirm& firm : sample.firms) {
    report(sample.SourceFirmPath(firm), firm.sourceFiles);
    report(sample.TargetFirmPath(firm), firm.targetFiles);
  }
  reported.insert(sample.source / "SPISFIRM.DAT");
  reported.insert(sample.target / "SPISFIRM.DAT");

  std::set<fs::path> onDisk;
  for (const auto& entry : fs::recursive_directory_iterator(dir.Path()))
    if (entry.is_regular_file()) onDisk.insert(entry.path());
  EXPECT_EQ(onDisk, reported);
}

TEST(SampleGenerator, NamesAreHostSpelledAndContentsCodePage852) {
  test::TempDir dir;
  Sample sample = GenerateSample({.seed = 1, .firms = 6}, dir.Path());
  // The second firm's directory has a Polish letter: on disk it is spelled in UTF-8.
  const SampleFirm& second = sample.firms[1];
  ASSERT_NE(Cp852ToUtf8(second.directory), second.directory);
  EXPECT_EQ(sample.SourceFirmPath(second).filename().string(), Cp852ToUtf8(second.directory));
  EXPECT_TRUE(fs::is_directory(sample.source / Cp852ToUtf8(second.directory)));

  std::string text = test::ReadFile(sample.SourceFirmPath(sample.firms[0]) / "FIRMATXT.INI");
  EXPECT_NE(text.find(std::string("NAZWA_ZUS=") + std::string("Piekarnia Łódź"_pl) + "\r\n"),
            std::string::npos);
  EXPECT_EQ(text.find("Łódź"), std::string::npos);  // no UTF-8 inside
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

TEST(SampleGenerator, FirmsHoldWhatTheirRunNeeds) {
  test::TempDir dir;
  Sample sample = GenerateSample({.seed = 11, .firms = 30}, dir.Path());
  int with2020 = 0;
  for (const SampleFirm& firm : sample.firms) {
    if (firm.state == FirmState::kMissing) continue;
    fs::path path = sample.SourceFirmPath(firm);
    EXPECT_EQ(fs::file_size(path / "2019_ROK.REK"), 3 * 512u);
    std::string marker = test::ReadFile(path / "_zq_dor.rek");
    ASSERT_EQ(marker.size(), 256u);
    EXPECT_EQ(static_cast<unsigned char>(marker[0]) | static_cast<unsigned char>(marker[1]) << 8,
              2019);
    if (fs::exists(path / "2020_ROK.REK")) ++with2020;
    EXPECT_EQ(fs::exists(path / "2020_ROK.REK"), firm.annual2020);
    if (firm.state == FirmState::kAlreadyInTarget) {
      std::string carried = test::ReadFile(sample.TargetFirmPath(firm) / "_zq_dor.rek");
      ASSERT_EQ(carried.size(), 256u);
      EXPECT_EQ(static_cast<unsigned char>(carried[0]) | static_cast<unsigned char>(carried[1])
                                                             << 8,
                2020);
      EXPECT_EQ(fs::file_size(sample.TargetFirmPath(firm) / "2020_ROK.REK"), 3 * 512u);
    }
  }
  EXPECT_GT(with2020, 0);
  for (std::string_view name :
       {"dor_2019.ini", "baza_ff.txt", "DOR_ZQ.INI", "2019spd.ini", "ZUS_PEL.INI", "UMOWY.INI"})
    EXPECT_GT(fs::file_size(sample.source / "#BIN980" / name), 0u) << name;
  EXPECT_EQ(fs::file_size(sample.source / "#BIN980" / "KOLORY.ZQ"), 11u);
}

TEST(SampleGenerator, RefusesTreesThatExist) {
  test::TempDir dir;
  GenerateSample({.seed = 1, .firms = 3}, dir.Path());
  auto before = Tree(dir.Path());
  EXPECT_THROW(GenerateSample({.seed = 2, .firms = 3}, dir.Path()), std::runtime_error);
  EXPECT_EQ(Tree(dir.Path()), before);
  EXPECT_THROW(GenerateSample({.seed = 1, .firms = -1}, dir.Path() / "x"), std::invalid_argument);
  EXPECT_THROW(GenerateSample({.seed = 1, .firms = kMaxFirms + 1}, dir.Path() / "x"),
               std::invalid_argument);
}

TEST(SampleGenerator, ManyFirmsKeepDirectoriesUnique) {
  test::TempDir dir;
  Sample sample = GenerateSample({.seed = 4, .firms = 250}, dir.Path());
  std::set<std::string> directories;
  for (const SampleFirm& firm : sample.firms) {
    EXPECT_LE(firm.directory.size(), 8u);
    EXPECT_TRUE(directories.insert(firm.directory).second) << Cp852ToUtf8(firm.directory);
  }
  EXPECT_GT(sample.Discovered().size(), 180u);
}

// The realistic office: the same firms as the small one, each file that grows with a
// firm's business scaled by the firm's size, some firms holding only what a firm cannot
// be carried without, and sizes around a median of about 2 MB.
TEST(SampleGenerator, RealisticOfficeScalesEachFirmsGrowingFiles) {
  test::TempDir dir;
  Sample small = GenerateSample({.seed = 5, .firms = 30}, dir / "small");
  Sample big = GenerateSample({.seed = 5, .firms = 30, .office = Office::kRealistic}, dir / "big");
  ASSERT_EQ(small.firms.size(), big.firms.size());
  const std::set<std::string> essential = {"2019_ROK.REK", "2020_ROK.REK", "_zq_dor.rek",
                                           "FIRMATXT.INI", "FIRMA_A8.REK"};
  int few = 0, scaled = 0, wholeYears = 0;
  std::vector<std::uintmax_t> sizes;
  for (std::size_t i = 0; i < big.firms.size(); ++i) {
    const SampleFirm& firm = big.firms[i];
    EXPECT_EQ(RecordBytes(firm.record), RecordBytes(small.firms[i].record));
    EXPECT_EQ(small.firms[i].scale, 1);
    if (!firm.Discovered()) continue;
    const fs::path home = big.SourceFirmPath(firm);
    if (firm.fewFiles) {
      ++few;
      for (const std::string& name : firm.sourceFiles)
        EXPECT_TRUE(essential.contains(name)) << name;
    }
    if (firm.scale > 1 && fs::exists(home / "km2020.rek")) {
      ++scaled;
      EXPECT_EQ(fs::file_size(home / "km2020.rek"), 300u * static_cast<unsigned>(firm.scale));
    }
    // Staff, assets and trips grow more slowly than the firm's bytes.
    if (firm.scale > 1 && fs::exists(home / "_2020" / "luty.kst")) {
      EXPECT_EQ(fs::file_size(home / "_2020" / "luty.kst"),
                572u * static_cast<unsigned>(std::max(1, 10 * firm.scale / kMedianScale)));
    }
    // A firm of some size keyed the whole year: its entries reach past the fourth month.
    if (firm.scale > 1 && fs::exists(home / "2020K880.1"))
      for (int month = 5; month <= 12; ++month)
        if (fs::exists(home / ("2020K880." + std::to_string(month)))) {
          ++wholeYears;
          break;
        }
    std::uintmax_t bytes = 0;
    for (const auto& e : fs::recursive_directory_iterator(home))
      if (e.is_regular_file()) bytes += e.file_size();
    sizes.push_back(bytes);
  }
  EXPECT_GT(few, 0);
  EXPECT_GT(scaled, 10);
  EXPECT_GT(wholeYears, 3);
  std::sort(sizes.begin(), sizes.end());
  const double median = static_cast<double>(sizes[sizes.size() / 2]) / (1 << 20);
  EXPECT_GT(median, 1.0);
  EXPECT_LT(median, 4.0);
}

TEST(ProgramFiles, PathAndListFilesAreCodePage852WithCrLf) {
  test::TempDir dir;
  fs::path source = dir / "Rok 2019 Łódź", target = dir / "DOR_2020";
  WritePathFile(dir / "zq18-20.PTH", source, target);
  std::string root = Utf8ToCp852(dir.Path().string());
  EXPECT_EQ(test::ReadFile(dir / "zq18-20.PTH"), "[PATHS]\r\nDOR_2019=" + root + "/Rok 2019 " +
                                                     std::string("Łódź"_pl) +
                                                     "\r\nDOR_2020=" + root + "/DOR_2020\r\n");

  WriteExtraFileList(dir / "zq18-20.LST", ExtraFileEntries());
  std::string list = test::ReadFile(dir / "zq18-20.LST");
  EXPECT_EQ(list,
            "UWAGI.TXT\r\nCennik.txt>Cennik20.txt\r\n" + std::string("Zamówienia.txt"_pl) + "\r\n");
  for (std::string_view entry : ExtraFileEntries()) EXPECT_LE(entry.size(), 25u);
}

TEST(ProgramFiles, CommandLineMakesTheTreesAndTheProgramFiles) {
  test::TempDir dir;
  std::string out = (dir / "demo").string();
  std::string command = std::string(ZQ_SAMPLE_BINARY) + " --out '" + out +
                        "' --firms 4 --seed 9 --program-dir '" + out + "/DOR_2020' >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(fs::file_size(dir / "demo/DOR_2019/SPISFIRM.DAT"), 4 * 103u);
  EXPECT_TRUE(fs::exists(dir / "demo/DOR_2020/zq18-20.PTH"));
  EXPECT_TRUE(fs::exists(dir / "demo/DOR_2020/zq18-20.LST"));

  test::TempDir again;
  Sample sample = GenerateSample({.seed = 9, .firms = 4}, again.Path());
  EXPECT_EQ(Tree(dir / "demo/DOR_2019"), Tree(sample.source));

  // A second run refuses, and so do bad arguments.
  EXPECT_NE(std::system((command + " 2>/dev/null").c_str()), 0);
  std::string bad =
      std::string(ZQ_SAMPLE_BINARY) + " --out '" + out + "2' --firms lots 2>/dev/null";
  EXPECT_NE(std::system(bad.c_str()), 0);
  EXPECT_FALSE(fs::exists(out + "2"));
}

}  // namespace
}  // namespace zq::sample
