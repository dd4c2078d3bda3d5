#include "scenario/scenariofileset.h"

#include "common/archive.h"
#include "common/format.h"
#include "common/paths.h"
#include "common/progress.h"
#include "scenario/scenario.h"
#include "scenario/unitfiles.h"

#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>

namespace halyx {

namespace {

constexpr int kSaveSteps = 17;
constexpr int kLoadSteps = 9;
// A scenario file is a few lines of paths and the notes; anything larger is not one.
constexpr size_t kMaxScenarioFileBytes = size_t{16} << 20;

const char* SavingText(ScenarioComponent component) {
    static const char* const kTexts[kScenarioComponents] = {
        "Saving Maps\n\n",         "Saving Incursions\n\n",   "Saving Interceptors\n\n",
        "Saving Radars\n\n",       "Saving Impact Lines\n\n", "Saving Plume Lines\n\n",
        "Saving Weather Data\n\n", "Saving Terrain Data\n\n"};
    return kTexts[static_cast<int>(component)];
}

const char* LoadingText(ScenarioComponent component) {
    static const char* const kTexts[kScenarioComponents] = {
        "Loading Maps\n\n",         "Loading Incursions\n\n",   "Loading Interceptors\n\n",
        "Loading Radars\n\n",       "Loading Impact Lines\n\n", "Loading Plume Lines\n\n",
        "Loading Weather Data\n\n", "Loading Terrain Data\n\n"};
    return kTexts[static_cast<int>(component)];
}

// Shows progress when there is a window for it; closes it however the work ends.
class ProgressSteps {
public:
    ProgressSteps(IProgress* progress, const char* title, int steps) : m_progress(progress) {
        if (m_progress != nullptr) {
            m_progress->SetText(title);
            m_progress->SetRange(0, steps);
            m_progress->SetPos(0);
        }
    }
    ~ProgressSteps() {
        if (m_progress != nullptr) {
            m_progress->Close();
        }
    }
    void Text(const std::string& text) {
        if (m_progress != nullptr) {
            m_progress->SetText(text);
        }
    }
    void Step() {
        if (m_progress != nullptr) {
            m_progress->SetPos(++m_pos);
        }
    }

private:
    IProgress* m_progress;
    int m_pos = 0;
};

std::string ErrorText(const std::string& path, int code) {
    return Format("%s: %s", path.c_str(), std::strerror(code));
}

int SaveComponent(ScenarioComponent component, const std::string& path, const CScenario& scenario) {
    switch (component) {
    case ScenarioComponent::Maps:
        return scenario.Geography().SaveMapInfo(path);
    case ScenarioComponent::Incursions:
        return WriteUnitFile(path, scenario.Incursions());
    case ScenarioComponent::Interceptors:
        return WriteUnitFile(path, scenario.Interceptors());
    case ScenarioComponent::Radars:
        return WriteUnitFile(path, scenario.Radars());
    case ScenarioComponent::ImpactLines:
        return scenario.Geography().SaveImpactLines(path);
    case ScenarioComponent::PlumeLines:
        return 0;
    case ScenarioComponent::Weather:
        return WriteWeatherFile(path, scenario.Weather());
    case ScenarioComponent::TerrainCodes:
        return scenario.Geography().SaveTerrain(path);
    }
    return 0;
}

// Splits "folder\name" at its last separator: the folder keeps the separator.
void SplitAtLastSeparator(std::string_view path, std::string& folder, std::string& name) {
    const size_t pos = path.find_last_of("/\\");
    if (pos == std::string_view::npos) {
        folder.clear();
        name = std::string(path);
    } else {
        folder = std::string(path.substr(0, pos + 1));
        name = std::string(path.substr(pos + 1));
    }
}

} // namespace

// The components read from a set, held until every one of them has read, so that a file that
// breaks off changes nothing.
struct CStagedScenarioComponents {
    std::optional<std::array<std::string, CGeography::kMapCount>> mapUrls;
    std::unique_ptr<CUnitList<CIncursion>> incursions;
    std::unique_ptr<CUnitList<CInterceptor>> interceptors;
    std::unique_ptr<CUnitList<CRadar>> radars;
    std::optional<CImpactLines> impactLines;
    std::optional<std::vector<uint8_t>> weatherBytes;
    std::optional<CTerrainTable> terrain;
};

namespace {

using StagedComponents = CStagedScenarioComponents;

template <class T> int StageUnits(const std::string& path, std::unique_ptr<CUnitList<T>>& staged) {
    auto list = std::make_unique<CUnitList<T>>();
    const int code = ReadUnitFile(path, *list);
    if (code == 0) {
        staged = std::move(list);
    }
    return code;
}

int StageComponent(ScenarioComponent component, const std::string& path, StagedComponents& staged) {
    if (component == ScenarioComponent::Incursions) {
        return StageUnits(path, staged.incursions);
    }
    if (component == ScenarioComponent::Interceptors) {
        return StageUnits(path, staged.interceptors);
    }
    if (component == ScenarioComponent::Radars) {
        return StageUnits(path, staged.radars);
    }
    if (component == ScenarioComponent::PlumeLines) {
        return 0;
    }
    std::vector<uint8_t> bytes;
    if (const int code = ReadFileBytes(path, bytes); code != 0) {
        return code;
    }
    switch (component) {
    case ScenarioComponent::Maps:
        staged.mapUrls = ReadMapInfoBytes(bytes, path);
        break;
    case ScenarioComponent::ImpactLines: {
        CArchiveReader in(bytes, path);
        CImpactLines lines;
        lines.Serialize(in);
        staged.impactLines = std::move(lines);
        break;
    }
    case ScenarioComponent::Weather: {
        CWeatherMap check;
        ReadWeatherFileBytes(bytes, check, path);
        staged.weatherBytes = std::move(bytes);
        break;
    }
    case ScenarioComponent::TerrainCodes:
        staged.terrain = ReadTerrainBytes(bytes, path);
        break;
    default:
        break;
    }
    return 0;
}

void Commit(StagedComponents& staged, CScenario& scenario) {
    CGeography& geography = scenario.Geography();
    if (staged.mapUrls) {
        geography.SetMapURLs(std::move(*staged.mapUrls));
    }
    if (staged.incursions) {
        CopyUnits(*staged.incursions, scenario.Incursions());
    }
    if (staged.interceptors) {
        CopyUnits(*staged.interceptors, scenario.Interceptors());
    }
    if (staged.radars) {
        CopyUnits(*staged.radars, scenario.Radars());
    }
    if (staged.impactLines) {
        geography.SetImpactLines(std::move(*staged.impactLines));
    }
    if (staged.weatherBytes) {
        ReadWeatherFileBytes(*staged.weatherBytes, scenario.Weather());
    }
    if (staged.terrain) {
        geography.ClearTerrain();
        for (const auto& entry : *staged.terrain) {
            geography.SetTerrain(entry.second);
        }
    }
}

// Where a component of a set lives on this machine: its stored path when that exists, else the
// same file in the component's sub-folder beside the scenario file.
void ResolveComponent(ScenarioComponent component, const std::string& scenarioFolder,
                      CScenarioFields& fields) {
    const std::string stored = ToPortablePath(fields.FullPath(component));
    const bool plume = component == ScenarioComponent::PlumeLines;
    if (plume ? FolderExists(ToPortablePath(fields.Location(component))) : FileExists(stored)) {
        return;
    }
    const std::string beside = scenarioFolder + ComponentFolder(component) + "/";
    if (plume ? FolderExists(beside) : FileExists(beside + fields.FileName(component))) {
        fields.Location(component) = beside;
    }
}

} // namespace

CScenarioSaveResult SaveScenarioSet(const CScenarioFields& fields, const CScenario& scenario,
                                    IProgress* progress) {
    CScenarioSaveResult result;
    result.scenarioFile = fields.ScenarioFilePath();
    if (!fields.PathsComplete()) {
        result.error = CScenarioPageModel::kFillAllFields;
        return result;
    }
    ProgressSteps steps(progress, "HALYX\n\nSaving Scenario", kSaveSteps);

    steps.Text("Verifying path\n\n" + fields.location);
    CreatePath(ToPortablePath(fields.location));
    steps.Step();
    for (const ScenarioComponent component : kAllScenarioComponents) {
        steps.Text("Verifying path\n\n" + fields.Location(component));
        CreatePath(ToPortablePath(fields.Location(component)));
        steps.Step();
    }

    steps.Text("Saving Scenario File\n\n" + result.scenarioFile);
    const std::string text = ScenarioFileText(fields);
    try {
        const int code =
            WriteFileBytes(ToPortablePath(result.scenarioFile),
                           std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
        if (code != 0) {
            result.error = ErrorText(result.scenarioFile, code);
            return result;
        }
        result.saved = true;
        for (const ScenarioComponent component : kAllScenarioComponents) {
            steps.Text(SavingText(component) + fields.location + fields.FileName(component));
            const std::string path = ToPortablePath(fields.FullPath(component));
            if (const int code = SaveComponent(component, path, scenario); code != 0) {
                result.skipped.push_back(ErrorText(path, code));
            }
            steps.Step();
        }
    } catch (const ArchiveError& error) {
        result.error = error.what();
    }
    return result;
}

CScenarioFields ScenarioFieldsFor(const std::string& name, const std::string& folder) {
    CScenarioFields fields;
    fields.name = name;
    fields.location = folder;
    const char separator = PathSeparatorOf(folder);
    for (const ScenarioComponent component : kAllScenarioComponents) {
        fields.FileName(component) = name + ComponentSuffix(component);
        fields.Location(component) = folder + ComponentFolder(component) + separator;
    }
    return fields;
}

CScenarioSaveResult SaveScenarioAs(const std::string& name, const std::string& folder,
                                   const CScenario& scenario, IProgress* progress) {
    return SaveScenarioSet(ScenarioFieldsFor(name, folder), scenario, progress);
}

std::string ScenarioFileText(const CScenarioFields& fields) {
    std::string text = ToPortablePath(fields.ScenarioFilePath()) + "\n";
    text += kNotesBegin;
    text += "\n";
    if (!fields.notes.empty()) {
        text += fields.notes;
        text += "\n";
    }
    text += kNotesEnd;
    text += "\n";
    for (const ScenarioComponent component : kAllScenarioComponents) {
        text += ToPortablePath(fields.FullPath(component));
        text += "\n";
    }
    return text;
}

bool ReadScenarioFileText(std::string_view text, CScenarioFields& fields, std::string& error) {
    size_t pos = 0;
    auto nextLine = [&](std::string_view& line) {
        if (pos >= text.size()) {
            return false;
        }
        size_t end = text.find('\n', pos);
        const size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos) {
            end = text.size();
        }
        line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        pos = next;
        return true;
    };

    CScenarioFields read;
    std::string_view line;
    if (!nextLine(line)) {
        error = "the scenario file is empty";
        return false;
    }
    std::string fileName;
    SplitAtLastSeparator(line, read.location, fileName);
    read.name = fileName.size() >= 4 ? fileName.substr(0, fileName.size() - 4) : std::string();
    if (!nextLine(line)) {
        error = "the scenario file ends before its notes";
        return false;
    }
    bool notesEnded = false;
    while (nextLine(line)) {
        if (line == kNotesEnd) {
            notesEnded = true;
            break;
        }
        read.notes += line;
        read.notes += '\n';
    }
    if (!notesEnded) {
        error = Format("the scenario file has no \"%s\" line", kNotesEnd);
        return false;
    }
    if (!read.notes.empty()) {
        read.notes.pop_back();
    }
    for (const ScenarioComponent component : kAllScenarioComponents) {
        if (!nextLine(line)) {
            error = Format("the scenario file ends before the path of its %s component",
                           ComponentFolder(component));
            return false;
        }
        SplitAtLastSeparator(line, read.Location(component), read.FileName(component));
    }
    fields = std::move(read);
    return true;
}

CStagedScenarioSet StageScenarioSet(const std::string& path, IProgress* progress) {
    CStagedScenarioSet set;
    CScenarioLoadResult& result = set.result;
    if (path.empty()) {
        result.error = "no scenario file was given";
        return set;
    }
    ProgressSteps steps(progress, "HALYX\n\nLoading Scenario", kLoadSteps);
    steps.Text("Loading Scenario File\n" + path);

    const std::string portable = ToPortablePath(path);
    std::vector<uint8_t> bytes;
    if (FileExists(portable) && !FolderExists(portable)) {
        std::error_code ec;
        if (std::filesystem::file_size(portable, ec) > kMaxScenarioFileBytes) {
            result.error = Format("%s: too large for a scenario file", path.c_str());
            return set;
        }
    }
    if (const int code = ReadFileBytes(portable, bytes); code != 0) {
        result.error = ErrorText(path, code);
        return set;
    }
    CScenarioFields read;
    std::string reason;
    if (!ReadScenarioFileText(
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), read,
            reason)) {
        result.error = path + ": " + reason;
        return set;
    }
    // A set written elsewhere names folders that do not exist here; its own folder does.
    const std::string scenarioFolder = FolderPart(portable);
    if (!FolderExists(ToPortablePath(read.location))) {
        read.location = scenarioFolder;
    }
    steps.Step();

