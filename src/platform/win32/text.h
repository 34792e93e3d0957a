// Code page 852 and the UTF-16 of the wide Win32 calls. Names, arguments, the
// environment and the clipboard cross the boundary through these, not through the
// system's ANSI or OEM code page: the program's texts are code page 852 whatever
// code pages the machine is set to.
#pragma once

#include <string>
#include <string_view>

namespace zq::platform::win32 {

std::wstring Cp852ToWide(std::string_view cp852);
// Characters outside the code page (and halves of surrogate pairs) become `fallback`.
std::string WideToCp852(std::wstring_view wide, char fallback = '?');
// Whether every character of `wide` has a code page 852 byte.
bool FitsCp852(std::wstring_view wide);

}  // namespace zq::platform::win32
