// Times the global data copy (every global item) and one firm's reference bases (the
// address, automation, transfer, internal-document, interest-list, vehicle, one-off
// depreciation and correction-note items) against `cp` of the same files in the same
// run, best of several rounds, on tmpfs and on disk. The tool's file calls are counted
// through a counting files decorator and reported per file; the system calls of the
// tool (this program started again with --tool) and of `cp` are counted with
// `strace -f -c` when strace is there.
// Run by hand: zq_bench_global_bench [records-scale] [rounds] [dir...]
// (scale 1 gives about 4.5 MB of bases; the dirs default to /dev/shm and the current one).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_support.h"
#include "convert/bases.h"
#include "driver/firm_items.h"
#include "driver/global_copy.h"
#include "driver/run_state.h"
#include "platform/headless/headless.h"
#include "platform/host.h"
#include "shared/protection.h"

namespace {

using namespace zq::bench;

namespace fs = std::filesystem;
using namespace zq;

// Records whose texts are plausible: a length byte within its field, letters after it.
std::string Records(std::mt19937& rng, std::size_t size, std::size_t count) {
  std::string out(size * count, '\0');
  for (char& c : out) c = static_cast<char>('A' + rng() % 26);
  for (std::size_t r = 0; r < count; ++r)
    for (std::size_t at = 0; at < size; at += 13)
      out[r * size + at] = static_cast<char>(rng() % 12);
  return out;
}

std::string Operators(std::mt19937& rng, std::size_t count) {
  std::string out;
  for (std::size_t r = 0; r < count; ++r) {
    std::vector<std::uint8_t> record(512, 0);
    record[0x018] = 10;
    std::memcpy(record.data() + 0x019, "Operator  ", 10);
    record[0x085 + 6] = static_cast<std::uint8_t>(rng() % 32);
    shared::ProtectBlock(record, 91);
    out.append(record.begin(), record.end());
  }
  return out;
}

struct Tree {
  std::vector<std::string> globalFiles;  // names in #BIN980
  std::vector<std::string> firmFiles;    // names in FIRMA
};

Tree Build(const fs::path& source, int scale) {
  std::mt19937 rng(2020);
  Tree tree;
  const fs::path global = source / "#BIN980", firm = source / "FIRMA";
  auto g = [&](const std::string& name, const std::string& bytes) {
    WriteBytes(global / name, bytes);
    tree.globalFiles.push_back(name);
  };
  auto f = [&](const std::string& name, const std::string& bytes) {
    WriteBytes(firm / name, bytes);
    tree.firmFiles.push_back(name);
  };
  std::size_t n = static_cast<std::size_t>(scale);
  g("baza_ad8.rek", Records(rng, 480, 4000 * n));
  g("dor_2019.ini", std::string(4000, 'x') + "\r\n");
  g("baza_us8.rek", Records(rng, 480, 400 * n));
  g("baza_ff.txt", "F2=Sprzedaz\r\n");
  g("2019_BR.REK", Records(rng, 384, 1));
  g("DOR_ZQ.INI", "[DLL]\r\nST=1\r\n");
  g("2019spd.ini", "[PODATEK]\r\nLINIOWY=19\r\n");
  g("2019_lp.cc", Records(rng, 2048, 1));
  g("KOLORY.ZQ", std::string(11, '\x07'));
  g("OPERATOR.REK", Operators(rng, 40 * n));
  g("ZUS_PEL.INI", "[ZUS_PEL]\r\n");
  g("UMOWY.INI", "[UMOWY]\r\n");
  f("baza_ad8.rek", Records(rng, 480, 1000 * n));
  f("baza_sp8.rek", Records(rng, 160, 1000 * n));
  f("baza_za8.rek", Records(rng, 160, 1000 * n));
  f("BAZA_PP8.REK", Records(rng, 432, 1000 * n));
  f("ESTUJ.REK", Records(rng, 768, 500 * n));
  f("BAZA_DW8.REK", Records(rng, 784, 500 * n));
  f("ODS_ZOB.REK", Records(rng, 200, 500 * n));
  f("AUTOV26.REK", Records(rng, 320, 100 * n));
  f("2020_NK8.REK", Records(rng, 848, 500 * n));
  return tree;
}

std::string Slash(const fs::path& p) {
  std::string s = p.string();
  if (s.back() != '/') s += '/';
  return s;
}

struct ToolRun {
  double seconds = 0;
  Counts counts;
};

ToolRun RunTool(const fs::path& source, const fs::path& target) {
  zq::bench::HeadlessRig rig;
  driver::RunState run(rig.platform);
  run.options.sourceTree = Slash(source);
  run.options.targetTree = Slash(target);
  run.options.globalItems = 0x07FF;
  driver::FirmRunShared shared;
  auto start = Clock::now();
  driver::RunGlobalDataCopy(run);
  fs::create_directories(target / "FIRMA");
  driver::FirmContext firm(run, shared, "FIRMA");
  for (const driver::FirmItem& item : driver::FirmItems())
    for (int number : {12, 13, 14, 19, 23, 25, 26, 27, 31})
      if (item.number == number) driver::RunFirmItem(firm, item);
  ToolRun result{Since(start), rig.files.counts};
  return result;
}

void Shell(const std::string& command) {
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::exit(1);
  }
}

