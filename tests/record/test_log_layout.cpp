// The shape of a whole experiment log over the ways an experiment ends, and what a crash or a
// hostile value can do to it.

#include "record/experimentlog.h"
#include "record/logloader.h"
#include "record/simeventstore.h"
#include "recordtestutil.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <sys/stat.h>

namespace halyx {
namespace {

using test::FreshFolder;
using test::ReadAll;

constexpr const char* kScenario = "<Scenario>\n</Scenario>\n";

size_t CountOf(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) {
        ++n;
    }
    return n;
}

LogLoadResult LoadFile(const std::string& path, std::vector<std::string>* team = nullptr,
                       CSimEventStore* events = nullptr) {
    CLogLoader loader({.readScenario = nullptr,
                       .loadTeam =
                           [team](const std::vector<std::string>& names) {
                               if (team) {
                                   *team = names;
                               }
                           },
                       .events = events});
    return loader.Load(path);
}

TEST(LogLayout, ResetBeforeStartStillGivesACompleteLog) {
    const std::string folder = FreshFolder("reset");
    CExperimentLog log(test::SteppingClock{test::kAfternoonTsid});
    ASSERT_TRUE(log.Open(folder, "run", "", kScenario));
    log.LogInitSim();
    log.LogTeamMode("SinglePlayer");
    log.LogInitSimConf("ALPHA");
    EXPECT_TRUE(log.EndSimEvents(TeamMembersXml({"ALPHA"})));
    EXPECT_TRUE(log.Close());

    const std::string text = ReadAll(folder + "run.xml");
    EXPECT_NE(text.find("<Notes>\n\n</Notes>\n<Scenario>\n</Scenario>\n<SimEvents>\n<Event"),
              std::string::npos);
    EXPECT_NE(text.find("Name=\"InitSimConf\" Sender=\"ALPHA\"/>\n</SimEvents>\n<TeamMembers>\n"
                        "<TeamMember Name=\"ALPHA\"/>\n</TeamMembers></HalyxSimLog>"),
              std::string::npos);
    std::vector<std::string> team;
    EXPECT_TRUE(LoadFile(folder + "run.xml", &team));
    EXPECT_EQ(team, std::vector<std::string>{"ALPHA"});
}

TEST(LogLayout, MissionEndThenResetWritesTheEndOfEventsOnce) {
    const std::string folder = FreshFolder("end");
    CExperimentLog log;
    ASSERT_TRUE(log.Open(folder, "run", "n", kScenario));
    log.LogSimulationComplete(true);
    EXPECT_TRUE(log.EndSimEvents(TeamMembersXml({"A", "B"})));
    EXPECT_TRUE(log.SimEventsClosed());
    // The reset that follows asks again; nothing more is written.
    EXPECT_FALSE(log.EndSimEvents(TeamMembersXml({"A", "B"})));
    log.Close();
    const std::string text = ReadAll(folder + "run.xml");
    EXPECT_EQ(CountOf(text, "</SimEvents>"), 1u);
    EXPECT_EQ(CountOf(text, "<TeamMembers>"), 1u);
    EXPECT_TRUE(LoadFile(folder + "run.xml"));
}

TEST(LogLayout, TwoExperimentsInOneRunEachHaveTheirScenario) {
    const std::string folder = FreshFolder("two");
    CExperimentLog log;
    for (const char* name : {"first", "second"}) {
        ASSERT_TRUE(log.Open(folder, name, "", kScenario));
        EXPECT_FALSE(log.WriteScenario(kScenario)); // once per file
        log.EndSimEvents(TeamMembersXml({}));
        log.Close();
    }
    for (const char* name : {"first", "second"}) {
        const std::string text = ReadAll(folder + name + ".xml");
        EXPECT_EQ(CountOf(text, "<Scenario>"), 1u) << name;
        EXPECT_TRUE(LoadFile(folder + name + ".xml")) << name;
    }
}

TEST(LogLayout, ReportsAfterTheMissionEndLandUnderTheRootAndStillLoad) {
    const std::string folder = FreshFolder("late");
    CExperimentLog log;
    ASSERT_TRUE(log.Open(folder, "run", "", kScenario));
    log.EndSimEvents(TeamMembersXml({"A"}));
    log.LogMissionStats("A", "tell :command mission_stats :totalCost 5");
    log.LogChatMsg(961, "A", "late");
    log.Close();
    EXPECT_TRUE(LoadFile(folder + "run.xml"));
}

TEST(LogLayout, MarkupInValuesIsEscapedAndReadsBackUnchanged) {
    const std::string folder = FreshFolder("markup");
    const std::string hostile = "<b>\"fish\" & 'chips'</b>";
    {
        CExperimentLog log;
        ASSERT_TRUE(log.Open(folder, "run", "notes </Notes> & more", kScenario));
        log.LogChatMsg(3, hostile, hostile);
        log.LogChatMsg(3, "A", "   ");
        log.LogDeployResource(4, hostile, hostile, "1", "2", "3", "4", "5", "6", "7", "8", "9");
        log.EndSimEvents(TeamMembersXml({hostile}));
    }
    std::vector<std::string> team;
    CSimEventStore events;
    ASSERT_TRUE(LoadFile(folder + "run.xml", &team, &events));
    EXPECT_EQ(team, std::vector<std::string>{hostile});
    ASSERT_EQ(events.Count(), 3u);
    EXPECT_EQ(events.At(0).content, "tell :command subject_communication :from " + hostile +
                                        " :message (" + hostile + ")");
    EXPECT_EQ(events.At(1).content, "tell :command subject_communication :from A :message (   )");
    EXPECT_EQ(events.At(2).sender, hostile);
}

TEST(LogLayout, TabsLineBreaksAndCarriageReturnsReadBackUnchanged) {
    const std::string folder = FreshFolder("whitespace");
    const std::string odd = "a\tb\nc\rd\r\ne  f";
    {
        CExperimentLog log;
        ASSERT_TRUE(log.Open(folder, "run", "line one\r\nline two", kScenario));
        log.LogChatMsg(3, odd, odd);
        log.LogDeployResource(4, "A", "Radar", odd, "1", "2", "3", "4", "5", "6", "7", "8");
        log.EndSimEvents(TeamMembersXml({odd}));
    }
    const std::string text = ReadAll(folder + "run.xml");
    EXPECT_NE(text.find("From=\"a&#9;b&#10;c&#13;d&#13;&#10;e  f\">\na\tb\nc&#13;d&#13;\ne  f\n"),
              std::string::npos);
    EXPECT_NE(text.find("line one&#13;\nline two"), std::string::npos);

    std::vector<std::string> team;
    CSimEventStore events;
    ASSERT_TRUE(LoadFile(folder + "run.xml", &team, &events));
    EXPECT_EQ(team, std::vector<std::string>{odd});
    ASSERT_EQ(events.Count(), 2u);
    test::RecordingSender sender;
    events.Release(3, sender);
    events.Release(4, sender);
    ASSERT_EQ(sender.sent.size(), 2u);
    EXPECT_EQ(sender.sent[0], "tell to team as " + odd +
                                  ": tell :command subject_communication :from " + odd +
                                  " :message (" + odd + ")");
    EXPECT_NE(sender.sent[1].find(":id " + odd + " "), std::string::npos) << sender.sent[1];
}

TEST(LogLayout, TheTeamLineFollowsTeamModeAndEndsEveryRunThatIsNotEnded) {
    const std::string folder = FreshFolder("teamline");
    {
        CExperimentLog log;
        ASSERT_TRUE(log.Open(folder, "run", "", kScenario));
        log.LogInitSim();
        log.LogTeamMode("Multiplayer");
        log.LogTeam({"ALPHA", "BRA--VO", "C|D"});
        log.LogStartSim();
    } // the program ends during the run, without a reset
    const std::string text = ReadAll(folder + "run.xml");
    EXPECT_NE(text.find("Mode=\"Multiplayer\"/>\n<!-- team: ALPHA | BRA%2D%2DVO | C%7CD -->\n"
                        "<Event"),
              std::string::npos)
        << text;
    std::vector<std::string> team;
    CSimEventStore events;
    ASSERT_TRUE(LoadFile(folder + "run.xml", &team, &events));
    EXPECT_EQ(team, (std::vector<std::string>{"ALPHA", "BRA--VO", "C|D"}));
}

TEST(LogLayout, EachEventLineIsInTheFileWhileTheLogIsStillOpen) {
    const std::string folder = FreshFolder("flush");
    CExperimentLog log;
    ASSERT_TRUE(log.Open(folder, "run", "", kScenario));
    log.LogStartSim();
    EXPECT_NE(ReadAll(folder + "run.xml").find("Name=\"StartSim\"/>\n"), std::string::npos);
    log.LogPauseSim(12);
    EXPECT_NE(ReadAll(folder + "run.xml").find("Name=\"PauseSim\" ClockTime=\"12\"/>\n"),
              std::string::npos);
}

TEST(LogLayout, ClosingDuringARunLeavesALogThatLoads) {
    const std::string folder = FreshFolder("shutdown");
    {
        CExperimentLog log;
        ASSERT_TRUE(log.Open(folder, "run", "", kScenario));
        log.LogStartSim();
        log.LogAbort(5, "A", "Radar", "R1", "1", "2", "3", "4");
    } // the program ends during the run
    CSimEventStore events;
    EXPECT_TRUE(LoadFile(folder + "run.xml", nullptr, &events));
    EXPECT_EQ(events.Count(), 1u);
}

TEST(LogLayout, OpeningAgainFinishesTheLogThatWasOpen) {
    const std::string folder = FreshFolder("reopen");
    CExperimentLog log;
    ASSERT_TRUE(log.Open(folder, "a", "", kScenario));
    ASSERT_TRUE(log.Open(folder, "b", "", kScenario));
    EXPECT_TRUE(LoadFile(folder + "a.xml"));
}

TEST(LogLayout, AFolderWithoutItsFinalSeparatorStillHoldsTheLog) {
    const std::string folder = FreshFolder("nosep") + "runs";
    CExperimentLog log;
    ASSERT_TRUE(log.Open(folder, "run", "", kScenario));
    EXPECT_EQ(log.FilePath(), folder + "/run.xml");
}

TEST(LogLayout, AnUncreatableFileIsReportedAndNothingStaysOpen) {
    const std::string folder = FreshFolder("blocked");
    test::WriteAll(folder + "file", "a file where a folder should be");
    CExperimentLog log;
    EXPECT_FALSE(log.Open(folder + "file/", "run", "", kScenario));
    EXPECT_EQ(log.LastError(), "Unable to create logfile " + folder +
                                   "file/run.xml: Not a directory. The simulation has not been "
                                   "initialized");
    EXPECT_FALSE(log.IsOpen());
    EXPECT_FALSE(log.LogStartSim());
}

TEST(LogLayout, AnExistingLogOfTheSameNameIsReplaced) {
    const std::string folder = FreshFolder("truncate");
    test::WriteAll(folder + "run.xml", std::string(10000, '#'));
    CExperimentLog log;
    ASSERT_TRUE(log.Open(folder, "run", "", kScenario));
    log.Close();
    EXPECT_EQ(ReadAll(folder + "run.xml").find('#'), std::string::npos);
}

} // namespace
} // namespace halyx
