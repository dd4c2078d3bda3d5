#pragma once

// An ordered list that owns named items (CDNA and its subclasses: beliefs, CAgentInfo).
//
//   CLList list;
//   list.add_element(std::make_unique<CStringBelief>("ans", "localhost"));
//   auto* ans = dynamic_cast<CStringBelief*>(list.find_element("ans"));

#include "external/agentkit/dna.h"

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace halyx {

class CLList {
public:
    CLList() = default;
    CLList(const CLList&) = delete;
    CLList& operator=(const CLList&) = delete;
    CLList(CLList&&) = default;
    CLList& operator=(CLList&&) = default;
    virtual ~CLList() = default;

    CDNA* get_first_element() const { return m_items.empty() ? nullptr : m_items.front().get(); }
    // The first item whose name equals name exactly, or nullptr.
    CDNA* find_element(std::string_view name) const;
    // Appends an item and answers it.
    CDNA* add_element(std::unique_ptr<CDNA> item);
    // Replaces the first item of the same name, or appends; answers the stored item.
    CDNA* replace_element(std::unique_ptr<CDNA> item);
    // Removes the first item called name; false when there is none.
    bool remove_element(std::string_view name);
    void clear() { m_items.clear(); }

    std::size_t size() const { return m_items.size(); }
    bool empty() const { return m_items.empty(); }

private:
    void Relink();

    std::vector<std::unique_ptr<CDNA>> m_items;
};

} // namespace halyx
