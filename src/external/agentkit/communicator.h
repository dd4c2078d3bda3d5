#pragma once

// How an agent talks: sends KQML messages to other agents by name and hands it the messages
// that arrive. Implemented over TCP (net/tcpcommunicator.h) and in memory for tests
// (memorycommunicator.h).
//
//   CCommunicator* comm = agent.get_communicator();
//   comm->comm_sendmessage("tell", "Station1", "default-language", "default-ontology",
//                          "", "", "", "tell :command clock_sync :clock 5");
//   comm->comm_sendmessage_sender("tell", "Station1", "Station2", "default-language",
//                                 "default-ontology", "", "", "", content);   // replay as S2
//
// A content without outer parentheses is sent as a list: the receiver reads
// :content (tell :command clock_sync :clock 5). Sending never waits: an accepted message is
// delivered later or dropped with a diagnostic on the agent's debug output (unknown receiver,
// unreachable receiver after the send time-out). A message that would break the receiver's
// framing (unbalanced content, over 16 MiB) is refused at once: the send answers false.

#include "external/kqml/message.h"

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace halyx {

class CANSClient;
class CBasicAgent;
class CBeliefDB;

enum class KqmlTraffic { Incoming, Outgoing };

// What a transport learns about the way to one receiver: it broke (the connection closed and
// could not be made again, the name server does not know the receiver, or messages waited past
// the send time-out), it works again (a connection was made), or messages to it were given up.
struct CLinkEvent {
    enum class Kind { Lost, Back, Dropped };
    CLinkEvent() = default;
    CLinkEvent(Kind what, std::string name, std::size_t count = 0, std::string reason = {})
        : kind(what), receiver(std::move(name)), messages(count), why(std::move(reason)) {}

    Kind kind = Kind::Lost;
    std::string receiver;
    std::size_t messages = 0; // Dropped: how many
    std::string why;
    // Back: where the receiver was reached (as the name server gave it). Lost: whether the
    // receiver's program has ended (its machine refused the connection, or the name server
    // no longer knows it), rather than merely being out of reach.
    std::string host;
    int port = 0;
    bool gone = false;
};

class CCommunicator {
public:
    // Sees every message text received (before the agent) and every one accepted for sending.
    using TrafficObserver = std::function<void(KqmlTraffic, const std::string& text)>;
    // Hears about broken and mended links; a transport may report Lost or Back more than once
    // in a row, listeners keep their own state.
    using LinkObserver = std::function<void(const CLinkEvent&)>;

    explicit CCommunicator(CBasicAgent& agent);
    CCommunicator(const CCommunicator&) = delete;
    CCommunicator& operator=(const CCommunicator&) = delete;
    virtual ~CCommunicator();

    // replyWith, inReplyTo and protocol are written as :reply-with, :in-reply-to, :protocol
    // when not empty.
    bool comm_sendmessage(const std::string& performative, const std::string& receiver,
                          const std::string& language, const std::string& ontology,
                          const std::string& replyWith, const std::string& inReplyTo,
                          const std::string& protocol, const std::string& content);
    bool comm_sendmessage_sender(const std::string& performative, const std::string& receiver,
                                 const std::string& sender, const std::string& language,
                                 const std::string& ontology, const std::string& replyWith,
                                 const std::string& inReplyTo, const std::string& protocol,
                                 const std::string& content);
    // The same for a built message; an empty sender becomes get_name().
    bool send_message(CKqmlMessage message);

    // The port this agent listens on.
    virtual int get_port() const = 0;
    // The name-server client, or nullptr when there is none.
    virtual CANSClient* retrieve_ans_object() = 0;
    CBeliefDB* get_beliefdb();
    // Forgets the messages still waiting for receiver (a restarted receiver must not get what
    // was meant for the program before it). The default keeps nothing waiting.
    virtual void discard_pending(const std::string& /*receiver*/) {}
    // The addresses a host name stands for, in the form the peers of received messages are
    // given (deliver). The default takes the name as an address.
    virtual std::vector<std::string> host_addresses(const std::string& host) { return {host}; }

    // The name messages are sent under: the "name" belief, else the agent's name.
    std::string get_name() const;
    void set_name(const std::string& name);
    void set_port(int port);
    void set_ansname(const std::string& host);
    void set_ansport(int port);

    // The largest message read from a connection opened after this call; a larger one is cut
    // there and handed on as it is (unreadable). Only agents that receive no large messages
    // lower it.
    virtual void set_incoming_message_limit(std::size_t /*bytes*/) {}

    void set_traffic_observer(TrafficObserver observer) { m_observer = std::move(observer); }
    void set_link_observer(LinkObserver observer) { m_linkObserver = std::move(observer); }
    CBasicAgent& get_agent() { return m_agent; }

protected:
    // Queues one checked message for delivery; wireText is its text without the newline.
    virtual void transmit(const CKqmlMessage& message, const std::string& wireText) = 0;
    // Implementations hand every received message text here, on the event-loop thread, with
    // the address of the machine it came from ("" when it did not come over a network).
    void deliver(const std::string& text, const std::string& peer = std::string());
    // To the agent's debug output.
    void diagnostic(const std::string& text);
    // To the link observer, when there is one.
    void link_event(CLinkEvent::Kind kind, const std::string& receiver, std::size_t messages,
                    const std::string& why);
    void link_event(CLinkEvent event);

private:
    CBasicAgent& m_agent;
    TrafficObserver m_observer;
    LinkObserver m_linkObserver;
};

} // namespace halyx
