// Times the four copy routines over a generated tree of about 200 MB against the
// host's `cp -r` of the same files in the same run, and the byte-copy loop at several
// block sizes. Run by hand: zq_bench_copy_bench [MB] (the tree size, 200 by default).
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_support.h"
#include "convert/copy.h"
#include "convert/progress_log.h"
#include "platform/headless/headless.h"
#include "platform/host.h"
#include "platform/text_file.h"
#include "tui/screen.h"

namespace fs = std::filesystem;

namespace {

using namespace zq::bench;

struct TreeFile {
  std::string name;
  std::uint16_t recordSize;  // what the record routines read it with
};

std::string RandomBytes(std::mt19937_64& rng, std::size_t size) {
  std::string out(size, '\0');
  for (std::size_t i = 0; i + 8 <= size; i += 8) {
    std::uint64_t v = rng();
    for (int k = 0; k < 8; ++k)
      out[i + static_cast<std::size_t>(k)] = static_cast<char>(v >> (8 * k));
  }
  return out;
}

std::string TextBytes(std::mt19937_64& rng, std::size_t size) {
  static const char kWords[][12] = {"faktura",  "zakup", "sprzedaz", "koszt", "VAT",
                                    "przychod", "netto", "brutto",   "2020",  "kasa"};
  std::string out;
  out.reserve(size + 128);
  while (out.size() < size) {
    std::size_t words = 3 + rng() % 12;
    for (std::size_t w = 0; w < words; ++w) {
      out += kWords[rng() % 10];
      out += ' ';
    }
    out += "\r\n";
  }
  out.resize(size);
  return out;
}

// A few large files and many small ones in firm directories: record files of 103, 512
// and 26624-byte records, plain binaries and CR LF texts.
std::vector<TreeFile> BuildTree(const fs::path& root, std::size_t totalMb) {
  std::mt19937_64 rng(2020);
  std::vector<TreeFile> files;
  const std::size_t mb = 1 << 20;
  std::size_t unit = totalMb * mb / 200;  // the shares below add up to 200 units
  auto add = [&](const std::string& name, std::uint16_t recordSize, std::string bytes) {
    WriteBytes(root / name, bytes);
    files.push_back({name, recordSize});
  };
  add("DUZY1.BIN", 512, RandomBytes(rng, 30 * unit));
  add("DUZY2.BIN", 512, RandomBytes(rng, 30 * unit));
  add("SPISFIRM.DAT", 103, RandomBytes(rng, (20 * unit / 103) * 103 + 50));
  add("BAZA_SP8.REK", 512, RandomBytes(rng, (20 * unit / 512) * 512));
  add("2020WP5.REK", 26624, RandomBytes(rng, (20 * unit / 26624) * 26624 + 1000));
  add("NOTATNIK.TXT", 512, TextBytes(rng, 20 * unit));
  add("NOTES.TXT", 512, TextBytes(rng, 20 * unit));
  // 2000 small files, 50 to a firm directory as the ledger program keeps them: 40 units.
  std::size_t small = 40 * unit / 2000;
  for (int i = 0; i < 2000; ++i) {
    std::string firm = "FIRMA" + std::to_string(i / 50);
    if (i % 50 == 0) fs::create_directory(root / firm);
    std::string n = firm + "/m" + std::to_string(i);
    switch (i % 4) {
      case 0:
        add(n + ".rek", 103, RandomBytes(rng, (small / 103) * 103 + 17));
        break;
      case 1:
        add(n + ".dat", 512, RandomBytes(rng, (small / 512 + 1) * 512));
        break;
      case 2:
        add(n + ".txt", 512, TextBytes(rng, small));
        break;
      default:
        add(n + ".bin", 26624, RandomBytes(rng, small));
        break;
    }
  }
  return files;
}

std::uintmax_t TreeBytes(const fs::path& root) {
  std::uintmax_t total = 0;
  for (auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) total += e.file_size();
  return total;
}

// The byte-copy loop as the routine runs it, at a given block size.
void CopyWithBlock(zq::platform::Files& files, const std::string& from, const std::string& to,
                   std::size_t block) {
  int error = 0;
  auto in = files.Open(from, zq::platform::kRead, zq::platform::kShareReadWrite,
                       zq::platform::Disposition::kOpenExisting, error);
  auto out = files.Open(to, zq::platform::kWrite, zq::platform::kShareRead,
                        zq::platform::Disposition::kCreateAlways, error);
  if (!in || !out) std::abort();
  std::vector<std::uint8_t> buffer(block);
  for (;;) {
    std::size_t got = 0;
    if (!in->Read(buffer.data(), buffer.size(), got, error)) std::abort();
    if (got == 0) break;
    if (!zq::platform::WriteAll(*out, buffer.data(), got, error)) std::abort();
  }
  in->Close(error);
  out->Close(error);
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t totalMb = argc > 1 ? static_cast<std::size_t>(std::atoi(argv[1])) : 200;
  if (totalMb == 0) totalMb = 200;
  std::string tmpl = (fs::temp_directory_path() / "zqbench-XXXXXX").string();
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) return 1;
  fs::path base = buf.data();
  fs::path src = base / "src";
  fs::create_directories(src);
  std::printf("building a tree of about %zu MB in %s ...\n", totalMb, base.c_str());
  std::vector<TreeFile> tree = BuildTree(src, totalMb);
  double mbytes = static_cast<double>(TreeBytes(src)) / (1 << 20);
  std::printf("%zu files, %.1f MB\n\n", tree.size(), mbytes);

