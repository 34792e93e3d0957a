#include "platform/posix/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/cp852.h"
#include "platform/host.h"

// Sharing modes and byte-range locks among opens of this program.
//
// Windows refuses an open whose access or sharing clashes with another open of the same
// file, and refuses reads and writes of a range another handle has locked. POSIX has
// neither, so both are built from Linux open-file-description locks, which belong to
// one open (not to the process) and so separate two opens in one process as well as two
// processes:
//  - Every open takes shared locks on marker bytes far above any data ("I read",
//    "I write", "I deny read", "I deny write") as its access and sharing say, and then
//    probes the opposite markers; a marker held by another open means a sharing
//    violation (32). Taking before probing guarantees that of two clashing opens at
//    least one sees the other. An exclusive lock on a gate byte, held only while
//    opening, serialises opens so that the loser is normally the later one.
//  - Lock() takes an exclusive lock on the data range and fails at once with a lock
//    violation (33) when another open holds any part of it.
// What differs from Windows: all of this is advisory. A program that does not take
// these locks (cp, an editor) still reads and writes the file, and a locked range does
// not make reads or writes through other opens fail; only Lock() and Open() see it.
// A file that can be opened only write-only takes no markers (a shared marker lock needs
// a readable descriptor), and a file that can be opened only read-only locks its ranges
// with shared locks, which exclude writers' locks but not other read-only lockers. File
// systems without such locks (some network mounts) open without sharing checks.

namespace zq::platform {
namespace posix {
namespace {

constexpr off_t kMarkerBase = off_t{1} << 62;
constexpr off_t kGate = kMarkerBase;
// In this order, the markers the usual opens take (read; write deny write; read and
// write) and the ones they probe lie side by side, so each set is one lock call.
constexpr off_t kMarkRead = kMarkerBase + 1;
constexpr off_t kMarkWrite = kMarkerBase + 2;
constexpr off_t kMarkDenyWrite = kMarkerBase + 3;
constexpr off_t kMarkDenyRead = kMarkerBase + 4;
constexpr int kGateAttempts = 2000;  // about two seconds of 1 ms pauses
// The most one kernel copy between files is asked to carry at once.
constexpr std::size_t kCopyChunk = std::size_t{1} << 30;
// Reads up to this size are served whole by one call unless the file ends.
constexpr std::size_t kWholeRead = std::size_t{1} << 30;

// The case pairs of the code page's Polish and neighbouring letters.
constexpr std::array<unsigned char, 16> kLower = {0xA5, 0x86, 0xA9, 0x88, 0xE4, 0xA2, 0x98, 0xBE,
                                                  0xAB, 0x81, 0x89, 0x84, 0x94, 0x8B, 0x9F, 0xE7};
constexpr std::array<unsigned char, 16> kUpper = {0xA4, 0x8F, 0xA8, 0x9D, 0xE3, 0xE0, 0x97, 0xBD,
                                                  0x8D, 0x9A, 0xD3, 0x8E, 0x99, 0x8A, 0xAC, 0xE6};

constexpr std::array<unsigned char, 256> kFold = [] {
  std::array<unsigned char, 256> t{};
  for (int i = 0; i < 256; ++i) t[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i);
  for (int c = 'a'; c <= 'z'; ++c)
    t[static_cast<std::size_t>(c)] = static_cast<unsigned char>(c - 32);
  for (std::size_t i = 0; i < kLower.size(); ++i) t[kLower[i]] = kUpper[i];
  return t;
}();

unsigned char Fold(char c) {
  return kFold[static_cast<unsigned char>(c)];
}

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

// `name` appended to the directory path `dir` in place.
void AppendName(std::string& dir, std::string_view name) {
  if (dir.empty() || dir == ".") {
    dir.assign(name);
    return;
  }
  if (dir.back() != '/') dir += '/';
  dir += name;
}

std::string Join(const std::string& dir, const std::string& name) {
  std::string out;
  out.reserve(dir.size() + 1 + name.size());
  out = dir;
  AppendName(out, name);
  return out;
}

// A program path mapped onto the host.
struct Resolved {
  std::string host;     // the whole host path
  std::string parent;   // host directory holding the last component
  std::string last;     // last component as found on disk (or as spelled when missing)
  std::string spelled;  // last component as the program spelled it, in UTF-8
  std::string pattern;  // last component as the program spelled it, in code page 852
  bool has_last = false;
  bool trailing = false;  // the path ended with a separator
  bool exists = false;    // `st` holds the lstat of `host`
  struct stat st = {};
};

// Directory listings for finding names without regard to case: by host directory, each
// folded code page 852 name with the least host name of that spelling (so the choice
// does not depend on directory order). Kept only while the listings are held; otherwise
// every lookup lists the directory afresh.
class Listings {
 public:
  void Hold(bool hold) {
    if (hold) {
      ++holds_;
    } else if (holds_ > 0 && --holds_ == 0) {
      dirs_.clear();
    }
  }

