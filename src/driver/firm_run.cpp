#include "driver/firm_run.h"

#include <algorithm>
#include <array>
#include <exception>
#include <memory>

#include "convert/annual.h"
#include "convert/buffered_io.h"
#include "convert/modules.h"
#include "driver/discovery.h"
#include "platform/cp852.h"
#include "platform/text_file.h"
#include "shared/firm_list_file.h"
#include "tui/message.h"
#include "tui/polish.h"

namespace zq::driver {

using zq::operator""_pl;

namespace {

using convert::CopyStatus;
using platform::File;

constexpr shared::IntField kMarkerYearField = kFirmMarker.Int("Year");
constexpr shared::IntField kMarkerFromYear = kFirmMarker.Int("FromYear");
constexpr shared::IntField kMarkerToYear = kFirmMarker.Int("ToYear");
constexpr shared::IntField kMarkerFlag = kFirmMarker.Int("Flag");

constexpr shared::RealField kDraA = kDraHeader.Real("AmountA");
constexpr shared::RealField kDraB = kDraHeader.Real("AmountB");
constexpr shared::RealField kDraC = kDraHeader.Real("AmountC");
constexpr shared::RealField kDraD = kDraHeader.Real("AmountD");
constexpr shared::RealField kDraE = kDraHeader.Real("AmountE");
constexpr shared::RealField kDraBalance = kDraHeader.Real("Balance");
constexpr shared::RealField kDraNegative = kDraHeader.Real("NegativePart");
constexpr shared::RealField kDraNonNegative = kDraHeader.Real("NonNegativePart");

// Files that a find may return: every kind but directories, or directories too.
constexpr std::uint32_t kFileAttributes = platform::kAttrReadOnly | platform::kAttrHidden |
                                          platform::kAttrSystem | platform::kAttrArchive;
constexpr std::uint32_t kAnyAttributes = kFileAttributes | platform::kAttrDirectory;

std::string Cat(std::initializer_list<std::string_view> parts) {
  std::string s;
  for (std::string_view p : parts) s += p;
  return s;
}

// Reads until `size` bytes have come or the file ends.
bool ReadFull(File& file, void* buffer, std::size_t size, std::size_t& got, int& error) {
  got = 0;
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  while (got < size) {
    std::size_t done = 0;
    if (!file.Read(bytes + got, size - got, done, error)) return false;
    if (done == 0) break;
    got += done;
  }
  return true;
}

bool CloseFile(std::unique_ptr<File>& file) {
  if (!file) return true;
  int error = 0;
  bool ok = file->Close(error);
  file.reset();
  return ok;
}

struct Found {
  std::string name;
  std::uint32_t attributes = 0;
};

// The whole listing first, so that what the copies create cannot change it.
std::vector<Found> FindAll(platform::Files& files, const std::string& pattern, std::uint32_t mask) {
  std::vector<Found> found;
  platform::FindData data;
  int error = 0;
  std::unique_ptr<platform::FindHandle> find = files.FindFirst(pattern, mask, data, error);
  if (!find) return found;
  do found.push_back({data.name, data.attributes});
  while (find->Next(data));
  return found;
}

// A host may hold names that the program would read as a path ("..\x" on a POSIX
// disk): such a file is left where it is, so that nothing outside the firm directories
// is read or written.
bool SafeFoundName(FirmContext& firm, const std::string& name) {
  if (IsPlainFileName(name)) return true;
  firm.Log().AlertLn(convert::kColourWarning,
                     Cat({"Pominięto plik o niedozwolonej nazwie "_pl, name}));
  ++firm.errors;
  return false;
}

// The folder part of "_2020\*.kst" and the rest.
std::pair<std::string_view, std::string_view> SplitFolder(std::string_view pattern) {
  std::size_t slash = pattern.find_last_of("\\/");
  if (slash == std::string_view::npos) return {{}, pattern};
  return {pattern.substr(0, slash), pattern.substr(slash + 1)};
}

std::string Padded(std::string_view text, std::size_t width) {
  std::string s(text);
  if (s.size() < width) s.append(width - s.size(), ' ');
  return s;
}

// The DRA item writes its entries one after another on one line; an entry that would
// not fit in what is left of the line starts the next one, so none is cut off unseen.
class DraLine {
 public:
  explicit DraLine(convert::ProgressLog& log) : log_(log) {}
  ~DraLine() { End(); }
  void Write(std::string_view text, std::uint8_t colour = 0) {
    int room = convert::ProgressLog::kLastColumn + 1 - log_.Column();
    if (log_.Column() > 1 && static_cast<int>(text.size()) > room) log_.WriteLn();
    if (colour != 0) log_.Color(colour);
    log_.Write(text);
  }
  void End() {
    if (log_.Column() > 1) log_.WriteLn();
  }

