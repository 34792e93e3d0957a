#include "sample_staff.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "convert/firm_data.h"
#include "convert/staff.h"
#include "platform/cp852.h"
#include "shared/protection.h"
#include "shared/record.h"

namespace zq::sample {

using zq::operator""_pl;
using shared::Field;
using shared::RecordRef;

namespace {

constexpr const shared::Layout& kPerson = convert::kPersonRecord;
constexpr const shared::Layout& kFamily = convert::kFamilyRecord;
constexpr const shared::Layout& kContract = convert::kContractRecord;
constexpr const shared::Layout& kPid5 = convert::kPid5Record;
constexpr const shared::Layout& kPit28 = convert::kPit28Record;
constexpr const shared::Layout& kAddress = convert::kAddressRecord;

struct Surname {
  std::string_view man, woman;
};
constexpr Surname kSurnames[] = {
    {"Kowalski", "Kowalska"},           {"Nowak", "Nowak"},
    {"Wiśniewski"_pl, "Wiśniewska"_pl}, {"Wójcik"_pl, "Wójcik"_pl},
    {"Kamiński"_pl, "Kamińska"_pl},     {"Lewandowski", "Lewandowska"},
    {"Zieliński"_pl, "Zielińska"_pl},   {"Szymański"_pl, "Szymańska"_pl},
    {"Dąbrowski"_pl, "Dąbrowska"_pl},   {"Kozłowski"_pl, "Kozłowska"_pl},
    {"Grabowski", "Grabowska"},         {"Pawłowski"_pl, "Pawłowska"_pl},
};
constexpr std::string_view kMen[] = {"Jan",    "Andrzej",  "Piotr",     "Krzysztof",
                                     "Tomasz", "Paweł"_pl, "Michał"_pl, "Marek"};
constexpr std::string_view kWomen[] = {"Anna",      "Maria",   "Katarzyna", "Małgorzata"_pl,
                                       "Agnieszka", "Barbara", "Ewa",       "Zofia"};
constexpr std::string_view kTowns[] = {"Łódź"_pl,  "Kraków"_pl, "Sieradz",  "Opole",
                                       "Toruń"_pl, "Kielce",    "Łomża"_pl, "Radom"};
constexpr std::string_view kStreets[] = {"Lipowa",    "Długa"_pl, "Polna",    "Ogrodowa",
                                         "Łąkowa"_pl, "Szkolna",  "Kwiatowa", "Leśna"_pl};
constexpr std::string_view kJobs[] = {"sprzedawca", "magazynier", "księgowa"_pl,   "kierowca",
                                      "piekarz",    "stolarz",    "sprzątaczka"_pl};

enum class Fate { kEmployed, kLeftBefore, kLeftOn, kLeftAfter, kDeleted };

struct PersonFacts {
  std::int64_t key = 0;  // negative for a deleted person
  std::size_t surname = 0;
  bool woman = false;
  std::string first;
  std::string address;  // 224 bytes
};

std::string Two(int v) {
  return std::string(1, static_cast<char>('0' + v / 10 % 10)) + static_cast<char>('0' + v % 10);
}

// A text with its length byte; the bytes after it inside the field are left as they
// were, which is how the accounting program leaves records it rewrote.
void Put(std::string& record, const Field& field, std::string_view value) {
  std::size_t n = std::min(value.size(), field.Capacity());
  record[field.offset] = static_cast<char>(n);
  std::memcpy(&record[field.offset + 1], value.data(), n);
}

// Printable leftovers behind every text of the layout, in records of odd index.
void LeaveStale(std::string& record, const shared::Layout& layout, Rng& rng) {
  for (const Field& f : layout.fields) {
    if (f.kind != shared::Kind::Text) continue;
    for (std::size_t e = 0; e < f.count; ++e) {
      Field at = f.At(e);
      std::size_t used =
          1 + std::min<std::size_t>(static_cast<std::uint8_t>(record[at.offset]), at.Capacity());
      for (std::size_t k = used; k < at.width; ++k)
        record[at.offset + k] = static_cast<char>(rng.Between('a', 'z'));
    }
  }
}

std::string AddressBlock(Rng& rng, std::string_view town) {
  std::string block(convert::kAddressRecordSize, '\0');
  Put(block, kAddress["KRAJ"], "Polska");
  Put(block, kAddress["MIEJSCOWOSC"], town);
  Put(block, kAddress["POCZTA"], town);
  Put(block, kAddress["ULICA"], rng.Pick(kStreets));
  Put(block, kAddress["DOM"], std::to_string(rng.Between(1, 120)));
  if (rng.Chance(50)) Put(block, kAddress["LOKAL"], std::to_string(rng.Between(1, 40)));
  Put(block, kAddress["KOD"], Two(rng.Between(10, 99)) + "-" + Digits(rng, 3));
  Put(block, kAddress["KODUE"], "PL");
  return block;
}

void PutBytes(std::string& record, const Field& field, std::string_view bytes) {
  std::memcpy(&record[field.offset], bytes.data(), std::min(bytes.size(), field.width));
}

Fate FateOf(Rng& rng, const StaffPlan& plan, int index) {
  if (plan.everyCase && index < 5) return static_cast<Fate>(index);
  int roll = rng.Between(1, 100);
  if (roll <= 60) return Fate::kEmployed;
  if (roll <= 75) return Fate::kLeftBefore;
  if (roll <= 80) return Fate::kLeftOn;
  if (roll <= 90) return Fate::kLeftAfter;
  return Fate::kDeleted;
}

shared::Date LeftOn(Rng& rng, Fate fate, bool fixed) {
  switch (fate) {
    case Fate::kLeftBefore:
      if (fixed) return {30, 12, 2019};
      return {static_cast<std::uint8_t>(rng.Between(1, 28)),
              static_cast<std::uint8_t>(rng.Between(1, 12)), 2019};
    case Fate::kLeftOn:
      return {31, 12, 2019};
    case Fate::kLeftAfter:
      return {static_cast<std::uint8_t>(rng.Between(1, 28)), 1, 2020};
    default:
      return {};
  }
}

std::string PersonRecord(Rng& rng, const StaffPlan& plan, int index, PersonFacts& facts) {
  std::string r(convert::kPersonRecordSize, '\0');
  RecordRef ref{std::span<char>(r)};
  Fate fate = FateOf(rng, plan, index);
  facts.key = 1000 + 13 * static_cast<std::int64_t>(index);
  if (fate == Fate::kDeleted) facts.key = -facts.key;
  facts.surname = rng.Below(std::size(kSurnames));
  facts.woman = rng.Chance(50);
  facts.first = std::string(facts.woman ? rng.Pick(kWomen) : rng.Pick(kMen));
  std::string_view town = rng.Pick(kTowns);
  facts.address = AddressBlock(rng, town);

  ref.SetInt(kPerson["Key"], facts.key);
  ref.SetInt(kPerson["Mark"], 1);
  Put(r, kPerson["Nip"],
      Cat({Digits(rng, 3), "-", Digits(rng, 3), "-", Digits(rng, 2), "-", Digits(rng, 2)}));
  int year = rng.Between(1955, 2000), month = rng.Between(1, 12), day = rng.Between(1, 28);
  Put(r, kPerson["Pesel"], Two(year % 100) + Two(month) + Two(day) + Digits(rng, 5));
  const Surname& surname = kSurnames[facts.surname];
  Put(r, kPerson["Surname"], facts.woman ? surname.woman : surname.man);
  Put(r, kPerson["FirstName"], facts.first);
  if (rng.Chance(30))
    Put(r, kPerson["SecondName"], facts.woman ? rng.Pick(kWomen) : rng.Pick(kMen));
  Put(r, kPerson["Father"], rng.Pick(kMen));
  Put(r, kPerson["Mother"], rng.Pick(kWomen));
  ref.SetDate(kPerson["Born"], {static_cast<std::uint8_t>(day), static_cast<std::uint8_t>(month),
                                static_cast<std::uint16_t>(year)});
  Put(r, kPerson["BirthPlace"], town);
  ref.SetDate(kPerson["Left"], LeftOn(rng, fate, plan.everyCase));
  Put(r, kPerson["Text0DB"], "polskie");
  Put(r, kPerson["Text4E8"], rng.Pick(kJobs));
  Put(r, kPerson["Text6AE"], Cat({"ZUS oddział "_pl, town}));
  const Field addresses = kPerson["Addresses"];
  PutBytes(r, addresses.At(0), facts.address);
  if (rng.Chance(40)) PutBytes(r, addresses.At(1), AddressBlock(rng, rng.Pick(kTowns)));
  if (index % 2 == 1) LeaveStale(r, kPerson, rng);
  // A job title the old version let run past its field, into the bytes after it.
  if (plan.everyCase && index == 0 && !plan.protect) {
    const Field job = kPerson["Text4E8"];
    std::string_view title = "starszy specjalista ds. kadr i płac"_pl;
    r[job.offset] = static_cast<char>(title.size());
    std::memcpy(&r[job.offset + 1], title.data(), title.size());
  }
  if (plan.protect) {
    shared::ProtectRecord(std::span(reinterpret_cast<std::uint8_t*>(r.data()), r.size()),
                          plan.seed);
    ref.SetInt(kPerson["Mark"], convert::kProtectedMark);
  }
  return r;
}

std::string FamilyRecord(Rng& rng, const PersonFacts& person, int index) {
  std::string r(convert::kFamilyRecordSize, '\0');
  RecordRef ref{std::span<char>(r)};
  ref.SetInt(kFamily["Key"], person.key);
  bool child = rng.Chance(60);
  bool woman = rng.Chance(50);
  if (!child) woman = !person.woman;
  static constexpr std::string_view kRelations[2][2] = {{"mąż"_pl, "żona"_pl}, {"syn", "córka"_pl}};
  Put(r, kFamily["Text02E"], kRelations[child][woman]);
  const Surname& surname = kSurnames[person.surname];
  Put(r, kFamily["Surname"], woman ? surname.woman : surname.man);
  Put(r, kFamily["FirstName"], woman ? rng.Pick(kWomen) : rng.Pick(kMen));
  PutBytes(r, kFamily["Address"], person.address);
  if (index % 2 == 1) LeaveStale(r, kFamily, rng);
  return r;
}

std::string ContractRecord(Rng& rng, const PersonFacts& person, int index) {
  static constexpr std::string_view kWork[] = {"Prace porządkowe w lokalu"_pl, "Roznoszenie ulotek",
                                               "Prowadzenie szkolenia BHP",
                                               "Naprawa instalacji elektrycznej"};
  std::string r(convert::kContractRecordSize, '\0');
  RecordRef ref{std::span<char>(r)};
  ref.SetInt(kContract["Key"], person.key);
  Put(r, kContract["Text014"], Cat({"UZ/", std::to_string(index + 1), "/2020"}));
  Put(r, kContract["Text01F"], Cat({Two(rng.Between(2, 28)), "-01-2020"}));
  const Field texts = kContract["Texts02A"];
  Put(r, texts.At(0), rng.Pick(kWork));
  Put(r, texts.At(1), Cat({"Kwota brutto ", std::to_string(rng.Between(3, 40) * 100), " zł"_pl}));
  for (std::size_t k = 0x0E1; k < r.size(); k += 8)
    ref.SetReal({"Amount", k, 8, shared::Kind::Real}, rng.Between(0, 500) * 10.0);
  if (index % 2 == 1) LeaveStale(r, kContract, rng);
  return r;
}

// The part both forms share: the person, the office and the address.
std::string FormRecord(Rng& rng, const PersonFacts& person, std::uint16_t year) {
  std::string r(convert::kTaxFormRecordSize, '\0');
  RecordRef ref{std::span<char>(r)};
  ref.SetInt(kPid5["Key"], person.key);
  ref.SetDate(kPid5["FormDate"], {31, 1, year});
  ref.SetDate({"Second", 0x010, 4, shared::Kind::Date}, {1, 1, year});
  Put(r, kPid5["PairFirst"], Cat({"Urząd Skarbowy w "_pl, rng.Pick(kTowns)}));
  Put(r, kPid5["PairSecond"], Digits(rng, 4));
  Put(r, {"Nip", 0x05B, 14, shared::Kind::Text}, Digits(rng, 10));
  const Surname& surname = kSurnames[person.surname];
  Put(r, kPid5["Surname"], person.woman ? surname.woman : surname.man);
  Put(r, kPid5["FirstName"], person.first);
  PutBytes(r, kPid5["Address"], person.address);
  r[0x3677] = static_cast<char>(rng.Between(0, 2));
  return r;
}

std::string Pid5Record(Rng& rng, const PersonFacts& person, std::uint16_t year) {
  static constexpr std::string_view kPayers[] = {"Piekarnia \"Kłos\""_pl, "Hurtownia Owoców"_pl,
                                                 "Zakład Stolarski"_pl};
  std::string r = FormRecord(rng, person, year);
  RecordRef ref{std::span<char>(r)};
  for (const char* group : {"Group1", "Group2"}) {
    const Field entries = *kPid5.Find(group);
    const Field values = *kPid5.Find(std::string(group) + "First");
    int used = rng.Between(1, 3);
    for (int i = 0; i < used; ++i) {
      Field entry = entries.At(static_cast<std::size_t>(i));
      Put(r, {"A", entry.offset + 0x1D, 37, shared::Kind::Text}, rng.Pick(kPayers));
      Put(r, {"B", entry.offset + 0x42, 37, shared::Kind::Text}, rng.Pick(kTowns));
      double total = 0;
      for (std::size_t month = 0; month < 12; ++month) {
        total += rng.Between(150000, 650000) / 100.0;
        ref.SetReal(
            {"V", values.At(static_cast<std::size_t>(i)).offset + 8 * month, 8, shared::Kind::Real},
            total);
      }
    }
  }
  const Field third = kPid5["Group3"];
  Put(r, {"C", third.offset, 14, shared::Kind::Text}, Digits(rng, 10));
  Put(r, {"D", third.offset + 0x1D, 37, shared::Kind::Text}, rng.Pick(kPayers));
  ref.SetReal({"E", 9246, 8, shared::Kind::Real}, rng.Between(1000, 9000) * 1.0);
  r[0x363C] = static_cast<char>(rng.Between(0, 3));
  for (std::size_t k = 0x3640; k <= 0x3642; ++k) r[k] = static_cast<char>(rng.Between(0, 2));
  return r;
}

std::string Pit28Record(Rng& rng, const PersonFacts& person, std::uint16_t year) {
  std::string r = FormRecord(rng, person, year);
  RecordRef ref{std::span<char>(r)};
  const Field words = kPit28["MonthWord"], bytes = kPit28["MonthByte"];
  for (std::size_t m = 0; m < 12; ++m) {
    ref.SetInt(words.At(m), rng.Between(1, 3) * 100 + static_cast<int>(m));
    ref.SetInt(bytes.At(m), rng.Between(1, 4));
  }
  return r;
}

}  // namespace

StaffFiles MakeStaffFiles(Rng& rng, const StaffPlan& plan) {
  StaffFiles files;
  std::vector<PersonFacts> people(static_cast<std::size_t>(plan.persons));
  for (int i = 0; i < plan.persons; ++i)
    files.persons += PersonRecord(rng, plan, i, people[static_cast<std::size_t>(i)]);
  if (people.empty()) return files;
  auto someone = [&](int index, int fixed) -> const PersonFacts& {
    if (plan.everyCase && index < fixed) return people[static_cast<std::size_t>(index)];
    return people[rng.Below(static_cast<std::uint32_t>(people.size()))];
  };
  for (int m = 0; m < plan.familyMembers; ++m)
    files.families += FamilyRecord(rng, someone(m, 5), m);
  for (int c = 0; c < plan.contracts; ++c) {
    // The first firm's contracts: of an employed person, of one gone before 2020 and
    // of a deleted one.
    static constexpr int kContractPeople[] = {0, 1, 4};
    const PersonFacts& person =
        plan.everyCase && c < 3 ? people[kContractPeople[c]] : someone(c, 0);
    files.contracts += ContractRecord(rng, person, c);
  }
  for (int f = 0; f < plan.forms; ++f) {
    const PersonFacts& person = people[static_cast<std::size_t>(f) % people.size()];
    // The last form of a 2020 file is one of 2019, to be rebuilt, not kept.
    std::uint16_t year = plan.forms2020 && (f + 1 < plan.forms || plan.forms == 1) ? 2020 : 2019;
    files.pid5 += Pid5Record(rng, person, year);
    files.pit28 += Pit28Record(rng, person, year);
  }
  return files;
}

void MakeStaff(MakerContext& ctx, FileSink& sink) {
  Rng& rng = ctx.rng;
  StaffPlan plan;
  plan.everyCase = ctx.firmIndex == 0;
  if (!plan.everyCase && rng.Chance(15)) return;  // a firm without staff
  // A firm of median size employs about three times the small office's staff.
  plan.persons = ctx.Records(plan.everyCase ? 8 : rng.Between(2, 9), 3);
  plan.familyMembers = plan.everyCase ? ctx.Records(7, 3) : rng.Between(0, 2 * plan.persons);
  plan.contracts = plan.everyCase || ctx.firm->annual2020 ? ctx.Records(rng.Between(3, 5), 3) : 0;
  plan.forms = ctx.Records(plan.everyCase ? 3 : rng.Between(0, 3), 3);
  plan.forms2020 = ctx.firm->annual2020;
  plan.protect = !plan.everyCase && rng.Chance(50);
  plan.seed = rng.Pick(kStaffSeeds);
  StaffFiles files = MakeStaffFiles(rng, plan);
  sink.Add(convert::kPersonFileName, files.persons);
  if (!files.families.empty()) sink.Add(convert::kFamilyFileName, files.families);
  if (!files.contracts.empty()) sink.Add(convert::kContractFileName, files.contracts);
  if (plan.forms > 0) {
    sink.Add(plan.forms2020 ? convert::kPid5Name2020 : convert::kPid5Name2019, files.pid5);
    sink.Add(plan.forms2020 ? convert::kPit28Name2020 : convert::kPit28Name2019, files.pit28);
  }
}

}  // namespace zq::sample
