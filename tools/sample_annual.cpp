#include "sample_annual.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string>

#include "convert/annual.h"
#include "convert/firm_data.h"
#include "platform/cp852.h"
#include "shared/record.h"

namespace zq::sample {

using zq::operator""_pl;
using shared::RecordRef;

namespace {

constexpr const shared::Layout& kYear = convert::kAnnualYear;
constexpr const shared::Layout& kNumbering = convert::kAnnualNumbering;
constexpr const shared::Layout& kValues = convert::kAnnualValues;
constexpr const shared::Layout& kAddress = convert::kAddressRecord;

std::string TwoDigits(int value) {
  return std::string(1, static_cast<char>('0' + value / 10 % 10)) +
         static_cast<char>('0' + value % 10);
}

// What an older record held before: readers must go by the fields.
std::string Stale(Rng& rng, std::size_t n) {
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng.Below(256));
  return s;
}

double Zloty(Rng& rng, int low, int high) {
  return rng.Between(low * 100, high * 100) / 100.0;
}

constexpr std::string_view kNumberingLeads[] = {"FV/", "RZ/", "KP/", "KW/", "DW/",
                                                "WB/", "NK/", "RK/", "PZ/", "WZ/"};

constexpr std::string_view kMonths[] = {
    "styczeń"_pl, "luty",        "marzec",      "kwiecień"_pl,    "maj",      "czerwiec",
    "lipiec",     "sierpień"_pl, "wrzesień"_pl, "październik"_pl, "listopad", "grudzień"_pl,
};

constexpr std::string_view kSurnames[] = {
    "Kowalski",     "Nowak",        "Wiśniewski"_pl, "Wójcik"_pl,    "Kamiński"_pl,  "Lewandowski",
    "Zieliński"_pl, "Szymański"_pl, "Woźniak"_pl,    "Dąbrowski"_pl, "Kozłowski"_pl, "Jankowski",
};
constexpr std::string_view kFirstNames[] = {"Jan",      "Andrzej", "Piotr",    "Krzysztof",
                                            "Józef"_pl, "Tomasz",  "Paweł"_pl, "Stanisław"_pl};
constexpr std::string_view kFathers[] = {"Marian", "Zbigniew", "Henryk", "Tadeusz", "Jerzy"};
constexpr std::string_view kMothers[] = {"Maria", "Krystyna", "Barbara", "Halina", "Zofia"};

// Tax identification number with its check digit, written 3-2-2-3.
std::string TaxNumber(Rng& rng) {
  static constexpr int kWeights[] = {6, 5, 7, 2, 3, 4, 5, 6, 7};
  for (;;) {
    std::string d = std::to_string(rng.Between(1, 9)) + Digits(rng, 8);
    int sum = 0;
    for (int k = 0; k < 9; ++k) sum += kWeights[k] * (d[k] - '0');
    if (sum % 11 == 10) continue;
    d += static_cast<char>('0' + sum % 11);
    return Cat({d.substr(0, 3), "-", d.substr(3, 2), "-", d.substr(5, 2), "-", d.substr(7)});
  }
}

std::string StatisticalNumber(Rng& rng) {
  static constexpr int kWeights[] = {8, 9, 2, 3, 4, 5, 6, 7};
  std::string d = Digits(rng, 8);
  int sum = 0;
  for (int k = 0; k < 8; ++k) sum += kWeights[k] * (d[k] - '0');
  return d + static_cast<char>('0' + sum % 11 % 10);
}

// A 26-digit account number whose check digits are right, written in groups of four.
std::string AccountNumber(Rng& rng) {
  std::string bban = Digits(rng, 24);
  int mod = 0;
  for (char c : bban + "252100") mod = (mod * 10 + (c - '0')) % 97;
  std::string digits = TwoDigits(98 - mod) + bban;
  std::string out = digits.substr(0, 2);
  for (std::size_t k = 2; k < digits.size(); k += 4) out += " " + digits.substr(k, 4);
  return out;
}

struct Person {
  std::string surname, name, father, mother, pesel, birthDate;
};

// A personal number whose date and check digit agree with the birth date.
Person Owner(Rng& rng) {
  Person p;
  p.surname = std::string(rng.Pick(kSurnames));
  p.name = std::string(rng.Pick(kFirstNames));
  p.father = std::string(rng.Pick(kFathers));
  p.mother = std::string(rng.Pick(kMothers));
  int year = rng.Between(1950, 1995), month = rng.Between(1, 12), day = rng.Between(1, 28);
  std::string digits = TwoDigits(year % 100) + TwoDigits(month) + TwoDigits(day) + Digits(rng, 3);
  digits += static_cast<char>('1' + 2 * rng.Below(5));  // odd: a man, as the names are
  static constexpr int kWeights[] = {1, 3, 7, 9, 1, 3, 7, 9, 1, 3};
  int sum = 0;
  for (int k = 0; k < 10; ++k) sum += kWeights[k] * (digits[static_cast<std::size_t>(k)] - '0');
  p.pesel = digits + static_cast<char>('0' + (10 - sum % 10) % 10);
  p.birthDate = Cat({TwoDigits(day), "-", TwoDigits(month), "-", std::to_string(year)});
  return p;
}

// The firm's seat, the same in FIRMATXT.INI and in FIRMA_A8.REK.
struct Address {
  std::string country = "Polska";
  std::string province, county, commune, street, house, flat, town, postcode, post, phone;
  std::string euCode = "PL";
};

Address SeatOf(const MakerContext& ctx) {
  Rng rng = Rng::For(ctx.options.seed, ctx.firmIndex, "firm seat");
  const SampleFirm& firm = *ctx.firm;
  TownFacts facts = FactsOfTown(firm.town);
  Address a;
  a.province = std::string(facts.province);
  a.county = firm.town;
  a.commune = firm.town;
  a.street = std::string(rng.Pick(facts.streets));
  a.house = std::to_string(rng.Between(1, 120));
  if (rng.Chance(40)) a.flat = std::to_string(rng.Between(1, 60));
  a.town = firm.town;
  a.postcode = TwoDigits(facts.postcode) + "-" + Digits(rng, 3);
  a.post = firm.town;
  a.phone = TwoDigits(facts.postcode / 2 + 12) + " " + Digits(rng, 7);
  return a;
}

// The three records of an annual settings file. `closed`: the year 2019 at its end;
// otherwise 2020 begun in the old version, a few months in.
std::string AnnualSettings(MakerContext& ctx, bool closed, bool openDecember) {
  Rng& rng = ctx.rng;
  std::string file = Stale(rng, 3 * convert::kAnnualRecordSize);
  auto record = [&](int n) {
    return RecordRef(
        std::span(file).subspan(convert::kAnnualRecordSize * (n - 1), convert::kAnnualRecordSize));
  };
  const int month = closed ? 12 : rng.Between(1, 3);

  RecordRef r1 = record(1);
  r1.Set(kYear.Bytes("Tag"), "R1");
  r1.Set(kYear.Int("Month"), month);
  r1.Set(kYear.Int("Approval"), closed ? (openDecember ? 12 : convert::kAllMonthsApproved) : month);
  r1.Set(kYear.Int("Format"), 2);
  r1.Set(kYear.Int("Format83"), 2);
  for (std::string_view setting :
       {"Setting05", "Setting07", "Setting0E", "Setting70", "Setting7F", "Setting87", "Setting89",
        "Setting8B", "SettingFE", "Setting16C", "Setting1A5"})
    r1.SetInt(*kYear.Find(setting), rng.Between(0, 12));
  for (std::string_view setting :
       {"Setting0C", "Setting0D", "Setting72", "Setting73", "Setting74", "Setting7A", "Setting85",
        "Setting8D", "Setting8E", "Setting8F", "Setting1A2", "Setting1A3", "Setting1A4"})
    r1.SetInt(*kYear.Find(setting), rng.Between(0, 1));
  r1.Set(kYear.Int("Setting7B"), rng.Between(0, 100000));
  for (std::size_t m = 0; m < 12; ++m) {
    bool kept = closed || static_cast<int>(m) < month;
    r1.Set(kYear.Int("MonthCounterA").At(m), kept ? rng.Between(1, 300) : 1);
    r1.Set(kYear.Int("MonthCounterB").At(m), kept ? rng.Between(1, 120) : 1);
  }
  bool proportional = ctx.firm->vatProportional;
  r1.Set(kYear.Int("VatProportional"), proportional ? 1 : 0);
  r1.Set(kYear.Int("VatProportion"), proportional ? rng.Between(55, 95) : 0);
  r1.Set(kYear.Int("NextVatProportion"), proportional && closed ? rng.Between(50, 95) : 0);
  double state = Zloty(rng, 0, 20000);
  for (std::size_t k = 0; k < 13; ++k) {
    bool reached = closed || static_cast<int>(k) <= month;
    r1.Set(kYear.Real("State").At(k), reached ? state : 0.0);
    state = std::round((state + Zloty(rng, -3000, 8000)) * 100) / 100;
  }
  for (std::size_t m = 0; m < 12; ++m)
    r1.Set(kYear.Real("Monthly").At(m),
           closed || static_cast<int>(m) < month ? Zloty(rng, 0, 9000) : 0.0);
  r1.Set(kYear.Real("Value198"), Zloty(rng, 0, 3000));
  r1.Set(kYear.Int("Counter1A0"), closed ? rng.Between(20, 50) : rng.Between(1, 5));

  RecordRef r2 = record(2);
  r2.Set(kNumbering.Bytes("Tag"), "R2");
  std::string trail = closed ? "/2019" : "/2020";
  for (std::size_t i = 0; i < 10; ++i) {
    r2.Set(kNumbering.Text("Lead").At(i), kNumberingLeads[i]);
    r2.Set(kNumbering.Int("Number").At(i), closed ? rng.Between(1, 500) : rng.Between(1, 40));
    r2.Set(kNumbering.Text("Trail").At(i), trail);
  }
  r2.Set(kNumbering.Int("SettingA2"), rng.Between(0, 1));
  r2.Set(kNumbering.Int("SettingA3"), rng.Between(0, 1));

  RecordRef r3 = record(3);
  r3.Set(kValues.Bytes("Tag"), "R3");
  r3.Set(kValues.Real("Value02"), Zloty(rng, 0, 5000));
  r3.Set(kValues.Real("Value0A"), Zloty(rng, 0, 5000));
  r3.Set(kValues.Real("Value10E"), Zloty(rng, 0, 5000));
  r3.Set(kValues.Int("Setting116"), rng.Between(0, 3));
  return file;
}

}  // namespace

