// The timeline is drawn offscreen and compared with data/timeline_golden.png, without text (fonts
// differ between machines). When a change of the picture is intended, regenerate the image with
//     HALYX_REGENERATE_GOLDEN=1 build/bin/log_picture_tests
// look at it, and commit it. A mismatch writes the picture drawn and a difference image into
// the test's HALYX_HOME folder.
#include "goldenimage.h"
#include "logtestutil.h"
#include "testapp.h"

#include "controls/timelinepainter.h"
#include "record/logtimeline.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace halyx;
using namespace halyx::test;

namespace {

// A mission with every kind of mark, two pauses and go/no-go changes.
std::string WriteMission(const std::string& folder) {
    CExperimentLog log(SteppingClock{});
    EXPECT_TRUE(log.Open(folder, "Mission", "timeline test", "<Scenario/>\n"));
    log.LogInitSim();
    log.LogTeamMode("Multiplayer");
    log.LogStartSim();
    log.LogLaunchStatusChange(5, "nogo", "CHARLIE");
    log.LogResourceActivate(10, "BRAVO", "Radar", "R1", "1", "2", "3", "4");
    log.LogLaunchStatusChange(30, "go", "ALPHA");
    log.LogChatMsg(50, "ALPHA", "hello");
    for (int m = 60; m < 64; ++m) {
        log.LogWeatherQuery(m, "CHARLIE", "28", "-80");
    }
    log.LogDeployBalloon(90, "CHARLIE", "28", "-80", "1", "2");
    log.LogDeployResource(100, "ALPHA", "Interceptor", "N1", "1", "2", "3", "4", "5", "6", "7",
                          "8");
    log.LogLaunchStatusChange(120, "go", "BRAVO");
    log.LogIncEnterRadar(200, "BRAVO", "I1", "R1");
    log.LogUpdateInc(230, "BRAVO", "I1", "90", "1", "2");
    log.LogPauseSim(240);
    log.LogResumeSim(300);
    log.LogIncExitRadar(260, "BRAVO", "I1", "R1");
    log.LogChatMsg(300, "ALPHA", "paused a while");
    log.LogLaunchStatusChange(400, "nogo", "ALPHA");
    log.LogResourceRequest(450, "BRAVO", "ALPHA", "Interceptor", "N2", "1", "2", "3", "4");
    log.LogDeployResource(500, "ALPHA", "Interceptor", "N1", "1", "2", "3", "4", "5", "6", "7",
                          "8");
    log.LogInterceptInc(520, "ALPHA", "Interceptor", "N1", "1", "2", "3", "4", "I1", "1", "2", "3",
                        "4");
    log.LogAbort(530, "ALPHA", "Interceptor", "N1", "1", "2", "3", "4");
    log.LogResourceDeActivate(600, "BRAVO", "Radar", "R1", "1", "2", "3", "4");
    log.LogUnitDisplay(700, "CHARLIE",
                       "tell :command log_unit_display :unitType Radar :unitName North :id R1 "
                       ":lat 1 :lng 2 :range 80");
    log.LogLaunchStatusChange(700, "go", "ALPHA");
    log.LogPauseSim(800);
    log.LogChatMsg(800, "ALPHA", "last words");
    log.LogResumeSim(820);
    log.WriteText("<!-- station CHARLIE unreachable at clock 900 -->\n");
    log.LogSimulationComplete(false);
    log.EndSimEvents(TeamMembersXml({"ALPHA", "BRAVO", "CHARLIE"}));
    log.Close();
    return folder + "Mission.xml";
}

CLogTimeline TimelineOf(const std::string& path) {
    CLogReader reader;
    EXPECT_TRUE(reader.Open(path));
    CLogTimeline timeline(reader.Info(), "Mission");
    EXPECT_TRUE(reader.ForEachEvent([&](const CLogEventView& e) { timeline.Add(e); }));
    timeline.Finish();
    return timeline;
}

QImage Draw(const CLogTimeline& timeline, bool text) {
    QImage image(CTimelinePainter::PreferredSize(timeline), QImage::Format_ARGB32);
    QPainter painter(&image);
    CTimelinePainter::Paint(painter, image.rect(), timeline, TimelineStyle{.drawText = text});
    painter.end();
    return image;
}

QGuiApplication& App() {
    return test::TestApp<QGuiApplication>("log_test_timeline");
}

} // namespace

