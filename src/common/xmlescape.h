#pragma once

#include <string>
#include <string_view>

namespace halyx {

// Escapes a value for an XML attribute or text node: & < > " ' become entities, and the control
// characters that XML 1.0 forbids (all below 0x20 except tab, newline and carriage return) become
// '?', so that any text a user or a station sends leaves the document well-formed. Every other
// byte is kept as it is.
std::string XmlEscape(std::string_view text);
void AppendXmlEscaped(std::string& out, std::string_view text);

// True when text holds nothing XmlEscape would change.
bool IsXmlSafe(std::string_view text);

} // namespace halyx
