#include "mapserver/observeraccess.h"

#include <sys/random.h>

#include <array>
#include <cerrno>
#include <cstddef>

namespace halyx {

std::string MakeObserverKey() {
    std::array<unsigned char, 16> bytes{};
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::getrandom(bytes.data() + got, bytes.size() - got, 0);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return {};
        }
        got += static_cast<std::size_t>(n);
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string key;
    key.reserve(bytes.size() * 2);
    for (const unsigned char b : bytes) {
        key += kHex[b >> 4];
        key += kHex[b & 0x0f];
    }
    return key;
}

std::string_view QueryKey(std::string_view query) {
    while (!query.empty()) {
        const std::size_t end = query.find('&');
        const std::string_view pair = query.substr(0, end);
        if (pair.starts_with("key=")) {
            return pair.substr(4);
        }
        if (end == std::string_view::npos) {
            break;
        }
        query.remove_prefix(end + 1);
    }
    return {};
}

bool ObserverKeyMatches(std::string_view given, std::string_view expected) {
    if (expected.empty() || given.size() != expected.size()) {
        return false;
    }
    unsigned char difference = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        difference |= static_cast<unsigned char>(given[i] ^ expected[i]);
    }
    return difference == 0;
}

} // namespace halyx
