#include "platform/win32/files.h"

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

#include "platform/host.h"
#include "platform/win32/text.h"
#include "platform/win32/win.h"

namespace zq::platform::win32 {

namespace {

// The DOS attribute bits the interface knows; the others (reparse point,
// compressed, not indexed) would only confuse a test of the attributes.
constexpr DWORD kKnownAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                   FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY |
                                   FILE_ATTRIBUTE_ARCHIVE;

// Largest block handed to one ReadFile or WriteFile call.
constexpr std::size_t kMaxBlock = 1u << 30;

std::uint32_t Attributes(DWORD attributes) {
  DWORD a = attributes & kKnownAttributes;
  return a == 0 ? kAttrNormal : static_cast<std::uint32_t>(a);
}

int LastError() {
  DWORD e = ::GetLastError();
  return e == 0 ? kErrGeneric : static_cast<int>(e);
}

bool Fail(int& error, int code) {
  error = code;
  return false;
}

bool Ok(int& error) {
  error = kErrNone;
  return true;
}

// A path as the narrow calls take it, in the OEM code page. A NUL inside would cut
// the name short.
bool NarrowPath(std::string_view path, std::string& out, int& error) {
  if (path.find('\0') != std::string_view::npos) return Fail(error, kErrInvalidName);
  if (path.empty()) return Fail(error, kErrPathNotFound);
  out.assign(path);
  return true;
}

class Win32File final : public File {
 public:
  explicit Win32File(HANDLE handle) : handle_(handle) {}
  ~Win32File() override {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  }

  bool Read(void* buffer, std::size_t size, std::size_t& done, int& error) override {
    done = 0;
    if (!Usable(error)) return false;
    auto* p = static_cast<char*>(buffer);
    while (done < size) {
      DWORD want = static_cast<DWORD>(std::min(size - done, kMaxBlock));
      DWORD got = 0;
      if (!::ReadFile(handle_, p + done, want, &got, nullptr)) {
        DWORD e = ::GetLastError();
        if (e == ERROR_HANDLE_EOF || e == ERROR_BROKEN_PIPE) break;
        return Fail(error, e == 0 ? kErrReadFault : static_cast<int>(e));
      }
      if (got == 0) break;
      done += got;
    }
    return Ok(error);
  }

  bool Write(const void* buffer, std::size_t size, std::size_t& done, int& error) override {
    done = 0;
    if (!Usable(error)) return false;
    const auto* p = static_cast<const char*>(buffer);
    while (done < size) {
      DWORD want = static_cast<DWORD>(std::min(size - done, kMaxBlock));
      DWORD put = 0;
      if (!::WriteFile(handle_, p + done, want, &put, nullptr)) {
        // The bytes already written stay counted in `done`.
        done += put;
        DWORD e = ::GetLastError();
        return Fail(error, e == 0 ? kErrWriteFault : static_cast<int>(e));
      }
      if (put == 0) return Fail(error, kErrHandleDiskFull);
      done += put;
    }
    return Ok(error);
  }

  bool Seek(std::int64_t offset, Whence whence, std::int64_t& position, int& error) override {
    if (!Usable(error)) return false;
    DWORD how = whence == Whence::kBegin     ? FILE_BEGIN
                : whence == Whence::kCurrent ? FILE_CURRENT
                                             : FILE_END;
    LARGE_INTEGER distance, result;
    distance.QuadPart = offset;
    if (!::SetFilePointerEx(handle_, distance, &result, how)) return Fail(error, LastError());
    position = result.QuadPart;
    return Ok(error);
  }

  bool Size(std::int64_t& size, int& error) override {
    if (!Usable(error)) return false;
    LARGE_INTEGER s;
    if (!::GetFileSizeEx(handle_, &s)) return Fail(error, LastError());
    size = s.QuadPart;
    return Ok(error);
  }

  bool Truncate(int& error) override {
    if (!Usable(error)) return false;
    if (!::SetEndOfFile(handle_)) return Fail(error, LastError());
    return Ok(error);
  }

  bool Flush(int& error) override {
    if (!Usable(error)) return false;
    if (!::FlushFileBuffers(handle_)) return Fail(error, LastError());
    return Ok(error);
  }

