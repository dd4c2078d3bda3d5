#pragma once

// A command agent over an in-memory transport, a log with a fixed clock, a recording console.

#include "agent/halyxcommand.h"
#include "common/paths.h"
#include "common/timestamp.h"
#include "external/agentkit/communicator.h"
#include "external/agentkit/memorycommunicator.h"
#include "external/agentkit/nameregistry.h"
#include "external/kqml/parser.h"
#include "record/experimentlog.h"
#include "scenario/geography.h"
#include "scenario/incursion.h"
#include "scenario/interceptor.h"
#include "scenario/radar.h"
#include "scenario/weatherdata.h"
#include "scenario/weathermap.h"
#include "testhome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace halyx::test {

// 5 December 2026 14:03:09.047 UTC (the tests run with TZ=UTC).
inline constexpr int64_t kTsid = 1796479389047;

struct RecordingConsole : IStationStatusView, IAgentNotices, IChatSink {
    std::vector<std::string> calls;
    bool playback = false;
    void SetStationStatus(std::string_view name, std::string_view status) override {
        calls.push_back("status " + std::string(name) + " " + std::string(status));
    }
    void AddStationRow(std::string_view name, std::string_view status, std::string_view host,
                       std::string_view port) override {
        calls.push_back("row " + std::string(name) + "|" + std::string(status) + "|" +
                        std::string(host) + "|" + std::string(port));
    }
    void PlaybackReadinessCheck() override { calls.push_back("readiness"); }
    void ShowClock(int minutes) override { calls.push_back("clock " + std::to_string(minutes)); }
    bool IsPlaybackMode() const override { return playback; }
    void AddChatEntry(std::string_view to, std::string_view from,
                      std::string_view message) override {
        calls.push_back("chat " + std::string(to) + "|" + std::string(from) + "|" +
                        std::string(message));
    }
    void ReportUnreadable(std::string_view why) override {
        calls.push_back("unreadable " + std::string(why));
    }
};

class AgentTest : public ::testing::Test {
protected:
    AgentTest() : log([] { return kTsid; }), agent(Parts(), log), comm(agent, &registry) {
        Attach(console);
        agent.set_debug_sink([](const std::string&) {});
    }

    // The console hears everything the agent reports.
    void Attach(RecordingConsole& to) {
        agent.SetStatusView(&to);
        agent.SetNotices(&to);
        agent.SetChatSink(&to);
    }

    AgentScenario Parts() { return {&incursions, &radars, &interceptors, &weather, &geography}; }

    // Opens a fresh log file under the test's home folder.
    void OpenLog(const std::string& name = "run") {
        const std::string folder = HalyxHome() + "agent_" + name + "/";
        std::filesystem::remove_all(folder);
        ASSERT_TRUE(log.Open(folder, name, "", "<Scenario>\n</Scenario>\n"));
        path = folder + name + ".xml";
    }

    std::string LogText() const { return test::ReadFile(path); }

    // The start of every event line of this log's fixed clock.
    static std::string EventStart(const std::string& name) {
        return "<Event TimeStamp=\"" + TimeStampText(kTsid) + "\" TSID=\"" + std::to_string(kTsid) +
               "\" Name=\"" + name + "\"";
    }

    void Team(std::initializer_list<const char*> names) {
        for (const char* name : names) {
            agent.AddTeamMember(name);
        }
    }

    void Ticks(int count) {
        for (int i = 0; i < count; ++i) {
            agent.process_clock_tick();
        }
    }

    // Reads a key of a nested list of a content, one key per level.
    static std::string Read(std::string text, std::initializer_list<const char*> keys) {
        for (const char* key : keys) {
            CParser parser;
            EXPECT_TRUE(parser.parse_message(text)) << text;
            text = parser.find_text(key);
        }
        return text;
    }

    // What the transport tells of a station: where it is back, or whether its program ended.
    void Link(CLinkEvent::Kind kind, const std::string& who, const std::string& host = "",
              int port = 0, bool gone = false) {
        CLinkEvent event(kind, who, 0, "test");
        event.host = host;
        event.port = port;
        event.gone = gone;
        agent.OnLinkEvent(event);
    }

    void Deliver(const std::string& sender, const std::string& content) {
        comm.deliver_from(sender, "tell", content);
    }

    // Puts one cell with known values at a slot of a 40 x 40 grid of 16 layers.
    void PutWeatherCell(int64_t slot, double base) {
        if (weather.GetCount() == 0) {
            weather.Generate(CWeatherMap::kCellsPerLayer, 0.0, 0.0);
        }
        weather.ReplaceCell(
            slot, std::make_unique<CWeatherData>(base, base + 1, base + 2, base + 3, base + 4));
    }

    CUnitList<CIncursion> incursions;
    CUnitList<CRadar> radars;
    CUnitList<CInterceptor> interceptors;
    CWeatherMap weather{40, 40};
    CGeography geography;
    CExperimentLog log;
    CNameRegistry registry;
    CHalyxCommand agent;
    CMemoryCommunicator comm;
    RecordingConsole console;
    std::string path;
};

} // namespace halyx::test
