#include "driver/discovery.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "driver/startup.h"
#include "driver/wizard.h"
#include "platform/cp852.h"
#include "sample.h"
#include "shared/firm_record.h"
#include "support/log_capture.h"
#include "support/test_env.h"

namespace zq::driver {
namespace {

using zq::operator""_pl;
namespace fs = std::filesystem;

constexpr std::uint16_t kEnter = 0x1C0D;

using test::LogCapture;
using test::LogLine;

std::string Bytes(const shared::FirmRecordBytes& r) {
  return std::string(reinterpret_cast<const char*>(r.data()), r.size());
}

shared::FirmRecordBytes Record(std::string_view name, std::string_view directory,
                               std::string_view info = "", std::string_view data = "") {
  return shared::MakeFirmRecord(name, directory, info, data);
}

class DiscoveryTest : public ::testing::Test {
 protected:
  DiscoveryTest() {
    rig.process.SetOwnPath(dir.Prefix() + "zq18-20.exe");
    fs::create_directories(dir / "DOR_2019");
    fs::create_directories(dir / "DOR_2020");
    run = std::make_unique<RunState>(rig.platform);
    run->options.sourceTree = dir.Prefix() + "DOR_2019\\";
    run->options.targetTree = dir.Prefix() + "DOR_2020\\";
    run->log.AddSink(&log);
  }
  ~DiscoveryTest() override { run->log.RemoveSink(&log); }

  std::string SourceList() const { return run->options.sourceTree + run->firmListName; }
  void WriteList(const fs::path& file, const std::vector<shared::FirmRecordBytes>& records,
                 std::string_view tail = "") {
    std::string bytes;
    for (const auto& r : records) bytes += Bytes(r);
    bytes += tail;
    test::WriteFile(file, bytes);
  }
  void Source(const std::vector<shared::FirmRecordBytes>& records, std::string_view tail = "") {
    WriteList(dir / "DOR_2019" / "SPISFIRM.DAT", records, tail);
  }
  void TargetList(const std::vector<shared::FirmRecordBytes>& records) {
    WriteList(dir / "DOR_2020" / "SPISFIRM.DAT", records);
  }
  void SourceDir(const std::string& d) { fs::create_directories(dir / "DOR_2019" / d); }
  void TargetDir(const std::string& d) { fs::create_directories(dir / "DOR_2020" / d); }

  // Runs the recognition; the exit code when it ended the program.
  std::optional<int> Discover() {
    try {
      count = RecogniseEnvironment(*run, firms);
    } catch (const platform::ProgramExit& exit) {
      return exit.code;
    }
    return std::nullopt;
  }

