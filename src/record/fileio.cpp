#include "record/fileio.h"

#include "common/hugepages.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace halyx {

namespace {

// Opens a regular file of at most maxBytes; fd is -1 unless Ok. (O_NONBLOCK: a named pipe must
// not stall the open; it is refused as no file.)
ReadFileStatus OpenRegular(const std::string& path, size_t maxBytes, int& fd, size_t& size) {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return ReadFileStatus::CannotOpen;
    }
    struct stat info {};
    ReadFileStatus status = ReadFileStatus::Ok;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        status = ReadFileStatus::NotAFile;
    } else if (static_cast<unsigned long long>(info.st_size) > maxBytes) {
        status = ReadFileStatus::TooLarge;
    }
    if (status != ReadFileStatus::Ok) {
        ::close(fd);
        fd = -1;
    }
    size = static_cast<size_t>(info.st_size);
    return status;
}

// Reads up to size bytes; got is short when the file shrank while being read. Closes fd.
ReadFileStatus ReadAll(int fd, char* into, size_t size, size_t& got) {
    got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, into + got, size - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ::close(fd);
            return ReadFileStatus::ReadError;
        }
        if (n == 0) {
            break;
        }
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    return ReadFileStatus::Ok;
}

constexpr size_t kHugePage = kHugePageBytes;

} // namespace

ReadFileStatus ReadWholeFile(const std::string& path, std::string& buffer, size_t maxBytes) {
    buffer.clear();
    int fd = -1;
    size_t size = 0;
    if (const ReadFileStatus opened = OpenRegular(path, maxBytes, fd, size);
        opened != ReadFileStatus::Ok) {
        return opened;
    }
    // One byte to spare: the loader ends the text with a line break, and a full buffer would
    // be copied whole to make room for it.
    buffer.reserve(size + 1);
    buffer.resize(size);
    size_t got = 0;
    const ReadFileStatus read = ReadAll(fd, buffer.data(), size, got);
    buffer.resize(read == ReadFileStatus::Ok ? got : 0);
    return read;
}

CFileBytes::~CFileBytes() {
    Clear();
}

CFileBytes::CFileBytes(CFileBytes&& other) noexcept {
    *this = std::move(other);
}

CFileBytes& CFileBytes::operator=(CFileBytes&& other) noexcept {
    if (this != &other) {
        Clear();
        m_small = std::move(other.m_small);
        m_data = other.m_data;
        m_size = other.m_size;
        m_mapping = other.m_mapping;
        m_mappingBytes = other.m_mappingBytes;
        other.m_mapping = nullptr;
        other.Clear();
    }
    return *this;
}

void CFileBytes::Clear() {
    if (m_mapping != nullptr) {
        ::munmap(m_mapping, m_mappingBytes);
    }
    m_mapping = nullptr;
    m_mappingBytes = 0;
    m_small = std::string();
    m_data = nullptr;
    m_size = 0;
}

ReadFileStatus CFileBytes::Read(const std::string& path, size_t maxBytes) {
    Clear();
    int fd = -1;
    size_t size = 0;
    if (const ReadFileStatus opened = OpenRegular(path, maxBytes, fd, size);
        opened != ReadFileStatus::Ok) {
        return opened;
    }
    char* into = nullptr;
    if (size >= 4 * kHugePage) {
        // Room for the file rounded up to whole huge pages, and one more to align the start.
        const size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
        void* mapping = ::mmap(nullptr, rounded + kHugePage, PROT_READ | PROT_WRITE,
                               MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapping != MAP_FAILED) {
            m_mapping = mapping;
            m_mappingBytes = rounded + kHugePage;
            const auto start = reinterpret_cast<uintptr_t>(mapping);
            into = reinterpret_cast<char*>((start + kHugePage - 1) / kHugePage * kHugePage);
            AdviseHugePages(into, rounded);
        }
    }
    if (into == nullptr) {
        m_small.resize(size);
        into = m_small.data();
    }
    size_t got = 0;
    if (const ReadFileStatus read = ReadAll(fd, into, size, got); read != ReadFileStatus::Ok) {
        Clear();
        return read;
    }
    m_small.resize(m_mapping != nullptr ? 0 : got);
    m_data = m_mapping != nullptr ? into : nullptr;
    m_size = got;
    return ReadFileStatus::Ok;
}

bool BeginsWithMarkup(const std::string& path, size_t& offset) {
    offset = 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return true;
    }
    struct stat info {};
    char head[64 * 1024];
    ssize_t got = 0;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        do {
            got = ::read(fd, head, sizeof head);
        } while (got < 0 && errno == EINTR);
    }
    ::close(fd);
    if (got <= 0) {
        return true;
    }
    const std::string_view text(head, static_cast<size_t>(got));
    size_t pos = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    pos = text.find_first_not_of(" \t\r\n", pos);
    if (pos == std::string_view::npos) {
        return true;
    }
    offset = pos;
    return text[pos] == '<';
}

bool WriteWholeFile(const std::string& path, std::string_view text) {
    return WriteWholeFile(path, {text});
}

bool WriteWholeFile(const std::string& path, std::initializer_list<std::string_view> parts,
                    const std::function<bool(const std::string& written)>& check) {
    const std::string temp = path + ".part";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    bool ok = true;
    for (const std::string_view text : parts) {
        const char* p = text.data();
        size_t left = text.size();
        while (ok && left > 0) {
            const ssize_t n = ::write(fd, p, left);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                ok = false;
                break;
            }
            p += n;
            left -= static_cast<size_t>(n);
        }
    }
    ok = ::close(fd) == 0 && ok;
    if (!ok || (check && !check(temp)) || std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

} // namespace halyx
