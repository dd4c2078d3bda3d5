#pragma once

// The Qt application object a benchmark program needs, made once on first use (Google
// Benchmark owns main()). Without a display the offscreen platform is used.

#include <QCoreApplication>

#include <cstdlib>

namespace halyx::bench {

template <class App> App& BenchApp() {
    static int argc = 1;
    static char name[] = "bench";
    static char* argv[] = {name, nullptr};
    static App* app = [] {
        if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
            setenv("QT_QPA_PLATFORM", "offscreen", 0);
        }
        return new App(argc, argv);
    }();
    return *app;
}

} // namespace halyx::bench
