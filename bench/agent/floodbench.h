#pragma once
// What the flood benchmarks share: the command agent on loopback with a name server of its own,
// counting the station messages it handles, and synthetic stations that flood it.
#include "agent/halyxcommand.h"
#include "external/agentkit/ansclient.h"
#include "external/agentkit/communicator.h"
#include "external/agentkit/net/nameserver.h"
#include "external/agentkit/net/netcontainer.h"
#include "record/experimentlog.h"
#include "scenario/scenario.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QProcess>
#include <QTimer>

#include <functional>

#include <string>
#include <vector>

namespace halyx::bench {

// Counts the messages as they arrive, to time the flood from its first to its last message.
class CountingAgent : public CHalyxCommand {
public:
    using CHalyxCommand::CHalyxCommand;
    bool process_message_text(const std::string& text) override {
        if (m_received == 0) {
            m_timer.start();
        }
        ++m_received;
        bool result = CHalyxCommand::process_message_text(text);
        m_elapsedNs = m_timer.nsecsElapsed();
        return result;
    }
    long long m_received = 0;
    qint64 m_elapsedNs = 0;
    QElapsedTimer m_timer;
};

// Starts the name server on a free loopback port; its address, or "" with the benchmark
// skipped when it cannot listen.
inline std::string ListenOnLoopback(benchmark::State& state, CNameServer& server) {
    std::string error;
    if (!server.listen(QHostAddress::LocalHost, 0, error)) {
        state.SkipWithError(error.c_str());
        return {};
    }
    return "127.0.0.1:" + std::to_string(server.port());
}

// Starts the agent's container with the name server at ans (and the extra options), named
// HalyxCommand and registered; false, with the benchmark skipped, when it did not start.
inline bool JoinAsHalyxCommand(benchmark::State& state, CNetContainer& container,
                               const std::string& ans, const std::vector<std::string>& extra,
                               int startClock) {
    std::vector<std::string> args = {"bench", "--ans=" + ans};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    if (container.CreateContainer(static_cast<int>(args.size()), argv.data(), startClock) == 0) {
        state.SkipWithError("the agent did not start");
        return false;
    }
    container.get_communicator()->set_name("HalyxCommand");
    container.get_communicator()->retrieve_ans_object()->enable(1);
    return true;
}

// A synthetic station that sends count commands to HalyxCommand as fast as it can; its own
// output is dropped.
inline void StartFlood(QProcess& station, const std::string& name, const std::string& ans,
                       int count) {
    station.setProgram(
        QString::fromStdString(std::string(HALYX_BINARY_DIR) + "/bin/halyx-station"));
    station.setArguments({"--name", QString::fromStdString(name), "--ans",
                          QString::fromStdString(ans), "--flood", QString::number(count), "--to",
                          "HalyxCommand", "--no-echo"});
    station.setStandardOutputFile(QProcess::nullDevice());
    station.start();
}

// Runs the event loop until done() holds (asked every 5 ms) or timeoutMs have passed.
inline void RunUntil(const std::function<bool()>& done, int timeoutMs) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start(5);
    loop.exec();
}

// One run's command agent (a CountingAgent or a kind of it) with its own log and name server,
// its debug output dropped.
template <class Agent> struct FloodRig {
    explicit FloodRig(const CScenario& scenario)
        : agent(AgentScenario::Of(scenario), log), container(agent) {
        agent.set_debug_sink([](const std::string&) {});
    }
    // The name server listening, the agent registered with it with the team, and the log open
    // as folder + logName + ".xml"; false, with the benchmark skipped, when the name server or
    // the agent did not start.
    bool Start(benchmark::State& state, const std::vector<std::string>& team,
               const std::string& folder, const std::string& logName,
               const std::vector<std::string>& extra = {}, int startClock = 0) {
        ans = ListenOnLoopback(state, server);
        if (ans.empty() || !JoinAsHalyxCommand(state, container, ans, extra, startClock)) {
            return false;
        }
        for (const std::string& member : team) {
            agent.AddTeamMember(member);
        }
        log.Open(folder, logName, "", "<Scenario>\n</Scenario>\n");
        return true;
    }

    // Ends the flooding stations and times the iteration from the first message to the last;
    // false, with the benchmark skipped, when fewer than expected messages arrived.
    bool EndFlood(benchmark::State& state, const std::vector<QProcess*>& stations,
                  long long expected) {
        for (QProcess* station : stations) {
            station->kill();
            station->waitForFinished(5000);
        }
        if (agent.m_received < expected) {
            state.SkipWithError("the flood did not arrive in time");
            return false;
        }
        state.SetIterationTime(static_cast<double>(agent.m_elapsedNs) / 1e9);
        return true;
    }

    CNameServer server;
    std::string ans;
    CExperimentLog log;
    Agent agent;
    CNetContainer container;
};

} // namespace halyx::bench
