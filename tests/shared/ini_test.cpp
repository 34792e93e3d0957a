#include "shared/ini.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/cp852.h"
#include "platform/forwarding_files.h"
#include "support/test_env.h"
#include "tui/screen.h"
#include "tui/shared_file.h"

namespace zq::shared {
namespace {

using platform::File;
using Mode = IniFile::Mode;

std::string Pl(std::string_view utf8) {
  return Utf8ToCp852(utf8);
}

// A firm text data file as the ledger program leaves it, with a comment, a line without
// "=", a section this program does not know and a blank line inside a section.
const std::string kFirmText =
    Pl("; dane tekstowe firmy\r\n"
       "[DOR]\r\n"
       "NAZWA_ZUS=Zakład Usług Różnych\r\n"
       "INFO1=Łódź, ul. Źródlana 5\r\n"
       "\r\n"
       "PATH2019=C:\\DOR_2019\\FIRMA1\\\r\n"
       "\r\n"
       "[ŁÓDŹ]\r\n"
       "źdźbło=żółw\r\n"
       "wiersz bez znaku równości\r\n"
       "\r\n"
       "[INNE]\r\n"
       "  KLUCZ = wartość  \r\n"
       "\r\n");

struct IniTest : ::testing::Test {
  test::TempDir dir;
  test::HeadlessRig rig;
  platform::Files& files = *rig.files;
  // The program's writers lock through the shared record files.
  tui::Screen screen{rig.platform};
  tui::SharedFiles shared{screen};
  IniOptions locking{.locks = &shared};
  std::string path = dir.Prefix() + "FIRMATXT.INI";

