// The global data copy on a pair of temporary trees: which items run under which box,
// from which directory and into which file, what ends the program, and the run-wide
// tax-office mode.
#include "driver/global_copy.h"

#include <gtest/gtest.h>

#include "convert/bases.h"
#include "driver/firm_rig.h"

namespace zq::driver {
namespace {

using namespace test_rig;
namespace gi = global_items;

// A 480-byte base record whose byte 4 says nothing yet.
std::string BaseRecords(int n) {
  std::string file = Bytes(480 * static_cast<std::size_t>(n), 4);
  for (int i = 0; i < n; ++i) file[480 * static_cast<std::size_t>(i) + 4] = 7;
  return file;
}

// A wage settings record of layout 4 whose first code tells where it came from.
std::string WageSettings(std::string_view code) {
  std::string record(2048, '\0');
  record[0] = static_cast<char>(code.size());
  record.replace(1, code.size(), code);
  record[0x262] = 4;
  return record;
}

struct GlobalFile {
  std::string_view name;
  std::string bytes;
};

std::vector<GlobalFile> EveryGlobalFile() {
  return {
      {"baza_ad8.rek", BaseRecords(2)},
      {"dor_2019.ini", "[PROGRAM]\r\nROK=2019\r\n"},
      {"baza_us8.rek", BaseRecords(3)},
      {"baza_ff.txt", "F2=Sprzedaż\r\n"_ps},
      {"2019_BR.REK", Bytes(384, 6)},
      {"DOR_ZQ.INI", "[DLL]\r\nST=1\r\n"},
      {"2019spd.ini", "[PODATEK]\r\nLINIOWY=19\r\n"},
      {"2019_lp.cc", WageSettings("A19")},
      {"KOLORY.ZQ", std::string("\x07\x0F\x3F\x70\x07\x02\x0F\x0F\x4F\x0F\x70", 11)},
      {"OPERATOR.REK", Bytes(512, 9)},
      {"ZUS_PEL.INI", "[ZUS_PEL]\r\nKOD=1\r\n"},
      {"UMOWY.INI", "[UMOWY]\r\nOKRES=2\r\n"},
  };
}

class GlobalCopyTest : public FirmRunRig {
 public:  // the table of setups reaches in
  GlobalCopyTest() { fs::create_directories(SourceGlobal()); }
  fs::path SourceGlobal(std::string_view dirName = "#BIN980") const {
    return dir / "DOR_2019" / std::string(dirName);
  }
  fs::path TargetGlobal() const { return dir / "DOR_2020" / "#BIN020"; }
  void Global(std::string_view name, std::string_view bytes, std::string_view dirName = "#BIN980") {
    test::WriteFile(SourceGlobal(dirName) / std::string(name), bytes);
  }
  void EveryFile(std::string_view dirName = "#BIN980") {
    for (const GlobalFile& f : EveryGlobalFile()) Global(f.name, f.bytes, dirName);
  }
  std::string TargetFile(std::string_view name) const {
    return test::ReadFile(TargetGlobal() / std::string(name));
  }
  // The copy, and the exit code when it ended the program.
  std::optional<int> RunCopy() {
    try {
      RunGlobalDataCopy(*run);
    } catch (const platform::ProgramExit& exit) {
      return exit.code;
    }
    return std::nullopt;
  }
  std::vector<std::string> TargetNames() const {
    std::vector<std::string> names;
    if (fs::is_directory(TargetGlobal()))
      for (const auto& e : fs::directory_iterator(TargetGlobal()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(GlobalCopyTest, EachBoxRunsItsItemAloneIntoItsTargetFiles) {
  struct Case {
    std::uint16_t box;
    std::vector<std::string> targets;  // sorted
    std::string label;                 // empty: the item logs no line of its own
  };
  const Case cases[] = {
      {gi::kAddresses, {"baza_ad8.rek"}, "Globalna baza adresów"_ps},
      {gi::kProgramSettings, {"dor_2020.ini"}, "Konfigurator dor_2019.ini"},
      {gi::kTaxOffices, {"baza_us8.rek"}, "Baza urzedów skarbowych"_ps},
      {gi::kKeyConstants, {"baza_ff.txt"}, "Globale stale klawiszy F2..F10"},
      {gi::kOfficeData, {"2020_BR.REK"}, "Dane biura do FRV"},
      {gi::kDllSettings, {"DOR_ZQ.INI"}, "Konfigurator DOR_ZQ.INI"},
      {gi::kTaxConstants, {"2019spd.ini"}, "Zeszloroczne stale podatkowe"},
      {gi::kWageSettings, {"2020_lp2.cc"}, "Globale ustawienia wynagrodzen"},
      {gi::kColours, {"KOLORY.ZQ"}, "Ustawienia kolorów"_ps},
      {gi::kOperators, {"OPERATOR.REK"}, ""},
      {gi::kStaffFiles, {"UMOWY.INI", "ZUS_PEL.INI"}, ""},
  };
  EveryFile();
  std::vector<std::string> labels;
  for (const Case& c : cases)
    if (!c.label.empty()) labels.push_back(c.label);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.targets[0]);
    fs::remove_all(TargetGlobal());
    log.Clear();
    run->options.globalItems = c.box;
    EXPECT_FALSE(RunCopy());
    EXPECT_EQ(TargetNames(), c.targets);
    // Files carried as they are.
    for (const GlobalFile& f : EveryGlobalFile())
      for (const std::string& name : c.targets)
        if (name == f.name && !name.ends_with(".rek") && !name.ends_with(".REK") &&
            !name.ends_with(".cc")) {
          EXPECT_EQ(TargetFile(name), f.bytes) << name;
        }
    for (const std::string& label : labels)
      EXPECT_EQ(log.Find(label) != nullptr, label == c.label) << Cp852ToUtf8(label);
  }
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
}

TEST_F(GlobalCopyTest, AllItemsInTableOrderAndTheTaxOfficeModeOnlyForItsBase) {
  EveryFile();
  run->options.globalItems = 0x07FF;
  EXPECT_FALSE(RunCopy());
  const std::string order[] = {
      "Globalna baza adresów"_ps,
      "Konfigurator dor_2019.ini",
      "Baza urzedów skarbowych"_ps,
      "Globale stale klawiszy F2..F10",
      "Dane biura do FRV",
      "Konfigurator DOR_ZQ.INI",
      "Zeszloroczne stale podatkowe",
      "Globale ustawienia wynagrodzen",
      "Ustawienia kolorów"_ps,
  };
  int last = -1;
  for (const std::string& label : order) {
    int at = log.IndexOf(label);
    EXPECT_GT(at, last) << Cp852ToUtf8(label);
    last = at;
  }
  std::string addresses = TargetFile("baza_ad8.rek"), offices = TargetFile("baza_us8.rek");
  ASSERT_EQ(addresses.size(), 2 * 480u);
  ASSERT_EQ(offices.size(), 3 * 480u);
  for (std::size_t r = 0; r < 2; ++r) EXPECT_EQ(addresses[480 * r + 4], 0);
  for (std::size_t r = 0; r < 3; ++r) EXPECT_EQ(offices[480 * r + 4], 1);
  EXPECT_FALSE(run->taxOfficeBase);
  // The window and the log are given back as they were.
  tui::TextWindow window = run->screen.CurrentTextWindow();
  EXPECT_EQ(window.left, 1);
  EXPECT_EQ(window.right, 80);
  EXPECT_EQ(window.top, 1);
  EXPECT_EQ(window.bottom, 25);
  EXPECT_EQ(run->log.Row(), convert::ProgressLog::kFirstScrollRow);
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
}

TEST_F(GlobalCopyTest, TheTaxOfficeModeEndsEvenWhenItsCopyFails) {
  EveryFile();
  run->options.globalItems = gi::kTaxOffices | gi::kKeyConstants;
  faulty.Plan(run->options.sourceTree + "#BIN980\\baza_us8.rek", {.failOpen = true});
  rig.console.PushKey(kEnter);  // the open failure waits for a key
  EXPECT_FALSE(RunCopy());
  EXPECT_FALSE(run->taxOfficeBase);
  EXPECT_TRUE(fs::exists(TargetGlobal() / "baza_ff.txt"));  // the next item ran
  // A firm's address base afterwards is read as addresses.
  MakeFirm("FIRMA");
  Source("FIRMA", "baza_ad8.rek", BaseRecords(1));
  auto firm = Context("FIRMA");
  for (const FirmItem& item : FirmItems())
    if (item.number == 12) RunFirmItem(*firm, item);
  std::string out = ReadTarget("FIRMA", "baza_ad8.rek");
  ASSERT_EQ(out.size(), 480u);
  EXPECT_EQ(out[4], 0);
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
}

TEST_F(GlobalCopyTest, WageSettingsComeFromANonEmpty2020FileElseFrom2019) {
  struct Case {
    const char* name;
    std::optional<std::string> file2020;
    std::string expectedCode;
  };
  const Case cases[] = {
      {"no 2020 file", std::nullopt, "A19"},
      {"empty 2020 file", std::string(), "A19"},
      {"2020 file", WageSettings("A20"), "A20"},
  };
  Global("2019_lp.cc", WageSettings("A19"));
  run->options.globalItems = gi::kWageSettings;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(TargetGlobal());
    fs::remove(SourceGlobal() / "2020_lp.cc");
    if (c.file2020) Global("2020_lp.cc", *c.file2020);
    EXPECT_FALSE(RunCopy());
    std::string out = TargetFile("2020_lp2.cc");
    ASSERT_EQ(out.size(), 2048u);
    EXPECT_EQ(out.substr(1, 3), c.expectedCode);
    EXPECT_EQ(WordAt(out, 0x263), 2020u);  // through the wage-settings filter
    EXPECT_EQ(TargetNames(), std::vector<std::string>{"2020_lp2.cc"});
  }
}

TEST_F(GlobalCopyTest, AnotherSourceDirectoryFeedsEveryItemIntoBin020) {
  EveryFile("STARE");
  fs::remove_all(SourceGlobal());
  run->options.globalSourceDir = "STARE";
  run->options.globalItems = 0x07FF;
  EXPECT_FALSE(RunCopy());
  EXPECT_EQ(TargetNames().size(), 12u);
  EXPECT_EQ(TargetFile("dor_2020.ini"), "[PROGRAM]\r\nROK=2019\r\n");
  EXPECT_NE(log.Find("Konfigurator dor_2019.ini"), nullptr);
  EXPECT_FALSE(fs::exists(dir / "DOR_2020" / "STARE"));
}

TEST_F(GlobalCopyTest, AMissingSourceOrAnUncreatableTargetEndsTheProgramAfterItsBox) {
  struct Case {
    const char* name;
    void (*setUp)(GlobalCopyTest&);
    std::string box;
    std::string path;  // centred under the first line
  };
  const Case cases[] = {
      {"no source directory", [](GlobalCopyTest& t) { fs::remove_all(t.SourceGlobal()); },
       "Brak katalogu zródłowego", "#BIN980"},
      {"source directory is a file",
       [](GlobalCopyTest& t) {
         fs::remove_all(t.SourceGlobal());
         test::WriteFile(t.SourceGlobal(), "plik");
       },
       "Brak katalogu zródłowego", "#BIN980"},
      {"#BIN020 is a file",
       [](GlobalCopyTest& t) {
         t.EveryFile();
         test::WriteFile(t.TargetGlobal(), "plik");
       },
       "Utworzenia katalogu", "#BIN020"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto before = Snapshot(dir / "DOR_2020");
    c.setUp(*this);
    auto targetBefore = Snapshot(dir / "DOR_2020");
    run->options.globalItems = 0x07FF;
    std::string shown;
    rig.console.PushAction([&] { shown = rig.console.ScreenText(); });
    rig.console.PushKey(kEnter);
    EXPECT_EQ(RunCopy(), 0);
    EXPECT_NE(shown.find(c.box), std::string::npos) << shown;
    EXPECT_NE(shown.find(c.path), std::string::npos) << shown;
    EXPECT_EQ(Snapshot(dir / "DOR_2020"), targetBefore);  // nothing copied
    EXPECT_FALSE(run->taxOfficeBase);
    fs::remove_all(TargetGlobal());
    fs::remove_all(SourceGlobal());
    fs::create_directories(SourceGlobal());
  }
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
}

TEST_F(GlobalCopyTest, StopAfterEachPartPausesOnceAtTheEnd) {
  for (bool stop : {false, true}) {
    SCOPED_TRACE(stop);
    log.Clear();
    run->options.stopPerFirm = stop;
    run->options.globalItems = gi::kColours;
    Global("KOLORY.ZQ", "");  // empty: counts as missing, nothing to copy
    tui::TextWindow during;
    if (stop) {
      rig.console.PushAction([&] { during = run->screen.CurrentTextWindow(); });
      rig.console.PushKey(Key('x'));
    }
    EXPECT_FALSE(RunCopy());
    EXPECT_EQ(log.Find("cdn - nacisnij dowolny klawisz.") != nullptr, stop);
    if (stop) {  // narrowed while the copy runs, given back after it
      EXPECT_EQ(during.left, 3);
      EXPECT_EQ(during.right, 77);
      EXPECT_EQ(during.top, 3);
      EXPECT_EQ(during.bottom, 20);
      EXPECT_EQ(run->screen.CurrentTextWindow().right, 80);
    }
    EXPECT_FALSE(fs::exists(TargetGlobal() / "KOLORY.ZQ"));
    EXPECT_TRUE(fs::is_directory(TargetGlobal()));  // made, then used as it is
    EXPECT_EQ(rig.console.ScriptLeft(), 0u);
  }
}

}  // namespace
}  // namespace zq::driver
