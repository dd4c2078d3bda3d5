#pragma once

#include "common/paths.h"
#include "record/logloader.h"
#include "record/simeventstore.h"
#include "testhome.h"

#include <cstdint>
#include <fstream>
#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <string>
#include <vector>

namespace halyx::test {

inline void WriteAll(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// 5 December 2026 14:03:09.047 UTC (the tests run with TZ=UTC).
inline constexpr int64_t kAfternoonTsid = 1796479389047;

// A clock that starts at a known instant and moves one millisecond per reading, so every log
// is the same byte for byte.
struct SteppingClock {
    int64_t next = kAfternoonTsid;
    int64_t operator()() { return next++; }
};

// A fixed-seed generator, so that the damage done to a log is the same on every run.
struct Lcg {
    unsigned seed;
    unsigned operator()() {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7fff;
    }
};

// What a log gives its loader: the answer, the scenario's name, the team, the events. The
// scenario reader stands in for the console's and answers scenarioOk.
struct LoadedLog {
    LogLoadResult result;
    std::string scenarioName;
    bool scenarioOk = true;
    std::vector<std::string> team;
    CSimEventStore events;

    CLogLoader Loader(IProgress* progress = nullptr) {
        return CLogLoader({.readScenario =
                               [this](const pugi::xml_node& s, std::string& error) {
                                   scenarioName = s.attribute("Name").as_string();
                                   error = "bad unit list";
                                   return scenarioOk;
                               },
                           .loadTeam = [this](const std::vector<std::string>& n) { team = n; },
                           .events = &events,
                           .progress = progress});
    }
};

// Loads the log file at source, or with isText the log text source.
inline LoadedLog LoadLog(const std::string& source, bool isText = false) {
    LoadedLog loaded;
    CLogLoader loader = loaded.Loader();
    loaded.result = isText ? loader.LoadText(source) : loader.Load(source);
    return loaded;
}

// The playback store of an events section holding events (the text between its tags).
inline CSimEventStore StoreOf(const std::string& events) {
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_string(("<SimEvents>\n" + events + "</SimEvents>\n").c_str()));
    CSimEventStore store;
    store.LoadEvents(doc.child("SimEvents"));
    return store;
}

// Records what the playback store sends, one line per message.
class RecordingSender : public EventSender {
public:
    void SendKqml(const std::string& performative, const std::string& receiver,
                  const std::string& content) override {
        sent.push_back(performative + " to " + receiver + ": " + content);
    }
    void SendKqmlAs(const std::string& performative, const std::string& receiver,
                    const std::string& sender, const std::string& content) override {
        sent.push_back(performative + " to " + receiver + " as " + sender + ": " + content);
    }
    void BroadcastKqml(const std::string& content) override {
        sent.push_back("tell to team: " + content);
    }
    void BroadcastKqmlAs(const std::string& sender, const std::string& content) override {
        sent.push_back("tell to team as " + sender + ": " + content);
    }
    std::vector<std::string> sent;
};

} // namespace halyx::test
