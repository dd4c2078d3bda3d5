// The "Move Log..." action and the report of a log that cannot be written, on the simulation
// control page.
#include "pagefixture.h"

#include <filesystem>

namespace halyx::test {
namespace {

class LogMove : public PageTest {};

TEST_F(LogMove, TheLogContinuesInTheChosenFolderOrStaysWithTheReasonShown) {
    EXPECT_FALSE(page.CanMoveLog());
    RegisterAndAdd({"ALPHA"});
    page.InitializeSimulation();
    ASSERT_TRUE(page.CanMoveLog());
    const std::string before = log.FilePath();
    const std::string elsewhere = HalyxHome() + "moved/";
    std::filesystem::remove_all(elsewhere);

    EXPECT_FALSE(page.MoveLog(view.folder));
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_TRUE(view.messages[0].starts_with("The experiment log could not be moved: the log is "
                                             "already in "))
        << view.messages[0];
    EXPECT_EQ(log.FilePath(), before);

    EXPECT_TRUE(page.MoveLog(elsewhere));
    EXPECT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(std::filesystem::path(log.FilePath()).parent_path(),
              std::filesystem::path(elsewhere).parent_path());
    EXPECT_FALSE(std::filesystem::exists(before));

    page.ReportLogTrouble("cannot write X: No space left on device (disk full?)");
    EXPECT_EQ(view.messages.back(),
              "The experiment log cannot be written: cannot write X: No space left on device "
              "(disk full?). The events that follow are kept in memory; use Move Log... to "
              "continue the log in another folder.");
}

} // namespace
} // namespace halyx::test
