// A message naming a team member is acted on only from that member's registered host, and a
// station whose program restarted waits for its scenario before the clock runs it on.
#include "agentfixture.h"

#include <algorithm>

namespace halyx::test {
namespace {

struct TrustConsole : RecordingConsole {
    bool pageReinitializes = false;
    CHalyxCommand* agent = nullptr;
    void SenderRefused(std::string_view name, std::string_view peer) override {
        calls.push_back("refused " + std::string(name) + " " + std::string(peer));
    }
    bool ReinitializeStation(std::string_view name) override {
        calls.push_back("page reinit " + std::string(name));
        return pageReinitializes && agent->ReInitStation(std::string(name));
    }
};

class SenderTrust : public AgentTest {
protected:
    SenderTrust() {
        trust.agent = &agent;
        Attach(trust);
    }

    // Registers name at the in-memory name server from host, as its station program would.
    void Register(const std::string& name, const std::string& host, int port) {
        const CNameRegistry::ConnectionId connection = registry.open_connection(host);
        registry.handle_request("(register :name " + name + " :port " + std::to_string(port) + ")",
                                connection);
        connections.push_back(connection);
    }

    // The three stations on this machine, added as "Add Client" does: looked up, then joined.
    void LocalTeam() {
        int port = 7101;
        for (const char* name : {"ALPHA", "BRAVO", "CHARLIE"}) {
            Register(name, "127.0.0.1", port++);
            std::string host;
            std::string portText;
            ASSERT_TRUE(agent.LookupStation(name, host, portText));
            agent.AddTeamMember(name);
        }
    }

    void From(const std::string& sender, const std::string& peer, const std::string& content) {
        comm.deliver_from(sender, "tell", content, peer);
    }

    // Who was sent a message holding part, in order.
    std::vector<std::string> ReceiversOf(const std::string& part) const {
        std::vector<std::string> receivers;
        for (const CSentMessage& m : comm.sent()) {
            if (m.content.find(part) != std::string::npos) {
                receivers.push_back(m.receiver);
            }
        }
        return receivers;
    }

