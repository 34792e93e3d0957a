// Time of the Environment recognition over a firm list of 2048 firms on the host's
// files, from the open of the Source list to the returned count:
//   Fresh     every firm in the Source tree only (the first run of the year);
//   SecondRun 2048 firms carried over already (directory in both trees, listed in the
//             Target list) ahead of 2048 still to go, so that every Target lookup of a
//             waiting firm misses in a directory of 2048 entries;
//   Unlisted  2048 firms found in the Target tree but missing from its list: a log
//             line and a warning each, then the key wait of an empty result.
// Run by hand: zq_bench_discovery_bench.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "driver/discovery.h"
#include "driver/run_state.h"
#include "platform/headless/headless.h"
#include "platform/host.h"
#include "shared/firm_record.h"

namespace fs = std::filesystem;

namespace {

using namespace zq::bench;

using zq::driver::FirmList;
using zq::driver::RecogniseEnvironment;
using zq::driver::RunState;

constexpr std::uint16_t kEnter = 0x1C0D;

fs::path MakeTemp() {
  std::string tmpl = (fs::temp_directory_path() / "zqbench-XXXXXX").string();
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) std::abort();
  return buf.data();
}

void WriteList(const fs::path& file, const std::vector<zq::shared::FirmRecordBytes>& records) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  for (const auto& r : records)
    out.write(reinterpret_cast<const char*>(r.data()), static_cast<std::streamsize>(r.size()));
}

std::string Directory(const char* prefix, int i) {
  char name[9];
  std::snprintf(name, sizeof name, "%s%05d", prefix, i);
  return name;
}

zq::shared::FirmRecordBytes Record(const std::string& directory) {
  return zq::shared::MakeFirmRecord("Przedsiebiorstwo " + directory, directory, "notatka",
                                    std::string(36, '\x11'));
}

enum class Shape { kFresh, kSecondRun, kUnlisted };

// One tree per shape, made on first use and removed at exit.
struct Tree {
  explicit Tree(Shape shape) : root(MakeTemp()) {
    fs::path source = root / "DOR_2019", target = root / "DOR_2020";
    fs::create_directories(source / "#BIN980");
    fs::create_directories(target / "#BIN020");
    std::vector<zq::shared::FirmRecordBytes> sourceList, targetList;
    for (int i = 0; i < zq::driver::kMaxFirms; ++i) {
      if (shape == Shape::kFresh) {
        std::string d = Directory("F", i);
        fs::create_directory(source / d);
        sourceList.push_back(Record(d));
        continue;
      }
      std::string carried = Directory("C", i);
      fs::create_directory(source / carried);
      fs::create_directory(target / carried);
      sourceList.push_back(Record(carried));
      if (shape == Shape::kSecondRun) targetList.push_back(Record(carried));
    }
    if (shape == Shape::kSecondRun) {
      for (int i = 0; i < zq::driver::kMaxFirms; ++i) {
        std::string d = Directory("F", i);
        fs::create_directory(source / d);
        sourceList.push_back(Record(d));
      }
    }
    WriteList(source / "SPISFIRM.DAT", sourceList);
    if (!targetList.empty()) WriteList(target / "SPISFIRM.DAT", targetList);
  }
  ~Tree() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  fs::path root;
};

void Discover(benchmark::State& state, Shape shape, int expected) {
  static std::unique_ptr<Tree> trees[3];
  std::unique_ptr<Tree>& tree = trees[static_cast<int>(shape)];
  if (!tree) tree = std::make_unique<Tree>(shape);

  zq::bench::HeadlessRig rig;
  RunState run(rig.platform);
  run.options.sourceTree = (tree->root / "DOR_2019").string() + "\\";
  run.options.targetTree = (tree->root / "DOR_2020").string() + "\\";
  FirmList firms;
  for (auto _ : state) {
    if (expected == 0) rig.console.PushKey(kEnter);  // "Zerowa ilość odczytanych firm"
    int count = RecogniseEnvironment(run, firms);
    if (count != expected) {
      state.SkipWithError("unexpected count");
      break;
    }
    benchmark::DoNotOptimize(count);
  }
  state.counters["firms/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * zq::driver::kMaxFirms, benchmark::Counter::kIsRate);
}

void BM_DiscoverFresh(benchmark::State& state) {
  Discover(state, Shape::kFresh, zq::driver::kMaxFirms);
}
void BM_DiscoverSecondRun(benchmark::State& state) {
  Discover(state, Shape::kSecondRun, zq::driver::kMaxFirms);
}
void BM_DiscoverUnlisted(benchmark::State& state) {
  Discover(state, Shape::kUnlisted, 0);
}

BENCHMARK(BM_DiscoverFresh)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DiscoverSecondRun)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DiscoverUnlisted)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
