#include "convert/bases.h"

#include <functional>
#include <string>

#include "platform/cp852.h"

namespace zq::convert {

using zq::operator""_pl;

namespace {

using shared::Carry;
using shared::Computed;
using shared::Constant;
using shared::Copy;
using shared::Rule;

constexpr const shared::Layout& kAd = kAddressBase;
constexpr Rule kAddressRules[] = {
    Carry(kAd, "Number"),   Constant(kAd["IsTaxOffice"], 0),
    Carry(kAd, "Name"),     Carry(kAd, "Town"),
    Carry(kAd, "Phone"),    Carry(kAd, "Box"),
    Carry(kAd, "PostCode"), Carry(kAd, "Region"),
    Carry(kAd, "Street"),   Carry(kAd, "Nip"),
    Carry(kAd, "Post"),     Carry(kAd, "Account"),
    Carry(kAd, "Note"),     Carry(kAd, "Kind"),
};

constexpr const shared::Layout& kUs = kTaxOfficeBase;
constexpr Rule kTaxOfficeRules[] = {
    Carry(kUs, "Number"),  Constant(kUs["IsTaxOffice"], 1),
    Carry(kUs, "Name"),    Carry(kUs, "PostCode"),
    Carry(kUs, "Town"),    Carry(kUs, "Street"),
    Carry(kUs, "Office"),  Carry(kUs, "Phone"),
    Carry(kUs, "Account"), Carry(kUs, "Code"),
};

constexpr const shared::Layout& kBr = kOfficeData;
constexpr std::string_view kDefaultService = "Prowadzenie księgi - {zamiesiac}"_pl;
constexpr shared::TextField kService = kBr.Text("Service");
constexpr Rule kOfficeRules[] = {
    Carry(kBr, "Name"),
    Carry(kBr, "Nip"),
    Carry(kBr, "Town"),
    Constant(kBr["Counter"], 1),
    Constant(kBr["Suffix"], kOfficeNumberSuffix),
    Carry(kBr, "Bank"),
    Carry(kBr, "Service"),
    Computed([](shared::RecordView, shared::RecordRef out) {
      if (out.Get(kService).empty()) out.Set(kService, kDefaultService);
    }),
    Carry(kBr, "Flag"),
    Carry(kBr, "Issuer"),
    Carry(kBr, "Account"),
    Carry(kBr, "Days"),
};

constexpr const shared::Layout& kOldAu = kOldAutomation;
constexpr const shared::Layout& kAu = kAutomation;
consteval Rule Widen(std::string_view field) {
  return Copy(kOldAu[field], kAu[field]);
}
constexpr Rule kAutomationRules[] = {
    Widen("Name"),    Widen("Description"),
    Widen("Account"), Widen("Remark"),
    Widen("Short"),   Widen("Column"),
    Widen("Vat"),     Widen("Kind"),
    Widen("Amount"),  Constant(kAu["Marker"], 1),
};

constexpr const shared::Layout& kPp = kTransfer;
constexpr Rule kTransferRules[] = {
    Carry(kPp, "Kind"),
    Carry(kPp, "Payer"),
    Carry(kPp, "PayerAccount"),
    Carry(kPp, "Payee"),
    Carry(kPp, "PayeeAccount"),
    Carry(kPp, "Title"),
    // The title block as read, with only the texts its kind holds cut; other kinds (the
    // tax payments) hold no text there to cut.
    Computed([](shared::RecordView in, shared::RecordRef out) {
      switch (in.Get(kTransfer.Int("Kind"))) {
        case 0:
          out.CutInPlace(kTransfer["TitleLines"]);
          break;
        case 1:
          out.CutInPlace(kTransfer["TitleCode"]);
          break;
        default:
          break;
      }
    }),
    Carry(kPp, "Amount"),
    Carry(kPp, "Date"),
    Carry(kPp, "Number"),
};

constexpr const shared::Layout& kDw = kInternalDocument;
constexpr Rule kInternalDocumentRules[] = {
    Carry(kDw, "Kind"),      Carry(kDw, "Number"),   Carry(kDw, "Symbol"),   Carry(kDw, "Title"),
    Carry(kDw, "Column"),    Carry(kDw, "LineText"), Carry(kDw, "LineNet"),  Carry(kDw, "LineVat"),
    Carry(kDw, "LineGross"), Carry(kDw, "Issuer"),   Carry(kDw, "Approver"),
};

constexpr const shared::Layout& kNk = kNote;
constexpr Rule kNoteRules[] = {
    Carry(kNk, "Number"),        Carry(kNk, "Symbol"),    Carry(kNk, "Date"),
    Carry(kNk, "Invoice"),       Carry(kNk, "Place"),     Carry(kNk, "InvoiceDate"),
    Carry(kNk, "PartyNip"),      Carry(kNk, "PartyName"), Carry(kNk, "PartyName2"),
    Carry(kNk, "PartyPostCode"), Carry(kNk, "PartyTown"), Carry(kNk, "PartyStreet"),
    Carry(kNk, "WasText"),       Carry(kNk, "IsText"),
};

constexpr shared::Field kOperatorTexts[] = {kOperator["Name"], kOperator["Login"],
                                            kOperator["Function"]};
constexpr shared::IntField kRights = kOperator.Int("Rights");

bool Convert(std::span<const Rule> rules, std::span<const std::uint8_t> in,
             std::span<std::uint8_t> out) {
  shared::Build(rules, shared::RecordView(in), shared::RecordRef(out));
  return true;
}

}  // namespace

bool ConvertAddress(std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                    bool taxOfficeBase) {
  return Convert(
      taxOfficeBase ? std::span<const Rule>(kTaxOfficeRules) : std::span<const Rule>(kAddressRules),
      in, out);
}

bool ConvertOfficeData(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  return Convert(kOfficeRules, in, out);
}

void GrantSplitRights(shared::RecordRef record) {
  std::int64_t word3 = record.Get(kRights.At(3));
  const std::int64_t word5 = record.Get(kRights.At(5));
  if ((word3 & 0x0004) && !(word3 & 0x0010)) word3 |= 0x0010;
  if ((word5 & 0x0002) && !(word3 & 0x0008)) word3 |= 0x0008;
  record.Set(kRights.At(3), word3);
}

bool OperatorFilter::operator()(std::span<std::uint8_t> record) {
  shared::SeedRecogniser::Result seed = recogniser_.Unprotect(record);
  // Cutting or granting rights in noise would garble the record for good.
  if (!seed.decoded) return true;
  shared::RecordRef ref(record);
  shared::CutTexts(ref, kOperatorTexts);
  GrantSplitRights(ref);
  recogniser_.Protect(record, seed.seed);
  return true;
}

CopyStatus CopyOperators(Copier& copier, std::string_view source, std::string_view target) {
  OperatorFilter filter;
  CopyStatus status = copier.CopyRecords(source, target, kOperatorRecordSize, std::ref(filter));
  if (filter.Undecodable() > 0) {
    std::string line = "Nierozpoznane zabezpieczenie, rekordy przeniesione bez zmian (";
    line += std::to_string(filter.Undecodable());
    line += "): ";
    line += source;
    copier.Log().AlertLn(kColourWarning, line);
  }
  return status;
}

bool ConvertAutomation(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  return Convert(kAutomationRules, in, out);
}

bool ConvertTransfer(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  return Convert(kTransferRules, in, out);
}

bool ConvertInternalDocument(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  return Convert(kInternalDocumentRules, in, out);
}

bool ConvertNote(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  return Convert(kNoteRules, in, out);
}

bool FilterInterestList(std::span<std::uint8_t> record) {
  shared::CutTexts(shared::RecordRef(record), kInterestListTexts);
  return true;
}

bool FilterVehicle(std::span<std::uint8_t> record) {
  shared::CutTexts(shared::RecordRef(record), kVehicleTexts);
  return true;
}

bool FilterOneOffAsset(std::span<std::uint8_t> record) {
  shared::CutTexts(shared::RecordRef(record), kOneOffAssetTexts);
  return true;
}

}  // namespace zq::convert
