#include "shared/firm_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/cp852.h"
#include "support/test_env.h"
#include "tui/screen.h"
#include "tui/shared_file.h"

namespace zq::shared {
namespace {

std::string Pl(std::string_view utf8) {
  return Utf8ToCp852(utf8);
}

struct FirmTextTest : ::testing::Test {
  test::TempDir dir;
  test::HeadlessRig rig;
  platform::Files& files = *rig.files;
  std::string path = dir.Prefix() + "FIRMATXT.INI";

  void Put(std::string_view bytes) { test::WriteFile(dir / "FIRMATXT.INI", bytes); }
  std::string Get() { return test::ReadFile(dir / "FIRMATXT.INI"); }
  FirmText Read() {
    FirmText record;
    EXPECT_TRUE(ReadFirmText(files, path, record));
    return record;
  }
};

TEST(FirmTextKeys, SectionsComeInTheOrderOfFirstUse) {
  std::vector<std::string_view> sections;
  for (const FirmTextKey& k : FirmTextKeys(2020))
    if (std::find(sections.begin(), sections.end(), k.section) == sections.end())
      sections.push_back(k.section);
  EXPECT_EQ(sections, (std::vector<std::string_view>{
                          "DOR", "URZEDY_SKARBOWE", "URZEDY_SKARBOWE_EKOD", "FIRMA", "BANKI",
                          "OSOBA_FIZYCZNA", "OSOBA_PRAWNA", "ORGAN_REJESTROWY", "ADRES_SIEDZIBY",
                          "ADRES_KOREPONDENCJA", "ADRES_ZAMIESZKANIA", "ADRES_DOKUMENTACJI",
                          "DZIALALNOSC", "UPOWAZNIONY", "RODO", "BR", "ZUS_ZxA", "ZIPA"}));
}

TEST(FirmTextKeys, YearDependentKeysFollowTheYear) {
  FirmText y2020(2020), y2021(2021);
  for (int year = 2013; year <= 2019; ++year)
    EXPECT_GE(y2020.Find("DOR", "PATH" + std::to_string(year)), 0) << year;
  EXPECT_LT(y2020.Find("DOR", "PATH2012"), 0);
  EXPECT_LT(y2020.Find("DOR", "PATH2020"), 0);
  EXPECT_GE(y2020.Find("ZUS_ZxA", "RENT2019"), 0);
  EXPECT_GE(y2020.Find("ZUS_ZxA", "RENT2020"), 0);
  EXPECT_GE(y2020.Find("ZUS_ZxA", "DRAIX02_2020"), 0);
  EXPECT_GE(y2021.Find("DOR", "PATH2020"), 0);
  EXPECT_LT(y2021.Find("DOR", "PATH2013"), 0);
  EXPECT_GE(y2021.Find("ZUS_ZxA", "DRAIX02_2021"), 0);
}

TEST(FirmTextKeys, OfficesBanksAndActivitiesAlternate) {
  std::vector<std::string> order;
  for (const FirmTextKey& k : FirmTextKeys(2020))
    if (k.section.starts_with("URZEDY") || k.section == "BANKI" || k.section == "DZIALALNOSC")
      order.push_back(std::string(k.section.substr(0, 3)) + ":" + k.key);
  std::vector<std::string> expected = {
      "URZ:VAT-7",  "URZ:VAT-7",  "URZ:PIT-4R",  "URZ:PIT-4R",   "URZ:PIT-8AR", "URZ:PIT-8AR",
      "URZ:PIT-XX", "URZ:PIT-XX", "BAN:DEF",     "BAN:DEF_ZUS",  "BAN:NAZWA1",  "BAN:NRB1",
      "BAN:NAZWA2", "BAN:NRB2",   "BAN:NAZWA3",  "BAN:NRB3",     "BAN:NAZWA4",  "BAN:NRB4",
      "BAN:NAZWA5", "BAN:NRB5",   "BAN:IRKwZUS", "BAN:DATA_ZBA", "BAN:Mikro",   "DZI:OPIS1",
      "DZI:KGN1",   "DZI:EKD1",   "DZI:OPIS2",   "DZI:KGN2",     "DZI:EKD2"};
  EXPECT_EQ(order, expected);
}

TEST_F(FirmTextTest, MissingFileGivesEveryDefault) {
  FirmText r = Read();
  EXPECT_EQ(r.Text("DOR", "NAZWA_ZUS"), "");
  EXPECT_TRUE(r.YesNo("DOR", "FAS"));
  EXPECT_FALSE(r.YesNo("ADRES_SIEDZIBY", "IAP"));
  EXPECT_FALSE(r.YesNo("ZUS_ZxA", "ZPWA_KOR"));
  EXPECT_EQ(r.Char("OSOBA_FIZYCZNA", "INNY_RODZAJ"), ' ');
  EXPECT_EQ(r.Char("ZIPA", "04"), ' ');
  EXPECT_EQ(r.Integer("BANKI", "DEF"), 0);
  EXPECT_EQ(r.Integer("BANKI", "DEF_ZUS"), 0);  // 31 reads as DEF
  EXPECT_EQ(r.DateOf("BANKI", "DATA_ZBA"), Date{});
  EXPECT_EQ(r.Words("ZUS_ZxA", "DRAIX02_2020"), DraiWords{});
  EXPECT_FALSE(std::filesystem::exists(dir / "FIRMATXT.INI"));
}

TEST_F(FirmTextTest, DefZusLeftAtItsDefaultFollowsDef) {
  Put("[BANKI]\r\nDEF=2\r\n");
  EXPECT_EQ(Read().Integer("BANKI", "DEF_ZUS"), 2);
  Put("[BANKI]\r\nDEF=2\r\nDEF_ZUS=31\r\n");
  EXPECT_EQ(Read().Integer("BANKI", "DEF_ZUS"), 2);
  Put("[BANKI]\r\nDEF=2\r\nDEF_ZUS=4\r\n");
  EXPECT_EQ(Read().Integer("BANKI", "DEF_ZUS"), 4);
}

TEST_F(FirmTextTest, ValuesAreReadInTheirFormsAndCutToTheirFields) {
  Put(
      Pl("[dor]\r\n"
         "NAZWA_ZUS=Przedsiębiorstwo Handlowo-Usługowe „Żuraw” sp. z o.o.\r\n"
         "FAS=nie\r\n"
         "[FIRMA]\r\nTYP=3\r\n"
         "[BANKI]\r\nDEF=70000\r\nDATA_ZBA=31-02-2020\r\n"
         "[OSOBA_FIZYCZNA]\r\nINNY_RODZAJ=Paszport\r\nDATA_URODZENIA=1-2-1970\r\n"
         "[OSOBA_PRAWNA]\r\nDATA_ROZPOCZECIA=32-01-2000\r\n"
         "[ORGAN_REJESTROWY]\r\nDATA=-\r\n"
         "[ZUS_ZxA]\r\nDATAPOSK=05-01-2020\r\nRENT2019=-12\r\n"
         "DRAIX02_2020=$0001$00ff$FFFF$12G4$ABCD 1234$0010\r\n"
         "[ADRES_SIEDZIBY]\r\nIAP=TAK\r\n"));
  FirmText r = Read();
  EXPECT_EQ(r.Text("DOR", "NAZWA_ZUS"), Pl("Przedsiębiorstwo Handlowo-Usług"));
  EXPECT_FALSE(r.YesNo("DOR", "FAS"));
  EXPECT_EQ(r.Integer("FIRMA", "TYP"), 3);
  EXPECT_EQ(r.Integer("BANKI", "DEF"), 0);  // does not fit 16 bits: unreadable, not wrapped
  EXPECT_EQ(r.DateOf("BANKI", "DATA_ZBA"), (Date{31, 2, 2020}));
  EXPECT_EQ(r.Char("OSOBA_FIZYCZNA", "INNY_RODZAJ"), 'P');
  EXPECT_EQ(r.DateOf("OSOBA_FIZYCZNA", "DATA_URODZENIA"), Date{});
  EXPECT_EQ(r.DateOf("OSOBA_PRAWNA", "DATA_ROZPOCZECIA"), Date{});
  EXPECT_EQ(r.DateOf("ORGAN_REJESTROWY", "DATA"), Date{});
  EXPECT_EQ(r.DateOf("ZUS_ZxA", "DATAPOSK"), (Date{5, 1, 2020}));
  EXPECT_EQ(r.Integer("ZUS_ZxA", "RENT2019"), -12);
  EXPECT_EQ(r.Words("ZUS_ZxA", "DRAIX02_2020"),
            (DraiWords{1, 0xFF, 0xFFFF, 0, 0xABCD, 0, 0x10, 0, 0, 0, 0, 0}));
  EXPECT_TRUE(r.YesNo("ADRES_SIEDZIBY", "IAP"));
}

TEST_F(FirmTextTest, EveryFieldRoundTripsThroughTheFile) {
  FirmText written;
  int n = 0;
  for (const FirmTextKey& k : written.Keys()) {
    ++n;
    switch (k.kind) {
      case FirmTextKind::kText:
        // Polish letters, filled to the field so that nothing is cut on the way back.
        ASSERT_TRUE(written.SetText(k.section, k.key, std::string(k.length, "ąŁ"_pl[n % 2])));
        break;
      case FirmTextKind::kInteger:
        written.SetInteger(k.section, k.key, static_cast<std::int16_t>(n * 97 - 5000));
        break;
      case FirmTextKind::kChar:
        written.SetChar(k.section, k.key, static_cast<char>('A' + n % 26));
        break;
      case FirmTextKind::kYesNo:
        written.SetYesNo(k.section, k.key, !k.yesNoDefault);
        break;
      case FirmTextKind::kDate:
        written.SetDate(k.section, k.key, Date{static_cast<std::uint8_t>(1 + n % 31), 12, 2019});
        break;
      case FirmTextKind::kWords: {
        DraiWords w{};
        for (std::size_t i = 0; i < w.size(); ++i) w[i] = static_cast<std::uint16_t>(i * 0x1111);
        written.SetWords(k.section, k.key, w);
        break;
      }
    }
  }
  // DEF_ZUS at 31 would read back as DEF.
  written.SetInteger("BANKI", "DEF_ZUS", 7);
  ASSERT_TRUE(WriteFirmText(files, path, written));
  FirmText read = Read();
  EXPECT_TRUE(read == written);

  std::string file = Get();
  EXPECT_NE(file.find("DRAIX02_2020=$0000$1111$2222$3333$4444$5555$6666$7777$8888$9999$AAAA$BBBB"
                      "\r\n"),
            std::string::npos);
  EXPECT_NE(file.find("FAS=NIE\r\n"), std::string::npos);
  EXPECT_NE(file.find("DATA_ZBA="), std::string::npos);
  EXPECT_EQ(file.find("\n\n"), std::string::npos);
  EXPECT_EQ(file.find('\n'), file.find("\r\n") + 1);
}

TEST_F(FirmTextTest, EmptyRecordIsWrittenInItsForms) {
  FirmText empty;
  ASSERT_TRUE(WriteFirmText(files, path, empty));
  std::string file = Get();
  EXPECT_TRUE(file.starts_with("[DOR]\r\nNAZWA_ZUS=\r\nINFO1=\r\n"));
  EXPECT_NE(file.find("\r\nDATA_ZBA=-\r\n"), std::string::npos);
  EXPECT_NE(file.find("\r\nINNY_RODZAJ= \r\n"), std::string::npos);  // a zero character
  EXPECT_NE(file.find("\r\nDEF_ZUS=0\r\n"), std::string::npos);
  EXPECT_NE(file.find("\r\nDRAIX02_2020=" + std::string("$0000") +
                      "$0000$0000$0000$0000$0000"
                      "$0000$0000$0000$0000$0000$0000\r\n"),
            std::string::npos);
  EXPECT_TRUE(file.ends_with("IV09=-\r\n\r\n"));
}

TEST_F(FirmTextTest, UnchangedValuesLeaveTheFileUntouched) {
  // Written by hand: blanks around lines and an extra section, which a rewrite would
  // tidy; the bytes staying put shows that nothing was rewritten.
  FirmText record;
  record.SetText("DOR", "NAZWA_ZUS", Pl("Żółw"));
  ASSERT_TRUE(WriteFirmText(files, path, record));
  std::string file = Get() + Pl("   [WŁASNA]   \r\n\r\n\r\n  klucz=wartość\r\n");
  Put(file);
  FirmText read = Read();
  ASSERT_TRUE(WriteFirmText(files, path, read));
  EXPECT_EQ(Get(), file);
}

TEST_F(FirmTextTest, CarryingToANewYearKeepsUnknownSectionsOfTheTarget) {
  Put(
      Pl("[DOR]\r\nPATH2019=C:\\STARE\\\r\nPATH2012=C:\\BARDZO_STARE\\\r\nFAS=NIE\r\n"
         "[WŁASNA]\r\nklucz=wartość\r\n"));
  FirmText record = Read();
  EXPECT_EQ(record.Text("DOR", "PATH2019"), "C:\\STARE\\");
  std::string sourceDir = "C:\\DOR_2019\\" + std::string(40, 'F');
  ASSERT_TRUE(record.SetText("DOR", "PATH2019", sourceDir));
  EXPECT_EQ(record.Text("DOR", "PATH2019"), sourceDir.substr(0, 40));
  std::string target = dir.Prefix() + "NOWY.INI";
  ASSERT_TRUE(WriteFirmText(files, target, record));
  FirmText again;
  ASSERT_TRUE(ReadFirmText(files, target, again));
  EXPECT_EQ(again.Text("DOR", "PATH2019"), sourceDir.substr(0, 40));
  EXPECT_FALSE(again.YesNo("DOR", "FAS"));
  std::string written = test::ReadFile(dir / "NOWY.INI");
  EXPECT_EQ(written.find("PATH2012"), std::string::npos);
}

TEST_F(FirmTextTest, FilesThatCannotBeOpenedAreReportedToTheCaller) {
  std::filesystem::create_directory(dir / "FIRMATXT.INI");
  FirmText record;
  record.SetText("DOR", "INFO1", "x");
  FileStatus read = ReadFirmText(files, path, record);
  EXPECT_FALSE(read);
  EXPECT_NE(read.error, 0);
  EXPECT_EQ(record.Text("DOR", "INFO1"), "");  // cleared all the same
  EXPECT_FALSE(WriteFirmText(files, path, record));

  std::string locked = dir.Prefix() + "ZAJETY.INI";
  int error = 0;
  auto other = files.Open(locked, platform::kReadWrite, platform::kShareReadWrite,
                          platform::Disposition::kOpenAlways, error);
  ASSERT_TRUE(other && other->Lock(0, 1, error));
  tui::Screen screen(rig.platform);
  tui::SharedFiles shared(screen);
  FileStatus write = WriteFirmText(files, locked, record, {.locks = &shared});
  EXPECT_EQ(write.error, platform::kErrLockViolation);
  EXPECT_EQ(test::ReadFile(dir / "ZAJETY.INI"), "");
}

TEST(FirmTextRecord, AccessorsRefuseKeysOfAnotherKindOrOutsideTheTable) {
  FirmText r;
  EXPECT_FALSE(r.SetText("DOR", "FAS", "TAK"));
  EXPECT_FALSE(r.SetInteger("DOR", "NAZWA_ZUS", 1));
  EXPECT_FALSE(r.SetText("DOR", "PATH2012", "x"));
  EXPECT_FALSE(r.SetText("NIEMA", "NIP", "x"));
  EXPECT_TRUE(r.SetText("firma", "nip", "12345678901234567"));
  EXPECT_EQ(r.Text("FIRMA", "NIP"), "1234567890123");
  EXPECT_EQ(r.Text("BR", "NIP"), "");  // the same key in another section is another field
}

}  // namespace
}  // namespace zq::shared
