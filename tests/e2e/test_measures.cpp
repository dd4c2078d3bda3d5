// A whole mission with three bot seats, ALPHA in one program and BRAVO and CHARLIE in another so
// that teammates talk across programs, and DELTA, a station that knows no probes.
// The bots' play: ALPHA's first deploy is in BRAVO's state within a second, measured on the
// mission's clock, not on the machine's; what they sent is a mission the scenario could produce
// (CheckBotsPlayedTheScenario) and is in the log, every command of it. (A replay to seats is the
// seat's own test.)
// Researchers' measures: a probe plan with two freezes, an in-view question, a workload rating
// every 5 minutes and the questionnaire at the end. ALPHA answers truthfully, BRAVO and CHARLIE
// always wrongly, so the scores show that the console judges by its own model of the mission.
// Every question is logged once per seat; the clock holds during each freeze (DELTA's silence
// keeps it held until the time is up, which the console says) and resumes at the next minute;
// halyx-log csv splits the answers into its tables.
#include "e2eutil.h"
#include "scenario/incursion.h"
#include "station/stationseat.h"

#include <QTcpSocket>
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace halyx {
namespace {

using namespace e2e;

class Measures : public ProgramsTest {
protected:
    static void SetUpTestSuite() { TestApp("test_e2e_measures"); }
};

constexpr int kTickMs = 30;

// The minute named in a wire text's ":clock N", -1 when none.
int ClockOf(const std::string& line) {
    const std::size_t at = line.find(":clock ");
    return at == std::string::npos ? -1 : ReadInt(line.substr(at + 7));
}

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

std::map<std::string, pugi::xml_node> UnitsOf(const pugi::xml_node& scenario, const char* list) {
    std::map<std::string, pugi::xml_node> units;
    for (pugi::xml_node n :
         scenario.find_node([&](pugi::xml_node x) { return std::string(x.name()) == list; })
             .children()) {
        units[n.attribute("ID").value()] = n;
    }
    return units;
}

// The bots played a mission the scenario could really have produced: every interception names
// an incursion that the scenario's own course places within the interceptor's reach at the
// minute the seat decided it (the last clock_sync its agent had), every deploy starts where the
// unit is, and every radar entry comes at the minute the incursion enters that radar's range.
// counts gets what each seat sent, by command.
void CheckBotsPlayedTheScenario(const pugi::xml_node& root, const std::string& home,
                                std::map<std::string, int>& counts) {
    const pugi::xml_node scenario = root.child("Scenario");
    std::map<std::string, CIncursion> incursions;
    for (const auto& [id, n] : UnitsOf(scenario, "Incursions")) {
        incursions[id] = CIncursion(n.attribute("Name").value(), id, n.attribute("Lat").value(),
                                    n.attribute("Lng").value(), n.attribute("Speed").value(),
                                    n.attribute("Heading").value(), "-");
    }
    const auto radars = UnitsOf(scenario, "Radars");
    const auto interceptors = UnitsOf(scenario, "Interceptors");
    ASSERT_FALSE(incursions.empty());
    const auto at = [&](const std::string& id, int minute) {
        return incursions.at(id).GetPositionAt(minute / 60.0);
    };
    std::map<std::string, int> interceptedAt;
    std::map<std::string, std::vector<double>> legs; // interceptor -> init lat, lng, dest lat, lng
    std::set<std::string> entries;                   // "incursion radar minute"
    for (const char* output : {"alpha.out", "others.out"}) {
        std::map<std::string, int> clock;
        for (const std::string& line : Lines(home + output)) {
            const Wire w = ReadWireLine(line);
            CParser message;
            if (!message.parse_message(line.substr(5))) {
                break;
            }
            if (IsRecv(line) && w.command == "clock_sync") {
                clock[message.find_text("receiver")] = w.clock;
                continue;
            }
            if (!IsSend(line)) {
                continue;
            }
            const int minute = clock[w.sender];
            CParser keys;
            keys.parse_message(w.content);
            const auto num = [&](const char* key) { return ReadNumber(keys.find_text(key)); };
            const std::string craft = keys.find_text("id");
            const std::string inc = keys.find_text("incID");
            ++counts[w.command];
            if (w.command == "inc_enter_radar") {
                entries.insert(inc + " " + keys.find_text("radarID") + " " +
                               std::to_string(minute));
            } else if (w.command == "intercept") {
                EXPECT_EQ(interceptedAt.count(inc), 0u) << inc << " intercepted twice";
                interceptedAt[inc] = minute;
                const auto [lat, lng] = at(inc, minute);
                EXPECT_LT(std::hypot(lat - num("incLat"), lng - num("incLng")), 0.01)
                    << inc << " was not at the sent point at minute " << minute;
                const double reach = CStationSeat::kCaptureRadius +
                                     Num(interceptors.at(craft), "Speed") / 60.0 + 0.01;
                EXPECT_LE(std::hypot(num("intLat") - lat, num("intLng") - lng), reach)
                    << craft << " out of reach of " << inc;
                const std::vector<double>& leg = legs[craft];
                ASSERT_EQ(leg.size(), 4u) << craft << " intercepted without a deploy";
                EXPECT_LT(ToSegment(num("intLat"), num("intLng"), leg[0], leg[1], leg[2], leg[3]),
                          0.01)
                    << craft << " intercepted off its course";
                legs[craft] = {num("intLat"), num("intLng"), num("intLat"), num("intLng")};
            } else if (w.command == "deploy") {
                std::vector<double>& leg = legs[craft];
                if (leg.empty()) {
                    const pugi::xml_node unit = interceptors.at(craft);
                    leg = {Num(unit, "Lat"), Num(unit, "Lng"), Num(unit, "Lat"), Num(unit, "Lng")};
                }
                EXPECT_LT(ToSegment(num("initLat"), num("initLng"), leg[0], leg[1], leg[2], leg[3]),
                          0.01)
                    << craft << " deployed from where it was not";
                leg = {num("initLat"), num("initLng"), num("destLat"), num("destLng")};
            } else if (w.command == "abort" || w.command == "deactivate") {
                legs[craft] = {num("lat"), num("lng"), num("lat"), num("lng")};
            }
        }
    }
    // Every radar entry the scenario gives up to the incursion's interception, at its minute,
    // and no other (a teammate's interception is known to the others a minute later).
    std::set<std::string> expected;
    for (const auto& [inc, incursion] : incursions) {
        const int end = interceptedAt.count(inc) ? interceptedAt[inc] : 960;
        for (const auto& [id, radar] : radars) {
            const auto in = [&](int minute) {
                const auto [lat, lng] = at(inc, minute);
                return std::hypot(lat - Num(radar, "Lat"), lng - Num(radar, "Lng")) <=
                       Num(radar, "Range");
            };
            for (int m = 0; m <= 960; ++m) {
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
}

constexpr const char* kPlan = "kind,minute,seconds,id,text,answer,choices\n"
                              "freeze,100,2,contacts,How many incursions do your radars "
                              "see?,number:own_contacts,\n"
                              "freeze,100,2,minute,What minute is it?,number:minute~5,\n"
                              "freeze,100,2,zone,Do you stand between the impact "
                              "lines?,choice:inside_lines,yes|no\n"
                              "freeze,300,2,minute,What minute is it?,number:minute,\n"
                              "freeze,300,2,plan,\"What next, in a few words?\",text,\n"
                              "inview,400,2,busy,How many are active?,number:active_interceptors,\n"
                              "rating,5,1,,,,\n"
                              "questionnaire,,2,,,,pairs\n";

TEST_F(Measures, BotsPlayAndFreezesRatingsAndQuestionnaireAreAskedScoredAndLogged) {
    {
        std::ofstream plan(home + "probes.csv");
        plan << kPlan;
    }
    QString ans;
    processes.push_back(StartAns(home, ans));
    ASSERT_FALSE(ans.isEmpty()) << ReadFile(home + "ans.out.err");
    Start("halyx-station", {"--seat", "ALPHA=bot", "--ans", ans, "--seed", "5", "--no-fetch-maps"},
          home + "alpha.out");
    Start("halyx-station",
          {"--seat", "BRAVO=bot", "--seat", "CHARLIE=bot", "--ans", ans, "--seed", "9",
           "--answer-errors", "100", "--no-fetch-maps"},
          home + "others.out");
    Start("halyx-station", {"--seat", "DELTA=idle", "--ans", ans, "--no-probes", "--no-fetch-maps"},
          home + "delta.out");
    QProcess* console = Start("halyx-command",
                              {"--headless", "-", "--ans", ans, "--no-embedded-ans", "--tick-ms",
                               QString::number(kTickMs), "--event-stream", "0"},
                              home + "console.out");
    // A recorder follows the live event stream while the mission runs.
    const std::string events = WaitForLine(home + "console.out", "EVENTS ");
    ASSERT_FALSE(events.empty()) << ReadFile(home + "console.out.err");
    QTcpSocket recorder;
    recorder.connectToHost("127.0.0.1", static_cast<quint16>(ReadInt(events.substr(7))));
    ASSERT_TRUE(recorder.waitForConnected(5000));
    const std::string logs = home + "logs";
    Send(console, "register\nwait agents 4 timeout=60\nadd ALPHA BRAVO CHARLIE DELTA\nprobes " +
                      home + "probes.csv\ninit name=M folder=" + logs +
                      "\nwait initialized timeout=60\nstart\nwait end timeout=300\n"
                      "wait quiet 500 timeout=60\nquit\n");
    QByteArray streamed;
    for (int waited = 0; !console->waitForFinished(20) && waited < 400000; waited += 40) {
        recorder.waitForReadyRead(20);
        streamed += recorder.readAll();
    }
    ASSERT_EQ(console->state(), QProcess::NotRunning) << ReadFile(home + "console.out");
    streamed += recorder.readAll();
    const std::string out = ReadFile(home + "console.out");
    EXPECT_NE(out.find("no answer from DELTA to probe freeze-100 within 2 s"), std::string::npos)
        << out;

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
    ASSERT_TRUE(doc.load_file((logs + "/M.xml").c_str())) << out;
    std::map<std::string, int> counts; // what the seats sent, by command
    CheckBotsPlayedTheScenario(doc.child("HalyxSimLog"), home, counts);
    EXPECT_GT(counts["inc_enter_radar"], 0);
    EXPECT_GT(counts["intercept"], 0);
    std::map<std::string, pugi::xml_node> starts, ends;
    std::map<std::tuple<std::string, std::string, std::string>, int> answered;
    std::string open;
    int steadyStarts = 0, ratings = 0;
    for (pugi::xml_node e : doc.child("HalyxSimLog").child("SimEvents").children("Event")) {
        const std::string name = e.attribute("Name").value();
        const std::string probe = e.attribute("Probe").value();
        const int clock = e.attribute("ClockTime").as_int(-1);
        --counts[name == "IncEnterRadar"    ? "inc_enter_radar"
                 : name == "InterceptInc"   ? "intercept"
                 : name == "DeployResource" ? "deploy"
                                            : "other"];
        if (name == "SteadyClock") {
            steadyStarts += std::string(e.attribute("At").value()) == "start";
        } else if (name == "ProbeStart") {
            starts[probe] = e;
            ratings += std::string(e.attribute("Kind").value()) == "rating";
            if (probe.rfind("freeze", 0) == 0) {
                open = probe;
            }
        } else if (name == "ProbeEnd") {
            ends[probe] = e;
            if (probe == open) {
                open = "-" + probe;
            }
        } else if (name == "ProbeAnswer") {
            const std::string seat = e.attribute("Seat").value();
            ++answered[{probe, seat, e.attribute("Question").value()}];
            const bool knows = seat != "DELTA";
            EXPECT_EQ(e.attribute("Answered").as_int(), knows ? 1 : 0) << probe << " " << seat;
            const std::string q = e.attribute("Question").value();
            if (q == "minute") {
                EXPECT_EQ(e.attribute("Truth").as_int(),
                          starts[probe].attribute("ClockTime").as_int());
                if (knows) {
                    EXPECT_EQ(e.attribute("Score").as_int(), seat == "ALPHA" ? 1 : 0)
                        << probe << seat;
                }
            }
        } else if (!open.empty() && clock >= 0) {
            // A station's command during a freeze carries the held minute (one past the frozen
            // one at most); the first after the freeze carries a later one.
            const int frozen =
                starts[open[0] == '-' ? open.substr(1) : open].attribute("ClockTime").as_int();
            if (open[0] != '-') {
                EXPECT_LE(clock, frozen + 1) << name << " during " << open;
            }
        }
    }
    EXPECT_EQ(steadyStarts, 1);
    EXPECT_EQ(counts["inc_enter_radar"], 0);
    EXPECT_EQ(counts["intercept"], 0);
    EXPECT_EQ(counts["deploy"], 0);
    const pugi::xml_node root = doc.child("HalyxSimLog");
    EXPECT_EQ(
        std::distance(root.children("MissionStats").begin(), root.children("MissionStats").end()),
        4);
    // The stream carried the measures' lines exactly as the log has them.
    const auto measureLines = [](const std::vector<std::string>& lines) {
        std::vector<std::string> kept;
        for (const std::string& line : lines) {
            if (line.rfind("<Event ", 0) == 0 && line.find("Name=\"Probe") != std::string::npos) {
                kept.push_back(line);
            }
        }
        return kept;
    };
    std::vector<std::string> streamLines;
    for (const QByteArray& line : streamed.split('\n')) {
        streamLines.push_back(line.toStdString());
    }
    const std::vector<std::string> logged = measureLines(Lines(logs + "/M.xml"));
    EXPECT_GT(logged.size(), 800u);
    EXPECT_EQ(measureLines(streamLines), logged);
    // ALPHA's clock went on minute by minute across the freezes (960 comes twice: before and
    // after the questionnaire).
    int last = -1;
    for (const std::string& line : Lines(home + "alpha.out")) {
        if (IsRecv(line) && line.find("clock_sync") != std::string::npos) {
            const int minute = ReadInt(line.substr(line.find(":clock ") + 7));
            EXPECT_TRUE(minute == last + 1 || (minute == 960 && last == 960)) << last << minute;
            last = minute;
        }
    }
    EXPECT_EQ(last, 960);
    EXPECT_EQ(ratings, 191); // minutes 5 to 955
    ASSERT_EQ(starts.count("freeze-100") + starts.count("freeze-300") + starts.count("inview-400") +
                  starts.count("questionnaire"),
              4u);
    for (const auto& [probe, start] : starts) {
        ASSERT_EQ(ends.count(probe), 1u) << probe;
        EXPECT_STREQ(ends[probe].attribute("Missing").value(), "DELTA") << probe;
        const int questions = start.attribute("Questions").as_int();
        int logged = 0;
        for (const auto& [key, count] : answered) {
            if (std::get<0>(key) == probe) {
                EXPECT_EQ(count, 1) << probe << " " << std::get<1>(key) << " " << std::get<2>(key);
                ++logged;
            }
        }
        EXPECT_EQ(logged, questions * 4) << probe;
    }
    EXPECT_EQ(starts["questionnaire"].attribute("Questions").as_int(), 21);
    // The freezes held the clock until DELTA's time was up, then the mission went on.
    for (const char* freeze : {"freeze-100", "freeze-300"}) {
        EXPECT_GE(ends[freeze].attribute("SteadyMs").as_llong() -
                      starts[freeze].attribute("SteadyMs").as_llong(),
                  2000);
    }

    QProcess* csv = Start("halyx-log",
                          {"csv", QString::fromStdString(logs + "/M.xml"), "-o",
                           QString::fromStdString(home + "csv")},
                          home + "csv.out");
    ASSERT_TRUE(csv->waitForFinished(60000));
    const auto probes = Lines(home + "csv/probes.csv");
    const auto ratingRows = Lines(home + "csv/ratings.csv");
    const auto questionnaire = Lines(home + "csv/questionnaire.csv");
    ASSERT_FALSE(probes.empty()) << ReadFile(home + "csv.out.err");
    EXPECT_EQ(probes[0], "experiment,minute,time,steady_ms,probe,kind,seat,question,text,answer,"
                         "answered,truth,score,ms");
    EXPECT_EQ(probes.size(), 1u + 4 * (3 + 2 + 1));
    EXPECT_EQ(ratingRows.size(), 1u + 4 * 191);
    EXPECT_EQ(questionnaire.size(), 1u + 4 * 21);
}

} // namespace
} // namespace halyx
