#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "copy_fixture.h"

namespace zq::test {
namespace {

using convert::RecordConverter;
using convert::RecordFilter;

class RecordCopyTest : public CopyFixture {
 protected:
  void Copy(std::uint16_t size, const RecordFilter& filter = nullptr) {
    copier.CopyRecords(Path("src.rek"), Path("dst.rek"), size, filter);
  }
  void Convert(std::uint16_t in, std::uint16_t out, const RecordConverter& converter) {
    copier.ConvertRecords(Path("src.rek"), Path("dst.rek"), in, out, converter);
  }
  std::string Src() const { return Cp852ToUtf8(Path("src.rek")); }
  std::string Dst() const { return Cp852ToUtf8(Path("dst.rek")); }
};

TEST_F(RecordCopyTest, CopiesRecordsAndTheShortTailExactly) {
  log.Clear(true);
  for (std::uint16_t size : {103, 512, 26624}) {
    SCOPED_TRACE(size);
    std::string bytes = Pattern(size * 7u + 50u, size);
    Write("src.rek", bytes);
    std::filesystem::remove(dir / "dst.rek");
    Copy(size);
    EXPECT_EQ(Read("dst.rek"), bytes);
    EXPECT_EQ(sink.Lines().back(), "9|Kopiuje " + Src() + "  7 pozycji ...");
    // 1, then a read and a write for each of the 8 records and the final empty read.
    EXPECT_EQ(copier.recordCounter, 1 + 2 * 8 + 1);
  }
  // Each copy warns of its short last record first, then announces itself.
  EXPECT_EQ(AttrAt(1, 1), 14);
  EXPECT_EQ(AttrAt(1, 2), 9);
  EXPECT_EQ(KeysLeft(), 0u);
}

// One copier carries file after file, large records and small, each ending in a short
// record: every target holds its own source's records, a conversion's short record
// padded with zeros, and nothing of the file carried before it.
TEST_F(RecordCopyTest, FileAfterFileOfEveryRecordSizeTheItemsUse) {
  const std::uint16_t sizes[] = {13952, 48, 2048, 352, 1024, 552, 400, 13952, 26624};
  unsigned seed = 1;
  for (bool convert : {false, true}) {
    for (std::uint16_t size : sizes) {
      SCOPED_TRACE(std::to_string(size) + (convert ? " converted" : " copied"));
      const std::size_t tail = size / 3 + 1;
      std::string bytes = Pattern(size * 5u + tail, ++seed);
      Write("src.rek", bytes);
      std::filesystem::remove(dir / "dst.rek");
      if (convert) {
        Convert(size, size, [](std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
          std::copy(in.begin(), in.end(), out.begin());
          return true;
        });
        bytes.append(size - tail, '\0');
      } else {
        Copy(size);
      }
      EXPECT_EQ(Read("dst.rek"), bytes);
    }
  }
}

TEST_F(RecordCopyTest, FilterChangesDropsAndSeesAZeroedTail) {
  std::string bytes(10, '\xFF');
  bytes += std::string(10, 'b') + std::string(10, 'c') + "dd";
  Write("src.rek", bytes);
  std::vector<std::string> seen;
  std::vector<int> counters;
  Copy(10, [&](std::span<std::uint8_t> record) {
    seen.emplace_back(record.begin(), record.end());
    counters.push_back(copier.recordCounter);
    if (record[0] == 'b') return false;
    record[0] = 'X';
    record[9] = 'Y';  // past the short tail: never written
    return true;
  });
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[3], std::string("dd") + std::string(8, '\0'));
  EXPECT_EQ(Read("dst.rek"), "X" + std::string(8, '\xFF') + "Y" + "XccccccccY" + "Xd");
  // Record counter: read +1, write +1; the dropped record only counts its read.
  EXPECT_EQ(counters, (std::vector<int>{2, 4, 5, 7}));
  EXPECT_EQ(copier.recordCounter, 9);
}

TEST_F(RecordCopyTest, ConverterGetsAZeroedOutputAndAZeroedTail) {
  std::string bytes = std::string(160, '\xAA') + std::string(160, '\xBB') + "tail";
  Write("src.rek", bytes);
  copier.recordCounter = 77;
  int calls = 0;
  Convert(160, 512, [&](std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
    ++calls;
    EXPECT_EQ(in.size(), 160u);
    EXPECT_EQ(out.size(), 512u);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](std::uint8_t b) { return b == 0; }));
    if (in[0] == 0xBB) return false;
    if (in[0] == 't') {
      EXPECT_TRUE(std::all_of(in.begin() + 4, in.end(), [](std::uint8_t b) { return b == 0; }));
    }
    std::copy(in.begin(), in.end(), out.begin());
    std::fill(out.begin() + 160, out.end(), in[0]);
    return true;
  });
  EXPECT_EQ(calls, 3);
  std::string expected = std::string(160, '\xAA') + std::string(352, '\xAA');
  expected += "tail" + std::string(156, '\0') + std::string(352, 't');
  EXPECT_EQ(Read("dst.rek"), expected);
  EXPECT_EQ(sink.Lines().back(), "9|Kopiuje " + Src() + "  2 pozycji ...");
  EXPECT_EQ(copier.recordCounter, 77);
}

