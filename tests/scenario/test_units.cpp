// The three unit kinds in memory: number texts, an incursion's course, the radar rim, the unit
// list and its observers, unit ids, and the XML forms the log embeds and reads back.
#include "common/random.h"
#include "scenario/incursion.h"
#include "scenario/interceptor.h"
#include "scenario/radar.h"
#include "scenario/unitid.h"
#include "scenario/unitlist.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <regex>
#include <set>

using namespace halyx;

namespace {

pugi::xml_node Parse(pugi::xml_document& doc, const std::string& text) {
    const pugi::xml_parse_result result = doc.load_string(text.c_str());
    EXPECT_TRUE(result) << result.description() << " in " << text;
    return doc.first_child();
}

} // namespace

TEST(UnitNumberTexts, SettersWriteTheirFormatsAndJunkReadsAsZero) {
    CIncursion incursion;
    incursion.SetLatValue(12.34567);
    incursion.SetTimeValue(7);
    EXPECT_EQ(incursion.GetLat(), "12.346");
    EXPECT_EQ(incursion.GetTime(), "7");
    CRadar radar;
    radar.SetRangeValue(50);
    EXPECT_EQ(radar.GetRange(), "50.000");
    CInterceptor interceptor("I", "1", "1.5", "2", "300", "90", "-", "abc", "-");
    EXPECT_EQ(interceptor.GetLatText(), "1.500000");
    EXPECT_EQ(interceptor.GetRangeText(), "0.000000");
    EXPECT_EQ(interceptor.GetMinRangeText(), "0.000000");
    EXPECT_EQ(interceptor.GetHeadingText(), "90.000000");
    interceptor.SetSpeedText("  42.5knots");
    EXPECT_EQ(interceptor.GetSpeed(), 42.5);

    // Text that is not a number reads as zero; a leading number is taken.
    const CIncursion odd("n", "1", "", "abc", " -2.5e1x", "+.5", "-");
    EXPECT_EQ(odd.GetLatValue(), 0.0);
    EXPECT_EQ(odd.GetLngValue(), 0.0);
    EXPECT_EQ(odd.GetSpeedValue(), -25.0);
    EXPECT_EQ(odd.GetHeadingValue(), 0.5);
}

TEST(IncursionCourse, StartsAtItsStartPointAtItsStartMinuteAndDriftsAtNinety) {
    auto [lat, lng] = CIncursion("a", "1", "100", "200", "60", "45", "-").GetPositionAt(0.0);
    EXPECT_DOUBLE_EQ(lat, 100.0);
    EXPECT_DOUBLE_EQ(lng, 200.0);
    const CIncursion late("b", "2", "100", "200", "60", "45", "120");
    std::tie(lat, lng) = late.GetPositionAt(2.0);
    EXPECT_DOUBLE_EQ(lat, 100.0);
    EXPECT_DOUBLE_EQ(lng, 200.0);
    // An hour before its start it lies behind the start point.
    std::tie(lat, lng) = late.GetPositionAt(1.0);
    EXPECT_LT(lat, 100.0);
    EXPECT_LT(lng, 200.0);
    // Heading 90 drifts slightly off the axis because the course is worked in sevenths.
    std::tie(lat, lng) = CIncursion("e", "1", "0", "0", "100", "90", "-").GetPositionAt(1.0);
    EXPECT_NEAR(lat, 99.99998, 1e-5);
    EXPECT_NEAR(lng, -0.0632, 1e-4);
}

TEST(RadarRim, AcceptsPointsWithinSixOfTheCircle) {
    const CRadar radar("r", "1", "100", "100", "50", "", "");
    for (double lat : {150.0, 155.9, 144.5}) {
        EXPECT_TRUE(radar.IsNearRangeEdge(lat, 100)) << lat;
    }
    EXPECT_FALSE(radar.IsNearRangeEdge(156, 100)); // exactly 6 away
    EXPECT_FALSE(radar.IsNearRangeEdge(100, 100));
}

TEST(UnitList, KeepsInsertionOrderMatchesByIdAndTellsObservers) {
    CUnitList<CRadar> list;
    std::vector<std::pair<UnitListChange, int>> seen;
    const int token = list.Subscribe([&](UnitListChange c, int i) { seen.emplace_back(c, i); });
    list.Add(CRadar("a", "1", "", "", "", "", ""));
    list.Add(CRadar("b", "2", "", "", "", "", ""));
    list.Add(CRadar("c", "3", "", "", "", "", ""));
    EXPECT_TRUE(list.NameExists("b"));
    EXPECT_FALSE(list.NameExists("B"));
    ASSERT_NE(list.FindById("3"), nullptr);
    EXPECT_EQ(list.FindById("3")->GetName(), "c");
    EXPECT_EQ(list.FindById("4"), nullptr);
    EXPECT_TRUE(list.RemoveById("2"));
    EXPECT_FALSE(list.RemoveById("2"));
    std::string names;
    for (const CRadar& radar : list) {
        names += radar.GetName();
    }
    EXPECT_EQ(names, "ac");
    list.NotifyChanged(0);
    list.RemoveAll();
    EXPECT_EQ(list.Count(), 0);
    list.Unsubscribe(token);
    list.Add(CRadar("d", "4", "", "", "", "", ""));
    using C = UnitListChange;
    EXPECT_EQ(seen, (std::vector<std::pair<C, int>>{{C::Added, 0},
                                                    {C::Added, 1},
                                                    {C::Added, 2},
                                                    {C::Removed, 1},
                                                    {C::Changed, 0},
                                                    {C::Reset, -1}}));
}

