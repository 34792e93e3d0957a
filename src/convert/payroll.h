// The payroll records a firm keyed into 2020 with the old program version (2020WP2.REK,
// one 10176-byte record per person with twelve monthly blocks) moved field by field into
// the new layout (2020WP5.REK, 26624 bytes), whose monthly blocks and amount slots are
// wider. Every byte no row names is 0 in the new record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "shared/record.h"

namespace zq::convert {

inline constexpr std::string_view kOldPayrollFileName = "2020WP2.REK";
inline constexpr std::string_view kPayrollFileName = "2020WP5.REK";
inline constexpr std::uint16_t kOldPayrollSize = 10176;
inline constexpr std::uint16_t kPayrollSize = 26624;
inline constexpr std::uint8_t kPayrollLayoutMark = 5;

inline constexpr std::size_t kPayrollMonths = 12;
inline constexpr std::size_t kPayrollMonthStart = 0x1A7;  // of month 1, in both layouts
inline constexpr std::size_t kOldPayrollMonthSize = 800;
inline constexpr std::size_t kPayrollMonthSize = 2048;

// The header: the fields before and after the monthly blocks. Names tell the offset in
// the old layout; only the placement of these values is known, not their meaning.
inline constexpr shared::Field kOldPayrollFields[] = {
    {"PersonKey", 0x0000, 8, shared::Kind::Int64},
    {"Setting09", 0x0009, 1, shared::Kind::Byte},
    {"Setting0E", 0x000E, 1, shared::Kind::Byte},
    {"Person", 0x000F, 408, shared::Kind::Bytes},
    {"Months", kPayrollMonthStart, kOldPayrollMonthSize, shared::Kind::Bytes, kPayrollMonths},
    {"Word2727", 0x2727, 2, shared::Kind::Word},
    {"Byte2729", 0x2729, 1, shared::Kind::Byte},
    {"Byte272A", 0x272A, 1, shared::Kind::Byte},
    {"Block2754", 0x2754, 60, shared::Kind::Bytes},
    {"Byte2790", 0x2790, 1, shared::Kind::Byte},
    {"Byte2791", 0x2791, 1, shared::Kind::Byte},
    {"Byte2793", 0x2793, 1, shared::Kind::Byte},
    {"Real2794", 0x2794, 8, shared::Kind::Real},
};
inline constexpr shared::Layout kOldPayroll{"2020WP2.REK", kOldPayrollSize, kOldPayrollFields};
static_assert(kOldPayroll.Problem().empty());

inline constexpr shared::Field kPayrollFields[] = {
    {"PersonKey", 0x0000, 8, shared::Kind::Int64},
    {"LayoutMark", 0x0008, 1, shared::Kind::Byte},
    {"Setting09", 0x0009, 1, shared::Kind::Byte},
    {"Setting0E", 0x000E, 1, shared::Kind::Byte},
    {"Person", 0x000F, 408, shared::Kind::Bytes},
    {"Months", kPayrollMonthStart, kPayrollMonthSize, shared::Kind::Bytes, kPayrollMonths},
    {"Word2727", 0x61A7, 2, shared::Kind::Word},
    {"Byte2729", 0x61A9, 1, shared::Kind::Byte},
    {"Byte272A", 0x61AA, 1, shared::Kind::Byte},
    {"Block2754", 0x61D4, 60, shared::Kind::Bytes},
    {"Byte2790", 0x6210, 1, shared::Kind::Byte},
    {"Byte2791", 0x6211, 1, shared::Kind::Byte},
    {"Byte2793", 0x6213, 1, shared::Kind::Byte},
    {"Real2794", 0x6214, 8, shared::Kind::Real},
};
inline constexpr shared::Layout kPayroll{"2020WP5.REK", kPayrollSize, kPayrollFields};
static_assert(kPayroll.Problem().empty());

// One monthly block, offsets from its start; names again tell the old offset.
inline constexpr shared::Field kOldPayrollMonthFields[] = {
    {"MonthText", 0x006, 7, shared::Kind::Text},
    {"Amounts00D", 0x00D, 8, shared::Kind::Real, 10},
    {"Word05D", 0x05D, 2, shared::Kind::Word},  // belongs to amount 5
    {"Word05F", 0x05F, 2, shared::Kind::Word},  // belongs to amount 10
    {"Amounts061", 0x061, 8, shared::Kind::Real, 5},
    {"Real089", 0x089, 8, shared::Kind::Real},
    {"Byte091", 0x091, 1, shared::Kind::Byte},
    {"Amounts092", 0x092, 8, shared::Kind::Real, 5},
    {"Hundredths308", 0x308, 4, shared::Kind::Int32},
    {"Amounts0BA", 0x0BA, 8, shared::Kind::Real, 7},
    {"Byte0FA", 0x0FA, 1, shared::Kind::Byte},
    {"Amounts0FB", 0x0FB, 8, shared::Kind::Real, 4},
    {"Byte11B", 0x11B, 1, shared::Kind::Byte},
    {"Raw11C", 0x11C, 24, shared::Kind::Bytes},
    {"Raw134", 0x134, 22, shared::Kind::Bytes},
    {"Raw14A", 0x14A, 48, shared::Kind::Bytes},
    {"Raw17A", 0x17A, 48, shared::Kind::Bytes},
    {"Amounts1AA", 0x1AA, 8, shared::Kind::Real, 2},
    {"Real0F2", 0x0F2, 8, shared::Kind::Real},
    {"Byte1BA", 0x1BA, 1, shared::Kind::Byte},
    {"Real1BB", 0x1BB, 8, shared::Kind::Real},
    {"Byte1C3", 0x1C3, 1, shared::Kind::Byte},
    {"Amounts1C4", 0x1C4, 8, shared::Kind::Real, 2},
    {"Text1D4", 0x1D4, 5, shared::Kind::Text},
    {"Raw1D9", 0x1D9, 8, shared::Kind::Bytes},
    {"Entries1E1", 0x1E1, 30, shared::Kind::Bytes, 8},
    {"Amounts2D1", 0x2D1, 8, shared::Kind::Real, 2},
    {"Ints2E1", 0x2E1, 4, shared::Kind::Int32, 2},
    {"Words2E9", 0x2E9, 2, shared::Kind::Word, 2},
    {"Bytes2ED", 0x2ED, 1, shared::Kind::Byte, 2},
    {"Amounts2EF", 0x2EF, 8, shared::Kind::Real, 3},
    {"Byte307", 0x307, 1, shared::Kind::Byte},
    {"Word30C", 0x30C, 2, shared::Kind::Word},
    {"Real30E", 0x30E, 8, shared::Kind::Real},
    {"Bytes317", 0x317, 1, shared::Kind::Byte, 3},
};
inline constexpr shared::Layout kOldPayrollMonth{"2020WP2.REK month", kOldPayrollMonthSize,
                                                 kOldPayrollMonthFields};
static_assert(kOldPayrollMonth.Problem().empty());

inline constexpr shared::Field kPayrollMonthFields[] = {
    {"MonthText", 0x006, 7, shared::Kind::Text},
    {"Amounts00D", 0x00D, 8, shared::Kind::Real, 10, 24},
    {"Word05D", 0x075, 2, shared::Kind::Word},
    {"Word05F", 0x0ED, 2, shared::Kind::Word},
    {"Amounts061", 0x1ED, 8, shared::Kind::Real, 5, 72},
    {"Real089", 0x4BD, 8, shared::Kind::Real},
    {"Byte091", 0x4CD, 1, shared::Kind::Byte},
    {"Amounts092", 0x4CE, 8, shared::Kind::Real, 5},
    {"Hundredths308", 0x4F6, 8, shared::Kind::Real},
    {"Amounts0BA", 0x4FE, 8, shared::Kind::Real, 7},
    {"Byte0FA", 0x536, 1, shared::Kind::Byte},
    {"Amounts0FB", 0x537, 8, shared::Kind::Real, 4},
    {"Byte11B", 0x557, 1, shared::Kind::Byte},
    {"Raw11C", 0x558, 24, shared::Kind::Bytes},
    {"Raw134", 0x570, 22, shared::Kind::Bytes},
    {"Raw14A", 0x586, 48, shared::Kind::Bytes},
    {"Raw17A", 0x5B6, 48, shared::Kind::Bytes},
    {"Amounts1AA", 0x5E6, 8, shared::Kind::Real, 2},
    {"Real0F2", 0x5F6, 8, shared::Kind::Real},
    {"Byte1BA", 0x606, 1, shared::Kind::Byte},
    {"Real1BB", 0x607, 8, shared::Kind::Real},
    {"Byte1C3", 0x60F, 1, shared::Kind::Byte},
    {"Amounts1C4", 0x610, 8, shared::Kind::Real, 2},
    {"Text1D4", 0x620, 5, shared::Kind::Text},
    {"Raw1D9", 0x625, 8, shared::Kind::Bytes},
    {"Entries1E1", 0x62D, 30, shared::Kind::Bytes, 8},
    {"Amounts2D1", 0x75D, 8, shared::Kind::Real, 2},
    {"Ints2E1", 0x76D, 4, shared::Kind::Int32, 2},
    {"Words2E9", 0x775, 2, shared::Kind::Word, 2},
    {"Bytes2ED", 0x779, 1, shared::Kind::Byte, 2},
    {"Amounts2EF", 0x77B, 8, shared::Kind::Real, 3},
    {"Byte307", 0x793, 1, shared::Kind::Byte},
    {"Word30C", 0x794, 2, shared::Kind::Word},
    {"Real30E", 0x796, 8, shared::Kind::Real},
    {"Bytes317", 0x79E, 1, shared::Kind::Byte, 3},
};
inline constexpr shared::Layout kPayrollMonth{"2020WP5.REK month", kPayrollMonthSize,
                                              kPayrollMonthFields};
static_assert(kPayrollMonth.Problem().empty());

// A Record converter: the header, then months 1 to 12, each by its table; an amount
// kept in hundredths becomes a real. Always true.
bool ConvertPayroll(std::span<const std::uint8_t> in, std::span<std::uint8_t> out);

}  // namespace zq::convert
