#include "study/probeplan.h"

#include "common/format.h"
#include "study/studycsv.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

namespace halyx {

namespace {

std::optional<int> WholeNumber(const std::string& text, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

CProbePlanResult Refuse(size_t line, std::string message) {
    return {false, line, std::move(message)};
}

} // namespace

std::string CProbePlanResult::Describe(const std::string& plan) const {
    return line == 0 ? plan + ": " + message
                     : Format("%s: line %zu: %s", plan.c_str(), line, message.c_str());
}

const CProbe* CProbePlan::Find(const std::string& id) const {
    for (const CProbe& p : m_probes) {
        if (p.id == id) {
            return &p;
        }
    }
    return nullptr;
}

CProbePlanResult CProbePlan::Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return Refuse(0, "cannot be read");
    }
    std::string text(kMaxBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    if (text.size() > kMaxBytes) {
        return Refuse(0, "larger than 1 MiB: not a probe plan");
    }
    return Parse(text);
}

CProbePlanResult CProbePlan::Parse(std::string_view text) {
    CCsvReader reader(text, kMaxProbeTextBytes);
    std::vector<std::string> f;
    if (!reader.Next(f)) {
        return Refuse(reader.Error().empty() ? 0 : reader.Line(),
                      reader.Error().empty() ? "empty" : reader.Error());
    }
    std::string header;
    for (const std::string& field : f) {
        header += (header.empty() ? "" : ",") + field;
    }
    if (header != kHeader) {
        return Refuse(1, std::string("the first line must be ") + kHeader);
    }
    std::vector<CProbe> probes;
    int ratingEvery = 0;
    int ratingSeconds = 30;
    std::optional<CProbe> questionnaire;
    size_t rows = 0;
    while (reader.Next(f)) {
        const size_t line = reader.Line();
        if (std::all_of(f.begin(), f.end(), [](const std::string& s) { return s.empty(); })) {
            continue;
        }
        if (++rows > kMaxRows) {
            return Refuse(line, "more than 2000 rows");
        }
        f.resize(7);
        const std::optional<ProbeKind> kind = ProbeKindOf(f[0]);
        if (!kind) {
            return Refuse(line, "kind must be freeze, inview, rating or questionnaire, not \"" +
                                    f[0] + "\"");
        }
        const std::optional<int> seconds =
            f[2].empty() ? std::optional<int>(*kind == ProbeKind::Questionnaire ? 300 : 60)
                         : WholeNumber(f[2], 1, kMaxSeconds);
        if (!seconds) {
            return Refuse(line, "seconds must be a whole number from 1 to 3600");
        }
        if (*kind == ProbeKind::Questionnaire) {
            if (!f[6].empty() && f[6] != "pairs") {
                return Refuse(line, "a questionnaire's choices are empty or pairs");
            }
            questionnaire = QuestionnaireProbe(f[6] == "pairs", *seconds);
            continue;
        }
        const std::optional<int> minute = WholeNumber(f[1], 0, 960);
        if (!minute || (*kind == ProbeKind::Rating && *minute == 0)) {
            return Refuse(line, *kind == ProbeKind::Rating
                                    ? "a rating's minute (how often) must be from 1 to 960"
                                    : "minute must be a whole number from 0 to 960");
        }
        if (*kind == ProbeKind::Rating) {
            ratingEvery = *minute;
            ratingSeconds = *seconds;
            continue;
        }
        CProbeQuestion q;
        q.id = f[3];
        q.text = f[4];
        if (q.id.empty() || q.text.empty()) {
            return Refuse(line, "a question needs an id and a text");
        }
        const std::string answer = f[5].substr(0, f[5].find(':'));
        std::string fact = f[5].size() > answer.size() ? f[5].substr(answer.size() + 1) : "";
        if (answer == "choice") {
            q.answer = AnswerKind::Choice;
        } else if (answer == "number") {
            q.answer = AnswerKind::Number;
        } else if (answer == "text" && fact.empty()) {
            q.answer = AnswerKind::Text;
        } else {
            return Refuse(line, "answer must be choice, number or text (a fact only with choice "
                                "or number), not \"" +
                                    f[5] + "\"");
        }
        if (const size_t tilde = fact.find('~'); tilde != std::string::npos) {
            const std::optional<int> tolerance = WholeNumber(fact.substr(tilde + 1), 0, 1000);
            if (!tolerance || q.answer != AnswerKind::Number) {
                return Refuse(line, "a tolerance (~N) goes with a number, N from 0 to 1000");
            }
            q.tolerance = *tolerance;
            fact.resize(tilde);
        }
        if (!fact.empty() && !KnownFact(fact)) {
            return Refuse(line, "unknown fact \"" + fact + "\"");
        }
        q.fact = fact;
        for (size_t at = 0; !f[6].empty() && at <= f[6].size();) {
            const size_t bar = std::min(f[6].find('|', at), f[6].size());
            q.choices.push_back(f[6].substr(at, bar - at));
            at = bar + 1;
        }
        if (q.answer == AnswerKind::Choice && q.fact.empty() && q.choices.size() < 2) {
            return Refuse(line, "a choice needs at least two choices, separated by |");
        }
        auto probe = std::find_if(probes.begin(), probes.end(), [&](const CProbe& p) {
            return p.kind == *kind && p.minute == *minute;
        });
        if (probe == probes.end()) {
            if (probes.size() >= kMaxProbes) {
                return Refuse(line, "more than 200 probes");
            }
            CProbe p;
            p.kind = *kind;
            p.minute = *minute;
            p.seconds = *seconds;
            p.id = Format("%s-%d", ProbeKindName(*kind), *minute);
            probes.push_back(p);
            probe = probes.end() - 1;
        }
        if (probe->questions.size() >= kMaxProbeQuestions) {
            return Refuse(line, "more than 32 questions at one minute");
        }
        if (std::any_of(probe->questions.begin(), probe->questions.end(),
                        [&](const CProbeQuestion& other) { return other.id == q.id; })) {
            return Refuse(line, "question id \"" + q.id + "\" twice at one minute");
        }
        probe->questions.push_back(std::move(q));
    }
    if (!reader.Error().empty()) {
        return Refuse(reader.Line(), reader.Error());
    }
    std::stable_sort(probes.begin(), probes.end(),
                     [](const CProbe& a, const CProbe& b) { return a.minute < b.minute; });
    m_probes = std::move(probes);
    m_ratingEvery = ratingEvery;
    m_ratingSeconds = ratingSeconds;
    m_questionnaire = std::move(questionnaire);
    return {true, 0, {}};
}

} // namespace halyx