bool HasOpenDecember(std::size_t firmIndex) {
  return firmIndex % 5 == 4;
}

void MakeAnnual2019(MakerContext& ctx, FileSink& sink) {
  if (ctx.firm->annual2019)
    sink.Add(convert::kAnnual2019FileName,
             AnnualSettings(ctx, true, HasOpenDecember(ctx.firmIndex)));
}

// Only some firms began 2020 in the old version.
void MakeAnnual2020(MakerContext& ctx, FileSink& sink) {
  if (ctx.firm->annual2020)
    sink.Add(convert::kAnnual2020FileName, AnnualSettings(ctx, false, false));
}

// What a firm carried over last time left in the Target tree: the new version's format,
// nothing outside the fields.
void MakeCarriedAnnual(MakerContext& ctx, FileSink& sink) {
  std::string file = AnnualSettings(ctx, false, false);
  std::string carried(file.size(), '\0');
  for (int n = 0; n < convert::kAnnualRecordCount; ++n) {
    const shared::Layout& layout = n == 0 ? kYear : n == 1 ? kNumbering : kValues;
    std::size_t at = convert::kAnnualRecordSize * static_cast<std::size_t>(n);
    shared::RecordView in{std::span<const char>(file).subspan(at, convert::kAnnualRecordSize)};
    RecordRef out{std::span<char>(carried).subspan(at, convert::kAnnualRecordSize)};
    for (const shared::Field& f : layout.fields) out.CarryFrom(in, f, f);
  }
  RecordRef r1{std::span<char>(carried).subspan(0, convert::kAnnualRecordSize)};
  r1.Set(kYear.Int("Format"), 3);
  r1.Set(kYear.Int("Format83"), 3);
  r1.Set(kYear.Int("NextVatProportion"), 0);
  for (std::size_t m = 0; m < 12; ++m) r1.Set(kYear.Bytes("MonthSpare").At(m), "");
  sink.Add(convert::kAnnual2020FileName, carried);
}

