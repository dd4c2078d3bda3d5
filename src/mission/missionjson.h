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

// What changed from one state text (previous, "" for none) to the next, as the observer page
// merges it: the members whose text differs, null for those gone, and of the marks
// "marksDrop" (how many of the oldest dropped out of the trail) and "marksAdd" (the new ones)
// when the old marks lead to the new ones; "" when there is no previous state. Both texts are
// objects as MissionStateJson writes them (no blanks between tokens).
std::string MissionStateUpdate(const std::string& previous, const std::string& state);

// text as a JSON string, quotes included; bytes that are not valid UTF-8 become U+FFFD.
void AppendJsonString(std::string& out, std::string_view text);
// value with '.' as the decimal point, shortest round-trip form; "null" when not finite.
void AppendJsonNumber(std::string& out, double value);

} // namespace halyx
