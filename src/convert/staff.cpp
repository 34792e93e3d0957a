#include "convert/staff.h"

#include <algorithm>
#include <string>

#include "platform/cp852.h"
#include "shared/protection.h"

namespace zq::convert {

using zq::operator""_pl;

namespace {

using shared::Carry;
using shared::Copy;
using shared::Rule;

constexpr std::uint8_t kColourName = 15;
constexpr std::uint8_t kColourLabel = 8;
constexpr std::uint8_t kColourQuestion = 10;
// Long enough to read " - zwolniony" as the persons go by.
constexpr int kLeftPauseMs = 250;

constexpr const shared::Layout& kPerson = kPersonRecord;
constexpr const shared::Layout& kFamily = kFamilyRecord;
constexpr const shared::Layout& kContract = kContractRecord;
constexpr const shared::Layout& kPid5 = kPid5Record;
constexpr const shared::Layout& kPit28 = kPit28Record;

// Every text of the person record but the identity numbers, which are carried whole.
constexpr shared::Field kPersonTexts[] = {
    kPerson["Surname"],  kPerson["FirstName"],  kPerson["SecondName"], kPerson["Father"],
    kPerson["Mother"],   kPerson["BirthPlace"], kPerson["Text0DB"],    kPerson["Text0FB"],
    kPerson["Text1AB"],  kPerson["Text201"],    kPerson["Text243"],    kPerson["Text4E8"],
    kPerson["Texts514"], kPerson["Text6AE"],    kPerson["Text6D1"],    kPerson["Text77B"],
    kPerson["Text785"],  kPerson["Text7D0"],
};
constexpr shared::Field kFamilyTexts[] = {kFamily["Text02E"], kFamily["Surname"],
                                          kFamily["FirstName"]};
constexpr shared::Field kContractTexts[] = {kContract["Text014"], kContract["Text01F"],
                                            kContract["Texts02A"]};
constexpr shared::Field kFormTexts[] = {kPid5["PairFirst"], kPid5["PairSecond"], kPid5["Surname"],
                                        kPid5["FirstName"]};
constexpr shared::Field kPid5Texts[] = {
    kPid5["PairFirst"],    kPid5["PairSecond"],   kPid5["Surname"],     kPid5["FirstName"],
    kPid5["Group1TextA"],  kPid5["Group1TextB"],  kPid5["Group2TextA"], kPid5["Group2TextB"],
    kPid5["Group3Text13"], kPid5["Group3Text14"], kPid5["Group3TextA"], kPid5["Group3TextB"],
    kPid5["Group3TextC"],  kPid5["Group3Text18"],
};

// A form rebuilt for 2020: the person, the form date of 1.1.2020 and the entries, the
// values of the old year left behind.
constexpr Rule kRebuiltPid5[] = {
    Carry(kPid5, "Key"),         shared::Constant(kPid5["FormDate"], kFormDate2020),
    Carry(kPid5, "TextPair"),    Carry(kPid5, "Personal"),
    Carry(kPid5, "Address"),     Carry(kPid5, "Group1"),
    Carry(kPid5, "Group2"),      Carry(kPid5, "Group3"),
    Carry(kPid5, "Setting363C"), Carry(kPid5, "Setting363E"),
    Carry(kPid5, "NeverZero"),   Carry(kPid5, "Setting364B"),
    Carry(kPid5, "Setting364F"), Carry(kPid5, "Setting3669"),
    Carry(kPid5, "Setting3677"),
};

constexpr shared::IntField kDecemberWord = kPit28.Int("MonthWord").At(11);

constexpr Rule kRebuiltPit28[] = {
    Carry(kPit28, "Key"),
    shared::Constant(kPit28["FormDate"], kFormDate2020),
    Carry(kPit28, "TextPair"),
    Carry(kPit28, "Personal"),
    Carry(kPit28, "Address"),
    shared::Computed(kPit28["MonthWord"],
                     [](shared::RecordView in) { return in.Get(kDecemberWord); }),
    shared::Constant(kPit28["MonthByte"], kPit28MonthByte),
    Carry(kPit28, "Setting3677"),
};

std::string Cat(std::initializer_list<std::string_view> parts) {
  std::string s;
  for (std::string_view p : parts) s += p;
  return s;
}

char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Reads keys until one of `answers` (upper case) comes, in either case.
char AskKey(Copier& copier, Question question, std::string_view answers) {
  for (;;) {
    char key = AsciiUpper(copier.Ask(question));
    if (key != 0 && answers.find(key) != std::string_view::npos) return key;
  }
}

// "osoba: " dim, then the names bright, on a line the decision then ends.
void ShowName(ProgressLog& log, std::string_view label, std::string_view names) {
  log.Color(kColourLabel);
  log.Write(label);
  log.Color(kColourName);
  log.Write(names);
}

std::string Names(shared::RecordView record, const shared::Layout& layout) {
  const shared::Field* surname = layout.Find("Surname");
  const shared::Field* first = layout.Find("FirstName");
  return Cat({record.GetText(*surname), " ", record.GetText(*first)});
}

std::string RawDate(const shared::Date& date) {
  return Cat(
      {std::to_string(date.day), ".", std::to_string(date.month), ".", std::to_string(date.year)});
}

// Knows which call of a record routine's callback is handed the short tail of the
// file: a record cut short by the end of the file is reported and not written, so
// that no half record turns into a whole one padded with zeros.
class TailGuard {
 public:
  TailGuard(Copier& copier, std::string_view source, std::size_t size)
      : copier_(copier), source_(source) {
    std::int64_t bytes = copier.FileSizeOf(source);
    whole_ = bytes / static_cast<std::int64_t>(size);
    tail_ = bytes % static_cast<std::int64_t>(size);
  }
  bool Whole() {
    if (++seen_ <= whole_ || tail_ == 0) return true;
    ++damaged_;
    copier_.Log().AlertLn(kColourWarning,
                          Cat({"Pominięto niepełny rekord ("_pl, std::to_string(tail_),
                               " B) na końcu pliku "_pl, source_}));
    return false;
  }
  int Damaged() const { return damaged_; }

