#include "convert/annual.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <filesystem>
#include <vector>

#include "convert/firm_data.h"
#include "copy_fixture.h"
#include "sample.h"
#include "sample_annual.h"
#include "shared/firm_text.h"
#include "tui/event.h"

namespace zq::test {
namespace {

using convert::AnnualOutcome;
using convert::AnnualResult;
using zq::operator""_pl;
namespace key = tui::key;

constexpr std::size_t kRec = 512;

// Little-endian helpers on a byte string; the offsets below are the file's own.
std::uint16_t Word(const std::string& s, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(s[at]) |
                                    static_cast<std::uint8_t>(s[at + 1]) << 8);
}
void PutWord(std::string& s, std::size_t at, std::uint16_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}
double Real(const std::string& s, std::size_t at) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, s.data() + at, 8);
  return std::bit_cast<double>(bits);
}
void PutReal(std::string& s, std::size_t at, double v) {
  std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
  std::memcpy(s.data() + at, &bits, 8);
}
void PutText(std::string& s, std::size_t at, std::uint8_t lengthByte, std::string_view chars,
             std::size_t width) {
  s[at] = static_cast<char>(lengthByte);
  for (std::size_t k = 0; k + 1 < width; ++k)
    s[at + 1 + k] = k < chars.size() ? chars[k] : static_cast<char>(0xEE);  // stale
}
// Copies `n` bytes at `at` from `from` into `to`.
void Take(std::string& to, const std::string& from, std::size_t at, std::size_t n) {
  to.replace(at, n, from, at, n);
}

// Carried fields of record 1 whichever the source year, as (offset, width).
constexpr std::pair<std::size_t, std::size_t> kCarried1[] = {
    {0x00, 2}, {0x05, 2},  {0x07, 2},  {0x0C, 1},  {0x0D, 1},  {0x0E, 2},  {0x70, 2},
    {0x72, 1}, {0x73, 1},  {0x74, 1},  {0x75, 1},  {0x7A, 1},  {0x7B, 4},  {0x7F, 2},
    {0x85, 1}, {0x87, 2},  {0x89, 2},  {0x8B, 2},  {0x8D, 1},  {0x8E, 1},  {0x8F, 1},
    {0xFE, 2}, {0x16C, 2}, {0x198, 8}, {0x1A2, 1}, {0x1A3, 1}, {0x1A4, 1}, {0x1A5, 2},
};

// Source records: every byte busy, so that a byte the conversion should not carry shows.
// Record 1 neither asks for a proportion nor warns unless a test says so.
std::string SourceFile(unsigned seed) {
  std::string file = Pattern(3 * kRec, seed);
  std::string r1 = file.substr(0, kRec), r2 = file.substr(kRec, kRec), r3 = file.substr(2 * kRec);
  r1[0x03] = 13;
  r1[0x75] = 1;
  PutWord(r1, 0x76, 64);
  PutWord(r1, 0x78, 71);
  for (int k = 0; k <= 12; ++k) PutReal(r1, 0x96 + 8 * k, 1000.25 + k * 111.5);
  for (int m = 0; m < 12; ++m) PutReal(r1, 0x100 + 8 * m, 50.5 + m);
  // Numbering: clean texts, a text whose length byte claims more than its field, and
  // texts with stale bytes after them.
  for (int i = 0; i < 10; ++i) {
    std::size_t e = 0x02 + 16 * i;
    PutText(r2, e, i == 3 ? 9 : 3, "FV/ABCDEFG", 7);
    PutWord(r2, e + 7, static_cast<std::uint16_t>(100 + i));
    PutText(r2, e + 9, 5, "/2019", 7);
  }
  return r1 + r2 + r3;
}

// A text of the numbering entries as it must come out: at most six characters, nothing
// behind them.
void CleanText(std::string& out, const std::string& in, std::size_t at) {
  std::size_t n = std::min<std::size_t>(static_cast<std::uint8_t>(in[at]), 6);
  out[at] = static_cast<char>(n);
  for (std::size_t k = 0; k < 6; ++k) out[at + 1 + k] = k < n ? in[at + 1 + k] : '\0';
}

