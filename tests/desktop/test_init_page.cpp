// The simulation control page's controls for sessions that go wrong and for reviewing recorded
// ones, driven as the experimenter drives them: a log whose disk fills, a station that stops
// answering, commands from outside the team, the registration's state, replay speed and seek,
// the mission's timeline and picture; and the scenario check, whose findings show their unit and
// whose errors Initialize Simulation asks about.
#include "initpagefixture.h"

#include "controls/gseselection.h"
#include "desktop/commpagewidget.h"
#include "desktop/findingsmodel.h"
#include "desktop/missionfollower.h"
#include "desktop/missionwindow.h"
#include "desktop/scenariopage.h"
#include "desktop/timelinedialog.h"
#include "desktop/unitpages.h"
#include "desktop/unitpane.h"
#include "editor/gseframe.h"
#include "editor/gseview.h"
#include "external/agentkit/communicator.h"
#include "scenario/defaultscenario.h"

#include <QCheckBox>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QSlider>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTextEdit>

#include <cerrno>
#include <cstdlib>

namespace halyx::test {
namespace {

using InitPage = InitPageTest;

// The list row of the one row selected in the table (shown through its sorting proxy), or -1.
int SelectedListRow(QTableView* table) {
    const QModelIndexList selected = table->selectionModel()->selectedRows();
    const auto* proxy = qobject_cast<const QSortFilterProxyModel*>(table->model());
    return selected.size() == 1 && proxy ? proxy->mapToSource(selected.front()).row() : -1;
}

TEST_F(InitPage, AFullDiskIsReportedAfterTheWriteAndMoveLogTakesTheChosenFolder) {
    const std::string full = FreshFolder("fulldisk");
    const std::string spare = FreshFolder("sparedisk");
    ASSERT_TRUE(log.Open(full, "Run", "", "<Scenario>\n</Scenario>\n"));
    widget->Refresh();
    auto* move = Find(widget, QStringLiteral("Move Log..."));
    EXPECT_TRUE(move->isEnabled());

    QString message;
    {
        auto answer = AnswerBox(QMessageBox::Ok, &message);
        // The disk is "full" through the log's own seam; the move below lifts it.
        log.FailWritesForTest(ENOSPC);
        for (int i = 0; i < 40; ++i) {
            log.LogChatMsg(i, "ALPHA", "message " + std::to_string(i));
        }
        // No box inside the writes: it opens once the loop runs again.
        EXPECT_FALSE(answer->Done());
        ASSERT_TRUE(QTest::qWaitFor([&] { return answer->Done(); }, 5000));
    }
    EXPECT_TRUE(message.startsWith(QStringLiteral("The experiment log cannot be written")))
        << message.toStdString();
    ASSERT_GT(log.KeptBytes(), 0u);

    // A folder as the chooser answers it, without the trailing separator.
    const auto asked = ClickChoosing(move, QString::fromStdString(spare).chopped(1));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].mode, CFileRequest::Mode::Folder);
    // That the moved log holds every event is the log's own test.
    EXPECT_EQ(log.FilePath(), spare + "Run.xml");
    EXPECT_TRUE(window->StatusLine()->text().contains(QString::fromStdString(spare)));
    ASSERT_TRUE(log.Close());
    widget->Refresh();
    EXPECT_FALSE(Find(widget, QStringLiteral("Move Log..."))->isEnabled());
}