  test::TempDir dir;
  test::HeadlessRig rig;
  std::unique_ptr<RunState> run;
  LogCapture log;
  FirmList firms;
  int count = -1;
};

TEST_F(DiscoveryTest, FirmsAreKeptOnlyWhenTheirDataAreStillToBeCarriedOver) {
  auto ready = Record("Alfa Sp. z o.o.", "ALFA", "biuro", std::string(36, '\x5A'));
  auto both = Record("Beta", "BETA");
  auto missing = Record("Gamma", "GAMMA");
  auto targetOnly = Record("Delta", "DELTA");
  auto second = Record("Epsilon", "EPS", "", "\x01\x02\x03");
  Source({ready, both, missing, targetOnly, second});
  TargetList({both, targetOnly});
  SourceDir("ALFA");
  SourceDir("BETA");
  TargetDir("BETA");
  TargetDir("DELTA");
  SourceDir("EPS");
  rig.console.PushKey(kEnter);  // after "Napraw plik"

  EXPECT_EQ(Discover(), std::nullopt);
  EXPECT_EQ(count, 2);
  ASSERT_EQ(firms.Count(), 2);
  // The records travel byte for byte, the accounting program's own data included.
  EXPECT_EQ(Bytes(firms.At(1).record), Bytes(ready));
  EXPECT_EQ(Bytes(firms.At(2).record), Bytes(second));
  EXPECT_TRUE(firms.At(1).selected && firms.At(2).selected);

  std::vector<std::string> expected = {
      // UTF-8 here, for a readable failure.
      "ROZPOZNANIE ŚRODOWISKA PRACY DOR 2019",
      "",
      "Odnaleziono katalog docelowy BETA dla firmy Beta",
      // Missing in both trees: the Target tree is looked at first, so it is the Source
      // directory that is reported missing.
      "Brak katalogu zródłowego    GAMMA dla firmy Gamma",
      "Odnaleziono katalog docelowy DELTA dla firmy Delta",
      "Napraw plik SPISFIRM.DAT !",
  };
  EXPECT_EQ(log.Texts(), expected);
  for (const auto& l : log.lines) {
    if (!l.text.empty()) {
      EXPECT_EQ(l.colour, 7) << l.text;
    }
  }
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
}

TEST_F(DiscoveryTest, AFirmInTheTargetTreeButNotInItsListIsFlaggedAsIncomplete) {
  auto done = Record("Gotowa", "GOTOWA");
  auto broken = Record("Przerwana", "PRZERW");
  auto ready = Record("Nowa", "NOWA");
  Source({done, broken, ready});
  for (auto d : {"GOTOWA", "PRZERW", "NOWA"}) SourceDir(d);
  TargetDir("GOTOWA");
  TargetDir("PRZERW");
  // The Target list spells the directory in another case: the host does not care.
  TargetList({Record("Gotowa", "gotowa")});

  EXPECT_EQ(Discover(), std::nullopt);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(firms.At(1).Name(), "Nowa");
  EXPECT_TRUE(log.Has("Odnaleziono katalog docelowy PRZERW dla firmy Przerwana"));
  std::string warning = std::string("Niepełne przeniesienie Przerwana (brak w SPISFIRM.DAT)"_pl);
  EXPECT_EQ(log.ColourOf(warning), 14);
  EXPECT_FALSE(log.HasStarting("Niepełne przeniesienie Gotowa"_pl));

  // Without any Target list no firm was carried over to its end.
  fs::remove(dir / "DOR_2020" / "SPISFIRM.DAT");
  log.lines.clear();
  EXPECT_EQ(Discover(), std::nullopt);
  EXPECT_EQ(log.ColourOf("Niepełne przeniesienie Gotowa (brak w SPISFIRM.DAT)"_pl), 14);
  EXPECT_EQ(log.ColourOf(warning), 14);
}

TEST_F(DiscoveryTest, ATargetListThatCannotBeReadIsSaidOnceAndWarnsOfNoFirm) {
  Source({Record("A", "A"), Record("B", "B"), Record("C", "C")});
  for (auto d : {"A", "B", "C"}) SourceDir(d);
  TargetDir("A");
  TargetDir("B");
  TargetList({});
  int error = 0;
  auto held = rig.files->Open(run->options.targetTree + "SPISFIRM.DAT", platform::kReadWrite,
                              platform::kShareNone, platform::Disposition::kOpenExisting, error);
  ASSERT_TRUE(held);

  EXPECT_EQ(Discover(), std::nullopt);
  EXPECT_EQ(count, 1);
  int told = 0;
  for (const auto& l : log.lines) {
    EXPECT_FALSE(l.text.starts_with("Niepełne"_pl)) << l.text;
    if (l.text.starts_with("Nie sprawdzono docelowego SPISFIRM.DAT")) {
      EXPECT_EQ(l.colour, 14);
      ++told;
    }
  }
  EXPECT_EQ(told, 1);
  held->Close(error);
}

TEST_F(DiscoveryTest, AListWithoutAWholeRecordEndsTheProgram) {
  // 102 bytes: one record short of one byte.
  Source({}, Bytes(Record("Urwana", "URWANA")).substr(0, 102));
  SourceDir("URWANA");
  rig.console.PushKey(kEnter);
  EXPECT_EQ(Discover(), 0);
  EXPECT_TRUE(log.Has("Zerowa długość pliku SPISFIRM.DAT"_pl));
  EXPECT_EQ(log.ColourOf("Pominięto niepełny rekord firmy Urwana"_pl), 14);
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);