std::string Expected1From2019(const std::string& in) {
  std::string out(kRec, '\0');
  for (auto [at, n] : kCarried1) Take(out, in, at, n);
  out[0x02] = 1;
  out[0x03] = 1;
  out[0x04] = 3;
  for (int m = 0; m < 12; ++m) {
    PutWord(out, 0x10 + 8 * m, 1);
    PutWord(out, 0x12 + 8 * m, 1);
  }
  out.replace(0x76, 2, in, 0x78, 2);
  out[0x83] = 3;
  out.replace(0x96, 8, in, 0x96 + 8 * 12, 8);
  out.replace(0x100, 8, in, 0x100 + 8 * 11, 8);
  PutWord(out, 0x1A0, 1);
  return out;
}

std::string Expected1From2020(const std::string& in) {
  std::string out(kRec, '\0');
  for (auto [at, n] : kCarried1) Take(out, in, at, n);
  Take(out, in, 0x02, 2);
  out[0x04] = 3;
  for (int m = 0; m < 12; ++m) Take(out, in, 0x10 + 8 * m, 4);
  Take(out, in, 0x76, 2);
  out[0x83] = 3;
  Take(out, in, 0x96, 13 * 8);
  Take(out, in, 0x100, 12 * 8);
  Take(out, in, 0x1A0, 2);
  return out;
}

std::string Expected2(const std::string& in, bool from2020) {
  std::string out(kRec, '\0');
  Take(out, in, 0x00, 2);
  for (int i = 0; i < 10; ++i) {
    std::size_t e = 0x02 + 16 * i;
    CleanText(out, in, e);
    if (from2020)
      Take(out, in, e + 7, 2);
    else
      PutWord(out, e + 7, 1);
    CleanText(out, in, e + 9);
  }
  Take(out, in, 0xA2, 2);
  return out;
}

std::string Expected3(const std::string& in, bool from2020) {
  std::string out(kRec, '\0');
  Take(out, in, 0x00, 2);
  Take(out, in, 0x02, 8);
  Take(out, in, 0x0A, 8);
  if (from2020) Take(out, in, 0x12, 12 * 21);
  Take(out, in, 0x10E, 8);
  Take(out, in, 0x116, 2);
  return out;
}

class AnnualTest : public CopyFixture {
 protected:
  AnnualTest() {
    screen.Start();
    std::filesystem::create_directories(dir / "src" / "FIRMA");
    std::filesystem::create_directories(dir / "dst" / "FIRMA");
  }

  AnnualResult Run(bool warn = true) {
    return convert::ConvertAnnualSettings({.screen = screen,
                                           .copier = copier,
                                           .sourceFirmDir = sourceDir,
                                           .targetFirmDir = targetDir,
                                           .warnOpenDecember = warn,
                                           .alwaysTake2020 = alwaysTake2020});
  }
  void Put2019(const std::string& bytes) { Write("src/FIRMA/2019_ROK.REK", bytes); }
  void Put2020(const std::string& bytes) { Write("src/FIRMA/2020_ROK.REK", bytes); }
  std::string Output() const { return Read("dst/FIRMA/2020_ROK.REK"); }
  bool OutputExists() const { return Exists("dst/FIRMA/2020_ROK.REK"); }
  std::string Source2019() const { return sourceDir + "\\2019_ROK.REK"; }
  std::string Source2020() const { return sourceDir + "\\2020_ROK.REK"; }
  std::string Target() const { return targetDir + "\\2020_ROK.REK"; }
  bool Logged(const std::string& line) const {
    for (const std::string& l : sink.Lines())
      if (l == line) return true;
    return false;
  }
  // The InputBox answer: the "0" it starts with rubbed out, the text typed, Enter.
  void Answer(std::string_view text) {
    rig.console.PushKey(key::kBackspace);
    rig.console.PushText(text);
    rig.console.PushKey(key::kEnter);
  }

