#include "agent/scenarioencoding.h"

#include "common/format.h"
#include "external/kqml/message.h"
#include "scenario/incursion.h"
#include "scenario/interceptor.h"
#include "scenario/radar.h"

#include <algorithm>
#include <cctype>

namespace halyx {

namespace {

constexpr const char* kNumberTemplate = "tell :number %d";
constexpr const char* kIncursionNumberTemplate = "tell :number %d ";
constexpr const char* kIndexTemplate = " :%d";
constexpr const char* kIncursionTemplate =
    " :%d (tell :id %s :lat %f :lon %f :heading %s :speed %s :name \"%s\")";
constexpr const char* kTeamStart = "tell :command start_sim :clock 1 :scenario (none) :team (tell";
constexpr const char* kTeamNumberTemplate = " :number %d";
constexpr const char* kClientTemplate = " :client%d ";
constexpr const char* kTeamEnd = ") ";

constexpr const char* kAlphaLocation = "tell :lat 564 :lon 325";
constexpr const char* kBravoLocation = "tell :lat 267 :lon 384";
constexpr const char* kCharlieLocation = "tell :lat 184 :lon 472";
constexpr const char* kNoLocation = "none";

} // namespace

TeamPosition PositionOf(std::string_view stationName) {
    std::string upper(stationName);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (upper.find("ALPHA") != std::string::npos) {
        return TeamPosition::Alpha;
    }
    if (upper.find("BRAVO") != std::string::npos) {
        return TeamPosition::Bravo;
    }
    if (upper.find("CHARLIE") != std::string::npos) {
        return TeamPosition::Charlie;
    }
    return TeamPosition::None;
}

std::string StationLocationText(std::string_view stationName) {
    switch (PositionOf(stationName)) {
    case TeamPosition::Alpha:
        return kAlphaLocation;
    case TeamPosition::Bravo:
        return kBravoLocation;
    case TeamPosition::Charlie:
        return kCharlieLocation;
    case TeamPosition::None:
        break;
    }
    return kNoLocation;
}

std::vector<int> InitSimMapIndices(const std::vector<std::string>& team) {
    int alpha = -1;
    int bravo = -1;
    int charlie = -1;
    for (size_t i = 0; i < team.size(); ++i) {
        switch (PositionOf(team[i])) {
        case TeamPosition::Alpha:
            alpha = static_cast<int>(i);
            break;
        case TeamPosition::Bravo:
            bravo = static_cast<int>(i);
            break;
        case TeamPosition::Charlie:
            charlie = static_cast<int>(i);
            break;
        case TeamPosition::None:
            break;
        }
    }
    std::vector<int> indices;
    indices.reserve(team.size());
    for (size_t i = 0; i < team.size(); ++i) {
        int member = static_cast<int>(i);
        if (member == alpha) {
            indices.push_back(0);
        } else if (member == bravo) {
            indices.push_back(1);
        } else if (member == charlie) {
            indices.push_back(2);
        } else {
            indices.push_back(member % 4);
        }
    }
    return indices;
}

std::string KqmlQuotedInside(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out;
}

std::string KqmlValue(std::string_view text) {
    // An empty value stays empty: the station reads the keyword as absent either way.
    if (text.empty() || IsKqmlWord(text)) {
        return std::string(text);
    }
    std::string out;
    AppendKqmlValue(out, text);
    return out;
}

std::string RadarListKqml(const CUnitList<CRadar>& radars) {
    std::string out = Format(kNumberTemplate, radars.Count());
    int i = 0;
    for (const CRadar& radar : radars) {
        AppendFormat(out, kIndexTemplate, i++);
        out += " (tell :name \"" + KqmlQuotedInside(radar.GetName()) + "\" :lat " +
               KqmlValue(radar.GetLat()) + " :lon " + KqmlValue(radar.GetLng()) + " :id " +
               KqmlValue(radar.GetId()) + " :range " + KqmlValue(radar.GetRange()) + " :life " +
               KqmlValue(radar.GetLife()) + " :owner " + KqmlValue(radar.GetOwner()) + ")";
    }
    return out;
}

std::string InterceptorListKqml(const CUnitList<CInterceptor>& interceptors) {
    std::string out = Format(kNumberTemplate, interceptors.Count());
    int i = 0;
    for (const CInterceptor& unit : interceptors) {
        AppendFormat(out, kIndexTemplate, i++);
        out += " (tell :name \"" + KqmlQuotedInside(unit.GetName()) + "\" :lat " +
               unit.GetLatText() + " :lon " + unit.GetLngText() + " :id " +
               KqmlValue(unit.GetId()) + " :maxspeed " + unit.GetSpeedText() + " :range " +
               unit.GetRangeText() + " :scope " + KqmlValue(unit.GetScope()) + " :minrange " +
               unit.GetMinRangeText() + ")";
    }
    return out;
}

std::string IncursionListKqml(const CUnitList<CIncursion>& incursions, int clock) {
    std::string out = Format(kIncursionNumberTemplate, incursions.Count());
    int i = 0;
    for (const CIncursion& unit : incursions) {
        auto [lat, lng] = unit.GetPositionAt(clock / 60.0);
        AppendFormat(out, kIncursionTemplate, i++, KqmlValue(unit.GetId()).c_str(), lat, lng,
                     KqmlValue(unit.GetHeading()).c_str(), KqmlValue(unit.GetSpeed()).c_str(),
                     KqmlQuotedInside(unit.GetName()).c_str());
    }
    return out;
}

std::string StartSimTeamText(const std::vector<std::string>& team) {
    std::string out = kTeamStart;
    AppendFormat(out, kTeamNumberTemplate, static_cast<int>(team.size()));
    for (size_t i = 0; i < team.size(); ++i) {
        AppendFormat(out, kClientTemplate, static_cast<int>(i));
        out += KqmlValue(team[i]);
    }
    out += kTeamEnd;
    return out;
}

} // namespace halyx
