// Command-line options, environment variables and the locations the ledger program's
// configuration is taken from, settled once at start.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/process.h"

namespace zq::shared {

inline constexpr std::string_view kDefaultFirmListName = "SPISFIRM.DAT";
// The firm list name is an 8.3 file name.
inline constexpr std::size_t kFirmListNameLength = 12;

// The number (1-based) of the first parameter that starts with `option`. A leading "/"
// or "-" is ignored on both sides, so "/kprspis:", "-KPRSPIS:" and "kprspis:" all match
// the option "/kprspis:" when ignoreCase is set. Only the first 255 parameters count.
std::optional<int> FindOption(std::span<const std::string> arguments, bool ignoreCase,
                              std::string_view option);

// The rest of the matching parameter, taken from the length of `option` as written: the
// value of "/kprspis:" starts at the tenth character whatever the parameter's own prefix,
// so a parameter without its "/" loses the first character of its value. Empty when the
// option is absent.
std::string OptionValue(std::span<const std::string> arguments, bool ignoreCase,
                        std::string_view option);

// Empty when the variable is not set.
std::string EnvironmentValue(platform::Process& process, std::string_view name);

// "/kprspis:" first, then KPRSPIS, each cut to 12 characters; "SPISFIRM.DAT" when both
// are empty.
std::string FirmListName(std::span<const std::string> arguments, platform::Process& process);

// What the ledger program settles at start. This tool reads none of it after start-up
// except the firm list name; the rest is kept so that start-up does what the ledger
// program's does and so that it can be shown when asked.
struct Configuration {
  std::string firmListName{kDefaultFirmListName};
  std::string configFile;   // KPRCNF, else DOR_2020.INI beside the program
  std::string printerFile;  // KPRLPT, else DRUKARKI.SET beside the program
  std::string arkDirectory, xmlDirectory, dorDirectory, rejDirectory, kduDirectory;
  std::string xyDirectory;  // KPRXY, else XY\ beside the program
  bool exc = false;         // "/EXC": recognised, no effect on this tool
  bool lfn = false;         // "/LFN": recognised, no effect on this tool
};

// Settles everything from the process's arguments, environment and own path.
Configuration SettleConfiguration(platform::Process& process);

}  // namespace zq::shared
