// A small pair of trees for the per-firm run: the Source and Target roots in a temporary
// directory, firms made file by file, a run state on the headless console whose files
// can be made to fail, and the progress log captured line by line.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver/firm_run.h"
#include "driver/run_state.h"
#include "platform/cp852.h"
#include "shared/firm_record.h"
#include "support/faulty_files.h"
#include "support/log_capture.h"
#include "support/test_env.h"

namespace zq::driver::test_rig {

namespace fs = std::filesystem;

// A code page 852 literal as a std::string, for building expected lines.
#ifdef __clang__
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wgnu-string-literal-operator-template"
#endif
template <class C, C... Cs>
std::string operator""_ps() {
  return std::string(zq::operator""_pl<C, Cs... > ());
}
#ifdef __clang__
#pragma clang diagnostic pop
#endif

inline constexpr std::uint16_t kEnter = 0x1C0D;
inline constexpr std::uint16_t kF5 = 0x3F00;
inline constexpr std::uint16_t kPgDn = 0x5100;

// A key by its character, as the log's questions read it.
inline std::uint16_t Key(char c) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(c));
}

using test::LogCapture;
using test::LogLine;

// Whether a host file name may hold a backslash (POSIX), which the program reads as a
// separator.
inline bool HostNamesHoldBackslashes() {
  return !fs::path("a\\b").has_parent_path();
}

inline std::string Bytes(std::size_t n, std::uint8_t seed) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 31 + seed * 7 + 3) & 0xFF);
  return s;
}

inline double RealAt(const std::string& bytes, std::size_t offset) {
  double v = 0;
  if (offset + 8 <= bytes.size()) std::memcpy(&v, bytes.data() + offset, 8);
  return v;
}
inline void PutReal(std::string& bytes, std::size_t offset, double v) {
  std::memcpy(bytes.data() + offset, &v, 8);
}
inline unsigned WordAt(const std::string& bytes, std::size_t offset) {
  return static_cast<unsigned char>(bytes[offset]) | static_cast<unsigned char>(bytes[offset + 1])
                                                         << 8;
}

// Three 512-byte records that the annual settings take without a question: December
// approved, no VAT proportion.
inline std::string Annual2019() {
  std::string file(3 * 512, '\0');
  file[3] = 13;
  return file;
}

// Every file under `root`, relative path -> bytes.
inline std::map<std::string, std::string> Snapshot(const fs::path& root) {
  std::map<std::string, std::string> files;
  if (!fs::exists(root)) return files;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file())
      files[fs::relative(e.path(), root).generic_string()] = test::ReadFile(e.path());
  return files;
}

class FirmRunRig : public ::testing::Test {
 protected:
  FirmRunRig() {
    rig.process.SetOwnPath(dir.Prefix() + "prog/zq18-20");
    fs::create_directories(dir / "DOR_2019");
    fs::create_directories(dir / "DOR_2020");
    run = std::make_unique<RunState>(platform);
    run->options.sourceTree = dir.Prefix() + "DOR_2019\\";
    run->options.targetTree = dir.Prefix() + "DOR_2020\\";
    run->log.AddSink(&log);
  }
  ~FirmRunRig() override { run->log.RemoveSink(&log); }

  fs::path SourceDir(const std::string& firm) const { return dir / "DOR_2019" / firm; }
  fs::path TargetDir(const std::string& firm) const { return dir / "DOR_2020" / firm; }
  // Paths as the program spells them.
  std::string SourcePath(const std::string& firm, const std::string& name) const {
    return run->options.sourceTree + firm + "\\" + name;
  }
  std::string TargetPath(const std::string& firm, const std::string& name) const {
    return run->options.targetTree + firm + "\\" + name;
  }
  void Source(const std::string& firm, const std::string& name, std::string_view bytes) {
    test::WriteFile(SourceDir(firm) / name, bytes);
  }
  void Target(const std::string& firm, const std::string& name, std::string_view bytes) {
    test::WriteFile(TargetDir(firm) / name, bytes);
  }
  std::string ReadTarget(const std::string& firm, const std::string& name) const {
    return test::ReadFile(TargetDir(firm) / name);
  }
  bool InTarget(const std::string& firm, const std::string& name) const {
    return fs::exists(TargetDir(firm) / name);
  }
  // A firm the run can carry: annual settings of 2019 and a marker.
  void MakeFirm(const std::string& firm) {
    Source(firm, "2019_ROK.REK", Annual2019());
    Source(firm, "_zq_dor.rek", Bytes(256, 1));
  }
  // The items only, on a fresh context.
  std::unique_ptr<FirmContext> Context(const std::string& firm) {
    fs::create_directories(TargetDir(firm));
    return std::make_unique<FirmContext>(*run, shared, firm);
  }
  FirmResult Convert(const std::string& firm) { return ConvertFirm(*run, shared, firm); }
  FirmResult Convert(const std::string& firm, std::span<const FirmItem> items) {
    return ConvertFirm(*run, shared, firm, items);
  }

  test::TempDir dir;
  test::HeadlessRig rig;
  test::FaultyFiles faulty{*rig.files};
  platform::Platform platform{rig.console, faulty, rig.process};
  std::unique_ptr<RunState> run;
  FirmRunShared shared;
  LogCapture log;
};

}  // namespace zq::driver::test_rig
