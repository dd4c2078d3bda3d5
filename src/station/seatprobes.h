#pragma once

// The seat's side of the measures: the probes the console sent that wait for an answer, and
// whether the seat's map is covered (a freeze). A person's page shows Open() and calls Answer;
// a bot answers with AnswerAsBot. Kept beside CStationSeat, fed the same messages.
//
//   CSeatProbes probes;
//   if (probes.Receive(text)) { ... show probes.Open() ... }
//   std::string content = probes.Answer("freeze-120", {{"contacts", "3"}});  // to the console

#include "station/probe.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace halyx {

class CStationSeat;

class CSeatProbes {
public:
    static constexpr std::size_t kMaxOpen = 8;

    // A message as it arrived; true when it was a probe or probe_end (taken here).
    bool Receive(std::string_view messageText);
    const std::vector<CProbe>& Open() const { return m_open; }
    // While a freeze waits for this seat's answer: its face covers the map.
    bool Frozen() const;
    // The content to send to the console; the probe is closed. "" when no such probe is open.
    std::string Answer(const std::string& probeId, const CProbeAnswers& answers);
    // The bot's answers to every open probe: the truth of each fact from the seat's own world,
    // wrong with probability errorRate (seeded, so a run repeats); ratings and scales drawn.
    std::vector<std::string> AnswerAsBot(const CStationSeat& seat, std::uint64_t seed,
                                         double errorRate);
    std::uint64_t Revision() const { return m_revision; }

private:
    std::vector<CProbe> m_open;
    std::uint64_t m_revision = 0;
};

} // namespace halyx