// FIRMATXT.INI of a 2019 installation: the earlier-year directories go back to 2012
// (how far depends on the firm), so that the new year's file shows the list moving on.
void MakeFirmText(MakerContext& ctx, FileSink& sink) {
  Rng& rng = ctx.rng;
  const SampleFirm& firm = *ctx.firm;
  Address seat = SeatOf(ctx);
  Person owner = Owner(rng);
  std::string office = Cat({"Urząd Skarbowy "_pl, firm.town}).substr(0, 65);
  std::string officeCode = std::to_string(rng.Between(1001, 3299));
  std::string bank = Cat({"Bank Spółdzielczy "_pl, firm.town}).substr(0, 36);
  std::string nip = TaxNumber(rng);

  std::string text;
  auto line = [&text](std::initializer_list<std::string_view> parts) {
    text += Cat(parts);
    text += "\r\n";
  };
  auto address = [&](std::string_view section, const Address& a) {
    line({"[", section, "]"});
    line({"KRAJ=", a.country});
    line({"WOJEWODZTWO=", a.province});
    line({"GMINA=", a.commune});
    line({"ULICA=", a.street});
    line({"DOM=", a.house});
    line({"LOKAL=", a.flat});
    line({"MIEJSCOWOSC=", a.town});
    line({"KOD=", a.postcode});
    line({"POCZTA=", a.post});
    line({"SKRYTKA="});
    line({"TELEFON=", a.phone});
    line({"POWIAT=", a.county});
    line({"KODUE=", a.euCode});
  };

  line({"[DOR]"});
  line({"NAZWA_ZUS=", firm.name});
  line({"INFO1=", firm.info});
  line({"INFO2="});
  line({"PATHXML=C:\\DOR_2019\\XML\\"});
  line({"PRZEXML="});
  int years = ctx.firmIndex == 0 ? 7 : rng.Between(0, 7);
  for (int y = 2018; y > 2018 - years; --y)
    line({"PATH", std::to_string(y), "=C:\\DOR_", std::to_string(y), "\\", firm.directory});
  line({"FAS=TAK"});
  line({});
  line({"[URZEDY_SKARBOWE]"});
  for (std::string_view form : {"VAT-7", "PIT-4R", "PIT-8AR", "PIT-XX"}) line({form, "=", office});
  line({});
  line({"[URZEDY_SKARBOWE_EKOD]"});
  for (std::string_view form : {"VAT-7", "PIT-4R", "PIT-8AR", "PIT-XX"})
    line({form, "=", officeCode});
  line({});
  line({"[FIRMA]"});
  line({"TYP=1"});
  line({"NIP=", nip});
  line({"REGON=", StatisticalNumber(rng)});
  line({});
  line({"[BANKI]"});
  line({"DEF=1"});
  line({"DEF_ZUS=1"});
  line({"NAZWA1=", bank});
  line({"NRB1=", AccountNumber(rng)});
  line({"DATA_ZBA=", TwoDigits(rng.Between(1, 28)), "-", TwoDigits(rng.Between(1, 12)), "-2015"});
  line({});
  line({"[OSOBA_FIZYCZNA]"});
  line({"PESEL=", owner.pesel});
  line({"NIP=", nip});
  line({"NAZWISKO=", owner.surname});
  line({"IMIE1=", owner.name});
  line({"IMIE2="});
  line({"TATA=", owner.father});
  line({"MAMA=", owner.mother});
  line({"DATA_URODZENIA=", owner.birthDate});
  line({"MIEJSCE_URODZENIA=", firm.town});
  line({"OBYWATELSTWO=polskie"});
  line({});
  address("ADRES_SIEDZIBY", seat);
  line({"KODGMINY=", Digits(rng, 7)});
  line({"IAP=NIE"});
  line({});
  address("ADRES_KOREPONDENCJA", seat);
  line({"EMAIL=biuro", std::to_string(ctx.firmIndex + 1), "@poczta.pl"});
  line({});
  line({"[DZIALALNOSC]"});
  line({"OPIS1=", firm.name.substr(0, firm.name.find(' '))});
  line({"EKD1=", Digits(rng, 2), ".", Digits(rng, 2), ".Z"});
  line({});
  line({"[ZUS_ZxA]"});
  line({"RENT2018=0"});
  line({"RENT2019=", std::to_string(rng.Between(0, 1))});
  line({"DRAIX02_2019=$0000$0000$0000$0000$0000$0000$0000$0000$0000$0000$0000$0000"});
  sink.Add(convert::kFirmTextDataFileName, text);
}

