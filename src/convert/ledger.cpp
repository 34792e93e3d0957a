#include "convert/ledger.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "platform/cp852.h"

namespace zq::convert {

using zq::operator""_pl;

namespace {

using shared::Constant;
using shared::Copy;
using shared::CutText;
using shared::RecordRef;
using shared::RecordView;
using shared::Rule;

constexpr const shared::Layout& kOld = kOldEntry;
constexpr const shared::Layout& kNew = kEntry;

constexpr shared::IntField kFlags = kOld.Int("Flags");
constexpr shared::DateField kDate = kOld.Date("Date");
constexpr shared::TextField kText1 = kOld.Text("Text1");
constexpr shared::TextField kText2 = kOld.Text("Text2");
constexpr shared::TextField kText5 = kOld.Text("Text5");
constexpr shared::TextField kText6 = kOld.Text("Text6");
constexpr shared::IntField kSettlement = kNew.Int("Settlement");
constexpr shared::IntField kColumn = kNew.Int("Column");
constexpr shared::IntField kDeductionMode = kNew.Int("DeductionMode");
constexpr shared::RealField kNets[] = {kNew.Real("Net1"), kNew.Real("Net2"), kNew.Real("Net3"),
                                       kNew.Real("Net4")};
constexpr shared::RealField kVats[] = {kNew.Real("Vat1"), kNew.Real("Vat2"), kNew.Real("Vat3"),
                                       kNew.Real("Vat4")};
constexpr shared::RealField kNetWithoutVat1 = kNew.Real("NetWithoutVat1");
constexpr shared::RealField kNetWithoutVat2 = kNew.Real("NetWithoutVat2");
constexpr shared::RealField kFurther = kNew.Real("Further");
constexpr shared::RealField kVatLimit = kNew.Real("VatLimit");
constexpr shared::IntField kProportion = kNew.Int("VatProportion");
constexpr shared::IntField kNoSplit = kNew.Int("NoSplit");
constexpr shared::IntField kNoRecompute = kNew.Int("NoRecompute");
constexpr shared::IntField kVatLimitMode = kNew.Int("VatLimitMode");
constexpr shared::IntField kPaymentKind = kNew.Int("PaymentKind");
constexpr shared::RealField kPaymentAmount = kNew.Real("PaymentAmount");
constexpr shared::RealField kNonDeductibleNet = kNew.Real("NonDeductibleNet");
constexpr shared::RealField kNonDeductibleVat = kNew.Real("NonDeductibleVat");
constexpr shared::IntField kConvertedAt = kNew.Int("ConvertedAt");
constexpr shared::TextField kLongText1 = kNew.Text("LongText1");
constexpr shared::TextField kLongText6 = kNew.Text("LongText6");

constexpr std::uint16_t kStruckOut = 2;
constexpr int kColumnMask = 0x7F;
constexpr int kMovedColumn = 21, kMovedToColumn = 15;
constexpr std::uint16_t kNoDeduction = 2;

// Settlement flags.
constexpr int kSettled = 2;                 // the entry carries settlement amounts
constexpr int kOutstandingA = 1;            // the outstanding amount is derived
constexpr int kOutstandingB = 4;            // likewise
constexpr std::uint8_t kUnpaidKind = 0x10;  // with flag 1: slot 2 holds nothing paid

// Text 6 beginning with a caret continues text 1; any other text 6 is a text of its own.
void WidenText6(RecordView in, RecordRef out) {
  const std::string text6 = in.Get(kText6);
  if (text6.empty()) return;
  if (text6.front() == '^')
    out.Set(kLongText1, in.Get(kText1) + text6.substr(1));
  else
    out.Set(kLongText6, text6);
}

// Column 21 is kept as column 15 without VAT deduction.
void MoveColumn21(RecordView in, RecordRef out) {
  if ((in.Get(kColumn) & kColumnMask) != kMovedColumn) return;
  out.Set(kColumn, kMovedToColumn);
  out.Set(kDeductionMode, kNoDeduction);
}

constexpr Rule kWidened[] = {
    Copy(kOld["Old"], kNew["Old"]),
    CutText(kOld["Text1"], kNew["LongText1"], 48),
    Copy(kOld["Text3"], kNew["LongText3"]),
    Copy(kOld["Text4"], kNew["LongText4"]),
    CutText(kOld["Text5"], kNew["LongText5"], 80),
    shared::Computed([](RecordView in, RecordRef out) { WidenText6(in, out); }),
    shared::Computed([](RecordView in, RecordRef out) { MoveColumn21(in, out); }),
    Constant(kNew["Marker"], kEntryMarker),
    Constant(kNew["LayoutMark"], kEntryLayoutMark),
};

// The texts of the carried old part: a length byte larger than its field is lowered.
constexpr shared::Field kCarriedTexts[] = {kNew["Text1"], kNew["Text2"], kNew["Text3"],
                                           kNew["Text4"], kNew["Text5"], kNew["Text6"]};

bool IsZero(double amount) {
  return std::fabs(amount) <= kZeroAmount;
}

bool InSplitSet(int code) {
  return std::find(std::begin(kSplitCodes), std::end(kSplitCodes), code) != std::end(kSplitCodes);
}

struct NetVat {
  double net = 0, vat = 0;
};

// What the entry's own amounts give: the part of groups 1..4 that is not deductible.
NetVat NonDeductible(RecordView r, int code, double vatLimit) {
  if (!InSplitSet(code) || r.Get(kNoSplit) == 1) return {};
  NetVat a;
  for (std::size_t g = 0; g < std::size(kNets); ++g) {
    a.net += r.Get(kNets[g]);
    a.vat += r.Get(kVats[g]);
  }
  NetVat b = a;
  if (!IsZero(b.vat)) {
    switch (r.Get(kVatLimitMode)) {
      case 1:
        if (IsZero(vatLimit)) {
          b = {};
        } else if (std::fabs(vatLimit) < std::fabs(b.vat)) {
          b.net = Cents(b.net * vatLimit / b.vat);
          b.vat = vatLimit;
        }
        break;
      case 2:
        b.net = Cents(b.net / 2);
        b.vat = Cents(b.vat / 2);
        break;
      default:
        break;
    }
  }
  if (!IsZero(b.vat)) {
    const std::int64_t mode = r.Get(kDeductionMode);
    const double proportion = static_cast<double>(r.Get(kProportion));
    if (mode == 1) {
      if (proportion == 0) {
        b = {};
      } else if (proportion < 100) {
        b.vat = Cents(proportion * b.vat / 100);
        b.net = Cents(proportion * b.net / 100);
      }
    } else if (mode >= 2) {
      b = {};
    }
  }
  return {a.net - b.net, a.vat - b.vat};
}

struct Derived {
  NetVat nonDeductible;
  std::optional<double> vatLimit;
  std::optional<double> outstanding;

