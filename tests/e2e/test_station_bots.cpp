// Three bot seats play a whole mission against the real console, ALPHA in one program and BRAVO
// and CHARLIE in another, so that teammates talk across programs. Every radar entry, interception
// and deploy a seat sent is in the log, the launch decision follows the bots' last go/no-go, and
// the log then plays back to the same seats. ALPHA's first deploy is in BRAVO's state within a
// second, measured on the mission's clock (20 ms a minute), not on the machine's. (That a seat's
// course of an incursion is the console's, and what a seat may send when, is the seat's own test.)
#include "e2eutil.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <iterator>
#include <map>
#include <string>

namespace halyx {
namespace {

using namespace e2e;

constexpr int kTickMs = 20;

class StationBots : public ProgramsTest {
protected:
    static void SetUpTestSuite() { TestApp("test_e2e_station_bots"); }
};

// The minute named in a wire text's ":clock N", -1 when none.
int ClockOf(const std::string& line) {
    const std::size_t at = line.find(":clock ");
    return at == std::string::npos ? -1 : ReadInt(line.substr(at + 7));
}

TEST_F(StationBots, ThreeBotsInTwoProgramsPlayAMissionTheLogHoldsWhole) {
    QString ans;
    processes.push_back(StartAns(home, ans));
    ASSERT_FALSE(ans.isEmpty()) << ReadFile(home + "ans.out.err");
    Start("halyx-station", {"--seat", "ALPHA=bot", "--ans", ans, "--seed", "5", "--no-fetch-maps"},
          home + "alpha.out");
    Start("halyx-station",
          {"--seat", "BRAVO=bot", "--seat", "CHARLIE=bot", "--ans", ans, "--seed", "9",
           "--no-fetch-maps"},
          home + "others.out");
    QProcess* console = Start("halyx-command",
                              {"--headless", "-", "--ans", ans, "--no-embedded-ans", "--tick-ms",
                               QString::number(kTickMs)},
                              home + "console.out");
    const std::string logs = home + "logs";
    Send(console,
         "register\nwait agents 3 timeout=60\nadd ALPHA BRAVO CHARLIE\ninit name=Bots folder=" +
             logs + "\nwait initialized timeout=60\nstart\nwait end timeout=300\n" +
             "wait quiet 500 timeout=60\nreset yes\nplayback on\nload-experiment " + logs +
             "/Bots.xml\ninit-playback\nwait initialized timeout=60\nplay\nwait end "
             "timeout=300\nwait quiet 500 timeout=60\nquit\n");
    ASSERT_TRUE(console->waitForFinished(400000)) << ReadFile(home + "console.out");

    // ALPHA's first deploy, and the minute at which BRAVO's seat had it.
    int deployed = -1;
    for (const std::string& line : Lines(home + "alpha.out")) {
        if (deployed < 0 && IsSend(line) && line.find(":receiver BRAVO") != std::string::npos &&
            line.find("team_deploy") != std::string::npos) {
            deployed = ClockOf(line);
        }
    }
    ASSERT_GE(deployed, 0) << "ALPHA deployed nothing";
    int learnt = -1;
    for (const std::string& line : Lines(home + "others.out")) {
        if (learnt < 0 && line.rfind("TEAM BRAVO minute ", 0) == 0 &&
            line.find("team_deploy from ALPHA") != std::string::npos) {
            learnt = ReadInt(line.substr(18));
        }
    }
    // (It may hear of it before its own clock reaches that minute: the console ticks the seats
    // one after the other.)
    ASSERT_GE(learnt, 0) << "BRAVO never heard of ALPHA's deploy";
    EXPECT_LE(learnt, deployed + 1000 / kTickMs) << "BRAVO learnt of ALPHA's deploy too late";

    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file((home + "logs/Bots.xml").c_str())) << ReadFile(home + "console.out");
    const pugi::xml_node root = doc.child("HalyxSimLog");

    // What each seat sent in the mission, up to the replay.
    std::map<std::string, int> counts;
    for (const char* output : {"alpha.out", "others.out"}) {
        for (const std::string& line : Lines(home + output)) {
            const Wire w = ReadWireLine(line);
            if (w.command == "init_playback") {
                break;
            }
            if (IsSend(line)) {
                ++counts[w.command];
            }
        }
    }
    EXPECT_GT(counts["inc_enter_radar"], 0);
    EXPECT_GT(counts["intercept"], 0);

    std::map<std::string, std::string> lastStatus;
    std::string outcome;
    for (pugi::xml_node e : root.child("SimEvents").children("Event")) {
        const std::string name = e.attribute("Name").value();
        --counts[name == "IncEnterRadar"    ? "inc_enter_radar"
                 : name == "InterceptInc"   ? "intercept"
                 : name == "DeployResource" ? "deploy"
                                            : "other"];
        if (name == "LaunchStatusChange") {
            lastStatus[e.attribute("From").value()] = e.attribute("Status").value();
        } else if (name == "SimulationComplete") {
            outcome = e.attribute("LaunchStatus").value();
        }
    }
    // The log holds every one of them.
    EXPECT_EQ(counts["inc_enter_radar"], 0);
    EXPECT_EQ(counts["intercept"], 0);
    EXPECT_EQ(counts["deploy"], 0);
    ASSERT_EQ(lastStatus.size(), 3u);
    const bool allGo =
        lastStatus["ALPHA"] == "go" && lastStatus["BRAVO"] == "go" && lastStatus["CHARLIE"] == "go";
    EXPECT_EQ(outcome, allGo ? "Launch" : "NoLaunch");
    EXPECT_EQ(
        std::distance(root.children("MissionStats").begin(), root.children("MissionStats").end()),
        3);
}

} // namespace
} // namespace halyx
