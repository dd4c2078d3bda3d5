// A whole experiment over loopback with real processes: the name server, the headless console
// and three synthetic stations run a mission of 960 minutes at a fast clock; the log must hold
// every command the stations sent, in order, and end properly; playing it back must bring each
// station the recorded commands at their recorded minute, in the recorded station's name.
#include "e2eutil.h"
#include "record/simeventstore.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <QCoreApplication>
#include <QProcess>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

namespace halyx {
namespace {

using namespace e2e;

const char* const kStations[] = {"ALPHA", "BRAVO", "CHARLIE"};

TEST(MissionOverLoopback, LogHoldsEveryStationCommandAndPlaysBackOnTheClock) {
    int argc = 1;
    char name[] = "test_e2e_mission";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    const std::string home = std::string(std::getenv("HALYX_HOME")) + "/e2e/";
    std::filesystem::remove_all(home);
    std::filesystem::create_directories(home);

    auto ans = StartToFile("halyx-ans", {"--port", "0", "--bind", "127.0.0.1"}, home + "ans.out");
    const QString address = NameServerAddress(home + "ans.out");
    ASSERT_FALSE(address.isEmpty());
    std::vector<std::unique_ptr<QProcess>> stations;
    for (int s = 0; s < 3; ++s) {
        stations.push_back(StartToFile("halyx-station",
                                       {"--name", kStations[s], "--ans", address, "--behaviour",
                                        "active", "--seed", QString::number(11 + s)},
                                       home + kStations[s] + ".out"));
        ASSERT_FALSE(WaitForLine(home + kStations[s] + ".out", "READY").empty());
    }

    const std::string log = home + "logs/E2E.xml";
    std::ofstream(home + "mission.txt")
        << "register\nwait agents 3 timeout=60\nadd ALPHA BRAVO CHARLIE\n"
        << "init name=E2E folder=" << home << "logs notes=\"end to end\"\n"
        << "wait initialized timeout=60\nstart\nwait end timeout=300\n"
        << "wait quiet 1500 timeout=60\nreset yes\nplayback on\nload-experiment " << log << "\n"
        << "init-playback\nwait initialized timeout=60\nplay\nwait end timeout=300\n"
        << "wait quiet 1500 timeout=60\nstop\nquit\n";
    auto console = StartToFile("halyx-command",
                               {"--headless", QString::fromStdString(home + "mission.txt"), "--ans",
                                address, "--tick-ms", "10", "--no-embedded-ans"},
                               home + "console.out");
    ASSERT_TRUE(console->waitForFinished(500000));
    const std::string transcript = ReadFile(home + "console.out");
    ASSERT_EQ(console->exitCode(), 0) << transcript << ReadFile(home + "console.out.err");
    EXPECT_NE(transcript.find("LOADED " + log), std::string::npos) << transcript;
    for (auto& process : stations) {
        process->terminate();
        process->waitForFinished(5000);
    }

    // The log: well-formed, the five sections, the team in order, the end after the outcome.
    const std::string text = ReadFile(log);
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(text.c_str())) << "the log is not well-formed";
    pugi::xml_node root = doc.child("HalyxSimLog");
    for (const char* section : {"LogHeader", "Notes", "Scenario", "SimEvents", "TeamMembers"}) {
        EXPECT_TRUE(root.child(section)) << section;
    }
    EXPECT_EQ(text.substr(text.size() - 14), "</HalyxSimLog>");
    std::string team;
    for (pugi::xml_node member : root.child("TeamMembers").children()) {
        team += member.attribute("Name").value() + std::string(" ");
    }
    EXPECT_EQ(team, "ALPHA BRAVO CHARLIE ");
    EXPECT_STREQ(root.child("SimEvents").last_child().attribute("Name").value(),
                 "SimulationComplete");

    // What the log holds from each station, in file order.
    auto logged = LoggedEvents(root);
    CSimEventStore store;
    store.LoadEvents(root.child("SimEvents"));

    for (const char* station : kStations) {
        const std::vector<std::string> lines = Lines(home + station + ".out");
        // The recorded run: what the station sent before it was told to reset.
        size_t i = 0;
        const std::vector<std::string> sent = SentEvents(lines, i);
        ASSERT_GT(sent.size(), 20u) << station << " sent too little to test anything";
        EXPECT_EQ(logged[station], sent) << station;

        // The playback: "minute sender content" of each recorded command meant for the station.
        std::vector<std::string> expected;
        for (size_t e = 0; e < store.Count(); ++e) {
            const CSimEvent& event = store.At(e);
            if (event.receiver.empty() || event.receiver == station) {
                expected.push_back(std::to_string(event.clockTime) + " " +
                                   (event.sender.empty() ? "Lab-HalyxCommand" : event.sender) +
                                   " " + event.content);
            }
        }
        std::vector<std::string> received;
        int clock = -1;
        bool playing = false;
        for (; i < lines.size() && lines[i].find(":command stop_playback") == std::string::npos;
             ++i) {
            const Wire w = ReadWireLine(lines[i]);
            if (!IsRecv(lines[i])) {
                continue;
            }
            playing = playing || w.command == "init_playback";
            if (w.command == "clock_sync") {
                clock = w.clock;
            } else if (playing && w.command != "init_playback" && w.command != "start_sim" &&
                       w.command != "mission_complete" && w.command != "weather_data") {
                received.push_back(std::to_string(clock) + " " + w.sender + " " + w.content);
            }
        }
        ASSERT_FALSE(expected.empty()) << station;
        EXPECT_EQ(received, expected) << station;
    }
    ans->terminate();
    ans->waitForFinished(5000);
}

} // namespace
} // namespace halyx