std::string CpCommand(const fs::path& source, const fs::path& target, const Tree& tree);

double RunCp(const fs::path& source, const fs::path& target, const Tree& tree) {
  fs::create_directories(target / "FIRMA");
  auto start = Clock::now();
  Shell(CpCommand(source, target, tree));
  return Since(start);
}

std::string CpCommand(const fs::path& source, const fs::path& target, const Tree& tree) {
  std::string firmFiles;
  for (const std::string& name : tree.firmFiles)
    firmFiles += " '" + (source / "FIRMA" / name).string() + "'";
  return "cp -r '" + (source / "#BIN980").string() + "' '" + (target / "#BIN020").string() +
         "' && cp" + firmFiles + " '" + (target / "FIRMA").string() + "'";
}

// System calls of a shell command from strace's summary; -1 without strace.
long Syscalls(const std::string& command, const fs::path& report) {
  if (std::system("command -v strace >/dev/null 2>&1") != 0) return -1;
  std::string traced = "strace -f -c -o '" + report.string() + "' sh -c \"" + command + "\"";
  if (std::system(traced.c_str()) != 0) return -1;
  std::ifstream in(report);
  std::string line, last;
  while (std::getline(in, line))
    if (line.find("total") != std::string::npos) last = line;
  // "100.00  0.001234  5  260  3 total": % time, seconds, usecs/call, calls, errors.
  std::vector<double> numbers;
  std::size_t at = 0;
  while (at < last.size()) {
    char* end = nullptr;
    double v = std::strtod(last.c_str() + at, &end);
    if (end == last.c_str() + at) break;
    numbers.push_back(v);
    at = static_cast<std::size_t>(end - last.c_str());
  }
  if (numbers.size() < 3) return -1;
  return static_cast<long>(numbers.size() >= 4 ? numbers[3] : numbers[2]);
}

}  // namespace

int main(int argc, char** argv) {
  // One run of the tool alone, for strace to count.
  if (argc == 4 && std::string(argv[1]) == "--tool") {
    fs::create_directories(argv[3]);
    RunTool(argv[2], argv[3]);
    return 0;
  }
  int scale = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
  int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  std::vector<fs::path> places;
  for (int i = 3; i < argc; ++i) places.emplace_back(argv[i]);
  if (places.empty()) places = {"/dev/shm", fs::current_path()};

  std::random_device seed;
  for (const fs::path& place : places) {
    fs::path base = place / ("zqbench-global-" + std::to_string(seed()));
    fs::path source = base / "DOR_2019";
    Tree tree = Build(source, scale);
    std::uintmax_t bytes = 0;
    for (auto& e : fs::recursive_directory_iterator(source))
      if (e.is_regular_file()) bytes += e.file_size();
    std::size_t fileCount = tree.globalFiles.size() + tree.firmFiles.size();

    double bestTool = 1e9, bestCp = 1e9;
    ToolRun counted;
    for (int round = 0; round < rounds; ++round) {
      fs::path target = base / "DOR_2020";
      fs::remove_all(target);
      fs::create_directories(target);
      ToolRun r = RunTool(source, target);
      if (r.seconds < bestTool) bestTool = r.seconds;
      counted = r;
      fs::path copy = base / "cp";
      fs::remove_all(copy);
      bestCp = std::min(bestCp, RunCp(source, copy, tree));
    }
    fs::path traced = base / "traced";
    fs::remove_all(traced);
    fs::create_directories(traced / "FIRMA");
    long cpCalls = Syscalls(CpCommand(source, traced, tree), base / "cp.strace");
    fs::remove_all(traced);
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    long toolCalls =
        Syscalls("'" + self + "' --tool '" + source.string() + "' '" + traced.string() + "'",
                 base / "tool.strace");

    std::printf("%s: %zu files, %.1f MB, best of %d rounds\n", place.c_str(), fileCount,
                static_cast<double>(bytes) / (1 << 20), rounds);
    std::printf("  %-28s %10s %10s %8s\n", "", "tool s", "cp s", "ratio");
    std::printf("  %-28s %10.4f %10.4f %8.2f\n", "global copy + firm bases", bestTool, bestCp,
                bestTool / bestCp);
    const Counts& c = counted.counts;
    std::printf(
        "  tool file calls: %llu (opens %llu, reads %llu, writes %llu, closes %llu, "
        "other %llu), %.1f per file\n",
        static_cast<unsigned long long>(c.Calls()), static_cast<unsigned long long>(c.opens),
        static_cast<unsigned long long>(c.reads), static_cast<unsigned long long>(c.writes),
        static_cast<unsigned long long>(c.closes), static_cast<unsigned long long>(c.other),
        static_cast<double>(c.Calls()) / static_cast<double>(fileCount));
    if (cpCalls >= 0 && toolCalls >= 0)
      std::printf(
          "  system calls (strace -f -c, start-up included): tool %ld (%.1f per file), "
          "cp %ld (%.1f per file)\n",
          toolCalls, static_cast<double>(toolCalls) / static_cast<double>(fileCount), cpCalls,
          static_cast<double>(cpCalls) / static_cast<double>(fileCount));
    fs::remove_all(base);
  }
  return 0;
}
