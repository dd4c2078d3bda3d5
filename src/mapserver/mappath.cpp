#include "mapserver/mappath.h"

#include "common/numtext.h"

namespace halyx {

bool IsServableMapName(std::string_view name) {
    if (name.empty() || name.size() > 128 || name.front() == '.') {
        return false;
    }
    for (const char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        if (!plain) {
            return false;
        }
    }
    return true;
}

std::optional<std::string> MapNameOfRequestPath(std::string_view path) {
    if (!path.starts_with(kMapPathPrefix)) {
        return std::nullopt;
    }
    const std::string_view encoded = path.substr(kMapPathPrefix.size());
    std::string name;
    name.reserve(encoded.size());
    for (size_t i = 0; i < encoded.size(); ++i) {
        if (encoded[i] != '%') {
            name.push_back(encoded[i]);
            continue;
        }
        if (i + 2 >= encoded.size()) {
            return std::nullopt;
        }
        const int high = HexDigitValue(encoded[i + 1]);
        const int low = HexDigitValue(encoded[i + 2]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        name.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    // The decoded name must be a plain file name: this refuses "..", "%2e%2e", "a/../b",
    // "%2f", backslashes, NUL and every other byte a file system or a log could misread.
    if (!IsServableMapName(name)) {
        return std::nullopt;
    }
    return name;
}

} // namespace halyx
