#pragma once

#include <string>
#include <string_view>

namespace halyx {

// Escapes a value for an XML attribute or text node: & < > " ' become entities, and the control
// characters that XML 1.0 forbids (all below 0x20 except tab, newline and carriage return) become
// '?', so that any text a user or a station sends leaves the document well-formed. Well-formed
// UTF-8 is kept byte for byte; a byte that is no part of it (text in an 8-bit encoding) becomes
// the character of the same number, as Latin-1 reads it, so that the document stays UTF-8.
std::string XmlEscape(std::string_view text);
void AppendXmlEscaped(std::string& out, std::string_view text);

// For attribute values: as XmlEscape, and tab, line feed and carriage return become character
// references (&#9; &#10; &#13;). A reader normalises those three to blanks when they stand in an
// attribute as themselves, so only the references bring the value back unchanged.
void AppendXmlAttributeEscaped(std::string& out, std::string_view text);
// For text between tags: as XmlEscape, and carriage return becomes &#13; (a reader turns a raw
// one into a line feed). Tab and line feed stay as they are.
void AppendXmlTextEscaped(std::string& out, std::string_view text);

// True when text holds nothing XmlEscape would change.
bool IsXmlSafe(std::string_view text);

} // namespace halyx
