// A generated firm with every module file and its wage settings carried by the whole
// firm run, every module on: each Target file checked byte for byte against the Source
// file it comes from, the further asset base with a bad name left where it is, and the
// Source tree as it was.
#include <gtest/gtest.h>

#include <algorithm>

#include "driver/firm_rig.h"
#include "driver/firm_run.h"
#include "sample.h"
#include "sample_modules.h"

namespace zq::driver {
namespace {

using namespace test_rig;
using zq::operator""_pl;

constexpr std::uint8_t kDays2020[12] = {21, 20, 22, 21, 20, 21, 23, 20, 22, 22, 20, 21};

void PutWord(std::string& bytes, std::size_t at, unsigned value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>(value >> 8);
}

// A text as a converter that starts from zeros writes it: length byte and characters,
// cut to `room`, nothing after.
void MoveText(const std::string& in, std::size_t from, std::size_t fromRoom, std::string& out,
              std::size_t to, std::size_t room) {
  std::size_t n =
      std::min({static_cast<std::size_t>(static_cast<unsigned char>(in[from])), fromRoom, room});
  out[to] = static_cast<char>(n);
  std::copy_n(in.begin() + static_cast<std::ptrdiff_t>(from + 1), n,
              out.begin() + static_cast<std::ptrdiff_t>(to + 1));
}

// The payroll list settings of 2020 from a record of the older layout.
std::string SettingsFromOlderLayout(const std::string& in) {
  std::string out(2048, '\0');
  for (std::size_t i = 0; i < 10; ++i) {
    MoveText(in, 18 * i, 2, out, 22 * i, 2);
    std::copy_n(in.begin() + static_cast<std::ptrdiff_t>(18 * i + 3), 2,
                out.begin() + static_cast<std::ptrdiff_t>(22 * i + 3));
    MoveText(in, 18 * i + 5, 12, out, 22 * i + 5, 16);
  }
  for (std::size_t i = 0; i < 4; ++i) MoveText(in, 0x0B9 + 18 * i, 17, out, 0x1B8 + 17 * i, 16);
  MoveText(in, 0x101, 12, out, 0x1B8 + 17 * 4, 16);
  std::copy_n(in.begin() + 0x10E, 16, out.begin() + 0x265);
  std::copy_n(in.begin() + 0x124, 2, out.begin() + 0x275);
  out[0x277] = in[0x14D];
  out[0x262] = 4;
  return out;
}

std::string Stamped2020(std::string settings) {
  PutWord(settings, 0x263, 2020);
  std::copy(std::begin(kDays2020), std::end(kDays2020), settings.begin() + 0x278);
  return settings;
}

class ModulesEndToEndTest : public ::testing::Test {
 protected:
  ModulesEndToEndTest() {
    sample = sample::GenerateSample({.seed = 2, .firms = 9}, dir.Path());
    sourceBefore = Snapshot(sample.source);
    run = std::make_unique<RunState>(rig.platform);
    run->options.sourceTree = dir.Prefix() + "DOR_2019\\";
    run->options.targetTree = dir.Prefix() + "DOR_2020\\";
    run->options.firmItems = 0xFFFF;
    run->options.dllItems = 0xFFFF;
    run->log.AddSink(&log);
  }
  ~ModulesEndToEndTest() override { run->log.RemoveSink(&log); }

  std::string SourceFile(const sample::SampleFirm& firm, std::string_view name) const {
    return test::ReadFile(sample::HostPath(sample.SourceFirmPath(firm), name));
  }
  std::string TargetFile(const sample::SampleFirm& firm, std::string_view name) const {
    return test::ReadFile(sample::HostPath(sample.TargetFirmPath(firm), name));
  }

  test::TempDir dir;
  test::HeadlessRig rig;
  sample::Sample sample;
  std::map<std::string, std::string> sourceBefore;
  std::unique_ptr<RunState> run;
  FirmRunShared shared;
  LogCapture log;
};

TEST_F(ModulesEndToEndTest, EveryModuleFileAndTheWageSettingsArriveByteForByte) {
  const sample::SampleFirm& first = sample.firms[0];
  // A firm that began 2020 in the old version, with wage settings in layout 4.
  const sample::SampleFirm* begun = nullptr;
  for (const sample::SampleFirm* f : sample.Discovered()) {
    const auto& files = f->sourceFiles;
    if (f->annual2020 && std::find(files.begin(), files.end(), "2020_lp.cc") != files.end())
      begun = f;
  }
  ASSERT_NE(begun, nullptr) << "the seed should give a firm with 2020 wage settings";

  ASSERT_TRUE(ConvertFirm(*run, shared, first.directory).completed) << log.Dump();
  rig.console.PushKey(Key('n'));  // the annual settings of 2020
  ASSERT_TRUE(ConvertFirm(*run, shared, begun->directory).completed) << log.Dump();
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);

  // Module files whose texts all fit: as they were, stale bytes after the texts included.
  const std::vector<std::string> module = {
      "wyposaz.rek",        "st.cnf",          "stbazy.rek",        "MASZYNY.REK",
      "BUDYNKI.REK",        "km.cnf",          "adresy.rek",        "samochod.rek",
      "_2020\\styczen.kst", "_2020\\luty.kst", "_2020\\wyjazdy.wyj"};
  for (const std::string& name : module) {
    SCOPED_TRACE(name);
    ASSERT_NE(std::find(first.sourceFiles.begin(), first.sourceFiles.end(), name),
              first.sourceFiles.end());
    const std::string in = SourceFile(first, name);
    EXPECT_FALSE(in.empty());
    EXPECT_TRUE(TargetFile(first, name) == in);
  }
  // The asset whose name claimed 255 characters: that length byte only is lowered.
  std::string assets = SourceFile(first, "srodki.rek");
  ASSERT_EQ(static_cast<unsigned char>(assets[39771 + 4]), 0xFFu);
  assets[39771 + 4] = 60;
  EXPECT_TRUE(TargetFile(first, "srodki.rek") == assets);

  // The base named as a path is shown and left; nothing lands outside the firm.
  const LogLine* refused = log.Find("Pominięto bazę środków trwałych o niedozwolonej nazwie \""_ps +
                                    std::string(sample::kBadAssetBaseName) + "\"");
  ASSERT_NE(refused, nullptr) << log.Dump();
  EXPECT_EQ(refused->colour, convert::kColourWarning);
  for (const auto& [name, bytes] : Snapshot(sample.target))
    EXPECT_EQ(name.find("ARCHIWUM"), std::string::npos) << name;

  // Wage settings: the older layout moved into layout 4, and layout 4 as it was; both
  // with the year and working days of 2020.
  EXPECT_EQ(TargetFile(first, "2020_lp2.cc"),
            Stamped2020(SettingsFromOlderLayout(SourceFile(first, "2019_lp.cc"))));
  EXPECT_EQ(TargetFile(*begun, "2020_lp2.cc"), Stamped2020(SourceFile(*begun, "2020_lp.cc")));

  EXPECT_EQ(Snapshot(sample.source), sourceBefore);
}

}  // namespace
}  // namespace zq::driver
