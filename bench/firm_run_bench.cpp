// Carries a generated office into the new year with the global copy and the per-firm
// run, every item on, and in the same run copies the same Source global and firm
// directories with `cp -r`, the floor of what carrying costs. Prints side by side, on tmpfs and on
// disk: wall time (best of the rounds), system calls per firm by kind (counted with strace when it
// is there), the tool's peak resident memory and the share of its time spent drawing the screen;
// then a growth table at 50, 200 and 500 firms on tmpfs, so that the cost per firm is seen to stay
// flat. The screen goes through the display buffer and the terminal renderer as on a
// real terminal, its bytes to /dev/null. Each tool run is a process of its own (this
// program started again with --carry), so that the memory figure is the run's alone.
// Run by hand: zq_bench_firm_run_bench [firms] [rounds] [realistic|small] [--no-growth]
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "driver/discovery.h"
#include "driver/firm_list.h"
#include "driver/firm_run.h"
#include "driver/global_copy.h"
#include "driver/run_state.h"
#include "platform/display_buffer.h"
#include "platform/headless/headless.h"
#include "platform/host.h"
#include "platform/posix/terminal_renderer.h"
#include "sample.h"

namespace {

namespace fs = std::filesystem;
using namespace zq;
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The drawing calls are many and short: they are timed with the processor's time-stamp
// counter where there is one, which costs a fraction of a clock read, and the ticks
// are turned into seconds against the clock over the whole run.
class Ticks {
 public:
  static std::uint64_t Now() {
#if defined(__x86_64__) || defined(__i386__)
    return __rdtsc();
#else
    return static_cast<std::uint64_t>(Clock::now().time_since_epoch().count());
#endif
  }
  void Start() {
    clockStart_ = Clock::now();
    tickStart_ = Now();
  }
  double Seconds(std::uint64_t ticks) const {
    const double clock = Since(clockStart_);
    const auto elapsed = static_cast<double>(Now() - tickStart_);
    return elapsed > 0 ? clock * static_cast<double>(ticks) / elapsed : 0;
  }

 private:
  Clock::time_point clockStart_ = Clock::now();
  std::uint64_t tickStart_ = Now();
};

// A terminal as the program sees it, with the time spent in drawing added up. Keys come
// from a headless console's script.
class TimedTerminal : public platform::Console {
 public:
  TimedTerminal(platform::HeadlessConsole& keys, int fd) : keys_(keys), fd_(fd) {}

  std::uint64_t drawTicks = 0;
  std::size_t bytes = 0;

  bool SetSize(int, int) override { return true; }
  int Columns() const override { return kColumns; }
  int Rows() const override { return kRows; }
  void SetTitle(std::string_view cp852) override {
    Timed([&] { renderer_.Title(cp852); });
  }
  void WriteCells(int column, int row, std::span<const platform::Cell> cells) override {
    Timed([&] { buffer_.WriteCells(column, row, cells); });
  }
  void WriteRows(int row, std::span<const platform::Cell> cells) override {
    Timed([&] { buffer_.WriteRows(row, cells); });
  }
  void ReadCells(int column, int row, std::span<platform::Cell> cells) const override {
    const std::uint64_t start = Ticks::Now();
    buffer_.ReadCells(column, row, cells);
    const_cast<TimedTerminal*>(this)->drawTicks += Ticks::Now() - start;
  }
  void SetCursorPosition(int column, int row) override {
    column_ = column;
    row_ = row;
    buffer_.MarkDirty();
  }
  void SetCursorInfo(platform::CursorInfo info) override {
    cursor_ = info;
    buffer_.MarkDirty();
  }
  platform::CursorInfo GetCursorInfo() const override { return cursor_; }
  bool PollEvent(platform::InputEvent& event) override {
    Frame(true);
    return keys_.PollEvent(event);
  }
  int PendingEvents() override { return keys_.PendingEvents(); }
  void FlushInput() override { keys_.FlushInput(); }
  void Beep(int, int) override {}
  void Flush() override { Frame(false); }
  bool GetClipboard(std::string&) override { return false; }
  bool SetClipboard(std::string_view) override { return false; }

