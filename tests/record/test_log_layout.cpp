// The shape of a whole experiment log over the ways an experiment ends, and what a crash or a
// hostile value can do to it.

#include "record/experimentlog.h"
#include "recordtestutil.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace halyx {
namespace {

using test::CountOf;
using test::FreshFolder;
using test::LoadLog;
using test::ReadFile;

constexpr const char* kScenario = "<Scenario>\n</Scenario>\n";

// The bytes of a log ended by a reset are the reference log's (test_event_lines) and the
// finished log's (test_log_finished); here, the ends without one.
TEST(LogLayout, EveryWayAnExperimentEndsLeavesALogThatLoadsWithItsTeam) {
    const std::string folder = FreshFolder("endings");
    // Opening another log finishes the one that was open; the program ends during the second
    // run, without a reset, and its team line gives the team.
    {
        CExperimentLog log;
        ASSERT_TRUE(log.Open(folder, "a", "", kScenario));
        log.LogStartSim();
        log.LogAbort(5, "A", "Radar", "R1", "1", "2", "3", "4");
        ASSERT_TRUE(log.Open(folder, "b", "", kScenario));
        log.LogInitSim();
        log.LogTeamMode("Multiplayer");
        log.LogTeam({"ALPHA", "BRA--VO", "C|D"});
        log.LogStartSim();
    }
    for (const char* name : {"a", "b"}) {
        EXPECT_TRUE(LoadLog(folder + name + ".xml").result) << name;
        EXPECT_EQ(CountOf(ReadFile(folder + name + ".xml"), "<Scenario>"), 1u) << name;
    }
    EXPECT_EQ(LoadLog(folder + "a.xml").events.Count(), 1u);
    EXPECT_NE(ReadFile(folder + "b.xml")
                  .find("Mode=\"Multiplayer\"/>\n<!-- team: ALPHA | BRA%2D%2DVO | C%7CD -->\n"
                        "<Event"),
              std::string::npos);
    EXPECT_EQ(LoadLog(folder + "b.xml").team,
              (std::vector<std::string>{"ALPHA", "BRA--VO", "C|D"}));
    // The scenario is written once per file.
    CExperimentLog log;
    ASSERT_TRUE(log.Open(folder, "c", "", kScenario));
    EXPECT_FALSE(log.WriteScenario(kScenario));
}

TEST(LogLayout, MarkupAndOddWhitespaceInValuesReadBackUnchanged) {
    const std::string folder = FreshFolder("markup");
    const std::string hostile = "<b>\"fish\" & 'chips'</b>";
    const std::string odd = "a\tb\nc\rd\r\ne  f";
    {
        CExperimentLog log;
        ASSERT_TRUE(log.Open(folder, "run", "notes </Notes> & more\r\nline two", kScenario));
        log.LogChatMsg(3, hostile, hostile);
        log.LogChatMsg(3, "A", "   ");
        log.LogChatMsg(3, odd, odd);
        log.LogDeployResource(4, hostile, hostile, odd, "2", "3", "4", "5", "6", "7", "8", "9");
        log.EndSimEvents(TeamMembersXml({hostile, odd}));
    }
    const std::string text = ReadFile(folder + "run.xml");
    EXPECT_NE(text.find("From=\"a&#9;b&#10;c&#13;d&#13;&#10;e  f\">\na\tb\nc&#13;d&#13;\ne  f\n"),
              std::string::npos);
    EXPECT_NE(text.find("more&#13;\nline two"), std::string::npos);

    test::LoadedLog loaded = LoadLog(folder + "run.xml");
    ASSERT_TRUE(loaded.result) << loaded.result.detail;
    EXPECT_EQ(loaded.team, (std::vector<std::string>{hostile, odd}));
    ASSERT_EQ(loaded.events.Count(), 4u);
    EXPECT_EQ(loaded.events.At(3).sender, hostile);
    const std::string messages[] = {hostile, "   ", odd};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(loaded.events.At(i).content.ends_with(" :message (" + messages[i] + ")"))
            << loaded.events.At(i).content;
    }
}

TEST(LogLayout, WhereTheFileGoesAndWhatBlocksIt) {
    const std::string folder = FreshFolder("where");
    // A folder without its final separator still holds the log.
    CExperimentLog log;
    ASSERT_TRUE(log.Open(folder + "runs", "run", "", kScenario));
    EXPECT_EQ(log.FilePath(), folder + "runs/run.xml");
    log.Close();

    // An existing log of the same name is replaced.
    test::WriteAll(folder + "old.xml", std::string(10000, '#'));
    ASSERT_TRUE(log.Open(folder, "old", "", kScenario));
    log.Close();
    EXPECT_EQ(ReadFile(folder + "old.xml").find('#'), std::string::npos);

    // A file that cannot be created is reported and nothing stays open.
    test::WriteAll(folder + "file", "a file where a folder should be");
    EXPECT_FALSE(log.Open(folder + "file/", "run", "", kScenario));
    EXPECT_EQ(log.LastError(), "Unable to create logfile " + folder +
                                   "file/run.xml: Not a directory. The simulation has not been "
                                   "initialized");
    EXPECT_FALSE(log.IsOpen());
    EXPECT_FALSE(log.LogStartSim());
    // Nor is a log written through a link planted under its name, even one leading nowhere.
    std::filesystem::create_symlink(folder + "elsewhere.xml", folder + "planted.xml");
    EXPECT_FALSE(log.Open(folder, "planted", "", kScenario));
    EXPECT_FALSE(std::filesystem::exists(folder + "elsewhere.xml"));
}

} // namespace
} // namespace halyx
