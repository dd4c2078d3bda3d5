// A log whose disk fills during the run: the first failed write is reported at once, nothing
// written afterwards is lost, and moving the log to another folder brings everything across;
// when nobody moves it, the close saves the whole log in a recovery file.
// The disk is made "full" with the file-size limit of this process (lowered and raised again
// within the soft limit, which needs no privilege); SIGXFSZ is ignored so that the write fails
// with EFBIG instead of ending the test.

#include "record/experimentlog.h"
#include "recordtestutil.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <regex>
#include <sys/resource.h>

namespace halyx {
namespace {

using test::FreshFolder;
using test::ReadFile;

constexpr const char* kScenario = "<Scenario>\n</Scenario>\n";

// Lowers the file-size limit for the life of the object.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = std::min(bytes, m_old.rlim_max);
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old{};
};

// Writes chat lines numbered from..to-1 at clock = number.
void Chat(CExperimentLog& log, int from, int to) {
    for (int i = from; i < to; ++i) {
        log.LogChatMsg(i, "ALPHA", "message " + std::to_string(i));
    }
}

// The log at path loads and holds the chat lines 0..count-1, each at its clock, in order.
void ExpectChatsInOrder(const std::string& path, int count) {
    const test::LoadedLog loaded = test::LoadLog(path);
    ASSERT_TRUE(loaded.result) << loaded.result.detail;
    ASSERT_EQ(loaded.events.Count(), static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const CSimEvent event = loaded.events.At(static_cast<size_t>(i));
        EXPECT_EQ(event.clockTime, i);
        EXPECT_NE(event.content.find("(message " + std::to_string(i) + ")"), std::string::npos);
    }
}

TEST(LogDiskFull, TheFirstFailureIsReportedOnceAndMovingKeepsEveryEventInOrderFileOrNot) {
    const std::string full = FreshFolder("diskfull");
    const std::string spare = FreshFolder("spare");
    std::vector<std::string> reports;
    CExperimentLog log;
    log.SetWriteTroubleHandler([&](const std::string& why) { reports.push_back(why); });
    ASSERT_TRUE(log.Open(full, "run", "", kScenario));
    log.LogTeam({"ALPHA", "BRAVO"});
    {
        FileSizeLimit limit(std::filesystem::file_size(full + "run.xml") + 1000);
        Chat(log, 0, 100); // the limit falls in the middle of a line
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0], "cannot write " + full + "run.xml: File too large (disk full?)");
        EXPECT_GT(log.KeptBytes(), 0u);
    }
    // The other disk has room.
    std::string error;
    ASSERT_TRUE(log.Move(spare, error)) << error;
    EXPECT_EQ(log.FilePath(), spare + "run.xml");
    EXPECT_FALSE(std::filesystem::exists(full + "run.xml"));
    EXPECT_EQ(log.KeptBytes(), 0u);
    Chat(log, 100, 120);
    // A move brings the written part also when its file was removed.
    std::filesystem::remove(spare + "run.xml");
    ASSERT_TRUE(log.Move(spare + "safe", error)) << error;
    Chat(log, 120, 122);
    EXPECT_TRUE(log.Close());
    EXPECT_FALSE(log.LostData());
    EXPECT_EQ(reports.size(), 1u);
    ExpectChatsInOrder(spare + "safe/run.xml", 122);
    EXPECT_EQ(test::LoadLog(spare + "safe/run.xml").team,
              (std::vector<std::string>{"ALPHA", "BRAVO"}));
}

