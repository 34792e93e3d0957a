// The libFuzzer entry of one fuzz program. A program holding several targets (the
// record harness has one per converter and filter) runs the one named by ZQ_FUZZ_TARGET;
// ZQ_FUZZ_LIST=1 prints the names, one a line, and ends.
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "fuzz.h"

namespace {
const zq::fuzz::Target* chosen = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const auto& targets = zq::fuzz::Targets();
  if (std::getenv("ZQ_FUZZ_LIST") != nullptr) {
    for (const auto& t : targets) std::printf("%s\n", t.name.c_str());
    std::exit(0);
  }
  const char* name = std::getenv("ZQ_FUZZ_TARGET");
  if (name != nullptr)
    chosen = zq::fuzz::FindTarget(name);
  else if (targets.size() == 1)
    chosen = &targets.front();
  if (chosen == nullptr) {
    std::fprintf(stderr, "zq fuzz: set ZQ_FUZZ_TARGET to one of:\n");
    for (const auto& t : targets) std::fprintf(stderr, "  %s\n", t.name.c_str());
    std::exit(2);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  chosen->run(zq::fuzz::Input(data, size));
  return 0;
}
