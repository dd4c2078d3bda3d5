#include "external/agentkit/llist.h"

namespace halyx {

CDNA* CLList::find_element(std::string_view name) const {
    for (const std::unique_ptr<CDNA>& item : m_items) {
        if (item->get_name() == name) {
            return item.get();
        }
    }
    return nullptr;
}

CDNA* CLList::add_element(std::unique_ptr<CDNA> item) {
    if (!item) {
        return nullptr;
    }
    item->m_next = nullptr;
    if (!m_items.empty()) {
        m_items.back()->m_next = item.get();
    }
    m_items.push_back(std::move(item));
    return m_items.back().get();
}

CDNA* CLList::replace_element(std::unique_ptr<CDNA> item) {
    if (!item) {
        return nullptr;
    }
    for (std::unique_ptr<CDNA>& slot : m_items) {
        if (slot->get_name() == item->get_name()) {
            slot = std::move(item);
            Relink();
            return slot.get();
        }
    }
    return add_element(std::move(item));
}

bool CLList::remove_element(std::string_view name) {
    for (auto it = m_items.begin(); it != m_items.end(); ++it) {
        if ((*it)->get_name() == name) {
            m_items.erase(it);
            Relink();
            return true;
        }
    }
    return false;
}

void CLList::Relink() {
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        m_items[i]->m_next = i + 1 < m_items.size() ? m_items[i + 1].get() : nullptr;
    }
}

} // namespace halyx
