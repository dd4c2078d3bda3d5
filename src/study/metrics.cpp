#include "study/metrics.h"

#include "common/format.h"
#include "common/numtext.h"
#include "scenario/scenario.h"
#include "study/check.h"
#include "study/studycsv.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace halyx {

namespace {

struct Place {
    double lat = 0.0;
    double lng = 0.0;
    double reach = 0.0; // radar range, or interceptor speed per hour
    double limit = 0.0; // interceptor range (0: none)
};

double Distance(double lat0, double lng0, double lat1, double lng1) {
    return std::hypot(lat1 - lat0, lng1 - lng0);
}

// A little slack so that a meeting exactly at the edge of what the speed covers is not lost to
// rounding in the course computation.
constexpr double kEdgeSlack = 1e-9;

int NearestStation(double lat, double lng) {
    int best = 0;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (int i = 0; i < 3; ++i) {
        const CLatLng station = CGeography::StationPosition(i);
        const double d = Distance(lat, lng, station.lat, station.lng);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

std::string Cell(const std::optional<int>& value) {
    return value ? Format("%d", *value) : std::string();
}
std::string Cell(const std::optional<double>& value) {
    return value ? Format("%.2f", *value) : std::string();
}

} // namespace

CScenarioAnalysis AnalyseScenario(const CScenario& scenario) {
    std::vector<Place> radars;
    for (const CRadar& radar : scenario.Radars()) {
        radars.push_back({radar.GetLatValue(), radar.GetLngValue(), radar.GetRangeValue(), 0.0});
    }
    std::vector<Place> interceptors;
    for (const CInterceptor& craft : scenario.Interceptors()) {
        interceptors.push_back(
            {craft.GetLat(), craft.GetLng(), craft.GetSpeed(), craft.GetRange()});
    }

    CScenarioAnalysis analysis;
    for (const CIncursion& incursion : scenario.Incursions()) {
        CIncursionAnalysis result;
        const double start = incursion.GetTime() == "-" ? 0.0 : ReadNumber(incursion.GetTime());
        result.startsAfterWindow = start > kLaunchWindowMinutes;
        result.startMinute = start > 0.0 ? static_cast<int>(std::ceil(std::min(start, 1e6))) : 0;
        const auto [lat0, lng0] = incursion.GetPositionAt(result.startMinute / 60.0);
        result.stationArea = NearestStation(lat0, lng0);
        // One step per simulated minute, as the clock moves the mission.
        for (int minute = result.startMinute; minute <= kLaunchWindowMinutes; ++minute) {
            if (result.firstDetection && result.earliestReach) {
                break;
            }
            const auto [lat, lng] = incursion.GetPositionAt(minute / 60.0);
            if (!result.firstDetection) {
                for (const Place& radar : radars) {
                    if (Distance(radar.lat, radar.lng, lat, lng) <= radar.reach) {
                        result.firstDetection = minute;
                        break;
                    }
                }
            }
            if (!result.earliestReach) {
                for (const Place& craft : interceptors) {
                    const double d = Distance(craft.lat, craft.lng, lat, lng);
                    const bool inTime = d <= craft.reach * minute / 60.0 + kEdgeSlack;
                    const bool inRange = craft.limit <= 0.0 || d <= craft.limit;
                    if (inTime && inRange) {
                        result.earliestReach = minute;
                        break;
                    }
                }
            }
        }
        analysis.incursions.push_back(result);
    }
    return analysis;
}

CScenarioMetrics ComputeMetrics(const CScenario& scenario) {
    CScenarioMetrics metrics;
    metrics.incursions = scenario.Incursions().Count();
    metrics.radars = scenario.Radars().Count();
    metrics.interceptors = scenario.Interceptors().Count();
    for (int slot = 0; slot < scenario.Weather().GetCount(); ++slot) {
        if (scenario.Weather().GetCell(slot) != nullptr) {
            ++metrics.weatherCells;
        }
    }
    const std::vector<CFinding> findings = CheckScenario(scenario);
    metrics.errors = CountFindings(findings, FindingSeverity::Error);
    metrics.warnings = CountFindings(findings, FindingSeverity::Warning);

    const CScenarioAnalysis analysis = AnalyseScenario(scenario);
    double detectionSum = 0.0;
    int detected = 0;
    double marginSum = 0.0;
    int reached = 0;
    for (const CIncursionAnalysis& incursion : analysis.incursions) {
        ++metrics.areaIncursions[incursion.stationArea];
        if (incursion.firstDetection) {
            const int minute = *incursion.firstDetection;
            metrics.earliestDetection =
                std::min(metrics.earliestDetection.value_or(minute), minute);
            detectionSum += minute;
            ++detected;
        } else {
            ++metrics.undetectable;
        }
        if (incursion.earliestReach) {
            const int margin = kLaunchWindowMinutes - *incursion.earliestReach;
            metrics.smallestMargin = std::min(metrics.smallestMargin.value_or(margin), margin);
            marginSum += margin;
            ++reached;
        } else {
            ++metrics.unreachable;
        }
    }
    if (detected > 0) {
        metrics.meanDetection = detectionSum / detected;
    }
    if (reached > 0) {
        metrics.meanMargin = marginSum / reached;
    }
    return metrics;
}

std::string MetricsCsvHeader() {
    return "file,incursions,radars,interceptors,weather_cells,errors,warnings,undetectable,"
           "unreachable,first_detection_earliest,first_detection_mean,interception_margin_smallest,"
           "interception_margin_mean,area0_incursions,area1_incursions,area2_incursions";
}

std::string MetricsCsvRow(const std::string& file, const CScenarioMetrics& m) {
    return CsvField(file) +
           Format(",%d,%d,%d,%d,%d,%d,%d,%d,", m.incursions, m.radars, m.interceptors,
                  m.weatherCells, m.errors, m.warnings, m.undetectable, m.unreachable) +
           Cell(m.earliestDetection) + ',' + Cell(m.meanDetection) + ',' + Cell(m.smallestMargin) +
           ',' + Cell(m.meanMargin) +
           Format(",%d,%d,%d", m.areaIncursions[0], m.areaIncursions[1], m.areaIncursions[2]);
}

std::vector<CNamedMetric> BalancedMetrics(const CScenarioMetrics& m) {
    const auto value = [](const auto& v) -> std::optional<double> {
        return v ? std::optional<double>(static_cast<double>(*v)) : std::nullopt;
    };
    return {
        {"undetectable", m.undetectable},
        {"unreachable", m.unreachable},
        {"first_detection_earliest", value(m.earliestDetection)},
        {"first_detection_mean", m.meanDetection},
        {"interception_margin_smallest", value(m.smallestMargin)},
        {"interception_margin_mean", m.meanMargin},
    };
}

} // namespace halyx
