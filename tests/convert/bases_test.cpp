#include "convert/bases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <vector>

#include "copy_fixture.h"
#include "shared/protection.h"

namespace zq::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Converter = std::function<bool(std::span<const std::uint8_t>, std::span<std::uint8_t>)>;

// One field of a conversion as the file formats give it: a text (`room` characters in
// the source, `capacity` in the output) or raw bytes carried as they are.
struct Part {
  std::size_t from = 0;
  std::size_t to = 0;
  std::size_t capacity = 0;  // text characters, or raw width when `room` is 0
  std::size_t room = 0;      // source text characters; 0 for raw bytes
};
constexpr Part Text(std::size_t at, std::size_t n) {
  return {at, at, n, n};
}
constexpr Part Widened(std::size_t from, std::size_t room, std::size_t to, std::size_t n) {
  return {from, to, n, room};
}
constexpr Part Raw(std::size_t at, std::size_t n) {
  return {at, at, n, 0};
}
constexpr Part Moved(std::size_t from, std::size_t to, std::size_t n) {
  return {from, to, n, 0};
}

struct ConversionCase {
  const char* name;
  Converter convert;
  std::size_t inSize, outSize;
  std::vector<Part> parts;
  // Bytes the converter sets whatever the input: (offset, value).
  std::vector<std::pair<std::size_t, std::uint8_t>> fixed;
};

Bytes Noise(std::size_t n, unsigned seed) {
  Bytes b(n);
  std::uint32_t x = seed * 2654435761u + 1;
  for (auto& v : b) {
    x = x * 1103515245u + 12345u;
    v = static_cast<std::uint8_t>(x >> 23);
  }
  return b;
}

// The output the file formats call for: zero but for the parts and the fixed bytes.
Bytes Expected(const ConversionCase& c, const Bytes& in) {
  Bytes out(c.outSize, 0);
  for (const Part& p : c.parts) {
    if (p.room == 0) {
      std::memcpy(out.data() + p.to, in.data() + p.from, p.capacity);
      continue;
    }
    std::size_t n = std::min<std::size_t>({in[p.from], p.room, p.capacity});
    out[p.to] = static_cast<std::uint8_t>(n);
    std::memcpy(out.data() + p.to + 1, in.data() + p.from + 1, n);
  }
  for (auto [at, value] : c.fixed) out[at] = value;
  return out;
}

std::vector<Part> AddressParts() {
  std::vector<Part> p = {Raw(0x000, 4),   Text(0x005, 36), Text(0x02A, 36), Text(0x04F, 36),
                         Text(0x074, 18), Text(0x087, 14), Text(0x096, 11), Text(0x0A2, 6),
                         Text(0x0B5, 20), Text(0x0CA, 30), Text(0x0E9, 20), Text(0x0FE, 20),
                         Text(0x113, 36), Raw(0x138, 39),  Text(0x184, 36), Text(0x1A9, 36),
                         Raw(0x1CE, 1)};
  return p;
}

std::vector<Part> InternalDocumentParts() {
  std::vector<Part> p = {Raw(0, 1), Raw(1, 4), Text(5, 22), Text(0x1C, 36), Raw(0x41, 1)};
  for (std::size_t i = 0; i < 10; ++i) {
    p.push_back(Text(0x4A + 61 * i, 36));
    p.push_back(Raw(0x4A + 61 * i + 0x25, 24));
  }
  p.push_back(Text(0x2AC, 31));
  p.push_back(Text(0x2CC, 22));
  return p;
}

std::vector<Part> NoteParts() {
  std::vector<Part> p = {Raw(0, 4),      Text(4, 16),    Raw(0x15, 4),
                         Text(0x19, 20), Text(0x2E, 22), Raw(0x45, 4)};
  for (std::size_t party : {0x049u, 0x0E1u})
    for (auto [at, n] : {std::pair{0x00u, 18u},
                         {0x13u, 36u},
                         {0x38u, 36u},
                         {0x5Du, 6u},
                         {0x64u, 20u},
                         {0x79u, 30u}})
      p.push_back(Text(party + at, n));
  for (std::size_t i = 0; i < 6; ++i) {
    p.push_back(Text(0x179 + 39 * i, 38));
    p.push_back(Text(0x263 + 39 * i, 38));
  }
  return p;
}

