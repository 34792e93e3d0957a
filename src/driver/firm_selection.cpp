#include "driver/firm_selection.h"

#include <algorithm>

#include "platform/cp852.h"
#include "tui/dialog.h"
#include "tui/event.h"
#include "tui/pick_list.h"

namespace zq::driver {

namespace {

using zq::operator""_pl;

constexpr int kPageRow = 6, kPageColumn = 10, kPageHeight = 15, kPageWidth = 58;
constexpr int kListRows = 10;
constexpr std::string_view kHeader = "Nazwa                   Wybrana? KATALOG   INFO";
constexpr std::size_t kInfoShown = 10;

void PutAt(std::string& line, int column, std::string_view text, std::size_t room) {
  auto at = static_cast<std::size_t>(column - 1);
  if (at >= line.size()) return;
  text = text.substr(0, std::min({text.size(), room, line.size() - at}));
  line.replace(at, text.size(), text);
}

class FirmPickList : public tui::PickList {
 public:
  FirmPickList(FirmList& firms, std::int32_t& current)
      : PickList(current, kListRows, kFirmLineWidth, 2, 1, tui::Label(kHeader, 1, 3)),
        firms_(firms) {
    AddSearchColumn(kDirectoryColumn);
  }

  void Prepare() override { SetCount(firms_.Count()); }
  std::string ItemText(int item) override {
    if (item < 1 || item > firms_.Count()) return std::string(kFirmLineWidth, ' ');
    return FirmLine(firms_.At(item));
  }

 private:
  FirmList& firms_;
};

class FirmSelectionPage : public tui::DialogPage {
 public:
  FirmSelectionPage(tui::Screen& screen, FirmList& firms)
      : DialogPage(screen, " BAZA FIRM ", kPageHeight, kPageWidth, kPageRow, kPageColumn),
        firms_(firms) {
    list_ = &Add<FirmPickList>(firms_, current_);
    SetStatusLine({
        {kToggleFirm, tui::key::kSpace, std::string("SPACE - Zaznacz (") + kSelectedMark + ")"},
        {kSelectAllFirms, tui::key::kCtrlW, "^W Wszystkie "},
        {kSelectNoFirms, tui::key::kCtrlD, "^D Żadna "_pl},
        {tui::kCmOk, tui::key::kF5, "F5 - ZACZNIJ"},
    });
  }

  void HandleEvent(tui::Event& event) override {
    if (event.IsCommand(kToggleFirm) || event.IsCommand(kSelectAllFirms) ||
        event.IsCommand(kSelectNoFirms)) {
      if (event.IsCommand(kToggleFirm)) {
        if (current_ >= 1 && current_ <= firms_.Count()) {
          Firm& firm = firms_.At(current_);
          firm.selected = !firm.selected;
        }
      } else {
        firms_.SelectAll(event.IsCommand(kSelectAllFirms));
      }
      event.Clear();
      list_->Draw();
    }
    DialogPage::HandleEvent(event);
  }

 private:
  FirmList& firms_;
  std::int32_t current_ = 1;
  FirmPickList* list_ = nullptr;
};

}  // namespace

std::string FirmLine(const Firm& firm) {
  std::string line(kFirmLineWidth, ' ');
  PutAt(line, kNameColumn, firm.Name(), shared::kFirmName.Capacity());
  line[kMarkColumn - 1] = firm.selected ? kSelectedMark : kDeselectedMark;
  PutAt(line, kDirectoryColumn, firm.Directory(), shared::kFirmDirectory.Capacity());
  PutAt(line, kInfoColumn, firm.Info(), kInfoShown);
  return line;
}

bool ChooseFirms(tui::Screen& screen, FirmList& firms) {
  FirmSelectionPage page(screen, firms);
  if (!page.Opened()) return false;
  bool confirmed = page.Execute() == tui::kCmOk;
  page.Done();
  return confirmed;
}

}  // namespace zq::driver