  // The entry of `dir` equal to `name` without regard to case.
  bool Find(const std::string& dir, std::string_view name, std::string& found) {
    const std::string want = FoldName(name);
    if (holds_ == 0) {
      Listing listing;
      if (!Load(dir, listing)) return false;
      return Take(listing, want, found);
    }
    auto it = dirs_.find(dir);
    if (it == dirs_.end()) {
      Listing listing;
      if (!Load(dir, listing)) return false;
      it = dirs_.emplace(dir, std::move(listing)).first;
    }
    return Take(it->second, want, found);
  }

  // Every host name in `dir`, from its listing while the listings are held (listed once,
  // then kept true by this program's own changes); false when not held or `dir` cannot
  // be listed.
  bool HostNames(const std::string& dir, std::vector<std::string>& names) {
    if (holds_ == 0) return false;
    auto it = dirs_.find(dir);
    if (it == dirs_.end()) {
      Listing listing;
      if (!Load(dir, listing)) return false;
      it = dirs_.emplace(dir, std::move(listing)).first;
    }
    for (const auto& entry : it->second)
      names.insert(names.end(), entry.second.begin(), entry.second.end());
    return true;
  }

  // Whether `dir` is known to be a directory without asking the host.
  bool Knows(const std::string& dir) const { return holds_ > 0 && dirs_.count(dir) > 0; }
  // Whether the kept listing of `dir` has `name` in any case.
  bool Holds(const std::string& dir, std::string_view name) const {
    auto it = dirs_.find(dir);
    if (it == dirs_.end()) return false;
    auto names = it->second.find(FoldName(name));
    return names != it->second.end() && !names->second.empty();
  }

  // This program made `hostName` in `dir`.
  void Added(const std::string& dir, const std::string& hostName) {
    auto it = dirs_.find(dir);
    if (it != dirs_.end()) Insert(it->second, hostName);
  }
  // This program removed `hostName` from `dir`, or renamed it away.
  void Removed(const std::string& dir, const std::string& hostName) {
    auto it = dirs_.find(dir);
    if (it == dirs_.end()) return;
    auto names = it->second.find(FoldName(Utf8ToCp852(hostName)));
    if (names == it->second.end()) return;
    std::erase(names->second, hostName);
    if (names->second.empty()) it->second.erase(names);
  }
  // This program made the directory `dir`: it is empty.
  void Made(const std::string& dir) {
    if (holds_ > 0) dirs_[dir];
  }
  void Forget() { dirs_.clear(); }

 private:
  // Every host spelling of a folded name, least first.
  using Listing = std::map<std::string, std::vector<std::string>>;

  static bool Take(const Listing& listing, const std::string& want, std::string& found) {
    auto it = listing.find(want);
    if (it == listing.end() || it->second.empty()) return false;
    found = it->second.front();
    return true;
  }

  static void Insert(Listing& listing, std::string_view hostName) {
    std::vector<std::string>& names = listing[FoldName(Utf8ToCp852(hostName))];
    auto at = std::lower_bound(names.begin(), names.end(), hostName);
    if (at == names.end() || *at != hostName) names.insert(at, std::string(hostName));
  }

  static bool Load(const std::string& dir, Listing& listing) {
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (d == nullptr) return false;
    while (dirent* e = readdir(d)) {
      std::string_view host = e->d_name;
      if (host == "." || host == "..") continue;
      Insert(listing, host);
    }
    closedir(d);
    return true;
  }

