#include "common/format.h"

#include <cstdio>

namespace halyx {

namespace {

void AppendFormatV(std::string& out, const char* fmt, va_list args) {
    char stackBuf[256];
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(stackBuf, sizeof stackBuf, fmt, copy);
    va_end(copy);
    if (needed < 0) {
        return;
    }
    if (static_cast<size_t>(needed) < sizeof stackBuf) {
        out.append(stackBuf, static_cast<size_t>(needed));
        return;
    }
    const size_t oldSize = out.size();
    out.resize(oldSize + static_cast<size_t>(needed) + 1);
    std::vsnprintf(out.data() + oldSize, static_cast<size_t>(needed) + 1, fmt, args);
    out.resize(oldSize + static_cast<size_t>(needed));
}

} // namespace

std::string FormatV(const char* fmt, va_list args) {
    std::string out;
    AppendFormatV(out, fmt, args);
    return out;
}

std::string Format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string out = FormatV(fmt, args);
    va_end(args);
    return out;
}

void AppendFormat(std::string& out, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    AppendFormatV(out, fmt, args);
    va_end(args);
}

std::string EscapeControlBytes(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7f) {
            out.push_back(c);
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out += "\\x";
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0xf]);
        }
    }
    return out;
}

} // namespace halyx
