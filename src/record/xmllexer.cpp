#include "record/xmllexer.h"

namespace halyx {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsNameEnd(char c) {
    return IsBlank(c) || c == '/' || c == '>';
}

Markup Skip(std::string_view text, size_t begin, size_t from, std::string_view closing) {
    const size_t at = text.find(closing, from);
    if (at == std::string_view::npos) {
        return {MarkupKind::Broken, {}, begin, text.size()};
    }
    return {MarkupKind::Other, {}, begin, at + closing.size()};
}

} // namespace

std::string_view MarkupLocalName(std::string_view name) {
    const size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

Markup NextMarkup(std::string_view text, size_t pos) {
    const size_t lt = text.find('<', pos);
    if (lt == std::string_view::npos) {
        return {MarkupKind::None, {}, text.size(), text.size()};
    }
    const std::string_view rest = text.substr(lt);
    if (rest.starts_with("<?")) {
        return Skip(text, lt, lt + 2, "?>");
    }
    if (rest.starts_with("<!--")) {
        return Skip(text, lt, lt + 4, "-->");
    }
    if (rest.starts_with("<![CDATA[")) {
        return Skip(text, lt, lt + 9, "]]>");
    }
    if (rest.starts_with("<!")) {
        return Skip(text, lt, lt + 2, ">");
    }
    if (rest.starts_with("</")) {
        const size_t gt = text.find('>', lt);
        if (gt == std::string_view::npos) {
            return {MarkupKind::Broken, {}, lt, text.size()};
        }
        std::string_view name = text.substr(lt + 2, gt - lt - 2);
        while (!name.empty() && IsBlank(name.back())) {
            name.remove_suffix(1);
        }
        return {MarkupKind::End, name, lt, gt + 1};
    }
    size_t i = lt + 1;
    while (i < text.size() && !IsNameEnd(text[i])) {
        ++i;
    }
    const std::string_view name = text.substr(lt + 1, i - lt - 1);
    if (name.empty()) {
        return {MarkupKind::Broken, {}, lt, text.size()};
    }
    char quote = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            quote = c == quote ? 0 : quote;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>' || c == '<') {
            break;
        }
    }
    if (i >= text.size() || text[i] != '>') {
        return {MarkupKind::Broken, {}, lt, text.size()};
    }
    return {text[i - 1] == '/' ? MarkupKind::Empty : MarkupKind::Start, name, lt, i + 1};
}

} // namespace halyx