 private:
  Copier& copier_;
  std::string source_;
  std::int64_t whole_ = 0;
  std::int64_t tail_ = 0;
  std::int64_t seen_ = 0;
  int damaged_ = 0;
};

// A family member or contract is kept only when its person was carried; any other is
// reported, waited on and counted, so that none disappears unseen.
bool PersonCarried(Copier& copier, StaffTransfer& staff, std::int64_t key, std::string_view message,
                   std::string_view what) {
  if (staff.Moved(key)) return true;
  copier.Log().AlertLn(kColourError, message);
  copier.Log().WriteLn(Cat({"  pominięto: "_pl, what}));
  copier.WaitKey();
  ++staff.notCarried;
  return false;
}

class PersonStep {
 public:
  PersonStep(Copier& copier, StaffTransfer& staff, std::string_view source)
      : copier_(copier), staff_(staff), tail_(copier, source, kPersonRecordSize) {}

  bool Convert(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
    if (!tail_.Whole()) return false;
    std::copy_n(in.begin(), std::min(in.size(), out.size()), out.begin());
    shared::RecordRef record(out);
    const std::int64_t key = record.Get(kPerson.Int("Key"));
    if (key < 0) return false;
    const bool isProtected = record.Get(kPerson.Int("Mark")) == kProtectedMark;
    shared::SeedRecogniser::Result seed;
    if (isProtected) seed = seeds_.Unprotect(out);
    const bool readable = !isProtected || seed.decoded;
    ShowName(
        copier_.Log(), "osoba: ",
        readable ? Names(record, kPerson) : std::string("(dane zabezpieczone, nieczytelne)"_pl));
    if (!Decide(record, readable)) return false;
    staff_.moved.insert(key);
    ++staff_.movedCount;
    if (!readable) {
      ++unread_;
      return true;
    }
    shared::CutTexts(record, kPersonTexts);
    if (isProtected) seeds_.Protect(out, seed.seed);
    return true;
  }

  int Damaged() const { return tail_.Damaged(); }
  int Unread() const { return unread_; }

