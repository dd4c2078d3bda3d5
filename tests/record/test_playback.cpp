// Replaying a recorded experiment: which recorded commands become messages, in what order they
// leave, at which clock count, and to whom.

#include "external/kqml/parser.h"
#include "record/simeventstore.h"
#include "recordtestutil.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace halyx {
namespace {

using test::RecordingSender;

std::string Abort(int clock, int tsid, const std::string& id) {
    return "<Event TSID=\"" + std::to_string(tsid) + "\" Name=\"Abort\" ClockTime=\"" +
           std::to_string(clock) + "\" From=\"A\" ResType=\"Radar\" ResID=\"" + id + "\"/>\n";
}

// Events that are not station commands (the console's own, queries, unit displays, a nameless
// event, another element) are not replayed.
TEST(Playback, EachReplayedCommandHasItsRecordedContentSenderAndReceiver) {
    CSimEventStore store = test::StoreOf(
        "<Event Name=\"InitSim\"/>\n<Event Name=\"StartSim\"/>\n"
        "<Event Name=\"WeatherQuery\" ClockTime=\"1\" From=\"A\"/>\n"
        "<Event Name=\"UnitDisplay\" ClockTime=\"1\" From=\"A\"/>\n"
        "<Event ClockTime=\"1\" From=\"A\"/>\n<Other/>\n"
        "<Event Name=\"ResourceActivate\" ClockTime=\"1\" TSID=\"1\" From=\"A\" "
        "ResType=\"Radar\" ResID=\"R1\"/>\n"
        "<Event Name=\"ResourceDeActivate\" ClockTime=\"1\" TSID=\"2\" From=\"A\" "
        "ResType=\"Radar\" ResID=\"R1\"/>\n"
        "<Event Name=\"Abort\" ClockTime=\"1\" TSID=\"3\" From=\"A\" ResType=\"Jet\" "
        "ResID=\"N1\"/>\n"
        "<Event Name=\"InterceptInc\" ClockTime=\"1\" TSID=\"4\" From=\"B\" ResType=\"Jet\" "
        "IntID=\"N1\" IncID=\"I9\"/>\n"
        "<Event Name=\"DeployResource\" ClockTime=\"1\" TSID=\"5\" From=\"B\" ResType=\"Jet\" "
        "ResID=\"N1\" DestLat=\"10\" DestLng=\"20\"/>\n"
        "<Event Name=\"ChatMsg\" ClockTime=\"1\" TSID=\"6\" From=\"A\">\nsee you\n</Event>\n"
        "<Event Name=\"LaunchStatusChange\" ClockTime=\"1\" TSID=\"7\" Status=\"go\" "
        "From=\"C\"/>\n"
        "<Event Name=\"DeployBalloon\" ClockTime=\"1\" TSID=\"8\" From=\"C\" DestLat=\"5\" "
        "DestLng=\"6\"/>\n");
    EXPECT_EQ(store.Count(), 8u);
    RecordingSender sent;
    store.Release(1, sent);
    EXPECT_EQ(sent.sent,
              (std::vector<std::string>{
                  "tell to team as A: tell :command activate :resource Radar :id R1",
                  "tell to team as A: tell :command deactivate :resource Radar :id R1",
                  "tell to team as A: tell :command abort :resource Jet :id N1",
                  "tell to team as B: tell :command intercept :resource Jet :id N1 :incID I9",
                  "tell to team as B: tell :command deploy :resource Jet :id N1 :destLat 10 "
                  ":destLng 20",
                  "tell to team as A: tell :command subject_communication :from A :message (see "
                  "you)",
                  "tell to team as C: tell :command update_go_nogo_status :status go",
                  "tell to C: tell :command playback_deploy_balloon :lat 5 :lng 6",
              }));
}

TEST(Playback, TheClockDecidesWhatLeavesAndWhen) {
    // Nothing leaves before its minute; a minute leaves in stamp order, ties in file order.
    CSimEventStore store =
        test::StoreOf(Abort(5, 100, "late") + Abort(5, 90, "early") + Abort(2, 500, "first") +
                      Abort(5, 100, "late2") + Abort(12, 1, "last"));
    RecordingSender sent;
    for (int clock = 0; clock < 12; ++clock) {
        store.Release(clock, sent);
    }
    ASSERT_EQ(sent.sent.size(), 4u);
    EXPECT_NE(sent.sent[0].find(":id first"), std::string::npos);
    EXPECT_NE(sent.sent[1].find(":id early"), std::string::npos);
    EXPECT_NE(sent.sent[2].find(":id late"), std::string::npos);
    EXPECT_NE(sent.sent[3].find(":id late2"), std::string::npos);
    store.Release(12, sent);
    store.Release(12, sent); // exhausted: nothing more
    EXPECT_EQ(sent.sent.size(), 5u);
    EXPECT_TRUE(store.Exhausted());
    // Stop and start again: from the first record.
    store.Rewind();
    store.Release(2, sent);
    EXPECT_NE(sent.sent.back().find(":id first"), std::string::npos);

    // Playback started late, the clock already past the first record: a missed minute holds
    // back everything behind it.
    CSimEventStore late = test::StoreOf(Abort(3, 1, "R1") + Abort(8, 2, "R2"));
    RecordingSender none;
    for (int clock = 5; clock <= 10; ++clock) {
        late.Release(clock, none);
    }
    EXPECT_TRUE(none.sent.empty());
    EXPECT_EQ(late.CursorIndex(), 0u);
}

TEST(Playback, BadNumbersReadAsTheirLeadingDigitsOrZeroAndAValueIsReplayedAsOneValue) {
    CSimEventStore store =
        test::StoreOf("<Event Name=\"Abort\" ClockTime=\"7abc\" TSID=\"x\" From=\"A\"/>\n"
                      "<Event Name=\"Abort\" ClockTime=\"\" TSID=\"99999999999999999999999\"/>\n");
    ASSERT_EQ(store.Count(), 2u);
    EXPECT_EQ(store.At(0).clockTime, 0);
    EXPECT_EQ(store.At(0).tsid, INT64_MAX);
    // Missing values go out as empty strings, not as nothing before the next keyword.
    EXPECT_EQ(store.At(0).content, "tell :command abort :resource \"\" :id \"\"");
    EXPECT_EQ(store.At(1).clockTime, 7);
    EXPECT_EQ(store.At(1).tsid, 0);

    // A value with a blank, a parenthesis or a quote (a station may send any string) is replayed
    // as one quoted value: raw, it would end the list early or shift every keyword after it.
    store = test::StoreOf(
        "<Event Name=\"DeployResource\" ClockTime=\"1\" TSID=\"1\" From=\"A\" "
        "ResType=\"Jet (old)\" ResID=\"N 1\" DestLat=\"1&quot;0\" DestLng=\":id\"/>\n");
    ASSERT_EQ(store.Count(), 1u);
    CParser content;
    ASSERT_TRUE(content.parse_list("(" + store.At(0).content + ")")) << store.At(0).content;
    EXPECT_EQ(content.find_text("resource"), "Jet (old)");
    EXPECT_EQ(content.find_text("id"), "N 1");
    EXPECT_EQ(content.find_text("destLat"), "1\"0");
    EXPECT_EQ(content.find_text("destLng"), ":id");
}

TEST(Playback, InsertKeepsOrderAndTheCursorOnItsRecord) {
    CSimEventStore store;
    store.Insert({.clockTime = 5, .sender = "A", .receiver = "", .tsid = 1, .content = "five"});
    store.Insert({.clockTime = 9, .sender = "", .receiver = "", .tsid = 1, .content = "nine"});
    store.Rewind();
    RecordingSender sent;
    store.Release(5, sent);
    store.Insert({.clockTime = 1, .sender = "", .receiver = "B", .tsid = 1, .content = "one"});
    store.Insert({.clockTime = 9, .sender = "A", .receiver = "B", .tsid = 1, .content = "nine2"});
    store.Release(9, sent);
    EXPECT_EQ(sent.sent, (std::vector<std::string>{"tell to team as A: five", "tell to team: nine",
                                                   "tell to B as A: nine2"}));
    store.Rewind();
    store.Release(1, sent);
    EXPECT_EQ(sent.sent.back(), "tell to B: one");
}

// The store keeps its records packed; every text must come back whole, whatever its length,
// and the cursor must move over the packed records as over the records themselves.
TEST(Playback, RecordsOfAnyLengthComeBackWholeThroughInsertSeekAndRelease) {
    CSimEventStore store;
    const std::string huge(700000, 'h'); // longer than the store's blocks
    std::vector<CSimEvent> expected;
    for (int i = 0; i < 3000; ++i) {
        CSimEvent e{i % 7, i % 2 ? "" : "S" + std::to_string(i), i % 3 ? "" : "R",
                    int64_t{1} << 40 | i, "tell :command x :n " + std::to_string(i)};
        if (i == 1500) {
            e.content = huge;
            e.sender = std::string(300, 's');
        }
        expected.push_back(e);
        store.AppendUnsorted(e);
    }
    store.AppendUnsorted(CSimEvent{3, "", "", -1, ""});
    expected.push_back(CSimEvent{3, "", "", -1, ""});
    store.SortRecords();
    std::stable_sort(expected.begin(), expected.end(), [](const CSimEvent& a, const CSimEvent& b) {
        return a.clockTime < b.clockTime || (a.clockTime == b.clockTime && a.tsid < b.tsid);
    });
    ASSERT_EQ(store.Count(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(store.At(i), expected[i]) << i;
    }
    store.Insert(CSimEvent{3, "late", "", int64_t{1} << 40, "tell :command late"});
    const size_t at = store.SeekTo(3);
    EXPECT_EQ(store.At(at).tsid, -1);
    EXPECT_EQ(store.At(at + 1).sender, "late"); // after the equal keys, before the higher ones
    RecordingSender sent;
    store.Release(3, sent);
    EXPECT_EQ(sent.sent.size(), 429u + 2); // i % 7 == 3 for 429 of the 3000
    EXPECT_EQ(store.CursorIndex(), at + sent.sent.size());
    store.Clear();
    EXPECT_TRUE(store.Empty());
    EXPECT_TRUE(store.Exhausted());
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
    std::string sentBy; // how many were sent by the end of each minute
    for (int clock = 3; clock <= 12; ++clock) {
        store.Release(clock, sender);
        sentBy += std::to_string(sender.sent.size());
    }
    EXPECT_EQ(sentBy, "0022223333");
}

} // namespace
} // namespace halyx