  std::string sourceDir = dir.Prefix() + "src\\FIRMA";
  std::string targetDir = dir.Prefix() + "dst\\FIRMA";
  bool alwaysTake2020 = false;
};

TEST_F(AnnualTest, From2019EveryFieldByTheTable) {
  std::string src = SourceFile(1);
  Put2019(src);
  AnnualResult r = Run();
  EXPECT_EQ(r.outcome, AnnualOutcome::kWritten);
  EXPECT_FALSE(r.annualFrom2020);
  std::string out = Output();
  ASSERT_EQ(out.size(), 3 * kRec);
  EXPECT_EQ(out.substr(0, kRec), Expected1From2019(src.substr(0, kRec)));
  EXPECT_EQ(out.substr(kRec, kRec), Expected2(src.substr(kRec, kRec), false));
  EXPECT_EQ(out.substr(2 * kRec), Expected3(src.substr(2 * kRec), false));
  // Spot checks in the terms of the year: BZ 2019 is BO 2020, the proportion assumed
  // for 2020 is the year's, the twelve 21-byte blocks are empty.
  EXPECT_EQ(Real(out, 0x96), 1000.25 + 12 * 111.5);
  EXPECT_EQ(Real(out, 0x100), 50.5 + 11);
  EXPECT_EQ(Word(out, 0x76), 71);
  EXPECT_EQ(Word(out, 0x78), 0);
  EXPECT_EQ(out.substr(2 * kRec + 0x12, 252), std::string(252, '\0'));
  EXPECT_EQ(r.firmVatProportional, 1);
  EXPECT_EQ(r.firmVatProportion, 71);
  EXPECT_EQ(r.sourceFirmDir, sourceDir.substr(0, 40));
  EXPECT_EQ(sink.Lines().front(), "9|Konwersja danych ROCZNYCH ustawień firmy ");
  EXPECT_EQ(sink.Lines().back(), "7|Utworzono dane w 2020");
  EXPECT_EQ(KeysLeft(), 0u);
}

TEST_F(AnnualTest, From2020NearlyEverythingCarried) {
  std::string src = SourceFile(2);
  Put2020(src);
  AnnualResult r = Run();
  EXPECT_EQ(r.outcome, AnnualOutcome::kWritten);
  EXPECT_TRUE(r.annualFrom2020);
  std::string out = Output();
  ASSERT_EQ(out.size(), 3 * kRec);
  EXPECT_EQ(out.substr(0, kRec), Expected1From2020(src.substr(0, kRec)));
  EXPECT_EQ(out.substr(kRec, kRec), Expected2(src.substr(kRec, kRec), true));
  EXPECT_EQ(out.substr(2 * kRec), Expected3(src.substr(2 * kRec), true));
  EXPECT_EQ(r.firmVatProportion, 64);
  EXPECT_EQ(KeysLeft(), 0u);
}