TEST_F(RecordCopyTest, ConversionWithoutConverterCreatesAnEmptyTarget) {
  Write("src.rek", Pattern(1000));
  Convert(100, 200, nullptr);
  EXPECT_TRUE(Exists("dst.rek"));
  EXPECT_EQ(Read("dst.rek"), "");
}

TEST_F(RecordCopyTest, MissingSourceIsReported) {
  copier.recordCounter = 50;
  Copy(100);
  EXPECT_EQ(copier.recordCounter, 1);
  Write("src.rek", "");
  Convert(100, 100, nullptr);
  EXPECT_EQ(sink.Lines(), (std::vector<std::string>{"14|Brak pliku źródłowego " + Src(),
                                                    "14|Brak pliku źródłowego " + Src()}));
  EXPECT_FALSE(Exists("dst.rek"));
  EXPECT_EQ(KeysLeft(), 0u);
}

TEST_F(RecordCopyTest, AppendModeExtendsWithoutAsking) {
  copier.appendMode = true;
  Write("src.rek", "abcdef");
  Write("dst.rek", "123");
  Copy(3);
  EXPECT_EQ(Read("dst.rek"), "123abcdef");
  Convert(3, 4, [](auto in, auto out) {
    std::copy(in.begin(), in.end(), out.begin());
    out[3] = '|';
    return true;
  });
  EXPECT_EQ(Read("dst.rek"), "123abcdefabc|def|");
  // A missing or empty target is simply created.
  copier.CopyRecords(Path("src.rek"), Path("nowy.rek"), 3, nullptr);
  EXPECT_EQ(Read("nowy.rek"), "abcdef");
  Write("pusty.rek", "");
  copier.ConvertRecords(Path("src.rek"), Path("pusty.rek"), 6, 6, [](auto in, auto out) {
    std::copy(in.begin(), in.end(), out.begin());
    return true;
  });
  EXPECT_EQ(Read("pusty.rek"), "abcdef");
  EXPECT_EQ(KeysLeft(), 0u);

  // Without append mode the existing target brings the question.
  copier.appendMode = false;
  Key('W');
  Copy(3);
  EXPECT_EQ(Read("dst.rek"), "abcdef");
  EXPECT_EQ(KeysLeft(), 0u);
}

TEST_F(RecordCopyTest, AppendingToTheSourceItselfIsRefused) {
  copier.appendMode = true;
  Write("src.rek", "abcdef");
  Key(' ');
  copier.CopyRecords(Path("src.rek"), Path("SRC.REK"), 3, nullptr);
  EXPECT_EQ(Read("src.rek"), "abcdef");
  EXPECT_EQ(sink.Lines().back(), "12|Błąd Utworzenia pliku " + Cp852ToUtf8(Path("SRC.REK")));
  EXPECT_EQ(KeysLeft(), 0u);
}

TEST_F(RecordCopyTest, KeptTargetEndsTheCallQuietly) {
  Write("src.rek", "abcdef");
  Write("dst.rek", "stare");
  Key('Z');
  Copy(3);
  Key('z');
  Convert(3, 3, nullptr);
  EXPECT_EQ(Read("dst.rek"), "stare");
  EXPECT_EQ(copier.recordCounter, 1);
  EXPECT_EQ(files.Stats(Path("src.rek")).opens, 0);
}

TEST_F(RecordCopyTest, OpenFailures) {
  Write("src.rek", "abcdef");
  files.Plan(Path("src.rek"), {.failOpen = true});
  Key(' ');
  Copy(3);
  EXPECT_EQ(sink.Lines().back(), "12|Błąd otwarcia pliku " + Src());
  EXPECT_EQ(KeysLeft(), 0u);
  Key(' ');
  Convert(3, 3, nullptr);
  EXPECT_EQ(sink.Lines().back(), "12|Błąd otwarcia pliku " + Src());
  EXPECT_EQ(KeysLeft(), 0u);
  EXPECT_FALSE(Exists("dst.rek"));
  files.ClearPlans();

  std::filesystem::create_directory(dir / "dst.rek");
  Key(' ');
  Copy(3);
  EXPECT_EQ(sink.Lines().back(), "12|Błąd Utworzenia pliku " + Dst());
  EXPECT_EQ(KeysLeft(), 0u);
  Key(' ');
  copier.ConvertRecords(Path("src.rek"), Path("brak/dst.rek"), 3, 3, nullptr);
  EXPECT_EQ(sink.Lines().back(), "12|Błąd Utworzenia pliku " + Cp852ToUtf8(Path("brak/dst.rek")));
  EXPECT_EQ(KeysLeft(), 0u);
  EXPECT_EQ(files.Stats(Path("src.rek")).closes, 2);
}

