#pragma once

// The comma-separated text a spreadsheet writes and reads: fields in double quotes may hold
// commas, line breaks and doubled quotes; lines end with LF or CRLF.
//
// Usage:
//     CCsvReader reader(text);
//     std::vector<std::string> fields;
//     while (reader.Next(fields)) { use(reader.Line(), fields); }
//     if (!reader.Error().empty()) report(reader.ErrorLine(), reader.Error());

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace halyx {

class CCsvReader {
public:
    // A field longer than maxFieldBytes is refused rather than kept whole.
    explicit CCsvReader(std::string_view text, size_t maxFieldBytes = 64 * 1024);

    // The next record; false at the end of the text or at an error (Error() then says which).
    bool Next(std::vector<std::string>& fields);
    // The line (from 1) where the record last returned, or the one in error, begins.
    size_t Line() const { return m_recordLine; }
    // True when the last record ended with a line break: a record cut off without one may be
    // a row that was being written when the program stopped.
    bool Terminated() const { return m_terminated; }
    const std::string& Error() const { return m_error; }

private:
    std::string_view m_text;
    size_t m_pos = 0;
    size_t m_line = 1;
    size_t m_recordLine = 1;
    size_t m_maxField;
    bool m_terminated = true;
    std::string m_error;
};

// The field as a spreadsheet reads it back: in quotes, inner quotes doubled, when it holds a
// comma, a quote, a line break or leading or trailing blanks.
std::string CsvField(std::string_view text);
// The fields joined by commas, ending with "\n".
std::string CsvLine(const std::vector<std::string>& fields);

} // namespace halyx
