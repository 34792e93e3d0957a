#include "platform/display_buffer.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace zq::platform {

DisplayBuffer::DisplayBuffer() {
  damageLo_.fill(kColumns);
  damageHi_.fill(0);
  known_.fill(false);
}

void DisplayBuffer::WriteCells(int column, int row, std::span<const Cell> cells) {
  if (row < 0 || row >= kRows || cells.empty()) return;
  // Clip in long arithmetic: a huge span or column must not overflow.
  long long first = std::max<long long>(column, 0);
  long long last = std::min<long long>(
      static_cast<long long>(column) + static_cast<long long>(cells.size()), kColumns);
  if (first >= last) return;
  // The progress log redraws its whole band of rows on every line it ends, so this is
  // the hottest path of a run: the run is compared and copied as a block. A changed
  // run damages all of its span, which costs a flush nothing: the flush compares each
  // damaged cell with what the host shows and sends only the ones that differ.
  static_assert(sizeof(Cell) == 2 && std::is_trivially_copyable_v<Cell>,
                "cells are compared as bytes");
  const Cell* in = cells.data() + (first - column);
  Cell* out = &shadow_[Index(static_cast<int>(first), row)];
  const auto bytes = static_cast<std::size_t>(last - first) * sizeof(Cell);
  if (std::memcmp(out, in, bytes) == 0) return;
  std::memcpy(out, in, bytes);
  auto r = static_cast<std::size_t>(row);
  damageLo_[r] = std::min(damageLo_[r], static_cast<int>(first));
  damageHi_[r] = std::max(damageHi_[r], static_cast<int>(last));
}

void DisplayBuffer::WriteRows(int row, std::span<const Cell> cells) {
  const std::size_t whole = cells.size() / kColumns;
  if (row < 0 || static_cast<std::size_t>(row) + whole > static_cast<std::size_t>(kRows)) {
    // Rows off the grid: row by row, each clipped.
    for (std::size_t at = 0; at < cells.size(); at += kColumns, ++row)
      WriteCells(0, row, cells.subspan(at, std::min<std::size_t>(kColumns, cells.size() - at)));
    return;
  }
  // The band is one stretch of the shadow: compared and copied in one go, every row of
  // it damaged when any changed (a flush sends only the cells that differ).
  const std::size_t bytes = whole * kColumns * sizeof(Cell);
  Cell* out = &shadow_[Index(0, row)];
  if (bytes > 0 && std::memcmp(out, cells.data(), bytes) != 0) {
    std::memcpy(out, cells.data(), bytes);
    for (std::size_t r = static_cast<std::size_t>(row); r < static_cast<std::size_t>(row) + whole;
         ++r) {
      damageLo_[r] = 0;
      damageHi_[r] = kColumns;
    }
  }
  if (cells.size() > whole * kColumns)
    WriteCells(0, row + static_cast<int>(whole), cells.subspan(whole * kColumns));
}

void DisplayBuffer::ReadCells(int column, int row, std::span<Cell> cells) const {
  for (std::size_t i = 0; i < cells.size(); ++i) {
    long long c = static_cast<long long>(column) + static_cast<long long>(i);
    cells[i] = (row >= 0 && row < kRows && c >= 0 && c < kColumns)
                   ? shadow_[Index(static_cast<int>(c), row)]
                   : Cell{};
  }
}

bool DisplayBuffer::Dirty() const {
  if (otherDirty_) return true;
  for (int r = 0; r < kRows; ++r) {
    auto i = static_cast<std::size_t>(r);
    if (!known_[i] || damageLo_[i] < damageHi_[i]) return true;
  }
  return false;
}

void DisplayBuffer::Invalidate() {
  known_.fill(false);
}

bool DisplayBuffer::RowEqual(int shadowRow, int shownRow) const {
  return std::memcmp(&shadow_[Index(0, shadowRow)], &shown_[Index(0, shownRow)],
                     sizeof(Cell) * kColumns) == 0;
}

