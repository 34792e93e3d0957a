// What every fuzz target shares: a registry of targets by name, a check that ends the
// run with a message (a finding for the fuzzer, a failure for the regression test), a
// temporary tree reached through the host's real file layer, and the headless console
// and process the program's own steps run on.
//
// A target is a function of one input; it must hold its invariants for every input,
// however short or long, and leave nothing behind that the next input would see.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/headless/headless.h"
#include "platform/host.h"
#include "platform/platform.h"

namespace zq::fuzz {

using Input = std::span<const std::uint8_t>;
using TargetFn = std::function<void(Input data)>;

struct Target {
  std::string name;
  TargetFn run;
};

// Every target linked into the program, in the order registered.
std::vector<Target>& Targets();
const Target* FindTarget(std::string_view name);

struct Registration {
  Registration(std::string name, TargetFn run) { Targets().push_back({std::move(name), run}); }
};

// A fuzz target named after its file's subject.
#define ZQ_FUZZ_TARGET(name)                                                             \
  static void ZqFuzz_##name(::zq::fuzz::Input data);                                     \
  static const ::zq::fuzz::Registration zqFuzzRegistration_##name{#name, ZqFuzz_##name}; \
  static void ZqFuzz_##name([[maybe_unused]] ::zq::fuzz::Input data)

// Reports the broken invariant and aborts, which the fuzzer keeps as a finding.
[[noreturn]] void Fail(std::string_view target, std::string_view what);
#define ZQ_CHECK(cond, what)                                                     \
  do {                                                                           \
    if (!(cond)) ::zq::fuzz::Fail(__FILE__, std::string(#cond) + ": " + (what)); \
  } while (0)

std::string AsString(Input data);
// Splits `data` at the first `separator` byte: what comes before and after it (all in
// `head` when there is none).
void Split(Input data, std::uint8_t separator, Input& head, Input& tail);

// One directory for the life of the process, emptied before every input.
class Tree {
 public:
  Tree();
  ~Tree();
  // Empties the tree and makes it the current state of this input.
  void Reset();
  // Host path with a trailing separator, as the program spells a directory.
  const std::string& Prefix() const { return prefix_; }
  void Write(const std::string& relative, std::string_view bytes) const;
  void MakeDirectory(const std::string& relative) const;
  // False when the file is missing.
  bool Read(const std::string& relative, std::string& bytes) const;
  bool Exists(const std::string& relative) const;

 private:
  std::string prefix_;
};
// The tree of the process, emptied for the input about to run.
Tree& FreshTree();

// The headless console, a fake clock and the host's files: the platform the program's
// steps run on. Keys for the questions come from the input.
struct Rig {
  Rig();
  // Queues keys, each from one byte: a letter or digit as typed, anything else Enter,
  // with an Esc at the end so that nothing waits for ever.
  void PushAnswers(Input bytes);
  platform::FakeClock clock;
  platform::HeadlessConsole console{clock};
  platform::HeadlessProcess process{clock};
  std::unique_ptr<platform::Files> files = platform::CreateHostFiles();
  platform::Platform platform{console, *files, process};
};

}  // namespace zq::fuzz
