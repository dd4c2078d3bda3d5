#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace halyx {

// The narrow set of calls the command agent makes into the pages: the simulation control page
// (station rows, playback readiness, clock) and the human communication page (chat).
class StationConsole {
public:
    virtual ~StationConsole() = default;

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
    virtual void AddChatEntry(std::string_view to, std::string_view from,
                              std::string_view message) = 0;
    // A team member became unreachable (false) or reachable again (true).
    virtual void SetStationReachable(std::string_view /*name*/, bool /*reachable*/) {}
    // A station command came from an agent that is not in the team; refused when it was not
    // dispatched (team-only mode), else it was handled and logged as usual.
    virtual void StrayCommand(std::string_view /*sender*/, std::string_view /*command*/,
                              bool /*refused*/) {}
    // A station's message whose content could not be read, so that the experimenter learns of
    // the command that was not carried out.
    virtual void ReportUnreadable(std::string_view /*why*/) {}
    // After each unreadable message: how many came from this team member so far ("" for all
    // senders outside the team), for the station's row.
    virtual void UnreadableFrom(std::string_view /*station*/, std::size_t /*count*/) {}
    // The name-server registration was lost and is being taken again (registered false, detail
    // says why), or was taken again (registered true).
    virtual void RegistrationChanged(bool /*registered*/, std::string_view /*detail*/) {}
    // The name server refused this console's own name; message says who holds it ("the name
    // server gives NAME to HOST:PORT") or why it was refused.
    virtual void RegistrationRefused(std::string_view /*message*/) {}
    // A message naming team member name came from peer, not from the member's registered host,
    // and was refused; the agent keeps the details (CHalyxCommand::Refusals).
    virtual void SenderRefused(std::string_view /*name*/, std::string_view /*peer*/) {}
    // A restarted station is to be re-initialized at once: the page does it as if the
    // experimenter had asked. False when the console cannot (the agent then sends it itself).
    virtual bool ReinitializeStation(std::string_view /*name*/) { return false; }
};

// Does nothing: for an agent that runs without pages (benchmarks, tools).
class CNullStationConsole final : public StationConsole {
public:
    void SetStationStatus(std::string_view, std::string_view) override {}
    void AddStationRow(std::string_view, std::string_view, std::string_view,
                       std::string_view) override {}
    void PlaybackReadinessCheck() override {}
    void ShowClock(int) override {}
    bool IsPlaybackMode() const override { return false; }
    void AddChatEntry(std::string_view, std::string_view, std::string_view) override {}
};

} // namespace halyx
