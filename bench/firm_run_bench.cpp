// Carries a generated office of 200 firms (or as many as the first argument says) into
// the new year with the per-firm run, and in the same run copies the same Source firm
// directories with `cp -r`. Reports both times side by side, the tool's peak resident
// memory, and the share of its time spent drawing the screen: the screen goes through
// the display buffer and the terminal renderer as on a real terminal, its bytes to
// /dev/null. Each tool run is a process of its own (this program started again with
// --carry), so that the memory figure is the run's alone.
// Run by hand: zq_bench_firm_run_bench [firms] [rounds]
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "driver/discovery.h"
#include "driver/firm_list.h"
#include "driver/firm_run.h"
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

// A terminal as the program sees it, with the time spent in drawing added up. Keys come
// from a headless console's script.
class TimedTerminal : public platform::Console {
 public:
  TimedTerminal(platform::HeadlessConsole& keys, int fd) : keys_(keys), fd_(fd) {}

  double drawSeconds = 0;
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
  void ReadCells(int column, int row, std::span<platform::Cell> cells) const override {
    auto start = Clock::now();
    buffer_.ReadCells(column, row, cells);
    const_cast<TimedTerminal*>(this)->drawSeconds += Since(start);
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
    auto start = Clock::now();
    f();
    drawSeconds += Since(start);
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
  // Any key answers the repair note and the December warnings; "a" takes the 2020
  // annual settings for every firm that has both years, asked once.
  for (int k = 0; k < 4000; ++k) keys.PushKey('a');

  driver::FirmList firms;
  driver::FirmRunSummary summary;
  auto start = Clock::now();
  double seconds = 0;
  try {
    driver::RecogniseEnvironment(run, firms);
    start = Clock::now();
    terminal.drawSeconds = 0;
    summary = driver::ConvertSelectedFirms(run, firms);
    seconds = Since(start);
  } catch (const platform::ScriptExhausted&) {
    std::fprintf(stderr, "the run asked more questions than the bench answers\n");
    return 1;
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%.6f %.6f %ld %d %d %zu\n", seconds, terminal.drawSeconds, usage.ru_maxrss,
              summary.converted, summary.added, terminal.bytes);
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

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--carry") return Carry(argv[2]);
  int firmCount = argc > 1 ? std::atoi(argv[1]) : 200;
  int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  if (firmCount <= 0) firmCount = 200;
  if (rounds <= 0) rounds = 3;

  std::random_device seed;
  fs::path base = fs::temp_directory_path() / ("zqbench-firms-" + std::to_string(seed()));
  fs::create_directories(base);
  std::printf("generating an office of %d firms in %s ...\n", firmCount, base.c_str());
  sample::Sample office = sample::GenerateSample({.seed = 7, .firms = firmCount}, base / "gen");
  std::vector<std::string> dirs;
  for (const sample::SampleFirm* firm : office.Discovered())
    dirs.push_back(office.SourceFirmPath(*firm).string());
  std::uintmax_t bytes = 0;
  for (const std::string& d : dirs) bytes += TreeBytes(d);
  std::printf("%zu firms to carry, %.1f MB in their Source directories\n\n", dirs.size(),
              static_cast<double>(bytes) / (1 << 20));

  std::string cpSources;
  for (const std::string& d : dirs) cpSources += " '" + d + "'";
  const fs::path run = base / "run", copy = base / "cp";
  Shell("cp -r '" + (base / "gen").string() + "' '" + run.string() + "'");  // warms the cache

  CarryResult best;
  best.seconds = 1e9;
  double bestCp = 1e9;
  long peak = 0;
  for (int round = 0; round < rounds; ++round) {
    Shell("rm -rf '" + run.string() + "' && cp -r '" + (base / "gen").string() + "' '" +
          run.string() + "'");
    CarryResult r;
    if (!RunCarry(run, r)) {
      std::fprintf(stderr, "the tool's run failed\n");
      fs::remove_all(base);
      return 1;
    }
    if (r.seconds < best.seconds) best = r;
    peak = std::max(peak, r.maxRssKb);

    Shell("rm -rf '" + copy.string() + "' && mkdir -p '" + copy.string() + "'");
    auto start = Clock::now();
    Shell("cp -r" + cpSources + " '" + copy.string() + "'");
    bestCp = std::min(bestCp, Since(start));
  }

  std::printf("%-34s %10s %10s %8s\n", "", "tool s", "cp -r s", "ratio");
  std::printf("%-34s %10.3f %10.3f %8.2f\n", "carry the firms (best of rounds)", best.seconds,
              bestCp, best.seconds / bestCp);
  std::printf("firms run %d, added to the Target firm list %d\n", best.converted, best.added);
  std::printf("peak resident memory of the tool: %.1f MiB\n", static_cast<double>(peak) / 1024);
  std::printf("drawing the screen: %.3f s, %.1f%% of the run, %.1f KiB to the terminal\n",
              best.drawSeconds, 100.0 * best.drawSeconds / best.seconds,
              static_cast<double>(best.bytes) / 1024);
  fs::remove_all(base);
  return 0;
}
