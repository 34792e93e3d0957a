#include "convert/annual.h"

#include <array>
#include <initializer_list>
#include <memory>
#include <span>

#include "platform/cp852.h"
#include "platform/text_file.h"
#include "tui/message.h"

namespace zq::convert {

using zq::operator""_pl;

namespace {

using platform::Disposition;
using platform::File;
using shared::Carry;
using shared::Constant;
using shared::Copy;
using shared::Layout;
using shared::RecordRef;
using shared::RecordView;
using shared::Rule;

// The format the 2020 program version marks its annual settings with.
constexpr int kFormatMark = 3;
constexpr std::size_t kProportionDigits = 3;
constexpr int kMaxProportion = 100;

constexpr const Layout& kY = kAnnualYear;
constexpr const Layout& kN = kAnnualNumbering;
constexpr const Layout& kV = kAnnualValues;

// Record 1 from the closed year: standing settings carried, the year's counters
// restarted, the closing state of 2019 as the opening state of 2020. The proportion of
// the year is the one the firm assumed for 2020 at the end of 2019.
constexpr Rule kYearFrom2019[] = {
    Carry(kY, "Tag"),
    Constant(kY["Month"], 1),
    Constant(kY["Approval"], 1),
    Constant(kY["Format"], kFormatMark),
    Carry(kY, "Setting05"),
    Carry(kY, "Setting07"),
    Carry(kY, "Setting0C"),
    Carry(kY, "Setting0D"),
    Carry(kY, "Setting0E"),
    Constant(kY["MonthCounterA"], 1),
    Constant(kY["MonthCounterB"], 1),
    Carry(kY, "Setting70"),
    Carry(kY, "Setting72"),
    Carry(kY, "Setting73"),
    Carry(kY, "Setting74"),
    Carry(kY, "VatProportional"),
    Copy(kY["NextVatProportion"], kY["VatProportion"]),
    Carry(kY, "Setting7A"),
    Carry(kY, "Setting7B"),
    Carry(kY, "Setting7F"),
    Constant(kY["Format83"], kFormatMark),
    Carry(kY, "Setting85"),
    Carry(kY, "Setting87"),
    Carry(kY, "Setting89"),
    Carry(kY, "Setting8B"),
    Carry(kY, "Setting8D"),
    Carry(kY, "Setting8E"),
    Carry(kY, "Setting8F"),
    Copy(kY["State"].At(12), kY["State"].At(0)),
    Carry(kY, "SettingFE"),
    Copy(kY["Monthly"].At(11), kY["Monthly"].At(0)),
    Carry(kY, "Setting16C"),
    Carry(kY, "Value198"),
    Constant(kY["Counter1A0"], 1),
    Carry(kY, "Setting1A2"),
    Carry(kY, "Setting1A3"),
    Carry(kY, "Setting1A4"),
    Carry(kY, "Setting1A5"),
};

// Record 1 from a year the old version began: all carried but the format marks, the
// proportion assumed for the year after and the spare bytes of the month entries.
constexpr Rule kYearFrom2020[] = {
    Carry(kY, "Tag"),
    Carry(kY, "Month"),
    Carry(kY, "Approval"),
    Constant(kY["Format"], kFormatMark),
    Carry(kY, "Setting05"),
    Carry(kY, "Setting07"),
    Carry(kY, "Setting0C"),
    Carry(kY, "Setting0D"),
    Carry(kY, "Setting0E"),
    Carry(kY, "MonthCounterA"),
    Carry(kY, "MonthCounterB"),
    Carry(kY, "Setting70"),
    Carry(kY, "Setting72"),
    Carry(kY, "Setting73"),
    Carry(kY, "Setting74"),
    Carry(kY, "VatProportional"),
    Carry(kY, "VatProportion"),
    Carry(kY, "Setting7A"),
    Carry(kY, "Setting7B"),
    Carry(kY, "Setting7F"),
    Constant(kY["Format83"], kFormatMark),
    Carry(kY, "Setting85"),
    Carry(kY, "Setting87"),
    Carry(kY, "Setting89"),
    Carry(kY, "Setting8B"),
    Carry(kY, "Setting8D"),
    Carry(kY, "Setting8E"),
    Carry(kY, "Setting8F"),
    Carry(kY, "State"),
    Carry(kY, "SettingFE"),
    Carry(kY, "Monthly"),
    Carry(kY, "Setting16C"),
    Carry(kY, "Value198"),
    Carry(kY, "Counter1A0"),
    Carry(kY, "Setting1A2"),
    Carry(kY, "Setting1A3"),
    Carry(kY, "Setting1A4"),
    Carry(kY, "Setting1A5"),
};

// Record 2: the numbering texts stay, the running numbers of a new year start at 1.
constexpr Rule kNumberingFrom2019[] = {
    Carry(kN, "Tag"),   Carry(kN, "Lead"),      Constant(kN["Number"], 1),
    Carry(kN, "Trail"), Carry(kN, "SettingA2"), Carry(kN, "SettingA3"),
};
constexpr Rule kNumberingFrom2020[] = {
    Carry(kN, "Tag"),   Carry(kN, "Lead"),      Carry(kN, "Number"),
    Carry(kN, "Trail"), Carry(kN, "SettingA2"), Carry(kN, "SettingA3"),
};

// Record 3: the monthly blocks belong to the year they were kept in.
constexpr Rule kValuesFrom2019[] = {
    Carry(kV, "Tag"),      Carry(kV, "Value02"),    Carry(kV, "Value0A"),
    Carry(kV, "Value10E"), Carry(kV, "Setting116"),
};
constexpr Rule kValuesFrom2020[] = {
    Carry(kV, "Tag"),        Carry(kV, "Value02"),  Carry(kV, "Value0A"),
    Carry(kV, "MonthBlock"), Carry(kV, "Value10E"), Carry(kV, "Setting116"),
};

struct RecordRules {
  const Layout& layout;
  std::span<const Rule> from2019;
  std::span<const Rule> from2020;
};
const RecordRules kRecordRules[kAnnualRecordCount] = {
    {kAnnualYear, kYearFrom2019, kYearFrom2020},
    {kAnnualNumbering, kNumberingFrom2019, kNumberingFrom2020},
    {kAnnualValues, kValuesFrom2019, kValuesFrom2020},
};

constexpr shared::IntField kApproval = kAnnualYear.Int("Approval");
constexpr shared::IntField kVatProportional = kAnnualYear.Int("VatProportional");
constexpr shared::IntField kVatProportion = kAnnualYear.Int("VatProportion");

using Record = std::array<std::uint8_t, kAnnualRecordSize>;

std::string Cat(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (std::string_view part : parts) out += part;
  return out;
}

std::string FirmFile(std::string_view dir, std::string_view name) {
  std::string path(dir);
  path += '\\';
  path += name;
  return path;
}

char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

enum class ReadResult { kWhole, kShort, kFailed };

// One whole record; a record cut short by the end of the file is no record.
ReadResult ReadRecord(File& file, Record& record) {
  record.fill(0);
  std::size_t total = 0;
  while (total < record.size()) {
    std::size_t got = 0;
    int error = 0;
    if (!file.Read(record.data() + total, record.size() - total, got, error))
      return ReadResult::kFailed;
    if (got == 0) break;
    total += got;
  }
  return total == record.size() ? ReadResult::kWhole : ReadResult::kShort;
}

// A whole number 0..100 of at most three digits, blanks around it allowed.
bool ParseProportion(std::string_view text, std::uint16_t& value) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty() || text.size() > kProportionDigits) return false;
  int number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  if (number > kMaxProportion) return false;
  value = static_cast<std::uint16_t>(number);
  return true;
}

