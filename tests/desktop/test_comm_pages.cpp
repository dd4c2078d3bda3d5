// The two communication pages driven through their widgets (the communication log file is the
// presenter's test, tests/ui): a flood of station messages, the message tree, the clearing buttons,
// the sample entries of "Test"; and the model behind the message lists.
#include "windowfixture.h"

#include "controls/messagelistmodel.h"
#include "controls/settings.h"
#include "desktop/agentcommpagewidget.h"
#include "desktop/commpagewidget.h"
#include "desktop/initpagewidget.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QPersistentModelIndex>
#include <QTextEdit>
#include <QTreeView>
#include <QTreeWidget>

#include <algorithm>
#include <filesystem>

namespace halyx::test {
namespace {

class CommPages : public WindowTest {
protected:
    CommPages() {
        agentPage = dynamic_cast<CAgentCommPageWidget*>(window->Pages()[2]);
        humanPage = dynamic_cast<CCommPageWidget*>(window->Pages()[3]);
    }
    CAgentCommPageWidget* agentPage = nullptr;
    CCommPageWidget* humanPage = nullptr;
};

TEST_F(CommPages, AFloodOf50000MessagesIsListedSortedAndTranscribed) {
    ASSERT_NE(agentPage, nullptr);
    ASSERT_NE(humanPage, nullptr);
    window->show();
    constexpr int kCount = 50000;
    for (int i = 0; i < kCount; ++i) {
        // Numbers in reverse, so that sorting has work to do.
        Deliver("ALPHA", "tell :command subject_communication :to BRAVO :from ALPHA :message (m" +
                             std::to_string(kCount - i) + ")");
        if (i % 5000 == 0) {
            QCoreApplication::processEvents();
        }
    }
    CMessageListModel& incoming = *agentPage->Incoming().model;
    incoming.Flush();
    ASSERT_EQ(incoming.rowCount(), kCount);
    for (int row = 1; row < kCount; ++row) {
        ASSERT_LE(QString::compare(incoming.TextAt(row - 1), incoming.TextAt(row)), 0) << row;
    }
    // Until an entry is picked, the last one is current; the widest text sets the scroll width.
    EXPECT_EQ(agentPage->Incoming().list->currentIndex().row(), kCount - 1);
    EXPECT_GE(agentPage->Incoming().list->header()->sectionSize(0), incoming.WidestText());

    // Save writes the whole list, in its shown order, from a worker thread.
    const std::string saved = home + "flood.txt";
    std::filesystem::remove(saved); // no overwrite question
    ClickChoosing(Find(agentPage, QStringLiteral("Incoming Save")), QString::fromStdString(saved));
    ASSERT_TRUE(BackgroundWorkDone());
    const std::string text = ReadFile(saved);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), kCount);
    EXPECT_EQ(text.substr(0, text.find('\n')), incoming.TextAt(0).toStdString());

    humanPage->FlushTranscript();
    const QString shown = humanPage->Transcript()->toPlainText();
    EXPECT_EQ(shown, QString::fromStdString(humanPage->Presenter().LogText()));
    EXPECT_TRUE(shown.endsWith(QStringLiteral("[ALPHA] -> [BRAVO]: m1\n")));
    EXPECT_EQ(shown.count(QLatin1Char('\n')), kCount + 3);

    // More chat after the flood is appended, not lost.
    Deliver("BRAVO", "tell :command subject_communication :to ALPHA :from BRAVO :message (over)");
    humanPage->FlushTranscript();
    EXPECT_TRUE(humanPage->Transcript()->toPlainText().endsWith(
        QStringLiteral("[BRAVO] -> [ALPHA]: over\n")));
}

// "Test" adds four sample entries that go nowhere else; Display shows the message tree.
TEST_F(CommPages, TestAddsSampleEntriesDisplayShowsTheTreeAndClearAllEmptiesOnlyThePage) {
    const std::size_t sentBefore = agent.CommStore().Outgoing().size();
    Click(Find(humanPage, QStringLiteral("Test")));
    const QString text = humanPage->Transcript()->toPlainText();
    const QString entry = QStringLiteral("[(TEST)] -> [(ALL)]: This is a sample chat entry\n");
    EXPECT_EQ(text.count(entry), 4);
    EXPECT_TRUE(text.endsWith(entry));
    EXPECT_EQ(agent.CommStore().Outgoing().size(), sentBefore);

    Deliver("ALPHA", "tell :command get_weather :lat 100 :lng 95 :balloonID B7");
    agentPage->Incoming().model->Flush();
    ASSERT_EQ(agentPage->Incoming().model->rowCount(), 1);
    Click(Find(agentPage, QStringLiteral("Incoming Display")));
    QTreeWidget* tree = agentPage->Incoming().tree;
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* root = tree->topLevelItem(0);
    EXPECT_EQ(root->text(0), QStringLiteral("tell"));
    EXPECT_TRUE(root->isExpanded());
    int opened = 0;
    for (int i = 0; i < root->childCount(); ++i) {
        const QString key = root->child(i)->text(0);
        const bool open = key == ":sender" || key == ":receiver" || key == ":content";
        EXPECT_EQ(root->child(i)->isExpanded(), open) << key.toStdString();
        opened += open ? 1 : 0;
    }
    EXPECT_GE(opened, 2);

    // The outgoing side, with nothing current, says so.
    agentPage->Outgoing().model->Clear();
    const QString message =
        ClickAnswering(Find(agentPage, QStringLiteral("Outgoing Display")), QMessageBox::Ok);
    EXPECT_EQ(message, QStringLiteral("LB_ERR"));

    Click(Find(agentPage, QStringLiteral("Incoming Clear")));
    EXPECT_EQ(tree->topLevelItemCount(), 0);
    Click(Find(agentPage, QStringLiteral("Incoming Display")));
    Click(Find(agentPage, QStringLiteral("Incoming Clear All")));
    EXPECT_EQ(agentPage->Incoming().model->rowCount(), 0);
    EXPECT_EQ(tree->topLevelItemCount(), 0);
    EXPECT_EQ(agent.CommStore().Incoming().size(), 1u);
}

