// One seat of the team, message in -> state and commands out. The world: ALPHA and BRAVO; R1 and
// I1 near ALPHA's station, R2 and I2 near BRAVO's; incursion N1 runs toward R1 at one map unit a
// minute and enters its range at minute 11.
#include "scenario/incursion.h"
#include "station/probe.h"
#include "station/seatbot.h"
#include "station/seatprobes.h"
#include "station/stationseat.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace halyx {
namespace {

std::string Wire(const std::string& from, const std::string& content) {
    return "(tell :sender " + from + " :receiver ALPHA :content (" + content + "))";
}

std::string Init(const std::string& radars = "", const std::string& command = "init_sim") {
    return Wire(
        "CON",
        "ask :command " + command +
            " :scenario (tell :map http://maps/a.txt"
            " :terrain (tell :number 2 :0 (tell :style Solid :code 45 :name Sea :r 0 :g 99 :b 99)"
            " :1 (tell :code x :r 1 :g 2 :b 3)) :radar (tell :number 2"
            " :0 (tell :name \"Natal\" :lat 560 :lon 330 :id R1 :range 50 :life - :owner -)"
            " :1 (tell :name \"Haiti\" :lat 270 :lon 380 :id R2 :range 50 :life - :owner -)" +
            radars +
            ") :interceptors (tell :number 2"
            " :0 (tell :name \"F-16\" :lat 560.000000 :lon 320.000000 :id I1 :maxspeed "
            "60.000000 :range 200.000000 :scope air :minrange 1.000000)"
            " :1 (tell :name \"Frigate\" :lat 270.000000 :lon 390.000000 :id I2 :maxspeed "
            "60.000000 :range 0.000000 :scope sea :minrange 1.000000))"
            " :incursions (tell :number 99999999999  :0 (tell :id N1 :lat 620.500000 :lon "
            "330.000000 :heading 270 :speed 60 :name \"Drug <b>Lord</b> & \\\"co\\\"\"))"
            " :impactlines (tell :nline (tell :number 0) :sline (tell :number 0))"
            " :trajectory (tell :number 0))");
}

const std::string kStart =
    Wire("CON", "tell :command start_sim :clock 1 :scenario (none) :team (tell :number 2 :client0 "
                "ALPHA :client1 BRAVO)  :stationlocation (tell :lat 564 :lon 325)");

std::string Clock(int minute) {
    return Wire("CON", "tell :command clock_sync :clock " + std::to_string(minute));
}

using Action = std::function<CSeatResult(CStationSeat&)>;
using Check = std::function<void(const CSeatState&)>;

struct Case {
    const char* name;
    std::vector<std::string> messages;  // delivered in order before the action
    Action action;                      // nothing: no action
    std::string refused = "";           // the action is refused with a reason holding this
    std::vector<std::string> sent = {}; // "RECEIVER content" lines holding these, in order
    Check check = nullptr;
};

CSeatResult DeployI1(CStationSeat& seat) {
    seat.Activate("I1");
    return seat.Deploy("I1", 600, 330, "N1");
}

// I1 made active (that command already taken from the outbox), then sent at N1.
CSeatResult InterceptN1(CStationSeat& seat) {
    seat.Activate("I1");
    seat.TakeOutbox();
    return seat.Intercept("I1", "N1");
}

const Case kCases[] = {
    {"init_sim is confirmed with the map's fault; owners follow the station locations",
     {Init(), kStart},
     nullptr,
     "",
     {"CON tell :command init_sim :mapError \"refused: http://maps/a.txt\"",
      "CON tell :command log_unit_display :name Natal :unitType Radar :id R1 :lat 560.000 :lng "
      "330.000 :range 50.000",
      ":unitType Radar :id R2", ":name F-16 :unitType Interceptor :id I1"},
     [](const CSeatState& s) {
         ASSERT_EQ(s.radars.size(), 2u);
         EXPECT_EQ(s.radars[0].owner, "ALPHA");
         EXPECT_EQ(s.radars[1].owner, "BRAVO");
         EXPECT_EQ(s.interceptors[1].owner, "BRAVO");
         // A huge :number does not make units up; markup in a name is data.
         ASSERT_EQ(s.incursions.size(), 1u);
         EXPECT_EQ(s.incursions[0].name, "Drug <b>Lord</b> & \"co\"");
         // The map picture's colours: a record without a numeric code is left out.
         ASSERT_EQ(s.terrain.size(), 1u);
         EXPECT_EQ(s.terrain.at(45).colour(), MakeRgb(0, 99, 99));
     }},
    {"hostile units are skipped and named, the rest kept",
     {Init(" :2 (tell :name X :lat abc :lon 1 :id R3 :range 5) :3 (tell :name Y :lat 1 :lon 1 "
           ":id R1 :range 5)")},
     nullptr,
     "",
     {},
     [](const CSeatState& s) {
         EXPECT_EQ(s.radars.size(), 2u);
         EXPECT_EQ(s.notes.at(0), "radar R3 skipped: lat is not a number");
         EXPECT_EQ(s.notes.at(1), "radar R1 skipped: its ID is empty or taken");
     }},
    {"unreadable messages and clocks are counted and named, never fatal",
     {"(tell :sender CON :content (tell :command",
      Wire("CON", "tell :command clock_sync :clock x1"), Wire("CON", "tell :from me")},
     nullptr,
     "",
     {},
     [](const CSeatState& s) {
         EXPECT_EQ(s.unreadable, 3);
         EXPECT_EQ(s.notes.at(0),
                   "unreadable message: unbalanced parentheses: a list is not closed at byte 41");
         EXPECT_EQ(s.notes.at(1), "clock_sync with clock x1");
         EXPECT_EQ(s.minute, 0);
     }},
    {"an incursion entering the seat's radar is told to the console and the teammates",
     {Init(), kStart, Clock(10), Clock(11), Clock(12)},
     nullptr,
     "",
     {"CON tell :command inc_enter_radar :incID N1 :radarID R1",
      "BRAVO tell :command team_contact :clock 11 :incID N1 :radarID R1 :state enter",
      "CON tell :command update_inc_heading :id N1 :heading 270.0 :lat 608.500"},
     [](const CSeatState& s) { EXPECT_TRUE(s.contacts.size() == 1 && s.contacts[0].since == 11); }},
    {"a deploy starts where the unit is, and the teammates hear of it",
     {Init(), kStart, Clock(3)},
     DeployI1,
     "",
     {"CON tell :command activate :resource interceptor :id I1 :lat 560.000 :lng 320.000 :gridCol "
      "23 :gridRow 23",
      "CON tell :command deploy :resource interceptor :id I1 :destLat 600.000 :destLng 330.000 "
      ":initLat 560.000 :initLng 320.000 :destGridCol 25 :destGridRow 23 :initGridCol 23 "
      ":initGridRow 23",
      "BRAVO tell :command team_deploy :clock 3 :id I1"},
     [](const CSeatState& s) { EXPECT_TRUE(s.interceptors[0].moving); }},
    {"a teammate's interceptor is not the seat's to deploy",
     {Init(), kStart},
     [](CStationSeat& seat) { return seat.Deploy("I2", 300, 300); },
     "it belongs to BRAVO"},
    {"an inactive interceptor is not deployed",
     {Init(), kStart},
     [](CStationSeat& seat) { return seat.Deploy("I1", 600, 330); },
     "I1 is not active"},
    {"a point off the map is refused",
     {Init(), kStart},
     [](CStationSeat& seat) { return seat.DeployBalloon(2000, 300); },
     "off the map"},
    {"a point beyond the interceptor's range is refused",
     {Init(), kStart},
     [](CStationSeat& seat) {
         seat.Activate("I1");
         seat.TakeOutbox();
         return seat.Deploy("I1", 800, 330);
     },
     "beyond I1's range of 200"},
    {"an incursion nobody sees cannot be intercepted",
     {Init(), kStart, Clock(5)},
     InterceptN1,
     "no radar of the seat's picture sees N1"},
    {"an incursion out of reach cannot be intercepted",
     {Init(), kStart, Clock(12)},
     InterceptN1,
     "beyond I1's reach of 11.0"},
    {"an interceptor that reached the incursion intercepts it",
     {Init(), kStart, Clock(11)},
     [](CStationSeat& seat) {
         DeployI1(seat);
         for (int m = 12; m <= 40; ++m) {
             seat.Receive(Clock(m));
         }
         const CSeatResult hit = seat.Intercept("I1", "N1");
         seat.Receive(Clock(41));
         return hit;
     },
     "",
     {"CON tell :command intercept :resource interceptor :id I1 :incID N1 :intLat 588.134 :intLng "
      "327.034 :intGridCol 24 :intGridRow 23 :incLat 580.500",
      "BRAVO tell :command team_intercept :clock 40 :id I1 :incID N1",
      "CON tell :command inc_exit_radar :incID N1 :radarID R1"}},
    {"a teammate's deploy moves its unit here; one for a unit not its own is refused",
     {Init(), kStart, Clock(2),
      Wire("BRAVO", "tell :command team_deploy :clock 2 :id I2 :initLat 270 :initLng 390 :destLat "
                    "330 :destLng 390 :incID N1"),
      Wire("BRAVO", "tell :command team_deploy :clock 2 :id I1 :initLat 0 :initLng 0 :destLat 1 "
                    ":destLng 1"),
      Clock(12)},
     nullptr,
     "",
     {},
     [](const CSeatState& s) {
         EXPECT_NEAR(s.interceptors[1].lat, 280.0, 1e-9);
         EXPECT_TRUE(s.interceptors[1].moving);
         EXPECT_FALSE(s.interceptors[0].moving);
         EXPECT_EQ(s.notes.back(), "refused team_deploy from BRAVO: I1 is not theirs");
     }},
    {"a request goes to the console and to the unit's owner",
     {Init(), kStart, Clock(11)},
     [](CStationSeat& seat) { return seat.Request("I2", "N1"); },
     "",
     {"CON tell :command request :resource interceptor :id I2 :lat 609.500", ":requestFrom BRAVO",
      "BRAVO tell :command team_request :clock 11 :requestID ALPHA-1"}},
    {"a balloon asks the weather where it rises; its answer is shared",
     {Init(), kStart, Clock(4)},
     [](CStationSeat& seat) {
         seat.DeployBalloon(140.7, 500.2);
         seat.Receive(Wire("CON",
                           "tell :command weather_data :balloonID ALPHA-B1 :lat 140 :lng 500 "
                           ":temperature 1 :pressure 2 :humidity 3 :windspeed 120.5 :winddir 5"));
         return CSeatResult{};
     },
     "",
     {"CON tell :command deploy_balloon :destLat 140.700 :destLng 500.200 :gridCol 5 :gridRow 11",
      "CON tell :command get_weather :lat 140 :lng 500 :balloonID ALPHA-B1",
      "BRAVO tell :command team_weather :clock 4 :balloonID ALPHA-B1"},
     [](const CSeatState& s) { EXPECT_EQ(s.balloons.at(0).windSpeed, 120.5); }},
    {"chat with parentheses goes as a string the console reads back",
     {Init(), kStart},
     [](CStationSeat& seat) { return seat.Chat("all", "no (launch"); },
     "",
     {"CON tell :command subject_communication :to all :message \"(no (launch)\" :from ALPHA"}},
    {"playback shows a recorded station's deploy and takes no input",
     {Init("", "init_playback"), kStart, Clock(5),
      Wire("CHARLIE",
           "tell :command deploy :resource interceptor :id I2 :destLat 300 :destLng 390"),
      Clock(15)},
     [](CStationSeat& seat) { return seat.ReportGoNoGo(true); },
     "playback: the seat takes no input",
     {"CON tell :command init_playback_confirm :mapError"},
     [](const CSeatState& s) { EXPECT_NEAR(s.interceptors[1].lat, 280.0, 1e-9); }},
    {"mission_complete brings the seat's statistics once",
     {Init(), kStart, Clock(960), Wire("CON", "tell :command mission_complete :msg \"done\""),
      Wire("CON", "tell :command mission_complete :msg \"done\"")},
     nullptr,
     "",
     {"CON tell :command mission_stats :totalCost 1920 :balloonCost 0 :intCost 0 :radarCost 1920 "
      ":radarStats (tell :count 1 :radar0 (tell :id R1 :name Natal :activationCt 1 "
      ":totalActiveTime 960 :cost 1920)) :intStats (tell :count 1 :int0"},
     [](const CSeatState& s) { EXPECT_EQ(s.phase, SeatPhase::Complete); }},
};

TEST(StationSeat, MessagesInStateAndCommandsOut) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        CSeatOptions options;
        options.fetchMap = [](const std::string& address) { return "refused: " + address; };
        CStationSeat seat("ALPHA", options);
        std::vector<std::string> out;
        const auto take = [&] {
            for (const COutgoing& m : seat.TakeOutbox()) {
                out.push_back(m.receiver + " " + m.content);
            }
        };
        for (const std::string& message : c.messages) {
            seat.Receive(message);
            take();
        }
        if (c.action) {
            const std::size_t before = out.size();
            const CSeatResult result = c.action(seat);
            take();
            EXPECT_EQ(result.ok, c.refused.empty()) << result.reason;
            EXPECT_NE(result.reason.find(c.refused), std::string::npos) << result.reason;
            if (!c.refused.empty()) {
                EXPECT_EQ(out.size(), before) << "a refused command was sent: " << out.back();
            }
        }
        std::size_t at = 0;
        for (const std::string& expected : c.sent) {
            while (at < out.size() && out[at].find(expected) == std::string::npos) {
                ++at;
            }
            EXPECT_LT(at, out.size()) << "not sent (in this order): " << expected
                                      << "\nsent: " << testing::PrintToString(out);
        }
        if (c.check) {
            c.check(seat.State());
        }
    }
}

