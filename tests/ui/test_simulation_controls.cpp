// Initialize, start, pause, resume and reset from the simulation control page, and its clock.
#include "pagefixture.h"

#include "ui/commpage.h"

namespace halyx::test {
namespace {

class SimulationControls : public PageTest {};

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
