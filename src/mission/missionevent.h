#pragma once

// One event of a mission as the mission picture reads it, whatever it came from: the agent as it
// logs (live), the playback store (replay) or a log file. Each source has one adapter, and the
// three give equal records for the same event, so the state built from them is the same.
//
// Usage:
//     CLogEventAdapter fromFile;                  // files: one per pass over a log
//     reader.ForEachEvent([&](const CLogEventView& e) {
//         if (auto event = fromFile.Convert(e)) builder.Append(std::move(*event)); });
//     log.SetEventObserver([&](std::string_view line) {   // live: every line the log writes
//         if (auto event = live.ConvertLine(line)) builder.Append(std::move(*event)); });
//     builder.Assign(MissionEventsFromLog(loadedLogPath));       // replay: the loaded log
//     builder.Assign(MissionEventsFromStore(agent.Events()));   // until it is read: the store
//
// Names and texts are kept as the station sent them; numbers are read once, here.
// The playback store keeps only the commands it sends again (deployment, activation,
// deactivation, interception, abort, balloons, chat, go/no-go) and, of their points, only a
// deployment's destination and a balloon's point; records from it leave the other points empty
// and the state puts the unit where it knows it to be (see missionstate.h).

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halyx {

class CSimEventStore;
struct CLogEventView;
struct CSimEvent;

enum class MissionEventKind : uint8_t {
    IncEnterRadar,      // incId entered the range of radar resId
    IncExitRadar,       // incId left the range of radar resId
    UpdateInc,          // incId now at (lat, lng) heading `heading`
    ResourceActivate,   // resType resId at (lat, lng)
    ResourceDeactivate, // resType resId at (lat, lng)
    DeployResource,     // resType resId from (lat2, lng2) to (lat, lng)
    InterceptInc,       // resType resId at (lat, lng) intercepts incId at (lat2, lng2)
    Abort,              // resType resId at (lat, lng)
    DeployBalloon,      // a balloon to (lat, lng)
    WeatherQuery,       // the weather at (lat, lng)
    ResourceRequest,    // station asks `text` for resType resId at (lat, lng)
    GoNoGo,             // text: the station's status ("go", "nogo")
    Chat,               // text: the message
    Pause,
    Resume,
    Decision,   // text: "Launch" or "NoLaunch"
    ProbeStart, // a researcher's measure begins: text the probe ("freeze-100"), resType its kind
    ProbeEnd,   // text: the probe
};
inline constexpr int kMissionEventKinds = static_cast<int>(MissionEventKind::ProbeEnd) + 1;

// The command's name as the stations send it ("deploy", "inc_enter_radar"; "pause", "resume",
// "decision", "probe_start" and "probe_end" for the console's own events).
const char* MissionEventKindName(MissionEventKind kind);

// A command's number (a point's coordinate, a heading): NaN when it was not given or is not a
// finite decimal number with '.', whatever the locale. Read once, when the event is made.
double MissionNumber(std::string_view text);
inline constexpr double kNoMissionNumber = std::numeric_limits<double>::quiet_NaN();

struct CMissionEvent {
    MissionEventKind kind = MissionEventKind::Chat;
    // Set by the replay adapter for commands whose points the playback store does not keep:
    // the state supplies them. Every other record is taken as given.
    bool pointsFromState = false;
    int minute = 0;      // the simulation clock count
    int64_t tsid = 0;    // orders the events of one minute
    std::string station; // who sent it; empty for the console's own events
    std::string resType;
    std::string resId; // the resource; of a radar contact, the radar
    std::string incId;
    // A chat's message, a go/no-go status, the decision; of a request, the station asked
    // (requestFrom). One field for these: a long log holds a million records.
    std::string text;
    // The command's point (destination of a deployment, interceptor of an interception) and its
    // second point (start of a deployment, incursion of an interception); NaN when not given or
    // not a number (see MissionNumber).
    double lat = kNoMissionNumber;
    double lng = kNoMissionNumber;
    double lat2 = kNoMissionNumber;
    double lng2 = kNoMissionNumber;
    double heading = kNoMissionNumber;

    // Numbers that are both NaN are equal here: the same missing point from two sources.
    bool operator==(const CMissionEvent& other) const;
};

// Log files and the live log: events that carry no clock (the decision) take the clock of the
// event before them, so one adapter serves one pass over the events in file order.
class CLogEventAdapter {
public:
    // Nothing for events the picture does not show (the weather answer, unit displays, ...).
    std::optional<CMissionEvent> Convert(const CLogEventView& event);
    // The same into e (whose fields are all set): false, e unspecified, when nothing is shown.
    bool Convert(const CLogEventView& event, CMissionEvent& e);
    // One event line as the experiment log writes it ("<Event .../>" or a chat element).
    std::optional<CMissionEvent> ConvertLine(std::string_view line);

private:
    int m_lastMinute = 0;
};

// Whether the playback store keeps commands of this kind (a replay shows no others).
bool ReplayKeeps(MissionEventKind kind);

// Replay: one record of the playback store (its KQML content).
std::optional<CMissionEvent> MissionEventFromRecord(const CSimEvent& record);
// Every record of the store, in its order.
std::vector<CMissionEvent> MissionEventsFromStore(const CSimEventStore& store);
// Every event of a log file, read through the repair as the other log commands read it. False
// with error set when the file cannot be read.
bool MissionEventsFromLog(const std::string& path, std::vector<CMissionEvent>& events,
                          std::vector<std::string>& team, std::string& error);

} // namespace halyx
