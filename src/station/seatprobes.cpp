#include "station/seatprobes.h"

#include "common/numtext.h"
#include "external/kqml/parser.h"
#include "station/stationseat.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace halyx {

bool CSeatProbes::Receive(std::string_view messageText) {
    CParser message;
    if (!message.parse_message(messageText)) {
        return false;
    }
    CParser content;
    if (!content.parse_list(message.find_content().value_or(""))) {
        return false;
    }
    const std::string command = content.find_text("command");
    if (command == "probe") {
        std::string why;
        std::optional<CProbe> probe = ReadProbe(content, why);
        if (!probe) {
            return true;
        }
        std::erase_if(m_open, [&](const CProbe& p) { return p.id == probe->id; });
        if (m_open.size() >= kMaxOpen) {
            m_open.erase(m_open.begin());
        }
        m_open.push_back(std::move(*probe));
        ++m_revision;
        return true;
    }
    if (command == "probe_end") {
        const std::string id = content.find_text("probeID");
        std::erase_if(m_open, [&](const CProbe& p) { return p.id == id; });
        ++m_revision;
        return true;
    }
    return false;
}

bool CSeatProbes::Frozen() const {
    return std::any_of(m_open.begin(), m_open.end(),
                       [](const CProbe& p) { return p.kind == ProbeKind::Freeze; });
}

std::string CSeatProbes::Answer(const std::string& probeId, const CProbeAnswers& answers) {
    const auto it = std::find_if(m_open.begin(), m_open.end(),
                                 [&](const CProbe& p) { return p.id == probeId; });
    if (it == m_open.end()) {
        return {};
    }
    m_open.erase(it);
    ++m_revision;
    return ProbeAnswerContent(probeId, answers);
}

std::vector<std::string> CSeatProbes::AnswerAsBot(const CStationSeat& seat, std::uint64_t seed,
                                                  double errorRate) {
    std::vector<std::string> contents;
    const std::vector<CProbe> open = m_open;
    for (const CProbe& probe : open) {
        // One stream per seat and probe, so that answers do not depend on arrival order.
        std::seed_seq seq{seed, std::hash<std::string>{}(seat.Name()),
                          std::hash<std::string>{}(probe.id)};
        std::mt19937_64 random(seq);
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        CProbeAnswers answers;
        for (const CProbeQuestion& q : probe.questions) {
            std::string value;
            const std::string truth = q.fact.empty() ? "" : ProbeTruth(seat, seat.Name(), q.fact);
            const bool wrong = unit(random) < errorRate;
            if (!truth.empty()) {
                value = truth;
                if (wrong && q.answer == AnswerKind::Number) {
                    // Beyond the tolerance by 1 whatever the fractions of truth and tolerance
                    // (a weather truth has them), so that a wrong answer never scores.
                    value = ProbeNumberText(ReadNumber(truth) + 1 + q.tolerance);
                } else if (wrong) {
                    value = truth + "?";
                    for (const std::string& choice : q.choices) {
                        if (choice != truth) {
                            value = choice;
                            break;
                        }
                    }
                }
            } else if (q.answer == AnswerKind::Number && q.high > q.low) {
                const double steps = q.step > 0 ? std::floor((q.high - q.low) / q.step) : 0;
                const auto pick = static_cast<double>(
                    std::uniform_int_distribution<int>(0, static_cast<int>(steps))(random));
                value = std::to_string(static_cast<int>(q.low + pick * q.step));
            } else if (q.answer == AnswerKind::Choice && !q.choices.empty()) {
                value = q.choices[std::uniform_int_distribution<size_t>(0, q.choices.size() -
                                                                               1)(random)];
            } else if (q.answer == AnswerKind::Text) {
                value = "bot";
            }
            answers.emplace_back(q.id, value);
        }
        contents.push_back(Answer(probe.id, answers));
    }
    return contents;
}

} // namespace halyx
