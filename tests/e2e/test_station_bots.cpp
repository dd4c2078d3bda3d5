// Three bot seats play a whole mission against the real console, ALPHA in one program and BRAVO
// and CHARLIE in another, so that teammates talk across programs. The log must hold a mission the
// scenario could really have produced: every interception names an incursion that the scenario's
// own course places within the interceptor's reach, every radar entry comes at the minute the
// incursion enters that radar's range, every deploy starts where the unit is, and the launch
// decision follows the bots' last go/no-go. The log then plays back to the same seats. ALPHA's
// first deploy is in BRAVO's state within a second, measured on the mission's clock (20 ms a
// minute), not on the machine's.
#include "e2eutil.h"
#include "scenario/incursion.h"
#include "station/stationseat.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace halyx {
namespace {

using namespace e2e;

constexpr int kTickMs = 20;

class StationBots : public ProgramsTest {
protected:
    static void SetUpTestSuite() { EnsureApplication("test_e2e_station_bots"); }
};

double Num(const pugi::xml_node& node, const char* name) {
    return ReadNumber(node.attribute(name).value());
}

// The distance from p to the segment a-b.
double ToSegment(double px, double py, double ax, double ay, double bx, double by) {
    const double dx = bx - ax;
    const double dy = by - ay;
    const double length2 = dx * dx + dy * dy;
    const double t =
        length2 > 0 ? std::clamp(((px - ax) * dx + (py - ay) * dy) / length2, 0.0, 1.0) : 0.0;
    return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

// The minute named in a wire text's ":clock N", -1 when none.
int ClockOf(const std::string& line) {
    const std::size_t at = line.find(":clock ");
    return at == std::string::npos ? -1 : ReadInt(line.substr(at + 7));
}

TEST_F(StationBots, ThreeBotsPlayAMissionTheScenarioCouldProduce) {
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
    EXPECT_GE(learnt, deployed);
    EXPECT_LE(learnt, deployed + 1000 / kTickMs) << "BRAVO learnt of ALPHA's deploy too late";

    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file((home + "logs/Bots.xml").c_str())) << ReadFile(home + "console.out");
    const pugi::xml_node root = doc.child("HalyxSimLog");
    const pugi::xml_node scenario = root.child("Scenario");
    std::map<std::string, CIncursion> incursions;
    for (pugi::xml_node n :
         scenario.find_node([](pugi::xml_node x) { return std::string(x.name()) == "Incursions"; })
             .children()) {
        incursions[n.attribute("ID").value()] =
            CIncursion(n.attribute("Name").value(), n.attribute("ID").value(),
                       n.attribute("Lat").value(), n.attribute("Lng").value(),
                       n.attribute("Speed").value(), n.attribute("Heading").value(), "-");
    }
    std::map<std::string, pugi::xml_node> radars, interceptors;
    for (pugi::xml_node n :
         scenario.find_node([](pugi::xml_node x) { return std::string(x.name()) == "Radars"; })
             .children()) {
        radars[n.attribute("ID").value()] = n;
    }
    for (pugi::xml_node n :
         scenario
             .find_node([](pugi::xml_node x) { return std::string(x.name()) == "Interceptors"; })
             .children()) {
        interceptors[n.attribute("ID").value()] = n;
    }
    ASSERT_FALSE(incursions.empty());
    const auto at = [&](const std::string& id, int minute) {
        return incursions.at(id).GetPositionAt(minute / 60.0);
    };

    // The console stamps a command with the minute after the one its station answered (the
    // clock has moved on by then); a slow turn may add a minute or two.
    const auto stamped = [](int logged, int minute) {
        return logged >= minute + 1 && logged <= minute + 3;
    };
    std::map<std::string, int> interceptedAt;
    std::map<std::string, std::vector<double>> legs; // interceptor -> init lat, lng, dest lat, lng
    std::map<std::string, std::string> lastStatus;
    int enters = 0, intercepts = 0, deploys = 0;
    std::string outcome;
    for (pugi::xml_node e : root.child("SimEvents").children("Event")) {
        const std::string name = e.attribute("Name").value();
        const int clock = e.attribute("ClockTime").as_int();
        if (name == "IncEnterRadar") {
            ++enters;
            const pugi::xml_node radar = radars.at(e.attribute("RadarID").value());
            const std::string inc = e.attribute("IncID").value();
            bool entered = false;
            for (int m = std::max(0, clock - 3); m < clock; ++m) {
                const auto [lat, lng] = at(inc, m);
                const auto [lat0, lng0] = at(inc, m - 1);
                const double range = Num(radar, "Range");
                entered |= std::hypot(lat - Num(radar, "Lat"), lng - Num(radar, "Lng")) <= range &&
                           (m == 0 ||
                            std::hypot(lat0 - Num(radar, "Lat"), lng0 - Num(radar, "Lng")) > range);
            }
            EXPECT_TRUE(entered) << inc << " did not enter " << radar.attribute("ID").value()
                                 << " just before minute " << clock;
        } else if (name == "InterceptInc") {
            ++intercepts;
            const std::string inc = e.attribute("IncID").value();
            const std::string craft = e.attribute("IntID").value();
            EXPECT_EQ(interceptedAt.count(inc), 0u) << inc << " intercepted twice";
            interceptedAt[inc] = clock;
            bool placed = false;
            for (int m = clock - 3; m < clock; ++m) {
                const auto [lat, lng] = at(inc, m);
                placed |= std::hypot(lat - Num(e, "IncLat"), lng - Num(e, "IncLng")) < 0.01 &&
                          stamped(clock, m);
            }
            EXPECT_TRUE(placed) << inc << " was not at the logged point at minute " << clock;
            const double reach =
                CStationSeat::kCaptureRadius + Num(interceptors.at(craft), "Speed") / 60.0 + 0.01;
            EXPECT_LE(std::hypot(Num(e, "IntLat") - Num(e, "IncLat"),
                                 Num(e, "IntLng") - Num(e, "IncLng")),
                      reach)
                << craft << " out of reach of " << inc;
            const std::vector<double>& leg = legs[craft];
            ASSERT_EQ(leg.size(), 4u) << craft << " intercepted without a deploy";
            EXPECT_LT(ToSegment(Num(e, "IntLat"), Num(e, "IntLng"), leg[0], leg[1], leg[2], leg[3]),
                      0.01)
                << craft << " intercepted off its course";
            legs[craft] = {Num(e, "IntLat"), Num(e, "IntLng"), Num(e, "IntLat"), Num(e, "IntLng")};
        } else if (name == "DeployResource") {
            ++deploys;
            const std::string craft = e.attribute("ResID").value();
            std::vector<double>& leg = legs[craft];
            if (leg.empty()) {
                const pugi::xml_node home = interceptors.at(craft);
                leg = {Num(home, "Lat"), Num(home, "Lng"), Num(home, "Lat"), Num(home, "Lng")};
            }
            EXPECT_LT(
                ToSegment(Num(e, "InitLat"), Num(e, "InitLng"), leg[0], leg[1], leg[2], leg[3]),
                0.01)
                << craft << " deployed from where it was not";
            leg = {Num(e, "InitLat"), Num(e, "InitLng"), Num(e, "DestLat"), Num(e, "DestLng")};
        } else if (name == "Abort" || name == "ResourceDeActivate") {
            const std::string craft = e.attribute("ResID").value();
            legs[craft] = {Num(e, "Lat"), Num(e, "Lng"), Num(e, "Lat"), Num(e, "Lng")};
        } else if (name == "LaunchStatusChange") {
            lastStatus[e.attribute("From").value()] = e.attribute("Status").value();
        } else if (name == "SimulationComplete") {
            outcome = e.attribute("LaunchStatus").value();
        }
    }
    EXPECT_GT(enters, 0);
    EXPECT_GT(intercepts, 0);
    EXPECT_GT(deploys, 0);
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
