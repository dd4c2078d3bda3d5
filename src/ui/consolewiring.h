#pragma once

// What the headless console and the desktop window set up alike: the scenario a session starts
// with, and how the simulation control page reaches the scenario and loads a recorded
// experiment into the scenario, the agent's team and its playback events.

#include "record/logloader.h"
#include "record/simeventstore.h"
#include "ui/initpage.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace halyx {

class CHalyxCommand;
class CScenario;
class IProgress;

// A recorded experiment read from its log but not yet handed to anybody: reading touches
// nothing the window shows, so it can run on a worker thread while the window goes on.
struct StagedExperiment {
    LogLoadResult result;
    std::string scenarioXml; // the log's Scenario element
    std::vector<std::string> team;
    CSimEventStore events;
};

// Reads the log at path (any thread). progress, when given, follows the reading and may stop it.
StagedExperiment ReadExperiment(const std::string& path, IProgress* progress = nullptr);

// How the page has a log read: done gets what was read, on the page's thread; it is not called
// when the user stopped the reading.
using ExperimentReader =
    std::function<void(const std::string& path, std::function<void(StagedExperiment)> done)>;

// The default scenario of a fresh start, with a generated weather grid so that the stations'
// weather queries have answers.
void LoadStartScenario(CScenario& scenario);

// The page's view of the scenario. report gets one line for each scenario problem met while
// loading a log, the loader's detail on failure, and a "LOADED ..." summary on success. A log is
// read with read (ReadExperiment on the calling thread when none is given) and only a log read
// whole replaces the scenario, the team and the playback events: a failed or stopped load
// leaves them as they were.
InitPageScenario MakeInitPageScenario(CScenario& scenario, CHalyxCommand& agent,
                                      std::function<void(const std::string&)> report,
                                      ExperimentReader read = {});

} // namespace halyx
