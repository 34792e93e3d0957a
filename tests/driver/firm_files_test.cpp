// The per-firm operations on files: the DRA declarations, the listed and wildcard
// files, the choice between the 2020 and 2019 sources, hiding converted files in the
// month loop, and the year folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "driver/firm_rig.h"
#include "driver/firm_run.h"

namespace zq::driver {
namespace {

using namespace test_rig;
using zq::operator""_pl;

// Stand-ins for converters and filters that land later: what they do is plain to see.
bool CopyAll(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  std::copy_n(in.begin(), std::min(in.size(), out.size()), out.begin());
  return true;
}
bool MarkFirstByte(std::span<std::uint8_t> record) {
  record[0] = 'X';
  return true;
}

std::string Declaration(double a, double b, double c, double d, double e, int blocks,
                        std::size_t tail, std::uint8_t seed) {
  std::string file = Bytes(kDraHeaderSize, seed);
  PutReal(file, 478, a);
  PutReal(file, 518, b);
  PutReal(file, 590, c);
  PutReal(file, 614, d);
  PutReal(file, 630, e);
  for (int k = 0; k < blocks; ++k)
    file += Bytes(kDraBlockSize, static_cast<std::uint8_t>(seed + k + 1));
  file += Bytes(tail, 77);
  return file;
}

class FirmFilesTest : public FirmRunRig {};

TEST_F(FirmFilesTest, DraDeclarationsGetTheirBalanceAndBothParts) {
  const std::string positive = Declaration(1000.25, 100.5, 20, 3.25, 0.5, 2, 0, 1);
  const std::string zero = Declaration(512.75, 512.75, 0, 0, 0, 1, 0, 2);
  const std::string negative = Declaration(100, 350.5, 10, 0, 0, 1, 100, 3);
  Source("F", "2020D401.001", positive);
  Source("F", "2020D402.001", zero);
  Source("F", "2020D403.002", negative);
  Source("F", "2020D404.2020", Declaration(1, 0, 0, 0, 0, 0, 0, 4));  // a name past 8.3
  Source("F", "2020D405.001", Bytes(kDraHeaderSize - 1, 5));          // shorter than a header
  Source("F", "2020D406.001", positive);
  Source("F", "2020D407.001", positive);
  Source("F", "2020D5AA.001", positive);  // the new form already: not a source
  fs::create_directories(SourceDir("F") / "2020D408.DIR");
  // A host name that the program would read as a way out of the firm directory.
  const bool oddNames = HostNamesHoldBackslashes();
  if (oddNames) test::WriteFile(SourceDir("F") / "2020D4zz.a\\..\\..\\evil", positive);
  faulty.Plan(SourcePath("F", "2020D406.001"), {.failOpen = true});
  faulty.Plan(TargetPath("F", "2020D507.001"), {.writeFailsAfter = kDraHeaderSize + 10});
  auto source = Snapshot(dir / "DOR_2019");
  auto firm = Context("F");
  ConvertDra5Declarations(*firm);

  std::string out = ReadTarget("F", "2020D501.001");
  ASSERT_EQ(out.size(), positive.size());
  double balance = (1000.25 - 100.5) + 20 + 3.25 + 0.5;
  EXPECT_EQ(RealAt(out, 688), balance);
  EXPECT_EQ(RealAt(out, 526), 0.0);
  EXPECT_EQ(RealAt(out, 534), balance);
  // Every other byte as it was, attachments included.
  std::string expected = positive;
  for (std::size_t at : {688u, 526u, 534u}) std::copy_n(out.begin() + at, 8, expected.begin() + at);
  EXPECT_EQ(out, expected);

  out = ReadTarget("F", "2020D502.001");
  EXPECT_EQ(out.size(), zero.size());
  for (std::size_t at : {688u, 526u, 534u}) {
    EXPECT_EQ(RealAt(out, at), 0.0) << at;
    EXPECT_FALSE(std::signbit(RealAt(out, at))) << at;
  }

  out = ReadTarget("F", "2020D503.002");
  EXPECT_EQ(out.size(), kDraHeaderSize + kDraBlockSize);  // the short block is dropped
  EXPECT_EQ(RealAt(out, 688), -240.5);
  EXPECT_EQ(RealAt(out, 526), 240.5);
  EXPECT_EQ(RealAt(out, 534), 0.0);
  EXPECT_EQ(out.substr(kDraHeaderSize), negative.substr(kDraHeaderSize, kDraBlockSize));
  const LogLine* dropped =
      log.Find("Pominięto niepełny załącznik (100 B) na końcu pliku 2020D403.002"_pl);
  ASSERT_NE(dropped, nullptr) << log.Dump();
  EXPECT_EQ(dropped->colour, convert::kColourWarning);

  EXPECT_TRUE(InTarget("F", "2020D504.2020"));
  EXPECT_FALSE(InTarget("F", "2020D505.001"));
  EXPECT_FALSE(InTarget("F", "2020D506.001"));
  EXPECT_FALSE(InTarget("F", "2020D508.DIR"));
  EXPECT_FALSE(InTarget("F", "2020D5AA.001"));
  EXPECT_EQ(fs::file_size(TargetDir("F") / "2020D507.001"), kDraHeaderSize + 10);

  // The entries follow one another on a line, each whole; none is lost past column 79.
  std::string all;
  for (const LogLine& l : log.lines) {
    EXPECT_LE(l.text.size(), 79u) << Cp852ToUtf8(l.text);
    all += l.text;
  }
  EXPECT_TRUE(log.lines.front().text.starts_with("1. :2020D401.001"));
  for (std::string_view piece :
       {"1. :2020D401.001"_pl, "2. :2020D402.001"_pl, "3. :2020D403.002"_pl, "4. :2020D404.2020"_pl,
        "5. :2020D405.001- Błąd odczytu !"_pl, "6. :2020D406.001- Błąd dostępu do pliku !"_pl,
        "- Błąd zapisu załacznika do DRA5 do 2020D507.001 !"_pl})
    EXPECT_NE(all.find(piece), std::string::npos) << Cp852ToUtf8(piece) << "\n" << log.Dump();
  EXPECT_EQ(log.FindStarting("Pominięto plik o niedozwolonej nazwie 2020D4zz.a\\"_pl) != nullptr,
            oddNames);
  EXPECT_EQ(log.Open(), "");
  EXPECT_EQ(firm->errors, oddNames ? 4 : 3);

  // Nothing outside the firm's two directories; the Source tree as it was.
  EXPECT_FALSE(fs::exists(dir / "DOR_2020" / "evil"));
  EXPECT_FALSE(fs::exists(dir / "evil"));
  EXPECT_EQ(Snapshot(dir / "DOR_2019"), source);
}

TEST_F(FirmFilesTest, ListedFilesAreCopiedByNameAndOnlyInsideTheFirmDirectories) {
  Source("F", "A.TXT", "a");
  Source("F", "B.TXT", "b");
  Source("F", "D.TXT", "d");
  test::WriteFile(dir / "DOR_2019" / "OUT.TXT", "outside");
  run->extraFiles = {
      "A.TXT",   "B.TXT>C.TXT", "",       "..\\OUT.TXT", "../OUT.TXT", "D.TXT>..\\D.TXT",
      "C:D.TXT", "E.TXT>",      ">A.TXT", "CON",         "..",         "MISSING.TXT"};
  auto source = Snapshot(dir / "DOR_2019");
  auto firm = Context("F");
  const FirmItem* extra = nullptr;
  for (const FirmItem& item : FirmItems())
    if (item.number == 20) extra = &item;
  ASSERT_NE(extra, nullptr);
  ASSERT_TRUE(ItemEnabled(*firm, *extra));
  RunFirmItem(*firm, *extra);

  EXPECT_NE(log.Find("Lista dodatkowa ...."), nullptr);
  auto target = Snapshot(dir / "DOR_2020");
  EXPECT_EQ(target, (std::map<std::string, std::string>{{"F/A.TXT", "a"}, {"F/C.TXT", "b"}}));
  EXPECT_EQ(Snapshot(dir / "DOR_2019"), source);
  int refused = 0;
  for (const LogLine& l : log.lines)
    if (l.text.starts_with("Pominięto pozycję listy plików \""_pl)) {
      ++refused;
      EXPECT_EQ(l.colour, convert::kColourError);
    }
  EXPECT_EQ(refused, 8);
  EXPECT_NE(log.Find("Pominięto pozycję listy plików \"..\\OUT.TXT\" - to nie jest nazwa pliku"_pl),
            nullptr);
  EXPECT_EQ(firm->errors, 8);

  run->extraFiles.clear();
  EXPECT_FALSE(ItemEnabled(*firm, *extra));
}

TEST_F(FirmFilesTest, MatchingFilesAreCopiedUnderTheirNamesAndDirectoriesPassedOver) {
  Source("F", "miasta.cel", "m");
  Source("F", "CEL2019.REK", "c");
  Source("F", "kmx.rek", "k");
  Source("F", "stare.cel/opis.txt", "o");
  const bool oddNames = HostNamesHoldBackslashes();
  if (oddNames) test::WriteFile(SourceDir("F") / "x\\..\\..\\y.cel", "escape");
  auto firm = Context("F");
  for (std::string_view pattern : {"*.cel", "cel*.rek", "*.trs"}) CopyMatchingFiles(*firm, pattern);
  EXPECT_EQ(Snapshot(dir / "DOR_2020"),
            (std::map<std::string, std::string>{{"F/CEL2019.REK", "c"}, {"F/miasta.cel", "m"}}));
  EXPECT_FALSE(fs::exists(TargetDir("F") / "stare.cel"));
  EXPECT_FALSE(fs::exists(dir / "y.cel"));
  EXPECT_EQ(log.FindStarting("Pominięto plik o niedozwolonej nazwie x\\"_pl) != nullptr, oddNames);
  EXPECT_EQ(firm->errors, oddNames ? 1 : 0);
}

TEST_F(FirmFilesTest, PidSourceIsTheOnlyFilePresentOrTheAnswerOfTheQuestion) {
  struct Case {
    bool has2020, has2019, annualFrom2020;
    std::int32_t memory;
    char key;  // 0: no question expected
    bool reads2020;
  };
  const Case cases[] = {
      {false, true, false, 0, 0, false},  {true, false, false, 0, 0, true},
      {false, false, false, 0, 0, false}, {true, true, true, 0, 0, true},
      {true, true, false, 0, 'z', true},  {true, true, false, 0, 'W', false},
      {true, true, false, 0, 'n', true},  {true, true, false, 1, 0, true},
      {true, true, false, -1, 0, false},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(n);
    const std::string firmDir = "P" + std::to_string(n++);
    if (c.has2020) Source(firmDir, "2020p5.13", "new");
    if (c.has2019) Source(firmDir, "2019p5.13", "old");
    auto firm = Context(firmDir);
    firm->annualFrom2020 = c.annualFrom2020;
    run->copier.overwriteMemory = c.memory;
    log.Clear();
    if (c.key) rig.console.PushKey(Key(c.key));
    std::string chosen = ChooseRecordSource(*firm, "2020p5.13", "2019p5.13");
    EXPECT_EQ(chosen, SourcePath(firmDir, c.reads2020 ? "2020p5.13" : "2019p5.13"));
    // The question names the bare file, not a path.
    EXPECT_EQ(log.Find("Stwierdzono obecność pliku 2020p5.13"_pl) != nullptr, c.key != 0)
        << log.Dump();
    EXPECT_EQ(rig.console.ScriptLeft(), 0u);
  }
}

TEST_F(FirmFilesTest, ChosenSourceRowConvertsIntoTheOneTargetWithItsOwnQuestion) {
  Source("F", "2020_p28.rek", Bytes(32, 1));
  Source("F", "2019_p28.rek", Bytes(32, 2));
  Target("F", "2020_p28.rek", "existing");
  const FirmItem row{.number = 11,
                     .label = "\"PIT-28\" ",
                     .labelStyle = ItemLabel::kContinued,
                     .how = ItemHow::kChosenSource,
                     .sources = {"2020_p28.rek", "2019_p28.rek"},
                     .target = "2020_p28.rek",
                     .inSize = 16,
                     .outSize = 16,
                     .converter = CopyAll};
  auto firm = Context("F");
  rig.console.PushKey(Key('w'));  // the source: overwrite means 2019
  rig.console.PushKey(Key('w'));  // the existing target: overwrite it
  RunFirmItem(*firm, row);
  EXPECT_EQ(ReadTarget("F", "2020_p28.rek"), Bytes(32, 2));
  EXPECT_EQ(log.CountHolding("Stwierdzono obecność pliku "_pl), 2);
  EXPECT_TRUE(log.lines.front().text.starts_with("\"PIT-28\" "));
}

TEST_F(FirmFilesTest, WageSettingsComeFrom2020OnlyWhenTheYearWasBegunIn2020) {
  const FirmItem row{.number = 21,
                     .how = ItemHow::kYearSource,
                     .sources = {"2020_lp.cc", "2019_lp.cc"},
                     .target = "2020_lp2.cc",
                     .inSize = 8,
                     .filter = MarkFirstByte};
  for (bool from2020 : {false, true}) {
    SCOPED_TRACE(from2020);
    const std::string firmDir = from2020 ? "NEW" : "OLD";
    Source(firmDir, "2020_lp.cc", "20202020");
    Source(firmDir, "2019_lp.cc", "20192019");
    auto firm = Context(firmDir);
    firm->annualFrom2020 = from2020;
    RunFirmItem(*firm, row);
    EXPECT_EQ(ReadTarget(firmDir, "2020_lp2.cc"), from2020 ? "X0202020" : "X0192019");
  }
  // Begun in 2020 but without its own file: the closed year's.
  Source("ONLY", "2019_lp.cc", "20192019");
  auto firm = Context("ONLY");
  firm->annualFrom2020 = true;
  RunFirmItem(*firm, row);
  EXPECT_EQ(ReadTarget("ONLY", "2020_lp2.cc"), "X0192019");
}

TEST_F(FirmFilesTest, FirmBoundFilterAndConverterSeeTheirOwnFirm) {
  Source("A", "x.rek", "aaaa");
  Source("B", "x.rek", "bbbb");
  const FirmItem copy{.how = ItemHow::kRecordCopy,
                      .sources = {"x.rek"},
                      .target = "x.rek",
                      .inSize = 4,
                      .firmFilter = [](FirmContext& f, std::span<std::uint8_t> r) {
                        r[0] = static_cast<std::uint8_t>(f.directory[0]);
                        return f.directory != "B";
                      }};
  const FirmItem convert{.how = ItemHow::kConvert,
                         .sources = {"x.rek"},
                         .target = "y.rek",
                         .inSize = 4,
                         .outSize = 2,
                         .firmConverter = [](FirmContext& f, std::span<const std::uint8_t> in,
                                             std::span<std::uint8_t> out) {
                           out[0] = in[1];
                           out[1] = static_cast<std::uint8_t>(f.firmVatProportion);
                           return true;
                         }};
  for (const char* dir : {"A", "B"}) {
    auto firm = Context(dir);
    firm->firmVatProportion = 'p';
    RunFirmItem(*firm, copy);
    RunFirmItem(*firm, convert);
  }
  EXPECT_EQ(ReadTarget("A", "x.rek"), "Aaaa");
  EXPECT_EQ(ReadTarget("B", "x.rek"), "");
  EXPECT_EQ(ReadTarget("A", "y.rek"), "ap");
  EXPECT_EQ(ReadTarget("B", "y.rek"), "bp");
}

MonthLoop TestMonths() {
  return {.entries = {.sourceStem = "2020K880",
                      .targetStem = "2020K990",
                      .label = "Konwertuję zapisy : "_pl,
                      .inSize = 4,
                      .outSize = 8,
                      .converter = CopyAll},
          .repayments = {.sourceStem = "2020SP",
                         .targetStem = "2020SP",
                         .label = "Konwertuję spłaty : "_pl,
                         .inSize = 4,
                         .outSize = 4,
                         .converter = CopyAll}};
}

TEST_F(FirmFilesTest, MonthLoopAppendsJanuaryAndHidesWhatItConverted) {
  run->options.hideConverted = true;
  for (const char* m : {"1", "2", "3", "12"}) Source("F", std::string("2020K880.") + m, "abcd");
  Source("F", "2020SP.1", "wxyz");
  Source("F", "2020SP.2", "wxyz");
  Source("F", "2020SP.2~", "hidden by an earlier run");
  Target("F", "2020K990.1", "JANUARY.");
  Target("F", "2020K990.2", "FEBRUARY");
  faulty.Plan(SourcePath("F", "2020K880.3"), {.readFailsAfter = 0});
  const MonthLoop loop = TestMonths();
  auto firm = Context("F");
  rig.console.PushKey(Key('z'));  // February's existing target is kept
  rig.console.PushKey(kEnter);    // March's read error
  ConvertMonths(*firm, loop);

  std::string abcd(8, '\0');
  abcd.replace(0, 4, "abcd");
  EXPECT_EQ(ReadTarget("F", "2020K990.1"), "JANUARY." + abcd);
  EXPECT_EQ(ReadTarget("F", "2020K990.2"), "FEBRUARY");
  EXPECT_EQ(ReadTarget("F", "2020K990.12"), abcd);
  EXPECT_EQ(ReadTarget("F", "2020SP.1"), "wxyz");
  EXPECT_FALSE(run->copier.appendMode);
  EXPECT_EQ(log.Count("Stwierdzono obecność pliku "_pl), 1);
  EXPECT_NE(log.Find("Konwertuję zapisy : Styczeń    "_pl), nullptr);
  EXPECT_NE(log.Find("Konwertuję spłaty : Luty       "_pl), nullptr);
  EXPECT_NE(log.Find("Konwertuję zapisy : Grudzień   "_pl), nullptr);

  // Converted and kept files are hidden; the one whose read failed stays for the next run.
  auto names = Snapshot(SourceDir("F"));
  for (const char* hidden : {"2020K880.1~", "2020K880.2~", "2020K880.12~", "2020SP.1~"})
    EXPECT_TRUE(names.count(hidden)) << hidden;
  EXPECT_TRUE(names.count("2020K880.3"));
  EXPECT_FALSE(names.count("2020K880.3~"));
  const std::string path = SourcePath("F", "2020K880.1");
  const LogLine* renamed = log.Find("Zmiana nazwy pliku " + path + " na " + path + "~");
  ASSERT_NE(renamed, nullptr) << log.Dump();
  EXPECT_EQ(renamed->colour, run->log.NormalColour());
  EXPECT_NE(
      log.FindStarting(std::string("Nie zasłonięto pliku "_pl) + SourcePath("F", "2020K880.3")),
      nullptr);
  // The hidden name was taken: the file stays, and the log says so.
  EXPECT_TRUE(names.count("2020SP.2"));
  EXPECT_EQ(names["2020SP.2~"], "hidden by an earlier run");
  const LogLine* failed =
      log.Find(std::string("Błąd zmiany nazwy pliku "_pl) + SourcePath("F", "2020SP.2"));
  ASSERT_NE(failed, nullptr);
  EXPECT_EQ(failed->colour, run->log.NormalColour());

  // A second run finds only what was not hidden.
  faulty.ClearPlans();
  fs::remove(SourceDir("F") / "2020SP.2~");
  log.Clear();
  run->copier.overwriteMemory = -1;
  ConvertMonths(*firm, loop);
  EXPECT_EQ(log.Count("Konwertuję "_pl), 2);
  EXPECT_NE(log.Find("Konwertuję zapisy : Marzec     "_pl), nullptr);
  EXPECT_NE(log.Find("Konwertuję spłaty : Luty       "_pl), nullptr);

  // With the option off nothing is renamed.
  run->options.hideConverted = false;
  Source("F", "2020SP.5", "wxyz");
  ConvertMonths(*firm, loop);
  EXPECT_TRUE(fs::exists(SourceDir("F") / "2020SP.5"));
}

TEST_F(FirmFilesTest, YearFolderIsMadeOnceAndAFolderThereAlreadyIsUsed) {
  Source("F", "_2020/a.kst", Bytes(572 * 2, 1));
  Source("F", "_2020/b.kst", Bytes(572, 2));
  Source("F", "_2020/c.wyj", Bytes(128 * 3, 3));
  const FirmItem rows[] = {
      {.number = 43,
       .how = ItemHow::kYearFolder,
       .sources = {"_2020\\*.kst"},
       .inSize = 572,
       .filter = MarkFirstByte},
      {.number = 44,
       .how = ItemHow::kYearFolder,
       .sources = {"_2020\\*.wyj"},
       .inSize = 128,
       .filter = MarkFirstByte},
  };
  auto marked = [](std::string bytes, std::size_t size) {
    for (std::size_t at = 0; at < bytes.size(); at += size) bytes[at] = 'X';
    return bytes;
  };
  auto firm = Context("F");
  RunFirmItems(*firm, rows);
  EXPECT_EQ(ReadTarget("F", "_2020/a.kst"), marked(Bytes(572 * 2, 1), 572));
  EXPECT_EQ(ReadTarget("F", "_2020/b.kst"), marked(Bytes(572, 2), 572));
  EXPECT_EQ(ReadTarget("F", "_2020/c.wyj"), marked(Bytes(128 * 3, 3), 128));
  EXPECT_FALSE(firm->folderPending);
  EXPECT_EQ(firm->errors, 0);

  // The folder already there (an earlier run) takes the files as well.
  auto again = Context("G");
  fs::create_directories(TargetDir("G") / "_2020");
  Source("G", "_2020/a.kst", Bytes(572, 4));
  RunFirmItems(*again, rows);
  EXPECT_EQ(ReadTarget("G", "_2020/a.kst"), marked(Bytes(572, 4), 572));
  EXPECT_EQ(again->errors, 0);

  // A file in its place: each item says so and copies nothing.
  auto blocked = Context("H");
  Target("H", "_2020", "not a folder");
  Source("H", "_2020/a.kst", Bytes(572, 5));
  Source("H", "_2020/c.wyj", Bytes(128, 6));
  RunFirmItems(*blocked, rows);
  const std::string folder = run->options.targetTree + "H\\_2020";
  EXPECT_EQ(log.Count(std::string("Błąd utworzenia folderu "_pl) + folder), 2) << log.Dump();
  EXPECT_EQ(blocked->errors, 2);
  EXPECT_EQ(ReadTarget("H", "_2020"), "not a folder");
}

}  // namespace
}  // namespace zq::driver
