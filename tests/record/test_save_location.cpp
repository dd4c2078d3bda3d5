// Naming and placing a new experiment log before it is created.

#include "record/savelocation.h"
#include "recordtestutil.h"

#include <gtest/gtest.h>

namespace halyx {
namespace {

TEST(SaveLocation, ProposesTheFirstFreeDefaultNameAndGrowsAFifthDigit) {
    const std::string folder = test::FreshFolder("names");
    EXPECT_EQ(CSaveLocation(folder).Name(), "HalyxSimLog_0001");
    for (int n : {1, 2, 4}) {
        test::WriteAll(folder + "HalyxSimLog_000" + std::to_string(n) + ".xml", "");
    }
    const CSaveLocation where(folder);
    EXPECT_EQ(where.Name(), "HalyxSimLog_0003");
    EXPECT_EQ(where.Location(), folder);
    EXPECT_EQ(where.Preview(), folder + "HalyxSimLog_0003.xml");
    // A name taken is refused with the file in the way (what the headless console prints).
    CSaveLocation taken(folder);
    taken.SetName("HalyxSimLog_0002");
    std::string message;
    EXPECT_FALSE(taken.Accept(message));
    EXPECT_EQ(message, folder + "HalyxSimLog_0002.xml exists");

    const std::string full = test::FreshFolder("names5");
    for (int n = 1; n <= 9999; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "HalyxSimLog_%04d.xml", n);
        test::WriteAll(full + name, "");
    }
    EXPECT_EQ(CSaveLocation::FirstFreeName(full), "HalyxSimLog_10000");
}

TEST(SaveLocation, PickingCreatesTheDefaultPreviewNormalisesSeparatorsOkNeedsANameAndALocation) {
    const std::string folder = test::FreshFolder("preview") + "ExpLogs/";
    CSaveLocation where(folder);
    EXPECT_EQ(where.BeginPickFolder(), folder);
    EXPECT_TRUE(FolderExists(folder));
    where.FolderPicked("/srv/runs");
    EXPECT_EQ(where.Location(), "/srv/runs/");
    where.SetLocation("D:\\\\Logs\\\\");
    where.SetName("Run1");
    EXPECT_EQ(where.Preview(), "D:/Logs/Run1.xml");
    where.SetLocation("/data//logs///");
    where.SetName("\\Run2/");
    EXPECT_EQ(where.Preview(), "/data/logs/Run2.xml");
    EXPECT_EQ(where.GetLocation(), "/data/logs/");
    EXPECT_EQ(where.GetName(), "Run2");

    std::string message;
    where.SetName("");
    EXPECT_FALSE(where.OkEnabled());
    EXPECT_EQ(where.Preview(), "");
    EXPECT_FALSE(where.Accept(message));
    EXPECT_EQ(message, "You must enter a unique name for this experiment");
    where.SetName("//");
    EXPECT_FALSE(where.Accept(message));
    where.SetName("Run");
    where.SetLocation("");
    EXPECT_FALSE(where.OkEnabled());
    EXPECT_FALSE(where.Accept(message));
    where.SetLocation("/tmp/logs");
    EXPECT_TRUE(where.Accept(message));
    EXPECT_EQ(where.Location(), "/tmp/logs/");
    EXPECT_TRUE(message.empty());
}

} // namespace
} // namespace halyx
