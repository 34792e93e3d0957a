// Fixtures shared by the tests: a temporary directory tree and the headless rig that
// runs the program with scripted keys on an in-memory screen and real files.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/headless/headless.h"
#include "platform/host.h"
#include "platform/platform.h"

namespace zq::test {

// A fresh directory, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  // The directory as the program spells it: host path with a trailing separator.
  std::string Prefix() const { return path_.string() + "/"; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, std::string_view bytes);

struct HeadlessRig {
  HeadlessRig();
  platform::FakeClock clock;
  platform::HeadlessConsole console{clock};
  platform::HeadlessProcess process{clock};
  std::unique_ptr<platform::Files> files = platform::CreateHostFiles();
  platform::Platform platform{console, *files, process};
};

// Reads tests/golden/<name>; when ZQ_UPDATE_GOLDEN is set, writes `actual` there instead.
std::string Golden(const std::string& name, const std::string& actual);

}  // namespace zq::test
