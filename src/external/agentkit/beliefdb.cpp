#include "external/agentkit/beliefdb.h"

#include <memory>

namespace halyx {

void CBeliefDB::set_string(std::string_view name, std::string value) {
    if (auto* belief = dynamic_cast<CStringBelief*>(find_element(name))) {
        belief->set_value(std::move(value));
        return;
    }
    replace_element(std::make_unique<CStringBelief>(std::string(name), std::move(value)));
}

void CBeliefDB::set_int(std::string_view name, int value) {
    if (auto* belief = dynamic_cast<CIntBelief*>(find_element(name))) {
        belief->set_value(value);
        return;
    }
    replace_element(std::make_unique<CIntBelief>(std::string(name), value));
}

CListBelief& CBeliefDB::list_belief(std::string_view name) {
    if (auto* belief = dynamic_cast<CListBelief*>(find_element(name))) {
        return *belief;
    }
    return *static_cast<CListBelief*>(
        replace_element(std::make_unique<CListBelief>(std::string(name))));
}

std::string CBeliefDB::get_string(std::string_view name, std::string_view fallback) const {
    if (const auto* belief = dynamic_cast<const CStringBelief*>(find_element(name))) {
        return belief->get_value();
    }
    return std::string(fallback);
}

int CBeliefDB::get_int(std::string_view name, int fallback) const {
    if (const auto* belief = dynamic_cast<const CIntBelief*>(find_element(name))) {
        return belief->get_value();
    }
    return fallback;
}

const CListBelief* CBeliefDB::find_list(std::string_view name) const {
    return dynamic_cast<const CListBelief*>(find_element(name));
}

} // namespace halyx
