#include "common/archive.h"

#include "common/format.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace halyx {

namespace {

constexpr uint16_t kNullTag = 0x0000;
constexpr uint16_t kNewClassTag = 0xFFFF;
constexpr uint16_t kClassTag = 0x8000;
constexpr uint16_t kBigObjectTag = 0x7FFF;
constexpr uint32_t kBigClassTag = 0x80000000u;
constexpr uint16_t kWideStringMark = 0xFFFE;

// Longest class name accepted on reading; real names are a dozen characters.
constexpr size_t kMaxClassName = 255;

std::string ErrorText(const std::string& file, uint64_t offset, const std::string& expected) {
    const std::string where = file.empty() ? std::string("archive") : file;
    return Format("%s: at offset %llu: expected %s", where.c_str(),
                  static_cast<unsigned long long>(offset), expected.c_str());
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

} // namespace

ArchiveError::ArchiveError(std::string file, uint64_t offset, std::string expected)
    : std::runtime_error(ErrorText(file, offset, expected)), m_file(std::move(file)),
      m_offset(offset), m_expected(std::move(expected)) {}

// --- writing ---------------------------------------------------------------------------------

void CArchiveWriter::WriteU8(uint8_t value) {
    m_bytes.push_back(value);
}

void CArchiveWriter::WriteU16(uint16_t value) {
    m_bytes.push_back(static_cast<uint8_t>(value));
    m_bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void CArchiveWriter::WriteU32(uint32_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    m_bytes.insert(m_bytes.end(), bytes, bytes + 4);
}

void CArchiveWriter::WriteU64(uint64_t value) {
    uint8_t bytes[8];
    for (int i = 0; i < 8; ++i) {
        bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    }
    m_bytes.insert(m_bytes.end(), bytes, bytes + 8);
}

void CArchiveWriter::WriteDouble(double value) {
    WriteU64(std::bit_cast<uint64_t>(value));
}

void CArchiveWriter::WriteBytes(std::span<const uint8_t> bytes) {
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
}

void CArchiveWriter::WriteString(std::string_view text) {
    const size_t length = text.size();
    if (length > 0xFFFFFFFEu) {
        throw std::length_error("string too long for an archive");
    }
    if (length < 0xFF) {
        WriteU8(static_cast<uint8_t>(length));
    } else if (length < kWideStringMark) {
        WriteU8(0xFF);
        WriteU16(static_cast<uint16_t>(length));
    } else {
        WriteU8(0xFF);
        WriteU16(0xFFFF);
        WriteU32(static_cast<uint32_t>(length));
    }
    m_bytes.insert(m_bytes.end(), text.begin(), text.end());
}

void CArchiveWriter::WriteCount(uint32_t count) {
    if (count < 0xFFFF) {
        WriteU16(static_cast<uint16_t>(count));
    } else {
        WriteU16(0xFFFF);
        WriteU32(count);
    }
}

void CArchiveWriter::WriteNullTag() {
    WriteU16(kNullTag);
}

void CArchiveWriter::WriteObjectTag(std::string_view className, uint16_t schema) {
    const ClassEntry* known = nullptr;
    for (const ClassEntry& entry : m_classes) {
        if (entry.name == className) {
            known = &entry;
            break;
        }
    }
    if (known == nullptr) {
        if (className.empty() || className.size() > kMaxClassName) {
            throw std::invalid_argument("archive class name must hold 1 to 255 characters");
        }
        WriteU16(kNewClassTag);
        WriteU16(schema);
        WriteU16(static_cast<uint16_t>(className.size()));
        m_bytes.insert(m_bytes.end(), className.begin(), className.end());
        m_classes.push_back({std::string(className), m_mapCount++});
    } else if (known->index < kBigObjectTag) {
        WriteU16(static_cast<uint16_t>(kClassTag | known->index));
    } else {
        WriteU16(kBigObjectTag);
        WriteU32(kBigClassTag | known->index);
    }
    ++m_mapCount; // the object's own index
}

// --- reading ---------------------------------------------------------------------------------

CArchiveReader::CArchiveReader(std::span<const uint8_t> bytes, std::string fileName)
    : m_bytes(bytes), m_fileName(std::move(fileName)) {}

void CArchiveReader::Fail(size_t offset, const std::string& expected) const {
    throw ArchiveError(m_fileName, offset, expected);
}

void CArchiveReader::Need(size_t n, const char* what) {
    if (Remaining() < n) {
        Fail(what);
    }
}

void CArchiveReader::RequireItems(uint64_t count, uint64_t itemSize,
                                  const std::string& what) const {
    // Division instead of multiplication, so that a hostile count cannot overflow the check.
    if (itemSize != 0 && count > Remaining() / itemSize) {
        Fail(what);
    }
}

uint8_t CArchiveReader::ReadU8(const char* what) {
    Need(1, what);
    return m_bytes[m_pos++];
}

uint16_t CArchiveReader::ReadU16(const char* what) {
    Need(2, what);
    const uint16_t value = static_cast<uint16_t>(m_bytes[m_pos] | (m_bytes[m_pos + 1] << 8));
    m_pos += 2;
    return value;
}

uint32_t CArchiveReader::ReadU32(const char* what) {
    Need(4, what);
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | m_bytes[m_pos + static_cast<size_t>(i)];
    }
    m_pos += 4;
    return value;
}

uint64_t CArchiveReader::ReadU64(const char* what) {
    Need(8, what);
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i) {
        value = (value << 8) | m_bytes[m_pos + static_cast<size_t>(i)];
    }
    m_pos += 8;
    return value;
}

