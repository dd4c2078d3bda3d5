// Every event line of the experiment log, byte for byte, against a reference log. Written with a
// stepping clock, each line's stamp and TSID show that both come from one reading of the clock.
//
// The reference is data/all_events.xml. When a template is changed on purpose, regenerate it:
//     HALYX_REGENERATE_GOLDEN=1 ctest --test-dir build -R record_tests
// and review the difference before committing it.

#include "record/experimentlog.h"
#include "recordtestutil.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace halyx {
namespace {

using test::FreshFolder;
using test::ReadFile;

// One line per event operation, each with recognisable values.
void WriteEveryEvent(CExperimentLog& log) {
    log.LogInitSim();
    log.LogTeamMode("Multiplayer");
    log.LogInitSimConf("ALPHA");
    log.LogStartSim();
    log.LogPauseSim(7);
    log.LogResumeSim(8);
    log.LogChatMsg(9, "ALPHA", "hello team");
    log.LogIncEnterRadar(10, "BRAVO", "I1", "R2");
    log.LogIncExitRadar(11, "BRAVO", "I1", "R2");
    log.LogLaunchStatusChange(12, "go", "CHARLIE");
    log.LogDeployResource(13, "ALPHA", "Interceptor", "N3", "100", "200", "4", "5", "300", "400",
                          "12", "20");
    log.LogInterceptInc(14, "ALPHA", "Interceptor", "N3", "301", "401", "12", "21", "I1", "302",
                        "402", "13", "22");
    log.LogDeployBalloon(15, "CHARLIE", "500", "600", "21", "3");
    log.LogWeatherQuery(16, "CHARLIE", "100", "95");
    log.LogWeatherResponse(16, "CHARLIE", "100", "95", 21.5, 1013.25, 40, 12.125, 270);
    log.LogWeatherNoData(17, "CHARLIE", "-5", "2000");
    log.LogResourceActivate(18, "BRAVO", "Radar", "R2", "10", "20", "1", "2");
    log.LogResourceDeActivate(19, "BRAVO", "Radar", "R2", "10", "20", "1", "2");
    log.LogAbort(20, "ALPHA", "Interceptor", "N3", "30", "40", "3", "4");
    log.LogResourceRequest(21, "BRAVO", "ALPHA", "Interceptor", "N4", "50", "60", "5", "6");
    log.LogUpdateInc(22, "BRAVO", "I1", "90", "110", "210");
    log.LogUnitDisplay(23, "ALPHA",
                       "tell :command log_unit_display :unitType Radar :name North :id R2 "
                       ":lat 10 :lng 20 :range 80");
    log.LogUnitDisplay(24, "ALPHA",
                       "tell :command log_unit_display :unitType Interceptor :name \"Jet 1\" "
                       ":id N3 :lat 11 :lng 21 :speed 600");
    log.LogUnitDisplay(25, "ALPHA",
                       "tell :command log_unit_display :unitType Incursion :name Boat :id I1 "
                       ":lat 12 :lng 22 :speed 15 :heading 45");
    log.LogSimulationComplete(false);
}

TEST(EventLines, EveryTemplateMatchesTheReferenceLogAndUnknownUnitsOrAClosedLogWriteNothing) {
    const std::string folder = FreshFolder("golden");
    {
        CExperimentLog log(test::SteppingClock{test::kAfternoonTsid});
        ASSERT_TRUE(log.Open(folder, "all_events", "Notes of the run",
                             "<Scenario>\n<Incursions/>\n</Scenario>\n"));
        WriteEveryEvent(log);
        // Unknown unit kinds write nothing.
        const std::string before = ReadFile(folder + "all_events.xml");
        EXPECT_FALSE(
            log.LogUnitDisplay(3, "ALPHA", "tell :command log_unit_display :unitType Ship"));
        EXPECT_FALSE(log.LogUnitDisplay(3, "ALPHA", "tell :command log_unit_display"));
        EXPECT_EQ(ReadFile(folder + "all_events.xml"), before);
        log.EndSimEvents(TeamMembersXml({"ALPHA", "BRAVO", "CHARLIE"}));
        EXPECT_TRUE(log.Close());
        // Nor does a closed log.
        EXPECT_FALSE(log.LogInitSim());
        EXPECT_FALSE(log.LogChatMsg(1, "A", "hi"));
        EXPECT_FALSE(log.WriteText("x"));
        EXPECT_FALSE(log.LogMissionStats("A", "tell :totalCost 1"));
        EXPECT_FALSE(log.Close());
    }
    const std::string written = ReadFile(folder + "all_events.xml");
    const std::string reference = std::string(HALYX_TEST_DATA_DIR) + "/all_events.xml";
    if (std::getenv("HALYX_REGENERATE_GOLDEN")) {
        test::WriteAll(reference, written);
    }
    EXPECT_EQ(written, ReadFile(reference));
}

} // namespace
} // namespace halyx
