#include "driver/pages.h"

#include "driver/auto_settings.h"
#include "platform/cp852.h"
#include "platform/text_file.h"
#include "tui/controls.h"
#include "tui/event.h"
#include "tui/message.h"
#include "tui/polish.h"

namespace zq::driver {

namespace {

using zq::operator""_pl;
using tui::Label;

constexpr int kPageRow = 3, kPageColumn = 3, kPageHeight = 22, kPageWidth = 76;
constexpr int kButtonRow = 19, kButtonWidth = 14;
// Source and Target fields show 50 characters but hold a whole path: a path cut to
// the field's width would send the run to another directory.
constexpr int kPathWidth = 50;

std::vector<std::string> Items(std::initializer_list<std::string_view> items) {
  return std::vector<std::string>(items.begin(), items.end());
}

void AddButton(tui::DialogPage& page, std::uint16_t command, std::string_view title, int column) {
  page.Add<tui::PushButton>(command, title, 1, kButtonWidth, kButtonRow, column);
}

tui::StatusItem PgUpBack() {
  return {kPrevPage, tui::key::kPgUp, "PgUp-Wstecz"};
}
tui::StatusItem PgDnNext() {
  return {kNextPage, tui::key::kPgDn, "PgDn-Dalej"};
}

bool EndsWithSeparator(const std::string& s) {
  return !s.empty() && (s.back() == '\\' || s.back() == '/');
}

std::string WithoutLast(const std::string& s) {
  return s.substr(0, s.size() - 1);
}

// Every page ends on the commands its table lists; others go to the common handling.
class WizardPageBase : public tui::DialogPage {
 public:
  WizardPageBase(RunState& run, std::string_view title, std::initializer_list<std::uint16_t> ends)
      : DialogPage(run.screen, title, kPageHeight, kPageWidth, kPageRow, kPageColumn),
        run_(run),
        ends_(ends) {}

  void HandleEvent(tui::Event& event) override {
    if (event.IsCommand()) {
      for (std::uint16_t c : ends_) {
        if (event.IsCommand(c) && Accept(c)) {
          Close(c);
          event.Clear();
          return;
        }
        if (event.IsCommand(c)) {
          event.Clear();
          return;
        }
      }
    }
    DialogPage::HandleEvent(event);
  }

 protected:
  // Whether the page may end with this command.
  virtual bool Accept(std::uint16_t) { return true; }
  RunState& run_;

 private:
  std::vector<std::uint16_t> ends_;
};

class LocationPage : public WizardPageBase {
 public:
  explicit LocationPage(RunState& run)
      : WizardPageBase(run, " Lokalizacja ", {kNextPage, kPrevPage, kCancel}) {
    if (!Opened()) return;
    ConversionOptions& o = run.options;
    WriteText(Window()->TextAttr(), 22, 3, "tam gdzie jest plik " + run.firmListName);
    Add<tui::InputLine>(o.sourceTree, static_cast<int>(kMaxTreeLength), 4, 4,
                        Label("katalogu źrodłowy:"_pl, 3, 3), kPathWidth);
    Add<tui::InputLine>(o.targetTree, static_cast<int>(kMaxTreeLength), 7, 4,
                        Label("lokalizacja docelowa:", 6, 3), kPathWidth);
    Add<tui::CheckBox>("zapisz ustawienie lokalizacji (w pliku zq18-20.PTH)", save_, 9, 4);
    Add<tui::RadioGroup>(o.polishStandard,
                         Items({"Zachowaj standard PL z poprzedniego roku (domyślnie)"_pl}), 13, 4,
                         Label("Standard polskich znaków :"_pl, 12, 4));
    Add<tui::CheckBox>("informuj o nie zamkniętym grudniu i związaną z tym konsekwencją"_pl,
                       o.warnOpenDecember, 15, 5, Label("Dodatkowe opcje:", 14, 4));
    Add<tui::CheckBox>("pokazuj powoli szczegóły konwersji"_pl, o.showSlowly, 16, 5);
    Add<tui::CheckBox>("Zasłoń(~) w 2019 przekonwertowane pliki 2020K880.mm i 2020SP.nn"_pl,
                       o.hideConverted, 17, 5);
    AddButton(*this, kCancel, "Poniechaj", 34);
    AddButton(*this, kNextPage, "Dalej >>", 54);
    SetStatusLine({PgDnNext()});
  }

 protected:
  bool Accept(std::uint16_t command) override {
    if (command == kCancel) return true;
    if (!ValidatePaths(run_, *this)) return false;
    if (command == kNextPage && save_)
      WritePathSettings(run_.platform.files, run_.screen.ProgramStem() + ".PTH",
                        run_.options.sourceTree, run_.options.targetTree);
    return true;
  }

