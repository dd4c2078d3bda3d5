#include "record/fileio.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace halyx {

ReadFileStatus ReadWholeFile(const std::string& path, std::string& buffer, size_t maxBytes) {
    buffer.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return ReadFileStatus::CannotOpen;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return ReadFileStatus::NotAFile;
    }
    if (static_cast<unsigned long long>(info.st_size) > maxBytes) {
        ::close(fd);
        return ReadFileStatus::TooLarge;
    }
    // One byte to spare: the loader ends the text with a line break, and a full buffer would
    // be copied whole to make room for it.
    buffer.reserve(static_cast<size_t>(info.st_size) + 1);
    buffer.resize(static_cast<size_t>(info.st_size));
    size_t got = 0;
    while (got < buffer.size()) {
        const ssize_t n = ::read(fd, buffer.data() + got, buffer.size() - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ::close(fd);
            buffer.clear();
            return ReadFileStatus::ReadError;
        }
        if (n == 0) {
            break; // the file shrank while being read
        }
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    buffer.resize(got);
    return ReadFileStatus::Ok;
}

bool BeginsWithMarkup(const std::string& path, size_t& offset) {
    offset = 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
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