  zq::bench::HeadlessRig rig;
  zq::tui::Screen screen(rig.platform);
  zq::convert::ProgressLog log(screen);
  zq::convert::Copier copier(screen, log);

  fs::path dst = base / "dst";
  auto fresh = [&] {
    fs::remove_all(dst);
    fs::create_directories(dst);
    for (auto& e : fs::directory_iterator(src))
      if (e.is_directory()) fs::create_directory(dst / e.path().filename());
  };
  auto cp = [&] {
    fs::remove_all(dst);
    std::string command = "cp -r '" + src.string() + "' '" + dst.string() + "'";
    if (std::system(command.c_str()) != 0) std::abort();
  };
  auto each =
      [&](const std::function<void(const std::string&, const std::string&, std::uint16_t)>& copy) {
        for (const TreeFile& f : tree)
          copy((src / f.name).string(), (dst / f.name).string(), f.recordSize);
      };
  auto identity = [](std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
    std::copy(in.begin(), in.end(), out.begin());
    return true;
  };

  struct Case {
    const char* name;
    std::function<void()> run;
  };
  std::vector<Case> cases = {
      {"CopyFileBytes",
       [&] { each([&](auto& s, auto& t, std::uint16_t) { copier.CopyFileBytes(s, t); }); }},
      {"CopyTextFile",
       [&] { each([&](auto& s, auto& t, std::uint16_t) { copier.CopyTextFile(s, t); }); }},
      {"CopyRecords",
       [&] {
         each([&](auto& s, auto& t, std::uint16_t size) {
           copier.CopyRecords(s, t, size, nullptr);
         });
       }},
      {"CopyRecords+filter",
       [&] {
         each([&](auto& s, auto& t, std::uint16_t size) {
           copier.CopyRecords(s, t, size, [](std::span<std::uint8_t>) { return true; });
         });
       }},
      {"ConvertRecords",
       [&] {
         each([&](auto& s, auto& t, std::uint16_t size) {
           copier.ConvertRecords(s, t, size, size, identity);
         });
       }},
  };

  const int kRounds = 3;
  cp();  // warms the page cache for both sides
  std::printf("%-20s %10s %10s %8s\n", "routine", "best s", "cp -r s", "ratio");
  for (const Case& c : cases) {
    double best = 1e9, bestCp = 1e9;
    for (int round = 0; round < kRounds; ++round) {
      bestCp = std::min(bestCp, Seconds(cp));
      fresh();
      best = std::min(best, Seconds(c.run));
    }
    std::printf("%-20s %10.3f %10.3f %8.2f   (%.0f MB/s)\n", c.name, best, bestCp, best / bestCp,
                mbytes / best);
  }

  std::printf("\nbyte-copy loop over the tree by block size\n");
  std::printf("%-10s %10s %10s\n", "block", "best s", "vs 2048");
  double at2048 = 0;
  for (std::size_t block : {std::size_t{2048}, std::size_t{16} << 10, std::size_t{64} << 10,
                            std::size_t{256} << 10, std::size_t{1} << 20}) {
    double best = 1e9;
    for (int round = 0; round < kRounds; ++round) {
      fresh();
      best = std::min(best, Seconds([&] {
                        for (const TreeFile& f : tree)
                          CopyWithBlock(rig.files, (src / f.name).string(), (dst / f.name).string(),
                                        block);
                      }));
    }
    if (block == 2048) at2048 = best;
    std::printf("%-10zu %10.3f %10.2f\n", block, best, best / at2048);
  }

  fs::remove_all(base);
  return 0;
}
