#include "external/kqml/parseresult.h"

namespace halyx {

const char* KqmlStatusText(KqmlStatus status) {
    switch (status) {
    case KqmlStatus::Ok:
        return "no error";
    case KqmlStatus::Empty:
        return "empty message";
    case KqmlStatus::NoPerformative:
        return "the message does not start with a performative";
    case KqmlStatus::UnclosedList:
        return "unbalanced parentheses: a list is not closed";
    case KqmlStatus::UnexpectedClose:
        return "unbalanced parentheses: ')' closes nothing";
    case KqmlStatus::UnterminatedString:
        return "a string is not closed";
    case KqmlStatus::BadLengthString:
        return "a length-prefixed string runs past the end of the message";
    case KqmlStatus::TooDeep:
        return "lists nested too deeply";
    case KqmlStatus::TooLarge:
        return "message too large";
    case KqmlStatus::TooManyElements:
        return "too many elements in one list";
    case KqmlStatus::StrayByte:
        return "control byte outside a string";
    case KqmlStatus::TrailingText:
        return "text after the end of the message";
    }
    return "unknown status";
}

const char* CKqmlParseResult::description() const {
    return KqmlStatusText(status);
}

} // namespace halyx