// The firm record: the seat, texts over what an older record held.
void MakeFirmAddress(MakerContext& ctx, FileSink& sink) {
  Address seat = SeatOf(ctx);
  std::string record(convert::kAddressRecordSize, '\0');
  if (ctx.firmIndex % 2 == 1) record = Stale(ctx.rng, convert::kAddressRecordSize);
  RecordRef r(record);
  auto put = [&](const shared::TextField& field, const std::string& value) {
    // Set clears behind the text; put the old bytes back where this firm keeps them.
    std::string before = r.Get(shared::BytesField{field});
    r.Set(field, value);
    if (ctx.firmIndex % 2 == 1) {
      std::size_t used = 1 + std::min(value.size(), field.Capacity());
      for (std::size_t k = used; k < field.width; ++k) record[field.offset + k] = before[k];
    }
  };
  put(kAddress.Text("POWIAT"), seat.county);
  put(kAddress.Text("WOJEWODZTWO"), seat.province);
  put(kAddress.Text("GMINA"), seat.commune);
  put(kAddress.Text("ULICA"), seat.street);
  put(kAddress.Text("DOM"), seat.house);
  put(kAddress.Text("LOKAL"), seat.flat);
  put(kAddress.Text("MIEJSCOWOSC"), seat.town);
  put(kAddress.Text("KOD"), seat.postcode);
  put(kAddress.Text("POCZTA"), seat.post);
  put(kAddress.Text("SKRYTKA"), "");
  put(kAddress.Text("TELEFON"), seat.phone);
  put(kAddress.Text("KRAJ"), seat.country);
  put(kAddress.Text("KODUE"), seat.euCode);
  sink.Add(convert::kFirmAddressFileName, record);
}

