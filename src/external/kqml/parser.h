#pragma once

// Reads one KQML message: a parenthesised list of a performative and :keyword value pairs.
//
//   CParser parser;
//   if (parser.parse_message(text)) {
//       std::optional<std::string> content = parser.find_content();   // "(tell :command x)"
//       CParser inner;
//       inner.parse_message(content.value_or(""));
//       std::string command = inner.find_text("command");              // "" when absent
//   }
//
// A value is answered as follows: a word exactly as written; a "..." string without its quotes,
// backslash escapes resolved; a #N"... string as its N bytes; a nested list as its own text with
// its parentheses, ready to be parsed again by a fresh parser. Keywords match without regard to
// case, the first occurrence wins, and only the keywords of the outermost list are seen. A
// keyword that is absent, or that is followed by another keyword or by the end of the list,
// answers std::nullopt. The text may be given with or without its outer parentheses.
//
// A nested value is not always a message: stations send plain keyword lists such as
// (:count 2 :radar1 (:id R1 ...)). parse_list reads those too: when the first element is a
// keyword the list has no performative and every element is a keyword or a value.

#include "external/kqml/parseresult.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halyx {

enum class KqmlElementKind : std::uint8_t { Word, String, LengthString, List };

// One element of the outermost list, as a span of the parser's copy of the text. For a String
// the span lies inside the quotes, escapes unresolved; for a List it includes the parentheses.
struct CKqmlElement {
    std::uint32_t begin = 0;
    std::uint32_t length = 0;
    KqmlElementKind kind = KqmlElementKind::Word;
    bool hasEscapes = false;
};

class CParser {
public:
    CKqmlParseResult parse_message(std::string_view text);
    // Like parse_message, but a list that begins with a keyword is read as a keyword list.
    CKqmlParseResult parse_list(std::string_view text);
    // True after parse_list read a list without a performative.
    bool is_keyword_list() const { return m_keywordList; }
    const CKqmlParseResult& result() const { return m_result; }

    std::optional<std::string> find_performative() const;
    std::optional<std::string> find_sender() const { return find_token("sender"); }
    std::optional<std::string> find_receiver() const { return find_token("receiver"); }
    std::optional<std::string> find_content() const { return find_token("content"); }
    std::optional<std::string> find_reply_with() const { return find_token("reply-with"); }
    // key without its colon (a leading colon is tolerated).
    std::optional<std::string> find_token(std::string_view key) const;
    // The same lookup, absent read as empty text.
    std::string find_text(std::string_view key) const { return find_token(key).value_or(""); }

    // The outermost list's elements, performative first unless it is a keyword list (empty after
    // a failed parse).
    const std::vector<CKqmlElement>& elements() const { return m_elements; }
    // An element's value as find_token answers it.
    std::string element_value(const CKqmlElement& element) const;
    // An element exactly as written (strings with their quotes or #N" prefix).
    std::string_view element_source(const CKqmlElement& element) const;
    bool is_keyword(const CKqmlElement& element) const;

private:
    CKqmlParseResult Parse(std::string_view source, bool keywordListAllowed);

    std::string m_text;
    std::vector<CKqmlElement> m_elements;
    CKqmlParseResult m_result;
    bool m_keywordList = false;
};

} // namespace halyx
