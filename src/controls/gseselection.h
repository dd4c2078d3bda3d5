#pragma once

#include <string>

namespace halyx {

// Unit kinds as the editor numbers them (the unit dialog uses the same numbers).
inline constexpr int kNoUnitKind = -1;
inline constexpr int kInterceptorKind = 1;
inline constexpr int kIncursionKind = 2;
inline constexpr int kRadarKind = 3;

// The unit under edit: its kind, its position in its list and its ID. The ID is what identifies
// it (undo may rebuild a unit); the index tells apart units of a loaded file that share an ID.
struct CGSESelection {
    int kind = kNoUnitKind;
    int index = -1;
    std::string id;

    bool Empty() const { return kind == kNoUnitKind; }
    bool operator==(const CGSESelection&) const = default;
};

// What the View menu's Show items switch on and off.
struct CGSEDrawOptions {
    bool radars = true;
    bool interceptors = true;
    bool incursions = true;
    bool mapLimits = true;
    bool operator==(const CGSEDrawOptions&) const = default;
};

} // namespace halyx
