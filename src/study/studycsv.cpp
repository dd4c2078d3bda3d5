#include "study/studycsv.h"

namespace halyx {

CCsvReader::CCsvReader(std::string_view text, size_t maxFieldBytes)
    : m_text(text), m_maxField(maxFieldBytes) {
    if (m_text.starts_with("\xEF\xBB\xBF")) {
        m_text.remove_prefix(3); // the byte-order mark some spreadsheets put first
    }
}

bool CCsvReader::Next(std::vector<std::string>& fields) {
    fields.clear();
    if (!m_error.empty() || m_pos >= m_text.size()) {
        return false;
    }
    m_recordLine = m_line;
    std::string field;
    bool quoted = false;    // inside quotes
    bool wasQuoted = false; // the field began with a quote that has closed
    auto tooLong = [&] {
        if (field.size() <= m_maxField) {
            return false;
        }
        m_error = "a field is longer than " + std::to_string(m_maxField) + " bytes";
        return true;
    };
    while (m_pos < m_text.size()) {
        const char c = m_text[m_pos++];
        if (quoted) {
            if (c == '"') {
                if (m_pos < m_text.size() && m_text[m_pos] == '"') {
                    field += '"';
                    ++m_pos;
                } else {
                    quoted = false;
                    wasQuoted = true;
                }
            } else {
                m_line += c == '\n' ? 1 : 0;
                field += c;
                if (tooLong()) {
                    return false;
                }
            }
            continue;
        }
        if (c == ',') {
            fields.push_back(std::move(field));
            field.clear();
            wasQuoted = false;
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && m_pos < m_text.size() && m_text[m_pos] == '\n') {
                ++m_pos;
            }
            ++m_line;
            fields.push_back(std::move(field));
            m_terminated = true;
            return true;
        } else if (c == '"' && field.empty() && !wasQuoted) {
            quoted = true;
        } else if (wasQuoted) {
            m_error = "text after the closing quote of a field";
            return false;
        } else {
            field += c;
            if (tooLong()) {
                return false;
            }
        }
    }
    if (quoted) {
        m_error = "a quoted field is not closed";
        return false;
    }
    fields.push_back(std::move(field));
    m_terminated = false;
    return true;
}

std::string CsvField(std::string_view text) {
    const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                       (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quote) {
        return std::string(text);
    }
    std::string out = "\"";
    for (const char c : text) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    out += '"';
    return out;
}

std::string CsvLine(const std::vector<std::string>& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        line += i > 0 ? "," : "";
        line += CsvField(fields[i]);
    }
    line += '\n';
    return line;
}

} // namespace halyx
