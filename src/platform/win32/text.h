// The program's texts and the system's. The program works in the OEM code page
// (852 on the Polish Windows it is made for): file names go to the file calls in it
// after UseOemFileApis, exactly as the ledger program's own do, so both programs
// name the same files whatever the machine's code pages are. Texts the system keeps
// in UTF-16 (the command line, the environment) cross through these.
#pragma once

#include <string>
#include <string_view>

namespace zq::platform::win32 {

// Makes the narrow file calls of the whole process take and give OEM code page
// names. Called before the first file call and before the program asks for its own
// path; repeating it does no harm.
void UseOemFileApis();

std::wstring OemToWide(std::string_view oem);
// A character the OEM code page lacks becomes `fallback`: never a look-alike, which
// could name another file.
std::string WideToOem(std::wstring_view wide, char fallback = '?');

}  // namespace zq::platform::win32
