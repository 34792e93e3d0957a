// The record protections and the seed recognition. Scrambling is its own inverse for
// any bytes, seed and length; a record the recogniser decodes reads plausibly and
// scrambles back to exactly the bytes it was given; a plausible record scrambled with
// any seed is always decoded.
#include <vector>

#include "convert/staff.h"
#include "fuzz.h"
#include "shared/protection.h"

namespace zq::fuzz {
namespace {

ZQ_FUZZ_TARGET(protection) {
  if (data.empty()) return;
  const std::uint8_t seed = data[0];
  Input rest = data.subspan(1);

  std::vector<std::uint8_t> bytes(rest.begin(), rest.end());
  shared::ProtectRecord(bytes, seed);
  shared::ProtectRecord(bytes, seed);
  ZQ_CHECK(std::equal(bytes.begin(), bytes.end(), rest.begin()),
           "scrambling twice is not the identity");
  shared::ProtectBlock(bytes, seed);
  shared::ProtectBlock(bytes, seed);
  ZQ_CHECK(std::equal(bytes.begin(), bytes.end(), rest.begin()),
           "block scrambling twice is not the identity");

  shared::SeedRecogniser recogniser(shared::kPersonProtection, convert::kPersonRecord);
  std::vector<std::span<const std::uint8_t>> scrambled;
  std::vector<std::vector<std::uint8_t>> kept;
  for (std::size_t at = 0; at < rest.size(); at += convert::kPersonRecordSize) {
    std::vector<std::uint8_t> plain(convert::kPersonRecordSize, 0);
    std::copy_n(rest.begin() + static_cast<std::ptrdiff_t>(at),
                std::min<std::size_t>(convert::kPersonRecordSize, rest.size() - at), plain.begin());
    const bool plausible = shared::DecodesPlausibly(
        shared::RecordView(std::span<const std::uint8_t>(plain)), convert::kPersonRecord);
    std::vector<std::uint8_t> record = plain;
    shared::ProtectRecord(record, seed);
    const std::vector<std::uint8_t> given = record;
    const auto result = recogniser.Unprotect(record);
    if (!result.decoded) {
      ZQ_CHECK(record == given, "an undecoded record was changed");
      ZQ_CHECK(!plausible, "a plausible record scrambled was not decoded");
    } else {
      ZQ_CHECK(shared::DecodesPlausibly(shared::RecordView(std::span<const std::uint8_t>(record)),
                                        convert::kPersonRecord),
               "decoded into noise");
      recogniser.Protect(record, result.seed);
      ZQ_CHECK(record == given, "scrambled again it is not what was read");
    }
    kept.push_back(given);
  }
  for (const auto& r : kept) scrambled.emplace_back(r);
  shared::RecogniseSeed(scrambled, shared::kPersonProtection, convert::kPersonRecord);
}

}  // namespace
}  // namespace zq::fuzz
