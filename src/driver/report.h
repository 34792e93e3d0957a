// The reconciliation report of a run: per firm and per item, the records read, written
// and dropped, the files copied and missing, and the errors, so that an office can say
// at the end how much of which file reached the new year. Collected while the firms run,
// shown in a scrolling window with a total line and written whole to the journal.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "convert/copy_tally.h"

namespace zq::driver {

struct RunState;

struct ItemReport {
  int number = 0;
  std::string label;  // code page 852
  convert::CopyCounts counts;
};

struct FirmReport {
  std::string name;
  std::string directory;
  std::vector<ItemReport> items;
  // Errors of the firm's run as the firm counted them (also those outside the items).
  int errors = 0;
  bool added = false;

  convert::CopyCounts Total() const;
  // An error or a dropped record: the firm stands out in the report.
  bool Troubled() const;
};

struct RunReport {
  bool dryRun = false;
  std::vector<FirmReport> firms;
};

struct ReportLine {
  std::string text;  // code page 852
  bool troubled = false;
};

// The header, a line per firm followed by its items, and the total line.
std::vector<ReportLine> ReportLines(const RunReport& report);

// Counts what the copier reports while one item runs into the item's row of the firm
// being carried; nothing when no firm is being reported.
class ItemCount {
 public:
  ItemCount(RunState& run, int number, std::string_view label, const int& firmErrors);
  ~ItemCount();
  ItemCount(const ItemCount&) = delete;
  ItemCount& operator=(const ItemCount&) = delete;

 private:
  RunState& run_;
  int number_;
  std::string label_;
  const int& firmErrors_;
  int errorsBefore_;
  convert::CopyTotal total_;
  convert::CopyTally* outer_;
};

// The report in the journal, whole, when one is kept; then in the scrolling window,
// but for an unattended run, which has nobody to look.
void PresentReport(RunState& run);

}  // namespace zq::driver
