#pragma once

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

namespace halyx {

enum class ReadFileStatus { Ok, CannotOpen, NotAFile, TooLarge, ReadError };

// Reads a whole regular file into buffer. Folders, pipes and devices are refused (a pipe or a
// device might never end), and so are files larger than maxBytes.
ReadFileStatus ReadWholeFile(const std::string& path, std::string& buffer, size_t maxBytes);

// A whole file's bytes, for readers that look at all of a large file at once (a log of a
// million events is some 200 MB). A large file is read into memory taken in huge pages where the
// system offers them: filling fresh memory page by page costs several times the reading itself.
class CFileBytes {
public:
    CFileBytes() = default;
    ~CFileBytes();
    CFileBytes(CFileBytes&& other) noexcept;
    CFileBytes& operator=(CFileBytes&& other) noexcept;

    // Refuses what ReadWholeFile refuses; on failure the bytes are empty.
    ReadFileStatus Read(const std::string& path, size_t maxBytes);
    std::string_view View() const {
        return m_mapping != nullptr ? std::string_view(m_data, m_size) : std::string_view(m_small);
    }
    void Clear();

private:
    std::string m_small; // a file below the huge-page size
    char* m_data = nullptr;
    size_t m_size = 0;
    void* m_mapping = nullptr;
    size_t m_mappingBytes = 0;
};

// Whether the first byte of the file that is not a blank (after a UTF-8 byte-order mark) is
// '<', looking at the first 64 KiB only. A file that cannot be read, or that ends blank within
// them, answers true: its reader says what is wrong with it. Lets a reader of markup refuse a
// file of zeros or other bytes at once instead of reading all of it. offset receives where the
// first byte that is not a blank is.
bool BeginsWithMarkup(const std::string& path, size_t& offset);

// Writes text to a temporary file beside path and renames it over path, so that a failed write
// never leaves a half-written file under the final name.
bool WriteWholeFile(const std::string& path, std::string_view text);

// The same for text given in parts, written in order; when check is given it is called with the
// temporary file's path once the file is complete and closed, and false from it leaves path as
// it was (the temporary file is removed).
bool WriteWholeFile(const std::string& path, std::initializer_list<std::string_view> parts,
                    const std::function<bool(const std::string& written)>& check = {});

} // namespace halyx
