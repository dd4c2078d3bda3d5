#include "record/keywordlist.h"

namespace halyx {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// End of a quoted text starting at text[pos] == '"': the position after the closing quote, or
// the end of the text when it is missing. A backslash keeps the next character.
size_t QuotedEnd(std::string_view text, size_t pos) {
    for (size_t i = pos + 1; i < text.size(); ++i) {
        if (text[i] == '\\') {
            ++i;
        } else if (text[i] == '"') {
            return i + 1;
        }
    }
    return text.size();
}

// End of a parenthesised list starting at text[pos] == '(': the position after its matching
// parenthesis, or the end of the text when it is unbalanced.
size_t ListEnd(std::string_view text, size_t pos) {
    size_t depth = 0;
    for (size_t i = pos; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            i = QuotedEnd(text, i) - 1;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')') {
            if (--depth == 0) {
                return i + 1;
            }
        }
    }
    return text.size();
}

size_t TokenEnd(std::string_view text, size_t pos) {
    if (text[pos] == '"') {
        return QuotedEnd(text, pos);
    }
    if (text[pos] == '(') {
        return ListEnd(text, pos);
    }
    size_t i = pos;
    while (i < text.size() && !IsBlank(text[i]) && text[i] != '(' && text[i] != ')') {
        ++i;
    }
    return i == pos ? pos + 1 : i;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

} // namespace

CKeywordList::CKeywordList(std::string_view text) {
    text = TrimBlanks(text);
    // A whole list in parentheses, as a nested value is handed back, reads as its inside.
    if (!text.empty() && text.front() == '(' && ListEnd(text, 0) == text.size() &&
        text.back() == ')') {
        text = text.substr(1, text.size() - 2);
    }
    size_t pos = 0;
    std::string_view pendingKey;
    bool hasPending = false;
    while (pos < text.size()) {
        if (IsBlank(text[pos])) {
            ++pos;
            continue;
        }
        const size_t end = TokenEnd(text, pos);
        const std::string_view token = text.substr(pos, end - pos);
        pos = end;
        if (token.size() > 1 && token.front() == ':') {
            if (hasPending) {
                m_entries.emplace_back(pendingKey, std::string_view());
            }
            pendingKey = token.substr(1);
            hasPending = true;
        } else if (hasPending) {
            std::string_view value = token;
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
                value = value.substr(1, value.size() - 2);
            }
            m_entries.emplace_back(pendingKey, value);
            hasPending = false;
        }
    }
    if (hasPending) {
        m_entries.emplace_back(pendingKey, std::string_view());
    }
}

std::optional<std::string_view> CKeywordList::Find(std::string_view key) const {
    for (const auto& [k, v] : m_entries) {
        if (k == key) {
            return v;
        }
    }
    return std::nullopt;
}

std::string_view CKeywordList::Get(std::string_view key) const {
    return Find(key).value_or(std::string_view());
}

} // namespace halyx
