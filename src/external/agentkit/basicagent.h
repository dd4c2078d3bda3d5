#pragma once

// The base of every agent. A container (net/netcontainer.h, or memorycommunicator.h in tests)
// attaches the communicator, calls init_beliefs once, and then, on the event-loop thread,
// process_message_text for every message received and process_clock_tick for every tick.
//
//   class CMyAgent : public CBasicAgent {
//   public:
//       CMyAgent() : CBasicAgent("MyAgent") {}
//       bool process_message_text(const std::string& text) override { ...; return true; }
//       void process_clock_tick() override { ... }
//   };
//   agent.set_debug_sink([](const std::string& line) { log(line); });
//   agent.debug("<CMyAgent::Start()> STARTING");
//
// Agents that override init_beliefs should call CBasicAgent::init_beliefs first: it creates the
// beliefs the framework reads.

#include "external/agentkit/beliefdb.h"

#include <functional>
#include <string>

namespace halyx {

class CCommunicator;
class CParser;

class CBasicAgent {
public:
    using DebugSink = std::function<void(const std::string& line)>;

    explicit CBasicAgent(std::string name);
    CBasicAgent(const CBasicAgent&) = delete;
    CBasicAgent& operator=(const CBasicAgent&) = delete;
    virtual ~CBasicAgent();

    const std::string& get_name() const { return m_name; }
    CCommunicator* get_communicator() const { return m_communicator; }
    CBeliefDB* get_belief_db() { return &m_beliefs; }
    // This framework has no separate interface module.
    void* get_interface_module() const { return nullptr; }

    // Diagnostics: one line each to the sink the application chose (stderr by default).
    virtual void debug(const std::string& text);
    virtual void dprintf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void set_debug_sink(DebugSink sink) { m_debugSink = std::move(sink); }

    // Creates the framework's beliefs with their defaults: "ans" "localhost", "ansport" 6677,
    // "name" the agent's name, "port" 0, "host" "", "lookup" empty.
    virtual void init_beliefs();
    // Each tick of the container's clock.
    virtual void process_clock_tick() {}
    // A received message, parsed; called by the default process_message_text.
    virtual bool process_message(CParser& parser);
    // A received message as its raw text. The default parses it and calls process_message.
    virtual bool process_message_text(const std::string& text);
    // A received message with the address of the machine it came from ("" when it did not come
    // over a network). The default ignores the address.
    virtual bool process_message_from(const std::string& text, const std::string& /*peer*/) {
        return process_message_text(text);
    }

    // Called by containers; the communicator must outlive its attachment.
    void attach_communicator(CCommunicator* communicator) { m_communicator = communicator; }

private:
    std::string m_name;
    CCommunicator* m_communicator = nullptr;
    CBeliefDB m_beliefs;
    DebugSink m_debugSink;
};

} // namespace halyx
