#include "sample_ledger.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <vector>

#include "convert/ledger.h"
#include "convert/payroll.h"
#include "convert/wage_settings.h"
#include "platform/cp852.h"
#include "shared/record.h"

namespace zq::sample {

using zq::operator""_pl;
using shared::RecordRef;

namespace {

constexpr const shared::Layout& kEntry = convert::kOldEntry;
constexpr const shared::Layout& kPay = convert::kOldPayroll;
constexpr const shared::Layout& kPayMonth = convert::kOldPayrollMonth;

// Every column code the conversion treats apart, then a few ordinary ones; entries take
// them in turn, so that a firm with as many entries holds each of them.
constexpr int kColumns[] = {7,  9, 15, 20, 31, 32, 33, 35, 36, 21, 3,
                            30, 5, 37, 38, 39, 40, 41, 10, 11, 13};
constexpr int kMonthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

constexpr std::string_view kContractors[] = {
    "PHU Kowalski", "Hurtownia Zefir", "Orlen SA",      "Tauron Sprzedaż"_pl, "Biuro Rachunkowe",
    "Auto-Serwis",  "Makro Cash",      "Poczta Polska", "Drukarnia Świt"_pl,  "Jan Nowak",
};
constexpr std::string_view kStreets[] = {"ul. Długa"_pl, "ul. Polna", "ul. Kościuszki"_pl,
                                         "al. Niepodległości"_pl, "ul. Rynek"};
constexpr std::string_view kTowns[] = {"Łódź"_pl, "Kraków"_pl, "Radom", "Gdańsk"_pl, "Kielce"};
constexpr std::string_view kDescriptions[] = {
    "Zakup towarów handlowych"_pl, "Sprzedaż usług"_pl,  "Paliwo do samochodu",
    "Energia elektryczna",         "Usługi księgowe"_pl, "Materiały biurowe"_pl,
    "Naprawa samochodu",           "Czynsz za lokal",    "Sprzedaż towarów"_pl,
};
// Wage components as a payroll list shows them: code, name.
constexpr std::pair<std::string_view, std::string_view> kComponents[] = {
    {"01", "Płaca zasad."_pl}, {"02", "Premia"},    {"03", "Nadgodziny"},
    {"04", "Dodatek staż"_pl}, {"05", "Chorobowe"}, {"06", "Urlopowe"},
    {"07", "Ekwiwalent"},      {"08", "Nagroda"},   {"09", "Ryczałt sam."_pl},
    {"10", "Potrącenia"_pl},
};
// Working days of the months of 2019, as the settings of that year held them.
constexpr int kWorkingDays2019[] = {22, 20, 21, 21, 21, 19, 23, 21, 21, 22, 20, 20};

constexpr std::string_view kNotes[] = {"korekta", "zapłacono gotówką"_pl, "do wyjaśnienia"_pl};

double Grosze(Rng& rng, int lowZloty, int highZloty) {
  return rng.Between(lowZloty * 100, highZloty * 100) / 100.0;
}

double Rounded(double amount) {
  return std::round(amount * 100) / 100;
}

std::string TwoDigits(int n) {
  return std::string{static_cast<char>('0' + n / 10 % 10), static_cast<char>('0' + n % 10)};
}

// A text as the old program leaves it: what follows the text within its field is what
// the field held before.
void PutStaleText(Rng& rng, RecordRef record, const shared::Field& field, std::string_view text) {
  const std::size_t n = std::min(text.size(), field.Capacity());
  std::string bytes(field.width, '\0');
  bytes[0] = static_cast<char>(n);
  text.copy(bytes.data() + 1, n);
  for (std::size_t k = n + 1; k < bytes.size(); ++k)
    bytes[k] = static_cast<char>(rng.Chance(50) ? 0 : rng.Between(0x20, 0x7E));
  shared::Field raw = field;
  raw.kind = shared::Kind::Bytes;
  record.SetBytes(raw, bytes);
}

void PutNoise(Rng& rng, std::span<std::uint8_t> bytes) {
  for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>(rng.Below(256));
}

void MakeEntry(Rng& rng, RecordRef e, int month, int serial, bool vatProportional) {
  const int code = kColumns[static_cast<std::size_t>(serial) % std::size(kColumns)];
  e.Set(kEntry.Int("Sequence"), serial);
  e.Set(kEntry.Date("Date"), {static_cast<std::uint8_t>(rng.Between(1, kMonthDays[month - 1])),
                              static_cast<std::uint8_t>(month), 2020});
  // Now and then an entry struck out after it was keyed.
  e.Set(kEntry.Int("Flags"), serial % 11 == 5 ? 2 : rng.Chance(10) ? 1 : 0);
  PutStaleText(rng, e, kEntry.Text("Text1"), rng.Pick(kContractors));
  PutStaleText(rng, e, kEntry.Text("Text2"),
               Cat({code == 3 || code == 30 ? "RZ " : "FV ", std::to_string(serial), "/",
                    TwoDigits(month), "/20"}));
  PutStaleText(
      rng, e, kEntry.Text("Text3"),
      Cat({rng.Pick(kStreets), " ", std::to_string(rng.Between(1, 120)), ", ", rng.Pick(kTowns)}));
  PutStaleText(rng, e, kEntry.Text("Text4"), rng.Chance(60) ? "NIP " + Digits(rng, 10) : "");
  PutStaleText(rng, e, kEntry.Text("Text5"), rng.Pick(kDescriptions));
  // Text 6: a caret continues text 1 (the voucher's sub-number), anything else is a note.
  std::string text6;
  if (serial % 7 == 3) text6 = "^/" + std::to_string(rng.Between(1, 99));
  if (serial % 7 == 6) text6 = std::string(rng.Pick(kNotes));
  PutStaleText(rng, e, kEntry.Text("Text6"), text6);

  static constexpr int kSettlements[] = {0, 2, 2, 3, 6, 7, 1, 4};
  const int settlement = kSettlements[rng.Below(std::size(kSettlements))];
  e.Set(kEntry.Int("Settlement"), settlement);
  e.Set(kEntry.Int("Column"), code);
  e.Set(kEntry.Int("DeductionMode"), vatProportional && rng.Chance(60) ? 1 : rng.Between(0, 2));

  static constexpr double kRates[] = {0.23, 0.08, 0.05, 0.0};
  double vatSum = 0;
  for (std::size_t g = 0; g < 4; ++g) {
    if (g > 0 && !rng.Chance(25)) continue;
    double net = Grosze(rng, 5, 6000) * (rng.Chance(5) ? -1 : 1);  // a correction is negative
    double vat = Rounded(net * kRates[g]);
    vatSum += vat;
    std::string n = std::to_string(g + 1);
    e.SetReal(*kEntry.Find("Net" + n), net);
    e.SetReal(*kEntry.Find("Vat" + n), vat);
  }
  if (code == 3 || code == 30) e.Set(kEntry.Real("NetWithoutVat1"), Grosze(rng, 10, 3000));
  if (code == 5) e.Set(kEntry.Real("NetWithoutVat2"), Grosze(rng, 10, 3000));
  if (code == 37 || code == 40 || rng.Chance(10))
    e.Set(kEntry.Real("Further"), Grosze(rng, 1, 500));
  const int limitMode = code == 39 ? rng.Between(1, 2) : rng.Chance(15) ? rng.Between(1, 2) : 0;
  e.Set(kEntry.Int("VatLimitMode"), limitMode);
  if (limitMode == 1 || code == 39)
    e.Set(kEntry.Real("VatLimit"), rng.Chance(20) ? 0.0 : Rounded(vatSum * 0.5));
  e.Set(kEntry.Int("VatProportion"), vatProportional ? rng.Between(40, 100) : 0);
  e.Set(kEntry.Int("NoSplit"), rng.Chance(8) ? 1 : 0);
  e.Set(kEntry.Int("NoRecompute"), rng.Chance(8) ? 1 : 0);
  e.Set(kEntry.Int("Marker"), rng.Chance(50) ? 0x4B : 0);

  // Payments: slot 1 the amount outstanding, slot 2 what was paid (kind 0x10: nothing).
  const double gross = Grosze(rng, 10, 8000);
  const double paid = rng.Chance(50) ? Rounded(gross * rng.Between(0, 100) / 100) : 0.0;
  e.Set(kEntry.Int("PaymentKind").At(0), 1);
  e.Set(kEntry.Real("PaymentAmount").At(0), Rounded(gross - paid));
  e.Set(kEntry.Int("PaymentKind").At(1), paid == 0 && rng.Chance(50) ? 0x10 : 2);
  e.Set(kEntry.Real("PaymentAmount").At(1), paid);
}

// The months a firm keyed into 2020: the first one to four, one of them now and then
// without entries; the first firm always January and March.
std::vector<int> KeyedMonths(const MakerContext& ctx, Rng& rng) {
  if (ctx.firmIndex == 0) return {1, 3};
  if (!ctx.firm->annual2020 && !rng.Chance(40)) return {};
  std::vector<int> months;
  // A firm of some size in the realistic office keyed the whole year.
  const int last = ctx.Records(1) > 1 ? 12 : rng.Between(1, 4);
  for (int m = 1; m <= last; ++m)
    if (m == 1 || rng.Chance(75)) months.push_back(m);
  return months;
}

}  // namespace

std::string LedgerEntries(Rng& rng, int month, int count, bool vatProportional, int& serial) {
  std::string file(static_cast<std::size_t>(count) * convert::kOldEntrySize, '\0');
  for (int k = 0; k < count; ++k) {
    auto bytes = std::span<char>(file).subspan(static_cast<std::size_t>(k) * convert::kOldEntrySize,
                                               convert::kOldEntrySize);
    MakeEntry(rng, RecordRef(bytes), month, ++serial, vatProportional);
  }
  return file;
}

std::string Repayments(Rng& rng, int month, int count) {
  static constexpr shared::Field kFields[] = {
      {"Entry", 0x000, 4, shared::Kind::Int32},
      {"Amount", 0x009, 8, shared::Kind::Real},
  };
  static constexpr shared::Layout kRepayment{"2020SP", convert::kRepaymentSize, kFields};
  static_assert(kRepayment.Problem().empty());
  std::string file(static_cast<std::size_t>(count) * convert::kRepaymentSize, '\0');
  for (int k = 0; k < count; ++k) {
    RecordRef r(std::span<char>(file).subspan(static_cast<std::size_t>(k) * convert::kRepaymentSize,
                                              convert::kRepaymentSize));
    r.Set(kRepayment.Int("Entry"), rng.Between(1, 400));
    r.Set(convert::kRepayment.Date("Date"),
          {static_cast<std::uint8_t>(rng.Between(1, kMonthDays[month - 1])),
           static_cast<std::uint8_t>(month), 2020});
    r.Set(kRepayment.Real("Amount"), Grosze(rng, 10, 5000));
    r.Set(convert::kRepayment.Text("Document"),
          Cat({"FV ", std::to_string(rng.Between(1, 300)), "/", TwoDigits(month), "/20"}));
  }
  return file;
}

std::string PayrollRecords(Rng& rng, int persons, int months) {
  std::string file(static_cast<std::size_t>(persons) * convert::kOldPayrollSize, '\0');
  for (int p = 0; p < persons; ++p) {
    auto bytes = std::span<char>(file).subspan(
        static_cast<std::size_t>(p) * convert::kOldPayrollSize, convert::kOldPayrollSize);
    auto raw = std::span<std::uint8_t>(reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size());
    // What the old program left in bytes no field names is not carried.
    PutNoise(rng, raw.subspan(0x008, 6));
    RecordRef r(bytes);
    r.Set(kPay.Int("PersonKey"), 1000 + p);
    r.Set(kPay.Int("Setting09"), rng.Between(0, 3));
    r.Set(kPay.Int("Setting0E"), rng.Between(0, 1));
    PutNoise(rng, raw.subspan(kPay["Person"].offset, kPay["Person"].width));
    for (int m = 0; m < months; ++m) {
      RecordRef month(bytes.subspan(
          convert::kPayrollMonthStart + static_cast<std::size_t>(m) * convert::kOldPayrollMonthSize,
          convert::kOldPayrollMonthSize));
      month.Set(kPayMonth.Text("MonthText"), Cat({TwoDigits(m + 1), "/2020"}));
      const double wage = Grosze(rng, 2600, 9000);
      for (std::size_t k = 0; k < 10; ++k)
        month.Set(kPayMonth.Real("Amounts00D").At(k), k == 0 ? wage : Rounded(wage * 0.01 * k));
      month.Set(kPayMonth.Int("Word05D"), rng.Between(0, 31));
      month.Set(kPayMonth.Int("Word05F"), rng.Between(0, 31));
      for (std::size_t k = 0; k < 5; ++k)
        month.Set(kPayMonth.Real("Amounts061").At(k), Rounded(wage * 0.0976 / (k + 1)));
      month.Set(kPayMonth.Int("Hundredths308"), static_cast<std::int64_t>(wage * 100) / 7);
      for (std::size_t k = 0; k < 7; ++k)
        month.Set(kPayMonth.Real("Amounts0BA").At(k), Grosze(rng, 0, 800));
      month.Set(kPayMonth.Text("Text1D4"), rng.Chance(50) ? "ZUS" : "");
      month.Set(kPayMonth.Int("Words2E9").At(0), rng.Between(0, 168));
      month.Set(kPayMonth.Real("Real30E"), Grosze(rng, 0, 300));
    }
    r.Set(kPay.Int("Word2727"), months);
    r.Set(kPay.Real("Real2794"), Grosze(rng, 0, 1000));
  }
  return file;
}

std::string WageSettings(Rng& rng, bool layout4) {
  namespace c = convert;
  std::string record(c::kWageSettingsRecordSize, '\0');
  RecordRef r(record);
  const shared::Layout& layout = layout4 ? c::kWageSettings : c::kOldWageSettings;
  const std::size_t components = layout4 ? 10 + rng.Below(6) : 10;
  for (std::size_t i = 0; i < components; ++i) {
    const auto& [code, name] = kComponents[i % std::size(kComponents)];
    r.SetText(layout.Find("Code")->At(i), i < 10 ? code : std::to_string(i + 1));
    r.SetInt(layout.Find("Number")->At(i), rng.Between(1, 40));
    r.SetText(layout.Find("Name")->At(i), Cat({name, i < 10 ? "" : " 2"}));
  }
  // Five texts of the list's heading; the older layout holds 17 characters, one more
  // than layout 4.
  static constexpr std::string_view kTexts[] = {"Lista płac za miesiąc"_pl, "Sporządził"_pl,
                                                "Sprawdził"_pl, "Zatwierdził"_pl, "Kasa"};
  for (std::size_t i = 0; i < 5; ++i) {
    const shared::Field text =
        layout4 || i < 4 ? layout.Find("Text")->At(i) : *layout.Find("LastText");
    r.SetText(text, kTexts[i]);
  }
  PutNoise(rng,
           std::span<std::uint8_t>(
               reinterpret_cast<std::uint8_t*>(record.data()) + layout.Find("Block")->offset, 16));
  r.SetInt(*layout.Find("Word"), rng.Between(1, 9));
  r.SetInt(*layout.Find("Byte"), rng.Between(0, 1));
  for (std::size_t m = 0; m < 12; ++m) r.SetInt(layout.Find("Monthly")->At(m), kWorkingDays2019[m]);
  r.SetInt(*layout.Find("Mark"), layout4 ? c::kWageSettingsLayout : rng.Between(0, 3));
  if (layout4) r.SetInt(*layout.Find("Year"), 2019);
  return record;
}

void MakeLedgerMonths(MakerContext& ctx, FileSink& sink) {
  Rng& rng = ctx.rng;
  int serial = 0;
  for (int month : KeyedMonths(ctx, rng)) {
    const std::string m = std::to_string(month);
    sink.Add(Cat({convert::kOldEntryStem, ".", m}),
             LedgerEntries(rng, month, ctx.Records(rng.Between(ctx.firmIndex == 0 ? 25 : 3, 40), 5),
                           ctx.firm->vatProportional, serial));
    if (ctx.firmIndex == 0 || rng.Chance(50))
      sink.Add(Cat({convert::kRepaymentStem, ".", m}),
               Repayments(rng, month, ctx.Records(rng.Between(1, 6), 5)));
  }
}

void MakePayroll2020(MakerContext& ctx, FileSink& sink) {
  Rng& rng = ctx.rng;
  if (ctx.firmIndex != 0 && !ctx.firm->annual2020 && !rng.Chance(30)) return;
  sink.Add(convert::kOldPayrollFileName,
           PayrollRecords(rng, ctx.Records(rng.Between(2, 8), 3), rng.Between(1, 3)));
}

// Each firm's payroll list settings of 2019, in the older layout or, once the old
// version had moved them, in layout 4; a firm that began 2020 has its own as well.
void MakeWageSettings(MakerContext& ctx, FileSink& sink) {
  Rng& rng = ctx.rng;
  sink.Add(convert::kWageSettings2019Name, WageSettings(rng, ctx.firmIndex % 3 == 2));
  if (ctx.firm->annual2020) sink.Add(convert::kWageSettings2020Name, WageSettings(rng, true));
}

}  // namespace zq::sample