TEST_F(AnnualTest, YearQuestionBNAndAlwaysTake2020) {
  std::string old = SourceFile(3), begun = SourceFile(4);
  Put2019(old);
  Put2020(begun);

  // Other keys are ignored; a lower-case answer counts.
  Key('x');
  Key('\r');
  Key('b');
  AnnualResult r = Run();
  EXPECT_FALSE(r.annualFrom2020);
  EXPECT_EQ(Output().substr(0, kRec), Expected1From2019(old.substr(0, kRec)));
  EXPECT_TRUE(Logged("12|Występują dane ROCZNE za rok 2019 i 2020 !"));
  EXPECT_TRUE(Logged("12|Wybierz z których skrzystać :"));
  EXPECT_TRUE(Logged("12| B-2019 N-2020, A-wszyskie następne na N  (B/N/A) ? "));
  EXPECT_TRUE(Logged("12| - wybrano: B"));
  EXPECT_FALSE(alwaysTake2020);

  sink.Reset();
  Key('N');
  r = Run();
  EXPECT_TRUE(r.annualFrom2020);
  EXPECT_EQ(Output().substr(0, kRec), Expected1From2020(begun.substr(0, kRec)));
  EXPECT_TRUE(Logged("12| - wybrano: N"));
  EXPECT_FALSE(alwaysTake2020);

  sink.Reset();
  Key('a');
  r = Run();
  EXPECT_TRUE(r.annualFrom2020);
  EXPECT_TRUE(Logged("12| - wybrano: A"));
  EXPECT_TRUE(alwaysTake2020);

  // Every later firm with both files: the 2020 file, no question.
  sink.Reset();
  r = Run();
  EXPECT_TRUE(r.annualFrom2020);
  EXPECT_EQ(r.outcome, AnnualOutcome::kWritten);
  EXPECT_FALSE(Logged("12|Wybierz z których skrzystać :"));
  EXPECT_EQ(KeysLeft(), 0u);
}

TEST_F(AnnualTest, OnlyOneYearPresentOrNeither) {
  // An empty file counts as missing.
  Put2019("");
  Put2020(SourceFile(5));
  EXPECT_TRUE(Run().annualFrom2020);
  EXPECT_EQ(KeysLeft(), 0u);

  std::filesystem::remove(dir / "dst/FIRMA/2020_ROK.REK");
  std::filesystem::remove(dir / "src/FIRMA/2020_ROK.REK");
  sink.Reset();
  Key(' ');
  AnnualResult r = Run();
  EXPECT_EQ(r.outcome, AnnualOutcome::kNoSource);
  EXPECT_FALSE(r.annualFrom2020);
  EXPECT_TRUE(r.sourceFirmDir.empty());
  EXPECT_EQ(sink.Lines().back(), "12|Brak danych nnnnROK.REK danych za 2019 i 2020 !");
  EXPECT_FALSE(OutputExists());
  EXPECT_EQ(KeysLeft(), 0u);
}

TEST_F(AnnualTest, OpenDecemberWarningOnAndOff) {
  std::string src = SourceFile(6);
  src[0x03] = 12;
  Put2019(src);

  Key(' ');
  AnnualResult r = Run(true);
  EXPECT_EQ(r.outcome, AnnualOutcome::kWritten);
  EXPECT_TRUE(Logged("12|Nie zatwierdzono miesiąca GRUDNIA.2019"));
  EXPECT_TRUE(Logged("14|mogę przenieść niepoprawny stan BZ.2019 jako BO.2020"));
  EXPECT_EQ(rig.console.Beeps().size(), 2u);
  EXPECT_EQ(KeysLeft(), 0u);
  // Carried all the same.
  std::string warned = Output();
  EXPECT_EQ(warned.substr(0, kRec), Expected1From2019(src.substr(0, kRec)));
  EXPECT_EQ(Real(warned, 0x96), 1000.25 + 12 * 111.5);

  sink.Reset();
  r = Run(false);
  EXPECT_EQ(r.outcome, AnnualOutcome::kWritten);
  EXPECT_FALSE(Logged("12|Nie zatwierdzono miesiąca GRUDNIA.2019"));
  EXPECT_EQ(rig.console.Beeps().size(), 2u);
  EXPECT_EQ(Output(), warned);

  // A 2020 source is never warned about, whatever its approval state.
  std::filesystem::remove(dir / "src/FIRMA/2019_ROK.REK");
  Put2020(src);
  sink.Reset();
  Run(true);
  EXPECT_FALSE(Logged("12|Nie zatwierdzono miesiąca GRUDNIA.2019"));
  EXPECT_EQ(KeysLeft(), 0u);
}

