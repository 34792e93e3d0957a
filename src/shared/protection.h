// The ledger program's two record protections: a byte range XOR-ed with the stream of
// its runtime's random generator started from a seed. Each is its own inverse.
//
// Only the ledger program's own seeds give files it can read, and a wrong seed turns
// names and rights into noise that a converter would then cut and write back. So the
// seed is never assumed: it is recognised from the data, as the one of the 256 under
// which the records decode plausibly, and the records are scrambled again with it.
// A record that no seed decodes is carried byte for byte and reported.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "shared/record.h"

namespace zq::shared {

// The bytes a protection covers: [first, end).
struct ProtectedRange {
  std::size_t first = 0;
  std::size_t end = 0;
};

// Person records (2048 bytes): offsets 0x00E .. 0x7E5.
inline constexpr ProtectedRange kPersonProtection{0x00E, 0x7E6};
// Operator records and other 512-byte blocks: all of them.
inline constexpr ProtectedRange kBlockProtection{0, 512};
inline constexpr int kSeedCount = 256;

// XORs the part of `range` that lies inside `bytes` with the generator's stream from
// `seed`. A short record is scrambled as far as it goes.
void Scramble(std::span<std::uint8_t> bytes, ProtectedRange range, std::uint8_t seed);
inline void ProtectRecord(std::span<std::uint8_t> person, std::uint8_t seed) {
  Scramble(person, kPersonProtection, seed);
}
inline void ProtectBlock(std::span<std::uint8_t> block, std::uint8_t seed) {
  Scramble(block, kBlockProtection, seed);
}

// Whether a record reads as data rather than noise under `layout`: every text's length
// within its field and the record, its characters printable (no control codes), every
// date zero or valid. Other kinds are not looked at.
bool DecodesPlausibly(RecordView record, const Layout& layout);

// The seed under which most of `records` (all scrambled with one seed) decode plausibly;
// between equals, the one that decodes more bytes to zero, as the unused tails of real
// records are. None when no seed decodes any record.
std::optional<std::uint8_t> RecogniseSeed(std::span<const std::span<const std::uint8_t>> records,
                                          ProtectedRange range, const Layout& layout);

// The same recognition for a converter that sees one record at a time. The seed that
// most records have decoded under so far is tried first, so a sparse record that several
// seeds would pass is read like its neighbours.
class SeedRecogniser {
 public:
  SeedRecogniser(ProtectedRange range, const Layout& layout) : range_(range), layout_(layout) {}

  struct Result {
    bool decoded = false;   // false: no seed fits and the record is left as it was
    std::uint8_t seed = 0;  // the seed to scramble it again with
  };
  // Unscrambles `record` in place when some seed decodes it plausibly.
  Result Unprotect(std::span<std::uint8_t> record);
  // Scrambles a record that Unprotect decoded, with the seed it answered.
  void Protect(std::span<std::uint8_t> record, std::uint8_t seed) const {
    Scramble(record, range_, seed);
  }

  // The seed most records decoded under; none before the first decoded record.
  std::optional<std::uint8_t> FileSeed() const;
  int Undecodable() const { return undecodable_; }

 private:
  bool TryDecode(std::span<const std::uint8_t> record, std::uint8_t seed,
                 std::size_t* zeros = nullptr);

  ProtectedRange range_;
  Layout layout_;
  std::array<int, kSeedCount> tally_{};
  int undecodable_ = 0;
  std::vector<std::uint8_t> scratch_;
};

}  // namespace zq::shared