 private:
  bool save_ = false;
};

class GlobalDataPage : public WizardPageBase {
 public:
  explicit GlobalDataPage(RunState& run)
      : WizardPageBase(run, " Dane globalne, konfiguracyjne ", {kNextPage, kPrevPage, kCancel}) {
    if (!Opened()) return;
    Add<tui::CheckGroup>(
        run.options.globalItems,
        Items({"Globalnę bazę adresów"_pl, "Bazę Urzędów Skarbowych"_pl, "Bazę stałych F1..F10"_pl,
               "Dane BIURA do wystawienia rachunków"_pl, "Dane konfiguracji DLL z DOR_ZQ.INI",
               "Stałe podatkowe na 2019 rok"_pl, "Ustawienia składników wynagrodzeń"_pl,
               "Ustawienia kolorów"_pl, "Ustawienia dor_2019.ini -> dor_2020.ini",
               "Plik \"OPERATOR.REK\"", "Plik \"ZUS_PEL.INI\",\"UMOWY.INI\""}),
        4, 4, Label("Zaznaczam do kopiowania :", 3, 3));
    AddButton(*this, kPrevPage, "<< Wstecz", 14);
    AddButton(*this, kCancel, "Poniechaj", 34);
    AddButton(*this, kNextPage, "Dalej >>", 54);
    SetStatusLine({PgUpBack(), PgDnNext()});
  }
};

constexpr std::uint16_t kStaffItem = 1 << 1;
constexpr std::uint16_t kFamilyItem = 1 << 2;

class FirmDataPage : public WizardPageBase {
 public:
  explicit FirmDataPage(RunState& run)
      : WizardPageBase(run, " Dane firmowe  ", {kNextPage, kPrevPage, kCancel}) {
    if (!Opened()) return;
    ConversionOptions& o = run.options;
    firmItems_ = &Add<tui::CheckGroup>(
        o.firmItems,
        Items({"dane tekstowe firmy", "dane pracowników, właścicieli *)"_pl,
               "dane rodzin ww                *)", "dane do PIT-D  **)",
               "bazę adresów lokalnych"_pl, "bazę automatów sprzedaży"_pl,
               "bazę automatów zakupów"_pl, "bazę stalych F1..F10, Notatnik"_pl,
               "baze przekazów pieniężnych"_pl, "ustawienia składnikow wynagrodzeń"_pl,
               "Dane ZUS-PEL ZUS_PEL.INI", "środki trwałe umożone jednorazowo"_pl,
               "ustawienia danych na przelewach", "bazę dowodów wewnętrznych"_pl,
               "bazę wystawionych odsetek"_pl, "listę pojazdów na cele VAT"_pl}),
        2, 3, Label("Zaznaczam do kopiowania :", 1, 2));
    Add<tui::RadioGroup>(
        o.staffScope,
        Items({"wszystkich", "zatrudnionych na 31.12.2019", "pytaj sie o każdego"_pl}), 2, 42,
        Label("*) Dane - przenieś :"_pl, 1, 41));
    Add<tui::RadioGroup>(o.pid5Scope, Items({"wszystkich", "pytaj sie o każdego"_pl}), 6, 42,
                         Label("**) z PID-5 - przenieś :"_pl, 5, 41));
    Add<tui::CheckGroup>(o.entered2020Items,
                         Items({"dokumenty księgowe"_pl, "wynagrodzenia pracowników"_pl,
                                "umowy zlecenia", "noty księgowe"_pl, "Deklaracje DRA"}),
                         9, 42, Label("Wprowadzone już w 2020 roku "_pl, 8, 41));
    Add<tui::CheckGroup>(o.dllItems,
                         Items({"ST 140/150 \"Vanta/zq\"", "KM 140 \"Vanta\"", "KM 150 \"zq\""}),
                         15, 42, Label("Programy \"DLL\"", 14, 41));
    AddButton(*this, kPrevPage, "<< Wstecz", 14);
    AddButton(*this, kCancel, "Poniechaj", 34);
    AddButton(*this, kNextPage, "Dalej >>", 54);
    SetStatusLine({PgUpBack(), PgDnNext()});
  }

  void HandleEvent(tui::Event& event) override {
    // Family data cannot be carried without the staff it belongs to.
    std::uint16_t& items = run_.options.firmItems;
    if (!(items & kStaffItem) && (items & kFamilyItem)) {
      items &= static_cast<std::uint16_t>(~kFamilyItem);
      firmItems_->Draw();
    }
    WizardPageBase::HandleEvent(event);
  }

