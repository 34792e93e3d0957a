#include "driver/report.h"

#include <algorithm>
#include <cstdio>

#include "driver/run_state.h"
#include "platform/cp852.h"
#include "tui/dialog.h"
#include "tui/event.h"
#include "tui/pick_list.h"

namespace zq::driver {

namespace {

using zq::operator""_pl;

constexpr std::size_t kLabelWidth = 26;
constexpr int kLineWidth = 74;
constexpr int kListRows = 15;

std::string Cut(std::string_view text, std::size_t width) {
  std::string out(text.substr(0, std::min(text.size(), width)));
  out.resize(width, ' ');
  return out;
}

// Read, written, dropped, copied, missing, errors: seven columns each.
std::string Figures(const convert::CopyCounts& c) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%7lld%7lld%7lld%6d%6d%6d",
                static_cast<long long>(c.recordsRead), static_cast<long long>(c.recordsWritten),
                static_cast<long long>(c.recordsDropped), c.filesCopied, c.filesMissing, c.errors);
  return buffer;
}

class ReportList : public tui::PickList {
 public:
  ReportList(const std::vector<ReportLine>& lines, std::int32_t& current, std::string_view header)
      : PickList(current, kListRows, kLineWidth, 2, 1, tui::Label(header, 1, 2)), lines_(lines) {}

  void Prepare() override { SetCount(static_cast<int>(lines_.size()) - 1); }
  std::string ItemText(int item) override {
    if (item < 1 || item >= static_cast<int>(lines_.size())) return {};
    return lines_[static_cast<std::size_t>(item)].text;
  }
  void DrawRow(int visibleRow) override {
    PickList::DrawRow(visibleRow);
    int item = FirstShown() + visibleRow;
    if (item < 1 || item >= static_cast<int>(lines_.size()) || item == CurrentItem()) return;
    const ReportLine& line = lines_[static_cast<std::size_t>(item)];
    if (!line.troubled) return;
    // Light red on the list's own background.
    std::uint8_t attr = static_cast<std::uint8_t>((Colour(tui::kField) & 0xF0) | 0x0C);
    Put(attr, Bounds().left + 1, Bounds().top + 1 + visibleRow,
        Cut(line.text, static_cast<std::size_t>(kLineWidth)));
  }

 private:
  const std::vector<ReportLine>& lines_;
};

class ReportPage : public tui::DialogPage {
 public:
  // The total line comes first in the window, so that it is seen without scrolling
  // through every firm.
  ReportPage(tui::Screen& screen, const std::vector<ReportLine>& lines, std::string_view title)
      : DialogPage(screen, title, kListRows + 5, kLineWidth + 4, 2, 2) {
    shown_.push_back(lines.front());
    shown_.push_back(lines.back());
    shown_.insert(shown_.end(), lines.begin() + 1, lines.end() - 1);
    Add<ReportList>(shown_, current_, shown_.front().text);
    SetStatusLine({{tui::kCmOk, tui::key::kEnter, "Enter - dalej"},
                   {tui::kCmCancel, tui::key::kEsc, "Esc - dalej"}});
  }

 private:
  std::vector<ReportLine> shown_;
  std::int32_t current_ = 1;
};

}  // namespace

convert::CopyCounts FirmReport::Total() const {
  convert::CopyCounts total;
  for (const ItemReport& item : items) total += item.counts;
  total.errors = std::max(total.errors, errors);
  return total;
}

bool FirmReport::Troubled() const {
  convert::CopyCounts total = Total();
  return total.errors > 0 || total.recordsDropped > 0 || !added;
}

std::vector<ReportLine> ReportLines(const RunReport& report) {
  std::vector<ReportLine> lines;
  lines.push_back({Cut(report.dryRun ? "Próba - pozycja"_pl : "Pozycja", kLabelWidth + 4) +
                   std::string(" Odczyt  Zapis Pomin. Pliki  Brak Błędy"_pl)});
  convert::CopyCounts total;
  int added = 0;
  for (const FirmReport& firm : report.firms) {
    convert::CopyCounts firmTotal = firm.Total();
    total += firmTotal;
    added += firm.added ? 1 : 0;
    std::string title = firm.directory + (firm.added ? "" : " - NIE DOPISANA");
    lines.push_back({Cut(title, kLabelWidth + 4) + Figures(firmTotal), firm.Troubled()});
    lines.push_back({"  " + firm.name});
    for (const ItemReport& item : firm.items) {
      char number[8];
      std::snprintf(number, sizeof number, "  %2d ", item.number);
      lines.push_back({number + Cut(item.label, kLabelWidth - 1) + Figures(item.counts),
                       item.counts.errors > 0 || item.counts.recordsDropped > 0});
    }
  }
  std::string sum = "RAZEM " + std::to_string(added) + "/" + std::to_string(report.firms.size());
  lines.push_back(
      {Cut(sum, kLabelWidth + 4) + Figures(total), total.errors > 0 || total.recordsDropped > 0});
  return lines;
}

ItemCount::ItemCount(RunState& run, int number, std::string_view label, const int& firmErrors)
    : run_(run),
      number_(number),
      label_(label),
      firmErrors_(firmErrors),
      errorsBefore_(firmErrors),
      outer_(run.copier.tally) {
  if (run_.firmReport) run_.copier.tally = &total_;
}

ItemCount::~ItemCount() {
  run_.copier.tally = outer_;
  if (!run_.firmReport) return;
  convert::CopyCounts counts = total_.total;
  counts.errors = std::max(counts.errors, firmErrors_ - errorsBefore_);
  if (!counts.Empty()) run_.firmReport->items.push_back({number_, label_, counts});
}

void PresentReport(RunState& run) {
  const RunReport& report = run.report;
  std::vector<ReportLine> lines = ReportLines(report);
  if (run.journal) {
    NoteInJournal(run, report.dryRun ? "==== Zestawienie przeniesionych danych (PRÓBA)"_pl
                                     : "==== Zestawienie przeniesionych danych"_pl);
    for (const ReportLine& line : lines)
      NoteInJournal(run, std::string(line.troubled ? "! " : "  ") + line.text);
    FlushJournal(run);
  }
  // An unattended run has nobody to look: the journal holds it. A run that carried no
  // firm has nothing to show.
  if (run.switches.unattended || report.firms.empty()) return;
  ReportPage page(run.screen, lines,
                  report.dryRun ? " ZESTAWIENIE - PRÓBA "_pl : " ZESTAWIENIE "_pl);
  if (!page.Opened()) return;
  page.Execute();
  page.Done();
}

}  // namespace zq::driver