TEST_F(AnnualTest, VatProportionAskedUntilAWholePercentage) {
  std::string src = SourceFile(7);
  PutWord(src, 0x76, 85);  // settled in 2019
  PutWord(src, 0x78, 0);   // nothing assumed for 2020
  Put2019(src);

  std::string shot;
  rig.console.PushAction([&] { shot = rig.console.ScreenText(); });
  Answer("101");
  Answer("1a");
  Answer("-5");
  Answer("");  // an empty answer is no number either
  Answer("100");
  AnnualResult r = Run();
  EXPECT_EQ(r.outcome, AnnualOutcome::kWritten);
  EXPECT_EQ(r.firmVatProportion, 100);
  EXPECT_EQ(Word(Output(), 0x76), 100);
  EXPECT_EQ(rig.console.Beeps().size(), 4u);
  EXPECT_NE(shot.find("Firma rozliczała  VAT w proporcji 85%"), std::string::npos) << shot;
  EXPECT_NE(shot.find("a zakładana na 2020 wynosi 0% ?"), std::string::npos) << shot;
  EXPECT_NE(shot.find("Podaj właściwą:"), std::string::npos) << shot;
  EXPECT_EQ(KeysLeft(), 0u);
}

TEST_F(AnnualTest, VatProportionEscZeroAndNoQuestionWhenNotProportional) {
  std::string src = SourceFile(8);
  PutWord(src, 0x76, 0);
  PutWord(src, 0x78, 0);
  Put2020(src);

  // From a 2020 file the figure is left out; Esc keeps the "0".
  std::string shot;
  rig.console.PushAction([&] { shot = rig.console.ScreenText(); });
  rig.console.PushText("5");
  rig.console.PushKey(key::kEsc);
  AnnualResult r = Run();
  EXPECT_EQ(r.firmVatProportion, 0);
  EXPECT_EQ(Word(Output(), 0x76), 0);
  EXPECT_EQ(std::count(shot.begin(), shot.end(), '%'), 1) << shot;
  EXPECT_NE(shot.find("Firma rozliczała  VAT w proporcji"), std::string::npos) << shot;
  EXPECT_TRUE(rig.console.Beeps().empty());

  // Typed after the "0": read as decimal.
  rig.console.PushText("7");
  rig.console.PushKey(key::kEnter);
  r = Run();
  EXPECT_EQ(r.firmVatProportion, 7);
  EXPECT_EQ(Word(Output(), 0x76), 7);

  src[0x75] = 0;
  Put2020(src);
  r = Run();
  EXPECT_EQ(r.firmVatProportional, 0);
  EXPECT_EQ(r.firmVatProportion, 0);
  EXPECT_EQ(KeysLeft(), 0u);
}

TEST_F(AnnualTest, TruncatedSourcesLeaveNoOutput) {
  struct Case {
    std::size_t size;
    bool from2020;
    int record;
  };
  for (Case c : {Case{100, false, 1}, Case{511, true, 1}, Case{kRec, false, 2}, Case{1000, true, 2},
                 Case{2 * kRec, false, 3}, Case{3 * kRec - 1, true, 3}}) {
    SCOPED_TRACE(c.size);
    std::filesystem::remove(dir / "src/FIRMA/2019_ROK.REK");
    std::filesystem::remove(dir / "src/FIRMA/2020_ROK.REK");
    // An output of an earlier run is replaced, so none may stay either.
    Write("dst/FIRMA/2020_ROK.REK", std::string(3 * kRec, 'x'));
    std::string src = SourceFile(9).substr(0, c.size);
    if (c.from2020)
      Put2020(src);
    else
      Put2019(src);
    sink.Reset();
    Key(' ');
    AnnualResult r = Run();
    EXPECT_EQ(r.outcome, AnnualOutcome::kReadFailed);
    EXPECT_FALSE(OutputExists());
    EXPECT_TRUE(Logged("12|Błąd odczytu danych z 2019"));
    std::string source = Cp852ToUtf8(c.from2020 ? Source2020() : Source2019());
    std::string detail = "7|Niepełny rekord nr " + std::to_string(c.record) + " pliku " + source;
    EXPECT_TRUE(Logged(detail)) << sink.Lines().back();
    EXPECT_EQ(r.sourceFirmDir.empty(), c.record == 1);
    if (c.record == 1) {
      EXPECT_EQ(r.firmVatProportional, 0);
    }
    EXPECT_EQ(KeysLeft(), 0u);
  }
}

