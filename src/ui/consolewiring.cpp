#include "ui/consolewiring.h"

#include "agent/halyxcommand.h"
#include "common/format.h"
#include "record/logloader.h"
#include "scenario/defaultscenario.h"
#include "scenario/scenario.h"
#include "scenario/scenarioxml.h"

namespace halyx {

void LoadStartScenario(CScenario& scenario) {
    scenario.Weather().SetSeason(0);
    scenario.Weather().Generate(CWeatherMap::kCellsPerLayer, 0.3, 4.0);
    LoadDefaultScenario(scenario);
}

InitPageScenario MakeInitPageScenario(CScenario& scenario, CHalyxCommand& agent,
                                      std::function<void(const std::string&)> report) {
    auto say = [report](const std::string& line) {
        if (report) {
            report(line);
        }
    };
    return InitPageScenario{
        .missingComponents = [&scenario] { return CInitPage::MissingComponents(scenario); },
        .scenarioXml = [&scenario] { return ScenarioXml(scenario); },
        .loadExperiment =
            [&scenario, &agent, say](const std::string& path, std::string& message) {
                CLogLoader loader(
                    {.readScenario =
                         [&scenario, say](const pugi::xml_node& node, std::string&) {
                             CScenarioXmlResult read{};
                             scenario.ReplaceAll([&] { read = ReadScenarioXml(node, scenario); });
                             for (const std::string& problem : read.problems) {
                                 say("SCENARIO " + problem);
                             }
                             return true;
                         },
                     .loadTeam =
                         [&agent](const std::vector<std::string>& names) { agent.LoadTeam(names); },
                     .events = &agent.Events()});
                LogLoadResult result = loader.Load(path);
                message = result.message;
                if (!result && !result.detail.empty()) {
                    say("DETAIL " + result.detail);
                }
                if (result) {
                    say(Format("LOADED %s: %d stations, %d recorded commands", path.c_str(),
                               static_cast<int>(agent.Team().size()),
                               static_cast<int>(agent.Events().Count())));
                }
                return static_cast<bool>(result);
            },
    };
}

} // namespace halyx
