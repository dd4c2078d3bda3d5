#include "scenario/incursion.h"
#include "scenario/interceptor.h"
#include "scenario/radar.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

using namespace halyx;

namespace {

pugi::xml_node Parse(pugi::xml_document& doc, const std::string& text) {
    const pugi::xml_parse_result result = doc.load_string(text.c_str());
    EXPECT_TRUE(result) << result.description() << " in " << text;
    return doc.first_child();
}

} // namespace

TEST(UnitXmlForms, ElementsAndListsAreExact) {
    CUnitList<CIncursion> incursions;
    incursions.Add(CIncursion("B", "1", "2", "3", "4", "5", "-"));
    EXPECT_EQ(IncursionsToXml(incursions),
              "<Incursions><Incursion Name=\"B\" ID=\"1\" Lat=\"2\" Lng=\"3\" Speed=\"4\" "
              "Heading=\"5\" Time=\"-\"/>\n</Incursions>");

    CUnitList<CRadar> radars;
    EXPECT_EQ(RadarsToXml(radars), "<Radars></Radars>");
    radars.Add(CRadar("R", "9", "1", "2", "50", "life", "owner"));
    EXPECT_EQ(RadarsToXml(radars),
              "<Radars><Radar Name=\"R\" ID=\"9\" Lat=\"1\" Lng=\"2\" Range=\"50\"/>\n</Radars>");

    CUnitList<CInterceptor> interceptors;
    EXPECT_EQ(InterceptorsToXml(interceptors), "<Interceptors>\n</Interceptors>");
    interceptors.Add(CInterceptor("I", "7", 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, "s"));
    EXPECT_EQ(InterceptorsToXml(interceptors),
              "<Interceptors>\n<Interceptor Name=\"I\" ID=\"7\" Speed=\"3.000000\" "
              "Heading=\"4.000000\" Lat=\"1.000000\" Lng=\"2.000000\"/>\n</Interceptors>");
}

TEST(UnitXmlForms, NamesWithMarkupStayReadable) {
    CUnitList<CIncursion> list;
    list.Add(CIncursion("a\"<b>&'c", "1", "2", "3", "4", "5", "6"));
    const std::string xml = IncursionsToXml(list);
    pugi::xml_document doc;
    CUnitList<CIncursion> back;
    ReadIncursionsXml(Parse(doc, xml), back);
    ASSERT_EQ(back.Count(), 1);
    EXPECT_EQ(back.At(0), list.At(0));
}

TEST(UnitXmlReaders, InterceptorKeepsWhatItsElementHolds) {
    CUnitList<CInterceptor> list;
    list.Add(CInterceptor("I", "7", 1.25, 2.5, 300.0, 45.0, 5.0, 6.0, "scope"));
    pugi::xml_document doc;
    CUnitList<CInterceptor> back;
    const UnitXmlResult result = ReadInterceptorsXml(Parse(doc, InterceptorsToXml(list)), back);
    EXPECT_EQ(result.units, 1);
    EXPECT_EQ(result.incomplete, 0);
    ASSERT_EQ(back.Count(), 1);
    const CInterceptor& i = back.At(0);
    EXPECT_EQ(i.GetName(), "I");
    EXPECT_EQ(i.GetId(), "7");
    EXPECT_EQ(i.GetLat(), 1.25);
    EXPECT_EQ(i.GetLng(), 2.5);
    EXPECT_EQ(i.GetSpeed(), 300.0);
    EXPECT_EQ(i.GetHeading(), 45.0);
    EXPECT_EQ(i.GetRange(), 0.0);
    EXPECT_EQ(i.GetMinRange(), 0.0);
    EXPECT_EQ(i.GetScope(), "");
}

TEST(UnitXmlReaders, RadarComesBackWithoutLifeAndOwner) {
    pugi::xml_document doc;
    CUnitList<CRadar> list;
    list.Add(CRadar("old", "0", "", "", "", "", ""));
    ReadRadarsXml(Parse(doc, "<Radars><Radar Name=\"R\" ID=\"9\" Lat=\"1\" Lng=\"2\" "
                             "Range=\"50\"/>\n</Radars>"),
                  list);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.At(0), CRadar("R", "9", "1", "2", "50", "", ""));
}

TEST(UnitXmlReaders, ElementWithMissingAttributeIsKeptAndCounted) {
    pugi::xml_document doc;
    CUnitList<CIncursion> list;
    const UnitXmlResult result = ReadIncursionsXml(
        Parse(doc, "<Incursions><Incursion Name=\"A\" ID=\"1\"/><!-- note -->"
                   "<Incursion Name=\"B\" ID=\"2\" Lat=\"1\" Lng=\"2\" Speed=\"3\" "
                   "Heading=\"4\" Time=\"5\"/></Incursions>"),
        list);
    EXPECT_EQ(result.units, 2);
    EXPECT_EQ(result.incomplete, 1);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.At(0), CIncursion("A", "1", "", "", "", "", ""));
    EXPECT_EQ(list.At(1).GetTime(), "5");
}
