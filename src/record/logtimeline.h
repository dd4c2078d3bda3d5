#pragma once

// The data of one mission's timeline picture: minutes 0 to 960 across, one lane per station, a
// mark for each kind of command a station sent in a minute, its go/no-go status minute by
// minute, its chat, the minutes the clock stood paused, the launch decision, and the researcher's
// measures (freezes, in-view questions, each seat's workload ratings). Everything is kept per
// minute, so a log of any length makes a model of bounded size.
//
// Usage:
//     CLogTimeline timeline(reader.Info(), "Run1");
//     reader.ForEachEvent([&](const CLogEventView& e) { timeline.Add(e); });
//     timeline.Finish();
//     CTimelinePainter::Paint(painter, rect, timeline);   // controls/timelinepainter.h

#include "record/logreader.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace halyx {

enum class TimelineMark : uint8_t {
    Deploy,     // DeployResource
    Intercept,  // InterceptInc
    Balloon,    // DeployBalloon
    Activate,   // ResourceActivate
    Deactivate, // ResourceDeActivate
    Abort,      // Abort
    Request,    // ResourceRequest
    Weather,    // WeatherQuery
    Radar,      // IncEnterRadar, IncExitRadar, UpdateInc
    Display,    // UnitDisplay
    Other,      // anything else a station sent
    Count
};

// The legend's text for a kind of mark.
const char* TimelineMarkLabel(TimelineMark mark);

class CLogTimeline {
public:
    static constexpr int kMinutes = 960; // the launch window closes at this minute
    // Stations beyond this many share the last lane, so a hostile log cannot make the picture
    // (or its memory) grow without bound.
    static constexpr size_t kMaxLanes = 24;
    static constexpr const char* kOthersLane = "(others)";

    enum Status : int8_t { kNoReport = -1, kNoGo = 0, kGo = 1 };
    // A seat's workload rating in a minute: none asked, asked but not answered, or 1 to 5.
    enum Rating : int8_t { kNotRated = -1, kRatingMissing = 0, kRatingLow = 1, kRatingHigh = 5 };

    // A probe asked of the team (the ratings go to the lanes instead).
    struct Probe {
        int minute = 0;
        std::string id;   // "freeze-120"
        std::string kind; // freeze, inview or questionnaire
        bool operator==(const Probe&) const = default;
    };

    struct Lane {
        std::string station;
        bool inTeam = false;
        std::array<std::bitset<kMinutes + 1>, static_cast<size_t>(TimelineMark::Count)> marks;
        std::bitset<kMinutes + 1> chat;
        // The status in force at the end of each minute, after Finish.
        std::vector<int8_t> status = std::vector<int8_t>(kMinutes + 1, kNoReport);
        std::vector<int8_t> ratings = std::vector<int8_t>(kMinutes + 1, kNotRated);
    };

    CLogTimeline(const CLogInfo& info, std::string experiment);

    void Add(const CLogEventView& event);
    // Carries each station's status forward over the minutes without reports and closes an
    // open pause at the last minute run.
    void Finish();

    const std::string& Experiment() const { return m_experiment; }
    const std::vector<Lane>& Lanes() const { return m_lanes; }
    const std::bitset<kMinutes + 1>& Paused() const { return m_paused; }
    const std::string& LaunchDecision() const { return m_decision; }
    const std::string& Mode() const { return m_mode; }
    int MinutesRun() const { return m_minutesRun; }
    bool Repaired() const { return m_repaired; }
    // The experimenter's marks, minutes clamped to the window, in file order.
    const std::vector<CLogMark>& Marks() const { return m_marks; }
    // Probes beyond this many are left out (a plan has at most 200; a hostile log any number).
    static constexpr size_t kMaxProbes = 1000;
    // Freezes, in-view questions and the questionnaire in file order.
    const std::vector<Probe>& Probes() const { return m_probes; }
    // Any probe or rating at all: a log without them is drawn as before there were measures.
    bool HasMeasures() const { return !m_probes.empty() || m_rated; }

    // Which mark an event of this name gets, Count for none (chat and status have their own).
    static TimelineMark MarkOf(std::string_view eventName);

private:
    Lane& LaneOf(std::string_view station);
    // Shades the pause in force up to minute and ends it.
    void Resume(int minute);
    // A seat's answer to a workload rating, on the seat's lane.
    void AddRating(const CLogEventView& event, int minute);

    std::string m_experiment;
    std::vector<Lane> m_lanes;
    std::map<std::string, size_t, std::less<>> m_index;
    std::bitset<kMinutes + 1> m_paused;
    int m_pausedSince = -1; // the minute of the pause in force, -1 while the clock runs
    std::string m_decision;
    std::string m_mode;
    int m_minutesRun = -1;
    bool m_repaired = false;
    bool m_finished = false;
    std::vector<CLogMark> m_marks;
    std::vector<Probe> m_probes;
    bool m_rated = false;
};

} // namespace halyx
