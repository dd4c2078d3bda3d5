#include "record/csvwriter.h"

#include <cerrno>
#include <cstring>

namespace halyx {

namespace {

constexpr size_t kFlushBytes = size_t{1} << 16;

// The length of the valid UTF-8 sequence at text[i], 0 when there is none.
size_t Utf8Length(std::string_view text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    size_t length = 0;
    unsigned minimum = 0;
    unsigned code = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
        code = c & 0x1F;
        minimum = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        code = c & 0x0F;
        minimum = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        code = c & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code < minimum || code > 0x10FFFF || surrogate ? 0 : length;
}

} // namespace

CCsvWriter::~CCsvWriter() {
    Abandon();
}

bool CCsvWriter::Open(const std::string& path) {
    Abandon();
    m_path = path;
    m_tempPath = path + ".part";
    m_failed = false;
    m_error.clear();
    m_rowStarted = false;
    m_buffer.clear();
    m_file = std::fopen(m_tempPath.c_str(), "wb");
    if (m_file == nullptr) {
        m_error = "cannot create " + m_tempPath + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void CCsvWriter::AppendField(std::string& out, std::string_view value) {
    // Most fields are plain ASCII without separators: copied in one piece.
    size_t plain = 0;
    while (plain < value.size()) {
        const unsigned char c = static_cast<unsigned char>(value[plain]);
        if (c == '"' || c == ',' || c == '\n' || c == '\r' || c >= 0x80) {
            break;
        }
        ++plain;
    }
    if (plain == value.size()) {
        out.append(value);
        return;
    }
    const bool quote = value.find_first_of(",\"\r\n") != std::string_view::npos;
    if (quote) {
        out += '"';
    }
    size_t i = 0;
    while (i < value.size()) {
        const unsigned char c = static_cast<unsigned char>(value[i]);
        if (c == '"') {
            out += "\"\"";
            ++i;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else if (const size_t length = Utf8Length(value, i); length != 0) {
            out.append(value, i, length);
            i += length;
        } else {
            // 8-bit text of the older station programs: one byte, one Latin-1 character.
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
            ++i;
        }
    }
    if (quote) {
        out += '"';
    }
}

void CCsvWriter::Field(std::string_view value) {
    if (m_rowStarted) {
        m_buffer += ',';
    }
    m_rowStarted = true;
    AppendField(m_buffer, value);
}

void CCsvWriter::Field(long long value) {
    Field(std::to_string(value));
}

void CCsvWriter::EndRow() {
    m_buffer += '\n';
    m_rowStarted = false;
    if (m_buffer.size() >= kFlushBytes) {
        Flush();
    }
}

void CCsvWriter::Row(std::initializer_list<std::string_view> fields) {
    for (const std::string_view f : fields) {
        Field(f);
    }
    EndRow();
}

void CCsvWriter::Flush() {
    if (m_file != nullptr && !m_failed && !m_buffer.empty()) {
        if (std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_file) != m_buffer.size()) {
            m_failed = true;
            m_error = "cannot write " + m_tempPath + ": " + std::strerror(errno);
        }
    }
    m_buffer.clear();
}

bool CCsvWriter::Close() {
    if (m_file == nullptr) {
        if (m_error.empty()) {
            m_error = "no file is open";
        }
        return false;
    }
    Flush();
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    if (!closed && !m_failed) {
        m_failed = true;
        m_error = "cannot write " + m_tempPath + ": " + std::strerror(errno);
    }
    if (!m_failed && std::rename(m_tempPath.c_str(), m_path.c_str()) != 0) {
        m_failed = true;
        m_error = "cannot rename " + m_tempPath + " to " + m_path + ": " + std::strerror(errno);
    }
    if (m_failed) {
        std::remove(m_tempPath.c_str());
    }
    return !m_failed;
}

void CCsvWriter::Abandon() {
    if (m_file != nullptr) {
        std::fclose(m_file);
        m_file = nullptr;
        std::remove(m_tempPath.c_str());
    }
    m_buffer.clear();
}

} // namespace halyx
