// The main window's own duties: the modified mark of the scenario's undo stack, the question
// about unsaved changes at shutdown, the editor toggle, the registration fields, and an open
// experiment log and every other window closed when the window closes.
#include "windowfixture.h"

#include "controls/settings.h"
#include "desktop/initpagewidget.h"
#include "editor/gseframe.h"
#include "study/studyplan.h"

#include <QLineEdit>
#include <QPointer>
#include <QSettings>
#include <QUndoCommand>

namespace halyx::test {
namespace {

using MainWindow = WindowTest;

TEST_F(MainWindow, UnsavedScenarioChangesAreMarkedAndAskedAboutAtShutdown) {
    window->show();
    // The title shows the version the study manifest records.
    EXPECT_TRUE(window->windowTitle().endsWith(
        QString::fromUtf8(ProgramVersion()).section(QLatin1Char('.'), 0, 1) + "[*]"));
    EXPECT_FALSE(window->isWindowModified());
    window->UndoStack().push(new QUndoCommand(QStringLiteral("edit")));
    EXPECT_TRUE(window->isWindowModified());
    window->UndoStack().undo();
    EXPECT_FALSE(window->isWindowModified());
    window->UndoStack().redo();

    const QString question =
        ClickAnswering(Find(window.get(), QStringLiteral("Shutdown")), QMessageBox::Cancel);
    EXPECT_EQ(question.toStdString(), "The scenario has changes that are not saved. Do you want to "
                                      "save them before shutting down?");
    EXPECT_TRUE(window->isVisible());

    // Yes saves; a save that fails keeps the window open.
    int saves = 0;
    window->SetSaveScenario([&](const std::function<void(bool)>& then) { then(++saves > 1); });
    ClickAnswering(Find(window.get(), QStringLiteral("Shutdown")), QMessageBox::Yes);
    EXPECT_EQ(saves, 1);
    QTest::qWait(20);
    EXPECT_TRUE(window->isVisible());
    // One that goes through closes the window without asking again (the fake save leaves the
    // scenario unsaved).
    ClickAnswering(Find(window.get(), QStringLiteral("Shutdown")), QMessageBox::Yes);
    EXPECT_EQ(saves, 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 5000));
    EXPECT_EQ(saves, 2);
}

TEST_F(MainWindow, TheEditorToggleFollowsItsWindowAndClosingEndsTheLogAndEveryWindow) {
    window->show();
    QPushButton* toggle = window->EditorToggle();
    ASSERT_TRUE(toggle->isEnabled());

    Click(toggle);
    QPointer<CGSEFrame> first = window->Editor();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());

    Click(toggle);
    QTRY_VERIFY(first.isNull());
    EXPECT_FALSE(toggle->isChecked());

    // Closing the editor's own window turns the toggle off; the next one is a new frame.
    Click(toggle);
    QPointer<CGSEFrame> second = window->Editor();
    ASSERT_NE(second, nullptr);
    second->close();
    QTRY_VERIFY(second.isNull());
    EXPECT_FALSE(toggle->isChecked());

    // Closing the window ends an open experiment log (what the closed log holds is the agent's
    // test) and takes the editor along: otherwise the program would keep running.
    ASSERT_TRUE(log.Open(FreshFolder("shutdown"), "Cut", "", "<Scenario>\n</Scenario>\n"));
    Click(toggle);
    QPointer<CGSEFrame> third = window->Editor();
    ASSERT_NE(third, nullptr);
    Click(Find(window.get(), QStringLiteral("Shutdown")));
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(log.IsOpen());
    EXPECT_TRUE(QTest::qWaitFor([&] { return third.isNull(); }, 5000));
}

TEST_F(MainWindow, RegistrationFieldsPreferTheCommandLineThenWhatWasLastUsed) {
    CSettings::SetText(QStringLiteral("Registration/Server"), QStringLiteral("ans.lab"));
    CSettings::SetText(QStringLiteral("Registration/AnsPort"), QStringLiteral("7001"));
    CSettings::SetText(QStringLiteral("Registration/Agent"), QStringLiteral("Lab-Second"));
    CInitPageWidget* page = window->InitPage();
    auto field = [&](const char* name) {
        return Find<QLineEdit>(page, QString::fromUtf8(name))->text().toStdString();
    };
    page->FillRegistration({.agentName = "Lab-HalyxCommand",
                            .agentPort = 4100,
                            .server = "127.0.0.1",
                            .ansPort = 6677});
    EXPECT_EQ(field("Server"), "ans.lab");
    EXPECT_EQ(field("ANS Port"), "7001");
    EXPECT_EQ(field("Agent"), "Lab-Second");
    EXPECT_EQ(field("Agent Port"), "4100");

    page->FillRegistration({.agentName = "Lab-Third",
                            .agentPort = 4100,
                            .server = "127.0.0.1",
                            .ansPort = 40000,
                            .agentGiven = true,
                            .serverGiven = true});
    EXPECT_EQ(field("Server"), "127.0.0.1");
    EXPECT_EQ(field("ANS Port"), "40000");
    EXPECT_EQ(field("Agent"), "Lab-Third");
    // The test's home keeps the settings; the next test starts without them.
    QSettings(CSettings::FilePath(), QSettings::IniFormat).clear();
}

} // namespace
} // namespace halyx::test