// Asked until the answer is a whole percentage; Esc leaves the "0" the field starts with.
std::uint16_t AskVatProportion(tui::Screen& screen, bool from2019, std::int64_t settled2019) {
  std::string prompt = std::string("Firma rozliczała  VAT w proporcji "_pl);
  // The question comes only when the proportion assumed for 2020 is 0, so the figure
  // worth showing is the one the firm settled 2019 with.
  if (from2019) prompt += std::to_string(settled2019) + "%";
  prompt += tui::kNewLine;
  prompt += "a zakładana na "_pl;
  prompt += "2020";
  prompt += " wynosi 0% ?";
  prompt += tui::kNewLine;
  prompt += "Podaj właściwą:"_pl;
  for (;;) {
    std::string answer = "0";
    tui::SetInputBoxWidth(screen, static_cast<int>(kProportionDigits));
    tui::InputBox(screen, false, answer, prompt);
    std::uint16_t value = 0;
    if (ParseProportion(answer, value)) return value;
    screen.ErrorBeep();
  }
}

class AnnualRun {
 public:
  explicit AnnualRun(const AnnualParams& params)
      : p_(params),
        log_(params.copier.Log()),
        files_(params.screen.Files()),
        oldPath2019_(FirmFile(params.sourceFirmDir, kAnnual2019FileName)),
        oldPath2020_(FirmFile(params.sourceFirmDir, kAnnual2020FileName)),
        newPath_(FirmFile(params.targetFirmDir, kAnnual2020FileName)) {}

