// A whole experiment over loopback with real processes: the name server, the headless console
// and three synthetic stations run a mission of 960 minutes at a fast clock; the log must hold
// every command the stations sent, in order, and end properly; playing it back must bring each
// station the recorded commands at their recorded minute, in the recorded station's name.
#include "common/numtext.h"
#include "external/kqml/parser.h"
#include "record/simeventstore.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <QCoreApplication>
#include <QProcess>
#include <QThread>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

namespace halyx {
namespace {

const char* const kStations[] = {"ALPHA", "BRAVO", "CHARLIE"};

// The event (or report) each station command leaves in the log.
const std::map<std::string, std::string> kEventOf = {
    {"init_sim", "InitSimConf"},
    {"inc_enter_radar", "IncEnterRadar"},
    {"inc_exit_radar", "IncExitRadar"},
    {"get_weather", "WeatherQuery"},
    {"subject_communication", "ChatMsg"},
    {"update_inc_heading", "UpdateInc"},
    {"update_go_nogo_status", "LaunchStatusChange"},
    {"activate", "ResourceActivate"},
    {"deactivate", "ResourceDeActivate"},
    {"deploy", "DeployResource"},
    {"intercept", "InterceptInc"},
    {"abort", "Abort"},
    {"deploy_balloon", "DeployBalloon"},
    {"request", "ResourceRequest"},
    {"log_unit_display", "UnitDisplay"},
    {"mission_stats", "MissionStats"},
};

struct Wire {
    std::string sender, command, content, unitType;
    int clock = -1;
};

// One RECV or SEND line of a station: its sender, command and content (without the list
// parentheses the wire adds).
Wire ReadWire(const std::string& text) {
    Wire w;
    CParser message;
    CParser content;
    if (message.parse_message(text) && content.parse_message(message.find_text("content"))) {
        w.sender = message.find_text("sender");
        w.content = message.find_text("content");
        w.content = w.content.substr(1, w.content.size() - 2);
        w.command = content.find_text("command");
        w.unitType = content.find_text("unitType");
        w.clock = ReadInt(content.find_text("clock"));
    }
    return w;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(ReadFile(path));
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Output goes to a file, so that a chatty station never blocks on a full pipe.
std::unique_ptr<QProcess> Start(const std::string& program, const QStringList& args,
                                const std::string& output) {
    auto process = std::make_unique<QProcess>();
    process->setStandardOutputFile(QString::fromStdString(output));
    process->setStandardErrorFile(QString::fromStdString(output + ".err"));
    process->start(QString::fromStdString(std::string(HALYX_BINARY_DIR) + "/bin/" + program), args);
    EXPECT_TRUE(process->waitForStarted(10000)) << program;
    return process;
}

std::string WaitForLine(const std::string& path, const std::string& prefix) {
    for (int i = 0; i < 600; ++i) {
        for (const std::string& line : Lines(path)) {
            if (line.rfind(prefix, 0) == 0) {
                return line;
            }
        }
        QThread::msleep(50);
    }
    return {};
}

TEST(MissionOverLoopback, LogHoldsEveryStationCommandAndPlaysBackOnTheClock) {
    int argc = 1;
    char name[] = "test_e2e_mission";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    const std::string home = std::string(std::getenv("HALYX_HOME")) + "/e2e/";
    std::filesystem::remove_all(home);
    std::filesystem::create_directories(home);

    auto ans = Start("halyx-ans", {"--port", "0", "--bind", "127.0.0.1"}, home + "ans.out");
    const std::string listening = WaitForLine(home + "ans.out", "listening on");
    ASSERT_FALSE(listening.empty());
    const QString address =
        QString::fromStdString("127.0.0.1" + listening.substr(listening.rfind(':')));
    std::vector<std::unique_ptr<QProcess>> stations;
    for (int s = 0; s < 3; ++s) {
        stations.push_back(Start("halyx-station",
                                 {"--name", kStations[s], "--ans", address, "--behaviour", "active",
                                  "--seed", QString::number(11 + s)},
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
    auto console = Start("halyx-command",
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
    std::map<std::string, std::vector<std::string>> logged;
    for (pugi::xml_node event : root.child("SimEvents").children("Event")) {
        std::string from = event.attribute("From").value();
        logged[from.empty() ? event.attribute("Sender").value() : from].push_back(
            event.attribute("Name").value());
    }
    for (pugi::xml_node stats : root.children("MissionStats")) {
        logged[stats.attribute("TeamMember").value()].push_back("MissionStats");
    }
    CSimEventStore store;
    store.LoadEvents(root.child("SimEvents"));

    for (const char* station : kStations) {
        const std::vector<std::string> lines = Lines(home + station + ".out");
        // The recorded run: what the station sent before it was told to reset.
        std::vector<std::string> sent;
        size_t i = 0;
        for (; i < lines.size(); ++i) {
            const Wire w = ReadWire(lines[i].size() > 5 ? lines[i].substr(5) : "");
            if (lines[i].rfind("RECV ", 0) == 0 && w.command == "reset_sim") {
                break;
            }
            auto event = kEventOf.find(w.command);
            // Unit displays of kinds the log does not know leave nothing.
            const bool knownUnit = w.command != "log_unit_display" || w.unitType == "Radar" ||
                                   w.unitType == "Interceptor" || w.unitType == "Incursion";
            if (lines[i].rfind("SEND ", 0) == 0 && event != kEventOf.end() && knownUnit) {
                sent.push_back(event->second);
            }
        }
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
            const Wire w = ReadWire(lines[i].size() > 5 ? lines[i].substr(5) : "");
            if (lines[i].rfind("RECV ", 0) != 0) {
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
