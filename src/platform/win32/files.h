// The Windows file system behind the Files interface. Paths are the program's
// bytes handed to the narrow Win32 calls with the file calls set to the OEM code
// page, the way the ledger program names its files, so that a firm directory with
// Polish letters it made is found, and one made here is found by it, on any machine;
// '\' and '/', drive letters, case-insensitive lookup, dropping trailing blanks and
// dots, sharing modes and byte-range locks are the system's own. Error codes are
// GetLastError's, passed on unchanged.
#pragma once

#include <memory>

#include "platform/files.h"

namespace zq::platform::win32 {

std::unique_ptr<Files> CreateWin32Files();

}  // namespace zq::platform::win32
