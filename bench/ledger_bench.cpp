// The entries and payroll records one firm keyed into 2020: twelve months of 2,000
// entries (with a few repayments each) and 200 payroll records, converted by the
// per-firm run's own rows, against `cp` of the same files in the same run. Reports the
// best of several rounds, records per second, and the file calls per record as counted
// under the program (each is one system call of the host's file layer). The progress
// log goes to a headless screen, so the time includes keeping the log but not a
// terminal's drawing.
// Run by hand, once with TMPDIR=/dev/shm and once on disk:
//   zq_bench_ledger_bench [entries per month] [payroll records] [rounds]
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
#include "convert/ledger.h"
#include "convert/payroll.h"
#include "driver/firm_items.h"
#include "driver/firm_run.h"
#include "driver/run_state.h"
#include "platform/headless/headless.h"
#include "platform/host.h"
#include "sample.h"
#include "sample_ledger.h"

namespace {

using namespace zq::bench;

namespace fs = std::filesystem;
using namespace zq;

void Shell(const std::string& command) {
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int perMonth = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
  const int persons = argc > 2 ? std::max(1, std::atoi(argv[2])) : 200;
  const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;

  std::random_device seed;
  const fs::path base = fs::temp_directory_path() / ("zqbench-ledger-" + std::to_string(seed()));
  const fs::path source = base / "DOR_2019" / "FIRMA";
  fs::create_directories(source);
  sample::Rng rng(2020);
  int serial = 0;
  std::uint64_t entries = 0, repayments = 0;
  for (int m = 1; m <= 12; ++m) {
    const std::string suffix = "." + std::to_string(m);
    WriteBytes(source / ("2020K880" + suffix),
               sample::LedgerEntries(rng, m, perMonth, true, serial));
    WriteBytes(source / ("2020SP" + suffix), sample::Repayments(rng, m, 20));
    entries += static_cast<std::uint64_t>(perMonth);
    repayments += 20;
  }
  WriteBytes(source / "2020WP2.REK", sample::PayrollRecords(rng, persons, 12));
  std::uint64_t sourceBytes = 0;
  for (auto& e : fs::directory_iterator(source)) sourceBytes += e.file_size();
  const std::uint64_t records = entries + repayments + static_cast<std::uint64_t>(persons);
  std::printf("in %s: %llu entries, %llu repayments, %d payroll records, %.1f MB\n", base.c_str(),
              static_cast<unsigned long long>(entries), static_cast<unsigned long long>(repayments),
              persons, static_cast<double>(sourceBytes) / (1 << 20));

  zq::bench::HeadlessRig rig;
  driver::RunState run(rig.platform);
  run.options.sourceTree = (base / "DOR_2019").string() + "/";
  run.options.targetTree = (base / "DOR_2020").string() + "/";
  driver::FirmRunShared shared;
  std::vector<driver::FirmItem> rows;
  for (const driver::FirmItem& item : driver::FirmItems())
    if (item.number == 28 || item.number == 29) rows.push_back(item);

  const fs::path target = base / "DOR_2020" / "FIRMA";
  const fs::path copied = base / "cp";
  double best = 1e9, bestCp = 1e9;
  Counts counts;
  for (int round = 0; round < rounds; ++round) {
    fs::remove_all(copied);
    auto start = Clock::now();
    Shell("cp -r '" + source.string() + "' '" + copied.string() + "'");
    bestCp = std::min(bestCp, Since(start));

    fs::remove_all(target);
    fs::create_directories(target);
    driver::FirmContext firm(run, shared, "FIRMA");
    firm.ledger.vatProportional = true;
    firm.ledger.vatProportion = 75;
    rig.files.counts = {};
    start = Clock::now();
    for (const driver::FirmItem& item : rows) driver::RunFirmItem(firm, item);
    best = std::min(best, Since(start));
    counts = rig.files.counts;
  }

  std::printf("%-28s %10s %10s %8s %14s\n", "", "best s", "cp -r s", "ratio", "records/s");
  std::printf("%-28s %10.3f %10.3f %8.2f %14.0f\n", "entries, repayments, payroll", best, bestCp,
              best / bestCp, static_cast<double>(records) / best);
  std::printf(
      "file calls: %llu opens, %llu reads, %llu writes, %llu other: %.4f per record\n",
      static_cast<unsigned long long>(counts.opens), static_cast<unsigned long long>(counts.reads),
      static_cast<unsigned long long>(counts.writes), static_cast<unsigned long long>(counts.other),
      static_cast<double>(counts.Calls()) / static_cast<double>(records));
  fs::remove_all(base);
  return 0;
}