 private:
  template <class F>
  void Timed(F&& f) {
    const std::uint64_t start = Ticks::Now();
    f();
    drawTicks += Ticks::Now() - start;
  }
  void Frame(bool force) {
    Timed([&] {
      long long now =
          std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
              .count();
      if (!buffer_.Flush(renderer_, now, force)) return;
      renderer_.Cursor(column_, row_, cursor_);
      std::string out = renderer_.TakeOutput();
      bytes += out.size();
      if (::write(fd_, out.data(), out.size()) < 0) std::perror("write");
    });
  }

  platform::HeadlessConsole& keys_;
  int fd_;
  platform::DisplayBuffer buffer_;
  platform::TerminalRenderer renderer_;
  int column_ = 0, row_ = 0;
  platform::CursorInfo cursor_;
};

std::string HostTree(const fs::path& tree) {
  std::string path = tree.string();
  if (!path.empty() && path.back() != '/') path += '/';
  return path;
}

// The tool's part: discovery, then the run over every firm offered. Prints seconds of
// the run, seconds of drawing, the peak resident set in KiB, the firms run and added.
int Carry(const fs::path& root) {
  platform::FakeClock clock;
  platform::HeadlessConsole keys(clock);
  platform::HeadlessProcess process(clock);
  std::unique_ptr<platform::Files> files = platform::CreateHostFiles();
  int devNull = ::open("/dev/null", O_WRONLY);
  TimedTerminal terminal(keys, devNull);
  platform::Platform platform{terminal, *files, process};
  driver::RunState run(platform);
  run.options.sourceTree = HostTree(root / "DOR_2019");
  run.options.targetTree = HostTree(root / "DOR_2020");
  // Every item of every page on, the global copy with them, and the extra file list the
  // demo puts beside the program.
  run.options.globalItems = 0x07FF;
  run.options.firmItems = run.options.entered2020Items = run.options.dllItems = 0xFFFF;
  for (std::string_view entry : sample::ExtraFileEntries()) run.extraFiles.emplace_back(entry);
  // Any key answers the repair note and the December warnings; "a" takes the 2020
  // annual settings for every firm that has both years, asked once.
  for (int k = 0; k < 4000; ++k) keys.PushKey('a');

  driver::FirmList firms;
  driver::FirmRunSummary summary;
  Ticks ticks;
  auto start = Clock::now();
  double seconds = 0;
  try {
    driver::RecogniseEnvironment(run, firms);
    start = Clock::now();
    ticks.Start();
    terminal.drawTicks = 0;
    driver::RunGlobalDataCopy(run);
    summary = driver::ConvertSelectedFirms(run, firms);
    seconds = Since(start);
  } catch (const platform::ScriptExhausted&) {
    std::fprintf(stderr, "the run asked more questions than the bench answers\n");
    return 1;
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%.6f %.6f %ld %d %d %zu\n", seconds, ticks.Seconds(terminal.drawTicks),
              usage.ru_maxrss, summary.converted, summary.added, terminal.bytes);
  ::close(devNull);
  return 0;
}

struct CarryResult {
  double seconds = 0, drawSeconds = 0;
  long maxRssKb = 0;
  int converted = 0, added = 0;
  std::size_t bytes = 0;
};

bool RunCarry(const fs::path& root, CarryResult& r) {
  static const std::string self = fs::read_symlink("/proc/self/exe").string();
  std::string command = "'" + self + "' --carry '" + root.string() + "'";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return false;
  int n = std::fscanf(pipe, "%lf %lf %ld %d %d %zu", &r.seconds, &r.drawSeconds, &r.maxRssKb,
                      &r.converted, &r.added, &r.bytes);
  return ::pclose(pipe) == 0 && n == 6;
}

void Shell(const std::string& command) {
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::exit(1);
  }
}

std::uintmax_t TreeBytes(const fs::path& root) {
  std::uintmax_t total = 0;
  for (auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) total += e.file_size();
  return total;
}

std::string Quoted(const fs::path& path) {
  return "'" + path.string() + "'";
}

// System calls of a command by name, from strace's summary; empty without strace.
std::map<std::string, long> CountCalls(const std::string& command, const fs::path& out) {
  std::map<std::string, long> calls;
  static const bool traced = std::system("strace -V >/dev/null 2>&1") == 0;
  if (!traced) return calls;
  if (std::system(("strace -f -c -o " + Quoted(out) + " " + command + " >/dev/null").c_str()) != 0)
    return calls;
  std::ifstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::vector<std::string> words;
    for (std::string w; fields >> w;) words.push_back(w);
    // "% time seconds usecs/call calls [errors] syscall"
    if (words.size() < 5 || words[0].find_first_not_of("0123456789.") != std::string::npos)
      continue;
    if (words.back() != "total") calls[words.back()] += std::atol(words[3].c_str());
  }
  return calls;
}