// Still full at the close, the loss is counted and said: LogRecovery.TheFirstFolder...
TEST(LogDiskFull, KeptEventsCatchUpWhenThereIsRoomAgain) {
    const std::string folder = FreshFolder("roomagain");
    std::vector<std::string> reports;
    CExperimentLog log;
    log.SetWriteTroubleHandler([&](const std::string& why) { reports.push_back(why); });
    ASSERT_TRUE(log.Open(folder, "run", "", kScenario));
    {
        FileSizeLimit limit(std::filesystem::file_size(folder + "run.xml") + 500);
        Chat(log, 0, 50);
    }
    EXPECT_EQ(reports.size(), 1u);
    Chat(log, 50, 60);
    EXPECT_EQ(log.KeptBytes(), 0u);
    EXPECT_TRUE(log.Close());
    EXPECT_FALSE(log.LostData());
    ExpectChatsInOrder(folder + "run.xml", 60);
}

TEST(LogDiskFull, AMoveThatCannotBeDoneKeepsEverythingWhereItWas) {
    const std::string folder = FreshFolder("nomove");
    test::WriteAll(folder + "file", "a file where a folder should be");
    std::filesystem::create_directories(folder + "other/");
    CExperimentLog log;
    ASSERT_TRUE(log.Open(folder, "run", "", kScenario));
    std::string error;
    {
        FileSizeLimit limit(std::filesystem::file_size(folder + "run.xml") + 100);
        Chat(log, 0, 10);
        const size_t kept = log.KeptBytes();
        // The new place is on the same full disk: the copy fails and is removed.
        EXPECT_FALSE(log.Move(folder + "elsewhere", error));
        EXPECT_NE(error.find("File too large (disk full?)"), std::string::npos) << error;
        EXPECT_FALSE(std::filesystem::exists(folder + "elsewhere/run.xml"));
        EXPECT_EQ(log.KeptBytes(), kept);
    }
    EXPECT_FALSE(log.Move(folder + "file", error));
    EXPECT_NE(error.find("cannot create " + folder + "file/run.xml: Not a directory"),
              std::string::npos)
        << error;
    EXPECT_FALSE(log.Move(folder, error));
    // Nor over another experiment's log of that name.
    test::WriteAll(folder + "other/run.xml", "another experiment");
    EXPECT_FALSE(log.Move(folder + "other/", error));
    EXPECT_EQ(error, folder + "other/run.xml exists");
    EXPECT_EQ(ReadFile(folder + "other/run.xml"), "another experiment");
    EXPECT_EQ(log.FilePath(), folder + "run.xml");
    EXPECT_TRUE(log.Close());
    EXPECT_FALSE(log.LostData());
    ExpectChatsInOrder(folder + "run.xml", 10);
}

TEST(LogDiskFull, ALogThatCannotBeCreatedSaysWhy) {
    const std::string folder = FreshFolder("toosmall");
    CExperimentLog log;
    {
        FileSizeLimit limit(64); // smaller than the header and scenario
        EXPECT_FALSE(log.Open(folder, "run", "", kScenario));
    }
    EXPECT_EQ(log.LastError(), "Unable to create logfile " + folder +
                                   "run.xml: File too large. The simulation has not been "
                                   "initialized");
    EXPECT_FALSE(log.IsOpen());
}

// The log's disk is full from the 40th chat line on, and nobody moves the log.
struct FullFromTheMiddle {
    std::vector<std::string> reports;
    CExperimentLog log;

    FullFromTheMiddle(const std::string& folder, const std::string& name) {
        log.SetWriteTroubleHandler([this](const std::string& why) { reports.push_back(why); });
        EXPECT_TRUE(log.Open(folder, name, "", kScenario));
        log.LogTeam({"ALPHA", "BRAVO"});
        Chat(log, 0, 40);
        log.FailWritesForTest(ENOSPC);
        Chat(log, 40, 100);
    }
};

