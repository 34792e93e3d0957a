// The payroll list settings (2048-byte records of 2019_lp.cc / 2020_lp.cc, written as
// 2020_lp2.cc) of a firm and of the installation: brought to layout 4 when older, and
// stamped with the year 2020 and the working days of its months.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "shared/record.h"

namespace zq::convert {

inline constexpr std::string_view kWageSettings2020Name = "2020_lp.cc";
inline constexpr std::string_view kWageSettings2019Name = "2019_lp.cc";
inline constexpr std::string_view kWageSettingsTargetName = "2020_lp2.cc";
inline constexpr std::uint16_t kWageSettingsRecordSize = 2048;

// Before layout 4: ten component entries of 18 bytes, five texts 18 bytes apart (the
// last has room only up to the raw block), the monthly bytes. Unnamed bytes are not
// carried into layout 4.
inline constexpr shared::Field kOldWageSettingsFields[] = {
    {"Code", 0x000, 3, shared::Kind::Text, 10, 18},
    {"Number", 0x003, 2, shared::Kind::Word, 10, 18},
    {"Name", 0x005, 13, shared::Kind::Text, 10, 18},
    {"Text", 0x0B9, 18, shared::Kind::Text, 4, 18},
    {"LastText", 0x101, 13, shared::Kind::Text},
    {"Block", 0x10E, 16, shared::Kind::Bytes},
    {"Word", 0x124, 2, shared::Kind::Word},
    {"Monthly", 0x126, 1, shared::Kind::Byte, 12},
    {"Byte", 0x14D, 1, shared::Kind::Byte},
    {"Mark", 0x262, 1, shared::Kind::Byte},
};
inline constexpr shared::Layout kOldWageSettings{"2019_lp.cc", kWageSettingsRecordSize,
                                                 kOldWageSettingsFields};
static_assert(kOldWageSettings.Problem().empty());

inline constexpr shared::Field kWageSettingsFields[] = {
    {"Code", 0x000, 3, shared::Kind::Text, 20, 22},
    {"Number", 0x003, 2, shared::Kind::Word, 20, 22},
    {"Name", 0x005, 17, shared::Kind::Text, 20, 22},
    {"Text", 0x1B8, 17, shared::Kind::Text, 5},
    {"Mark", 0x262, 1, shared::Kind::Byte},
    {"Year", 0x263, 2, shared::Kind::Word},
    {"Block", 0x265, 16, shared::Kind::Bytes},
    {"Word", 0x275, 2, shared::Kind::Word},
    {"Byte", 0x277, 1, shared::Kind::Byte},
    {"Monthly", 0x278, 1, shared::Kind::Byte, 12},
};
inline constexpr shared::Layout kWageSettings{"2020_lp2.cc", kWageSettingsRecordSize,
                                              kWageSettingsFields};
static_assert(kWageSettings.Problem().empty());

inline constexpr std::uint8_t kWageSettingsLayout = 4;
inline constexpr std::uint16_t kWageSettingsYear = 2020;
// Working days of the months of 2020.
inline constexpr std::uint8_t kWorkingDays2020[12] = {21, 20, 22, 21, 20, 21,
                                                      23, 20, 22, 22, 20, 21};

// A Record filter: an older record moved field by field into layout 4 (texts cut to
// 16), a layout-4 record kept as it is but for over-long length bytes; then the year
// and the working days of 2020 in every case. Always kept.
bool FilterWageSettings(std::span<std::uint8_t> record);

}  // namespace zq::convert
