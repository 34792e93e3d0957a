// Times the staff items of one firm of 2,000 persons, 5,000 family members, 2,000
// contracts and 2,000 forms each of PID-5 and PIT-28 (persons, families, contracts,
// both forms) against `cp` of the same five files in the same run, best of several
// rounds, on tmpfs and on disk; the persons once plain and once protected. Then counts
// the file calls the items make per file (a counting files decorator) and the system
// calls of the items and of `cp` (`strace -f -c`, when it is installed).
// Run by hand: zq_bench_staff_bench [rounds] [tmpfs dir] [disk dir]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "convert/copy.h"
#include "convert/progress_log.h"
#include "convert/staff.h"
#include "platform/forwarding_files.h"
#include "platform/headless/headless.h"
#include "platform/host.h"
#include "sample_staff.h"
#include "tui/screen.h"

namespace {

using namespace zq::bench;

namespace fs = std::filesystem;
using namespace zq;

constexpr const char* kNames[] = {"DANE_PR8.REK", "DANE_PF8.REK", "2020UZ3.REK", "2019p5.13",
                                  "2019_p28.rek"};

void MakeFirm(const fs::path& dir, bool protect) {
  fs::create_directories(dir);
  sample::Rng rng(2020);
  sample::StaffFiles files = sample::MakeStaffFiles(rng, {.persons = 2000,
                                                          .familyMembers = 5000,
                                                          .contracts = 2000,
                                                          .forms = 2000,
                                                          .protect = protect,
                                                          .seed = sample::kStaffSeeds[2]});
  WriteBytes(dir / kNames[0], files.persons);
  WriteBytes(dir / kNames[1], files.families);
  WriteBytes(dir / kNames[2], files.contracts);
  WriteBytes(dir / kNames[3], files.pid5);
  WriteBytes(dir / kNames[4], files.pit28);
}

// The five items of one firm into `to`, on a headless screen; the file calls made.
long RunItems(const fs::path& from, const fs::path& to) {
  zq::bench::HeadlessRig rig;
  tui::Screen screen(rig.platform);
  convert::ProgressLog log(screen);
  convert::Copier copier(screen, log);
  copier.overwriteMemory = -1;
  convert::StaffTransfer staff;
  staff.Begin(convert::kCarryAll);
  auto path = [](const fs::path& dir, const char* name) { return (dir / name).string(); };
  convert::ConvertPersons(copier, staff, path(from, kNames[0]), path(to, kNames[0]));
  convert::ConvertFamilies(copier, staff, path(from, kNames[1]), path(to, kNames[1]));
  convert::CopyContracts(copier, staff, path(from, kNames[2]), path(to, kNames[2]));
  convert::ConvertPid5Forms(copier, {}, path(from, kNames[3]), path(to, "2020p5.13"));
  convert::ConvertPit28Forms(copier, {}, path(from, kNames[4]), path(to, "2020_p28.rek"));
  if (staff.movedCount == 0) std::abort();
  return static_cast<long>(rig.files.counts.Calls());
}

void Cp(const fs::path& from, const fs::path& to) {
  std::string command = "cp";
  for (const char* name : kNames) command += " '" + (from / name).string() + "'";
  command += " '" + to.string() + "'";
  if (std::system(command.c_str()) != 0) std::abort();
}

// The calls line of `strace -f -c` for a command, or -1.
long StraceCalls(const std::string& command, const fs::path& out) {
  std::string line = "strace -f -c -o '" + out.string() + "' " + command + " >/dev/null 2>&1";
  if (std::system(line.c_str()) != 0) return -1;
  std::ifstream in(out);
  std::string text;
  long calls = -1;
  while (std::getline(in, text)) {
    if (text.find(" total") == std::string::npos) continue;
    // percent, seconds, usecs/call, calls, errors, "total"
    double percent, seconds;
    long usecs;
    if (std::sscanf(text.c_str(), "%lf %lf %ld %ld", &percent, &seconds, &usecs, &calls) != 4)
      std::sscanf(text.c_str(), "%lf %lf %ld", &percent, &seconds, &calls);
  }
  return calls;
}

void Measure(const fs::path& base, int rounds, const std::string& self) {
  for (bool protect : {false, true}) {
    fs::path src = base / "src", dst = base / "dst", cpDst = base / "cp";
    fs::remove_all(base);
    MakeFirm(src, protect);
    std::uintmax_t bytes = 0;
    for (const char* name : kNames) bytes += fs::file_size(src / name);
    double best = 1e9, bestCp = 1e9;
    for (int round = 0; round < rounds; ++round) {
      fs::remove_all(cpDst);
      fs::create_directories(cpDst);
      bestCp = std::min(bestCp, Seconds([&] { Cp(src, cpDst); }));
      fs::remove_all(dst);
      fs::create_directories(dst);
      best = std::min(best, Seconds([&] { RunItems(src, dst); }));
    }
    std::printf("%-10s %-9s %6.1f MB %9.3f s %9.3f s %7.1fx\n", base.parent_path().c_str(),
                protect ? "protected" : "plain", static_cast<double>(bytes) / (1 << 20), best,
                bestCp, best / bestCp);
    if (protect) continue;
    fs::remove_all(dst);
    fs::create_directories(dst);
    long calls = RunItems(src, dst);
    std::printf("  file calls of the items: %ld, %.1f per file\n", calls, calls / 5.0);
    fs::remove_all(dst);
    fs::create_directories(dst);
    long items = StraceCalls("'" + self + "' --once '" + src.string() + "' '" + dst.string() + "'",
                             base / "strace.items");
    long idle = StraceCalls("'" + self + "' --idle", base / "strace.idle");
    fs::remove_all(cpDst);
    fs::create_directories(cpDst);
    std::string cpCommand = "cp";
    for (const char* name : kNames) cpCommand += " '" + (src / name).string() + "'";
    cpCommand += " '" + cpDst.string() + "'";
    long cp = StraceCalls(cpCommand, base / "strace.cp");
    if (items >= 0 && idle >= 0 && cp >= 0)
      std::printf(
          "  system calls (strace -f -c): items %ld (%.1f per file, program start "
          "of %ld taken off), cp %ld (%.1f per file)\n",
          items - idle, (items - idle) / 5.0, idle, cp, cp / 5.0);
  }
  fs::remove_all(base);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::string(argv[1]) == "--idle") return 0;
  if (argc >= 4 && std::string(argv[1]) == "--once") {
    RunItems(argv[2], argv[3]);
    return 0;
  }
  int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  std::vector<fs::path> places = {argc > 2 ? fs::path(argv[2]) : fs::path("/dev/shm"),
                                  argc > 3 ? fs::path(argv[3]) : fs::current_path()};
  std::string self = fs::absolute(argv[0]).string();
  std::printf("%-10s %-9s %9s %11s %11s %8s\n", "place", "persons", "size", "items", "cp", "ratio");
  for (const fs::path& place : places)
    Measure(place / ("zq-staff-bench-" + std::to_string(::getpid())), rounds, self);
  return 0;
}