TEST(LogRecovery, AtTheCloseTheWholeLogGoesToARecoveryFileBesideTheLog) {
    const std::string folder = FreshFolder("recovery");
    FullFromTheMiddle run(folder, "run");
    const std::string shortLog = ReadFile(folder + "run.xml");
    EXPECT_FALSE(run.log.Close());
    EXPECT_FALSE(run.log.LostData());
    EXPECT_TRUE(run.log.Recovered());
    const std::string recovered = folder + "run.recovered.xml";
    EXPECT_EQ(run.log.RecoveredPath(), recovered);
    ASSERT_EQ(run.reports.size(), 2u);
    EXPECT_EQ(run.reports[1], "61 events that " + folder +
                                  "run.xml could not take were saved with the rest of the log in " +
                                  recovered);
    // The recovery file is the written part and the rest: it loads, with every line in order
    // and the team, and the short file is left as it was.
    ExpectChatsInOrder(recovered, 100);
    EXPECT_EQ(test::LoadLog(recovered).team, (std::vector<std::string>{"ALPHA", "BRAVO"}));
    EXPECT_EQ(ReadFile(recovered).compare(0, shortLog.size(), shortLog), 0);
    EXPECT_EQ(ReadFile(folder + "run.xml"), shortLog);

    // The next experiment (after a reset) starts with no recovery of its own, and a second
    // recovery of the same name never replaces the first; names planted in advance are not in
    // its way.
    for (int n = 2; n <= 150; ++n) {
        test::WriteAll(folder + "run-" + std::to_string(n) + ".recovered.xml", "");
    }
    FullFromTheMiddle again(folder, "run");
    EXPECT_TRUE(again.log.RecoveredPath().empty());
    again.log.Close();
    const std::string second = again.log.RecoveredPath();
    EXPECT_TRUE(std::regex_match(second, std::regex(".*/run-[0-9a-f]{16}\\.recovered\\.xml")));
    ExpectChatsInOrder(recovered, 100);
    ExpectChatsInOrder(second, 100);
}

TEST(LogRecovery, TheFirstFolderThatTakesTheFileIsUsedAndWithoutOneTheLossIsSaid) {
    // The log's folder is gone: the default log folder takes it.
    const std::string folder = FreshFolder("recoverygone");
    {
        FullFromTheMiddle run(folder + "sub/", "gone");
        std::filesystem::remove_all(folder + "sub/");
        run.log.Close();
        EXPECT_EQ(run.log.RecoveredPath(), DefaultExpLogFolder() + "gone.recovered.xml");
        EXPECT_FALSE(std::filesystem::exists(folder + "sub/"));
        ExpectChatsInOrder(run.log.RecoveredPath(), 100);
        std::filesystem::remove(run.log.RecoveredPath());
    }
    // A folder that refuses is passed over, and a link in the way (in a shared temporary
    // folder, say) is not followed.
    test::WriteAll(folder + "file", "a file where a folder should be");
    std::filesystem::create_directories(folder + "spare/");
    std::filesystem::create_symlink(folder + "victim", folder + "spare/linked.recovered.xml");
    FullFromTheMiddle run(folder, "linked");
    run.log.SetRecoveryFolders({folder + "file/", folder + "spare/"});
    run.log.Close();
    EXPECT_EQ(run.log.RecoveredPath().rfind(folder + "spare/linked-", 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(folder + "victim"));
    ExpectChatsInOrder(run.log.RecoveredPath(), 100);

    // When no folder takes it, the loss is counted and each refusal said.
    FullFromTheMiddle lost(folder, "lost");
    lost.log.SetRecoveryFolders({folder + "file/", "/proc/"});
    EXPECT_FALSE(lost.log.Close());
    EXPECT_TRUE(lost.log.LostData());
    EXPECT_FALSE(lost.log.Recovered());
    EXPECT_TRUE(lost.log.RecoveredPath().empty());
    ASSERT_EQ(lost.reports.size(), 2u);
    EXPECT_EQ(lost.reports[1].rfind("61 events (", 0), 0u) << lost.reports[1];
    EXPECT_NE(lost.reports[1].find("were never written to " + folder +
                                   "lost.xml; no recovery file could be written (" + folder +
                                   "file/: Not a directory; /proc/: "),
              std::string::npos)
        << lost.reports[1];
}

} // namespace
} // namespace halyx
