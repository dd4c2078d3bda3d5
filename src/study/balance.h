#pragma once

#include "scenario/generation.h"
#include "study/metrics.h"

#include <optional>
#include <string>
#include <vector>

namespace halyx {

class CScenario;

// A batch of generated scenarios whose balanced metrics (BalancedMetrics) lie within a relative
// tolerance of the batch's targets.
struct CBalanceOptions {
    CBatchOptions batch;    // counts and the target folder, as for an ordinary batch
    double tolerance = 0.1; // |value - target| <= tolerance x max(|target|, 1)
    unsigned int seed = 0;  // the random source is seeded with it before anything is drawn
    // The targets; without them the first scenario generated sets them (and is kept).
    std::optional<CScenarioMetrics> target;
    std::string targetName; // where the targets came from, for generation.txt ("" = first)
    // Candidates drawn per scenario asked for before the batch gives up.
    int attemptsPerScenario = 1000;
};

struct CBalanceResult {
    std::vector<std::string> scenarioFiles; // the .hsf paths written, in order
    std::string error;                      // why the batch stopped short, when it did
    int attempts = 0;                       // candidates drawn

    bool Complete() const { return error.empty(); }
};

// Whether every balanced metric of value lies within tolerance of target's; an absent target
// value asks for an absent value and the other way round.
bool WithinTolerance(const CScenarioMetrics& value, const CScenarioMetrics& target,
                     double tolerance);

// Seeds the random source, generates the weather grid with the page's defaults, then draws
// candidate unit sets (as GenerateScenarioBatch does) into scenario until options.batch.scenarios
// are within tolerance, saving each kept one in the next free "Scenario_%04d" folder with a
// generation.txt beside its set (seed, parameters, the candidate's number, its metrics and the
// targets). Unit IDs are numbered rather than stamped with the time of day, so that the same seed
// and options give the same files byte for byte. Gives up with an error after
// attemptsPerScenario x scenarios candidates.
CBalanceResult GenerateBalancedBatch(CScenario& scenario, const CBalanceOptions& options);

} // namespace halyx
