// The two small text files beside the program: the Extra file list (.LST) and the
// Path settings (.PTH), and how the tree roots are resolved at start.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace zq::driver {

// Names of files copied for every firm, in file order; "a>b" copies a to b.
using ExtraFileList = std::vector<std::string>;
inline constexpr std::size_t kExtraNameLength = 25;

// Empty when the file does not open; every line is an entry, cut to 25 characters.
ExtraFileList ReadExtraFileList(platform::Files& files, const std::string& path);

struct PathSettings {
  std::optional<std::string> sourceTree;  // with the trailing backslash added
  std::optional<std::string> targetTree;  // empty stays empty
  bool opened = false;
  // Values refused because they are longer than a tree root may be.
  std::vector<std::string> refused;
};

// Reads DOR_2019= and DOR_2020= lines (exact case, column 1, the later line wins).
PathSettings ReadPathSettings(platform::Files& files, const std::string& path);
// The three lines "[PATHS]", "DOR_2019=...", "DOR_2020=..."; false when it cannot be written.
bool WritePathSettings(platform::Files& files, const std::string& path, std::string_view sourceTree,
                       std::string_view targetTree);

// The Program directory without a drive prefix "X:" (only a drive prefix is dropped:
// a UNC or POSIX directory stays whole).
std::string DefaultTargetTree(std::string_view programDirectory);

}  // namespace zq::driver
