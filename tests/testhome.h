#pragma once

// The scratch folder of a test program that writes files, and reading them back. CTest gives each
// program its own in HALYX_HOME; a program started by hand without it stops with a line that says
// so, rather than crash on a missing variable or write into the user's own Halyx folder.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace halyx::test {

inline std::string RequiredHome() {
    const char* home = std::getenv("HALYX_HOME");
    if (home == nullptr || *home == '\0') {
        std::fputs("HALYX_HOME is not set: this test writes its files there. Run it through "
                   "ctest, or set HALYX_HOME to a scratch folder.\n",
                   stderr);
        std::exit(2);
    }
    return home;
}

// An empty folder of the test's own under its home, ending with '/'.
inline std::string FreshFolder(const std::string& name) {
    const std::string folder = RequiredHome() + "/" + name + "/";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

// The whole file, byte for byte ("" when it cannot be read).
inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// How often what occurs in text (overlapping occurrences count).
inline std::size_t CountOf(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

} // namespace halyx::test
