// Each fuzz target on every input kept for it: the seed corpus and each input that once
// broke an invariant or crashed. A target aborts on a broken invariant; the path it was
// fed is printed first, so the failing input is named.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz.h"

namespace zq::fuzz {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> KeptInputs(const std::string& target) {
  std::vector<fs::path> files;
  for (const char* kind : {"regressions", "corpus"}) {
    const fs::path dir = fs::path(ZQ_FUZZ_DIR) / kind / target;
    if (!fs::is_directory(dir)) continue;
    for (const auto& e : fs::directory_iterator(dir))
      if (e.is_regular_file()) files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(FuzzRegressions, EveryKeptInputHoldsItsTargetsInvariants) {
  std::size_t fed = 0;
  for (const Target& target : Targets()) {
    const auto inputs = KeptInputs(target.name);
    // A target without seeds would be fuzzed from nothing and tested by nothing.
    EXPECT_FALSE(inputs.empty()) << target.name << " has no seed corpus";
    for (const fs::path& path : inputs) {
      std::fprintf(stderr, "%s\n", path.c_str());
      std::ifstream in(path, std::ios::binary);
      const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                            std::istreambuf_iterator<char>()};
      target.run(Input(bytes.data(), bytes.size()));
      ++fed;
    }
  }
  EXPECT_GT(fed, 0u);
}

}  // namespace
}  // namespace zq::fuzz
