#include <gtest/gtest.h>

#include <filesystem>

#include "copy_fixture.h"

namespace zq::test {
namespace {

using zq::operator""_pl;

class TextCopyTest : public CopyFixture {
 protected:
  std::string Copy(std::string_view text) {
    Write("src.txt", text);
    std::filesystem::remove(dir / "dst.txt");
    copier.CopyTextFile(Path("src.txt"), Path("dst.txt"));
    return Read("dst.txt");
  }
};

TEST_F(TextCopyTest, LineEndsBecomeCrLf) {
  EXPECT_EQ(Copy("a\r\nb\r\n"), "a\r\nb\r\n");
  EXPECT_EQ(Copy("a\nb\n"), "a\r\nb\r\n");
  EXPECT_EQ(Copy("a\r\nb\nc\r\n"), "a\r\nb\r\nc\r\n");
  EXPECT_EQ(Copy("\r\n\n\r\n"), "\r\n\r\n\r\n");
  // A CR that does not start a line end is part of the line.
  EXPECT_EQ(Copy("a\rb\r\r\n"), "a\rb\r\r\n");
}

TEST_F(TextCopyTest, LastLineWithoutLineEndGetsOne) {
  EXPECT_EQ(Copy("a\r\nostatnia"), "a\r\nostatnia\r\n");
  EXPECT_EQ(Copy("ostatnia\r"), "ostatnia\r\n");
  EXPECT_EQ(Copy("x"), "x\r\n");
}

TEST_F(TextCopyTest, CtrlZEndsTheText) {
  EXPECT_EQ(Copy("a\r\nb\r\n\x1A"), "a\r\nb\r\n");
  EXPECT_EQ(Copy("a\r\nb\x1A"), "a\r\nb\r\n");
  EXPECT_EQ(Copy("a\r\x1A"), "a\r\n");
  EXPECT_EQ(Copy("a\r\n\x1A"
                 "po\r\n"),
            "a\r\n");
  EXPECT_EQ(Copy("\x1A"), "");
}

TEST_F(TextCopyTest, LongLinesAreCarriedWhole) {
  std::string line300(300, 'q');
  EXPECT_EQ(Copy(line300 + "\r\nb\r\n"), line300 + "\r\nb\r\n");
  // Longer than the read buffer, with a CR LF split across two buffer fills.
  std::string huge = Pattern(200000);
  for (char& c : huge)
    if (c == '\r' || c == '\n' || c == '\x1A') c = '.';
  std::string text = huge.substr(0, 65535) + "\r\n" + huge.substr(65535) + "\n";
  EXPECT_EQ(Copy(text), huge.substr(0, 65535) + "\r\n" + huge.substr(65535) + "\r\n");
}

TEST_F(TextCopyTest, AnnouncesTheCopyInColour9) {
  log.Clear(true);
  Copy("Zażółć\r\n"_pl);
  EXPECT_EQ(Read("dst.txt"), "Zażółć\r\n"_pl);
  EXPECT_EQ(Row(1), "Kopiuję plik " + Cp852ToUtf8(Path("src.txt")));
  EXPECT_EQ(AttrAt(1, 1), 9);
  EXPECT_EQ(sink.Lines().size(), 1u);
}

TEST_F(TextCopyTest, MissingOrEmptySourceIsSkippedSilently) {
  Write("dst.txt", "stare");
  copier.CopyTextFile(Path("brak.txt"), Path("dst.txt"));
  Write("pusty.txt", "");
  copier.CopyTextFile(Path("pusty.txt"), Path("dst.txt"));
  std::filesystem::create_directory(dir / "kat");
  copier.CopyTextFile(Path("kat"), Path("dst.txt"));
  EXPECT_EQ(Read("dst.txt"), "stare");
  EXPECT_TRUE(sink.Lines().empty());
  EXPECT_EQ(files.Stats(Path("dst.txt")).opens, 0);
}

TEST_F(TextCopyTest, ExistingTargetIsAskedAboutAfterTheSourceOpens) {
  Write("src.txt", "nowe\r\n");
  Write("dst.txt", "stare");
  Key('z');
  copier.CopyTextFile(Path("src.txt"), Path("dst.txt"));
  EXPECT_EQ(Read("dst.txt"), "stare");
  EXPECT_EQ(files.Stats(Path("src.txt")).closes, 1);
  // The source is opened before the question, so an unopenable source asks nothing.
  files.Plan(Path("src.txt"), {.failOpen = true});
  Key('x');
  copier.CopyTextFile(Path("src.txt"), Path("dst.txt"));
  EXPECT_EQ(sink.Lines().back(), "12|Błąd otwarcia pliku " + Cp852ToUtf8(Path("src.txt")));
  EXPECT_EQ(KeysLeft(), 0u);
  EXPECT_EQ(Read("dst.txt"), "stare");
}

TEST_F(TextCopyTest, TargetThatCannotBeCreated) {
  Write("src.txt", "a\r\n");
  std::filesystem::create_directory(dir / "kat");
  Key(' ');
  copier.CopyTextFile(Path("src.txt"), Path("kat"));
  EXPECT_EQ(sink.Lines().back(), "12|Błąd utworzenia pliku " + Cp852ToUtf8(Path("kat")));
  EXPECT_EQ(KeysLeft(), 0u);
  Key(' ');
  copier.CopyTextFile(Path("src.txt"), Path("brak/dst.txt"));
  EXPECT_EQ(sink.Lines().back(), "12|Błąd utworzenia pliku " + Cp852ToUtf8(Path("brak/dst.txt")));
  EXPECT_EQ(KeysLeft(), 0u);
  EXPECT_EQ(files.Stats(Path("src.txt")).closes, 2);
}

TEST_F(TextCopyTest, ReadErrorKeepsWhatWasCopiedAndDoesNotWait) {
  Write("src.txt", "pierwsza\r\ndruga\r\n");
  files.Plan(Path("src.txt"), {.readFailsAfter = 10});
  Key(' ');
  copier.CopyTextFile(Path("src.txt"), Path("dst.txt"));
  EXPECT_EQ(sink.Lines().back(), "12|Błąd odczytu z pliku " + Cp852ToUtf8(Path("src.txt")));
  EXPECT_EQ(KeysLeft(), 1u);
  EXPECT_EQ(Read("dst.txt"), "pierwsza\r\n");
}

TEST_F(TextCopyTest, WriteErrorsDoNotWait) {
  Write("src.txt", "a\r\nb\r\n");
  Key(' ');
  copier.CopyTextFile(Path("src.txt"), FullDisk());
  EXPECT_EQ(sink.Lines().back(), "12|Błąd zapisu do pliku " + Cp852ToUtf8(Path("full")));

  files.Plan(Path("dst.txt"), {.writeStallsAfter = 2});
  copier.CopyTextFile(Path("src.txt"), Path("dst.txt"));
  EXPECT_EQ(sink.Lines().back(), "12|Błąd zapisu do pliku " + Cp852ToUtf8(Path("dst.txt")));
  EXPECT_EQ(Read("dst.txt"), "a\r");
  EXPECT_EQ(KeysLeft(), 1u);
}

TEST_F(TextCopyTest, ShortWritesThatProgressAreFinished) {
  std::string text;
  for (int i = 0; i < 1000; ++i) text += "linia " + std::to_string(i) + "\r\n";
  files.Plan(Path("dst.txt"), {.writeChunk = 7});
  EXPECT_EQ(Copy(text), text);
  EXPECT_EQ(sink.Lines().size(), 1u);
}

TEST_F(TextCopyTest, CloseErrorsAreIgnored) {
  files.Plan(Path("src.txt"), {.failClose = true});
  files.Plan(Path("dst.txt"), {.failClose = true});
  EXPECT_EQ(Copy("a\r\n"), "a\r\n");
  EXPECT_EQ(sink.Lines().size(), 1u);
  EXPECT_EQ(KeysLeft(), 0u);
}

}  // namespace
}  // namespace zq::test
