#pragma once

#include <cstddef>
#include <string_view>

namespace halyx {

// One piece of markup of an XML text, found without building a document: enough to follow the
// element structure of a long log in one pass, in bounded memory, without recursion.
enum class MarkupKind {
    None,   // no '<' is left in the text
    Start,  // <name ...>
    End,    // </name>
    Empty,  // <name .../>
    Other,  // a declaration, processing instruction, comment, CDATA section or doctype
    Broken, // the text ends inside the markup, or it is not markup at all
};

struct Markup {
    MarkupKind kind = MarkupKind::None;
    std::string_view name; // element name for Start, End and Empty
    size_t begin = 0;      // offset of the '<'
    size_t end = 0;        // offset just after the closing '>'
};

// No log nests elements anywhere near this deep; readers that follow the structure stop here
// rather than keep a stack as large as a hostile text.
inline constexpr size_t kMaxXmlDepth = 4096;

// The first piece of markup at or after pos. Quoted attribute values may hold '>'.
Markup NextMarkup(std::string_view text, size_t pos);

// The part of a name after its prefix ("h:Notes" -> "Notes").
std::string_view MarkupLocalName(std::string_view name);

} // namespace halyx