  int holds_ = 0;
  std::unordered_map<std::string, Listing> dirs_;
};

// What a path is resolved for.
enum class Lookup {
  kName,
  kPattern,  // the last component is kept as spelled: a trailing dot counts
  kCreate,   // a name that an exclusive create makes unless a file is found under it
};

bool Resolve(std::string_view path, Resolved& out, int& error, Listings& listings,
             Lookup lookup = Lookup::kName) {
  const bool find = lookup == Lookup::kPattern;
  if (path.find('\0') != std::string_view::npos) {
    error = kErrInvalidName;
    return false;
  }
  if (path.empty()) {
    error = kErrPathNotFound;
    return false;
  }
  std::string_view rest = path;
  if (rest.size() >= 2 && rest[1] == ':' &&
      ((rest[0] >= 'A' && rest[0] <= 'Z') || (rest[0] >= 'a' && rest[0] <= 'z'))) {
    rest.remove_prefix(2);
  }
  bool absolute = !rest.empty() && IsSeparator(rest.front());
  out.trailing = !rest.empty() && IsSeparator(rest.back());

  std::vector<std::string_view> parts;
  for (std::size_t i = 0; i < rest.size();) {
    std::size_t j = i;
    while (j < rest.size() && !IsSeparator(rest[j])) ++j;
    if (j > i) parts.push_back(rest.substr(i, j - i));
    i = j + 1;
  }
  // Windows drops trailing blanks and dots from the last name ("FIRMA1 " is "FIRMA1"),
  // so a name padded by a caller must not make a second file here.
  if (!find && !out.trailing && !parts.empty() && parts.back() != "." && parts.back() != "..") {
    std::string_view& last = parts.back();
    std::size_t keep = last.find_last_not_of(" .");
    if (keep != std::string_view::npos) last = last.substr(0, keep + 1);
  }

  const std::string root = absolute ? "/" : "";
  std::vector<std::string> names;
  names.reserve(parts.size());
  // Every lookup of the program passes here: the paths grow in place.
  std::string exact = root, exactParent = ".";
  exact.reserve(3 * path.size() + 1);
  for (std::size_t k = 0; k < parts.size(); ++k) {
    names.push_back(Cp852ToUtf8(parts[k]));
    if (k + 1 == parts.size()) {
      exactParent = exact.empty() ? "." : exact;
      out.parent = exactParent;
      out.spelled = names.back();
      out.pattern = std::string(parts[k]);
      out.has_last = true;
    }
    AppendName(exact, names.back());
  }
  if (exact.empty()) exact = ".";
  auto finish = [&](std::string host) {
    if (out.trailing && out.has_last) host += "/";
    out.host = std::move(host);
    return true;
  };

  // A name to be made where the held listing of its directory has it under no case is
  // not looked up: the exclusive create that follows fails on a file another program
  // has made under that very spelling meanwhile, and the open then takes that file.
  if (lookup == Lookup::kCreate && out.has_last && !out.trailing && parts.size() > 1 &&
      listings.Knows(exactParent) && !listings.Holds(exactParent, parts.back())) {
    out.last = out.spelled;
    return finish(exact);
  }

  // The program nearly always spells a name as it is on disk: one lookup.
  if (lstat(exact.c_str(), &out.st) == 0) {
    out.exists = true;
    out.last = out.has_last ? out.spelled : std::string();
    return finish(exact);
  }
  if (errno != ENOENT && errno != ENOTDIR) {
    out.last = out.spelled;
    return finish(exact);
  }

  // Only the last name differs in case when its directory is there as spelled.
  std::size_t first = 0;
  std::string host = root;
  struct stat st;
  if (out.has_last && parts.size() > 1 &&
      (listings.Knows(exactParent) ||
       (lstat(exactParent.c_str(), &st) == 0 && S_ISDIR(st.st_mode)))) {
    first = parts.size() - 1;
    host = exactParent;
  }
  bool lost = false;  // a component was missing: later ones cannot be found either
  for (std::size_t k = first; k < parts.size(); ++k) {
    std::string_view part = parts[k];
    std::string name = names[k];
    bool last = k + 1 == parts.size();
    if (last) out.parent = host.empty() ? "." : host;
    if (part != "." && part != ".." && !lost) {
      std::string exactHere = Join(host, name);
      // Behind a directory taken as spelled, the last name is known to be missing.
      bool knownMissing = last && first > 0;
      if (knownMissing || lstat(exactHere.c_str(), &st) != 0) {
        std::string found;
        if ((knownMissing || errno == ENOENT) &&
            listings.Find(host.empty() ? "." : host, part, found))
          name = found;
        else
          lost = true;
      }
    }
    if (last) out.last = name;
    AppendName(host, name);
  }
  if (host.empty()) host = ".";
  if (!lost && lstat(host.c_str(), &out.st) == 0) out.exists = true;
  return finish(host);
}

bool IsDirectory(const std::string& host) {
  struct stat st;
  return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The Win32 code for an errno; `r` tells a missing file from a missing directory.
int MapErrno(int e, const Resolved* r, int fallback = kErrGeneric) {
  switch (e) {
    case 0:
      return fallback;
    case ENOENT:
      if (r != nullptr && r->has_last && !IsDirectory(r->parent)) return kErrPathNotFound;
      return r != nullptr && r->has_last ? kErrFileNotFound : kErrPathNotFound;
    case ENOTDIR:
    case ELOOP:
      return kErrPathNotFound;
    case EACCES:
    case EPERM:
    case ENXIO:  // a pipe without a reader, a device without its hardware
    case ENODEV:
    case EISDIR:
    case EROFS:
      return kErrAccessDenied;
    case ETXTBSY:
      return kErrSharingViolation;
    case EEXIST:
      return kErrFileExists;
    case ENOTEMPTY:
      return kErrDirNotEmpty;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return kErrDiskFull;
    case ENAMETOOLONG:
      return kErrFilenameTooLong;
    case EMFILE:
    case ENFILE:
      return kErrTooManyOpen;
    case EBADF:
      return kErrInvalidHandle;
    case EINVAL:
      return kErrInvalidParameter;
    case EAGAIN:
      return kErrLockViolation;
    case EXDEV:
      return kErrNotSameDevice;
    default:
      return fallback;
  }
}

std::uint32_t AttributesOf(const struct stat& st, std::string_view host_name) {
  std::uint32_t a = 0;
  if (S_ISDIR(st.st_mode)) a |= kAttrDirectory;
  if (S_ISREG(st.st_mode)) a |= kAttrArchive;
  if ((st.st_mode & S_IWUSR) == 0) a |= kAttrReadOnly;
  if (!host_name.empty() && host_name.front() == '.' && host_name != "." && host_name != "..")
    a |= kAttrHidden;
  return a == 0 ? kAttrNormal : a;
}

int LockRange(int fd, int cmd, short type, off_t start, off_t length) {
  struct flock fl = {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = start;
  fl.l_len = length;
  for (;;) {
    if (fcntl(fd, cmd, &fl) == 0) return 0;
    if (errno != EINTR) return errno;
  }
}

bool Unsupported(int e) {
  return e == EINVAL || e == ENOLCK || e == EOPNOTSUPP || e == ENOSYS;
}

// The markers of a set, as runs of adjacent bytes: {first, length}.
std::vector<std::pair<off_t, off_t>> Runs(std::initializer_list<std::pair<bool, off_t>> markers) {
  std::vector<off_t> bytes;
  for (const auto& [wanted, byte] : markers)
    if (wanted) bytes.push_back(byte);
  std::sort(bytes.begin(), bytes.end());
  std::vector<std::pair<off_t, off_t>> runs;
  for (off_t b : bytes) {
    if (!runs.empty() && runs.back().first + runs.back().second == b)
      ++runs.back().second;
    else
      runs.emplace_back(b, 1);
  }
  return runs;
}

// Whether another open holds a lock on any byte of the range; -1 when the probe fails.
int Held(int fd, off_t first, off_t length) {
  struct flock fl = {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = first;
  fl.l_len = length;
  if (fcntl(fd, F_OFD_GETLK, &fl) != 0) return -1;
  return fl.l_type != F_UNLCK ? 1 : 0;
}

// Takes this open's sharing markers; kErrNone, or kErrSharingViolation on a clash.
// `gate`: pass the gate first; a file this open has just made has no earlier opener to
// yield to.
int TakeShare(int fd, bool readable, bool writable, Access access, Share share, bool gate) {
  if (!readable) return kErrNone;
  // The gate is held for microseconds by opens of this program; a foreign lock over the
  // whole file may hold it for good, so waiting for it is bounded.
  int e = 0;
  for (int attempt = 0; gate && attempt < kGateAttempts; ++attempt) {
    e = LockRange(fd, F_OFD_SETLK, writable ? F_WRLCK : F_RDLCK, kGate, 1);
    if (e != EAGAIN && e != EACCES) break;
    struct timespec pause = {0, 1000000};
    nanosleep(&pause, nullptr);
  }
  if (e == EAGAIN || e == EACCES) return kErrSharingViolation;
  if (e != 0) return Unsupported(e) ? kErrNone : MapErrno(e, nullptr);
  int result = kErrNone;
  const bool reads = access & kRead, writes = access & kWrite;
  const bool denyRead = !(share & kShareRead), denyWrite = !(share & kShareWrite);
  for (const auto& [first, length] : Runs({{reads, kMarkRead},
                                           {writes, kMarkWrite},
                                           {denyRead, kMarkDenyRead},
                                           {denyWrite, kMarkDenyWrite}})) {
    int t = LockRange(fd, F_OFD_SETLK, F_RDLCK, first, length);
    if (t != 0) {
      if (Unsupported(t)) break;
      result = (t == EAGAIN || t == EACCES) ? kErrSharingViolation : MapErrno(t, nullptr);
      break;
    }
  }
  for (const auto& [first, length] : Runs({{reads, kMarkDenyRead},
                                           {writes, kMarkDenyWrite},
                                           {denyRead, kMarkRead},
                                           {denyWrite, kMarkWrite}})) {
    if (result != kErrNone) break;
    if (Held(fd, first, length) == 1) result = kErrSharingViolation;
  }
  if (gate) LockRange(fd, F_OFD_SETLK, F_UNLCK, kGate, 1);
  // On a clash the caller closes the descriptor, which drops the markers taken here.
  return result;
}

// Whether an open of this program holds the regular file at `host`. Windows refuses to
// delete or rename such a file (no open here allows it), and so do we.
bool HeldOpen(const std::string& host) {
  struct stat st;
  if (lstat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  bool held = Held(fd, kMarkRead, 2) == 1;
  ::close(fd);
  return held;
}

class PosixFile final : public File {
 public:
  PosixFile(int fd, Access access, bool writable, bool regular)
      : fd_(fd), offset_(regular ? 0 : -1), access_(access), writable_(writable) {}
  ~PosixFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  bool Read(void* buffer, std::size_t size, std::size_t& done, int& error) override {
    done = 0;
    if (!Usable(error)) return false;
    if (!(access_ & kRead)) return Fail(error, kErrAccessDenied);
    auto* p = static_cast<char*>(buffer);
    while (done < size) {
      ssize_t n = ::read(fd_, p + done, size - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        offset_ = -1;
        return Fail(error, MapErrno(errno, nullptr, kErrReadFault));
      }
      if (n == 0) break;
      done += static_cast<std::size_t>(n);
      // A regular file gives less than asked only at its end (for a request the host
      // serves whole): the read that would say so is left to the caller's next request
      // rather than made twice for every file.
      if (offset_ >= 0 && size <= kWholeRead) break;
    }
    Advance(done);
    error = kErrNone;
    return true;
  }

  bool Write(const void* buffer, std::size_t size, std::size_t& done, int& error) override {
    done = 0;
    if (!Usable(error)) return false;
    if (!(access_ & kWrite)) return Fail(error, kErrAccessDenied);
    const auto* p = static_cast<const char*>(buffer);
    while (done < size) {
      ssize_t n = ::write(fd_, p + done, size - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        offset_ = -1;
        // The bytes already written stay counted in `done`.
        return Fail(error, MapErrno(errno, nullptr, kErrWriteFault));
      }
      if (n == 0) break;
      done += static_cast<std::size_t>(n);
    }
    Advance(done);
    error = kErrNone;
    return true;
  }

  bool Seek(std::int64_t offset, Whence whence, std::int64_t& position, int& error) override {
    if (!Usable(error)) return false;
    int how = whence == Whence::kBegin     ? SEEK_SET
              : whence == Whence::kCurrent ? SEEK_CUR
                                           : SEEK_END;
    // Record files are read and written one record after another, each at its seek: a
    // seek to where the descriptor already stands asks nothing of the host.
    if (how == SEEK_SET && offset_ >= 0 && offset == offset_) {
      position = offset_;
      error = kErrNone;
      return true;
    }
    off_t p = ::lseek(fd_, static_cast<off_t>(offset), how);
    if (p < 0) {
      offset_ = -1;
      return Fail(error, MapErrno(errno, nullptr));
    }
    offset_ = p;
    position = p;
    error = kErrNone;
    return true;
  }

  bool Size(std::int64_t& size, int& error) override {
    if (!Usable(error)) return false;
    struct stat st;
    if (fstat(fd_, &st) != 0) return Fail(error, MapErrno(errno, nullptr));
    size = st.st_size;
    error = kErrNone;
    return true;
  }

  bool Truncate(int& error) override {
    if (!Usable(error)) return false;
    if (!(access_ & kWrite)) return Fail(error, kErrAccessDenied);
    off_t p = ::lseek(fd_, 0, SEEK_CUR);
    if (p < 0 || ftruncate(fd_, p) != 0) return Fail(error, MapErrno(errno, nullptr));
    error = kErrNone;
    return true;
  }

  bool Flush(int& error) override {
    if (!Usable(error)) return false;
    if (!(access_ & kWrite)) return Fail(error, kErrAccessDenied);
    // Devices and pipes cannot be synced; there is nothing of ours left to write.
    if (fsync(fd_) != 0 && errno != EINVAL && errno != EROFS)
      return Fail(error, MapErrno(errno, nullptr, kErrWriteFault));
    error = kErrNone;
    return true;
  }

  bool Lock(std::uint64_t offset, std::uint64_t length, int& error) override {
    if (!Usable(error)) return false;
    if (length == 0) return Ok(error);
    auto limit = static_cast<std::uint64_t>(kMarkerBase);
    if (offset >= limit || length > limit - offset) return Fail(error, kErrInvalidParameter);
    // One handle cannot lock a byte twice on Windows; the host would merge the ranges.
    for (const auto& [o, l] : ranges_)
      if (offset < o + l && o < offset + length) return Fail(error, kErrLockViolation);
    int e = LockRange(fd_, F_OFD_SETLK, writable_ ? F_WRLCK : F_RDLCK, static_cast<off_t>(offset),
                      static_cast<off_t>(length));
    if (e != 0) {
      if (Unsupported(e)) {
        ranges_.emplace_back(offset, length);
        return Ok(error);
      }
      return Fail(error, e == EAGAIN || e == EACCES ? kErrLockViolation : MapErrno(e, nullptr));
    }
    ranges_.emplace_back(offset, length);
    return Ok(error);
  }

  bool Unlock(std::uint64_t offset, std::uint64_t length, int& error) override {
    if (!Usable(error)) return false;
    if (length == 0) return Ok(error);
    auto it = std::find(ranges_.begin(), ranges_.end(), std::make_pair(offset, length));
    if (it == ranges_.end()) return Fail(error, kErrNotLocked);
    int e = LockRange(fd_, F_OFD_SETLK, F_UNLCK, static_cast<off_t>(offset),
                      static_cast<off_t>(length));
    if (e != 0 && !Unsupported(e)) return Fail(error, MapErrno(e, nullptr));
    ranges_.erase(it);
    return Ok(error);
  }

  bool CopyTo(File& target, std::uint64_t limit, std::span<std::uint8_t> scratch,
              std::uint64_t& done, CopyFault& fault, int& error) override {
    done = 0;
    // Between two regular files of this host the kernel carries the bytes itself. What it
    // cannot carry (another file system, a file opened for something else) goes through
    // memory from where it stopped, which also tells a read failure from a write failure.
    auto* to = dynamic_cast<PosixFile*>(&target);
    if (to != nullptr && to != this && fd_ >= 0 && to->fd_ >= 0 && (access_ & kRead) &&
        (to->access_ & kWrite) && offset_ >= 0 && to->offset_ >= 0) {
      while (done < limit) {
        const auto want =
            static_cast<std::size_t>(std::min<std::uint64_t>(limit - done, kCopyChunk));
        ssize_t n = ::copy_file_range(fd_, nullptr, to->fd_, nullptr, want, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || (n == 0 && done == 0)) break;
        if (n == 0) {
          // The end of a regular file that gave bytes before.
          fault = CopyFault::kNone;
          return Ok(error);
        }
        done += static_cast<std::uint64_t>(n);
        Advance(static_cast<std::size_t>(n));
        to->Advance(static_cast<std::size_t>(n));
      }
      if (done >= limit) {
        fault = CopyFault::kNone;
        return Ok(error);
      }
    }
    std::uint64_t rest = 0;
    bool ok = File::CopyTo(target, limit - done, scratch, rest, fault, error);
    done += rest;
    return ok;
  }

  bool Close(int& error) override {
    if (!Usable(error)) return false;
    int fd = std::exchange(fd_, -1);
    ranges_.clear();
    if (::close(fd) != 0 && errno != EINTR) return Fail(error, MapErrno(errno, nullptr));
    return Ok(error);
  }

 private:
  bool Usable(int& error) {
    if (fd_ >= 0) return true;
    error = kErrInvalidHandle;
    return false;
  }
  static bool Fail(int& error, int code) {
    error = code;
    return false;
  }
  static bool Ok(int& error) {
    error = kErrNone;
    return true;
  }

  void Advance(std::size_t bytes) {
    if (offset_ >= 0) offset_ += static_cast<std::int64_t>(bytes);
  }

  int fd_;
  // The descriptor's offset as this object moved it (a regular file's new descriptor
  // starts at 0); -1 for devices and pipes, and once a failed call may have left it
  // anywhere.
  std::int64_t offset_;
  Access access_;
  bool writable_;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges_;
};

class PosixFind final : public FindHandle {
 public:
  explicit PosixFind(std::vector<FindData> found) : found_(std::move(found)) {}
  bool Next(FindData& data) override {
    if (next_ >= found_.size()) return false;
    data = found_[next_++];
    return true;
  }

 private:
  std::vector<FindData> found_;
  std::size_t next_ = 0;
};

class PosixFiles final : public Files {
 public:
  std::unique_ptr<File> Open(std::string_view path, Access access, Share share,
                             Disposition disposition, int& error) override {
    Resolved r;
    const bool creates = disposition != Disposition::kOpenExisting;
    if (!Resolve(path, r, error, listings_, creates ? Lookup::kCreate : Lookup::kName))
      return nullptr;
    if ((access & kReadWrite) == 0) {
      error = kErrInvalidParameter;
      return nullptr;
    }
    int create = 0;
    switch (disposition) {
      case Disposition::kOpenExisting:
        break;
      case Disposition::kCreateAlways:
      case Disposition::kOpenAlways:
        create = O_CREAT;
        break;
      case Disposition::kCreateNew:
        create = O_CREAT | O_EXCL;
        break;
    }
    // Read and write internally whenever the file allows it: the sharing markers need a
    // readable descriptor, exclusive range locks and truncation a writable one. The
    // access asked for is enforced by the file object.
    bool readable = true;
    bool writable = true;
    // A name the lookup did not find is made exclusively, so that a file another program
    // made meanwhile is opened (and cut) as the existing file it is. O_NONBLOCK, so that
    // a named pipe with no writer cannot hold the open; it changes nothing for the
    // regular files kept below.
    const int always = O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    bool made = !r.exists && create != 0;
    int flags = create | (made ? O_EXCL : 0) | always;
    int fd = ::open(r.host.c_str(), O_RDWR | flags, 0666);
    if (fd < 0 && made && errno == EEXIST && disposition != Disposition::kCreateNew) {
      made = false;
      flags = create | always;
      fd = ::open(r.host.c_str(), O_RDWR | flags, 0666);
    }
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == ETXTBSY || errno == EPERM)) {
      if (access == kRead && disposition != Disposition::kCreateAlways) {
        writable = false;
        fd = ::open(r.host.c_str(), O_RDONLY | flags, 0666);
      } else if (access == kWrite) {
        readable = false;
        fd = ::open(r.host.c_str(), O_WRONLY | flags, 0666);
      }
    }
    if (fd < 0) {
      error = MapErrno(errno, &r);
      return nullptr;
    }
    // Data files only: a pipe, a device or a directory where a file is expected would
    // wait for ever or read without end, so it is refused as an unreadable file. A file
    // made by this open, or a regular file the lookup saw and that opened for writing,
    // needs no more asking.
    struct stat st = r.st;
    if (!made && !(writable && r.exists && S_ISREG(r.st.st_mode)) &&
        (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
      ::close(fd);
      error = kErrAccessDenied;
      return nullptr;
    }
    // A file another program made after its directory was listed is in the listing
    // from the first open of it on.
    if (r.has_last) listings_.Added(r.parent, r.last);
    int shared = TakeShare(fd, readable, writable, access, share, !made);
    if (shared != kErrNone) {
      ::close(fd);
      error = shared;
      return nullptr;
    }
    // Truncate only once the sharing check has passed: a refused open leaves the file
    // as it was. Devices have nothing to cut.
    if (disposition == Disposition::kCreateAlways && !made && S_ISREG(st.st_mode) &&
        ftruncate(fd, 0) != 0) {
      error = MapErrno(errno, &r);
      ::close(fd);
      return nullptr;
    }
    error = kErrNone;
    return std::make_unique<PosixFile>(fd, access, writable, made || S_ISREG(st.st_mode));
  }

  bool Rename(std::string_view from, std::string_view to, int& error) override {
    Resolved a, b;
    if (!Resolve(from, a, error, listings_) || !Resolve(to, b, error, listings_)) return false;
    struct stat sa, sb;
    if (lstat(a.host.c_str(), &sa) != 0) return Fail(error, MapErrno(errno, &a));
    if (HeldOpen(a.host)) return Fail(error, kErrSharingViolation);
    std::string target = b.host;
    if (lstat(b.host.c_str(), &sb) == 0) {
      // The same object under another spelling: a change of case only.
      if (sa.st_dev != sb.st_dev || sa.st_ino != sb.st_ino || !b.has_last)
        return Fail(error, kErrAlreadyExists);
      target = Join(b.parent, b.spelled);
      if (target == a.host) return Ok(error);
      if (::rename(a.host.c_str(), target.c_str()) != 0) return Fail(error, MapErrno(errno, &b));
      return Renamed(a, b, b.spelled, S_ISDIR(sa.st_mode), error);
    }
    if (renameat2(AT_FDCWD, a.host.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
      return Renamed(a, b, b.last, S_ISDIR(sa.st_mode), error);
    if (errno == EINVAL || errno == ENOSYS) {
      // No exclusive rename on this file system: the check above has to do.
      if (::rename(a.host.c_str(), target.c_str()) == 0)
        return Renamed(a, b, b.last, S_ISDIR(sa.st_mode), error);
    }
    if (errno == EEXIST || errno == ENOTEMPTY) return Fail(error, kErrAlreadyExists);
    return Fail(error, MapErrno(errno, &b));
  }

  bool Remove(std::string_view path, int& error) override {
    Resolved r;
    if (!Resolve(path, r, error, listings_)) return false;
    struct stat st;
    if (lstat(r.host.c_str(), &st) != 0) return Fail(error, MapErrno(errno, &r));
    if (S_ISDIR(st.st_mode)) return Fail(error, kErrAccessDenied);
    if (HeldOpen(r.host)) return Fail(error, kErrSharingViolation);
    if (unlink(r.host.c_str()) != 0) return Fail(error, MapErrno(errno, &r));
    listings_.Removed(r.parent, r.last);
    return Ok(error);
  }

  bool MakeDirectory(std::string_view path, int& error) override {
    Resolved r;
    if (!Resolve(path, r, error, listings_)) return false;
    if (mkdir(r.host.c_str(), 0777) != 0) {
      return Fail(error, errno == EEXIST ? kErrAlreadyExists : MapErrno(errno, &r));
    }
    if (r.has_last) {
      listings_.Added(r.parent, r.last);
      listings_.Made(Join(r.parent, r.last));
    }
    return Ok(error);
  }

  bool RemoveDirectory(std::string_view path, int& error) override {
    Resolved r;
    if (!Resolve(path, r, error, listings_)) return false;
    if (rmdir(r.host.c_str()) != 0) {
      int e = errno;
      struct stat st;
      if (e == ENOTDIR && lstat(r.host.c_str(), &st) == 0) return Fail(error, kErrDirectory);
      if (e == EEXIST || e == ENOTEMPTY) return Fail(error, kErrDirNotEmpty);
      return Fail(error, MapErrno(e, &r));
    }
    // Listings of the directory's own path would outlive it.
    listings_.Forget();
    return Ok(error);
  }

  bool GetAttributes(std::string_view path, std::uint32_t& attributes,
                     std::int64_t& size) override {
    Resolved r;
    int error = 0;
    if (!Resolve(path, r, error, listings_) || !r.exists) return false;
    struct stat st = r.st;
    if (S_ISLNK(st.st_mode) && stat(r.host.c_str(), &st) != 0) return false;
    attributes = AttributesOf(st, r.last);
    size = S_ISREG(st.st_mode) ? st.st_size : 0;
    return true;
  }

  std::unique_ptr<FindHandle> FindFirst(std::string_view pattern, std::uint32_t mask,
                                        FindData& first, int& error) override {
    Resolved r;
    if (!Resolve(pattern, r, error, listings_, Lookup::kPattern)) return nullptr;
    if (!r.has_last || r.trailing) {
      error = kErrFileNotFound;
      return nullptr;
    }
    // A firm's items search its directories for patterns many times over: while the
    // listings are held, each directory is listed once.
    std::vector<std::string> names;
    if (!listings_.HostNames(r.parent, names)) {
      DIR* d = opendir(r.parent.c_str());
      if (d == nullptr) {
        error = errno == ENOENT || errno == ENOTDIR ? kErrPathNotFound : MapErrno(errno, nullptr);
        return nullptr;
      }
      while (dirent* e = readdir(d)) {
        std::string_view host = e->d_name;
        if (host != "." && host != "..") names.emplace_back(host);
      }
      closedir(d);
    }
    std::vector<std::pair<std::string, FindData>> found;  // host name, entry
    const std::uint32_t kMasked = kAttrHidden | kAttrSystem | kAttrDirectory;
    for (const std::string& host : names) {
      FindData data;
      data.name = Utf8ToCp852(host);
      if (!MatchPattern(r.pattern, data.name)) continue;
      struct stat st;
      std::string full = Join(r.parent, std::string(host));
      if (stat(full.c_str(), &st) != 0 && lstat(full.c_str(), &st) != 0) continue;
      data.attributes = AttributesOf(st, host);
      if ((data.attributes & kMasked & ~mask) != 0) continue;
      data.size = S_ISREG(st.st_mode) ? st.st_size : 0;
      found.emplace_back(host, std::move(data));
    }
    if (found.empty()) {
      error = kErrFileNotFound;
      return nullptr;
    }
    std::sort(found.begin(), found.end(), [](const auto& x, const auto& y) {
      return x.second.name != y.second.name ? x.second.name < y.second.name : x.first < y.first;
    });
    std::vector<FindData> list;
    list.reserve(found.size());
    for (auto& f : found) list.push_back(std::move(f.second));
    auto handle = std::make_unique<PosixFind>(std::move(list));
    handle->Next(first);
    error = kErrNone;
    return handle;
  }

  std::string CurrentDirectory() override {
    std::vector<char> buf(4096);
    for (;;) {
      if (getcwd(buf.data(), buf.size()) != nullptr) return Utf8ToCp852(buf.data());
      if (errno != ERANGE) return std::string();
      buf.resize(buf.size() * 2);
    }
  }

  bool SetCurrentDirectory(std::string_view path, int& error) override {
    Resolved r;
    if (!Resolve(path, r, error, listings_)) return false;
    // Relative names mean other directories from here on.
    listings_.Forget();
    if (chdir(r.host.c_str()) != 0) {
      int e = errno;
      struct stat st;
      if (e == ENOTDIR && stat(r.host.c_str(), &st) == 0) return Fail(error, kErrDirectory);
      return Fail(error, MapErrno(e, &r));
    }
    return Ok(error);
  }

  bool SameObject(std::string_view a, std::string_view b) override {
    Resolved ra, rb;
    int error = 0;
    if (!Resolve(a, ra, error, listings_) || !Resolve(b, rb, error, listings_)) return false;
    struct stat sa, sb;
    if (stat(ra.host.c_str(), &sa) != 0 || stat(rb.host.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  }

  void HoldListings(bool hold) override { listings_.Hold(hold); }

 private:
  // The listings follow a rename: a renamed directory takes the listings below it along.
  bool Renamed(const Resolved& from, const Resolved& to, const std::string& name, bool directory,
               int& error) {
    if (directory || from.trailing || to.trailing || !from.has_last || !to.has_last) {
      listings_.Forget();
    } else {
      listings_.Removed(from.parent, from.last);
      listings_.Added(to.parent, name);
    }
    return Ok(error);
  }

  static bool Fail(int& error, int code) {
    error = code;
    return false;
  }
  static bool Ok(int& error) {
    error = kErrNone;
    return true;
  }

  Listings listings_;
};

bool MatchFrom(std::string_view p, std::string_view n) {
  // Iterative matcher with one backtrack point for the last '*'.
  std::size_t i = 0, j = 0, star = std::string_view::npos, mark = 0;
  while (j < n.size()) {
    if (i < p.size() && (p[i] == '?' || Fold(p[i]) == Fold(n[j]))) {
      ++i;
      ++j;
    } else if (i < p.size() && p[i] == '*') {
      star = i++;
      mark = j;
    } else if (star != std::string_view::npos) {
      i = star + 1;
      j = ++mark;
    } else {
      return false;
    }
  }
  while (i < p.size() && p[i] == '*') ++i;
  return i == p.size();
}

}  // namespace

std::string FoldName(std::string_view cp852) {
  std::string out(cp852);
  for (char& c : out) c = static_cast<char>(Fold(c));
  return out;
}

bool MatchPattern(std::string_view pattern, std::string_view name) {
  if (MatchFrom(pattern, name)) return true;
  bool dotless = name.find('.') == std::string_view::npos;
  if (!dotless) return false;
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*")
    return MatchFrom(pattern.substr(0, pattern.size() - 2), name);
  if (pattern.size() >= 2 && pattern.back() == '.')
    return MatchFrom(pattern.substr(0, pattern.size() - 1), name);
  return false;
}

std::unique_ptr<Files> CreatePosixFiles() {
  return std::make_unique<PosixFiles>();
}

}  // namespace posix

std::unique_ptr<Files> CreateHostFiles() {
  return posix::CreatePosixFiles();
}

}  // namespace zq::platform
