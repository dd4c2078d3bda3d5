#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace halyx {

// The keywords of one KQML list text, such as a station command's content
// "tell :command deploy :id 4 :name \"North Radar\" :stats (tell :count 2)", in text order.
// A value is the token after its keyword: a word, a quoted text (without its quotes) or a
// parenthesised list (with its parentheses, ready to be read again as a list). A keyword
// followed directly by another keyword has an empty value. Reading is one linear pass with no
// recursion, so any text, however nested or unbalanced, is read in bounded time. The entries
// point into the text, which must outlive the list.
class CKeywordList {
public:
    CKeywordList() = default;
    explicit CKeywordList(std::string_view text);

    // The value of the first occurrence of key (given without its colon).
    std::optional<std::string_view> Find(std::string_view key) const;
    // The value, or "" when the keyword is absent.
    std::string_view Get(std::string_view key) const;

    const std::vector<std::pair<std::string_view, std::string_view>>& Entries() const {
        return m_entries;
    }

private:
    std::vector<std::pair<std::string_view, std::string_view>> m_entries;
};

} // namespace halyx
