// Cost of the progress log on a terminal: a full 80x25 screen, then rows 3..23
// scrolled up by one with a new line at row 23, flushed after every line. Reports
// the bytes sent to the terminal and the time per line; output goes to a string.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platform/display_buffer.h"
#include "platform/posix/terminal_renderer.h"

namespace {

using zq::platform::Cell;
using zq::platform::DisplayBuffer;
using zq::platform::DisplaySink;
using zq::platform::TerminalRenderer;

constexpr int kColumns = DisplayBuffer::kColumns;

std::vector<Cell> LogLine(long n) {
  std::string text = "Kopiuje plik F" + std::to_string(n % 1000) + "\\DANE" + std::to_string(n) +
                     ".DAT -> rekordow: " + std::to_string(n * 7 % 9973);
  text.resize(kColumns, ' ');
  std::vector<Cell> cells;
  for (char c : text) cells.push_back(Cell{static_cast<std::uint8_t>(c), 0x07});
  return cells;
}

void FullScreen(DisplayBuffer& b) {
  for (int r = 0; r < DisplayBuffer::kRows; ++r) b.WriteCells(0, r, LogLine(r));
}

// Rows 3..23 on screen are 2..22 here.
void ScrollLog(DisplayBuffer& b, long n) {
  std::vector<Cell> row(kColumns);
  for (int r = 2; r < 22; ++r) {
    b.ReadCells(0, r + 1, row);
    b.WriteCells(0, r, row);
  }
  b.WriteCells(0, 22, LogLine(n));
}

// The renderer behind a sink that hides its scrolling, to see what scrolling saves.
class NoScroll : public DisplaySink {
 public:
  explicit NoScroll(TerminalRenderer& r) : r_(r) {}
  void PutRun(int column, int row, std::span<const Cell> cells) override {
    r_.PutRun(column, row, cells);
  }

 private:
  TerminalRenderer& r_;
};

// `msPerLine` is the simulated time between log lines; 0 flushes every line
// unthrottled (forced), as when the program waits after each one.
void Run(benchmark::State& state, bool scroll, long long msPerLine) {
  DisplayBuffer b;
  TerminalRenderer r;
  NoScroll plain(r);
  DisplaySink& sink = scroll ? static_cast<DisplaySink&>(r) : plain;
  FullScreen(b);
  b.Flush(sink, 0, true);
  r.TakeOutput();
  long long now = 0;
  long n = 100;
  std::size_t bytes = 0;
  for (auto _ : state) {
    ScrollLog(b, n++);
    now += msPerLine;
    b.Flush(sink, now, msPerLine == 0);
    bytes += r.Output().size();
    benchmark::DoNotOptimize(r.TakeOutput());
  }
  b.Flush(sink, now + 1000, true);
  bytes += r.Output().size();
  state.counters["bytes_per_line"] =
      benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kAvgIterations);
  state.counters["lines"] = static_cast<double>(state.iterations());
}

void BM_LogLineForcedFlush(benchmark::State& state) {
  Run(state, true, 0);
}
void BM_LogLineForcedFlushNoScroll(benchmark::State& state) {
  Run(state, false, 0);
}
// A fast copy: a line every millisecond, the throttle coalesces frames.
void BM_LogLineThrottled1ms(benchmark::State& state) {
  Run(state, true, 1);
}

BENCHMARK(BM_LogLineForcedFlush);
BENCHMARK(BM_LogLineForcedFlushNoScroll);
BENCHMARK(BM_LogLineThrottled1ms);

}  // namespace

BENCHMARK_MAIN();