TEST_F(InitPage, StationHealthForgedSendersStrayCommandsAndRegistrationShowOnThePage) {
    // The texts are the presenter's (its own tests); here they must reach the widgets.
    Team();
    auto* registration = Find<QLabel>(widget, QStringLiteral("Registration Status"));
    EXPECT_EQ(registration->text(), QStringLiteral("Registration: registered"));

    // ALPHA registered from 10.1.1.1; this claims to be ALPHA from elsewhere.
    comm.deliver_from("ALPHA", "tell", "tell :command update_go_nogo_status :status nogo",
                      "127.0.0.2");
    auto* refused = Find<QLabel>(widget, QStringLiteral("Refused Senders"));
    ASSERT_TRUE(Eventually([&] {
        return refused->text() ==
               QStringLiteral("1 forged message(s) refused; last: ALPHA from 127.0.0.2");
    })) << refused->text().toStdString();
    EXPECT_TRUE(window->StatusLine()->text().startsWith(
        QStringLiteral("Refused a message claiming ALPHA from 127.0.0.2: ALPHA is registered at "
                       "10.1.1.1")))
        << window->StatusLine()->text().toStdString();
    EXPECT_EQ(Row(0)->text(1), QStringLiteral("Not Initialized (1 forged refused)"));
    EXPECT_EQ(Row(1)->text(1), QStringLiteral("Not Initialized"));

    agent.OnLinkEvent({CLinkEvent::Kind::Lost, "BRAVO", 0, "connection refused"});
    agent.OnLinkEvent({CLinkEvent::Kind::Dropped, "BRAVO", 3, "connection refused"});
    ASSERT_TRUE(Eventually(
        [&] { return Row(1)->text(1) == QStringLiteral("Not Initialized (Not Responding)"); }));
    EXPECT_EQ(Row(1)->text(4), QStringLiteral("3"));

    // A command from outside the team, then the check box that refuses them.
    auto* stray = Find<QLabel>(widget, QStringLiteral("Stray Commands"));
    Deliver("INTRUDER", "tell :command deploy :resource radar :id R1");
    ASSERT_TRUE(Eventually([&] {
        return stray->text().contains(QStringLiteral("deploy from INTRUDER (not in the team)"));
    })) << stray->text().toStdString();
    QTest::mouseClick(Find<QCheckBox>(widget, QStringLiteral("Team Only")), Qt::LeftButton);
    EXPECT_TRUE(Page().TeamOnlyChecked());

    Page().RegistrationChanged(false, "name server closed the connection");
    ASSERT_TRUE(Eventually([&] {
        return registration->text().startsWith(
            QStringLiteral("Registration: registration lost, retrying"));
    })) << registration->text().toStdString();

    // Unreadable station content: a line on the status line, no box.
    Page().ReportUnreadable("ALPHA: unbalanced parenthesis");
    EXPECT_EQ(window->StatusLine()->text(), QStringLiteral("ALPHA: unbalanced parenthesis"));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    EXPECT_FALSE(agent.AutoReinit());
    QTest::mouseClick(Find<QCheckBox>(widget, QStringLiteral("Auto Re-initialize")),
                      Qt::LeftButton);
    EXPECT_TRUE(agent.AutoReinit());
}