  Source({});
  log.lines.clear();
  rig.console.PushKey(kEnter);
  EXPECT_EQ(Discover(), 0);
  EXPECT_EQ(log.lines.back().text, "Zerowa długość pliku SPISFIRM.DAT"_pl);
  EXPECT_FALSE(log.HasStarting("Pominięto"_pl));
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
}

TEST_F(DiscoveryTest, ATornLastRecordIsLeftOutAndTheListIsToBeRepaired) {
  Source({Record("Cala", "CALA")}, Bytes(Record("Urwana", "URWANA")).substr(0, 50));
  SourceDir("CALA");
  SourceDir("URWANA");
  rig.console.PushKey(kEnter);
  EXPECT_EQ(Discover(), std::nullopt);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(firms.At(1).Directory(), "CALA");
  EXPECT_EQ(log.ColourOf("Pominięto niepełny rekord firmy Urwana"_pl), 14);
  EXPECT_EQ(log.lines.back().text, "Napraw plik SPISFIRM.DAT !");
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
}

TEST_F(DiscoveryTest, DirectoriesThatLeadOutOfTheTreesOrNowhereAreRefused) {
  for (std::string_view bad :
       {"",        ".",    "..",   "  ", " . .", "..\\OUT", "../OUT", "C:OUT", "A\\B", "CON",
        "nul.txt", "COM1", "LPT9", "A*", "A?",   "A\"B",    "<A>",    "A|B",   "A\tB", "\x01"})
    EXPECT_FALSE(IsUsableFirmDirectory(bad)) << bad;
  for (std::string_view good : {"FIRMA", "A.B", "ALFA  ", "COM", "COM10", "CONSOLE", "a b", "#1"})
    EXPECT_TRUE(IsUsableFirmDirectory(good)) << good;

  // Directories a careless join would find: the parent of both trees, a sibling of
  // them, and the tree roots themselves.
  fs::create_directories(dir / "OUT");
  SourceDir("OK");
  Source({Record("Wyjscie", "..\\OUT"), Record("Rodzic", ".."), Record("Pusta", ""),
          Record("Kropka", "."), Record("Dysk", "C:\\"), Record("Dobra", "OK")});
  rig.console.PushKey(kEnter);
  EXPECT_EQ(Discover(), std::nullopt);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(firms.At(1).Name(), "Dobra");
  EXPECT_EQ(log.ColourOf("Pominięto firmę Wyjscie - błędny katalog \"..\\OUT\""_pl), 14);
  EXPECT_EQ(log.ColourOf("Pominięto firmę Rodzic - błędny katalog \"..\""_pl), 14);
  EXPECT_EQ(log.ColourOf("Pominięto firmę Pusta - błędny katalog \"\""_pl), 14);
  EXPECT_EQ(log.ColourOf("Pominięto firmę Kropka - błędny katalog \".\""_pl), 14);
  EXPECT_EQ(log.ColourOf("Pominięto firmę Dysk - błędny katalog \"C:\\\""_pl), 14);
  EXPECT_FALSE(log.HasStarting("Odnaleziono"));
  EXPECT_EQ(log.lines.back().text, "Napraw plik SPISFIRM.DAT !");
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
}

TEST_F(DiscoveryTest, GarbageRecordsAreReadWithinTheirFields) {
  // Length bytes claiming more than their fields hold, and bytes of every value.
  shared::FirmRecordBytes wild{};
  for (std::size_t i = 0; i < wild.size(); ++i) wild[i] = static_cast<std::uint8_t>(0x41 + i % 26);
  wild[0] = 255;   // name: 31 characters at most
  wild[32] = 200;  // directory: 8 at most, "HIJKLMNO" from the bytes after it
  wild[41] = 99;   // note: 25 at most
  shared::FirmRecordBytes noise{};
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<std::uint8_t>(i * 151 + 7);
  noise[32] = 3;
  noise[33] = '\r';  // a control character in the directory
  std::string listed = shared::RecordView(wild).Get(shared::kFirmDirectory);
  ASSERT_EQ(listed.size(), 8u);
  SourceDir(listed);
  Source({noise, wild});
  rig.console.PushKey(kEnter);
  EXPECT_EQ(Discover(), std::nullopt);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(firms.At(1).Name().size(), 31u);
  EXPECT_EQ(firms.At(1).Info().size(), 25u);
  EXPECT_EQ(Bytes(firms.At(1).record), Bytes(wild));
  EXPECT_TRUE(log.HasStarting("Pominięto firmę "_pl));
}

TEST_F(DiscoveryTest, TheSampleInstallationOffersTheFirmsItMeansToOffer) {
  sample::Options options;
  options.seed = 7;
  options.firms = 12;
  sample::Sample made = sample::GenerateSample(options, dir / "sample");
  run->options.sourceTree = made.source.string() + "\\";
  run->options.targetTree = made.target.string() + "\\";
  bool anyMissing = false;
  for (const auto& f : made.firms) anyMissing |= f.state == sample::FirmState::kMissing;
  if (anyMissing) rig.console.PushKey(kEnter);  // "Napraw plik"
  EXPECT_EQ(Discover(), std::nullopt);
  auto expected = made.Discovered();
  ASSERT_FALSE(expected.empty());
  ASSERT_EQ(count, static_cast<int>(expected.size()));
  for (int i = 1; i <= count; ++i)
    EXPECT_EQ(Bytes(firms.At(i).record), Bytes(expected[static_cast<std::size_t>(i - 1)]->record));
  // Its carried firm is in the Target firm list: no unfinished carry-over.
  EXPECT_FALSE(log.HasStarting("Niepełne"_pl));
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
}

TEST_F(DiscoveryTest, TheLimitCountsOnlyAcceptedFirms) {
  std::vector<shared::FirmRecordBytes> records;
  auto present = [&](int i) {
    std::string d = "T" + std::to_string(i);
    TargetDir(d);
    return Record("Przeniesiona " + std::to_string(i), d);
  };
  std::vector<shared::FirmRecordBytes> carried;
  for (int i = 0; i < 10; ++i) carried.push_back(present(i));
  TargetList(carried);
  records = carried;
  for (int i = 0; i < kMaxFirms + 1; ++i) {
    char d[9];
    std::snprintf(d, sizeof d, "F%04d", i);
    SourceDir(d);
    if (i < kMaxFirms) records.push_back(Record(std::string("Firma ") + d, d));
  }
  // Firms left out after the 2048th are no excess.
  records.push_back(present(10));
  records.push_back(Record("Brak", "BRAK1"));
  rig.console.PushKey(kEnter);  // "Napraw plik"
  Source(records);
  EXPECT_EQ(Discover(), std::nullopt);
  EXPECT_EQ(count, kMaxFirms);
  EXPECT_FALSE(log.HasStarting("Przekroczona"));
  EXPECT_TRUE(log.Has("Odnaleziono katalog docelowy T10 dla firmy Przeniesiona 10"));
  EXPECT_EQ(firms.At(kMaxFirms).Directory(), "F2047");

  // One firm more that would be listed stops the reading; what follows is not looked at.
  records.push_back(Record("Firma F2048", "F2048"));
  records.push_back(Record("Brak", "BRAK2"));
  Source(records);
  log.lines.clear();
  rig.console.PushKey(kEnter);
  EXPECT_EQ(Discover(), std::nullopt);
  EXPECT_EQ(count, kMaxFirms);
  EXPECT_TRUE(log.Has("Przekroczona maksymalna ilość firm 2048"_pl));
  EXPECT_TRUE(log.HasStarting("Brak katalogu zródłowego    BRAK1"_pl));
  EXPECT_FALSE(log.HasStarting("Brak katalogu zródłowego    BRAK2"_pl));
  EXPECT_EQ(firms.At(kMaxFirms).Directory(), "F2047");
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
}

TEST_F(DiscoveryTest, AListThatCannotBeOpenedEndsTheProgramAfterTheErrorBox) {
  Source({Record("A", "A")});
  SourceDir("A");
  // Another program holds the list with no sharing at all.
  int error = 0;
  auto held = rig.files->Open(SourceList(), platform::kRead, platform::kShareNone,
                              platform::Disposition::kOpenExisting, error);
  ASSERT_TRUE(held);
  std::uint8_t modeBefore = run->sharedFiles.FileMode();
  std::string box;
  rig.console.PushAction([&] { box = rig.console.ScreenText(); });
  rig.console.PushKey(kEnter);
  EXPECT_EQ(Discover(), 0);
  EXPECT_TRUE(log.Has(std::string("Błąd otwarcia/dostępu do pliku "_pl) + SourceList()));
  EXPECT_NE(box.find(Cp852ToUtf8("Brak dostępu do pliku"_pl)), std::string::npos);
  EXPECT_EQ(run->sharedFiles.FileMode(), modeBefore);
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
  held->Close(error);

  // Once free, the same list is read.
  log.lines.clear();
  EXPECT_EQ(Discover(), std::nullopt);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(run->sharedFiles.FileMode(), modeBefore);

  // A list that is not there at all ends the same way.
  fs::remove(dir / "DOR_2019" / "SPISFIRM.DAT");
  rig.console.PushKey(kEnter);
  EXPECT_EQ(Discover(), 0);
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
}

TEST_F(DiscoveryTest, TheListIsReadExclusivelyUnlessSharingIsOff) {
  Source({Record("A", "A")});
  SourceDir("A");
  // Another workstation has the list open and lets others read and write it.
  int error = 0;
  auto other = rig.files->Open(SourceList(), platform::kReadWrite, platform::kShareReadWrite,
                               platform::Disposition::kOpenExisting, error);
  ASSERT_TRUE(other);
  rig.console.PushKey(kEnter);
  EXPECT_EQ(Discover(), 0);
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);

