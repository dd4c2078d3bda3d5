#pragma once

// Lexical pieces shared by the parser, the tree and the framer's tests: what separates words,
// what counts as a stray byte, and how far a string, a #N" string or a nested list reaches.

#include "external/kqml/parseresult.h"

#include <cstddef>
#include <string_view>

namespace halyx::kqmlscan {

inline bool IsSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Control bytes have no place outside a string; a NUL in particular would cut the message short
// for any reader that treats the text as a C string.
inline bool IsStray(unsigned char c) {
    return c < 0x20 && !IsSpace(c);
}

inline bool EndsWord(unsigned char c) {
    return IsSpace(c) || c == '(' || c == ')' || c == '"' || IsStray(c);
}

struct ScanEnd {
    KqmlStatus status = KqmlStatus::Ok;
    std::size_t end = 0; // one past the scanned item, or the offset of the fault
};

// text[pos] == '"'. Ends after the closing quote; a backslash keeps the byte after it.
ScanEnd ScanString(std::string_view text, std::size_t pos, bool* hasEscapes);

// text[pos] == '#'. True when a #N" prefix starts there; then contentBegin is the byte after the
// quote and length is N (clamped so that it cannot overflow; the caller checks it against the
// text).
bool LengthPrefix(std::string_view text, std::size_t pos, std::size_t* contentBegin,
                  std::size_t* length);

// Ends after a word that starts at pos (the first byte not ending a word).
ScanEnd ScanWord(std::string_view text, std::size_t pos);

// text[pos] == '('. Ends after the matching ')'. outerDepth is the nesting depth of the list that
// contains this one (1 for an element of a message).
ScanEnd ScanList(std::string_view text, std::size_t pos, std::size_t outerDepth);

} // namespace halyx::kqmlscan