 private:
  tui::CheckGroup* firmItems_ = nullptr;
};

class StartPage : public WizardPageBase {
 public:
  explicit StartPage(RunState& run)
      : WizardPageBase(run, " START KOPIOWANIA ", {kPrevPage, kStartCopy, kCancel}) {
    if (!Opened()) return;
    ConversionOptions& o = run.options;
    Add<tui::CheckGroup>(o.runItems, Items({"Dane Globalne z", "Dane pózniej wskazanych firm"_pl}),
                         4, 4, Label("Co pokopiowac :", 3, 3));
    Add<tui::InputLine>(o.globalSourceDir, 7, 4, 24,
                        Label("(tylko z 880 .. 980) do #BIN020", 4, 32));
    Add<tui::CheckBox>("Zatrzymywac akcje co firme", o.stopPerFirm, 8, 4,
                       Label("Wykonanie kopiowania", 7, 3));
    Add<tui::PushButton>(kStartCopy, "ZACZNIJ", 3, kButtonWidth, 12, 14);
    AddButton(*this, kPrevPage, "<< Wstecz", 14);
    AddButton(*this, kCancel, "Poniechaj", 34);
    SetStatusLine({PgUpBack(),
                   {kStartCopy, tui::key::kF5, "F5-ZACZNIJ"},
                   {kSaveSettings, kKeyF2, "F2-Zapisz do /AUTO"}});
    Focus(3);
  }

  void HandleEvent(tui::Event& event) override {
    if (event.IsCommand(kSaveSettings)) {
      event.Clear();
      SaveSettings();
      return;
    }
    WizardPageBase::HandleEvent(event);
  }

 private:
  static constexpr std::uint16_t kSaveSettings = 0x1004;
  static constexpr std::uint16_t kKeyF2 = 0x3C00;

  // The choices made so far as a settings file beside the program, to be replayed by
  // /AUTO: every firm offered, the answers at their defaults.
  void SaveSettings() {
    AutoSettings settings;
    settings.options = run_.options;
    const std::string path = run_.screen.ProgramStem() + ".AUT";
    const std::string text = FormatAutoSettings(settings);
    int error = 0;
    auto file = run_.platform.files.Open(path, platform::kWrite, platform::kShareNone,
                                         platform::Disposition::kCreateAlways, error);
    bool written = file && platform::WriteAll(*file, text.data(), text.size(), error);
    if (file && !file->Close(error)) written = false;
    if (written)
      tui::MessageBox(run_.screen, tui::kMbInformation | tui::kMbSelfClosing,
                      std::string("\x03Zapisano ustawienia w pliku\r\x03") + path);
    else
      tui::ErrorBox(run_.screen, std::string("\x03Nie można zapisać pliku\r\x03"_pl) + path);
  }
};

template <class Page>
std::optional<std::uint16_t> Run(RunState& run) {
  Page page(run);
  if (!page.Opened()) return std::nullopt;
  std::uint16_t command = page.Execute();
  page.Done();
  return command;
}

}  // namespace

bool ValidatePaths(RunState& run, tui::DialogPage& page) {
  ConversionOptions& o = run.options;
  if (!EndsWithSeparator(o.sourceTree)) {
    o.sourceTree += '\\';
    page.DrawControls();
  }
  if (run.copier.FileSizeOf(o.sourceTree + run.firmListName) < 1) {
    tui::ErrorBox(run.screen, "Brak pliku " + run.firmListName +
                                  std::string("\rMusisz wskazać katalog"_pl) +
                                  std::string("\rgłównym programu DOR_ZQ"_pl));
    page.Focus(1);
    return false;
  }
  if (!o.targetTree.empty() && !EndsWithSeparator(o.targetTree)) {
    o.targetTree += '\\';
    page.DrawControls();
  }
  if (o.targetTree.size() > 3 && !run.copier.DirExists(WithoutLast(o.targetTree))) {
    tui::ErrorBox(run.screen,
                  "\x03"
                  "Brak katalogu\r\x03" +
                      o.targetTree);
    return false;
  }
  // The same directory may be spelt two ways (drive, link, case): compare what the
  // names point at as well as the texts.
  bool same = tui::UpperText(o.targetTree) == tui::UpperText(o.sourceTree) ||
              (!o.targetTree.empty() &&
               run.platform.files.SameObject(WithoutLast(o.sourceTree), WithoutLast(o.targetTree)));
  if (same) {
    tui::ErrorBox(run.screen, "\x03" + std::string("Katalogi nię mogą być identyczne !"_pl));
    page.Focus(2);
    return false;
  }
  return true;
}

std::optional<std::uint16_t> RunWizardPage(RunState& run, int number) {
  switch (number) {
    case 1:
      return Run<LocationPage>(run);
    case 2:
      return Run<GlobalDataPage>(run);
    case 3:
      return Run<FirmDataPage>(run);
    case 4:
      return Run<StartPage>(run);
    default:
      return std::nullopt;
  }
}

}  // namespace zq::driver
