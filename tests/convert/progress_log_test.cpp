#include "convert/progress_log.h"

#include <gtest/gtest.h>

#include "copy_fixture.h"

namespace zq::test {
namespace {

using convert::ProgressLog;
using zq::operator""_pl;

class ProgressLogTest : public CopyFixture {};

TEST_F(ProgressLogTest, WriteStopsAtColumn79AndLaterWritesShowNothing) {
  log.Write(std::string(100, 'x'));
  EXPECT_EQ(Row(1), std::string(79, 'x'));
  EXPECT_EQ(rig.console.At(79, 0).ch, ' ');
  EXPECT_EQ(log.Column(), 80);
  EXPECT_EQ(log.Line(1), std::string(79, 'x'));
  log.Write("more");
  EXPECT_EQ(Row(1), std::string(79, 'x'));
  EXPECT_EQ(log.Column(), 80);
  // The console cursor follows the text.
  EXPECT_EQ(rig.console.CursorColumn(), 79);
  EXPECT_EQ(rig.console.CursorRow(), 0);
  // Sinks see everything, also what the screen had no room for.
  EXPECT_EQ(sink.Pending(), "7|" + std::string(100, 'x') + "7|more");

  log.WriteLn();
  log.Write("abc");
  log.Write("def");
  EXPECT_EQ(Row(2), "abcdef");
  EXPECT_EQ(log.Column(), 7);
}

TEST_F(ProgressLogTest, ColourLastsForOneWrite) {
  log.Color(12);
  log.Write("");  // nothing written, so the colour is still waiting
  log.Write("ab");
  log.Write("cd");
  EXPECT_EQ(AttrAt(1, 1), 12);
  EXPECT_EQ(AttrAt(2, 1), 12);
  EXPECT_EQ(AttrAt(3, 1), 7);
  EXPECT_EQ(AttrAt(4, 1), 7);
  EXPECT_EQ(log.Colour(), 7);

  // The normal colour is the scheme's first entry, whatever it was changed to.
  screen.Scheme()[0] = 0x1E;
  log.Write("e");
  EXPECT_EQ(AttrAt(5, 1), 0x1E);
  EXPECT_EQ(sink.Pending(), "12|ab7|cd30|e");
}

TEST_F(ProgressLogTest, HeaderStaysWhileRows3To23Scroll) {
  log.Clear(true);
  log.WriteLn("Naglowek 1");
  log.WriteLn("Naglowek 2");
  for (int i = 1; i <= 30; ++i) {
    if (i == 30) log.Color(12);
    log.WriteLn("linia " + std::to_string(i));
  }
  EXPECT_EQ(Row(1), "Naglowek 1");
  EXPECT_EQ(Row(2), "Naglowek 2");
  // Rows 3..22 hold lines 11..30; row 23 came in blank for the next line.
  for (int row = 3; row <= 22; ++row) EXPECT_EQ(Row(row), "linia " + std::to_string(row + 8));
  EXPECT_EQ(Row(23), "");
  EXPECT_EQ(Row(24), "");
  EXPECT_EQ(log.Row(), 23);
  EXPECT_EQ(log.Column(), 1);
  // Line 30 was written in colour 12 and redrawn in the normal colour by the scroll.
  EXPECT_EQ(AttrAt(1, 22), 7);
  EXPECT_EQ(log.Line(22), "linia 30");

  log.Write("dalej");
  EXPECT_EQ(Row(23), "dalej");

  // A scroll after the normal colour changed redraws the band in the new colour; the
  // header, not redrawn, keeps the old one.
  screen.Scheme()[0] = 0x1E;
  log.WriteLn();
  EXPECT_EQ(Row(22), "dalej");
  EXPECT_EQ(Row(3), "linia 12");
  EXPECT_EQ(AttrAt(1, 22), 0x1E);
  EXPECT_EQ(AttrAt(1, 3), 0x1E);
  EXPECT_EQ(AttrAt(70, 23), 0x1E);
  EXPECT_EQ(AttrAt(1, 1), 7);
}

TEST_F(ProgressLogTest, ClearWholeOrBelowHeader) {
  log.WriteLn("Kopiowanie  - FIRMA   : A");
  log.WriteLn("              Katalog : B");
  log.WriteLn("wiersz 3");
  log.Color(12);
  log.Write("wiersz 4");
  screen.WriteAbsolute(0x70, 1, 25, "status");

  log.Clear(false);
  EXPECT_EQ(Row(1), "Kopiowanie  - FIRMA   : A");
  EXPECT_EQ(Row(2), "              Katalog : B");
  for (int row = 3; row <= 25; ++row) EXPECT_EQ(Row(row), "") << row;
  EXPECT_EQ(AttrAt(1, 4), 7);
  EXPECT_EQ(AttrAt(1, 25), 7);
  // The next line goes below the header, not over it.
  EXPECT_EQ(log.Row(), 3);
  EXPECT_EQ(log.Column(), 1);
  log.WriteLn("nowy");
  EXPECT_EQ(Row(1), "Kopiowanie  - FIRMA   : A");
  EXPECT_EQ(Row(3), "nowy");

  log.Clear(true);
  for (int row = 1; row <= 25; ++row) EXPECT_EQ(Row(row), "") << row;
  EXPECT_EQ(log.Row(), 1);
  EXPECT_EQ(log.Line(1), "");
  log.WriteLn("pierwszy");
  EXPECT_EQ(Row(1), "pierwszy");
}

TEST_F(ProgressLogTest, AlertStartsItsOwnLineOnlyWhenItWouldNotFit) {
  log.Clear(true);
  log.Write("PID-5 ");
  log.AlertLn(14, "Brak pliku");
  EXPECT_EQ(Row(1), "PID-5 Brak pliku");
  EXPECT_EQ(AttrAt(7, 1), 14);
  EXPECT_EQ(log.Row(), 2);

  // At the start of a line no empty line comes first.
  log.AlertLn(12, std::string(90, 'e'));
  EXPECT_EQ(Row(2), std::string(79, 'e'));
  EXPECT_EQ(log.Row(), 3);

  log.Write(std::string(70, 'd'));
  log.AlertLn(12, "Blad zapisu danych");
  EXPECT_EQ(Row(3), std::string(70, 'd'));
  EXPECT_EQ(Row(4), "Blad zapisu danych");
  EXPECT_EQ(AttrAt(1, 4), 12);

  // Past column 79 nothing would show at all.
  log.Write(std::string(85, 'f'));
  log.AlertLn(12, "x");
  EXPECT_EQ(Row(6), "x");
}

TEST_F(ProgressLogTest, SinksSeeEveryPieceUntilRemoved) {
  RecordingSink second;
  log.AddSink(&second);
  log.AddSink(&second);  // once is enough
  log.Color(9);
  log.Write("Kopiuję "_pl);
  log.WriteLn("plik");
  log.RemoveSink(&second);
  log.WriteLn("po");
  EXPECT_EQ(second.Lines(), std::vector<std::string>{"9|Kopiuję 7|plik"});
  EXPECT_EQ(sink.Lines(), (std::vector<std::string>{"9|Kopiuję 7|plik", "7|po"}));
}

}  // namespace
}  // namespace zq::test
