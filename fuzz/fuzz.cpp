#include "fuzz.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace zq::fuzz {

namespace fs = std::filesystem;

std::vector<Target>& Targets() {
  static std::vector<Target> targets;
  return targets;
}

const Target* FindTarget(std::string_view name) {
  for (const Target& t : Targets())
    if (t.name == name) return &t;
  return nullptr;
}

void Fail(std::string_view where, std::string_view what) {
  std::fprintf(stderr, "\nzq fuzz: invariant broken (%.*s): %.*s\n", static_cast<int>(where.size()),
               where.data(), static_cast<int>(what.size()), what.data());
  std::abort();
}

std::string AsString(Input data) {
  return std::string(reinterpret_cast<const char*>(data.data()), data.size());
}

void Split(Input data, std::uint8_t separator, Input& head, Input& tail) {
  for (std::size_t i = 0; i < data.size(); ++i)
    if (data[i] == separator) {
      head = data.first(i);
      tail = data.subspan(i + 1);
      return;
    }
  head = data;
  tail = {};
}

Tree::Tree() {
  std::string pattern = (fs::temp_directory_path() / "zq-fuzz-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) Fail("fuzz tree", "no temporary directory");
  prefix_ = pattern + "/";
}

Tree::~Tree() {
  std::error_code ignored;
  fs::remove_all(prefix_, ignored);
}

void Tree::Reset() {
  for (const auto& entry : fs::directory_iterator(prefix_)) fs::remove_all(entry.path());
}

void Tree::Write(const std::string& relative, std::string_view bytes) const {
  fs::path path = prefix_ + relative;
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) Fail("fuzz tree", "cannot write " + path.string());
}

void Tree::MakeDirectory(const std::string& relative) const {
  fs::create_directories(prefix_ + relative);
}

bool Tree::Read(const std::string& relative, std::string& bytes) const {
  std::ifstream in(prefix_ + relative, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool Tree::Exists(const std::string& relative) const {
  return fs::exists(prefix_ + relative);
}

Tree& FreshTree() {
  static Tree tree;
  tree.Reset();
  return tree;
}

Rig::Rig() = default;

void Rig::PushAnswers(Input bytes) {
  constexpr std::uint16_t kEnter = 0x1C0D;
  constexpr std::uint16_t kEsc = 0x011B;
  for (std::uint8_t b : bytes) {
    const bool typed = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9');
    console.PushKey(typed ? b : kEnter);
  }
  console.PushKey(kEsc);
}

}  // namespace zq::fuzz
