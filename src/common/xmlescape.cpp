#include "common/xmlescape.h"

namespace halyx {

namespace {

const char* Replacement(char c) {
    switch (c) {
    case '&':
        return "&amp;";
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    case '"':
        return "&quot;";
    case '\'':
        return "&apos;";
    case '\t':
    case '\n':
    case '\r':
        return nullptr;
    default:
        return static_cast<unsigned char>(c) < 0x20 ? "?" : nullptr;
    }
}

// The length of the well-formed UTF-8 sequence at text[i] (a byte from 0x80 up), 0 when none
// starts there: a lone continuation byte, a sequence cut short, an overlong form, a surrogate or
// a code point beyond U+10FFFF.
size_t Utf8SequenceAt(std::string_view text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() - i < length || byte(i + 1) < low || byte(i + 1) > high) {
        return 0;
    }
    for (size_t k = 2; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) {
            return 0;
        }
    }
    return length;
}

} // namespace

bool IsXmlSafe(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0x80) {
            const size_t length = Utf8SequenceAt(text, i);
            if (length == 0) {
                return false;
            }
            i += length - 1;
        } else if (Replacement(text[i])) {
            return false;
        }
    }
    return true;
}

void AppendXmlEscaped(std::string& out, std::string_view text) {
    size_t runStart = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            if (const size_t length = Utf8SequenceAt(text, i); length > 0) {
                i += length - 1;
                continue;
            }
            // A byte of another encoding (a station's 8-bit text): the character of the same
            // number, as Latin-1 reads it, so that the document stays UTF-8.
            out.append(text.substr(runStart, i - runStart));
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
            runStart = i + 1;
        } else if (const char* rep = Replacement(text[i])) {
            out.append(text.substr(runStart, i - runStart));
            out.append(rep);
            runStart = i + 1;
        }
    }
    out.append(text.substr(runStart));
}

namespace {

// XmlEscape, with some of the white-space characters written as character references.
void AppendWithReferences(std::string& out, std::string_view text, bool tabAndLineFeed) {
    size_t runStart = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char* reference = c == '\r'         ? "&#13;"
                                : !tabAndLineFeed ? nullptr
                                : c == '\t'       ? "&#9;"
                                : c == '\n'       ? "&#10;"
                                                  : nullptr;
        if (reference) {
            AppendXmlEscaped(out, text.substr(runStart, i - runStart));
            out += reference;
            runStart = i + 1;
        }
    }
    AppendXmlEscaped(out, text.substr(runStart));
}

} // namespace

void AppendXmlAttributeEscaped(std::string& out, std::string_view text) {
    AppendWithReferences(out, text, true);
}

void AppendXmlTextEscaped(std::string& out, std::string_view text) {
    AppendWithReferences(out, text, false);
}

std::string XmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendXmlEscaped(out, text);
    return out;
}

} // namespace halyx