TEST(UnitIds, TimeOfDayThenZeroThenRandomValueAndNeverAnIdTaken) {
    // 12:30:05.789 UTC (the tests run with TZ=UTC); the milliseconds never show.
    const int64_t tsid = ((12 * 3600 + 30 * 60 + 5) * 1000LL) + 789;
    EXPECT_EQ(MakeUnitIdAt(tsid, 4711), "12300504711");
    EXPECT_EQ(MakeUnitIdAt(tsid - 12 * 3600 * 1000LL, 0), "00300500");
    SeedRandom(3);
    EXPECT_TRUE(std::regex_match(MakeUnitId(), std::regex("[0-9]{6}0[0-9]{1,5}")));

    SeedRandom(1);
    const int first = NextRandom();
    SeedRandom(1);
    const std::string clash = MakeUnitId();
    EXPECT_EQ(clash.substr(7), std::to_string(first));
    SeedRandom(1); // the same draw again: the first candidate is taken
    EXPECT_NE(MakeUnitId([&](std::string_view candidate) { return candidate == clash; }), clash);

    CUnitList<CRadar> radars;
    std::set<std::string> ids;
    for (int i = 0; i < 300; ++i) {
        radars.Add(CRadar("r", radars.NewId(), "", "", "", "", ""));
        ids.insert(radars.At(i).GetId());
    }
    EXPECT_EQ(ids.size(), 300u);
}

TEST(UnitXml, ElementsAndListsAreExact) {
    CUnitList<CIncursion> incursions;
    incursions.Add(CIncursion("B", "1", "2", "3", "4", "5", "-"));
    EXPECT_EQ(IncursionsToXml(incursions),
              "<Incursions><Incursion Name=\"B\" ID=\"1\" Lat=\"2\" Lng=\"3\" Speed=\"4\" "
              "Heading=\"5\" Time=\"-\"/>\n</Incursions>");
    CUnitList<CRadar> radars;
    radars.Add(CRadar("R", "9", "1", "2", "50", "life", "owner"));
    EXPECT_EQ(RadarsToXml(radars),
              "<Radars><Radar Name=\"R\" ID=\"9\" Lat=\"1\" Lng=\"2\" Range=\"50\"/>\n</Radars>");
    CUnitList<CInterceptor> interceptors;
    interceptors.Add(CInterceptor("I", "7", 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, "s"));
    EXPECT_EQ(InterceptorsToXml(interceptors),
              "<Interceptors>\n<Interceptor Name=\"I\" ID=\"7\" Speed=\"3.000000\" "
              "Heading=\"4.000000\" Lat=\"1.000000\" Lng=\"2.000000\"/>\n</Interceptors>");
}

TEST(UnitXml, ReadersKeepWhatTheElementHoldsAndCountIncompleteOnes) {
    // Names with markup survive the round trip.
    CUnitList<CIncursion> marked;
    marked.Add(CIncursion("a\"<b>&'c", "1", "2", "3", "4", "5", "6"));
    pugi::xml_document doc;
    CUnitList<CIncursion> back;
    ReadIncursionsXml(Parse(doc, IncursionsToXml(marked)), back);
    ASSERT_EQ(back.Count(), 1);
    EXPECT_EQ(back.At(0), marked.At(0));

    // Interceptor ranges and scope, radar Life and Owner are not in the XML: they come back empty.
    CUnitList<CInterceptor> interceptors;
    interceptors.Add(CInterceptor("I", "7", 1.25, 2.5, 300.0, 45.0, 5.0, 6.0, "scope"));
    CUnitList<CInterceptor> interceptorsBack;
    UnitXmlResult result =
        ReadInterceptorsXml(Parse(doc, InterceptorsToXml(interceptors)), interceptorsBack);
    EXPECT_EQ(result.units, 1);
    EXPECT_EQ(result.incomplete, 0);
    ASSERT_EQ(interceptorsBack.Count(), 1);
    EXPECT_EQ(interceptorsBack.At(0), CInterceptor("I", "7", 1.25, 2.5, 300.0, 45.0, 0, 0, ""));
    CUnitList<CRadar> radars;
    radars.Add(CRadar("old", "0", "", "", "", "", ""));
    ReadRadarsXml(Parse(doc, "<Radars><Radar Name=\"R\" ID=\"9\" Lat=\"1\" Lng=\"2\" "
                             "Range=\"50\"/>\n</Radars>"),
                  radars);
    ASSERT_EQ(radars.Count(), 1);
    EXPECT_EQ(radars.At(0), CRadar("R", "9", "1", "2", "50", "", ""));

    // An element missing attributes is kept and counted; comments are skipped.
    CUnitList<CIncursion> list;
    result = ReadIncursionsXml(
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
