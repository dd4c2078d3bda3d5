#pragma once

#include <string_view>

namespace halyx {

// Reads a number held as text the way unit fields are read: leading blanks are skipped, the
// longest leading part that forms a decimal number (optional sign, digits, fraction, exponent)
// counts, and a text without one (the empty text included) counts as 0. Locale-independent;
// hexadecimal, "inf" and "nan" are not numbers here.
double ReadNumber(std::string_view text);

// Whether the whole text (blanks around it aside) is one decimal number as ReadNumber reads
// them: optional sign, digits with an optional '.' fraction (at least one digit), optional
// exponent. "80x", "ninety", "" and "1,5" are not.
bool IsNumberText(std::string_view text);

// A whole number the way the C library's atoi reads one (blanks, sign, digits), clamped to the
// range of int instead of overflowing.
int ReadInt(std::string_view text);

// The value of a hexadecimal digit of either case, -1 for any other character.
int HexDigitValue(char c);

} // namespace halyx
