#pragma once

// The one Qt application object of a test program: sockets, timers, processes and widgets need
// one. Its name keeps the user's settings out of reach.

#include <QCoreApplication>

#include <string>

namespace halyx::test {

// App is QCoreApplication, QGuiApplication or QApplication; made on the first call.
template <typename App = QCoreApplication> App& TestApp(const char* name) {
    static int argc = 1;
    static std::string program = name;
    static char* argv[] = {program.data(), nullptr};
    static App* app = [] {
        if (auto* existing = qobject_cast<App*>(QCoreApplication::instance())) {
            return existing; // a main() of the program's own made it
        }
        auto* made = new App(argc, argv);
        QCoreApplication::setOrganizationName(QStringLiteral("HalyxTests"));
        QCoreApplication::setApplicationName(QString::fromStdString(program));
        return made;
    }();
    return *app;
}

} // namespace halyx::test
