#pragma once

// A communicator for tests: records every message the agent sends and lets the test hand the
// agent a message, with an optional in-memory name server for registration and lookup. It
// attaches itself to the agent and calls init_beliefs when built.
//
//   CNameRegistry registry;
//   CMyAgent agent;
//   CMemoryCommunicator comm(agent, &registry);
//   comm.deliver_from("S1", "tell", "tell :command init_sim");   // agent.process_message_text
//   comm.deliver_from("S1", "tell", "tell :command init_sim", "127.0.0.2"); // from that host
//   ASSERT_EQ(comm.sent().size(), 1u);
//   EXPECT_EQ(comm.sent()[0].receiver, "S1");
//   EXPECT_EQ(comm.sent()[0].content, "tell :command weather_data ...");

#include "external/agentkit/communicator.h"
#include "external/agentkit/memoryansclient.h"

#include <memory>
#include <string>
#include <vector>

namespace halyx {

class CNameRegistry;

struct CSentMessage {
    std::string performative;
    std::string receiver;
    std::string sender;
    std::string content; // as the agent gave it
    std::string text;    // the wire text
};

class CMemoryCommunicator : public CCommunicator {
public:
    // registry: the in-memory name server, or nullptr for a communicator without one.
    explicit CMemoryCommunicator(CBasicAgent& agent, CNameRegistry* registry = nullptr,
                                 int port = 7001);
    ~CMemoryCommunicator() override;

    int get_port() const override { return m_port; }
    CANSClient* retrieve_ans_object() override { return m_ans.get(); }
    CMemoryAnsClient* memory_ans() { return m_ans.get(); }

    const std::vector<CSentMessage>& sent() const { return m_sent; }
    void clear_sent() { m_sent.clear(); }

    // Hands the agent a message text, as a received message; answers the agent's answer.
    // peer: the address it is to seem to come from ("" for no network at all).
    bool deliver_text(const std::string& text, const std::string& peer = std::string());
    // Builds (performative :sender sender :receiver <own name> :content (content)) and hands
    // it over.
    bool deliver_from(const std::string& sender, const std::string& performative,
                      const std::string& content, const std::string& peer = std::string());

protected:
    void transmit(const CKqmlMessage& message, const std::string& wireText) override;

private:
    int m_port;
    std::unique_ptr<CMemoryAnsClient> m_ans;
    std::vector<CSentMessage> m_sent;
};

} // namespace halyx
