#pragma once

// The main window over an agent whose messages come from an in-memory communicator, for tests
// that need the pages but no network.

#include "guitest.h"
#include "testhome.h"

#include "agent/halyxcommand.h"
#include "desktop/halyxcommanddlg.h"
#include "external/agentkit/memorycommunicator.h"
#include "external/agentkit/nameregistry.h"
#include "record/experimentlog.h"
#include "scenario/scenario.h"
#include "ui/consolewiring.h"

#include <filesystem>

namespace halyx::test {

class WindowTest : public ::testing::Test {
protected:
    WindowTest()
        : app((GuiApp("desktop_window_tests"), 0)), agent(AgentScenario::Of(scenario), log),
          comm(agent, &registry) {
        agent.set_debug_sink([](const std::string&) {});
        window = std::make_unique<CHalyxCommandDlg>(scenario, agent, log);
        home = test::RequiredHome() + "/";
        std::filesystem::create_directories(home);
    }

    void Deliver(const std::string& sender, const std::string& content) {
        comm.deliver_from(sender, "tell", content);
    }

    int app;
    CScenario scenario;
    CExperimentLog log;
    CHalyxCommand agent;
    CNameRegistry registry;
    CMemoryCommunicator comm;
    std::unique_ptr<CHalyxCommandDlg> window;
    std::string home;
};

} // namespace halyx::test
