#include "shared/protection.h"

#include <algorithm>
#include <limits>

namespace zq::shared {

namespace {

// The runtime's generator: seed := seed * 134775813 + 1, and a value below n is the
// upper half of seed * n.
class Generator {
 public:
  explicit Generator(std::uint32_t seed) : seed_(seed) {}
  std::uint8_t Below255() {
    seed_ = seed_ * 134775813u + 1u;
    return static_cast<std::uint8_t>((std::uint64_t{seed_} * 255u) >> 32);
  }

 private:
  std::uint32_t seed_;
};

bool Printable(std::uint8_t c) {
  return c >= 0x20 && c != 0x7F;
}

std::size_t CountZeros(std::span<const std::uint8_t> bytes, ProtectedRange range) {
  std::size_t end = std::min(range.end, bytes.size());
  if (range.first >= end) return 0;
  return static_cast<std::size_t>(
      std::count(bytes.begin() + static_cast<std::ptrdiff_t>(range.first),
                 bytes.begin() + static_cast<std::ptrdiff_t>(end), std::uint8_t{0}));
}

// Whether the texts and dates lying wholly below `limit` read as data.
bool PlausibleBelow(RecordView record, const Layout& layout, std::size_t limit) {
  const std::uint8_t* data = record.Data();
  std::size_t size = record.Size();
  for (const Field& field : layout.fields) {
    for (std::size_t i = 0; i < field.count; ++i) {
      Field element = field.At(i);
      if (element.offset + element.width > limit) continue;
      if (field.kind == Kind::Text) {
        // A text that a short record does not reach reads as empty.
        if (element.offset >= size) continue;
        std::size_t length = data[element.offset];
        if (length > element.Capacity() || length > size - element.offset - 1) return false;
        for (std::size_t k = 1; k <= length; ++k)
          if (!Printable(data[element.offset + k])) return false;
      } else if (field.kind == Kind::Date) {
        Date date = record.GetDate(element);
        if (date != Date{} && !DateValid(date)) return false;
      }
    }
  }
  return true;
}

// Most wrong seeds turn the first texts of a record into noise: unscrambling this much of
// it first turns them away without unscrambling the whole record for each.
constexpr std::size_t kPrefixBytes = 96;

// Whether `record` decodes plausibly under `seed`; `scratch` holds it unscrambled then.
bool DecodesUnder(std::span<const std::uint8_t> record, ProtectedRange range, const Layout& layout,
                  std::uint8_t seed, std::vector<std::uint8_t>& scratch) {
  const std::size_t prefix = std::min(record.size(), range.first + kPrefixBytes);
  if (prefix < record.size()) {
    // What the prefix decodes to is what the whole record decodes to there, and a field
    // wholly inside it is judged as the whole record's check would judge it.
    scratch.assign(record.begin(), record.begin() + static_cast<std::ptrdiff_t>(prefix));
    Scramble(scratch, range, seed);
    if (!PlausibleBelow(RecordView(std::span<const std::uint8_t>(scratch)), layout, prefix))
      return false;
  }
  scratch.assign(record.begin(), record.end());
  Scramble(scratch, range, seed);
  return DecodesPlausibly(RecordView(std::span<const std::uint8_t>(scratch)), layout);
}

}  // namespace

void Scramble(std::span<std::uint8_t> bytes, ProtectedRange range, std::uint8_t seed) {
  Generator generator(seed);
  std::size_t end = std::min(range.end, bytes.size());
  for (std::size_t i = range.first; i < end; ++i) bytes[i] ^= generator.Below255();
}

bool DecodesPlausibly(RecordView record, const Layout& layout) {
  return PlausibleBelow(record, layout, std::numeric_limits<std::size_t>::max());
}

std::optional<std::uint8_t> RecogniseSeed(std::span<const std::span<const std::uint8_t>> records,
                                          ProtectedRange range, const Layout& layout) {
  int bestCount = 0;
  std::size_t bestZeros = 0;
  std::optional<std::uint8_t> best;
  std::vector<std::uint8_t> scratch;
  for (int candidate = 0; candidate < kSeedCount; ++candidate) {
    auto seed = static_cast<std::uint8_t>(candidate);
    int count = 0;
    std::size_t zeros = 0;
    for (std::span<const std::uint8_t> record : records) {
      if (!DecodesUnder(record, range, layout, seed, scratch)) continue;
      ++count;
      zeros += CountZeros(scratch, range);
    }
    if (count > bestCount || (count == bestCount && count > 0 && zeros > bestZeros)) {
      best = seed;
      bestCount = count;
      bestZeros = zeros;
    }
  }
  return best;
}

bool SeedRecogniser::TryDecode(std::span<const std::uint8_t> record, std::uint8_t seed,
                               std::size_t* zeros) {
  if (!DecodesUnder(record, range_, layout_, seed, scratch_)) return false;
  if (zeros) *zeros = CountZeros(scratch_, range_);
  return true;
}

SeedRecogniser::Result SeedRecogniser::Unprotect(std::span<std::uint8_t> record) {
  std::optional<std::uint8_t> chosen;
  std::optional<std::uint8_t> usual = FileSeed();
  if (usual && TryDecode(record, *usual)) {
    chosen = usual;
  } else {
    int bestTally = -1;
    std::size_t bestZeros = 0;
    for (int candidate = 0; candidate < kSeedCount; ++candidate) {
      auto seed = static_cast<std::uint8_t>(candidate);
      std::size_t zeros = 0;
      if (!TryDecode(record, seed, &zeros)) continue;
      int tally = tally_[seed];
      if (tally > bestTally || (tally == bestTally && zeros > bestZeros)) {
        chosen = seed;
        bestTally = tally;
        bestZeros = zeros;
      }
    }
  }
  if (!chosen) {
    ++undecodable_;
    return {};
  }
  ++tally_[*chosen];
  Scramble(record, range_, *chosen);
  return {true, *chosen};
}

std::optional<std::uint8_t> SeedRecogniser::FileSeed() const {
  auto top = std::max_element(tally_.begin(), tally_.end());
  if (*top == 0) return std::nullopt;
  return static_cast<std::uint8_t>(top - tally_.begin());
}

}  // namespace zq::shared
