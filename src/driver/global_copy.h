// The installation-wide data: the items chosen on the Wizard's global-data page carried
// from the Source tree's global directory (GlobalSourceDir, "#BIN980" unless changed)
// into the Target tree's "#BIN020", each with the copy that suits its format. Runs once,
// before the per-firm run.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "driver/run_state.h"

namespace zq::driver {

inline constexpr std::string_view kTargetGlobalDir = "#BIN020";

// Items of GlobalItems, page 2 from the top.
namespace global_items {
inline constexpr std::uint16_t kAddresses = 1 << 0;
inline constexpr std::uint16_t kTaxOffices = 1 << 1;
inline constexpr std::uint16_t kKeyConstants = 1 << 2;
inline constexpr std::uint16_t kOfficeData = 1 << 3;
inline constexpr std::uint16_t kDllSettings = 1 << 4;
inline constexpr std::uint16_t kTaxConstants = 1 << 5;
inline constexpr std::uint16_t kWageSettings = 1 << 6;
inline constexpr std::uint16_t kColours = 1 << 7;
inline constexpr std::uint16_t kProgramSettings = 1 << 8;
inline constexpr std::uint16_t kOperators = 1 << 9;
inline constexpr std::uint16_t kStaffFiles = 1 << 10;
}  // namespace global_items

enum class GlobalHow : std::uint8_t {
  kByteCopy,      // CopyFileBytes of each source to the file of the same name
  kTextCopy,      // CopyTextFile sources[0] -> target
  kAddresses,     // ConvertRecords with the address converter in the run-wide mode
  kTaxOffices,    // the same with the tax-office mode on for this item only
  kOfficeData,    // ConvertRecords with the office data converter
  kWageSettings,  // CopyRecords from sources[0] when not empty, else sources[1]
  kOperators,     // CopyRecords with the operator filter
};

struct GlobalItem {
  int number = 0;
  std::uint16_t box = 0;     // bit of GlobalItems
  std::string_view label{};  // logged before the item; empty for none (code page 852)
  GlobalHow how = GlobalHow::kByteCopy;
  std::array<std::string_view, 2> sources{};
  std::string_view target{};  // empty: the source's own name
};

// The items, in the order they run.
std::span<const GlobalItem> GlobalItems();

// Source directory: SourceTree + GlobalSourceDir (the tree root ends with its separator).
std::string GlobalSourceDirectory(const RunState& run);
std::string GlobalTargetDirectory(const RunState& run);

// The whole step: the text window narrowed, the directories checked (a missing source
// directory or a Target directory that cannot be made ends the program with exit code
// 0 after its error box), the chosen items in order, the pause when the run stops after
// each part, the log cleared below the banner and the text window restored.
void RunGlobalDataCopy(RunState& run);

// Runs one item; its box is not looked at.
void RunGlobalItem(RunState& run, const GlobalItem& item);

}  // namespace zq::driver
