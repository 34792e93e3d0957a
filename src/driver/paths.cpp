#include "driver/paths.h"

#include <algorithm>
#include <cctype>

#include "driver/options.h"
#include "platform/text_file.h"

namespace zq::driver {

namespace {

std::unique_ptr<platform::File> OpenForReading(platform::Files& files, const std::string& path) {
  int error = 0;
  return files.Open(path, platform::kRead, platform::kShareReadWrite,
                    platform::Disposition::kOpenExisting, error);
}

std::string AfterKey(std::string_view line) {
  return std::string(line.substr(9)) + "\\";
}

}  // namespace

ExtraFileList ReadExtraFileList(platform::Files& files, const std::string& path) {
  ExtraFileList list;
  auto file = OpenForReading(files, path);
  if (!file) return list;
  platform::TextReader reader(*file);
  std::string line;
  while (reader.ReadLine(line)) list.push_back(line.substr(0, kExtraNameLength));
  int error = 0;
  file->Close(error);
  return list;
}

PathSettings ReadPathSettings(platform::Files& files, const std::string& path) {
  PathSettings settings;
  auto file = OpenForReading(files, path);
  if (!file) return settings;
  settings.opened = true;
  platform::TextReader reader(*file);
  std::string line;
  while (reader.ReadLine(line)) {
    bool source = line.starts_with("DOR_2019=");
    bool target = line.starts_with("DOR_2020=");
    if (!source && !target) continue;
    std::string value = line.substr(9);
    // A control character (a carriage return inside the line, a zero byte) names no
    // directory, and a zero byte would end the name early on the host: refused like a
    // value too long.
    const bool control = std::any_of(value.begin(), value.end(),
                                     [](char c) { return static_cast<unsigned char>(c) < ' '; });
    if (value.size() + 1 > kMaxTreeLength || control) {
      settings.refused.push_back(line);
      continue;
    }
    if (source) {
      settings.sourceTree = AfterKey(line);
    } else {
      // An empty value is an empty Target tree, not the root of the current drive.
      settings.targetTree = value.empty() ? std::string() : AfterKey(line);
    }
  }
  int error = 0;
  file->Close(error);
  return settings;
}

bool WritePathSettings(platform::Files& files, const std::string& path, std::string_view sourceTree,
                       std::string_view targetTree) {
  int error = 0;
  auto file = files.Open(path, platform::kWrite, platform::kShareNone,
                         platform::Disposition::kCreateAlways, error);
  if (!file) return false;
  auto withoutLast = [](std::string_view s) { return s.empty() ? s : s.substr(0, s.size() - 1); };
  bool ok = platform::WriteLine(*file, "[PATHS]", error) &&
            platform::WriteLine(*file, "DOR_2019=" + std::string(withoutLast(sourceTree)), error) &&
            platform::WriteLine(*file, "DOR_2020=" + std::string(withoutLast(targetTree)), error);
  ok = file->Close(error) && ok;
  return ok;
}

std::string DefaultTargetTree(std::string_view programDirectory) {
  if (programDirectory.size() >= 2 && programDirectory[1] == ':' &&
      std::isalpha(static_cast<unsigned char>(programDirectory[0])))
    return std::string(programDirectory.substr(2));
  return std::string(programDirectory);
}

}  // namespace zq::driver
