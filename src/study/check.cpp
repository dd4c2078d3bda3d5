#include "study/check.h"

#include "common/format.h"
#include "common/numtext.h"
#include "scenario/mapsource.h"
#include "scenario/scenario.h"
#include "study/metrics.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <system_error>

namespace halyx {

namespace {

class CFindingList {
public:
    void Add(FindingSeverity severity, FindingComponent component, std::string unit,
             std::string text) {
        m_findings.push_back(
            {severity, component, std::nullopt, -1, std::move(unit), std::move(text)});
    }
    void Add(FindingSeverity severity, UnitKind kind, int index, std::string unit,
             std::string text) {
        m_findings.push_back(
            {severity, FindingComponent::Unit, kind, index, std::move(unit), std::move(text)});
    }
    std::vector<CFinding> Take() { return std::move(m_findings); }

private:
    std::vector<CFinding> m_findings;
};

// The editable region of the map with its edges: a unit may stand on the rim (the default
// scenario has one there), where the editor's pointer already reads "outside".
bool InsideEditableRegion(double lat, double lng) {
    return lat >= 0.0 && lat <= 950.0 && lng >= 95.0 && lng <= 655.0;
}

struct NumberField {
    const char* label;
    const std::string* text;
};

// The checks every kind shares: name, ID (empty, or held by an earlier unit), place, number
// fields. Interceptors hold their numbers as numbers, so only their finiteness is in question.
template <class T>
void CheckCommon(const CUnitList<T>& list, CFindingList& out,
                 const std::function<std::vector<NumberField>(const T&)>& numberFields,
                 const std::function<std::pair<double, double>(const T&)>& place) {
    constexpr UnitKind kind = UnitTraits<T>::kKind;
    std::map<std::string, int, std::less<>> firstWithId;
    for (int i = 0; i < list.Count(); ++i) {
        const T& unit = list.At(i);
        const std::string& id = unit.GetId();
        if (id.empty()) {
            out.Add(FindingSeverity::Error, kind, i, id, Format("unit %d has no ID", i + 1));
        } else if (const auto [it, fresh] = firstWithId.emplace(id, i); !fresh) {
            out.Add(FindingSeverity::Error, kind, i, id,
                    Format("ID is also held by unit %d of this kind", it->second + 1));
        }
        if (unit.GetName().empty()) {
            out.Add(FindingSeverity::Warning, kind, i, id, "has no name");
        }
        bool numbersRead = true;
        for (const NumberField& field : numberFields(unit)) {
            if (!IsNumberText(*field.text)) {
                out.Add(FindingSeverity::Error, kind, i, id,
                        Format("%s \"%s\" is not a number", field.label, field.text->c_str()));
                numbersRead = false;
            }
        }
        const auto [lat, lng] = place(unit);
        if (!std::isfinite(lat) || !std::isfinite(lng)) {
            if (numbersRead) {
                out.Add(FindingSeverity::Error, kind, i, id, "position is not a number");
            }
        } else if (!InsideEditableRegion(lat, lng)) {
            out.Add(FindingSeverity::Error, kind, i, id,
                    Format("position %.3f, %.3f lies outside the editable region "
                           "(latitude 0 to 950, longitude 95 to 655)",
                           lat, lng));
        }
    }
}

void CheckIncursions(const CScenario& scenario, const CScenarioAnalysis& analysis,
                     CFindingList& out) {
    const CUnitList<CIncursion>& list = scenario.Incursions();
    CheckCommon<CIncursion>(
        list, out,
        [](const CIncursion& u) {
            std::vector<NumberField> fields = {{"Lat", &u.GetLat()},
                                               {"Lng", &u.GetLng()},
                                               {"Speed", &u.GetSpeed()},
                                               {"Heading", &u.GetHeading()}};
            if (u.GetTime() != "-") {
                fields.push_back({"Time", &u.GetTime()});
            }
            return fields;
        },
        [](const CIncursion& u) { return std::make_pair(u.GetLatValue(), u.GetLngValue()); });
    for (int i = 0; i < list.Count(); ++i) {
        const std::string& id = list.At(i).GetId();
        const CIncursionAnalysis& fate = analysis.incursions[static_cast<size_t>(i)];
        if (fate.startsAfterWindow) {
            out.Add(FindingSeverity::Error, UnitKind::Incursion, i, id,
                    Format("starts at minute %s, after the launch window closes at minute %d",
                           list.At(i).GetTime().c_str(), kLaunchWindowMinutes));
            continue; // it never moves within the window, so the two below say nothing more
        }
        if (!fate.firstDetection) {
            out.Add(FindingSeverity::Warning, UnitKind::Incursion, i, id,
                    "never enters any radar's range during the launch window (undetectable)");
        }
        if (!fate.earliestReach) {
            out.Add(FindingSeverity::Warning, UnitKind::Incursion, i, id,
                    "no interceptor can reach it before the launch window closes");
        }
    }
}

void CheckMapAddresses(const CGeography& geography, const CCheckOptions& options,
                       CFindingList& out) {
    for (int i = 0; i < CGeography::kMapCount; ++i) {
        const std::string& address = geography.GetMapURL(i);
        const auto report = [&](const std::string& text) {
            out.Add(FindingSeverity::Error, FindingComponent::Maps, CGeography::MapTitle(i), text);
        };
        if (address.empty()) {
            report(kNoMapAddressText);
            continue;
        }
        if (ClassifyMapAddress(address) == MapAddressKind::Http) {
            const size_t hostStart = address.find("://") + 3;
            const size_t hostEnd = address.find_first_of("/?#", hostStart);
            const std::string host = address.substr(hostStart, hostEnd - hostStart);
            if (host.empty() || address.find_first_of(" \t\r\n") != std::string::npos) {
                report("\"" + address + "\" is not a well-formed web address");
            }
            continue;
        }
        if (!options.openMapFiles) {
            continue;
        }
        const std::string path = MapAddressToPath(address);
        std::error_code ec;
        const std::filesystem::file_status status = std::filesystem::status(path, ec);
        if (!std::filesystem::exists(status)) {
            report("cannot read " + path + ": no such file");
        } else if (std::filesystem::is_directory(status)) {
            report("cannot read " + path + ": it is a folder");
        } else if (!std::ifstream(path, std::ios::binary)) {
            report("cannot read " + path + ": it cannot be opened");
        }
    }
}

// Walks the trajectory in steps shorter than a grid cell and names each cell under it that lacks
// weather in any of the hourly layers.
void CheckWeatherUnderTrajectory(const CScenario& scenario, CFindingList& out) {
    const CLatLngList& points = scenario.Geography().GetTrajectory().GetTrajectory();
    if (points.empty()) {
        return;
    }
    const CWeatherMap& weather = scenario.Weather();
    if (weather.GetCount() == 0) {
        out.Add(FindingSeverity::Warning, FindingComponent::Weather, {},
                "the weather grid is empty: there is no weather under the trajectory");
        return;
    }
    std::set<int64_t> slots;
    const auto visit = [&](double lat, double lng) {
        const int64_t slot = weather.SlotOfPoint(lat, lng);
        if (slot >= 0) {
            slots.insert(slot);
        }
    };
    visit(points.front().lat, points.front().lng);
    for (size_t i = 1; i < points.size(); ++i) {
        const CLatLng& a = points[i - 1];
        const CLatLng& b = points[i];
        const double length = std::hypot(b.lat - a.lat, b.lng - a.lng);
        const int steps = std::clamp(static_cast<int>(std::ceil(length)), 1, 100000);
        for (int s = 1; s <= steps; ++s) {
            const double f = static_cast<double>(s) / steps;
            visit(a.lat + (b.lat - a.lat) * f, a.lng + (b.lng - a.lng) * f);
        }
    }
    for (const int64_t slot : slots) {
        int missing = 0;
        for (int layer = 0; layer < CWeatherMap::kLayers; ++layer) {
            if (weather.GetCell(slot + int64_t{layer} * CWeatherMap::kCellsPerLayer) == nullptr) {
                ++missing;
            }
        }
        if (missing > 0) {
            const int row = static_cast<int>(slot / CWeatherMap::kGridCols);
            const int col = static_cast<int>(slot % CWeatherMap::kGridCols);
            out.Add(FindingSeverity::Warning, FindingComponent::Weather, {},
                    Format("no weather at grid row %d, column %d under the trajectory "
                           "(%d of %d hourly layers)",
                           row, col, missing, CWeatherMap::kLayers));
        }
    }
}

} // namespace

const char* SeverityName(FindingSeverity severity) {
    return severity == FindingSeverity::Error ? "ERROR" : "WARNING";
}

const char* ComponentName(const CFinding& finding) {
    switch (finding.component) {
    case FindingComponent::Unit:
        return finding.unitKind ? KindInfo(*finding.unitKind).noun : "unit";
    case FindingComponent::Maps:
        return "maps";
    case FindingComponent::Weather:
        return "weather";
    }
    return "";
}

std::string FindingLine(const CFinding& finding) {
    return std::string(SeverityName(finding.severity)) + ' ' + ComponentName(finding) + ' ' +
           (finding.unit.empty() ? std::string("-") : finding.unit) + ' ' + finding.text;
}

std::vector<CFinding> CheckScenario(const CScenario& scenario, const CCheckOptions& options) {
    CFindingList out;
    CheckIncursions(scenario, AnalyseScenario(scenario), out);
    CheckCommon<CRadar>(
        scenario.Radars(), out,
        [](const CRadar& u) {
            return std::vector<NumberField>{
                {"Lat", &u.GetLat()}, {"Lng", &u.GetLng()}, {"Range", &u.GetRange()}};
        },
        [](const CRadar& u) { return std::make_pair(u.GetLatValue(), u.GetLngValue()); });
    CheckCommon<CInterceptor>(
        scenario.Interceptors(), out,
        [](const CInterceptor&) { return std::vector<NumberField>{}; },
        [](const CInterceptor& u) { return std::make_pair(u.GetLat(), u.GetLng()); });
    CheckMapAddresses(scenario.Geography(), options, out);
    CheckWeatherUnderTrajectory(scenario, out);
    return out.Take();
}

bool HasErrors(const std::vector<CFinding>& findings) {
    return CountFindings(findings, FindingSeverity::Error) > 0;
}

int CountFindings(const std::vector<CFinding>& findings, FindingSeverity severity) {
    return static_cast<int>(std::count_if(findings.begin(), findings.end(), [&](const CFinding& f) {
        return f.severity == severity;
    }));
}

} // namespace halyx
