// Registering with the name server and building the team on the simulation control page; then
// initialize, start, pause, resume and reset from it, and its clock.
#include "pagefixture.h"

#include "ui/commpage.h"

#include <algorithm>

namespace halyx::test {
namespace {

using RegistrationPage = PageTest;

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

// The page also shows the registration as it stands: lost to a stopped name server, then taken
// again; the controls stay as the experimenter left them.
TEST_F(RegistrationPage, RegisteringListsTheOtherAgentsSortedFiltersThemAndShowsALostRegistration) {
    RegisterStations({"CHARLIE", "alpha", "BRAVO", "ALPHA-2", "Al"});
    EXPECT_EQ(page.RegistrationStatus(), "");
    page.RegistrationChanged(false, "ignored while unregistered");
    EXPECT_EQ(page.RegistrationStatus(), "");
    page.Register();
    EXPECT_EQ(page.RegistrationStatus(), "registered");
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
    page.RegistrationChanged(false, "the name server closed the connection");
    EXPECT_EQ(page.RegistrationStatus(), "registration lost, retrying");
    EXPECT_EQ(page.RegistrationDetail(), "the name server closed the connection");
    EXPECT_TRUE(page.IsEnabled(InitControl::UnRegister));
    page.RegistrationChanged(true, "");
    EXPECT_EQ(page.RegistrationStatus(), "registered");
    EXPECT_EQ(page.RegistrationDetail(), "");
    page.UnRegister();
    EXPECT_EQ(page.RegistrationStatus(), "");
    EXPECT_TRUE(page.IsEnabled(InitControl::Register));
    EXPECT_FALSE(page.IsEnabled(InitControl::AddClient));
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

using SimulationControls = PageTest;

TEST_F(SimulationControls, MissingComponentsAreListedInOrderAndNoStopsInitialization) {
    const std::string missing = CInitPage::MissingComponents(CScenario());
    EXPECT_LT(missing.find("- Trajectory Information"), missing.find("- Radar Information"));
    EXPECT_EQ(CInitPage::MissingComponents(scenario), "");

    RegisterAndAdd({"ALPHA"});
    scenario.Radars().RemoveAll();
    view.answers = {false};
    page.InitializeSimulation();
    ASSERT_EQ(view.questions.size(), 1u);
    EXPECT_TRUE(
        view.questions[0].ends_with("?\n\n- Radar Information\n  (Check the Incursions tab)\n"));
    EXPECT_FALSE(log.IsOpen());
    EXPECT_TRUE(comm.sent().empty());
    EXPECT_TRUE(page.IsEnabled(InitControl::InitializeSimulation));
}

// One message stops the initialization, with no log opened and nothing sent: the log's own
// message, which says which file and why (the log's test), or the units the stations cannot read.
TEST_F(SimulationControls, AnUncreatableLogOrUnreadableUnitsStopTheInitialization) {
    RegisterAndAdd({"ALPHA"});
    const std::string folder = view.folder;
    view.folder = "/proc/no-such-place/";
    page.InitializeSimulation();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0], log.LastError());
    EXPECT_FALSE(page.IsEnabled(InitControl::StartSimulation));

