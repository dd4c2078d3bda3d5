#pragma once

// The state of a mission at a minute, built by applying its events (missionevent.h) in clock
// order: where each incursion is and where it heads, which radars hold which incursions, what
// each resource does and where, the balloons and weather queries, the requests, each station's
// go/no-go, the last chat lines, the pauses, the researchers' measures and the decision. The
// window, the observer page and halyx-log all draw this one state, so a picture is the same live,
// in a replay and from a file.
//
// Usage:
//     CMissionBuilder builder(MissionSetupFrom(scenario, team));
//     builder.Append(event);                          // live, as each event is logged
//     builder.Assign(events);                         // a whole log, or the replay store
//     const CMissionState& now = builder.StateAt(minute);   // any minute, in any order
//     for (const CMissionMark& mark : builder.MarksUpTo(now)) ...   // what the map shows
//
// A point is read as a decimal number with '.', whatever the locale. A command whose point is
// missing or not a number is drawn nowhere and counted in unplacedCommands; a point the replay
// store does not carry is taken from the state (the resource's last known point, the incursion's
// position on its track).

#include "mission/missionevent.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace halyx {

class CScenario;

// The minute of the launch decision: the clock runs from 0 to it.
inline constexpr int kMissionLastMinute = 960;
// How many chat lines the state keeps.
inline constexpr size_t kMissionChatLines = 8;
// How many requests the state keeps (the count goes on).
inline constexpr size_t kMissionRequests = 32;
// How many measures (probes) the state keeps (the count goes on): a rating every few minutes
// fills a mission with a couple of hundred.
inline constexpr size_t kMissionProbes = 64;
// How many names the scenario and the team do not know the state takes in (incursions,
// resources and stations together, and as many radar contacts that involve one): anyone may
// send commands about new IDs, and what they send must not grow the picture without bound.
inline constexpr size_t kMissionUnknownNames = 256;

struct MissionPoint {
    double lat = 0.0;
    double lng = 0.0;
    bool operator==(const MissionPoint&) const = default;
};

// An incursion's straight course: from `from` at minute `since`, at `speed` per hour along
// `heading` (degrees); the scenario's course until an update_inc_heading replaces it.
struct MissionTrack {
    std::string id;
    MissionPoint from;
    double speed = 0.0;
    double heading = 0.0;
    double since = 0.0;   // minute the course starts from `from`
    double appears = 0.0; // the scenario's start minute: not on the map before it
    int updatedAt = -1;   // minute of the latest update, -1 when none
    std::string updatedBy;

    // Where the course puts it at minute.
    MissionPoint PositionAt(int minute) const;
    bool operator==(const MissionTrack&) const = default;
};

struct MissionUnitPoint {
    std::string id;
    std::string type; // "Interceptor", "Radar"
    MissionPoint point;
};

// What the state starts from: the scenario's incursions, the resources' start points and the
// team (each station's colour follows its place in the team).
struct MissionSetup {
    std::vector<MissionTrack> tracks;
    std::vector<MissionUnitPoint> resources;
    std::vector<std::string> team;
    size_t unknownLimit = kMissionUnknownNames;
};
MissionSetup MissionSetupFrom(const CScenario& scenario, const std::vector<std::string>& team);

enum class ResourceActivity : uint8_t {
    Idle, // as the scenario placed it, no command yet
    Active,
    Inactive,
    Deployed,
    Intercepting,
    Aborted,
};
const char* ResourceActivityName(ResourceActivity activity);

struct MissionResource {
    std::string id;
    std::string type;
    ResourceActivity activity = ResourceActivity::Idle;
    int station = -1;     // the station of its last command, -1 none
    int since = 0;        // minute of its last command
    bool placed = false;  // point is known
    MissionPoint point;   // where it is (a deployment's destination)
    bool hasFrom = false; // a deployment's start
    MissionPoint from;
    std::string target; // the incursion it intercepts
    bool operator==(const MissionResource&) const = default;
};

struct MissionContact {
    std::string incId;
    std::string radarId;
    int station = -1;
    int since = 0;
    bool operator==(const MissionContact&) const = default;
};

struct MissionRequest {
    int minute = 0;
    int station = -1;  // who asked
    std::string asked; // whom (requestFrom)
    std::string resType;
    std::string resId;
    bool operator==(const MissionRequest&) const = default;
};

struct MissionChatLine {
    int minute = 0;
    int station = -1;
    std::string text;
    bool operator==(const MissionChatLine&) const = default;
};

// A researcher's measure: a freeze, an in-view question, a workload rating, the questionnaire.
struct MissionProbe {
    std::string id;   // "freeze-100"
    std::string kind; // "freeze", "inview", "rating", "questionnaire"
    int start = 0;
    int end = -1; // -1 while it is open
    bool operator==(const MissionProbe&) const = default;
};

struct MissionStation {
    std::string name;
    std::string goNoGo; // "" until the station reports
    int goNoGoSince = 0;
    bool operator==(const MissionStation&) const = default;
};