// A seat reckons an incursion's course itself: it must be the console's, or a bot would
// intercept where the log's scenario has nothing.
TEST(StationSeat, AnIncursionsCourseIsTheConsoles) {
    for (const std::string heading : {"0", "45", "90", "200.5", "270"}) {
        std::string init = Init();
        init.replace(init.find(":heading 270"), 12, ":heading " + heading);
        CStationSeat seat("ALPHA");
        seat.Receive(init);
        const CSeatIncursion* seen = seat.FindIncursion("N1");
        ASSERT_NE(seen, nullptr) << heading;
        const CIncursion console("N", "N1", "620.500000", "330.000000", "60", heading, "-");
        for (const int minute : {0, 7, 300, 960}) {
            const auto [lat, lng] = console.GetPositionAt(minute / 60.0);
            const CLatLng at = CStationSeat::IncursionAt(*seen, minute);
            EXPECT_NEAR(at.lat, lat, 1e-9) << heading << " at " << minute;
            EXPECT_NEAR(at.lng, lng, 1e-9) << heading << " at " << minute;
        }
    }
}

// Two runs of the same seeded bots, fed the same messages, send the same commands.
TEST(StationSeat, SeededBotRepeats) {
    const auto run = [] {
        CStationSeat seat("ALPHA");
        CSeatBot bot(7);
        std::string out;
        for (const std::string& m : {Init(), kStart}) {
            seat.Receive(m);
        }
        for (int minute = 0; minute <= 60; ++minute) {
            seat.Receive(Clock(minute));
            bot.Play(seat);
            for (const COutgoing& o : seat.TakeOutbox()) {
                out += o.receiver + " " + o.content + "\n";
            }
        }
        return out;
    };
    const std::string first = run();
    EXPECT_EQ(first, run());
    EXPECT_NE(first.find("intercept :resource interceptor :id I1 :incID N1"), std::string::npos)
        << first;
}

// The weather a seat's last balloon was told is a fact; a plain query is no balloon, and with no
// balloon the fact has no truth. The bot answers what its seat was told.
TEST(StationSeat, BotAnswersTheWeatherItsLastBalloonWasTold) {
    CStationSeat seat("ALPHA");
    for (const std::string& m : {Init(), kStart, Clock(3)}) {
        seat.Receive(m);
    }
    CProbe probe = DefaultFreeze(3);
    probe.questions[0].fact = "balloon_weather:windspeed";
    EXPECT_EQ(ProbeTruth(seat, "ALPHA", probe.questions[0].fact), "");
    ASSERT_TRUE(seat.DeployBalloon(100.5, 95.5).ok && seat.AskWeather(200, 200).ok);
    for (const std::string told : {"B1 :windspeed 12.25", "B2 :windspeed 3"}) {
        seat.Receive(Wire("CON", "tell :command weather_data :balloonID ALPHA-" + told));
    }
    CSeatProbes probes;
    probes.Receive(Wire("CON", ProbeContent(probe)));
    EXPECT_NE(probes.AnswerAsBot(seat, 1, 0.0).at(0).find(":value 12.25)"), std::string::npos);
}

} // namespace
} // namespace halyx
