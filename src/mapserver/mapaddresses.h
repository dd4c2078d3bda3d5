#pragma once

// The map addresses the stations are sent. A file address only works on the console's own
// machine; when the console serves its maps (or another server holds them), the stations get
// an http address instead. The scenario itself keeps the addresses it was given.
//
//   CMapServer server;
//   CMapAddresses addresses(server);
//   addresses.Serve(DefaultMapFolder(), "", agentPort, error);     // or UseServer(url)
//   agent.SetMapAddressResolver([&](const std::string& a) { return addresses.Resolve(a, host); });

#include <functional>
#include <string>
#include <string_view>

namespace halyx {

class CMapServer;

// True for an http:// or https:// address with a host.
bool IsMapServerUrl(std::string_view url);

class CMapAddresses {
public:
    explicit CMapAddresses(CMapServer& server) : m_server(server) {}

    // The console serves the maps: every map file of folder now, and any other local map file
    // the scenario names when it is first sent. Listens on bind (empty: every interface) at
    // agentPort + 1, or at any free port when that one is taken.
    bool Serve(const std::string& folder, const std::string& bind, int agentPort,
               std::string& error);
    // Another server holds the maps: a file address becomes url + "/" + the file's name.
    void UseServer(std::string url);
    // Whether addresses are changed at all (else every address is sent as it is).
    bool Active() const { return m_serving || !m_base.empty(); }

    // What a station is sent for address. Web addresses stay as they are, and so does a file
    // that cannot be served (missing, unreadable, a name no server could carry). host() gives
    // the host the console is known by at the name server ("" when unknown: then the bound
    // address, else 127.0.0.1).
    std::string Resolve(const std::string& address, const std::function<std::string()>& host);

private:
    CMapServer& m_server;
    std::string m_base;
    std::string m_bind;
    bool m_serving = false;
};

} // namespace halyx
