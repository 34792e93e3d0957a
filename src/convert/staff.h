// A firm's people into the new year: the person file (employees and owners), the
// families hanging on a person, the PID-5 and PIT-28 tax-form data of each person and
// the contracts of mandate entered in 2020.
//
// The person step decides who is carried (all, those employed on 31.12.2019, or each
// on the user's answer) and remembers every carried person's key; the family and
// contract steps keep only the records of a remembered person, so no key is rewritten.
// Carried records keep every byte as read except over-long length bytes; the tax forms
// are rebuilt for 2020 from a zeroed record unless the form of 2020 is kept whole.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_set>

#include "convert/copy.h"
#include "shared/record.h"

namespace zq::convert {

inline constexpr std::string_view kPersonFileName = "DANE_PR8.REK";
inline constexpr std::string_view kFamilyFileName = "DANE_PF8.REK";
inline constexpr std::string_view kContractFileName = "2020UZ3.REK";
inline constexpr std::string_view kPid5Name2020 = "2020p5.13";
inline constexpr std::string_view kPid5Name2019 = "2019p5.13";
inline constexpr std::string_view kPit28Name2020 = "2020_p28.rek";
inline constexpr std::string_view kPit28Name2019 = "2019_p28.rek";

inline constexpr std::uint16_t kPersonRecordSize = 2048;
inline constexpr std::uint16_t kFamilyRecordSize = 352;
inline constexpr std::uint16_t kContractRecordSize = 552;
inline constexpr std::uint16_t kTaxFormRecordSize = 13952;

// Protection mark of a person record whose bytes 0x00E..0x7E5 are scrambled.
inline constexpr std::uint8_t kProtectedMark = 2;

// How the person step chooses (the option "*) Dane - przenieś :").
enum StaffSelection : std::uint16_t {
  kCarryAll = 0,
  kCarryEmployed = 1,  // those not gone before 31.12.2019
  kAskEach = 2,
};
// How the tax-form steps choose (the option "**) z PID-5 - przenieś :").
enum FormSelection : std::uint16_t {
  kFormsAll = 0,
  kFormsAsk = 1,
};

// The person record. The three address blocks are carried as they are.
inline constexpr shared::Field kPersonFields[] = {
    {"Key", 0x000, 8, shared::Kind::Int64},
    {"Mark", 0x008, 1, shared::Kind::Byte},
    {"Nip", 0x00E, 14, shared::Kind::Text},    // carried, not cut
    {"Pesel", 0x01C, 12, shared::Kind::Text},  // carried, not cut
    {"Surname", 0x028, 32, shared::Kind::Text},
    {"FirstName", 0x048, 23, shared::Kind::Text},
    {"SecondName", 0x05F, 23, shared::Kind::Text},
    {"Father", 0x076, 23, shared::Kind::Text},
    {"Mother", 0x08D, 23, shared::Kind::Text},
    {"Born", 0x0A4, 4, shared::Kind::Date},
    {"BirthPlace", 0x0A8, 41, shared::Kind::Text},
    {"Left", 0x0D5, 4, shared::Kind::Date},  // 0 while still employed
    {"Text0DB", 0x0DB, 32, shared::Kind::Text},
    {"Text0FB", 0x0FB, 23, shared::Kind::Text},
    {"Text1AB", 0x1AB, 37, shared::Kind::Text},
    {"Text201", 0x201, 66, shared::Kind::Text},
    {"Text243", 0x243, 5, shared::Kind::Text},
    {"Addresses", 0x248, 224, shared::Kind::Bytes, 3},
    {"Text4E8", 0x4E8, 31, shared::Kind::Text},
    {"Texts514", 0x514, 51, shared::Kind::Text, 8},
    {"Text6AE", 0x6AE, 25, shared::Kind::Text},
    {"Text6D1", 0x6D1, 32, shared::Kind::Text},
    {"Text77B", 0x77B, 9, shared::Kind::Text},
    {"Text785", 0x785, 71, shared::Kind::Text},
    {"Text7D0", 0x7D0, 16, shared::Kind::Text},
};
inline constexpr shared::Layout kPersonRecord{"DANE_PR8.REK", kPersonRecordSize, kPersonFields};
static_assert(kPersonRecord.Problem().empty());

inline constexpr shared::Field kFamilyFields[] = {
    {"Key", 0x000, 8, shared::Kind::Int64},  // of the person the member belongs to
    {"Text02E", 0x02E, 10, shared::Kind::Text},   {"Surname", 0x038, 32, shared::Kind::Text},
    {"FirstName", 0x058, 23, shared::Kind::Text}, {"Address", 0x078, 224, shared::Kind::Bytes},
};
inline constexpr shared::Layout kFamilyRecord{"DANE_PF8.REK", kFamilyRecordSize, kFamilyFields};
static_assert(kFamilyRecord.Problem().empty());

inline constexpr shared::Field kContractFields[] = {
    {"Key", 0x000, 8, shared::Kind::Int64},  // of the contractor
    {"Text014", 0x014, 11, shared::Kind::Text},
    {"Text01F", 0x01F, 11, shared::Kind::Text},
    {"Texts02A", 0x02A, 61, shared::Kind::Text, 3},
};
inline constexpr shared::Layout kContractRecord{"2020UZ3.REK", kContractRecordSize,
                                                kContractFields};
static_assert(kContractRecord.Problem().empty());

namespace detail {
template <std::size_t A, std::size_t B>
constexpr std::array<shared::Field, A + B> JoinFields(const shared::Field (&a)[A],
                                                      const shared::Field (&b)[B]) {
  std::array<shared::Field, A + B> all{};
  for (std::size_t i = 0; i < A; ++i) all[i] = a[i];
  for (std::size_t i = 0; i < B; ++i) all[A + i] = b[i];
  return all;
}
}  // namespace detail

// What the PID-5 and PIT-28 records share.
inline constexpr shared::Field kTaxFormCommonFields[] = {
    {"Key", 0x000, 8, shared::Kind::Int64},
    {"FormDate", 0x00C, 4, shared::Kind::Date},
    {"FormYear", 0x00E, 2, shared::Kind::Word, 1, 0, shared::kMayOverlap},
    {"SecondDate", 0x010, 4, shared::Kind::Bytes},
    {"SecondYear", 0x012, 2, shared::Kind::Word, 1, 0, shared::kMayOverlap},
    {"TextPair", 0x014, 71, shared::Kind::Bytes},  // a text of 65, then a text of 4
    {"PairFirst", 0x014, 66, shared::Kind::Text, 1, 0, shared::kMayOverlap},
    {"PairSecond", 0x056, 5, shared::Kind::Text, 1, 0, shared::kMayOverlap},
    {"Personal", 0x05B, 73, shared::Kind::Bytes},
    {"Surname", 0x069, 32, shared::Kind::Text, 1, 0, shared::kMayOverlap},
    {"FirstName", 0x089, 23, shared::Kind::Text, 1, 0, shared::kMayOverlap},
    {"Address", 0x0A4, 224, shared::Kind::Bytes},
    {"Setting3677", 0x3677, 1, shared::Kind::Byte},
};

inline constexpr shared::Field kPid5OnlyFields[] = {
    {"Group1", 0x184, 103, shared::Kind::Bytes, 8},
    {"Group1TextA", 0x184 + 0x1D, 37, shared::Kind::Text, 8, 103, shared::kMayOverlap},
    {"Group1TextB", 0x184 + 0x42, 37, shared::Kind::Text, 8, 103, shared::kMayOverlap},
    {"Group1First", 1212, 8, shared::Kind::Real, 8, 424},
    {"Group1Twelfth", 1300, 8, shared::Kind::Real, 8, 424},
    {"Group2", 0x11FC, 103, shared::Kind::Bytes, 8},
    {"Group2TextA", 0x11FC + 0x1D, 37, shared::Kind::Text, 8, 103, shared::kMayOverlap},
    {"Group2TextB", 0x11FC + 0x42, 37, shared::Kind::Text, 8, 103, shared::kMayOverlap},
    {"Group2First", 5428, 8, shared::Kind::Real, 8, 424},
    {"Group2Twelfth", 5516, 8, shared::Kind::Real, 8, 424},
    {"Group3", 0x2274, 169, shared::Kind::Bytes, 2},
    {"Group3Text13", 0x2274, 14, shared::Kind::Text, 2, 169, shared::kMayOverlap},
    {"Group3Text14", 0x2274 + 0x0E, 15, shared::Kind::Text, 2, 169, shared::kMayOverlap},
    {"Group3TextA", 0x2274 + 0x1D, 37, shared::Kind::Text, 2, 169, shared::kMayOverlap},
    {"Group3TextB", 0x2274 + 0x42, 37, shared::Kind::Text, 2, 169, shared::kMayOverlap},
    {"Group3TextC", 0x2274 + 0x67, 37, shared::Kind::Text, 2, 169, shared::kMayOverlap},
    {"Group3Text18", 0x2274 + 0x8C, 19, shared::Kind::Text, 2, 169, shared::kMayOverlap},
    {"Group3First", 9158, 8, shared::Kind::Real, 2, 522},
    {"Group3Twelfth", 9246, 8, shared::Kind::Real, 2, 522},
    {"Setting363C", 0x363C, 1, shared::Kind::Byte},
    {"Setting363E", 0x363E, 2, shared::Kind::Word},
    {"NeverZero", 0x3640, 1, shared::Kind::Byte, 3},  // 1 in the output when 0
    {"Setting364B", 0x364B, 2, shared::Kind::Word},
    {"Setting364F", 0x364F, 2, shared::Kind::Word},
    {"Setting3669", 0x3669, 1, shared::Kind::Byte},
};
inline constexpr auto kPid5Fields = detail::JoinFields(kTaxFormCommonFields, kPid5OnlyFields);
inline constexpr shared::Layout kPid5Record{"2020p5.13", kTaxFormRecordSize, kPid5Fields};
static_assert(kPid5Record.Problem().empty());

inline constexpr shared::Field kPit28OnlyFields[] = {
    {"MonthWord", 0x189, 2, shared::Kind::Word, 12, 490},
    {"MonthByte", 0x36D, 1, shared::Kind::Byte, 12, 490},
};
inline constexpr auto kPit28Fields = detail::JoinFields(kTaxFormCommonFields, kPit28OnlyFields);
inline constexpr shared::Layout kPit28Record{"2020_p28.rek", kTaxFormRecordSize, kPit28Fields};
static_assert(kPit28Record.Problem().empty());

// The 31.12.2019 a person must not have left before to be carried as employed.
inline constexpr shared::Date kReferenceDate{31, 12, 2019};
// The date a rebuilt form carries.
inline constexpr shared::Date kFormDate2020{1, 1, 2020};
inline constexpr std::uint8_t kPit28MonthByte = 3;

// One firm's staff state, set anew for every firm.
struct StaffTransfer {
  // Starts a firm: the selection from the option, nobody moved, nothing dropped.
  void Begin(std::uint16_t staffScope) {
    *this = StaffTransfer{};
    selectionMode = staffScope;
  }
  bool Moved(std::int64_t key) const { return moved.contains(key); }

