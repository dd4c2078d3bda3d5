#pragma once

// The live observer page of this console: served by the console's HTTP server (see
// mapserver/mapserver.h), fed the mission state as the agent logs and the clock moves.
//
//   auto feed = OpenObserver(mapServer, follower, options, bind, error);
//   if (!feed) fail(error);          // else it printed OBSERVER http://HOST:PORT/live?key=KEY

#include <QTimer>

#include <cstdint>
#include <future>
#include <memory>
#include <string>

namespace halyx {

class CMapServer;
class CMissionFollower;

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

// The map under the observer's picture: a PNG and, as a JSON member, its size and bounds.
struct ObserverMapPicture {
    std::string png;
    std::string json;
};
// The feed and the page together, or nothing with error set.
std::unique_ptr<CObserverFeed> OpenObserver(CMapServer& server, CMissionFollower& follower,
                                            ObserverOptions options, const std::string& bind,
                                            std::string& error);

// The host an observer on another machine reaches this one by: the bound address, else the
// first address of a network interface that is up and not the loopback, else 127.0.0.1.
std::string ObserverHost(const std::string& bind);

// Hands the server the mission state the follower holds, at most once per kPublishMs and only
// after a change: built on the clock's thread as a JSON text, sent from the server's. The
// state is bounded whatever the stations send (see mission/missionstate.h), and a stream that
// has the state before gets only what changed: the members whose text changed, and of the marks
// how many old ones dropped out of the trail and which are new.
class CObserverFeed {
public:
    static constexpr int kPublishMs = 200;
    // Map pictures larger than this many pixels are scaled down before they are served.
    static constexpr long long kMaxMapPixels = 4'000'000;

    CObserverFeed(CMapServer& server, CMissionFollower& follower, ObserverOptions options);
    CObserverFeed(const CObserverFeed&) = delete;
    CObserverFeed& operator=(const CObserverFeed&) = delete;

    // The text the observers get now.
    std::string Json();

private:
    void Publish();
    // Draws the scenario's map into a PNG for the server when it changed (read in the background
    // when the console has not loaded it).
    void UpdateMap();
    void TakeMap(ObserverMapPicture picture);

    CMapServer& m_server;
    CMissionFollower& m_follower;
    ObserverOptions m_options;
    QTimer m_timer;
    std::uint64_t m_published = 0;
    std::string m_last;              // the state published last
    std::uint64_t m_mapRevision = 0; // of the scenario's map drawn last
    std::string m_mapAddress;        // of the map read last
    std::future<ObserverMapPicture> m_mapReading;
    int m_mapChanges = 0;  // goes up with every picture handed to the server
    std::string m_mapJson; // the map's place on the page: "" without a map
};

} // namespace halyx
