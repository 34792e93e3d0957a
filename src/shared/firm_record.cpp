#include "shared/firm_record.h"

namespace zq::shared {

FirmRecordText ReadFirmRecord(RecordView record) {
  return {record.Get(kFirmName), record.Get(kFirmDirectory), record.Get(kFirmInfo)};
}

FirmRecordBytes MakeFirmRecord(std::string_view name, std::string_view directory,
                               std::string_view info, std::string_view firmData) {
  FirmRecordBytes bytes{};
  RecordRef record(bytes);
  record.Set(kFirmName, name);
  record.Set(kFirmDirectory, directory);
  record.Set(kFirmInfo, info);
  record.Set(kFirmData, firmData);
  return bytes;
}

}  // namespace zq::shared
