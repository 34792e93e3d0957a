// Carries one firm with every module file (ten fixed-asset bases of 500 assets each:
// srodki.rek, wyposaz.rek and eight further bases named in stbazy.rek; the asset
// settings; the mileage settings, addresses and cars; a year folder of twelve route-cost
// and twelve trip files) through the module items of the per-firm run, and in the same
// run copies the same files with `cp -r`. Best of several rounds, and the system calls
// of each per file as `strace -f -c` counts them (when strace is there). Each tool run
// is a process of its own, started as this program with --carry.
// Run by hand: TMPDIR=/dev/shm zq_bench_modules_bench [rounds], then on a disk directory.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_support.h"
#include "convert/modules.h"
#include "driver/firm_items.h"
#include "driver/run_state.h"
#include "platform/headless/headless.h"
#include "platform/host.h"
#include "sample.h"
#include "sample_modules.h"

namespace {

using namespace zq::bench;

namespace fs = std::filesystem;
using namespace zq;

constexpr int kAssets = 500;
constexpr const char* kFurtherBases[] = {"MASZ1",  "MASZ2",  "BUD1", "BUD2",
                                         "TRANS1", "TRANS2", "WYP1", "GRUNTY"};

void Write(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Records(sample::Rng& rng, std::size_t size, int count) {
  std::string file(size * static_cast<std::size_t>(count), '\0');
  for (char& c : file) c = static_cast<char>(0x20 + rng.Below(0x5F));
  return file;
}

void MakeFirm(const fs::path& firm) {
  using namespace convert;
  sample::Rng rng(7);
  Write(firm / "srodki.rek", sample::FixedAssetRecords(rng, kAssets));
  Write(firm / "wyposaz.rek", sample::FixedAssetRecords(rng, kAssets));
  std::string list = sample::AssetBaseList(rng, {});
  for (const char* base : kFurtherBases) {
    list += sample::AssetBaseList(rng, {base}).substr(kAssetBaseRecordSize);
    Write(firm / (std::string(base) + ".REK"), sample::FixedAssetRecords(rng, kAssets));
  }
  Write(firm / "stbazy.rek", list);
  Write(firm / "st.cnf", Records(rng, kAssetSettingsRecordSize, 1));
  Write(firm / "dokument.rek", "OT;Przyjecie\r\nLT;Likwidacja\r\n");
  Write(firm / "km.cnf", Records(rng, kMileageSettingsRecordSize, 1));
  Write(firm / "adresy.rek", Records(rng, kMileageAddressRecordSize, 200));
  Write(firm / "samochod.rek", Records(rng, kCarRecordSize, 5));
  for (int month = 1; month <= 12; ++month) {
    Write(firm / "_2020" / ("m" + std::to_string(month) + ".kst"),
          Records(rng, kRouteCostRecordSize, 50));
    Write(firm / "_2020" / ("m" + std::to_string(month) + ".wyj"),
          Records(rng, kTripRecordSize, 100));
  }
}

std::string Spelled(const fs::path& dir) {
  return dir.string() + "/";
}

// The tool's part: the module items of one firm, F, from <root>/src into <root>/dst.
int Carry(const fs::path& root) {
  zq::bench::HeadlessRig rig;
  driver::RunState run(rig.platform);
  run.options.sourceTree = Spelled(root / "src");
  run.options.targetTree = Spelled(root / "dst");
  run.options.dllItems = driver::dll_items::kFixedAssets | driver::dll_items::kMileage140;
  driver::FirmRunShared shared;
  fs::create_directories(root / "dst" / "F");
  driver::FirmContext firm(run, shared, "F");
  auto start = Clock::now();
  for (const driver::FirmItem& item : driver::FirmItems())
    if (item.number >= 33 && item.number <= 44 && driver::ItemEnabled(firm, item))
      driver::RunFirmItem(firm, item);
  std::printf("%.6f %d\n", Since(start), firm.errors);
  return 0;
}

void Shell(const std::string& command) {
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::exit(1);
  }
}

std::string Self() {
  return fs::read_symlink("/proc/self/exe").string();
}

// Calls of the whole command as strace counts them; -1 without strace.
long SystemCalls(const std::string& command, const fs::path& out) {
  if (std::system("command -v strace >/dev/null 2>&1") != 0) return -1;
  Shell("strace -f -c -o '" + out.string() + "' " + command + " >/dev/null");
  std::ifstream in(out);
  std::string line;
  long calls = -1;
  while (std::getline(in, line)) {
    if (line.find("total") == std::string::npos) continue;
    // "100.00    0.001234           5       250        3 total"
    double percent = 0, seconds = 0;
    long usecs = 0;
    if (std::sscanf(line.c_str(), "%lf %lf %ld %ld", &percent, &seconds, &usecs, &calls) != 4)
      calls = -1;
  }
  return calls;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--carry") return Carry(argv[2]);
  const int rounds = argc > 1 && std::atoi(argv[1]) > 0 ? std::atoi(argv[1]) : 5;

  std::random_device seed;
  const fs::path base = fs::temp_directory_path() / ("zqbench-modules-" + std::to_string(seed()));
  const fs::path firm = base / "src" / "F";
  MakeFirm(firm);
  std::size_t count = 0;
  std::uintmax_t bytes = 0;
  for (const auto& e : fs::recursive_directory_iterator(firm))
    if (e.is_regular_file()) {
      ++count;
      bytes += e.file_size();
    }
  std::printf("one firm in %s: %zu files, %.1f MB\n", base.c_str(), count,
              static_cast<double>(bytes) / (1 << 20));

  const std::string carry = "'" + Self() + "' --carry '" + base.string() + "'";
  const std::string cp = "cp -r '" + firm.string() + "' '" + (base / "cp").string() + "'";
  Shell(cp);  // warms the cache
  double bestTool = 1e9, bestCp = 1e9;
  int errors = 0;
  for (int round = 0; round < rounds; ++round) {
    Shell("rm -rf '" + (base / "dst").string() + "' '" + (base / "cp").string() + "'");
    FILE* pipe = ::popen(carry.c_str(), "r");
    double seconds = 0;
    if (!pipe || std::fscanf(pipe, "%lf %d", &seconds, &errors) != 2 || ::pclose(pipe) != 0) {
      std::fprintf(stderr, "the tool's run failed\n");
      fs::remove_all(base);
      return 1;
    }
    bestTool = std::min(bestTool, seconds);
    auto start = Clock::now();
    Shell(cp);
    bestCp = std::min(bestCp, Since(start));
  }
  Shell("rm -rf '" + (base / "dst").string() + "' '" + (base / "cp").string() + "'");
  const long toolCalls = SystemCalls(carry, base / "strace-tool.txt");
  Shell("rm -rf '" + (base / "cp").string() + "'");
  const long cpCalls = SystemCalls(cp, base / "strace-cp.txt");

  std::printf("%-26s %10s %10s %8s\n", "", "tool", "cp -r", "ratio");
  std::printf("%-26s %10.4f %10.4f %8.2f\n", "best seconds", bestTool, bestCp, bestTool / bestCp);
  std::printf("%-26s %10.1f %10.1f\n", "MB/s", static_cast<double>(bytes) / (1 << 20) / bestTool,
              static_cast<double>(bytes) / (1 << 20) / bestCp);
  if (toolCalls >= 0 && cpCalls >= 0)
    std::printf("%-26s %10.1f %10.1f  (whole process, start-up included)\n",
                "system calls per file", static_cast<double>(toolCalls) / count,
                static_cast<double>(cpCalls) / count);
  std::printf("errors the tool counted: %d\n", errors);
  if (toolCalls >= 0) {
    std::printf("\nthe tool's system calls, most frequent first:\n");
    std::fflush(stdout);
    Shell("sed -n '1,10p' '" + (base / "strace-tool.txt").string() + "'");
  }
  fs::remove_all(base);
  return errors == 0 ? 0 : 1;
}
