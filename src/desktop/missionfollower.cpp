#include "desktop/missionfollower.h"

#include "agent/halyxcommand.h"
#include "record/experimentlog.h"

#include <chrono>
#include <vector>

namespace halyx {

CMissionFollower::CMissionFollower(const CScenario& scenario, CHalyxCommand& agent,
                                   CExperimentLog& log)
    : m_scenario(scenario), m_agent(agent), m_log(log) {
    Restart();
    m_log.SetEventObserver([this](std::string_view line) { OnLogLine(line); });
    m_timer.setInterval(kPollMs);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { Poll(); });
    m_timer.start();
}

CMissionFollower::~CMissionFollower() {
    m_log.SetEventObserver(nullptr);
}

int CMissionFollower::AddListener(std::function<void()> listener) {
    const int id = m_nextListener++;
    m_listeners.emplace(id, std::move(listener));
    return id;
}

void CMissionFollower::RemoveListener(int id) {
    m_listeners.erase(id);
}

// A new mission: the scenario and team it was started with.
void CMissionFollower::Restart() {
    m_builder = CMissionBuilder(MissionSetupFrom(m_scenario, m_agent.Team()));
    m_adapter = CLogEventAdapter();
    m_dirty = true;
}

void CMissionFollower::OnLogLine(std::string_view line) {
    if (m_replaying) {
        return;
    }
    // Each mission writes a log of its own: events of another file start another picture.
    if (m_log.FilePath() != m_logPath) {
        m_logPath = m_log.FilePath();
        Restart();
    }
    if (std::optional<CMissionEvent> event = m_adapter.ConvertLine(line)) {
        m_builder.Append(std::move(*event));
        m_dirty = true;
    }
}

void CMissionFollower::DropRecording() {
    if (m_reading.valid()) {
        // A read of a log no longer wanted: waiting for it here would hold the window.
        m_abandoned.push_back(std::move(m_reading));
    }
    m_recording = Recording();
    m_recordingPath.clear();
}

bool CMissionFollower::FollowRecording() {
    const std::string path = m_loadedPath ? m_loadedPath() : std::string();
    const std::size_t count = m_agent.Events().Count();
    // Another load (even of the same file) replaces the playback store: read the log again.
    if (path != m_recordingPath || count != m_recordingStoreCount) {
        DropRecording();
        m_recordingPath = path;
        m_recordingStoreCount = count;
        if (!path.empty()) {
            // A long session's log takes a while: it is read off the event loop's thread.
            m_reading = std::async(std::launch::async, [path] {
                Recording recording;
                std::vector<std::string> team;
                std::string error;
                recording.read = MissionEventsFromLog(path, recording.events, team, error);
                return recording;
            });
        }
    }
    std::erase_if(m_abandoned, [](const std::future<Recording>& reading) {
        return reading.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    });
    if (m_reading.valid() &&
        m_reading.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        m_recording = m_reading.get();
        return m_recording.read;
    }
    return false;
}

bool CMissionFollower::Poll() {
    const bool playback = m_isPlayback && m_isPlayback();
    if (playback) {
        const bool recordingIn = FollowRecording();
        const std::size_t count = m_agent.Events().Count();
        // The loaded log's events once they are in; until then, or when the log cannot be
        // read, what the store replays.
        const bool rebuild = m_recording.read
                                 ? !m_replaying || !m_fromRecording || recordingIn
                                 : !m_replaying || m_fromRecording || count != m_storeCount;
        if (rebuild) {
            m_builder = CMissionBuilder(MissionSetupFrom(m_scenario, m_agent.Team()));
            if (m_recording.read) {
                // The builder keeps the only copy: a long session's events are many.
                m_builder.Assign(std::move(m_recording.events));
            } else {
                m_builder.Assign(MissionEventsFromStore(m_agent.Events()));
            }
            m_fromRecording = m_recording.read;
            m_replayState = nullptr;
            m_storeCount = count;
            m_replaying = true;
            m_dirty = true;
        }
    } else if (m_replaying) {
        m_replaying = false;
        m_fromRecording = false;
        // Replaying again reads the log again.
        DropRecording();
        m_logPath.clear();
        Restart();
    }
    const int minute = m_agent.Minute();
    // The clock went back outside a replay: a reset, and the next mission starts from nothing
    // (its log's first lines would otherwise be the first sign of it).
    if (!m_replaying && minute < m_minute) {
        m_logPath.clear();
        Restart();
    }
    if (minute != m_minute) {
        m_minute = minute;
        if (!m_replaying && minute > m_builder.Latest().minute) {
            m_builder.SetMinute(minute);
        }
        m_dirty = true;
    }
    if (!m_dirty) {
        return false;
    }
    m_dirty = false;
    ++m_version;
    // A listener may remove itself.
    const std::map<int, std::function<void()>> listeners = m_listeners;
    for (const auto& [id, listener] : listeners) {
        if (m_listeners.count(id) != 0) {
            listener();
        }
    }
    return true;
}

const CMissionState& CMissionFollower::State() {
    if (!m_replaying) {
        return m_builder.Latest();
    }
    // A seek rebuilds from the nearest checkpoint; every draw of one poll shares the result.
    if (m_replayState == nullptr || m_replayVersion != m_version) {
        m_replayState = &m_builder.StateAt(m_minute);
        m_replayVersion = m_version;
    }
    return *m_replayState;
}

std::span<const CMissionMark> CMissionFollower::Marks() {
    return m_builder.MarksUpTo(State());
}

} // namespace halyx
