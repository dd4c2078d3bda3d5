// The agent message history: what the agent communications page lists.
#include "agent/agentcommstore.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace halyx;

namespace {

struct RecordingPage : IAgentCommPage {
    std::vector<std::string> incoming;
    std::vector<std::string> outgoing;
    void AddIncomingText(const std::string& text) override { incoming.push_back(text); }
    void AddOutgoingText(const std::string& text) override { outgoing.push_back(text); }
};

} // namespace

TEST(MessageHistory, OutgoingIsListedWithPerformativeReceiverAndContent) {
    CAgentCommStore store;
    store.AddOutgoing("tell", "ALPHA", "tell :command clock_sync :clock 3");
    ASSERT_EQ(store.Outgoing().size(), 1u);
    EXPECT_EQ(store.Outgoing()[0],
              "(tell :receiver ALPHA :content (tell :command clock_sync :clock 3))");
}

TEST(MessageHistory, IncomingIsKeptVerbatimEvenWithoutAPage) {
    CAgentCommStore store;
    store.AddIncoming("(tell :sender ALPHA)");
    store.AddIncoming("not kqml at all");
    ASSERT_EQ(store.Incoming().size(), 2u);
    EXPECT_EQ(store.Incoming()[0], "(tell :sender ALPHA)");
    EXPECT_EQ(store.Incoming()[1], "not kqml at all");

    // A page attached later fills itself from the history and then hears only new texts.
    RecordingPage page;
    store.SetPage(&page);
    store.AddIncoming("third");
    EXPECT_EQ(page.incoming, std::vector<std::string>{"third"});
    EXPECT_EQ(store.Incoming().size(), 3u);
}

TEST(MessageHistory, PageHearsBothSidesInOrder) {
    CAgentCommStore store;
    RecordingPage page;
    store.SetPage(&page);
    store.AddOutgoing("ask", "B", "x");
    store.AddOutgoing("tell", "C", "y");
    store.AddIncoming("z");
    EXPECT_EQ(page.outgoing, (std::vector<std::string>{"(ask :receiver B :content (x))",
                                                       "(tell :receiver C :content (y))"}));
    EXPECT_EQ(page.incoming, std::vector<std::string>{"z"});
}

TEST(MessageHistory, FloodingDropsOnlyTheOldestEntries) {
    CAgentCommStore store;
    store.SetLimits(3, 1000);
    for (int i = 0; i < 5; ++i) {
        store.AddIncoming(std::to_string(i));
    }
    ASSERT_EQ(store.Incoming().size(), 3u);
    EXPECT_EQ(store.Incoming().front(), "2");
    EXPECT_EQ(store.Incoming().back(), "4");
    EXPECT_EQ(store.DroppedIncoming(), 2u);
    EXPECT_EQ(store.DroppedOutgoing(), 0u);

    // The byte limit also holds, but the newest message always stays.
    store.SetLimits(100, 10);
    store.AddIncoming(std::string(50, 'x'));
    ASSERT_EQ(store.Incoming().size(), 1u);
    EXPECT_EQ(store.Incoming().front().size(), 50u);
}
