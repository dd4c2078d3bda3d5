#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace halyx {

// The keywords of one KQML list text, such as a station command's content
// "tell :command deploy :id 4 :name \"North Radar\" :stats (tell :count 2)", read by the
// framework's parser so that the log sees every value exactly as the agent does: a word as
// written, a quoted text without its quotes, a nested list with its parentheses (ready to be
// read again as a list). A list may begin with its performative ("(tell :count 2 ...)") or
// directly with a keyword ("(:count 2 ...)"), as stations send nested values. Keywords match
// without regard to case and the first occurrence wins. A keyword followed directly by another
// keyword, and every keyword of a text that is not a KQML list, reads as absent.
class CKeywordList {
public:
    CKeywordList() = default;
    explicit CKeywordList(std::string_view text);

    // The value of the first occurrence of key (given without its colon).
    std::optional<std::string_view> Find(std::string_view key) const;
    // The value, or "" when the keyword is absent.
    std::string_view Get(std::string_view key) const;

    // Every keyword in text order, without its colon; the value is absent when the keyword is
    // followed by another keyword or ends the list.
    using Entry = std::pair<std::string, std::optional<std::string>>;
    const std::vector<Entry>& Entries() const { return m_entries; }

    // Keyword comparison as the parser makes it: equal but for the case of ASCII letters.
    static bool SameKeyword(std::string_view a, std::string_view b);

private:
    std::vector<Entry> m_entries;
};

} // namespace halyx
