#include "record/keywordlist.h"

#include "external/kqml/parser.h"

#include <utility>

namespace halyx {

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool CKeywordList::SameKeyword(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

CKeywordList::CKeywordList(std::string_view text) {
    CParser parser;
    if (!parser.parse_list(text)) {
        return;
    }
    const auto& elements = parser.elements();
    // The first element is the performative, unless the list begins with a keyword; then
    // keyword and value pairs.
    for (size_t i = parser.is_keyword_list() ? 0 : 1; i < elements.size(); ++i) {
        if (!parser.is_keyword(elements[i])) {
            continue;
        }
        std::string key(parser.element_source(elements[i]).substr(1));
        if (i + 1 < elements.size() && !parser.is_keyword(elements[i + 1])) {
            m_entries.emplace_back(std::move(key), parser.element_value(elements[i + 1]));
            ++i;
        } else {
            m_entries.emplace_back(std::move(key), std::nullopt);
        }
    }
}

std::optional<std::string_view> CKeywordList::Find(std::string_view key) const {
    for (const auto& [k, v] : m_entries) {
        if (SameKeyword(k, key)) {
            // The first occurrence answers, even when it has no value.
            return v ? std::optional<std::string_view>(*v) : std::nullopt;
        }
    }
    return std::nullopt;
}

std::string_view CKeywordList::Get(std::string_view key) const {
    return Find(key).value_or(std::string_view());
}

} // namespace halyx
