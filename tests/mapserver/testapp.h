#pragma once

#include <QCoreApplication>

namespace halyx::test {

// The one application object of the test program (the server needs an event loop).
inline QCoreApplication& TestApp() {
    static int argc = 1;
    static char name[] = "test_mapserver";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

} // namespace halyx::test
