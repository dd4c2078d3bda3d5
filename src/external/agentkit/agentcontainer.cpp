#include "external/agentkit/agentcontainer.h"

namespace halyx {

namespace {
int g_lookupConfig = 2;
} // namespace

void CAgentContainer::set_lookup_config(int config) {
    g_lookupConfig = config;
}

int CAgentContainer::get_lookup_config() {
    return g_lookupConfig;
}

} // namespace halyx
