// The mission picture: the same image whether the state was built live (from the lines the log
// writes as the agent logs), from the log file, or by a replay of that log seeked to the minute;
// golden images of a fixed mission at three minutes; hover.
//
// Regenerate the references with HALYX_REGENERATE_GOLDEN=1 ctest --test-dir build -R
// mission_picture_tests (see goldenimage.h); mismatches are written to build/tests/mission/.

#include "agent/agentfixture.h"
#include "common/format.h"
#include "controls/missionpainter.h"
#include "controls/missionpicturefile.h"
#include "desktop/missionfollower.h"
#include "goldenimage.h"
#include "mission/missionevent.h"
#include "mission/missionstate.h"
#include "record/logloader.h"
#include "scenario/defaultscenario.h"
#include "scenario/geographyview.h"
#include "scenario/scenario.h"

#include <QImage>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <string>

namespace halyx {
namespace {

// The default scenario on the world map at one pixel per map pixel.
void LoadPictureScenario(CScenario& scenario) {
    const std::string maps = std::string(HALYX_SOURCE_DIR) + "/data/maps/";
    LoadDefaultScenario(scenario, maps);
    CSilentGeographyView silent;
    ASSERT_TRUE(scenario.Geography().GetMapFromURL(
        scenario.Geography().GetMapURL(CGeography::kGlobalMap), silent));
    CWorldMap& map = scenario.Geography().GetWorldMap();
    map.zoomby(kMinZoom - map.getScalefactor());
}

// A point as a station writes it: every digit, so that it reads back to the same number.
std::string Num(double value) {
    return Format("%.17g", value);
}

QImage Picture(CMissionPainter& painter, CMissionBuilder& builder, int minute) {
    const CMissionState& state = builder.StateAt(minute);
    return MissionPictureImage(painter, QSize(1200, 800), state, builder.MarksUpTo(state));
}

class MissionPictureInvariant : public test::AgentTest {
protected:
    void SetUp() override {
        LoadPictureScenario(scenario);
        setup = MissionSetupFrom(scenario, {"ALPHA", "BRAVO", "CHARLIE"});
    }

    const CInterceptor& Int(size_t i) { return scenario.Interceptors().At(i); }
    const CIncursion& Inc(size_t i) { return scenario.Incursions().At(i); }
    const CRadar& Radar(size_t i) { return scenario.Radars().At(i); }
    // A station's command about interceptor i; at home: with the point where it stands.
    std::string Jet(const std::string& command, size_t i, bool atHome = false) {
        return "tell :command " + command + " :resource Interceptor :id " + Int(i).GetId() +
               (atHome ? " :lat " + Num(Int(i).GetLat()) + " :lng " + Num(Int(i).GetLng()) : "");
    }

