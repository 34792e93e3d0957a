#include "platform/win32/text.h"

#include "platform/win32/win.h"

namespace zq::platform::win32 {

void UseOemFileApis() {
  ::SetFileApisToOEM();
}

std::wstring OemToWide(std::string_view oem) {
  if (oem.empty()) return {};
  // Every byte of a single-byte code page is one UTF-16 unit.
  std::wstring out(oem.size(), L'\0');
  int n = ::MultiByteToWideChar(CP_OEMCP, 0, oem.data(), static_cast<int>(oem.size()), out.data(),
                                static_cast<int>(out.size()));
  out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return out;
}

std::string WideToOem(std::wstring_view wide, char fallback) {
  std::string out;
  out.reserve(wide.size());
  // One character at a time, so that a surrogate pair gives one fallback and
  // nothing is mapped to a look-alike.
  for (std::size_t i = 0; i < wide.size(); ++i) {
    int units = 1;
    auto u = static_cast<std::uint16_t>(wide[i]);
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < wide.size()) {
      auto next = static_cast<std::uint16_t>(wide[i + 1]);
      if (next >= 0xDC00 && next <= 0xDFFF) units = 2;
    }
    char byte = 0;
    BOOL lost = FALSE;
    int n = units == 1 ? ::WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, &wide[i], 1, &byte,
                                               1, nullptr, &lost)
                       : 0;
    out += (n == 1 && !lost) ? byte : fallback;
    i += static_cast<std::size_t>(units - 1);
  }
  return out;
}

}  // namespace zq::platform::win32