TEST_F(RecordCopyTest, ReadErrorStopsAfterTheWholeRecordsBeforeIt) {
  std::string bytes = Pattern(103 * 1000);
  Write("src.rek", bytes);
  files.Plan(Path("src.rek"), {.readFailsAfter = 103 * 700 + 50});
  Key(' ');
  Copy(103);
  EXPECT_EQ(sink.Lines().back(), "12|Błąd odczytu danych");
  EXPECT_EQ(KeysLeft(), 0u);
  EXPECT_EQ(Read("dst.rek"), bytes.substr(0, 103 * 700));
  // 700 records read and written, then the failing read.
  EXPECT_EQ(copier.recordCounter, 1 + 2 * 700 + 1);

  copier.overwriteMemory = -1;
  Key(' ');
  Convert(103, 103, [](auto in, auto out) {
    std::copy(in.begin(), in.end(), out.begin());
    return true;
  });
  EXPECT_EQ(sink.Lines().back(), "12|Błąd odczytu danych");
  EXPECT_EQ(KeysLeft(), 0u);
  EXPECT_EQ(Read("dst.rek"), bytes.substr(0, 103 * 700));
}

TEST_F(RecordCopyTest, WriteErrors) {
  copier.overwriteMemory = -1;
  Write("src.rek", Pattern(512 * 300));
  Key(' ');
  copier.CopyRecords(Path("src.rek"), FullDisk(), 512, nullptr);
  EXPECT_EQ(sink.Lines().back(), "12|Błąd zapisu danych");
  EXPECT_EQ(KeysLeft(), 0u);
  Key(' ');
  copier.ConvertRecords(Path("src.rek"), FullDisk(), 512, 1024, [](auto, auto) { return true; });
  EXPECT_EQ(sink.Lines().back(), "12|Błąd zapisu danych");
  EXPECT_EQ(KeysLeft(), 0u);

  files.Plan(Path("dst.rek"), {.writeChunk = 100, .writeStallsAfter = 5000});
  Key(' ');
  Copy(512);
  EXPECT_EQ(sink.Lines().back(), "12|Błąd zapisu danych");
  EXPECT_EQ(KeysLeft(), 0u);
  EXPECT_EQ(Read("dst.rek"), Pattern(512 * 300).substr(0, 5000));

  // A small file fails only when its buffered records are written out at the end.
  Write("maly.rek", "abcdef");
  files.Plan(Path("dst.rek"), {.writeFailsAfter = 2});
  Key(' ');
  copier.CopyRecords(Path("maly.rek"), Path("dst.rek"), 3, nullptr);
  EXPECT_EQ(sink.Lines().back(), "12|Błąd zapisu danych");
  EXPECT_EQ(KeysLeft(), 0u);
  EXPECT_EQ(Read("dst.rek"), "ab");
}

TEST_F(RecordCopyTest, ShortWritesThatProgressAreFinished) {
  std::string bytes = Pattern(103 * 2000 + 7);
  Write("src.rek", bytes);
  files.Plan(Path("dst.rek"), {.writeChunk = 333});
  copier.overwriteMemory = -1;
  Copy(103);
  EXPECT_EQ(Read("dst.rek"), bytes);
  Convert(103, 103, [](auto in, auto out) {
    std::copy(in.begin(), in.end(), out.begin());
    return true;
  });
  std::string padded = bytes + std::string(96, '\0');
  EXPECT_EQ(Read("dst.rek"), padded);
  EXPECT_EQ(KeysLeft(), 0u);
}

TEST_F(RecordCopyTest, CloseErrorsAreShownForEachFile) {
  Write("src.rek", "abcdef");
  for (const char* name : {"src.rek", "dst.rek", "dst2.rek"})
    files.Plan(Path(name), {.failClose = true});
  for (int i = 0; i < 4; ++i) Key(' ');
  Copy(3);
  copier.ConvertRecords(Path("src.rek"), Path("dst2.rek"), 3, 3, nullptr);
  EXPECT_EQ(sink.Lines(), (std::vector<std::string>{
                              "9|Kopiuje " + Src() + "  2 pozycji ...",
                              "12|Błąd zamknięcia zbioru " + Src(),
                              "12|Błąd zamknięcia zbioru " + Dst(),
                              "9|Kopiuje " + Src() + "  2 pozycji ...",
                              "12|Błąd zamknięcia zbioru " + Src(),
                              "12|Błąd zamknięcia zbioru " + Cp852ToUtf8(Path("dst2.rek")),
                          }));
  EXPECT_EQ(KeysLeft(), 0u);
  EXPECT_EQ(Read("dst.rek"), "abcdef");
}

TEST_F(RecordCopyTest, SmallRecordsAreReadInBlocks) {
  Write("src.rek", Pattern(103 * 5000));
  Copy(103);
  EXPECT_EQ(Read("dst.rek"), Pattern(103 * 5000));
  EXPECT_LE(files.Stats(Path("src.rek")).reads, 10);
  EXPECT_LE(files.Stats(Path("dst.rek")).writes, 10);
}

}  // namespace
}  // namespace zq::test
