#pragma once

#include "scenario/scenariopagemodel.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace halyx {

class CScenario;
class IProgress;

// How a save of a scenario set ended.
struct CScenarioSaveResult {
    bool saved = false;       // the scenario file was written (some components may be skipped)
    std::string scenarioFile; // its path: scenario location + name + ".hsf"
    std::string error;        // why the save stopped, when it did
    std::vector<std::string> skipped; // components whose file could not be created, one line each

    explicit operator bool() const { return saved; }
};

// How a load of a scenario set ended.
struct CScenarioLoadResult {
    // A set loads whole or not at all: ok only when every component read.
    bool ok = false;
    // Why nothing was loaded: the scenario file's trouble, or every component that could not
    // be read, each as "Radars: PATH: REASON", joined with "; ". Never empty when ok is false.
    std::string error;
    // Notes on a set that loaded; callers show them after the error.
    std::vector<std::string> problems;

    explicit operator bool() const { return ok; }
};

// Writes the scenario file and the component files named by fields: creates every folder along
// the scenario location and the component locations, writes the ".hsf" text, then the components
// in the order maps, incursions, interceptors, radars, impact lines, (plume lines: folder only),
// weather, terrain codes. Does nothing when a path field is empty. A component file that cannot
// be created is skipped; a scenario file that cannot be written, or a write that breaks off,
// stops the save. progress (optional) runs from 0 to 17.
CScenarioSaveResult SaveScenarioSet(const CScenarioFields& fields, const CScenario& scenario,
                                    IProgress* progress = nullptr);

// The fields of a set named name in folder (which ends with a separator): every component in its
// sub-folder of folder, file names from the name, empty notes.
CScenarioFields ScenarioFieldsFor(const std::string& name, const std::string& folder);

// Saves with ScenarioFieldsFor(name, folder).
CScenarioSaveResult SaveScenarioAs(const std::string& name, const std::string& folder,
                                   const CScenario& scenario, IProgress* progress = nullptr);

// Reads the scenario file at path into fields and its components into scenario. A component path
// that does not exist here (a set written on the other platform, or moved) is looked for beside
// the scenario file in the component's sub-folder, and the fields then name the place it was
// found. Every component is read before anything changes: a scenario file that cannot be read
// or ends early, or any component file that cannot be opened or does not read whole, leaves
// fields and scenario entirely unchanged, and the error names each such component and why.
// progress (optional) runs from 0 to 9.
CScenarioLoadResult LoadScenarioSet(const std::string& path, CScenarioFields& fields,
                                    CScenario& scenario, IProgress* progress = nullptr);

// A set read from its files but not yet put in place: reading touches no scenario, so it can run
// on a worker thread while the window goes on. result.ok tells whether every part read.
struct CStagedScenarioComponents;
struct CStagedScenarioSet {
    CScenarioLoadResult result;
    CScenarioFields fields;
    std::shared_ptr<CStagedScenarioComponents> components;
};

// The reading half of LoadScenarioSet (any thread).
CStagedScenarioSet StageScenarioSet(const std::string& path, IProgress* progress = nullptr);
// The other half: a set that read whole replaces fields and scenario; one that did not leaves
// both unchanged. Answers the load's result.
CScenarioLoadResult CommitScenarioSet(CStagedScenarioSet& staged, CScenarioFields& fields,
                                      CScenario& scenario);

// Copies everything a set's files hold (units, weather, map addresses, impact lines, terrain)
// from one scenario into another, so that a save or a batch on a worker thread works on its own
// copy while the window may change the original.
void CopyScenarioSet(const CScenario& from, CScenario& to);

// The ".hsf" text: the scenario file's path, the notes between their marker lines, and the eight
// component paths in component order; every line ends with "\n".
std::string ScenarioFileText(const CScenarioFields& fields);
// Reads that text (either line end, either separator). False with a reason when it ends before
// its last component line; fields is then unchanged.
bool ReadScenarioFileText(std::string_view text, CScenarioFields& fields, std::string& error);

inline constexpr const char* kNotesBegin = "----BEGIN NOTES----";
inline constexpr const char* kNotesEnd = "----END NOTES----";

} // namespace halyx
