// The whole program on a generated installation, keys in as a person types them: the
// Wizard, the repair note of the discovery, the selection window, the year question of
// every firm that has both years, and the closing key. The Target tree is then checked
// file by file and the Source tree against what it was.
#include <gtest/gtest.h>

#include <sstream>

#include <algorithm>
#include <regex>

#include "driver/auto_settings.h"
#include "driver/firm_rig.h"
#include "driver/firm_run.h"
#include "driver/program.h"
#include "sample.h"
#include "sample_annual.h"
#include "shared/firm_list_file.h"
#include "tui/polish.h"

namespace zq::driver {
namespace {

using namespace test_rig;
using zq::operator""_pl;

class FirmEndToEndTest : public ::testing::Test {
 protected:
  void Generate(std::uint64_t seed, int firms) {
    sample = sample::GenerateSample({.seed = seed, .firms = firms}, dir.Path());
    fs::create_directories(dir / "prog");
    sample::WritePathFile(dir / "prog" / "zq18-20.PTH", sample.source, sample.target);
    sample::WriteExtraFileList(dir / "prog" / "zq18-20.LST", sample::ExtraFileEntries());
    rig.process.SetOwnPath(dir.Prefix() + "prog/zq18-20");
    sourceBefore = Snapshot(sample.source);
    targetListBefore = test::ReadFile(sample.target / "SPISFIRM.DAT");
  }

  // Each key with the screen it answers, so that a run that goes astray shows where.
  void Press(std::uint16_t key) {
    rig.console.PushAction([this] { screens.push_back(rig.console.ScreenText()); });
    rig.console.PushKey(key);
  }

  // The keys of a run that takes every firm and answers every year question with `year`.
  void Script(char year) {
    for (std::uint16_t key : {kPgDn, kPgDn, kPgDn, kF5}) Press(key);
    bool missing = std::any_of(sample.firms.begin(), sample.firms.end(), [](const auto& f) {
      return f.state == sample::FirmState::kMissing;
    });
    if (missing) Press(kEnter);  // "Napraw plik ..." waits for a key
    Press(kF5);                  // the selection: every firm
    for (std::size_t i = 0; i < sample.firms.size(); ++i) {
      const sample::SampleFirm& firm = sample.firms[i];
      if (!firm.Discovered()) continue;
      bool asked = firm.annual2019 && firm.annual2020;
      if (asked) Press(Key(year));
      // A December never approved is warned of, with a key wait, when 2019 is the source.
      if ((!asked || year == 'b') && sample::HasOpenDecember(i)) Press(Key(' '));
    }
    rig.console.PushAction([this] { report = rig.console.ScreenText(); });
    rig.console.PushKey(kEnter);  // the report window
    rig.console.PushAction([this] { ending = rig.console.ScreenText(); });
    rig.console.PushKey(kEnter);  // "Nacisnij Enter"
  }

  int Run() {
    try {
      return RunProgram(rig.platform);
    } catch (const platform::ScriptExhausted& e) {
      std::string seen;
      for (const std::string& screen : screens) seen += screen + "----\n";
      ADD_FAILURE() << "the program waited for a key the script did not have:\n"
                    << seen << e.screen;
      return -1;
    }
  }

  fs::path SourceFile(const sample::SampleFirm& firm, std::string_view name) const {
    return sample::HostPath(sample.SourceFirmPath(firm), name);
  }
  fs::path TargetFile(const sample::SampleFirm& firm, std::string_view name) const {
    return sample::HostPath(sample.TargetFirmPath(firm), name);
  }