// The progress log scrolls a band of rows up and writes one new line at its
// bottom. Recognising that as a host scroll sends one short sequence and one row
// instead of the whole band.
void DisplayBuffer::TryScroll(DisplaySink& sink) {
  if (!sink.CanScroll()) return;
  int bestNet = 1, bestTop = -1, bestBottom = -1, bestLines = 0;
  for (int k = 1; k < kRows - 1; ++k) {
    int r = 0;
    while (r + k < kRows) {
      auto shifted = [&](int q) {
        return known_[static_cast<std::size_t>(q + k)] && RowEqual(q, q + k);
      };
      if (!shifted(r)) {
        ++r;
        continue;
      }
      int top = r, gain = 0;
      while (r + k < kRows && shifted(r)) {
        if (!known_[static_cast<std::size_t>(r)] || !RowEqual(r, r)) ++gain;
        ++r;
      }
      int bottom = r - 1;
      // Rows uncovered by the scroll must be sent again even where they were right.
      int cost = 0;
      for (int q = bottom + 1; q <= bottom + k; ++q)
        if (known_[static_cast<std::size_t>(q)] && RowEqual(q, q)) ++cost;
      if (gain - cost > bestNet) {
        bestNet = gain - cost;
        bestTop = top;
        bestBottom = bottom;
        bestLines = k;
      }
    }
  }
  if (bestLines == 0) return;
  int regionBottom = bestBottom + bestLines;
  sink.Scroll(bestTop, regionBottom, bestLines);
  for (int r = bestTop; r <= bestBottom; ++r) {
    std::memcpy(&shown_[Index(0, r)], &shown_[Index(0, r + bestLines)], sizeof(Cell) * kColumns);
    known_[static_cast<std::size_t>(r)] = true;
  }
  for (int r = bestBottom + 1; r <= regionBottom; ++r) known_[static_cast<std::size_t>(r)] = false;
}

void DisplayBuffer::SendRow(DisplaySink& sink, int row) {
  auto i = static_cast<std::size_t>(row);
  const Cell* line = &shadow_[Index(0, row)];
  Cell* host = &shown_[Index(0, row)];
  if (!known_[i]) {
    sink.PutRun(0, row, std::span<const Cell>(line, kColumns));
    std::memcpy(host, line, sizeof(Cell) * kColumns);
    known_[i] = true;
    return;
  }
  int c = damageLo_[i];
  int end = std::min(damageHi_[i], kColumns);
  while (c < end) {
    while (c < end && line[c] == host[c]) ++c;
    if (c >= end) break;
    int start = c, last = c;  // last changed cell of the run
    for (++c; c < end; ++c) {
      if (line[c] == host[c]) {
        if (c - last > kMergeGap) break;
      } else {
        last = c;
      }
    }
    int length = last - start + 1;
    sink.PutRun(start, row, std::span<const Cell>(line + start, static_cast<std::size_t>(length)));
    std::memcpy(host + start, line + start, sizeof(Cell) * static_cast<std::size_t>(length));
    c = last + 1;
  }
}

bool DisplayBuffer::Flush(DisplaySink& sink, long long nowMs, bool force) {
  if (!Dirty()) {
    deferred_ = false;
    return false;
  }
  if (!force && flushedOnce_ && nowMs - lastFrameMs_ < kThrottleMs && nowMs >= lastFrameMs_) {
    deferred_ = true;
    return false;
  }
  sink.BeginFrame();
  TryScroll(sink);
  for (int r = 0; r < kRows; ++r) {
    auto i = static_cast<std::size_t>(r);
    if (!known_[i] || damageLo_[i] < damageHi_[i]) SendRow(sink, r);
  }
  sink.EndFrame();
  damageLo_.fill(kColumns);
  damageHi_.fill(0);
  otherDirty_ = false;
  deferred_ = false;
  flushedOnce_ = true;
  lastFrameMs_ = nowMs;
  return true;
}

}  // namespace zq::platform