    view.folder = folder;
    scenario.Incursions().Add(CIncursion("N3", "3", "28.5", "-80.1", "80x", "90", "0"));
    scenario.Incursions().Add(CIncursion("N4", "4", "abc", "-80.1", "80", "ninety", "0"));
    scenario.Radars().Add(CRadar("R(1", "1", "28", "-80", "100", "-", "-"));
    page.InitializeSimulation();
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_NE(
        view.messages[1].find("Incursion N3: speed is not a number\n"
                              "Incursion N4: lat is not a number\n"
                              "Incursion N4: heading is not a number\n"
                              "Radar R(1: the name holds ( ) or \" (stations cannot read it)\n"),
        std::string::npos)
        << view.messages[1];
    EXPECT_FALSE(log.IsOpen());
    EXPECT_TRUE(comm.sent().empty());
}

TEST_F(SimulationControls, StartingDropsTheStationsThatDidNotAnswer) {
    RegisterAndAdd({"ALPHA", "BRAVO", "CHARLIE"});
    page.InitializeSimulation();
    // The default scenario lacks nothing: no question, the log opens, every member is asked.
    EXPECT_TRUE(view.questions.empty());
    EXPECT_TRUE(log.IsOpen());
    EXPECT_EQ(CommandsSent("init_sim"), (std::vector<std::string>{"ALPHA", "BRAVO", "CHARLIE"}));
    EXPECT_FALSE(page.IsEnabled(InitControl::AddClient));
    EXPECT_TRUE(page.IsEnabled(InitControl::StartSimulation));
    comm.deliver_from("BRAVO", "tell", "tell :command init_sim");
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"ALPHA:Not Initialized", "BRAVO:Initialized",
                                                    "CHARLIE:Not Initialized"}));

    view.answers = {false};
    page.StartSimulation();
    EXPECT_EQ(page.Stations().size(), 3u);
    EXPECT_FALSE(agent.Started());

    page.StartSimulation();
    ASSERT_EQ(view.questions.size(), 2u);
    EXPECT_EQ(Statuses(), std::vector<std::string>{"BRAVO:Running"});
    EXPECT_EQ(agent.Team(), std::vector<std::string>{"BRAVO"});
    EXPECT_EQ(CommandsSent("start_sim"), std::vector<std::string>{"BRAVO"});
    EXPECT_EQ(page.StartCaption(), "Pause Simulation");
}

TEST_F(SimulationControls, TheStartButtonPausesAndResumesAndResetAsks) {
    RegisterAndAdd({"ALPHA"});
    CCommPage chat;
    page.SetCommPage(&chat);
    page.InitializeSimulation();
    chat.SetLocation(view.folder);
    chat.SetExperimentName("Talk");
    ASSERT_TRUE(chat.SaveLog());
    comm.deliver_from("ALPHA", "tell", "tell :command init_sim");
    page.StartSimulation();
    EXPECT_TRUE(view.questions.empty());
    agent.process_clock_tick();
    EXPECT_EQ(page.ClockDigits(), "001"); // what happens now is logged as minute 1
    EXPECT_EQ(page.ClockCount(), "T-15 hours, 59 mins");

    page.StartSimulation();
    EXPECT_EQ(page.StartCaption(), "Resume Simulation");
    EXPECT_EQ(Statuses(), std::vector<std::string>{"ALPHA:Paused"});
    EXPECT_TRUE(agent.Paused());
    page.StartSimulation();
    EXPECT_EQ(page.StartCaption(), "Pause Simulation");
    EXPECT_EQ(Statuses(), std::vector<std::string>{"ALPHA:Running"});
    EXPECT_FALSE(agent.Paused());

    // Reset asks first, and keeps the rows, not initialized.
    view.answers = {false};
    page.ResetSimulation();
    EXPECT_TRUE(agent.Started());
    EXPECT_TRUE(log.IsOpen());

    page.ResetSimulation();
    EXPECT_FALSE(agent.Started());
    EXPECT_EQ(agent.Clock(), 0);
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(page.ClockDigits(), "000");
    EXPECT_EQ(page.ClockCount(), "Clock Count: 0");
    EXPECT_EQ(Statuses(), std::vector<std::string>{"ALPHA:Not Initialized"});
    EXPECT_EQ(page.StartCaption(), "Start Simulation");
    EXPECT_FALSE(page.IsEnabled(InitControl::StartSimulation));
    EXPECT_TRUE(page.IsEnabled(InitControl::InitializeSimulation));
    EXPECT_EQ(CommandsSent("reset_sim"), std::vector<std::string>{"ALPHA"});
    // The next experiment may not rewrite the transcript saved for this one.
    view.name = "Run2";
    page.InitializeSimulation();
    EXPECT_FALSE(chat.SaveLog());
}

// The count-down never goes below zero, since a mission started again after its end runs past
// the window.
TEST(ClockDisplay, CountdownToTheCloseOfTheWindow) {
    const std::pair<int, const char*> cases[] = {
        {0, "T-16 hours, 0 mins"},
        {60, "T-15 hours, 0 mins"},
        {959, "T-0 hours, 1 mins"},
        {1500, "T-0 hours, 0 mins"},
    };
    for (const auto& [minute, text] : cases) {
        EXPECT_EQ(CInitPage::CountdownText(minute), text) << minute;
    }
}

} // namespace
} // namespace halyx::test
