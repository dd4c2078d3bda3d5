// Station commands at the console: the event line each one writes, what reaches the pages.
#include "agentfixture.h"

namespace halyx::test {
namespace {

class StationCommands : public AgentTest {
protected:
    void SetUp() override {
        Team({"ALPHA", "BRAVO"});
        OpenLog();
        agent.StartSim();
        Ticks(7);
    }
    bool Logged(const std::string& name, const std::string& rest) {
        return LogText().find(EventStart(name) + rest) != std::string::npos;
    }
};

TEST_F(StationCommands, EachCommandWritesItsEventLine) {
    const char* rows[][3] = {
        {"init_sim", "InitSimConf", " Sender=\"ALPHA\"/>\n"},
        {"init_sim :mapError \"no route to <host>\"", "InitSimConf",
         " Sender=\"ALPHA\" MapError=\"no route to &lt;host&gt;\"/>\n"},
        {"inc_enter_radar :incID I1 :radarID R2", "IncEnterRadar",
         " ClockTime=\"7\" IncID=\"I1\" RadarID=\"R2\" From=\"ALPHA\"/>\n"},
        {"inc_exit_radar :radarID R2 :incID I1", "IncExitRadar",
         " ClockTime=\"7\" IncID=\"I1\" RadarID=\"R2\" From=\"ALPHA\"/>\n"},
        {"subject_communication :to BRAVO :from ALPHA :message (hello there)", "ChatMsg",
         " ClockTime=\"7\" From=\"ALPHA\">\nhello there\n</Event>\n"},
        {"update_inc_heading :id C1 :heading 90 :lat 10 :lng 20", "UpdateInc",
         " ClockTime=\"7\" From=\"ALPHA\" IncID=\"C1\" Heading=\"90\" Lat=\"10\" Lng=\"20\"/>\n"},
        {"update_go_nogo_status :status go", "LaunchStatusChange",
         " ClockTime=\"7\" Status=\"go\" From=\"ALPHA\"/>\n"},
        // Missing keys are written empty.
        {"activate :resource radar", "ResourceActivate",
         " ClockTime=\"7\" From=\"ALPHA\" ResType=\"radar\" ResID=\"\" Lat=\"\" Lng=\"\" "
         "GridCol=\"\" GridRow=\"\"/>\n"},
        {"deactivate :resource radar :id R1 :lat 1 :lng 2 :gridCol 3 :gridRow 4",
         "ResourceDeActivate",
         " ClockTime=\"7\" From=\"ALPHA\" ResType=\"radar\" ResID=\"R1\" Lat=\"1\" Lng=\"2\" "
         "GridCol=\"3\" GridRow=\"4\"/>\n"},
        {"abort :resource int :id I9 :lat 1 :lng 2 :gridCol 3 :gridRow 4", "Abort",
         " ClockTime=\"7\" From=\"ALPHA\" ResType=\"int\" ResID=\"I9\" Lat=\"1\" Lng=\"2\" "
         "GridCol=\"3\" GridRow=\"4\"/>\n"},
        {"deploy :resource int :id I1 :destLat 5 :destLng 6 :initLat 1 :initLng 2 :destGridCol 7 "
         ":destGridRow 8 :initGridCol 3 :initGridRow 4",
         "DeployResource",
         " ClockTime=\"7\" From=\"ALPHA\" ResType=\"int\" ResID=\"I1\" InitLat=\"1\" "
         "InitLng=\"2\" InitGridCol=\"3\" InitGridRow=\"4\" DestLat=\"5\" DestLng=\"6\" "
         "DestGridCol=\"7\" DestGridRow=\"8\"/>\n"},
        {"intercept :resource int :id I1 :incID C2 :intLat 1 :intLng 2 :intGridCol 3 "
         ":intGridRow 4 :incLat 5 :incLng 6 :incGridCol 7 :incGridRow 8",
         "InterceptInc",
         " ClockTime=\"7\" From=\"ALPHA\" ResType=\"int\" IntID=\"I1\" IntLat=\"1\" IntLng=\"2\" "
         "IntGridCol=\"3\" IntGridRow=\"4\" IncID=\"C2\" IncLat=\"5\" IncLng=\"6\" "
         "IncGridCol=\"7\" IncGridRow=\"8\"/>\n"},
        {"deploy_balloon :destLat 1 :destLng 2 :gridCol 3 :gridRow 4", "DeployBalloon",
         " ClockTime=\"7\" From=\"ALPHA\" DestLat=\"1\" DestLng=\"2\" GridCol=\"3\" "
         "GridRow=\"4\"/>\n"},
        {"request :resource radar :id R1 :lat 1 :lng 2 :gridCol 3 :gridRow 4 :requestFrom BRAVO",
         "ResourceRequest",
         " ClockTime=\"7\" From=\"ALPHA\" RequestFrom=\"BRAVO\" ResType=\"radar\" ResID=\"R1\" "
         "Lat=\"1\" Lng=\"2\" GridCol=\"3\" GridRow=\"4\"/>\n"},
        {"log_unit_display :unitType Radar :name Natal :id R1 :lat 1 :lng 2 :range 130",
         "UnitDisplay",
         " ClockTime=\"7\" From=\"ALPHA\" UnitName=\"Natal\" ResType=\"Radar\" ResID=\"R1\" "
         "Lat=\"1\" Lng=\"2\" Range=\"130\"/>\n"},
    };
    for (const auto& row : rows) {
        Deliver("ALPHA", std::string("tell :command ") + row[0]);
        EXPECT_TRUE(Logged(row[1], row[2])) << row[0] << "\n" << LogText();
    }
    EXPECT_EQ(agent.DispatchedCount(), static_cast<long long>(std::size(rows)));
    // The station's row says so until an answer without the key.
    EXPECT_EQ(agent.MapError("ALPHA"), "no route to <host>");
    Deliver("ALPHA", "tell :command init_playback_confirm");
    EXPECT_EQ(agent.MapError("ALPHA"), std::nullopt);
}

TEST_F(StationCommands, ChatReachesTheTranscriptAndTheLogNamesTheSendingStation) {
    // A :from naming someone else is shown beside the sending station, never instead of it.
    Deliver("BRAVO", "tell :command subject_communication :to all :from ALPHA :message (go)");
    EXPECT_EQ(console.calls.back(), "chat all|BRAVO (as ALPHA)|go");
    EXPECT_TRUE(Logged("ChatMsg", " ClockTime=\"7\" From=\"BRAVO\">\ngo\n"));

    // During a replay what stations say belongs to no experiment: the live transcript stays.
    console.playback = true;
    const std::vector<std::string> before = console.calls;
    Deliver("ALPHA", "tell :command subject_communication :to BRAVO :from alpha-player "
                     ":message (during the replay)");
    for (size_t i = before.size(); i < console.calls.size(); ++i) {
        EXPECT_NE(console.calls[i].rfind("chat ", 0), 0u) << console.calls[i];
    }
}

// Stations written elsewhere send nested values, even the content, as plain keyword lists.
TEST_F(StationCommands, KeywordListsWithoutAPerformativeAreReadLikeTellLists) {
    comm.deliver_text("(tell :sender ALPHA :receiver HalyxCommand :content (:command activate "
                      ":resource radar :id R1 :lat 5 :lng 6 :gridCol 1 :gridRow 2))");
    EXPECT_TRUE(Logged("ResourceActivate", " ClockTime=\"7\" From=\"ALPHA\" ResType=\"radar\" "
                                           "ResID=\"R1\" Lat=\"5\""))
        << LogText();
    const std::string before = LogText();
    const std::string radar = ":radar0 (:id R1 :name \"North\" :activationCt 2 "
                              ":totalActiveTime 30 :cost 1000)";
    Deliver("ALPHA",
            "tell :command mission_stats :totalCost 7 :radarStats (:count 1 " + radar + ")");
    Deliver("BRAVO",
            "tell :command mission_stats :totalCost 7 :radarStats (tell :count 1 " + radar + ")");
    const std::string added = LogText().substr(before.size());
    const std::string radarLine = "<Radar ID=\"R1\" Name=\"North\" ActivationCount=\"2\" "
                                  "ActiveTime=\"30\" Cost=\"1000\"/>";
    const size_t bravo = added.find("TeamMember=\"BRAVO\"");
    ASSERT_NE(bravo, std::string::npos) << added;
    EXPECT_NE(added.substr(0, bravo).find(radarLine), std::string::npos) << added;
    EXPECT_NE(added.substr(bravo).find(radarLine), std::string::npos) << added;
    EXPECT_EQ(agent.DispatchedCount(), 3);
}

TEST_F(StationCommands, UnreadableMessagesAreReportedAndNotedAndUnknownCommandsOnlyRecorded) {
    std::vector<std::string> diagnostics;
    agent.set_debug_sink([&](const std::string& line) { diagnostics.push_back(line); });
    console.calls.clear();
    comm.deliver_text("(tell :sender ALPHA :content (tell :command deploy \"unclosed))");
    comm.deliver_text("(tell :sender ALPHA :content (\"deploy\" :id 4))");
    ASSERT_EQ(console.calls.size(), 2u);
    EXPECT_NE(console.calls[0].find("unreadable message from ALPHA (a string is not closed"),
              std::string::npos)
        << console.calls[0];
    EXPECT_NE(console.calls[1].find("unreadable content from ALPHA"), std::string::npos)
        << console.calls[1];
    ASSERT_EQ(diagnostics.size(), 2u);
    EXPECT_NE(diagnostics[1].find("unreadable content from ALPHA"), std::string::npos);

    // An unknown command is only recorded; a message without content or command, or broken,
    // is also noted in the log.
    const std::string before = LogText();
    const size_t incoming = agent.CommStore().Incoming().size();
    for (const char* text : {"(tell :sender ALPHA :receiver HalyxCommand)",
                             "(tell :sender ALPHA :content (tell :nocommand 1))",
                             "(tell :sender ALPHA :content (tell :command Deploy))",
                             "(tell :sender ALPHA :content (tell :command deploy", ""}) {
        comm.deliver_text(text);
    }
    const std::string added = LogText().substr(before.size());
    EXPECT_EQ(added.find("<Event"), std::string::npos) << added;
    EXPECT_EQ(added.find("Deploy"), std::string::npos) << added;
    for (const char* why : {"(no content)", "(no command)", "(unbalanced parentheses",
                            "(no sender) at clock 7 (empty message"}) {
        EXPECT_NE(added.find(why), std::string::npos) << why << "\n" << added;
    }
    EXPECT_EQ(agent.DispatchedCount(), 0);
    EXPECT_EQ(agent.UnreadableMessages("ALPHA"), 5u);
    EXPECT_EQ(agent.UnreadableMessagesTotal(), 6u);
    // A message without content is still listed as received.
    ASSERT_EQ(agent.CommStore().Incoming().size(), incoming + 5);
    EXPECT_EQ(agent.CommStore().Incoming()[incoming],
              "(tell :sender ALPHA :receiver HalyxCommand)");
}

} // namespace
} // namespace halyx::test
