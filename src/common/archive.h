#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace halyx {

// A stored file that breaks off mid-read, holds an object of a class the reader does not know, or
// cannot be written completely. Caught at the command boundary and shown to the user; the message
// names the file, the byte offset and what was expected there.
class ArchiveError : public std::runtime_error {
public:
    ArchiveError(std::string file, uint64_t offset, std::string expected);

    const std::string& File() const { return m_file; }
    uint64_t Offset() const { return m_offset; }
    const std::string& Expected() const { return m_expected; }

private:
    std::string m_file;
    uint64_t m_offset;
    std::string m_expected;
};

// Writes the little-endian object-archive layout of unit, weather and geography files into a
// byte buffer. Tagged objects are numbered as they are written (see WriteObjectTag).
class CArchiveWriter {
public:
    void WriteU8(uint8_t value);
    void WriteU16(uint16_t value);
    void WriteU32(uint32_t value);
    void WriteI32(int32_t value) { WriteU32(static_cast<uint32_t>(value)); }
    void WriteU64(uint64_t value);
    void WriteDouble(double value);
    void WriteBytes(std::span<const uint8_t> bytes);

    // An 8-bit string with its length prefix: one byte below 255, else 0xFF and 16 bits below
    // 0xFFFE, else 0xFF 0xFFFF and 32 bits.
    void WriteString(std::string_view text);

    // A 16-bit count, or 0xFFFF followed by 32 bits when it is 0xFFFF or more.
    void WriteCount(uint32_t count);

    // The tag of an absent object (0x0000); it takes no index.
    void WriteNullTag();

    // The tag that precedes an object's own data. The first object of a class writes 0xFFFF, the
    // schema, the name length and the name; the class takes the next index and the object the
    // one after. Later objects of the class write 0x8000 | class index (or 0x7FFF and
    // 0x80000000 | index when the index is above 0x7FFE) and take the next index.
    void WriteObjectTag(std::string_view className, uint16_t schema = 0);

    const std::vector<uint8_t>& Bytes() const { return m_bytes; }
    std::vector<uint8_t> TakeBytes() { return std::move(m_bytes); }
    size_t Size() const { return m_bytes.size(); }
    void Reserve(size_t bytes) { m_bytes.reserve(bytes); }

private:
    struct ClassEntry {
        std::string name;
        uint32_t index;
    };
    std::vector<uint8_t> m_bytes;
    std::vector<ClassEntry> m_classes;
    uint32_t m_mapCount = 1; // index 0 is the null tag
};

// Reads the same layout from a byte span. Every read checks the bytes that remain first, and
// every count and length is checked against them before anything is allocated, so a hostile or
// truncated file raises ArchiveError and never allocates more than the file's own size.
class CArchiveReader {
public:
    explicit CArchiveReader(std::span<const uint8_t> bytes, std::string fileName = {});

    uint8_t ReadU8(const char* what = "a byte");
    uint16_t ReadU16(const char* what = "a 16-bit value");
    uint32_t ReadU32(const char* what = "a 32-bit value");
    int32_t ReadI32(const char* what = "a 32-bit value") {
        return static_cast<int32_t>(ReadU32(what));
    }
    uint64_t ReadU64(const char* what = "a 64-bit value");
    double ReadDouble(const char* what = "an 8-byte number");

    // Reads a length-prefixed string. The 16-bit character form (prefix 0xFF 0xFFFE) is turned
    // into UTF-8.
    std::string ReadString(const char* what = "a string");

    // A count as WriteCount writes it (also the 64-bit form 0xFFFF 0xFFFFFFFF + 64 bits).
    uint64_t ReadCount(const char* what = "a count");

    // Reads an object tag. Answers an empty view for a null tag, else the class name of the object
    // whose data follows. Throws when the tag is malformed, refers back to an earlier object,
    // names a class that is not in acceptedClasses, or carries a schema other than `schema`.
    std::string_view ReadObjectTag(std::initializer_list<std::string_view> acceptedClasses,
                                   uint16_t schema = 0);
    // True when an object of className follows, false for a null tag; throws otherwise.
    bool ReadObjectOf(std::string_view className, uint16_t schema = 0);

    // Throws unless count items of at least itemSize bytes each can still follow.
    void RequireItems(uint64_t count, uint64_t itemSize, const std::string& what) const;

    size_t Offset() const { return m_pos; }
    size_t Remaining() const { return m_bytes.size() - m_pos; }
    bool AtEnd() const { return m_pos == m_bytes.size(); }
    const std::string& FileName() const { return m_fileName; }

    [[noreturn]] void Fail(const std::string& expected) const { Fail(m_pos, expected); }
    [[noreturn]] void Fail(size_t offset, const std::string& expected) const;

private:
    void Need(size_t n, const char* what);
    std::string ReadWide(uint64_t length, const char* what);
    uint64_t ReadStringLength(const char* what);

    struct ClassEntry {
        std::string name;
        uint32_t index;
    };
    std::span<const uint8_t> m_bytes;
    size_t m_pos = 0;
    std::string m_fileName;
    std::vector<ClassEntry> m_classes;
    uint64_t m_mapCount = 1;
};

// Reads a whole regular file. Returns 0, or an errno code when the file cannot be opened or read
// (EISDIR for a folder, EINVAL for a device or pipe, EFBIG beyond kMaxArchiveFileSize); out is
// left untouched on failure.
inline constexpr uint64_t kMaxArchiveFileSize = 1ull << 30;
int ReadFileBytes(const std::string& path, std::vector<uint8_t>& out);

// Creates or truncates the file and writes bytes. Returns 0, or an errno code when the file
// cannot be created (nothing is then written). A failure after the file is open (a full disk)
// throws ArchiveError with the offset reached.
int WriteFileBytes(const std::string& path, std::span<const uint8_t> bytes);

} // namespace halyx