 private:
  // Ends the person's line; true to carry the person.
  bool Decide(shared::RecordView record, bool readable) {
    ProgressLog& log = copier_.Log();
    switch (staff_.selectionMode) {
      case kCarryEmployed: {
        const shared::Date left = record.Get(kPerson.Date("Left"));
        // What a record that could not be read says is noise: it is carried.
        if (!readable || left == shared::Date{}) break;
        if (!shared::DateValid(left)) {
          log.WriteLn();
          log.AlertLn(kColourWarning,
                      Cat({"Błędna data zwolnienia "_pl, RawDate(left), " - osoba przeniesiona"}));
          return true;
        }
        if (shared::PackedDate(left) >= shared::PackedDate(kReferenceDate)) break;
        log.WriteLn(" - zwolniony");
        log.Screen().Flush();
        log.Screen().Process().Sleep(kLeftPauseMs);
        return false;
      }
      case kAskEach: {
        log.Color(kColourQuestion);
        log.Write(" Przenieść T/N /W  ? "_pl);
        char answer = AskKey(copier_, Question::kStaffPerson, "TNW");
        log.WriteLn();
        if (answer == 'N') return false;
        if (answer == 'W') staff_.selectionMode = kCarryAll;
        return true;
      }
      default:
        break;
    }
    log.WriteLn();
    return true;
  }

