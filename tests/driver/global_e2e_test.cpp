// The whole program on a generated installation with every global item chosen: the
// global data copy first, then every firm with its reference bases. The Target's global
// directory and the firms' base files are then checked byte for byte against their
// Source files as each one's converter or filter makes them, and the Source tree
// against what it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "convert/bases.h"
#include "convert/wage_settings.h"
#include "driver/firm_rig.h"
#include "driver/program.h"
#include "sample.h"
#include "sample_annual.h"
#include "shared/protection.h"

namespace zq::driver {
namespace {

using namespace test_rig;

using Converter = std::function<bool(std::span<const std::uint8_t>, std::span<std::uint8_t>)>;
using Filter = std::function<bool(std::span<std::uint8_t>)>;

constexpr std::uint16_t kDown = 0x5000;
constexpr std::uint16_t kSpace = 0x3920;

// A file through a converter record by record, a short last record zero-padded.
std::string Converted(const std::string& in, std::size_t inSize, std::size_t outSize,
                      const Converter& convert) {
  std::string out;
  for (std::size_t at = 0; at < in.size(); at += inSize) {
    std::vector<std::uint8_t> record(inSize, 0), made(outSize, 0);
    std::copy_n(in.begin() + static_cast<std::ptrdiff_t>(at), std::min(inSize, in.size() - at),
                record.begin());
    if (convert(record, made)) out.append(made.begin(), made.end());
  }
  return out;
}

std::string Filtered(const std::string& in, std::size_t size, const Filter& filter) {
  std::string out;
  for (std::size_t at = 0; at < in.size(); at += size) {
    std::size_t n = std::min(size, in.size() - at);
    std::vector<std::uint8_t> record(size, 0);
    std::copy_n(in.begin() + static_cast<std::ptrdiff_t>(at), n, record.begin());
    if (filter(record)) out.append(record.begin(), record.begin() + static_cast<std::ptrdiff_t>(n));
  }
  return out;
}

struct FileRule {
  std::string_view source;
  std::string_view target;
  std::function<std::string(const std::string&)> expected;
};

std::function<std::string(const std::string&)> Same() {
  return [](const std::string& in) { return in; };
}
std::function<std::string(const std::string&)> Through(std::size_t inSize, std::size_t outSize,
                                                       Converter convert) {
  return [=](const std::string& in) { return Converted(in, inSize, outSize, convert); };
}
std::function<std::string(const std::string&)> FilteredBy(std::size_t size, Filter filter) {
  return [=](const std::string& in) { return Filtered(in, size, filter); };
}

Converter Addresses(bool taxOffices) {
  return [taxOffices](auto in, auto out) { return convert::ConvertAddress(in, out, taxOffices); };
}

std::vector<FileRule> GlobalRules() {
  return {
      {"baza_ad8.rek", "baza_ad8.rek", Through(480, 480, Addresses(false))},
      {"dor_2019.ini", "dor_2020.ini", Same()},
      {"baza_us8.rek", "baza_us8.rek", Through(480, 480, Addresses(true))},
      {"baza_ff.txt", "baza_ff.txt", Same()},
      {"2019_BR.REK", "2020_BR.REK", Through(384, 384, convert::ConvertOfficeData)},
      {"DOR_ZQ.INI", "DOR_ZQ.INI", Same()},
      {"2019spd.ini", "2019spd.ini", Same()},
      {"2019_lp.cc", "2020_lp2.cc", FilteredBy(2048, convert::FilterWageSettings)},
      {"KOLORY.ZQ", "KOLORY.ZQ", Same()},
      {"OPERATOR.REK", "OPERATOR.REK",
       [](const std::string& in) {
         convert::OperatorFilter filter;  // one per file, as the copy has it
         return Filtered(in, 512, std::ref(filter));
       }},
      {"ZUS_PEL.INI", "ZUS_PEL.INI", Same()},
      {"UMOWY.INI", "UMOWY.INI", Same()},
  };
}

std::vector<FileRule> FirmRules() {
  return {
      {"baza_ad8.rek", "baza_ad8.rek", Through(480, 480, Addresses(false))},
      {"baza_sp8.rek", "baza_sp9.rek", Through(160, 512, convert::ConvertAutomation)},
      {"baza_za8.rek", "baza_za9.rek", Through(160, 512, convert::ConvertAutomation)},
      {"BAZA_PP8.REK", "BAZA_PP8.REK", Through(432, 432, convert::ConvertTransfer)},
      {"ESTUJ.REK", "ESTUJ.REK", FilteredBy(768, convert::FilterOneOffAsset)},
      {"BAZA_DW8.REK", "BAZA_DW8.REK", Through(784, 784, convert::ConvertInternalDocument)},
      {"ODS_ZOB.REK", "ODS_ZOB.REK", FilteredBy(200, convert::FilterInterestList)},
      {"AUTOV26.REK", "AUTOV26.REK", FilteredBy(320, convert::FilterVehicle)},
      {"2020_NK8.REK", "2020_NK8.REK", Through(848, 848, convert::ConvertNote)},
  };
}

class GlobalEndToEndTest : public ::testing::Test {
 protected:
  void Generate(std::uint64_t seed, int firms) {
    sample = sample::GenerateSample({.seed = seed, .firms = firms}, dir.Path());
    fs::create_directories(dir / "prog");
    sample::WritePathFile(dir / "prog" / "zq18-20.PTH", sample.source, sample.target);
    rig.process.SetOwnPath(dir.Prefix() + "prog/zq18-20");
    sourceBefore = Snapshot(sample.source);
  }

