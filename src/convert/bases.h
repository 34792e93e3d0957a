// The small bases of reusable data: addresses and tax offices, the accounting office's
// invoice data, operators, sales and purchase automation templates, transfer templates,
// internal documents, correction notes, issued interest lists, vehicles and one-off
// depreciated assets. Converters rebuild a record field by field into a zeroed output
// (dropping stray bytes between fields); filters carry the record byte for byte and
// only lower over-long length bytes. Every callback keeps every record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "convert/copy.h"
#include "shared/protection.h"
#include "shared/record.h"

namespace zq::convert {

namespace bases {
using shared::Field;
using shared::Kind;
using shared::kMayOverlap;
using shared::kNoFlags;
}  // namespace bases

// ---------------------------------------------------------------------------------------
// Address and tax-office bases (480 bytes), one record size and two readings of it.

inline constexpr std::string_view kAddressBaseName = "baza_ad8.rek";
inline constexpr std::string_view kTaxOfficeBaseName = "baza_us8.rek";
inline constexpr std::uint16_t kAddressBaseRecordSize = 480;

inline constexpr bases::Field kAddressBaseFields[] = {
    {"Number", 0x000, 4, bases::Kind::Int32},  {"IsTaxOffice", 0x004, 1, bases::Kind::Byte},
    {"Name", 0x005, 37, bases::Kind::Text, 3}, {"Town", 0x074, 19, bases::Kind::Text},
    {"Phone", 0x087, 15, bases::Kind::Text},   {"Box", 0x096, 12, bases::Kind::Text},
    {"PostCode", 0x0A2, 7, bases::Kind::Text}, {"Region", 0x0B5, 21, bases::Kind::Text},
    {"Street", 0x0CA, 31, bases::Kind::Text},  {"Nip", 0x0E9, 21, bases::Kind::Text, 2},
    {"Post", 0x113, 37, bases::Kind::Text},    {"Account", 0x138, 39, bases::Kind::Bytes},
    {"Note", 0x184, 37, bases::Kind::Text, 2}, {"Kind", 0x1CE, 1, bases::Kind::Byte},
};
inline constexpr shared::Layout kAddressBase{"baza_ad8.rek", kAddressBaseRecordSize,
                                             kAddressBaseFields};
static_assert(kAddressBase.Problem().empty());

inline constexpr bases::Field kTaxOfficeFields[] = {
    {"Number", 0x000, 4, bases::Kind::Int32},      {"IsTaxOffice", 0x004, 1, bases::Kind::Byte},
    {"Name", 0x005, 49, bases::Kind::Text},        {"PostCode", 0x036, 7, bases::Kind::Text},
    {"Town", 0x03D, 27, bases::Kind::Text},        {"Street", 0x058, 45, bases::Kind::Text},
    {"Office", 0x085, 53, bases::Kind::Text},      {"Phone", 0x0BA, 21, bases::Kind::Text},
    {"Account", 0x0CF, 39, bases::Kind::Bytes, 5},  // five account entries
    {"Code", 0x192, 5, bases::Kind::Text},
};
inline constexpr shared::Layout kTaxOfficeBase{"baza_us8.rek", kAddressBaseRecordSize,
                                               kTaxOfficeFields};
static_assert(kTaxOfficeBase.Problem().empty());

// A Record converter of both bases; `taxOfficeBase` (the run-wide mode, true only while
// the global tax-office base is converted) chooses the reading and the byte at 0x004.
bool ConvertAddress(std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                    bool taxOfficeBase);

// ---------------------------------------------------------------------------------------
// The accounting office's own invoice data (384 bytes).

inline constexpr std::string_view kOfficeDataSourceName = "2019_BR.REK";
inline constexpr std::string_view kOfficeDataTargetName = "2020_BR.REK";
inline constexpr std::uint16_t kOfficeDataRecordSize = 384;

inline constexpr bases::Field kOfficeDataFields[] = {
    {"Name", 0x000, 37, bases::Kind::Text, 3},
    {"Nip", 0x06F, 14, bases::Kind::Text},
    {"Town", 0x07D, 27, bases::Kind::Text},
    {"Counter", 0x098, 2, bases::Kind::Word, 4, 13},
    {"Suffix", 0x09A, 11, bases::Kind::Text, 4, 13},
    {"Bank", 0x0CC, 41, bases::Kind::Text},
    {"Service", 0x0F5, 37, bases::Kind::Text},
    {"Flag", 0x11A, 1, bases::Kind::Byte},
    {"Issuer", 0x11B, 27, bases::Kind::Text},
    {"Account", 0x136, 39, bases::Kind::Bytes},
    {"Days", 0x15D, 2, bases::Kind::Word},
};
inline constexpr shared::Layout kOfficeData{"2019_BR.REK", kOfficeDataRecordSize,
                                            kOfficeDataFields};
static_assert(kOfficeData.Problem().empty());

// Numbering restarts in the new year: counters 1, suffix "/2020"; an empty service text
// gets the default (the braces are part of the stored text).
inline constexpr std::string_view kOfficeNumberSuffix = "/2020";
bool ConvertOfficeData(std::span<const std::uint8_t> in, std::span<std::uint8_t> out);

// ---------------------------------------------------------------------------------------
// Operators (512 bytes, the whole record under the block protection).

inline constexpr std::string_view kOperatorFileName = "OPERATOR.REK";
inline constexpr std::uint16_t kOperatorRecordSize = 512;

inline constexpr bases::Field kOperatorFields[] = {
    {"Name", 0x018, 31, bases::Kind::Text},
    {"Login", 0x037, 17, bases::Kind::Text},
    {"Function", 0x05D, 38, bases::Kind::Text},
    {"Rights", 0x085, 2, bases::Kind::Word, 7},
};
inline constexpr shared::Layout kOperator{"OPERATOR.REK", kOperatorRecordSize, kOperatorFields};
static_assert(kOperator.Problem().empty());

// The Record filter of the operators, for one file: the seed is recognised from the
// file's records (the one most of them decode under), each record unscrambled, its
// texts cut, the rights the new version splits off granted, and scrambled back with its
// seed. A record no seed decodes is carried byte for byte and counted.
class OperatorFilter {
 public:
  OperatorFilter() : recogniser_(shared::kBlockProtection, kOperator) {}
  bool operator()(std::span<std::uint8_t> record);
  int Undecodable() const { return recogniser_.Undecodable(); }

