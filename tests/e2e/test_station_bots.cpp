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
#include <set>
#include <string>
#include <vector>

namespace halyx {
namespace {

using namespace e2e;

constexpr int kTickMs = 20;
constexpr int kLaunchMinutes = 960;

class StationBots : public ProgramsTest {
protected:
    static void SetUpTestSuite() { TestApp("test_e2e_station_bots"); }
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
    // (It may hear of it before its own clock reaches that minute: the console ticks the seats
    // one after the other.)
    ASSERT_GE(learnt, 0) << "BRAVO never heard of ALPHA's deploy";
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

    // What each seat sent in the mission, at the minute it decided it: the last clock_sync its
    // agent had received (the log's ClockTime is the console's minute when it read the command).
    struct Sent {
        std::string command;
        int minute = 0;
        CParser keys;
    };
    std::vector<Sent> sent;
    for (const char* output : {"alpha.out", "others.out"}) {
        std::map<std::string, int> clock;
        for (const std::string& line : Lines(home + output)) {
            const Wire w = ReadWireLine(line);
            CParser message;
            if (w.command == "init_playback" || !message.parse_message(line.substr(5))) {
                break;
            }
            if (IsRecv(line) && w.command == "clock_sync") {
                clock[message.find_text("receiver")] = w.clock;
            } else if (IsSend(line)) {
                sent.push_back({w.command, clock[w.sender], {}});
                sent.back().keys.parse_message(w.content);
            }
        }
    }
    std::map<std::string, int> interceptedAt, counts;
    std::map<std::string, std::vector<double>> legs; // interceptor -> init lat, lng, dest lat, lng
    std::set<std::string> entries;                   // "incursion radar minute"
    for (const Sent& s : sent) {
        const auto num = [&](const char* key) { return ReadNumber(s.keys.find_text(key)); };
        const std::string craft = s.keys.find_text("id");
        const std::string inc = s.keys.find_text("incID");
        ++counts[s.command];
        if (s.command == "inc_enter_radar") {
            entries.insert(inc + " " + s.keys.find_text("radarID") + " " +
                           std::to_string(s.minute));
        } else if (s.command == "intercept") {
            EXPECT_EQ(interceptedAt.count(inc), 0u) << inc << " intercepted twice";
            interceptedAt[inc] = s.minute;
            const auto [lat, lng] = at(inc, s.minute);
            EXPECT_LT(std::hypot(lat - num("incLat"), lng - num("incLng")), 0.01)
                << inc << " was not at the sent point at minute " << s.minute;
            const double reach =
                CStationSeat::kCaptureRadius + Num(interceptors.at(craft), "Speed") / 60.0 + 0.01;
            EXPECT_LE(std::hypot(num("intLat") - lat, num("intLng") - lng), reach)
                << craft << " out of reach of " << inc;
            const std::vector<double>& leg = legs[craft];
            ASSERT_EQ(leg.size(), 4u) << craft << " intercepted without a deploy";
            EXPECT_LT(ToSegment(num("intLat"), num("intLng"), leg[0], leg[1], leg[2], leg[3]), 0.01)
                << craft << " intercepted off its course";
            legs[craft] = {num("intLat"), num("intLng"), num("intLat"), num("intLng")};
        } else if (s.command == "deploy") {
            std::vector<double>& leg = legs[craft];
            if (leg.empty()) {
                const pugi::xml_node home = interceptors.at(craft);
                leg = {Num(home, "Lat"), Num(home, "Lng"), Num(home, "Lat"), Num(home, "Lng")};
            }
            EXPECT_LT(ToSegment(num("initLat"), num("initLng"), leg[0], leg[1], leg[2], leg[3]),
                      0.01)
                << craft << " deployed from where it was not";
            leg = {num("initLat"), num("initLng"), num("destLat"), num("destLng")};
        } else if (s.command == "abort" || s.command == "deactivate") {
            legs[craft] = {num("lat"), num("lng"), num("lat"), num("lng")};
        }
    }
    // Every radar entry the scenario gives up to the incursion's interception, at its minute,
    // and no other (a teammate's interception is known to the others a minute later).
    std::set<std::string> expected;
    for (const auto& [inc, incursion] : incursions) {
        const int end = interceptedAt.count(inc) ? interceptedAt[inc] : kLaunchMinutes;
        for (const auto& [id, radar] : radars) {
            const auto in = [&](int minute) {
                const auto [lat, lng] = at(inc, minute);
                return std::hypot(lat - Num(radar, "Lat"), lng - Num(radar, "Lng")) <=
                       Num(radar, "Range");
            };
            for (int m = 0; m <= kLaunchMinutes; ++m) {
                const std::string key = inc + " " + id + " " + std::to_string(m);
                if (m > end && m <= end + 1) {
                    entries.erase(key);
                } else if (m <= end && in(m) && (m == 0 || !in(m - 1))) {
                    expected.insert(key);
                }
            }
        }
    }
    EXPECT_EQ(entries, expected);

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
    EXPECT_FALSE(expected.empty());
    EXPECT_GT(interceptedAt.size(), 0u);
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
