// Case mapping and alphabetical order for code page 852 texts with Polish and
// neighbouring letters, which neither byte order nor ASCII casing gets right.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zq::tui {

char UpperChar(char c);
char LowerChar(char c);
std::string UpperText(std::string_view text);
// Whether the two are the same text once both are in capitals (UpperText), compared
// without making either.
bool SameUpper(std::string_view a, std::string_view b);
std::string LowerText(std::string_view text);
// The casing of push button hot keys: a..z and the bytes 128..165 by the host's table.
char NationalUpperChar(char c);

// Rank of a byte in the Polish collation, 1-based; 255 for bytes outside it.
int CollationRank(unsigned char c);
// 1 when first sorts after second, -1 when before, 0 when equal.
int PolishCompare(std::string_view first, std::string_view second);

}  // namespace zq::tui
