// A whole experiment over loopback with real processes: the name server, the headless console
// and three synthetic stations run a mission of 960 minutes at a fast clock; the log must hold
// every command the stations sent, in order, and end properly; playing it back must bring each
// station the recorded commands at their recorded minute.
#include "common/numtext.h"
#include "external/kqml/parser.h"
#include "record/simeventstore.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace halyx {
namespace {

namespace fs = std::filesystem;

const std::string kBin = std::string(HALYX_BINARY_DIR) + "/bin/";
const char* const kStations[] = {"ALPHA", "BRAVO", "CHARLIE"};
constexpr int kTimeoutMs = 400000;

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

struct Message {
    std::string sender;
    std::string command;
    std::string content;
    std::string unitType;
    int clock = -1;
};

std::optional<Message> ReadWire(const std::string& wire) {
    CParser parser;
    if (!parser.parse_message(wire)) {
        return std::nullopt;
    }
    Message m;
    m.sender = parser.find_text("sender");
    m.content = parser.find_text("content");
    CParser content;
    if (!content.parse_message(m.content)) {
        return m;
    }
    m.command = content.find_text("command");
    m.unitType = content.find_text("unitType");
    if (m.command == "clock_sync") {
        m.clock = ReadInt(content.find_text("clock"));
    }
    // The content as it was built, without the list parentheses the wire adds.
    if (m.content.size() >= 2 && m.content.front() == '(' && m.content.back() == ')') {
        m.content = m.content.substr(1, m.content.size() - 2);
    }
    return m;
}

std::vector<std::string> Lines(const QByteArray& bytes) {
    std::vector<std::string> lines;
    std::istringstream in(bytes.toStdString());
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

std::string ReadFile(const std::string& path);

// A program whose output goes to a file, so that a chatty station never blocks on a full pipe
// while the test waits for something else.
class Process {
public:
    Process(const std::string& program, const QStringList& args, std::string outputFile)
        : m_outputFile(std::move(outputFile)) {
        m_process.setProgram(QString::fromStdString(kBin + program));
        m_process.setArguments(args);
        m_process.setStandardOutputFile(QString::fromStdString(m_outputFile));
        m_process.setStandardErrorFile(QString::fromStdString(m_outputFile + ".err"));
        m_process.start();
    }
    ~Process() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    bool Started() { return m_process.waitForStarted(10000); }
    // Waits until a line of the output starts with prefix; answers that line.
    std::string WaitForLine(const std::string& prefix, int timeoutMs) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            for (const std::string& line : Output()) {
                if (line.rfind(prefix, 0) == 0) {
                    return line;
                }
            }
            QThread::msleep(50);
        }
        return {};
    }
    bool WaitFinished(int timeoutMs) { return m_process.waitForFinished(timeoutMs); }
    int ExitCode() const { return m_process.exitCode(); }
    std::vector<std::string> Stop() {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
        return Output();
    }
    std::vector<std::string> Output() const {
        return Lines(QByteArray::fromStdString(ReadFile(m_outputFile)));
    }
    std::string Errors() const { return ReadFile(m_outputFile + ".err"); }

private:
    QProcess m_process;
    std::string m_outputFile;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

class MissionOverLoopback : public ::testing::Test {
protected:
    void SetUp() override {
        int argc = 1;
        static char name[] = "test_e2e_mission";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) {
            m_app = std::make_unique<QCoreApplication>(argc, argv);
        }
        m_home =
            std::string(std::getenv("HALYX_HOME") ? std::getenv("HALYX_HOME") : "/tmp") + "/e2e/";
        fs::remove_all(m_home);
        fs::create_directories(m_home);
    }
    std::unique_ptr<QCoreApplication> m_app;
    std::string m_home;
};

