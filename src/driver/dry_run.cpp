#include "driver/dry_run.h"

#include <vector>

#include "driver/global_copy.h"
#include "driver/run_state.h"
#include "platform/cp852.h"
#include "tui/polish.h"

namespace zq::driver {

namespace {

using zq::operator""_pl;

constexpr std::uint32_t kEverything =
    platform::kAttrDirectory | platform::kAttrHidden | platform::kAttrSystem;

// Upper case with '\' separators and no separator at the end: two spellings of one
// path compare equal, as the hosts' lookups without regard to case take them.
std::string Key(std::string_view path) {
  std::string key = tui::UpperText(path);
  for (char& c : key)
    if (c == '/') c = '\\';
  while (key.size() > 1 && key.back() == '\\') key.pop_back();
  return key;
}

// Whether `key` is `root` or lies below it.
bool Under(const std::string& key, const std::string& root) {
  if (root.empty() || !key.starts_with(root)) return false;
  return key.size() == root.size() || key[root.size()] == '\\';
}

bool IsDots(const std::string& name) {
  return name == "." || name == "..";
}

bool CopyWhole(platform::Files& files, const std::string& from, const std::string& to) {
  int error = 0;
  auto in = files.Open(from, platform::kRead, platform::kShareReadWrite,
                       platform::Disposition::kOpenExisting, error);
  if (!in) return false;
  auto out = files.Open(to, platform::kWrite, platform::kShareNone,
                        platform::Disposition::kCreateNew, error);
  if (!out) return false;
  std::vector<char> buffer(64 * 1024);
  for (;;) {
    std::size_t got = 0;
    if (!in->Read(buffer.data(), buffer.size(), got, error)) return false;
    if (got == 0) break;
    std::size_t done = 0;
    while (done < got) {
      std::size_t put = 0;
      if (!out->Write(buffer.data() + done, got - done, put, error) || put == 0) return false;
      done += put;
    }
  }
  in->Close(error);
  return out->Close(error);
}

// The entries of a directory, dots left out.
std::vector<platform::FindData> Entries(platform::Files& files, const std::string& directory) {
  std::vector<platform::FindData> entries;
  platform::FindData data;
  int error = 0;
  auto find = files.FindFirst(directory + "\\*", kEverything, data, error);
  if (!find) return entries;
  do {
    if (!IsDots(data.name)) entries.push_back(data);
  } while (find->Next(data));
  return entries;
}

bool CopyTree(platform::Files& files, const std::string& from, const std::string& to,
              std::string& failedPath) {
  int error = 0;
  if (!files.MakeDirectory(to, error)) {
    failedPath = to;
    return false;
  }
  for (const platform::FindData& entry : Entries(files, from)) {
    const std::string source = from + "\\" + entry.name;
    const std::string target = to + "\\" + entry.name;
    bool ok = (entry.attributes & platform::kAttrDirectory)
                  ? CopyTree(files, source, target, failedPath)
                  : CopyWhole(files, source, target);
    if (!ok) {
      if (failedPath.empty()) failedPath = source;
      return false;
    }
  }
  return true;
}

}  // namespace

bool RemoveTree(platform::Files& files, const std::string& directory) {
  bool whole = true;
  int error = 0;
  for (const platform::FindData& entry : Entries(files, directory)) {
    const std::string path = directory + "\\" + entry.name;
    bool removed = (entry.attributes & platform::kAttrDirectory) ? RemoveTree(files, path)
                                                                 : files.Remove(path, error);
    whole = whole && removed;
  }
  return files.RemoveDirectory(directory, error) && whole;
}

DryRunFiles::~DryRunFiles() {
  End();
}

bool DryRunFiles::Begin(std::string_view sourceTree, std::string_view targetTree,
                        std::string_view temporaryDirectory, std::string_view globalDirectory,
                        std::string& failedPath) {
  End();
  platform::Files& files = Inner();
  std::string base(temporaryDirectory);
  while (!base.empty() && (base.back() == '\\' || base.back() == '/')) base.pop_back();
  // A scratch tree inside either tree would write there, and one inside the Target tree
  // would be taken to itself (the temporary directory is the current one when no
  // variable names it, and the program is often started in the Target tree).
  if (Under(Key(base), Key(targetTree)) || Under(Key(base), Key(sourceTree))) {
    failedPath = base;
    return false;
  }
  // The temporary directory's own separator, so that the scratch paths shown read as
  // the host writes them.
  const char separator =
      base.find('\\') == std::string::npos && base.find('/') != std::string::npos ? '/' : '\\';
  std::string scratch;
  int error = 0;
  for (int n = 1; scratch.empty(); ++n) {
    std::string candidate = base + separator + "ZQPROBA." + std::to_string(n);
    if (files.MakeDirectory(candidate, error)) {
      scratch = candidate;
    } else if (error != platform::kErrAlreadyExists || n == 999) {
      failedPath = candidate;
      return false;
    }
  }
  std::string target(targetTree);
  while (target.size() > 1 && (target.back() == '\\' || target.back() == '/')) target.pop_back();
  const std::string globalKey = tui::UpperText(globalDirectory);
  for (const platform::FindData& entry : Entries(files, target)) {
    const std::string from = target + "\\" + entry.name;
    const std::string to = scratch + separator + entry.name;
    bool ok = true;
    if (!(entry.attributes & platform::kAttrDirectory))
      ok = CopyWhole(files, from, to);
    else if (tui::UpperText(entry.name) == globalKey)
      ok = CopyTree(files, from, to, failedPath);
    else
      ok = files.MakeDirectory(to, error);
    if (!ok) {
      if (failedPath.empty()) failedPath = from;
      RemoveTree(files, scratch);
      return false;
    }
  }
  source_ = Key(sourceTree);
  target_ = Key(targetTree);
  scratch_ = scratch + separator;
  active_ = true;
  return true;
}

bool DryRunFiles::End() {
  if (!active_) return true;
  active_ = false;
  std::string scratch = scratch_;
  scratch.pop_back();
  return RemoveTree(Inner(), scratch);
}

std::string DryRunFiles::Mapped(std::string_view path) const {
  if (!active_) return std::string(path);
  const std::string key = Key(path);
  if (!Under(key, target_)) return std::string(path);
  std::string rest(path.substr(target_.size()));
  // The root itself, as it came: with its last separator or without.
  if (rest.empty()) return scratch_.substr(0, scratch_.size() - 1);
  while (!rest.empty() && (rest.front() == '\\' || rest.front() == '/')) rest.erase(0, 1);
  return scratch_ + rest;
}

bool DryRunFiles::InSource(std::string_view path) const {
  return active_ && Under(Key(path), source_);
}

bool DryRunFiles::Refused(const std::string& mapped, int& error) const {
  if (!InSource(mapped)) return false;
  error = platform::kErrAccessDenied;
  return true;
}

std::unique_ptr<platform::File> DryRunFiles::Open(std::string_view path, platform::Access access,
                                                  platform::Share share,
                                                  platform::Disposition disposition, int& error) {
  const std::string mapped = Mapped(path);
  bool writes =
      (access & platform::kWrite) != 0 || disposition != platform::Disposition::kOpenExisting;
  if (writes && Refused(mapped, error)) return nullptr;
  return ForwardingFiles::Open(mapped, access, share, disposition, error);
}

bool DryRunFiles::Rename(std::string_view from, std::string_view to, int& error) {
  const std::string a = Mapped(from);
  const std::string b = Mapped(to);
  return !Refused(a, error) && !Refused(b, error) && ForwardingFiles::Rename(a, b, error);
}

bool DryRunFiles::Remove(std::string_view path, int& error) {
  const std::string mapped = Mapped(path);
  return !Refused(mapped, error) && ForwardingFiles::Remove(mapped, error);
}

bool DryRunFiles::MakeDirectory(std::string_view path, int& error) {
  const std::string mapped = Mapped(path);
  return !Refused(mapped, error) && ForwardingFiles::MakeDirectory(mapped, error);
}

bool DryRunFiles::RemoveDirectory(std::string_view path, int& error) {
  const std::string mapped = Mapped(path);
  return !Refused(mapped, error) && ForwardingFiles::RemoveDirectory(mapped, error);
}

bool DryRunFiles::GetAttributes(std::string_view path, std::uint32_t& attributes,
                                std::int64_t& size) {
  return ForwardingFiles::GetAttributes(Mapped(path), attributes, size);
}

std::unique_ptr<platform::FindHandle> DryRunFiles::FindFirst(std::string_view pattern,
                                                             std::uint32_t mask,
                                                             platform::FindData& first,
                                                             int& error) {
  return ForwardingFiles::FindFirst(Mapped(pattern), mask, first, error);
}

bool DryRunFiles::SameObject(std::string_view a, std::string_view b) {
  return ForwardingFiles::SameObject(Mapped(a), Mapped(b));
}

bool BeginDryRun(RunState& run) {
  ConversionOptions& o = run.options;
  std::string failed;
  if (!run.dryRun->Begin(o.sourceTree, o.targetTree, run.sharedFiles.TemporaryDirectory(),
                         kTargetGlobalDir, failed)) {
    run.log.AlertLn(convert::kColourError,
                    std::string("PRÓBA: nie można utworzyć katalogu roboczego w "_pl) + failed);
    run.log.AlertLn(convert::kColourError,
                    std::string("(TEMP musi wskazywać katalog poza katalogami danych)"_pl));
    run.copier.WaitKey();
    return false;
  }
  run.report.dryRun = true;
  run.log.AlertLn(convert::kColourWarning,
                  std::string("PRÓBA: nic nie zostanie zapisane w katalogach danych;"_pl));
  run.log.AlertLn(convert::kColourWarning,
                  std::string("zapisy idą do katalogu roboczego "_pl) + run.dryRun->ScratchTree());
  if (o.hideConverted) {
    o.hideConverted = false;
    run.log.AlertLn(convert::kColourWarning,
                    std::string("PRÓBA: pliki w 2019 nie zostaną zasłonięte"_pl));
  }
  return true;
}

void EndDryRun(RunState& run) {
  std::string scratch = run.dryRun->ScratchTree();
  if (!run.dryRun->Active()) return;
  run.log.WriteLn();
  if (!run.dryRun->End())
    run.log.AlertLn(convert::kColourWarning,
                    std::string("Nie usunięto całego katalogu roboczego "_pl) + scratch);
  run.log.AlertLn(convert::kColourWarning,
                  std::string("PRÓBA zakończona: w katalogach danych nic nie zapisano."_pl));
}

}  // namespace zq::driver
