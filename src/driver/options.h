// The Conversion options: every choice of the Wizard, one record for the whole run.
// Check groups are 16-bit sets (bit i for item i from the top); radio groups are
// 16-bit indexes.
#pragma once

#include <cstdint>
#include <string>

namespace zq::driver {

struct ConversionOptions {
  std::string sourceTree = "\\DOR_2019\\";
  std::string targetTree;
  std::uint16_t polishStandard = 0;
  bool warnOpenDecember = true;
  bool showSlowly = false;
  bool hideConverted = false;
  std::uint16_t globalItems = 0x06D7;
  std::uint16_t firmItems = 0xFFFF;
  std::uint16_t staffScope = 0;
  std::uint16_t pid5Scope = 0;
  std::uint16_t entered2020Items = 0xFFFF;
  std::uint16_t dllItems = 0xFFFD;
  std::uint16_t runItems = 0xFFFF;
  std::string globalSourceDir = "#BIN980";
  bool stopPerFirm = false;
};

// Items of RunItems.
inline constexpr std::uint16_t kRunGlobal = 1 << 0;
inline constexpr std::uint16_t kRunFirms = 1 << 1;

// Longest tree root the program keeps: a longer one is refused, never cut, since a cut
// path names a different directory.
inline constexpr std::size_t kMaxTreeLength = 255;

}  // namespace zq::driver
