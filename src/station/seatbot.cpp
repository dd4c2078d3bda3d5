#include "station/seatbot.h"

#include "common/format.h"
#include "station/stationseat.h"

#include <cmath>
#include <optional>
#include <vector>

namespace halyx {

namespace {

double Distance(const CLatLng& a, const CLatLng& b) {
    return std::hypot(a.lat - b.lat, a.lng - b.lng);
}

// Whether the seat knew at minute `minute` that the incursion was intercepted: a teammate's
// interception counts from the minute after it, the seat's own at once.
bool KnownIntercepted(const CStationSeat& seat, const CSeatIncursion& incursion, int minute) {
    if (!incursion.intercepted) {
        return false;
    }
    const CSeatInterceptor* by = seat.FindInterceptor(incursion.interceptedBy);
    return incursion.interceptedMinute < minute || (by != nullptr && by->owner == seat.Name());
}

} // namespace

std::uint64_t CSeatBot::Draw(const std::string& seat, int minute, std::uint64_t salt) const {
    // SplitMix64 of (seed, seat, minute, salt): the same seed plays the same mission.
    std::uint64_t name = 1469598103934665603ull;
    for (const unsigned char c : seat) {
        name = (name ^ c) * 1099511628211ull;
    }
    std::uint64_t z = m_seed * 0x9E3779B97F4A7C15ull + name +
                      static_cast<std::uint64_t>(minute) * 0xBF58476D1CE4E5B9ull + salt;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

bool CSeatBot::Busy(const CStationSeat& seat, const CSeatInterceptor& craft, int minute) const {
    const bool mine = craft.owner == seat.Name();
    // A teammate's order of this very minute is not known yet; the seat's own is.
    if (craft.target.empty() || (!mine && craft.stamp >= minute)) {
        return false;
    }
    const CSeatIncursion* target = seat.FindIncursion(craft.target);
    if (target == nullptr || KnownIntercepted(seat, *target, minute)) {
        return false;
    }
    if (CStationSeat::Moving(craft, minute)) {
        return true;
    }
    // Waiting at the meeting point: busy while the incursion still comes closer.
    const CLatLng at = CStationSeat::InterceptorAt(craft, minute);
    return Distance(at, CStationSeat::IncursionAt(*target, minute)) <=
           Distance(at, CStationSeat::IncursionAt(*target, minute - 1));
}

void CSeatBot::Play(CStationSeat& seat) {
    const CSeatState& state = seat.State();
    const int minute = state.minute;
    if (state.playback || state.phase != SeatPhase::Running || minute == m_lastMinute) {
        return;
    }
    if (minute < m_lastMinute) {
        // A new mission.
        m_reported.clear();
        m_reportedMinute = -1000;
        m_asked.clear();
    }
    m_lastMinute = minute;
    AnswerRequests(seat, minute);
    Intercept(seat, minute);
    Assign(seat, minute);
    Balloon(seat, minute);
    GoNoGo(seat, minute);
}

void CSeatBot::AnswerRequests(CStationSeat& seat, int minute) {
    std::vector<std::string> open;
    for (const CSeatRequest& request : seat.State().requests) {
        if (request.to == seat.Name() && request.state == RequestState::Open &&
            request.minute < minute) {
            open.push_back(request.id);
        }
    }
    for (const std::string& id : open) {
        const CSeatRequest* request = nullptr;
        for (const CSeatRequest& r : seat.State().requests) {
            request = r.id == id ? &r : request;
        }
        const std::string from = request->from;
        const CSeatInterceptor* craft = seat.FindInterceptor(request->interceptor);
        const CSeatIncursion* target = seat.FindIncursion(request->incursion);
        std::string why;
        if (craft == nullptr || target == nullptr || KnownIntercepted(seat, *target, minute)) {
            why = "nothing left to do";
        } else if (Busy(seat, *craft, minute)) {
            why = craft->name + " is busy";
        } else if (!seat.Meeting(*craft, *target, minute)) {
            why = craft->name + " cannot get there";
        }
        const std::string craftName = craft ? craft->name : std::string();
        const std::string targetName = target ? target->name : std::string();
        if (why.empty() && seat.AnswerRequest(id, true).ok) {
            seat.Chat(from, "Sending " + craftName + " at " + targetName);
        } else {
            seat.AnswerRequest(id, false, why.empty() ? "cannot send it" : why);
            seat.Chat(from, "Sorry, " + (why.empty() ? std::string("cannot send it") : why));
        }
    }
}

void CSeatBot::Intercept(CStationSeat& seat, int minute) {
    std::vector<std::pair<std::string, std::string>> hits;
    for (const CSeatInterceptor& craft : seat.State().interceptors) {
        if (craft.owner != seat.Name() || !craft.active) {
            continue;
        }
        const CLatLng at = CStationSeat::InterceptorAt(craft, minute);
        // Its own target first, then anything the seat sees within reach.
        const CSeatIncursion* best = nullptr;
        for (const CSeatIncursion& incursion : seat.State().incursions) {
            if (incursion.intercepted || minute < incursion.startMinute ||
                !seat.Sees(incursion.id, minute) ||
                Distance(at, CStationSeat::IncursionAt(incursion, minute)) >
                    CStationSeat::Reach(craft)) {
                continue;
            }
            if (best == nullptr || incursion.id == craft.target) {
                best = &incursion;
            }
        }
        if (best != nullptr) {
            hits.emplace_back(craft.id, best->id);
        }
    }
    for (const auto& [craft, incursion] : hits) {
        seat.Intercept(craft, incursion);
    }
    // Interceptors whose target someone else took stop where they are.
    std::vector<std::string> stop;
    for (const CSeatInterceptor& craft : seat.State().interceptors) {
        const CSeatIncursion* target =
            craft.target.empty() ? nullptr : seat.FindIncursion(craft.target);
        if (craft.owner == seat.Name() && target != nullptr &&
            KnownIntercepted(seat, *target, minute) && CStationSeat::Moving(craft, minute)) {
            stop.push_back(craft.id);
        }
    }
    for (const std::string& id : stop) {
        seat.Abort(id);
    }
}

void CSeatBot::Assign(CStationSeat& seat, int minute) {
    const CSeatState& state = seat.State();
    std::set<std::string> covered;
    for (const CSeatInterceptor& craft : state.interceptors) {
        if (Busy(seat, craft, minute)) {
            covered.insert(craft.target);
        }
    }
    for (const CSeatRequest& request : state.requests) {
        if (request.state == RequestState::Open &&
            (request.from == seat.Name() || request.minute < minute)) {
            covered.insert(request.incursion);
        }
    }
    std::vector<std::string> wanted;
    for (const CSeatIncursion& incursion : state.incursions) {
        if (!KnownIntercepted(seat, incursion, minute) && minute >= incursion.startMinute &&
            seat.Sees(incursion.id, minute, true) && covered.count(incursion.id) == 0) {
            wanted.push_back(incursion.id);
        }
    }
    for (const std::string& id : wanted) {
        const CSeatIncursion* target = seat.FindIncursion(id);
        const CSeatInterceptor* own = nullptr;
        const CSeatInterceptor* mate = nullptr;
        std::optional<CMeeting> ownMeeting;
        std::optional<CMeeting> mateMeeting;
        for (const CSeatInterceptor& craft : seat.State().interceptors) {
            if (craft.owner.empty() || Busy(seat, craft, minute)) {
                continue;
            }
            const bool mine = craft.owner == seat.Name();
            if (!mine && m_asked.count(craft.id + "\n" + id) != 0) {
                continue;
            }
            std::optional<CMeeting> meeting = seat.Meeting(craft, *target, minute);
            std::optional<CMeeting>& best = mine ? ownMeeting : mateMeeting;
            if (meeting && (!best || meeting->minute < best->minute)) {
                best = meeting;
                (mine ? own : mate) = &craft;
            }
        }
        const std::string targetName = target->name;
        if (own != nullptr) {
            const std::string craftId = own->id;
            const std::string craftName = own->name;
            if (!own->active) {
                seat.Activate(craftId);
            }
            if (seat.Deploy(craftId, ownMeeting->point.lat, ownMeeting->point.lng, id).ok) {
                seat.Chat("all", "Sending " + craftName + " at " + targetName);
            }
        } else if (mate != nullptr) {
            const std::string craftId = mate->id;
            const std::string craftName = mate->name;
            const std::string owner = mate->owner;
            m_asked.insert(craftId + "\n" + id);
            if (seat.Request(craftId, id).ok) {
                seat.Chat(owner, "Can you send " + craftName + " at " + targetName + "?");
            }
        }
    }
}

void CSeatBot::Balloon(CStationSeat& seat, int minute) {
    if (minute < 10 || (minute - 10) % kBalloonEvery != 0 || minute > 900) {
        return;
    }
    // A point of the trajectory in the seat's own area, a little off it.
    std::vector<CLatLng> mine;
    for (const CLatLng& p : seat.State().trajectory) {
        if (seat.NearestSeat(p.lat, p.lng) == seat.Name()) {
            mine.push_back(p);
        }
    }
    if (mine.empty()) {
        return;
    }
    const std::uint64_t d = Draw(seat.Name(), minute, 1);
    const CLatLng& p = mine[d % mine.size()];
    const double dLat = static_cast<double>((d >> 16) % 11) - 5.0;
    const double dLng = static_cast<double>((d >> 32) % 11) - 5.0;
    seat.DeployBalloon(p.lat + dLat, p.lng + dLng);
}

void CSeatBot::GoNoGo(CStationSeat& seat, int minute) {
    if (minute < 1 || minute > kLastReport) {
        return;
    }
    std::string why;
    for (const CSeatIncursion& incursion : seat.State().incursions) {
        const CLatLng at = CStationSeat::IncursionAt(incursion, minute);
        if (!KnownIntercepted(seat, incursion, minute) && seat.Sees(incursion.id, minute) &&
            seat.InLaunchZone(at.lat, at.lng)) {
            why = incursion.name + " is in the launch zone";
            break;
        }
    }
    for (const CSeatBalloon& balloon : seat.State().balloons) {
        if (why.empty() && balloon.answered && !balloon.noData && balloon.minute < minute &&
            balloon.windSpeed > kBadWindSpeed) {
            why = Format("winds of %.0f at balloon %s", balloon.windSpeed, balloon.id.c_str());
        }
    }
    const std::string status = why.empty() ? "go" : "nogo";
    const bool first = m_reported.empty();
    const bool settled = minute - m_reportedMinute >= 5 || minute == kLastReport;
    if (status == m_reported || (!first && !settled)) {
        return;
    }
    if (seat.ReportGoNoGo(status == "go").ok) {
        m_reported = status;
        m_reportedMinute = minute;
        seat.Chat("all", status == "go" ? "Go: the launch zone is clear" : "No-go: " + why);
    }
}

} // namespace halyx