std::vector<ConversionCase> Conversions() {
  std::vector<ConversionCase> cases;
  cases.push_back({"address",
                   [](auto in, auto out) { return convert::ConvertAddress(in, out, false); },
                   480,
                   480,
                   AddressParts(),
                   {{0x004, 0}}});
  cases.push_back({"tax office",
                   [](auto in, auto out) { return convert::ConvertAddress(in, out, true); },
                   480,
                   480,
                   {Raw(0, 4), Text(0x005, 48), Text(0x036, 6), Text(0x03D, 26), Text(0x058, 44),
                    Text(0x085, 52), Text(0x0BA, 20), Raw(0x0CF, 5 * 39), Text(0x192, 4)},
                   {{0x004, 1}}});
  std::vector<std::pair<std::size_t, std::uint8_t>> numbering;
  for (std::size_t i = 0; i < 4; ++i) {
    std::size_t at = 0x098 + 13 * i;
    numbering.insert(numbering.end(), {{at, 1},
                                       {at + 1, 0},
                                       {at + 2, 5},
                                       {at + 3, '/'},
                                       {at + 4, '2'},
                                       {at + 5, '0'},
                                       {at + 6, '2'},
                                       {at + 7, '0'}});
  }
  cases.push_back({"office data",
                   convert::ConvertOfficeData,
                   384,
                   384,
                   {Text(0x000, 36), Text(0x025, 36), Text(0x04A, 36), Text(0x06F, 13),
                    Text(0x07D, 26), Text(0x0CC, 40), Text(0x0F5, 36), Raw(0x11A, 1),
                    Text(0x11B, 26), Raw(0x136, 39), Raw(0x15D, 2)},
                   numbering});
  cases.push_back(
      {"automation",
       convert::ConvertAutomation,
       160,
       512,
       {Text(0x000, 18), Widened(0x013, 36, 0x013, 128), Widened(0x038, 36, 0x094, 128),
        Widened(0x05D, 36, 0x115, 80), Widened(0x082, 20, 0x166, 40), Moved(0x097, 0x18F, 1),
        Moved(0x099, 0x191, 1), Moved(0x09A, 0x192, 1), Moved(0x09B, 0x193, 4)},
       {{0x190, 1}}});
  cases.push_back({"transfer of kind 2",
                   convert::ConvertTransfer,
                   432,
                   432,
                   {Raw(0, 1), Text(0x001, 54), Text(0x038, 54), Raw(0x06F, 39), Text(0x096, 54),
                    Text(0x0CD, 54), Raw(0x104, 39), Raw(0x12B, 110), Raw(0x199, 8), Raw(0x1A1, 4),
                    Raw(0x1A5, 2)},
                   {}});
  cases.push_back({"internal document",
                   convert::ConvertInternalDocument,
                   784,
                   784,
                   InternalDocumentParts(),
                   {}});
  cases.push_back({"correction note", convert::ConvertNote, 848, 848, NoteParts(), {}});
  return cases;
}

// Inputs of three kinds: noise (length bytes anything), texts that fit with stale bytes
// behind them, and every length byte 255.
std::vector<Bytes> Inputs(const ConversionCase& c) {
  std::vector<Bytes> inputs;
  for (int kind = 0; kind < 3; ++kind) {
    Bytes in = Noise(c.inSize, static_cast<unsigned>(kind + c.inSize));
    for (const Part& p : c.parts) {
      if (p.room == 0) continue;
      if (kind == 1) in[p.from] = static_cast<std::uint8_t>((p.from * 7) % (p.room + 1));
      if (kind == 2) in[p.from] = 255;
    }
    if (c.inSize == 432) in[0] = 2;  // the transfer kind whose block is never cut
    inputs.push_back(in);
  }
  return inputs;
}

