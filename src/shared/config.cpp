#include "shared/config.h"

#include <algorithm>

#include "tui/polish.h"
#include "tui/screen.h"

namespace zq::shared {

namespace {

constexpr std::size_t kMaxParameters = 255;

std::string_view DropSwitchChar(std::string_view text) {
  if (!text.empty() && (text.front() == '/' || text.front() == '-')) text.remove_prefix(1);
  return text;
}

bool HasPathSeparator(std::string_view name) {
  return name.find_first_of("\\/") != std::string_view::npos;
}

}  // namespace

std::optional<int> FindOption(std::span<const std::string> arguments, bool ignoreCase,
                              std::string_view option) {
  std::string wanted(DropSwitchChar(option));
  if (ignoreCase) wanted = tui::UpperText(wanted);
  std::size_t count = std::min(arguments.size(), kMaxParameters);
  for (std::size_t i = 0; i < count; ++i) {
    std::string parameter(DropSwitchChar(arguments[i]));
    if (ignoreCase) parameter = tui::UpperText(parameter);
    if (parameter.starts_with(wanted)) return static_cast<int>(i + 1);
  }
  return std::nullopt;
}

std::string OptionValue(std::span<const std::string> arguments, bool ignoreCase,
                        std::string_view option) {
  std::optional<int> found = FindOption(arguments, ignoreCase, option);
  if (!found) return {};
  const std::string& parameter = arguments[static_cast<std::size_t>(*found - 1)];
  if (parameter.size() <= option.size()) return {};
  return parameter.substr(option.size());
}

std::string EnvironmentValue(platform::Process& process, std::string_view name) {
  return process.Environment(name).value_or(std::string());
}

std::string FirmListName(std::span<const std::string> arguments, platform::Process& process) {
  std::string name = OptionValue(arguments, true, "/kprspis:").substr(0, kFirmListNameLength);
  if (name.empty()) name = EnvironmentValue(process, "KPRSPIS").substr(0, kFirmListNameLength);
  return name.empty() ? std::string(kDefaultFirmListName) : name;
}

Configuration SettleConfiguration(platform::Process& process) {
  std::vector<std::string> arguments = process.Arguments();
  std::string programDirectory = tui::PathDirectory(process.OwnPath());
  Configuration config;
  config.firmListName = FirmListName(arguments, process);

  config.configFile = EnvironmentValue(process, "KPRCNF");
  if (config.configFile.empty()) config.configFile = "DOR_2020.INI";
  if (!HasPathSeparator(config.configFile))
    config.configFile = programDirectory + config.configFile;

  config.printerFile = EnvironmentValue(process, "KPRLPT");
  if (config.printerFile.empty()) config.printerFile = programDirectory + "DRUKARKI.SET";

  config.arkDirectory = programDirectory + "ARK\\";
  config.xmlDirectory = programDirectory + "XML\\";
  config.dorDirectory = programDirectory + "DOR\\";
  config.rejDirectory = programDirectory + "REJ\\";
  config.kduDirectory = programDirectory + "KDU\\";

  // A bare "NAME\" is a directory of the installation; anything else is a path as given.
  std::string xy = EnvironmentValue(process, "KPRXY");
  if (xy.empty())
    config.xyDirectory = programDirectory + "XY\\";
  else if (xy.find('\\') == xy.size() - 1)
    config.xyDirectory = programDirectory + xy;
  else
    config.xyDirectory = xy;

  config.exc = FindOption(arguments, true, "/EXC").has_value();
  config.lfn = FindOption(arguments, true, "/LFN").has_value();
  return config;
}

}  // namespace zq::shared
