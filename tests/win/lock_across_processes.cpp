// Two processes and the whole-file lock of a firm list file: while one holds bytes
// 0 .. 2^31-2 (the lock the shared record files take), another that opens the same
// file gets a lock violation (error 33) for a lock inside that range, can lock the
// bytes beyond it, and gets the lock once the holder unlocks or closes the file.
// (Windows also refuses reads of a locked range; wine does not, so reads are not
// checked here.)
//   zq_win_lock                          runs the check, exit code 0 when it holds
//   zq_win_lock probe FILE locked|free   the second process
//   zq_win_lock hold-clipboard READY RELEASE
//                                        keeps the clipboard open, as another program
//                                        may, from setting the event READY until the
//                                        event RELEASE is set (exit code 3: no clipboard)
//   zq_win_lock hold-lock FILE READY RELEASE
//                                        takes the whole-file lock of FILE, sets READY
//                                        and holds it until RELEASE is set (ten seconds
//                                        at most); exit code 1 when it cannot lock
//   zq_win_lock can-lock FILE            exit code 0 when the whole-file lock of FILE
//                                        can be taken now
// Arguments are read from the UTF-16 command line, so paths arrive in the OEM code
// page the file calls take.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/host.h"
#include "platform/win32/process.h"
#include "platform/win32/text.h"
#include "platform/win32/win.h"

