// The web seat page's redraw of one tick in headless Chromium. A generated scenario of 200 units
// (40 radars, 60 interceptors, 100 incursions) runs at a fast clock with ALPHA a web seat; the
// page times every draw of a new state (window.halyxDrawMs: header, map and unit lists) and this
// prints how many, the median, the 90th and 99th percentiles and the longest, in ms. The goal is
// a p99 under 8 ms. Needs Chromium (ends with status 77 without it) and HALYX_HOME, a scratch
// folder.
//
//   HALYX_HOME=/tmp/bench build/bin/bench_seat_page [draws, default 300]

#include "browser.h"
#include "e2eutil.h"

#include <QStandardPaths>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace halyx::e2e;

namespace {

// Every draw's time, kept as the page sets it.
constexpr const char* kRecorder = R"JS(
window.draws = [];
{ let last; Object.defineProperty(window, 'halyxDrawMs',
    { set(v) { last = v; window.draws.push(v); }, get() { return last; } }); }
'ok')JS";

constexpr const char* kSummary = R"JS((() => {
  const d = [...window.draws].sort((a, b) => a - b);
  const at = (q) => d[Math.min(d.length - 1, Math.floor(q * d.length))].toFixed(2);
  const s = halyxState;
  return `${d.length} draws of ${s.radars.length} radars, ${s.interceptors.length} interceptors, ` +
    `${s.incursions.length} incursions seen: median ${at(0.5)} ms, p90 ${at(0.9)} ms, p99 ${at(0.99)} ms, ` +
    `longest ${d[d.length - 1].toFixed(2)} ms`;
})())JS";

} // namespace

int main(int argc, char** argv) {
    TestApp("bench_seat_page");
    const int wanted = argc > 1 ? std::atoi(argv[1]) : 300;
    const std::string browser = QStandardPaths::findExecutable("chromium").toStdString();
    if (browser.empty()) {
        std::printf("SKIPPED: chromium is not installed\n");
        return 77;
    }
    const std::string home = FreshFolder("bench_seat_page");
    std::vector<std::unique_ptr<QProcess>> processes;
    QString ans;
    processes.push_back(StartAns(home, ans));
    processes.push_back(StartToFile("halyx-station",
                                    {"--seat", "ALPHA=web", "--seat", "BRAVO=bot", "--seat",
                                     "CHARLIE=bot", "--ans", ans, "--no-echo", "--web-port", "0"},
                                    home + "station.out"));
    const std::string seat = WaitForLine(home + "station.out", "SEAT ALPHA http://");
    processes.push_back(StartToFile(
        "halyx-command", {"--headless", "-", "--ans", ans, "--no-embedded-ans", "--tick-ms", "100"},
        home + "console.out"));
    QProcess* console = processes.back().get();
    const std::string script =
        "generate 1 " + home + "gen radars=40 interceptors=60 incursions=100\nload-scenario " +
        home + "gen/Scenario_0001/Scenario_0001.hsf\nregister\nwait agents 3 timeout=60\n" +
        "add ALPHA BRAVO CHARLIE\ninit name=Bench folder=" + home +
        "logs\nwait initialized timeout=60\nstart\n";
    console->write(script.data(), static_cast<qint64>(script.size()));
    console->waitForBytesWritten(5000);
    CBrowserPage page;
    int status = 1;
    const auto drawn = [&page] {
        return std::atoi(page.Evaluate("String(window.draws.length)").c_str());
    };
    if (seat.empty() ||
        !OpenInBrowser(processes, browser, seat.substr(11), home + "browser", page)) {
        std::printf("ERROR the station or the browser did not come up (see %s)\n", home.c_str());
    } else if (!Spin([&] { return page.Evaluate("String(!!window.halyxState)") == "true"; },
                     60000) ||
               page.Evaluate(kRecorder) != "ok") {
        std::printf("ERROR the page did not load (see %s)\n", home.c_str());
    } else if (!Spin([&] { return drawn() >= wanted; }, 300000)) {
        std::printf("ERROR only %d draws came (see %s)\n", drawn(), home.c_str());
    } else {
        std::printf("%s\n", page.Evaluate(kSummary).c_str());
        status = 0;
    }
    for (auto& process : processes) {
        process->kill();
        process->waitForFinished(5000);
    }
    return status;
}
