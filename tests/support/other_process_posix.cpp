#ifndef _WIN32
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/host.h"
#include "support/other_process.h"
#include "tui/shared_file.h"

namespace zq::test {

namespace {

void Tell(int fd, char c) {
  while (write(fd, &c, 1) < 0 && errno == EINTR) {
  }
}

char Hear(int fd) {
  char c = 0;
  while (read(fd, &c, 1) < 0 && errno == EINTR) {
  }
  return c;
}

}  // namespace

struct LockHolder::Impl {
  int toChild[2] = {-1, -1};
  int fromChild[2] = {-1, -1};
  pid_t pid = -1;
  bool locked = false;
  bool released = false;
};

LockHolder::LockHolder(const std::string& path) : impl_(std::make_unique<Impl>()) {
  Impl& d = *impl_;
  if (pipe(d.toChild) != 0 || pipe(d.fromChild) != 0) return;
  d.pid = fork();
  if (d.pid == 0) {
    close(d.toChild[1]);
    close(d.fromChild[0]);
    auto files = platform::CreateHostFiles();
    int error = 0;
    auto file = files->Open(path, platform::kReadWrite, platform::kShareReadWrite,
                            platform::Disposition::kOpenExisting, error);
    char state = file && file->Lock(0, tui::kWholeFileLength, error) ? 'L' : 'F';
    Tell(d.fromChild[1], state);
    pollfd wait{d.toChild[0], POLLIN, 0};
    poll(&wait, 1, 10000);
    if (state == 'L') file->Unlock(0, tui::kWholeFileLength, error);
    Tell(d.fromChild[1], 'U');
    _exit(0);
  }
  close(d.toChild[0]);
  close(d.fromChild[1]);
  d.locked = Hear(d.fromChild[0]) == 'L';
}

LockHolder::~LockHolder() {
  Release();
  if (impl_->pid > 0) waitpid(impl_->pid, nullptr, 0);
  close(impl_->toChild[1]);
  close(impl_->fromChild[0]);
}

bool LockHolder::Locked() const {
  return impl_->locked;
}

void LockHolder::Release() {
  Impl& d = *impl_;
  if (d.released || d.pid <= 0) return;
  d.released = true;
  Tell(d.toChild[1], 'R');
  Hear(d.fromChild[0]);
}

bool OtherProcessCanLock(const std::string& path) {
  pid_t pid = fork();
  if (pid == 0) {
    auto files = platform::CreateHostFiles();
    int error = 0;
    auto file = files->Open(path, platform::kReadWrite, platform::kShareReadWrite,
                            platform::Disposition::kOpenExisting, error);
    _exit(file && file->Lock(0, tui::kWholeFileLength, error) ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace zq::test
#endif
