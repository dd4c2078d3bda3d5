// The window while the name server keeps it waiting: a server that accepts and never answers
// must not take the window's clicks, Cancel ends the wait, and the failure says why. (Which
// reason a timeout or a refused connection gives is the name server client's test.)
#include "guitest.h"

#include "agent/halyxcommand.h"
#include "desktop/halyxcommanddlg.h"
#include "desktop/initpagewidget.h"
#include "external/agentkit/net/netcontainer.h"
#include "record/experimentlog.h"
#include "scenario/scenario.h"

#include <QProgressBar>
#include <QTcpServer>

namespace halyx::test {
namespace {

TEST(NameServerWait, ClicksGoThroughAndCancelEndsTheWait) {
    GuiApp("test_desktop_name_server_wait");
    CScenario scenario;
    CExperimentLog log;
    CHalyxCommand agent(AgentScenario::Of(scenario), log);
    agent.set_debug_sink([](const std::string&) {});
    CNetContainer container(agent);
    char program[] = "console";
    char* argv[] = {program, nullptr};
    ASSERT_NE(container.CreateContainer(1, argv, 1), 0);
    CTcpAnsClient& ans = container.tcp_communicator()->tcp_ans();
    ans.set_wait_in_event_loop(true);
    ans.set_user_input_during_wait(true);
    CHalyxCommandDlg window(scenario, agent, log);
    CInitPageWidget* widget = window.InitPage();
    widget->SetNameServerWait(
        {.cancel = [&ans] { ans.cancel_wait(); }, .clear = [&ans] { ans.clear_cancel(); }});
    window.show();
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    // Long enough that only Cancel can end the wait within the test.
    ans.set_timeouts(3000, 60000);

    auto* other = Find(&window, QStringLiteral("Launch Scenario Editor"));
    auto* registerButton = Find(widget, QStringLiteral("Register"));
    auto* busy = Find<QProgressBar>(widget, QStringLiteral("Name Server Busy"));
    auto* cancel = Find(widget, QStringLiteral("Cancel Name Server"));
    bool busyShown = false;
    bool registerOff = false;
    int otherClicks = 0;
    QObject::connect(other, &QPushButton::clicked, [&] { ++otherClicks; });
    QTimer::singleShot(300, [&] {
        busyShown = busy->isVisible() && cancel->isVisible() && widget->Busy();
        registerOff = !registerButton->isEnabled();
        // A click elsewhere in the window is taken while the page waits.
        other->setCheckable(false);
        QTest::mouseClick(other, Qt::LeftButton);
        QTimer::singleShot(100, [&] { QTest::mouseClick(cancel, Qt::LeftButton); });
    });
    widget->Presenter().FillRegistrationFields("Lab-HalyxCommand",
                                               container.get_communicator()->get_port(),
                                               "127.0.0.1", silent.serverPort());
    QString message;
    const auto answer = AnswerBox(QMessageBox::Ok, &message);
    Click(registerButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer->Done(); }, 10000));
    EXPECT_TRUE(busyShown);
    EXPECT_TRUE(registerOff);
    EXPECT_EQ(otherClicks, 1);
    EXPECT_TRUE(message.startsWith(QStringLiteral(
        "Unable to register with the ANS. Please check the details and try again\n\nReason: ")))
        << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("cancelled"))) << message.toStdString();
    EXPECT_FALSE(widget->Busy());
    EXPECT_FALSE(busy->isVisible());
    EXPECT_TRUE(registerButton->isEnabled());
}

} // namespace
} // namespace halyx::test