TEST_F(MissionOverLoopback, LogHoldsEveryStationCommandAndPlaysBackOnTheClock) {
    Process ans("halyx-ans", {"--port", "0", "--bind", "127.0.0.1"}, m_home + "ans.out");
    ASSERT_TRUE(ans.Started());
    const std::string listening = ans.WaitForLine("listening on", 20000);
    ASSERT_FALSE(listening.empty()) << ans.Errors();
    const std::string port = listening.substr(listening.rfind(':') + 1);
    const QString ansAddress = QString::fromStdString("127.0.0.1:" + port);

    std::vector<std::unique_ptr<Process>> stations;
    int seed = 11;
    for (const char* name : kStations) {
        stations.push_back(std::make_unique<Process>(
            "halyx-station",
            QStringList{"--name", name, "--ans", ansAddress, "--behaviour", "active", "--seed",
                        QString::number(seed++)},
            m_home + name + ".out"));
        ASSERT_TRUE(stations.back()->Started());
    }
    for (auto& station : stations) {
        ASSERT_FALSE(station->WaitForLine("READY", 30000).empty());
    }

    const std::string log = m_home + "logs/E2E.xml";
    const std::string script = m_home + "mission.txt";
    std::ofstream(script) << "register\n"
                             "wait agents 3 timeout=60\n"
                             "add ALPHA BRAVO CHARLIE\n"
                          << "init name=E2E folder=" << m_home
                          << "logs notes=\"end to end\"\n"
                             "wait initialized timeout=60\n"
                             "start\n"
                             "wait end timeout=300\n"
                             "wait quiet 1500 timeout=60\n"
                             "reset yes\n"
                             "playback on\n"
                             "load-experiment "
                          << log
                          << "\n"
                             "init-playback\n"
                             "wait initialized timeout=60\n"
                             "play\n"
                             "wait end timeout=300\n"
                             "wait quiet 1500 timeout=60\n"
                             "stop\n"
                             "quit\n";
    Process console("halyx-command",
                    {"--headless", QString::fromStdString(script), "--ans", ansAddress, "--tick-ms",
                     "10", "--no-embedded-ans"},
                    m_home + "console.out");
    ASSERT_TRUE(console.Started());
    ASSERT_TRUE(console.WaitFinished(kTimeoutMs));
    const std::vector<std::string> consoleOut = console.Output();
    std::string transcript;
    for (const std::string& line : consoleOut) {
        transcript += line + "\n";
    }
    ASSERT_EQ(console.ExitCode(), 0) << transcript << console.Errors();
    EXPECT_EQ(transcript.find("ERROR"), std::string::npos) << transcript;
    EXPECT_NE(transcript.find("LOADED " + log), std::string::npos) << transcript;

    // The log: well-formed, five sections, the team in order, the end written once.
    const std::string text = ReadFile(log);
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(text.c_str())) << "log is not well-formed";
    pugi::xml_node root = doc.child("HalyxSimLog");
    ASSERT_TRUE(root);
    for (const char* section : {"LogHeader", "Notes", "Scenario", "SimEvents", "TeamMembers"}) {
        EXPECT_TRUE(root.child(section)) << section;
    }
    EXPECT_EQ(text.substr(text.size() - 14), "</HalyxSimLog>");
    std::vector<std::string> team;
    for (pugi::xml_node member : root.child("TeamMembers").children("TeamMember")) {
        team.push_back(member.attribute("Name").value());
    }
    EXPECT_EQ(team, (std::vector<std::string>{"ALPHA", "BRAVO", "CHARLIE"}));
    pugi::xml_node last = root.child("SimEvents").last_child();
    EXPECT_STREQ(last.attribute("Name").value(), "SimulationComplete");

    // What the log holds from each station, in file order.
    std::map<std::string, std::vector<std::string>> logged;
    for (pugi::xml_node event : root.child("SimEvents").children("Event")) {
        std::string from = event.attribute("From").value();
        if (from.empty()) {
            from = event.attribute("Sender").value();
        }
        if (!from.empty()) {
            logged[from].push_back(event.attribute("Name").value());
        }
    }
    for (pugi::xml_node stats : root.children("MissionStats")) {
        logged[stats.attribute("TeamMember").value()].push_back("MissionStats");
    }

    std::vector<std::vector<std::string>> outputs;
    for (auto& station : stations) {
        outputs.push_back(station->Stop());
    }
    ans.Stop();

    for (size_t s = 0; s < std::size(kStations); ++s) {
        const std::string name = kStations[s];
        const std::vector<std::string>& lines = outputs[s];
        // The recorded run: everything the station sent before it was told to reset.
        std::vector<std::string> sent;
        size_t i = 0;
        for (; i < lines.size(); ++i) {
            const std::string& line = lines[i];
            if (line.rfind("RECV ", 0) == 0) {
                auto m = ReadWire(line.substr(5));
                if (m && m->command == "reset_sim") {
                    break;
                }
            } else if (line.rfind("SEND ", 0) == 0) {
                auto m = ReadWire(line.substr(5));
                ASSERT_TRUE(m) << line;
                auto event = kEventOf.find(m->command);
                if (event == kEventOf.end()) {
                    continue;
                }
                // Unit displays of kinds the log does not know leave nothing.
                if (m->command == "log_unit_display" && m->unitType != "Radar" &&
                    m->unitType != "Interceptor" && m->unitType != "Incursion") {
                    continue;
                }
                sent.push_back(event->second);
            }
        }
        ASSERT_GT(sent.size(), 20u) << name << " sent too little to test anything";
        EXPECT_EQ(logged[name], sent) << name;

        // The playback: the recorded commands arrive at their recorded minute, in the
        // recorded station's name.
        CSimEventStore store;
        store.LoadEvents(root.child("SimEvents"));
        std::vector<std::string> expected;
        for (size_t e = 0; e < store.Count(); ++e) {
            const CSimEvent& event = store.At(e);
            if (!event.receiver.empty() && event.receiver != name) {
                continue;
            }
            std::string from = event.receiver.empty() ? event.sender : "Lab-HalyxCommand";
            expected.push_back(std::to_string(event.clockTime) + " " + from + " " + event.content);
        }
        std::vector<std::string> received;
        int clock = -1;
        bool playing = false;
        for (; i < lines.size(); ++i) {
            if (lines[i].rfind("RECV ", 0) != 0) {
                continue;
            }
            auto m = ReadWire(lines[i].substr(5));
            if (!m) {
                continue;
            }
            if (m->command == "init_playback") {
                playing = true;
            } else if (m->command == "clock_sync") {
                clock = m->clock;
            } else if (m->command == "stop_playback") {
                break;
            } else if (playing && m->command != "start_sim" && m->command != "mission_complete" &&
                       m->command != "weather_data") {
                received.push_back(std::to_string(clock) + " " + m->sender + " " + m->content);
            }
        }
        ASSERT_FALSE(expected.empty()) << name;
        EXPECT_EQ(received, expected) << name;
    }
}

} // namespace
} // namespace halyx
