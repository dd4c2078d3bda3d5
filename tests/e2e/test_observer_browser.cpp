// The observer page in a real browser during a mission: headless Chromium loads the address the
// console prints, and the page (never reloaded) shows the minute advancing and a deployment a
// station makes. The page is read through the browser's debugging protocol, so what is checked
// is what the browser's own script drew from the live stream.
//
// Without Chromium the test says so and ends with status 77, which CTest reports as skipped.
#include "browser.h"
#include "e2eutil.h"

#include <QStandardPaths>
#include <QTcpSocket>

#include <cstdio>
#include <cstdlib>
#include <regex>

namespace halyx {
namespace {

using namespace e2e;

class ObserverInBrowser : public ProgramsTest {
protected:
    static void SetUpTestSuite() { TestApp("test_e2e_observer"); }

    void SetUp() override {
        m_browser = QStandardPaths::findExecutable("chromium").toStdString();
        if (m_browser.empty()) {
            std::printf("SKIPPED: chromium is not installed (scripts/install-deps.sh installs "
                        "it); the observer page was not tried in a browser\n");
            std::fflush(stdout);
            std::_Exit(77);
        }
        ProgramsTest::SetUp();
    }

    std::string m_browser;
};

TEST_F(ObserverInBrowser, ThePageFollowsTheMinuteAndShowsADeployment) {
    Start("halyx-ans", {"--port", "0", "--bind", "127.0.0.1"}, home + "ans.out");
    const QString ans = NameServerAddress(home + "ans.out");
    ASSERT_FALSE(ans.isEmpty()) << ReadFile(home + "ans.out.err");
    Start("halyx-station", {"--name", "ALPHA", "--ans", ans, "--behaviour", "quiet"},
          home + "ALPHA.out");
    ASSERT_FALSE(WaitForLine(home + "ALPHA.out", "READY").empty());
    QProcess* console = Start(
        "halyx-command",
        {"--headless", "-", "--ans", ans, "--no-embedded-ans", "--tick-ms", "300", "--observer"},
        home + "console.out");
    const std::string ready = WaitForLine(home + "console.out", "READY");
    ASSERT_FALSE(ready.empty()) << ReadFile(home + "console.out.err");
    const int port = std::stoi(ready.substr(ready.find(" port ") + 6));
    const std::string observer = WaitForLine(home + "console.out", "OBSERVER http://");
    std::smatch found;
    ASSERT_TRUE(
        std::regex_search(observer, found, std::regex(R"(:(\d+)/live\?key=([0-9a-f]{32})$)")))
        << observer;
    // The address names this machine's network address; the test stays on loopback.
    const std::string page = "http://127.0.0.1:" + found[1].str() + "/live?key=" + found[2].str();

    const std::string start = "register\nwait agent ALPHA timeout=30\nadd ALPHA\nsingle-person on\n"
                              "init name=Observed folder=" +
                              home + "logs\nwait initialized timeout=30\nstart\n";
    console->write(start.data(), static_cast<qint64>(start.size()));
    console->waitForBytesWritten(5000);

    CBrowserPage tab;
    ASSERT_TRUE(OpenInBrowser(processes, m_browser, page, home + "browser", tab))
        << ReadFile(home + "browser.err");

    const std::string minuteOf = "document.getElementById('minute').textContent";
    const std::string deploymentsOf =
        "String(document.querySelectorAll('#marks [data-command=\"deploy\"]').length)";
    std::string first;
    ASSERT_TRUE(Spin(
        [&] {
            first = tab.Evaluate(minuteOf);
            return !first.empty() && first != "-" && std::stoi(first) >= 1;
        },
        30000))
        << "minute on the page: " << first << "\n"
        << ReadFile(home + "console.out");
    EXPECT_EQ(tab.Evaluate(deploymentsOf), "0");

    const std::string deploy =
        "(tell :sender ALPHA :receiver Lab-HalyxCommand :content (tell :command deploy :resource "
        "interceptor :id I1 :initLat 184 :initLng 472 :initGridCol 0 :initGridRow 0 :destLat "
        "240 :destLng 469 :destGridCol 0 :destGridRow 0))\n";
    QTcpSocket station;
    station.connectToHost("127.0.0.1", static_cast<quint16>(port));
    ASSERT_TRUE(station.waitForConnected(10000));
    station.write(deploy.data(), static_cast<qint64>(deploy.size()));
    ASSERT_TRUE(station.waitForBytesWritten(5000));

    std::string deployments;
    EXPECT_TRUE(Spin(
        [&] {
            deployments = tab.Evaluate(deploymentsOf);
            return deployments != "" && deployments != "0";
        },
        10000))
        << ReadFile(home + "console.out");
    std::string later;
    EXPECT_TRUE(Spin(
        [&] {
            later = tab.Evaluate(minuteOf);
            return !later.empty() && later != "-" && std::stoi(later) > std::stoi(first) + 1;
        },
        10000))
        << first << " then " << later;
    EXPECT_EQ(tab.Evaluate("document.getElementById('connection').textContent"), "live");

    const std::string quit = "quit\n";
    console->write(quit.data(), static_cast<qint64>(quit.size()));
    console->waitForBytesWritten(5000);
}

} // namespace
} // namespace halyx
