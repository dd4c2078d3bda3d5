#include "scenario/generation.h"

#include "common/format.h"
#include "common/numtext.h"
#include "common/paths.h"
#include "common/progress.h"
#include "common/random.h"
#include "scenario/scenario.h"
#include "scenario/scenariofileset.h"
#include "scenario/unitid.h"

#include <cmath>
#include <filesystem>
#include <system_error>

namespace halyx {

namespace {

// The editable region with a margin of 10, and the value ranges of generated units.
constexpr double kLatLow = 10, kLatHigh = 940;
constexpr double kLngLow = 105, kLngHigh = 645;
constexpr double kSpeedLow = 50, kSpeedHigh = 400;

// Any entry of that name takes the number, a dangling link included (it cannot become a folder).
bool EntryExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

template <class T>
std::string NextFreeName(const CUnitList<T>& list, const char* pattern, int& counter) {
    std::string name = Format(pattern, counter);
    while (list.NameExists(name)) {
        name = Format(pattern, ++counter);
    }
    ++counter;
    return name;
}

template <class T> std::string FreshId(const CUnitList<T>& list) {
    return MakeUnitId([&list](std::string_view id) { return list.IdExists(id); });
}

template <class T> bool Prepare(CUnitList<T>& list, int count, bool clearFirst) {
    if (clearFirst) {
        list.RemoveAll();
    }
    return count > 0;
}

std::string Text2(double value) {
    return Format("%0.2f", value);
}

} // namespace

void GenerateIncursions(CUnitList<CIncursion>& list, int count, bool clearFirst) {
    if (!Prepare(list, count, clearFirst)) {
        return;
    }
    int counter = 0;
    for (int i = 0; i < count; ++i) {
        const std::string name = NextFreeName(list, "Incursion %d", counter);
        const std::string lat = Text2(RandomInRange(kLatLow, kLatHigh));
        const std::string lng = Text2(RandomInRange(kLngLow, kLngHigh));
        const std::string speed = Format("%0.0f", RandomInRange(kSpeedLow, kSpeedHigh));
        const std::string heading = Text2(RandomInRange(0, 360));
        const int time = static_cast<int>(std::floor(RandomInRange(0, 16) + 0.5));
        list.Add(CIncursion(name, FreshId(list), lat, lng, speed, heading, Format("%d", time)));
    }
}

void GenerateRadars(CUnitList<CRadar>& list, int count, bool clearFirst) {
    if (!Prepare(list, count, clearFirst)) {
        return;
    }
    int counter = 0;
    for (int i = 0; i < count; ++i) {
        const std::string name = NextFreeName(list, "Radar %d", counter);
        const std::string lat = Text2(RandomInRange(kLatLow, kLatHigh));
        const std::string lng = Text2(RandomInRange(kLngLow, kLngHigh));
        const std::string range = Text2(RandomInRange(50, 200));
        list.Add(CRadar(name, FreshId(list), lat, lng, range, "-", "-"));
    }
}

void GenerateInterceptors(CUnitList<CInterceptor>& list, int count, bool clearFirst) {
    if (!Prepare(list, count, clearFirst)) {
        return;
    }
    int counter = 0;
    for (int i = 0; i < count; ++i) {
        const std::string name = NextFreeName(list, "Interceptor %d", counter);
        // Written as text and read back, so that the numbers carry two decimals like the texts
        // of the other units.
        const std::string lat = Text2(RandomInRange(kLatLow, kLatHigh));
        const std::string lng = Text2(RandomInRange(kLngLow, kLngHigh));
        const std::string speed = Format("%0.0f", RandomInRange(kSpeedLow, kSpeedHigh));
        list.Add(CInterceptor(name, FreshId(list), lat, lng, speed, "0", "-", "-", "-"));
    }
}

namespace {

template <class T> void NumberIds(CUnitList<T>& list) {
    for (int i = 0; i < list.Count(); ++i) {
        list.At(i).SetId(Format("%02d%02d%02d%d%d", 0, 0, 0, 0, i + 1));
    }
}

} // namespace

void NumberGeneratedIds(CScenario& scenario) {
    NumberIds(scenario.Incursions());
    NumberIds(scenario.Radars());
    NumberIds(scenario.Interceptors());
}

std::string BatchCountsError(const CBatchOptions& options) {
    if (options.scenarios < 1 || options.scenarios > kMaxBatchScenarios || options.radars < 0 ||
        options.radars > kMaxBatchRadars || options.interceptors < 0 ||
        options.interceptors > kMaxBatchInterceptors || options.incursions < 0 ||
        options.incursions > kMaxBatchIncursions) {
        return Format("a batch takes 1 to %d scenarios of 0 to %d radars, 0 to %d "
                      "interceptors and 0 to %d incursions",
                      kMaxBatchScenarios, kMaxBatchRadars, kMaxBatchInterceptors,
                      kMaxBatchIncursions);
    }
    return {};
}

CBatchResult GenerateScenarioBatch(CScenario& scenario, const CBatchOptions& options,
                                   IProgress* progress) {
    CBatchResult result;
    result.error = BatchCountsError(options);
    if (!result.error.empty()) {
        return result;
    }
    if (options.folder.empty()) {
        result.error = "Please enter a save location";
        return result;
    }
    std::string target = options.folder;
    const char separator = PathSeparatorOf(target);
    if (!EndsWithSeparator(target)) {
        target += separator;
    }
    if (!CreatePath(ToPortablePath(target))) {
        result.error = "Cannot create the folder " + target;
        return result;
    }

    if (progress != nullptr) {
        progress->SetText("HALYX\n\nGenerating Scenarios...");
        progress->SetRange(0, options.scenarios);
        progress->SetPos(0);
    }
    int number = 1;
    scenario.ReplaceAll([&] {
        for (int i = 0; i < options.scenarios; ++i) {
            if (progress != nullptr && progress->Canceled()) {
                result.canceled = true;
                break;
            }
            // The folder test walks past every existing entry; a folder that cannot be written
            // is caught by the save below, so the walk ends.
            std::string name = Format("Scenario_%04d", number);
            while (EntryExists(ToPortablePath(target + name))) {
                name = Format("Scenario_%04d", ++number);
            }
            GenerateIncursions(scenario.Incursions(), options.incursions, true);
            GenerateRadars(scenario.Radars(), options.radars, true);
            GenerateInterceptors(scenario.Interceptors(), options.interceptors, true);
            if (options.numberIds) {
                NumberGeneratedIds(scenario);
            }

            const CScenarioSaveResult saved =
                SaveScenarioAs(name, target + name + separator, scenario, nullptr);
            if (!saved.saved) {
                result.error =
                    "Cannot write the scenario " + saved.scenarioFile + ": " + saved.error;
                break;
            }
            if (!saved.skipped.empty()) {
                result.error = "Cannot write the scenario component " + saved.skipped.front();
                break;
            }
            result.scenarioFiles.push_back(saved.scenarioFile);
            if (progress != nullptr) {
                progress->SetText(
                    Format("Generating Scenario %s\n\n%s", name.c_str(), (target + name).c_str()));
                progress->SetPos(i + 1);
            }
        }
    });
    if (progress != nullptr) {
        progress->Close();
    }
    return result;
}

} // namespace halyx
