#include "convert/staff.h"

#include <gtest/gtest.h>

#include <cstring>

#include "copy_fixture.h"
#include "shared/protection.h"

namespace zq::test {
namespace {

using convert::StaffFileResult;
using shared::Date;
using shared::Field;
using shared::Layout;

// A record as the accounting program leaves it: printable stale bytes behind every
// text, short texts, dates zero.
std::string Record(const Layout& layout, std::int64_t key) {
  std::string r(layout.size, '\0');
  for (std::size_t i = 0; i < r.size(); ++i) r[i] = static_cast<char>('a' + (i * 7) % 26);
  for (const Field& f : layout.fields)
    for (std::size_t e = 0; e < f.count; ++e) {
      Field at = f.At(e);
      if (f.kind == shared::Kind::Text)
        r[at.offset] = static_cast<char>(std::min<std::size_t>(3, at.Capacity()));
      if (f.kind == shared::Kind::Date) std::memset(&r[at.offset], 0, 4);
    }
  shared::RecordRef(std::span<char>(r)).SetInt(*layout.Find("Key"), key);
  return r;
}
void PutText(std::string& r, const Field& f, std::string_view s) {
  r[f.offset] = static_cast<char>(s.size());
  std::memcpy(&r[f.offset + 1], s.data(), s.size());
}
std::string Person(std::int64_t key, std::string_view surname, Date left = {}) {
  std::string r = Record(convert::kPersonRecord, key);
  PutText(r, convert::kPersonRecord["Surname"], surname);
  PutText(r, convert::kPersonRecord["FirstName"], "Jan");
  shared::RecordRef(std::span<char>(r)).SetDate(convert::kPersonRecord["Left"], left);
  return r;
}
std::string Member(const Layout& layout, std::int64_t key, std::string_view surname = "Nowak") {
  std::string r = Record(layout, key);
  if (const Field* f = layout.Find("Surname")) PutText(r, *f, surname);
  return r;
}
// Every text's length byte set to `length`.
std::string WithLengths(std::string r, const Layout& layout, std::uint8_t length) {
  for (const Field& f : layout.fields)
    if (f.kind == shared::Kind::Text)
      for (std::size_t e = 0; e < f.count; ++e) r[f.At(e).offset] = static_cast<char>(length);
  return r;
}
double Real(const std::string& r, std::size_t at) {
  double v;
  std::memcpy(&v, &r[at], 8);
  return v;
}

class StaffTest : public CopyFixture {
 protected:
  StaffFileResult Persons(const std::string& bytes) { return Run(convert::ConvertPersons, bytes); }
  StaffFileResult Run(StaffFileResult (*step)(convert::Copier&, convert::StaffTransfer&,
                                              std::string_view, std::string_view),
                      const std::string& bytes) {
    Write("in.rek", bytes);
    std::filesystem::remove(dir / "out.rek");
    return step(copier, staff, Path("in.rek"), Path("out.rek"));
  }
  StaffFileResult Forms(bool pit28, convert::TaxFormChoice choice, const std::string& bytes) {
    Write("in.rek", bytes);
    std::filesystem::remove(dir / "out.rek");
    return (pit28 ? convert::ConvertPit28Forms : convert::ConvertPid5Forms)(
        copier, choice, Path("in.rek"), Path("out.rek"));
  }
  bool Logged(std::string_view text) const {
    for (const std::string& line : sink.Lines())
      if (line.find(text) != std::string::npos) return true;
    return false;
  }