TEST_F(CommPages, TheListKeepsTheNewestSortedOrInArrivalOrderAndTheCurrentOneThroughMerges) {
    CMessageListModel model;
    model.SetMaxEntries(1000);
    for (int i = 0; i < 600; ++i) {
        model.Add(QStringLiteral("(tell :n %1)").arg(599 - i, 4, 10, QLatin1Char('0')));
    }
    model.Flush();
    ASSERT_EQ(model.rowCount(), 600);
    EXPECT_EQ(model.TextAt(0), QStringLiteral("(tell :n 0000)"));
    const QPersistentModelIndex current(model.index(10, 0));

    // Merged on the worker: entries sort in before the current one, which follows its text.
    for (int i = 0; i < 600; ++i) {
        model.Add(QStringLiteral("(tell :a %1)").arg(i, 4, 10, QLatin1Char('0')));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.Pending() == 0; }, 10000));
    // 1200 arrived; the 200 oldest (the first ":n" texts, n = 599 down to 400) are gone.
    ASSERT_EQ(model.rowCount(), 1000);
    EXPECT_EQ(model.TextAt(0), QStringLiteral("(tell :a 0000)"));
    EXPECT_EQ(model.TextAt(999), QStringLiteral("(tell :n 0399)"));
    for (int row = 1; row < model.rowCount(); ++row) {
        ASSERT_LE(QString::compare(model.TextAt(row - 1), model.TextAt(row)), 0) << row;
    }
    EXPECT_EQ(current.data().toString(), QStringLiteral("(tell :n 0010)"));
    EXPECT_EQ(current.row(), 610);

    // Equal texts are both kept; Save writes the list in its shown order.
    model.Clear();
    model.Add(QStringLiteral("(tell :b 2)"));
    model.Add(QStringLiteral("(tell :a 1)"));
    model.Add(QStringLiteral("(tell :a 1)"));
    model.Flush();
    EXPECT_EQ(model.rowCount(), 3);
    CAgentCommPageWidget::Side side;
    side.model = &model;
    ASSERT_TRUE(CAgentCommPageWidget::SaveTo(side, QString::fromStdString(home + "saved.txt")));
    EXPECT_EQ(ReadFile(home + "saved.txt"), "(tell :a 1)\n(tell :a 1)\n(tell :b 2)\n");
    EXPECT_FALSE(CAgentCommPageWidget::SaveTo(side, QStringLiteral("/nonexistent/dir/x.txt")));
    model.Clear();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.WidestText(), 0);

    // Arrival order lists messages as they came, and the page remembers the choice.
    for (const char* text : {"(tell :c)", "(tell :a)", "(tell :b)"}) {
        model.Add(QString::fromLatin1(text));
    }
    model.Flush();
    const QPersistentModelIndex a(model.index(0, 0));
    ASSERT_EQ(a.data().toString(), QStringLiteral("(tell :a)"));
    model.SetArrivalOrder(true);
    EXPECT_EQ(model.TextAt(0), QStringLiteral("(tell :c)"));
    EXPECT_EQ(model.TextAt(2), QStringLiteral("(tell :b)"));
    EXPECT_EQ(a.row(), 1);
    // Later arrivals go to the end, whatever their text; the picked entry follows its text.
    model.Add(QStringLiteral("(tell :0)"));
    model.Flush();
    EXPECT_EQ(model.TextAt(3), QStringLiteral("(tell :0)"));
    EXPECT_EQ(a.data().toString(), QStringLiteral("(tell :a)"));
    model.SetArrivalOrder(false);
    EXPECT_EQ(model.TextAt(0), QStringLiteral("(tell :0)"));
    EXPECT_EQ(a.row(), 1);

    // The tooltip holds the whole message, past what the column shows, with its markup
    // characters kept as text.
    const QString longText = QStringLiteral("(tell :content (<b>%1 end))").arg(QString(1500, 'x'));
    model.Add(longText);
    model.Flush();
    const QString tip =
        model.data(model.index(model.rowCount() - 1, 0), Qt::ToolTipRole).toString();
    EXPECT_TRUE(tip.contains(longText.toHtmlEscaped()));

    // The page's check box orders both lists and is remembered.
    auto* box = Find<QCheckBox>(agentPage, QStringLiteral("Arrival order"));
    box->setChecked(false);
    box->click();
    EXPECT_TRUE(agentPage->Incoming().model->ArrivalOrder());
    EXPECT_TRUE(agentPage->Outgoing().model->ArrivalOrder());
    EXPECT_EQ(CSettings::Text(QStringLiteral("AgentCommPage/ArrivalOrder"), QString()),
              QStringLiteral("1"));
    box->click();
    EXPECT_FALSE(agentPage->Incoming().model->ArrivalOrder());
}

} // namespace
} // namespace halyx::test