  bool Finite() const {
    auto finite = [](const std::optional<double>& v) { return !v || std::isfinite(*v); };
    return std::isfinite(nonDeductible.net) && std::isfinite(nonDeductible.vat) &&
           finite(vatLimit) && finite(outstanding);
  }
};

// The amounts the ledger derives from the others, for an entry that carries
// settlement amounts; nothing for any other entry.
std::optional<Derived> DeriveAmounts(RecordView r) {
  const std::int64_t flags = r.Get(kSettlement);
  if (!(flags & kSettled)) return std::nullopt;
  const int code = static_cast<int>(r.Get(kColumn) & kColumnMask);
  Derived d;
  double total = 0;
  double vatLimit = r.Get(kVatLimit);
  switch (code) {
    case 3:
    case 30:
      total = r.Get(kNetWithoutVat1);
      break;
    case 5:
      total = r.Get(kNetWithoutVat2);
      break;
    case 37:
    case 40:
      total = r.Get(kFurther);
      break;
    case 38:
    case 41:
      break;
    default: {
      if (r.Get(kNoRecompute) != 0) break;
      double netSum = 0, vatSum = 0;
      for (std::size_t g = 0; g < std::size(kNets); ++g) {
        netSum += r.Get(kNets[g]);
        vatSum += r.Get(kVats[g]);
      }
      netSum += r.Get(kNetWithoutVat1);
      netSum += r.Get(kNetWithoutVat2);
      // Without deduction the VAT is part of the cost; otherwise only the limited
      // VAT of code 39 is (added once, never on top of the whole VAT).
      if (r.Get(kDeductionMode) == kNoDeduction) {
        total = netSum + vatSum + r.Get(kFurther);
      } else {
        total = netSum + r.Get(kFurther);
        if (code == 39 && !IsZero(vatLimit)) total += vatLimit;
      }
      if (r.Get(kVatLimitMode) == 2) {
        vatLimit = Cents(0.5 * vatSum);
        d.vatLimit = vatLimit;
      }
      d.nonDeductible = NonDeductible(r, code, vatLimit);
      break;
    }
  }
  if (flags & (kOutstandingA | kOutstandingB)) {
    double paid = r.Get(kPaymentAmount.At(1));
    if ((flags & kOutstandingA) && r.Get(kPaymentKind.At(1)) == kUnpaidKind) paid = 0;
    if (code != 38 && code != 41) d.outstanding = total - paid;
  }
  return d;
}

std::string Padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

}  // namespace

double Cents(double amount) {
  if (IsZero(amount)) return 0.0;
  double cents = std::trunc(std::fabs(amount) * 100 + 0.500001) / 100;
  if (cents == 0) return 0.0;
  return amount < 0 ? -cents : cents;
}

std::uint32_t DosDateTime(const platform::LocalTime& t) {
  auto bits = [](int value, int low, int high) {
    return static_cast<std::uint32_t>(std::clamp(value, low, high));
  };
  std::uint32_t date =
      bits(t.year - 1980, 0, 127) << 9 | bits(t.month, 1, 12) << 5 | bits(t.day, 1, 31);
  std::uint32_t time =
      bits(t.hour, 0, 23) << 11 | bits(t.minute, 0, 59) << 5 | bits(t.second, 0, 59) / 2;
  return date << 16 | time;
}

bool ConvertLedgerEntry(const LedgerConversion& ledger, std::span<const std::uint8_t> in,
                        std::span<std::uint8_t> out) {
  const RecordView old(in);
  ProgressLog& log = ledger.copier->Log();
  // Appended in place: one line for every entry carried.
  std::string line = "DOR=";
  line += shared::DateToText(old.Get(kDate));
  line += ' ';
  line += Padded(old.Get(kText2), 10);
  line += ' ';
  line += old.Get(kText5);
  log.Write(line);
  if (old.Get(kFlags) & kStruckOut) {
    log.WriteLn(" SKREŚLONY"_pl);
    if (ledger.copier->showSlowly)
      ledger.copier->SlowPause();
    else if (ledger.waitOnStruckOut)
      ledger.copier->WaitKey();
    return false;
  }

  RecordRef entry(out);
  shared::Build(kWidened, old, entry);
  shared::CutTexts(entry, kCarriedTexts);
  if (ledger.clock) entry.Set(kConvertedAt, DosDateTime(ledger.clock->Now()));
  if (ledger.vatProportional && InSplitSet(static_cast<int>(entry.Get(kColumn) & kColumnMask)))
    entry.Set(kProportion, ledger.vatProportion);

  std::optional<Derived> derived = DeriveAmounts(entry);
  bool sound = !derived || derived->Finite();
  if (derived && sound) {
    entry.Set(kNonDeductibleNet, derived->nonDeductible.net);
    entry.Set(kNonDeductibleVat, derived->nonDeductible.vat);
    if (derived->vatLimit) entry.Set(kVatLimit, *derived->vatLimit);
    if (derived->outstanding) entry.Set(kPaymentAmount.At(0), *derived->outstanding);
  }
  log.WriteLn(".ok");
  if (!sound)
    log.AlertLn(kColourWarning, "Kwoty zapisu poza zakresem - nie przeliczono kwot pochodnych"_pl);
  return true;
}

bool ConvertRepayment(ProgressLog& log, std::span<const std::uint8_t> in,
                      std::span<std::uint8_t> out) {
  std::copy_n(in.begin(), std::min(in.size(), out.size()), out.begin());
  RecordRef repayment(out);
  repayment.CutInPlace(kRepayment["Document"]);
  const std::string text =
      "SP= dnia:" + shared::DateToText(repayment.Get(kRepayment.Date("Date"))) +
      " dok:" + repayment.Get(kRepayment.Text("Document"));
  // The repayments follow one another on a line; one that would not fit in what is
  // left of it starts the next line rather than vanish past its end.
  int room = ProgressLog::kLastColumn + 1 - log.Column();
  if (log.Column() > 1 && static_cast<int>(text.size()) > room) log.WriteLn();
  log.Write(text);
  return true;
}

}  // namespace zq::convert
