#include <gtest/gtest.h>

#include <filesystem>

#include "copy_fixture.h"

namespace zq::test {
namespace {

class ByteCopyTest : public CopyFixture {
 protected:
  void Copy() { copier.CopyFileBytes(Path("src.bin"), Path("dst.bin")); }
  std::string Src() const { return Cp852ToUtf8(Path("src.bin")); }
  std::string Dst() const { return Cp852ToUtf8(Path("dst.bin")); }
};

TEST_F(ByteCopyTest, CopiesEveryByteAndAnnouncesTheSize) {
  log.Clear(true);
  for (std::size_t size : {std::size_t{1}, std::size_t{2048}, std::size_t{2049},
                           convert::Copier::kByteBlock + 3, std::size_t{3} << 20}) {
    SCOPED_TRACE(size);
    std::string bytes = Pattern(size, static_cast<unsigned>(size));
    Write("src.bin", bytes);
    std::filesystem::remove(dir / "dst.bin");
    Copy();
    EXPECT_EQ(Read("dst.bin"), bytes);
    EXPECT_EQ(sink.Lines().back(),
              "9|Kopiuję " + Src() + "  " + std::to_string(size) + " bytów...");
  }
  EXPECT_EQ(Row(1), "Kopiuję " + Src() + "  1 bytów...");
  EXPECT_EQ(AttrAt(1, 1), 9);
  EXPECT_EQ(KeysLeft(), 0u);
}

TEST_F(ByteCopyTest, MissingOrEmptySourceIsSkippedSilently) {
  copier.CopyFileBytes(Path("brak"), Path("dst.bin"));
  Write("src.bin", "");
  Copy();
  std::filesystem::create_directory(dir / "kat");
  copier.CopyFileBytes(Path("kat"), Path("dst.bin"));
  EXPECT_FALSE(Exists("dst.bin"));
  EXPECT_TRUE(sink.Lines().empty());
}

TEST_F(ByteCopyTest, ExistingTargetIsAskedAboutBeforeTheSourceOpens) {
  Write("src.bin", "nowe");
  Write("dst.bin", "stare");
  files.Plan(Path("src.bin"), {.failOpen = true});
  Key('z');
  Copy();
  EXPECT_EQ(KeysLeft(), 0u);
  EXPECT_EQ(files.Stats(Path("src.bin")).opens, 0);
  EXPECT_EQ(Read("dst.bin"), "stare");

  // An empty target is no target: no question.
  files.ClearPlans();
  Write("dst.bin", "");
  Copy();
  EXPECT_EQ(Read("dst.bin"), "nowe");
  EXPECT_EQ(KeysLeft(), 0u);
}

TEST_F(ByteCopyTest, UnopenableSourceWaitsForAKey) {
  Write("src.bin", "abc");
  files.Plan(Path("src.bin"), {.failOpen = true});
  Key(' ');
  Copy();
  EXPECT_EQ(sink.Lines(), std::vector<std::string>{"12|Błąd otwarcia pliku " + Src()});
  EXPECT_EQ(KeysLeft(), 0u);
  EXPECT_FALSE(Exists("dst.bin"));
}

TEST_F(ByteCopyTest, TargetThatCannotBeCreated) {
  Write("src.bin", "abc");
  std::filesystem::create_directory(dir / "dst.bin");
  Key(' ');
  Copy();
  EXPECT_EQ(sink.Lines(), std::vector<std::string>{"12|Błąd Utworzenia pliku " + Dst()});
  EXPECT_EQ(KeysLeft(), 0u);
  Key(' ');
  copier.CopyFileBytes(Path("src.bin"), Path("brak/dst.bin"));
  EXPECT_EQ(sink.Lines().back(), "12|Błąd Utworzenia pliku " + Cp852ToUtf8(Path("brak/dst.bin")));
  EXPECT_EQ(KeysLeft(), 0u);
  EXPECT_EQ(files.Stats(Path("src.bin")).closes, 2);
}

TEST_F(ByteCopyTest, TheSourceItselfUnderAnotherSpellingIsNotCut) {
  Write("dane.bin", "zawartość");
  copier.overwriteMemory = -1;
  Key(' ');
  copier.CopyFileBytes(Path("dane.bin"), Path("DANE.BIN"));
  EXPECT_EQ(Read("dane.bin"), "zawartość");
  EXPECT_EQ(sink.Lines().back(), "12|Błąd Utworzenia pliku " + Cp852ToUtf8(Path("DANE.BIN")));
  EXPECT_EQ(KeysLeft(), 0u);
}

TEST_F(ByteCopyTest, ReadErrorKeepsWhatWasCopied) {
  std::string bytes = Pattern(10000);
  Write("src.bin", bytes);
  files.Plan(Path("src.bin"), {.readFailsAfter = 5000});
  Key(' ');
  Copy();
  EXPECT_EQ(sink.Lines().back(), "12|Błąd odczytu danych");
  EXPECT_EQ(KeysLeft(), 0u);
  EXPECT_EQ(Read("dst.bin"), bytes.substr(0, 5000));
}

TEST_F(ByteCopyTest, WriteErrors) {
  copier.overwriteMemory = -1;
  Write("src.bin", Pattern(5000));
  Key(' ');
  copier.CopyFileBytes(Path("src.bin"), FullDisk());
  EXPECT_EQ(sink.Lines().back(), "12|Błąd zapisu danych");
  EXPECT_EQ(KeysLeft(), 0u);

  files.Plan(Path("dst.bin"), {.writeFailsAfter = 100});
  Key(' ');
  Copy();
  EXPECT_EQ(sink.Lines().back(), "12|Błąd zapisu danych");
  EXPECT_EQ(KeysLeft(), 0u);
  EXPECT_EQ(Read("dst.bin"), Pattern(5000).substr(0, 100));

  // Writes that stop making progress are an error, not a short target without one.
  files.Plan(Path("dst.bin"), {.writeChunk = 64, .writeStallsAfter = 1000});
  Key(' ');
  Copy();
  EXPECT_EQ(sink.Lines().back(), "12|Błąd zapisu danych");
  EXPECT_EQ(KeysLeft(), 0u);
  EXPECT_EQ(Read("dst.bin"), Pattern(5000).substr(0, 1000));
}

TEST_F(ByteCopyTest, ShortWritesThatProgressAreFinished) {
  std::string bytes = Pattern(100000);
  Write("src.bin", bytes);
  files.Plan(Path("dst.bin"), {.writeChunk = 1000});
  Copy();
  EXPECT_EQ(Read("dst.bin"), bytes);
  EXPECT_EQ(sink.Lines().size(), 1u);
}

TEST_F(ByteCopyTest, CloseErrorsAreShownForEachFile) {
  Write("src.bin", "abc");
  files.Plan(Path("src.bin"), {.failClose = true});
  files.Plan(Path("dst.bin"), {.failClose = true});
  Key(' ');
  Key(' ');
  Copy();
  EXPECT_EQ(sink.Lines(), (std::vector<std::string>{
                              "9|Kopiuję " + Src() + "  3 bytów...",
                              "12|Błąd zamknięcia zbioru " + Src(),
                              "12|Błąd zamknięcia zbioru " + Dst(),
                          }));
  EXPECT_EQ(KeysLeft(), 0u);
  EXPECT_EQ(Read("dst.bin"), "abc");
}

}  // namespace
}  // namespace zq::test
