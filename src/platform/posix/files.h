// The host file system of a POSIX machine behind the Win32-shaped Files interface.
//
// Paths are code page 852 bytes; '\' and '/' both separate components and every
// component is looked up without regard to case, as Windows does, then handed to the
// host in UTF-8. A leading drive prefix such as "C:" followed by a separator stands for
// the root directory (drives mean nothing here); "C:" without a separator is dropped
// and the rest is taken relative to the current directory. As on Windows, trailing blanks
// and dots of the last name are dropped, and a file open in this program cannot be
// removed or renamed (kErrSharingViolation).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace zq::platform::posix {

std::unique_ptr<Files> CreatePosixFiles();

// Upper-cases a code page 852 name the way file names are compared: ASCII letters and
// the Polish and neighbouring letters of the code page.
std::string FoldName(std::string_view cp852);

// Whether a code page 852 name matches a find pattern: '*' any run, '?' any single
// character, letters without regard to case; a trailing ".*" also matches names
// without a dot and a trailing "." matches only names without a dot, as DOS did.
bool MatchPattern(std::string_view pattern, std::string_view name);

}  // namespace zq::platform::posix