TEST(ReferenceBases, ConvertersRebuildEachRecordFromItsListedFieldsOnly) {
  for (const ConversionCase& c : Conversions()) {
    SCOPED_TRACE(c.name);
    for (const Bytes& in : Inputs(c)) {
      Bytes out(c.outSize, 0);
      EXPECT_TRUE(c.convert(in, out));
      Bytes want = Expected(c, in);
      if (c.outSize == 384 && want[0x0F5] == 0) continue;  // the default text: below
      for (std::size_t i = 0; i < c.outSize; ++i)
        ASSERT_EQ(out[i], want[i]) << "byte 0x" << std::hex << i;
    }
  }
}

TEST(ReferenceBases, ConvertersStayInsideShortRecords) {
  // A record cut short at any point is read only as far as it goes: the output is what
  // the record padded with zeros gives, but that a text running past the end is cut
  // there (a lower length byte), and nothing comes from outside the record.
  for (const ConversionCase& c : Conversions()) {
    SCOPED_TRACE(c.name);
    Bytes whole = Inputs(c)[1];
    for (std::size_t n :
         {std::size_t{0}, std::size_t{1}, std::size_t{7}, c.inSize / 2, c.inSize - 1}) {
      SCOPED_TRACE(n);
      Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
      Bytes padded = cut;
      padded.resize(c.inSize, 0);
      Bytes out(c.outSize, 0), fromPadded(c.outSize, 0);
      c.convert(cut, out);
      c.convert(padded, fromPadded);
      std::size_t lowered = 0;
      for (std::size_t i = 0; i < c.outSize; ++i) {
        ASSERT_LE(out[i], fromPadded[i]) << i;
        lowered += out[i] < fromPadded[i] ? 1 : 0;
      }
      EXPECT_LE(lowered, 1u);  // only the text the cut falls into
    }
  }
}

TEST(ReferenceBases, OfficeDataGetsTheDefaultServiceTextOnlyWhenEmpty) {
  const std::string_view kDefault = "Prowadzenie księgi - {zamiesiac}"_pl;
  for (std::string_view text : {std::string_view{}, std::string_view{"Obsługa kadrowa"}}) {
    Bytes in = Noise(384, 9), out(384);
    in[0x0F5] = static_cast<std::uint8_t>(text.size());
    std::copy(text.begin(), text.end(), in.begin() + 0x0F6);
    convert::ConvertOfficeData(in, out);
    std::string_view want = text.empty() ? kDefault : text;
    EXPECT_EQ(out[0x0F5], want.size());
    EXPECT_EQ(std::string(out.begin() + 0x0F6, out.begin() + 0x0F6 + want.size()), want);
    EXPECT_EQ(out[0x0F6 + want.size()], 0);
  }
}

TEST(ReferenceBases, TransferTitleTextsAreCutByTheKind) {
  // kind -> the texts of the block at 0x12B that are cut: (offset, capacity)
  const std::vector<std::pair<std::size_t, std::size_t>> cut[] = {
      {{0x12B, 54}, {0x162, 54}}, {{0x16A, 20}}, {}};
  for (std::uint8_t kind = 0; kind < 3; ++kind) {
    SCOPED_TRACE(int{kind});
    Bytes in = Noise(432, 40 + kind), out(432);
    in[0] = kind;
    for (std::size_t at : {0x12Bu, 0x162u, 0x16Au}) in[at] = 250;
    convert::ConvertTransfer(in, out);
    Bytes block(in.begin() + 0x12B, in.begin() + 0x199);
    for (auto [at, capacity] : cut[kind]) block[at - 0x12B] = static_cast<std::uint8_t>(capacity);
    EXPECT_EQ(Bytes(out.begin() + 0x12B, out.begin() + 0x199), block);
  }
}

// ---------------------------------------------------------------------------------------
// Filters

struct FilterCase {
  const char* name;
  bool (*filter)(std::span<std::uint8_t>);
  std::size_t size;
  std::vector<std::pair<std::size_t, std::size_t>> texts;  // offset, capacity
};

const FilterCase kFilters[] = {
    {"interest list",
     convert::FilterInterestList,
     200,
     {{0x00E, 40}, {0x037, 40}, {0x06C, 30}, {0x092, 20}}},
    {"vehicle", convert::FilterVehicle, 320, {{0x004, 32}, {0x025, 32}, {0x046, 12}}},
    {"one-off asset",
     convert::FilterOneOffAsset,
     768,
     {{0x014, 16},
      {0x025, 16},
      {0x036, 43},
      {0x062, 12},
      {0x06F, 60},
      {0x0AC, 18},
      {0x0C7, 50},
      {0x0FA, 50},
      {0x12D, 50},
      {0x160, 50},
      {0x19B, 43}}},
};

