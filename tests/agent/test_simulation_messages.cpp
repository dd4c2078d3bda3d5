// What the stations are sent when the experimenter initializes, starts, resets and plays back.
#include "agentfixture.h"

#include "external/kqml/parser.h"

namespace halyx::test {
namespace {

class SimulationMessages : public AgentTest {
protected:
    void SetUp() override {
        for (int i = 0; i < CGeography::kMapCount; ++i) {
            geography.SetMapURL(i, "file:///maps/map" + std::to_string(i) + ".txt");
        }
        radars.Add(CRadar("Natal", "R1", "538", "269", "130", "-", "-"));
        incursions.Add(CIncursion("Boat", "C1", "100", "200", "60", "0", "-"));
    }
    static std::string MapOf(const std::string& content) {
        CParser message;
        EXPECT_TRUE(message.parse_message(content));
        CParser scenario;
        EXPECT_TRUE(scenario.parse_message(message.find_text("scenario")));
        return scenario.find_text("map");
    }
};

TEST_F(SimulationMessages, InitSimAsksEveryMemberWithItsOwnMap) {
    Team({"Alpha Station", "Bravo Station", "Observer"});
    OpenLog();
    agent.InitSim();
    ASSERT_EQ(comm.sent().size(), 3u);
    const char* expectedMaps[] = {"file:///maps/map0.txt", "file:///maps/map1.txt",
                                  "file:///maps/map2.txt"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(comm.sent()[i].performative, "ask");
        EXPECT_EQ(comm.sent()[i].receiver, agent.Team()[i]);
        EXPECT_EQ(MapOf(comm.sent()[i].content), expectedMaps[i]);
    }
    const std::string& content = comm.sent()[0].content;
    EXPECT_EQ(content.rfind("ask :command init_sim :scenario (tell :map file:///maps/map0.txt "
                            ":terrain (",
                            0),
              0u);
    EXPECT_NE(content.find(":radar (tell :number 1 :0 (tell :name \"Natal\" :lat 538 :lon 269 :id "
                           "R1 :range 130 :life - :owner -)) :interceptors (tell :number 0) "
                           ":incursions (tell :number 1  :0 (tell :id C1 :lat 100.000000 :lon "
                           "200.000000 :heading 0 :speed 60 :name \"Boat\")) :impactlines ("),
              std::string::npos);
    EXPECT_NE(LogText().find(EventStart("InitSim") + "/>\n" + EventStart("TeamMode") +
                             " Mode=\"Multiplayer\"/>\n"),
              std::string::npos);
}

TEST_F(SimulationMessages, SinglePersonGameIsLoggedAsSinglePlayer) {
    Team({"A"});
    OpenLog();
    agent.SetMultiplayer(false);
    agent.InitSim();
    EXPECT_NE(LogText().find(" Mode=\"SinglePlayer\"/>\n"), std::string::npos);
}

TEST_F(SimulationMessages, FiveMembersWithoutPositionWordsCycleThroughTheMaps) {
    Team({"a", "b", "c", "d", "e"});
    agent.InitSim();
    std::vector<std::string> maps;
    for (const CSentMessage& m : comm.sent()) {
        maps.push_back(MapOf(m.content));
    }
    EXPECT_EQ(maps, (std::vector<std::string>{"file:///maps/map0.txt", "file:///maps/map1.txt",
                                              "file:///maps/map2.txt", "file:///maps/map3.txt",
                                              "file:///maps/map0.txt"}));
}

TEST_F(SimulationMessages, StartSimTellsTheTeamAndEachLocation) {
    Team({"ALPHA", "BRAVO"});
    OpenLog();
    agent.StartSim();
    ASSERT_EQ(comm.sent().size(), 2u);
    EXPECT_EQ(comm.sent()[0].performative, "tell");
    EXPECT_EQ(comm.sent()[0].content,
              "tell :command start_sim :clock 1 :scenario (none) :team (tell :number 2 :client0 "
              "ALPHA :client1 BRAVO)  :stationlocation (tell :lat 564 :lon 325)");
    EXPECT_EQ(comm.sent()[1].content,
              "tell :command start_sim :clock 1 :scenario (none) :team (tell :number 2 :client0 "
              "ALPHA :client1 BRAVO)  :stationlocation (tell :lat 267 :lon 384)");
    EXPECT_TRUE(agent.Started());
    EXPECT_FALSE(agent.Paused());
    EXPECT_NE(LogText().find(EventStart("StartSim") + "/>\n"), std::string::npos);
}

TEST_F(SimulationMessages, IncursionsAreSentWhereTheyAreAtTheCurrentMinute) {
    Team({"A"});
    agent.StartSim();
    for (int i = 0; i < 30; ++i) {
        agent.process_clock_tick();
    }
    comm.clear_sent();
    agent.InitPlayback("A");
    ASSERT_EQ(comm.sent().size(), 1u);
    EXPECT_NE(comm.sent()[0].content.find(":lat 100.000000 :lon 230.000000"), std::string::npos);
}

TEST_F(SimulationMessages, InitPlaybackTellsOnlyThatStation) {
    Team({"ALPHA", "Observer"});
    agent.InitPlayback("Observer");
    agent.InitPlayback("my charlie");
    ASSERT_EQ(comm.sent().size(), 2u);
    EXPECT_EQ(comm.sent()[0].receiver, "Observer");
    EXPECT_EQ(comm.sent()[0].content.rfind("ask :command init_playback :scenario (tell :map  "
                                           ":terrain (",
                                           0),
              0u);
    EXPECT_EQ(comm.sent()[1].receiver, "my charlie");
    EXPECT_EQ(MapOf(comm.sent()[1].content), "file:///maps/map2.txt");
}

TEST_F(SimulationMessages, ResetTellsEveryMemberAndClosesTheLog) {
    Team({"A", "B"});
    OpenLog();
    agent.StartSim();
    agent.process_clock_tick();
    comm.clear_sent();
    agent.ResetSim();
    ASSERT_EQ(comm.sent().size(), 2u);
    EXPECT_EQ(comm.sent()[0].content, "tell :command reset_sim");
    EXPECT_EQ(comm.sent()[1].receiver, "B");
    EXPECT_FALSE(agent.Started());
    EXPECT_TRUE(agent.Paused());
    // The clock is reset separately.
    EXPECT_EQ(agent.Clock(), 1);
    EXPECT_FALSE(log.IsOpen());
    std::string text = LogText();
    EXPECT_EQ(text.substr(text.size() - 14), "</HalyxSimLog>");
}

TEST_F(SimulationMessages, NamesThatWouldBreakTheMessageArriveIntact) {
    Team({"ALPHA"});
    radars.Add(CRadar("Cape \"Verde\" (north)", "R 2", "656", "353", "120", "-", "-"));
    agent.InitSim();
    CParser message;
    ASSERT_TRUE(message.parse_message(comm.sent()[0].content));
    CParser scenario;
    ASSERT_TRUE(scenario.parse_message(message.find_text("scenario")));
    CParser radarList;
    ASSERT_TRUE(radarList.parse_message(scenario.find_text("radar")));
    EXPECT_EQ(radarList.find_text("number"), "2");
    CParser second;
    ASSERT_TRUE(second.parse_message(radarList.find_text("1")));
    EXPECT_EQ(second.find_text("name"), "Cape \"Verde\" (north)");
    EXPECT_EQ(second.find_text("id"), "R 2");
}

} // namespace
} // namespace halyx::test
