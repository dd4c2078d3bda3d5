// Registering with the name server and building the team on the simulation control page.
#include "pagefixture.h"

#include <algorithm>

namespace halyx::test {
namespace {

class RegistrationPage : public PageTest {};

TEST_F(RegistrationPage, FailedRegistrationShowsOneMessageAndLeavesTheFieldsEditable) {
    comm.memory_ans()->set_reachable(false);
    page.Register();
    // The message, then why.
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].rfind(
                  "Unable to register with the ANS. Please check the details and try again", 0),
              0u)
        << view.messages[0];
    for (InitControl control :
         {InitControl::Register, InitControl::Server, InitControl::AnsPort, InitControl::Agent}) {
        EXPECT_TRUE(page.IsEnabled(control));
    }
    EXPECT_FALSE(page.IsEnabled(InitControl::AddClient));
}

TEST_F(RegistrationPage, RegisteringListsTheOtherAgentsSortedAndFiltersByTheirStartWithoutCase) {
    RegisterStations({"CHARLIE", "alpha", "BRAVO", "ALPHA-2", "Al"});
    page.Register();
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(page.AgentList(),
              (std::vector<std::string>{"ALPHA-2", "Al", "BRAVO", "CHARLIE", "alpha"}));
    EXPECT_FALSE(page.IsEnabled(InitControl::Server));
    EXPECT_TRUE(page.IsEnabled(InitControl::PlaybackMode));
    EXPECT_TRUE(page.IsEnabled(InitControl::AddClient));
    page.ChooseFilterBy();
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"al", {"ALPHA-2", "Al", "alpha"}},
        // A filter longer than a name never matches it; our own name never shows.
        {"alp", {"ALPHA-2", "alpha"}},
        {"Lab", {}},
    };
    for (const auto& [filter, expected] : cases) {
        page.SetFilterText(filter);
        page.RefreshList();
        EXPECT_EQ(page.AgentList(), expected) << filter;
    }
    page.UnRegister();
    EXPECT_TRUE(page.IsEnabled(InitControl::Register));
    EXPECT_FALSE(page.IsEnabled(InitControl::AddClient));
}

// The page shows the registration as it stands: lost to a stopped name server, then taken
// again; the controls stay as the experimenter left them.
TEST_F(RegistrationPage, ALostRegistrationIsShownUntilItIsTakenAgain) {
    EXPECT_EQ(page.RegistrationStatus(), "");
    page.RegistrationChanged(false, "ignored while unregistered");
    EXPECT_EQ(page.RegistrationStatus(), "");
    page.Register();
    EXPECT_EQ(page.RegistrationStatus(), "registered");
    page.RegistrationChanged(false, "the name server closed the connection");
    EXPECT_EQ(page.RegistrationStatus(), "registration lost, retrying");
    EXPECT_EQ(page.RegistrationDetail(), "the name server closed the connection");
    EXPECT_TRUE(page.IsEnabled(InitControl::UnRegister));
    page.RegistrationChanged(true, "");
    EXPECT_EQ(page.RegistrationStatus(), "registered");
    EXPECT_EQ(page.RegistrationDetail(), "");
    page.UnRegister();
    EXPECT_EQ(page.RegistrationStatus(), "");
}

// The console's own name held by another program is said on the page and in one message,
// with who holds it; a name bound to another host says why.
TEST_F(RegistrationPage, ASquattedOrBoundNameIsSaidWhereTheExperimenterLooks) {
    RegisterStations({"Lab-HalyxCommand"});
    page.Register();
    const std::string taken = "the name server gives Lab-HalyxCommand to 10.1.1.1:7100";
    EXPECT_NE(std::find(view.messages.begin(), view.messages.end(), taken), view.messages.end())
        << ::testing::PrintToString(view.messages);
    EXPECT_EQ(page.RegistrationDetail(), taken);
    // Pressing Register again does not stack up the same box.
    view.messages.clear();
    page.Register();
    EXPECT_EQ(std::count(view.messages.begin(), view.messages.end(), taken), 0);

    registry.set_bindings({{"Lab-*", "10.9.9.9"}});
    page.SetAgentName("Lab-Console");
    page.Register();
    EXPECT_EQ(page.RegistrationDetail(),
              "the name server refuses Lab-Console: name bound to another host");
}

TEST_F(RegistrationPage, TheTeamHoldsEachStationOnceAndRemovingTheLastDisablesInitialize) {
    RegisterAndAdd({"ALPHA", "BRAVO"});
    ASSERT_TRUE(page.SelectAgent("ALPHA"));
    page.AddClient();
    EXPECT_EQ(view.messages, std::vector<std::string>{"The Halyx Client has already been added"});
    ASSERT_EQ(page.Stations().size(), 2u);
    const StationRow& row = page.Stations()[0];
    EXPECT_EQ(row.status + " " + row.host + " " + row.port, "Not Initialized 10.1.1.1 7100");
    EXPECT_EQ(agent.Team(), (std::vector<std::string>{"ALPHA", "BRAVO"}));

    ASSERT_TRUE(page.SelectStation("ALPHA"));
    page.RemoveClient();
    EXPECT_EQ(agent.Team(), std::vector<std::string>{"BRAVO"});
    EXPECT_TRUE(page.IsEnabled(InitControl::InitializeSimulation));
    ASSERT_TRUE(page.SelectStation("BRAVO"));
    page.RemoveClient();
    EXPECT_FALSE(page.IsEnabled(InitControl::InitializeSimulation));
    EXPECT_FALSE(page.IsEnabled(InitControl::RemoveClient));
}

TEST_F(RegistrationPage, StationThatLeftTheNameServerCannotBeAdded) {
    const auto connection = RegisterStations({"GHOST"});
    page.Register();
    ASSERT_TRUE(page.SelectAgent("GHOST"));
    registry.close_connection(connection);
    page.AddClient();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].rfind("Could not find the HalyxStation GHOST on the netork. Please "
                                     "ensure that it is registered with the ANS and try again",
                                     0),
              0u)
        << view.messages[0];
    EXPECT_TRUE(agent.Team().empty());
}

} // namespace
} // namespace halyx::test
