#include "seatagent.h"

#include "common/format.h"
#include "external/agentkit/communicator.h"

namespace halyx {

CSeatAgent::CSeatAgent(std::string name, CSeatOptions options, std::optional<std::uint64_t> bot,
                       LineSink out)
    : CBasicAgent(name), m_seat(name, std::move(options)), m_out(std::move(out)) {
    if (bot) {
        m_bot.emplace(*bot);
        m_seed = *bot;
    }
    // A teammate's news shows as a line with the seat's minute, so that a test can tell when
    // each seat learnt it.
    m_seat.SetObserver([this](std::uint64_t, const std::string& what) {
        if (what == "note") {
            m_out("NOTE " + m_seat.Name() + " " + m_seat.State().notes.back());
        } else if (what.find(" from ") != std::string::npos && what.rfind("team_", 0) == 0) {
            m_out(Format("TEAM %s minute %d %s", m_seat.Name().c_str(), m_seat.State().minute,
                         what.c_str()));
        }
    });
}

bool CSeatAgent::process_message_text(const std::string& text) {
    if (!m_ignoreProbes && m_probes.Receive(text)) {
        if (m_bot) {
            for (const std::string& answer : m_probes.AnswerAsBot(m_seat, m_seed, m_answerErrors)) {
                TellConsole(answer);
            }
        }
        // A person's page shows the questions, or closes them on probe_end.
        if (m_changed) {
            m_changed();
        }
        return true;
    }
    m_seat.Receive(text);
    if (m_bot) {
        m_bot->Play(m_seat);
    }
    Flush();
    if (m_changed) {
        m_changed();
    }
    return true;
}

CSeatResult CSeatAgent::Act(const std::function<CSeatResult(CStationSeat&)>& action) {
    const CSeatResult result = action(m_seat);
    if (!result.ok) {
        m_out("NOTE " + m_seat.Name() + " refused: " + result.reason);
    }
    Flush();
    if (m_changed) {
        m_changed();
    }
    return result;
}

CSeatResult CSeatAgent::AnswerProbe(const std::string& probeId, const CProbeAnswers& answers) {
    const std::string content = m_probes.Answer(probeId, answers);
    if (content.empty()) {
        const CSeatResult refused =
            CSeatResult::Refused("no open probe " + probeId + " (its time may be up)");
        m_out("NOTE " + m_seat.Name() + " refused: " + refused.reason);
        return refused;
    }
    TellConsole(content);
    if (m_changed) {
        m_changed();
    }
    return {};
}

void CSeatAgent::TellConsole(const std::string& content) {
    CCommunicator* comm = get_communicator();
    const std::string& console = m_seat.State().console;
    if (comm != nullptr && !console.empty()) {
        comm->comm_sendmessage("tell", console, "default-language", "default-ontology", "", "", "",
                               content);
    }
}

void CSeatAgent::Flush() {
    CCommunicator* comm = get_communicator();
    for (const COutgoing& message : m_seat.TakeOutbox()) {
        if (comm != nullptr) {
            comm->comm_sendmessage(message.performative, message.receiver, "default-language",
                                   "default-ontology", "", "", "", message.content);
        }
    }
}

} // namespace halyx
