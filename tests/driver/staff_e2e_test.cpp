// Two generated firms through the per-firm run with the staff items on: persons chosen
// as employed on 31.12.2019, their families, contracts and tax forms, one firm's persons
// protected; the Target files checked byte for byte against what the Source holds.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "driver/firm_rig.h"
#include "driver/firm_run.h"
#include "sample_staff.h"
#include "shared/protection.h"

namespace zq::driver {
namespace {

using namespace test_rig;
using zq::operator""_pl;

std::int64_t KeyOf(const std::string& record) {
  std::int64_t key = 0;
  std::memcpy(&key, record.data(), 8);
  return key;
}

std::vector<std::string> Split(const std::string& file, std::size_t size) {
  std::vector<std::string> records;
  for (std::size_t at = 0; at + size <= file.size(); at += size)
    records.push_back(file.substr(at, size));
  return records;
}

// A person record as carried: a job title over its field of 30 gets its length byte
// lowered, nothing else changes.
std::string CutPerson(std::string record) {
  if (static_cast<std::uint8_t>(record[0x4E8]) > 30) record[0x4E8] = 30;
  return record;
}

// The PID-5 or PIT-28 form of 2020 rebuilt from one of 2019, by byte ranges.
std::string Rebuilt(const std::string& in, bool pit28) {
  std::string out(in.size(), '\0');
  auto carry = [&](std::size_t from, std::size_t to) {
    out.replace(from, to - from, in.substr(from, to - from));
  };
  carry(0, 8);
  out.replace(0x0C, 4, std::string("\x01\x01\xE4\x07", 4));
  carry(0x14, 0x184);
  carry(0x3677, 0x3678);
  if (pit28) {
    for (std::size_t m = 0; m < 12; ++m) {
      out.replace(0x189 + 490 * m, 2, in.substr(0x1697, 2));
      out[0x36D + 490 * m] = 3;
    }
    return out;
  }
  carry(0x184, 0x4BC);
  carry(0x11FC, 0x1534);
  carry(0x2274, 0x23C6);
  carry(0x363C, 0x3640);
  carry(0x3640, 0x3643);
  carry(0x364B, 0x364D);
  carry(0x364F, 0x3651);
  carry(0x3669, 0x366A);
  for (std::size_t b = 0; b < 8; ++b) {
    out.replace(1212 + 424 * b, 8, in.substr(1300 + 424 * b, 8));
    out.replace(5428 + 424 * b, 8, in.substr(5516 + 424 * b, 8));
  }
  for (std::size_t b = 0; b < 2; ++b) out.replace(9158 + 522 * b, 8, in.substr(9246 + 522 * b, 8));
  for (std::size_t at = 0x3640; at <= 0x3642; ++at)
    if (out[at] == 0) out[at] = 1;
  return out;
}

class StaffEndToEndTest : public FirmRunRig {
 protected:
  // A firm with every staff file of the plan; what the Target should hold is noted.
  void MakeStaffFirm(const std::string& firm, const sample::StaffPlan& plan, std::uint64_t seed) {
    MakeFirm(firm);
    sample::Rng rng(seed);
    files[firm] = sample::MakeStaffFiles(rng, plan);
    const sample::StaffFiles& f = files[firm];
    Source(firm, "DANE_PR8.REK", f.persons);
    Source(firm, "DANE_PF8.REK", f.families);
    Source(firm, "2020UZ3.REK", f.contracts);
    Source(firm, "2019p5.13", f.pid5);
    Source(firm, "2019_p28.rek", f.pit28);

    // Employed on 31.12.2019: not deleted and not gone before it.
    std::set<std::int64_t> carried;
    std::string& persons = expected[firm]["DANE_PR8.REK"];
    for (const std::string& record : Split(f.persons, 2048)) {
      std::string plain = record;
      if (plain[8] == 2)
        shared::ProtectRecord(std::span(reinterpret_cast<std::uint8_t*>(plain.data()), 2048),
                              plan.seed);
      std::int32_t left = 0;
      std::memcpy(&left, &plain[0x0D5], 4);
      if (KeyOf(record) < 0 || (left != 0 && left < (2019 << 16 | 12 << 8 | 31))) continue;
      carried.insert(KeyOf(record));
      persons += record[8] == 2 ? record : CutPerson(record);
    }
    auto follow = [&](const std::string& file, std::size_t size, const char* name) {
      for (const std::string& record : Split(file, size)) {
        if (KeyOf(record) < 0) continue;
        if (carried.count(KeyOf(record)))
          expected[firm][name] += record;
        else
          ++notCarried[firm];
      }
    };
    follow(f.families, 352, "DANE_PF8.REK");
    follow(f.contracts, 552, "2020UZ3.REK");
    for (const std::string& form : Split(f.pid5, 13952))
      expected[firm]["2020p5.13"] += Rebuilt(form, false);
    for (const std::string& form : Split(f.pit28, 13952))
      expected[firm]["2020_p28.rek"] += Rebuilt(form, true);
  }

