#pragma once

#include <optional>
#include <string>
#include <vector>

namespace halyx {

class CScenario;

// The minute at which the launch window closes and the mission ends.
inline constexpr int kLaunchWindowMinutes = 960;

// How one incursion fares during the launch window, as the scenario's own model moves the units:
// the incursion runs its straight course (CIncursion::GetPositionAt) from its start minute, one
// step per simulated minute up to the window's close; a radar sees it while it lies within the
// radar's range; an interceptor leaves its place at minute 0 at its maximum speed and can meet the
// incursion at a minute when the incursion lies no farther away than that speed covers by then
// (and, when the interceptor has a range above 0, within that range of its place).
struct CIncursionAnalysis {
    int startMinute = 0;               // Time as a minute ("-" is 0, below 0 counts as 0)
    bool startsAfterWindow = false;    // Time lies after the window: it never moves within it
    std::optional<int> firstDetection; // first minute in a radar's range
    std::optional<int> earliestReach;  // first minute an interceptor can be there
    int stationArea = 0;               // the station position (0-2) nearest to the start point
};

struct CScenarioAnalysis {
    std::vector<CIncursionAnalysis> incursions; // in list order
};

CScenarioAnalysis AnalyseScenario(const CScenario& scenario);

// The figures a methods section reports for one scenario. Minutes and margins are absent when no
// incursion gives one.
struct CScenarioMetrics {
    int incursions = 0;
    int radars = 0;
    int interceptors = 0;
    int weatherCells = 0; // cells of the weather grid that hold weather (all 16 layers)
    int errors = 0;       // findings of the scenario check
    int warnings = 0;
    int undetectable = 0; // incursions that never enter a radar's range within the window
    int unreachable = 0;  // incursions no interceptor can reach before the window closes
    std::optional<int> earliestDetection;
    std::optional<double> meanDetection;
    // Minutes left in the window when the incursion can first be reached; the smallest and the
    // mean over the reachable incursions.
    std::optional<int> smallestMargin;
    std::optional<double> meanMargin;
    int areaIncursions[3] = {0, 0, 0}; // incursions per station area (nearest station position)
};

CScenarioMetrics ComputeMetrics(const CScenario& scenario);

// The CSV header line and one row (no line ends). Absent values are empty cells; means carry two
// decimals with '.' whatever the locale. file is written as a CSV field (quoted when needed).
std::string MetricsCsvHeader();
std::string MetricsCsvRow(const std::string& file, const CScenarioMetrics& metrics);

// The figures that balanced generation matches, by name, in MetricsCsvHeader's order. An absent
// value stays absent.
struct CNamedMetric {
    std::string name;
    std::optional<double> value;
};
std::vector<CNamedMetric> BalancedMetrics(const CScenarioMetrics& metrics);

} // namespace halyx
