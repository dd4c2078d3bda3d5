#pragma once

#include <cstdint>
#include <string>

namespace halyx {

// One recorded station command, ready to be sent again during playback.
struct CSimEvent {
    int32_t clockTime = 0; // the clock count at which the message is released
    std::string sender;    // sent in this station's name; empty: in the command station's own
    std::string receiver;  // sent to this station only; empty: to every team member
    int64_t tsid = 0;      // orders the events of one clock count
    std::string content;   // the whole KQML content, "tell :command ..."

    bool operator==(const CSimEvent&) const = default;
};

} // namespace halyx
