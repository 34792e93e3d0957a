#ifdef _WIN32
#include <string>

#include "platform/win32/text.h"
#include "platform/win32/win.h"
#include "support/other_process.h"

namespace zq::test {

namespace {

// The lock helper program of the Windows tests, as this process can start it: a path
// of the POSIX host that built it is reached through wine's drive Z:.
std::wstring HelperPath() {
  std::string helper = ZQ_WIN_LOCK;
  if (!helper.empty() && helper[0] == '/') {
    for (char& c : helper)
      if (c == '/') c = '\\';
    helper = "Z:" + helper;
  }
  return platform::win32::OemToWide(helper);
}

// Starts the helper with `arguments` (OEM code page); null on failure.
HANDLE StartHelper(const std::string& arguments) {
  std::wstring line = L"\"" + HelperPath() + L"\" " + platform::win32::OemToWide(arguments);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return nullptr;
  CloseHandle(pi.hThread);
  return pi.hProcess;
}

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

}  // namespace

struct LockHolder::Impl {
  HANDLE process = nullptr;
  HANDLE ready = nullptr;
  HANDLE release = nullptr;
  bool locked = false;
  bool released = false;
};

LockHolder::LockHolder(const std::string& path) : impl_(std::make_unique<Impl>()) {
  Impl& d = *impl_;
  static int serial = 0;
  std::string tag = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
  std::string readyName = "zq-lock-ready-" + tag, releaseName = "zq-lock-release-" + tag;
  d.ready = CreateEventA(nullptr, TRUE, FALSE, readyName.c_str());
  d.release = CreateEventA(nullptr, TRUE, FALSE, releaseName.c_str());
  if (d.ready == nullptr || d.release == nullptr) return;
  d.process = StartHelper("hold-lock " + Quoted(path) + " " + readyName + " " + releaseName);
  if (d.process == nullptr) return;
  // Either the helper has the lock, or it ended without it.
  HANDLE waits[2] = {d.ready, d.process};
  d.locked = WaitForMultipleObjects(2, waits, FALSE, 30000) == WAIT_OBJECT_0;
}

LockHolder::~LockHolder() {
  Release();
  for (HANDLE h : {impl_->process, impl_->ready, impl_->release})
    if (h != nullptr) CloseHandle(h);
}

bool LockHolder::Locked() const {
  return impl_->locked;
}

void LockHolder::Release() {
  Impl& d = *impl_;
  if (d.released || d.process == nullptr) return;
  d.released = true;
  SetEvent(d.release);
  WaitForSingleObject(d.process, 30000);
}

bool OtherProcessCanLock(const std::string& path) {
  HANDLE process = StartHelper("can-lock " + Quoted(path));
  if (process == nullptr) return false;
  DWORD code = 1;
  if (WaitForSingleObject(process, 30000) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return code == 0;
}

}  // namespace zq::test
#endif
