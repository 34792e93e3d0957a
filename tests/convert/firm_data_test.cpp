#include "convert/firm_data.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "copy_fixture.h"
#include "shared/ini.h"
#include "tui/event.h"

namespace zq::test {
namespace {

using convert::FirmTextOutcome;
using zq::operator""_pl;
namespace key = tui::key;

// The address fields of the firm record as (offset, width), from the record's own table.
constexpr std::pair<std::size_t, std::size_t> kAddress[] = {
    {0x00, 19}, {0x13, 23}, {0x2A, 27}, {0x45, 31}, {0x64, 8},  {0x6C, 8},  {0x74, 27},
    {0x8F, 7},  {0x96, 27}, {0xB1, 6},  {0xB7, 13}, {0xC4, 13}, {0xD1, 15},
};

std::string Lines(std::initializer_list<std::string_view> lines) {
  std::string text;
  for (std::string_view line : lines) (text += line) += "\r\n";
  return text;
}

// A record whose texts are clean: length byte, characters, zeros.
std::string CleanAddress(unsigned seed) {
  std::string record(224, '\0');
  for (auto [at, width] : kAddress) {
    std::size_t n = (at + seed) % width;
    record[at] = static_cast<char>(n);
    for (std::size_t k = 0; k < n; ++k)
      record[at + 1 + k] = static_cast<char>('A' + (k + seed) % 26);
  }
  return record;
}

class FirmDataTest : public CopyFixture {
 protected:
  FirmDataTest() {
    screen.Start();
    std::filesystem::create_directories(dir / "src" / "FIRMA");
    std::filesystem::create_directories(dir / "dst" / "FIRMA");
  }
  std::string SourceFile(std::string_view name) const {
    return dirs.source + "\\" + std::string(name);
  }
  std::string TargetFile(std::string_view name) const {
    return dirs.target + "\\" + std::string(name);
  }
  convert::FirmDataDirs Dirs() const { return {dirs.source, dirs.target}; }
  // A key of the Target's firm text data, read back through the INI object.
  std::string TargetKey(std::string_view section, std::string_view name) {
    shared::IniFile ini;
    EXPECT_TRUE(ini.Open(*rig.files, TargetFile("FIRMATXT.INI"), shared::IniFile::Mode::kRead));
    return ini.ReadText(section, name, "<none>");
  }

