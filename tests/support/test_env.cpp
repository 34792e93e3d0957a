#include "support/test_env.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace zq::test {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "zqtest-XXXXXX").string();
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
  path_ = buf.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  // Tests make files read-only to provoke errors; give the rights back before removing.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

HeadlessRig::HeadlessRig() {}

std::string Golden(const std::string& name, const std::string& actual) {
  std::filesystem::path path = std::filesystem::path(ZQ_GOLDEN_DIR) / name;
  if (std::getenv("ZQ_UPDATE_GOLDEN")) {
    WriteFile(path, actual);
    return actual;
  }
  return ReadFile(path);
}

}  // namespace zq::test
