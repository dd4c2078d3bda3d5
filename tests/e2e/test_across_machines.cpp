// A session as a laboratory runs it across machines, on loopback addresses, with the real name
// server, headless console and synthetic stations. The log of the mission must be complete and
// hold every command a station sent, in order. The console on 127.0.0.3 serves its maps and a
// station on 127.0.0.2 fetches its map by the served address (what else the map server refuses is
// its own test). A station killed mid-mission is reported lost and back, re-initialized and carried
// on by the clock; the log with its health notes is then played back and sought through by the
// script's commands (what a replay and a seek release is the page's and the playback store's test).
// A program on 127.0.0.1 forges commands in ALPHA's name (registered at 127.0.0.2), "nogo"s up to
// the launch decision among them: they change neither the log nor the decision, which follows
// what the stations themselves sent.
#include "e2eutil.h"
#include "rawsocket.h"
#include "testhome.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpSocket>

#include <fstream>
#include <regex>

namespace halyx {
namespace {

using namespace e2e;

// Sends forged messages in ALPHA's name from 127.0.0.1 on one connection; false when it could not.
bool Forge(int consolePort, const std::vector<std::string>& contents) {
    QTcpSocket socket;
    if (!socket.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0)) {
        return false;
    }
    socket.connectToHost(QStringLiteral("127.0.0.3"), static_cast<quint16>(consolePort));
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

// The last launch status a station's program sent before the reset ("" when none).
std::string LastStatusSent(const std::vector<std::string>& lines) {
    std::string status;
    for (const std::string& line : lines) {
        const Wire w = ReadWireLine(line);
        if (IsRecv(line) && w.command == "reset_sim") {
            break;
        }
        if (IsSend(line) && w.command == "update_go_nogo_status") {
            status = w.content.find(":status nogo") != std::string::npos ? "nogo" : "go";
        }
    }
    return status;
}

size_t FindRecv(const std::vector<std::string>& lines, size_t from, const std::string& command) {
    for (size_t i = from; i < lines.size(); ++i) {
        if (IsRecv(lines[i]) && ReadWireLine(lines[i]).command == command) {
            return i;
        }
    }
    return lines.size();
}

TEST(SessionAcrossMachines, MapsHealthReinitAndNavigableReplay) {
    TestApp("test_e2e_across");
    const std::string home = FreshFolder("across");
    QString ansAddress;
    auto ans = StartAns(home, ansAddress);
    ASSERT_FALSE(ansAddress.isEmpty());
    auto alpha = StartToFile("halyx-station",
                             {"--name", "ALPHA", "--ans", ansAddress, "--bind", "127.0.0.2",
                              "--host", "127.0.0.2", "--behaviour", "active", "--seed", "21"},
                             home + "ALPHA.out");
    auto bravo = StartToFile("halyx-station",
                             {"--name", "BRAVO", "--ans", ansAddress, "--bind", "127.0.0.1",
                              "--behaviour", "active", "--seed", "22"},
                             home + "BRAVO.out");
    // The seeds have every station report "go" at minute 950 (the restarted BRAVO's is 23).
    auto charlie = StartToFile("halyx-station",
                               {"--name", "CHARLIE", "--ans", ansAddress, "--bind", "127.0.0.1",
                                "--behaviour", "active", "--seed", "25"},
                               home + "CHARLIE.out");
    for (const char* station : {"ALPHA", "BRAVO", "CHARLIE"}) {
        ASSERT_FALSE(WaitForLine(home + station + ".out", "READY").empty()) << station;
    }

    const std::string log = home + "logs/Across.xml";
    std::ofstream(home + "session.txt")
        << "register\nwait agents 3 timeout=60\nadd ALPHA BRAVO CHARLIE\n"
        << "init name=Across folder=" << home << "logs\n"
        << "wait initialized timeout=60\nstart\n"
        << "wait lost BRAVO timeout=120\nwait back BRAVO timeout=120\n"
        << "wait status BRAVO Running timeout=60\nwait end timeout=300\n"
        << "wait quiet 1000 timeout=60\nsummary\nreset yes\n"
        << "playback on\nload-experiment " << log << "\ninit-playback\n"
        << "wait initialized timeout=60\nspeed 16\nplay\nwait end timeout=300\n"
        << "wait quiet 500 timeout=60\nstop\n"
        << "seek 500\nspeed 8\nplay\nwait end timeout=300\nwait quiet 500 timeout=60\nstop\n"
        << "wait ms 300\nquit\n";
    auto console =
        StartToFile("halyx-command",
                    {"--headless", QString::fromStdString(home + "session.txt"), "--ans",
                     ansAddress, "--no-embedded-ans", "--tick-ms", "25", "--clock-every", "10",
                     "--bind", "127.0.0.3", "--host", "127.0.0.3", "--auto-reinit"},
                    home + "console.out");
    const std::string ready = WaitForLine(home + "console.out", "READY ");
    ASSERT_FALSE(ready.empty()) << ReadFile(home + "console.out.err");
    const int consolePort = std::stoi(ready.substr(ready.find(" port ") + 6));

    // The map server listens where the agent does, and only there.
    const std::string served = WaitForLine(home + "console.out", "MAPSERVER listening on");
    ASSERT_FALSE(served.empty()) << ReadFile(home + "console.out.err");
    const int mapPort = ReadInt(served.substr(served.rfind(':') + 1));
    const std::string get = "GET /maps/world.txt HTTP/1.1\r\nHost: 127.0.0.3\r\n\r\n";
    const auto status = [&](const char* address) {
        return test::HttpStatus(test::RawExchange(static_cast<quint16>(mapPort), get, "\r\n", 3000,
                                                  QHostAddress(address)));
    };
    EXPECT_EQ(status("127.0.0.3"), 200);
    EXPECT_EQ(status("127.0.0.1"), 0);

    // The station on the other address fetched its map from the console by the served address.
    const std::string mapLine = WaitForLine(home + "ALPHA.out", "MAP ");
    const std::string atlantic =
        ReadFile(std::string(HALYX_SOURCE_DIR) + "/data/maps/atlantic.txt");
    EXPECT_EQ(mapLine, "MAP http://127.0.0.3:" + std::to_string(mapPort) + "/maps/atlantic.txt " +
                           std::to_string(atlantic.size()) + " bytes");

    ASSERT_FALSE(WaitForLine(home + "console.out", "CLOCK 100", 120000).empty());
    ASSERT_TRUE(Forge(consolePort, kForgeries));

    // BRAVO dies at minute 300 and comes back at 310.
    ASSERT_FALSE(WaitForLine(home + "console.out", "CLOCK 300", 120000).empty());
    bravo->kill();
    QElapsedTimer sinceDeath;
    sinceDeath.start();
    bravo->waitForFinished(5000);
    const std::string lost = WaitForLine(home + "console.out", "STATION BRAVO lost", 10000);
    const qint64 noticedMs = sinceDeath.elapsed();
    ASSERT_FALSE(lost.empty());
    EXPECT_LT(noticedMs, 2000) << "a killed station must be reported within 2 s";
    ASSERT_FALSE(WaitForLine(home + "console.out", "CLOCK 310", 60000).empty());
    auto bravo2 = StartToFile("halyx-station",
                              {"--name", "BRAVO", "--ans", ansAddress, "--bind", "127.0.0.1",
                               "--behaviour", "active", "--seed", "23"},
                              home + "BRAVO2.out");

    // Forged "nogo"s until the window closes, so that some come after the stations' own last
    // reports (at minute 950) and would decide the launch.
    ASSERT_FALSE(WaitForLine(home + "console.out", "CLOCK 940", 120000).empty());
    int forged = static_cast<int>(kForgeries.size());
    QElapsedTimer window;
    window.start();
    while (WaitForLine(home + "console.out", "CLOCK 960", 20).empty() && window.elapsed() < 30000) {
        ASSERT_TRUE(Forge(consolePort, {kForgeries.front()}));
        ++forged;
    }

    ASSERT_TRUE(console->waitForFinished(400000));
    const std::string transcript = ReadFile(home + "console.out");
    ASSERT_EQ(console->exitCode(), 0) << transcript << ReadFile(home + "console.out.err");
    const size_t lostAt = transcript.find("STATION BRAVO lost");
    const size_t backAt = transcript.find("STATION BRAVO back");
    ASSERT_NE(backAt, std::string::npos) << transcript;
    EXPECT_LT(lostAt, backAt);
    EXPECT_NE(transcript.find("STATION BRAVO Restarted"), std::string::npos) << transcript;
    // The forgeries shown as they happened (the hint they carry is the agent's test).
    EXPECT_NE(transcript.find("\nREFUSED forged sender ALPHA from 127.0.0.1\n"), std::string::npos)
        << transcript;
    EXPECT_NE(
        transcript.find("SUMMARY " + std::to_string(forged) +
                        " messages refused for a forged sender ALPHA=" + std::to_string(forged)),
        std::string::npos)
        << transcript;
    EXPECT_TRUE(
        std::regex_search(transcript, std::regex("SUMMARY [1-9][0-9]* messages lost to unreachable "
                                                 "stations BRAVO=[1-9]")))
        << transcript;
    Stop({alpha.get(), bravo2.get(), charlie.get(), ans.get()});

    // The log: the notes inside the events, lost before back, at the minutes of the outage.
    const std::string text = ReadFile(log);
    std::smatch notes;
    ASSERT_TRUE(std::regex_search(text, notes,
                                  std::regex("<!-- station BRAVO unreachable at clock ([0-9]+) "
                                             "-->\n(?:.*\n)*?<!-- station BRAVO back at clock "
                                             "([0-9]+) -->\n")))
        << text;
    const int lostMinute = std::stoi(notes[1]);
    const int backMinute = std::stoi(notes[2]);
    EXPECT_GE(lostMinute, 300);
    EXPECT_LT(lostMinute, 340); // the test kills it as soon as it reads CLOCK 300
    EXPECT_GE(backMinute, 310);
    // The forgeries left notes; those after the events section was closed are counted, not
    // written.
    const std::regex refused("<!-- refused: message claiming ALPHA from 127\\.0\\.0\\.1 at clock "
                             "([0-9]+) -->\n");
    long refusals = 0;
    long lateRefusals = 0; // after the stations' own reports of minute 950
    for (auto it = std::sregex_iterator(text.begin(), text.end(), refused);
         it != std::sregex_iterator(); ++it) {
        ++refusals;
        lateRefusals += std::stoi((*it)[1]) > 950 ? 1 : 0;
    }
    EXPECT_LE(refusals, forged) << text;
    EXPECT_GT(refusals, static_cast<long>(kForgeries.size()));
    EXPECT_GT(lateRefusals, 0) << text;
    EXPECT_EQ(text.find("forged order"), std::string::npos);

    // The log: well-formed, the team of the session, the end after the outcome.
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(text.c_str())) << "the log is not well-formed";
    const pugi::xml_node root = doc.child("HalyxSimLog");
    std::string team;
    for (pugi::xml_node member : root.child("TeamMembers").children()) {
        team += member.attribute("Name").value() + std::string(" ");
    }
    EXPECT_EQ(team, "ALPHA BRAVO CHARLIE ");
    // The outcome ends the mission's events.
    const pugi::xml_node outcome = root.child("SimEvents").last_child();
    ASSERT_STREQ(outcome.attribute("Name").value(), "SimulationComplete") << text;
    // ALPHA ran the whole mission: every command it sent before the reset is logged, in order,
    // and nothing forged in its name.
    size_t alphaAt = 0;
    const std::vector<std::string> alphaSent = SentEvents(Lines(home + "ALPHA.out"), alphaAt);
    ASSERT_GT(alphaSent.size(), 20u) << "ALPHA sent too little to test anything";
    EXPECT_EQ(LoggedEvents(root).at("ALPHA"), alphaSent);