TEST_F(InitPage, ReplaySpeedSeekAndTimelineFollowTheLoadedExperiment) {
    const std::string path = Recorded("Review", {"ALPHA", "BRAVO"}, 10);
    Team();
    auto* speed = Find<QComboBox>(widget, QStringLiteral("Speed"));
    auto* seek = Find<QSlider>(widget, QStringLiteral("Seek"));
    auto* timeline = Find(widget, QStringLiteral("Timeline"));
    EXPECT_FALSE(speed->isEnabled());
    EXPECT_FALSE(seek->isEnabled());
    EXPECT_FALSE(timeline->isEnabled());

    Click(Find<QCheckBox>(widget, QStringLiteral("Playback Mode")));
    ASSERT_TRUE(speed->isEnabled());
    // An edit of the scenario before: the loaded experiment's scenario cannot be undone into.
    window->UndoStack().push(new QUndoCommand(QStringLiteral("edit")));
    LoadExperiment(path);
    EXPECT_EQ(window->UndoStack().count(), 0);
    EXPECT_EQ(widget->LoadedExperiment(), path);
    ASSERT_TRUE(seek->isEnabled());
    ASSERT_TRUE(timeline->isEnabled());

    speed->setFocus();
    QTest::keyClick(speed, Qt::Key_Down);
    QTest::keyClick(speed, Qt::Key_Down);
    EXPECT_EQ(Page().PlaybackSpeed(), 4);

    // A key on the slider moves the playback; the clock shows the minute.
    seek->setFocus();
    QTest::keyClick(seek, Qt::Key_PageUp);
    ASSERT_TRUE(Eventually([&] { return Page().ClockDigits() == "060"; })) << Page().ClockDigits();
    QTest::keyClick(seek, Qt::Key_End);
    EXPECT_TRUE(Eventually([&] { return agent.Clock() == 960; })) << agent.Clock();

    Click(timeline);
    auto* dialog = widget->findChild<CTimelineDialog*>();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(
        Eventually([&] { return dialog->Timeline() != nullptr || !dialog->Problem().isEmpty(); }));
    ASSERT_NE(dialog->Timeline(), nullptr) << dialog->Problem().toStdString();
    EXPECT_EQ(dialog->Timeline()->Experiment(), "Review");
    dialog->close();

    // A click on the groove goes to the minute clicked (its middle is minute 480, give or take
    // the handle's width); the Mission Picture, drawn from the loaded log's events read off the
    // window's thread, shows that minute at once, and the chat page replays the recorded chat up
    // to there, apart from the live transcript.
    Click(Find(widget, QStringLiteral("Initialize Playback")));
    Click(Find(widget, QStringLiteral("Mission Picture")));
    CMissionWindow* picture = widget->MissionWindow();
    ASSERT_NE(picture, nullptr);
    CMissionFollower& follower = picture->Follower();
    ASSERT_TRUE(Eventually([&] { return follower.ReplayingRecording(); }));
    QTest::mouseClick(seek, Qt::LeftButton, {}, QPoint(seek->width() / 2, seek->height() / 2));
    ASSERT_TRUE(Eventually([&] {
        return std::abs(agent.Clock() - 480) <= 40 && picture->Minute() == agent.Clock();
    })) << agent.Clock();
    EXPECT_EQ(seek->value(), agent.Clock());
    EXPECT_EQ(follower.State().chatLines, 10u);
    QTest::mouseClick(seek, Qt::LeftButton, {}, QPoint(seek->width() / 4, seek->height() / 2));
    ASSERT_TRUE(Eventually([&] { return agent.Clock() < 400; })) << agent.Clock();
    EXPECT_NEAR(agent.Clock(), 240, 40);
    auto* chat = dynamic_cast<CCommPageWidget*>(window->Pages()[3]);
    ASSERT_NE(chat, nullptr);
    chat->FlushTranscript();
    const QString replayed = chat->ReplayBox()->toPlainText();
    EXPECT_EQ(replayed.count(QStringLiteral("[ALPHA] -> [BRAVO]: minute ")), 10);
    EXPECT_TRUE(replayed.startsWith(QStringLiteral("[Minute 0] [ALPHA] -> [BRAVO]: minute 0\n")));
    EXPECT_FALSE(QString::fromStdString(chat->Presenter().LogText()).contains("minute 0"));
    seek->setFocus();
    QTest::keyClick(seek, Qt::Key_Home);
    ASSERT_TRUE(Eventually([&] { return agent.Clock() == 0 && picture->Minute() == 0; }))
        << picture->Minute();
    EXPECT_EQ(follower.State().chatLines, 1u);
    EXPECT_EQ(Find<QLabel>(picture, QStringLiteral("Minute"))->text(), QStringLiteral("Minute 0"));
    chat->FlushTranscript();
    EXPECT_EQ(chat->ReplayBox()->toPlainText(),
              QStringLiteral("[Minute 0] [ALPHA] -> [BRAVO]: minute 0\n"));

    // Leaving playback mode (after its reset question) puts the speed back to x1 and the
    // replay controls away.
    ClickAnswering(Find<QCheckBox>(widget, QStringLiteral("Playback Mode")), QMessageBox::Yes);
    EXPECT_EQ(speed->currentText(), QStringLiteral("x1"));
    EXPECT_FALSE(timeline->isEnabled());
    EXPECT_FALSE(seek->isEnabled());
}

