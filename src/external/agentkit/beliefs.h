#pragma once

// Typed beliefs held in the agent's belief base (CBeliefDB). Every belief is a named CDNA item:
//
//   auto* port = dynamic_cast<CIntBelief*>(beliefs->find_element("ansport"));
//   if (port) port->set_value(6677);
//   auto* lookup = dynamic_cast<CListBelief*>(beliefs->find_element("lookup"));
//   for (CListElement* e = lookup->get_value()->get_first_element(); e; e = e->get_next()) ...

#include "external/agentkit/dna.h"
#include "external/agentkit/llist.h"

#include <string>

namespace halyx {

class CStringBelief : public CDNA {
public:
    CStringBelief(std::string name, std::string value)
        : CDNA(std::move(name)), m_value(std::move(value)) {}
    const std::string& get_value() const { return m_value; }
    void set_value(std::string value) { m_value = std::move(value); }

private:
    std::string m_value;
};

class CIntBelief : public CDNA {
public:
    CIntBelief(std::string name, int value) : CDNA(std::move(name)), m_value(value) {}
    int get_value() const { return m_value; }
    void set_value(int value) { m_value = value; }

private:
    int m_value;
};

// A belief whose value is a list of items (for "lookup": the CAgentInfo records of the last
// name-server answer).
class CListBelief : public CDNA {
public:
    explicit CListBelief(std::string name) : CDNA(std::move(name)) {}
    CLList* get_value() { return &m_value; }
    const CLList* get_value() const { return &m_value; }

private:
    CLList m_value;
};

} // namespace halyx
