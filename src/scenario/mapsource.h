#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace halyx {

// Limits on reading a map address. Nothing waits forever: a server that does not answer within
// the connect time-out, or a transfer that is not complete within the total time-out, ends the
// read with an error; so does a text larger than maxBytes.
struct CMapSourceOptions {
    long connectTimeoutMs = 10000;
    long totalTimeoutMs = 30000;
    size_t maxBytes = size_t{64} << 20;
};

struct CMapSourceResult {
    bool ok = false;
    std::string text;  // the whole text read
    std::string error; // why it could not be read, for the user
};

// The kind of place an address names.
enum class MapAddressKind { File, Http };

// http:// and https:// addresses are web addresses; file: addresses and everything else name a
// file (a plain path, with '\\' or '/' separators).
MapAddressKind ClassifyMapAddress(std::string_view address);

// The file path a file address names: "file:///srv/maps/world.txt" and "file://localhost/srv/…"
// give "/srv/…", percent escapes are decoded ("%20" is a blank), backslashes become '/'; a plain
// path is only given '/' separators.
std::string MapAddressToPath(std::string_view address);

// The file address of a path ("file://" followed by the absolute path, blanks and '%' escaped).
std::string PathToFileAddress(std::string_view path);

// Reads the whole text at an address: a file, or a web address over http or https (following up
// to five redirects between those two protocols; an answer of 400 or above is an error).
CMapSourceResult ReadMapSource(const std::string& address, const CMapSourceOptions& options = {});

} // namespace halyx
