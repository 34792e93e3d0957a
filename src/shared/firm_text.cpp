#include "shared/firm_text.h"

#include <cstdio>
#include <limits>
#include <utility>

#include "tui/polish.h"

namespace zq::shared {

namespace {

using Kind = FirmTextKind;

class TableBuilder {
 public:
  explicit TableBuilder(std::vector<FirmTextKey>& keys) : keys_(keys) {}
  void Text(std::string_view section, std::string key, std::uint8_t length) {
    keys_.push_back({section, std::move(key), Kind::kText, length});
  }
  void Integer(std::string_view section, std::string key, std::int16_t defaultValue = 0) {
    keys_.push_back({section, std::move(key), Kind::kInteger, 0, defaultValue});
  }
  void Char(std::string_view section, std::string key) {
    keys_.push_back({section, std::move(key), Kind::kChar});
  }
  void YesNo(std::string_view section, std::string key, bool defaultValue) {
    keys_.push_back({section, std::move(key), Kind::kYesNo, 0, 0, defaultValue});
  }
  void Date(std::string_view section, std::string key) {
    keys_.push_back({section, std::move(key), Kind::kDate});
  }
  void Words(std::string_view section, std::string key) {
    keys_.push_back({section, std::move(key), Kind::kWords});
  }
  void Address(std::string_view section) {
    Text(section, "KRAJ", 12);
    Text(section, "WOJEWODZTWO", 22);
    Text(section, "GMINA", 26);
    Text(section, "ULICA", 30);
    Text(section, "DOM", 7);
    Text(section, "LOKAL", 7);
    Text(section, "MIEJSCOWOSC", 26);
    Text(section, "KOD", 6);
    Text(section, "POCZTA", 26);
    Text(section, "SKRYTKA", 5);
    Text(section, "TELEFON", 12);
    Text(section, "POWIAT", 18);
    Text(section, "KODUE", 14);
  }