double CArchiveReader::ReadDouble(const char* what) {
    return std::bit_cast<double>(ReadU64(what));
}

uint64_t CArchiveReader::ReadStringLength(const char* what) {
    const uint8_t small = ReadU8(what);
    if (small < 0xFF) {
        return small;
    }
    const uint16_t medium = ReadU16(what);
    if (medium < 0xFFFF) {
        return medium;
    }
    const uint32_t large = ReadU32(what);
    if (large < 0xFFFFFFFFu) {
        return large;
    }
    return ReadU64(what);
}

std::string CArchiveReader::ReadString(const char* what) {
    const size_t start = m_pos;
    // The wide mark sits where a 16-bit length would be: 0xFF 0xFFFE, then a length of its own.
    if (Remaining() >= 3 && m_bytes[m_pos] == 0xFF && m_bytes[m_pos + 1] == 0xFE &&
        m_bytes[m_pos + 2] == 0xFF) {
        m_pos += 3;
        const uint64_t length = ReadStringLength(what);
        if (length > Remaining() / 2) {
            Fail(start, what);
        }
        return ReadWide(length, what);
    }
    const uint64_t length = ReadStringLength(what);
    if (length > Remaining()) {
        Fail(start, what);
    }
    std::string text(reinterpret_cast<const char*>(m_bytes.data() + m_pos),
                     static_cast<size_t>(length));
    m_pos += static_cast<size_t>(length);
    return text;
}

std::string CArchiveReader::ReadWide(uint64_t length, const char* what) {
    std::string text;
    text.reserve(static_cast<size_t>(length));
    for (uint64_t i = 0; i < length; ++i) {
        uint32_t unit = ReadU16(what);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < length && Remaining() >= 2) {
            const uint32_t low = m_bytes[m_pos] | (m_bytes[m_pos + 1] << 8);
            if (low >= 0xDC00 && low < 0xE000) {
                m_pos += 2;
                ++i;
                AppendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                continue;
            }
        }
        if (unit >= 0xD800 && unit < 0xE000) {
            unit = '?'; // a lone surrogate has no character of its own
        }
        AppendUtf8(text, unit);
    }
    return text;
}

uint64_t CArchiveReader::ReadCount(const char* what) {
    const uint16_t small = ReadU16(what);
    if (small != 0xFFFF) {
        return small;
    }
    const uint32_t large = ReadU32(what);
    if (large != 0xFFFFFFFFu) {
        return large;
    }
    return ReadU64(what);
}

