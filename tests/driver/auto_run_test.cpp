// An unattended run meets a window that would wait for a key: the error box of a firm
// directory that cannot be made. Nobody is there, so the box is answered, journalled,
// the firm is left out and the exit code says so; the other firm is carried.
#include <gtest/gtest.h>

#include "driver/auto_settings.h"
#include "driver/firm_rig.h"
#include "driver/program.h"

namespace zq::driver {
namespace {

using namespace test_rig;

class AutoRunTest : public FirmRunRig {};

TEST_F(AutoRunTest, AWindowIsAnsweredWithoutAKeyAndTheFirmLeftOutGivesOne) {
  MakeFirm("A");
  MakeFirm("B");
  std::filesystem::create_directories(dir / "DOR_2019" / "#BIN980");  // the global copy's source
  test::WriteFile(dir / "DOR_2020" / "B", "a file where B's directory would go");
  std::string list;
  for (const char* d : {"A", "B"}) {
    shared::FirmRecordBytes r = shared::MakeFirmRecord(std::string("Firma ") + d, d, "");
    list.append(reinterpret_cast<const char*>(r.data()), r.size());
  }
  test::WriteFile(dir / "DOR_2019" / "SPISFIRM.DAT", list);
  AutoSettings settings;
  settings.options.sourceTree = run->options.sourceTree;
  settings.options.targetTree = run->options.targetTree;
  test::WriteFile(dir / "auto.ini", FormatAutoSettings(settings));
  rig.process.SetArguments(
      {"/AUTO:" + dir.Prefix() + "auto.ini", "/LOG:" + dir.Prefix() + "j.log"});

  EXPECT_EQ(RunProgram(platform), 1);
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
  EXPECT_TRUE(InTarget("A", "_zq_dor.rek"));
  const std::string journal = test::ReadFile(dir / "j.log");
  EXPECT_NE(journal.find("[okno] Utworzenia katalogu firmy"), std::string::npos) << journal;
  EXPECT_NE(journal.find("[odpowiedź: OK]"), std::string::npos);
  EXPECT_NE(journal.find("! B - NIE DOPISANA"), std::string::npos);
  EXPECT_NE(journal.find("==== Koniec pracy, kod wyjścia 1"), std::string::npos);
}

TEST_F(AutoRunTest, EveryFirmCarriedWithoutAnErrorGivesZero) {
  MakeFirm("A");
  std::filesystem::create_directories(dir / "DOR_2019" / "#BIN980");
  shared::FirmRecordBytes r = shared::MakeFirmRecord("Firma A", "A", "");
  test::WriteFile(dir / "DOR_2019" / "SPISFIRM.DAT",
                  std::string(reinterpret_cast<const char*>(r.data()), r.size()));
  AutoSettings settings;
  settings.options.sourceTree = run->options.sourceTree;
  settings.options.targetTree = run->options.targetTree;
  settings.allFirms = false;
  settings.firms = {"a"};  // a directory is named in any case
  test::WriteFile(dir / "auto.ini", FormatAutoSettings(settings));
  rig.process.SetArguments(
      {"/AUTO:" + dir.Prefix() + "auto.ini", "/LOG:" + dir.Prefix() + "j.log"});

  EXPECT_EQ(RunProgram(platform), 0) << rig.process.Stderr();
  EXPECT_TRUE(InTarget("A", "_zq_dor.rek"));
  EXPECT_TRUE(rig.process.Stderr().empty());
  // The closing prompt, answered, comes before the run's end line.
  const std::string journal = test::ReadFile(dir / "j.log");
  const std::size_t prompt = journal.find("Nacisnij Enter  [odpowiedź: Enter]\r\n");
  ASSERT_NE(prompt, std::string::npos) << journal;
  EXPECT_EQ(journal.find("==== Koniec pracy, kod wyjścia 0", prompt), journal.rfind("==== "));
}

}  // namespace
}  // namespace zq::driver
