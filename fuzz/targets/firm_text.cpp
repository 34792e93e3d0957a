// The firm text data FIRMATXT.INI: any file is read into the record of its key table
// (every text within its length), written into a new file and into the file it came
// from, and each reads back as the same record.
#include <string>

#include "fuzz.h"
#include "shared/firm_text.h"

namespace zq::fuzz {
namespace {

ZQ_FUZZ_TARGET(firm_text) {
  Tree& tree = FreshTree();
  tree.Write("FIRMATXT.INI", AsString(data));
  Rig rig;
  const std::string path = tree.Prefix() + "FIRMATXT.INI";
  shared::FirmText record;
  ZQ_CHECK(shared::ReadFirmText(*rig.files, path, record).Ok(), "read failed");
  for (const shared::FirmTextKey& key : record.Keys())
    if (key.kind == shared::FirmTextKind::kText)
      ZQ_CHECK(record.Text(key.section, key.key).size() <= key.length,
               std::string(key.section) + " " + key.key + " longer than its key allows");

  for (const std::string name : {"NEW.INI", "FIRMATXT.INI"}) {
    ZQ_CHECK(shared::WriteFirmText(*rig.files, tree.Prefix() + name, record).Ok(), "write failed");
    shared::FirmText back;
    ZQ_CHECK(shared::ReadFirmText(*rig.files, tree.Prefix() + name, back).Ok(), "read back failed");
    ZQ_CHECK(back == record, name + " reads back as another record");
  }
}

}  // namespace
}  // namespace zq::fuzz