  void CheckFirm(const sample::SampleFirm& firm) {
    SCOPED_TRACE(Cp852ToUtf8(firm.directory));
    auto has = [&](std::string_view name) {
      return std::find(firm.sourceFiles.begin(), firm.sourceFiles.end(), name) !=
             firm.sourceFiles.end();
    };
    ASSERT_TRUE(fs::is_directory(sample.TargetFirmPath(firm)));

    std::string marker = test::ReadFile(SourceFile(firm, "_zq_dor.rek"));
    std::string carried = test::ReadFile(TargetFile(firm, "_zq_dor.rek"));
    ASSERT_EQ(carried.size(), 256u);
    for (std::size_t at : {0u, 2u, 4u}) EXPECT_EQ(WordAt(carried, at), 2020u);
    EXPECT_EQ(carried[7], 1);
    EXPECT_EQ(carried.substr(8), marker.substr(8));
    EXPECT_EQ(carried[6], marker[6]);

    EXPECT_EQ(fs::file_size(TargetFile(firm, "2020_ROK.REK")), 3 * 512u);

    for (const std::string& name : firm.sourceFiles) {
      if (!name.starts_with("2020D4")) continue;
      std::string in = test::ReadFile(SourceFile(firm, name));
      std::string newName = name;
      newName[5] = '5';
      std::string out = test::ReadFile(TargetFile(firm, newName));
      std::size_t whole = 896 + (in.size() - 896) / 448 * 448;
      ASSERT_EQ(out.size(), whole) << name;
      double balance =
          (RealAt(in, 478) - RealAt(in, 518)) + RealAt(in, 590) + RealAt(in, 614) + RealAt(in, 630);
      EXPECT_EQ(RealAt(out, 688), balance) << name;
      EXPECT_EQ(RealAt(out, 526), balance < 0 ? -balance : 0.0) << name;
      EXPECT_EQ(RealAt(out, 534), balance >= 0 ? balance : 0.0) << name;
      EXPECT_EQ(out.substr(0, 526), in.substr(0, 526));
      EXPECT_EQ(out.substr(542, 688 - 542), in.substr(542, 688 - 542));
      EXPECT_EQ(out.substr(696), in.substr(696, whole - 696));
    }

    // The extra list: one entry renamed on the way, one with a Polish name.
    if (has("UWAGI.TXT")) {
      EXPECT_EQ(test::ReadFile(TargetFile(firm, "UWAGI.TXT")),
                test::ReadFile(SourceFile(firm, "UWAGI.TXT")));
    }
    EXPECT_EQ(fs::exists(TargetFile(firm, "Cennik20.txt")), has("Cennik.txt"));
    if (has("Cennik.txt")) {
      EXPECT_EQ(test::ReadFile(TargetFile(firm, "Cennik20.txt")),
                test::ReadFile(SourceFile(firm, "Cennik.txt")));
    }
    EXPECT_FALSE(fs::exists(TargetFile(firm, "Cennik.txt")));
    EXPECT_EQ(fs::exists(TargetFile(firm, "Zamówienia.txt"_pl)), has("Zamówienia.txt"_pl));

    // Wildcards of the default modules: KM 150 on, KM 140 off.
    for (std::string_view name : {"km__firma.rek", "km2020.rek"}) {
      EXPECT_EQ(fs::exists(TargetFile(firm, name)), has(name)) << name;
      if (has(name)) {
        EXPECT_EQ(test::ReadFile(TargetFile(firm, name)), test::ReadFile(SourceFile(firm, name)));
      }
    }
    for (std::string_view name : {"miasta.cel", "lokalne.trs", "kmx.rek"})
      EXPECT_FALSE(fs::exists(TargetFile(firm, name))) << name;
    for (std::string_view name : {"Notatnik.txt", "baza_ff.txt", "UMOWY.INI", "ZUS_PEL.INI",
                                  "dokument.rek", "dor_import.xml", "FIRMATXT.INI"})
      EXPECT_EQ(fs::exists(TargetFile(firm, name)), has(name)) << name;
    bool from2020 = firm.annual2020 && yearAnswer == 'n';
    EXPECT_EQ(fs::exists(TargetFile(firm, "2020vJ17.REK")), from2020);
  }

