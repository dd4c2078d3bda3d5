// The "Mission Picture" window as the experimenter uses it: opened during a live mission it
// follows the clock and the stations' commands, says what a mark is under the pointer, turns
// layers off and refuses a picture name it cannot write. It draws after changes only. (During a
// replay it follows the seek: the init page's replay test.)
#include "initpagefixture.h"

#include "desktop/missionfollower.h"
#include "desktop/missionwindow.h"

#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QSpinBox>

#include <filesystem>

namespace halyx::test {
namespace {

class MissionWindow : public InitPageTest {
protected:
    MissionWindow() : InitPageTest("test_desktop_mission_window") {
        // As the program does: the follower is there before the mission starts.
        widget->SetMissionFollower(&follower);
    }
    // The window listens to the follower until it goes.
    ~MissionWindow() override { window.reset(); }

    CMissionWindow* Open() {
        Click(Find(widget, QStringLiteral("Mission Picture")));
        CMissionWindow* picture = widget->MissionWindow();
        EXPECT_TRUE(picture == nullptr || QTest::qWaitForWindowExposed(picture));
        return picture;
    }

    // A point of the picture with a mark under it, or nothing.
    static std::optional<QPoint> MarkOn(CMissionWindow& picture) {
        QWidget* canvas = picture.findChild<QWidget*>(QStringLiteral("MissionCanvas"));
        for (int y = 0; y < canvas->height(); y += 2) {
            for (int x = 0; x < canvas->width(); x += 2) {
                if (!picture.TipAt(QPointF(x, y)).isEmpty()) {
                    return QPoint(x, y);
                }
            }
        }
        return std::nullopt;
    }

    CMissionFollower follower{scenario, agent, log};
};

TEST_F(MissionWindow, DuringALiveMissionItFollowsTheClockAndTheCommands) {
    Team();
    InitializeWithAlphaGo();
    Click(Find(widget, QStringLiteral("Start Simulation")));

    // The picture brings in the scenario's world map when nothing loaded it yet.
    scenario.Geography().SetMapURL(CGeography::kGlobalMap, HALYX_SOURCE_DIR "/data/maps/world.txt");
    ASSERT_FALSE(scenario.Geography().GetWorldMap().exists());
    CMissionWindow* picture = Open();
    ASSERT_NE(picture, nullptr);
    EXPECT_TRUE(Eventually([&] { return scenario.Geography().GetWorldMap().exists(); }));
    EXPECT_TRUE(picture->isWindow());
    // Opening it again raises the same window.
    Click(Find(widget, QStringLiteral("Mission Picture")));
    EXPECT_EQ(widget->MissionWindow(), picture);
    auto* stations = Find<QLabel>(picture, QStringLiteral("Stations"));
    EXPECT_TRUE(Eventually([&] { return stations->text().contains("ALPHA</span> go"); }))
        << stations->text().toStdString();

    agent.process_clock_tick();
    agent.process_clock_tick();
    Deliver("BRAVO", "tell :command deploy :resource Interceptor :id I1 :initLat 184 :initLng "
                     "472 :initGridCol 0 :initGridRow 0 :destLat 240 :destLng 469 "
                     ":destGridCol 0 :destGridRow 0");
    auto* minute = Find<QLabel>(picture, QStringLiteral("Minute"));
    ASSERT_TRUE(Eventually([&] {
        return minute->text() == QStringLiteral("Minute %1").arg(agent.Clock()) &&
               picture->Follower()
                       .State()
                       .commandsByKind[static_cast<int>(MissionEventKind::DeployResource)] == 1;
    })) << minute->text().toStdString();

    // Nothing changed, nothing drawn: once the last change is drawn (a redraw waits three times
    // the last drawing's time, longer on a loaded machine), poll after poll draws nothing. A
    // window that drew at every poll would never be quiet here.
    ASSERT_TRUE(Eventually([&] { return picture->Redraws() > 0; }));
    int redraws = 0;
    EXPECT_TRUE(Eventually([&] {
        redraws = picture->Redraws();
        QTest::qWait(4 * CMissionFollower::kPollMs);
        return picture->Redraws() == redraws;
    }));

    // The pointer over the deployment says whose it is and what it was.
    const std::optional<QPoint> mark = MarkOn(*picture);
    ASSERT_TRUE(mark.has_value());
    const QString tip = picture->TipAt(*mark);
    EXPECT_TRUE(tip.contains("BRAVO")) << tip.toStdString();
    EXPECT_TRUE(tip.contains("deploy")) << tip.toStdString();
    // With the deployments layer off that mark is no longer there to hover.
    Click(Find<QCheckBox>(picture, QStringLiteral("Deployments")));
    EXPECT_FALSE(picture->Style().layers.deployments);
    EXPECT_TRUE(picture->TipAt(*mark).isEmpty() || !picture->TipAt(*mark).contains("deploy"));
    EXPECT_TRUE(Eventually([&] { return picture->Redraws() > redraws; }));
    Find<QSpinBox>(picture, QStringLiteral("Trail"))->setValue(5);
    EXPECT_EQ(picture->Style().trailMinutes, 5);

    // A picture name of another kind is refused with the reason, and no file (what a PNG or SVG
    // holds is halyx-log picture's test, which writes through the same function).
    const std::string folder = FreshFolder("pictures");
    {
        QString message;
        auto box = AnswerBox(QMessageBox::Ok, &message);
        ClickChoosing(Find(picture, QStringLiteral("Save Picture...")),
                      QString::fromStdString(folder + "live.txt"));
        EXPECT_FALSE(message.isEmpty());
    }
    EXPECT_FALSE(std::filesystem::exists(folder + "live.txt"));

    // The window fits the screen it opened on, however large the picture's own size.
    EXPECT_TRUE(picture->screen()->availableGeometry().contains(picture->frameGeometry()));
    // A reset: the next mission's picture starts empty, not with this one's marks.
    ClickAnswering(Find(widget, QStringLiteral("Reset Simulation")), QMessageBox::Yes);
    EXPECT_TRUE(Eventually([&] {
        return picture->Follower()
                   .State()
                   .commandsByKind[static_cast<int>(MissionEventKind::DeployResource)] == 0;
    }));
}

} // namespace
} // namespace halyx::test
