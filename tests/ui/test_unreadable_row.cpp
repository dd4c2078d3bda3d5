// Messages a station sent that could not be read show in its row of the stations list, beside
// the status the station reported, and stay counted through the run; so does a map the station
// could not fetch.
#include "pagefixture.h"

#include "external/agentkit/communicator.h"

namespace halyx::test {
namespace {

class UnreadableRow : public PageTest {};

TEST_F(UnreadableRow, TheStationsRowCountsItsUnreadableMessages) {
    RunningTeam();
    EXPECT_EQ(page.StationHealthText("BRAVO"), "");
    comm.deliver_text("(tell :sender BRAVO :content (tell :command activate \x01))");
    EXPECT_EQ(page.StationHealthText("BRAVO"), "1 unreadable message");
    comm.deliver_text("(tell :sender BRAVO :content (tell :command abort \x02))");
    comm.deliver_text("(tell :sender NOBODY :content (tell :command abort \x02))");
    EXPECT_EQ(page.StationHealthText("BRAVO"), "2 unreadable messages");
    EXPECT_EQ(page.StationHealthText("ALPHA"), "");
    agent.OnLinkEvent({CLinkEvent::Kind::Lost, "BRAVO", 0, "connection refused"});
    EXPECT_EQ(page.StationHealthText("BRAVO"), "Not Responding, 2 unreadable messages");
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"ALPHA:Running", "BRAVO:Running"}));
    // A station that could not fetch its map says so in its answer, and its row shows it.
    comm.deliver_text("(tell :sender ALPHA :content (tell :command init_sim :mapError \"404\"))");
    EXPECT_EQ(page.StationHealthText("ALPHA"), "no map");
}

} // namespace
} // namespace halyx::test
