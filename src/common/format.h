#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

namespace halyx {

// printf-style formatting into a std::string. The system's message, log and file texts are
// printf templates kept verbatim next to the code that uses them; the attribute lets the
// compiler check every argument against its template.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* fmt, va_list args) __attribute__((format(printf, 1, 0)));

// Appends a formatted text to out (no temporary string for hot paths such as log lines).
void AppendFormat(std::string& out, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// text on one printable line for a transcript: tab, line feed and carriage return as \t \n \r,
// every other control byte (and DEL) as \xHH; all else, UTF-8 included, as it stands.
std::string EscapeControlBytes(std::string_view text);

} // namespace halyx