  run->sharedFiles.SetSharing(false);
  EXPECT_EQ(Discover(), std::nullopt);
  EXPECT_EQ(count, 1);
  other->Close(error);
}

TEST_F(DiscoveryTest, TheListNameComesFromTheCommandLineOrTheEnvironment) {
  rig.process.SetArguments({"/kprspis:FIRMY.DAT"});
  StartUp(*run);
  EXPECT_EQ(run->firmListName, "FIRMY.DAT");
  test::WriteFile(dir / "DOR_2019" / "FIRMY.DAT", Bytes(Record("Z listy", "ZLISTY")));
  SourceDir("ZLISTY");
  EXPECT_EQ(Discover(), std::nullopt);
  EXPECT_EQ(count, 1);

  rig.process.SetArguments({});
  rig.process.SetEnvironment("KPRSPIS", "INNA.DAT");
  StartUp(*run);
  EXPECT_EQ(run->firmListName, "INNA.DAT");
}

TEST_F(DiscoveryTest, NoFirmToOfferWaitsForAKeyAndShowsNoWindow) {
  Source({Record("Beta", "BETA")});
  TargetList({Record("Beta", "BETA")});
  SourceDir("BETA");
  TargetDir("BETA");
  InstallWizard(*run);
  std::string screen;
  rig.console.PushAction([&] { screen = rig.console.ScreenText(); });
  rig.console.PushKey(kEnter);
  run->steps.perFirmRun(*run);
  EXPECT_TRUE(log.Has("Zerowa ilość odczytanych firm"_pl));
  EXPECT_EQ(screen.find("BAZA FIRM"), std::string::npos);
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
  // The step ends with the log cleared below the header rows.
  EXPECT_EQ(run->log.Row(), convert::ProgressLog::kFirstScrollRow);
}

}  // namespace
}  // namespace zq::driver
