#pragma once

// The load tool: a station that answers init_sim and init_playback, follows clock_sync, reports
// mission_stats after mission_complete, and in the active behaviour sends station commands at
// clock counts drawn from its seed, with random values (the seats of seatagent.h play the
// mission instead). Every
// message received and sent is printed as one line (see main.cpp).

#include "external/agentkit/basicagent.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace halyx {

enum class StationBehaviour { Quiet, Active };

class CStationAgent : public CBasicAgent {
public:
    using LineSink = std::function<void(const std::string& line)>;

    CStationAgent(std::string name, StationBehaviour behaviour, std::uint64_t seed, LineSink out);

    bool process_message_text(const std::string& text) override;

    // Sends count station commands to receiver at once, as fast as the communicator takes them.
    void Flood(const std::string& receiver, int count);
    // Floods the console with count commands as soon as it is known (its init_sim).
    void set_pending_flood(int count) { m_pendingFlood = count; }
    // Sends one station command (in the order of the command table) for clock count clock.
    bool SendCommand(const std::string& receiver, int index, int clock);

    const std::string& console() const { return m_console; }
    // Whether the map address of init_sim is fetched (and a MAP line printed).
    void set_fetch_maps(bool on) { m_fetchMaps = on; }
    static int CommandCount();

private:
    void Send(const std::string& receiver, const std::string& performative,
              const std::string& content);
    void ReadScenario(const std::string& scenario);
    // What went wrong fetching the map ("" when it came, or when maps are not fetched).
    std::string FetchMap(const std::string& address);
    // The answer to init_sim or init_playback, with :mapError when the map did not come.
    std::string Confirmation(const char* command) const;
    void ReadTeam(const std::string& team);
    void OnClock(int clock);
    std::string MissionStats() const;
    void FloodIfPending();
    std::uint64_t Draw(std::uint64_t clock, std::uint64_t salt) const;
    std::string Pick(const std::vector<std::string>& ids, std::uint64_t draw,
                     const char* fallback) const;

    StationBehaviour m_behaviour;
    std::uint64_t m_seed;
    LineSink m_out;
    std::string m_console;
    std::string m_mapError;
    std::vector<std::string> m_radarIds;
    std::vector<std::string> m_interceptorIds;
    std::vector<std::string> m_incursionIds;
    std::vector<std::string> m_team;
    int m_clock = 0;
    int m_sent = 0;
    int m_balloons = 0;
    int m_pendingFlood = 0;
    bool m_statsSent = false;
    bool m_fetchMaps = true;
};

} // namespace halyx
