// Two files the per-firm run opens itself. The firm marker: a marker of any length gives
// a Target marker that is its first 256 bytes with the years and the flag set, or none
// at all. A DRA declaration: the Target is the header with its balance computed and the
// whole attachment blocks, or nothing for a file shorter than a header; the Source stays.
#include <cmath>
#include <cstring>
#include <string>

#include "driver/firm_items.h"
#include "driver/firm_run.h"
#include "driver/run_state.h"
#include "fuzz.h"

namespace zq::fuzz {
namespace {

std::string Annual2019() {
  std::string file(3 * 512, '\0');
  file[3] = 13;  // December approved: no question
  return file;
}

struct FirmTree {
  FirmTree() : tree(FreshTree()), run(rig.platform) {
    tree.MakeDirectory("S");
    tree.MakeDirectory("T");
    run.options.sourceTree = tree.Prefix() + "S\\";
    run.options.targetTree = tree.Prefix() + "T\\";
    for (int k = 0; k < 32; ++k) rig.console.PushKey(0x1C0D);
  }
  Tree& tree;
  Rig rig;
  driver::RunState run;
  driver::FirmRunShared shared;
};

ZQ_FUZZ_TARGET(marker) {
  FirmTree f;
  f.tree.Write("S/F/2019_ROK.REK", Annual2019());
  const std::string marker = AsString(data);
  f.tree.Write("S/F/_zq_dor.rek", marker);
  driver::FirmResult result;
  try {
    result = driver::ConvertFirm(f.run, f.shared, "F", {});
  } catch (const platform::ScriptExhausted&) {
    return;
  }
  std::string written;
  const bool present = f.tree.Read("T/F/_zq_dor.rek", written);
  if (marker.size() < driver::kFirmMarkerSize) {
    ZQ_CHECK(!present && !result.completed, "a short marker carried the firm");
    return;
  }
  ZQ_CHECK(present, "no Target marker for a whole one");
  std::string expected = marker.substr(0, driver::kFirmMarkerSize);
  for (std::size_t at : {0, 2, 4}) {
    expected[at] = static_cast<char>(driver::kMarkerYear & 0xFF);
    expected[at + 1] = static_cast<char>(driver::kMarkerYear >> 8);
  }
  expected[7] = 1;
  ZQ_CHECK(written == expected, "the Target marker is not the Source one with its years set");
}

double RealAt(const std::string& bytes, std::size_t at) {
  double v;
  std::memcpy(&v, bytes.data() + at, 8);
  return v;
}

ZQ_FUZZ_TARGET(dra) {
  FirmTree f;
  const std::string file = AsString(data);
  f.tree.Write("S/F/2020D401.001", file);
  f.tree.MakeDirectory("T/F");
  driver::FirmContext firm(f.run, f.shared, "F");
  try {
    driver::ConvertDra5Declarations(firm);
  } catch (const platform::ScriptExhausted&) {
    return;
  }
  std::string after;
  ZQ_CHECK(f.tree.Read("S/F/2020D401.001", after) && after == file,
           "the Source declaration changed");
  std::string written;
  const bool present = f.tree.Read("T/F/2020D501.001", written);
  if (file.size() < driver::kDraHeaderSize) {
    ZQ_CHECK(!present || written.empty(), "a declaration shorter than its header was written");
    return;
  }
  ZQ_CHECK(present, "no Target declaration");
  const std::size_t blocks = (file.size() - driver::kDraHeaderSize) / driver::kDraBlockSize;
  ZQ_CHECK(written.size() == driver::kDraHeaderSize + blocks * driver::kDraBlockSize,
           "the Target is not the header and the whole blocks");
  // Every byte carried but the three computed amounts.
  for (std::size_t at = 0; at < written.size(); ++at) {
    const bool computed = (at >= 526 && at < 542) || (at >= 688 && at < 696);
    ZQ_CHECK(computed || written[at] == file[at], "byte " + std::to_string(at) + " changed");
  }
  const double balance = RealAt(written, 688);
  const double negative = RealAt(written, 526);
  const double nonNegative = RealAt(written, 534);
  if (!std::isnan(balance)) {
    ZQ_CHECK(negative >= 0 || std::isnan(negative), "a negative part below zero");
    ZQ_CHECK(!(negative > 0 && nonNegative != 0), "both parts set");
  }
}

}  // namespace
}  // namespace zq::fuzz
