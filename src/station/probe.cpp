#include "station/probe.h"

#include "common/format.h"
#include "external/kqml/parser.h"
#include "station/seatcontent.h"
#include "station/stationseat.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <iterator>
#include <limits>
#include <string_view>

namespace halyx {

namespace {

constexpr const char* kNearest = "nearest_interceptor:";
constexpr const char* kBalloonWeather = "balloon_weather:";
// The keys of the console's weather answer (weather_data), which name what a balloon reports.
constexpr const char* kWeatherKeys[] = {"temperature", "pressure", "humidity", "windspeed",
                                        "winddir"};

// What the balloon was told of one weather key; none for a key the answer does not carry.
std::optional<double> WeatherValue(const CSeatBalloon& balloon, std::string_view key) {
    const double values[] = {balloon.temperature, balloon.pressure, balloon.humidity,
                             balloon.windSpeed, balloon.windDir};
    for (size_t i = 0; i < std::size(kWeatherKeys); ++i) {
        if (key == kWeatherKeys[i]) {
            return values[i];
        }
    }
    return std::nullopt;
}

std::optional<double> Number(const std::string& text) {
    double value = 0.0;
    const char* end = text.data() + text.size();
    const char* at = text.data();
    while (at < end && *at == ' ') {
        ++at;
    }
    const auto [stop, error] = std::from_chars(at, end, value);
    if (error != std::errc() || at == end || !std::isfinite(value)) {
        return std::nullopt;
    }
    for (const char* p = stop; p < end; ++p) {
        if (*p != ' ') {
            return std::nullopt;
        }
    }
    return value;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool Sees(const CSeatRadar& radar, const CSeatIncursion& inc, int minute) {
    if (inc.intercepted || inc.startMinute > minute) {
        return false;
    }
    const CLatLng at = CStationSeat::IncursionAt(inc, minute);
    return std::hypot(at.lat - radar.lat, at.lng - radar.lng) <= radar.range;
}

// Incursions seen by the radars that pass the filter.
template <class Filter> int CountSeen(const CSeatState& s, Filter use) {
    int count = 0;
    for (const CSeatIncursion& inc : s.incursions) {
        for (const CSeatRadar& radar : s.radars) {
            if (use(radar) && Sees(radar, inc, s.minute)) {
                ++count;
                break;
            }
        }
    }
    return count;
}

CProbeQuestion Question(std::string id, std::string text, AnswerKind answer) {
    CProbeQuestion q;
    q.id = std::move(id);
    q.text = std::move(text);
    q.answer = answer;
    return q;
}

} // namespace

std::string ProbeNumberText(double value) {
    // to_chars: a '.' whatever the locale. Six places: as many as the weather answer carries.
    char buffer[64];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    if (error != std::errc()) {
        return {};
    }
    std::string text(buffer, end);
    while (text.back() == '0') {
        text.pop_back();
    }
    if (text.back() == '.') {
        text.pop_back();
    }
    return text == "-0" ? "0" : text;
}

const char* ProbeKindName(ProbeKind kind) {
    switch (kind) {
    case ProbeKind::Freeze:
        return "freeze";
    case ProbeKind::InView:
        return "inview";
    case ProbeKind::Rating:
        return "rating";
    case ProbeKind::Questionnaire:
        return "questionnaire";
    }
    return "freeze";
}

std::optional<ProbeKind> ProbeKindOf(const std::string& name) {
    for (ProbeKind kind :
         {ProbeKind::Freeze, ProbeKind::InView, ProbeKind::Rating, ProbeKind::Questionnaire}) {
        if (name == ProbeKindName(kind)) {
            return kind;
        }
    }
    return std::nullopt;
}

const char* AnswerKindName(AnswerKind kind) {
    return kind == AnswerKind::Choice ? "choice" : kind == AnswerKind::Number ? "number" : "text";
}

const std::vector<std::string>& ProbeFacts() {
    static const std::vector<std::string> kFacts = {
        "minute",       "own_contacts",        "team_contacts", "zone_incursions",
        "inside_lines", "active_interceptors", kNearest,        kBalloonWeather};
    return kFacts;
}

bool KnownFact(const std::string& fact) {
    if (fact.rfind(kNearest, 0) == 0) {
        return fact.size() > std::string_view(kNearest).size();
    }
    if (fact.rfind(kBalloonWeather, 0) == 0) {
        const std::string_view key =
            std::string_view(fact).substr(std::string_view(kBalloonWeather).size());
        return std::find(std::begin(kWeatherKeys), std::end(kWeatherKeys), key) !=
               std::end(kWeatherKeys);
    }
    const auto& facts = ProbeFacts();
    return fact != kNearest && std::find(facts.begin(), facts.end(), fact) != facts.end();
}

std::string ProbeTruth(const CStationSeat& world, const std::string& seat,
                       const std::string& fact) {
    const CSeatState& s = world.State();
    if (fact == "minute") {
        return std::to_string(s.minute);
    }
    if (fact == "own_contacts") {
        return std::to_string(CountSeen(s, [&](const CSeatRadar& r) { return r.owner == seat; }));
    }
    if (fact == "team_contacts") {
        return std::to_string(CountSeen(s, [](const CSeatRadar& r) { return !r.owner.empty(); }));
    }
    if (fact == "zone_incursions") {
        int count = 0;
        for (const CSeatIncursion& inc : s.incursions) {
            const CLatLng at = CStationSeat::IncursionAt(inc, s.minute);
            if (!inc.intercepted && inc.startMinute <= s.minute &&
                world.InLaunchZone(at.lat, at.lng)) {
                ++count;
            }
        }
        return std::to_string(count);
    }
    if (fact == "inside_lines") {
        const std::optional<CLatLng> at = CStationSeat::LocationOf(seat);
        if (!at) {
            return {};
        }
        return world.InLaunchZone(at->lat, at->lng) ? "yes" : "no";
    }
    if (fact == "active_interceptors") {
        return std::to_string(
            std::count_if(s.interceptors.begin(), s.interceptors.end(),
                          [&](const CSeatInterceptor& c) { return c.owner == seat && c.active; }));
    }
    if (fact.rfind(kNearest, 0) == 0) {
        const CSeatIncursion* inc =
            world.FindIncursion(fact.substr(std::string_view(kNearest).size()));
        if (inc == nullptr) {
            return {};
        }
        const CLatLng at = CStationSeat::IncursionAt(*inc, s.minute);
        std::string best;
        double bestDistance = std::numeric_limits<double>::infinity();
        for (const CSeatInterceptor& craft : s.interceptors) {
            const CLatLng c = CStationSeat::InterceptorAt(craft, s.minute);
            const double d = std::hypot(c.lat - at.lat, c.lng - at.lng);
            if (d < bestDistance) {
                bestDistance = d;
                best = craft.id;
            }
        }
        return best;
    }
    if (fact.rfind(kBalloonWeather, 0) == 0) {
        // What S was told of its last balloon; nothing when that balloon brought no weather
        // (yet), or S sent none.
        const auto last =
            std::find_if(s.balloons.rbegin(), s.balloons.rend(),
                         [&](const CSeatBalloon& b) { return b.balloon && b.seat == seat; });
        if (last == s.balloons.rend() || !last->answered || last->noData) {
            return {};
        }
        const std::optional<double> value = WeatherValue(
            *last, std::string_view(fact).substr(std::string_view(kBalloonWeather).size()));
        return value ? ProbeNumberText(*value) : std::string();
    }
    return {};
}

std::optional<int> ScoreAnswer(const CProbeQuestion& question, const std::string& answer,
                               const std::string& truth) {
    const std::string given = Trimmed(answer);
    if (truth.empty() || given.empty()) {
        return std::nullopt;
    }
    if (question.answer == AnswerKind::Number) {
        const std::optional<double> a = Number(given);
        const std::optional<double> t = Number(truth);
        if (!t) {
            return std::nullopt;
        }
        return a && std::fabs(*a - *t) <= question.tolerance + 1e-9 ? 1 : 0;
    }
    return Lower(given) == Lower(Trimmed(truth)) ? 1 : 0;
}

CProbe DefaultFreeze(int minute) {
    CProbe p;
    p.id = Format("freeze-%d", minute);
    p.kind = ProbeKind::Freeze;
    p.minute = minute;
    p.seconds = 60;
    CProbeQuestion seen =
        Question("contacts", "How many incursions do your radars see now?", AnswerKind::Number);
    seen.fact = "own_contacts";
    CProbeQuestion zone =
        Question("zone", "How many incursions lie between the impact lines?", AnswerKind::Number);
    zone.fact = "zone_incursions";
    CProbeQuestion clock = Question("minute", "What minute is it?", AnswerKind::Number);
    clock.fact = "minute";
    clock.tolerance = 5;
    p.questions = {seen, zone, clock};
    return p;
}

CProbe RatingProbe(int minute, int seconds) {
    CProbe p;
    p.id = Format("rating-%d", minute);
    p.kind = ProbeKind::Rating;
    p.minute = minute;
    p.seconds = seconds;
    CProbeQuestion q = Question("workload", "How loaded are you now? (1 very little, 5 very much)",
                                AnswerKind::Number);
    q.low = 1;
    q.high = 5;
    q.step = 1;
    p.questions = {q};
    return p;
}

CProbe QuestionnaireProbe(bool pairs, int seconds) {
    static const char* const kScales[6][2] = {
        {"mental", "Mental demand"},   {"physical", "Physical demand"},
        {"temporal", "Time pressure"}, {"performance", "Performance"},
        {"effort", "Effort"},          {"frustration", "Frustration"}};
    CProbe p;
    p.id = "questionnaire";
    p.kind = ProbeKind::Questionnaire;
    p.seconds = seconds;
    for (const auto& scale : kScales) {
        CProbeQuestion q = Question(scale[0], scale[1], AnswerKind::Number);
        q.low = 0;
        q.high = 100;
        q.step = 5;
        p.questions.push_back(q);
    }
    if (pairs) {
        for (int i = 0; i < 6; ++i) {
            for (int j = i + 1; j < 6; ++j) {
                CProbeQuestion q = Question(Format("%s/%s", kScales[i][0], kScales[j][0]),
                                            "Which counted more for the workload of this mission?",
                                            AnswerKind::Choice);
                q.choices = {kScales[i][0], kScales[j][0]};
                p.questions.push_back(q);
            }
        }
    }
    return p;
}

std::string ProbeContent(const CProbe& probe) {
    SeatContent c("probe");
    c.Add("probeID", probe.id)
        .Add("kind", ProbeKindName(probe.kind))
        .Add("clock", probe.minute)
        .Add("seconds", probe.seconds)
        .Add("count", static_cast<int>(probe.questions.size()));
    for (size_t i = 0; i < probe.questions.size(); ++i) {
        const CProbeQuestion& q = probe.questions[i];
        SeatContent item;
        item.Add("id", q.id).Add("answer", AnswerKindName(q.answer)).Add("text", q.text);
        if (!q.choices.empty()) {
            std::string joined;
            for (const std::string& choice : q.choices) {
                joined += (joined.empty() ? "" : "|") + choice;
            }
            item.Add("choices", joined);
        }
        if (!q.fact.empty()) {
            // For bots, which answer from their own seat's world; a page does not show it.
            item.Add("fact", q.fact);
            if (q.tolerance > 0) {
                item.Add("tolerance", ProbeNumberText(q.tolerance));
            }
        }
        if (q.high > q.low) {
            item.Add("low", ProbeNumberText(q.low))
                .Add("high", ProbeNumberText(q.high))
                .Add("step", ProbeNumberText(q.step));
        }
        // The item without its leading "tell": a plain keyword list.
        c.AddList(Format("q%zu", i + 1).c_str(), item.text().substr(5));
    }
    return c.text();
}

std::optional<CProbe> ReadProbe(const CParser& content, std::string& why) {
    CProbe p;
    p.id = content.find_text("probeID");
    const std::optional<ProbeKind> kind = ProbeKindOf(content.find_text("kind"));
    const std::optional<double> count = Number(content.find_text("count"));
    const std::optional<double> seconds = Number(content.find_text("seconds"));
    if (p.id.empty() || !kind || !count || *count < 0 || *count > kMaxProbeQuestions) {
        why = "probe without an ID, a kind or a count of at most 32 questions";
        return std::nullopt;
    }
    p.kind = *kind;
    p.minute = static_cast<int>(Number(content.find_text("clock")).value_or(0));
    p.seconds = static_cast<int>(seconds.value_or(60));
    for (int i = 1; i <= static_cast<int>(*count); ++i) {
        CParser item;
        if (!item.parse_list(content.find_text(Format("q%d", i)))) {
            why = Format("probe %s: question %d cannot be read", p.id.c_str(), i);
            return std::nullopt;
        }
        CProbeQuestion q;
        q.id = item.find_text("id");
        q.text = item.find_text("text").substr(0, kMaxProbeTextBytes);
        const std::string answer = item.find_text("answer");
        q.answer = answer == "choice"   ? AnswerKind::Choice
                   : answer == "number" ? AnswerKind::Number
                                        : AnswerKind::Text;
        const std::string choices = item.find_text("choices");
        for (size_t at = 0; !choices.empty() && at <= choices.size();) {
            const size_t bar = std::min(choices.find('|', at), choices.size());
            q.choices.push_back(choices.substr(at, bar - at));
            at = bar + 1;
        }
        q.fact = item.find_text("fact");
        q.tolerance = Number(item.find_text("tolerance")).value_or(0);
        q.low = Number(item.find_text("low")).value_or(0);
        q.high = Number(item.find_text("high")).value_or(0);
        q.step = Number(item.find_text("step")).value_or(0);
        p.questions.push_back(std::move(q));
    }
    return p;
}

std::string ProbeEndContent(const std::string& probeId) {
    return SeatContent("probe_end").Add("probeID", probeId).text();
}

std::string ProbeAnswerContent(const std::string& probeId, const CProbeAnswers& answers) {
    SeatContent c("probe_answer");
    c.Add("probeID", probeId).Add("count", static_cast<int>(answers.size()));
    for (size_t i = 0; i < answers.size(); ++i) {
        SeatContent item;
        item.Add("id", answers[i].first).Add("value", answers[i].second);
        c.AddList(Format("a%zu", i + 1).c_str(), item.text().substr(5));
    }
    return c.text();
}

bool ReadProbeAnswer(const CParser& content, std::string& probeId, CProbeAnswers& answers) {
    probeId = content.find_text("probeID");
    const std::optional<double> count = Number(content.find_text("count"));
    if (probeId.empty() || !count || *count < 0 || *count > kMaxProbeQuestions) {
        return false;
    }
    answers.clear();
    for (int i = 1; i <= static_cast<int>(*count); ++i) {
        CParser item;
        if (!item.parse_list(content.find_text(Format("a%d", i)))) {
            return false;
        }
        answers.emplace_back(item.find_text("id"),
                             item.find_text("value").substr(0, kMaxProbeTextBytes));
    }
    return true;
}

} // namespace halyx
