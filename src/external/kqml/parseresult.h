#pragma once

// The answer of every KQML reader: a status, the byte offset where reading stopped and a
// description for diagnostics.
//
//   CKqmlParseResult r = parser.parse_message(text);
//   if (!r) debug(Format("bad message at %zu: %s", r.offset, r.description()));

#include <cstddef>

namespace halyx {

enum class KqmlStatus {
    Ok,
    Empty,              // nothing but white space
    NoPerformative,     // the list is empty or does not start with a word
    UnclosedList,       // the text ends inside a list
    UnexpectedClose,    // a ')' that closes nothing
    UnterminatedString, // the text ends inside a "..." string
    BadLengthString,    // a #N" string whose length runs past the end of the text
    TooDeep,            // lists nested deeper than kKqmlMaxDepth
    TooLarge,           // more than kKqmlMaxMessageBytes
    TooManyElements,    // more than kKqmlMaxElements in one list
    StrayByte,          // a control byte outside a string
    TrailingText,       // something after the closing parenthesis of the message
};

struct CKqmlParseResult {
    KqmlStatus status = KqmlStatus::Empty;
    std::size_t offset = 0;

    explicit operator bool() const { return status == KqmlStatus::Ok; }
    const char* description() const;
};

const char* KqmlStatusText(KqmlStatus status);

} // namespace halyx
