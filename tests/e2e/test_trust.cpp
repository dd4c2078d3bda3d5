// A mission on a shared network, with the real name server, headless console and synthetic
// stations on loopback: a program on 127.0.0.2 that is registered nowhere forges commands in
// ALPHA's name (a "nogo" just before the launch decision among them), and CHARLIE's program is
// killed and started again. The forgeries change neither the decision nor the log's events, and
// the restarted CHARLIE gets its scenario again before the clock runs it on.
#include "e2eutil.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QProcess>
#include <QTcpSocket>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace halyx {
namespace {

using namespace e2e;

// Sends the forged messages from 127.0.0.2 on one connection; false when it could not.
bool Forge(int consolePort, const std::vector<std::string>& contents) {
    QTcpSocket socket;
    if (!socket.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0)) {
        return false;
    }
    socket.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(consolePort));
    if (!socket.waitForConnected(3000)) {
        return false;
    }
    for (const std::string& content : contents) {
        const std::string text = "(tell :sender ALPHA :receiver Lab-HalyxCommand :language "
                                 "default-language :ontology default-ontology :content (" +
                                 content + "))\n";
        socket.write(text.data(), static_cast<qint64>(text.size()));
    }
    const bool written = socket.waitForBytesWritten(3000);
    socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState) {
        socket.waitForDisconnected(1000);
    }
    return written;
}

const std::vector<std::string> kForgeries = {
    "tell :command update_go_nogo_status :status nogo",
    "tell :command subject_communication :to BRAVO :from ALPHA :message (forged order)",
    "tell :command deploy :resource interceptor :id I1 :initLat 1 :initLng 100 :initGridCol 0 "
    ":initGridRow 0 :destLat 2 :destLng 101 :destGridCol 0 :destGridRow 0",
    "tell :command init_sim",
};

