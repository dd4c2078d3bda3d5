// Station commands arriving at the command station: what each one writes to the experiment log,
// what reaches the pages, and what is ignored.
#include "agentfixture.h"

namespace halyx::test {
namespace {

class StationCommands : public AgentTest {
protected:
    void SetUp() override {
        Team({"ALPHA", "BRAVO"});
        OpenLog();
        agent.StartSim();
        for (int i = 0; i < 7; ++i) {
            agent.process_clock_tick();
        }
        ASSERT_EQ(agent.Clock(), 7);
    }
};

struct Row {
    const char* content;
    const char* name;
    const char* rest;
};

TEST_F(StationCommands, EachCommandWritesItsEventLine) {
    const Row rows[] = {
        {"tell :command init_sim", "InitSimConf", " Sender=\"ALPHA\"/>\n"},
        {"tell :command inc_enter_radar :incID I1 :radarID R2", "IncEnterRadar",
         " ClockTime=\"7\" IncID=\"I1\" RadarID=\"R2\" From=\"ALPHA\"/>\n"},
        {"tell :command inc_exit_radar :radarID R2 :incID I1", "IncExitRadar",
         " ClockTime=\"7\" IncID=\"I1\" RadarID=\"R2\" From=\"ALPHA\"/>\n"},
        {"tell :command subject_communication :to BRAVO :from ALPHA :message (hello there)",
         "ChatMsg", " ClockTime=\"7\" From=\"ALPHA\">\nhello there\n</Event>\n"},
        {"tell :command update_inc_heading :id C1 :heading 90 :lat 10 :lng 20", "UpdateInc",
         " ClockTime=\"7\" From=\"ALPHA\" IncID=\"C1\" Heading=\"90\" Lat=\"10\" Lng=\"20\"/>\n"},
        {"tell :command update_go_nogo_status :status go", "LaunchStatusChange",
         " ClockTime=\"7\" Status=\"go\" From=\"ALPHA\"/>\n"},
        {"tell :command activate :resource radar :id R1 :lat 1 :lng 2 :gridCol 3 :gridRow 4",
         "ResourceActivate",
         " ClockTime=\"7\" From=\"ALPHA\" ResType=\"radar\" ResID=\"R1\" Lat=\"1\" Lng=\"2\" "
         "GridCol=\"3\" GridRow=\"4\"/>\n"},
        {"tell :command deactivate :resource radar :id R1 :lat 1 :lng 2 :gridCol 3 :gridRow 4",
         "ResourceDeActivate",
         " ClockTime=\"7\" From=\"ALPHA\" ResType=\"radar\" ResID=\"R1\" Lat=\"1\" Lng=\"2\" "
         "GridCol=\"3\" GridRow=\"4\"/>\n"},
        {"tell :command abort :resource int :id I9 :lat 1 :lng 2 :gridCol 3 :gridRow 4", "Abort",
         " ClockTime=\"7\" From=\"ALPHA\" ResType=\"int\" ResID=\"I9\" Lat=\"1\" Lng=\"2\" "
         "GridCol=\"3\" GridRow=\"4\"/>\n"},
        {"tell :command deploy :resource int :id I1 :destLat 5 :destLng 6 :initLat 1 :initLng 2 "
         ":destGridCol 7 :destGridRow 8 :initGridCol 3 :initGridRow 4",
         "DeployResource",
         " ClockTime=\"7\" From=\"ALPHA\" ResType=\"int\" ResID=\"I1\" InitLat=\"1\" "
         "InitLng=\"2\" InitGridCol=\"3\" InitGridRow=\"4\" DestLat=\"5\" DestLng=\"6\" "
         "DestGridCol=\"7\" DestGridRow=\"8\"/>\n"},
        {"tell :command intercept :resource int :id I1 :incID C2 :intLat 1 :intLng 2 "
         ":intGridCol 3 :intGridRow 4 :incLat 5 :incLng 6 :incGridCol 7 :incGridRow 8",
         "InterceptInc",
         " ClockTime=\"7\" From=\"ALPHA\" ResType=\"int\" IntID=\"I1\" IntLat=\"1\" IntLng=\"2\" "
         "IntGridCol=\"3\" IntGridRow=\"4\" IncID=\"C2\" IncLat=\"5\" IncLng=\"6\" "
         "IncGridCol=\"7\" IncGridRow=\"8\"/>\n"},
        {"tell :command deploy_balloon :destLat 1 :destLng 2 :gridCol 3 :gridRow 4",
         "DeployBalloon",
         " ClockTime=\"7\" From=\"ALPHA\" DestLat=\"1\" DestLng=\"2\" GridCol=\"3\" "
         "GridRow=\"4\"/>\n"},
        {"tell :command request :resource radar :id R1 :lat 1 :lng 2 :gridCol 3 :gridRow 4 "
         ":requestFrom BRAVO",
         "ResourceRequest",
         " ClockTime=\"7\" From=\"ALPHA\" RequestFrom=\"BRAVO\" ResType=\"radar\" ResID=\"R1\" "
         "Lat=\"1\" Lng=\"2\" GridCol=\"3\" GridRow=\"4\"/>\n"},
        {"tell :command log_unit_display :unitType Radar :name Natal :id R1 :lat 1 :lng 2 "
         ":range 130",
         "UnitDisplay",
         " ClockTime=\"7\" From=\"ALPHA\" UnitName=\"Natal\" ResType=\"Radar\" ResID=\"R1\" "
         "Lat=\"1\" Lng=\"2\" Range=\"130\"/>\n"},
    };
    for (const Row& row : rows) {
        Deliver("ALPHA", row.content);
        EXPECT_NE(LogText().find(EventStart(row.name) + row.rest), std::string::npos)
            << row.content << "\n"
            << LogText();
    }
    EXPECT_EQ(agent.DispatchedCount(), static_cast<long long>(std::size(rows)));
}

TEST_F(StationCommands, MissingKeysAreWrittenEmpty) {
    Deliver("BRAVO", "tell :command activate :resource radar");
    EXPECT_NE(LogText().find(EventStart("ResourceActivate") +
                             " ClockTime=\"7\" From=\"BRAVO\" ResType=\"radar\" ResID=\"\" "
                             "Lat=\"\" Lng=\"\" GridCol=\"\" GridRow=\"\"/>\n"),
              std::string::npos);
}

TEST_F(StationCommands, ConfirmationsMarkTheStationInitialized) {
    Deliver("ALPHA", "tell :command init_sim");
    Deliver("BRAVO", "tell :command init_playback_confirm");
    std::vector<std::string> expected = {"status ALPHA Initialized", "status BRAVO Initialized",
                                         "readiness"};
    std::vector<std::string> calls;
    for (const std::string& call : console.calls) {
        if (call.rfind("clock", 0) != 0) {
            calls.push_back(call);
        }
    }
    EXPECT_EQ(calls, expected);
    // The playback confirmation writes no event.
    EXPECT_EQ(LogText().find("BRAVO"), std::string::npos);
}

TEST_F(StationCommands, ChatReachesTheTranscriptWithoutItsParentheses) {
    Deliver("ALPHA", "tell :command subject_communication :to BRAVO :from alpha-player "
                     ":message (is the (weather) ok?)");
    EXPECT_EQ(console.calls.back(), "chat BRAVO|alpha-player|is the (weather) ok?");
    // The log names the station that sent the message, not the :from the station wrote.
    EXPECT_NE(LogText().find(EventStart("ChatMsg") +
                             " ClockTime=\"7\" From=\"ALPHA\">\nis the (weather) ok?\n</Event>\n"),
              std::string::npos);
}

TEST_F(StationCommands, MarkupInValuesKeepsTheLogWellFormed) {
    Deliver("ALPHA", "tell :command subject_communication :to B :from A :message (a <b> & \"c\")");
    Deliver("ALPHA", "tell :command activate :resource \"x<y\" :id \"&\"");
    std::string text = LogText();
    EXPECT_NE(text.find(">\na &lt;b&gt; &amp; &quot;c&quot;\n</Event>"), std::string::npos);
    EXPECT_NE(text.find("ResType=\"x&lt;y\" ResID=\"&amp;\""), std::string::npos);
}

TEST_F(StationCommands, MissionStatsBecomeAReportInTheLog) {
    Deliver("CHARLIE", "tell :command mission_stats :totalCost 40 :radarStats (tell :count 1 "
                       ":radar0 (tell :id R1 :name Natal :activationCt 2 :totalActiveTime 9 "
                       ":cost 10))");
    std::string text = LogText();
    EXPECT_NE(text.find("<MissionStats TeamMember=\"CHARLIE\">\n<TotalCost>40</TotalCost>\n"),
              std::string::npos);
    EXPECT_NE(text.find("<Radar ID=\"R1\" Name=\"Natal\" ActivationCount=\"2\" ActiveTime=\"9\" "
                        "Cost=\"10\"/>"),
              std::string::npos);
}

TEST_F(StationCommands, UnknownOrBrokenMessagesAreOnlyRecorded) {
    std::string before = LogText();
    size_t incoming = agent.CommStore().Incoming().size();
    comm.deliver_text("(tell :sender ALPHA :receiver HalyxCommand)");
    comm.deliver_text("(tell :sender ALPHA :content (tell :nocommand 1))");
    comm.deliver_text("(tell :sender ALPHA :content (tell :command Deploy))");
    comm.deliver_text("(tell :sender ALPHA :content (tell :command deploy");
    comm.deliver_text("");
    EXPECT_EQ(LogText(), before);
    ASSERT_EQ(agent.CommStore().Incoming().size(), incoming + 5);
    // A message without content is still listed as received.
    EXPECT_EQ(agent.CommStore().Incoming()[incoming],
              "(tell :sender ALPHA :receiver HalyxCommand)");
    EXPECT_EQ(agent.DispatchedCount(), 0);
    EXPECT_TRUE(comm.sent().empty() ||
                comm.sent().back().content.find("clock_sync") != std::string::npos);
}

TEST_F(StationCommands, EveryReceivedAndSentMessageIsInTheHistory) {
    comm.clear_sent();
    Deliver("ALPHA", "tell :command get_weather :lat 1 :lng 2 :balloonID B");
    const auto& incoming = agent.CommStore().Incoming();
    ASSERT_FALSE(incoming.empty());
    EXPECT_NE(incoming.back().find(":command get_weather"), std::string::npos);
    ASSERT_EQ(comm.sent().size(), 1u);
    EXPECT_EQ(agent.CommStore().Outgoing().back(),
              "(tell :receiver ALPHA :content (" + comm.sent()[0].content + "))");
}

} // namespace
} // namespace halyx::test