    TrustConsole trust;
    std::vector<CNameRegistry::ConnectionId> connections;
};

TEST_F(SenderTrust, ForgedCommandsChangeNothingAndLeaveOnlyANote) {
    LocalTeam();
    OpenLog();
    agent.InitSim();
    agent.StartSim();
    for (const char* name : {"ALPHA", "BRAVO", "CHARLIE"}) {
        From(name, "127.0.0.1", "tell :command init_sim");
        From(name, "127.0.0.1", "tell :command update_go_nogo_status :status go");
    }
    Ticks(2);
    ASSERT_TRUE(agent.LaunchDecision());
    const long long dispatched = agent.DispatchedCount();
    const std::string before = LogText();

    // Every kind of station command, claimed by ALPHA from another machine, in team-only mode.
    agent.SetTeamOnly(true);
    for (const char* content :
         {"tell :command update_go_nogo_status :status nogo",
          "tell :command subject_communication :to BRAVO :from ALPHA :message (abort now)",
          "tell :command deploy :resource Interceptor :id 3 :initLat 1 :initLng 2",
          "tell :command init_sim", "tell :command mission_stats :launched 0",
          "tell :command get_weather :lat 10 :lng 10 :balloonID 1"}) {
        From("ALPHA", "127.0.0.2", content);
    }
    EXPECT_TRUE(agent.LaunchDecision());
    EXPECT_EQ(agent.DispatchedCount(), dispatched);
    EXPECT_EQ(agent.RefusedCount("ALPHA"), 6u);
    EXPECT_EQ(agent.RefusedTotal(), 6u);
    EXPECT_TRUE(ReceiversOf("weather_data").empty());
    EXPECT_EQ(std::count(trust.calls.begin(), trust.calls.end(), "refused ALPHA 127.0.0.2"), 6);
    EXPECT_TRUE(std::none_of(trust.calls.begin(), trust.calls.end(), [](const std::string& c) {
        return c.rfind("chat ", 0) == 0 && c.find("abort now") != std::string::npos;
    }));

    // The log gained the notes and nothing else.
    const std::string after = LogText();
    ASSERT_EQ(after.compare(0, before.size(), before), 0);
    const std::string added = after.substr(before.size());
    std::string expected;
    for (int i = 0; i < 6; ++i) {
        expected += "<!-- refused: message claiming ALPHA from 127.0.0.2 at clock 2 -->\n";
    }
    EXPECT_EQ(added, expected);
    // What the console shows names both addresses and how a real ALPHA would be let in.
    EXPECT_EQ(agent.Refusals().back().hint,
              "ALPHA is registered at 127.0.0.1; if this is ALPHA itself on a machine with several "
              "network addresses, start the station with --host 127.0.0.2");

    // The real ALPHA is still heard.
    From("ALPHA", "127.0.0.1", "tell :command update_go_nogo_status :status nogo");
    EXPECT_FALSE(agent.LaunchDecision());
}

TEST_F(SenderTrust, AnUnregisteredMemberIsAskedForOnceAndFollowedWhenItMoves) {
    Register("ALPHA", "127.0.0.1", 7101);
    agent.AddTeamMember("ALPHA");
    agent.AddTeamMember("BRAVO"); // added from a recorded team, never looked up
    OpenLog();
    agent.InitSim();

    // ALPHA is found at the first message; BRAVO is unknown to the name server and refused.
    From("ALPHA", "127.0.0.1", "tell :command init_sim");
    EXPECT_EQ(agent.RegisteredHost("ALPHA"), "127.0.0.1");
    From("BRAVO", "127.0.0.1", "tell :command init_sim");
    ASSERT_EQ(agent.Refusals().size(), 1u);
    EXPECT_EQ(agent.Refusals().back().hint, "the name server does not know BRAVO");

    // BRAVO registers later; its messages count once the transport reaches it there.
    Register("BRAVO", "127.0.0.1", 7102);
    Link(CLinkEvent::Kind::Back, "BRAVO", "127.0.0.1", 7102);
    From("BRAVO", "127.0.0.1", "tell :command update_go_nogo_status :status go");
    EXPECT_EQ(agent.GoNoGo(1), 1);

    // ALPHA registered from another machine may be anyone: refused until the experimenter accepts.
    registry.close_connection(connections.front());
    Register("ALPHA", "127.0.0.3", 7201);
    EXPECT_FALSE(agent.ReInitStation("ALPHA"));
    EXPECT_EQ(agent.PreviousHost("ALPHA"), "127.0.0.1");
    From("ALPHA", "127.0.0.3", "tell :command update_go_nogo_status :status go");
    EXPECT_EQ(agent.GoNoGo(0), 0);
    ASSERT_TRUE(agent.ReInitStation("ALPHA", true));
    From("ALPHA", "127.0.0.3", "tell :command update_go_nogo_status :status go");
    EXPECT_EQ(agent.GoNoGo(0), 1);
    From("ALPHA", "127.0.0.1", "tell :command update_go_nogo_status :status nogo");
    EXPECT_EQ(agent.GoNoGo(0), 1);
    EXPECT_EQ(agent.RefusedCount("ALPHA"), 2u);
    EXPECT_NE(LogText().find("<!-- station ALPHA now registers from 127.0.0.3, it was 127.0.0.1, "
                             "at clock 0 -->"),
              std::string::npos);
}

TEST_F(SenderTrust, AFloodIsCountedWholeButNotedInBoundedLines) {
    LocalTeam();
    OpenLog();
    agent.InitSim();
    const std::size_t flood = CHalyxCommand::kRefusalsNoted + 50;
    for (std::size_t i = 0; i < flood; ++i) {
        From("CHARLIE", "127.0.0.9", "tell :command update_go_nogo_status :status nogo");
    }
    EXPECT_EQ(agent.RefusedCount("CHARLIE"), flood);
    EXPECT_LE(agent.Refusals().size(), CHalyxCommand::kRefusalsKept);
    const std::string text = LogText();
    EXPECT_EQ(
        test::CountOf(text, "<!-- refused: message claiming CHARLIE from 127.0.0.9 at clock 0 -->"),
        CHalyxCommand::kRefusalsNoted);
    EXPECT_EQ(
        test::CountOf(text, "refused: further messages claiming CHARLIE are counted, not written"),
        1u);
    EXPECT_EQ(test::CountOf(text, "LaunchStatusChange"), 0u);
}

TEST_F(SenderTrust, ARestartedStationWaitsForItsScenarioBeforeTheClockRunsIt) {
    LocalTeam();
    OpenLog();
    agent.InitSim();
    agent.StartSim();
    agent.process_clock_tick();

    // ALPHA's program ended (refused) and a new one answers on another port.
    Link(CLinkEvent::Kind::Lost, "ALPHA", "", 0, true);
    Link(CLinkEvent::Kind::Back, "ALPHA", "127.0.0.1", 7301);
    EXPECT_TRUE(agent.IsRestarted("ALPHA"));
    EXPECT_EQ(trust.calls.back(), "status ALPHA Restarted");
    comm.clear_sent();
    agent.process_clock_tick();
    EXPECT_EQ(ReceiversOf("command clock_sync"), (std::vector<std::string>{"BRAVO", "CHARLIE"}));

    ASSERT_TRUE(agent.ReInitStation("ALPHA"));
    EXPECT_FALSE(agent.IsRestarted("ALPHA"));
    comm.clear_sent();
    agent.process_clock_tick();
    EXPECT_EQ(ReceiversOf("command clock_sync"),
              (std::vector<std::string>{"ALPHA", "BRAVO", "CHARLIE"}));

    const std::string text = LogText();
    EXPECT_NE(text.find("<!-- station ALPHA unreachable at clock 1 -->\n"
                        "<!-- station ALPHA back at clock 1 -->\n"
                        "<!-- station ALPHA restarted at clock 1 -->\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("<!-- station ALPHA re-initialized at clock 2 -->\n"), std::string::npos);
}

TEST_F(SenderTrust, AutoReinitBringsARestartedStationBackAtOnce) {
    LocalTeam();
    OpenLog();
    agent.SetAutoReinit(true);
    agent.InitSim();
    agent.StartSim();
    Ticks(5);
    comm.clear_sent();

    // The same port, but its registration vanished in between: a new program.
    Link(CLinkEvent::Kind::Lost, "BRAVO", "", 0, true);
    Link(CLinkEvent::Kind::Back, "BRAVO", "127.0.0.1", 7102);
    EXPECT_FALSE(agent.IsRestarted("BRAVO"));
    ASSERT_GE(comm.sent().size(), 2u);
    EXPECT_EQ(comm.sent()[0].receiver, "BRAVO");
    EXPECT_EQ(comm.sent()[0].content.rfind("ask :command init_sim :scenario", 0), 0u);
    EXPECT_EQ(comm.sent()[1].content.rfind("tell :command start_sim", 0), 0u);
    EXPECT_NE(LogText().find("<!-- station BRAVO re-initialized at clock 5 -->\n"),
              std::string::npos);
    // The page was offered the job first (it keeps the row's state); it declined here.
    EXPECT_NE(std::find(trust.calls.begin(), trust.calls.end(), "page reinit BRAVO"),
              trust.calls.end());

    // When the page takes it, the agent does not send the scenario a second time.
    trust.pageReinitializes = true;
    comm.clear_sent();
    Link(CLinkEvent::Kind::Back, "CHARLIE", "127.0.0.1", 7999);
    EXPECT_EQ(ReceiversOf("init_sim"), std::vector<std::string>{"CHARLIE"});
    // One that comes back from another host waits for the experimenter.
    Link(CLinkEvent::Kind::Back, "ALPHA", "127.0.0.2", 7101);
    EXPECT_TRUE(agent.IsRestarted("ALPHA"));
}

TEST_F(SenderTrust, AStationThatWasOnlyOutOfReachIsNotRestarted) {
    LocalTeam();
    // Before any scenario was sent, a new address is just where the station is now.
    Link(CLinkEvent::Kind::Back, "ALPHA", "127.0.0.1", 7555);
    EXPECT_FALSE(agent.IsRestarted("ALPHA"));
    OpenLog();
    agent.InitSim();
    agent.StartSim();
    // A cable pulled and put back: lost without its program ending, back at the same place.
    Link(CLinkEvent::Kind::Lost, "ALPHA");
    Link(CLinkEvent::Kind::Back, "ALPHA", "127.0.0.1", 7555);
    EXPECT_FALSE(agent.IsRestarted("ALPHA"));
    comm.clear_sent();
    agent.process_clock_tick();
    EXPECT_EQ(ReceiversOf("command clock_sync").size(), 3u);
    // A reset forgets who was waiting for a scenario.
    Link(CLinkEvent::Kind::Back, "CHARLIE", "127.0.0.1", 7600);
    EXPECT_TRUE(agent.IsRestarted("CHARLIE"));
    agent.ResetSim();
    EXPECT_FALSE(agent.IsRestarted("CHARLIE"));
}

} // namespace
} // namespace halyx::test
