// Inserting a full firm list into an empty Target firm list in the worst order: each
// new firm sorts first, so every insert moves every record already there. Reports the
// time and the bytes written to the file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_support.h"
#include "platform/headless/headless.h"
#include "platform/host.h"
#include "shared/firm_list_file.h"
#include "shared/firm_record.h"
#include "tui/screen.h"
#include "tui/shared_file.h"

namespace {

using namespace zq::bench;

using namespace zq;

constexpr int kFirms = 2048;

std::filesystem::path FreshDirectory() {
  std::random_device seed;
  std::filesystem::path dir = std::filesystem::temp_directory_path() /
                              ("zqbench-" + std::to_string(seed()) + std::to_string(seed()));
  std::filesystem::create_directories(dir);
  return dir;
}

// Firm names that sort in reverse order of their number.
std::vector<shared::FirmRecordBytes> WorstOrder() {
  std::vector<shared::FirmRecordBytes> firms;
  for (int i = 0; i < kFirms; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Firma %05d", kFirms - i);
    char directory[16];
    std::snprintf(directory, sizeof directory, "F%05d", kFirms - i);
    firms.push_back(shared::MakeFirmRecord(name, directory, "Uwagi", std::string(36, 'd')));
  }
  return firms;
}

void WorstOrderInsert(benchmark::State& state) {
  const bool window = state.range(0) != 0;
  const std::vector<shared::FirmRecordBytes> firms = WorstOrder();
  Counts total;
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::path dir = FreshDirectory();
    zq::bench::HeadlessRig rig;
    tui::Screen screen(rig.platform);
    tui::SharedFiles sharedFiles(screen);
    sharedFiles.SetProgressDisplay(window);
    auto list = std::make_unique<shared::FirmListFile>(sharedFiles, dir.string() + "/SPISFIRM.DAT");
    if (!list->Open(tui::WaitMode::kAsk, tui::SharedFile::How::kOpen)) {
      state.SkipWithError("cannot create the firm list");
      break;
    }
    state.ResumeTiming();

    for (const auto& firm : firms) {
      if (!list->InsertSorted(firm)) {
        state.SkipWithError("insert failed");
        break;
      }
    }

    state.PauseTiming();
    list->Close();
    // Each insert landed first; the file ends in ascending order.
    std::int64_t records = 0;
    shared::FirmListFile check(sharedFiles, dir.string() + "/SPISFIRM.DAT");
    if (!check.Open(tui::WaitMode::kQuick, tui::SharedFile::How::kOpenExisting) ||
        !check.Size(records) || records != kFirms)
      state.SkipWithError("the firm list does not hold every firm");
    check.Close();
    total.bytesWritten += rig.files.counts.bytesWritten;
    total.writes += rig.files.counts.writes;
    total.reads += rig.files.counts.reads;
    total.flushes += rig.files.counts.flushes;
    std::filesystem::remove_all(dir);
    state.ResumeTiming();
  }
  const double runs = static_cast<double>(state.iterations());
  state.counters["firms"] = kFirms;
  state.counters["bytes_written"] = static_cast<double>(total.bytesWritten) / runs;
  state.counters["record_writes"] = static_cast<double>(total.writes) / runs;
  state.counters["record_reads"] = static_cast<double>(total.reads) / runs;
  state.counters["flushes"] = static_cast<double>(total.flushes) / runs;
}

// Argument: whether the "Wstawianie..." window is shown (it is, unless switched off).
BENCHMARK(WorstOrderInsert)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
