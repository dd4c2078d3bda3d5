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

} // namespace

bool IsXmlSafe(std::string_view text) {
    for (char c : text) {
        if (Replacement(c)) {
            return false;
        }
    }
    return true;
}

void AppendXmlEscaped(std::string& out, std::string_view text) {
    size_t runStart = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (const char* rep = Replacement(text[i])) {
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