  std::map<std::string, sample::StaffFiles> files;
  std::map<std::string, std::map<std::string, std::string>> expected;
  std::map<std::string, int> notCarried;
};

TEST_F(StaffEndToEndTest, EmployedPersonsTheirFamiliesContractsAndFormsArriveByteForByte) {
  MakeStaffFirm("JAWNA",
                {.persons = 12, .familyMembers = 20, .contracts = 8, .forms = 3, .everyCase = true},
                1);
  MakeStaffFirm("TAJNA",
                {.persons = 12,
                 .familyMembers = 20,
                 .contracts = 8,
                 .forms = 2,
                 .protect = true,
                 .seed = sample::kStaffSeeds[1]},
                2);
  run->options.staffScope = convert::kCarryEmployed;
  ASSERT_GT(notCarried["JAWNA"], 0);
  for (int k = 0; k < notCarried["JAWNA"] + notCarried["TAJNA"]; ++k) rig.console.PushKey(kEnter);

  FirmList firms;
  firms.Add(shared::MakeFirmRecord("Jawna", "JAWNA", "info"));
  firms.Add(shared::MakeFirmRecord("Tajna", "TAJNA", "info"));
  FirmRunSummary summary = ConvertSelectedFirms(*run, firms);
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);

  for (const std::string firm : {"JAWNA", "TAJNA"}) {
    SCOPED_TRACE(firm);
    for (const auto& [name, bytes] : expected[firm])
      EXPECT_EQ(ReadTarget(firm, name), bytes) << name;
  }
  // Each member or contract left behind was shown; the end line and the summary count them.
  EXPECT_EQ(log.CountHolding("Nie odnaleziono osoby związanej z członkiem rodziny !"_pl) +
                log.CountHolding("Upss... nie odnaleziono osoby"),
            notCarried["JAWNA"] + notCarried["TAJNA"]);
  EXPECT_NE(log.Find("Koniec konwersji danych firmy - nieprzeniesione rodziny/umowy: "_ps +
                     std::to_string(notCarried["JAWNA"])),
            nullptr)
      << log.Dump();
  int listed = 0;
  for (const FirmRunSummary::Entry& e : summary.entries)
    if (e.kind == FirmRunSummary::Kind::kNotCarried) listed += e.notCarried;
  EXPECT_EQ(listed, notCarried["JAWNA"] + notCarried["TAJNA"]);
  const std::size_t carried =
      (expected["JAWNA"]["DANE_PR8.REK"].size() + expected["TAJNA"]["DANE_PR8.REK"].size()) / 2048;
  EXPECT_EQ(static_cast<std::size_t>(log.CountHolding(" - zwolniony")),
            static_cast<std::size_t>(log.CountHolding("osoba: ")) - carried);
  EXPECT_EQ(log.FindHolding("nieczytelne"), nullptr);  // the protected names were read
}

TEST_F(StaffEndToEndTest, TheAnswerWLastsToTheEndOfItsFirmOnly) {
  // Persons 1 to 4 to be asked about, the fifth deleted.
  for (const std::string firm : {"A", "B"}) {
    MakeStaffFirm(
        firm, {.persons = 5, .familyMembers = 0, .contracts = 0, .forms = 0, .everyCase = true}, 7);
  }
  run->options.staffScope = convert::kAskEach;
  for (char k : std::string("tnW") + "tttt") rig.console.PushKey(Key(k));
  Convert("A");
  Convert("B");
  EXPECT_EQ(rig.console.ScriptLeft(), 0u);
  std::string all;
  for (const std::string& record : Split(files["B"].persons, 2048))
    if (KeyOf(record) >= 0) all += CutPerson(record);
  ASSERT_EQ(all.size(), 4u * 2048);
  EXPECT_EQ(ReadTarget("A", "DANE_PR8.REK"), all.substr(0, 2048) + all.substr(2 * 2048));
  EXPECT_EQ(ReadTarget("B", "DANE_PR8.REK"), all);
}

TEST_F(StaffEndToEndTest, FamiliesAndEmploymentContractsGoOnlyWithThePersons) {
  namespace fi = firm_items;
  struct Case {
    std::uint16_t firmItems;
    std::vector<int> enabled;  // of the staff items 6..11 and 30, in table order
  };
  const Case cases[] = {
      {fi::kFamilies | fi::kPitD, {6, 10, 11, 30}},
      {fi::kStaff, {6, 7, 9, 30}},
      {fi::kStaff | fi::kFamilies | fi::kPitD, {6, 7, 8, 9, 10, 11, 30}},
  };
  for (const Case& c : cases) {
    run->options.firmItems = c.firmItems;
    auto firm = Context("X");
    std::vector<int> enabled;
    for (const FirmItem& item : FirmItems())
      if ((item.number >= 6 && item.number <= 11) || item.number == 30)
        if (ItemEnabled(*firm, item)) enabled.push_back(item.number);
    EXPECT_EQ(enabled, c.enabled) << c.firmItems;
  }
}

}  // namespace
}  // namespace zq::driver
