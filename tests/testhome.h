#pragma once

// The scratch folder of a test program that writes files. CTest gives each program its own in
// HALYX_HOME; a program started by hand without it stops with a line that says so, rather than
// crash on a missing variable or write into the user's own Halyx folder.

#include <cstdio>
#include <cstdlib>
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

} // namespace halyx::test