namespace {

using zq::platform::File;
using zq::platform::Files;

constexpr std::uint64_t kWholeFile = 0x7FFFFFFF;  // 2^31 - 1 bytes from offset 0
constexpr std::size_t kRecord = 103;

int failures = 0;

void Check(bool ok, const char* what, int error = 0) {
  std::printf("%s %s", ok ? "ok  " : "FAIL", what);
  if (error != 0) std::printf(" (error %d)", error);
  std::printf("\n");
  if (!ok) ++failures;
}

int Probe(const std::string& path, bool expectLocked) {
  auto files = zq::platform::CreateHostFiles();
  int error = 0;
  auto file = files->Open(path, zq::platform::kReadWrite, zq::platform::kShareReadWrite,
                          zq::platform::Disposition::kOpenExisting, error);
  Check(file != nullptr, "second process opens the firm list (deny none)", error);
  if (!file) return 1;
  bool locked = file->Lock(0, kWholeFile, error);
  if (expectLocked) {
    Check(!locked && error == zq::platform::kErrLockViolation,
          "second process: whole-file lock refused with error 33", error);
    bool first = file->Lock(0, 1, error);
    Check(!first && error == zq::platform::kErrLockViolation,
          "second process: lock of the first byte refused with error 33", error);
    bool beyond = file->Lock(kWholeFile, 1, error);
    Check(beyond, "second process: the byte after the range can be locked", error);
    if (beyond) file->Unlock(kWholeFile, 1, error);
  } else {
    Check(locked, "second process: whole-file lock granted once the holder let go", error);
    if (locked) file->Unlock(0, kWholeFile, error);
  }
  file->Close(error);
  return failures == 0 ? 0 : 1;
}

// Runs this program again as the second process; its exit code.
int RunProbe(const std::string& path, const char* expect) {
  std::wstring self(MAX_PATH, L'\0');
  self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
  std::wstring line = L"\"" + self + L"\" probe \"" + zq::platform::win32::OemToWide(path) +
                      L"\" " + zq::platform::win32::OemToWide(expect);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(self.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                      &pi)) {
    Check(false, "second process starts", static_cast<int>(GetLastError()));
    return 1;
  }
  DWORD code = 1;
  if (WaitForSingleObject(pi.hProcess, 60000) != WAIT_OBJECT_0) {
    Check(false, "second process ends within a minute");
    TerminateProcess(pi.hProcess, 1);
  } else {
    GetExitCodeProcess(pi.hProcess, &code);
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<int>(code);
}

int Run() {
  wchar_t temp[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  std::string dir = zq::platform::win32::WideToOem(std::wstring_view(temp, n)) + "zqlock-" +
                    std::to_string(GetCurrentProcessId());
  auto files = zq::platform::CreateHostFiles();
  int error = 0;
  files->MakeDirectory(dir, error);
  std::string path = dir + "\\SPISFIRM.DAT";
  {
    auto file = files->Open(path, zq::platform::kReadWrite, zq::platform::kShareReadWrite,
                            zq::platform::Disposition::kCreateAlways, error);
    Check(file != nullptr, "first process creates the firm list", error);
    if (!file) return 1;
    std::vector<char> records(3 * kRecord, 'F');
    std::size_t done = 0;
    Check(file->Write(records.data(), records.size(), done, error) && done == records.size(),
          "first process writes three records", error);
    Check(file->Lock(0, kWholeFile, error), "first process locks 0 .. 2^31-2", error);
    Check(RunProbe(path, "locked") == 0, "second process sees the lock");
    Check(file->Unlock(0, kWholeFile, error), "first process unlocks", error);
    Check(RunProbe(path, "free") == 0, "second process gets the lock afterwards");
    // A lock still held when the holder closes the file goes with the handle.
    Check(file->Lock(0, kWholeFile, error), "first process locks again", error);
    file->Close(error);
  }
  Check(RunProbe(path, "free") == 0, "closing the file lets the lock go");
  files->Remove(path, error);
  files->RemoveDirectory(dir, error);
  std::printf("%s\n", failures == 0 ? "lock exclusion across processes holds" : "FAILED");
  return failures == 0 ? 0 : 1;
}

std::unique_ptr<File> OpenShared(Files& files, const std::string& path) {
  int error = 0;
  return files.Open(path, zq::platform::kReadWrite, zq::platform::kShareReadWrite,
                    zq::platform::Disposition::kOpenExisting, error);
}

int HoldLock(const std::string& path, const std::string& ready, const std::string& release) {
  HANDLE readyEvent = OpenEventA(EVENT_MODIFY_STATE, FALSE, ready.c_str());
  HANDLE releaseEvent = OpenEventA(SYNCHRONIZE, FALSE, release.c_str());
  if (readyEvent == nullptr || releaseEvent == nullptr) return 2;
  auto files = zq::platform::CreateHostFiles();
  auto file = OpenShared(*files, path);
  int error = 0;
  if (!file || !file->Lock(0, kWholeFile, error)) return 1;
  SetEvent(readyEvent);
  WaitForSingleObject(releaseEvent, 10000);
  file->Unlock(0, kWholeFile, error);
  return 0;
}

int CanLock(const std::string& path) {
  auto files = zq::platform::CreateHostFiles();
  auto file = OpenShared(*files, path);
  int error = 0;
  if (!file || !file->Lock(0, kWholeFile, error)) return 1;
  file->Unlock(0, kWholeFile, error);
  return 0;
}

int HoldClipboard(const std::string& ready, const std::string& release) {
  HANDLE readyEvent = OpenEventA(EVENT_MODIFY_STATE, FALSE, ready.c_str());
  HANDLE releaseEvent = OpenEventA(SYNCHRONIZE, FALSE, release.c_str());
  if (readyEvent == nullptr || releaseEvent == nullptr) return 2;
  if (!OpenClipboard(nullptr)) return 3;
  SetEvent(readyEvent);
  WaitForSingleObject(releaseEvent, 60000);
  CloseClipboard();
  return 0;
}

}  // namespace

int main() {
  std::vector<std::string> args;
  for (const std::wstring& word : zq::platform::win32::SplitCommandLine(GetCommandLineW()))
    args.push_back(zq::platform::win32::WideToOem(word));
  std::string mode = args.size() > 1 ? args[1] : std::string();
  if (args.size() == 4 && mode == "probe") return Probe(args[2], args[3] == "locked");
  if (args.size() == 4 && mode == "hold-clipboard") return HoldClipboard(args[2], args[3]);
  if (args.size() == 5 && mode == "hold-lock") return HoldLock(args[2], args[3], args[4]);
  if (args.size() == 3 && mode == "can-lock") return CanLock(args[2]);
  return Run();
}