 private:
  std::vector<FirmTextKey>& keys_;
};

std::string Numbered(std::string_view stem, int n) {
  return std::string(stem) + std::to_string(n);
}

bool HexDigit(char c, int& value) {
  if (c >= '0' && c <= '9')
    value = c - '0';
  else if (c >= 'A' && c <= 'F')
    value = c - 'A' + 10;
  else if (c >= 'a' && c <= 'f')
    value = c - 'a' + 10;
  else
    return false;
  return true;
}

// "$" and up to four hexadecimal digits; anything else is 0.
std::uint16_t ParseWord(std::string_view group) {
  if (group.size() < 2 || group.front() != '$') return 0;
  unsigned value = 0;
  for (char c : group.substr(1)) {
    int digit = 0;
    if (!HexDigit(c, digit)) return 0;
    value = value * 16 + static_cast<unsigned>(digit);
  }
  return static_cast<std::uint16_t>(value);
}

DraiWords ParseWords(std::string_view text) {
  DraiWords words{};
  for (std::size_t i = 0; i < kDraiWordCount; ++i) {
    std::size_t at = i * 5;
    if (at >= text.size()) break;
    words[i] = ParseWord(text.substr(at, 5));
  }
  return words;
}

std::string FormatWords(const DraiWords& words) {
  std::string out;
  char group[8];
  for (std::uint16_t w : words) {
    std::snprintf(group, sizeof group, "$%04X", unsigned{w});
    out += group;
  }
  return out;
}

}  // namespace

std::vector<FirmTextKey> FirmTextKeys(int year) {
  std::vector<FirmTextKey> keys;
  TableBuilder t(keys);

  t.Text("DOR", "NAZWA_ZUS", 31);
  for (int i = 1; i <= 5; ++i) t.Text("DOR", Numbered("INFO", i), 66);
  t.Text("DOR", "PATHXML", 40);
  t.Text("DOR", "PRZEXML", 14);
  for (int back = 1; back <= 7; ++back) t.Text("DOR", Numbered("PATH", year - back), 40);
  t.YesNo("DOR", "FAS", true);

  for (std::string_view office : {"VAT-7", "PIT-4R", "PIT-8AR", "PIT-XX"}) {
    t.Text("URZEDY_SKARBOWE", std::string(office), 65);
    t.Text("URZEDY_SKARBOWE_EKOD", std::string(office), 4);
  }

  t.Integer("FIRMA", "TYP");
  t.Text("FIRMA", "NIP", 13);
  t.Text("FIRMA", "REGON", 15);

  t.Integer("BANKI", "DEF");
  t.Integer("BANKI", "DEF_ZUS", 31);
  for (int i = 1; i <= 5; ++i) {
    t.Text("BANKI", Numbered("NAZWA", i), 36);
    t.Text("BANKI", Numbered("NRB", i), 48);
  }
  t.Text("BANKI", "IRKwZUS", 26);
  t.Date("BANKI", "DATA_ZBA");
  t.Text("BANKI", "Mikro", 26);

  constexpr std::string_view person = "OSOBA_FIZYCZNA";
  t.Text(person, "PESEL", 11);
  t.Text(person, "NIP", 13);
  t.Text(person, "NAZWISKO", 31);
  t.Text(person, "IMIE1", 22);
  t.Text(person, "IMIE2", 22);
  t.Text(person, "TATA", 22);
  t.Text(person, "MAMA", 22);
  t.Date(person, "DATA_URODZENIA");
  t.Text(person, "MIEJSCE_URODZENIA", 40);
  t.Text(person, "OBYWATELSTWO", 22);
  t.Char(person, "INNY_RODZAJ");
  t.Text(person, "INNY_NUMER", 9);

  t.Text("OSOBA_PRAWNA", "NAZWA_PELNA1", 62);
  t.Text("OSOBA_PRAWNA", "NAZWA_PELNA2", 62);
  t.Text("OSOBA_PRAWNA", "NAZWA_SKROCONA", 31);
  t.Date("OSOBA_PRAWNA", "DATA_ROZPOCZECIA");

  t.Text("ORGAN_REJESTROWY", "ORGAN", 70);
  t.Text("ORGAN_REJESTROWY", "REJESTR", 70);
  t.Date("ORGAN_REJESTROWY", "DATA");
  t.Text("ORGAN_REJESTROWY", "NUMER", 15);
  t.Text("ORGAN_REJESTROWY", "KOD", 2);
  t.Text("ORGAN_REJESTROWY", "ORZAL", 70);

  t.Address("ADRES_SIEDZIBY");
  t.Text("ADRES_SIEDZIBY", "KODGMINY", 7);
  t.YesNo("ADRES_SIEDZIBY", "IAP", false);
  // The section's name is spelled so in every installation's files.
  t.Address("ADRES_KOREPONDENCJA");
  t.Text("ADRES_KOREPONDENCJA", "EMAIL", 30);
  t.Text("ADRES_KOREPONDENCJA", "FAKS", 12);
  t.Address("ADRES_ZAMIESZKANIA");
  t.Address("ADRES_DOKUMENTACJI");

  for (int i = 1; i <= 2; ++i) {
    t.Text("DZIALALNOSC", Numbered("OPIS", i), 45);
    t.Text("DZIALALNOSC", Numbered("KGN", i), 10);
    t.Text("DZIALALNOSC", Numbered("EKD", i), 10);
  }

  t.Text("UPOWAZNIONY", "NAZWISKO", 31);
  t.Text("UPOWAZNIONY", "IMIE", 22);
  t.Text("UPOWAZNIONY", "TELEFON", 31);
  t.Text("UPOWAZNIONY", "EMAIL", 30);

  t.Text("RODO", "iod_nazwisko", 31);
  t.Text("RODO", "iod_imie", 22);
  t.Text("RODO", "iod_email", 30);
  t.Text("RODO", "fpd_nazwa", 70);
  t.Text("RODO", "fpd_adres", 70);
  t.Text("RODO", "fpd_NIP", 13);
  t.Text("RODO", "fpd_email", 30);

  t.Text("BR", "NAZWA", 36);
  t.Text("BR", "NIP", 13);
  t.Text("BR", "REGON", 14);
  t.Text("BR", "UMOWA", 36);

  constexpr std::string_view zus = "ZUS_ZxA";
  t.Date(zus, "DATAPOSK");
  t.Date(zus, "WYPELNIONO");
  t.Text(zus, "ZWPA_KOD", 3);
  t.Date(zus, "ZWPA_DATA");
  t.YesNo(zus, "ZPWA_KOR", false);
  t.Text(zus, "PPPATH", 40);
  t.Char(zus, "DRAI01");
  t.Integer(zus, Numbered("RENT", year - 1));
  t.Integer(zus, Numbered("RENT", year));
  t.Integer(zus, "RxA");
  t.Integer(zus, "zwFGSP");
  t.Words(zus, Numbered("DRAIX02_", year));

  t.Integer("ZIPA", "I");
  t.Text("ZIPA", "01", 13);
  t.Text("ZIPA", "02", 14);
  t.Text("ZIPA", "03", 11);
  t.Char("ZIPA", "04");
  t.Text("ZIPA", "05", 9);
  t.Text("ZIPA", "06", 31);
  t.Text("ZIPA", "07", 31);
  t.Text("ZIPA", "08", 22);
  t.Date("ZIPA", "09");
  t.Date("ZIPA", "IV09");
  return keys;
}

FirmText::FirmText(int year) : year_(year), keys_(FirmTextKeys(year)), values_(keys_.size()) {}

int FirmText::Find(std::string_view section, std::string_view key) const {
  for (std::size_t i = 0; i < keys_.size(); ++i)
    if (tui::SameUpper(keys_[i].key, key) && tui::SameUpper(keys_[i].section, section))
      return static_cast<int>(i);
  return -1;
}

void FirmText::Clear() {
  values_.assign(keys_.size(), Value{});
}

const FirmText::Value* FirmText::Slot(std::string_view section, std::string_view key,
                                      FirmTextKind kind) const {
  int i = Find(section, key);
  if (i < 0 || keys_[static_cast<std::size_t>(i)].kind != kind) return nullptr;
  return &values_[static_cast<std::size_t>(i)];
}

FirmText::Value* FirmText::Slot(std::string_view section, std::string_view key, FirmTextKind kind) {
  return const_cast<Value*>(std::as_const(*this).Slot(section, key, kind));
}

std::string FirmText::Text(std::string_view section, std::string_view key) const {
  const Value* v = Slot(section, key, Kind::kText);
  return v ? v->text : std::string();
}

bool FirmText::SetText(std::string_view section, std::string_view key, std::string_view value) {
  int i = Find(section, key);
  if (i < 0 || keys_[static_cast<std::size_t>(i)].kind != Kind::kText) return false;
  values_[static_cast<std::size_t>(i)].text =
      value.substr(0, keys_[static_cast<std::size_t>(i)].length);
  return true;
}

std::int16_t FirmText::Integer(std::string_view section, std::string_view key) const {
  const Value* v = Slot(section, key, Kind::kInteger);
  return v ? v->integer : 0;
}

bool FirmText::SetInteger(std::string_view section, std::string_view key, std::int16_t value) {
  Value* v = Slot(section, key, Kind::kInteger);
  if (v) v->integer = value;
  return v != nullptr;
}

char FirmText::Char(std::string_view section, std::string_view key) const {
  const Value* v = Slot(section, key, Kind::kChar);
  return v ? v->character : '\0';
}

bool FirmText::SetChar(std::string_view section, std::string_view key, char value) {
  Value* v = Slot(section, key, Kind::kChar);
  if (v) v->character = value;
  return v != nullptr;
}

bool FirmText::YesNo(std::string_view section, std::string_view key) const {
  const Value* v = Slot(section, key, Kind::kYesNo);
  return v && v->yes;
}

bool FirmText::SetYesNo(std::string_view section, std::string_view key, bool value) {
  Value* v = Slot(section, key, Kind::kYesNo);
  if (v) v->yes = value;
  return v != nullptr;
}

Date FirmText::DateOf(std::string_view section, std::string_view key) const {
  const Value* v = Slot(section, key, Kind::kDate);
  return v ? v->date : Date{};
}

bool FirmText::SetDate(std::string_view section, std::string_view key, const Date& value) {
  Value* v = Slot(section, key, Kind::kDate);
  if (v) v->date = value;
  return v != nullptr;
}

DraiWords FirmText::Words(std::string_view section, std::string_view key) const {
  const Value* v = Slot(section, key, Kind::kWords);
  return v ? v->words : DraiWords{};
}

bool FirmText::SetWords(std::string_view section, std::string_view key, const DraiWords& value) {
  Value* v = Slot(section, key, Kind::kWords);
  if (v) v->words = value;
  return v != nullptr;
}

bool operator==(const FirmText& a, const FirmText& b) {
  return a.year_ == b.year_ && a.values_ == b.values_;
}

FileStatus ReadFirmText(platform::Files& files, std::string_view path, FirmText& record,
                        const IniOptions& options) {
  record.Clear();
  IniFile ini;
  if (FileStatus status = ini.Open(files, path, IniFile::Mode::kRead, options); !status)
    return status;
  for (std::size_t i = 0; i < record.keys_.size(); ++i) {
    const FirmTextKey& k = record.keys_[i];
    FirmText::Value& v = record.values_[i];
    switch (k.kind) {
      case Kind::kText:
        v.text = ini.ReadText(k.section, k.key).substr(0, k.length);
        // A text cut just after a blank would lose it when written and read again: the
        // file keeps no blanks at the end of a line.
        while (!v.text.empty() && static_cast<unsigned char>(v.text.back()) <= ' ')
          v.text.pop_back();
        break;
      case Kind::kInteger: {
        // A number the 16-bit field cannot hold is as unreadable as a word: it would
        // otherwise come back as some other number.
        std::int32_t n = ini.ReadInteger(k.section, k.key, k.integerDefault);
        v.integer = n < std::numeric_limits<std::int16_t>::min() ||
                            n > std::numeric_limits<std::int16_t>::max()
                        ? k.integerDefault
                        : static_cast<std::int16_t>(n);
        break;
      }
      case Kind::kChar:
        v.character = ini.ReadChar(k.section, k.key, ' ');
        if (v.character == '\0') v.character = ' ';
        break;
      case Kind::kYesNo:
        v.yes = ini.ReadYesNo(k.section, k.key, k.yesNoDefault);
        break;
      case Kind::kDate:
        v.date = TextToDate(ini.ReadText(k.section, k.key));
        break;
      case Kind::kWords:
        v.words = ParseWords(ini.ReadText(k.section, k.key));
        break;
    }
  }
  // A ZUS bank left at its default is the firm's default bank.
  if (FirmText::Value* defZus = record.Slot("BANKI", "DEF_ZUS", Kind::kInteger);
      defZus && defZus->integer == 31)
    defZus->integer = record.Integer("BANKI", "DEF");
  return ini.Close();
}

FileStatus WriteFirmText(platform::Files& files, std::string_view path, const FirmText& record,
                         const IniOptions& options) {
  IniFile ini;
  if (FileStatus status = ini.Open(files, path, IniFile::Mode::kWrite, options); !status)
    return status;
  for (std::size_t i = 0; i < record.keys_.size(); ++i) {
    const FirmTextKey& k = record.keys_[i];
    const FirmText::Value& v = record.values_[i];
    switch (k.kind) {
      case Kind::kText:
        ini.WriteText(k.section, k.key, v.text);
        break;
      case Kind::kInteger:
        ini.WriteInteger(k.section, k.key, v.integer);
        break;
      case Kind::kChar:
        ini.WriteChar(k.section, k.key, v.character == '\0' ? ' ' : v.character);
        break;
      case Kind::kYesNo:
        ini.WriteYesNo(k.section, k.key, v.yes);
        break;
      case Kind::kDate:
        ini.WriteText(k.section, k.key, DateToText(v.date));
        break;
      case Kind::kWords:
        ini.WriteText(k.section, k.key, FormatWords(v.words));
        break;
    }
  }
  return ini.Close();
}

}  // namespace zq::shared
