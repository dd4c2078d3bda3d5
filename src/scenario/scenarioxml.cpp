#include "scenario/scenarioxml.h"

#include "common/format.h"
#include "scenario/scenario.h"

#include <cstring>

namespace halyx {

std::string_view LocalNameOf(const pugi::xml_node& node) {
    const std::string_view name = node.name();
    const size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string_view CPugiXmlElement::LocalName() const {
    return LocalNameOf(m_node);
}

std::optional<std::string_view> CPugiXmlElement::Attribute(std::string_view name) const {
    for (const pugi::xml_attribute& attribute : m_node.attributes()) {
        if (name == attribute.name()) {
            return std::string_view(attribute.value());
        }
    }
    return std::nullopt;
}

void CPugiXmlElement::ForEachChild(const std::function<void(const IXmlElement&)>& visit) const {
    for (const pugi::xml_node& child : m_node.children()) {
        if (child.type() == pugi::node_element) {
            visit(CPugiXmlElement(child));
        }
    }
}

std::string ScenarioXml(const CScenario& scenario, IProgress* progress) {
    std::string out = "<Scenario>\n";
    out += InterceptorsToXml(scenario.Interceptors());
    out += IncursionsToXml(scenario.Incursions());
    out += RadarsToXml(scenario.Radars());
    out += scenario.Geography().GetImpactLines().ToXML();
    out += scenario.Geography().GetTrajectory().ToXML();
    out += scenario.Weather().ToXml(progress);
    out += scenario.Geography().MapsXML();
    out += "</Scenario>";
    return out;
}

CScenarioXmlResult ReadScenarioXml(const pugi::xml_node& scenarioElement, CScenario& scenario) {
    CScenarioXmlResult result;
    auto noteUnits = [&](const char* what, const UnitXmlResult& units) {
        ++result.parts;
        if (units.incomplete > 0) {
            result.problems.push_back(
                Format("%d of %d %s lacked an attribute", units.incomplete, units.units, what));
        }
    };
    for (const pugi::xml_node& child : scenarioElement.children()) {
        if (child.type() != pugi::node_element) {
            continue;
        }
        const std::string_view name = LocalNameOf(child);
        if (name == "Interceptors") {
            noteUnits("interceptors", ReadInterceptorsXml(child, scenario.Interceptors()));
        } else if (name == "Incursions") {
            noteUnits("incursions", ReadIncursionsXml(child, scenario.Incursions()));
        } else if (name == "Radars") {
            noteUnits("radars", ReadRadarsXml(child, scenario.Radars()));
        } else if (name == "ImpactLines") {
            ++result.parts;
            if (!scenario.Geography().ImpactLinesFromXML(CPugiXmlElement(child))) {
                result.problems.emplace_back("the impact lines hold a point without Lat or Lng");
            }
        } else if (name == "Trajectory") {
            ++result.parts;
            if (!scenario.Geography().TrajectoryFromXML(CPugiXmlElement(child))) {
                result.problems.emplace_back("the trajectory holds a point without Lat or Lng");
            }
        } else if (name == "WeatherMap") {
            ++result.parts;
            scenario.Weather().ReadXml(child);
        } else if (name == "Maps") {
            ++result.parts;
        }
    }
    return result;
}

} // namespace halyx
