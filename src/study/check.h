#pragma once

#include "scenario/unitkind.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halyx {

class CScenario;

enum class FindingSeverity { Error, Warning };

// The part of a scenario a finding is about. Unit findings carry the unit's kind beside.
enum class FindingComponent { Unit, Maps, Weather };

// One thing the scenario check found. unitIndex is the unit's position in its list (-1 when the
// finding is not about one unit), so that a report can select it.
struct CFinding {
    FindingSeverity severity = FindingSeverity::Error;
    FindingComponent component = FindingComponent::Unit;
    std::optional<UnitKind> unitKind; // set for, and only for, unit findings
    int unitIndex = -1;
    std::string unit; // the unit's ID, or the map's title; empty for neither
    std::string text;

    bool operator==(const CFinding&) const = default;
};

// The text of the finding about an empty map address (Initialize Simulation asks about those
// among the missing components already, and leaves them out of its question on the check).
inline constexpr const char* kNoMapAddressText = "has no address";

// "ERROR", "WARNING"; the unit kind's noun ("incursion", "radar", "interceptor"), "maps",
// "weather".
const char* SeverityName(FindingSeverity severity);
const char* ComponentName(const CFinding& finding);

// "SEVERITY component unit text"; a finding without a unit shows "-" in its place, and blanks in
// an ID are kept as they stand (the text is last, so a reader splits at the first three blanks
// only when IDs hold none, as generated ones never do).
std::string FindingLine(const CFinding& finding);

struct CCheckOptions {
    // File map addresses are opened to see that they can be read. Web addresses are only looked
    // at for their form: the check never waits on the network, and the map is fetched (with its
    // own time-outs and errors) when a simulation is initialised.
    bool openMapFiles = true;
};

// Everything that would break or quietly spoil a mission with this scenario, in a fixed order:
// units (incursions, radars, interceptors, each in list order), map addresses, then the weather
// under the trajectory. Errors: units outside the editable region, repeated or empty IDs, number
// fields that are not numbers, map addresses that cannot be read, incursions that start after the
// window closes. Warnings: empty names, incursions no radar sees or no interceptor can reach
// within the window (see AnalyseScenario), and weather missing under the trajectory.
std::vector<CFinding> CheckScenario(const CScenario& scenario, const CCheckOptions& options = {});

bool HasErrors(const std::vector<CFinding>& findings);
int CountFindings(const std::vector<CFinding>& findings, FindingSeverity severity);

} // namespace halyx
