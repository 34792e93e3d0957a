// Every record converter and filter, as one table: a row names the converter or filter
// (or the copy step that runs one with the firm's answers), its record sizes, the texts
// of its output and the fields its conversion changes. Each row is a target of its own
// (records.<row>), fed a whole file so short tails and odd sizes come too, and held to:
//
//  - the target file holds whole output records only (a record copy may end with the
//    short tail it was given), and the Source file is left as it was;
//  - a plain converter or filter gives the same record in an exactly sized buffer (where
//    the address sanitizer sees any step outside it) as in the middle of a buffer of
//    garbage, whose bytes it neither reads into the record nor overwrites: nothing of a
//    neighbouring record can reach the output;
//  - the file holds, record for record, what the function gave for each record it kept;
//  - a carried record differs from its source only in length bytes lowered to their
//    field and in the fields the conversion changes; every text of a built record fits
//    its field.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "convert/bases.h"
#include "convert/copy.h"
#include "convert/firm_data.h"
#include "convert/ledger.h"
#include "convert/modules.h"
#include "convert/payroll.h"
#include "convert/staff.h"
#include "convert/wage_settings.h"
#include "driver/firm_run.h"
#include "fuzz.h"
#include "shared/record.h"
#include "tui/screen.h"

namespace zq::fuzz {
namespace {

using convert::Copier;
using shared::Field;
using shared::Kind;
using shared::Layout;

// How a kept record may differ from its source record.
enum class Diff : std::uint8_t {
  kLoweredOrChanged,  // length bytes lowered to their field; the `changes` fields
  kLengthBytes,       // length bytes, either way (a protected record, its bytes scrambled)
  kAnything,          // the record is rebuilt; only its texts are looked at
};

// A copy step of the firm's run that calls its converter or filter with answers and
// state of its own: it gets the input's first byte as its options.
using StepFn = void (*)(Copier& copier, std::uint8_t options, std::string_view source,
                        std::string_view target);

struct RecordRow {
  std::string_view name{};
  std::uint16_t inSize = 0;
  std::uint16_t outSize = 0;
  convert::RecordFilter filter{};        // a record copy
  convert::RecordConverter converter{};  // a record conversion
  StepFn step = nullptr;                 // instead of both: the step runs the copy itself
  bool stepConverts = false;             // the step is a conversion (whole output records)
  // Layout of the output: its Text fields must fit; a filter may lower their length bytes.
  const Layout* layout = nullptr;
  // Texts carried whole, never cut.
  std::vector<std::string_view> uncut{};
  // Fields of the output the conversion sets.
  std::vector<Field> changes{};
  // How a kept record may differ from its source; Diff::kLoweredOrChanged when empty.
  std::function<Diff(Input record)> diff{};
};

Diff PersonDiff(Input record) {
  return record.size() > 8 && record[8] == convert::kProtectedMark ? Diff::kLengthBytes
                                                                   : Diff::kLoweredOrChanged;
}

// The moved persons for the family and contract steps: every other key of the file.
void MoveEveryOtherKey(convert::StaffTransfer& staff, std::string_view source, std::size_t size,
                       std::uint8_t options) {
  std::ifstream in{std::string(source), std::ios::binary};
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  for (std::size_t at = 0, i = 0; at + 8 <= bytes.size(); at += size, ++i) {
    std::int64_t key;
    std::memcpy(&key, bytes.data() + at, 8);
    if ((i + options) % 2 == 0) staff.moved.insert(key);
  }
}

// The tax forms: every form or each on the answer, the annual settings of 2020 or not.
template <auto Convert>
void FormStep(Copier& copier, std::uint8_t options, std::string_view source,
              std::string_view target) {
  Convert(
      copier,
      {.selection = static_cast<std::uint16_t>(options & 1), .annualFrom2020 = (options & 2) != 0},
      source, target);
}

// The ledger converters write their lines on a log of their own: the exact-buffer check
// calls them outside any copy, and what they log must not change what they give.
struct SideRun {
  Rig rig;
  tui::Screen screen{rig.platform};
  convert::ProgressLog log{screen};
  Copier copier{screen, log};
};

SideRun& Side() {
  static SideRun run;
  return run;
}

// A firm that books 75% of its VAT, its entries converted at a moment that never moves.
bool ConvertLedgerEntry(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  SideRun& side = Side();
  const convert::LedgerConversion ledger{.copier = &side.copier,
                                         .clock = &side.rig.process,
                                         .vatProportional = true,
                                         .vatProportion = 75};
  return convert::ConvertLedgerEntry(ledger, in, out);
}

// A text-cutting filter of the program's modules: it changes nothing but length bytes.
RecordRow CutRow(std::string_view name, const Layout& layout, convert::RecordFilter filter) {
  return {.name = name,
          .inSize = static_cast<std::uint16_t>(layout.size),
          .outSize = static_cast<std::uint16_t>(layout.size),
          .filter = std::move(filter),
          .layout = &layout};
}

// A converter that rebuilds its record into a zeroed output.
RecordRow BuildRow(std::string_view name, std::uint16_t inSize, const Layout& out,
                   convert::RecordConverter converter) {
  return {.name = name,
          .inSize = inSize,
          .outSize = static_cast<std::uint16_t>(out.size),
          .converter = std::move(converter),
          .layout = &out};
}

const std::vector<RecordRow>& Rows() {
  namespace c = zq::convert;
  static const std::vector<RecordRow> rows = {
      {.name = "firm_address",
       .inSize = c::kAddressRecordSize,
       .outSize = c::kAddressRecordSize,
       .converter = c::ConvertFirmAddress,
       .layout = &c::kAddressRecord},
      {.name = "advance_payments",
       .inSize = c::kAdvancePaymentRecordSize,
       .outSize = c::kAdvancePaymentRecordSize,
       .filter = c::FilterAdvancePayment,
       .layout = &c::kAdvancePaymentRecord},
      {.name = "wage_settings",
       .inSize = c::kWageSettingsRecordSize,
       .outSize = c::kWageSettingsRecordSize,
       .filter = c::FilterWageSettings,
       .layout = &c::kWageSettings,
       .changes = {c::kWageSettings["Year"], c::kWageSettings["Monthly"]},
       .diff =
           [](Input record) {
             const shared::RecordView view(record);
             return view.Get(c::kWageSettings.Int("Mark")) == c::kWageSettingsLayout
                        ? Diff::kLoweredOrChanged
                        : Diff::kAnything;
           }},
      {.name = "dra_balance",
       .inSize = driver::kDraHeaderSize,
       .outSize = driver::kDraHeaderSize,
       .filter =
           [](std::span<std::uint8_t> header) {
             driver::ComputeDraBalance(header);
             return true;
           },
       .layout = &driver::kDraHeader,
       .changes = {driver::kDraHeader["Balance"], driver::kDraHeader["NegativePart"],
                   driver::kDraHeader["NonNegativePart"]}},
      {.name = "persons",
       .inSize = c::kPersonRecordSize,
       .outSize = c::kPersonRecordSize,
       .step =
           [](Copier& copier, std::uint8_t options, std::string_view source,
              std::string_view target) {
             c::StaffTransfer staff;
             staff.Begin(options % 3);
             c::ConvertPersons(copier, staff, source, target);
           },
       .stepConverts = true,
       .layout = &c::kPersonRecord,
       .uncut = {"Nip", "Pesel"},
       .diff = PersonDiff},
      {.name = "families",
       .inSize = c::kFamilyRecordSize,
       .outSize = c::kFamilyRecordSize,
       .step =
           [](Copier& copier, std::uint8_t options, std::string_view source,
              std::string_view target) {
             c::StaffTransfer staff;
             MoveEveryOtherKey(staff, source, c::kFamilyRecordSize, options);
             c::ConvertFamilies(copier, staff, source, target);
           },
       .stepConverts = true,
       .layout = &c::kFamilyRecord},
      {.name = "contracts",
       .inSize = c::kContractRecordSize,
       .outSize = c::kContractRecordSize,
       .step =
           [](Copier& copier, std::uint8_t options, std::string_view source,
              std::string_view target) {
             c::StaffTransfer staff;
             MoveEveryOtherKey(staff, source, c::kContractRecordSize, options);
             c::CopyContracts(copier, staff, source, target);
           },
       .layout = &c::kContractRecord},
      {.name = "pid5",
       .inSize = c::kTaxFormRecordSize,
       .outSize = c::kTaxFormRecordSize,
       .step = FormStep<c::ConvertPid5Forms>,
       .stepConverts = true,
       .layout = &c::kPid5Record,
       .diff = [](Input) { return Diff::kAnything; }},
      {.name = "pit28",
       .inSize = c::kTaxFormRecordSize,
       .outSize = c::kTaxFormRecordSize,
       .step = FormStep<c::ConvertPit28Forms>,
       .stepConverts = true,
       .layout = &c::kPit28Record,
       .diff = [](Input) { return Diff::kAnything; }},
      BuildRow("ledger_entries", c::kOldEntrySize, c::kEntry, ConvertLedgerEntry),
      BuildRow("repayments", c::kRepaymentSize, c::kRepayment,
               [](std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
                 return c::ConvertRepayment(Side().log, in, out);
               }),
      BuildRow("payroll", c::kOldPayrollSize, c::kPayroll, c::ConvertPayroll),
      BuildRow("address_base", c::kAddressBaseRecordSize, c::kAddressBase,
               [](std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
                 return c::ConvertAddress(in, out, false);
               }),
      BuildRow("tax_office_base", c::kAddressBaseRecordSize, c::kTaxOfficeBase,
               [](std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
                 return c::ConvertAddress(in, out, true);
               }),
      BuildRow("office_data", c::kOfficeDataRecordSize, c::kOfficeData, c::ConvertOfficeData),
      BuildRow("automation", c::kAutomationOldSize, c::kAutomation, c::ConvertAutomation),
      {.name = "transfers",
       .inSize = c::kTransferRecordSize,
       .outSize = c::kTransferRecordSize,
       .converter = c::ConvertTransfer,
       .layout = &c::kTransfer,
       // Two readings of one title block, only the one the record's kind names is cut.
       .uncut = {"TitleLines", "TitleCode"}},
      BuildRow("internal_documents", c::kInternalDocumentSize, c::kInternalDocument,
               c::ConvertInternalDocument),
      BuildRow("notes", c::kNoteRecordSize, c::kNote, c::ConvertNote),
      {.name = "operators",
       .inSize = c::kOperatorRecordSize,
       .outSize = c::kOperatorRecordSize,
       .step = [](Copier& copier, std::uint8_t, std::string_view source,
                  std::string_view target) { c::CopyOperators(copier, source, target); },
       .layout = &c::kOperator,
       .changes = {c::kOperator["Rights"]},
       // Scrambled: a lowered length byte or a granted right shows as any other byte.
       .diff = [](Input) { return Diff::kLengthBytes; }},
      CutRow("interest_lists", c::kInterestList, c::FilterInterestList),
      CutRow("vehicles", c::kVehicle, c::FilterVehicle),
      CutRow("one_off_assets", c::kOneOffAsset, c::FilterOneOffAsset),
      CutRow("fixed_assets", c::kFixedAsset, c::FilterFixedAsset),
      CutRow("asset_settings", c::kAssetSettings, c::FilterAssetSettings),
      {.name = "asset_bases",
       .inSize = c::kAssetBaseRecordSize,
       .outSize = c::kAssetBaseRecordSize,
       .filter = c::FilterAssetBase,
       .layout = &c::kAssetBase,
       // The name of the base's file is read where it is used, never cut.
       .uncut = {"BaseName"}},
      CutRow("mileage_settings", c::kMileageSettings, c::FilterMileageSettings),
      CutRow("mileage_addresses", c::kMileageAddress, c::FilterMileageAddress),
      CutRow("cars", c::kCar, c::FilterCar),
      CutRow("route_costs", c::kRouteCost, c::FilterRouteCost),
      CutRow("trips", c::kTrip, c::FilterTrip),
  };
  return rows;
}

std::string Where(const RecordRow& row, std::size_t record) {
  return std::string(row.name) + " record " + std::to_string(record);
}

// The Text fields of the row's output layout that are cut, element by element.
std::vector<Field> CutTexts(const RecordRow& row) {
  std::vector<Field> texts;
  if (row.layout == nullptr) return texts;
  for (const Field& f : row.layout->fields) {
    if (f.kind != Kind::Text) continue;
    if (std::find(row.uncut.begin(), row.uncut.end(), f.name) != row.uncut.end()) continue;
    for (std::size_t i = 0; i < f.count; ++i) texts.push_back(f.At(i));
  }
  return texts;
}

bool InsideChanges(const RecordRow& row, std::size_t at) {
  for (const Field& f : row.changes)
    for (std::size_t i = 0; i < f.count; ++i) {
      const Field e = f.At(i);
      if (at >= e.offset && at < e.End()) return true;
    }
  return false;
}

void CheckTextsFit(const RecordRow& row, Input out, std::size_t record) {
  for (const Field& t : CutTexts(row))
    if (t.offset < out.size())
      ZQ_CHECK(out[t.offset] <= t.Capacity(),
               Where(row, record) + ": text " + std::string(t.name) + " longer than its field");
}

void CheckDiff(const RecordRow& row, Input in, Input out, std::size_t record) {
  const Diff rule = row.diff ? row.diff(in) : Diff::kLoweredOrChanged;
  // A scrambled record's length bytes are noise.
  if (rule != Diff::kLengthBytes) CheckTextsFit(row, out, record);
  if (rule == Diff::kAnything) return;
  const std::vector<Field> texts = CutTexts(row);
  for (std::size_t at = 0; at < std::min(in.size(), out.size()); ++at) {
    if (in[at] == out[at] || InsideChanges(row, at)) continue;
    auto text =
        std::find_if(texts.begin(), texts.end(), [&](const Field& t) { return t.offset == at; });
    ZQ_CHECK(text != texts.end(),
             Where(row, record) + ": byte " + std::to_string(at) + " changed outside its fields");
    if (rule == Diff::kLoweredOrChanged)
      ZQ_CHECK(in[at] > text->Capacity() && out[at] == text->Capacity(),
               Where(row, record) + ": length byte of " + std::string(text->name) +
                   " changed but not lowered to its field");
  }
}

// Whether `out` may be what the row made of `in`.
bool Matches(const RecordRow& row, Input in, Input out) {
  if (in.size() != out.size()) return false;
  const Diff rule = row.diff ? row.diff(in) : Diff::kLoweredOrChanged;
  if (rule == Diff::kAnything) return true;
  const std::vector<Field> texts = CutTexts(row);
  for (std::size_t at = 0; at < in.size(); ++at) {
    if (in[at] == out[at] || InsideChanges(row, at)) continue;
    if (std::none_of(texts.begin(), texts.end(), [&](const Field& t) { return t.offset == at; }))
      return false;
  }
  return true;
}

constexpr std::uint8_t kGarbage = 0xA5;
constexpr std::size_t kMargin = 64;

// The function of a plain row on one record, in an exact buffer and amid garbage; both
// must agree. Gives whether the record is kept and the output record.
bool RunPlain(const RecordRow& row, Input record, std::vector<std::uint8_t>& out,
              std::size_t index) {
  std::vector<std::uint8_t> exactIn(record.begin(), record.end());
  std::vector<std::uint8_t> wideIn(kMargin, kGarbage);
  wideIn.insert(wideIn.end(), record.begin(), record.end());
  wideIn.insert(wideIn.end(), kMargin, kGarbage);
  bool kept, keptWide;
  std::vector<std::uint8_t> wideOut(row.outSize + 2 * kMargin, kGarbage);
  std::span<std::uint8_t> middle(wideOut.data() + kMargin, row.outSize);
  if (row.converter) {
    out.assign(row.outSize, 0);
    kept = row.converter(exactIn, out);
    std::fill(middle.begin(), middle.end(), 0);
    keptWide = row.converter(std::span<const std::uint8_t>(wideIn.data() + kMargin, record.size()),
                             middle);
  } else {
    kept = row.filter(exactIn);
    out = exactIn;
    std::copy(record.begin(), record.end(), middle.begin());
    keptWide = row.filter(middle);
  }
  ZQ_CHECK(kept == keptWide, Where(row, index) + ": kept or not by what lies around it");
  ZQ_CHECK(std::equal(out.begin(), out.end(), middle.begin()),
           Where(row, index) + ": output depends on bytes outside the record");
  ZQ_CHECK(std::all_of(wideOut.begin(), wideOut.begin() + kMargin,
                       [](std::uint8_t b) { return b == kGarbage; }) &&
               std::all_of(wideOut.end() - kMargin, wideOut.end(),
                           [](std::uint8_t b) { return b == kGarbage; }),
           Where(row, index) + ": written outside the output record");
  ZQ_CHECK(std::all_of(wideIn.begin(), wideIn.begin() + kMargin,
                       [](std::uint8_t b) { return b == kGarbage; }),
           Where(row, index) + ": input buffer changed");
  return kept;
}

void RunRow(const RecordRow& row, Input data) {
  std::uint8_t options = 0;
  if (row.step != nullptr && !data.empty()) {
    options = data[0];
    data = data.subspan(1);
  }
  Tree& tree = FreshTree();
  tree.MakeDirectory("S");
  tree.MakeDirectory("T");
  const std::string file = AsString(data);
  tree.Write("S/IN.REK", file);
  const std::string source = tree.Prefix() + "S/IN.REK";
  const std::string target = tree.Prefix() + "T/OUT.REK";

  Rig rig;
  tui::Screen screen(rig.platform);
  convert::ProgressLog log(screen);
  Copier copier(screen, log);
  // Answers for the questions: carry, leave, carry all, in turn.
  std::string answers;
  for (std::size_t i = 0; i < 2 * (data.size() / row.inSize + 2); ++i)
    answers += "TNTW"[(i + options) % 4];
  rig.PushAnswers(std::span(reinterpret_cast<const std::uint8_t*>(answers.data()), answers.size()));
  try {
    if (row.step != nullptr)
      row.step(copier, options, source, target);
    else if (row.converter)
      copier.ConvertRecords(source, target, row.inSize, row.outSize, row.converter);
    else
      copier.CopyRecords(source, target, row.inSize, row.filter);
  } catch (const platform::ScriptExhausted&) {
    // More questions than answers: what was written so far is still looked at.
  }

  std::string after;
  ZQ_CHECK(tree.Read("S/IN.REK", after) && after == file,
           std::string(row.name) + ": source changed");
  std::string written;
  if (!tree.Read("T/OUT.REK", written)) return;
  const bool converts = row.step != nullptr ? row.stepConverts : static_cast<bool>(row.converter);
  const std::size_t tail = data.size() % row.inSize;
  if (converts)
    ZQ_CHECK(written.size() % row.outSize == 0, std::string(row.name) + ": target of " +
                                                    std::to_string(written.size()) +
                                                    " bytes is no whole number of records");
  else
    ZQ_CHECK(written.size() % row.inSize == 0 || written.size() % row.inSize == tail,
             std::string(row.name) + ": target ends with a record of a size it was not given");

  // The source records as the copy primitives hand them over: the short tail padded.
  std::vector<std::vector<std::uint8_t>> records;
  for (std::size_t at = 0; at < data.size(); at += row.inSize) {
    std::vector<std::uint8_t> r(row.inSize, 0);
    const std::size_t n = std::min<std::size_t>(row.inSize, data.size() - at);
    std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(at), n, r.begin());
    records.push_back(std::move(r));
  }
  const auto outBytes =
      std::span(reinterpret_cast<const std::uint8_t*>(written.data()), written.size());
  const std::size_t outRecord = converts ? row.outSize : row.inSize;

