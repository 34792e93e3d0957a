// The Windows headers as this backend uses them. <windows.h> turns names such as
// RemoveDirectory and SetCurrentDirectory into macros, which would rename the
// methods of the Files interface in every file that sees both; they are undefined
// here, and the backend calls the explicit ...A (or ...W) functions instead.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef CreateDirectory
#undef GetCurrentDirectory
#undef RemoveDirectory
#undef SetCurrentDirectory
#undef GetEnvironmentVariable
#undef MoveFile
#undef DeleteFile