  bool Lock(std::uint64_t offset, std::uint64_t length, int& error) override {
    if (!Usable(error)) return false;
    if (length == 0) return Ok(error);
    if (!::LockFile(handle_, Low(offset), High(offset), Low(length), High(length)))
      return Fail(error, LastError());
    return Ok(error);
  }

  bool Unlock(std::uint64_t offset, std::uint64_t length, int& error) override {
    if (!Usable(error)) return false;
    if (length == 0) return Ok(error);
    if (!::UnlockFile(handle_, Low(offset), High(offset), Low(length), High(length)))
      return Fail(error, LastError());
    return Ok(error);
  }

  bool Close(int& error) override {
    if (!Usable(error)) return false;
    HANDLE h = std::exchange(handle_, INVALID_HANDLE_VALUE);
    if (!::CloseHandle(h)) return Fail(error, LastError());
    return Ok(error);
  }

 private:
  static DWORD Low(std::uint64_t v) { return static_cast<DWORD>(v & 0xFFFFFFFFu); }
  static DWORD High(std::uint64_t v) { return static_cast<DWORD>(v >> 32); }
  bool Usable(int& error) {
    if (handle_ != INVALID_HANDLE_VALUE) return true;
    return Fail(error, kErrInvalidHandle);
  }

  HANDLE handle_;
};

// A found name. A long name with characters the OEM code page lacks comes with '?'
// in their place (a character no name holds) and could never be opened again under
// that spelling; its short name can.
std::string FoundName(const WIN32_FIND_DATAA& data) {
  std::string_view name = data.cFileName;
  if (name.find('?') != std::string_view::npos && data.cAlternateFileName[0] != 0)
    name = data.cAlternateFileName;
  return std::string(name);
}

bool Wanted(const WIN32_FIND_DATAA& data, std::uint32_t mask) {
  std::string_view name = data.cFileName;
  if (name == "." || name == "..") return false;
  const DWORD kMasked = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;
  return (data.dwFileAttributes & kMasked & ~static_cast<DWORD>(mask)) == 0;
}

void Fill(const WIN32_FIND_DATAA& data, FindData& out) {
  out.name = FoundName(data);
  out.attributes = Attributes(data.dwFileAttributes);
  out.size = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                 ? 0
                 : static_cast<std::int64_t>(
                       (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

class Win32Find final : public FindHandle {
 public:
  Win32Find(HANDLE handle, std::uint32_t mask) : handle_(handle), mask_(mask) {}
  ~Win32Find() override {
    if (handle_ != INVALID_HANDLE_VALUE) ::FindClose(handle_);
  }

  bool Next(FindData& data) override {
    if (handle_ == INVALID_HANDLE_VALUE) return false;
    WIN32_FIND_DATAA found;
    while (::FindNextFileA(handle_, &found)) {
      if (!Wanted(found, mask_)) continue;
      Fill(found, data);
      return true;
    }
    ::FindClose(std::exchange(handle_, INVALID_HANDLE_VALUE));
    return false;
  }

 private:
  HANDLE handle_;
  std::uint32_t mask_;
};

// Identity of an existing file or directory: volume and file index.
bool Identity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
  HANDLE h = ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = ::GetFileInformationByHandle(h, &info) != 0;
  ::CloseHandle(h);
  return ok;
}

class Win32Files final : public Files {
 public:
  std::unique_ptr<File> Open(std::string_view path, Access access, Share share,
                             Disposition disposition, int& error) override {
    std::string name;
    if (!NarrowPath(path, name, error)) return nullptr;
    if ((access & kReadWrite) == 0) {
      error = kErrInvalidParameter;
      return nullptr;
    }
    DWORD desired = ((access & kRead) ? GENERIC_READ : 0) | ((access & kWrite) ? GENERIC_WRITE : 0);
    DWORD sharing = ((share & kShareRead) ? FILE_SHARE_READ : 0) |
                    ((share & kShareWrite) ? FILE_SHARE_WRITE : 0);
    DWORD how = OPEN_EXISTING;
    switch (disposition) {
      case Disposition::kOpenExisting:
        how = OPEN_EXISTING;
        break;
      case Disposition::kCreateAlways:
        how = CREATE_ALWAYS;
        break;
      case Disposition::kOpenAlways:
        how = OPEN_ALWAYS;
        break;
      case Disposition::kCreateNew:
        how = CREATE_NEW;
        break;
    }
    HANDLE h =
        ::CreateFileA(name.c_str(), desired, sharing, nullptr, how, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      error = LastError();
      return nullptr;
    }
    // A device name (CON, NUL, COM1) opens too; the program reads and writes data
    // files only, and a read from the console would wait for the keyboard.
    if (::GetFileType(h) != FILE_TYPE_DISK) {
      ::CloseHandle(h);
      error = kErrAccessDenied;
      return nullptr;
    }
    error = kErrNone;
    return std::make_unique<Win32File>(h);
  }

  bool Rename(std::string_view from, std::string_view to, int& error) override {
    std::string a, b;
    if (!NarrowPath(from, a, error) || !NarrowPath(to, b, error)) return false;
    if (!::MoveFileA(a.c_str(), b.c_str())) return Fail(error, LastError());
    return Ok(error);
  }

  bool Remove(std::string_view path, int& error) override {
    std::string name;
    if (!NarrowPath(path, name, error)) return false;
    if (!::DeleteFileA(name.c_str())) return Fail(error, LastError());
    return Ok(error);
  }

  bool MakeDirectory(std::string_view path, int& error) override {
    std::string name;
    if (!NarrowPath(path, name, error)) return false;
    if (!::CreateDirectoryA(name.c_str(), nullptr)) return Fail(error, LastError());
    return Ok(error);
  }

  bool RemoveDirectory(std::string_view path, int& error) override {
    std::string name;
    if (!NarrowPath(path, name, error)) return false;
    if (!::RemoveDirectoryA(name.c_str())) return Fail(error, LastError());
    return Ok(error);
  }

  bool GetAttributes(std::string_view path, std::uint32_t& attributes,
                     std::int64_t& size) override {
    std::string name;
    int error = 0;
    if (!NarrowPath(path, name, error)) return false;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(name.c_str(), GetFileExInfoStandard, &data)) return false;
    attributes = Attributes(data.dwFileAttributes);
    size = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
               ? 0
               : static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                                           data.nFileSizeLow);
    return true;
  }

  std::unique_ptr<FindHandle> FindFirst(std::string_view pattern, std::uint32_t mask,
                                        FindData& first, int& error) override {
    std::string name;
    if (!NarrowPath(pattern, name, error)) return nullptr;
    WIN32_FIND_DATAA found;
    HANDLE h = ::FindFirstFileA(name.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) {
      error = LastError();
      // An empty directory has no match, which is not a fault of the path.
      if (error == kErrNoMoreFiles) error = kErrFileNotFound;
      return nullptr;
    }
    auto handle = std::make_unique<Win32Find>(h, mask);
    if (Wanted(found, mask)) {
      Fill(found, first);
    } else if (!handle->Next(first)) {
      error = kErrFileNotFound;
      return nullptr;
    }
    error = kErrNone;
    return handle;
  }

  std::string CurrentDirectory() override {
    std::vector<char> buffer(MAX_PATH + 1);
    for (;;) {
      DWORD n = ::GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
      if (n == 0) return {};
      if (n < buffer.size()) return std::string(buffer.data(), n);
      buffer.resize(n + 1);
    }
  }

  bool SetCurrentDirectory(std::string_view path, int& error) override {
    std::string name;
    if (!NarrowPath(path, name, error)) return false;
    if (!::SetCurrentDirectoryA(name.c_str())) return Fail(error, LastError());
    return Ok(error);
  }

  bool SameObject(std::string_view a, std::string_view b) override {
    std::string wa, wb;
    int error = 0;
    if (!NarrowPath(a, wa, error) || !NarrowPath(b, wb, error)) return false;
    BY_HANDLE_FILE_INFORMATION ia, ib;
    if (!Identity(wa, ia) || !Identity(wb, ib)) return false;
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
  }
};

}  // namespace

std::unique_ptr<Files> CreateWin32Files() {
  UseOemFileApis();
  return std::make_unique<Win32Files>();
}

}  // namespace zq::platform::win32

namespace zq::platform {

std::unique_ptr<Files> CreateHostFiles() {
  return win32::CreateWin32Files();
}

}  // namespace zq::platform
