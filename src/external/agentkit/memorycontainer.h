#pragma once

// A container without network or timer, for tests of code that holds a container: it builds a
// CMemoryCommunicator (with the given in-memory name server) and ticks only when told.
//
//   CMemoryContainer container(agent, &registry);
//   container.CreateContainer(argc, argv, 1);
//   container.tick();                                   // agent.process_clock_tick()

#include "external/agentkit/agentcontainer.h"
#include "external/agentkit/memorycommunicator.h"

#include <memory>

namespace halyx {

class CMemoryContainer : public CAgentContainer {
public:
    CMemoryContainer(CBasicAgent& agent, CNameRegistry* registry = nullptr, int port = 7001);
    ~CMemoryContainer() override;

    int CreateContainer(int argc, char** argv, int startClock) override;
    CCommunicator* get_communicator() override { return m_communicator.get(); }
    CMemoryCommunicator* memory_communicator() { return m_communicator.get(); }

    void start_clock() override { m_running = true; }
    void stop_clock() override { m_running = false; }
    bool clock_running() const override { return m_running; }
    void set_tick_interval(int milliseconds) override { m_tickMs = milliseconds; }
    int get_tick_interval() const override { return m_tickMs; }
    // One tick, delivered when the clock runs; answers whether it was delivered.
    bool tick();

private:
    CNameRegistry* m_registry;
    int m_port;
    std::unique_ptr<CMemoryCommunicator> m_communicator;
    bool m_running = false;
    int m_tickMs = 1000;
};

} // namespace halyx
