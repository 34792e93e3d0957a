#include "sample_bases.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "convert/bases.h"
#include "convert/wage_settings.h"
#include "platform/cp852.h"
#include "shared/protection.h"
#include "shared/record.h"

namespace zq::sample {

using zq::operator""_pl;
using shared::RecordRef;

namespace {

// The text's length byte and characters; what lies behind them in the field stays as
// the older record left it.
void Put(std::string& record, const shared::Field& field, std::string_view text) {
  std::size_t n = std::min(text.size(), field.Capacity());
  record[field.offset] = static_cast<char>(n);
  std::copy_n(text.begin(), n, record.begin() + static_cast<std::ptrdiff_t>(field.offset + 1));
}

void PutNumber(std::string& record, const shared::Field& field, std::int64_t value) {
  RecordRef(record).SetInt(field, value);
}

constexpr std::string_view kCompanies[] = {
    "Hurtownia Spożywcza \"Kłos\" Sp. z o.o."_pl,
    "Przedsiębiorstwo Handlowe Żuraw"_pl,
    "Zakład Energetyczny S.A.",
    "Bank Spółdzielczy w Łowiczu"_pl,
    "Stacja Paliw \"Orlik\""_pl,
    "Biuro Usług Księgowych Gęś"_pl,
    "Drukarnia Świt s.c."_pl,
    "Transport Ciężarowy Mróz"_pl,
};
constexpr std::string_view kTowns[] = {"Łódź"_pl,    "Kraków"_pl, "Poznań"_pl, "Gdańsk"_pl,
                                       "Wrocław"_pl, "Opole",     "Kielce",    "Toruń"_pl};
constexpr std::string_view kStreets[] = {"ul. Piotrkowska"_pl, "ul. Długa"_pl,  "al. Kościuszki"_pl,
                                         "ul. Źródlana"_pl,    "ul. Łąkowa"_pl, "pl. Wolności"_pl};

std::string PostCode(Rng& rng) {
  return Digits(rng, 2) + "-" + Digits(rng, 3);
}
std::string Nip(Rng& rng) {
  return Cat({Digits(rng, 3), "-", Digits(rng, 2), "-", Digits(rng, 2), "-", Digits(rng, 3)});
}
std::string Account(Rng& rng) {
  return Digits(rng, 26);
}

constexpr const shared::Layout& kAd = convert::kAddressBase;
constexpr const shared::Layout& kUs = convert::kTaxOfficeBase;

}  // namespace

void MakeAddressBase(MakerContext& ctx, FileSink& sink) {
  Rng& rng = ctx.rng;
  if (ctx.firm && ctx.firmIndex != 0 && !rng.Chance(80)) return;
  int count = ctx.firm ? ctx.Records(rng.Between(3, 12), 15) : rng.Between(20, 40);
  std::string file;
  for (int i = 0; i < count; ++i) {
    std::string r = Junk(rng, kAd.size);
    PutNumber(r, kAd["Number"], i + 1);
    r[kAd["IsTaxOffice"].offset] = 0;
    shared::Field name = kAd["Name"];
    Put(r, name.At(0), rng.Pick(kCompanies));
    Put(r, name.At(1), "");
    Put(r, name.At(2), Cat({"kontakt: "_pl, std::to_string(rng.Between(100, 999))}));
    Put(r, kAd["Town"], rng.Pick(kTowns));
    Put(r, kAd["Phone"], Cat({"42 ", Digits(rng, 7)}));
    Put(r, kAd["Box"], "");
    Put(r, kAd["PostCode"], PostCode(rng));
    Put(r, kAd["Region"], "mazowieckie");
    Put(r, kAd["Street"], Cat({rng.Pick(kStreets), " ", std::to_string(rng.Between(1, 120))}));
    Put(r, kAd["Nip"].At(0), Nip(rng));
    Put(r, kAd["Nip"].At(1), Digits(rng, 9));
    Put(r, kAd["Post"], rng.Pick(kTowns));
    Put(r, kAd["Note"].At(0), rng.Chance(50) ? "stały kontrahent"_pl : "");
    Put(r, kAd["Note"].At(1), "");
    r[kAd["Kind"].offset] = static_cast<char>(rng.Between(0, 2));
    file += r;
  }
  sink.Add(convert::kAddressBaseName, file);
}

void MakeTaxOfficeBase(MakerContext& ctx, FileSink& sink) {
  Rng& rng = ctx.rng;
  static constexpr std::string_view kOffices[] = {
      "Urząd Skarbowy Łódź-Bałuty"_pl,         "Urząd Skarbowy Łódź-Widzew"_pl,
      "Pierwszy Urząd Skarbowy w Krakowie"_pl, "Urząd Skarbowy w Poznaniu"_pl,
      "Drugi Urząd Skarbowy w Gdańsku"_pl,     "Urząd Skarbowy we Wrocławiu"_pl};
  std::string file;
  for (std::size_t i = 0; i < std::size(kOffices); ++i) {
    std::string r = Junk(rng, kUs.size);
    PutNumber(r, kUs["Number"], static_cast<std::int64_t>(i) + 1);
    r[kUs["IsTaxOffice"].offset] = 1;
    Put(r, kUs["Name"], kOffices[i]);
    Put(r, kUs["PostCode"], PostCode(rng));
    Put(r, kUs["Town"], rng.Pick(kTowns));
    Put(r, kUs["Street"], Cat({rng.Pick(kStreets), " ", std::to_string(rng.Between(1, 60))}));
    Put(r, kUs["Office"], "Izba Administracji Skarbowej");
    Put(r, kUs["Phone"], Cat({"42 ", Digits(rng, 7)}));
    for (std::size_t k = 0; k < 5; ++k) {
      shared::Field entry = kUs["Account"].At(k);
      std::string number = Account(rng);
      std::copy(number.begin(), number.end(),
                r.begin() + static_cast<std::ptrdiff_t>(entry.offset));
    }
    Put(r, kUs["Code"], Digits(rng, 4));
    file += r;
  }
  sink.Add(convert::kTaxOfficeBaseName, file);
}

void MakeOfficeData(MakerContext& ctx, FileSink& sink) {
  Rng& rng = ctx.rng;
  constexpr const shared::Layout& kBr = convert::kOfficeData;
  std::string r = Junk(rng, kBr.size);
  Put(r, kBr["Name"].At(0), "Biuro Rachunkowe \"Bilans\""_pl);
  Put(r, kBr["Name"].At(1), "Anna Wiśniewska"_pl);
  Put(r, kBr["Name"].At(2), "ul. Piotrkowska 120, 90-006 Łódź"_pl);
  Put(r, kBr["Nip"], Nip(rng));
  Put(r, kBr["Town"], "Łódź"_pl);
  static constexpr std::string_view kLeads[] = {"/2019", "/19/R", "/BR/2019", "/2019/K"};
  for (std::size_t i = 0; i < 4; ++i) {
    PutNumber(r, kBr["Counter"].At(i), rng.Between(20, 400));
    Put(r, kBr["Suffix"].At(i), kLeads[i]);
  }
  Put(r, kBr["Bank"], "PKO Bank Polski S.A. O/Łódź"_pl);
  Put(r, kBr["Service"], "");
  r[kBr["Flag"].offset] = 1;
  Put(r, kBr["Issuer"], "Anna Wiśniewska"_pl);
  std::string account = Account(rng);
  std::copy(account.begin(), account.end(),
            r.begin() + static_cast<std::ptrdiff_t>(kBr["Account"].offset));
  PutNumber(r, kBr["Days"], 14);
  sink.Add(convert::kOfficeDataSourceName, r);
}

void MakeOperators(MakerContext& ctx, FileSink& sink) {
  Rng& rng = ctx.rng;
  constexpr const shared::Layout& kOp = convert::kOperator;
  struct Person {
    std::string_view name, login, function;
    std::uint16_t rights3, rights5;
  };
  static constexpr Person kPeople[] = {
      {"Anna Wiśniewska"_pl, "ANNA", "Główna księgowa"_pl, 0x0004, 0x0002},
      {"Piotr Kowalski", "PIOTR", "Księgowy"_pl, 0x0014, 0x0000},
      {"Ewa Nowak", "EWA", "Kadry i płace"_pl, 0x0001, 0x0002},
  };
  // One seed for the whole file, as the accounting program writes it.
  auto seed = static_cast<std::uint8_t>(rng.Between(1, 200));
  std::string file;
  for (const Person& p : kPeople) {
    std::string r(kOp.size, '\0');
    Put(r, kOp["Name"], p.name);
    Put(r, kOp["Login"], p.login);
    Put(r, kOp["Function"], p.function);
    for (std::size_t g = 0; g < 7; ++g)
      PutNumber(r, kOp["Rights"].At(g), g == 3 ? p.rights3 : g == 5 ? p.rights5 : rng.Below(16));
    auto bytes = std::span(reinterpret_cast<std::uint8_t*>(r.data()), r.size());
    shared::ProtectBlock(bytes, seed);
    file += r;
  }
  sink.Add(convert::kOperatorFileName, file);
}

void MakeGlobalWageSettings(MakerContext& ctx, FileSink& sink) {
  Rng& rng = ctx.rng;
  constexpr const shared::Layout& kOld = convert::kOldWageSettings;
  static constexpr std::string_view kCodes[] = {"ZAS", "PRE", "NAD", "CHO", "URL",
                                                "DOD", "NAG", "PRM", "DOJ", "EKW"};
  static constexpr std::string_view kNames[] = {
      "Zasadnicze", "Premia",  "Nadgodziny",   "Chorobowe", "Urlopowe",
      "Dodatek",    "Nagroda", "Premia rocz.", "Dojazdy",   "Ekwiwalent"};
  std::string r = Junk(rng, kOld.size);
  for (std::size_t i = 0; i < 10; ++i) {
    Put(r, kOld["Code"].At(i), kCodes[i]);
    PutNumber(r, kOld["Number"].At(i), static_cast<std::int64_t>(i) + 1);
    Put(r, kOld["Name"].At(i), kNames[i]);
  }
  for (std::size_t i = 0; i < 4; ++i)
    Put(r, kOld["Text"].At(i), Cat({"Składnik dod. "_pl, std::to_string(i + 1)}));
  Put(r, kOld["LastText"], "Potrącenia"_pl);
  PutNumber(r, kOld["Word"], 1);
  for (std::size_t m = 0; m < 12; ++m) PutNumber(r, kOld["Monthly"].At(m), rng.Between(19, 23));
  PutNumber(r, kOld["Byte"], 1);
  PutNumber(r, kOld["Mark"], 3);
  sink.Add(convert::kWageSettings2019Name, r);
}

void MakeAutomationBases(MakerContext& ctx, FileSink& sink) {
  Rng& rng = ctx.rng;
  constexpr const shared::Layout& kAu = convert::kOldAutomation;
  struct Template {
    std::string_view name, description, account;
  };
  static constexpr Template kSales[] = {
      {"SPRZEDAZ TOW", "Sprzedaż towarów handlowych"_pl, "701-01"},
      {"USLUGI", "Usługi naprawcze i serwisowe"_pl, "702-03"},
      {"ZALICZKA", "Zaliczka na poczet dostawy"_pl, "845"},
  };
  static constexpr Template kPurchases[] = {
      {"PALIWO", "Paliwo do samochodu firmowego"_pl, "402-05"},
      {"ENERGIA", "Energia elektryczna - lokal"_pl, "402-01"},
      {"TELEFON", "Usługi telekomunikacyjne"_pl, "402-07"},
      {"MATERIALY", "Zakup materiałów podstawowych"_pl, "310"},
  };
  auto make = [&](std::span<const Template> templates) {
    std::string file;
    for (const Template& t : templates) {
      std::string r = Junk(rng, kAu.size);
      Put(r, kAu["Name"], t.name);
      Put(r, kAu["Description"], t.description);
      Put(r, kAu["Account"], t.account);
      Put(r, kAu["Remark"], rng.Chance(50) ? "księgować w kolumnie 10"_pl : "");
      Put(r, kAu["Short"], t.name);
      PutNumber(r, kAu["Column"], rng.Between(7, 13));
      static constexpr int kRates[] = {0, 5, 8, 23};
      PutNumber(r, kAu["Vat"], rng.Pick(kRates));
      PutNumber(r, kAu["Kind"], rng.Between(0, 3));
      PutNumber(r, kAu["Amount"], rng.Between(0, 500000));
      file += r;
    }
    return file;
  };
  if (ctx.firmIndex == 0 || rng.Chance(70)) sink.Add(convert::kSalesAutomationSource, make(kSales));
  if (ctx.firmIndex == 0 || rng.Chance(70))
    sink.Add(convert::kPurchaseAutomationSource, make(kPurchases));
}

void MakeTransferBase(MakerContext& ctx, FileSink& sink) {
  Rng& rng = ctx.rng;
  if (ctx.firmIndex != 0 && !rng.Chance(70)) return;
  constexpr const shared::Layout& kPp = convert::kTransfer;
  std::string file;
  for (int kind = 0; kind < 3; ++kind) {
    std::string r = Junk(rng, kPp.size);
    r[0] = static_cast<char>(kind);
    Put(r, kPp["Payer"].At(0), ctx.firm->name);
    Put(r, kPp["Payer"].At(1), ctx.firm->town);
    std::string payer = Account(rng), payee = Account(rng);
    std::copy(payer.begin(), payer.end(),
              r.begin() + static_cast<std::ptrdiff_t>(kPp["PayerAccount"].offset));
    Put(r, kPp["Payee"].At(0), kind == 2 ? "Urząd Skarbowy Łódź-Bałuty"_pl : rng.Pick(kCompanies));
    Put(r, kPp["Payee"].At(1), rng.Pick(kTowns));
    std::copy(payee.begin(), payee.end(),
              r.begin() + static_cast<std::ptrdiff_t>(kPp["PayeeAccount"].offset));
    shared::Field lines = kPp["TitleLines"];
    if (kind == 0) {
      Put(r, lines.At(0), Cat({"Zapłata za fakturę FV/"_pl, Digits(rng, 3), "/2019"}));
      Put(r, lines.At(1), "");
    } else if (kind == 1) {
      Put(r, kPp["TitleCode"], Cat({"ZUS ", Digits(rng, 2), "/2019"}));
    }
    RecordRef(r).SetReal(kPp["Amount"], rng.Between(1000, 900000) / 100.0);
    PutNumber(r, kPp["Date"], shared::PackedDate({20, 12, 2019}));
    PutNumber(r, kPp["Number"], rng.Between(1, 300));
    file += r;
  }
  sink.Add(convert::kTransferBaseName, file);
}

void MakeInternalDocuments(MakerContext& ctx, FileSink& sink) {
  Rng& rng = ctx.rng;
  if (ctx.firmIndex != 0 && !rng.Chance(60)) return;
  constexpr const shared::Layout& kDw = convert::kInternalDocument;
  static constexpr std::string_view kLines[] = {"Zużycie materiałów"_pl, "Delegacja krajowa",
                                                "Ryczałt za samochód"_pl, "Kilometrówka"_pl};
  std::string file;
  int count = ctx.Records(rng.Between(1, 4), 10);
  for (int i = 0; i < count; ++i) {
    std::string r = Junk(rng, kDw.size);
    r[0] = 1;
    PutNumber(r, kDw["Number"], i + 1);
    Put(r, kDw["Symbol"], Cat({"DW/", std::to_string(i + 1), "/2019"}));
    Put(r, kDw["Title"], "Dowód wewnętrzny"_pl);
    PutNumber(r, kDw["Column"], 13);
    for (std::size_t k = 0; k < 10; ++k) {
      bool used = k < 3;
      Put(r, kDw["LineText"].At(k), used ? rng.Pick(kLines) : std::string_view{});
      double net = used ? rng.Between(100, 50000) / 100.0 : 0;
      RecordRef(r).SetReal(kDw["LineNet"].At(k), net);
      RecordRef(r).SetReal(kDw["LineVat"].At(k), 0);
      RecordRef(r).SetReal(kDw["LineGross"].At(k), net);
    }
    Put(r, kDw["Issuer"], "Anna Wiśniewska"_pl);
    Put(r, kDw["Approver"], ctx.firm->name.substr(0, 22));
    file += r;
  }
  sink.Add(convert::kInternalDocumentsName, file);
}

void MakeInterestLists(MakerContext& ctx, FileSink& sink) {
  Rng& rng = ctx.rng;
  if (ctx.firmIndex != 0 && !rng.Chance(40)) return;
  constexpr const shared::Layout& kOz = convert::kInterestList;
  std::string file;
  for (int i = 0, n = ctx.Records(rng.Between(1, 3), 5); i < n; ++i) {
    std::string r = Junk(rng, kOz.size);
    Put(r, kOz["Debtor"].At(0), rng.Pick(kCompanies));
    Put(r, kOz["Debtor"].At(1), Cat({rng.Pick(kStreets), " ", std::to_string(i + 3)}));
    Put(r, kOz["Town"], rng.Pick(kTowns));
    Put(r, kOz["Document"], Cat({"NO/", std::to_string(i + 1), "/2019"}));
    file += r;
  }
  sink.Add(convert::kInterestListName, file);
}

void MakeVehicles(MakerContext& ctx, FileSink& sink) {
  Rng& rng = ctx.rng;
  if (ctx.firmIndex != 0 && !rng.Chance(50)) return;
  constexpr const shared::Layout& kAv = convert::kVehicle;
  static constexpr std::string_view kMakes[] = {"Škoda Octavia"_pl, "Fiat Doblo", "Opel Astra",
                                                "Renault Kangoo"};
  std::string file;
  for (int i = 0, n = rng.Between(1, 2); i < n; ++i) {
    std::string r = Junk(rng, kAv.size);
    Put(r, kAv["Make"].At(0), rng.Pick(kMakes));
    Put(r, kAv["Make"].At(1), "VAT-26 złożony"_pl);
    Put(r, kAv["Plate"], Cat({"EL ", Digits(rng, 5)}));
    file += r;
  }
  sink.Add(convert::kVehiclesName, file);
}

void MakeOneOffAssets(MakerContext& ctx, FileSink& sink) {
  Rng& rng = ctx.rng;
  if (ctx.firmIndex != 0 && !rng.Chance(50)) return;
  constexpr const shared::Layout& kEs = convert::kOneOffAsset;
  static constexpr std::string_view kItems[] = {"Wiertarka udarowa", "Laptop biurowy",
                                                "Regał magazynowy"_pl, "Drukarka laserowa"};
  std::string file;
  for (int i = 0, n = ctx.Records(rng.Between(1, 3), 4); i < n; ++i) {
    std::string r = Junk(rng, kEs.size);
    Put(r, kEs["Number"].At(0), Cat({"ST/", std::to_string(i + 1)}));
    Put(r, kEs["Number"].At(1), "2019");
    Put(r, kEs["Name"], rng.Pick(kItems));
    Put(r, kEs["Symbol"], Cat({"KŚT "_pl, Digits(rng, 3)}));
    Put(r, kEs["Document"], Cat({"FV/", Digits(rng, 4), "/2019"}));
    Put(r, kEs["Place"], "biuro");
    for (std::size_t k = 0; k < 4; ++k)
      Put(r, kEs["Notes"].At(k), k == 0 ? "umorzony jednorazowo do 3500 zł"_pl : "");
    Put(r, kEs["Person"], "Jan Kowalski");
    file += r;
  }
  sink.Add(convert::kOneOffAssetsName, file);
}

void MakeCorrectionNotes(MakerContext& ctx, FileSink& sink) {
  Rng& rng = ctx.rng;
  if (!ctx.firm->annual2020 && ctx.firmIndex != 0) return;
  constexpr const shared::Layout& kNk = convert::kNote;
  std::string file;
  for (int i = 0, n = ctx.Records(rng.Between(1, 2), 5); i < n; ++i) {
    std::string r = Junk(rng, kNk.size);
    PutNumber(r, kNk["Number"], i + 1);
    Put(r, kNk["Symbol"], Cat({"NK/", std::to_string(i + 1), "/2020"}));
    PutNumber(r, kNk["Date"], shared::PackedDate({15, 1, 2020}));
    Put(r, kNk["Invoice"], Cat({"FV/", Digits(rng, 3), "/2020"}));
    Put(r, kNk["Place"], ctx.firm->town);
    PutNumber(r, kNk["InvoiceDate"], shared::PackedDate({10, 1, 2020}));
    for (std::size_t p = 0; p < 2; ++p) {
      Put(r, kNk["PartyNip"].At(p), Nip(rng));
      Put(r, kNk["PartyName"].At(p),
          p == 0 ? std::string_view(ctx.firm->name).substr(0, 36) : rng.Pick(kCompanies));
      Put(r, kNk["PartyName2"].At(p), "");
      Put(r, kNk["PartyPostCode"].At(p), PostCode(rng));
      Put(r, kNk["PartyTown"].At(p), rng.Pick(kTowns));
      Put(r, kNk["PartyStreet"].At(p), rng.Pick(kStreets));
    }
    for (std::size_t k = 0; k < 6; ++k) {
      Put(r, kNk["WasText"].At(k), k == 0 ? "Nazwa nabywcy: Kowalski Jan" : "");
      Put(r, kNk["IsText"].At(k), k == 0 ? "Nazwa nabywcy: Kowalska Janina" : "");
    }
    file += r;
  }
  sink.Add(convert::kNotesName, file);
}

}  // namespace zq::sample