TEST(ReferenceBases, FiltersLowerOnlyOverLongLengthBytes) {
  for (const FilterCase& c : kFilters) {
    SCOPED_TRACE(c.name);
    for (std::uint8_t length : {std::uint8_t{0}, std::uint8_t{5}, std::uint8_t{255}}) {
      Bytes record = Noise(c.size, length), want = record;
      for (auto [at, capacity] : c.texts) {
        record[at] = std::min<std::uint8_t>(length, static_cast<std::uint8_t>(capacity + 1));
        want[at] = std::min<std::uint8_t>(record[at], static_cast<std::uint8_t>(capacity));
      }
      EXPECT_TRUE(c.filter(record));
      EXPECT_EQ(record, want);
    }
    // A record cut short inside a text: what it holds is cut, nothing past it touched.
    Bytes shortRecord = Noise(c.texts.back().first + 1, 3), want = shortRecord;
    for (auto [at, capacity] : c.texts)
      want[at] = std::min<std::uint8_t>(want[at], static_cast<std::uint8_t>(capacity));
    c.filter(shortRecord);
    EXPECT_EQ(shortRecord, want);
  }
}

// ---------------------------------------------------------------------------------------
// Operators

Bytes Operator(std::string_view name, std::uint16_t rights3, std::uint16_t rights5) {
  Bytes r(512, 0);
  r[0x018] = static_cast<std::uint8_t>(name.size());
  std::memcpy(r.data() + 0x019, name.data(), name.size());
  r[0x037] = 4;
  std::memcpy(r.data() + 0x038, "ANNA", 4);
  for (std::size_t g = 0; g < 7; ++g) {
    std::uint16_t v = g == 3 ? rights3 : g == 5 ? rights5 : static_cast<std::uint16_t>(g + 1);
    r[0x085 + 2 * g] = static_cast<std::uint8_t>(v);
    r[0x086 + 2 * g] = static_cast<std::uint8_t>(v >> 8);
  }
  return r;
}

unsigned Rights3(const Bytes& plain) {
  return plain[0x085 + 6] | plain[0x086 + 6] << 8u;
}

TEST(ReferenceBases, OperatorRightsSplitOffByTheNewVersionAreGranted) {
  struct Case {
    std::uint16_t word3, word5, expected;
  };
  const Case cases[] = {
      {0x0004, 0x0002, 0x001C},  // both rules
      {0x0014, 0x0000, 0x0014},  // 0x10 there already
      {0x0000, 0x0002, 0x0008}, {0x0008, 0x0002, 0x0008}, {0x0001, 0x0000, 0x0001},
  };
  for (std::uint8_t seed : {std::uint8_t{3}, std::uint8_t{77}, std::uint8_t{201}}) {
    convert::OperatorFilter filter;  // one file, one seed
    for (const Case& c : cases) {
      Bytes plain = Operator("Anna Wiśniewska"_pl, c.word3, c.word5);
      Bytes record = plain;
      shared::ProtectBlock(record, seed);
      EXPECT_TRUE(filter(record));
      shared::ProtectBlock(record, seed);
      EXPECT_EQ(Rights3(record), c.expected) << int{seed} << " " << c.word3;
      plain[0x085 + 6] = record[0x085 + 6];
      plain[0x086 + 6] = record[0x086 + 6];
      EXPECT_EQ(record, plain);  // nothing else changed
    }
    EXPECT_EQ(filter.Undecodable(), 0);
  }
}

class BaseFileCopyTest : public CopyFixture {};