long Total(const std::map<std::string, long>& calls) {
  long total = 0;
  for (const auto& [name, count] : calls) total += count;
  return total;
}

struct Measure {
  int firms = 0;
  double megabytes = 0;
  double carriedMegabytes = 0;  // what the tool wrote into the Target firm directories
  CarryResult tool;             // the best round
  double cp = 1e9;              // the best round
  long peakKb = 0;
  std::map<std::string, long> toolCalls, cpCalls;
};

// Generates the office under `place`, then carries it and copies it `rounds` times.
bool MeasureOffice(const fs::path& place, int firmCount, int rounds, sample::Office kind,
                   bool countCalls, Measure& m) {
  std::random_device seed;
  fs::path base = place / ("zqbench-firms-" + std::to_string(seed()));
  fs::create_directories(base);
  struct Cleanup {
    fs::path base;
    ~Cleanup() { fs::remove_all(base); }
  } cleanup{base};
  const fs::path root = base / "office", pristineTarget = base / "target";
  sample::Sample office =
      sample::GenerateSample({.seed = 7, .firms = firmCount, .office = kind}, root);
  Shell("cp -r " + Quoted(office.target) + " " + Quoted(pristineTarget));
  std::vector<std::string> dirs;
  std::uintmax_t bytes = 0;
  for (const sample::SampleFirm* firm : office.Discovered()) {
    dirs.push_back(office.SourceFirmPath(*firm).string());
    bytes += TreeBytes(dirs.back());
  }
  m.firms = static_cast<int>(dirs.size());
  m.megabytes = static_cast<double>(bytes) / (1 << 20);
  // The global directory too, which the tool's run carries before the firms.
  std::string cpSources = " " + Quoted(office.source / "#BIN980");
  for (const std::string& d : dirs) cpSources += " '" + d + "'";
  const fs::path copy = base / "cp";
  auto freshTarget = [&] {
    Shell("rm -rf " + Quoted(office.target) + " && cp -r " + Quoted(pristineTarget) + " " +
          Quoted(office.target));
  };
  auto freshCopy = [&] { Shell("rm -rf " + Quoted(copy) + " && mkdir -p " + Quoted(copy)); };
  const std::string cpCommand = "cp -r" + cpSources + " " + Quoted(copy);

  for (int round = 0; round < rounds; ++round) {
    freshTarget();
    CarryResult r;
    if (!RunCarry(office.root, r)) return false;
    if (r.seconds < m.tool.seconds || round == 0) m.tool = r;
    m.peakKb = std::max(m.peakKb, r.maxRssKb);
    std::uintmax_t carried = 0;
    for (const sample::SampleFirm* firm : office.Discovered())
      if (fs::exists(office.TargetFirmPath(*firm)))
        carried += TreeBytes(office.TargetFirmPath(*firm));
    m.carriedMegabytes = static_cast<double>(carried) / (1 << 20);
    freshCopy();
    auto start = Clock::now();
    Shell(cpCommand);
    m.cp = std::min(m.cp, Since(start));
  }
  if (countCalls) {
    static const std::string self = fs::read_symlink("/proc/self/exe").string();
    freshTarget();
    m.toolCalls = CountCalls("'" + self + "' --carry " + Quoted(office.root), base / "tool.calls");
    freshCopy();
    m.cpCalls = CountCalls(cpCommand, base / "cp.calls");
  }
  return true;
}

