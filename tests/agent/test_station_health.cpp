// What the agent does with the transport's news about stations: notes in the log inside the
// events section, counts of lost messages, and the map addresses the stations are sent.
#include "agentfixture.h"

#include "external/agentkit/communicator.h"

namespace halyx::test {
namespace {

class StationHealth : public AgentTest {
protected:
    void Link(CLinkEvent::Kind kind, const std::string& who, std::size_t messages = 0) {
        agent.OnLinkEvent({kind, who, messages, "test"});
    }
};

TEST_F(StationHealth, LossAndReturnAreNotedOnceEachAtTheClock) {
    Team({"ALPHA", "BRAVO"});
    OpenLog();
    agent.StartSim();
    Ticks(7);
    Link(CLinkEvent::Kind::Lost, "BRAVO");
    Link(CLinkEvent::Kind::Dropped, "BRAVO", 3);
    Link(CLinkEvent::Kind::Lost, "BRAVO");
    EXPECT_FALSE(agent.IsReachable("BRAVO"));
    agent.process_clock_tick();
    Link(CLinkEvent::Kind::Back, "BRAVO");
    Link(CLinkEvent::Kind::Back, "BRAVO");
    // Not a team member: none of the team's business.
    Link(CLinkEvent::Kind::Lost, "Lab-Other");
    Link(CLinkEvent::Kind::Dropped, "Lab-Other", 5);
    EXPECT_TRUE(agent.IsReachable("BRAVO"));
    EXPECT_EQ(agent.LostMessages("BRAVO"), 3u);
    EXPECT_EQ(agent.LostMessagesTotal(), 3u);

    const std::string text = LogText();
    EXPECT_NE(text.find("<!-- station BRAVO unreachable at clock 7 -->\n"
                        "<!-- station BRAVO back at clock 8 -->\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("Lab-Other"), std::string::npos);

    // Once the events section is closed the notes stop, so the file keeps its shape.
    agent.EndSim();
    Link(CLinkEvent::Kind::Lost, "ALPHA");
    EXPECT_FALSE(agent.IsReachable("ALPHA"));
    EXPECT_EQ(LogText().find("station ALPHA"), std::string::npos);
}

TEST_F(StationHealth, StationsAreSentTheResolvedMapButTheScenarioKeepsItsOwn) {
    geography.SetMapURL(0, "file:///srv/maps/atlantic.txt");
    geography.SetMapURL(1, "http://elsewhere/bahamas.txt");
    agent.SetMapAddressResolver([](const std::string& address) {
        return address.rfind("file://", 0) == 0 ? "http://console:7001/maps/atlantic.txt" : address;
    });
    Team({"ALPHA", "BRAVO"});
    OpenLog();
    agent.InitSim();
    ASSERT_EQ(comm.sent().size(), 2u);
    std::vector<std::string> maps;
    for (const CSentMessage& m : comm.sent()) {
        maps.push_back(Read(m.content, {"scenario", "map"}));
    }
    EXPECT_EQ(maps, (std::vector<std::string>{"http://console:7001/maps/atlantic.txt",
                                              "http://elsewhere/bahamas.txt"}));
    EXPECT_EQ(geography.GetMapURL(0), "file:///srv/maps/atlantic.txt");

    // A restarted station gets the same map, and start_sim only while a run is on.
    comm.clear_sent();
    EXPECT_TRUE(agent.ReInitStation("ALPHA"));
    ASSERT_EQ(comm.sent().size(), 1u);
    EXPECT_NE(comm.sent()[0].content.find("http://console:7001/maps/atlantic.txt"),
              std::string::npos);
    EXPECT_FALSE(agent.ReInitStation("CHARLIE"));

    // In playback a restarted station is asked to play back, and joins a running playback.
    console.playback = true;
    agent.StartSim();
    comm.clear_sent();
    EXPECT_TRUE(agent.ReInitStation("BRAVO"));
    ASSERT_EQ(comm.sent().size(), 2u);
    EXPECT_EQ(comm.sent()[0].content.rfind("ask :command init_playback :scenario (tell :map ", 0),
              0u);
    EXPECT_EQ(comm.sent()[1].content.rfind("tell :command start_sim :clock 1 :scenario (none) "
                                           ":team (tell :number 2 :client0 ALPHA :client1 BRAVO",
                                           0),
              0u);
}

} // namespace
} // namespace halyx::test
