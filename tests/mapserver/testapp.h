#pragma once

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace halyx::test {

// The one application object of the test program (the server needs an event loop).
inline QCoreApplication& TestApp() {
    static int argc = 1;
    static char name[] = "test_mapserver";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// The folder the tests may write in. CTest sets HALYX_HOME; a run by hand without it fails the
// test with a message instead of dereferencing a null pointer.
inline std::filesystem::path TestHome() {
    const char* home = std::getenv("HALYX_HOME");
    if (home == nullptr || *home == '\0') {
        ADD_FAILURE() << "HALYX_HOME is not set: run through ctest or set it to a scratch folder";
        return std::filesystem::temp_directory_path() / "halyx-test-home";
    }
    return home;
}

} // namespace halyx::test
