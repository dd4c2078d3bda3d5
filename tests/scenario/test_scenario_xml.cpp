// The scenario's XML form, as the experiment log embeds it and the log loader reads it back.
#include "common/random.h"
#include "scenario/defaultscenario.h"
#include "scenario/scenario.h"
#include "scenario/scenarioxml.h"

#include <gtest/gtest.h>

namespace halyx {
namespace {

pugi::xml_node ParseScenario(pugi::xml_document& document, const std::string& text) {
    const pugi::xml_parse_result parsed = document.load_string(text.c_str());
    EXPECT_TRUE(parsed) << parsed.description() << " at " << parsed.offset;
    return document.first_child();
}

TEST(ScenarioXml, EmptyScenarioStillHoldsEveryPartInOrder) {
    CScenario scenario;
    const std::string xml = ScenarioXml(scenario);
    EXPECT_EQ(xml.rfind("<Scenario>\n<Interceptors>\n</Interceptors><Incursions></Incursions>"
                        "<Radars></Radars><ImpactLines>\n<NLine>\n</NLine>\n<SLine>\n</SLine>\n"
                        "</ImpactLines><Trajectory>\n</Trajectory><WeatherMap>\n",
                        0),
              0u)
        << xml.substr(0, 300);
    EXPECT_NE(xml.find("</WeatherMap><Maps>\n<MapAlpha URL=\"\"/>"), std::string::npos);
    const std::string end = "<GlobalMap URL=\"\"/>\n</Maps></Scenario>";
    EXPECT_EQ(xml.substr(xml.size() - end.size()), end);
}

TEST(ScenarioXml, ReadsBackIntoAnotherScenario) {
    SeedRandom(5);
    CScenario original;
    LoadDefaultScenario(original, "/maps/");
    original.Weather().Generate(1600, 0.3, 4.0);
    const std::string xml = ScenarioXml(original);

    pugi::xml_document document;
    CScenario read;
    // As at start-up, the grid exists before a scenario is read into it; the XML names cells.
    read.Weather().Generate(1600, 0.3, 4.0);
    read.Geography().SetMapURL(0, "kept");
    const CScenarioXmlResult result = ReadScenarioXml(ParseScenario(document, xml), read);
    EXPECT_EQ(result.parts, 7);
    EXPECT_TRUE(result.problems.empty());
    EXPECT_EQ(read.Incursions().Count(), 9);
    EXPECT_EQ(read.Radars().Count(), 12);
    EXPECT_EQ(read.Interceptors().Count(), 14);
    EXPECT_EQ(read.Geography().GetImpactLines(), original.Geography().GetImpactLines());
    EXPECT_EQ(read.Geography().GetTrajectory(), original.Geography().GetTrajectory());
    // The addresses come back only from a set's map file, never from the XML.
    EXPECT_EQ(read.Geography().GetMapURL(0), "kept");
    // Radar Life and Owner, interceptor ranges and scope are not part of the XML form, and the
    // map addresses are not read, so compare the XML of what was read with the original's.
    read.Geography().SetMapURLs(original.Geography().GetMapURLs());
    EXPECT_EQ(ScenarioXml(read), xml);
}

TEST(ScenarioXml, PrefixedNamesUnknownPartsAndBadLinesAreHandled) {
    const std::string xml =
        "<h:Scenario xmlns:h=\"urn:halyx\"><h:Radars><Radar Name=\"R\" ID=\"1\" Lat=\"2\" "
        "Lng=\"3\" Range=\"4\"/></h:Radars><Plumes/>"
        "<ImpactLines><NLine><Point Lat=\"1\"/></NLine></ImpactLines>"
        "<Trajectory><Point Lat=\"5\" Lng=\"6\"/></Trajectory></h:Scenario>";
    pugi::xml_document document;
    CScenario read;
    CImpactLines lines;
    lines.AddNLinePoint(9, 9);
    read.Geography().SetImpactLines(lines);
    const CScenarioXmlResult result = ReadScenarioXml(ParseScenario(document, xml), read);
    EXPECT_EQ(result.parts, 3);
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_EQ(read.Radars().Count(), 1);
    EXPECT_EQ(read.Geography().GetImpactLines(), lines);
    EXPECT_EQ(read.Geography().GetTrajectory().GetTrajectoryCt(), 1);
}

} // namespace
} // namespace halyx
