#pragma once

// CDNA is the base of everything kept in a CLList: a named item. A list's items are linked, so
// a list is walked as
//
//   for (CListElement* e = list->get_first_element(); e != nullptr; e = e->get_next())
//       use(e->get_name());
//
// CListElement is another name for CDNA: each item is its own list element.

#include <string>

namespace halyx {

class CLList;

class CDNA {
public:
    explicit CDNA(std::string name = {}) : m_name(std::move(name)) {}
    // A copy is a free-standing item, in no list.
    CDNA(const CDNA& other) : m_name(other.m_name) {}
    CDNA& operator=(const CDNA& other) {
        m_name = other.m_name;
        return *this;
    }
    virtual ~CDNA() = default;

    const std::string& get_name() const { return m_name; }
    void set_name(std::string name) { m_name = std::move(name); }

    // The next item of the list that holds this one, or nullptr.
    CDNA* get_next() const { return m_next; }

private:
    friend class CLList;

    std::string m_name;
    CDNA* m_next = nullptr;
};

using CListElement = CDNA;

} // namespace halyx
