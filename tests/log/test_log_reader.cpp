#include "logtestutil.h"

#include "record/logreader.h"

#include <gtest/gtest.h>

using namespace halyx;
using namespace halyx::test;

namespace {

std::vector<std::string> EventNames(const CLogReader& reader) {
    std::vector<std::string> names;
    EXPECT_TRUE(reader.ForEachEvent([&](const CLogEventView& e) { names.emplace_back(e.name); }));
    return names;
}

} // namespace

TEST(LogReader, EveryLineOfTheReferenceLogIsAnEventWithAllItsAttributes) {
    CLogReader reader;
    ASSERT_TRUE(reader.Open(kReferenceLog));
    const std::string text = ReadAll(kReferenceLog);
    size_t lines = 0;
    for (size_t at = text.find("<Event "); at != std::string::npos;
         at = text.find("<Event ", at + 1)) {
        ++lines;
    }
    std::vector<std::string> deploy;
    size_t count = 0;
    ASSERT_TRUE(reader.ForEachEvent([&](const CLogEventView& e) {
        ++count;
        if (e.name == "DeployResource") {
            for (const auto& [name, value] : e.attributes) {
                deploy.push_back(std::string(name) + "=" + std::string(value));
            }
        }
        if (e.name == "ChatMsg") {
            EXPECT_EQ(e.text, "hello team");
        }
    }));
    EXPECT_EQ(count, lines);
    EXPECT_EQ(deploy.size(), 15u);
    EXPECT_EQ(deploy[2], "Name=DeployResource");
    EXPECT_EQ(deploy.back(), "DestGridRow=20");
    EXPECT_EQ(reader.Info().team, (std::vector<std::string>{"ALPHA", "BRAVO", "CHARLIE"}));
    EXPECT_EQ(reader.Info().notes, "Notes of the run");
    EXPECT_FALSE(reader.Info().repaired);
}

TEST(LogReader, CommentsAreNeverEventsAndStatisticsAreFoundInsideAndAfterTheEvents) {
    CLogReader reader;
    ASSERT_TRUE(reader.Open(kStatsLog));
    EXPECT_EQ(EventNames(reader),
              (std::vector<std::string>{"InitSim", "TeamMode", "StartSim", "ChatMsg",
                                        "LaunchStatusChange", "SimulationComplete"}));
    const auto& stats = reader.Info().stats;
    ASSERT_EQ(stats.size(), 2u);
    EXPECT_EQ(stats[0].station, "BRAVO");
    ASSERT_EQ(stats[0].items.size(), 2u);
    EXPECT_EQ(stats[0].items[0].kind, "radar");
    EXPECT_EQ(stats[0].items[0].fields[1], (CLogField{"Name", "North, East"}));
    EXPECT_EQ(stats[0].items[1].kind, "balloon");
    EXPECT_EQ(stats[1].station, "ALPHA");
    EXPECT_EQ(stats[1].costs[0], (CLogField{"TotalCost", "1200.50"}));
    EXPECT_EQ(reader.Info().notes, "Second run, \"quoted\", with a comma\nand a second line");
}

TEST(LogReader, ALongLogIsReadInPiecesWithoutLosingOrReorderingAnEvent) {
    const std::string folder = FreshFolder("long");
    {
        CExperimentLog log(SteppingClock{});
        ASSERT_TRUE(log.Open(folder, "Long", "n", "<Scenario/>\n"));
        for (int i = 0; i < 15000; ++i) {
            log.LogChatMsg(i % 961, "ALPHA", "message " + std::to_string(i));
            if (i % 1000 == 0) {
                log.WriteText("<!-- station BRAVO unreachable at clock 5 -->\n");
            }
        }
        log.EndSimEvents(TeamMembersXml({"ALPHA"}));
        log.Close();
    }
    CLogReader reader;
    ASSERT_TRUE(reader.Open(folder + "Long.xml"));
    int expected = 0;
    bool inOrder = true;
    ASSERT_TRUE(reader.ForEachEvent([&](const CLogEventView& e) {
        inOrder = inOrder && e.text == "message " + std::to_string(expected);
        ++expected;
    }));
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(expected, 15000);
    // A second pass sees the same events again.
    EXPECT_EQ(EventNames(reader).size(), 15000u);
}

TEST(LogReader, ACutOffLogIsReadThroughTheRepairAndWhatIsNotALogIsRefused) {
    const std::string text = ReadAll(kReferenceLog);
    const size_t cut = text.find("Name=\"UnitDisplay\"");
    CLogReader reader;
    ASSERT_TRUE(reader.OpenText(text.substr(0, cut)));
    EXPECT_TRUE(reader.Info().repaired);
    EXPECT_GT(reader.Info().droppedBytes, 0u);
    // The repair takes the team from the stations that confirmed their initialisation.
    EXPECT_EQ(reader.Info().team, std::vector<std::string>{"ALPHA"});
    EXPECT_EQ(EventNames(reader).back(), "UpdateInc");

    const LogLoadResult garbage = reader.OpenText("this is not a log");
    EXPECT_EQ(garbage.status, LogLoadStatus::NotXml);
    EXPECT_EQ(garbage.message, kLogLoadErrorText);

    const LogLoadResult partial =
        reader.OpenText("<HalyxSimLog><LogHeader/><Notes/><SimEvents/></HalyxSimLog>");
    EXPECT_EQ(partial.status, LogLoadStatus::Incomplete);
    EXPECT_EQ(partial.message, kLogIncompleteText);
    EXPECT_NE(partial.detail.find("Scenario"), std::string::npos);
    EXPECT_NE(partial.detail.find("TeamMembers"), std::string::npos);

    EXPECT_EQ(reader.Open(HalyxHome() + "no-such-log.xml").status, LogLoadStatus::CannotOpen);
}

TEST(LogReader, MarkupInsideACommentIsNeitherAnEventNorAColumn) {
    CLogReader reader;
    ASSERT_TRUE(
        reader.OpenText("<HalyxSimLog><LogHeader/><Notes/><Scenario/><SimEvents>\n"
                        "<Event Name=\"Real\" A=\"1\"/>\n"
                        "<!-- station <Event Name=\"Fake\" B=\"2\"/> unreachable at clock 3 -->\n"
                        "<!-- team: A | B -->\n"
                        "<Event Name=\"Real\" A=\"2\"/>\n"
                        "</SimEvents><TeamMembers/></HalyxSimLog>"));
    EXPECT_EQ(EventNames(reader), (std::vector<std::string>{"Real", "Real"}));
    EXPECT_EQ(reader.EventAttributeNames(), (std::vector<std::string>{"Name", "A"}));
}
