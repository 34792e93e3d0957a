// The dry run (/TEST): the whole carry-over runs as usual, discovery and every question
// decided on the real trees, but whatever the run would write into the Target tree goes
// into a scratch copy in the temporary directory, removed at the end. Done below the
// whole program as a file layer, so that no part of the run needs to know: a path in the
// Target tree is taken to the same path in the scratch tree, which holds a copy of what
// the run reads there (the Target root's files, among them the firm list, and the global
// directory whole) and an empty stand-in for every other directory of the Target root,
// so that the firms already carried are seen as carried. Writes into the Source tree are
// refused outright: a dry run must never change it, whatever a later change of the run
// may try.
#pragma once

#include <string>
#include <string_view>

#include "platform/forwarding_files.h"

namespace zq::driver {

class DryRunFiles : public platform::ForwardingFiles {
 public:
  explicit DryRunFiles(platform::Files& inner) : ForwardingFiles(inner) {}
  ~DryRunFiles() override;

  // Makes the scratch tree under `temporaryDirectory` and takes every later path in
  // `targetTree` there; false (and nothing taken) when it cannot be made, with the
  // path that failed in `failedPath`; also when the temporary directory lies in either
  // tree. The global directory's name is that of the
  // Target tree, without a separator.
  bool Begin(std::string_view sourceTree, std::string_view targetTree,
             std::string_view temporaryDirectory, std::string_view globalDirectory,
             std::string& failedPath);
  // Removes the scratch tree and takes paths through unchanged again; false when some
  // of it could not be removed.
  bool End();
  bool Active() const { return active_; }
  // The files below this layer, for what must reach the host whatever the run: the
  // journal.
  platform::Files& Host() { return Inner(); }
  const std::string& ScratchTree() const { return scratch_; }

  std::unique_ptr<platform::File> Open(std::string_view path, platform::Access access,
                                       platform::Share share, platform::Disposition disposition,
                                       int& error) override;
  bool Rename(std::string_view from, std::string_view to, int& error) override;
  bool Remove(std::string_view path, int& error) override;
  bool MakeDirectory(std::string_view path, int& error) override;
  bool RemoveDirectory(std::string_view path, int& error) override;
  bool GetAttributes(std::string_view path, std::uint32_t& attributes, std::int64_t& size) override;
  std::unique_ptr<platform::FindHandle> FindFirst(std::string_view pattern, std::uint32_t mask,
                                                  platform::FindData& first, int& error) override;
  bool SameObject(std::string_view a, std::string_view b) override;

  // The path a call on `path` really reaches.
  std::string Mapped(std::string_view path) const;

 private:
  // Whether `path` lies in the Source tree, where nothing may be written.
  bool InSource(std::string_view path) const;
  // A change at `mapped` (already taken through Mapped) in the Source tree: refused,
  // with the error a read-only place gives.
  bool Refused(const std::string& mapped, int& error) const;

  bool active_ = false;
  std::string source_;   // upper case, '\' separators, without the last separator
  std::string target_;   // likewise
  std::string scratch_;  // with its last separator
};

struct RunState;

// At the start of a dry run's carrying: the scratch tree made, the hide option put off
// and both said on the screen; false when the scratch tree cannot be made (said too),
// and then nothing may run.
bool BeginDryRun(RunState& run);
// At its end: the scratch tree removed and the user told that nothing was written.
void EndDryRun(RunState& run);

// Removes a directory with everything in it; false when something stayed.
bool RemoveTree(platform::Files& files, const std::string& directory);

}  // namespace zq::driver
