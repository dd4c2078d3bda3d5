#pragma once

// Looks agents up at the name server without waiting: the communicator asks where a receiver
// is and carries on; the answer arrives later on the event loop. One connection to the name
// server carries the questions; its answers come back in the order asked. A question that has no
// answer within the time-out fails, as do all questions when the connection breaks.
//
//   resolver.lookup("Station1", [](const std::string& name, const CAgentInfo& info,
//                                  const std::string& error) { ... });

#include "external/agentkit/agentinfo.h"

#include <QElapsedTimer>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <string>

namespace halyx {

class CBeliefDB;
class CFramedSocket;

class CAnsResolver {
public:
    // info is invalid when the agent is unknown or the server cannot be asked; error says which.
    using Answer = std::function<void(const std::string& name, const CAgentInfo& info,
                                      const std::string& error)>;

    explicit CAnsResolver(CBeliefDB& beliefs);
    CAnsResolver(const CAnsResolver&) = delete;
    CAnsResolver& operator=(const CAnsResolver&) = delete;
    ~CAnsResolver();

    void lookup(const std::string& name, Answer answer);
    void set_timeout(int milliseconds) { m_timeoutMs = milliseconds; }

private:
    struct Question {
        std::string name;
        Answer answer;
        qint64 asked = 0;
    };

    void Open(const std::string& host, int port);
    void FailAll(const std::string& why);
    void Answered(const std::string& text);
    void Check();

    CBeliefDB& m_beliefs;
    std::unique_ptr<CFramedSocket> m_link;
    std::string m_host;
    int m_port = 0;
    bool m_connected = false;
    std::deque<Question> m_waiting; // sent, or to be sent once connected
    std::size_t m_sent = 0;         // how many of m_waiting went out
    QElapsedTimer m_clock;
    QTimer m_check;
    int m_timeoutMs = 5000;
};

} // namespace halyx
