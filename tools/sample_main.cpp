// zq-sample: makes a sample pair of installations for trying the program out.
#include <charconv>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "platform/cp852.h"
#include "sample.h"

namespace {

constexpr std::string_view kUsage =
    "usage: zq-sample --out DIR [--seed N] [--firms K] [--office KIND] [--program-dir DIR]\n"
    "  Makes DIR/DOR_2019 (the previous year's installation) and DIR/DOR_2020\n"
    "  (the new year's), which must not exist yet. The same seed gives the same files.\n"
    "  --firms K        firms in the firm list, 0..5000 (default 6)\n"
    "  --office KIND    small (default): every firm a few KB; realistic: firms of\n"
    "                   varied size, median about 2 MB, a few of 20 MB\n"
    "  --program-dir D  also writes D/zq18-20.PTH naming the two trees and\n"
    "                   D/zq18-20.LST with a few extra file names\n";

template <class T>
std::optional<T> Number(std::string_view text) {
  T value{};
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

int Fail(std::string_view message) {
  std::fprintf(stderr, "zq-sample: %.*s\n%.*s", static_cast<int>(message.size()), message.data(),
               static_cast<int>(kUsage.size()), kUsage.data());
  return 2;
}

std::string_view StateText(zq::sample::FirmState state) {
  switch (state) {
    case zq::sample::FirmState::kReady:
      return "to carry over";
    case zq::sample::FirmState::kAlreadyInTarget:
      return "already in DOR_2020";
    case zq::sample::FirmState::kMissing:
      return "no directory";
  }
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  zq::sample::Options options;
  std::optional<std::string> out, programDir;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fwrite(kUsage.data(), 1, kUsage.size(), stdout);
      return 0;
    }
    if (i + 1 >= argc) return Fail(std::string(arg) + " needs a value");
    std::string_view value = argv[++i];
    if (arg == "--out") {
      out = value;
    } else if (arg == "--program-dir") {
      programDir = value;
    } else if (arg == "--seed") {
      auto seed = Number<std::uint64_t>(value);
      if (!seed) return Fail("--seed takes a whole number");
      options.seed = *seed;
    } else if (arg == "--office") {
      if (value == "small")
        options.office = zq::sample::Office::kSmall;
      else if (value == "realistic")
        options.office = zq::sample::Office::kRealistic;
      else
        return Fail("--office takes small or realistic");
    } else if (arg == "--firms") {
      auto firms = Number<int>(value);
      if (!firms || *firms < 0 || *firms > zq::sample::kMaxFirms)
        return Fail("--firms takes a number from 0 to 5000");
      options.firms = *firms;
    } else {
      return Fail("unknown option " + std::string(arg));
    }
  }
  if (!out) return Fail("--out is required");

  try {
    zq::sample::Sample sample = zq::sample::GenerateSample(options, *out);
    if (programDir) {
      std::filesystem::path dir(*programDir);
      zq::sample::WritePathFile(dir / "zq18-20.PTH", sample.source, sample.target);
      zq::sample::WriteExtraFileList(dir / "zq18-20.LST", zq::sample::ExtraFileEntries());
    }
    std::printf("%s: %zu firms, seed %llu\n", sample.source.string().c_str(), sample.firms.size(),
                static_cast<unsigned long long>(options.seed));
    for (const zq::sample::SampleFirm& firm : sample.firms) {
      // Padded by characters, which code page 852 counts as bytes and UTF-8 does not.
      std::string directory = zq::Cp852ToUtf8(firm.directory);
      directory.append(firm.directory.size() < 8 ? 8 - firm.directory.size() : 0, ' ');
      std::string name = zq::Cp852ToUtf8(firm.name);
      std::string_view state = StateText(firm.state);
      std::printf("  %s  %s  (%.*s)\n", directory.c_str(), name.c_str(),
                  static_cast<int>(state.size()), state.data());
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zq-sample: %s\n", e.what());
    return 1;
  }
  return 0;
}
