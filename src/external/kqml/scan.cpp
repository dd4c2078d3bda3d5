#include "external/kqml/scan.h"

#include "external/kqml/limits.h"

#include <cstring>

namespace halyx::kqmlscan {

ScanEnd ScanString(std::string_view text, std::size_t pos, bool* hasEscapes) {
    const std::size_t n = text.size();
    std::size_t i = pos + 1;
    while (i < n) {
        // Most strings hold no escapes: jump straight to the next quote or backslash.
        const char* start = text.data() + i;
        const void* quote = std::memchr(start, '"', n - i);
        const std::size_t quoteAt =
            quote ? static_cast<std::size_t>(static_cast<const char*>(quote) - text.data()) : n;
        const void* slash = std::memchr(start, '\\', quoteAt - i);
        if (slash == nullptr) {
            if (quoteAt == n) {
                break;
            }
            return {KqmlStatus::Ok, quoteAt + 1};
        }
        if (hasEscapes != nullptr) {
            *hasEscapes = true;
        }
        i = static_cast<std::size_t>(static_cast<const char*>(slash) - text.data()) + 2;
    }
    return {KqmlStatus::UnterminatedString, pos};
}

bool LengthPrefix(std::string_view text, std::size_t pos, std::size_t* contentBegin,
                  std::size_t* length) {
    std::size_t i = pos + 1;
    std::size_t value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        if (value <= kKqmlMaxMessageBytes) {
            value = value * 10 + static_cast<std::size_t>(text[i] - '0');
        }
        ++i;
    }
    if (i == pos + 1 || i >= text.size() || text[i] != '"') {
        return false;
    }
    *contentBegin = i + 1;
    *length = value;
    return true;
}

ScanEnd ScanWord(std::string_view text, std::size_t pos) {
    std::size_t i = pos;
    while (i < text.size() && !EndsWord(static_cast<unsigned char>(text[i]))) {
        ++i;
    }
    return {KqmlStatus::Ok, i};
}

ScanEnd ScanList(std::string_view text, std::size_t pos, std::size_t outerDepth) {
    const std::size_t n = text.size();
    std::size_t depth = 0;
    std::size_t i = pos;
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '(') {
            ++depth;
            if (outerDepth + depth > kKqmlMaxDepth) {
                return {KqmlStatus::TooDeep, i};
            }
            ++i;
        } else if (c == ')') {
            ++i;
            if (--depth == 0) {
                return {KqmlStatus::Ok, i};
            }
        } else if (c == '"') {
            const ScanEnd s = ScanString(text, i, nullptr);
            if (s.status != KqmlStatus::Ok) {
                return s;
            }
            i = s.end;
        } else if (IsSpace(c)) {
            ++i;
        } else if (IsStray(c)) {
            return {KqmlStatus::StrayByte, i};
        } else {
            std::size_t begin = 0;
            std::size_t length = 0;
            if (c == '#' && LengthPrefix(text, i, &begin, &length)) {
                if (length > n - begin) {
                    return {KqmlStatus::BadLengthString, i};
                }
                i = begin + length;
            } else {
                i = ScanWord(text, i).end;
            }
        }
    }
    return {KqmlStatus::UnclosedList, n};
}

} // namespace halyx::kqmlscan
