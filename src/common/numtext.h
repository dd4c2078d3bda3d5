#pragma once

#include <string_view>

namespace halyx {

// Reads a number held as text the way unit fields are read: leading blanks are skipped, the
// longest leading part that forms a decimal number (optional sign, digits, fraction, exponent)
// counts, and a text without one (the empty text included) counts as 0. Locale-independent;
// hexadecimal, "inf" and "nan" are not numbers here.
double ReadNumber(std::string_view text);

// A whole number the way the C library's atoi reads one (blanks, sign, digits), clamped to the
// range of int instead of overflowing.
int ReadInt(std::string_view text);

// The value of a hexadecimal digit of either case, -1 for any other character.
int HexDigitValue(char c);

} // namespace halyx