  // A working copy of the option; the answer "W" turns it to kCarryAll for the rest of
  // the firm.
  std::uint16_t selectionMode = kCarryAll;
  // The key of every carried person, however many: the families and contracts of each
  // must find it. A key no carried person had never matches.
  std::unordered_set<std::int64_t> moved;
  int movedCount = 0;
  // Family members and contracts dropped because their person was not carried.
  int notCarried = 0;
};

// How one of the steps below ended.
struct StaffFileResult {
  CopyStatus status = CopyStatus::kNoSource;
  // Records cut short by the end of the file, reported and not written.
  int damaged = 0;
  // Protected person records that no seed decodes, carried as they were.
  int unread = 0;
};

// DANE_PR8.REK, 2048 -> 2048: the persons chosen, each remembered in `staff`; texts cut
// but for the identity numbers; a protected record unscrambled with the seed its file's
// data show, cut, and scrambled again with it.
StaffFileResult ConvertPersons(Copier& copier, StaffTransfer& staff, std::string_view source,
                               std::string_view target);
// DANE_PF8.REK, 352 -> 352: the members of carried persons, texts cut; every other
// member is reported, with a key wait, and counted in `staff.notCarried`.
StaffFileResult ConvertFamilies(Copier& copier, StaffTransfer& staff, std::string_view source,
                                std::string_view target);
// 2020UZ3.REK, a record copy of 552: the same choice as the families, without a line
// for the contracts kept.
StaffFileResult CopyContracts(Copier& copier, StaffTransfer& staff, std::string_view source,
                              std::string_view target);

struct TaxFormChoice {
  std::uint16_t selection = kFormsAll;  // FormSelection
  bool annualFrom2020 = false;
};
// 13952 -> 13952 each: every form chosen, a PID-5 form of 2020 kept whole when the
// annual settings came from 2020 and rebuilt for 2020 otherwise; a PIT-28 form always
// rebuilt.
StaffFileResult ConvertPid5Forms(Copier& copier, const TaxFormChoice& choice,
                                 std::string_view source, std::string_view target);
StaffFileResult ConvertPit28Forms(Copier& copier, const TaxFormChoice& choice,
                                  std::string_view source, std::string_view target);

}  // namespace zq::convert