  AnnualResult Run();

 private:
  // Picks the source; false when there is none.
  bool ChooseSource();
  bool AskYear();
  bool OpenFiles();
  bool ConvertRecord(int number);
  void WarnOpenDecember(RecordView old);
  // Shows the failure, closes both files and leaves no output behind.
  void Fail(AnnualOutcome outcome, std::string_view message, const std::string& detail);
  bool CloseOutput();

  const AnnualParams& p_;
  ProgressLog& log_;
  platform::Files& files_;
  const std::string oldPath2019_, oldPath2020_, newPath_;
  const std::string* sourcePath_ = nullptr;
  std::unique_ptr<File> in_, out_;
  AnnualResult result_;
};

AnnualResult AnnualRun::Run() {
  log_.Color(kColourAnnounce);
  log_.WriteLn("Konwersja danych ROCZNYCH ustawień firmy "_pl);
  if (!ChooseSource() || !OpenFiles()) return result_;
  for (int number = 1; number <= kAnnualRecordCount; ++number)
    if (!ConvertRecord(number)) return result_;
  if (!CloseOutput()) return result_;
  p_.copier.SlowPause();
  log_.WriteLn("Utworzono dane w 2020");
  int error = 0;
  in_->Close(error);
  in_.reset();
  result_.outcome = AnnualOutcome::kWritten;
  return result_;
}

bool AnnualRun::ChooseSource() {
  bool has2019 = p_.copier.FileSizeOf(oldPath2019_) > 0;
  bool has2020 = p_.copier.FileSizeOf(oldPath2020_) > 0;
  bool take2020 = false;
  if (!has2019 && !has2020) {
    log_.AlertLn(kColourError, "Brak danych nnnnROK.REK danych za 2019 i 2020 !");
    p_.copier.WaitKey();
    result_.outcome = AnnualOutcome::kNoSource;
    return false;
  } else if (!has2019) {
    take2020 = true;
  } else if (!has2020) {
    take2020 = false;
  } else {
    take2020 = p_.alwaysTake2020 || AskYear();
  }
  result_.annualFrom2020 = take2020;
  sourcePath_ = take2020 ? &oldPath2020_ : &oldPath2019_;
  return true;
}

// True for the 2020 file.
bool AnnualRun::AskYear() {
  log_.AlertLn(kColourError, "Występują dane ROCZNE za rok 2019 i 2020 !"_pl);
  log_.AlertLn(kColourError, "Wybierz z których skrzystać :"_pl);
  log_.Color(kColourError);
  log_.Write(" B-2019 N-2020, A-wszyskie następne na N  (B/N/A) ? "_pl);
  char key = 0;
  do {
    key = AsciiUpper(p_.copier.Ask(Question::kAnnualYear));
  } while (key != 'B' && key != 'N' && key != 'A');
  log_.WriteLn();
  log_.Color(kColourError);
  log_.WriteLn(std::string(" - wybrano: ") + key);
  if (key == 'A') p_.alwaysTake2020 = true;
  return key != 'B';
}

bool AnnualRun::OpenFiles() {
  int error = 0;
  in_ = files_.Open(*sourcePath_, platform::kRead, platform::kShareReadWrite,
                    Disposition::kOpenExisting, error);
  if (!in_) {
    log_.AlertLn(kColourError, "brak dostępu do danych za FirmaREK !"_pl);
    p_.copier.WaitKey();
    result_.outcome = AnnualOutcome::kSourceNotOpened;
    return false;
  }
  // With both trees the same directory the output is the source itself, which the
  // create would cut to nothing before it is read.
  if (!files_.SameObject(*sourcePath_, newPath_))
    out_ = files_.Open(newPath_, platform::kWrite, platform::kShareRead, Disposition::kCreateAlways,
                       error);
  if (!out_) {
    log_.AlertLn(kColourError, "brak dostępu do danych FirmaREK za 2020 !"_pl);
    in_->Close(error);
    in_.reset();
    p_.copier.WaitKey();
    result_.outcome = AnnualOutcome::kTargetNotCreated;
    return false;
  }
  return true;
}