TEST_F(AnnualTest, ReadWriteAndOpenFailures) {
  std::string src = SourceFile(10);
  Put2019(src);

  files.Plan(Source2019(), {.readFailsAfter = 700});
  Key(' ');
  EXPECT_EQ(Run().outcome, AnnualOutcome::kReadFailed);
  EXPECT_TRUE(Logged("12|Błąd odczytu danych z 2019"));
  EXPECT_FALSE(OutputExists());

  files.ClearPlans();
  files.Plan(Target(), {.writeFailsAfter = 600});
  sink.Reset();
  Key(' ');
  EXPECT_EQ(Run().outcome, AnnualOutcome::kWriteFailed);
  EXPECT_TRUE(Logged("12|Błąd zapisu danych do 2020"));
  EXPECT_FALSE(OutputExists());

  // A write that puts nothing and says so is no success either.
  files.ClearPlans();
  files.Plan(Target(), {.writeStallsAfter = 512});
  sink.Reset();
  Key(' ');
  EXPECT_EQ(Run().outcome, AnnualOutcome::kWriteFailed);
  EXPECT_FALSE(OutputExists());

  files.ClearPlans();
  files.Plan(Target(), {.failClose = true});
  sink.Reset();
  Key(' ');
  EXPECT_EQ(Run().outcome, AnnualOutcome::kWriteFailed);
  EXPECT_TRUE(Logged("12|Błąd zapisu danych do 2020"));
  EXPECT_FALSE(OutputExists());

  files.ClearPlans();
  files.Plan(Source2019(), {.failOpen = true});
  sink.Reset();
  Key(' ');
  AnnualResult r = Run();
  EXPECT_EQ(r.outcome, AnnualOutcome::kSourceNotOpened);
  EXPECT_TRUE(r.sourceFirmDir.empty());
  EXPECT_EQ(sink.Lines().back(), "12|brak dostępu do danych za FirmaREK !");
  EXPECT_FALSE(OutputExists());

  // An output that cannot be created: an earlier one is not touched.
  files.ClearPlans();
  Write("dst/FIRMA/2020_ROK.REK", "earlier");
  files.Plan(Target(), {.failOpen = true});
  sink.Reset();
  Key(' ');
  EXPECT_EQ(Run().outcome, AnnualOutcome::kTargetNotCreated);
  EXPECT_EQ(sink.Lines().back(), "12|brak dostępu do danych FirmaREK za 2020 !");
  EXPECT_EQ(Output(), "earlier");
  EXPECT_EQ(KeysLeft(), 0u);
}

TEST_F(AnnualTest, BothTreesTheSameDirectoryNeverCutTheSource) {
  std::string src = SourceFile(11);
  Put2020(src);
  targetDir = sourceDir;
  Key(' ');
  EXPECT_EQ(Run().outcome, AnnualOutcome::kTargetNotCreated);
  EXPECT_EQ(Read("src/FIRMA/2020_ROK.REK"), src);
}

