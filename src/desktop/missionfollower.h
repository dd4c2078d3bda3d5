#pragma once

// The mission state that the console shows while it runs: built from the experiment log's event
// lines as the agent writes them during a live mission, and during a replay from every event of
// the log loaded for playback, at the agent's clock (a seek shows the new minute at the next
// poll), so that a replay at minute N shows what the file holds up to N. The log is read on a
// worker; until it is in (or when it cannot be read) the replay is drawn from the playback
// store, which keeps only the commands it sends again. The Mission Picture window and the
// observer page both draw from it, so they never disagree.
//
//   CMissionFollower follower(scenario, agent, log);
//   follower.SetPlaybackQuery([&page] { return page.IsPlaybackMode(); });
//   follower.SetRecordingQuery([&page] { return page.LoadedPath(); });
//   follower.AddListener([&] { draw(follower.State(), follower.Marks()); });
//
// Listeners run on the event loop's thread, at most once per kPollMs and only after a change.

#include "mission/missionevent.h"
#include "mission/missionstate.h"

#include <QTimer>

#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace halyx {

class CExperimentLog;
class CHalyxCommand;
class CScenario;

class CMissionFollower {
public:
    static constexpr int kPollMs = 50;

    CMissionFollower(const CScenario& scenario, CHalyxCommand& agent, CExperimentLog& log);
    ~CMissionFollower();
    CMissionFollower(const CMissionFollower&) = delete;
    CMissionFollower& operator=(const CMissionFollower&) = delete;

    // Whether the console replays a recorded mission now (the init page's playback switch).
    void SetPlaybackQuery(std::function<bool()> isPlayback) {
        m_isPlayback = std::move(isPlayback);
    }

    // The log loaded for playback (empty when none): a replay draws from all of its events.
    void SetRecordingQuery(std::function<std::string()> loadedPath) {
        m_loadedPath = std::move(loadedPath);
    }

    int AddListener(std::function<void()> listener);
    void RemoveListener(int id);

    // Takes in what changed since the last poll; true (and the listeners told) when anything did.
    // The timer calls it; tests call it directly.
    bool Poll();

    // The state now: the newest live state, or the replay at the agent's clock.
    const CMissionState& State();
    std::span<const CMissionMark> Marks();
    const CScenario& Scenario() const { return m_scenario; }
    // Every event so far, in the order the marks refer to them.
    const CMissionEventList& Events() const { return m_builder.Events(); }
    // The scenario's incursions and resources as the picture starts from them.
    const MissionSetup& Setup() const { return m_builder.Setup(); }
    // Goes up with every change.
    std::uint64_t Version() const { return m_version; }
    bool Replaying() const { return m_replaying; }
    // Whether the replay is drawn from the loaded log's events (not only the playback store's).
    bool ReplayingRecording() const { return m_replaying && m_fromRecording; }

    // One line the experiment log wrote (the log's event observer calls it).
    void OnLogLine(std::string_view line);

private:
    struct Recording {
        bool read = false;
        std::vector<CMissionEvent> events;
    };

    void Restart();
    // Starts reading the loaded log when it is another one; true when its events came in since.
    bool FollowRecording();
    void DropRecording();

    const CScenario& m_scenario;
    CHalyxCommand& m_agent;
    CExperimentLog& m_log;
    std::function<bool()> m_isPlayback;
    std::function<std::string()> m_loadedPath;
    CMissionBuilder m_builder;
    CLogEventAdapter m_adapter;
    std::string m_logPath; // the log the live events came from
    bool m_replaying = false;
    // The replay's state at m_minute, while m_version has not moved on.
    const CMissionState* m_replayState = nullptr;
    std::uint64_t m_replayVersion = 0;
    std::size_t m_storeCount = 0;
    int m_minute = -1;
    // The loaded log: which one (path and the store's size then), its events once read until
    // the builder takes them.
    std::string m_recordingPath;
    std::size_t m_recordingStoreCount = 0;
    std::future<Recording> m_reading;
    std::vector<std::future<Recording>> m_abandoned; // reads of logs no longer loaded
    Recording m_recording;
    bool m_fromRecording = false;
    bool m_dirty = true;
    std::uint64_t m_version = 0;
    std::map<int, std::function<void()>> m_listeners;
    int m_nextListener = 1;
    QTimer m_timer;
};

} // namespace halyx
