#pragma once

// Where an agent can be reached, as the name server knows it. The answer of
// CANSClient::LookupAgent and the items of the "lookup" belief list.
//
//   CAgentInfo info = ans->LookupAgent("Station1");
//   if (info.IsValid()) row(info.get_name(), info.GetAgentHost(), info.GetAgentPortStr());

#include "external/agentkit/dna.h"

#include <string>

namespace halyx {

class CAgentInfo : public CDNA {
public:
    CAgentInfo() = default;
    CAgentInfo(std::string name, std::string host, int port)
        : CDNA(std::move(name)), m_host(std::move(host)), m_port(port), m_valid(true) {}

    bool IsValid() const { return m_valid; }
    const std::string& GetAgentHost() const { return m_host; }
    int GetAgentPort() const { return m_port; }
    std::string GetAgentPortStr() const { return m_valid ? std::to_string(m_port) : std::string(); }

private:
    std::string m_host;
    int m_port = 0;
    bool m_valid = false;
};

} // namespace halyx
