// The line reader of the text files: lines come back in order, without CR or LF, and
// joined with CR LF they are the text up to its first 0x1A, but for the CR LF or LF
// line ends, and a last line without a line break.
#include <string>

#include "fuzz.h"
#include "platform/text_file.h"

namespace zq::fuzz {
namespace {

// What the lines of `text` are by the rule the reader documents.
std::vector<std::string> Expected(const std::string& whole) {
  const std::size_t stop = whole.find('\x1A');
  const std::string text = whole.substr(0, stop);
  std::vector<std::string> lines;
  std::string line;
  bool open = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
      open = false;
    } else if (c == '\r' && (i + 1 == text.size() || text[i + 1] == '\n')) {
      open = true;  // the CR of a line end, or a CR ending the text
    } else {
      line += c;
      open = true;
    }
  }
  // The end-of-text byte ends a last line only when something is left of it.
  if (open && !(stop != std::string::npos && line.empty())) lines.push_back(line);
  return lines;
}

ZQ_FUZZ_TARGET(text_file) {
  Tree& tree = FreshTree();
  const std::string text = AsString(data);
  tree.Write("T.TXT", text);
  Rig rig;
  int error = 0;
  auto file = rig.files->Open(tree.Prefix() + "T.TXT", platform::kRead, platform::kShareReadWrite,
                              platform::Disposition::kOpenExisting, error);
  ZQ_CHECK(file != nullptr, "open failed");
  platform::TextReader reader(*file);
  std::vector<std::string> lines;
  std::string line;
  while (reader.ReadLine(line)) {
    lines.push_back(line);
    ZQ_CHECK(lines.size() <= text.size() + 1, "more lines than bytes");
  }
  ZQ_CHECK(!reader.Failed(), "read failed");
  ZQ_CHECK(lines == Expected(text), "lines differ from the text's own");
  file->Close(error);
}

}  // namespace
}  // namespace zq::fuzz
