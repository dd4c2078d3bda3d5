#include "scenario/scenariopagemodel.h"

#include "common/paths.h"

namespace halyx {

namespace {

struct ComponentInfo {
    const char* suffix;
    const char* folder;
    const char* label;
};

constexpr ComponentInfo kComponentInfo[kScenarioComponents] = {
    {"_Maps.hmi", "Maps", "Map File:"},
    {"_Incursions.hid", "Incursions", "Incursions File:"},
    {"_Interceptors.hii", "Interceptors", "Interceptors File:"},
    {"_Radars.hrd", "Radars", "Radars File:"},
    {"_ImpactLines.hil", "Impact Lines", "IIL Data:"},
    {"_PlumeLines.hpi", "Plume Lines", "Plume Line Data:"},
    {"_Weather.hwd", "Weather Data", "Weather Data:"},
    {"_Terrain.htd", "Terrain Codes", "Terrain Codes:"},
};

const ComponentInfo& Info(ScenarioComponent component) {
    return kComponentInfo[static_cast<int>(component)];
}

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

} // namespace

const char* ComponentSuffix(ScenarioComponent component) {
    return Info(component).suffix;
}
const char* ComponentFolder(ScenarioComponent component) {
    return Info(component).folder;
}
const char* ComponentLabel(ScenarioComponent component) {
    return Info(component).label;
}

char PathSeparatorOf(std::string_view path) {
    const size_t pos = path.find_last_of("/\\");
    return pos == std::string_view::npos ? '/' : path[pos];
}

bool CScenarioFields::PathsComplete() const {
    if (name.empty() || location.empty()) {
        return false;
    }
    for (int i = 0; i < kScenarioComponents; ++i) {
        if (fileNames[i].empty() || locations[i].empty()) {
            return false;
        }
    }
    return true;
}

void CScenarioPageModel::SetName(std::string name) {
    m_fields.name = std::move(name);
    for (const ScenarioComponent component : kAllScenarioComponents) {
        m_fields.FileName(component) =
            m_fields.name.empty() ? std::string() : m_fields.name + ComponentSuffix(component);
    }
    std::string& location = m_fields.location;
    if (!location.empty()) {
        const char separator = PathSeparatorOf(location);
        if (EndsWithSeparator(location)) {
            // The location was built for the previous name: drop that name's folder.
            location.pop_back();
            const size_t last = location.find_last_of("/\\");
            if (last != std::string::npos) {
                location.erase(last);
            }
        }
        if (!m_fields.name.empty()) {
            location += separator;
            location += m_fields.name;
            location += separator;
        }
    }
    RebuildComponentLocations();
}

void CScenarioPageModel::SetLocation(std::string location) {
    m_fields.location = std::move(location);
    RebuildComponentLocations();
}

void CScenarioPageModel::ChooseLocation(std::string folder) {
    m_fields.location = std::move(folder);
    SetName(m_fields.name);
}

void CScenarioPageModel::ChooseComponentLocation(ScenarioComponent component, std::string folder) {
    m_fields.Location(component) = std::move(folder);
}

void CScenarioPageModel::RebuildComponentLocations() {
    const std::string& location = m_fields.location;
    const char separator = PathSeparatorOf(location);
    for (const ScenarioComponent component : kAllScenarioComponents) {
        std::string& target = m_fields.Location(component);
        if (location.empty()) {
            target.clear();
            continue;
        }
        target = location;
        if (!IsSeparator(target.back())) {
            target += separator;
        }
        target += ComponentFolder(component);
        target += separator;
    }
}

std::string CScenarioPageModel::CheckBeforeSave() const {
    for (int i = 0; i < kScenarioComponents; ++i) {
        if (m_fields.fileNames[i].empty() || m_fields.locations[i].empty()) {
            return kFillAllFields;
        }
    }
    return m_fields.location.empty() ? kFillAllFields : std::string();
}

} // namespace halyx
