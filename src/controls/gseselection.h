#pragma once

#include "scenario/unitkind.h"

#include <optional>
#include <string>

namespace halyx {

// The unit under edit: its kind, its position in its list and its ID. The ID is what identifies
// it (undo may rebuild a unit); the index tells apart units of a loaded file that share an ID.
struct CGSESelection {
    std::optional<UnitKind> kind;
    int index = -1;
    std::string id;

    bool Empty() const { return !kind; }
    bool operator==(const CGSESelection&) const = default;
};

// What the View menu's Show items switch on and off.
struct CGSEDrawOptions {
    bool radars = true;
    bool interceptors = true;
    bool incursions = true;
    bool mapLimits = true;
    bool Shows(UnitKind kind) const {
        return kind == UnitKind::Radar       ? radars
               : kind == UnitKind::Incursion ? incursions
                                             : interceptors;
    }
    bool operator==(const CGSEDrawOptions&) const = default;
};

} // namespace halyx
