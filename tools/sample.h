// A deterministic sample installation: the previous year's tree (DOR_2019) with its
// firm list, global directory and firm directories, and the new year's tree (DOR_2020)
// with its global directory and one firm already carried over. The same options always
// give the same bytes, so tests, benchmarks and the demo share one picture of the data.
//
// Names inside the trees are code page 852, as the program sees them; on disk they are
// written in the host's spelling (UTF-8 on POSIX). File contents are code page 852.
//
// Adding a file kind: write a maker in sample.cpp,
//
//   void MakeBankTransfers(MakerContext& ctx, FileSink& sink) {
//     sink.Add("BAZA_PP8.REK", ...bytes...);  // may add none, one or several files
//   }
//
// and give it one row of kFileMakers there: {"transfer base", Place::kSourceFirm,
// MakeBankTransfers}. A maker draws its random numbers from ctx.rng, which depends only
// on the seed, the firm and the row's kind, so a new row leaves every other file as it
// was. ctx.firm tells the firm (its traits decide what it holds); for global places it
// is null. A maker of a file that grows with the firm's business (records of a year, of
// staff, of trips) takes its record counts through ctx.Records(n): n in the small
// office, so its files stay as they were, n times the firm's scale in the realistic one.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "shared/firm_record.h"

namespace zq::sample {

enum class Office {
  kSmall,      // every firm a few kilobytes: quick to make, for tests and the demo
  kRealistic,  // firms of varied size, median about 2 MB, a few of 20 MB, some nearly empty
};

struct Options {
  std::uint64_t seed = 1;
  int firms = 6;  // 0 .. kMaxFirms
  Office office = Office::kSmall;
};

inline constexpr int kMaxFirms = 5000;
// The scale of a firm of median size in the realistic office: the small office's growing
// records of a firm, this many times over, make about 2 MB.
inline constexpr int kMedianScale = 560;

enum class FirmState {
  kReady,            // directory in the Source tree only: discovery lists it
  kAlreadyInTarget,  // directory in both trees and a record in the Target firm list
  kMissing,          // listed in the Source firm list, but no directory anywhere
};

struct SampleFirm {
  // As stored in the firm record (cut to the fields), code page 852.
  std::string name;
  std::string directory;
  std::string info;
  std::string town;
  FirmState state = FirmState::kReady;
  shared::FirmRecordBytes record{};
  // What the firm holds, which the makers follow.
  bool annual2019 = true;   // 2019_ROK.REK
  bool annual2020 = false;  // 2020_ROK.REK as well: the new year was begun in the old version
  bool vatProportional = false;
  // How many times the small office's records each growing file holds (1 there).
  int scale = 1;
  // Only the files a firm cannot be carried without: its annual settings, marker and
  // firm data (a firm registered but hardly kept).
  bool fewFiles = false;
  // Files made, code page 852 names relative to the firm directory.
  std::vector<std::string> sourceFiles;
  std::vector<std::string> targetFiles;

  bool Discovered() const { return state == FirmState::kReady; }
};

struct Sample {
  std::filesystem::path root;                  // the --out directory
  std::filesystem::path source;                // root/DOR_2019
  std::filesystem::path target;                // root/DOR_2020
  std::vector<SampleFirm> firms;               // in the order of the Source firm list
  std::vector<std::string> sourceGlobalFiles;  // in #BIN980
  std::vector<std::string> targetGlobalFiles;  // in #BIN020

  // The firms that discovery is expected to offer, in list order.
  std::vector<const SampleFirm*> Discovered() const;
  std::filesystem::path SourceFirmPath(const SampleFirm& firm) const;
  std::filesystem::path TargetFirmPath(const SampleFirm& firm) const;
};

// Makes root/DOR_2019 and root/DOR_2020; refuses (std::runtime_error) when either exists
// already, so that nothing of the user's is ever overwritten. Throws on I/O failures.
Sample GenerateSample(const Options& options, const std::filesystem::path& root);

// A host path for a code page 852 name whose components are separated by '\' or '/'.
std::filesystem::path HostPath(const std::filesystem::path& base, std::string_view cp852);

// Entries of the extra file list that the demo puts beside the program; sample firms hold
// some of the files they name. Code page 852.
std::span<const std::string_view> ExtraFileEntries();
// zq18-20.LST: one entry per line, CR LF.
void WriteExtraFileList(const std::filesystem::path& file,
                        std::span<const std::string_view> entries);
// zq18-20.PTH: "[PATHS]", "DOR_2019=<source>", "DOR_2020=<target>", CR LF, the paths
// absolute and without a trailing separator.
void WritePathFile(const std::filesystem::path& file, const std::filesystem::path& source,
                   const std::filesystem::path& target);

// Deterministic random numbers, the same on every host and compiler.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  // A generator for one purpose, independent of every other purpose's.
  static Rng For(std::uint64_t seed, std::uint64_t index, std::string_view purpose);

  std::uint64_t Next();
  std::uint32_t Below(std::uint32_t n);  // 0 .. n-1; 0 when n is 0
  int Between(int low, int high);        // low .. high
  bool Chance(int percent);
  template <class Items>
  const auto& Pick(const Items& items) {
    return items[Below(static_cast<std::uint32_t>(std::size(items)))];
  }

 private:
  std::uint64_t state_;
};

enum class Place {
  kSourceGlobal,  // DOR_2019/#BIN980
  kTargetGlobal,  // DOR_2020/#BIN020
  kSourceFirm,    // DOR_2019/<firm>, for every firm whose directory exists there
  kTargetFirm,    // DOR_2020/<firm>, for the firm already carried over
};

struct MakerContext {
  const Options& options;
  Rng rng;
  const SampleFirm* firm;  // null for the global places
  std::size_t firmIndex;   // 0-based position in the firm list

  // A record count of the small office, grown to this firm's size.
  int Records(int n) const { return firm != nullptr ? n * firm->scale : n; }
  // A count that grows more slowly than the firm's bytes (staff, assets, contractors):
  // n in the small office; in the realistic one n times `atMedian` in a firm of median
  // size, in proportion to its scale in the others, and never fewer than n.
  int Records(int n, int atMedian) const {
    if (firm == nullptr) return n;
    const std::int64_t grown = static_cast<std::int64_t>(n) * atMedian * firm->scale / kMedianScale;
    return static_cast<int>(std::max<std::int64_t>(n, grown));
  }
};

// What a maker produces: names relative to its place (code page 852, '\' or '/' for
// subdirectories) and their bytes.
class FileSink {
 public:
  void Add(std::string_view cp852Name, std::string bytes);
  struct File {
    std::string name;
    std::string bytes;
  };
  const std::vector<File>& Files() const { return files_; }

 private:
  std::vector<File> files_;
};

using FileMaker = void (*)(MakerContext& ctx, FileSink& sink);

struct FileMakerEntry {
  std::string_view kind;
  Place place;
  FileMaker make;
};

std::span<const FileMakerEntry> FileMakers();

// Lines joined with CR LF, each line ended by one.
std::string TextLines(std::initializer_list<std::string_view> lines);
// The parts joined.
std::string Cat(std::initializer_list<std::string_view> parts);
// n random decimal digits.
std::string Digits(Rng& rng, int n);
// n random bytes: what an older record left behind, which readers must not go by.
std::string Junk(Rng& rng, std::size_t n);

}  // namespace zq::sample
