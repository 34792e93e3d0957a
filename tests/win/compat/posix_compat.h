// The POSIX calls that portable tests make, for the Windows test programs (given
// to every file of them with -include).
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// Replaces the trailing XXXXXX of `pattern` and makes that directory; null on failure.
char* mkdtemp(char* pattern);

#ifdef __cplusplus
}
#endif