  Copier& copier_;
  StaffTransfer& staff_;
  TailGuard tail_;
  shared::SeedRecogniser seeds_{shared::kPersonProtection, kPersonRecord};
  int unread_ = 0;
};

// The screen line of a form and its choice; ends the line.
bool FormChosen(Copier& copier, const TaxFormChoice& choice, shared::RecordView form) {
  ProgressLog& log = copier.Log();
  ShowName(log, "Osoba: ", Names(form, kPid5));
  bool carry = true;
  if (choice.selection == kFormsAsk) {
    log.Color(kColourQuestion);
    log.Write(" Przenieść T/N ? "_pl);
    carry = AskKey(copier, Question::kPid5Person, "TN") == 'T';
  }
  log.WriteLn();
  return carry;
}

// First value := twelfth value of the source, in each block.
void CarryYearEnd(shared::RecordView in, shared::RecordRef out, const shared::RealField& first,
                  const shared::RealField& twelfth) {
  for (std::size_t i = 0; i < first.count; ++i) out.Set(first.At(i), in.Get(twelfth.At(i)));
}

bool ConvertPid5(Copier& copier, const TaxFormChoice& choice, std::span<const std::uint8_t> in,
                 std::span<std::uint8_t> out) {
  shared::RecordView source(in);
  if (!FormChosen(copier, choice, source)) return false;
  shared::RecordRef form(out);
  const bool kept = choice.annualFrom2020 && source.Get(kPid5.Int("FormYear")) == 2020;
  if (kept)
    std::copy_n(in.begin(), std::min(in.size(), out.size()), out.begin());
  else
    shared::Build(kRebuiltPid5, source, form);
  shared::CutTexts(form, kPid5Texts);
  CarryYearEnd(source, form, kPid5.Real("Group1First"), kPid5.Real("Group1Twelfth"));
  if (!kept) {
    CarryYearEnd(source, form, kPid5.Real("Group2First"), kPid5.Real("Group2Twelfth"));
    CarryYearEnd(source, form, kPid5.Real("Group3First"), kPid5.Real("Group3Twelfth"));
  }
  const shared::IntField neverZero = kPid5.Int("NeverZero");
  for (std::size_t i = 0; i < neverZero.count; ++i)
    if (form.Get(neverZero.At(i)) == 0) form.Set(neverZero.At(i), 1);
  return true;
}

bool ConvertPit28(Copier& copier, const TaxFormChoice& choice, std::span<const std::uint8_t> in,
                  std::span<std::uint8_t> out) {
  shared::RecordView source(in);
  if (!FormChosen(copier, choice, source)) return false;
  shared::RecordRef form(out);
  shared::Build(kRebuiltPit28, source, form);
  shared::CutTexts(form, kFormTexts);
  if (choice.annualFrom2020 && source.Get(kPit28.Int("SecondYear")) == 2020) {
    const shared::Field second = kPit28["SecondDate"];
    form.CarryFrom(source, second, second);
  }
  return true;
}

StaffFileResult ConvertForms(Copier& copier, const TaxFormChoice& choice, std::string_view source,
                             std::string_view target,
                             bool (*convert)(Copier&, const TaxFormChoice&,
                                             std::span<const std::uint8_t>,
                                             std::span<std::uint8_t>)) {
  TailGuard tail(copier, source, kTaxFormRecordSize);
  StaffFileResult result;
  result.status =
      copier.ConvertRecords(source, target, kTaxFormRecordSize, kTaxFormRecordSize,
                            [&](std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
                              return tail.Whole() && convert(copier, choice, in, out);
                            });
  result.damaged = tail.Damaged();
  return result;
}

}  // namespace

StaffFileResult ConvertPersons(Copier& copier, StaffTransfer& staff, std::string_view source,
                               std::string_view target) {
  PersonStep step(copier, staff, source);
  StaffFileResult result;
  result.status =
      copier.ConvertRecords(source, target, kPersonRecordSize, kPersonRecordSize,
                            [&](std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
                              return step.Convert(in, out);
                            });
  result.damaged = step.Damaged();
  result.unread = step.Unread();
  if (result.unread > 0)
    copier.Log().AlertLn(kColourWarning,
                         Cat({"Rekordy zabezpieczone nieodczytane: "_pl,
                              std::to_string(result.unread), " - przeniesiono je bez zmian"}));
  return result;
}

StaffFileResult ConvertFamilies(Copier& copier, StaffTransfer& staff, std::string_view source,
                                std::string_view target) {
  TailGuard tail(copier, source, kFamilyRecordSize);
  StaffFileResult result;
  result.status = copier.ConvertRecords(
      source, target, kFamilyRecordSize, kFamilyRecordSize,
      [&](std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
        if (!tail.Whole()) return false;
        const shared::RecordView member(in);
        const std::int64_t key = member.Get(kFamily.Int("Key"));
        if (key < 0) return false;
        if (!PersonCarried(copier, staff, key,
                           "Nie odnaleziono osoby związanej z członkiem rodziny !"_pl,
                           Names(member, kFamily)))
          return false;
        std::copy_n(in.begin(), std::min(in.size(), out.size()), out.begin());
        shared::RecordRef record(out);
        shared::CutTexts(record, kFamilyTexts);
        copier.Log().WriteLn(Cat({"  ", Names(record, kFamily)}));
        return true;
      });
  result.damaged = tail.Damaged();
  return result;
}

StaffFileResult CopyContracts(Copier& copier, StaffTransfer& staff, std::string_view source,
                              std::string_view target) {
  TailGuard tail(copier, source, kContractRecordSize);
  StaffFileResult result;
  result.status =
      copier.CopyRecords(source, target, kContractRecordSize, [&](std::span<std::uint8_t> bytes) {
        if (!tail.Whole()) return false;
        shared::RecordRef record(bytes);
        const std::int64_t key = record.Get(kContract.Int("Key"));
        if (key < 0) return false;
        if (!PersonCarried(copier, staff, key,
                           "Upss... nie odnaleziono osoby związanej z odczytną umową/zlecenia !"_pl,
                           Cat({"umowa osoby nr "_pl, std::to_string(key)})))
          return false;
        shared::CutTexts(record, kContractTexts);
        return true;
      });
  result.damaged = tail.Damaged();
  return result;
}

StaffFileResult ConvertPid5Forms(Copier& copier, const TaxFormChoice& choice,
                                 std::string_view source, std::string_view target) {
  return ConvertForms(copier, choice, source, target, ConvertPid5);
}

StaffFileResult ConvertPit28Forms(Copier& copier, const TaxFormChoice& choice,
                                  std::string_view source, std::string_view target) {
  return ConvertForms(copier, choice, source, target, ConvertPit28);
}

}  // namespace zq::convert