 private:
  shared::SeedRecogniser recogniser_;
};

// The rights of a decoded operator record for the new version.
void GrantSplitRights(shared::RecordRef record);

// OPERATOR.REK through CopyRecords with a fresh OperatorFilter; records it could not
// decode are reported in one warning line.
CopyStatus CopyOperators(Copier& copier, std::string_view source, std::string_view target);

// ---------------------------------------------------------------------------------------
// Sales and purchase automation templates, 160 bytes widened to 512.

inline constexpr std::string_view kSalesAutomationSource = "baza_sp8.rek";
inline constexpr std::string_view kSalesAutomationTarget = "baza_sp9.rek";
inline constexpr std::string_view kPurchaseAutomationSource = "baza_za8.rek";
inline constexpr std::string_view kPurchaseAutomationTarget = "baza_za9.rek";
inline constexpr std::uint16_t kAutomationOldSize = 160;
inline constexpr std::uint16_t kAutomationNewSize = 512;

// The old texts are read only as far as their room reaches, up to the next field.
inline constexpr bases::Field kOldAutomationFields[] = {
    {"Name", 0x000, 19, bases::Kind::Text},    {"Description", 0x013, 37, bases::Kind::Text},
    {"Account", 0x038, 37, bases::Kind::Text}, {"Remark", 0x05D, 37, bases::Kind::Text},
    {"Short", 0x082, 21, bases::Kind::Text},   {"Column", 0x097, 1, bases::Kind::Byte},
    {"Vat", 0x099, 1, bases::Kind::Byte},      {"Kind", 0x09A, 1, bases::Kind::Byte},
    {"Amount", 0x09B, 4, bases::Kind::Int32},
};
inline constexpr shared::Layout kOldAutomation{"baza_sp8.rek", kAutomationOldSize,
                                               kOldAutomationFields};
static_assert(kOldAutomation.Problem().empty());

inline constexpr bases::Field kAutomationFields[] = {
    {"Name", 0x000, 19, bases::Kind::Text},     {"Description", 0x013, 129, bases::Kind::Text},
    {"Account", 0x094, 129, bases::Kind::Text}, {"Remark", 0x115, 81, bases::Kind::Text},
    {"Short", 0x166, 41, bases::Kind::Text},    {"Column", 0x18F, 1, bases::Kind::Byte},
    {"Marker", 0x190, 1, bases::Kind::Byte},    {"Vat", 0x191, 1, bases::Kind::Byte},
    {"Kind", 0x192, 1, bases::Kind::Byte},      {"Amount", 0x193, 4, bases::Kind::Int32},
};
inline constexpr shared::Layout kAutomation{"baza_sp9.rek", kAutomationNewSize, kAutomationFields};
static_assert(kAutomation.Problem().empty());

bool ConvertAutomation(std::span<const std::uint8_t> in, std::span<std::uint8_t> out);

// ---------------------------------------------------------------------------------------
// Money-transfer templates (432 bytes).

inline constexpr std::string_view kTransferBaseName = "BAZA_PP8.REK";
inline constexpr std::uint16_t kTransferRecordSize = 432;

inline constexpr bases::Field kTransferFields[] = {
    {"Kind", 0x000, 1, bases::Kind::Byte},
    {"Payer", 0x001, 55, bases::Kind::Text, 2},
    {"PayerAccount", 0x06F, 39, bases::Kind::Bytes},
    {"Payee", 0x096, 55, bases::Kind::Text, 2},
    {"PayeeAccount", 0x104, 39, bases::Kind::Bytes},
    // The title block, read by the kind: two texts of 54 (kind 0), a text of 20 inside
    // it (kind 1) or the tax-payment fields (kind 2, never cut).
    {"Title", 0x12B, 110, bases::Kind::Bytes, 1, 0, bases::kMayOverlap},
    {"TitleLines", 0x12B, 55, bases::Kind::Text, 2, 0, bases::kMayOverlap},
    {"TitleCode", 0x16A, 21, bases::Kind::Text, 1, 0, bases::kMayOverlap},
    {"Amount", 0x199, 8, bases::Kind::Real},
    {"Date", 0x1A1, 4, bases::Kind::Int32},
    {"Number", 0x1A5, 2, bases::Kind::Word},
};
inline constexpr shared::Layout kTransfer{"BAZA_PP8.REK", kTransferRecordSize, kTransferFields};
static_assert(kTransfer.Problem().empty());

bool ConvertTransfer(std::span<const std::uint8_t> in, std::span<std::uint8_t> out);

// ---------------------------------------------------------------------------------------
// Internal documents (784 bytes).

inline constexpr std::string_view kInternalDocumentsName = "BAZA_DW8.REK";
inline constexpr std::uint16_t kInternalDocumentSize = 784;

inline constexpr bases::Field kInternalDocumentFields[] = {
    {"Kind", 0x000, 1, bases::Kind::Byte},
    {"Number", 0x001, 4, bases::Kind::Int32},
    {"Symbol", 0x005, 23, bases::Kind::Text},
    {"Title", 0x01C, 37, bases::Kind::Text},
    {"Column", 0x041, 1, bases::Kind::Byte},
    {"LineText", 0x04A, 37, bases::Kind::Text, 10, 61},
    {"LineNet", 0x06F, 8, bases::Kind::Real, 10, 61},
    {"LineVat", 0x077, 8, bases::Kind::Real, 10, 61},
    {"LineGross", 0x07F, 8, bases::Kind::Real, 10, 61},
    {"Issuer", 0x2AC, 32, bases::Kind::Text},
    {"Approver", 0x2CC, 23, bases::Kind::Text},
};
inline constexpr shared::Layout kInternalDocument{"BAZA_DW8.REK", kInternalDocumentSize,
                                                  kInternalDocumentFields};
static_assert(kInternalDocument.Problem().empty());

bool ConvertInternalDocument(std::span<const std::uint8_t> in, std::span<std::uint8_t> out);

// ---------------------------------------------------------------------------------------
// Correction notes of 2020 (848 bytes).

inline constexpr std::string_view kNotesName = "2020_NK8.REK";
inline constexpr std::uint16_t kNoteRecordSize = 848;

inline constexpr bases::Field kNoteFields[] = {
    {"Number", 0x000, 4, bases::Kind::Int32},
    {"Symbol", 0x004, 17, bases::Kind::Text},
    {"Date", 0x015, 4, bases::Kind::Int32},
    {"Invoice", 0x019, 21, bases::Kind::Text},
    {"Place", 0x02E, 23, bases::Kind::Text},
    {"InvoiceDate", 0x045, 4, bases::Kind::Int32},
    // The two parties, 152 bytes each.
    {"PartyNip", 0x049, 19, bases::Kind::Text, 2, 0x98},
    {"PartyName", 0x05C, 37, bases::Kind::Text, 2, 0x98},
    {"PartyName2", 0x081, 37, bases::Kind::Text, 2, 0x98},
    {"PartyPostCode", 0x0A6, 7, bases::Kind::Text, 2, 0x98},
    {"PartyTown", 0x0AD, 21, bases::Kind::Text, 2, 0x98},
    {"PartyStreet", 0x0C2, 31, bases::Kind::Text, 2, 0x98},
    {"WasText", 0x179, 39, bases::Kind::Text, 6},
    {"IsText", 0x263, 39, bases::Kind::Text, 6},
};
inline constexpr shared::Layout kNote{"2020_NK8.REK", kNoteRecordSize, kNoteFields};
static_assert(kNote.Problem().empty());

bool ConvertNote(std::span<const std::uint8_t> in, std::span<std::uint8_t> out);

// ---------------------------------------------------------------------------------------
// Filters: the record carried byte for byte, only the texts listed cut.

inline constexpr std::string_view kInterestListName = "ODS_ZOB.REK";
inline constexpr std::uint16_t kInterestListSize = 200;
inline constexpr bases::Field kInterestListTexts[] = {
    {"Debtor", 0x00E, 41, bases::Kind::Text, 2},
    {"Town", 0x06C, 31, bases::Kind::Text},
    {"Document", 0x092, 21, bases::Kind::Text},
};
inline constexpr shared::Layout kInterestList{"ODS_ZOB.REK", kInterestListSize, kInterestListTexts};
static_assert(kInterestList.Problem().empty());
bool FilterInterestList(std::span<std::uint8_t> record);

inline constexpr std::string_view kVehiclesName = "AUTOV26.REK";
inline constexpr std::uint16_t kVehicleSize = 320;
inline constexpr bases::Field kVehicleTexts[] = {
    {"Make", 0x004, 33, bases::Kind::Text, 2},
    {"Plate", 0x046, 13, bases::Kind::Text},
};
inline constexpr shared::Layout kVehicle{"AUTOV26.REK", kVehicleSize, kVehicleTexts};
static_assert(kVehicle.Problem().empty());
bool FilterVehicle(std::span<std::uint8_t> record);

inline constexpr std::string_view kOneOffAssetsName = "ESTUJ.REK";
inline constexpr std::uint16_t kOneOffAssetSize = 768;
inline constexpr bases::Field kOneOffAssetTexts[] = {
    {"Number", 0x014, 17, bases::Kind::Text, 2}, {"Name", 0x036, 44, bases::Kind::Text},
    {"Symbol", 0x062, 13, bases::Kind::Text},    {"Document", 0x06F, 61, bases::Kind::Text},
    {"Place", 0x0AC, 19, bases::Kind::Text},     {"Notes", 0x0C7, 51, bases::Kind::Text, 4},
    {"Person", 0x19B, 44, bases::Kind::Text},
};
inline constexpr shared::Layout kOneOffAsset{"ESTUJ.REK", kOneOffAssetSize, kOneOffAssetTexts};
static_assert(kOneOffAsset.Problem().empty());
bool FilterOneOffAsset(std::span<std::uint8_t> record);

}  // namespace zq::convert