  void CheckTargetList() {
    std::string list = test::ReadFile(sample.target / "SPISFIRM.DAT");
    ASSERT_EQ(list.size() % 103, 0u);
    // The firms listed before are still there, first among equals, and each carried
    // firm was added once.
    std::vector<std::string> records;
    for (std::size_t at = 0; at < list.size(); at += 103) records.push_back(list.substr(at, 103));
    std::vector<std::string> expected;
    for (std::size_t at = 0; at < targetListBefore.size(); at += 103)
      expected.push_back(targetListBefore.substr(at, 103));
    for (const sample::SampleFirm* firm : sample.Discovered())
      expected.emplace_back(reinterpret_cast<const char*>(firm->record.data()), 103);
    auto sorted = records, want = expected;
    std::sort(sorted.begin(), sorted.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(sorted, want);
    auto key = [](const std::string& r) {
      return tui::UpperText(shared::FirmKeyText(
          std::span(reinterpret_cast<const std::uint8_t*>(r.data()), r.size())));
    };
    for (std::size_t i = 1; i < records.size(); ++i)
      EXPECT_LE(tui::PolishCompare(key(records[i - 1]), key(records[i])), 0)
          << Cp852ToUtf8(key(records[i - 1])) << " / " << Cp852ToUtf8(key(records[i]));
  }

  test::TempDir dir;
  test::HeadlessRig rig;
  sample::Sample sample;
  std::map<std::string, std::string> sourceBefore;
  std::string targetListBefore;
  std::string report;
  std::string ending;
  std::vector<std::string> screens;
  char yearAnswer = 'n';
};

TEST_F(FirmEndToEndTest, AGeneratedOfficeIsCarriedFileByFileAndTheSourceLeftAsItWas) {
  Generate(2, 9);
  ASSERT_GE(sample.Discovered().size(), 4u);
  bool both = false;
  for (const sample::SampleFirm* f : sample.Discovered()) both |= f->annual2020;
  ASSERT_TRUE(both) << "the seed should give a firm with both years";
  Script(yearAnswer);
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
  EXPECT_NE(ending.find("Koniec pracy kopiera danych DOR_ZQ na rok 2020"), std::string::npos)
      << ending;
  EXPECT_NE(ending.find("Nacisnij Enter"), std::string::npos);
  EXPECT_EQ(ending.find("Nie dopisano"), std::string::npos) << ending;
  EXPECT_NE(report.find("ZESTAWIENIE"), std::string::npos) << report;
  EXPECT_NE(report.find("RAZEM " + std::to_string(sample.Discovered().size())), std::string::npos)
      << report;

  for (const sample::SampleFirm* firm : sample.Discovered()) CheckFirm(*firm);
  for (const sample::SampleFirm& firm : sample.firms)
    if (firm.state == sample::FirmState::kMissing) {
      EXPECT_FALSE(fs::exists(sample.TargetFirmPath(firm)));
    }
  CheckTargetList();
  EXPECT_EQ(Snapshot(sample.source), sourceBefore);
}

TEST_F(FirmEndToEndTest, WithHidingOnTheSourceChangesOnlyByTheRenamesOfConvertedMonths) {
  Generate(3, 6);
  yearAnswer = 'b';
  // Page 1's check box of hiding: Tab to it from the Source path, Space to tick it.
  for (int k = 0; k < 6; ++k) rig.console.PushKey(0x0F09);
  rig.console.PushKey(0x3920);
  std::string page1;
  rig.console.PushAction([&] { page1 = rig.console.ScreenText(); });
  Script(yearAnswer);
  EXPECT_EQ(Run(), 0);
  EXPECT_NE(page1.find("[■] Zasłoń(~) w 2019"), std::string::npos) << page1;
  EXPECT_NE(page1.find("[ ] pokazuj powoli"), std::string::npos) << page1;
  for (const sample::SampleFirm* firm : sample.Discovered()) CheckFirm(*firm);
  CheckTargetList();

  // Hidden are exactly the month files of entries and repayments that a row of the
  // table converts.
  bool months = std::any_of(FirmItems().begin(), FirmItems().end(),
                            [](const FirmItem& i) { return i.how == ItemHow::kMonths; });
  const std::regex monthFile(R"((.*/)?2020(K880|SP)\.([1-9]|1[0-2]))");
  std::map<std::string, std::string> expected;
  for (const auto& [name, bytes] : sourceBefore)
    expected[months && std::regex_match(name, monthFile) ? name + "~" : name] = bytes;
  EXPECT_EQ(Snapshot(sample.source), expected);
}

// The same office carried unattended from a settings file answering as the script does
// must leave the same Target tree, byte for byte; a settings file that is missing or
// wrong writes nothing and ends with 2.
TEST_F(FirmEndToEndTest, AnUnattendedRunLeavesTheTargetTreeOfTheInteractiveRun) {
  Generate(2, 9);
  Script('b');
  ASSERT_EQ(Run(), 0);
  const auto interactive = Snapshot(sample.target);

  // The same office again at the same place, carried from a settings file.
  fs::remove_all(sample.source);
  fs::remove_all(sample.target);
  Generate(2, 9);
  AutoSettings settings;
  settings.options.sourceTree = sample.source.string() + "\\";
  settings.options.targetTree = sample.target.string() + "\\";
  settings.answers.annualYear = 'B';
  const auto targetBefore = Snapshot(sample.target);
  test::WriteFile(dir / "zly.ini", FormatAutoSettings(settings) + "nieznany=1\r\n");
  test::WriteFile(dir / "dobry.ini", FormatAutoSettings(settings));
  // Settings the trees cannot meet: a firm the run would not offer, a global source
  // directory that is not there.
  AutoSettings notOffered = settings;
  notOffered.allFirms = false;
  notOffered.firms = {"NIEMA"};
  test::WriteFile(dir / "firma.ini", FormatAutoSettings(notOffered));
  AutoSettings noGlobal = settings;
  noGlobal.options.globalSourceDir = "#BRAK";
  test::WriteFile(dir / "globalne.ini", FormatAutoSettings(noGlobal));
  for (const char* bad : {"brak.ini", "zly.ini", "firma.ini", "globalne.ini"}) {
    test::HeadlessRig host;
    host.process.SetOwnPath(dir.Prefix() + "prog/zq18-20");
    host.process.SetArguments({"/AUTO:" + dir.Prefix() + bad});
    EXPECT_EQ(RunProgram(host.platform), 2) << bad;
    EXPECT_EQ(Snapshot(sample.target), targetBefore) << bad;
    EXPECT_NE(host.process.Stderr().find(bad), std::string::npos) << host.process.Stderr();
  }

  test::HeadlessRig host;
  host.process.SetOwnPath(dir.Prefix() + "prog/zq18-20");
  host.process.SetArguments({"/AUTO:" + dir.Prefix() + "dobry.ini"});
  // The generated office holds two firms with a damaged file each: carried, with errors.
  EXPECT_EQ(RunProgram(host.platform), 1);
  EXPECT_EQ(host.console.ScriptLeft(), 0u);
  const auto unattended = Snapshot(sample.target);
  EXPECT_EQ(unattended.size(), interactive.size());
  for (const auto& [name, bytes] : interactive) {
    auto found = unattended.find(name);
    EXPECT_TRUE(found != unattended.end() && found->second == bytes) << "differs: " << name;
  }
  const std::string journal = test::ReadFile(dir / "prog" / "zq18-20.LOG");
  EXPECT_NE(journal.find("==== Zestawienie przeniesionych danych"), std::string::npos);
  EXPECT_NE(journal.find("Błędy (1) w danych firmy: Piekarnia Łódź (PIEKARZ)"), std::string::npos);
  EXPECT_NE(journal.find("! PIEKARZ "), std::string::npos);
  EXPECT_NE(journal.find("==== Koniec pracy, kod wyjścia 1"), std::string::npos) << journal;
}

// The report lines of a journal, up to the total line, without their times.
std::vector<std::string> JournalReport(const std::string& journal) {
  std::vector<std::string> lines;
  std::size_t at = journal.find("==== Zestawienie przeniesionych danych");
  if (at == std::string::npos) return lines;
  std::istringstream in(journal.substr(journal.find('\n', at) + 1));
  const std::size_t stamp = std::string("2020-01-01 00:00:00 ").size();
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line.substr(std::min(stamp, line.size())));
    if (line.find(" RAZEM ") != std::string::npos) break;
  }
  return lines;
}

// A dry run, unattended or not, decides everything on the real trees and reports what
// the real run then does, while neither tree changes and its scratch tree is gone.
TEST_F(FirmEndToEndTest, ADryRunReportsTheRealRunAndLeavesBothTreesAsTheyWere) {
  Generate(2, 9);
  const fs::path temporary = dir / "tmp";
  fs::create_directories(temporary);
  AutoSettings settings;
  settings.options.sourceTree = sample.source.string() + "\\";
  settings.options.targetTree = sample.target.string() + "\\";
  settings.options.hideConverted = true;
  settings.answers.annualYear = 'B';
  test::WriteFile(dir / "auto.ini", FormatAutoSettings(settings));
  const auto targetBefore = Snapshot(sample.target);

  auto run = [&](std::vector<std::string> arguments) {
    test::HeadlessRig host;
    host.process.SetOwnPath(dir.Prefix() + "prog/zq18-20");
    host.process.SetEnvironment("TEMP", temporary.string());
    host.process.SetArguments(arguments);
    return RunProgram(host.platform);
  };
  // By hand first, answering as a real run is answered.
  rig.process.SetEnvironment("TEMP", temporary.string());
  rig.process.SetArguments({"/TEST"});
  Script('b');
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
  EXPECT_EQ(Snapshot(sample.target), targetBefore);
  EXPECT_EQ(Snapshot(sample.source), sourceBefore);
  EXPECT_TRUE(fs::is_empty(temporary));
  EXPECT_NE(report.find("ZESTAWIENIE - PRÓBA"), std::string::npos) << report;
  EXPECT_NE(ending.find("nic nie zapisano"), std::string::npos) << ending;

  const std::string autoFile = "/AUTO:" + dir.Prefix() + "auto.ini";
  EXPECT_EQ(run({autoFile, "/TEST", "/LOG:" + dir.Prefix() + "proba.log"}), 1);
  EXPECT_EQ(Snapshot(sample.source), sourceBefore);
  EXPECT_EQ(Snapshot(sample.target), targetBefore);
  EXPECT_TRUE(fs::is_empty(temporary)) << "the scratch tree is removed";
  const std::string dry = test::ReadFile(dir / "proba.log");
  EXPECT_NE(dry.find("PRÓBA zakończona: w katalogach danych nic nie zapisano."), std::string::npos)
      << dry;
  EXPECT_NE(dry.find("PRÓBA: pliki w 2019 nie zostaną zasłonięte"), std::string::npos);

  EXPECT_EQ(run({autoFile, "/LOG:" + dir.Prefix() + "real.log"}), 1);
  EXPECT_NE(Snapshot(sample.target), targetBefore);
  std::vector<std::string> dryReport = JournalReport(dry);
  std::vector<std::string> realReport = JournalReport(test::ReadFile(dir / "real.log"));
  ASSERT_GT(realReport.size(), 2u);
  ASSERT_EQ(dryReport.size(), realReport.size());
  EXPECT_NE(dryReport[0].find("Próba"), std::string::npos) << dryReport[0];
  for (std::size_t i = 1; i < realReport.size(); ++i) EXPECT_EQ(dryReport[i], realReport[i]);
}

}  // namespace
}  // namespace zq::driver
