// A scrolling list of text lines with quick search. A derived kind supplies the items
// (ItemText, and Prepare to refresh the count); the list keeps the caller's current-item
// variable (1-based, 0 when empty) up to date.
//
// Layout from (row, column) inside the page: a top line, `visibleRows` item rows and a
// bottom line; column `column` holds the row marker, the items stand in the `width`
// columns after it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tui/dialog.h"

namespace zq::tui {

class PickList : public Control {
 public:
  static constexpr int kMaxSearchColumns = 5;
  static constexpr std::size_t kMaxSearchText = 40;

  PickList(std::int32_t& current, int visibleRows, int width, int row, int column,
           Label label = {});

  void Draw() override;
  // Refreshes the item count (SetCount) before the list is drawn.
  virtual void Prepare() {}
  // Text of item 1..Count().
  virtual std::string ItemText(int item) = 0;
  // First item from `from` on that matches the upper-cased search text in the current
  // search column; -1 when none.
  virtual int Find(std::string_view search, int from);
  // Visible row 0..VisibleRows()-1.
  virtual void DrawRow(int visibleRow);
  virtual void DrawEmpty();
  virtual void DrawRows();

  void SetCount(int count);
  int Count() const { return count_; }
  int VisibleRows() const { return rows_; }
  int ListWidth() const { return width_; }
  int FirstShown() const { return first_; }
  std::int32_t CurrentItem() const { return current_; }
  // Character positions in the item text (1-based) that quick search can start at;
  // the first one is 1.
  void AddSearchColumn(int position);
  int SearchColumnIndex() const { return searchColumn_; }
  const std::string& SearchText() const { return search_; }
  // Sorted lists are searched in the first column by halving.
  void SetSorted(bool on) { sorted_ = on; }
  // Up on the first item and Down on the last leave the list as Shift+Tab and Tab.
  void SetLeaveAtEdges(bool on) { leaveAtEdges_ = on; }

 protected:
  bool Handle(Event& event) override;

 private:
  void Normalise();
  void ShowCurrent(bool centre);
  void DrawLines();
  bool Search(char c);
  // Issues a command and leaves.
  bool Issue(Event& event, std::uint16_t command);

  std::int32_t& current_;
  int count_ = 0;
  int rows_;
  int width_;
  int first_ = 0;
  std::string search_;
  std::vector<int> searchColumns_{1};
  int searchColumn_ = 0;
  bool sorted_ = false;
  bool leaveAtEdges_ = false;
};

}  // namespace zq::tui