void PrintSideBySide(const Measure& shm, const Measure& disk) {
  std::printf("%-30s %10s %10s %8s\n", "best of rounds", "tool s", "cp -r s", "ratio");
  for (const auto& [label, m] : {std::pair{"tmpfs", &shm}, std::pair{"disk", &disk}})
    std::printf("%-30s %10.3f %10.3f %8.2f\n", label, m->tool.seconds, m->cp,
                m->tool.seconds / m->cp);
  std::printf("firms run %d, added to the Target firm list %d\n", shm.tool.converted,
              shm.tool.added);
  std::printf("peak resident memory of the tool: %.1f MiB\n",
              static_cast<double>(shm.peakKb) / 1024);
  std::printf("drawing the screen: %.3f s, %.1f%% of the run, %.1f KiB to the terminal\n",
              shm.tool.drawSeconds, 100.0 * shm.tool.drawSeconds / shm.tool.seconds,
              static_cast<double>(shm.tool.bytes) / 1024);
  if (shm.toolCalls.empty()) {
    std::printf("system calls: strace not found\n");
    return;
  }
  std::map<std::string, long> names;
  for (const auto* calls : {&shm.toolCalls, &shm.cpCalls})
    for (const auto& [name, count] : *calls) names[name] += count;
  std::vector<std::pair<long, std::string>> order;
  for (const auto& [name, count] : names) order.emplace_back(-count, name);
  std::sort(order.begin(), order.end());
  const double firms = std::max(1, shm.firms);
  std::printf("\n%-30s %10s %10s\n", "system calls per firm (tmpfs)", "tool", "cp -r");
  for (const auto& [minus, name] : order) {
    auto count = [&](const std::map<std::string, long>& calls) {
      auto it = calls.find(name);
      return it == calls.end() ? 0.0 : static_cast<double>(it->second) / firms;
    };
    if (count(shm.toolCalls) + count(shm.cpCalls) >= 0.5)
      std::printf("  %-28s %10.1f %10.1f\n", name.c_str(), count(shm.toolCalls),
                  count(shm.cpCalls));
  }
  double tool = static_cast<double>(Total(shm.toolCalls)) / firms;
  double cp = static_cast<double>(Total(shm.cpCalls)) / firms;
  std::printf("  %-28s %10.1f %10.1f   ratio %.2f\n", "all", tool, cp, tool / cp);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--carry") return Carry(argv[2]);
  int firmCount = argc > 1 ? std::atoi(argv[1]) : 200;
  int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  sample::Office kind = argc > 3 && std::string(argv[3]) == "small" ? sample::Office::kSmall
                                                                    : sample::Office::kRealistic;
  bool growth = !(argc > 4 && std::string(argv[4]) == "--no-growth");
  if (firmCount <= 0) firmCount = 200;
  if (rounds <= 0) rounds = 3;

  const fs::path tmpfs = "/dev/shm", disk = "/var/tmp";
  std::printf("a %s office of %d firms, best of %d rounds\n",
              kind == sample::Office::kSmall ? "small" : "realistic", firmCount, rounds);
  Measure onTmpfs, onDisk;
  if (!MeasureOffice(tmpfs, firmCount, rounds, kind, true, onTmpfs) ||
      !MeasureOffice(disk, firmCount, rounds, kind, false, onDisk)) {
    std::fprintf(stderr, "the tool's run failed\n");
    return 1;
  }
  std::printf(
      "%d firms to carry, %.1f MB in their Source directories (all copied by cp -r),\n"
      "%.1f MB written by the tool into their Target directories\n\n",
      onTmpfs.firms, onTmpfs.megabytes, onTmpfs.carriedMegabytes);
  PrintSideBySide(onTmpfs, onDisk);
  if (!growth) return 0;

  std::printf("\ngrowth on tmpfs, best of %d rounds\n", rounds);
  std::printf("%6s %9s %9s %9s %9s %11s %11s %9s %9s %9s %8s\n", "firms", "MB", "tool MB", "tool s",
              "cp -r s", "tool ms/f", "cp ms/f", "calls/f", "cp c/f", "RSS MiB", "draw %");
  for (int n : {50, 200, 500}) {
    Measure m;
    if (!MeasureOffice(tmpfs, n, rounds, kind, true, m)) return 1;
    double firms = std::max(1, m.firms);
    std::printf("%6d %9.1f %9.1f %9.3f %9.3f %11.2f %11.2f %9.1f %9.1f %9.1f %8.1f\n", m.firms,
                m.megabytes, m.carriedMegabytes, m.tool.seconds, m.cp,
                1000 * m.tool.seconds / firms, 1000 * m.cp / firms,
                static_cast<double>(Total(m.toolCalls)) / firms,
                static_cast<double>(Total(m.cpCalls)) / firms, static_cast<double>(m.peakKb) / 1024,
                100 * m.tool.drawSeconds / m.tool.seconds);
  }
  return 0;
}
