#include "record/logtimeline.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace halyx {

const char* TimelineMarkLabel(TimelineMark mark) {
    switch (mark) {
    case TimelineMark::Deploy:
        return "deploy";
    case TimelineMark::Intercept:
        return "intercept";
    case TimelineMark::Balloon:
        return "balloon";
    case TimelineMark::Activate:
        return "activate";
    case TimelineMark::Deactivate:
        return "deactivate";
    case TimelineMark::Abort:
        return "abort";
    case TimelineMark::Request:
        return "resource request";
    case TimelineMark::Weather:
        return "weather query";
    case TimelineMark::Radar:
        return "radar contact / track";
    case TimelineMark::Display:
        return "unit display";
    case TimelineMark::Other:
    case TimelineMark::Count:
        break;
    }
    return "other";
}

TimelineMark CLogTimeline::MarkOf(std::string_view name) {
    if (name == "DeployResource") {
        return TimelineMark::Deploy;
    }
    if (name == "InterceptInc") {
        return TimelineMark::Intercept;
    }
    if (name == "DeployBalloon") {
        return TimelineMark::Balloon;
    }
    if (name == "ResourceActivate") {
        return TimelineMark::Activate;
    }
    if (name == "ResourceDeActivate") {
        return TimelineMark::Deactivate;
    }
    if (name == "Abort") {
        return TimelineMark::Abort;
    }
    if (name == "ResourceRequest") {
        return TimelineMark::Request;
    }
    if (name == "WeatherQuery") {
        return TimelineMark::Weather;
    }
    if (name == "IncEnterRadar" || name == "IncExitRadar" || name == "UpdateInc") {
        return TimelineMark::Radar;
    }
    if (name == "UnitDisplay") {
        return TimelineMark::Display;
    }
    if (name == "ChatMsg" || name == "LaunchStatusChange") {
        return TimelineMark::Count;
    }
    return TimelineMark::Other;
}

CLogTimeline::CLogTimeline(const CLogInfo& info, std::string experiment)
    : m_experiment(std::move(experiment)), m_repaired(info.repaired), m_marks(info.marks) {
    for (CLogMark& mark : m_marks) {
        mark.minute = std::clamp(mark.minute, 0, kMinutes);
    }
    for (const std::string& name : info.team) {
        LaneOf(name).inTeam = true;
    }
}

CLogTimeline::Lane& CLogTimeline::LaneOf(std::string_view station) {
    const auto found = m_index.find(station);
    if (found != m_index.end()) {
        return m_lanes[found->second];
    }
    if (m_lanes.size() + 1 >= kMaxLanes) {
        if (m_lanes.size() + 1 == kMaxLanes) {
            m_lanes.emplace_back();
            m_lanes.back().station = kOthersLane;
        }
        return m_lanes.back();
    }
    m_index.emplace(std::string(station), m_lanes.size());
    m_lanes.emplace_back();
    m_lanes.back().station = std::string(station);
    return m_lanes.back();
}

void CLogTimeline::Add(const CLogEventView& event) {
    // One look at the attributes for all the timeline reads: a long log has millions of events.
    std::string_view clock;
    std::string_view from;
    std::string_view sender;
    for (const auto& [name, value] : event.attributes) {
        if (name == "ClockTime") {
            clock = value;
        } else if (name == "From") {
            from = from.empty() ? value : from;
        } else if (name == "Sender") {
            sender = sender.empty() ? value : sender;
        }
    }
    int raw = -1;
    while (!clock.empty() && clock.front() == ' ') {
        clock.remove_prefix(1);
    }
    const auto [end, ec] = std::from_chars(clock.data(), clock.data() + clock.size(), raw);
    raw = ec == std::errc() && raw >= 0 ? raw : -1;
    const int minute = std::min(raw, kMinutes);
    m_minutesRun = std::max(m_minutesRun, minute);
    if (event.name == "TeamMode") {
        m_mode = event.Attribute("Mode");
    } else if (event.name == "SimulationComplete") {
        m_decision = event.Attribute("LaunchStatus");
        m_minutesRun = kMinutes;
    } else if (event.name == "PauseSim") {
        if (m_pausedSince < 0) {
            m_pausedSince = std::max(minute, 0);
        }
    } else if (event.name == "ResumeSim") {
        Resume(minute);
    } else if (event.name == "ProbeStart" && minute >= 0) {
        const std::string_view kind = event.Attribute("Kind");
        if (kind != "rating" && m_probes.size() < kMaxProbes) {
            m_probes.push_back({minute, std::string(event.Attribute("Probe")), std::string(kind)});
        }
    } else if (event.name == "ProbeAnswer" && minute >= 0 && event.Attribute("Kind") == "rating") {
        AddRating(event, minute);
    }
    const std::string_view station = from.empty() ? sender : from;
    if (station.empty() || minute < 0) {
        return;
    }
    Lane& lane = LaneOf(station);
    const size_t at = static_cast<size_t>(minute);
    if (event.name == "ChatMsg") {
        lane.chat.set(at);
    } else if (event.name == "LaunchStatusChange") {
        std::string status(event.Attribute("Status"));
        std::transform(status.begin(), status.end(), status.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        lane.status[at] = status == "go" ? kGo : kNoGo;
    } else {
        lane.marks[static_cast<size_t>(MarkOf(event.name))].set(at);
    }
}

void CLogTimeline::AddRating(const CLogEventView& event, int minute) {
    const std::string_view seat = event.Attribute("Seat");
    if (seat.empty()) {
        return;
    }
    m_rated = true;
    const std::string_view answer = event.Attribute("Answer");
    int value = kRatingMissing;
    const auto [end, ec] = std::from_chars(answer.data(), answer.data() + answer.size(), value);
    if (ec != std::errc() || end != answer.data() + answer.size() || value < kRatingLow ||
        value > kRatingHigh || event.Attribute("Answered") != "1") {
        value = kRatingMissing;
    }
    int8_t& cell = LaneOf(seat).ratings[static_cast<size_t>(minute)];
    // A rating answered stands over one missing for the same minute.
    cell = std::max(cell, static_cast<int8_t>(value));
}

void CLogTimeline::Resume(int minute) {
    if (m_pausedSince >= 0) {
        for (int m = m_pausedSince; m < std::max(minute, m_pausedSince + 1); ++m) {
            m_paused.set(static_cast<size_t>(m));
        }
        m_pausedSince = -1;
    }
}

void CLogTimeline::Finish() {
    if (m_finished) {
        return;
    }
    m_finished = true;
    if (m_pausedSince >= 0) {
        for (int m = m_pausedSince; m <= std::max(m_minutesRun, m_pausedSince); ++m) {
            m_paused.set(static_cast<size_t>(m));
        }
        m_pausedSince = -1;
    }
    for (Lane& lane : m_lanes) {
        int8_t current = kNoReport;
        for (int8_t& s : lane.status) {
            current = s == kNoReport ? current : s;
            s = current;
        }
    }
}

} // namespace halyx
