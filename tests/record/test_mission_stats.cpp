// A station's mission statistics as they appear in the experiment log.

#include "record/missionstats.h"

#include <gtest/gtest.h>

namespace halyx {
namespace {

TEST(MissionStats, AFullReportKeepsEveryFigureAsText) {
    const std::string block = MissionStatsXml(
        "ALPHA", "tell :command mission_stats :totalCost 1200.50 :balloonCost 100 :intCost 800 "
                 ":radarCost 300.5 :radarStats (tell :count 2 :radar0 (tell :id R1 :name North "
                 ":activationCt 3 :totalActiveTime 120 :cost 150) :radar1 (tell :id R2 :name "
                 "\"South Cape\" :activationCt 1 :totalActiveTime 60 :cost 150.5)) :intStats (tell "
                 ":count 1 :int0 (tell :id N1 :name Jet :activationCt 2 :deployCt 4 :intCt 1 "
                 ":totalActiveTime 300 :totalTaskTime 200 :cost 800)) :balloonStats (tell :count "
                 "1 :balloon0 (tell :deployTime 12 :reportTime 14 :deployLat 100 :deployLng 200 "
                 ":cost 100))");
    EXPECT_EQ(block, "<MissionStats TeamMember=\"ALPHA\">\n<TotalCost>1200.50</TotalCost>\n"
                     "<BalloonCost>100</BalloonCost>\n<InterceptorCost>800</InterceptorCost>\n"
                     "<RadarCost>300.5</RadarCost>\n<RadarStats>\n"
                     "<Radar ID=\"R1\" Name=\"North\" ActivationCount=\"3\" ActiveTime=\"120\" "
                     "Cost=\"150\"/><Radar ID=\"R2\" Name=\"South Cape\" ActivationCount=\"1\" "
                     "ActiveTime=\"60\" Cost=\"150.5\"/></RadarStats>\n<InterceptorStats>\n"
                     "<Interceptor ID=\"N1\" Name=\"Jet\" ActivationCount=\"2\" DeployCount=\"4\" "
                     "InterceptCount=\"1\" ActiveTime=\"300\" TaskTime=\"200\" Cost=\"800\"/>"
                     "</InterceptorStats>\n<BalloonStats>\n<Balloon DeployTime=\"12\" "
                     "ReportTime=\"14\" DeployLat=\"100\" DeployLng=\"200\" Cost=\"100\"/>"
                     "</BalloonStats>\n</MissionStats>\n");
}

TEST(MissionStats, AReportWithoutListsStillHasItsThreeEmptySections) {
    EXPECT_EQ(MissionStatsXml("B", "tell :command mission_stats"),
              "<MissionStats TeamMember=\"B\">\n<TotalCost></TotalCost>\n"
              "<BalloonCost></BalloonCost>\n<InterceptorCost></InterceptorCost>\n"
              "<RadarCost></RadarCost>\n<RadarStats>\n</RadarStats>\n<InterceptorStats>\n"
              "</InterceptorStats>\n<BalloonStats>\n</BalloonStats>\n</MissionStats>\n");
}

std::string Radars(const std::string& stats) {
    const std::string block = MissionStatsXml("A", "tell :radarStats (" + stats + ")");
    const size_t from = block.find("<RadarStats>\n") + 13;
    return block.substr(from, block.find("</RadarStats>") - from);
}

TEST(MissionStats, ItemsAreBoundedByTheirCount) {
    // Only radar1 of two: one element. radar2 lies beyond the count.
    EXPECT_EQ(Radars("tell :count 2 :radar1 (tell :id R2) :radar2 (tell :id R3)"),
              "<Radar ID=\"R2\" Name=\"\" ActivationCount=\"\" ActiveTime=\"\" Cost=\"\"/>");
    EXPECT_EQ(Radars("tell :count 2abc :radar1 (tell :id X)").find("<Radar ID=\"X\""), 0u);
    EXPECT_EQ(Radars("tell :count abc :radar0 (tell :id X)"), "");
    EXPECT_EQ(Radars("tell :radar0 (tell :id X)"), "");
    EXPECT_EQ(Radars("tell :count -4 :radar0 (tell :id X)"), "");
    // A hostile count costs no more than the items present.
    const std::string radars = Radars("tell :count 99999999999 :radar7 (tell :id R7) "
                                      ":radar01 (tell :id bad) :radar0 (tell :id R0)");
    EXPECT_EQ(radars.find("<Radar ID=\"R0\""),
              0u); // in index order, whatever the order of the message
    EXPECT_NE(radars.find("R7"), std::string::npos);
    EXPECT_EQ(radars.find("bad"), std::string::npos);
}

TEST(MissionStats, MarkupInFiguresIsEscaped) {
    const std::string block =
        MissionStatsXml("<A&B>", "tell :totalCost \"<1>\" :radarStats (tell :count 1 :radar0 "
                                 "(tell :name \"a\\\"b\"))");
    EXPECT_NE(block.find("TeamMember=\"&lt;A&amp;B&gt;\""), std::string::npos);
    EXPECT_NE(block.find("<TotalCost>&lt;1&gt;</TotalCost>"), std::string::npos);
    EXPECT_EQ(block.find("\"a\"b\""), std::string::npos);
}

} // namespace
} // namespace halyx