    // A mission with a command of every kind the picture shows, from three stations, over 24
    // minutes; one deployment has a destination that is not a number.
    void RunMission() {
        Team({"ALPHA", "BRAVO", "CHARLIE"});
        OpenLog("picture");
        log.SetEventObserver([this](std::string_view line) {
            if (auto e = liveAdapter.ConvertLine(line)) {
                live.Append(std::move(*e));
            }
        });
        agent.StartSim();
        const MissionTrack& inc1 = setup.tracks[1];
        const MissionPoint inc1At14 = inc1.PositionAt(14);
        int now = 0;
        // The clock runs on to minute, then station's command arrives.
        const auto at = [&](int minute, const std::string& station, const std::string& command) {
            for (; now < minute; ++now) {
                agent.process_clock_tick();
            }
            Deliver(station, command);
        };
        at(2, "ALPHA",
           Jet("deploy", 0) + " :initLat " + Num(Int(0).GetLat()) + " :initLng " +
               Num(Int(0).GetLng()) + " :destLat 300 :destLng 450.5");
        at(2, "CHARLIE", Jet("deploy", 2) + " :destLat abc :destLng 450");
        at(3, "BRAVO", Jet("activate", 1, true));
        at(5, "CHARLIE",
           "tell :command inc_enter_radar :incID " + Inc(0).GetId() + " :radarID " +
               Radar(0).GetId());
        at(5, "ALPHA", "tell :command update_go_nogo_status :status nogo");
        at(7, "ALPHA",
           "tell :command update_inc_heading :id " + Inc(0).GetId() +
               " :heading 45 :lat 250 :lng 420");
        at(9, "BRAVO",
           "tell :command deploy_balloon :destLat 200 :destLng 380 :gridCol 3 :gridRow 4");
        at(10, "CHARLIE", "tell :command get_weather :lat 210 :lng 390 :balloonID b1");
        at(10, "BRAVO",
           "tell :command subject_communication :to ALPHA :from bravo :message (radar holds the "
           "first one)");
        at(12, "ALPHA",
           "tell :command request :requestFrom BRAVO :resource Radar :id " + Radar(1).GetId() +
               " :lat 320 :lng 470");
        at(14, "ALPHA",
           Jet("intercept", 0) + " :intLat 300 :intLng 450.5 :incID " + inc1.id + " :incLat " +
               Num(inc1At14.lat) + " :incLng " + Num(inc1At14.lng));
        at(16, "CHARLIE", "tell :command update_go_nogo_status :status go");
        at(16, "BRAVO", Jet("abort", 1, true));
        at(20, "CHARLIE",
           "tell :command inc_exit_radar :incID " + Inc(0).GetId() + " :radarID " +
               Radar(0).GetId());
        at(20, "BRAVO", Jet("deactivate", 1, true));
        for (; now <= 24; ++now) {
            agent.process_clock_tick();
        }
        log.SetEventObserver(nullptr);
        log.Close();
    }