  void Put(std::string_view bytes) { test::WriteFile(dir / "FIRMATXT.INI", bytes); }
  std::string Get() { return test::ReadFile(dir / "FIRMATXT.INI"); }
  std::unique_ptr<File> OpenOther() {
    int error = 0;
    return files.Open(path, platform::kReadWrite, platform::kShareReadWrite,
                      platform::Disposition::kOpenAlways, error);
  }
};

TEST_F(IniTest, ReadsValuesOfAFirmTextFileWithPolishKeysAndValues) {
  Put(kFirmText);
  IniFile ini;
  ASSERT_TRUE(ini.Open(files, path, Mode::kRead));
  EXPECT_TRUE(ini.ReadOnly());
  EXPECT_EQ(ini.ReadText("DOR", "NAZWA_ZUS"), Pl("Zakład Usług Różnych"));
  EXPECT_EQ(ini.ReadText("DOR", "INFO1"), Pl("Łódź, ul. Źródlana 5"));
  EXPECT_EQ(ini.ReadText("DOR", "PATH2019"), "C:\\DOR_2019\\FIRMA1\\");
  EXPECT_EQ(ini.ReadText("DOR", "INFO2", "brak"), "brak");
  EXPECT_EQ(ini.ReadText("BRAK", "INFO1", "brak"), "brak");
  // Only the ends of a line are trimmed: a blank before "=" makes another key.
  EXPECT_EQ(ini.ReadText("INNE", "KLUCZ", "brak"), "brak");
  EXPECT_EQ(ini.ReadText("INNE", "KLUCZ "), Pl(" wartość"));
  // A line without "=" is no key, whatever it says.
  EXPECT_EQ(ini.ReadText("ŁÓDŹ", Pl("wiersz bez znaku równości"), "brak"), "brak");
}

TEST_F(IniTest, SectionsAndKeysAreFoundInAnyCaseOfPolishLetters) {
  Put(kFirmText);
  IniFile ini;
  ASSERT_TRUE(ini.Open(files, path, Mode::kRead));
  EXPECT_EQ(ini.ReadText(Pl("łódź"), Pl("ŹDŹBŁO")), Pl("żółw"));
  EXPECT_EQ(ini.ReadText(Pl("ŁódŹ"), Pl("źdźbło")), Pl("żółw"));
  EXPECT_EQ(ini.ReadText("dor", "nazwa_zus"), Pl("Zakład Usług Różnych"));
  // The value keeps its case.
  ini.WriteText(Pl("łÓdź"), Pl("ŹdŹbŁo"), Pl("żółw"));
  EXPECT_FALSE(ini.Modified());
}

TEST_F(IniTest, NothingChangedLeavesTheFileByteForByte) {
  Put(kFirmText);
  {
    IniFile ini;
    ASSERT_TRUE(ini.Open(files, path, Mode::kWrite));
    ini.WriteText("DOR", "NAZWA_ZUS", Pl("Zakład Usług Różnych"));
    ini.WriteText("dor", "path2019", "C:\\DOR_2019\\FIRMA1\\");
    EXPECT_FALSE(ini.Modified());
    ASSERT_TRUE(ini.Close());
  }
  EXPECT_EQ(Get(), kFirmText);
}

TEST_F(IniTest, RewriteKeepsUnknownLinesSectionsAndCommentsAndWritesCrLf) {
  Put(kFirmText);
  {
    IniFile ini;
    ASSERT_TRUE(ini.Open(files, path, Mode::kWrite));
    ini.WriteText("DOR", "INFO1", Pl("Kraków"));  // a changed value replaces its line
    ini.WriteText("DOR", "INFO2", Pl("Gdańsk"));  // a new key goes to the end of its section
    ini.WriteInteger("FIRMA", "TYP", 2);          // a new section goes to the end of the file
    ini.WriteYesNo("FIRMA", "IAP", false);
    ini.WriteChar("FIRMA", "ZNAK", 'X');
    EXPECT_TRUE(ini.Modified());
    ASSERT_TRUE(ini.Close());
  }
  EXPECT_EQ(Get(), Pl("; dane tekstowe firmy\r\n"
                      "\r\n"
                      "[DOR]\r\n"
                      "NAZWA_ZUS=Zakład Usług Różnych\r\n"
                      "INFO1=Kraków\r\n"
                      "PATH2019=C:\\DOR_2019\\FIRMA1\\\r\n"
                      "INFO2=Gdańsk\r\n"
                      "\r\n"
                      "[ŁÓDŹ]\r\n"
                      "źdźbło=żółw\r\n"
                      "wiersz bez znaku równości\r\n"
                      "\r\n"
                      "[INNE]\r\n"
                      "  KLUCZ = wartość  \r\n"
                      "\r\n"
                      "[FIRMA]\r\n"
                      "TYP=2\r\n"
                      "IAP=NIE\r\n"
                      "ZNAK=X\r\n"
                      "\r\n"));
  // What we wrote reads back the same and, rewritten unchanged, stays the same.
  std::string written = Get();
  IniFile again;
  ASSERT_TRUE(again.Open(files, path, Mode::kWrite));
  EXPECT_EQ(again.ReadText("dor", "info2"), Pl("Gdańsk"));
  EXPECT_EQ(again.ReadInteger("FIRMA", "TYP", -1), 2);
  again.WriteText("DOR", "INFO2", "x");
  again.WriteText("DOR", "INFO2", Pl("Gdańsk"));
  ASSERT_TRUE(again.Close());
  EXPECT_EQ(Get(), written);
}

TEST_F(IniTest, LinesEndWithCrLfAndLfOnlyInputIsRead) {
  Put("[A]\nK=1\n\x1A[B]\nK=2\n");  // the end-of-text byte ends the file for the reader
  IniFile ini;
  ASSERT_TRUE(ini.Open(files, path, Mode::kWrite));
  EXPECT_EQ(ini.ReadText("A", "K"), "1");
  EXPECT_EQ(ini.ReadText("B", "K", "-"), "-");
  ini.WriteText("A", "L", "2");
  ASSERT_TRUE(ini.Close());
  EXPECT_EQ(Get(), "[A]\r\nK=1\r\nL=2\r\n\r\n");
}

TEST_F(IniTest, MissingFileForReadingIsEmptyAndNotCreated) {
  IniFile ini;
  ASSERT_TRUE(ini.Open(files, path, Mode::kRead));
  EXPECT_EQ(ini.ReadText("DOR", "INFO1", "d"), "d");
  EXPECT_EQ(ini.ReadInteger("BANKI", "DEF_ZUS", 31), 31);
  EXPECT_TRUE(ini.ReadYesNo("DOR", "FAS", true));
  EXPECT_EQ(ini.ReadChar("ZIPA", "04", ' '), ' ');
  ini.WriteText("DOR", "INFO1", "x");  // an object opened for reading never saves
  ASSERT_TRUE(ini.Close());
  EXPECT_FALSE(std::filesystem::exists(dir / "FIRMATXT.INI"));
}

TEST_F(IniTest, MissingFileForWritingIsCreatedAndSectionsComeInOrderOfUse) {
  IniFile ini;
  ASSERT_TRUE(ini.Open(files, path, Mode::kWrite));
  ini.WriteText("DOR", "NAZWA_ZUS", "");
  ini.WriteText("URZEDY_SKARBOWE", "VAT-7", "US");
  ini.WriteText("URZEDY_SKARBOWE_EKOD", "VAT-7", "1234");
  ini.WriteText("URZEDY_SKARBOWE", "PIT-4R", "US2");
  ASSERT_TRUE(ini.Close());
  EXPECT_EQ(Get(),
            "[DOR]\r\nNAZWA_ZUS=\r\n\r\n"
            "[URZEDY_SKARBOWE]\r\nVAT-7=US\r\nPIT-4R=US2\r\n\r\n"
            "[URZEDY_SKARBOWE_EKOD]\r\nVAT-7=1234\r\n\r\n");
}

TEST_F(IniTest, TypedValuesAndTheirDefaults) {
  Put("[S]\r\nA=12\r\nB=-5\r\nC=+7\r\nD=12a\r\nE=\r\nF= 5\r\nG=99999999999\r\n"
      "T=tak\r\nN=Nie\r\nX=TAKI\r\nZ=znak\r\n");
  IniFile ini;
  ASSERT_TRUE(ini.Open(files, path, Mode::kRead));
  EXPECT_EQ(ini.ReadInteger("S", "A", 0), 12);
  EXPECT_EQ(ini.ReadInteger("S", "B", 0), -5);
  EXPECT_EQ(ini.ReadInteger("S", "C", 0), 7);
  for (const char* key : {"D", "E", "F", "G", "missing"})
    EXPECT_EQ(ini.ReadInteger("S", key, 31), 31) << key;
  EXPECT_TRUE(ini.ReadYesNo("S", "T", false));
  EXPECT_FALSE(ini.ReadYesNo("S", "N", true));
  EXPECT_TRUE(ini.ReadYesNo("S", "X", true));
  EXPECT_FALSE(ini.ReadYesNo("S", "X", false));
  EXPECT_EQ(ini.ReadChar("S", "Z", ' '), 'z');
  EXPECT_EQ(ini.ReadChar("S", "E", '#'), '#');
}

TEST_F(IniTest, ALineBreakInAValueCannotAddKeysOrSections) {
  {
    IniFile ini;
    ASSERT_TRUE(ini.Open(files, path, Mode::kWrite));
    ini.WriteText("A", "K", "x\r\n[B]\r\nK=y\x1Az");
    ASSERT_TRUE(ini.Close());
  }
  IniFile ini;
  ASSERT_TRUE(ini.Open(files, path, Mode::kRead));
  EXPECT_EQ(ini.ReadText("A", "K"), "x  [B]  K=y z");
  EXPECT_EQ(ini.ReadText("B", "K", "none"), "none");
}

TEST_F(IniTest, WriterHoldsTheFirstByteLockUntilClose) {
  Put(kFirmText);
  IniFile ini;
  ASSERT_TRUE(ini.Open(files, path, Mode::kWrite, locking));
  auto other = OpenOther();
  ASSERT_TRUE(other);
  int error = 0;
  EXPECT_FALSE(other->Lock(0, 1, error));
  EXPECT_EQ(error, platform::kErrLockViolation);
  ASSERT_TRUE(ini.Close());
  EXPECT_TRUE(other->Lock(0, 1, error));
  EXPECT_TRUE(other->Unlock(0, 1, error));
}

TEST_F(IniTest, LockedFileMakesTheWriterWaitThenFailWithoutTouchingIt) {
  Put(kFirmText);
  auto other = OpenOther();
  int error = 0;
  ASSERT_TRUE(other->Lock(0, 1, error));
  IniFile ini;
  FileStatus status = ini.Open(files, path, Mode::kWrite, locking);
  EXPECT_FALSE(status);
  EXPECT_EQ(status.error, platform::kErrLockViolation);
  EXPECT_FALSE(ini.IsOpen());
  EXPECT_EQ(rig.clock.ElapsedMs(), (tui::kAttemptsPerCycle - 1) * tui::kRetryDelayMs);
  // Readers are not held up by a writer.
  IniFile reader;
  ASSERT_TRUE(reader.Open(files, path, Mode::kRead));
  EXPECT_EQ(reader.ReadText(Pl("ŁÓDŹ"), Pl("ŹDŹBŁO")), Pl("żółw"));
  // Once the other writer is done, ours gets the file.
  ASSERT_TRUE(other->Unlock(0, 1, error));
  EXPECT_TRUE(ini.Open(files, path, Mode::kWrite, locking));
  EXPECT_TRUE(ini.Close());
  EXPECT_EQ(Get(), kFirmText);
}

TEST_F(IniTest, WithSharingOffNoLockIsTaken) {
  shared.SetSharing(false);
  IniFile ini;
  ASSERT_TRUE(ini.Open(files, path, Mode::kWrite, locking));
  auto other = OpenOther();
  int error = 0;
  EXPECT_TRUE(other->Lock(0, 1, error));
  ini.WriteText("A", "K", "1");
  EXPECT_TRUE(ini.Close());
  EXPECT_EQ(Get(), "[A]\r\nK=1\r\n\r\n");
}

TEST_F(IniTest, LongNamesAreKeptWholeAndOverlongOnesRefused) {
  std::string name = dir.Prefix() + std::string(150 - dir.Prefix().size(), 'D') + "\\" +
                     std::string(100, 'F') + ".INI";
  ASSERT_GT(name.size(), 79u);
  ASSERT_LE(name.size(), kMaxFileName);
  std::filesystem::create_directory(dir / std::string(150 - dir.Prefix().size(), 'D'));
  {
    IniFile ini;
    ASSERT_TRUE(ini.Open(files, name, Mode::kWrite));
    ini.WriteText("A", "K", "1");
    ASSERT_TRUE(ini.Close());
  }
  IniFile ini;
  ASSERT_TRUE(ini.Open(files, name, Mode::kRead));
  EXPECT_EQ(ini.ReadText("A", "K"), "1");

  std::string tooLong = dir.Prefix() + std::string(256 - dir.Prefix().size(), 'F');
  FileStatus status = ini.Open(files, tooLong, Mode::kWrite);
  EXPECT_EQ(status.error, platform::kErrFilenameTooLong);
  EXPECT_EQ(ini.Open(files, tooLong, Mode::kRead).error, platform::kErrFilenameTooLong);
}

TEST_F(IniTest, UnopenableFilesAreReportedNotTakenAsEmpty) {
  std::filesystem::create_directory(dir / "FIRMATXT.INI");
  IniFile ini;
  EXPECT_FALSE(ini.Open(files, path, Mode::kRead));
  EXPECT_FALSE(ini.Open(files, path, Mode::kWrite));
  EXPECT_FALSE(ini.IsOpen());
  EXPECT_FALSE(ini.Open(files, dir.Prefix() + "BRAK\\FIRMATXT.INI", Mode::kWrite));
}

// A disk with no room left: the file cannot grow past the size it had when opened,
// but what it already holds can be overwritten. Everything else is the host's.
class FullDiskFile : public platform::ForwardingFile {
 public:
  explicit FullDiskFile(std::unique_ptr<File> inner) : ForwardingFile(std::move(inner)) {
    int e = 0;
    Inner().Size(room_, e);
  }
  bool Read(void* b, std::size_t n, std::size_t& done, int& e) override {
    if (!Inner().Read(b, n, done, e)) return false;
    position_ += static_cast<std::int64_t>(done);
    return true;
  }
  bool Write(const void* b, std::size_t n, std::size_t& done, int& e) override {
    std::size_t take = std::min<std::size_t>(n, static_cast<std::size_t>(room_ - position_));
    done = 0;
    if (take > 0 && !Inner().Write(b, take, done, e)) return false;
    position_ += static_cast<std::int64_t>(done);
    if (done < n) {
      e = platform::kErrDiskFull;
      return false;
    }
    return true;
  }
  bool Seek(std::int64_t o, platform::Whence w, std::int64_t& p, int& e) override {
    if (!Inner().Seek(o, w, p, e)) return false;
    position_ = p;
    return true;
  }

 private:
  std::int64_t room_ = 0;
  std::int64_t position_ = 0;
};

class FullDiskFiles : public platform::ForwardingFiles {
 public:
  using ForwardingFiles::ForwardingFiles;

 protected:
  std::unique_ptr<File> Wrap(std::unique_ptr<File> file, std::string_view) override {
    return std::make_unique<FullDiskFile>(std::move(file));
  }
};

TEST_F(IniTest, ARewriteThatDoesNotFitIsReportedAndLeavesTheOldContents) {
  Put(kFirmText);
  FullDiskFiles full(files);
  IniFile ini;
  ASSERT_TRUE(ini.Open(full, path, Mode::kWrite, locking));
  ini.WriteText("DOR", "INFO5", std::string(200, 'x'));
  FileStatus status = ini.Close();
  EXPECT_FALSE(status);
  EXPECT_EQ(status.error, platform::kErrDiskFull);
  EXPECT_EQ(Get(), kFirmText);
  // And the lock went with the failed writer.
  auto other = OpenOther();
  int error = 0;
  EXPECT_TRUE(other->Lock(0, 1, error));
}

}  // namespace
}  // namespace zq::shared
