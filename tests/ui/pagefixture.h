#pragma once

// The simulation control page's logic over a real agent, an in-memory name server and
// communicator, a scenario and an experiment log, with a view whose answers the test scripts.

#include "agent/halyxcommand.h"
#include "common/paths.h"
#include "external/agentkit/memorycommunicator.h"
#include "external/agentkit/nameregistry.h"
#include "record/experimentlog.h"
#include "record/savelocation.h"
#include "scenario/defaultscenario.h"
#include "scenario/scenario.h"
#include "testhome.h"
#include "ui/consolewiring.h"
#include "ui/initpage.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace halyx::test {

struct ScriptedView : IInitPageView {
    std::vector<std::string> messages;
    std::vector<std::string> questions;
    std::deque<bool> answers;
    std::string folder;
    std::string name = "Run";
    std::optional<std::string> openFile;

    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    bool Ask(const std::string& text) override {
        questions.push_back(text);
        bool yes = answers.empty() ? true : answers.front();
        if (!answers.empty()) {
            answers.pop_front();
        }
        return yes;
    }
    bool ChooseLogLocation(CSaveLocation& where) override {
        where.SetLocation(folder);
        where.SetName(name);
        std::string message;
        return where.Accept(message);
    }
    std::optional<std::string> ChooseOpenFile(const std::string&, const std::string&) override {
        return openFile;
    }
};

class PageTest : public ::testing::Test {
protected:
    PageTest()
        : agent(AgentScenario::Of(scenario), log), comm(agent, &registry),
          page(view, agent, log, MakeInitPageScenario(scenario, agent, {})) {
        agent.SetStatusView(&page);
        agent.SetNotices(&page);
        agent.set_debug_sink([](const std::string&) {});
        LoadDefaultScenario(scenario);
        view.folder = HalyxHome() + "pagelogs/";
        std::filesystem::remove_all(view.folder);
        page.FillRegistrationFields("Lab-HalyxCommand", comm.get_port(), "127.0.0.1", 6677);
    }

    // Stations registered at the name server from another "machine".
    CNameRegistry::ConnectionId RegisterStations(std::initializer_list<const char*> names,
                                                 const std::string& host = "10.1.1.1") {
        auto connection = registry.open_connection(host);
        int port = 7100;
        for (const char* name : names) {
            registry.handle_request(std::string("(register :name ") + name + " :port " +
                                        std::to_string(port++) + ")",
                                    connection);
        }
        return connection;
    }

    void RegisterAndAdd(std::initializer_list<const char*> names) {
        stations = RegisterStations(names);
        page.Register();
        for (const char* name : names) {
            ASSERT_TRUE(page.SelectAgent(name)) << name;
            page.AddClient();
        }
    }

    std::vector<std::string> Statuses() const {
        std::vector<std::string> out;
        for (const StationRow& row : page.Stations()) {
            out.push_back(row.name + ":" + row.status);
        }
        return out;
    }

    std::vector<std::string> CommandsSent(const std::string& command) const {
        std::vector<std::string> receivers;
        for (const CSentMessage& m : comm.sent()) {
            if (m.content.find(":command " + command) != std::string::npos) {
                receivers.push_back(m.receiver);
            }
        }
        return receivers;
    }

    // ALPHA and BRAVO started and at minute 0, nothing sent since.
    void RunningTeam() {
        RegisterAndAdd({"ALPHA", "BRAVO"});
        page.InitializeSimulation();
        comm.deliver_from("ALPHA", "tell", "tell :command init_sim");
        comm.deliver_from("BRAVO", "tell", "tell :command init_sim");
        page.StartSimulation();
        agent.process_clock_tick();
        comm.clear_sent();
    }

    // A short recorded experiment, reset so that its log is complete: BRAVO activates at
    // minutes 2 and 4, ALPHA chats at 4. Answers the log's path.
    std::string RecordExperiment() {
        RunningTeam();
        agent.process_clock_tick();
        comm.deliver_from("BRAVO", "tell", "tell :command activate :resource radar :id R1");
        agent.process_clock_tick();
        agent.process_clock_tick();
        comm.deliver_from("BRAVO", "tell", "tell :command activate :resource radar :id R2");
        comm.deliver_from("ALPHA", "tell",
                          "tell :command subject_communication :from ALPHA :message (hi)");
        const std::string path = log.FilePath();
        page.ResetSimulation();
        comm.clear_sent();
        return path;
    }

    // The recorded experiment loaded in playback mode; with initialize, both stations confirmed
    // its initialization and nothing was sent since.
    void LoadRecorded(bool initialize = false) {
        view.openFile = RecordExperiment();
        page.SetPlaybackMode(true);
        page.LoadExperiment();
        view.questions.clear();
        if (initialize) {
            page.InitializePlayback();
            comm.deliver_from("ALPHA", "tell", "tell :command init_playback_confirm");
            comm.deliver_from("BRAVO", "tell", "tell :command init_playback_confirm");
            comm.clear_sent();
        }
    }

    // The whole experiment log, once reset has closed it.
    std::string ClosedLogText() {
        page.ResetSimulation();
        return test::ReadFile(log.FilePath());
    }

    CScenario scenario;
    CExperimentLog log;
    CNameRegistry registry;
    CNameRegistry::ConnectionId stations{};
    CHalyxCommand agent;
    CMemoryCommunicator comm;
    ScriptedView view;
    CInitPage page;
};

} // namespace halyx::test