    CScenario scenario;
    MissionSetup setup;
    CLogEventAdapter liveAdapter;
    CMissionBuilder live;
};

TEST_F(MissionPictureInvariant, LiveFileAndReplayDrawTheSameImageAndHoverNamesAMark) {
    live = CMissionBuilder(setup);
    RunMission();
    ASSERT_EQ(live.Events().size(), 15u);
    EXPECT_EQ(live.Latest().unplacedCommands, 1u);

    std::vector<CMissionEvent> events;
    std::vector<std::string> team;
    std::string error;
    ASSERT_TRUE(MissionEventsFromLog(path, events, team, error)) << error;
    CMissionBuilder file(setup);
    file.Assign(events);
    // Hence the same picture: live and assigned builders agree (MissionState.SeekAndLate...).
    EXPECT_EQ(file.Events(), live.Events());

    // Replay: the log loaded for playback as the console loads it, the follower seeked to
    // the minute. Its picture is the file's picture up to that minute, every event included.
    CLogLoader loader({.readScenario = [](const pugi::xml_node&, std::string&) { return true; },
                       .loadTeam = {},
                       .events = &agent.Events()});
    ASSERT_TRUE(loader.Load(path));
    CMissionFollower follower(scenario, agent, log);
    follower.SetPlaybackQuery([] { return true; });
    follower.SetRecordingQuery([this] { return path; });
    // The log is read on a worker: polls until its events are in, or the time is up.
    auto RecordingIn = [&follower](int ms) {
        return QTest::qWaitFor(
            [&follower] {
                follower.Poll();
                return follower.ReplayingRecording();
            },
            ms);
    };
    ASSERT_TRUE(RecordingIn(10000));
    EXPECT_EQ(follower.Events(), file.Events());

    CMissionPainter painter(scenario);
    for (const int minute : {5, 12, 14, 24, 7, 0}) {
        SCOPED_TRACE(minute);
        const QImage fromFile = Picture(painter, file, minute);

        agent.SeekPlayback(minute);
        follower.Poll();
        const CMissionState& replayed = follower.State();
        const CMissionState& filed = file.StateAt(minute);
        EXPECT_EQ(replayed.minute, minute);
        EXPECT_EQ(follower.Marks().size(), file.MarksUpTo(filed).size());
        EXPECT_TRUE(MissionPictureImage(painter, QSize(1200, 800), replayed, follower.Marks()) ==
                    fromFile);
    }
    // Back to live: the replay's picture goes.
    follower.SetPlaybackQuery([] { return false; });
    follower.Poll();
    EXPECT_FALSE(follower.Replaying());

    // A loaded log that can no longer be read still replays: what the store sends again.
    follower.SetPlaybackQuery([] { return true; });
    follower.SetRecordingQuery([this] { return path + ".gone"; });
    EXPECT_FALSE(RecordingIn(300));
    EXPECT_TRUE(follower.Replaying());
    CMissionBuilder store(setup);
    store.Assign(MissionEventsFromStore(agent.Events()));
    EXPECT_EQ(follower.Events(), store.Events());
    EXPECT_LT(follower.Events().size(), file.Events().size());
    // Back to the log that is there: its events replace the store's.
    follower.SetRecordingQuery([this] { return path; });
    EXPECT_TRUE(RecordingIn(10000));
    EXPECT_EQ(follower.Events(), file.Events());

    // Hover names the mark under the pointer: station, command, minute and values.
    const CMissionState& state = live.StateAt(14);
    const auto marks = live.MarksUpTo(state);
    const QRectF area(0, 0, 1200, 800);
    // Find the intercept's pixel by scanning for a hit.
    std::optional<MissionHit> hit;
    for (int y = 0; y < 800 && !hit; y += 2) {
        for (int x = 0; x < 1200 && !hit; x += 2) {
            auto h = painter.HitTest(area, QPointF(x, y), state, marks, live.Events(), 1.5);
            if (h && h->mark.kind == MissionEventKind::InterceptInc) {
                hit = h;
            }
        }
    }
    ASSERT_TRUE(hit.has_value());
    EXPECT_EQ(hit->station, "ALPHA");
    EXPECT_TRUE(hit->text.startsWith("ALPHA intercept at minute 14: Interceptor"))
        << hit->text.toStdString();
    EXPECT_FALSE(painter.HitTest(area, QPointF(-50, -50), state, marks, live.Events()));
}

// A fixed mission drawn at three minutes, compared with reference images (text left out: fonts
// differ from machine to machine).
TEST(MissionPictureGolden, ThreeMinutesOfAFixedMission) {
    CScenario scenario;
    LoadPictureScenario(scenario);
    CMissionBuilder builder(MissionSetupFrom(scenario, {"ALPHA", "BRAVO", "CHARLIE"}));
    auto add = [&](MissionEventKind kind, int minute, const char* station, double lat, double lng,
                   std::string id = {}) {
        CMissionEvent e;
        e.kind = kind;
        e.minute = minute;
        e.station = station;
        e.resId = std::move(id);
        e.resType = "Interceptor";
        e.lat = MissionNumber(Num(lat)); // as the station's text is read
        e.lng = MissionNumber(Num(lng));
        builder.Append(e);
    };
    const std::string int0 = scenario.Interceptors().At(0).GetId();
    const std::string int1 = scenario.Interceptors().At(1).GetId();
    add(MissionEventKind::DeployResource, 5, "ALPHA", 300, 450, int0);
    add(MissionEventKind::ResourceActivate, 8, "BRAVO", 260, 400, int1);
    add(MissionEventKind::DeployBalloon, 12, "CHARLIE", 200, 380);
    add(MissionEventKind::WeatherQuery, 20, "CHARLIE", 210, 390);
    add(MissionEventKind::ResourceRequest, 25, "ALPHA", 320, 470);
    add(MissionEventKind::InterceptInc, 40, "ALPHA", 300, 450, int0);
    add(MissionEventKind::Abort, 55, "BRAVO", 260, 400, int1);
    add(MissionEventKind::DeployResource, 70, "BRAVO", 150, 300, int1);

    CMissionPainter painter(scenario);
    MissionPictureStyle style;
    style.drawText = false;
    painter.SetStyle(style);
    for (const int minute : {10, 40, 90}) {
        const std::string name = Format("mission_minute_%d.png", minute);
        test::ExpectMatchesGolden(Picture(painter, builder, minute), HALYX_TEST_DATA_DIR, name,
                                  std::string(HALYX_BINARY_DIR) + "/tests/mission");
    }
}

} // namespace
} // namespace halyx