// One command drawn on the map, for trails, hover and the legend.
struct CMissionMark {
    MissionEventKind kind = MissionEventKind::Chat;
    int minute = 0;
    int station = -1;
    uint32_t event = 0; // index of its event in the builder's Events()
    MissionPoint at;    // the command's point: a deployment's destination, the interceptor
    bool hasTo = false; // a second point: a deployment's start, the intercepted incursion, the
    MissionPoint to;    // radar of a contact
    bool operator==(const CMissionMark&) const = default;
};

struct CMissionState {
    int minute = 0;
    size_t eventsApplied = 0;             // events up to this minute, in the builder's order
    size_t marks = 0;                     // the builder's first `marks` marks are up to this minute
    std::vector<MissionStation> stations; // the team, then others in order of first event
    std::vector<MissionTrack> tracks;
    std::map<std::string, MissionResource> resources;
    std::vector<MissionContact> contacts; // radar contacts that hold now
    std::vector<MissionRequest> requests; // the last kMissionRequests requests, oldest first
    size_t requestCount = 0;
    std::vector<MissionChatLine> chat; // the last kMissionChatLines lines, oldest first
    size_t chatLines = 0;
    size_t balloons = 0;
    size_t weatherQueries = 0;
    bool paused = false;
    std::vector<std::pair<int, int>> pauses; // [from, to) minutes; to is -1 while it lasts
    std::vector<MissionProbe> probes;        // the last kMissionProbes measures begun, oldest first
    size_t probeCount = 0;
    std::string decision;        // "" until the mission ends
    size_t unplacedCommands = 0; // commands with a missing or non-numeric point
    // Names met that the scenario and the team do not know ('i', 'r' or 's' and the name), at
    // most the setup's unknownLimit; commands about further ones change nothing and are counted.
    std::set<std::string> unknownNames;
    size_t unknownContacts = 0; // contacts that hold and involve an unknown name
    size_t overLimitCommands = 0;
    std::vector<size_t> commandsByKind = std::vector<size_t>(kMissionEventKinds, 0);

    // The freeze or questionnaire open now (the subjects' screens are held), nullptr when none.
    const MissionProbe* Holding() const;
    // Index of a station by name, -1 when none.
    int StationIndex(const std::string& name) const;
    // The incursions on the map at this minute: id and position.
    bool IncursionVisible(const MissionTrack& track) const { return minute >= track.appears; }
    bool operator==(const CMissionState&) const = default;
};

// The builder's events, in order. After the events it was given at once, it grows in blocks of
// fixed size, so a live mission never moves the events it already holds (moving a hundred
// thousand records in one go held the window up for tens of milliseconds), and a whole log
// handed over is kept as it came, without a copy.
class CMissionEventList {
public:
    size_t size() const { return m_first.size() + m_blockCount; }
    bool empty() const { return size() == 0; }
    const CMissionEvent& operator[](size_t i) const {
        if (i < m_first.size()) {
            return m_first[i];
        }
        i -= m_first.size();
        return m_blocks[i / kBlock][i % kBlock];
    }
    const CMissionEvent& back() const { return (*this)[size() - 1]; }
    void push_back(CMissionEvent event);
    // Replaces every event.
    void Assign(std::vector<CMissionEvent> events);
    // Every event, in one vector; the list is left empty.
    std::vector<CMissionEvent> Take();
    bool operator==(const CMissionEventList& other) const;

private:
    static constexpr size_t kBlock = 4096;
    std::vector<CMissionEvent> m_first;
    std::vector<std::vector<CMissionEvent>> m_blocks;
    size_t m_blockCount = 0; // events in m_blocks
};

class CMissionBuilder {
public:
    explicit CMissionBuilder(MissionSetup setup = {});

    // Live: one more event. Events arrive in clock order as a rule; one that sorts before
    // events already applied is put in its place and the state is rebuilt.
    void Append(CMissionEvent event);
    // Replaces every event (sorted by minute, then tsid; ties keep their order).
    void Assign(std::vector<CMissionEvent> events);
    void Clear();

    // The state at minute (clamped to 0..kMissionLastMinute): every event up to and including
    // it applied. Seeks from the nearest checkpoint; the reference lives until the next call.
    const CMissionState& StateAt(int minute);
    // The state after every event, at the latest minute met (or the minute given to SetMinute).
    const CMissionState& Latest() const { return m_head; }
    // Live: the clock moved on without events.
    void SetMinute(int minute);

    const CMissionEventList& Events() const { return m_events; }
    std::span<const CMissionMark> Marks() const { return m_marks; }
    std::span<const CMissionMark> MarksUpTo(const CMissionState& state) const {
        return std::span<const CMissionMark>(m_marks).first(std::min(state.marks, m_marks.size()));
    }
    const MissionSetup& Setup() const { return m_setup; }

private:
    void Rebuild();
    // Applies m_events[index] to state; adds its mark when marks is given.
    void Apply(CMissionState& state, size_t index, std::vector<CMissionMark>* marks) const;
    CMissionState Initial() const;
    void Checkpoint();

    MissionSetup m_setup;
    CMissionEventList m_events;
    std::vector<CMissionMark> m_marks;
    CMissionState m_head;
    std::vector<CMissionState> m_checkpoints; // every kCheckpointMinutes, by minute
    CMissionState m_seek;
};

} // namespace halyx
