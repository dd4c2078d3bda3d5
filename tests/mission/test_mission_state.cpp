// The mission state: each command's effect (one table), seeking, late events, the replay
// store's records, and the JSON form.

#include "../record/recordtestutil.h"
#include "mission/missionjson.h"
#include "mission/missionstate.h"
#include "record/experimentlog.h"
#include "record/simeventstore.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

namespace halyx {
namespace {

MissionSetup TestSetup() {
    MissionSetup setup;
    setup.team = {"Alpha", "Bravo", "Charlie"};
    MissionTrack track;
    track.id = "INC1";
    track.from = {10.0, 20.0};
    track.speed = 60.0; // one degree a minute along the heading
    track.heading = 90.0;
    track.since = 5;
    track.appears = 5;
    setup.tracks.push_back(track);
    setup.resources.push_back({"INT1", "Interceptor", {1.0, 2.0}});
    setup.resources.push_back({"R1", "Radar", {3.0, 4.0}});
    setup.unknownLimit = 2;
    return setup;
}

// An event line as the experiment log writes it; tsid follows the order of the lines.
std::string Line(int minute, const std::string& name, const std::string& attributes) {
    static int64_t tsid = 1000;
    return "<Event TimeStamp=\"t\" TSID=\"" + std::to_string(++tsid) + "\" Name=\"" + name +
           "\" ClockTime=\"" + std::to_string(minute) + "\" " + attributes + "/>\n";
}

CMissionBuilder BuildFrom(const std::vector<std::string>& lines) {
    CMissionBuilder builder(TestSetup());
    CLogEventAdapter adapter;
    for (const std::string& line : lines) {
        auto e = adapter.ConvertLine(line);
        EXPECT_TRUE(e.has_value()) << line;
        if (e) {
            builder.Append(*e);
        }
    }
    return builder;
}

struct CommandCase {
    const char* what;
    std::vector<std::string> lines;
    size_t marks;
    size_t unplaced;
    std::function<void(const CMissionState&, const CMissionBuilder&)> check;
};

TEST(MissionState, EachCommandHasItsEffect) {
    const std::vector<CommandCase> cases = {
        {"activate at its point",
         {Line(3, "ResourceActivate",
               "From=\"Alpha\" ResType=\"Interceptor\" ResID=\"INT1\" Lat=\"7.5\" Lng=\"8\"")},
         1,
         0,
         [](const CMissionState& s, const CMissionBuilder& b) {
             const MissionResource& r = s.resources.at("INT1");
             EXPECT_EQ(r.activity, ResourceActivity::Active);
             EXPECT_EQ(r.station, 0);
             EXPECT_EQ(r.point, (MissionPoint{7.5, 8.0}));
             EXPECT_EQ(b.Marks()[0].station, 0);
         }},
        {"activate without a point keeps the state, is drawn nowhere and counted",
         {Line(3, "ResourceActivate",
               "From=\"Bravo\" ResType=\"Interceptor\" ResID=\"INT1\" Lat=\"\" Lng=\"8\"")},
         0,
         1,
         [](const CMissionState& s, const CMissionBuilder&) {
             EXPECT_EQ(s.resources.at("INT1").activity, ResourceActivity::Active);
             EXPECT_EQ(s.resources.at("INT1").point, (MissionPoint{1.0, 2.0}));
         }},
        {"non-numeric, comma and infinite points are not points",
         {Line(3, "DeployResource",
               "From=\"Alpha\" ResType=\"Interceptor\" ResID=\"INT1\" InitLat=\"1\" "
               "InitLng=\"2\" DestLat=\"12x\" DestLng=\"5\""),
          Line(4, "DeployBalloon", "From=\"Alpha\" DestLat=\"1,5\" DestLng=\"2\""),
          Line(5, "WeatherQuery", "From=\"Alpha\" Lat=\"1e999\" Lng=\"2\""),
          Line(6, "ResourceRequest",
               "From=\"Alpha\" RequestFrom=\"Bravo\" ResType=\"Radar\" "
               "ResID=\"R1\" Lat=\"nan\" Lng=\"2\""),
          Line(7, "UpdateInc",
               "From=\"Alpha\" IncID=\"INC1\" Heading=\"east\" Lat=\"1\" Lng=\"2\"")},
         0,
         5,
         [](const CMissionState& s, const CMissionBuilder&) {
             EXPECT_EQ(s.balloons, 1u);
             EXPECT_EQ(s.weatherQueries, 1u);
             EXPECT_EQ(s.tracks[0].updatedAt, -1);
         }},
        {"deploy from its start to its destination",
         {Line(4, "DeployResource",
               "From=\"Charlie\" ResType=\"Interceptor\" ResID=\"INT1\" InitLat=\"1\" "
               "InitLng=\"2\" DestLat=\"-5.25\" DestLng=\"6\"")},
         1,
         0,
         [](const CMissionState& s, const CMissionBuilder& b) {
             const MissionResource& r = s.resources.at("INT1");
             EXPECT_EQ(r.activity, ResourceActivity::Deployed);
             EXPECT_EQ(r.point, (MissionPoint{-5.25, 6.0}));
             EXPECT_TRUE(r.hasFrom);
             EXPECT_TRUE(b.Marks()[0].hasTo);
             EXPECT_EQ(b.Marks()[0].to, (MissionPoint{1.0, 2.0}));
         }},
        {"intercept, then abort, then deactivate",
         {Line(6, "InterceptInc",
               "From=\"Alpha\" ResType=\"Interceptor\" IntID=\"INT1\" IntLat=\"1\" IntLng=\"2\" "
               "IncID=\"INC1\" IncLat=\"11\" IncLng=\"20\""),
          Line(7, "Abort",
               "From=\"Alpha\" ResType=\"Interceptor\" ResID=\"INT1\" Lat=\"1\" "
               "Lng=\"2\""),
          Line(8, "ResourceDeActivate",
               "From=\"Alpha\" ResType=\"Interceptor\" ResID=\"INT1\" "
               "Lat=\"1\" Lng=\"2\"")},
         3,
         0,
         [](const CMissionState& s, const CMissionBuilder& b) {
             EXPECT_EQ(s.resources.at("INT1").activity, ResourceActivity::Inactive);
             EXPECT_EQ(b.Marks()[0].to, (MissionPoint{11.0, 20.0}));
             EXPECT_EQ(s.commandsByKind[static_cast<size_t>(MissionEventKind::Abort)], 1u);
             const CMissionState& at6 = const_cast<CMissionBuilder&>(b).StateAt(6);
             EXPECT_EQ(at6.resources.at("INT1").activity, ResourceActivity::Intercepting);
             EXPECT_EQ(at6.resources.at("INT1").target, "INC1");
         }},
        {"an update replaces the incursion's course from its point",
         {Line(10, "UpdateInc",
               "From=\"Bravo\" IncID=\"INC1\" Heading=\"0\" Lat=\"30\" Lng=\"40\"")},
         1,
         0,
         [](const CMissionState& s, const CMissionBuilder&) {
             const MissionTrack& t = s.tracks[0];
             EXPECT_EQ(t.updatedAt, 10);
             EXPECT_EQ(t.updatedBy, "Bravo");
             const MissionPoint later = t.PositionAt(11);
             EXPECT_NEAR(later.lat, 30.0, 1e-9);
             EXPECT_NEAR(later.lng, 41.0, 1e-9);
         }},
        {"radar contacts hold from enter to exit, once per pair",
         {Line(6, "IncEnterRadar", "IncID=\"INC1\" RadarID=\"R1\" From=\"Alpha\""),
          Line(6, "IncEnterRadar", "IncID=\"INC1\" RadarID=\"R1\" From=\"Bravo\""),
          Line(7, "IncEnterRadar", "IncID=\"GHOST\" RadarID=\"R1\" From=\"Alpha\""),
          Line(9, "IncExitRadar", "IncID=\"INC1\" RadarID=\"R1\" From=\"Alpha\"")},
         3,
         0,
         [](const CMissionState& s, const CMissionBuilder& b) {
             ASSERT_EQ(s.contacts.size(), 1u);
             EXPECT_EQ(s.contacts[0].incId, "GHOST");
             EXPECT_EQ(const_cast<CMissionBuilder&>(b).StateAt(8).contacts.size(), 2u);
             // The contact line runs from the incursion on its track to the radar.
             EXPECT_NEAR(b.Marks()[0].at.lat, 11.0, 1e-9);
             EXPECT_EQ(b.Marks()[0].to, (MissionPoint{3.0, 4.0}));
         }},
        {"requests say who asked whom; go/no-go per station; a station outside the team",
         {Line(2, "ResourceRequest",
               "From=\"Alpha\" RequestFrom=\"Charlie\" ResType=\"Radar\" "
               "ResID=\"R1\" Lat=\"3\" Lng=\"4\""),
          Line(3, "LaunchStatusChange", "Status=\"go\" From=\"Bravo\""),
          Line(4, "LaunchStatusChange", "Status=\"nogo\" From=\"Delta\"")},
         1,
         0,
         [](const CMissionState& s, const CMissionBuilder&) {
             ASSERT_EQ(s.requests.size(), 1u);
             EXPECT_EQ(s.requests[0].station, 0);
             EXPECT_EQ(s.requests[0].asked, "Charlie");
             EXPECT_EQ(s.stations[1].goNoGo, "go");
             ASSERT_EQ(s.stations.size(), 4u);
             EXPECT_EQ(s.stations[3].goNoGo, "nogo");
         }},
        {"names nobody knows are taken in up to the limit, commands about more are counted",
         {Line(2, "UpdateInc", "From=\"Alpha\" IncID=\"X1\" Heading=\"0\" Lat=\"1\" Lng=\"2\""),
          Line(2, "DeployResource",
               "From=\"Alpha\" ResType=\"Interceptor\" ResID=\"Y1\" DestLat=\"1\" DestLng=\"2\""),
          Line(3, "UpdateInc", "From=\"Alpha\" IncID=\"X2\" Heading=\"0\" Lat=\"1\" Lng=\"2\""),
          Line(3, "IncEnterRadar", "IncID=\"INC1\" RadarID=\"Y2\" From=\"Alpha\""),
          Line(3, "LaunchStatusChange", "Status=\"go\" From=\"Stranger\""),
          Line(4, "IncEnterRadar", "IncID=\"X1\" RadarID=\"Y1\" From=\"Alpha\""),
          Line(4, "UpdateInc", "From=\"Alpha\" IncID=\"X1\" Heading=\"9\" Lat=\"1\" Lng=\"2\"")},
         4,
         0,
         [](const CMissionState& s, const CMissionBuilder&) {
             EXPECT_EQ(s.tracks.size(), 2u);
             EXPECT_EQ(s.tracks[1].heading, 9.0);
             EXPECT_EQ(s.resources.count("Y1"), 1u);
             EXPECT_EQ(s.stations.size(), 3u);
             EXPECT_EQ(s.contacts.size(), 1u);
             EXPECT_EQ(s.unknownNames.size(), 2u);
             EXPECT_EQ(s.overLimitCommands, 3u);
         }},
        {"pauses, chat and the decision (which has no clock of its own)",
         {Line(3, "PauseSim", ""), Line(5, "ResumeSim", ""), Line(7, "PauseSim", ""),
          "<Event TimeStamp=\"t\" TSID=\"1\" Name=\"ChatMsg\" ClockTime=\"8\" From=\"Alpha\">\n"
          "a &lt;b&gt; &quot;c&quot;\n</Event>\n",
          "<Event TimeStamp=\"t\" TSID=\"99999\" Name=\"SimulationComplete\" "
          "LaunchStatus=\"Launch\"/>\n"},
         0,
         0,
         [](const CMissionState& s, const CMissionBuilder& b) {
             EXPECT_TRUE(s.paused);
             EXPECT_EQ(s.pauses, (std::vector<std::pair<int, int>>{{3, 5}, {7, -1}}));
             ASSERT_EQ(s.chat.size(), 1u);
             EXPECT_EQ(s.chat[0].text, "a <b> \"c\"");
             EXPECT_EQ(s.decision, "Launch");
             EXPECT_EQ(b.Events().back().minute, kMissionLastMinute);
         }},
    };
    for (const CommandCase& c : cases) {
        SCOPED_TRACE(c.what);
        CMissionBuilder builder = BuildFrom(c.lines);
        const CMissionState& state = builder.Latest();
        EXPECT_EQ(state.eventsApplied, c.lines.size());
        EXPECT_EQ(builder.Marks().size(), c.marks);
        EXPECT_EQ(state.unplacedCommands, c.unplaced);
        c.check(state, builder);
    }
}

// A freeze holds the subjects while it is open, a rating does not; the measures are kept, the
// newest kMissionProbes, and leave no mark on the map. Chat too keeps only its newest lines.
TEST(MissionState, MeasuresAndChatKeepTheNewestAndAnOpenFreezeHolds) {
    const auto start = [](int minute, const std::string& probe, const std::string& kind) {
        return Line(minute, "ProbeStart", "Probe=\"" + probe + "\" Kind=\"" + kind + "\"");
    };
    CMissionBuilder builder =
        BuildFrom({start(95, "rating-95", "rating"), start(100, "freeze-100", "freeze")});
    ASSERT_NE(builder.Latest().Holding(), nullptr); // live, before it ends
    EXPECT_EQ(builder.Latest().Holding()->id, "freeze-100");
    CLogEventAdapter adapter;
    builder.Append(*adapter.ConvertLine(Line(102, "ProbeEnd", "Probe=\"freeze-100\"")));
    EXPECT_EQ(builder.StateAt(99).probes.size(), 1u);
    EXPECT_EQ(builder.StateAt(99).Holding(), nullptr); // the rating stays open, holding nothing
    EXPECT_EQ(builder.StateAt(101).Holding()->id, "freeze-100");
    const CMissionState& after = builder.StateAt(102);
    EXPECT_EQ(after.Holding(), nullptr);
    EXPECT_EQ(after.probes.back(), (MissionProbe{"freeze-100", "freeze", 100, 102}));
    EXPECT_EQ(after.probes.front().end, -1);
    EXPECT_EQ(builder.Marks().size(), 0u);
    for (int m = 110; m < 110 + int(kMissionProbes) + 6; ++m) {
        builder.Append(*adapter.ConvertLine(start(m, "rating-" + std::to_string(m), "rating")));
    }
    EXPECT_EQ(builder.Latest().probeCount, kMissionProbes + 8);
    ASSERT_EQ(builder.Latest().probes.size(), kMissionProbes);
    EXPECT_EQ(builder.Latest().probes.front().start, 116);
    // Chat keeps its last lines; the incursion appears at its minute.
    for (int i = 0; i < 20; ++i) {
        CMissionEvent e;
        e.kind = MissionEventKind::Chat;
        e.minute = i;
        e.station = "Alpha";
        e.text = std::to_string(i);
        builder.Append(e);
    }
    const CMissionState& s = builder.Latest();
    EXPECT_EQ(s.chatLines, 20u);
    ASSERT_EQ(s.chat.size(), kMissionChatLines);
    EXPECT_EQ(s.chat.front().text, "12");
    EXPECT_FALSE(builder.StateAt(4).IncursionVisible(builder.StateAt(4).tracks[0]));
    EXPECT_TRUE(builder.StateAt(5).IncursionVisible(builder.StateAt(5).tracks[0]));
}

// Seeks in any order, through checkpoints, give the state of applying only the events up to the
// minute; an event that arrives late is put in its place.
TEST(MissionState, SeekAndLateEventsGiveTheStateOfTheEventsUpToTheMinute) {
    std::vector<CMissionEvent> events;
    for (int i = 0; i < 400; ++i) {
        CMissionEvent e;
        e.kind = i % 3 == 0   ? MissionEventKind::DeployResource
                 : i % 3 == 1 ? MissionEventKind::IncEnterRadar
                              : MissionEventKind::IncExitRadar;
        e.minute = (i * 7) % 200;
        e.tsid = i;
        e.station = i % 2 ? "Alpha" : "Bravo";
        // An interceptor deploys; a radar sees the incursion.
        e.resId = i % 3 == 0 ? "INT" + std::to_string(i % 5) : "R" + std::to_string(i % 4);
        e.incId = "INC1";
        e.lat = i % 17;
        e.lng = 2.5;
        events.push_back(e);
    }
    CMissionBuilder all(TestSetup());
    all.Assign(events);
    for (const int minute : {150, 3, 199, 0, 64, 65, 64, 17, 250, 31}) {
        CMissionBuilder upTo(TestSetup());
        std::vector<CMissionEvent> some;
        for (const CMissionEvent& e : events) {
            if (e.minute <= minute) {
                some.push_back(e);
            }
        }
        upTo.Assign(some);
        CMissionState expected = upTo.Latest();
        expected.minute = minute;
        EXPECT_EQ(all.StateAt(minute), expected) << minute;
        EXPECT_EQ(all.MarksUpTo(all.StateAt(minute)).size(), upTo.Marks().size());
    }
    // Live, one by one in arrival order (not clock order): the same as the whole.
    CMissionBuilder live(TestSetup());
    for (const CMissionEvent& e : events) {
        live.Append(e);
    }
    EXPECT_EQ(live.Latest(), all.Latest());
    EXPECT_EQ(live.StateAt(100), all.StateAt(100));
    EXPECT_TRUE(std::equal(live.Marks().begin(), live.Marks().end(), all.Marks().begin(),
                           all.Marks().end()));
    // A clock count far beyond the mission (a damaged log) costs no more than any other.
    CMissionEvent late = events.front();
    late.minute = 2000000000;
    all.Append(late);
    late.minute = -2000000000;
    all.Append(late);
    EXPECT_EQ(all.StateAt(kMissionLastMinute).eventsApplied, events.size() + 1);
    EXPECT_EQ(all.StateAt(2000000000).eventsApplied, events.size() + 2);

    // A long live mission is kept in blocks; a late event among them still lands in its place.
    std::vector<CMissionEvent> many;
    CMissionBuilder growing(TestSetup());
    for (int i = 0; i < 10000; ++i) {
        CMissionEvent e = events[static_cast<size_t>(i) % events.size()];
        e.minute = i / 20;
        e.tsid = i;
        many.push_back(e);
        growing.Append(e);
    }
    EXPECT_EQ(growing.Events()[4097].tsid, 4097);
    CMissionEvent lateOne = many[5000];
    lateOne.tsid = -1; // first of its minute
    growing.Append(lateOne);
    many.insert(many.begin() + 5000, lateOne);
    CMissionBuilder whole(TestSetup());
    whole.Assign(many);
    EXPECT_EQ(growing.Events(), whole.Events());
    EXPECT_EQ(growing.Latest(), whole.Latest());
}

// The store keeps less of each command; the state supplies the points it dropped, so a replay
// puts the resources where the log file does.
TEST(MissionState, ReplayRecordsPlaceResourcesWhereTheLogDoes) {
    const std::vector<std::string> lines = {
        Line(2, "DeployResource",
             "From=\"Alpha\" ResType=\"Interceptor\" ResID=\"INT1\" "
             "InitLat=\"1\" InitLng=\"2\" DestLat=\"5\" DestLng=\"6\""),
        Line(3, "ResourceActivate",
             "From=\"Alpha\" ResType=\"Interceptor\" ResID=\"INT1\" Lat=\"5\" Lng=\"6\""),
        Line(5, "InterceptInc",
             "From=\"Alpha\" ResType=\"Interceptor\" IntID=\"INT1\" "
             "IntLat=\"5\" IntLng=\"6\" IncID=\"INC1\" IncLat=\"10\" "
             "IncLng=\"20\""),
        Line(9, "DeployBalloon",
             "From=\"Bravo\" DestLat=\"7\" DestLng=\"8\" GridCol=\"1\" "
             "GridRow=\"2\""),
        Line(9, "LaunchStatusChange", "Status=\"go\" From=\"Charlie\""),
    };
    CMissionBuilder fromFile = BuildFrom(lines);

    CMissionBuilder fromStore(TestSetup());
    fromStore.Assign(MissionEventsFromStore(
        test::StoreOf(std::accumulate(lines.begin(), lines.end(), std::string()))));

    ASSERT_EQ(fromStore.Events().size(), lines.size());
    EXPECT_EQ(fromStore.Events()[3].station, "Bravo");
    EXPECT_TRUE(std::equal(fromStore.Marks().begin(), fromStore.Marks().end(),
                           fromFile.Marks().begin(), fromFile.Marks().end()));
    EXPECT_EQ(fromStore.Latest().resources, fromFile.Latest().resources);
    EXPECT_EQ(fromStore.Latest().stations, fromFile.Latest().stations);
}

// Live, the watcher sees each event line also when the disk refuses it: the event happened, and
// the log keeps it for later. (That it sees every line in order: the mission picture's test.)
TEST(MissionState, TheLogTellsTheWatcherEachEventLineEvenOnAFullDisk) {
    CExperimentLog log(test::SteppingClock{});
    ASSERT_TRUE(log.Open(test::FreshFolder("live"), "run", "", "<Scenario>\n</Scenario>\n"));
    CLogEventAdapter adapter;
    CMissionBuilder live(TestSetup());
    log.SetEventObserver([&](std::string_view line) {
        if (auto e = adapter.ConvertLine(line)) {
            live.Append(std::move(*e));
        }
    });
    log.LogChatMsg(5, "Bravo", "a < b & \"c\"");
    log.FailWritesForTest(ENOSPC);
    log.LogPauseSim(6);
    log.LogSimulationComplete(true);
    log.FailWritesForTest(0);
    log.Close();

    ASSERT_EQ(live.Events().size(), 3u);
    EXPECT_EQ(live.Events()[0].text, "a < b & \"c\"");
    EXPECT_TRUE(live.Latest().paused);
    EXPECT_EQ(live.Latest().decision, "Launch");
}

TEST(MissionJson, EscapesTextsAndWritesNumbersWithADot) {
    std::string out;
    AppendJsonString(out, std::string("q\"b\\n\n\x01<\xC3\xA9\xFF\xE2\x82", 13));
    EXPECT_EQ(out, "\"q\\\"b\\\\n\\u000a\\u0001\\u003c\xC3\xA9\\ufffd\\ufffd\\ufffd\"");
    out.clear();
    AppendJsonNumber(out, -12.5);
    out += ' ';
    AppendJsonNumber(out, 1.0 / 0.0);
    EXPECT_EQ(out, "-12.5 null");

    CMissionBuilder builder = BuildFrom(
        {"<Event TimeStamp=\"t\" TSID=\"1\" Name=\"ChatMsg\" ClockTime=\"8\" From=\"Al&quot;pha\">"
         "\nsecret\n</Event>\n",
         Line(9, "DeployBalloon", "From=\"Bravo\" DestLat=\"7.25\" DestLng=\"8\"")});
    const std::string json = MissionStateJson(builder.Latest(), builder.Marks());
    EXPECT_NE(json.find("\"at\":[7.25,8]"), std::string::npos) << json;
    EXPECT_NE(json.find("secret"), std::string::npos);
    const std::string quiet =
        MissionStateJson(builder.Latest(), builder.Marks(), {.withChat = false});
    EXPECT_EQ(quiet.find("secret"), std::string::npos);
    const std::string none = MissionStateJson(builder.Latest(), builder.Marks(), {.maxMarks = 0});
    EXPECT_NE(none.find("\"marks\":[]"), std::string::npos) << none;
}

TEST(MissionJson, AnUpdateCarriesWhatChangedAndOfTheMarksOnlyTheNewOnes) {
    const struct {
        const char* what;
        std::string before;
        std::string after;
        std::string update;
    } cases[] = {
        {"first state: no update", "", R"({"minute":1})", ""},
        {"a member changed, one is gone, text with brackets and quotes compared whole",
         R"({"minute":1,"decision":"","chat":[{"text":"a\"],["}],"x":2})",
         R"({"minute":2,"decision":"NoLaunch","chat":[{"text":"a\"],["}]})",
         R"({"minute":2,"decision":"NoLaunch","x":null})"},
        {"the trail moves on: two old marks drop out, one is new",
         R"({"marks":[{"m":1},{"m":2},{"m":3}]})", R"({"marks":[{"m":3},{"m":4}]})",
         R"({"marksDrop":2,"marksAdd":[{"m":4}]})"},
        {"marks that do not follow (a seek back) come whole", R"({"marks":[{"m":3},{"m":4}]})",
         R"({"marks":[{"m":1}]})", R"({"marksDrop":2,"marksAdd":[{"m":1}]})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(MissionStateUpdate(c.before, c.after), c.update);
    }
}

} // namespace
} // namespace halyx
