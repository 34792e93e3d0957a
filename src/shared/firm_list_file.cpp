#include "shared/firm_list_file.h"

#include "shared/firm_record.h"
#include "shared/record.h"
#include "tui/screen.h"

namespace zq::shared {

std::string FirmKeyText(std::span<const std::uint8_t> record) {
  // The layout engine trusts a length byte only as far as its field and the record reach.
  RecordView view(record);
  std::string key = tui::PadCut(view.Get(kFirmName), kFirmName.Capacity());
  key += ' ';
  key += tui::PadCut(view.Get(kFirmDirectory), kFirmDirectory.Capacity());
  key += ' ';
  key += tui::PadCut(view.Get(kFirmInfo), kFirmInfo.Capacity());
  return key;
}

}  // namespace zq::shared
