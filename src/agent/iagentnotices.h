#pragma once

#include <string_view>

namespace halyx {

// What the command agent warns the experimenter of: its own registration, and messages it
// refused or could not read. Every call has a default that ignores it.
class IAgentNotices {
public:
    virtual ~IAgentNotices() = default;

    // A station command came from an agent that is not in the team; refused when it was not
    // dispatched (team-only mode), else it was handled and logged as usual.
    virtual void StrayCommand(std::string_view /*sender*/, std::string_view /*command*/,
                              bool /*refused*/) {}
    // A station's message whose content could not be read, so that the experimenter learns of
    // the command that was not carried out.
    virtual void ReportUnreadable(std::string_view /*why*/) {}
    // The name-server registration was lost and is being taken again (registered false, detail
    // says why), or was taken again (registered true).
    virtual void RegistrationChanged(bool /*registered*/, std::string_view /*detail*/) {}
    // The name server refused this console's own name; message says who holds it ("the name
    // server gives NAME to HOST:PORT") or why it was refused.
    virtual void RegistrationRefused(std::string_view /*message*/) {}
    // A message naming team member name came from peer, not from the member's registered host,
    // and was refused; the agent keeps the details (CHalyxCommand::Refusals).
    virtual void SenderRefused(std::string_view /*name*/, std::string_view /*peer*/) {}
    // Team member name, initialized on previousHost, now registers from host: its messages
    // are refused until it is re-initialized with the new host accepted.
    virtual void StationHostChanged(std::string_view /*name*/, std::string_view /*host*/,
                                    std::string_view /*previousHost*/) {}
    // Something about the measures the experimenter should know: a seat that gave no answer in
    // time, an answer that was not waited for.
    virtual void MeasureNote(std::string_view /*text*/) {}
};

} // namespace halyx
