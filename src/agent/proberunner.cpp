#include "agent/proberunner.h"

#include "common/format.h"
#include "common/numtext.h"
#include "external/kqml/parser.h"
#include "record/experimentlog.h"
#include "station/seatcontent.h"

#include <algorithm>
#include <chrono>

namespace halyx {

namespace {

std::int64_t SteadyNow() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

CProbeRunner::CProbeRunner(CExperimentLog& log, Sender send)
    : m_log(log), m_send(std::move(send)), m_steady(SteadyNow), m_world(kWorldName) {}

void CProbeRunner::WorldFromConsole(const std::string& console, const std::string& content) {
    TellWorld(console, content);
    if (content.find("start_sim") != std::string::npos) {
        m_asked.clear();
        m_balloonAsked.clear();
        m_lastDue = -1;
    }
}

void CProbeRunner::WorldFromStation(const std::string& sender, const std::string& command,
                                    const CParser& content, int minute) {
    auto key = [&](const char* name) { return content.find_text(name); };
    SeatContent told;
    if (command == "activate" || command == "deactivate") {
        told = SeatContent("team_unit");
        told.Add("clock", minute).Add("id", key("id")).Add("active", command == "activate" ? 1 : 0);
        if (command == "deactivate") {
            told.Add("lat", key("lat")).Add("lng", key("lng"));
        }
    } else if (command == "deploy") {
        told = SeatContent("team_deploy");
        told.Add("clock", minute)
            .Add("id", key("id"))
            .Add("initLat", key("initLat"))
            .Add("initLng", key("initLng"))
            .Add("destLat", key("destLat"))
            .Add("destLng", key("destLng"))
            .Add("incID", "");
    } else if (command == "intercept") {
        told = SeatContent("team_intercept");
        told.Add("clock", minute)
            .Add("id", key("id"))
            .Add("incID", key("incID"))
            .Add("lat", key("intLat"))
            .Add("lng", key("intLng"));
    } else if (command == "abort") {
        told = SeatContent("team_abort");
        told.Add("clock", minute)
            .Add("id", key("id"))
            .Add("lat", key("lat"))
            .Add("lng", key("lng"));
    } else if (command == "deploy_balloon") {
        // Only a team member's: the map then holds one point per seat at most.
        const std::vector<std::string>& team = m_world.State().team;
        if (std::find(team.begin(), team.end(), sender) != team.end()) {
            m_balloonAsked[sender] = {ReadInt(key("destLat")), ReadInt(key("destLng"))};
        }
        return;
    } else {
        return;
    }
    TellWorld(sender, told.text());
}

void CProbeRunner::WorldFromWeatherAnswer(const std::string& seat, const std::string& answer) {
    CParser content;
    const auto asked = m_balloonAsked.find(seat);
    if (asked == m_balloonAsked.end() || !content.parse_list("(" + answer + ")")) {
        return;
    }
    // A plain weather query at another point is not the balloon's.
    auto key = [&](const char* name) { return content.find_text(name); };
    const bool noData = content.find_token("error").has_value();
    if (!noData && asked->second != std::pair<int, int>(ReadInt(key("lat")), ReadInt(key("lng")))) {
        return;
    }
    m_balloonAsked.erase(asked);
    SeatContent told("team_weather");
    told.Add("clock", m_world.State().minute)
        .Add("balloonID", key("balloonID"))
        .Add("balloon", 1)
        .Add("lat", key("lat"))
        .Add("lng", key("lng"));
    if (noData) {
        told.Add("noData", 1);
    } else {
        for (const char* name : {"temperature", "pressure", "humidity", "windspeed", "winddir"}) {
            told.Add(name, key(name));
        }
    }
    TellWorld(seat, told.text());
}

void CProbeRunner::TellWorld(const std::string& sender, const std::string& content) {
    std::string text = "(tell :sender ";
    AppendKqmlValue(text, sender);
    text += " :receiver ";
    text += kWorldName;
    text += " :content (" + content + "))";
    m_world.Receive(text);
    m_world.TakeOutbox();
}

void CProbeRunner::MissionStarted() {
    m_running = true;
    m_log.LogMeasure("SteadyClock", std::nullopt,
                     {{"At", "start"}, {"SteadyMs", std::to_string(m_steady())}});
}

void CProbeRunner::MissionEnded() {
    if (!m_running) {
        return;
    }
    m_running = false;
    // Seats still asked when the mission ends give no answer.
    const std::int64_t now = m_steady();
    for (const OpenProbe& open : m_open) {
        for (const std::string& seat : open.waiting) {
            Record(open, seat, nullptr, now);
        }
        Finish(open, now);
    }
    m_open.clear();
    m_log.LogMeasure("SteadyClock", std::nullopt,
                     {{"At", "end"}, {"SteadyMs", std::to_string(now)}});
}

bool CProbeRunner::Due(int minute, const std::vector<std::string>& team, bool end) {
    if (minute == m_lastDue) {
        return Holding();
    }
    m_lastDue = minute;
    if (end) {
        const std::optional<CProbe>& q = m_plan.Questionnaire();
        if (q && m_asked.count(q->id) == 0) {
            CProbe probe = *q;
            probe.minute = minute;
            Start(probe, team);
        }
        return Holding();
    }
    if (m_plan.RatingEvery() > 0 && minute > 0 && minute % m_plan.RatingEvery() == 0) {
        Start(RatingProbe(minute, m_plan.RatingSeconds()), team);
    }
    for (const CProbe& probe : m_plan.Probes()) {
        if (probe.minute == minute && m_asked.count(probe.id) == 0) {
            Start(probe, team);
        }
    }
    return Holding();
}

bool CProbeRunner::FreezeNow(CProbe probe, int minute, const std::vector<std::string>& team) {
    if (Holding()) {
        return false;
    }
    probe.minute = minute;
    probe.kind = ProbeKind::Freeze;
    // A set asked again gets an ID of its own, so that its answers are told apart.
    const std::string base = probe.id;
    for (int n = 2; m_asked.count(probe.id) != 0; ++n) {
        probe.id = Format("%s.%d", base.c_str(), n);
    }
    return Start(probe, team);
}

bool CProbeRunner::Start(const CProbe& probe, const std::vector<std::string>& team) {
    if (team.empty() || m_open.size() >= kMaxOpen ||
        (probe.kind == ProbeKind::Freeze && Holding())) {
        Note("probe " + probe.id +
             " not asked: " + (team.empty() ? "no team" : "too many probes open"));
        return false;
    }
    m_asked.insert(probe.id);
    OpenProbe open;
    open.probe = probe;
    open.sentMs = m_steady();
    open.waiting = team;
    open.seats = team.size();
    m_log.LogMeasure("ProbeStart", probe.minute,
                     {{"Probe", probe.id},
                      {"Kind", ProbeKindName(probe.kind)},
                      {"Seconds", std::to_string(probe.seconds)},
                      {"Questions", std::to_string(probe.questions.size())},
                      {"Seats", std::to_string(team.size())},
                      {"SteadyMs", std::to_string(open.sentMs)}});
    m_open.push_back(open);
    const std::string content = ProbeContent(probe);
    for (const std::string& seat : team) {
        m_send(seat, content);
        SeatFrozen(open, seat, true);
    }
    return true;
}

bool CProbeRunner::Poll() {
    const std::int64_t now = m_steady();
    std::vector<OpenProbe> ended;
    std::erase_if(m_open, [&](const OpenProbe& open) {
        if (now - open.sentMs < static_cast<std::int64_t>(open.probe.seconds) * 1000) {
            return false;
        }
        ended.push_back(open);
        return true;
    });
    for (const OpenProbe& open : ended) {
        for (const std::string& seat : open.waiting) {
            Note(Format("no answer from %s to probe %s within %d s; the station may not know "
                        "probes",
                        seat.c_str(), open.probe.id.c_str(), open.probe.seconds));
            Record(open, seat, nullptr, now);
            m_send(seat, ProbeEndContent(open.probe.id));
            SeatFrozen(open, seat, false);
        }
        Finish(open, now);
    }
    return Holding();
}

bool CProbeRunner::Holding() const {
    return std::any_of(m_open.begin(), m_open.end(), [](const OpenProbe& open) {
        return open.probe.kind == ProbeKind::Freeze || open.probe.kind == ProbeKind::Questionnaire;
    });
}

void CProbeRunner::Answer(const std::string& sender, const CParser& content) {
    std::string id;
    CProbeAnswers answers;
    if (!ReadProbeAnswer(content, id, answers)) {
        Note("unreadable probe answer from " + sender);
        return;
    }
    const auto open = std::find_if(m_open.begin(), m_open.end(),
                                   [&](const OpenProbe& o) { return o.probe.id == id; });
    if (open == m_open.end() ||
        std::find(open->waiting.begin(), open->waiting.end(), sender) == open->waiting.end()) {
        // Late, twice, or from a seat that was not asked: each question is answered once.
        Note("probe answer from " + sender + " to " + id + " ignored: not waited for");
        return;
    }
    const std::int64_t now = m_steady();
    Record(*open, sender, &answers, now);
    std::erase(open->waiting, sender);
    SeatFrozen(*open, sender, false);
    if (open->waiting.empty()) {
        const OpenProbe done = *open;
        m_open.erase(open);
        Finish(done, now);
    }
}

void CProbeRunner::Record(const OpenProbe& open, const std::string& seat,
                          const CProbeAnswers* answers, std::int64_t nowMs) {
    for (const CProbeQuestion& q : open.probe.questions) {
        std::string answer;
        bool answered = false;
        if (answers != nullptr) {
            for (const auto& [id, value] : *answers) {
                if (id == q.id) {
                    answer = value;
                    answered = !value.empty();
                    break;
                }
            }
        }
        const std::string truth = q.fact.empty() ? "" : ProbeTruth(m_world, seat, q.fact);
        const std::optional<int> score = ScoreAnswer(q, answer, truth);
        m_log.LogMeasure("ProbeAnswer", open.probe.minute,
                         {{"Probe", open.probe.id},
                          {"Kind", ProbeKindName(open.probe.kind)},
                          {"Seat", seat},
                          {"Question", q.id},
                          {"Text", q.text},
                          {"Answer", answer},
                          {"Answered", answered ? "1" : "0"},
                          {"Truth", truth},
                          {"Score", score ? std::to_string(*score) : ""},
                          {"Ms", answered ? std::to_string(nowMs - open.sentMs) : ""},
                          {"SteadyMs", std::to_string(nowMs)}});
        ++m_recorded;
    }
}

void CProbeRunner::Finish(const OpenProbe& open, std::int64_t nowMs) {
    std::string missing;
    for (const std::string& seat : open.waiting) {
        missing += (missing.empty() ? "" : " ") + seat;
    }
    m_log.LogMeasure("ProbeEnd", open.probe.minute,
                     {{"Probe", open.probe.id},
                      {"Kind", ProbeKindName(open.probe.kind)},
                      {"Answered", std::to_string(open.seats - open.waiting.size())},
                      {"Missing", missing},
                      {"SteadyMs", std::to_string(nowMs)}});
}

CProbeRunner::Progress CProbeRunner::FreezeProgress() const {
    for (const OpenProbe& open : m_open) {
        if (open.probe.kind == ProbeKind::Freeze || open.probe.kind == ProbeKind::Questionnaire) {
            return {open.probe.id, open.seats, open.seats - open.waiting.size()};
        }
    }
    return {};
}

void CProbeRunner::SeatFrozen(const OpenProbe& open, const std::string& seat, bool frozen) {
    if (m_seatStatus &&
        (open.probe.kind == ProbeKind::Freeze || open.probe.kind == ProbeKind::Questionnaire)) {
        m_seatStatus(seat, frozen);
    }
}

void CProbeRunner::Note(const std::string& text) {
    if (m_notes) {
        m_notes(text);
    }
}

} // namespace halyx
