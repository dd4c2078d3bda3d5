#pragma once
// What the end-to-end tests share: starting the built programs with their output in files,
// reading those files, and reading the stations' RECV and SEND lines against the log.
#include "common/numtext.h"
#include "external/kqml/parser.h"
#include "testapp.h"
#include "testhome.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace halyx::e2e {

using test::FreshFolder;
using test::ReadFile;
using test::TestApp;

inline std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(ReadFile(path));
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

inline std::string Program(const std::string& name) {
    return std::string(HALYX_BINARY_DIR) + "/bin/" + name;
}

// Output goes to a file (stderr to output + ".err"), so that a chatty program never blocks on a
// full pipe. inChild, when given, runs in the child before the program starts (a limit of its own).
inline std::unique_ptr<QProcess> StartToFile(const std::string& program, const QStringList& args,
                                             const std::string& output,
                                             const std::optional<QProcessEnvironment>& env = {},
                                             const std::function<void()>& inChild = {}) {
    auto process = std::make_unique<QProcess>();
    process->setStandardOutputFile(QString::fromStdString(output));
    process->setStandardErrorFile(QString::fromStdString(output + ".err"));
    if (env) {
        process->setProcessEnvironment(*env);
    }
    if (inChild) {
        process->setChildProcessModifier(inChild);
    }
    process->start(QString::fromStdString(Program(program)), args);
    EXPECT_TRUE(process->waitForStarted(10000)) << program;
    return process;
}

// The first line of the file that starts with prefix; "" when none came within the time.
inline std::string WaitForLine(const std::string& path, const std::string& prefix, int ms = 60000) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        for (const std::string& line : Lines(path)) {
            if (line.rfind(prefix, 0) == 0) {
                return line;
            }
        }
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    return {};
}

// A name server at a free port of 127.0.0.1, its output in home + "ans.out"; address is where it
// listens (from its "listening on" line), "" when it did not say.
inline std::unique_ptr<QProcess> StartAns(const std::string& home, QString& address) {
    auto ans = StartToFile("halyx-ans", {"--port", "0", "--bind", "127.0.0.1"}, home + "ans.out");
    const std::string listening = WaitForLine(home + "ans.out", "listening on");
    address = listening.empty()
                  ? QString()
                  : QString::fromStdString("127.0.0.1" + listening.substr(listening.rfind(':')));
    return ans;
}

// Asks each program to end and waits for it.
inline void Stop(const std::vector<QProcess*>& processes) {
    for (QProcess* process : processes) {
        process->terminate();
        process->waitForFinished(5000);
    }
}

// A test that starts programs in a fresh folder named after it; what still runs at its end is
// killed.
class ProgramsTest : public ::testing::Test {
protected:
    void SetUp() override {
        home = FreshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }

    void TearDown() override {
        for (auto& process : processes) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(5000);
            }
        }
    }

    QProcess* Start(const std::string& program, const QStringList& args, const std::string& output,
                    const std::optional<QProcessEnvironment>& env = {}) {
        processes.push_back(StartToFile(program, args, output, env));
        return processes.back().get();
    }

    // Commands typed into a console started with --headless -.
    static void Send(QProcess* console, const std::string& commands) {
        console->write(commands.data(), static_cast<qint64>(commands.size()));
        console->waitForBytesWritten(5000);
    }

    std::string home;
    std::vector<std::unique_ptr<QProcess>> processes;
};

// The event (or report) each station command leaves in the log.
inline const std::map<std::string, std::string> kEventOf = {
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

// One message of a station's RECV or SEND line: its sender, command and content (without the
// list parentheses the wire adds).
inline Wire ReadWire(const std::string& text) {
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

// The message of a whole output line ("RECV ..." or "SEND ...").
inline Wire ReadWireLine(const std::string& line) {
    return ReadWire(line.size() > 5 ? line.substr(5) : "");
}

inline bool IsRecv(const std::string& line) {
    return line.rfind("RECV ", 0) == 0;
}
inline bool IsSend(const std::string& line) {
    return line.rfind("SEND ", 0) == 0;
}

// The events a station's commands leave in the log, in order, from its output lines starting at
// `at` up to the reset; `at` is left at the reset's line (or the end).
inline std::vector<std::string> SentEvents(const std::vector<std::string>& lines, size_t& at) {
    std::vector<std::string> sent;
    for (; at < lines.size(); ++at) {
        const Wire w = ReadWireLine(lines[at]);
        if (IsRecv(lines[at]) && w.command == "reset_sim") {
            break;
        }
        auto event = kEventOf.find(w.command);
        // Unit displays of kinds the log does not know leave nothing.
        const bool knownUnit = w.command != "log_unit_display" || w.unitType == "Radar" ||
                               w.unitType == "Interceptor" || w.unitType == "Incursion";
        if (IsSend(lines[at]) && event != kEventOf.end() && knownUnit) {
            sent.push_back(event->second);
        }
    }
    return sent;
}

// What the log holds from each station, in file order.
inline std::map<std::string, std::vector<std::string>> LoggedEvents(const pugi::xml_node& root) {
    std::map<std::string, std::vector<std::string>> logged;
    for (pugi::xml_node event : root.child("SimEvents").children("Event")) {
        std::string from = event.attribute("From").value();
        logged[from.empty() ? event.attribute("Sender").value() : from].push_back(
            event.attribute("Name").value());
    }
    for (pugi::xml_node stats : root.children("MissionStats")) {
        logged[stats.attribute("TeamMember").value()].push_back("MissionStats");
    }
    return logged;
}

} // namespace halyx::e2e
