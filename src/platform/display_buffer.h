// The 80x25 screen as the program last wrote it, kept in front of a real host
// output. Writes only touch the shadow; a flush compares it with what the host is
// known to show and hands the differences on as coalesced runs, so a burst of
// redraws (a long copy filling the progress log) costs one host write per frame.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "platform/console.h"

namespace zq::platform {

// Where a flushed frame goes. One frame is BeginFrame, any number of Scroll and
// PutRun calls in screen order, then EndFrame.
class DisplaySink {
 public:
  virtual ~DisplaySink() = default;
  virtual void BeginFrame() {}
  // Moves rows top..bottom (0-based, inclusive, full width) up by `lines`; the rows
  // uncovered at the bottom of that band are then taken to hold anything. A sink
  // that cannot scroll says false and gets the rows as runs instead.
  virtual bool CanScroll() const { return false; }
  virtual void Scroll(int top, int bottom, int lines) {
    (void)top;
    (void)bottom;
    (void)lines;
  }
  virtual void PutRun(int column, int row, std::span<const Cell> cells) = 0;
  virtual void EndFrame() {}
};

class DisplayBuffer {
 public:
  static constexpr int kColumns = Console::kColumns;
  static constexpr int kRows = Console::kRows;
  // A flush this soon after the previous frame waits for the next forced one.
  static constexpr long long kThrottleMs = 15;
  // Unchanged cells between two changed ones that are sent again rather than
  // jumped over: a cursor move costs about as many bytes.
  static constexpr int kMergeGap = 4;

  DisplayBuffer();

  // Positions are 0-based; whatever falls outside the grid is dropped.
  void WriteCells(int column, int row, std::span<const Cell> cells);
  // Whole rows from `row` down, kColumns cells each (a last partial row is written as
  // far as it goes).
  void WriteRows(int row, std::span<const Cell> cells);
  void ReadCells(int column, int row, std::span<Cell> cells) const;
  const Cell& At(int column, int row) const { return shadow_[Index(column, row)]; }

  // Something besides the cells (cursor, title) needs a frame.
  void MarkDirty() { otherDirty_ = true; }
  bool Dirty() const;
  // True while a change waits because the last frame was too recent.
  bool Deferred() const { return deferred_ && Dirty(); }

  // The host's contents are lost (new screen, resize): the next frame sends every cell.
  void Invalidate();

  // Hands the changes to the sink. Without `force`, a call within kThrottleMs of the
  // previous frame only records that a frame is due. True when a frame was sent.
  bool Flush(DisplaySink& sink, long long nowMs, bool force);

 private:
  static std::size_t Index(int column, int row) {
    return static_cast<std::size_t>(row * kColumns + column);
  }
  bool RowEqual(int shadowRow, int shownRow) const;
  void TryScroll(DisplaySink& sink);
  void SendRow(DisplaySink& sink, int row);

  std::array<Cell, kColumns * kRows> shadow_{};
  std::array<Cell, kColumns * kRows> shown_{};
  std::array<bool, kRows> known_{};  // false: the host row may hold anything
  // Damaged span per row, [lo, hi); lo >= hi means clean.
  std::array<int, kRows> damageLo_{};
  std::array<int, kRows> damageHi_{};
  bool otherDirty_ = false;
  bool deferred_ = false;
  bool flushedOnce_ = false;
  long long lastFrameMs_ = 0;
};

}  // namespace zq::platform
