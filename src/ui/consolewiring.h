#pragma once

// What the headless console and the desktop window set up alike: the scenario a session starts
// with, and how the simulation control page reaches the scenario and loads a recorded
// experiment into the scenario, the agent's team and its playback events.

#include "ui/initpage.h"

#include <functional>
#include <string>

namespace halyx {

class CHalyxCommand;
class CScenario;

// The default scenario of a fresh start, with a generated weather grid so that the stations'
// weather queries have answers.
void LoadStartScenario(CScenario& scenario);

// The page's view of the scenario. report gets one line for each scenario problem met while
// loading a log, the loader's detail on failure, and a "LOADED ..." summary on success.
InitPageScenario MakeInitPageScenario(CScenario& scenario, CHalyxCommand& agent,
                                      std::function<void(const std::string&)> report);

} // namespace halyx
