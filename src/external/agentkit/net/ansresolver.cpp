#include "external/agentkit/net/ansresolver.h"

#include "external/agentkit/beliefdb.h"
#include "external/agentkit/nameregistry.h"
#include "external/agentkit/net/framedsocket.h"
#include "external/kqml/message.h"
#include "external/kqml/parser.h"

#include <QTcpSocket>

namespace halyx {

CAnsResolver::CAnsResolver(CBeliefDB& beliefs) : m_beliefs(beliefs) {
    m_clock.start();
    m_check.setInterval(250);
    QObject::connect(&m_check, &QTimer::timeout, &m_check, [this] { Check(); });
}

CAnsResolver::~CAnsResolver() = default;

void CAnsResolver::lookup(const std::string& name, Answer answer) {
    const std::string host = m_beliefs.get_string("ans");
    const int port = m_beliefs.get_int("ansport", kDefaultAnsPort);
    if (host.empty() || port <= 0 || port > 65535) {
        answer(name, CAgentInfo(), "no name server configured");
        return;
    }
    if (m_link && (host != m_host || port != m_port)) {
        FailAll("the name server changed");
    }
    m_waiting.push_back({name, std::move(answer), m_clock.elapsed()});
    if (!m_link) {
        Open(host, port);
    } else if (m_connected) {
        std::string request = "(lookup :name ";
        AppendKqmlValue(request, name);
        request.push_back(')');
        m_link->send(request);
        ++m_sent;
    }
    m_check.start();
}

void CAnsResolver::Open(const std::string& host, int port) {
    m_host = host;
    m_port = port;
    m_connected = false;
    m_sent = 0;
    auto* socket = new QTcpSocket();
    m_link = std::make_unique<CFramedSocket>(socket);
    m_link->on_connected = [this] {
        m_connected = true;
        for (const Question& question : m_waiting) {
            std::string request = "(lookup :name ";
            AppendKqmlValue(request, question.name);
            request.push_back(')');
            m_link->send(request);
        }
        m_sent = m_waiting.size();
    };
    m_link->on_message = [this](const std::string& text) { Answered(text); };
    m_link->on_closed = [this](const std::string& why) {
        FailAll("name server at " + m_host + ":" + std::to_string(m_port) + ": " + why);
    };
    socket->connectToHost(QString::fromStdString(host), static_cast<quint16>(port));
}

void CAnsResolver::FailAll(const std::string& why) {
    // The link goes first, so that an answer handler that asks again opens a fresh one.
    std::unique_ptr<CFramedSocket> old = std::move(m_link);
    m_connected = false;
    m_sent = 0;
    std::deque<Question> waiting;
    waiting.swap(m_waiting);
    for (Question& question : waiting) {
        question.answer(question.name, CAgentInfo(), why);
    }
    if (m_waiting.empty()) {
        m_check.stop();
    }
}

void CAnsResolver::Answered(const std::string& text) {
    if (m_sent == 0 || m_waiting.empty()) {
        return; // nothing was asked: not an answer of ours
    }
    Question question = std::move(m_waiting.front());
    m_waiting.pop_front();
    --m_sent;
    CParser parser;
    CAgentInfo info;
    std::string error;
    if (parser.parse_message(text) && parser.find_performative() == "tell") {
        const std::string port = parser.find_text("port");
        const int number = port.size() <= 5 && !port.empty() &&
                                   port.find_first_not_of("0123456789") == std::string::npos
                               ? std::stoi(port)
                               : 0;
        const std::string host = parser.find_text("host");
        if (number > 0 && number <= 65535 && !host.empty()) {
            info = CAgentInfo(parser.find_text("name"), host, number);
        } else {
            error = "unreadable answer from the name server";
        }
    } else {
        const std::string reason = parser.find_text("reason");
        error = reason.empty() ? "unreadable answer from the name server" : reason;
    }
    if (m_waiting.empty()) {
        m_check.stop();
    }
    question.answer(question.name, info, error);
}

void CAnsResolver::Check() {
    if (m_waiting.empty()) {
        m_check.stop();
        return;
    }
    if (m_clock.elapsed() - m_waiting.front().asked > m_timeoutMs) {
        FailAll("no answer from the name server within " + std::to_string(m_timeoutMs) + " ms");
    }
}

} // namespace halyx
