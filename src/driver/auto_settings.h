// The settings file of an unattended run: every Wizard choice, the firms to carry and an
// answer for every question the run can ask, as an INI file whose keys are the Wizard's
// own labels. Read with a line per problem (an unknown key, a missing key, a value out
// of range), so that a wrong file is refused whole; written from the choices of a
// Wizard walk, so that the walk can be replayed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "driver/options.h"

namespace zq::driver {

struct AutoAnswers {
  char annualYear = 'B';     // 'B' the 2019 settings, 'N' the 2020 ones
  char overwrite = 'Z';      // 'Z' keep the existing file, 'W' replace it
  int vatProportion = -1;    // 0..100; -1 skips a firm whose proportion is asked
  int lockWaitSeconds = 30;  // 0..3600, then the wait is given up
};

struct AutoSettings {
  ConversionOptions options;
  AutoAnswers answers;
  bool allFirms = true;
  std::vector<std::string> firms;  // directories, when not all
};

struct AutoSettingsRead {
  AutoSettings settings;
  std::vector<std::string> problems;  // code page 852, one line each
  bool Ok() const { return problems.empty(); }
};

// `text` is the file's content, code page 852.
AutoSettingsRead ParseAutoSettings(std::string_view text);
std::string FormatAutoSettings(const AutoSettings& settings);

}  // namespace zq::driver
