// The three small files read at start beside the program: the path settings (.PTH), the
// extra file list (.LST) and the colour file. Each read gives what its format allows and
// nothing else, and the path settings written back read back the same.
#include <string>

#include "driver/paths.h"
#include "fuzz.h"
#include "tui/screen.h"

namespace zq::fuzz {
namespace {

constexpr std::size_t kTreeRootLength = 255;

void CheckRoot(const std::optional<std::string>& root, const char* which) {
  if (!root) return;
  ZQ_CHECK(root->size() <= kTreeRootLength, std::string(which) + " longer than a tree root");
  ZQ_CHECK(root->empty() || root->back() == '\\', std::string(which) + " without its backslash");
  ZQ_CHECK(root->find_first_of("\r\n\x1A") == std::string::npos,
           std::string(which) + " holds a line break");
}

ZQ_FUZZ_TARGET(pth) {
  Tree& tree = FreshTree();
  tree.Write("zq18-20.PTH", AsString(data));
  Rig rig;
  const std::string path = tree.Prefix() + "zq18-20.PTH";
  const driver::PathSettings read = driver::ReadPathSettings(*rig.files, path);
  ZQ_CHECK(read.opened, "an existing file reads as missing");
  CheckRoot(read.sourceTree, "DOR_2019");
  CheckRoot(read.targetTree, "DOR_2020");
  if (!read.sourceTree || !read.targetTree) return;
  // What the first Wizard page saves, read again at the next start.
  ZQ_CHECK(driver::WritePathSettings(*rig.files, path, *read.sourceTree, *read.targetTree),
           "cannot write back");
  const driver::PathSettings back = driver::ReadPathSettings(*rig.files, path);
  ZQ_CHECK(back.sourceTree == read.sourceTree && back.targetTree == read.targetTree,
           "the saved roots read back otherwise");
}

ZQ_FUZZ_TARGET(lst) {
  Tree& tree = FreshTree();
  const std::string text = AsString(data);
  tree.Write("zq18-20.LST", text);
  Rig rig;
  const driver::ExtraFileList list =
      driver::ReadExtraFileList(*rig.files, tree.Prefix() + "zq18-20.LST");
  ZQ_CHECK(list.size() <= text.size() + 1, "more entries than bytes");
  for (const std::string& entry : list) {
    ZQ_CHECK(entry.size() <= driver::kExtraNameLength, "an entry longer than 25 characters");
    ZQ_CHECK(entry.find_first_of("\n\x1A") == std::string::npos, "an entry holds a line break");
  }
}

ZQ_FUZZ_TARGET(colours) {
  Tree& tree = FreshTree();
  tree.Write("kolory.zq", AsString(data));
  Rig rig;
  rig.process.SetOwnPath(tree.Prefix() + "zq18-20.exe");
  tui::Screen screen(rig.platform);
  screen.Start();
  std::array<std::uint8_t, 11> expected = tui::kDefaultScheme.at;
  if (data.size() >= 11 && (data[0] | data[1] | data[2] | data[3]) != 0)
    std::copy_n(data.begin(), 11, expected.begin());
  ZQ_CHECK(screen.Scheme().at == expected, "the scheme is not the file's first record");
  // Drawing with any scheme stays on the screen.
  screen.WriteAbsolute(screen.Scheme()[0], 1, 1, "x");
}

}  // namespace
}  // namespace zq::fuzz
