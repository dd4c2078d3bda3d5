#pragma once

// What starts an agent and runs it: the communicator, the name-server client and the clock.
// The TCP container is net/netcontainer.h (CNetContainer); tests use memorycontainer.h.
//
//   CNetContainer container(agent);
//   if (container.CreateContainer(argc, argv, 1) == 0) { /* "Unable to start agent!" */ }
//
// Command-line options read by CreateContainer (others are left to the application):
//   --port N            port to listen on (default 0: any free port)
//   --bind ADDRESS      address to listen on (default: all)
//   --host NAME         host to register at the name server (default: as the server sees us)
//   --ans HOST[:PORT]   name server (beliefs "ans" and "ansport"; default localhost:6677)
//   --tick-ms N         clock period in milliseconds (default 1000: one simulated minute/s)
//   --send-timeout-ms N how long a message may wait for its receiver (default 10000)

#include <string>

namespace halyx {

class CBasicAgent;
class CCommunicator;

class CAgentContainer {
public:
    // How receivers are found. 2 (the default, and the only mode this framework has): each
    // receiver is looked up at the name server and its address kept until the connection to it
    // breaks. Other values are recorded and read back but change nothing.
    static void set_lookup_config(int config);
    static int get_lookup_config();

    explicit CAgentContainer(CBasicAgent& agent) : m_agent(agent) {}
    CAgentContainer(const CAgentContainer&) = delete;
    CAgentContainer& operator=(const CAgentContainer&) = delete;
    virtual ~CAgentContainer() = default;

    // Starts the agent. startClock 1 starts the clock at once, 0 leaves it to start_clock().
    // Answers 1, or 0 when the agent cannot start (the reason goes to the agent's debug).
    virtual int CreateContainer(int argc, char** argv, int startClock) = 0;

    virtual CCommunicator* get_communicator() = 0;
    virtual void start_clock() = 0;
    virtual void stop_clock() = 0;
    virtual bool clock_running() const = 0;
    virtual void set_tick_interval(int milliseconds) = 0;
    virtual int get_tick_interval() const = 0;

    CBasicAgent& get_agent() { return m_agent; }

private:
    CBasicAgent& m_agent;
};

} // namespace halyx
