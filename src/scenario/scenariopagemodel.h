#pragma once

#include <array>
#include <string>
#include <string_view>

namespace halyx {

// The eight component files of a scenario set, in the order of the scenario file's path lines.
enum class ScenarioComponent {
    Maps,
    Incursions,
    Interceptors,
    Radars,
    ImpactLines,
    PlumeLines,
    Weather,
    TerrainCodes,
};
inline constexpr int kScenarioComponents = 8;
inline constexpr std::array<ScenarioComponent, kScenarioComponents> kAllScenarioComponents = {
    ScenarioComponent::Maps,    ScenarioComponent::Incursions,  ScenarioComponent::Interceptors,
    ScenarioComponent::Radars,  ScenarioComponent::ImpactLines, ScenarioComponent::PlumeLines,
    ScenarioComponent::Weather, ScenarioComponent::TerrainCodes};

// "_Maps.hmi", "_Incursions.hid", …: the file name is the scenario name followed by this.
const char* ComponentSuffix(ScenarioComponent component);
// "Maps", "Terrain Codes", …: the component's sub-folder of the scenario folder.
const char* ComponentFolder(ScenarioComponent component);
// "Map File:", "Terrain Codes:", …: the label of its fields on the scenario page.
const char* ComponentLabel(ScenarioComponent component);

// The scenario page's fields: the scenario name and location, the notes, and a file name and a
// location for each component. Locations end with a separator once built. Paths may use '\\'
// (read from a file written on the other platform) or '/'; a rebuilt path keeps the separator its
// location already uses.
struct CScenarioFields {
    std::string name;
    std::string location;
    std::string notes;
    std::array<std::string, kScenarioComponents> fileNames;
    std::array<std::string, kScenarioComponents> locations;

    std::string& FileName(ScenarioComponent c) { return fileNames[static_cast<int>(c)]; }
    const std::string& FileName(ScenarioComponent c) const {
        return fileNames[static_cast<int>(c)];
    }
    std::string& Location(ScenarioComponent c) { return locations[static_cast<int>(c)]; }
    const std::string& Location(ScenarioComponent c) const {
        return locations[static_cast<int>(c)];
    }
    // Location followed by file name.
    std::string FullPath(ScenarioComponent c) const { return Location(c) + FileName(c); }
    // Scenario location + name + ".hsf".
    std::string ScenarioFilePath() const { return location + name + ".hsf"; }
    // True when none of the eighteen path fields (name, location, the eight file names and the
    // eight locations) is empty.
    bool PathsComplete() const;

    bool operator==(const CScenarioFields&) const = default;
};

// The scenario page without its window: the fields and the rules that rebuild them as the user
// edits the name or picks a folder.
class CScenarioPageModel {
public:
    static constexpr const char* kFillAllFields =
        "Please fill in all the fields with valid filenames and save locations";

    CScenarioFields& Fields() { return m_fields; }
    const CScenarioFields& Fields() const { return m_fields; }

    // Editing the name: file names become name + suffix (all empty for an empty name); a
    // location that ends with a separator loses that separator and its last folder (the previous
    // name's folder); a non-empty name is then appended as a folder; component locations are
    // rebuilt.
    void SetName(std::string name);
    // Editing the location: component locations are rebuilt.
    void SetLocation(std::string location);
    // "..." beside the scenario location: the chosen folder becomes the location, then the
    // name's rebuild runs.
    void ChooseLocation(std::string folder);
    // "..." beside a component: the chosen folder becomes its location as it stands.
    void ChooseComponentLocation(ScenarioComponent component, std::string folder);
    void SetNotes(std::string notes) { m_fields.notes = std::move(notes); }
    void SetFields(CScenarioFields fields) { m_fields = std::move(fields); }

    // Each component location is the scenario location + its sub-folder + a separator, a
    // separator put between them when the location does not end with one; all empty when the
    // scenario location is empty.
    void RebuildComponentLocations();

    // The Save command's check; empty when the save may go ahead, else kFillAllFields.
    std::string CheckBeforeSave() const;

private:
    CScenarioFields m_fields;
};

// The separator a path already uses ('\\' or '/'; '/' when it has none).
char PathSeparatorOf(std::string_view path);

} // namespace halyx
