// What the benchmark programs share: a headless screen over the host's real files (the
// file calls counted), wall-clock timing and writing a file of given bytes.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "counting_files.h"
#include "platform/headless/headless.h"
#include "platform/host.h"
#include "platform/platform.h"

namespace zq::bench {

// The program's platform with the console, process and clock of the tests and the
// host's files; `files.counts` says how many file calls the run made.
struct HeadlessRig {
  platform::FakeClock clock;
  platform::HeadlessConsole console{clock};
  platform::HeadlessProcess process{clock};
  std::unique_ptr<platform::Files> host = platform::CreateHostFiles();
  CountingFiles files{*host};
  platform::Platform platform{console, files, process};
};

using Clock = std::chrono::steady_clock;

inline double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

inline double Seconds(const std::function<void()>& run) {
  const Clock::time_point start = Clock::now();
  run();
  return Since(start);
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace zq::bench
