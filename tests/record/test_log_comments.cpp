// Comment lines in the events section (station health notes) are for people: the loader and the
// playback store read a log with them exactly as the same log without them, and no text can
// break out of a comment.

#include "record/experimentlog.h"
#include "recordtestutil.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

namespace halyx {
namespace {

using test::ReadAll;

TEST(LogComments, HealthNotesSitInsideTheEventsAndLoadAsIfTheyWereNotThere) {
    const std::string folder = test::FreshFolder("notes");
    {
        CExperimentLog log(test::SteppingClock{test::kAfternoonTsid});
        ASSERT_TRUE(log.Open(folder, "run", "notes", "<Scenario>\n</Scenario>\n"));
        log.LogInitSim();
        log.LogStartSim();
        log.LogResourceActivate(3, "ALPHA", "Radar", "R1", "1", "2", "3", "4");
        log.LogComment("station BRAVO unreachable at clock 3");
        log.LogChatMsg(4, "ALPHA", "is BRAVO there?");
        log.LogComment("station BRAVO back at clock 5");
        log.LogAbort(6, "BRAVO", "Radar", "R1", "1", "2", "3", "4");
        log.EndSimEvents(TeamMembersXml({"ALPHA", "BRAVO"}));
    }
    const std::string text = ReadAll(folder + "run.xml");
    const size_t lost = text.find("\n<!-- station BRAVO unreachable at clock 3 -->\n");
    const size_t back = text.find("\n<!-- station BRAVO back at clock 5 -->\n");
    ASSERT_NE(lost, std::string::npos) << text;
    ASSERT_NE(back, std::string::npos) << text;
    EXPECT_LT(text.find("<SimEvents>"), lost);
    EXPECT_LT(back, text.find("</SimEvents>"));

    std::string plain = text;
    plain.erase(back + 1, text.find("-->", back) + 4 - (back + 1));
    plain.erase(lost + 1, text.find("-->", lost) + 4 - (lost + 1));
    ASSERT_EQ(plain.find("<!--"), std::string::npos) << plain;
    const test::LoadedLog with = test::LoadLog(folder + "run.xml");
    const test::LoadedLog without = test::LoadLog(plain, true);
    ASSERT_TRUE(with.result) << with.result.detail;
    ASSERT_TRUE(without.result) << without.result.detail;
    EXPECT_EQ(with.team, (std::vector<std::string>{"ALPHA", "BRAVO"}));
    EXPECT_EQ(with.team, without.team);
    ASSERT_EQ(with.events.Count(), 3u);
    ASSERT_EQ(without.events.Count(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(with.events.At(i), without.events.At(i)) << i;
    }
}

TEST(LogComments, NoTextCanEndTheCommentEarly) {
    const std::string folder = test::FreshFolder("escaping");
    CExperimentLog log(test::SteppingClock{test::kAfternoonTsid});
    ASSERT_TRUE(log.Open(folder, "esc", "", "<Scenario>\n</Scenario>\n"));
    log.LogComment("station A--B --> <Event Name=\"Abort\"/> ---\nnext line-");
    log.EndSimEvents(TeamMembersXml({"A--B"}));
    log.Close();
    const std::string text = ReadAll(folder + "esc.xml");
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(text.c_str(), pugi::parse_default | pugi::parse_comments));
    const pugi::xml_node events = doc.child("HalyxSimLog").child("SimEvents");
    EXPECT_FALSE(events.child("Event")) << "text escaped the comment";
    const std::string comment = events.first_child().value();
    EXPECT_EQ(comment.find("--"), std::string::npos) << comment;
    EXPECT_NE(comment.find("next line"), std::string::npos);
    EXPECT_FALSE(log.LogComment("closed")) << "no file is open";
}

TEST(PlaybackSeek, TheCursorLandsOnTheFirstRecordOfTheMinuteOrLater) {
    CSimEventStore store;
    for (const auto& [clock, tsid] :
         std::vector<std::pair<int, int64_t>>{{2, 10}, {5, 20}, {5, 21}, {9, 30}}) {
        store.Insert(CSimEvent{clock, "ALPHA", "", tsid, "tell :command abort"});
    }
    EXPECT_EQ(store.SeekTo(5), 1u);
    EXPECT_EQ(store.SeekTo(6), 3u);
    EXPECT_EQ(store.SeekTo(0), 0u); // backwards: from the start again
    EXPECT_EQ(store.SeekTo(10), 4u);
    EXPECT_TRUE(store.Exhausted());

    // From minute 3 on: nothing at 3 or 4, both records at 5, the last at 9.
    test::RecordingSender sender;
    store.SeekTo(3);
    std::vector<int> releasedAt;
    for (int clock = 3; clock <= 12; ++clock) {
        const size_t before = sender.sent.size();
        store.Release(clock, sender);
        for (size_t i = before; i < sender.sent.size(); ++i) {
            releasedAt.push_back(clock);
        }
    }
    EXPECT_EQ(releasedAt, (std::vector<int>{5, 5, 9}));
}

} // namespace
} // namespace halyx
