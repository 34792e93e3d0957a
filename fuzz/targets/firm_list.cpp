// The firm list: discovery reads any SPISFIRM.DAT of the Source tree, and a firm is
// inserted into any SPISFIRM.DAT of the Target tree. Discovery lists only whole records
// of the file, each with a usable directory; the insertion adds exactly the new record
// and keeps every whole record in its order; a key is always 66 characters.
#include <algorithm>
#include <string>
#include <vector>

#include "driver/discovery.h"
#include "driver/firm_list.h"
#include "driver/run_state.h"
#include "fuzz.h"
#include "platform/process.h"
#include "shared/firm_list_file.h"

namespace zq::fuzz {
namespace {

using shared::kFirmRecordSize;

std::vector<std::string> WholeRecords(const std::string& file) {
  std::vector<std::string> records;
  for (std::size_t at = 0; at + kFirmRecordSize <= file.size(); at += kFirmRecordSize)
    records.push_back(file.substr(at, kFirmRecordSize));
  return records;
}

void Discover(const std::string& file, const std::vector<std::string>& records) {
  Tree& tree = FreshTree();
  tree.Write("S/SPISFIRM.DAT", file);
  tree.MakeDirectory("T");
  // The directories of the first records exist, so that discovery lists their firms.
  for (std::size_t i = 0; i < std::min<std::size_t>(records.size(), 8); ++i) {
    const auto r =
        std::span(reinterpret_cast<const std::uint8_t*>(records[i].data()), records[i].size());
    const std::string dir = shared::RecordView(r).Get(shared::kFirmDirectory);
    if (driver::IsUsableFirmDirectory(dir) && dir.find_first_of("/\\") == std::string::npos &&
        dir.find('\0') == std::string::npos)
      tree.MakeDirectory("S/" + dir);
  }
  Rig rig;
  for (int k = 0; k < 64; ++k) rig.console.PushKey(0x1C0D);
  driver::RunState run(rig.platform);
  run.options.sourceTree = tree.Prefix() + "S\\";
  run.options.targetTree = tree.Prefix() + "T\\";
  driver::FirmList firms;
  try {
    driver::RecogniseEnvironment(run, firms);
  } catch (const platform::ProgramExit&) {
    ZQ_CHECK(records.empty(), "the program ended on a list with whole records");
    return;
  } catch (const platform::ScriptExhausted&) {
    return;
  }
  ZQ_CHECK(firms.Count() <= driver::kMaxFirms, "more firms than the list holds");
  for (int n = 1; n <= firms.Count(); ++n) {
    const auto& record = firms.At(n).record;
    const std::string bytes(reinterpret_cast<const char*>(record.data()), record.size());
    ZQ_CHECK(std::find(records.begin(), records.end(), bytes) != records.end(),
             "a listed firm is no whole record of the file");
    ZQ_CHECK(driver::IsUsableFirmDirectory(firms.At(n).Directory()),
             "a firm with an unusable directory");
  }
}

void Insert(const std::string& file, const std::vector<std::string>& records) {
  Tree& tree = FreshTree();
  tree.Write("SPISFIRM.DAT", file);
  Rig rig;
  for (int k = 0; k < 16; ++k) rig.console.PushKey(0x1C0D);
  driver::RunState run(rig.platform);
  const shared::FirmRecordBytes added = shared::MakeFirmRecord("NOWA FIRMA", "NOWA", "wstawiona");
  {
    shared::FirmListFile list(run.sharedFiles, tree.Prefix() + "SPISFIRM.DAT");
    try {
      if (!list.Open(tui::WaitMode::kQuick, tui::SharedFile::How::kOpenExisting)) return;
      ZQ_CHECK(list.InsertSorted(added), "insert failed");
      list.Close();
    } catch (const platform::ScriptExhausted&) {
      return;
    } catch (const platform::ProgramExit&) {
      return;
    }
  }
  std::string after;
  tree.Read("SPISFIRM.DAT", after);
  ZQ_CHECK(after.size() == (records.size() + 1) * kFirmRecordSize,
           "the list is not its whole records and one more");
  std::vector<std::string> now = WholeRecords(after);
  const std::string addedBytes(reinterpret_cast<const char*>(added.data()), added.size());
  auto at = std::find(now.begin(), now.end(), addedBytes);
  ZQ_CHECK(at != now.end(), "the new record is missing");
  now.erase(at);
  ZQ_CHECK(now == records, "the records already listed were changed or reordered");
}

ZQ_FUZZ_TARGET(firm_list) {
  const std::string file = AsString(data);
  const std::vector<std::string> records = WholeRecords(file);
  for (std::size_t at = 0; at < file.size(); at += kFirmRecordSize) {
    const std::size_t n = std::min<std::size_t>(kFirmRecordSize, file.size() - at);
    ZQ_CHECK(shared::FirmKeyText(data.subspan(at, n)).size() == shared::kFirmKeyLength,
             "a key of another length");
  }
  Discover(file, records);
  Insert(file, records);
}

}  // namespace
}  // namespace zq::fuzz
