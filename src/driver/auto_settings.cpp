#include "driver/auto_settings.h"

#include <charconv>
#include <map>
#include <span>

#include "platform/cp852.h"

namespace zq::driver {

namespace {

using zq::operator""_pl;

enum class Kind : std::uint8_t { kBit, kBool, kRadio, kText, kTree, kYear, kKeep, kNumber };

// One key of the file: where it sits and what of the settings it sets.
struct Key {
  std::string_view section;
  std::string_view name;  // code page 852
  Kind kind;
  std::uint16_t ConversionOptions::*group = nullptr;
  int bit = 0;  // item of a check group; highest index of a radio group
  bool ConversionOptions::*flag = nullptr;
  std::string ConversionOptions::*text = nullptr;
  int AutoAnswers::*number = nullptr;
  int low = 0, high = 0;
};

using O = ConversionOptions;
using A = AutoAnswers;

constexpr std::string_view kPaths = "LOKALIZACJA";
constexpr std::string_view kGlobal = "DANE GLOBALNE";
constexpr std::string_view kFirm = "DANE FIRMOWE";
constexpr std::string_view kStart = "START KOPIOWANIA";
constexpr std::string_view kAnswers = "ODPOWIEDZI";
constexpr std::string_view kFirms = "FIRMY";

Key Make(std::string_view section, std::string_view name, Kind kind) {
  Key k;
  k.section = section;
  k.name = name;
  k.kind = kind;
  return k;
}
Key Tree(std::string_view section, std::string_view name, std::string O::*text, Kind kind) {
  Key k = Make(section, name, kind);
  k.text = text;
  return k;
}
Key Flag(std::string_view section, std::string_view name, bool O::*flag) {
  Key k = Make(section, name, Kind::kBool);
  k.flag = flag;
  return k;
}
// A radio group (`bit` its highest index) or one item of a check group.
Key Group(std::string_view section, std::string_view name, Kind kind, std::uint16_t O::*group,
          int bit) {
  Key k = Make(section, name, kind);
  k.group = group;
  k.bit = bit;
  return k;
}
Key Figure(std::string_view name, int A::*number, int low, int high) {
  Key k = Make(kAnswers, name, Kind::kNumber);
  k.number = number;
  k.low = low;
  k.high = high;
  return k;
}

std::vector<Key> Keys() {
  std::vector<Key> keys = {
      Tree(kPaths, "katalog źródłowy"_pl, &O::sourceTree, Kind::kTree),
      Tree(kPaths, "lokalizacja docelowa", &O::targetTree, Kind::kTree),
      Group(kPaths, "Standard polskich znaków"_pl, Kind::kRadio, &O::polishStandard, 0),
      Flag(kPaths, "informuj o nie zamkniętym grudniu"_pl, &O::warnOpenDecember),
      Flag(kPaths, "pokazuj powoli szczegóły konwersji"_pl, &O::showSlowly),
      Flag(kPaths, "Zasłoń w 2019 przekonwertowane pliki"_pl, &O::hideConverted),
  };

  const std::string_view global[] = {"Globalna baza adresów"_pl,
                                     "Baza Urzędów Skarbowych"_pl,
                                     "Baza stałych F1..F10"_pl,
                                     "Dane BIURA do wystawienia rachunków"_pl,
                                     "Dane konfiguracji DLL z DOR_ZQ.INI",
                                     "Stałe podatkowe na 2019 rok"_pl,
                                     "Ustawienia składników wynagrodzeń"_pl,
                                     "Ustawienia kolorów"_pl,
                                     "Ustawienia dor_2019.ini -> dor_2020.ini",
                                     "Plik OPERATOR.REK",
                                     "Plik ZUS_PEL.INI, UMOWY.INI"};
  const std::string_view firm[] = {"dane tekstowe firmy",
                                   "dane pracowników, właścicieli"_pl,
                                   "dane rodzin",
                                   "dane do PIT-D",
                                   "bazę adresów lokalnych"_pl,
                                   "bazę automatów sprzedaży"_pl,
                                   "bazę automatów zakupów"_pl,
                                   "bazę stałych F1..F10, Notatnik"_pl,
                                   "bazę przekazów pieniężnych"_pl,
                                   "ustawienia składników wynagrodzeń"_pl,
                                   "Dane ZUS-PEL ZUS_PEL.INI",
                                   "środki trwałe umorzone jednorazowo"_pl,
                                   "ustawienia danych na przelewach",
                                   "bazę dowodów wewnętrznych"_pl,
                                   "bazę wystawionych odsetek"_pl,
                                   "listę pojazdów na cele VAT"_pl};
  const std::string_view entered[] = {"dokumenty księgowe"_pl, "wynagrodzenia pracowników"_pl,
                                      "umowy zlecenia", "noty księgowe"_pl, "Deklaracje DRA"};
  const std::string_view dll[] = {"ST 140/150", "KM 140", "KM 150"};
  auto bits = [&](std::string_view section, std::span<const std::string_view> names,
                  std::uint16_t O::*group) {
    for (std::size_t i = 0; i < names.size(); ++i)
      keys.push_back(Group(section, names[i], Kind::kBit, group, static_cast<int>(i)));
  };
  bits(kGlobal, global, &O::globalItems);
  bits(kFirm, firm, &O::firmItems);
  bits(kFirm, entered, &O::entered2020Items);
  bits(kFirm, dll, &O::dllItems);
  for (const Key& k : {Group(kFirm, "Dane - przenieś"_pl, Kind::kRadio, &O::staffScope, 2),
                       Group(kFirm, "z PID-5 - przenieś"_pl, Kind::kRadio, &O::pid5Scope, 1)})
    keys.push_back(k);
  for (const Key& k :
       {Group(kStart, "Dane Globalne z", Kind::kBit, &O::runItems, 0),
        Group(kStart, "Dane później wskazanych firm"_pl, Kind::kBit, &O::runItems, 1),
        Tree(kStart, "katalog danych globalnych", &O::globalSourceDir, Kind::kText),
        Flag(kStart, "Zatrzymywac akcje co firme", &O::stopPerFirm),
        Make(kAnswers, "dane roczne z roku (B-2019 N-2020)", Kind::kYear),
        Make(kAnswers, "istniejący plik (Z-zostaw W-zastąp)"_pl, Kind::kKeep),
        Figure("proporcja VAT (-1 pomiń firmę)"_pl, &A::vatProportion, -1, 100),
        Figure("czekaj na zajęty plik sekund"_pl, &A::lockWaitSeconds, 0, 3600)})
    keys.push_back(k);
  return keys;
}

std::string Trim(std::string_view s) {
  std::size_t a = s.find_first_not_of(" \t\r");
  if (a == std::string_view::npos) return {};
  std::size_t b = s.find_last_not_of(" \t\r");
  return std::string(s.substr(a, b - a + 1));
}

std::string KeyId(std::string_view section, std::string_view name) {
  return std::string(section) + "]" + std::string(name);
}

bool Number(std::string_view text, int& value) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

}  // namespace

AutoSettingsRead ParseAutoSettings(std::string_view text) {
  AutoSettingsRead read;
  AutoSettings& s = read.settings;
  const std::vector<Key> keys = Keys();
  std::map<std::string, std::string> values;
  std::string section;
  std::size_t lineNo = 0;
  for (std::size_t at = 0; at <= text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string line = Trim(text.substr(at, end - at));
    at = end + 1;
    ++lineNo;
    if (line.empty() || line[0] == ';') continue;
    if (line.front() == '[' && line.back() == ']') {
      section = Trim(std::string_view(line).substr(1, line.size() - 2));
      continue;
    }
    std::size_t eq = line.find('=');
    std::string name = Trim(std::string_view(line).substr(0, eq));
    std::string value = eq == std::string::npos ? "" : Trim(std::string_view(line).substr(eq + 1));
    bool known = section == kFirms && name == "firmy";
    for (const Key& k : keys) known = known || (k.section == section && k.name == name);
    if (eq == std::string::npos || !known) {
      read.problems.push_back(std::string("Nieznany klucz w wierszu "_pl) + std::to_string(lineNo) +
                              ": [" + section + "] " + name);
      continue;
    }
    values[KeyId(section, name)] = value;
  }

  auto problem = [&](const Key& k, std::string_view why) {
    read.problems.push_back(std::string(why) + ": [" + std::string(k.section) + "] " +
                            std::string(k.name));
  };
  for (const Key& k : keys) {
    auto found = values.find(KeyId(k.section, k.name));
    if (found == values.end()) {
      problem(k, "Brak klucza");
      continue;
    }
    const std::string& v = found->second;
    int n = 0;
    bool yes = v == "T" || v == "t", no = v == "N" || v == "n";
    switch (k.kind) {
      case Kind::kBit:
      case Kind::kBool:
        if (!yes && !no) {
          problem(k, "Wartość spoza T/N"_pl);
        } else if (k.kind == Kind::kBool) {
          s.options.*k.flag = yes;
        } else {
          auto mask = static_cast<std::uint16_t>(1u << k.bit);
          s.options.*k.group = static_cast<std::uint16_t>(yes ? (s.options.*k.group | mask)
                                                              : (s.options.*k.group & ~mask));
        }
        break;
      case Kind::kRadio:
        if (!Number(v, n) || n < 0 || n > k.bit)
          problem(k, std::string("Wartość spoza 0.."_pl) + std::to_string(k.bit));
        else
          s.options.*k.group = static_cast<std::uint16_t>(n);
        break;
      case Kind::kTree:
      case Kind::kText:
        if (v.empty() || v.size() > kMaxTreeLength) {
          problem(k, "Pusta lub za długa wartość"_pl);
          break;
        }
        s.options.*k.text = v;
        if (k.kind == Kind::kTree && v.back() != '\\') s.options.*k.text += '\\';
        break;
      case Kind::kYear:
        if (v != "B" && v != "N")
          problem(k, "Wartość spoza B/N"_pl);
        else
          s.answers.annualYear = v[0];
        break;
      case Kind::kKeep:
        if (v != "Z" && v != "W")
          problem(k, "Wartość spoza Z/W"_pl);
        else
          s.answers.overwrite = v[0];
        break;
      case Kind::kNumber:
        if (!Number(v, n) || n < k.low || n > k.high)
          problem(k, std::string("Wartość spoza "_pl) + std::to_string(k.low) + ".." +
                         std::to_string(k.high));
        else
          s.answers.*k.number = n;
        break;
    }
  }
  auto firms = values.find(KeyId(kFirms, "firmy"));
  if (firms == values.end() || firms->second.empty()) {
    read.problems.push_back("Brak klucza: [FIRMY] firmy");
  } else if (firms->second == "wszystkie") {
    s.allFirms = true;
  } else {
    s.allFirms = false;
    std::string_view list = firms->second;
    for (std::size_t at = 0; at <= list.size();) {
      std::size_t comma = list.find(',', at);
      if (comma == std::string_view::npos) comma = list.size();
      std::string d = Trim(list.substr(at, comma - at));
      if (!d.empty()) s.firms.push_back(d);
      at = comma + 1;
    }
  }
  // Questions about every single person cannot be answered from a file.
  if (s.options.staffScope == 2)
    read.problems.push_back(std::string(
        "Tryb \"pytaj sie o każdego\" nie działa bez obsługi: [DANE FIRMOWE] Dane - przenieś"_pl));
  if (s.options.pid5Scope == 1)
    read.problems.push_back(std::string(
        "Tryb \"pytaj sie o każdego\" nie działa bez obsługi: [DANE FIRMOWE] z PID-5 - przenieś"_pl));
  return read;
}

std::string FormatAutoSettings(const AutoSettings& s) {
  std::string out(
      "; zq18-20 - ustawienia pracy bez obsługi (/AUTO:plik)\r\n"
      "; T/N: zaznaczone/nie; liczby: pozycja grupy od 0; ścieżki bez końcowego \\\r\n"_pl);
  std::string section;
  for (const Key& k : Keys()) {
    if (k.section != section) {
      section = k.section;
      out += "\r\n[" + section + "]\r\n";
    }
    std::string value;
    switch (k.kind) {
      case Kind::kBit:
        value = (s.options.*k.group >> k.bit) & 1 ? "T" : "N";
        break;
      case Kind::kBool:
        value = s.options.*k.flag ? "T" : "N";
        break;
      case Kind::kRadio:
        value = std::to_string(s.options.*k.group);
        break;
      case Kind::kTree:
      case Kind::kText:
        value = s.options.*k.text;
        if (k.kind == Kind::kTree && !value.empty() && value.back() == '\\') value.pop_back();
        break;
      case Kind::kYear:
        value = std::string(1, s.answers.annualYear);
        break;
      case Kind::kKeep:
        value = std::string(1, s.answers.overwrite);
        break;
      case Kind::kNumber:
        value = std::to_string(s.answers.*k.number);
        break;
    }
    out += std::string(k.name) + "=" + value + "\r\n";
  }
  out += "\r\n[" + std::string(kFirms) + "]\r\n; wszystkie albo katalogi po przecinku\r\nfirmy=";
  if (s.allFirms) {
    out += "wszystkie";
  } else {
    for (std::size_t i = 0; i < s.firms.size(); ++i) out += (i ? "," : "") + s.firms[i];
  }
  out += "\r\n";
  return out;
}

}  // namespace zq::driver
