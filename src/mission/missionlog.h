#pragma once

// A recorded mission read back for its picture: the scenario it ran on, the team and every event
// the picture shows. A log cut off by a crash is read through the repair, as every other reader
// of logs does; the file is never changed.

#include "mission/missionevent.h"

#include <string>
#include <vector>

namespace halyx {

class CScenario;

struct MissionLog {
    std::vector<std::string> team;
    std::vector<CMissionEvent> events; // in file order
    bool repaired = false;
};

// Reads the log at path: its Scenario element into scenario (units, lines, trajectory; the map
// addresses are not in logs and are left as they are), the team and the events. False with error
// set when the log cannot be read or holds no readable scenario.
bool ReadMissionLog(const std::string& path, CScenario& scenario, MissionLog& log,
                    std::string& error);

} // namespace halyx