  convert::StaffTransfer staff;
};

TEST_F(StaffTest, PersonsAreChosenByTheSelectionMode) {
  const std::string a = Person(11, "Adamski"), b = Person(12, "Bielski", {30, 12, 2019}),
                    c3 = Person(13, "Cichy", {31, 12, 2019}),
                    d = Person(14, "Dudek", {15, 1, 2020}), deleted = Person(-15, "Usuniety");
  struct Case {
    std::uint16_t mode;
    std::string keys;
    std::string carried;
    std::uint16_t modeAfter;
  };
  const Case cases[] = {
      {convert::kCarryAll, "", a + b + c3 + d, 0},
      {convert::kCarryEmployed, "", a + c3 + d, 1},
      // "W" at the third person carries it and every later one without a question.
      {convert::kAskEach, "xtnW", a + c3 + d, 0},
      {convert::kAskEach, "NTTT", b + c3 + d, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    sink.Reset();
    staff.Begin(c.mode);
    for (char k : c.keys) Key(k);
    Persons(a + b + c3 + d + deleted);
    EXPECT_EQ(Read("out.rek"), c.carried);
    EXPECT_EQ(staff.selectionMode, c.modeAfter);
    EXPECT_EQ(staff.movedCount, static_cast<int>(c.carried.size() / 2048));
    EXPECT_FALSE(staff.Moved(-15));
    EXPECT_EQ(KeysLeft(), 0u);
    EXPECT_EQ(Logged("8|osoba: 15|Bielski Jan7| - zwolniony"), c.mode == convert::kCarryEmployed);
  }
}

TEST_F(StaffTest, TextsOverTheirFieldsAreCutAndEveryOtherByteKept) {
  struct Case {
    const Layout& layout;
    StaffFileResult (*step)(convert::Copier&, convert::StaffTransfer&, std::string_view,
                            std::string_view);
    std::vector<std::string_view> carriedWhole;  // texts whose length byte stays
  };
  const Case cases[] = {
      {convert::kPersonRecord, convert::ConvertPersons, {"Nip", "Pesel"}},
      {convert::kFamilyRecord, convert::ConvertFamilies, {}},
      {convert::kContractRecord, convert::CopyContracts, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.layout.name);
    staff.Begin(convert::kCarryAll);
    staff.moved.insert(7);
    std::string in = WithLengths(Record(c.layout, 7), c.layout, 255);
    Run(c.step, in);
    std::string want = in;
    for (const Field& f : c.layout.fields) {
      if (f.kind != shared::Kind::Text) continue;
      bool whole =
          std::find(c.carriedWhole.begin(), c.carriedWhole.end(), f.name) != c.carriedWhole.end();
      for (std::size_t e = 0; e < f.count; ++e)
        want[f.At(e).offset] = static_cast<char>(whole ? 255 : f.Capacity());
    }
    EXPECT_EQ(Read("out.rek"), want);
  }
}

TEST_F(StaffTest, ProtectedPersonsRoundTripUnderTheirOwnSeed) {
  for (std::uint8_t seed : {0x11, 0x80, 0xEE}) {
    SCOPED_TRACE(int{seed});
    sink.Reset();
    staff.Begin(convert::kCarryAll);
    std::string file;
    for (std::string_view name : {"Kowalski", "Wójcik", "Zieliński"}) {
      std::string r = Person(100 + static_cast<int>(file.size() / 2048), Utf8ToCp852(name));
      shared::ProtectRecord(std::span(reinterpret_cast<std::uint8_t*>(r.data()), r.size()), seed);
      r[8] = convert::kProtectedMark;
      file += r;
    }
    std::string noise(2048, '\0');
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * 131 % 251);
    noise.replace(0, 9, std::string("\x09\0\0\0\0\0\0\0\x02", 9));
    StaffFileResult result = Persons(file + noise);
    EXPECT_EQ(Read("out.rek"), file + noise);
    EXPECT_TRUE(Logged("15|Wójcik Jan"));
    EXPECT_EQ(result.unread, 1);
    EXPECT_TRUE(Logged("14|Rekordy zabezpieczone nieodczytane: 1"));
    EXPECT_TRUE(staff.Moved(9));  // carried unread, so its family still follows
  }
}

TEST_F(StaffTest, FamiliesAndContractsFollowOnlyCarriedPersons) {
  using Layouts =
      std::pair<const Layout*, StaffFileResult (*)(convert::Copier&, convert::StaffTransfer&,
                                                   std::string_view, std::string_view)>;
  for (auto [layout, step] : {Layouts{&convert::kFamilyRecord, convert::ConvertFamilies},
                              Layouts{&convert::kContractRecord, convert::CopyContracts}}) {
    SCOPED_TRACE(layout->name);
    sink.Reset();
    staff.Begin(convert::kCarryAll);
    staff.moved = {1, 2};
    const std::string one = Member(*layout, 1), two = Member(*layout, 2, "Nowakowska"),
                      other = Member(*layout, 3), zero = Member(*layout, 0),
                      deleted = Member(*layout, -1);
    Key(' ');
    Key(' ');
    Run(step, one + other + deleted + two + zero);
    EXPECT_EQ(Read("out.rek"), one + two);
    EXPECT_EQ(staff.notCarried, 2);  // 3 and 0: no carried person has either key
    EXPECT_EQ(KeysLeft(), 0u);
    bool family = layout == &convert::kFamilyRecord;
    EXPECT_EQ(Logged("7|  Nowakowska "), family);
    EXPECT_TRUE(Logged(family ? "12|Nie odnaleziono osoby związanej z członkiem rodziny !"
                              : "12|Upss... nie odnaleziono osoby związanej z odczytną "
                                "umową/zlecenia !"));
    // A person key of 0 matches a carried person of key 0 only.
    staff.moved.insert(0);
    Run(step, zero);
    EXPECT_EQ(Read("out.rek"), zero);
  }
}

TEST_F(StaffTest, FamiliesOfTheLastOfManyPersonsAreKept) {
  std::string persons;
  for (int k = 1; k <= 2100; ++k) persons += Person(k, "Osoba");
  staff.Begin(convert::kCarryAll);
  Persons(persons);
  EXPECT_EQ(staff.movedCount, 2100);
  const std::string last = Member(convert::kFamilyRecord, 2100),
                    after = Member(convert::kFamilyRecord, 2048);
  Run(convert::ConvertFamilies, after + last);
  EXPECT_EQ(Read("out.rek"), after + last);
  EXPECT_EQ(KeysLeft(), 0u);
}

// A PID-5 record with its year, values in every block and the never-zero settings.
std::string Pid5(std::uint16_t year) {
  std::string r = WithLengths(Record(convert::kPid5Record, 42), convert::kPid5Record, 200);
  shared::RecordRef rec{std::span<char>(r)};
  rec.SetDate(convert::kPid5Record["FormDate"], {5, 3, year});
  for (const char* group : {"Group1", "Group2", "Group3"}) {
    const Field* first = convert::kPid5Record.Find(std::string(group) + "First");
    const Field* twelfth = convert::kPid5Record.Find(std::string(group) + "Twelfth");
    for (std::size_t i = 0; i < first->count; ++i) {
      rec.SetReal(first->At(i), 1.5 + static_cast<double>(i));
      rec.SetReal(twelfth->At(i), 100.25 * static_cast<double>(i + 1));
    }
  }
  r[0x3640] = 0;
  r[0x3641] = 7;
  r[0x3642] = 0;
  return r;
}

TEST_F(StaffTest, Pid5FormsAreKeptOnlyWhenOf2020AndTheSettingsCameFrom2020) {
  struct Case {
    bool annualFrom2020;
    std::uint16_t year;
    bool kept;
  };
  for (Case c : {Case{true, 2020, true}, Case{true, 2019, false}, Case{false, 2020, false}}) {
    SCOPED_TRACE(::testing::Message() << c.annualFrom2020 << " " << c.year);
    const std::string in = Pid5(c.year);
    Forms(false, {.annualFrom2020 = c.annualFrom2020}, in);
    const std::string out = Read("out.rek");
    ASSERT_EQ(out.size(), in.size());
    shared::RecordView o{std::span<const char>(out)};
    const Date formDate = c.kept ? Date{5, 3, 2020} : Date{1, 1, 2020};
    EXPECT_EQ(o.Get(convert::kPid5Record.Date("FormDate")), formDate);
    EXPECT_EQ(out.substr(0x10, 4), c.kept ? in.substr(0x10, 4) : std::string(4, '\0'));
    // Texts cut to their fields, whatever else the form keeps.
    EXPECT_EQ(static_cast<std::uint8_t>(out[0x069]), 31);
    EXPECT_EQ(static_cast<std::uint8_t>(out[0x184 + 0x1D]), 36);
    EXPECT_EQ(static_cast<std::uint8_t>(out[0x2274 + 0x8C + 169]), 18);
    EXPECT_EQ(out.substr(0x06A, 0x089 - 0x06A), in.substr(0x06A, 0x089 - 0x06A));
    for (std::size_t i = 0; i < 8; ++i) {
      EXPECT_EQ(Real(out, 1212 + 424 * i), 100.25 * static_cast<double>(i + 1));
      EXPECT_EQ(Real(out, 5428 + 424 * i),
                c.kept ? 1.5 + static_cast<double>(i) : 100.25 * static_cast<double>(i + 1));
      EXPECT_EQ(Real(out, 1300 + 424 * i), c.kept ? Real(in, 1300 + 424 * i) : 0.0);
    }
    EXPECT_EQ(Real(out, 9158 + 522), c.kept ? 2.5 : 200.5);
    EXPECT_EQ(out.substr(0x3640, 3), std::string("\x01\x07\x01"));
    for (std::size_t at : {0x363C, 0x363E, 0x363F, 0x364B, 0x364F, 0x3669, 0x3677})
      EXPECT_EQ(out[at], in[at]) << at;
    EXPECT_EQ(out[0x3670], c.kept ? in[0x3670] : '\0');
  }
}

TEST_F(StaffTest, Pit28FormsTakeTheDecemberWordInEveryMonth) {
  std::string in = WithLengths(Record(convert::kPit28Record, 42), convert::kPit28Record, 90);
  shared::RecordRef rec{std::span<char>(in)};
  rec.SetInt(convert::kPit28Record["MonthWord"].At(11), 0x1234);
  rec.SetInt(convert::kPit28Record["SecondYear"], 2020);
  for (bool from2020 : {false, true}) {
    Forms(true, {.annualFrom2020 = from2020}, in);
    const std::string out = Read("out.rek");
    std::string want(in.size(), '\0');
    shared::RecordRef w{std::span<char>(want)};
    std::memcpy(&want[0], &in[0], 8);
    w.SetDate(convert::kPit28Record["FormDate"], {1, 1, 2020});
    if (from2020) std::memcpy(&want[0x10], &in[0x10], 4);
    std::memcpy(&want[0x14], &in[0x14], 0x184 - 0x14);
    for (std::size_t m = 0; m < 12; ++m) {
      w.SetInt(convert::kPit28Record["MonthWord"].At(m), 0x1234);
      want[0x36D + 490 * m] = 3;
    }
    want[0x3677] = in[0x3677];
    want[0x14] = 65;
    want[0x56] = 4;
    want[0x69] = 31;
    want[0x89] = 22;
    EXPECT_EQ(out, want) << from2020;
  }
}

TEST_F(StaffTest, TaxFormsAreAskedForOneByOne) {
  const std::string a = Pid5(2019), b = Pid5(2019);
  Key('n');
  Key('q');
  Key('t');
  Forms(false, {.selection = convert::kFormsAsk}, a + b);
  EXPECT_EQ(Read("out.rek").size(), 13952u);
  EXPECT_TRUE(Logged("10| Przenieść T/N ? "));
  EXPECT_EQ(KeysLeft(), 0u);
}

TEST_F(StaffTest, DamagedInputIsReportedAndTheRunGoesOn) {
  // Short last records of every file: reported, never written as whole ones.
  staff.Begin(convert::kCarryAll);
  staff.moved = {5};
  const std::string person = Person(5, "Kowalski");
  EXPECT_EQ(Run(convert::ConvertPersons, person + person.substr(0, 100)).damaged, 1);
  EXPECT_EQ(Read("out.rek"), person);
  const std::string member = Member(convert::kFamilyRecord, 5);
  EXPECT_EQ(Run(convert::ConvertFamilies, member + member.substr(0, 9)).damaged, 1);
  EXPECT_EQ(Read("out.rek"), member);
  const std::string contract = Member(convert::kContractRecord, 5);
  EXPECT_EQ(Run(convert::CopyContracts, contract + contract.substr(0, 551)).damaged, 1);
  EXPECT_EQ(Read("out.rek"), contract);
  EXPECT_EQ(Forms(true, {}, "x").damaged, 1);
  EXPECT_EQ(Read("out.rek"), "");
  EXPECT_TRUE(Logged("14|Pominięto niepełny rekord (1 B) na końcu pliku "));

  // Leaving dates that are no dates: the person is carried and the date reported.
  staff.Begin(convert::kCarryEmployed);
  const std::string month13 = Person(1, "Lis", {1, 13, 2019}),
                    day0 = Person(2, "Sowa", {0, 6, 2019});
  Run(convert::ConvertPersons, month13 + day0);
  EXPECT_EQ(Read("out.rek"), month13 + day0);
  EXPECT_TRUE(Logged("14|Błędna data zwolnienia 0.6.2019 - osoba przeniesiona"));

  // Families without any person carried: each reported and waited on.
  staff.Begin(convert::kCarryAll);
  Key(' ');
  Key(' ');
  Run(convert::ConvertFamilies, member + member);
  EXPECT_EQ(staff.notCarried, 2);
  EXPECT_EQ(KeysLeft(), 0u);
}

}  // namespace
}  // namespace zq::test