// The advance payments a firm that began 2020 in the old version has already noted; now
// and then a month whose text the old version let run past its field.
void MakeAdvancePayments(MakerContext& ctx, FileSink& sink) {
  if (!ctx.firm->annual2020) return;
  Rng& rng = ctx.rng;
  std::string record = Stale(rng, convert::kAdvancePaymentRecordSize);
  RecordRef r(record);
  constexpr shared::TextField kMonth = convert::kAdvancePaymentRecord.Text("MonthText");
  int months = rng.Between(1, 3);
  for (std::size_t m = 0; m < 12; ++m) {
    std::string text;
    if (static_cast<int>(m) < months)
      text = Cat({"Zaliczka PIT za "_pl, kMonths[m],
                  " 2020: ", std::to_string(rng.Between(0, 4000)), ",00 zł wpłacona"_pl});
    r.Set(kMonth.At(m), text);
  }
  if (ctx.firmIndex == 0 || rng.Chance(30)) record[kMonth.At(11).offset] = static_cast<char>(0xC8);
  sink.Add(convert::kAdvancePaymentsFileName, record);
}

void MakeTransferSettings(MakerContext& ctx, FileSink& sink) {
  Rng& rng = ctx.rng;
  if (ctx.firmIndex != 0 && !rng.Chance(70)) return;
  sink.Add(convert::kTransferSettingsFileName,
           TextLines({
               "[PRZELEWY]",
               "TYTUL_ZUS=Składki ZUS za miesiąc"_pl,
               "TYTUL_US=Zaliczka na podatek dochodowy"_pl,
               "TYTUL_VAT=Podatek VAT za miesiąc"_pl,
               Cat({"RACHUNEK_US=", AccountNumber(rng)}),
               Cat({"KOPIE=", std::to_string(rng.Between(1, 3))}),
               "DRUK=TAK",
           }));
}

}  // namespace zq::sample