TEST(Timeline, AHostileNumberOfStationsSharesTheLastLane) {
    CLogInfo info;
    CLogTimeline t(info, "Many");
    CLogEventView e;
    e.name = "WeatherQuery";
    for (int i = 0; i < 100; ++i) {
        const std::string name = "S" + std::to_string(i);
        e.attributes = {{"Name", "WeatherQuery"}, {"ClockTime", "99999"}, {"From", name}};
        t.Add(e);
    }
    t.Finish();
    ASSERT_EQ(t.Lanes().size(), CLogTimeline::kMaxLanes);
    EXPECT_EQ(t.Lanes().back().station, CLogTimeline::kOthersLane);
    // A minute past the window is drawn at its close.
    EXPECT_TRUE(t.Lanes().back().marks[static_cast<size_t>(TimelineMark::Weather)].test(960));
}

TEST(Timeline, MeasuresAndMarksAreDrawnWhereTheyHappened) {
    App();
    CLogInfo info;
    info.team = {"ALPHA", "BRAVO"};
    info.marks = {{250, "T", "team argued here"}, {700, "T", "later"}};
    CLogTimeline t(info, "Measures");
    CLogEventView e;
    const auto add = [&](std::string_view name, std::string_view minute, std::string_view kind,
                         std::string_view seat, std::string_view answer,
                         std::string_view answered) {
        e.name = name;
        e.attributes = {{"ClockTime", minute}, {"Probe", "p"},     {"Kind", kind},
                        {"Seat", seat},        {"Answer", answer}, {"Answered", answered}};
        t.Add(e);
    };
    add("ProbeStart", "120", "freeze", "", "", "");
    add("ProbeStart", "300", "inview", "", "", "");
    add("ProbeStart", "5", "rating", "", "", "");
    add("ProbeAnswer", "5", "rating", "ALPHA", "4", "1");
    add("ProbeAnswer", "5", "rating", "BRAVO", "", "0");
    add("ProbeAnswer", "10", "rating", "BRAVO", "9", "1"); // out of the scale: not a rating
    t.Finish();
    ASSERT_EQ(t.Probes().size(), 2u);
    EXPECT_EQ(t.Probes()[0], (CLogTimeline::Probe{120, "p", "freeze"}));
    EXPECT_EQ(t.Lanes()[0].ratings[5], 4);
    EXPECT_EQ(t.Lanes()[1].ratings[5], CLogTimeline::kRatingMissing);
    EXPECT_EQ(t.Lanes()[1].ratings[10], CLogTimeline::kRatingMissing);

    // The freeze shades its minute across the lanes; ALPHA's rating rises from its lane's foot.
    const QImage image = Draw(t, false);
    // Two lanes, and a third legend row for the measures.
    EXPECT_EQ(image.height(), 64 + 2 * 64 + 34 + 70 + 24);
    const auto purple = [&](double minute, int y) {
        const QRgb c = image.pixel(static_cast<int>(130 + minute / 960 * 1350), y);
        return qBlue(c) > qGreen(c) + 20;
    };
    EXPECT_TRUE(purple(120.5, 64 + 96));
    EXPECT_FALSE(purple(200.5, 64 + 96));
    EXPECT_TRUE(purple(5.5, 64 + 64 - 3 - 6));
    // The experimenter's marks stand as flags just above the lanes.
    const auto orangeAround = [&](int minute) {
        const double x = 130 + (minute + 0.5) * 1350 / 960;
        for (int dx = 0; dx <= 4; ++dx) {
            const QColor c = image.pixelColor(static_cast<int>(x) + dx, 60);
            if (c.red() > 200 && c.green() < 120 && c.blue() < 60) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(orangeAround(250));
    EXPECT_TRUE(orangeAround(700));
    EXPECT_FALSE(orangeAround(600));
}

// One mission: its model per minute, its drawing against the golden image (text drawn when
// asked for), and the drawing fitted to a window.
TEST(Timeline, TheModelKeepsStatusPausesAndMarksAndIsDrawnAsTheGoldenImageAndFitted) {
    App();
    const CLogTimeline t = TimelineOf(WriteMission(FreshFolder("golden")));
    ASSERT_EQ(t.Lanes().size(), 3u);
    const CLogTimeline::Lane& alpha = t.Lanes()[0];
    EXPECT_EQ(alpha.station, "ALPHA");
    EXPECT_EQ(alpha.status[29], CLogTimeline::kNoReport);
    EXPECT_EQ(alpha.status[30], CLogTimeline::kGo);
    EXPECT_EQ(alpha.status[399], CLogTimeline::kGo);
    EXPECT_EQ(alpha.status[400], CLogTimeline::kNoGo);
    EXPECT_EQ(alpha.status[960], CLogTimeline::kGo);
    EXPECT_TRUE(alpha.chat.test(50));
    EXPECT_TRUE(alpha.marks[static_cast<size_t>(TimelineMark::Intercept)].test(520));
    EXPECT_TRUE(t.Paused().test(240) && t.Paused().test(299) && !t.Paused().test(300));
    EXPECT_TRUE(t.Paused().test(819) && !t.Paused().test(820));
    EXPECT_EQ(t.LaunchDecision(), "NoLaunch");
    // The decision is taken at the close of the window.
    EXPECT_EQ(t.MinutesRun(), 960);

    const QImage image = Draw(t, false);
    // The station names stand left of the lanes, where nothing else is drawn.
    const QImage labelled = Draw(t, true);
    long differing = 0;
    for (int y = 64; y < 64 + 3 * 64; ++y) {
        for (int x = 0; x < 120; ++x) {
            differing += image.pixel(x, y) != labelled.pixel(x, y) ? 1 : 0;
        }
    }
    EXPECT_GT(differing, 50);

    // Anti-aliasing may differ by a few levels between Qt builds; a colour off by more, in
    // more than 400 pixels, is a real change.
    ExpectMatchesGolden(image, HALYX_TEST_DATA_DIR, "timeline_golden.png", HalyxHome(),
                        kGoldenChannelTolerance, 400.0 / (image.width() * image.height()));

    // Fitted to a small, a wide or a tall window it stays inside and is never magnified.
    const QSize preferred = CTimelinePainter::PreferredSize(t);
    for (const QSize window : {QSize(700, 240), QSize(2400, 400), QSize(1000, 1200)}) {
        QImage fitted(window, QImage::Format_ARGB32);
        fitted.fill(Qt::black);
        QPainter painter(&fitted);
        const QRectF painted = CTimelinePainter::PaintFitted(painter, fitted.rect(), t,
                                                             TimelineStyle{.drawText = false});
        painter.end();
        EXPECT_TRUE(QRectF(fitted.rect()).adjusted(-0.5, -0.5, 0.5, 0.5).contains(painted))
            << window.width() << "x" << window.height();
        EXPECT_LE(painted.height(), preferred.height() + 0.5);
        // The whole picture is drawn: its bottom-left corner (under the legend) is painted, and
        // nothing below it.
        EXPECT_EQ(fitted.pixel(2, static_cast<int>(painted.bottom()) - 2), qRgb(255, 255, 255))
            << window.width();
        if (painted.bottom() + 2 < window.height()) {
            EXPECT_EQ(fitted.pixel(2, static_cast<int>(painted.bottom()) + 2), qRgb(0, 0, 0));
        }
    }
    // A wide window gets the lanes across its whole width.
    QImage wide(QSize(2400, 400), QImage::Format_ARGB32);
    QPainter painter(&wide);
    EXPECT_NEAR(CTimelinePainter::PaintFitted(painter, wide.rect(), t).width(), 2400, 1);
}
