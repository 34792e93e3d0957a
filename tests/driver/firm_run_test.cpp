// The run of one firm and of the selected firms: preconditions, the firm marker, the
// items under their options, the end line with its error count, the key wait after
// each firm, the Target firm list and the summary.
#include "driver/firm_run.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "driver/firm_rig.h"
#include "shared/firm_list_file.h"
#include "tui/event.h"

namespace zq::driver {
namespace {

using namespace test_rig;
using zq::operator""_pl;

std::string RecordText(const shared::FirmRecordBytes& r) {
  return std::string(reinterpret_cast<const char*>(r.data()), r.size());
}

class FirmRunTest : public FirmRunRig {
 protected:
  // One selected firm in the list per call.
  FirmRunSummary RunOne(const std::string& directory, std::string_view name = "Firma") {
    FirmList firms;
    firms.Add(shared::MakeFirmRecord(name, directory, "info"));
    return ConvertSelectedFirms(*run, firms);
  }
  std::string TargetList() const { return test::ReadFile(dir / "DOR_2020" / "SPISFIRM.DAT"); }
};

TEST_F(FirmRunTest, EveryPreconditionFailureEndsTheFirmUnconvertedAndUnlisted) {
  struct Case {
    std::string firm;
    std::function<void()> prepare;
    std::string line;  // the log line that tells why, code page 852
    int keys = 1;      // key waits, error boxes included
  };
  const std::vector<Case> cases = {
      {"NOANNUAL", [&] { Source("NOANNUAL", "_zq_dor.rek", Bytes(256, 1)); },
       "Nie można dokonać konwersji ..."_ps},
      {"NOMARKER", [&] { Source("NOMARKER", "2019_ROK.REK", Annual2019()); },
       "Brak dostepu do " + SourcePath("NOMARKER", "_zq_dor.rek")},
      {"SHORTMRK",
       [&] {
         Source("SHORTMRK", "2019_ROK.REK", Annual2019());
         Source("SHORTMRK", "_zq_dor.rek", Bytes(255, 1));
       },
       std::string("Błąd odczytu danych z "_pl) + SourcePath("SHORTMRK", "_zq_dor.rek")},
      {"BADREAD",
       [&] {
         MakeFirm("BADREAD");
         faulty.Plan(SourcePath("BADREAD", "_zq_dor.rek"), {.readFailsAfter = 10});
       },
       std::string("Błąd odczytu danych z "_pl) + SourcePath("BADREAD", "_zq_dor.rek")},
      {"NODIR",
       [&] {
         MakeFirm("NODIR");
         test::WriteFile(dir / "DOR_2020" / "NODIR", "a file where the directory goes");
       },
       ""},
      {"NOMAKE",
       [&] {
         MakeFirm("NOMAKE");
         faulty.Plan(TargetPath("NOMAKE", "_zq_dor.rek"), {.failOpen = true});
       },
       std::string("Brak dostępu do "_pl) + TargetPath("NOMAKE", "_zq_dor.rek")},
      {"NOWRITE",
       [&] {
         MakeFirm("NOWRITE");
         faulty.Plan(TargetPath("NOWRITE", "_zq_dor.rek"), {.writeFailsAfter = 0});
       },
       std::string("Błąd zapisu danych do "_pl) + TargetPath("NOWRITE", "_zq_dor.rek")},
      {"BADCLOSE",
       [&] {
         MakeFirm("BADCLOSE");
         faulty.Plan(TargetPath("BADCLOSE", "_zq_dor.rek"), {.failClose = true});
       },
       std::string("Błąd zapisu danych do "_pl) + TargetPath("BADCLOSE", "_zq_dor.rek")},
      {"..", [] {}, "Niepoprawna nazwa katalogu firmy: .."_ps},
      {"LINKED",
       [&] {
         MakeFirm("LINKED");
         fs::create_directory_symlink(SourceDir("LINKED"), TargetDir("LINKED"));
       },
       std::string("Katalog docelowy firmy jest katalogiem źródłowym: "_pl) +
           run->options.targetTree + "LINKED"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.firm);
    c.prepare();
    auto source = Snapshot(dir / "DOR_2019");
    std::string box;
    if (c.line.empty()) rig.console.PushAction([&] { box = rig.console.ScreenText(); });
    for (int k = 0; k < c.keys; ++k) rig.console.PushKey(kEnter);
    log.Clear();
    FirmRunSummary summary = RunOne(c.firm);

    ASSERT_EQ(summary.entries.size(), 1u);
    EXPECT_EQ(summary.entries[0].kind, FirmRunSummary::Kind::kNotAdded);
    EXPECT_EQ(summary.added, 0);
    EXPECT_EQ(TargetList(), "");
    EXPECT_FALSE(InTarget(c.firm, "2020_ROK.REK"));
    EXPECT_EQ(log.Find("Koniec konwersji danych firmy"), nullptr);
    EXPECT_EQ(rig.console.ScriptLeft(), 0u);
    EXPECT_EQ(Snapshot(dir / "DOR_2019"), source);
    if (c.line.empty()) {
      EXPECT_NE(box.find("Utworzenia katalogu firmy"), std::string::npos) << box;
      EXPECT_NE(box.find(Cp852ToUtf8(run->options.targetTree) + "NODIR"), std::string::npos);
    } else {
      const LogLine* line = log.Find(c.line);
      ASSERT_NE(line, nullptr) << log.Dump();
      EXPECT_EQ(line->colour, convert::kColourError);
    }
  }
  // Both annual files missing: both are named, the marker is never looked at.
  log.Clear();
  rig.console.PushKey(kEnter);
  FirmResult result = Convert("NOANNUAL");
  EXPECT_FALSE(result.completed);
  EXPECT_NE(log.Find("Brak :" + SourcePath("NOANNUAL", "2019_ROK.REK")), nullptr);
  EXPECT_NE(log.Find("Brak :" + SourcePath("NOANNUAL", "2020_ROK.REK")), nullptr);
  EXPECT_NE(log.Find("Brak danych za rok 2019 czy 2020"), nullptr);
  EXPECT_FALSE(fs::exists(TargetDir("NOANNUAL")));
}

TEST_F(FirmRunTest, MarkerIsTheSourceRecordWithItsYearsAndFlagSet) {
  MakeFirm("PIEKARZ");
  // An existing Target marker is replaced without a question.
  Target("PIEKARZ", "_zq_dor.rek", Bytes(256, 9));
  FirmResult result = Convert("PIEKARZ");
  ASSERT_TRUE(result.completed) << log.Dump();
  std::string expected = Bytes(256, 1);
  for (std::size_t at : {0u, 2u, 4u}) {
    expected[at] = static_cast<char>(2020 & 0xFF);
    expected[at + 1] = static_cast<char>(2020 >> 8);
  }
  expected[7] = 1;
  EXPECT_EQ(ReadTarget("PIEKARZ", "_zq_dor.rek"), expected);
  EXPECT_EQ(log.Find(std::string("Stwierdzono obecność pliku "_pl) +
                     TargetPath("PIEKARZ", "_zq_dor.rek")),
            nullptr);
  // Kopiowanie właściwe comes before the annual settings.
  EXPECT_LT(log.IndexOf("Kopiowanie właściwe"_pl),
            log.IndexOf("Konwersja danych ROCZNYCH ustawień firmy"_pl));
  EXPECT_EQ(fs::file_size(TargetDir("PIEKARZ") / "2020_ROK.REK"), 3 * 512u);
}

TEST_F(FirmRunTest, OnlyThe2020AnnualSettingsCarryTheFirmAndItsItemsOf2020) {
  Source("NOWY", "2020_ROK.REK", Annual2019());
  Source("NOWY", "_zq_dor.rek", Bytes(256, 2));
  Source("NOWY", "2020vJ17.REK", Bytes(700, 3));
  Source("NOWY", "2020kol2.rek", Bytes(90, 4));
  FirmResult result = Convert("NOWY");
  ASSERT_TRUE(result.completed);
  EXPECT_TRUE(result.annualFrom2020);
  EXPECT_EQ(log.Count("Brak :"), 1);
  EXPECT_LT(log.IndexOf("Brak :" + SourcePath("NOWY", "2019_ROK.REK")),
            log.IndexOf("Kopiowanie właściwe"_pl));
  EXPECT_EQ(ReadTarget("NOWY", "2020vJ17.REK"), Bytes(700, 3));
  EXPECT_EQ(ReadTarget("NOWY", "2020kol2.rek"), Bytes(90, 4));
  EXPECT_LT(log.IndexOf("Deklaracja VAT-7 z 2020"), log.IndexOf("Suma z kolumn za 2020"));
  // The advance payments of 2020 are looked for (and missing) only in such a firm.
  EXPECT_NE(log.Find(std::string("Brak pliku źródłowego "_pl) + SourcePath("NOWY", "2020ZAL.REK")),
            nullptr);

  log.Clear();
  MakeFirm("STARY");
  Source("STARY", "2020vJ17.REK", Bytes(700, 3));
  ASSERT_TRUE(Convert("STARY").completed);
  EXPECT_FALSE(InTarget("STARY", "2020vJ17.REK"));
  EXPECT_EQ(log.Find("Deklaracja VAT-7 z 2020"), nullptr);
  EXPECT_EQ(log.FindHolding("2020ZAL.REK"), nullptr);
}

TEST_F(FirmRunTest, ItemsRunInTheirOrderEachUnderItsOption) {
  MakeFirm("F");
  const std::string text = "linia\r\n";
  for (const char* name :
       {"UMOWY.INI", "baza_ff.txt", "Notatnik.txt", "Notatka.txt", "Notes.txt", "ZUS_PEL.INI",
        "BAZA_PP8.INI", "dokument.rek", "trasy.cel", "km__a.rek", "km2020.rek", "dor_import.xml"})
    Source("F", name, text);
  run->options.firmItems = static_cast<std::uint16_t>(0xFFFF & ~firm_items::kStaff);
  run->options.dllItems = 0xFFFD;  // the default: KM 140 off
  ASSERT_TRUE(Convert("F").completed) << log.Dump();

  for (const char* name :
       {"baza_ff.txt", "Notatnik.txt", "Notatka.txt", "Notes.txt", "ZUS_PEL.INI", "BAZA_PP8.INI",
        "dokument.rek", "km__a.rek", "km2020.rek", "dor_import.xml"})
    EXPECT_TRUE(InTarget("F", name)) << name;
  for (const char* name : {"UMOWY.INI", "trasy.cel"}) EXPECT_FALSE(InTarget("F", name)) << name;

  const std::vector<std::string_view> order = {"Baza stałych F1..F10"_pl,
                                               "Notatnik",
                                               "Notatka",
                                               "Notes",
                                               "Ustawienia ZUS_PEL",
                                               "Ustawienia przelewów"_pl,
                                               "DLL: Srodki Trwale",
                                               "DLL : Kilometrówka KM150 \"zq\""_pl,
                                               "DLL : Vorlex.EXE -> dor_import.xml",
                                               "Koniec konwersji danych firmy"};
  int last = -1;
  for (std::string_view label : order) {
    const LogLine* line = log.Find(label);
    ASSERT_NE(line, nullptr) << Cp852ToUtf8(label) << "\n" << log.Dump();
    int at = log.IndexOf(label);
    EXPECT_GT(at, last) << Cp852ToUtf8(label);
    last = at;
  }
  for (std::string_view absent :
       {"Dane umów o pracę UMOWY.INI"_pl, "DLL : Kilometrówka KM140 \"Vanta\""_pl,
        "Deklaracja VAT-7 z 2020"_pl, "Lista dodatkowa ...."_pl})
    EXPECT_EQ(log.Find(absent), nullptr) << Cp852ToUtf8(absent);
  EXPECT_EQ(log.Find("Koniec konwersji danych firmy")->colour, run->log.NormalColour());
}

TEST_F(FirmRunTest, FailuresOfItemsAreCountedOnTheEndLineAndInTheSummary) {
  MakeFirm("BLEDY");
  Source("BLEDY", "baza_ff.txt", "a\r\nb\r\nc\r\n");
  Source("BLEDY", "Notes.txt", "n\r\n");
  Source("BLEDY", "dor_import.xml", Bytes(5000, 1));
  faulty.Plan(SourcePath("BLEDY", "baza_ff.txt"), {.readFailsAfter = 2});
  faulty.Plan(TargetPath("BLEDY", "dor_import.xml"), {.writeFailsAfter = 100});
  rig.console.PushKey(kEnter);  // the byte copy waits after its write error
  FirmRunSummary summary = RunOne("BLEDY", "Błędna"_pl);

  const LogLine* end = log.FindStarting("Koniec konwersji danych firmy");
  ASSERT_NE(end, nullptr);
  EXPECT_EQ(end->text, "Koniec konwersji danych firmy - błędów: 2"_pl);
  EXPECT_EQ(end->colour, convert::kColourError);
  // The firm is carried all the same, and the summary says what went wrong.
  EXPECT_EQ(summary.added, 1);
  ASSERT_EQ(summary.entries.size(), 1u);
  EXPECT_EQ(summary.entries[0].kind, FirmRunSummary::Kind::kErrors);
  EXPECT_EQ(summary.entries[0].errors, 2);
  EXPECT_EQ(ReadTarget("BLEDY", "Notes.txt"), "n\r\n");

  log.Clear();
  WriteFirmRunSummary(*run, summary);
  EXPECT_NE(log.Find("Dopisano do spisu firm: 1 z 1"_pl), nullptr);
  const LogLine* line = log.Find("Błędy (2) w danych firmy: Błędna (BLEDY)"_pl);
  ASSERT_NE(line, nullptr) << log.Dump();
  EXPECT_EQ(line->colour, convert::kColourError);

  // A run without trouble has nothing to sum up.
  log.Clear();
  FirmRunSummary clean;
  clean.converted = clean.added = 3;
  WriteFirmRunSummary(*run, clean);
  EXPECT_TRUE(log.lines.empty());
}

TEST_F(FirmRunTest, FirmTextDataThatCannotBeWrittenEndsOnlyThatFirm) {
  MakeFirm("ZLY");
  Source("ZLY", "FIRMATXT.INI", "[DOR]\r\nNAZWA_ZUS=Zły\r\n"_pl);
  Source("ZLY", "Notes.txt", "n\r\n");
  // A directory where the Target file goes: it cannot be created.
  fs::create_directories(TargetDir("ZLY") / "FIRMATXT.INI");
  MakeFirm("DOBRY");
  Source("DOBRY", "Notes.txt", "d\r\n");
  FirmList firms;
  firms.Add(shared::MakeFirmRecord("Zły"_pl, "ZLY", ""));
  firms.Add(shared::MakeFirmRecord("Dobry", "DOBRY", ""));
  std::string box;
  rig.console.PushAction([&] { box = rig.console.ScreenText(); });
  rig.console.PushKey(kEnter);  // the error box
  rig.console.PushKey(kEnter);  // the key wait after the red line
  FirmRunSummary summary = ConvertSelectedFirms(*run, firms);

  EXPECT_NE(box.find(Cp852ToUtf8("Błąd odczytu danych firmy"_pl)), std::string::npos) << box;
  const LogLine* line =
      log.Find(std::string("Błąd zapisu danych firmy "_pl) + TargetPath("ZLY", "FIRMATXT.INI"));
  ASSERT_NE(line, nullptr) << log.Dump();
  EXPECT_EQ(line->colour, convert::kColourError);
  // The items after it did not run; the next firm did.
  EXPECT_FALSE(InTarget("ZLY", "Notes.txt"));
  EXPECT_EQ(ReadTarget("DOBRY", "Notes.txt"), "d\r\n");
  EXPECT_EQ(summary.added, 1);
  ASSERT_EQ(summary.entries.size(), 1u);
  EXPECT_EQ(summary.entries[0].kind, FirmRunSummary::Kind::kNotAdded);
  EXPECT_EQ(summary.entries[0].directory, "ZLY");
  EXPECT_EQ(TargetList(), RecordText(firms.At(2).record));
}

TEST_F(FirmRunTest, TargetFirmListIsExtendedInKeyOrderAndNeverCutOrDoubled) {
  shared::FirmRecordBytes apteka = shared::MakeFirmRecord("Apteka Łódź"_pl, "APT", "stara");
  shared::FirmRecordBytes zabka = shared::MakeFirmRecord("Żabka"_pl, "ZAB", "", "dane firmy");
  test::WriteFile(dir / "DOR_2020" / "SPISFIRM.DAT", RecordText(apteka) + RecordText(zabka));

  FirmList firms;
  const std::vector<std::pair<std::string_view, std::string_view>> made = {
      {"Łąka"_pl, "LAKA"}, {"Ćwiek"_pl, "CWIEK"},  {"Zorza", "ZORZA"},
      {"Ala", "ALA"},      {"Apteka Nowa", "apt"}, {"Pomiń"_pl, "POMIN"}};
  for (const auto& [name, directory] : made) {
    MakeFirm(std::string(directory));
    // Stale bytes after the texts and firm data of its own: carried unchanged.
    shared::FirmRecordBytes record =
        shared::MakeFirmRecord(name, directory, "i", std::string("xyz") + std::string(name));
    record[31] = 'Q';
    firms.Add(record);
  }
  firms.At(6).selected = false;
  FirmRunSummary summary = ConvertSelectedFirms(*run, firms);

  EXPECT_FALSE(fs::exists(TargetDir("POMIN")));
  std::string expected;
  for (const shared::FirmRecordBytes* r : {&firms.At(4).record, &apteka, &firms.At(2).record,
                                           &firms.At(1).record, &firms.At(3).record, &zabka})
    expected += RecordText(*r);
  EXPECT_EQ(TargetList(), expected);
  EXPECT_EQ(summary.converted, 5);
  EXPECT_EQ(summary.added, 4);
  const LogLine* twice =
      log.Find("Katalog apt jest już w spisie firm - nie dopisano go ponownie"_pl);
  ASSERT_NE(twice, nullptr) << log.Dump();
  EXPECT_EQ(twice->colour, convert::kColourWarning);
  ASSERT_EQ(summary.entries.size(), 1u);
  EXPECT_EQ(summary.entries[0].kind, FirmRunSummary::Kind::kAlreadyListed);

  // A missing list is created.
  fs::remove(dir / "DOR_2020" / "SPISFIRM.DAT");
  FirmList one;
  MakeFirm("NOWA");
  one.Add(shared::MakeFirmRecord("Nowa", "NOWA", ""));
  ConvertSelectedFirms(*run, one);
  EXPECT_EQ(TargetList(), RecordText(one.At(1).record));
}

TEST_F(FirmRunTest, NoFirmSelectedLeavesTheTargetFirmListAlone) {
  MakeFirm("A");
  FirmList firms;
  firms.Add(shared::MakeFirmRecord("A", "A", ""));
  firms.SelectAll(false);
  FirmRunSummary summary = ConvertSelectedFirms(*run, firms);
  EXPECT_EQ(summary.converted, 0);
  EXPECT_FALSE(fs::exists(dir / "DOR_2020" / "SPISFIRM.DAT"));
  EXPECT_FALSE(fs::exists(TargetDir("A")));
}

TEST_F(FirmRunTest, TargetFirmListThatCannotBeOpenedStopsBeforeAnyFirm) {
  test::WriteFile(dir / "DOR_2020" / "SPISFIRM.DAT", "");
  faulty.Plan(run->options.targetTree + "SPISFIRM.DAT", {.failOpen = true});
  MakeFirm("A");
  std::string box;
  rig.console.PushAction([&] { box = rig.console.ScreenText(); });
  rig.console.PushKey(kEnter);
  FirmRunSummary summary = RunOne("A");
  EXPECT_NE(box.find("Brak dostepu do pliku"), std::string::npos) << box;
  EXPECT_NE(box.find("DOR_2020\\SPISFIRM.D"), std::string::npos) << box;  // as far as it fits
  EXPECT_FALSE(fs::exists(TargetDir("A")));
  EXPECT_TRUE(summary.listNotOpened);
  EXPECT_EQ(summary.converted, 0);
  WriteFirmRunSummary(*run, summary);
  EXPECT_NE(log.Find(std::string("Nie przeniesiono żadnej firmy - brak dostępu do pliku "_pl) +
                     run->options.targetTree + "SPISFIRM.DAT"),
            nullptr);
}

TEST_F(FirmRunTest, AFailedInsertHasItsOwnRedLineAndTheFirmIsNotCountedAdded) {
  test::WriteFile(dir / "DOR_2020" / "SPISFIRM.DAT", "");
  int error = 0;
  // Another workstation holds the list locked for good.
  auto other =
      rig.files->Open(run->options.targetTree + "SPISFIRM.DAT", platform::kReadWrite,
                      platform::kShareReadWrite, platform::Disposition::kOpenExisting, error);
  ASSERT_TRUE(other);
  ASSERT_TRUE(other->Lock(0, tui::kWholeFileLength, error));
  int asked = 0;
  run->sharedFiles.SetMessageBox([&](std::uint16_t, std::string_view) {
    ++asked;
    return tui::kCmNo;
  });
  MakeFirm("A");
  rig.console.PushKey(kEnter);
  FirmRunSummary summary = RunOne("A", "Alfa");
  EXPECT_GE(asked, 1);
  const LogLine* line = log.Find(std::string("Błąd dopisania firmy do pliku "_pl) +
                                 run->options.targetTree + "SPISFIRM.DAT");
  ASSERT_NE(line, nullptr) << log.Dump();
  EXPECT_EQ(line->colour, convert::kColourError);
  EXPECT_EQ(summary.added, 0);
  ASSERT_EQ(summary.entries.size(), 1u);
  EXPECT_EQ(summary.entries[0].kind, FirmRunSummary::Kind::kNotAdded);
  other->Close(error);
  EXPECT_EQ(TargetList(), "");
}

TEST_F(FirmRunTest, OverwriteMemoryHoldsFromFirmToFirm) {
  for (const char* firm : {"A", "B"}) {
    MakeFirm(firm);
    Source(firm, "Notes.txt", "nowe\r\n");
    Target(firm, "Notes.txt", "stare\r\n");
  }
  FirmList firms;
  firms.Add(shared::MakeFirmRecord("A", "A", ""));
  firms.Add(shared::MakeFirmRecord("B", "B", ""));
  rig.console.PushKey(Key('a'));  // overwrite this one and every one after it
  ConvertSelectedFirms(*run, firms);
  EXPECT_EQ(log.Count("Stwierdzono obecność pliku "_pl), 1);
  EXPECT_EQ(ReadTarget("A", "Notes.txt"), "nowe\r\n");
  EXPECT_EQ(ReadTarget("B", "Notes.txt"), "nowe\r\n");
  EXPECT_EQ(run->copier.overwriteMemory, -1);
}

// A firm's run lists each directory once; a file another program writes into a firm
// directory before the firm's next run is found there under any case, and names this
// run makes are found at once.
TEST_F(FirmRunTest, FilesAnotherProgramWroteBeforeTheFirmsRunAreFoundUnderAnyCase) {
  MakeFirm("F");
  Source("F", "Notes.txt", "notes\r\n");
  ASSERT_TRUE(Convert("F").completed);
  EXPECT_FALSE(InTarget("F", "Notatnik.txt"));
  EXPECT_EQ(ReadTarget("F", "Notes.txt"), "notes\r\n");

  // Written by the test itself, past the program's file layer, as another program would.
  test::WriteFile(SourceDir("F") / "NOTATNIK.TXT", "zapiski\r\n");
  fs::remove_all(TargetDir("F"));
  ASSERT_TRUE(Convert("F").completed);
  EXPECT_EQ(ReadTarget("F", "Notatnik.txt"), "zapiski\r\n");
  // Carried once, with no question about a target this run made itself.
  EXPECT_EQ(log.Count("Stwierdzono obecność pliku "_pl), 0);
}

TEST_F(FirmRunTest, StopPerFirmWaitsAfterTheEndLineOnTheFirmsOwnScreen) {
  run->options.stopPerFirm = true;
  MakeFirm("A");
  MakeFirm("B");
  FirmList firms;
  firms.Add(shared::MakeFirmRecord("Pierwsza", "A", ""));
  firms.Add(shared::MakeFirmRecord("Druga", "B", ""));
  std::vector<std::string> screens;
  for (int k = 0; k < 2; ++k) {
    rig.console.PushAction([&] { screens.push_back(rig.console.ScreenText()); });
    rig.console.PushKey(Key(' '));
  }
  ConvertSelectedFirms(*run, firms);
  ASSERT_EQ(screens.size(), 2u);
  EXPECT_TRUE(
      screens[0].starts_with("Kopiowanie  - FIRMA   : Pierwsza\n"
                             "              Katalog : A\n"))
      << screens[0];
  EXPECT_NE(screens[0].find("Koniec konwersji danych firmy\ncdn - naciśnij dowolny klawisz."),
            std::string::npos)
      << screens[0];
  EXPECT_TRUE(screens[1].starts_with("Kopiowanie  - FIRMA   : Druga\n")) << screens[1];
  EXPECT_EQ(screens[1].find("Pierwsza"), std::string::npos);
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
}

TEST_F(FirmRunTest, VatProportionIsTheFirmsOwnAndStartsAgainForTheNext) {
  std::string proportional = Annual2019();
  proportional[0x75] = 1;
  proportional[0x78] = 60;  // the proportion the closed year assumed for 2020
  Source("A", "2019_ROK.REK", proportional);
  Source("A", "_zq_dor.rek", Bytes(256, 1));
  MakeFirm("B");
  faulty.Plan(SourcePath("B", "2019_ROK.REK"), {.failOpen = true});
  FirmResult a = Convert("A");
  EXPECT_EQ(a.firmVatProportional, 1);
  EXPECT_EQ(a.firmVatProportion, 60);
  rig.console.PushKey(kEnter);  // the annual settings cannot be read
  FirmResult b = Convert("B");
  EXPECT_TRUE(b.completed);
  EXPECT_EQ(b.firmVatProportional, 0);
  EXPECT_EQ(b.firmVatProportion, 0);
  EXPECT_EQ(b.errors, 1);
}

}  // namespace
}  // namespace zq::driver
