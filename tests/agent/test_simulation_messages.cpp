// What the stations are told at init, start, reset and playback: maps, team and locations.
#include "agent/scenarioencoding.h"
#include "agentfixture.h"

namespace halyx::test {
namespace {

class SimulationMessages : public AgentTest {
protected:
    void SetUp() override {
        for (int i = 0; i < CGeography::kMapCount; ++i) {
            geography.SetMapURL(i, "map" + std::to_string(i));
        }
        radars.Add(CRadar("Natal", "R1", "538", "269", "130", "-", "-"));
        incursions.Add(CIncursion("Boat", "C1", "100", "200", "60", "0", "-"));
    }
};

TEST(TeamPositions, PositionWordsPickMapsAndOthersCountModFour) {
    EXPECT_EQ(InitSimMapIndices({"Alpha Station", "Bravo Station", "Observer"}),
              (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(InitSimMapIndices({"a", "b", "c", "d", "e"}), (std::vector<int>{0, 1, 2, 3, 0}));
    // Only the later ALPHA counts as ALPHA; the first falls back to 0 mod 4, also 0.
    EXPECT_EQ(InitSimMapIndices({"alpha 1", "alpha 2"}), (std::vector<int>{0, 0}));
    EXPECT_EQ(PositionOf("charlie-alpha"), TeamPosition::Alpha);
    EXPECT_EQ(StationLocationText("my bravo"), "tell :lat 267 :lon 384");
    EXPECT_EQ(StationLocationText("Charlie"), "tell :lat 184 :lon 472");
    EXPECT_EQ(StationLocationText("Delta"), "none");
}

TEST(UnitLists, EmptyListsKeepTheirCountAndIncursionsMoveWithTheClock) {
    CUnitList<CRadar> radars;
    CUnitList<CIncursion> incursions;
    EXPECT_EQ(RadarListKqml(radars), "tell :number 0");
    // The blank after the count stays, so the message holds a blank before ")".
    EXPECT_EQ(IncursionListKqml(incursions, 0), "tell :number 0 ");
    incursions.Add(CIncursion("Boat", "C1", "100", "200", "60", "0", "-"));
    EXPECT_EQ(IncursionListKqml(incursions, 30),
              "tell :number 1  :0 (tell :id C1 :lat 100.000000 :lon 230.000000 :heading 0 :speed "
              "60 :name \"Boat\")");
    CUnitList<CInterceptor> interceptors;
    interceptors.Add(CInterceptor("F-16", "I1", 200.0, 529.0, 1000.0, 0.0, 2000.0, 100.0, "air"));
    EXPECT_EQ(InterceptorListKqml(interceptors),
              "tell :number 1 :0 (tell :name \"F-16\" :lat 200.000000 :lon 529.000000 :id I1 "
              ":maxspeed 1000.000000 :range 2000.000000 :scope air :minrange 100.000000)");
}

TEST_F(SimulationMessages, InitSimAsksEveryMemberWithItsOwnMapAndNamesThatWouldBreakItIntact) {
    // Stations are sent the map's address as they can reach it; the scenario keeps its own.
    agent.SetMapAddressResolver(
        [](const std::string& address) { return address == "map1" ? "http://c/map1" : address; });
    Team({"Observer", "Bravo Station", "x", "alpha"});
    radars.Add(CRadar("Cape \"Verde\" (north)", "R 2", "656", "353", "120", "", "a)b"));
    OpenLog();
    agent.InitSim();
    std::vector<std::string> maps;
    for (const CSentMessage& m : comm.sent()) {
        EXPECT_EQ(m.performative, "ask");
        maps.push_back(m.receiver + "=" + Read(m.content, {"scenario", "map"}));
    }
    EXPECT_EQ(maps, (std::vector<std::string>{"Observer=map0", "Bravo Station=http://c/map1",
                                              "x=map2", "alpha=map0"}));
    EXPECT_EQ(geography.GetMapURL(1), "map1");
    const std::string& content = comm.sent()[0].content;
    EXPECT_EQ(Read(content, {"scenario", "radar", "1", "name"}), "Cape \"Verde\" (north)");
    EXPECT_EQ(Read(content, {"scenario", "radar", "1", "id"}), "R 2");
    EXPECT_EQ(Read(content, {"scenario", "radar", "1", "life"}), "");
    EXPECT_EQ(Read(content, {"scenario", "radar", "1", "owner"}), "a)b");
    EXPECT_EQ(content.rfind("ask :command init_sim :scenario (tell :map map0 :terrain (", 0), 0u);
    EXPECT_NE(content.find(":radar (tell :number 2 :0 (tell :name \"Natal\" :lat 538 :lon 269 :id "
                           "R1 :range 130 :life - :owner -) :1 (tell :name \"Cape \\\"Verde\\\" "
                           "(north)\" :lat 656 :lon 353 :id \"R 2\" :range 120 :life  :owner "
                           "\"a)b\")) :interceptors (tell :number 0) "
                           ":incursions (tell :number 1  :0 (tell :id C1 :lat 100.000000 :lon "
                           "200.000000 :heading 0 :speed 60 :name \"Boat\")) :impactlines ("),
              std::string::npos);
    EXPECT_NE(LogText().find(EventStart("InitSim") + "/>\n" + EventStart("TeamMode") +
                             " Mode=\"Multiplayer\"/>\n"),
              std::string::npos);
}

TEST_F(SimulationMessages, StartSimTellsTeamAndLocationsInitPlaybackOneStationItsMap) {
    Team({"ALPHA", "BRAVO"});
    agent.StartSim();
    ASSERT_EQ(comm.sent().size(), 2u);
    EXPECT_EQ(comm.sent()[0].performative, "tell");
    EXPECT_EQ(comm.sent()[0].content,
              "tell :command start_sim :clock 1 :scenario (none) :team (tell :number 2 :client0 "
              "ALPHA :client1 BRAVO)  :stationlocation (tell :lat 564 :lon 325)");
    EXPECT_EQ(Read(comm.sent()[1].content, {"stationlocation", "lat"}), "267");

    // init_playback goes to that station only, with its position's map.
    comm.clear_sent();
    agent.InitPlayback("Observer");
    agent.InitPlayback("my charlie");
    ASSERT_EQ(comm.sent().size(), 2u);
    EXPECT_EQ(comm.sent()[0].receiver, "Observer");
    EXPECT_EQ(comm.sent()[0].content.rfind(
                  "ask :command init_playback :scenario (tell :map  :terrain (", 0),
              0u);
    EXPECT_EQ(Read(comm.sent()[1].content, {"scenario", "map"}), "map2");
}

TEST_F(SimulationMessages, ResetOrTheProgramEndingClosesTheLogWithTheTeam) {
    Team({"A", "B"});
    OpenLog();
    agent.InitSim();
    comm.clear_sent();
    agent.ResetSim();
    EXPECT_EQ(comm.sent().size(), 2u);
    EXPECT_EQ(comm.sent()[1].content, "tell :command reset_sim");
    EXPECT_FALSE(log.IsOpen());
    // Reset before start still closes the log with the team, after the team line of the init.
    EXPECT_NE(LogText().find(" Mode=\"Multiplayer\"/>\n<!-- team: A | B -->\n"), std::string::npos);
    EXPECT_TRUE(LogText().ends_with("<TeamMember Name=\"B\"/>\n</TeamMembers></HalyxSimLog>"));

    // The program ending during a run closes the log with the team.
    OpenLog("second");
    agent.InitSim();
    agent.StartSim();
    agent.CloseExperimentLog();
    EXPECT_FALSE(log.IsOpen());
    EXPECT_TRUE(LogText().ends_with("<TeamMember Name=\"B\"/>\n</TeamMembers></HalyxSimLog>"));
    agent.CloseExperimentLog(); // nothing open: nothing happens
}

} // namespace
} // namespace halyx::test
