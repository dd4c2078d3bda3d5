#pragma once

#include "external/maplib/xmlelement.h"

#include <pugixml.hpp>

#include <string>
#include <vector>

namespace halyx {

class CScenario;
class IProgress;

// A parsed pugixml element seen through the map library's element interface.
class CPugiXmlElement final : public IXmlElement {
public:
    explicit CPugiXmlElement(pugi::xml_node node) : m_node(node) {}
    std::string_view LocalName() const override;
    std::optional<std::string_view> Attribute(std::string_view name) const override;
    void ForEachChild(const std::function<void(const IXmlElement&)>& visit) const override;

private:
    pugi::xml_node m_node;
};

// An element's name without its namespace prefix.
std::string_view LocalNameOf(const pugi::xml_node& node);

// "<Scenario>\n", the interceptors, incursions and radars lists, the impact lines, the
// trajectory, the weather grid and the map addresses, with nothing between them, then
// "</Scenario>". progress (optional) follows the weather grid, the long part.
std::string ScenarioXml(const CScenario& scenario, IProgress* progress = nullptr);

// What reading a scenario element met.
struct CScenarioXmlResult {
    int parts = 0;                     // child elements that were read
    std::vector<std::string> problems; // one line per part that did not read completely
};

// Reads each child of a "Scenario" element into its part, by local name: Interceptors,
// Incursions and Radars replace the lists, ImpactLines and Trajectory replace the lines when the
// element reads, WeatherMap sets the cells it names; Maps sets nothing (the addresses come back
// only from a set's map file) and other elements are skipped.
CScenarioXmlResult ReadScenarioXml(const pugi::xml_node& scenarioElement, CScenario& scenario);

} // namespace halyx
