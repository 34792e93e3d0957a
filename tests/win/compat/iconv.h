// iconv for the Windows test programs, by the system's own code page tables: a test
// that checks a table of ours against iconv checks it against Windows there.
// Knows the encodings the tests name: "UTF-8", "CP852" and "CP1250".
#pragma once

#include <cstddef>

typedef void* iconv_t;

extern "C" {
iconv_t iconv_open(const char* to, const char* from);
std::size_t iconv(iconv_t cd, char** in, std::size_t* inLeft, char** out, std::size_t* outLeft);
int iconv_close(iconv_t cd);
}
