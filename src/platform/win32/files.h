// The Windows file system behind the Files interface. Paths are code page 852 bytes
// handed to the wide Win32 calls through the code page table, so a name with Polish
// letters is the same name on disk whatever the machine's OEM and ANSI code pages;
// '\' and '/', drive letters, case-insensitive lookup, dropping trailing blanks and
// dots, sharing modes and byte-range locks are the system's own. Error codes are
// GetLastError's, passed on unchanged.
#pragma once

#include <memory>

#include "platform/files.h"

namespace zq::platform::win32 {

std::unique_ptr<Files> CreateWin32Files();

}  // namespace zq::platform::win32