  if (row.step == nullptr) {
    // Record for record what the function gives.
    std::size_t at = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
      std::vector<std::uint8_t> out;
      if (!RunPlain(row, records[i], out, i)) continue;
      if (!converts)
        CheckDiff(row, records[i], out, i);
      else
        CheckTextsFit(row, out, i);
      const std::size_t n = !converts && i + 1 == records.size() && tail != 0 ? tail : out.size();
      ZQ_CHECK(at + n <= outBytes.size() &&
                   std::equal(out.begin(), out.begin() + n, outBytes.begin() + at),
               Where(row, i) + ": the target holds another record than the function gave");
      at += n;
    }
    ZQ_CHECK(at == outBytes.size(),
             std::string(row.name) + ": the target holds more than was kept");
    return;
  }
  // A step: its records are a selection of the source records in their order, each
  // changed only as its row allows.
  std::size_t next = 0;
  for (std::size_t at = 0, k = 0; at < outBytes.size(); at += outRecord, ++k) {
    Input out = outBytes.subspan(at, std::min(outRecord, outBytes.size() - at));
    // A copy may end with the short tail it was given: it matches that much of its source.
    auto source = [&](std::size_t i) {
      return Input(records[i]).first(std::min(records[i].size(), out.size()));
    };
    while (next < records.size() && !Matches(row, source(next), out)) ++next;
    ZQ_CHECK(next < records.size(), Where(row, k) + ": no source record it could come from");
    CheckDiff(row, source(next), out, k);
    ++next;
  }
}

// One target per row, registered when the program starts.
[[maybe_unused]] const bool registered = [] {
  for (const RecordRow& row : Rows())
    Targets().push_back(
        {"records." + std::string(row.name), [&row](Input data) { RunRow(row, data); }});
  return true;
}();

}  // namespace
}  // namespace zq::fuzz
