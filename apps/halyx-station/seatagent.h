#pragma once

// One seat of the team as an agent of its own: what arrives goes into the seat model, a bot (when
// the seat has one) plays the minute, and whatever the seat answers is sent, to the console or
// straight to the teammates, found through the name server. Every message and every refusal is
// printed as one line (see main.cpp).

#include "external/agentkit/basicagent.h"
#include "station/seatbot.h"
#include "station/seatprobes.h"
#include "station/stationseat.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace halyx {

class CSeatAgent : public CBasicAgent {
public:
    using LineSink = std::function<void(const std::string& line)>;

    // bot: the seed of the seat's bot, or nothing for a seat without one.
    CSeatAgent(std::string name, CSeatOptions options, std::optional<std::uint64_t> bot,
               LineSink out);

    bool process_message_text(const std::string& text) override;
    CStationSeat& seat() { return m_seat; }
    // The measures: the probes waiting for this seat's answer. A bot answers them at once,
    // wrong with probability errorRate; ignore makes the seat a station that knows no probes.
    CSeatProbes& probes() { return m_probes; }
    void SetMeasures(double errorRate, bool ignore) {
        m_answerErrors = errorRate;
        m_ignoreProbes = ignore;
    }
    // A face's answer to one open probe, sent to the console as a bot's is; refused when the
    // probe is not open (its time was up, or it was answered).
    CSeatResult AnswerProbe(const std::string& probeId, const CProbeAnswers& answers);

    // Called after every message and action that may have changed the seat (a web seat's page
    // is told then, once per message however many things changed).
    void SetChanged(std::function<void()> changed) { m_changed = std::move(changed); }
    // A face's action on the seat; what the seat answers is sent at once.
    CSeatResult Act(const std::function<CSeatResult(CStationSeat&)>& action);
    // A station command of the program's own to the console (a subject's presence).
    void TellConsole(const std::string& content);

private:
    void Flush();

    CStationSeat m_seat;
    std::optional<CSeatBot> m_bot;
    std::uint64_t m_seed = 0;
    CSeatProbes m_probes;
    double m_answerErrors = 0.0;
    bool m_ignoreProbes = false;
    LineSink m_out;
    std::function<void()> m_changed;
};

} // namespace halyx
