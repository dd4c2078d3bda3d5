// The log reader over long, cut-off and odd logs. What it reads from the reference logs (every
// attribute, the statistics, the notes, comments that are not events) is checked through the
// expected CSV files of test_log_csv.
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
    EXPECT_EQ(EventNames(reader).back(), "UpdateInc");

    EXPECT_EQ(reader.OpenText("this is not a log").status, LogLoadStatus::NotXml);
    const LogLoadResult partial =
        reader.OpenText("<HalyxSimLog><LogHeader/><Notes/><SimEvents/></HalyxSimLog>");
    EXPECT_EQ(partial.status, LogLoadStatus::Incomplete);

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
