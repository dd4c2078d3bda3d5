#pragma once

// The live observer page of this console: served by the console's HTTP server (see
// mapserver/mapserver.h), fed the mission state as the agent logs and the clock moves.
//
//   auto feed = OpenObserver(mapServer, scenario, agent, log, options, bind, error);
//   if (!feed) fail(error);          // else it printed OBSERVER http://HOST:PORT/live?key=KEY

#include <QTimer>

#include <memory>
#include <string>
#include <string_view>

namespace halyx {

class CExperimentLog;
class CHalyxCommand;
class CMapServer;
class CScenario;

struct ObserverOptions {
    bool enabled = false;
    // The subjects' chat goes to the page; without it the server never has it to send.
    bool chat = true;
};

// The options kept by the desktop between runs (Observer/Enabled, Observer/Chat in its
// settings); the command line's flags win over them.
ObserverOptions StoredObserverOptions();

// Gives the server a fresh key and the page, listening on bind (every interface when empty) at
// any free port when it does not listen yet, and prints "OBSERVER http://HOST:PORT/live?key=KEY".
// False with error when there are no random bytes for a key or no port to listen on.
bool StartObserver(CMapServer& server, const std::string& bind, std::string& error);

class CObserverFeed;
// The feed and the page together, or nothing with error set.
std::unique_ptr<CObserverFeed> OpenObserver(CMapServer& server, const CScenario& scenario,
                                            const CHalyxCommand& agent, CExperimentLog& log,
                                            ObserverOptions options, const std::string& bind,
                                            std::string& error);

// The host an observer on another machine reaches this one by: the bound address, else the
// first address of a network interface that is up and not the loopback, else 127.0.0.1.
std::string ObserverHost(const std::string& bind);

// Hands the server the mission state: after each logged event and each minute, at most once
// per kPublishMs, built and written on the clock's thread but sent from the server's.
class CObserverFeed {
public:
    static constexpr int kPublishMs = 200;

    CObserverFeed(CMapServer& server, const CScenario& scenario, const CHalyxCommand& agent,
                  CExperimentLog& log, ObserverOptions options);
    ~CObserverFeed();
    CObserverFeed(const CObserverFeed&) = delete;
    CObserverFeed& operator=(const CObserverFeed&) = delete;

    // One line the experiment log wrote.
    void OnLogLine(std::string_view line);

private:
    struct Model;
    void Publish();

    CMapServer& m_server;
    const CHalyxCommand& m_agent;
    ObserverOptions m_options;
    std::unique_ptr<Model> m_model;
    QTimer m_timer;
    bool m_dirty = true;
    int m_publishedMinute = -1;
};

} // namespace halyx
