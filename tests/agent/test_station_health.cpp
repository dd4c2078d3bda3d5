// The transport's news about stations, noted in the log; the map addresses stations are sent.
#include "agentfixture.h"

namespace halyx::test {
namespace {

using StationHealth = AgentTest;

TEST_F(StationHealth, LossAndReturnAreNotedOnceEachAtTheClock) {
    Team({"ALPHA", "BRAVO"});
    OpenLog();
    agent.StartSim();
    Ticks(7);
    Link(CLinkEvent::Kind::Lost, "BRAVO");
    agent.OnLinkEvent({CLinkEvent::Kind::Dropped, "BRAVO", 3});
    Link(CLinkEvent::Kind::Lost, "BRAVO");
    EXPECT_FALSE(agent.IsReachable("BRAVO"));
    agent.process_clock_tick();
    Link(CLinkEvent::Kind::Back, "BRAVO");
    Link(CLinkEvent::Kind::Back, "BRAVO");
    // Not a team member: none of the team's business.
    Link(CLinkEvent::Kind::Lost, "Lab-Other");
    agent.OnLinkEvent({CLinkEvent::Kind::Dropped, "Lab-Other", 5});
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

// That init_sim sends the resolved map is the simulation messages' test.
TEST_F(StationHealth, ARestartedStationIsSentTheResolvedMapAndJoinsARunningPlayback) {
    geography.SetMapURL(0, "file:///srv/maps/atlantic.txt");
    agent.SetMapAddressResolver([](const std::string& address) {
        return address.rfind("file://", 0) == 0 ? "http://console:7001/maps/atlantic.txt" : address;
    });
    Team({"ALPHA", "BRAVO"});
    OpenLog();
    agent.InitSim();

    // A restarted station gets the resolved map, and start_sim only while a run is on.
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