bool AnnualRun::ConvertRecord(int number) {
  const RecordRules& rules = kRecordRules[number - 1];
  Record old, made;
  switch (ReadRecord(*in_, old)) {
    case ReadResult::kWhole:
      break;
    case ReadResult::kShort:
      Fail(AnnualOutcome::kReadFailed, "Błąd odczytu danych z 2019"_pl,
           Cat({"Niepełny rekord nr "_pl, std::to_string(number), " pliku ", *sourcePath_}));
      return false;
    case ReadResult::kFailed:
      Fail(AnnualOutcome::kReadFailed, "Błąd odczytu danych z 2019"_pl,
           Cat({"Nie można odczytać rekordu nr "_pl, std::to_string(number), " pliku ",
                *sourcePath_}));
      return false;
  }
  RecordView in(old);
  RecordRef out(made);
  shared::Build(result_.annualFrom2020 ? rules.from2020 : rules.from2019, in, out);

  if (number == 1) {
    result_.sourceFirmDir = std::string(p_.sourceFirmDir.substr(0, kSourceFirmDirLength));
    result_.firmVatProportional = static_cast<std::uint8_t>(out.Get(kVatProportional));
    result_.firmVatProportion = static_cast<std::uint16_t>(out.Get(kVatProportion));
    if (result_.firmVatProportional != 0 && result_.firmVatProportion == 0 && p_.copier.answers) {
      // Unattended: a whole percentage from the answer source, or the firm is left out.
      std::uint16_t value = 0;
      std::string answer = p_.copier.answers->Answer(Question::kVatProportion);
      log_.AlertLn(kColourWarning, "Proporcja VAT na 2020 wynosi 0% - podaj właściwą"_pl);
      log_.NoteAnswer(answer.empty() ? "pomiń firmę"_pl : std::string_view(answer));
      if (ParseProportion(answer, value))
        result_.firmVatProportion = value;
      else
        result_.proportionRefused = true;
      out.Set(kVatProportion, result_.firmVatProportion);
    } else if (result_.firmVatProportional != 0 && result_.firmVatProportion == 0) {
      result_.firmVatProportion =
          AskVatProportion(p_.screen, !result_.annualFrom2020, in.Get(kVatProportion));
      out.Set(kVatProportion, result_.firmVatProportion);
    }
    if (!result_.annualFrom2020) WarnOpenDecember(in);
  }

  int error = 0;
  if (!platform::WriteAll(*out_, made.data(), made.size(), error)) {
    Fail(AnnualOutcome::kWriteFailed, "Błąd zapisu danych do 2020"_pl,
         Cat({"Nie można zapisać rekordu nr "_pl, std::to_string(number), " pliku ", newPath_}));
    return false;
  }
  return true;
}

// The state after an unapproved December may still change in the old program; the
// user is told that what is carried as the opening state of 2020 may be wrong.
void AnnualRun::WarnOpenDecember(RecordView old) {
  if (!p_.warnOpenDecember || old.Get(kApproval) == kAllMonthsApproved) return;
  log_.AlertLn(kColourError, "Nie zatwierdzono miesiąca GRUDNIA.2019"_pl);
  p_.screen.ErrorBeep();
  log_.AlertLn(kColourWarning, "mogę przenieść niepoprawny stan BZ.2019 jako BO.2020"_pl);
  p_.screen.ErrorBeep();
  p_.copier.WaitKey();
}

void AnnualRun::Fail(AnnualOutcome outcome, std::string_view message, const std::string& detail) {
  log_.AlertLn(kColourError, message);
  log_.WriteLn(detail);
  int error = 0;
  if (in_) in_->Close(error);
  in_.reset();
  if (out_) out_->Close(error);
  out_.reset();
  files_.Remove(newPath_, error);
  p_.copier.WaitKey();
  result_.outcome = outcome;
}

// A close the host reports as failed is a write failure too. No flush to disk here:
// the firm is listed in the Target firm list only after all its files, and that list
// is flushed.
bool AnnualRun::CloseOutput() {
  int error = 0;
  bool ok = out_->Close(error);
  out_.reset();
  if (ok) return true;
  Fail(AnnualOutcome::kWriteFailed, "Błąd zapisu danych do 2020"_pl,
       Cat({"Nie można zamknąć pliku "_pl, newPath_}));
  return false;
}

}  // namespace

AnnualResult ConvertAnnualSettings(const AnnualParams& params) {
  return AnnualRun(params).Run();
}

}  // namespace zq::convert
