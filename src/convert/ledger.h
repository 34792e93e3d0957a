// The ledger entries and repayments a firm keyed into 2020 with the old program version:
// monthly entry files 2020K880.m (400-byte records) become 2020K990.m (1024-byte
// records), and the repayment files 2020SP.m keep their 48-byte layout. The entry
// converter drops struck-out entries, widens the texts, stamps the record, gives the
// entries that share in the VAT proportion the firm's proportion and recomputes the
// amounts the ledger derives from the others.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "convert/copy.h"
#include "platform/process.h"
#include "shared/record.h"

namespace zq::convert {

inline constexpr std::string_view kOldEntryStem = "2020K880";
inline constexpr std::string_view kEntryStem = "2020K990";
inline constexpr std::string_view kRepaymentStem = "2020SP";
inline constexpr std::uint16_t kOldEntrySize = 400;
inline constexpr std::uint16_t kEntrySize = 1024;
inline constexpr std::uint16_t kRepaymentSize = 48;

// The fields both entry layouts share, at the same offsets. Each old text is as wide as
// its room up to the next field, so that an over-long length byte is never read past it.
inline constexpr shared::Field kOldEntryFields[] = {
    {"Sequence", 0x000, 4, shared::Kind::Int32},
    {"Date", 0x012, 4, shared::Kind::Date},
    {"Flags", 0x01E, 2, shared::Kind::Word},
    {"Text1", 0x020, 23, shared::Kind::Text},
    {"Text2", 0x037, 19, shared::Kind::Text},
    {"Text3", 0x04A, 37, shared::Kind::Text},
    {"Text4", 0x06F, 37, shared::Kind::Text},
    {"Text5", 0x094, 37, shared::Kind::Text},
    {"Text6", 0x0B9, 52, shared::Kind::Text},
    {"Settlement", 0x0ED, 1, shared::Kind::Byte},
    {"Column", 0x0F2, 1, shared::Kind::Byte},  // only the low 7 bits are the code
    {"DeductionMode", 0x0F3, 2, shared::Kind::Word},
    {"Net1", 0x0F8, 8, shared::Kind::Real},
    {"Vat1", 0x100, 8, shared::Kind::Real},
    {"Net2", 0x108, 8, shared::Kind::Real},
    {"Vat2", 0x110, 8, shared::Kind::Real},
    {"NetWithoutVat1", 0x118, 8, shared::Kind::Real},
    {"NetWithoutVat2", 0x120, 8, shared::Kind::Real},
    {"Net3", 0x128, 8, shared::Kind::Real},
    {"Vat3", 0x130, 8, shared::Kind::Real},
    {"Net4", 0x138, 8, shared::Kind::Real},
    {"Vat4", 0x140, 8, shared::Kind::Real},
    {"Further", 0x148, 8, shared::Kind::Real},
    {"VatLimit", 0x150, 8, shared::Kind::Real},
    {"VatProportion", 0x158, 2, shared::Kind::Word},
    {"NoSplit", 0x15A, 1, shared::Kind::Byte},
    {"NoRecompute", 0x15B, 1, shared::Kind::Byte},
    {"VatLimitMode", 0x15C, 1, shared::Kind::Byte},
    {"Marker", 0x16F, 1, shared::Kind::Byte},
    // Slot 1's amount is the amount outstanding, slot 2's the amount paid.
    {"PaymentKind", 0x170, 1, shared::Kind::Byte, 3, 9},
    {"PaymentAmount", 0x171, 8, shared::Kind::Real, 3, 9},
    // The whole old record, carried byte for byte into the start of the new one.
    {"Old", 0x000, kOldEntrySize, shared::Kind::Bytes, 1, 0, shared::kMayOverlap},
};
inline constexpr shared::Layout kOldEntry{"2020K880", kOldEntrySize, kOldEntryFields};
static_assert(kOldEntry.Problem().empty());

inline constexpr shared::Field kEntryOnlyFields[] = {
    {"LongText1", 0x190, 49, shared::Kind::Text},
    {"LongText3", 0x1C1, 129, shared::Kind::Text},
    {"LongText4", 0x242, 129, shared::Kind::Text},
    {"LongText5", 0x2C3, 81, shared::Kind::Text},
    {"LongText6", 0x314, 41, shared::Kind::Text},
    {"NonDeductibleNet", 0x34D, 8, shared::Kind::Real},
    {"NonDeductibleVat", 0x355, 8, shared::Kind::Real},
    {"LayoutMark", 0x35D, 1, shared::Kind::Byte},
    {"ConvertedAt", 0x35E, 4, shared::Kind::Int32},  // DOS date and time
};

namespace detail {
template <std::size_t A, std::size_t B>
constexpr std::array<shared::Field, A + B> Joined(const shared::Field (&a)[A],
                                                  const shared::Field (&b)[B]) {
  std::array<shared::Field, A + B> out{};
  for (std::size_t i = 0; i < A; ++i) out[i] = a[i];
  for (std::size_t i = 0; i < B; ++i) out[A + i] = b[i];
  return out;
}
}  // namespace detail

inline constexpr auto kEntryFields = detail::Joined(kOldEntryFields, kEntryOnlyFields);
inline constexpr shared::Layout kEntry{"2020K990", kEntrySize, kEntryFields};
static_assert(kEntry.Problem().empty());

inline constexpr shared::Field kRepaymentFields[] = {
    {"Date", 0x005, 4, shared::Kind::Date},
    {"Document", 0x011, 13, shared::Kind::Text},
};
inline constexpr shared::Layout kRepayment{"2020SP", kRepaymentSize, kRepaymentFields};
static_assert(kRepayment.Problem().empty());

inline constexpr std::uint8_t kEntryMarker = 0x5F;
inline constexpr std::uint8_t kEntryLayoutMark = 3;
// The column codes whose entries share in the VAT proportion.
inline constexpr std::uint8_t kSplitCodes[] = {7, 9, 15, 20, 31, 32, 33, 35, 36};

// An amount of at most this size counts as zero.
inline constexpr double kZeroAmount = 0.00009;
// Rounded to whole cents, halves away from zero (with the ledger's 0.000001 of slack);
// an amount that counts as zero gives 0.
double Cents(double amount);

// The packed DOS file time: date in the high word, time (two-second steps) in the low.
std::uint32_t DosDateTime(const platform::LocalTime& time);

// What the entry converter needs of the firm's run, set anew for each firm.
struct LedgerConversion {
  Copier* copier = nullptr;            // the progress log, the slow pause, the key wait
  platform::Process* clock = nullptr;  // the moment of conversion
  // After a struck-out entry: a key wait, unless the copier shows the run slowly (then
  // the one-second pause takes its place).
  bool waitOnStruckOut = false;
  bool vatProportional = false;
  std::uint16_t vatProportion = 0;  // percent
};

// A Record converter for one old entry: its screen line, then false for a struck-out
// entry, else the new record and true.
bool ConvertLedgerEntry(const LedgerConversion& ledger, std::span<const std::uint8_t> in,
                        std::span<std::uint8_t> out);

// A Record converter for one repayment: carried, the voucher text cut to 12, its text
// written on the log line the repayments before it share. Always true.
bool ConvertRepayment(ProgressLog& log, std::span<const std::uint8_t> in,
                      std::span<std::uint8_t> out);

}  // namespace zq::convert
