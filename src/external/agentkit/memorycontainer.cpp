#include "external/agentkit/memorycontainer.h"

#include "external/agentkit/basicagent.h"
#include "external/agentkit/containeroptions.h"

namespace halyx {

CMemoryContainer::CMemoryContainer(CBasicAgent& agent, CNameRegistry* registry, int port)
    : CAgentContainer(agent), m_registry(registry), m_port(port) {}

CMemoryContainer::~CMemoryContainer() = default;

int CMemoryContainer::CreateContainer(int argc, char** argv, int startClock) {
    CContainerOptions options;
    std::string error;
    if (!ParseContainerOptions(argc, argv, options, error)) {
        get_agent().debug("<CAgentContainer::CreateContainer()> " + error);
        return 0;
    }
    m_communicator = std::make_unique<CMemoryCommunicator>(get_agent(), m_registry, m_port);
    CBeliefDB* beliefs = get_agent().get_belief_db();
    if (options.ansHost) {
        beliefs->set_string("ans", *options.ansHost);
    }
    if (options.ansPort) {
        beliefs->set_int("ansport", *options.ansPort);
    }
    m_tickMs = options.tickMs;
    m_running = startClock != 0;
    return 1;
}

bool CMemoryContainer::tick() {
    if (!m_running) {
        return false;
    }
    get_agent().process_clock_tick();
    return true;
}

} // namespace halyx
