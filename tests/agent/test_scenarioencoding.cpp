// What the stations are told about the scenario and the team: unit lists, positions, locations.
#include "agent/scenarioencoding.h"

#include "external/kqml/parser.h"
#include "scenario/incursion.h"
#include "scenario/interceptor.h"
#include "scenario/radar.h"

#include <gtest/gtest.h>

using namespace halyx;

TEST(TeamPositions, PositionWordsPickMapsAndOthersCountModFour) {
    EXPECT_EQ(InitSimMapIndices({"Alpha Station", "Bravo Station", "Observer"}),
              (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(InitSimMapIndices({"a", "b", "c", "d", "e"}), (std::vector<int>{0, 1, 2, 3, 0}));
    EXPECT_EQ(InitSimMapIndices({"Observer", "x", "charlie-2", "ALPHA"}),
              (std::vector<int>{0, 1, 2, 0}));
}

TEST(TeamPositions, LaterMemberWithTheSameWordWins) {
    // Only "alpha 2" counts as ALPHA; "alpha 1" falls back to 0 mod 4, which is also 0.
    EXPECT_EQ(InitSimMapIndices({"alpha 1", "alpha 2"}), (std::vector<int>{0, 0}));
    EXPECT_EQ(InitSimMapIndices({"x", "bravo", "BRAVO2"}), (std::vector<int>{0, 1, 1}));
}

TEST(TeamPositions, WordsAreSearchedAlphaFirst) {
    EXPECT_EQ(PositionOf("charlie-alpha"), TeamPosition::Alpha);
    EXPECT_EQ(PositionOf("xBrAvOx"), TeamPosition::Bravo);
    EXPECT_EQ(PositionOf("observer"), TeamPosition::None);
    EXPECT_EQ(StationLocationText("ALPHA"), "tell :lat 564 :lon 325");
    EXPECT_EQ(StationLocationText("my bravo"), "tell :lat 267 :lon 384");
    EXPECT_EQ(StationLocationText("Charlie"), "tell :lat 184 :lon 472");
    EXPECT_EQ(StationLocationText("Delta"), "none");
}

TEST(TeamText, StartSimListsTheTeamInOrder) {
    EXPECT_EQ(StartSimTeamText({"ALPHA", "BRAVO"}),
              "tell :command start_sim :clock 1 :scenario (none) :team (tell :number 2 :client0 "
              "ALPHA :client1 BRAVO) ");
    EXPECT_EQ(StartSimTeamText({}),
              "tell :command start_sim :clock 1 :scenario (none) :team (tell :number 0) ");
}

TEST(UnitLists, EmptyListsStillCarryTheirCount) {
    CUnitList<CRadar> radars;
    CUnitList<CInterceptor> interceptors;
    CUnitList<CIncursion> incursions;
    EXPECT_EQ(RadarListKqml(radars), "tell :number 0");
    EXPECT_EQ(InterceptorListKqml(interceptors), "tell :number 0");
    // The blank after the count stays, so the message holds a blank before ")".
    EXPECT_EQ(IncursionListKqml(incursions, 0), "tell :number 0 ");
}

TEST(UnitLists, RadarsAndInterceptorsInListOrder) {
    CUnitList<CRadar> radars;
    radars.Add(CRadar("Natal", "R1", "538", "269", "130", "-", "-"));
    radars.Add(CRadar("Haiti", "R2", "230", "399", "130", "-", "-"));
    EXPECT_EQ(RadarListKqml(radars),
              "tell :number 2 :0 (tell :name \"Natal\" :lat 538 :lon 269 :id R1 :range 130 :life "
              "- :owner -) :1 (tell :name \"Haiti\" :lat 230 :lon 399 :id R2 :range 130 :life - "
              ":owner -)");

    CUnitList<CInterceptor> interceptors;
    interceptors.Add(CInterceptor("F-16", "I1", 200.0, 529.0, 1000.0, 0.0, 2000.0, 100.0, "air"));
    EXPECT_EQ(InterceptorListKqml(interceptors),
              "tell :number 1 :0 (tell :name \"F-16\" :lat 200.000000 :lon 529.000000 :id I1 "
              ":maxspeed 1000.000000 :range 2000.000000 :scope air :minrange 100.000000)");
}

TEST(UnitLists, IncursionsAreSentWhereTheyAreNow) {
    CUnitList<CIncursion> incursions;
    incursions.Add(CIncursion("Boat", "C1", "100", "200", "60", "0", "-"));
    EXPECT_EQ(IncursionListKqml(incursions, 30),
              "tell :number 1  :0 (tell :id C1 :lat 100.000000 :lon 230.000000 :heading 0 :speed "
              "60 :name \"Boat\")");
}

TEST(UnitLists, NamesWithQuotesAndValuesWithBlanksReadBackIntact) {
    CUnitList<CRadar> radars;
    radars.Add(CRadar("Say \"hi\" (x)", "R 1", "538", "269", "130", "", "a)b"));
    std::string text = RadarListKqml(radars);
    CParser list;
    ASSERT_TRUE(list.parse_message(text));
    CParser radar;
    ASSERT_TRUE(radar.parse_message(list.find_text("0")));
    EXPECT_EQ(radar.find_text("name"), "Say \"hi\" (x)");
    EXPECT_EQ(radar.find_text("id"), "R 1");
    EXPECT_EQ(radar.find_text("lat"), "538");
    EXPECT_EQ(radar.find_text("life"), "");
    EXPECT_EQ(radar.find_text("owner"), "a)b");
}
