#include "sample.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <map>
#include <stdexcept>

#include "platform/cp852.h"
#include "sample_annual.h"
#include "sample_bases.h"
#include "sample_firm_files.h"
#include "sample_ledger.h"
#include "sample_modules.h"
#include "sample_staff.h"
#include "shared/record.h"

namespace zq::sample {

using zq::operator""_pl;
using shared::Field;
using shared::Kind;
using shared::RecordRef;

// ---------------------------------------------------------------------------------------
// Random numbers

namespace {

std::uint64_t Mix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

std::uint64_t Hash(std::string_view text) {
  std::uint64_t h = 0xCBF29CE484222325ull;
  for (unsigned char c : text) h = (h ^ c) * 0x100000001B3ull;
  return h;
}

}  // namespace

Rng Rng::For(std::uint64_t seed, std::uint64_t index, std::string_view purpose) {
  return Rng(Mix(Mix(seed) ^ Mix(index + 1) ^ Hash(purpose)));
}

std::uint64_t Rng::Next() {
  state_ += 0x9E3779B97F4A7C15ull;
  std::uint64_t z = state_;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::uint32_t Rng::Below(std::uint32_t n) {
  return static_cast<std::uint32_t>(((Next() >> 32) * n) >> 32);
}

int Rng::Between(int low, int high) {
  return low + static_cast<int>(Below(static_cast<std::uint32_t>(high - low + 1)));
}

bool Rng::Chance(int percent) {
  return static_cast<int>(Below(100)) < percent;
}

// ---------------------------------------------------------------------------------------
// Small helpers

void FileSink::Add(std::string_view cp852Name, std::string bytes) {
  files_.push_back({std::string(cp852Name), std::move(bytes)});
}

std::string Cat(std::initializer_list<std::string_view> parts) {
  std::string s;
  for (std::string_view p : parts) s += p;
  return s;
}

std::string Digits(Rng& rng, int n) {
  std::string s;
  for (int k = 0; k < n; ++k) s += static_cast<char>('0' + rng.Below(10));
  return s;
}

std::string Junk(Rng& rng, std::size_t n) {
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng.Below(256));
  return s;
}

std::string TextLines(std::initializer_list<std::string_view> lines) {
  std::string text;
  for (std::string_view line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

namespace {

std::string Padded(int value, int width) {
  std::string s = std::to_string(value);
  return std::string(s.size() < static_cast<std::size_t>(width) ? width - s.size() : 0, '0') + s;
}

std::string Utf8(std::string_view cp852) {
  return Cp852ToUtf8(cp852);
}

std::filesystem::path U8Path(std::string_view utf8) {
  return std::filesystem::path(
      std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

void WriteBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

// ---------------------------------------------------------------------------------------
// The firms

struct Trade {
  std::string_view name;
  std::string_view stem;  // directory name, at most 8 characters
};

constexpr Trade kTrades[] = {
    {"Piekarnia"_pl, "PIEKARZ"},
    {"Zakład Stolarski"_pl, "STOLARZ"},
    {"Sklep Spożywczy"_pl, "SKLEP"},
    {"Hurtownia Owoców"_pl, "OWOCE"},
    {"Warsztat Samochodowy"_pl, "WARSZTAT"},
    {"Kwiaciarnia"_pl, "KWIATY"},
    {"Biuro Rachunkowe"_pl, "BIURO"},
    {"Cukiernia"_pl, "CUKIER"},
    {"Księgarnia"_pl, "KSIĘGI"_pl},
    {"Usługi Remontowe"_pl, "REMONTY"},
    {"Pracownia Krawiecka"_pl, "KRAWIEC"},
    {"Gospodarstwo Rolne"_pl, "ROLNIK"},
    {"Zakład Fryzjerski"_pl, "FRYZJER"},
    {"Pralnia Chemiczna"_pl, "PRALNIA"},
    {"Ślusarstwo"_pl, "ŚLUSARZ"_pl},
    {"Żłobek Niepubliczny"_pl, "ŻŁOBEK"_pl},
};

const Trade kPolishStemTrades[] = {kTrades[8], kTrades[14], kTrades[15]};

struct Town {
  std::string_view name;
  std::string_view province;
  int postcode;  // first two digits
};

constexpr Town kTowns[] = {
    {"Łódź"_pl, "łódzkie"_pl, 90},
    {"Kraków"_pl, "małopolskie"_pl, 30},
    {"Gdańsk"_pl, "pomorskie"_pl, 80},
    {"Poznań"_pl, "wielkopolskie"_pl, 60},
    {"Wrocław"_pl, "dolnośląskie"_pl, 50},
    {"Białystok"_pl, "podlaskie"_pl, 15},
    {"Częstochowa"_pl, "śląskie"_pl, 42},
    {"Rzeszów"_pl, "podkarpackie"_pl, 35},
    {"Kielce"_pl, "świętokrzyskie"_pl, 25},
    {"Zielona Góra"_pl, "lubuskie"_pl, 65},
    {"Świdnica"_pl, "dolnośląskie"_pl, 58},
    {"Łomża"_pl, "podlaskie"_pl, 18},
    {"Żyrardów"_pl, "mazowieckie"_pl, 96},
    {"Opole"_pl, "opolskie"_pl, 45},
    {"Toruń"_pl, "kujawsko-pomorskie"_pl, 87},
    {"Sieradz"_pl, "łódzkie"_pl, 98},
};

constexpr std::string_view kInfos[] = {
    "KPiR, VAT miesięczny"_pl,    "KPiR, VAT kwartalny"_pl,
    "Ryczałt ewidencjonowany"_pl, "Zwolniony z VAT"_pl,
    "Spółka cywilna"_pl,          "Działalność od 2012 r."_pl,
    "Karta podatkowa"_pl,         "",
};

constexpr std::string_view kStreets[] = {
    "Lipowa"_pl, "Długa"_pl, "Słoneczna"_pl, "Ogrodowa"_pl, "Źródlana"_pl,
    "Łąkowa"_pl, "Polna"_pl, "Kwiatowa"_pl,  "Szkolna"_pl,  "Świerkowa"_pl,
};

const Town& TownNamed(std::string_view name) {
  for (const Town& t : kTowns)
    if (t.name == name) return t;
  return kTowns[0];
}

// Stale bytes after each text, as records written by the accounting program have them:
// readers must go by the length byte.
void LeaveStaleTails(shared::FirmRecordBytes& record, Rng& rng) {
  for (const Field& f : shared::kFirmRecordFields) {
    if (f.kind != Kind::Text) continue;
    std::size_t used = 1 + std::min<std::size_t>(record[f.offset], f.Capacity());
    for (std::size_t k = used; k < f.width; ++k)
      record[f.offset + k] = static_cast<std::uint8_t>(rng.Between(0x21, 0xFE));
  }
}

// The realistic office: about one firm in ten registered but hardly kept, one in twenty
// about 20 MB, the rest spread around a median of about 2 MB, from a third to three
// times that.
void SizeFirm(SampleFirm& firm, Rng rng) {
  int kind = rng.Between(1, 100);
  if (kind <= 10) {
    firm.fewFiles = true;
  } else if (kind <= 15) {
    firm.scale = rng.Between(8 * kMedianScale, 10 * kMedianScale);
  } else {
    double spread = rng.Between(-160, 160) / 100.0;
    firm.scale = static_cast<int>(std::lround(kMedianScale * std::exp2(spread)));
  }
}

// The makers a firm with few files still has.
constexpr std::string_view kEssentialKinds[] = {
    "annual settings 2019", "annual settings 2020", "firm marker", "firm text data", "firm record",
};

bool Makes(const SampleFirm& firm, const FileMakerEntry& maker) {
  return !firm.fewFiles || std::find(std::begin(kEssentialKinds), std::end(kEssentialKinds),
                                     maker.kind) != std::end(kEssentialKinds);
}

std::vector<SampleFirm> MakeFirms(const Options& options) {
  const std::size_t count = static_cast<std::size_t>(options.firms);
  Rng rng = Rng::For(options.seed, 0, "firms");
  std::map<std::string, int, std::less<>> stemUses, nameUses;
  std::vector<SampleFirm> firms(count);

  for (std::size_t i = 0; i < count; ++i) {
    SampleFirm& firm = firms[i];
    // The first firm is always the same, so that the demo starts from a known face; the
    // second has a directory name with a Polish letter, which the host spells otherwise.
    const Trade& trade = i == 0   ? kTrades[0]
                         : i == 1 ? rng.Pick(kPolishStemTrades)
                                  : rng.Pick(kTrades);
    const Town& town = i == 0 ? kTowns[0] : rng.Pick(kTowns);
    std::string info(i == 0 ? kInfos[0] : rng.Pick(kInfos));

    std::string name = Cat({trade.name, " ", town.name});
    if (int uses = nameUses[name]++; uses > 0) {
      std::string suffix = " " + std::to_string(uses + 1);
      name = name.substr(0, shared::kFirmName.Capacity() - suffix.size()) + suffix;
    }
    std::string directory(trade.stem);
    if (int uses = stemUses[directory]++; uses > 0)
      directory = directory.substr(0, 5) + Padded(uses + 1, 3);

    Rng traits = Rng::For(options.seed, i, "traits");
    firm.annual2020 = i > 0 && traits.Chance(25);
    firm.vatProportional = traits.Chance(30);
    firm.town = std::string(town.name);

    std::string firmData(shared::kFirmData.width, '\0');
    RecordRef data(firmData);
    data.SetInt(Field{"Year", 0, 2, Kind::Word}, 2019);
    for (std::size_t k = 2; k < firmData.size(); ++k)
      firmData[k] = static_cast<char>(traits.Below(256));
    firm.record = shared::MakeFirmRecord(name, directory, info, firmData);
    if (i % 2 == 1) LeaveStaleTails(firm.record, traits);

    shared::FirmRecordText text = shared::ReadFirmRecord(shared::RecordView(firm.record));
    firm.name = text.name;
    firm.directory = text.directory;
    firm.info = text.info;
  }

  if (options.office == Office::kRealistic)
    for (std::size_t i = 0; i < count; ++i) SizeFirm(firms[i], Rng::For(options.seed, i, "size"));

  if (count >= 2) {
    std::size_t carried = 1 + rng.Below(static_cast<std::uint32_t>(count - 1));
    firms[carried].state = FirmState::kAlreadyInTarget;
    firms[carried].annual2020 = false;
    if (count >= 3) {
      std::vector<std::size_t> others;
      for (std::size_t i = 1; i < count; ++i)
        if (i != carried) others.push_back(i);
      for (std::size_t i = others.size(); i > 1; --i)
        std::swap(others[i - 1], others[rng.Below(static_cast<std::uint32_t>(i))]);
      std::size_t missing = std::max<std::size_t>(1, count / 6);
      for (std::size_t k = 0; k < missing && k < others.size(); ++k)
        firms[others[k]].state = FirmState::kMissing;
    }
  }
  return firms;
}

// ---------------------------------------------------------------------------------------
// File makers. Each is one kind of file of the installation.

constexpr Field kMarkerFields[] = {
    {"Year", 0, 2, Kind::Word},
    {"FromYear", 2, 2, Kind::Word},
    {"ToYear", 4, 2, Kind::Word},
    {"Flag", 7, 1, Kind::Byte},
};
constexpr shared::Layout kMarker{"_zq_dor.rek", 256, kMarkerFields};
static_assert(kMarker.Problem().empty());

std::string Marker(MakerContext& ctx, int year) {
  std::string record = Junk(ctx.rng, kMarker.size);
  RecordRef r(record);
  r.Set(kMarker.Int("Year"), year);
  r.Set(kMarker.Int("FromYear"), year);
  r.Set(kMarker.Int("ToYear"), year);
  r.Set(kMarker.Int("Flag"), year == 2020 ? 1 : 0);
  return record;
}

void MakeMarker2019(MakerContext& ctx, FileSink& sink) {
  sink.Add("_zq_dor.rek", Marker(ctx, 2019));
}

void MakeMarker2020(MakerContext& ctx, FileSink& sink) {
  sink.Add("_zq_dor.rek", Marker(ctx, 2020));
}

void MakeKeyConstants(MakerContext& ctx, FileSink& sink) {
  std::string town = ctx.firm ? ctx.firm->town : std::string("Łódź"_pl);
  sink.Add("baza_ff.txt", TextLines({
                              "F2=Sprzedaż towarów handlowych"_pl,
                              "F3=Zakup materiałów podstawowych"_pl,
                              "F4=Opłata za energię elektryczną"_pl,
                              "F5=Wynagrodzenia pracowników"_pl,
                              Cat({"F6=Czynsz za lokal, "_pl, town}),
                              "F7=Paliwo do samochodu"_pl,
                              "F8=Usługi telekomunikacyjne"_pl,
                              "F9=Składki ZUS właściciela"_pl,
                              Cat({"F10=Różne, nr "_pl, std::to_string(ctx.rng.Between(1, 99))}),
                          }));
}

void MakeNotes(MakerContext& ctx, FileSink& sink) {
  bool all = ctx.firmIndex == 0;
  if (all || ctx.rng.Chance(50))
    sink.Add("Notatnik.txt", TextLines({
                                 "Do zrobienia w styczniu:"_pl,
                                 "- zamknąć rok 2019 i wydrukować księgę"_pl,
                                 "- przenieść dane do 2020"_pl,
                                 "- sprawdzić proporcję VAT"_pl,
                             }));
  if (all || ctx.rng.Chance(40))
    sink.Add("Notatka.txt",
             TextLines({Cat({"Remanent na 31.12.2019: ",
                             std::to_string(ctx.rng.Between(1000, 90000)), " zł"_pl})}));
  if (all || ctx.rng.Chance(30))
    sink.Add("Notes.txt", TextLines({Cat({"Telefon do urzędu: 42 "_pl, Digits(ctx.rng, 7)}),
                                     "Żółta teczka - faktury kosztowe"_pl}));
}

void MakeContracts(MakerContext& ctx, FileSink& sink) {
  sink.Add("UMOWY.INI", TextLines({
                            "[UMOWY]",
                            "RODZAJ1=Umowa o pracę na czas nieokreślony"_pl,
                            "RODZAJ2=Umowa o pracę na okres próbny"_pl,
                            "RODZAJ3=Umowa o pracę na czas określony"_pl,
                            Cat({"OKRES=", std::to_string(ctx.rng.Between(1, 3))}),
                        }));
}

void MakeZusSettings(MakerContext& ctx, FileSink& sink) {
  sink.Add("ZUS_PEL.INI", TextLines({
                              "[ZUS_PEL]",
                              Cat({"KOD=", Digits(ctx.rng, 4)}),
                              "WYSYLKA=TAK",
                              "UWAGI=Pełnomocnictwo ważne do odwołania"_pl,
                          }));
}

// The files the extra file list names, held by some firms only, so that the run shows
// both a copy and a missing file.
void MakeListedFiles(MakerContext& ctx, FileSink& sink) {
  bool all = ctx.firmIndex == 0;
  if (all || ctx.rng.Chance(60))
    sink.Add("UWAGI.TXT", TextLines({Cat({"Uwagi do firmy ", ctx.firm->name}),
                                     "Klient płaci przelewem do 10. dnia miesiąca."_pl}));
  if (all || ctx.rng.Chance(40))
    sink.Add("Cennik.txt",
             TextLines({"Cennik usług 2019"_pl,
                        Cat({"Usługa podstawowa;"_pl, std::to_string(ctx.rng.Between(50, 400))}),
                        "Dojazd;" + std::to_string(ctx.rng.Between(10, 90))}));
  if (ctx.rng.Chance(30))
    sink.Add("Zamówienia.txt"_pl, TextLines({Cat({"Zamówienia otwarte na koniec roku: "_pl,
                                                  std::to_string(ctx.rng.Between(0, 12))})}));
}

void MakeGlobalSettings(MakerContext& ctx, FileSink& sink) {
  sink.Add("dor_2019.ini", TextLines({
                               "[PROGRAM]",
                               "ROK=2019",
                               "KATALOG=C:\\DOR_2019\\",
                               "JEZYK=POLSKI",
                               "",
                               "[DRUKARKA]",
                               "PORT=LPT1",
                               "STRONA=A4",
                               Cat({"MARGINES=", std::to_string(ctx.rng.Between(0, 8))}),
                           }));
  sink.Add("DOR_ZQ.INI", TextLines({
                             "[DLL]",
                             "ST=1",
                             "KM=1",
                             "IMPORT=0",
                         }));
}

void MakeTaxConstants(MakerContext&, FileSink& sink) {
  sink.Add("2019spd.ini", TextLines({
                              "[PODATEK]",
                              "PROG1=85528",
                              "STAWKA1=18",
                              "STAWKA2=32",
                              "KWOTA_ZMNIEJSZAJACA=556.02",
                              "LINIOWY=19",
                              "",
                              "[ZUS]",
                              "ZDROWOTNA=9",
                              "ODLICZANA=7.75",
                          }));
}

void MakeColours(MakerContext&, FileSink& sink) {
  // The toolkit's scheme with the fields in cyan, so that a carried file is recognisable.
  static constexpr unsigned char kScheme[11] = {0x07, 0x0F, 0x3F, 0x70, 0x07, 0x02,
                                                0x0F, 0x0F, 0x4F, 0x0F, 0x70};
  sink.Add("KOLORY.ZQ", std::string(reinterpret_cast<const char*>(kScheme), sizeof kScheme));
}

// The registry of file kinds, in the order they are made.
constexpr FileMakerEntry kFileMakers[] = {
    {"global settings", Place::kSourceGlobal, MakeGlobalSettings},
    {"global key constants", Place::kSourceGlobal, MakeKeyConstants},
    {"tax constants", Place::kSourceGlobal, MakeTaxConstants},
    {"colours", Place::kSourceGlobal, MakeColours},
    {"global staff settings", Place::kSourceGlobal, MakeZusSettings},
    {"global contracts", Place::kSourceGlobal, MakeContracts},
    {"global address base", Place::kSourceGlobal, MakeAddressBase},
    {"tax office base", Place::kSourceGlobal, MakeTaxOfficeBase},
    {"office invoice data", Place::kSourceGlobal, MakeOfficeData},
    {"global wage settings", Place::kSourceGlobal, MakeGlobalWageSettings},
    {"operators", Place::kSourceGlobal, MakeOperators},

    {"annual settings 2019", Place::kSourceFirm, MakeAnnual2019},
    {"annual settings 2020", Place::kSourceFirm, MakeAnnual2020},
    {"firm marker", Place::kSourceFirm, MakeMarker2019},
    {"firm text data", Place::kSourceFirm, MakeFirmText},
    {"firm record", Place::kSourceFirm, MakeFirmAddress},
    {"advance payments 2020", Place::kSourceFirm, MakeAdvancePayments},
    {"transfer settings", Place::kSourceFirm, MakeTransferSettings},
    {"key constants", Place::kSourceFirm, MakeKeyConstants},
    {"notes", Place::kSourceFirm, MakeNotes},
    {"contracts", Place::kSourceFirm, MakeContracts},
    {"staff settings", Place::kSourceFirm, MakeZusSettings},
    {"listed files", Place::kSourceFirm, MakeListedFiles},
    {"DRA declarations", Place::kSourceFirm, MakeDraDeclarations},
    {"module files", Place::kSourceFirm, MakeModuleFiles},
    {"fixed-asset files", Place::kSourceFirm, MakeAssetFiles},
    {"mileage files", Place::kSourceFirm, MakeMileageFiles},
    {"wage settings", Place::kSourceFirm, MakeWageSettings},
    {"year 2020 files", Place::kSourceFirm, MakeYear2020Files},
    {"staff, families, tax forms and contracts", Place::kSourceFirm, MakeStaff},
    {"ledger entries 2020", Place::kSourceFirm, MakeLedgerMonths},
    {"payroll 2020", Place::kSourceFirm, MakePayroll2020},
    {"address base", Place::kSourceFirm, MakeAddressBase},
    {"automation bases", Place::kSourceFirm, MakeAutomationBases},
    {"transfer base", Place::kSourceFirm, MakeTransferBase},
    {"internal documents", Place::kSourceFirm, MakeInternalDocuments},
    {"interest lists", Place::kSourceFirm, MakeInterestLists},
    {"vehicles", Place::kSourceFirm, MakeVehicles},
    {"one-off assets", Place::kSourceFirm, MakeOneOffAssets},
    {"correction notes", Place::kSourceFirm, MakeCorrectionNotes},

    {"carried annual settings", Place::kTargetFirm, MakeCarriedAnnual},
    {"carried firm marker", Place::kTargetFirm, MakeMarker2020},
};

constexpr std::string_view kExtraFileEntries[] = {
    "UWAGI.TXT",
    "Cennik.txt>Cennik20.txt",
    "Zamówienia.txt"_pl,
};

std::string Cp852Path(const std::filesystem::path& path) {
  std::u8string u8 = std::filesystem::absolute(path).lexically_normal().u8string();
  std::string utf8(reinterpret_cast<const char*>(u8.data()), u8.size());
  while (utf8.size() > 1 && (utf8.back() == '/' || utf8.back() == '\\')) utf8.pop_back();
  return Utf8ToCp852(utf8);
}

}  // namespace

TownFacts FactsOfTown(std::string_view town) {
  const Town& facts = TownNamed(town);
  return {facts.province, facts.postcode, kStreets};
}

std::span<const FileMakerEntry> FileMakers() {
  return kFileMakers;
}

std::span<const std::string_view> ExtraFileEntries() {
  return kExtraFileEntries;
}

std::filesystem::path HostPath(const std::filesystem::path& base, std::string_view cp852) {
  std::filesystem::path path = base;
  std::size_t start = 0;
  while (start <= cp852.size()) {
    std::size_t end = cp852.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = cp852.size();
    if (end > start) path /= U8Path(Utf8(cp852.substr(start, end - start)));
    start = end + 1;
  }
  return path;
}

void WriteExtraFileList(const std::filesystem::path& file,
                        std::span<const std::string_view> entries) {
  std::string text;
  for (std::string_view entry : entries) text += Cat({entry, "\r\n"});
  WriteBytes(file, text);
}

void WritePathFile(const std::filesystem::path& file, const std::filesystem::path& source,
                   const std::filesystem::path& target) {
  WriteBytes(file, TextLines({"[PATHS]", Cat({"DOR_2019=", Cp852Path(source)}),
                              Cat({"DOR_2020=", Cp852Path(target)})}));
}

std::vector<const SampleFirm*> Sample::Discovered() const {
  std::vector<const SampleFirm*> found;
  for (const SampleFirm& firm : firms)
    if (firm.Discovered()) found.push_back(&firm);
  return found;
}

std::filesystem::path Sample::SourceFirmPath(const SampleFirm& firm) const {
  return HostPath(source, firm.directory);
}

std::filesystem::path Sample::TargetFirmPath(const SampleFirm& firm) const {
  return HostPath(target, firm.directory);
}

Sample GenerateSample(const Options& options, const std::filesystem::path& root) {
  if (options.firms < 0 || options.firms > kMaxFirms)
    throw std::invalid_argument("the number of firms must be 0.." + std::to_string(kMaxFirms));
  Sample sample;
  sample.root = root;
  sample.source = root / "DOR_2019";
  sample.target = root / "DOR_2020";
  for (const auto& tree : {sample.source, sample.target})
    if (std::filesystem::exists(tree))
      throw std::runtime_error(tree.string() + " exists already; remove it first");

  sample.firms = MakeFirms(options);
  const std::filesystem::path sourceGlobal = sample.source / "#BIN980";
  const std::filesystem::path targetGlobal = sample.target / "#BIN020";
  std::filesystem::create_directories(sourceGlobal);
  std::filesystem::create_directories(targetGlobal);

  std::string sourceList, targetList;
  for (const SampleFirm& firm : sample.firms) {
    std::string_view record(reinterpret_cast<const char*>(firm.record.data()), firm.record.size());
    sourceList += record;
    if (firm.state == FirmState::kAlreadyInTarget) targetList += record;
  }
  WriteBytes(sample.source / "SPISFIRM.DAT", sourceList);
  WriteBytes(sample.target / "SPISFIRM.DAT", targetList);

  auto run = [&](const FileMakerEntry& maker, std::size_t index, const SampleFirm* firm,
                 const std::filesystem::path& dir, std::vector<std::string>& made) {
    MakerContext ctx{options, Rng::For(options.seed, index, maker.kind), firm, index};
    FileSink sink;
    maker.make(ctx, sink);
    for (const FileSink::File& file : sink.Files()) {
      WriteBytes(HostPath(dir, file.name), file.bytes);
      made.push_back(file.name);
    }
  };

  for (const FileMakerEntry& maker : kFileMakers) {
    if (maker.place == Place::kSourceGlobal)
      run(maker, 0, nullptr, sourceGlobal, sample.sourceGlobalFiles);
    if (maker.place == Place::kTargetGlobal)
      run(maker, 0, nullptr, targetGlobal, sample.targetGlobalFiles);
  }
  for (std::size_t i = 0; i < sample.firms.size(); ++i) {
    SampleFirm& firm = sample.firms[i];
    if (firm.state == FirmState::kMissing) continue;
    std::filesystem::create_directories(sample.SourceFirmPath(firm));
    for (const FileMakerEntry& maker : kFileMakers)
      if (maker.place == Place::kSourceFirm && Makes(firm, maker))
        run(maker, i, &firm, sample.SourceFirmPath(firm), firm.sourceFiles);
    if (firm.state != FirmState::kAlreadyInTarget) continue;
    std::filesystem::create_directories(sample.TargetFirmPath(firm));
    for (const FileMakerEntry& maker : kFileMakers)
      if (maker.place == Place::kTargetFirm)
        run(maker, i, &firm, sample.TargetFirmPath(firm), firm.targetFiles);
  }
  return sample;
}

}  // namespace zq::sample