  struct {
    std::string source, target;
  } dirs{dir.Prefix() + "src\\FIRMA", dir.Prefix() + "dst\\FIRMA"};
};

TEST_F(FirmDataTest, FirmRecordCarriedFieldByField) {
  std::string clean1 = CleanAddress(1), clean2 = CleanAddress(5);
  // Stale bytes behind a text, and a length byte that claims more than its field.
  std::string dirty = CleanAddress(9);
  dirty[0x00] = 3;
  dirty[0x04] = 'x';
  dirty[0x64] = static_cast<char>(200);
  for (int k = 1; k < 8; ++k) dirty[0x64 + k] = static_cast<char>('0' + k);
  Write("src/FIRMA/FIRMA_A8.REK", clean1 + clean2 + dirty + "tail");
  convert::ConvertFirmRecord(copier, Dirs());

  std::string out = Read("dst/FIRMA/FIRMA_A8.REK");
  ASSERT_EQ(out.size(), 4 * 224u);
  EXPECT_EQ(out.substr(0, 224), clean1);
  EXPECT_EQ(out.substr(224, 224), clean2);
  std::string fixed = out.substr(448, 224);
  EXPECT_EQ(fixed.substr(0, 4), dirty.substr(0, 4));
  EXPECT_EQ(fixed.substr(4, 15), std::string(15, '\0'));
  EXPECT_EQ(fixed[0x64], 7);  // DOM holds seven characters
  EXPECT_EQ(fixed.substr(0x65, 7), "1234567");
  for (auto [at, width] : kAddress) {
    if (at == 0x00 || at == 0x64) continue;
    EXPECT_EQ(fixed.substr(at, width), dirty.substr(at, width));
  }
  // The short tail becomes a whole record: its "t" read as POWIAT's length byte, cut.
  EXPECT_EQ(out[672], 18);
  EXPECT_EQ(out.substr(673, 18), "ail" + std::string(15, '\0'));
  EXPECT_EQ(out.substr(691), std::string(224 - 19, '\0'));
  EXPECT_EQ(sink.Lines().back(),
            "9|Kopiuje " + Cp852ToUtf8(SourceFile("FIRMA_A8.REK")) + "  3 pozycji ...");
  EXPECT_EQ(KeysLeft(), 0u);
}

TEST_F(FirmDataTest, FirmTextRecordsThePreviousYearDirectory) {
  Write("src/FIRMA/FIRMATXT.INI", Lines({
                                      "[DOR]",
                                      "NAZWA_ZUS=Piekarnia Łódź"_pl,
                                      "PATH2019=C:\\STARE\\PIEKARZ",
                                      "PATH2018=C:\\DOR_2018\\PIEKARZ",
                                      "PATH2013=C:\\DOR_2013\\PIEKARZ",
                                      "PATH2012=C:\\DOR_2012\\PIEKARZ",
                                      "FAS=NIE",
                                      "[FIRMA]",
                                      "NIP=725-18-01-126",
                                      "[NIEZNANA]",
                                      "KLUCZ=1",
                                  }));
  auto result = convert::ConvertFirmTextData(sharedFiles, Dirs(), "C:\\DOR_2019\\PIEKARZ");
  EXPECT_TRUE(result.Ok());
  EXPECT_EQ(TargetKey("DOR", "PATH2019"), "C:\\DOR_2019\\PIEKARZ");
  EXPECT_EQ(TargetKey("DOR", "PATH2018"), "C:\\DOR_2018\\PIEKARZ");
  EXPECT_EQ(TargetKey("DOR", "PATH2013"), "C:\\DOR_2013\\PIEKARZ");
  EXPECT_EQ(TargetKey("DOR", "PATH2012"), "<none>");
  EXPECT_EQ(TargetKey("DOR", "NAZWA_ZUS"), "Piekarnia Łódź"_pl);
  EXPECT_EQ(TargetKey("DOR", "FAS"), "NIE");
  EXPECT_EQ(TargetKey("FIRMA", "NIP"), "725-18-01-126");
  // The Source is read, never written.
  EXPECT_NE(Read("src/FIRMA/FIRMATXT.INI").find("PATH2012="), std::string::npos);
  EXPECT_TRUE(sink.Lines().empty());

  // A directory longer than the key is cut to its 40 characters; an empty one (the annual
  // settings never read) is written empty.
  std::string longDir = "D:\\KSIEGOWOSC\\ROK_2019\\KLIENCI\\PIEKARNIA_LODZ";
  ASSERT_GT(longDir.size(), 40u);
  EXPECT_TRUE(convert::ConvertFirmTextData(sharedFiles, Dirs(), longDir).Ok());
  EXPECT_EQ(TargetKey("DOR", "PATH2019"), longDir.substr(0, 40));
  EXPECT_TRUE(convert::ConvertFirmTextData(sharedFiles, Dirs(), "").Ok());
  EXPECT_EQ(TargetKey("DOR", "PATH2019"), "");
  EXPECT_EQ(KeysLeft(), 0u);
}

TEST_F(FirmDataTest, FirmTextWithoutASourceFileTakesTheDefaults) {
  EXPECT_TRUE(convert::ConvertFirmTextData(sharedFiles, Dirs(), "C:\\DOR_2019\\SKLEP").Ok());
  EXPECT_EQ(TargetKey("DOR", "PATH2019"), "C:\\DOR_2019\\SKLEP");
  EXPECT_EQ(TargetKey("DOR", "PATH2018"), "");
  EXPECT_EQ(TargetKey("DOR", "NAZWA_ZUS"), "");
}

TEST_F(FirmDataTest, FirmTextFailuresAreShownAndGivenBack) {
  Write("src/FIRMA/FIRMATXT.INI", "[DOR]\r\nPATH2018=X\r\n");
  std::string shot;
  rig.console.PushAction([&] { shot = rig.console.ScreenText(); });
  rig.console.PushKey(key::kEnter);
  files.Plan(SourceFile("FIRMATXT.INI"), {.failOpen = true});
  auto result = convert::ConvertFirmTextData(sharedFiles, Dirs(), "C:\\X");
  EXPECT_EQ(result.outcome, FirmTextOutcome::kReadFailed);
  EXPECT_FALSE(result.status.Ok());
  EXPECT_NE(shot.find("Błąd odczytu danych firmy"), std::string::npos) << shot;
  EXPECT_FALSE(Exists("dst/FIRMA/FIRMATXT.INI"));

  // A Target that cannot be created: a directory where the file should be.
  files.ClearPlans();
  std::filesystem::create_directories(dir / "dst" / "FIRMA" / "FIRMATXT.INI");
  shot.clear();
  rig.console.PushAction([&] { shot = rig.console.ScreenText(); });
  rig.console.PushKey(key::kEnter);
  result = convert::ConvertFirmTextData(sharedFiles, Dirs(), "C:\\X");
  EXPECT_EQ(result.outcome, FirmTextOutcome::kWriteFailed);
  EXPECT_NE(shot.find("Błąd odczytu danych firmy"), std::string::npos) << shot;
  EXPECT_EQ(KeysLeft(), 0u);
}

TEST_F(FirmDataTest, AdvancePaymentsOnlyFromA2020YearAndCutToTheirFields) {
  std::string record = Pattern(1024, 3);
  for (int m = 0; m < 12; ++m) record[0x0E + 71 * m] = static_cast<char>(m == 4 ? 0xFF : 10 + m);
  std::string second = Pattern(1024, 4);
  for (int m = 0; m < 12; ++m) second[0x0E + 71 * m] = 0;
  Write("src/FIRMA/2020ZAL.REK", record + second);

  convert::CopyAdvancePayments(copier, Dirs(), false);
  EXPECT_FALSE(Exists("dst/FIRMA/2020ZAL.REK"));
  EXPECT_TRUE(sink.Lines().empty());

  convert::CopyAdvancePayments(copier, Dirs(), true);
  std::string out = Read("dst/FIRMA/2020ZAL.REK");
  ASSERT_EQ(out.size(), 2048u);
  // Outside the texts, every byte as it was.
  EXPECT_EQ(out.substr(0, 0x0E), record.substr(0, 0x0E));
  EXPECT_EQ(out.substr(0x0E + 71 * 12, 1024 - 0x0E - 71 * 12),
            record.substr(0x0E + 71 * 12, 1024 - 0x0E - 71 * 12));
  for (int m = 0; m < 12; ++m) {
    SCOPED_TRACE(m);
    std::size_t at = 0x0E + 71 * static_cast<std::size_t>(m);
    std::size_t n = m == 4 ? 70 : 10 + static_cast<std::size_t>(m);
    EXPECT_EQ(static_cast<std::uint8_t>(out[at]), n);
    EXPECT_EQ(out.substr(at + 1, n), record.substr(at + 1, n));
    // Past the text's end the record is carried too: nothing is zeroed.
    EXPECT_EQ(out.substr(at + 1 + n, 70 - n), record.substr(at + 1 + n, 70 - n));
  }
  EXPECT_EQ(out.substr(1024, 0x0E), second.substr(0, 0x0E));
  EXPECT_EQ(sink.Lines().back(),
            "9|Kopiuje " + Cp852ToUtf8(SourceFile("2020ZAL.REK")) + "  2 pozycji ...");
}

TEST_F(FirmDataTest, TransferSettingsCopiedLineByLine) {
  convert::CopyTransferSettings(copier, Dirs());
  EXPECT_FALSE(Exists("dst/FIRMA/BAZA_PP8.INI"));
  EXPECT_TRUE(sink.Lines().empty());

  Write("src/FIRMA/BAZA_PP8.INI", "[PRZELEW]\r\nTYTUL=Zapłata za fakturę\nKONTO=1"_pl);
  convert::CopyTransferSettings(copier, Dirs());
  EXPECT_EQ(Read("dst/FIRMA/BAZA_PP8.INI"),
            "[PRZELEW]\r\nTYTUL=Zapłata za fakturę\r\nKONTO=1\r\n"_pl);
  EXPECT_EQ(sink.Lines().back(), "9|Kopiuję plik " + Cp852ToUtf8(SourceFile("BAZA_PP8.INI")));
}

}  // namespace
}  // namespace zq::test