    // Every component is read into the staged set before anything changes: a set with a
    // missing or damaged component would otherwise mix its units with the old scenario's.
    auto components = std::make_shared<StagedComponents>();
    StagedComponents& staged = *components;
    for (const ScenarioComponent component : kAllScenarioComponents) {
        ResolveComponent(component, scenarioFolder, read);
        steps.Text(LoadingText(component) + read.FullPath(component));
        const std::string componentPath = ToPortablePath(read.FullPath(component));
        std::string failure;
        try {
            if (const int code = StageComponent(component, componentPath, staged); code != 0) {
                failure = ErrorText(componentPath, code);
            }
        } catch (const ArchiveError& error) {
            failure = error.what();
        }
        if (!failure.empty()) {
            result.problems.push_back(std::string(ComponentFolder(component)) + ": " + failure);
        }
        steps.Step();
    }
    if (!result.problems.empty()) {
        for (const std::string& problem : result.problems) {
            result.error += (result.error.empty() ? "" : "; ") + problem;
        }
        result.problems.clear();
        return set;
    }
    result.ok = true;
    set.fields = std::move(read);
    set.components = std::move(components);
    return set;
}

CScenarioLoadResult CommitScenarioSet(CStagedScenarioSet& staged, CScenarioFields& fields,
                                      CScenario& scenario) {
    if (staged.result.ok && staged.components) {
        scenario.ReplaceAll([&] { Commit(*staged.components, scenario); });
        fields = std::move(staged.fields);
        staged.components.reset();
    }
    return staged.result;
}

CScenarioLoadResult LoadScenarioSet(const std::string& path, CScenarioFields& fields,
                                    CScenario& scenario, IProgress* progress) {
    CStagedScenarioSet staged = StageScenarioSet(path, progress);
    return CommitScenarioSet(staged, fields, scenario);
}

void CopyScenarioSet(const CScenario& from, CScenario& to) {
    to.ReplaceAll([&] {
        CopyUnits(from.Incursions(), to.Incursions());
        CopyUnits(from.Radars(), to.Radars());
        CopyUnits(from.Interceptors(), to.Interceptors());
        ReadWeatherFileBytes(WeatherFileBytes(from.Weather()), to.Weather());
        CGeography& geography = to.Geography();
        geography.SetMapURLs(from.Geography().GetMapURLs());
        geography.SetImpactLines(from.Geography().GetImpactLines());
        geography.ClearTerrain();
        for (const auto& entry : from.Geography().GetTerrain()) {
            geography.SetTerrain(entry.second);
        }
    });
}

} // namespace halyx