  // Page 2 gets every global item (three are off by default), then the copy starts;
  // every firm is taken and every year question answered with the Source's 2020.
  void Script() {
    rig.console.PushKeys({kPgDn, kDown, kDown, kDown, kSpace, kDown, kDown, kSpace, kDown, kDown,
                          kDown, kSpace, kPgDn, kPgDn, kF5});
    bool missing = std::any_of(sample.firms.begin(), sample.firms.end(), [](const auto& f) {
      return f.state == sample::FirmState::kMissing;
    });
    if (missing) rig.console.PushKey(kEnter);
    rig.console.PushKey(kF5);
    for (std::size_t i = 0; i < sample.firms.size(); ++i) {
      const sample::SampleFirm& firm = sample.firms[i];
      if (!firm.Discovered()) continue;
      bool asked = firm.annual2019 && firm.annual2020;
      if (asked) rig.console.PushKey(Key('n'));
      if (!asked && sample::HasOpenDecember(i)) rig.console.PushKey(Key(' '));
    }
    rig.console.PushKey(kEnter);  // the report window
    rig.console.PushAction([this] { ending = rig.console.ScreenText(); });
    rig.console.PushKey(kEnter);
  }

  test::TempDir dir;
  test::HeadlessRig rig;
  sample::Sample sample;
  std::map<std::string, std::string> sourceBefore;
  std::string ending;
};

TEST_F(GlobalEndToEndTest, GlobalDataAndEveryFirmsBasesArriveAsTheirConvertersMakeThem) {
  Generate(4, 6);
  Script();
  int code = -1;
  try {
    code = RunProgram(rig.platform);
  } catch (const platform::ScriptExhausted& e) {
    FAIL() << "the program waited for a key the script did not have:\n" << e.screen;
  }
  EXPECT_EQ(code, 0);
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
  EXPECT_NE(ending.find("Koniec pracy kopiera danych DOR_ZQ na rok 2020"), std::string::npos)
      << ending;

  const fs::path sourceGlobal = sample.source / "#BIN980", targetGlobal = sample.target / "#BIN020";
  std::vector<std::string> expectedNames;
  for (const FileRule& rule : GlobalRules()) {
    SCOPED_TRACE(rule.source);
    ASSERT_TRUE(fs::exists(sourceGlobal / rule.source)) << "the sample should make it";
    std::string in = test::ReadFile(sourceGlobal / rule.source);
    EXPECT_EQ(test::ReadFile(targetGlobal / rule.target), rule.expected(in));
    expectedNames.emplace_back(rule.target);
  }
  // The operators were decoded, not carried as noise: the first one gained her rights.
  std::string operators = test::ReadFile(targetGlobal / "OPERATOR.REK");
  ASSERT_GE(operators.size(), 512u);
  std::vector<std::uint8_t> first(operators.begin(), operators.begin() + 512);
  const std::span<const std::uint8_t> records[] = {first};
  std::optional<std::uint8_t> seed =
      shared::RecogniseSeed(records, shared::kBlockProtection, convert::kOperator);
  ASSERT_TRUE(seed.has_value());
  shared::ProtectBlock(first, *seed);
  EXPECT_EQ(first[0x085 + 6] | first[0x086 + 6] << 8, 0x001C);
  std::sort(expectedNames.begin(), expectedNames.end());
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(targetGlobal))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, expectedNames);

  int carried = 0;
  for (const sample::SampleFirm* firm : sample.Discovered()) {
    SCOPED_TRACE(Cp852ToUtf8(firm->directory));
    for (const FileRule& rule : FirmRules()) {
      SCOPED_TRACE(rule.source);
      fs::path in = sample::HostPath(sample.SourceFirmPath(*firm), rule.source);
      fs::path out = sample::HostPath(sample.TargetFirmPath(*firm), rule.target);
      ASSERT_EQ(fs::exists(out), fs::exists(in));
      if (!fs::exists(in)) continue;
      EXPECT_EQ(test::ReadFile(out), rule.expected(test::ReadFile(in)));
      ++carried;
    }
  }
  EXPECT_GE(carried, 20);
  EXPECT_EQ(Snapshot(sample.source), sourceBefore);
}

}  // namespace
}  // namespace zq::driver