 private:
  convert::ProgressLog& log_;
};

void ConvertOneDeclaration(FirmContext& firm, DraLine& line, int number, const std::string& name) {
  platform::Files& files = firm.Files();
  line.Write(Cat({std::to_string(number), ". :", name}));
  std::string targetName = name;
  targetName[5] = '5';
  const std::string source = firm.SourcePath(name);
  const std::string target = firm.TargetPath(targetName);

  int error = 0;
  std::unique_ptr<File> in = files.Open(source, platform::kRead, platform::kShareReadWrite,
                                        platform::Disposition::kOpenExisting, error);
  if (!in) {
    line.Write("- Błąd dostępu do pliku !"_pl, convert::kColourError);
    ++firm.errors;
    return;
  }
  // The header is read before the target is made, so that a declaration cut short
  // leaves no empty new-form file behind.
  std::array<std::uint8_t, kDraHeaderSize> header{};
  std::size_t got = 0;
  if (!ReadFull(*in, header.data(), header.size(), got, error) || got < header.size()) {
    line.Write("- Błąd odczytu !"_pl, convert::kColourError);
    ++firm.errors;
    CloseFile(in);
    return;
  }
  std::unique_ptr<File> out;
  if (!files.SameObject(source, target))
    out = files.Open(target, platform::kWrite, platform::kShareRead,
                     platform::Disposition::kCreateAlways, error);
  if (!out) {
    line.Write(Cat({"- Błąd utworzenia pliku "_pl, targetName, " !"}), convert::kColourError);
    ++firm.errors;
    CloseFile(in);
    return;
  }
  ComputeDraBalance(header);
  // The attachments go through buffers: a declaration holds one per insured person.
  convert::BufferedReader reader(*in);
  convert::BufferedWriter writer(*out);
  // The header on its own, so that a failure there is told apart from the attachments'.
  bool written = writer.Write(header.data(), header.size(), error) && writer.Flush(error);
  if (!written) {
    line.Write(Cat({"- Błąd zapisu DRA5 do "_pl, targetName, " !"}), convert::kColourError);
    ++firm.errors;
  }
  std::array<std::uint8_t, kDraBlockSize> block{};
  bool attachmentFailed = false;
  while (written) {
    if (!reader.Read(block.data(), block.size(), got, error)) {
      line.Write("- Błąd odczytu !"_pl, convert::kColourError);
      ++firm.errors;
      break;
    }
    if (got < block.size()) {
      if (got > 0) {
        line.End();
        firm.Log().AlertLn(convert::kColourWarning,
                           Cat({"Pominięto niepełny załącznik ("_pl, std::to_string(got),
                                " B) na końcu pliku "_pl, name}));
      }
      break;
    }
    if (!writer.Write(block.data(), block.size(), error)) {
      attachmentFailed = true;
      break;
    }
  }
  // What is still buffered belongs to the attachments.
  if (written && (!writer.Flush(error) || attachmentFailed)) {
    line.Write(Cat({"- Błąd zapisu załacznika do DRA5 do "_pl, targetName, " !"}),
               convert::kColourError);
    ++firm.errors;
  }
  CloseFile(in);
  if (!CloseFile(out) && written) {
    line.Write(Cat({"- Błąd zapisu DRA5 do "_pl, targetName, " !"}), convert::kColourError);
    ++firm.errors;
  }
}

// The Target firm list holds this directory already (a firm carried by an earlier run
// whose directory has since gone, or listed by hand).
bool Listed(shared::FirmListFile& list, std::string_view directory) {
  std::int64_t records = 0;
  if (!list.Size(records) || records <= 0) return false;
  const std::string key = tui::UpperText(directory);
  // The whole list in one read (2048 firms are 206 KB); record by record when that fails.
  std::vector<std::uint8_t> all(static_cast<std::size_t>(records) * shared::kFirmRecordSize);
  bool whole = list.ReadRange(0, all);
  shared::FirmRecordBytes record{};
  for (std::int64_t i = 0; i < records; ++i) {
    if (whole) {
      std::copy_n(all.begin() + i * static_cast<std::int64_t>(record.size()), record.size(),
                  record.begin());
    } else if (!list.ReadAt(i, record)) {
      continue;
    }
    if (tui::UpperText(shared::RecordView(record).Get(shared::kFirmDirectory)) == key) return true;
  }
  return false;
}

// The firm's preconditions and its marker; false when the firm's run ends here.
bool PrepareFirm(FirmContext& firm) {
  RunState& run = firm.run;
  convert::Copier& copier = firm.Copier();
  convert::ProgressLog& log = firm.Log();
  platform::Files& files = firm.Files();

  if (!IsUsableFirmDirectory(firm.directory)) {
    log.AlertLn(convert::kColourError,
                Cat({"Niepoprawna nazwa katalogu firmy: "_pl, firm.directory}));
    copier.WaitKey();
    return false;
  }

  const std::string annual2019 = firm.SourcePath(convert::kAnnual2019FileName);
  const std::string annual2020 = firm.SourcePath(convert::kAnnual2020FileName);
  if (copier.FileSizeOf(annual2019) < 1) {
    log.WriteLn(Cat({"Brak :", annual2019}));
    if (copier.FileSizeOf(annual2020) < 1) {
      log.WriteLn(Cat({"Brak :", annual2020}));
      log.WriteLn();
      log.AlertLn(convert::kColourError, "Brak danych za rok 2019 czy 2020");
      log.AlertLn(convert::kColourError, "Nie można dokonać konwersji ..."_pl);
      copier.WaitKey();
      return false;
    }
  }

  const std::string sourceMarker = firm.SourcePath(kFirmMarkerName);
  std::array<std::uint8_t, kFirmMarkerSize> marker{};
  int error = 0;
  std::unique_ptr<File> in = files.Open(sourceMarker, platform::kRead, platform::kShareReadWrite,
                                        platform::Disposition::kOpenExisting, error);
  if (!in) {
    log.AlertLn(convert::kColourError, Cat({"Brak dostepu do ", sourceMarker}));
    copier.WaitKey();
    return false;
  }
  std::size_t got = 0;
  if (!ReadFull(*in, marker.data(), marker.size(), got, error) || got < marker.size()) {
    log.AlertLn(convert::kColourError, Cat({"Błąd odczytu danych z "_pl, sourceMarker}));
    CloseFile(in);
    copier.WaitKey();
    return false;
  }
  CloseFile(in);

  // Writing into a Target firm directory that is the Source one under another spelling
  // would change the previous year's data.
  if (copier.DirExists(firm.targetDir) && files.SameObject(firm.sourceDir, firm.targetDir)) {
    log.AlertLn(convert::kColourError,
                Cat({"Katalog docelowy firmy jest katalogiem źródłowym: "_pl, firm.targetDir}));
    copier.WaitKey();
    return false;
  }
  if (!copier.DirExists(firm.targetDir) && !files.MakeDirectory(firm.targetDir, error)) {
    tui::ErrorBox(run.screen, Cat({"\x03", "Utworzenia katalogu firmy", "\r\x03",
                                   run.options.targetTree, firm.directory}));
    return false;
  }

  copier.SlowPause();
  log.WriteLn("Kopiowanie właściwe"_pl);

  const std::string targetMarker = firm.TargetPath(kFirmMarkerName);
  std::unique_ptr<File> out = files.Open(targetMarker, platform::kWrite, platform::kShareRead,
                                         platform::Disposition::kCreateAlways, error);
  if (!out) {
    log.AlertLn(convert::kColourError, Cat({"Brak dostępu do "_pl, targetMarker}));
    copier.WaitKey();
    return false;
  }
  shared::RecordRef record{std::span<std::uint8_t>(marker)};
  record.Set(kMarkerYearField, kMarkerYear);
  record.Set(kMarkerFromYear, kMarkerYear);
  record.Set(kMarkerToYear, kMarkerYear);
  record.Set(kMarkerFlag, 1);
  bool written = platform::WriteAll(*out, marker.data(), marker.size(), error);
  // A marker whose close fails may not be on disk: the firm would look carried.
  if (!CloseFile(out)) written = false;
  if (!written) {
    log.AlertLn(convert::kColourError, Cat({"Błąd zapisu danych do "_pl, targetMarker}));
    copier.WaitKey();
    return false;
  }
  return true;
}

void ConvertAnnual(FirmContext& firm) {
  RunState& run = firm.run;
  convert::AnnualResult annual =
      convert::ConvertAnnualSettings({.screen = run.screen,
                                      .copier = run.copier,
                                      .sourceFirmDir = firm.sourceDir,
                                      .targetFirmDir = firm.targetDir,
                                      .warnOpenDecember = run.options.warnOpenDecember,
                                      .alwaysTake2020 = firm.shared.alwaysTake2020});
  firm.annualFrom2020 = annual.annualFrom2020;
  firm.firmVatProportional = annual.firmVatProportional;
  firm.firmVatProportion = annual.firmVatProportion;
  firm.sourceFirmDir = annual.sourceFirmDir;
  if (annual.proportionRefused) {
    firm.Log().AlertLn(convert::kColourError,
                       "Brak proporcji VAT - firma nie zostanie dopisana do spisu firm"_pl);
    ++firm.errors;
    firm.ended = true;
  }
  firm.ledger.vatProportional = annual.firmVatProportional != 0;
  firm.ledger.vatProportion = annual.firmVatProportion;
  if (annual.outcome != convert::AnnualOutcome::kWritten) ++firm.errors;
}

}  // namespace

void ComputeDraBalance(std::span<std::uint8_t> header) {
  shared::RecordRef r(header);
  double balance = (r.Get(kDraA) - r.Get(kDraB)) + r.Get(kDraC) + r.Get(kDraD) + r.Get(kDraE);
  // Adding +0 turns a negative zero into zero, so that a zero balance is stored as one.
  balance += 0.0;
  r.Set(kDraBalance, balance);
  r.Set(kDraNegative, balance < 0 ? -balance : 0.0);
  r.Set(kDraNonNegative, balance >= 0 ? balance : 0.0);
}

bool IsPlainFileName(std::string_view name) {
  // The same rule as a firm directory: one name that stays where it is put.
  return IsUsableFirmDirectory(name);
}

void HideConvertedFile(FirmContext& firm, std::string_view sourcePath, CopyStatus conversion) {
  if (!firm.run.options.hideConverted) return;
  const std::string path(sourcePath);
  if (conversion != CopyStatus::kCopied && conversion != CopyStatus::kKept) {
    if (conversion != CopyStatus::kNoSource)
      firm.Log().AlertLn(convert::kColourWarning, Cat({"Nie zasłonięto pliku "_pl, path,
                                                       " - konwersja nie powiodła się"_pl}));
    return;
  }
  const std::string hidden = path + "~";
  int error = 0;
  if (firm.Files().Rename(path, hidden, error)) {
    firm.Log().WriteLn(Cat({"Zmiana nazwy pliku ", path, " na ", hidden}));
  } else {
    firm.Log().WriteLn(Cat({"Błąd zmiany nazwy pliku "_pl, path}));
    ++firm.errors;
  }
}

void CopyListedFile(FirmContext& firm, std::string_view entry) {
  // An empty line of the list names nothing.
  if (entry.empty()) return;
  std::size_t mark = entry.find('>');
  std::string_view from = mark == std::string_view::npos ? entry : entry.substr(0, mark);
  std::string_view to = mark == std::string_view::npos ? entry : entry.substr(mark + 1);
  if (!IsPlainFileName(from) || !IsPlainFileName(to)) {
    firm.Log().AlertLn(convert::kColourError, Cat({"Pominięto pozycję listy plików \""_pl, entry,
                                                   "\" - to nie jest nazwa pliku"}));
    ++firm.errors;
    return;
  }
  firm.Count(firm.Copier().CopyFileBytes(firm.SourcePath(from), firm.TargetPath(to)));
}

void CopyMatchingFiles(FirmContext& firm, std::string_view pattern) {
  for (const Found& f : FindAll(firm.Files(), firm.SourcePath(pattern), kAnyAttributes)) {
    if (!SafeFoundName(firm, f.name)) continue;
    firm.Count(firm.Copier().CopyFileBytes(firm.SourcePath(f.name), firm.TargetPath(f.name)));
  }
}

void ConvertDra5Declarations(FirmContext& firm) {
  DraLine line(firm.Log());
  int number = 0;
  for (const Found& f :
       FindAll(firm.Files(), firm.SourcePath(kDraSourcePattern), kFileAttributes)) {
    if (f.attributes & platform::kAttrDirectory) continue;
    if (f.name.size() < 6) continue;
    if (!IsPlainFileName(f.name)) {
      line.End();
      SafeFoundName(firm, f.name);
      continue;
    }
    ConvertOneDeclaration(firm, line, ++number, f.name);
  }
}

void CopyAssetBases(FirmContext& firm) {
  convert::Copier& copier = firm.Copier();
  convert::ProgressLog& log = firm.Log();
  const std::string list = firm.SourcePath(convert::kAssetBaseListFileName);
  const std::int64_t size = copier.FileSizeOf(list);
  if (size < 1) return;
  int error = 0;
  std::unique_ptr<File> in = firm.Files().Open(list, platform::kRead, platform::kShareReadWrite,
                                               platform::Disposition::kOpenExisting, error);
  if (!in) {
    log.AlertLn(convert::kColourError, Cat({"Błąd otwarcia pliku "_pl, list}));
    ++firm.errors;
    return;
  }
  // The names are read first and the list closed, so that no file stays open while the
  // bases are copied.
  struct Base {
    std::string name;
    bool fits = true;  // a longer name would run into the next text of the record
  };
  std::vector<Base> bases;
  std::array<std::uint8_t, convert::kAssetBaseRecordSize> record{};
  const std::int64_t records = size / convert::kAssetBaseRecordSize;
  for (std::int64_t i = 0; i < records; ++i) {
    std::size_t got = 0;
    if (!ReadFull(*in, record.data(), record.size(), got, error) || got < record.size()) {
      log.AlertLn(convert::kColourError, Cat({"Błąd odczytu danych z "_pl, list}));
      ++firm.errors;
      break;
    }
    const shared::RecordView view{std::span<const std::uint8_t>(record)};
    bases.push_back({view.Get(convert::kAssetBaseName),
                     record[convert::kAssetBaseName.offset] <= convert::kAssetBaseName.Capacity()});
  }
  CloseFile(in);
  if (size % convert::kAssetBaseRecordSize != 0)
    log.AlertLn(convert::kColourWarning,
                Cat({"Pominięto niepełny ostatni rekord pliku "_pl, list}));

  std::vector<std::string> done{tui::UpperText(convert::kMainAssetBase)};
  for (const auto& [name, fits] : bases) {
    // An empty slot of the list names no base.
    if (name.empty() && fits) continue;
    const std::string file = name + ".REK";
    if (!fits || !IsPlainFileName(name) || !IsPlainFileName(file)) {
      log.AlertLn(
          convert::kColourWarning,
          Cat({"Pominięto bazę środków trwałych o niedozwolonej nazwie \""_pl, name, "\""}));
      ++firm.errors;
      continue;
    }
    // The main base has an item of its own, and a base listed twice is one file.
    const std::string key = tui::UpperText(name);
    if (std::find(done.begin(), done.end(), key) != done.end()) continue;
    done.push_back(key);
    firm.Count(copier.CopyRecords(firm.SourcePath(file), firm.TargetPath(file),
                                  convert::kFixedAssetRecordSize, convert::FilterFixedAsset));
  }
}

void CopyYearFolder(FirmContext& firm, std::string_view pattern, std::uint16_t size,
                    const convert::RecordFilter& filter) {
  auto [folder, names] = SplitFolder(pattern);
  for (const Found& f : FindAll(firm.Files(), firm.SourcePath(pattern), kAnyAttributes)) {
    if (f.attributes & platform::kAttrDirectory) continue;
    if (!SafeFoundName(firm, f.name)) continue;
    const std::string inFolder = Cat({folder, "\\", f.name});
    if (firm.folderPending) {
      const std::string target = firm.TargetPath(folder);
      int error = 0;
      // A folder that is there already is the one to copy into.
      if (!firm.Files().MakeDirectory(target, error) && !firm.Copier().DirExists(target)) {
        firm.Log().AlertLn(convert::kColourError, Cat({"Błąd utworzenia folderu "_pl, target}));
        ++firm.errors;
        return;
      }
      firm.folderPending = false;
    }
    firm.Count(firm.Copier().CopyRecords(firm.SourcePath(inFolder), firm.TargetPath(inFolder), size,
                                         filter));
  }
  (void)names;
}

std::string ChooseRecordSource(FirmContext& firm, std::string_view name2020,
                               std::string_view name2019) {
  convert::Copier& copier = firm.Copier();
  std::string path2020 = firm.SourcePath(name2020);
  std::string path2019 = firm.SourcePath(name2019);
  if (copier.FileSizeOf(path2020) < 1) return path2019;
  if (firm.annualFrom2020 || copier.FileSizeOf(path2019) < 1) return path2020;
  return copier.AskOverwrite(name2020) ? path2020 : path2019;
}

void ConvertMonths(FirmContext& firm, const MonthLoop& loop) {
  convert::Copier& copier = firm.Copier();
  struct AppendReset {
    convert::Copier& copier;
    ~AppendReset() { copier.appendMode = false; }
  } reset{copier};
  for (int m = 1; m <= 12; ++m) {
    copier.appendMode = m == 1;
    const std::string suffix = "." + std::to_string(m);
    for (const MonthFile* file : {&loop.entries, &loop.repayments}) {
      if (file->sourceStem.empty()) continue;
      const std::string source = firm.SourcePath(Cat({file->sourceStem, suffix}));
      if (copier.FileSizeOf(source) < 1) continue;
      firm.Log().WriteLn(Cat({file->label, Padded(MonthName(m), 11)}));
      CopyStatus status = copier.ConvertRecords(
          source, firm.TargetPath(Cat({file->targetStem, suffix})), file->inSize, file->outSize,
          ConverterOf(firm, file->converter, file->firmConverter));
      firm.Count(status);
      // The repayments share one line; what follows starts a line of its own.
      if (firm.Log().Column() > 1) firm.Log().WriteLn();
      HideConvertedFile(firm, source, status);
    }
  }
}

FirmResult ConvertFirm(RunState& run, FirmRunShared& shared, std::string_view directory) {
  return ConvertFirm(run, shared, directory, FirmItems());
}

FirmResult ConvertFirm(RunState& run, FirmRunShared& shared, std::string_view directory,
                       std::span<const FirmItem> items) {
  FirmContext firm(run, shared, directory);
  // One listing of each directory for the whole firm: whatever another program put in
  // the firm's directories before this point is seen under any case.
  platform::ListingHold listings(firm.Files());
  FirmResult result;
  auto report = [&] {
    result.errors = firm.errors;
    result.notCarried = firm.staff.notCarried;
    result.annualFrom2020 = firm.annualFrom2020;
    result.firmVatProportional = firm.firmVatProportional;
    result.firmVatProportion = firm.firmVatProportion;
    return result;
  };
  if (!PrepareFirm(firm)) return report();
  ConvertAnnual(firm);
  if (!firm.ended) RunFirmItems(firm, items);
  if (firm.ended) return report();

  std::string end = "Koniec konwersji danych firmy";
  if (firm.errors > 0) end += Cat({" - błędów: "_pl, std::to_string(firm.errors)});
  if (firm.staff.notCarried > 0)
    end += Cat({" - nieprzeniesione rodziny/umowy: "_pl, std::to_string(firm.staff.notCarried)});
  if (firm.errors > 0)
    run.log.Color(convert::kColourError);
  else if (firm.staff.notCarried > 0)
    run.log.Color(convert::kColourWarning);
  run.log.WriteLn(end);
  if (run.options.stopPerFirm) {
    run.log.Write("cdn - naciśnij dowolny klawisz."_pl);
    run.copier.WaitKey();
  }
  result.completed = true;
  return report();
}

FirmRunSummary ConvertSelectedFirms(RunState& run, FirmList& firms) {
  return ConvertSelectedFirms(run, firms, FirmItems());
}

FirmRunSummary ConvertSelectedFirms(RunState& run, FirmList& firms,
                                    std::span<const FirmItem> items) {
  FirmRunSummary summary;
  // With every firm deselected there is nothing to add, and the Target firm list is
  // left as it is (not even created).
  if (firms.SelectedCount() == 0) return summary;
  convert::ProgressLog& log = run.log;
  const std::string listPath = run.options.targetTree + run.firmListName;
  // Opened as it is, created only when missing: the firms already carried stay listed.
  shared::FirmListFile list(run.sharedFiles, listPath);
  if (!list.Open(tui::WaitMode::kAsk, tui::SharedFile::How::kOpen)) {
    tui::ErrorBox(run.screen, Cat({"\x03", "Brak dostepu do pliku", "\r\x03", listPath}));
    summary.listNotOpened = true;
    summary.listPath = listPath;
    return summary;
  }
  FirmRunShared shared;
  for (Firm& entry : firms) {
    if (!entry.selected) continue;
    const std::string name = entry.Name();
    const std::string directory = entry.Directory();
    // However the firm's run ends, the journal gets it whole before the next begins.
    struct JournalFirmEnd {
      RunState& run;
      const std::string& directory;
      ~JournalFirmEnd() {
        run.firmReport = nullptr;
        // A firm left by an exception is not whole: its lines wait for the program's end.
        if (std::uncaught_exceptions() > 0) return;
        NoteInJournal(run, Cat({"---- koniec firmy ", directory}));
        FlushJournal(run);
      }
    } journalFirmEnd{run, directory};
    log.Clear(true);
    log.WriteLn(Cat({"Kopiowanie  - FIRMA   : ", name}));
    log.WriteLn(Cat({"              Katalog : ", directory}));
    FirmReport& firmReport = run.report.firms.emplace_back();
    firmReport.name = name;
    firmReport.directory = directory;
    run.firmReport = &firmReport;
    FirmResult result = ConvertFirm(run, shared, directory, items);
    if (run.firmReport) run.firmReport->errors = result.errors;
    ++summary.converted;
    using Kind = FirmRunSummary::Kind;
    if (!result.completed) {
      summary.entries.push_back({Kind::kNotAdded, name, directory, result.errors});
      continue;
    }
    if (result.errors > 0)
      summary.entries.push_back({Kind::kErrors, name, directory, result.errors});
    if (result.notCarried > 0)
      summary.entries.push_back({Kind::kNotCarried, name, directory, 0, result.notCarried});
    if (Listed(list, directory)) {
      log.AlertLn(
          convert::kColourWarning,
          Cat({"Katalog "_pl, directory, " jest już w spisie firm - nie dopisano go ponownie"_pl}));
      summary.entries.push_back({Kind::kAlreadyListed, name, directory, 0});
      continue;
    }
    if (!list.InsertSorted(entry.record)) {
      log.AlertLn(convert::kColourError, Cat({"Błąd dopisania firmy do pliku "_pl, listPath}));
      run.copier.WaitKey();
      summary.entries.push_back({Kind::kNotAdded, name, directory, result.errors});
      continue;
    }
    ++summary.added;
    if (run.firmReport) run.firmReport->added = true;
  }
  list.Close();
  return summary;
}

void WriteFirmRunSummary(RunState& run, const FirmRunSummary& summary) {
  convert::ProgressLog& log = run.log;
  if (summary.listNotOpened) {
    log.AlertLn(
        convert::kColourError,
        Cat({"Nie przeniesiono żadnej firmy - brak dostępu do pliku "_pl, summary.listPath}));
    return;
  }
  if (summary.entries.empty()) return;
  log.WriteLn();
  log.WriteLn(Cat({"Dopisano do spisu firm: "_pl, std::to_string(summary.added), " z ",
                   std::to_string(summary.converted)}));
  using Kind = FirmRunSummary::Kind;
  for (const FirmRunSummary::Entry& e : summary.entries) {
    const std::string firm = Cat({e.name, " (", e.directory, ")"});
    switch (e.kind) {
      case Kind::kNotAdded:
        log.AlertLn(convert::kColourError, Cat({"Nie dopisano do spisu firm: "_pl, firm}));
        break;
      case Kind::kErrors:
        log.AlertLn(convert::kColourError,
                    Cat({"Błędy ("_pl, std::to_string(e.errors), ") w danych firmy: ", firm}));
        break;
      case Kind::kAlreadyListed:
        log.AlertLn(convert::kColourWarning, Cat({"Była już w spisie firm: "_pl, firm}));
        break;
      case Kind::kNotCarried:
        log.AlertLn(convert::kColourWarning,
                    Cat({"Nieprzeniesione rodziny/umowy ("_pl, std::to_string(e.notCarried),
                         ") w danych firmy: ", firm}));
        break;
    }
  }
}

}  // namespace zq::driver
