// Registration with the agent name server, station lookup and the team list.
#include "agentfixture.h"

namespace halyx::test {
namespace {

class Registration : public AgentTest {};

TEST_F(Registration, RegistersAndListsOtherAgents) {
    ASSERT_TRUE(agent.EnableANS("Lab-HalyxCommand", "7001", "127.0.0.1", "6677"));
    EXPECT_EQ(debugLines.front(), "<CHalyxCommand::EnableANS()> ENABLING THE ANS MODULE");
    EXPECT_EQ(debugLines.back(), "ANS MODULE STARTUP SUCCEEDED");
    EXPECT_EQ(agent.get_belief_db()->get_string("name"), "Lab-HalyxCommand");
    EXPECT_EQ(agent.get_belief_db()->get_int("ansport"), 6677);

    auto conn = registry.open_connection("10.0.0.9");
    registry.handle_request("(register :name ALPHA :port 7100)", conn);
    std::vector<std::string> names = agent.ListAgents();
    EXPECT_NE(std::find(names.begin(), names.end(), "ALPHA"), names.end());
    std::string host;
    std::string port;
    ASSERT_TRUE(agent.LookupStation("ALPHA", host, port));
    EXPECT_EQ(host, "10.0.0.9");
    EXPECT_EQ(port, "7100");
    EXPECT_FALSE(agent.LookupStation("NOBODY", host, port));

    agent.DisableANS();
    EXPECT_EQ(debugLines.back(), "<CHalyxCommand::DisableANS()> DISABLING THE ANS MODULE");
}

TEST_F(Registration, UnreachableServerFails) {
    comm.memory_ans()->set_reachable(false);
    EXPECT_FALSE(agent.EnableANS("Lab-HalyxCommand", "7001", "127.0.0.1", "6677"));
    EXPECT_EQ(debugLines.back(), "ANS MODULE STARTUP FAILED");
}

TEST_F(Registration, NameHeldByAnotherAgentFails) {
    auto conn = registry.open_connection("10.0.0.9");
    registry.handle_request("(register :name Lab-HalyxCommand :port 7100)", conn);
    EXPECT_FALSE(agent.EnableANS("Lab-HalyxCommand", "7001", "127.0.0.1", "6677"));
}

TEST_F(Registration, TeamKeepsOrderAndRemovesTheFirstMatch) {
    agent.LoadTeam({"A", "B", "A"});
    agent.RemoveTeamMember("A");
    EXPECT_EQ(agent.Team(), (std::vector<std::string>{"B", "A"}));
    EXPECT_TRUE(agent.IsTeamMember("A"));
    EXPECT_FALSE(agent.IsTeamMember("a"));
    EXPECT_EQ(console.calls,
              (std::vector<std::string>{"row A|Not Initialized||", "row B|Not Initialized||",
                                        "row A|Not Initialized||"}));
}

} // namespace
} // namespace halyx::test
