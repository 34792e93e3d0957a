// The INI object: any file read, a list of writes applied and the file rewritten, then
// read again. Every key written reads back as written (line breaks as blanks), every
// key read before and not written reads back unchanged, and the rewritten file is what
// the object said it would write.
#include <algorithm>
#include <string>
#include <vector>

#include "fuzz.h"
#include "shared/ini.h"

namespace zq::fuzz {
namespace {

struct Write {
  std::string section, key, value;
};

// A name the program could give: no brackets, "=", line breaks or surrounding blanks.
bool PlainName(const std::string& s) {
  if (s.empty() || s.size() > 40 || s.front() == ' ' || s.back() == ' ' || s.front() == ';')
    return false;
  return std::none_of(s.begin(), s.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || c == '=' || c == '[' || c == ']' || u == 0x1A || u == 0x7F;
  });
}

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

// "section\x01key\x01value" lines, separated by 0x02.
std::vector<Write> Writes(const std::string& list) {
  std::vector<Write> writes;
  std::size_t at = 0;
  while (at < list.size()) {
    std::size_t end = list.find('\x02', at);
    if (end == std::string::npos) end = list.size();
    const std::string line = list.substr(at, end - at);
    at = end + 1;
    const std::size_t a = line.find('\x01');
    const std::size_t b = a == std::string::npos ? a : line.find('\x01', a + 1);
    if (b == std::string::npos) continue;
    Write w{line.substr(0, a), line.substr(a + 1, b - a - 1), line.substr(b + 1)};
    if (PlainName(w.section) && PlainName(w.key)) writes.push_back(std::move(w));
  }
  return writes;
}

// Sections and keys the file names, as the reader may find them.
std::vector<std::pair<std::string, std::string>> NamedKeys(const std::string& text) {
  std::vector<std::pair<std::string, std::string>> keys;
  std::string section;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find_first_of("\r\n", at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.front() == '[') {
      const std::size_t close = line.find(']');
      section = line.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    } else if (const std::size_t eq = line.find('='); eq != std::string::npos) {
      keys.emplace_back(section, line.substr(0, eq));
    }
  }
  return keys;
}

// A value as it reads back: line breaks as blanks, no blanks or control bytes at its end.
std::string Sanitised(std::string value) {
  for (char& c : value)
    if (c == '\r' || c == '\n' || c == '\x1A') c = ' ';
  while (!value.empty() && static_cast<unsigned char>(value.back()) <= 0x20) value.pop_back();
  return value;
}

ZQ_FUZZ_TARGET(ini) {
  Input fileBytes, writeBytes;
  Split(data, 0, fileBytes, writeBytes);
  const std::string file = AsString(fileBytes);
  const std::vector<Write> writes = Writes(AsString(writeBytes));
  Tree& tree = FreshTree();
  tree.Write("A.INI", file);
  const std::string path = tree.Prefix() + "A.INI";
  Rig rig;

  shared::IniFile before;
  ZQ_CHECK(before.Open(*rig.files, path, shared::IniFile::Mode::kRead).Ok(), "read failed");
  const auto named = NamedKeys(file);

  shared::IniFile ini;
  ZQ_CHECK(ini.Open(*rig.files, path, shared::IniFile::Mode::kWrite).Ok(), "open failed");
  for (const Write& w : writes) ini.WriteText(w.section, w.key, w.value);
  const std::string promised = ini.Serialize();
  ZQ_CHECK(ini.Close().Ok(), "close failed");
  std::string rewritten;
  tree.Read("A.INI", rewritten);
  if (!writes.empty() || ini.Modified())
    ZQ_CHECK(rewritten == promised, "the file is not what Serialize said");

  shared::IniFile after;
  ZQ_CHECK(after.Open(*rig.files, path, shared::IniFile::Mode::kRead).Ok(), "read back failed");
  for (std::size_t i = 0; i < writes.size(); ++i) {
    const Write& w = writes[i];
    // The last write of a key is what it holds.
    const bool later = std::any_of(
        writes.begin() + static_cast<std::ptrdiff_t>(i) + 1, writes.end(), [&](const Write& o) {
          return Upper(o.section) == Upper(w.section) && Upper(o.key) == Upper(w.key);
        });
    if (later) continue;
    ZQ_CHECK(after.ReadText(w.section, w.key, "\x01missing") == Sanitised(w.value),
             "[" + w.section + "] " + w.key + " does not read back as written");
  }
  for (const auto& entry : named) {
    const std::string& section = entry.first;
    const std::string& key = entry.second;
    const bool written = std::any_of(writes.begin(), writes.end(), [&](const Write& o) {
      return Upper(o.section) == Upper(section) && Upper(o.key) == Upper(key);
    });
    if (written) continue;
    ZQ_CHECK(
        after.ReadText(section, key, "\x01missing") == before.ReadText(section, key, "\x01missing"),
        "[" + section + "] " + key + " changed though never written");
  }
}

}  // namespace
}  // namespace zq::fuzz
