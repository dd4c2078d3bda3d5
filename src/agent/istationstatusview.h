#pragma once

#include <cstddef>
#include <string_view>

namespace halyx {

// What the command agent tells the simulation control page about the team and the clock:
// station rows and their health, playback readiness, the clock and the mission's end.
class IStationStatusView {
public:
    virtual ~IStationStatusView() = default;

    // Sets the status cell of every station row whose name equals name exactly.
    virtual void SetStationStatus(std::string_view name, std::string_view status) = 0;
    // Appends a station row (used when a recorded team is read from an experiment log).
    virtual void AddStationRow(std::string_view name, std::string_view status,
                               std::string_view host, std::string_view port) = 0;
    // After a station confirmed playback: lets the experimenter play once every row is ready.
    virtual void PlaybackReadinessCheck() = 0;
    // Shows the clock count of the tick that just ran.
    virtual void ShowClock(int minutes) = 0;
    // The launch window closed (the mission or its replay is over) with this decision.
    virtual void MissionEnded(bool /*launched*/) {}
    virtual bool IsPlaybackMode() const = 0;
    // A team member became unreachable (false) or reachable again (true).
    virtual void SetStationReachable(std::string_view /*name*/, bool /*reachable*/) {}
    // After each unreadable message: how many came from this team member so far ("" for all
    // senders outside the team), for the station's row.
    virtual void UnreadableFrom(std::string_view /*station*/, std::size_t /*count*/) {}
    // A restarted station is to be re-initialized at once: the page does it as if the
    // experimenter had asked. False when the page cannot (the agent then sends it itself).
    virtual bool ReinitializeStation(std::string_view /*name*/) { return false; }
    // The person at a web seat closed the page or lost the connection (away true), or came
    // back; the station itself stays in the team.
    virtual void SubjectPresence(std::string_view /*name*/, bool /*away*/) {}
};

// Shows nothing: for an agent that runs without pages (benchmarks, tools).
class CNullStationStatusView final : public IStationStatusView {
public:
    void SetStationStatus(std::string_view, std::string_view) override {}
    void AddStationRow(std::string_view, std::string_view, std::string_view,
                       std::string_view) override {}
    void PlaybackReadinessCheck() override {}
    void ShowClock(int) override {}
    bool IsPlaybackMode() const override { return false; }
};

} // namespace halyx
