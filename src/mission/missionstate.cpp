#include "mission/missionstate.h"

#include "common/hugepages.h"
#include "common/numtext.h"
#include "scenario/scenario.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numbers>

namespace halyx {

namespace {

// A checkpoint every this many minutes: a seek applies at most this many minutes of events.
constexpr int kCheckpointMinutes = 16;

// False when either number is missing or was not a number (NaN, see MissionNumber).
bool ReadPoint(double lat, double lng, MissionPoint& point) {
    if (std::isnan(lat) || std::isnan(lng)) {
        return false;
    }
    point = {lat, lng};
    return true;
}

// Clock counts are kept within this, either way, so that differences of minutes never overflow
// whatever a damaged log holds.
constexpr int kMinuteLimit = 1 << 24;

void ClampMinute(CMissionEvent& e) {
    e.minute = std::clamp(e.minute, -kMinuteLimit, kMinuteLimit);
}

bool EventLess(const CMissionEvent& a, const CMissionEvent& b) {
    return a.minute < b.minute || (a.minute == b.minute && a.tsid < b.tsid);
}

void AddStation(CMissionState& state, const std::string& name) {
    state.stations.push_back({name, {}, 0});
}

const MissionTrack* FindTrack(const CMissionState& state, const std::string& id) {
    for (const MissionTrack& track : state.tracks) {
        if (track.id == id) {
            return &track;
        }
    }
    return nullptr;
}

// Takes in a name the setup does not know while there is room for one more; false when there
// is none (the command is then left out).
bool AdmitUnknown(CMissionState& state, char kind, const std::string& name, size_t limit) {
    std::string key(1, kind);
    key += name;
    if (state.unknownNames.count(key) != 0) {
        return true;
    }
    if (state.unknownNames.size() >= limit) {
        return false;
    }
    state.unknownNames.insert(std::move(key));
    return true;
}

bool IsUnknown(const CMissionState& state, char kind, const std::string& name) {
    std::string key(1, kind);
    key += name;
    return state.unknownNames.count(key) != 0;
}

} // namespace

const char* MissionEventKindName(MissionEventKind kind) {
    switch (kind) {
    case MissionEventKind::IncEnterRadar:
        return "inc_enter_radar";
    case MissionEventKind::IncExitRadar:
        return "inc_exit_radar";
    case MissionEventKind::UpdateInc:
        return "update_inc_heading";
    case MissionEventKind::ResourceActivate:
        return "activate";
    case MissionEventKind::ResourceDeactivate:
        return "deactivate";
    case MissionEventKind::DeployResource:
        return "deploy";
    case MissionEventKind::InterceptInc:
        return "intercept";
    case MissionEventKind::Abort:
        return "abort";
    case MissionEventKind::DeployBalloon:
        return "deploy_balloon";
    case MissionEventKind::WeatherQuery:
        return "get_weather";
    case MissionEventKind::ResourceRequest:
        return "request";
    case MissionEventKind::GoNoGo:
        return "update_go_nogo_status";
    case MissionEventKind::Chat:
        return "subject_communication";
    case MissionEventKind::Pause:
        return "pause";
    case MissionEventKind::Resume:
        return "resume";
    case MissionEventKind::Decision:
        return "decision";
    case MissionEventKind::ProbeStart:
        return "probe_start";
    case MissionEventKind::ProbeEnd:
        return "probe_end";
    }
    return "";
}

const char* ResourceActivityName(ResourceActivity activity) {
    switch (activity) {
    case ResourceActivity::Idle:
        return "idle";
    case ResourceActivity::Active:
        return "active";
    case ResourceActivity::Inactive:
        return "inactive";
    case ResourceActivity::Deployed:
        return "deployed";
    case ResourceActivity::Intercepting:
        return "intercepting";
    case ResourceActivity::Aborted:
        return "aborted";
    }
    return "";
}

MissionPoint MissionTrack::PositionAt(int minute) const {
    // The scenario's own course formula (CIncursion::GetPositionAt), from the latest start.
    const double hours = (minute - since) / 60.0;
    const double h = heading * std::numbers::pi / 180.0;
    return {from.lat + hours * speed * std::sin(h), from.lng + hours * speed * std::cos(h)};
}

MissionSetup MissionSetupFrom(const CScenario& scenario, const std::vector<std::string>& team) {
    MissionSetup setup;
    setup.team = team;
    for (const CIncursion& inc : scenario.Incursions()) {
        MissionTrack track;
        track.id = inc.GetId();
        track.from = {inc.GetLatValue(), inc.GetLngValue()};
        track.speed = inc.GetSpeedValue();
        track.heading = inc.GetHeadingValue();
        track.since = inc.GetTime() == "-" ? 0.0 : ReadNumber(inc.GetTime());
        track.appears = track.since;
        setup.tracks.push_back(std::move(track));
    }
    for (const CInterceptor& unit : scenario.Interceptors()) {
        setup.resources.push_back({unit.GetId(), "Interceptor", {unit.GetLat(), unit.GetLng()}});
    }
    for (const CRadar& unit : scenario.Radars()) {
        setup.resources.push_back(
            {unit.GetId(), "Radar", {ReadNumber(unit.GetLat()), ReadNumber(unit.GetLng())}});
    }
    return setup;
}

int CMissionState::StationIndex(const std::string& name) const {
    for (size_t i = 0; i < stations.size(); ++i) {
        if (stations[i].name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

const MissionProbe* CMissionState::Holding() const {
    for (auto it = probes.rbegin(); it != probes.rend(); ++it) {
        if (it->end < 0 && (it->kind == "freeze" || it->kind == "questionnaire")) {
            return &*it;
        }
    }
    return nullptr;
}

void CMissionEventList::push_back(CMissionEvent event) {
    if (m_blockCount % kBlock == 0) {
        m_blocks.emplace_back().reserve(kBlock);
    }
    m_blocks.back().push_back(std::move(event));
    ++m_blockCount;
}

void CMissionEventList::Assign(std::vector<CMissionEvent> events) {
    m_first = std::move(events);
    m_blocks.clear();
    m_blockCount = 0;
}

std::vector<CMissionEvent> CMissionEventList::Take() {
    std::vector<CMissionEvent> all = std::move(m_first);
    all.reserve(all.size() + m_blockCount);
    for (std::vector<CMissionEvent>& block : m_blocks) {
        std::move(block.begin(), block.end(), std::back_inserter(all));
    }
    Assign({});
    return all;
}

bool CMissionEventList::operator==(const CMissionEventList& other) const {
    if (size() != other.size()) {
        return false;
    }
    for (size_t i = 0; i < size(); ++i) {
        if (!((*this)[i] == other[i])) {
            return false;
        }
    }
    return true;
}

CMissionBuilder::CMissionBuilder(MissionSetup setup) : m_setup(std::move(setup)) {
    Rebuild();
}

CMissionState CMissionBuilder::Initial() const {
    CMissionState state;
    for (const std::string& name : m_setup.team) {
        if (!name.empty() && state.StationIndex(name) < 0) {
            AddStation(state, name);
        }
    }
    state.tracks = m_setup.tracks;
    for (const MissionUnitPoint& unit : m_setup.resources) {
        MissionResource& res = state.resources[unit.id];
        res.id = unit.id;
        res.type = unit.type;
        res.placed = true;
        res.point = unit.point;
    }
    return state;
}

void CMissionBuilder::Clear() {
    m_events.Assign({});
    Rebuild();
}

void CMissionBuilder::Assign(std::vector<CMissionEvent> events) {
    for (CMissionEvent& e : events) {
        ClampMinute(e);
    }
    // Logs come in clock order as a rule: sorting them again would only move every event.
    if (!std::is_sorted(events.begin(), events.end(), EventLess)) {
        std::stable_sort(events.begin(), events.end(), EventLess);
    }
    m_events.Assign(std::move(events));
    Rebuild();
}

void CMissionBuilder::Append(CMissionEvent event) {
    ClampMinute(event);
    if (!m_events.empty() && EventLess(event, m_events.back())) {
        // Late: put in its place among all of them, and everything after it applied again.
        std::vector<CMissionEvent> all = m_events.Take();
        const auto at = std::upper_bound(all.begin(), all.end(), event, EventLess);
        all.insert(at, std::move(event));
        m_events.Assign(std::move(all));
        const int minute = m_head.minute;
        Rebuild();
        SetMinute(minute);
        return;
    }
    m_events.push_back(std::move(event));
    const size_t index = m_events.size() - 1;
    const int minute = m_events[index].minute;
    // Checkpoints cover the mission's minutes only: a clock count far beyond them (a damaged
    // log) must not make millions of copies.
    while (static_cast<int>(m_checkpoints.size()) * kCheckpointMinutes <=
           std::min(minute, kMissionLastMinute)) {
        Checkpoint();
    }
    Apply(m_head, index, &m_marks);
    m_head.minute = std::max(m_head.minute, minute);
}

void CMissionBuilder::Checkpoint() {
    CMissionState copy = m_head;
    copy.minute = static_cast<int>(m_checkpoints.size()) * kCheckpointMinutes;
    m_checkpoints.push_back(std::move(copy));
}

void CMissionBuilder::SetMinute(int minute) {
    m_head.minute = std::max(m_head.minute, std::clamp(minute, 0, kMinuteLimit));
}

void CMissionBuilder::Rebuild() {
    m_marks.clear();
    m_marks.reserve(m_events.size());
    AdviseHugePages(m_marks.data(), m_marks.capacity() * sizeof(CMissionMark));
    m_checkpoints.clear();
    m_head = Initial();
    m_seek = m_head;
    for (size_t i = 0; i < m_events.size(); ++i) {
        const int minute = m_events[i].minute;
        while (static_cast<int>(m_checkpoints.size()) * kCheckpointMinutes <=
               std::min(minute, kMissionLastMinute)) {
            Checkpoint();
        }
        Apply(m_head, i, &m_marks);
        m_head.minute = std::max(m_head.minute, minute);
    }
    m_seek = m_head;
}

const CMissionState& CMissionBuilder::StateAt(int minute) {
    const int last = m_events.empty() ? 0 : m_events.back().minute;
    minute = std::clamp(minute, 0, std::max(kMissionLastMinute, last));
    // Play on from the last seek when it lies between the best checkpoint and minute (the
    // window following a replay), else from the checkpoint.
    const size_t cp =
        std::min(m_checkpoints.size(), static_cast<size_t>(minute / kCheckpointMinutes) + 1);
    const CMissionState* from = cp > 0 ? &m_checkpoints[cp - 1] : nullptr;
    const bool fromSeek =
        m_seek.minute <= minute && (from == nullptr || m_seek.eventsApplied >= from->eventsApplied);
    if (!fromSeek) {
        m_seek = from != nullptr ? *from : Initial();
    }
    size_t i = m_seek.eventsApplied;
    while (i < m_events.size() && m_events[i].minute <= minute) {
        Apply(m_seek, i++, nullptr);
    }
    m_seek.minute = minute;
    return m_seek;
}

void CMissionBuilder::Apply(CMissionState& state, size_t index,
                            std::vector<CMissionMark>* marks) const {
    const CMissionEvent& e = m_events[index];
    ++state.eventsApplied;
    ++state.commandsByKind[static_cast<size_t>(e.kind)];
    const size_t limit = m_setup.unknownLimit;
    int station = e.station.empty() ? -1 : state.StationIndex(e.station);
    if (!e.station.empty() && station < 0) {
        if (!AdmitUnknown(state, 's', e.station, limit)) {
            ++state.overLimitCommands;
            return;
        }
        AddStation(state, e.station);
        station = static_cast<int>(state.stations.size()) - 1;
    }
    const auto knownIncursion = [&](const std::string& id) {
        return FindTrack(state, id) != nullptr || AdmitUnknown(state, 'i', id, limit);
    };
    const auto knownResource = [&](const std::string& id) {
        return state.resources.count(id) != 0 || AdmitUnknown(state, 'r', id, limit);
    };
    const auto unknownContact = [&](const std::string& incId, const std::string& radarId) {
        return IsUnknown(state, 'i', incId) || IsUnknown(state, 'r', radarId);
    };
    switch (e.kind) {
    case MissionEventKind::IncEnterRadar:
    case MissionEventKind::UpdateInc:
        if (!knownIncursion(e.incId) ||
            (e.kind == MissionEventKind::IncEnterRadar && !knownResource(e.resId))) {
            ++state.overLimitCommands;
            return;
        }
        break;
    case MissionEventKind::ResourceActivate:
    case MissionEventKind::ResourceDeactivate:
    case MissionEventKind::Abort:
    case MissionEventKind::DeployResource:
    case MissionEventKind::InterceptInc:
        if (!knownResource(e.resId)) {
            ++state.overLimitCommands;
            return;
        }
        break;
    default:
        break;
    }

    CMissionMark mark;
    mark.kind = e.kind;
    mark.minute = e.minute;
    mark.station = station;
    mark.event = static_cast<uint32_t>(index);
    bool drawn = false;

    // The command's main point: given, or (replay) where the state has the resource.
    auto mainPoint = [&](const MissionResource* res) {
        if (e.pointsFromState) {
            if (res != nullptr && res->placed) {
                mark.at = res->point;
                return true;
            }
            return false;
        }
        return ReadPoint(e.lat, e.lng, mark.at);
    };

    switch (e.kind) {
    case MissionEventKind::IncEnterRadar: {
        const bool known = std::any_of(state.contacts.begin(), state.contacts.end(), [&](auto& c) {
            return c.incId == e.incId && c.radarId == e.resId;
        });
        if (!known && unknownContact(e.incId, e.resId)) {
            if (state.unknownContacts >= limit) {
                ++state.overLimitCommands;
                return;
            }
            ++state.unknownContacts;
        }
        if (!known) {
            state.contacts.push_back({e.incId, e.resId, station, e.minute});
        }
        const MissionTrack* track = FindTrack(state, e.incId);
        const auto radar = state.resources.find(e.resId);
        if (track != nullptr) {
            mark.at = track->PositionAt(e.minute);
            drawn = true;
            if (radar != state.resources.end() && radar->second.placed) {
                mark.hasTo = true;
                mark.to = radar->second.point;
            }
        }
        break;
    }
    case MissionEventKind::IncExitRadar:
        if (std::erase_if(state.contacts,
                          [&](auto& c) { return c.incId == e.incId && c.radarId == e.resId; }) !=
                0 &&
            unknownContact(e.incId, e.resId)) {
            --state.unknownContacts;
        }
        if (const MissionTrack* track = FindTrack(state, e.incId)) {
            mark.at = track->PositionAt(e.minute);
            drawn = true;
        }
        break;
    case MissionEventKind::UpdateInc: {
        MissionPoint at;
        if (!ReadPoint(e.lat, e.lng, at) || std::isnan(e.heading)) {
            ++state.unplacedCommands;
            break;
        }
        auto it = std::find_if(state.tracks.begin(), state.tracks.end(),
                               [&](const MissionTrack& t) { return t.id == e.incId; });
        if (it == state.tracks.end()) {
            // Not in the scenario: it stands where the station saw it.
            MissionTrack track;
            track.id = e.incId;
            track.appears = e.minute;
            state.tracks.push_back(track);
            it = state.tracks.end() - 1;
        }
        it->from = at;
        it->heading = e.heading;
        it->since = e.minute;
        it->updatedAt = e.minute;
        it->updatedBy = e.station;
        mark.at = at;
        drawn = true;
        break;
    }
    case MissionEventKind::ResourceActivate:
    case MissionEventKind::ResourceDeactivate:
    case MissionEventKind::Abort:
    case MissionEventKind::DeployResource:
    case MissionEventKind::InterceptInc: {
        MissionResource& res = state.resources[e.resId];
        if (res.id.empty()) {
            res.id = e.resId;
        }
        if (!e.resType.empty()) {
            res.type = e.resType;
        }
        res.station = station;
        res.since = e.minute;
        res.target.clear();
        if (e.kind == MissionEventKind::DeployResource) {
            res.activity = ResourceActivity::Deployed;
            // The destination always travels with the command; the start, when the source
            // drops it, is where the resource was.
            if (!ReadPoint(e.lat, e.lng, mark.at)) {
                break;
            }
            MissionPoint start;
            if (e.pointsFromState ? res.placed : ReadPoint(e.lat2, e.lng2, start)) {
                mark.hasTo = true;
                mark.to = e.pointsFromState ? res.point : start;
            }
            res.hasFrom = mark.hasTo;
            res.from = mark.to;
            res.placed = true;
            res.point = mark.at;
            drawn = true;
            break;
        }
        res.hasFrom = false;
        res.activity = e.kind == MissionEventKind::ResourceActivate     ? ResourceActivity::Active
                       : e.kind == MissionEventKind::ResourceDeactivate ? ResourceActivity::Inactive
                       : e.kind == MissionEventKind::Abort              ? ResourceActivity::Aborted
                                                           : ResourceActivity::Intercepting;
        if (e.kind == MissionEventKind::InterceptInc) {
            res.target = e.incId;
        }
        if (!mainPoint(&res)) {
            break;
        }
        res.placed = true;
        res.point = mark.at;
        drawn = true;
        if (e.kind == MissionEventKind::InterceptInc) {
            MissionPoint inc;
            const MissionTrack* track = FindTrack(state, e.incId);
            if (e.pointsFromState ? track != nullptr : ReadPoint(e.lat2, e.lng2, inc)) {
                mark.hasTo = true;
                mark.to = e.pointsFromState ? track->PositionAt(e.minute) : inc;
            }
        }
        break;
    }
    case MissionEventKind::DeployBalloon:
        ++state.balloons;
        drawn = ReadPoint(e.lat, e.lng, mark.at);
        break;
    case MissionEventKind::WeatherQuery:
        ++state.weatherQueries;
        drawn = ReadPoint(e.lat, e.lng, mark.at);
        break;
    case MissionEventKind::ResourceRequest:
        ++state.requestCount;
        state.requests.push_back({e.minute, station, e.text, e.resType, e.resId});
        if (state.requests.size() > kMissionRequests) {
            state.requests.erase(state.requests.begin());
        }
        drawn = ReadPoint(e.lat, e.lng, mark.at);
        break;
    case MissionEventKind::GoNoGo:
        if (station >= 0) {
            state.stations[static_cast<size_t>(station)].goNoGo = e.text;
            state.stations[static_cast<size_t>(station)].goNoGoSince = e.minute;
        }
        return;
    case MissionEventKind::Chat:
        ++state.chatLines;
        state.chat.push_back({e.minute, station, e.text});
        if (state.chat.size() > kMissionChatLines) {
            state.chat.erase(state.chat.begin());
        }
        return;
    case MissionEventKind::Pause:
        if (!state.paused) {
            state.paused = true;
            state.pauses.emplace_back(e.minute, -1);
        }
        return;
    case MissionEventKind::Resume:
        if (state.paused) {
            state.paused = false;
            state.pauses.back().second = e.minute;
        }
        return;
    case MissionEventKind::Decision:
        state.decision = e.text;
        return;
    case MissionEventKind::ProbeStart:
        ++state.probeCount;
        state.probes.push_back({e.text, e.resType, e.minute, -1});
        if (state.probes.size() > kMissionProbes) {
            state.probes.erase(state.probes.begin());
        }
        return;
    case MissionEventKind::ProbeEnd: {
        // The newest open one of that name: a probe's name may come again in a long log.
        const auto open = std::find_if(state.probes.rbegin(), state.probes.rend(),
                                       [&](auto& p) { return p.id == e.text && p.end < 0; });
        if (open != state.probes.rend()) {
            open->end = e.minute;
        }
        return;
    }
    }
    if (!drawn) {
        // Radar events carry no point of their own; every other command here should have one.
        if (e.kind != MissionEventKind::IncEnterRadar && e.kind != MissionEventKind::IncExitRadar &&
            e.kind != MissionEventKind::UpdateInc) {
            ++state.unplacedCommands;
        }
        return;
    }
    ++state.marks;
    if (marks != nullptr) {
        marks->push_back(mark);
    }
}

} // namespace halyx
