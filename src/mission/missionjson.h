#pragma once

// The mission state as JSON, for the observer page: one object with the minute, the stations
// (name, go/no-go), the incursions on the map, the resources, the radar contacts, the marks of
// the last minutes, the last requests (who asked whom), the last chat lines (left out when
// withChat is false), the pauses, the decision and the counters. Texts are escaped (quotes,
// backslashes, control characters, '<'), numbers are written with '.' whatever the locale, and a
// number that is not finite is null.

#include "mission/missionstate.h"

#include <span>
#include <string>

namespace halyx {

struct MissionJsonOptions {
    bool withChat = true;
    // Marks of the last this many minutes (the trails the picture fades out).
    int trailMinutes = 30;
    // At most this many marks, the latest: bounds what one update sends.
    size_t maxMarks = 5000;
};

std::string MissionStateJson(const CMissionState& state, std::span<const CMissionMark> marks,
                             const MissionJsonOptions& options = {});

// text as a JSON string, quotes included; bytes that are not valid UTF-8 become U+FFFD.
void AppendJsonString(std::string& out, std::string_view text);
// value with '.' as the decimal point, shortest round-trip form; "null" when not finite.
void AppendJsonNumber(std::string& out, double value);

} // namespace halyx
