#include "convert/bases.h"

#include <functional>
#include <string>

#include "platform/cp852.h"

namespace zq::convert {

using zq::operator""_pl;

namespace {

using shared::Computed;
using shared::Constant;
using shared::Copy;
using shared::Rule;

// A field carried into the same place of a record of the same layout.
consteval Rule Same(const shared::Layout& layout, std::string_view field) {
  return Copy(layout[field], layout[field]);
}

constexpr const shared::Layout& kAd = kAddressBase;
constexpr Rule kAddressRules[] = {
    Same(kAd, "Number"),   Constant(kAd["IsTaxOffice"], 0),
    Same(kAd, "Name"),     Same(kAd, "Town"),
    Same(kAd, "Phone"),    Same(kAd, "Box"),
    Same(kAd, "PostCode"), Same(kAd, "Region"),
    Same(kAd, "Street"),   Same(kAd, "Nip"),
    Same(kAd, "Post"),     Same(kAd, "Account"),
    Same(kAd, "Note"),     Same(kAd, "Kind"),
};

constexpr const shared::Layout& kUs = kTaxOfficeBase;
constexpr Rule kTaxOfficeRules[] = {
    Same(kUs, "Number"),  Constant(kUs["IsTaxOffice"], 1),
    Same(kUs, "Name"),    Same(kUs, "PostCode"),
    Same(kUs, "Town"),    Same(kUs, "Street"),
    Same(kUs, "Office"),  Same(kUs, "Phone"),
    Same(kUs, "Account"), Same(kUs, "Code"),
};

constexpr const shared::Layout& kBr = kOfficeData;
constexpr std::string_view kDefaultService = "Prowadzenie księgi - {zamiesiac}"_pl;
constexpr shared::TextField kService = kBr.Text("Service");
constexpr Rule kOfficeRules[] = {
    Same(kBr, "Name"),
    Same(kBr, "Nip"),
    Same(kBr, "Town"),
    Constant(kBr["Counter"], 1),
    Constant(kBr["Suffix"], kOfficeNumberSuffix),
    Same(kBr, "Bank"),
    Same(kBr, "Service"),
    Computed([](shared::RecordView, shared::RecordRef out) {
      if (out.Get(kService).empty()) out.Set(kService, kDefaultService);
    }),
    Same(kBr, "Flag"),
    Same(kBr, "Issuer"),
    Same(kBr, "Account"),
    Same(kBr, "Days"),
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
    Same(kPp, "Kind"),
    Same(kPp, "Payer"),
    Same(kPp, "PayerAccount"),
    Same(kPp, "Payee"),
    Same(kPp, "PayeeAccount"),
    Same(kPp, "Title"),
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
    Same(kPp, "Amount"),
    Same(kPp, "Date"),
    Same(kPp, "Number"),
};

constexpr const shared::Layout& kDw = kInternalDocument;
constexpr Rule kInternalDocumentRules[] = {
    Same(kDw, "Kind"),      Same(kDw, "Number"),   Same(kDw, "Symbol"),   Same(kDw, "Title"),
    Same(kDw, "Column"),    Same(kDw, "LineText"), Same(kDw, "LineNet"),  Same(kDw, "LineVat"),
    Same(kDw, "LineGross"), Same(kDw, "Issuer"),   Same(kDw, "Approver"),
};

constexpr const shared::Layout& kNk = kNote;
constexpr Rule kNoteRules[] = {
    Same(kNk, "Number"),        Same(kNk, "Symbol"),    Same(kNk, "Date"),
    Same(kNk, "Invoice"),       Same(kNk, "Place"),     Same(kNk, "InvoiceDate"),
    Same(kNk, "PartyNip"),      Same(kNk, "PartyName"), Same(kNk, "PartyName2"),
    Same(kNk, "PartyPostCode"), Same(kNk, "PartyTown"), Same(kNk, "PartyStreet"),
    Same(kNk, "WasText"),       Same(kNk, "IsText"),
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