std::string_view CArchiveReader::ReadObjectTag(std::initializer_list<std::string_view> accepted,
                                               uint16_t schema) {
    std::string expected = "an object tag (";
    for (std::string_view name : accepted) {
        expected.append(name);
        expected.push_back(' ');
    }
    expected.append("or null)");

    const size_t start = m_pos;
    const uint16_t tag = ReadU16(expected.c_str());
    if (tag == kNullTag) {
        return {};
    }
    if (tag == kNewClassTag) {
        const uint16_t classSchema = ReadU16("a class schema");
        const uint16_t nameLength = ReadU16("a class name length");
        if (nameLength == 0 || nameLength > kMaxClassName || nameLength > Remaining()) {
            Fail(start, "a class name");
        }
        std::string name(reinterpret_cast<const char*>(m_bytes.data() + m_pos), nameLength);
        m_pos += nameLength;
        bool known = false;
        for (std::string_view candidate : accepted) {
            known = known || candidate == name;
        }
        if (!known) {
            Fail(start, expected + ", found unknown class \"" + name + "\"");
        }
        if (classSchema != schema) {
            Fail(start, Format("schema %u of class %s, found schema %u", schema, name.c_str(),
                               classSchema));
        }
        m_classes.push_back({std::move(name), static_cast<uint32_t>(m_mapCount++)});
        ++m_mapCount;
        return m_classes.back().name;
    }
    uint32_t index = 0;
    if (tag == kBigObjectTag) {
        const uint32_t big = ReadU32("a 32-bit object tag");
        if ((big & kBigClassTag) == 0) {
            Fail(start, expected + ", found a reference to an earlier object");
        }
        index = big & ~kBigClassTag;
    } else if ((tag & kClassTag) != 0) {
        index = tag & ~kClassTag;
    } else {
        Fail(start, expected + ", found a reference to an earlier object");
    }
    for (const ClassEntry& entry : m_classes) {
        if (entry.index == index) {
            ++m_mapCount;
            return entry.name;
        }
    }
    Fail(start, Format("%s, found class index %u that names no class", expected.c_str(), index));
}

bool CArchiveReader::ReadObjectOf(std::string_view className, uint16_t schema) {
    return !ReadObjectTag({className}, schema).empty();
}

// --- files -----------------------------------------------------------------------------------

int ReadFileBytes(const std::string& path, std::vector<uint8_t>& out) {
    // O_NONBLOCK keeps a named pipe from stalling the open; it is refused below anyway.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return errno;
    }
    struct stat info {};
    int code = 0;
    if (::fstat(fd, &info) != 0) {
        code = errno;
    } else if (S_ISDIR(info.st_mode)) {
        code = EISDIR;
    } else if (!S_ISREG(info.st_mode)) {
        code = EINVAL;
    } else if (static_cast<uint64_t>(info.st_size) > kMaxArchiveFileSize) {
        code = EFBIG;
    }
    std::vector<uint8_t> bytes;
    if (code == 0) {
        bytes.resize(static_cast<size_t>(info.st_size));
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                code = errno;
                break;
            }
            if (n == 0) {
                bytes.resize(done); // the file shrank while we read it
                break;
            }
            done += static_cast<size_t>(n);
        }
    }
    ::close(fd);
    if (code == 0) {
        out = std::move(bytes);
    }
    return code;
}

int WriteFileBytes(const std::string& path, std::span<const uint8_t> bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        return errno;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const int code = n < 0 ? errno : EIO;
            ::close(fd);
            throw ArchiveError(path, done,
                               Format("room to write %zu more bytes (%s)", bytes.size() - done,
                                      std::strerror(code)));
        }
        done += static_cast<size_t>(n);
    }
    if (::close(fd) != 0) {
        const int code = errno;
        throw ArchiveError(path, done,
                           Format("the file to close cleanly (%s)", std::strerror(code)));
    }
    return 0;
}

} // namespace halyx
