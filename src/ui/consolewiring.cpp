#include "ui/consolewiring.h"

#include "agent/halyxcommand.h"
#include "common/format.h"
#include "record/logloader.h"
#include "scenario/defaultscenario.h"
#include "scenario/scenario.h"
#include "scenario/scenarioxml.h"

#include <memory>
#include <pugixml.hpp>
#include <sstream>

namespace halyx {

void LoadStartScenario(CScenario& scenario) {
    scenario.Weather().SetSeason(0);
    scenario.Weather().Generate(CWeatherMap::kCellsPerLayer, 0.3, 4.0);
    LoadDefaultScenario(scenario);
}

StagedExperiment ReadExperiment(const std::string& path, IProgress* progress) {
    StagedExperiment staged;
    CLogLoader loader(
        {.readScenario =
             [&staged](const pugi::xml_node& node, std::string&) {
                 // Kept as text: the scenario the window shows is replaced on the window's
                 // thread, from this copy.
                 std::ostringstream text;
                 node.print(text, "", pugi::format_raw);
                 staged.scenarioXml = std::move(text).str();
                 return true;
             },
         .loadTeam = [&staged](const std::vector<std::string>& names) { staged.team = names; },
         .events = &staged.events,
         .progress = progress});
    staged.result = loader.Load(path);
    return staged;
}

namespace {

// Only a log read whole replaces the scenario, the team and the playback events.
bool PutInPlace(StagedExperiment& staged, const std::string& path, CScenario& scenario,
                CHalyxCommand& agent, const std::function<void(const std::string&)>& say,
                std::string& message) {
    const LogLoadResult& result = staged.result;
    message = result.message;
    if (!result) {
        if (!result.detail.empty() && result.status != LogLoadStatus::Canceled) {
            say("DETAIL " + result.detail);
        }
        return false;
    }
    pugi::xml_document doc;
    doc.load_buffer(staged.scenarioXml.data(), staged.scenarioXml.size(),
                    pugi::parse_default | pugi::parse_ws_pcdata_single, pugi::encoding_utf8);
    CScenarioXmlResult scenarioRead{};
    scenario.ReplaceAll([&] { scenarioRead = ReadScenarioXml(doc.document_element(), scenario); });
    for (const std::string& problem : scenarioRead.problems) {
        say("SCENARIO " + problem);
    }
    agent.LoadTeam(staged.team);
    agent.Events() = std::move(staged.events);
    say(Format("LOADED %s: %d stations, %d recorded commands", path.c_str(),
               static_cast<int>(agent.Team().size()), static_cast<int>(agent.Events().Count())));
    return true;
}

} // namespace

InitPageScenario MakeInitPageScenario(CScenario& scenario, CHalyxCommand& agent,
                                      std::function<void(const std::string&)> report,
                                      ExperimentReader read) {
    auto say = [report](const std::string& line) {
        if (report) {
            report(line);
        }
    };
    if (!read) {
        read = [](const std::string& path, const std::function<void(StagedExperiment)>& done) {
            done(ReadExperiment(path));
        };
    }
    return InitPageScenario{
        .missingComponents = [&scenario] { return CInitPage::MissingComponents(scenario); },
        .scenarioXml = [&scenario] { return ScenarioXml(scenario); },
        .unitProblems = [&scenario] { return CInitPage::UnitProblems(scenario); },
        .loadExperiment =
            [&scenario, &agent, say,
             read](const std::string& path,
                   std::function<void(const InitPageScenario::ExperimentCommit&)> apply) {
                read(path, [&scenario, &agent, say, path,
                            apply = std::move(apply)](StagedExperiment experiment) {
                    auto staged = std::make_shared<StagedExperiment>(std::move(experiment));
                    apply([&scenario, &agent, say, path, staged](std::string& message) {
                        return PutInPlace(*staged, path, scenario, agent, say, message);
                    });
                });
            },
    };
}

} // namespace halyx
