#pragma once

// The agent's belief base: a list of named beliefs. The framework uses these:
//   "ans"      CStringBelief  name-server host
//   "ansport"  CIntBelief     name-server port (6677 by default)
//   "name"     CStringBelief  the name to register and to send under
//   "port"     CIntBelief     the port to register (0: the port this agent listens on)
//   "host"     CStringBelief  the host to register ("" : the address the name server sees)
//   "lookup"   CListBelief    the CAgentInfo records of the last lookup or listing
// The setters create a belief that is missing (or of another type) so callers need not check.
//
//   beliefs.set_string("ans", "10.0.0.5");
//   beliefs.set_int("ansport", 6677);
//   int port = beliefs.get_int("ansport", 6677);

#include "external/agentkit/beliefs.h"
#include "external/agentkit/llist.h"

#include <string>
#include <string_view>

namespace halyx {

class CBeliefDB : public CLList {
public:
    void set_string(std::string_view name, std::string value);
    void set_int(std::string_view name, int value);
    // The list belief called name, created empty when missing.
    CListBelief& list_belief(std::string_view name);

    // Absent or of another type: the fallback.
    std::string get_string(std::string_view name, std::string_view fallback = {}) const;
    int get_int(std::string_view name, int fallback = 0) const;
    const CListBelief* find_list(std::string_view name) const;
};

} // namespace halyx
