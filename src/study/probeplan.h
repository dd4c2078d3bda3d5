#pragma once

// A probe plan: what the seats are asked during a mission, in a CSV file a spreadsheet opens
// (docs/measures.md). The header is exactly
//     kind,minute,seconds,id,text,answer,choices
// One row per question; the rows of one kind and minute form one probe. kind is freeze, inview,
// rating (minute: every so many minutes) or questionnaire (choices: pairs for the fifteen
// pairwise comparisons). answer is choice, number or text, optionally followed by ':' and a fact
// (number:own_contacts, choice:inside_lines, number:minute~5 for a tolerance of 5).
//
//     CProbePlan plan;
//     CProbePlanResult r = plan.Load("probes.csv");
//     if (!r) report(r.Describe("probes.csv"));     // "probes.csv: line 4: unknown fact ..."

#include "station/probe.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halyx {

struct CProbePlanResult {
    bool ok = false;
    size_t line = 0; // 0: the file as a whole
    std::string message;

    explicit operator bool() const { return ok; }
    std::string Describe(const std::string& plan) const;
};

class CProbePlan {
public:
    static constexpr const char* kHeader = "kind,minute,seconds,id,text,answer,choices";
    static constexpr size_t kMaxBytes = size_t{1} << 20;
    static constexpr size_t kMaxRows = 2000;
    static constexpr size_t kMaxProbes = 200;
    static constexpr int kMaxSeconds = 3600;

    CProbePlanResult Load(const std::string& path);
    // On failure the plan stays as it was.
    CProbePlanResult Parse(std::string_view text);

    // Freezes and in-view probes, by minute.
    const std::vector<CProbe>& Probes() const { return m_probes; }
    const CProbe* Find(const std::string& id) const;
    int RatingEvery() const { return m_ratingEvery; } // 0: no ratings
    int RatingSeconds() const { return m_ratingSeconds; }
    // The questionnaire at the end, if the plan asks for one.
    const std::optional<CProbe>& Questionnaire() const { return m_questionnaire; }

private:
    std::vector<CProbe> m_probes;
    int m_ratingEvery = 0;
    int m_ratingSeconds = 30;
    std::optional<CProbe> m_questionnaire;
};

} // namespace halyx
