// The model behind the agent message lists: sorted as text whatever the arrival order, bounded
// to its newest entries, the current entry kept through merges, and saved as shown.
#include "guitest.h"

#include "controls/messagelistmodel.h"
#include "desktop/agentcommpagewidget.h"

#include <QPersistentModelIndex>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace halyx::test {
namespace {

class MessageList : public ::testing::Test {
protected:
    void SetUp() override { GuiApp("test_desktop_message_list"); }
};

TEST_F(MessageList, KeepsTheNewestEntriesSortedAndTheCurrentOneThroughMerges) {
    CMessageListModel model;
    model.SetMaxEntries(1000);
    for (int i = 0; i < 600; ++i) {
        model.Add(QStringLiteral("(tell :n %1)").arg(599 - i, 4, 10, QLatin1Char('0')));
    }
    model.Flush();
    ASSERT_EQ(model.rowCount(), 600);
    EXPECT_EQ(model.TextAt(0), QStringLiteral("(tell :n 0000)"));
    const QPersistentModelIndex current(model.index(10, 0));
    EXPECT_EQ(current.data().toString(), QStringLiteral("(tell :n 0010)"));

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

    // Equal texts keep their arrival order; an empty list after Clear.
    model.Clear();
    model.Add(QStringLiteral("same"));
    model.Add(QStringLiteral("same"));
    model.Flush();
    EXPECT_EQ(model.rowCount(), 2);
    model.Clear();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.WidestText(), 0);
}

TEST_F(MessageList, SavesTheListAsShown) {
    CMessageListModel model;
    model.Add(QStringLiteral("(tell :b 2)"));
    model.Add(QStringLiteral("(tell :a 1)"));
    CAgentCommPageWidget::Side side;
    side.model = &model;
    const std::string home = std::getenv("HALYX_HOME");
    std::filesystem::create_directories(home);
    const std::string path = home + "/saved.txt";
    ASSERT_TRUE(CAgentCommPageWidget::SaveTo(side, QString::fromStdString(path)));
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "(tell :a 1)\n(tell :b 2)\n");
    EXPECT_FALSE(CAgentCommPageWidget::SaveTo(side, QStringLiteral("/nonexistent/dir/x.txt")));
}

} // namespace
} // namespace halyx::test