// The sample installation's firms go through the annual settings and the firm data as
// the per-firm run takes them: the open-December firm warns, a firm that began 2020
// takes its 2020 file, and the firm text data learns the old directory.
TEST_F(AnnualTest, SampleFirmsConvert) {
  sample::Sample made = sample::GenerateSample({.seed = 11, .firms = 20}, dir / "sample");
  std::string sourceTree = Utf8ToCp852(made.source.string()) + "\\";
  std::string targetTree = Utf8ToCp852(made.target.string()) + "\\";
  alwaysTake2020 = true;
  int warned = 0, from2020 = 0;
  for (std::size_t i = 0; i < made.firms.size(); ++i) {
    const sample::SampleFirm& firm = made.firms[i];
    if (!firm.Discovered()) continue;
    SCOPED_TRACE(Cp852ToUtf8(firm.directory));
    std::filesystem::create_directories(made.TargetFirmPath(firm));
    sourceDir = sourceTree + firm.directory;
    targetDir = targetTree + firm.directory;
    // A firm that began 2020 takes that file, whose December is not 2019's.
    bool open = sample::HasOpenDecember(i) && !firm.annual2020;
    if (open) Key(' ');
    sink.Reset();
    AnnualResult r = Run();
    EXPECT_EQ(r.outcome, AnnualOutcome::kWritten);
    EXPECT_EQ(r.annualFrom2020, firm.annual2020);
    EXPECT_EQ(Logged("12|Nie zatwierdzono miesiąca GRUDNIA.2019"), open);
    warned += open;
    from2020 += r.annualFrom2020;
    EXPECT_EQ(r.firmVatProportional != 0, firm.vatProportional);

    convert::FirmDataDirs dirs{sourceDir, targetDir};
    ASSERT_TRUE(convert::ConvertFirmTextData(sharedFiles, dirs, r.sourceFirmDir).Ok());
    shared::FirmText text;
    ASSERT_TRUE(shared::ReadFirmText(*rig.files, targetDir + "\\FIRMATXT.INI", text).Ok());
    EXPECT_EQ(text.Text("DOR", "PATH2019"), r.sourceFirmDir);
    EXPECT_EQ(text.Text("DOR", "NAZWA_ZUS"), firm.name);
    convert::ConvertFirmRecord(copier, dirs);
    EXPECT_EQ(std::filesystem::file_size(made.TargetFirmPath(firm) / "FIRMA_A8.REK"), 224u);
    convert::CopyAdvancePayments(copier, dirs, r.annualFrom2020);
    EXPECT_EQ(std::filesystem::exists(made.TargetFirmPath(firm) / "2020ZAL.REK"), firm.annual2020);
    EXPECT_EQ(KeysLeft(), 0u);
  }
  EXPECT_GT(warned, 0);
  EXPECT_GT(from2020, 0);
}

}  // namespace
}  // namespace zq::test

namespace zq::test {
namespace {

// An answer source giving one fixed answer to the proportion question.
class FixedAnswer : public convert::AnswerSource {
 public:
  explicit FixedAnswer(std::string answer) : answer_(std::move(answer)) {}
  std::string Answer(convert::Question q) override {
    asked.push_back(q);
    return answer_;
  }
  std::vector<convert::Question> asked;

 private:
  std::string answer_;
};

TEST_F(AnnualTest, UnattendedTheProportionComesFromTheAnswerSourceOrTheFirmIsRefused) {
  struct Case {
    std::string answer;
    std::uint16_t proportion;
    bool refused;
  };
  for (const Case& c : {Case{"37", 37, false}, Case{"", 0, true}, Case{"101", 0, true}}) {
    SCOPED_TRACE(c.answer);
    std::string src = SourceFile(7);
    PutWord(src, 0x76, 85);
    PutWord(src, 0x78, 0);
    Put2019(src);
    FixedAnswer answers(c.answer);
    copier.answers = &answers;
    AnnualResult r = Run();
    copier.answers = nullptr;
    EXPECT_EQ(r.firmVatProportion, c.proportion);
    EXPECT_EQ(r.proportionRefused, c.refused);
    ASSERT_EQ(answers.asked.size(), 1u);
    EXPECT_EQ(answers.asked[0], convert::Question::kVatProportion);
    EXPECT_EQ(KeysLeft(), 0u) << "no input box, no key";
  }
}

}  // namespace
}  // namespace zq::test
