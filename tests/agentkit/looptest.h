#pragma once

// Helpers of the loopback tests: waiting on the event loop for a condition (never a fixed sleep),
// and an agent that records what reaches it.

#include "external/agentkit/basicagent.h"
#include "external/agentkit/net/netcontainer.h"
#include "testapp.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace halyx::looptest {

// Runs the event loop until done() or the time-out (generous: the machine may be loaded).
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 30000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

class CRecordingAgent : public CBasicAgent {
public:
    explicit CRecordingAgent(std::string name) : CBasicAgent(std::move(name)) {
        set_debug_sink([this](const std::string& line) { debugLines.push_back(line); });
    }
    bool process_message_from(const std::string& text, const std::string& peer) override {
        received.push_back(text);
        peers.push_back(peer);
        return true;
    }
    bool HasDebug(const std::string& part) const {
        for (const std::string& line : debugLines) {
            if (line.find(part) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    std::vector<std::string> received;
    std::vector<std::string> peers; // the address each message came from
    std::vector<std::string> debugLines;
};

// An agent started in a container, listening on a free loopback port.
struct CRunningAgent {
    std::unique_ptr<CRecordingAgent> agent;
    std::unique_ptr<CNetContainer> container;

    CRunningAgent(const std::string& name, int ansPort, std::vector<std::string> extra = {}) {
        agent = std::make_unique<CRecordingAgent>(name);
        container = std::make_unique<CNetContainer>(*agent);
        const std::string ans = "127.0.0.1:" + std::to_string(ansPort);
        std::vector<std::string> args = {"looptest", "--bind", "127.0.0.1",         "--ans", ans,
                                         "--port",   "0",      "--send-timeout-ms", "20000"};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        ok = container->CreateContainer(static_cast<int>(argv.size()), argv.data(), 0) == 1;
    }
    CCommunicator& comm() { return *container->get_communicator(); }
    bool Register() { return comm().retrieve_ans_object()->enable(1); }
    bool Send(const std::string& receiver, const std::string& content) {
        return comm().comm_sendmessage("tell", receiver, "default-language", "default-ontology", "",
                                       "", "", content);
    }

    bool ok = false;
};

} // namespace halyx::looptest