TEST_F(InitPage, ACheckFindingSelectsItsUnitAndInitializeAsksAboutErrors) {
    LoadDefaultScenario(scenario, HALYX_SOURCE_DIR "/data/maps/");
    scenario.Weather().Generate(CWeatherMap::kCellsPerLayer, 0.3, 4.0);
    scenario.Radars().At(3).SetLat("990");
    const std::string radarId = scenario.Radars().At(3).GetId();
    Click(window->EditorToggle());
    ASSERT_NE(window->Editor(), nullptr);

    CScenarioPage* page = window->ScenarioPage();
    Click(page->Button(QStringLiteral("Check Scenario")));
    CScenarioCheckDialog* dialog = page->CheckDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    ASSERT_EQ(dialog->Model()->rowCount(), 1);
    EXPECT_EQ(dialog->Model()->index(0, CFindingsModel::Unit).data().toString().toStdString(),
              radarId);

    QTableView* findings = dialog->Table();
    const QRect cell = findings->visualRect(dialog->Model()->index(0, CFindingsModel::Text));
    QTest::mouseClick(findings->viewport(), Qt::LeftButton, {}, cell.center());

    auto* incursionsPage = qobject_cast<CIncursionsPage*>(window->Sheet()->currentWidget());
    ASSERT_NE(incursionsPage, nullptr) << "the radar's page is not shown";
    CUnitPane* radars = incursionsPage->RadarPane();
    EXPECT_EQ(SelectedListRow(radars->Table()), 3);
    EXPECT_EQ(window->Editor()->View()->Selection(), (CGSESelection{UnitKind::Radar, 3, radarId}));
    // The window stands beside the row it selected, not over it.
    const QRect row = radars->Table()->visualRect(radars->Table()->currentIndex());
    EXPECT_FALSE(dialog->frameGeometry().intersects(
        QRect(radars->Table()->viewport()->mapToGlobal(row.topLeft()), row.size())));

    // A unit removed since the check is not shown in another unit's place.
    scenario.Radars().RemoveById(radarId);
    radars->Table()->clearSelection();
    QTest::mouseClick(findings->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_TRUE(radars->Table()->selectionModel()->selectedRows().isEmpty());

    // An interceptor's finding shows the other page, with the unit in its table and the editor.
    ASSERT_GE(scenario.Interceptors().Count(), 2);
    const std::string interceptorId = scenario.Interceptors().At(1).GetId();
    emit dialog->UnitChosen(UnitKind::Interceptor, 1, QString::fromStdString(interceptorId));
    auto* interceptorsPage = qobject_cast<CInterceptorsPage*>(window->Sheet()->currentWidget());
    ASSERT_NE(interceptorsPage, nullptr) << "the interceptor's page is not shown";
    EXPECT_EQ(SelectedListRow(interceptorsPage->InterceptorPane()->Table()), 1);
    EXPECT_EQ(window->Editor()->View()->Selection(),
              (CGSESelection{UnitKind::Interceptor, 1, interceptorId}));

    // Initialize Simulation names the errors and stops at No.
    scenario.Radars().Add(CRadar("Lost", "R-out", "500", "10", "90", "-", "-"));
    Team();
    QString question;
    {
        auto answer = AnswerBox(QMessageBox::No, &question);
        Page().InitializeSimulation();
        EXPECT_TRUE(answer->Done());
    }
    EXPECT_EQ(question.toStdString(),
              std::string(CInitPage::kCheckErrorsStart) +
                  "ERROR radar R-out position 500.000, 10.000 lies outside the editable region "
                  "(latitude 0 to 950, longitude 95 to 655)\n" +
                  CInitPage::kCheckErrorsEnd);
    EXPECT_FALSE(log.IsOpen());
}

} // namespace
} // namespace halyx::test
