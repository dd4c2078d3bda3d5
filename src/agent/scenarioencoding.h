#pragma once

// The texts the command agent sends the stations about the scenario and the team: unit lists,
// station positions and locations, the team list of start_sim. Unit field texts go in as they
// stand, except that a text which would break the message apart (blanks, parentheses, quotes)
// is sent as a quoted KQML string, and quotes inside quoted names are escaped; ordinary values
// are byte for byte as stored.

#include "scenario/unitlist.h"

#include <string>
#include <string_view>
#include <vector>

namespace halyx {

class CRadar;
class CInterceptor;
class CIncursion;

// Position words, searched in this order in the upper-cased name.
enum class TeamPosition { Alpha = 0, Bravo = 1, Charlie = 2, None = -1 };
TeamPosition PositionOf(std::string_view stationName);

// start_sim's location text for a station: "tell :lat 564 :lon 325" for ALPHA, ..., "none".
std::string StationLocationText(std::string_view stationName);

// Map index of each member for init_sim: 0, 1, 2 for the last ALPHA, BRAVO and CHARLIE member,
// every other member i gets i mod 4.
std::vector<int> InitSimMapIndices(const std::vector<std::string>& team);

// "tell :number N :0 (tell :name \"...\" ...) ..." lists.
std::string RadarListKqml(const CUnitList<CRadar>& radars);
std::string InterceptorListKqml(const CUnitList<CInterceptor>& interceptors);
// Incursions at their positions for the clock count (minutes).
std::string IncursionListKqml(const CUnitList<CIncursion>& incursions, int clock);

// "tell :command start_sim :clock 1 :scenario (none) :team (tell :number N :client0 A ...) "
std::string StartSimTeamText(const std::vector<std::string>& team);

// A value for a keyword: itself when it is one plain word, else a quoted KQML string.
std::string KqmlValue(std::string_view text);
// The inside of a quoted KQML string: backslashes and quotes escaped.
std::string KqmlQuotedInside(std::string_view text);

} // namespace halyx
