#pragma once

#include "common/paths.h"
#include "record/logloader.h"
#include "record/simeventstore.h"
#include "testhome.h"

#include <cstdint>
#include <fstream>
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

// What a log gives its loader (without a scenario reader): the answer, the team, the events.
struct LoadedLog {
    LogLoadResult result;
    std::vector<std::string> team;
    CSimEventStore events;
};

// Loads the log file at source, or with isText the log text source.
inline LoadedLog LoadLog(const std::string& source, bool isText = false) {
    LoadedLog loaded;
    CLogLoader loader(
        {.readScenario = nullptr,
         .loadTeam = [&loaded](const std::vector<std::string>& n) { loaded.team = n; },
         .events = &loaded.events});
    loaded.result = isText ? loader.LoadText(source) : loader.Load(source);
    return loaded;
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