TEST(SharedNetwork, ForgedSendersAreRefusedAndARestartedStationIsBroughtBack) {
    EnsureApplication("test_e2e_trust");
    const std::string home = FreshHome("trust");
    QString ansAddress;
    auto ans = StartAns(home, ansAddress);
    ASSERT_FALSE(ansAddress.isEmpty());
    std::map<std::string, std::unique_ptr<QProcess>> stations;
    int seed = 31;
    for (const char* station : {"ALPHA", "BRAVO", "CHARLIE"}) {
        stations[station] = StartToFile("halyx-station",
                                        {"--name", station, "--ans", ansAddress, "--behaviour",
                                         "active", "--seed", QString::number(seed++)},
                                        home + station + ".out");
        ASSERT_FALSE(WaitForLine(home + station + ".out", "READY").empty());
    }

    const std::string log = home + "logs/Trust.xml";
    std::ofstream(home + "session.txt")
        << "register\nwait agents 3 timeout=60\nadd ALPHA BRAVO CHARLIE\n"
        << "init name=Trust folder=" << home << "logs\n"
        << "wait initialized timeout=60\nstart\nwait end timeout=300\n"
        << "wait quiet 1000 timeout=60\nsummary\nquit\n";
    auto console = StartToFile("halyx-command",
                               {"--headless", QString::fromStdString(home + "session.txt"), "--ans",
                                ansAddress, "--no-embedded-ans", "--no-map-server", "--tick-ms",
                                "25", "--clock-every", "10", "--auto-reinit"},
                               home + "console.out");
    const std::string ready = WaitForLine(home + "console.out", "READY ");
    ASSERT_FALSE(ready.empty()) << ReadFile(home + "console.out.err");
    const int consolePort = std::stoi(ready.substr(ready.find(" port ") + 6));

    ASSERT_FALSE(WaitForLine(home + "console.out", "CLOCK 100", 120000).empty());
    ASSERT_TRUE(Forge(consolePort, kForgeries));

    // CHARLIE's program dies and a new one takes its name.
    ASSERT_FALSE(WaitForLine(home + "console.out", "CLOCK 300", 60000).empty());
    stations["CHARLIE"]->kill();
    stations["CHARLIE"]->waitForFinished(5000);
    ASSERT_FALSE(WaitForLine(home + "console.out", "STATION CHARLIE lost", 10000).empty());
    stations["CHARLIE2"] = StartToFile(
        "halyx-station",
        {"--name", "CHARLIE", "--ans", ansAddress, "--behaviour", "active", "--seed", "41"},
        home + "CHARLIE2.out");

    // Forged "nogo"s until the window closes, so that some come after the stations' own last
    // reports (at minute 950, all "go" with these seeds) and would decide the launch.
    ASSERT_FALSE(WaitForLine(home + "console.out", "CLOCK 940", 120000).empty());
    int forged = static_cast<int>(kForgeries.size());
    QElapsedTimer window;
    window.start();
    while (WaitForLine(home + "console.out", "CLOCK 960", 20).empty() && window.elapsed() < 30000) {
        ASSERT_TRUE(Forge(consolePort, {kForgeries.front()}));
        ++forged;
    }

    ASSERT_TRUE(console->waitForFinished(300000));
    const std::string transcript = ReadFile(home + "console.out");
    ASSERT_EQ(console->exitCode(), 0) << transcript << ReadFile(home + "console.out.err");
    for (auto& [station, process] : stations) {
        Stop({process.get()});
    }
    Stop({ans.get()});

    // Shown as it happened, with how a real ALPHA would be let in.
    EXPECT_NE(transcript.find("\nREFUSED forged sender ALPHA from 127.0.0.2\n"), std::string::npos)
        << transcript;
    EXPECT_NE(transcript.find("ALPHA is registered at 127.0.0.1; if this is ALPHA itself on a "
                              "machine with several network addresses, start the station with "
                              "--host 127.0.0.2"),
              std::string::npos);
    EXPECT_NE(transcript.find("STATION CHARLIE Restarted"), std::string::npos) << transcript;

    const std::string text = ReadFile(log);
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(text.c_str())) << "the log is not well-formed";
    const pugi::xml_node root = doc.child("HalyxSimLog");

    // The attempts left notes; ALPHA's and BRAVO's events are exactly what they sent.
    const std::regex refused("<!-- refused: message claiming ALPHA from 127\\.0\\.0\\.2 at clock "
                             "([0-9]+) -->\n");
    long notes = 0;
    long lateNotes = 0; // after the stations' own reports of minute 950
    for (auto it = std::sregex_iterator(text.begin(), text.end(), refused);
         it != std::sregex_iterator(); ++it) {
        ++notes;
        lateNotes += std::stoi((*it)[1]) > 950 ? 1 : 0;
    }
    // Those that came after the events section was closed are counted, not written.
    EXPECT_LE(notes, forged) << text;
    EXPECT_GT(notes, static_cast<long>(kForgeries.size()));
    EXPECT_GT(lateNotes, 0) << text;
    EXPECT_NE(
        transcript.find("SUMMARY " + std::to_string(forged) +
                        " messages refused for a forged sender ALPHA=" + std::to_string(forged)),
        std::string::npos);
    EXPECT_EQ(text.find("forged order"), std::string::npos);
    const auto logged = LoggedEvents(root);
    for (const char* station : {"ALPHA", "BRAVO"}) {
        size_t at = 0;
        const std::vector<std::string> sent = SentEvents(Lines(home + station + ".out"), at);
        ASSERT_GT(sent.size(), 20u) << station << " sent too little to test anything";
        EXPECT_EQ(logged.at(station), sent) << station;
    }

    // The decision is the stations' own: their last reports, all "go" for a launch.
    std::map<std::string, std::string> last;
    for (pugi::xml_node event : root.child("SimEvents").children("Event")) {
        if (std::string(event.attribute("Name").value()) == "LaunchStatusChange") {
            last[event.attribute("From").value()] = event.attribute("Status").value();
        }
    }
    const bool launch = last["ALPHA"] == "go" && last["BRAVO"] == "go" && last["CHARLIE"] == "go";
    // With these seeds they all report "go" at minute 950, so an accepted forgery would show
    // here; a loaded machine may lose a report, which must not fail the test, and ALPHA's
    // events above prove the forgeries out of the record either way.
    EXPECT_NE(transcript.find(std::string("SUMMARY outcome ") + (launch ? "Launch" : "NoLaunch")),
              std::string::npos)
        << transcript;
    EXPECT_STREQ(root.child("SimEvents").last_child().attribute("LaunchStatus").value(),
                 launch ? "Launch" : "NoLaunch")
        << text;
    // The console says the decision once, in the words the window shows, each station's part too.
    const auto part = [&](const char* station) {
        return std::string(station) + ": " + (last[station] == "go" ? "go" : "no-go");
    };
    const std::string decision = std::string("\nDECISION Mission complete at minute 960: ") +
                                 (launch ? "Launch" : "No Launch") + " (" + part("ALPHA") + ", " +
                                 part("BRAVO") + ", " + part("CHARLIE") + ")\n";
    const size_t decided = transcript.find(decision);
    EXPECT_NE(decided, std::string::npos) << transcript;
    EXPECT_EQ(transcript.find("\nDECISION ", decided + 1), std::string::npos) << transcript;

    // The new CHARLIE was re-initialized at once and got no clock before its scenario.
    EXPECT_TRUE(std::regex_search(text, std::regex("<!-- station CHARLIE restarted at clock "
                                                   "[0-9]+ -->\n<!-- station CHARLIE "
                                                   "re-initialized at clock [0-9]+ -->\n")))
        << text;
    const std::vector<std::string> c2 = Lines(home + "CHARLIE2.out");
    size_t firstInit = c2.size();
    size_t firstSync = c2.size();
    for (size_t i = 0; i < c2.size(); ++i) {
        const Wire w = IsRecv(c2[i]) ? ReadWireLine(c2[i]) : Wire{};
        if (w.command == "init_sim" && firstInit == c2.size()) {
            firstInit = i;
        }
        if (w.command == "clock_sync" && firstSync == c2.size()) {
            firstSync = i;
        }
    }
    ASSERT_LT(firstSync, c2.size()) << "the restarted station was not carried on";
    EXPECT_LT(firstInit, firstSync);
}

} // namespace
} // namespace halyx
