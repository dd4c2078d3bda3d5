// The agent message history: what the agent communications page lists.
#include "agent/agentcommstore.h"

#include <gtest/gtest.h>

using namespace halyx;

namespace {
struct RecordingPage : IAgentCommPage {
    std::vector<std::string> texts;
    void AddIncomingText(const std::string& text) override { texts.push_back("in " + text); }
    void AddOutgoingText(const std::string& text) override { texts.push_back("out " + text); }
};
} // namespace

TEST(MessageHistory, TellsAnAttachedPageOfNewTextsAndDropsOnlyTheOldest) {
    CAgentCommStore store;
    store.AddIncoming("received before the page existed");
    RecordingPage page;
    store.SetPage(&page);
    store.AddOutgoing("tell", "ALPHA", "tell :command clock_sync :clock 3");
    store.AddIncoming("x");
    EXPECT_EQ(store.Incoming().front(), "received before the page existed");
    EXPECT_EQ(
        page.texts,
        (std::vector<std::string>{
            "out (tell :receiver ALPHA :content (tell :command clock_sync :clock 3))", "in x"}));

    // Flooding drops only the oldest entries.
    store.SetLimits(3, 1000);
    for (int i = 0; i < 5; ++i) {
        store.AddIncoming(std::to_string(i));
    }
    EXPECT_EQ(store.Incoming(), (std::deque<std::string>{"2", "3", "4"}));
    EXPECT_EQ(store.DroppedIncoming(), 4u);
    // What arrived is told apart from what the history still holds.
    EXPECT_EQ(store.ReceivedCount(), 7u);
    EXPECT_EQ(store.SentCount(), 1u);
    // Over the byte limit the newest message still stays.
    store.SetLimits(100, 10);
    store.AddIncoming(std::string(50, 'x'));
    EXPECT_EQ(store.Incoming().size(), 1u);
}
