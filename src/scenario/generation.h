#pragma once

#include "scenario/incursion.h"
#include "scenario/interceptor.h"
#include "scenario/radar.h"
#include "scenario/unitlist.h"

#include <string>
#include <vector>

namespace halyx {

class CScenario;
class IProgress;

// Random units over the editable region, drawn from the program's one random source. Names are
// "Incursion %d", "Radar %d" and "Interceptor %d" with a counter from 0 that skips the names the
// list already holds, so a second call continues with the first free number. With clearFirst
// the list is emptied first (also for a count of 0). A count below 0 adds nothing.
void GenerateIncursions(CUnitList<CIncursion>& list, int count, bool clearFirst);
void GenerateRadars(CUnitList<CRadar>& list, int count, bool clearFirst);
void GenerateInterceptors(CUnitList<CInterceptor>& list, int count, bool clearFirst);

// Gives the units of each list the ID form of generated units with the time of day fixed at
// midnight and a running number in place of the random draw ("0000001", "0000002", ...): unique
// within a list and the same on every run.
void NumberGeneratedIds(CScenario& scenario);

// One batch of generated scenarios.
struct CBatchOptions {
    int scenarios = 10;
    int radars = 5;
    int interceptors = 5;
    int incursions = 5;
    std::string folder; // the target folder; a separator is added when it lacks one
    // Unit IDs numbered (see NumberGeneratedIds) instead of stamped with the time of day, so
    // that a batch drawn from a seeded random source is the same on every run.
    bool numberIds = false;
};

// The counts a batch accepts, as the "Auto Generate Scenarios" dialog offers them.
inline constexpr int kMaxBatchScenarios = 9999;
inline constexpr int kMaxBatchRadars = 100;
inline constexpr int kMaxBatchInterceptors = 500;
inline constexpr int kMaxBatchIncursions = 500;

// Why a batch of these counts is refused ("" when the counts are accepted).
std::string BatchCountsError(const CBatchOptions& options);

struct CBatchResult {
    std::vector<std::string> scenarioFiles; // the .hsf paths written, in generation order
    std::string error;                      // why the batch stopped early, when it did
    bool canceled = false;

    bool Complete() const { return error.empty() && !canceled; }
};

// Generates each scenario's units into scenario's lists (each kind emptied first: incursions,
// radars, interceptors) and saves the whole scenario as a set in the first free numbered folder
// "Scenario_%04d" of the target folder; everything that is not a unit is saved as it stands.
// Afterwards the lists hold the last scenario's units. A target folder that cannot be created or
// written ends the batch with an error; so do counts outside the accepted ranges.
CBatchResult GenerateScenarioBatch(CScenario& scenario, const CBatchOptions& options,
                                   IProgress* progress = nullptr);

} // namespace halyx