// A record no seed decodes: under every seed one of its texts claims more than its field.
Bytes Undecodable() {
  const std::size_t at[] = {0x018, 0x037, 0x05D};
  const std::size_t capacity[] = {30, 16, 37};
  std::vector<std::array<std::uint8_t, 3>> streams;
  for (int seed = 0; seed < shared::kSeedCount; ++seed) {
    Bytes zero(512, 0);
    shared::ProtectBlock(zero, static_cast<std::uint8_t>(seed));
    streams.push_back({zero[at[0]], zero[at[1]], zero[at[2]]});
  }
  Bytes record = Noise(512, 11);
  std::vector<bool> open(streams.size(), true);
  for (std::size_t k = 0; k < 3; ++k) {
    // The length byte that leaves the fewest seeds with a plausible length here.
    int best = 0, bestOpen = 1 << 30;
    for (int x = 0; x < 256; ++x) {
      int left = 0;
      for (std::size_t s = 0; s < streams.size(); ++s)
        left += open[s] && (x ^ streams[s][k]) <= static_cast<int>(capacity[k]) ? 1 : 0;
      if (left < bestOpen) best = x, bestOpen = left;
    }
    record[at[k]] = static_cast<std::uint8_t>(best);
    for (std::size_t s = 0; s < streams.size(); ++s)
      open[s] = open[s] && (best ^ streams[s][k]) <= static_cast<int>(capacity[k]);
  }
  return record;
}

TEST_F(BaseFileCopyTest, RecordsNoSeedDecodesAreCarriedAsReadWithOneWarning) {
  Bytes good = Operator("Piotr Kowalski", 0x0004, 0x0000);
  shared::ProtectBlock(good, 42);
  Bytes noise = Undecodable();
  for (int seed = 0; seed < shared::kSeedCount; ++seed) {
    Bytes plain = noise;
    shared::ProtectBlock(plain, static_cast<std::uint8_t>(seed));
    ASSERT_FALSE(shared::DecodesPlausibly(shared::RecordView(std::span<const std::uint8_t>(plain)),
                                          convert::kOperator));
  }
  std::string file(good.begin(), good.end());
  file.append(noise.begin(), noise.end());
  file.append(noise.begin(), noise.begin() + 300);  // a last record cut short
  Write("OPERATOR.REK", file);
  convert::CopyOperators(copier, Path("OPERATOR.REK"), Path("out.rek"));
  std::string out = Read("out.rek");
  ASSERT_EQ(out.size(), file.size());
  EXPECT_EQ(out.substr(512), file.substr(512));  // carried byte for byte
  Bytes first(out.begin(), out.begin() + 512);
  shared::ProtectBlock(first, 42);
  EXPECT_EQ(Rights3(first), 0x0014u);
  int warnings = 0;
  for (const std::string& line : sink.Lines())
    warnings += line.starts_with("14|Nierozpoznane zabezpieczenie") ? 1 : 0;
  EXPECT_EQ(warnings, 1);
  EXPECT_NE(std::find(sink.Lines().begin(), sink.Lines().end(),
                      "14|Niepełny ostatni rekord (300 z 512 bajtów) w " +
                          Cp852ToUtf8(Path("OPERATOR.REK"))),
            sink.Lines().end());
  EXPECT_EQ(KeysLeft(), 0u);
}

TEST_F(BaseFileCopyTest, AFileEndingInsideARecordIsReportedAndItsLastRecordConverted) {
  Bytes whole = Noise(432, 1);
  whole[0] = 2;
  std::string file(whole.begin(), whole.end());
  file += file.substr(0, 100);
  Write("BAZA_PP8.REK", file);
  copier.ConvertRecords(Path("BAZA_PP8.REK"), Path("out.rek"), 432, 432, convert::ConvertTransfer);
  std::string out = Read("out.rek");
  ASSERT_EQ(out.size(), 2 * 432u);
  // The last record converted as if zeros followed its 100 bytes.
  Bytes padded(432, 0), last(432, 0);
  std::copy_n(whole.begin(), 100, padded.begin());
  convert::ConvertTransfer(padded, last);
  EXPECT_EQ(out.substr(432), std::string(last.begin(), last.end()));
  EXPECT_EQ(sink.Lines().front(),
            "14|Niepełny ostatni rekord (100 z 432 bajtów) w " + Cp852ToUtf8(Path("BAZA_PP8.REK")));
  EXPECT_EQ(KeysLeft(), 0u);
}

}  // namespace
}  // namespace zq::test