    // The decision is the stations' own: the last status each program sent, all three "go" for a
    // launch; an accepted forged "nogo" would turn it. It is said once, each station's part too.
    const std::string alphaStatus = LastStatusSent(Lines(home + "ALPHA.out"));
    const std::string charlieStatus = LastStatusSent(Lines(home + "CHARLIE.out"));
    std::string bravoStatus = LastStatusSent(Lines(home + "BRAVO2.out"));
    if (bravoStatus.empty()) {
        bravoStatus = LastStatusSent(Lines(home + "BRAVO.out"));
    }
    const bool launch = alphaStatus == "go" && bravoStatus == "go" && charlieStatus == "go";
    EXPECT_STREQ(outcome.attribute("LaunchStatus").value(), launch ? "Launch" : "NoLaunch") << text;
    const auto part = [](const std::string& status) { return status == "go" ? "go" : "no-go"; };
    const std::string decision = std::string("\nDECISION Mission complete at minute 960: ") +
                                 (launch ? "Launch" : "No Launch") +
                                 " (ALPHA: " + part(alphaStatus) + ", BRAVO: " + part(bravoStatus) +
                                 ", CHARLIE: " + part(charlieStatus) + ")\n";
    const size_t decided = transcript.find(decision);
    EXPECT_NE(decided, std::string::npos) << transcript;
    // Once in the mission (the replays after the reset say theirs).
    EXPECT_GT(transcript.find("\nDECISION ", decided + 1), transcript.find("\n> reset yes"))
        << transcript;
    EXPECT_NE(transcript.find(std::string("SUMMARY outcome ") + (launch ? "Launch" : "NoLaunch")),
              std::string::npos)
        << transcript;

    // The restarted BRAVO: init_sim and start_sim before any clock. What it sends from then on
    // is logged as any station's command is (ALPHA's above).
    const std::vector<std::string> b2 = Lines(home + "BRAVO2.out");
    const size_t init = FindRecv(b2, 0, "init_sim");
    const size_t start = FindRecv(b2, init, "start_sim");
    const size_t sync = FindRecv(b2, 0, "clock_sync");
    ASSERT_LT(sync, b2.size()) << "the restarted station was not carried on";
    EXPECT_LT(start, sync);
    EXPECT_GE(ReadWireLine(b2[sync]).clock, 310);
}

} // namespace
} // namespace halyx
