#pragma once

#include "controls/gseselection.h"
#include "external/maplib/latlng.h"
#include "external/maplib/worldmap.h"
#include "scenario/unitkind.h"

#include <string>

namespace halyx {

// The editable region: latitude 0 to 950, longitude 95 to 655, its edges excluded.
inline constexpr double kRegionMinLat = 0.0;
inline constexpr double kRegionMinLng = 95.0;
inline constexpr double kRegionMaxLat = 950.0;
inline constexpr double kRegionMaxLng = 655.0;
// A click selects a unit (or grabs a handle) closer than this many window pixels, or, for a
// radar's range circle, map units.
inline constexpr double kHitRadius = 6.0;
// A speed handle lies kHandleBase + kHandlePerSpeed * speed from its unit.
inline constexpr double kHandleBase = 15.0;
inline constexpr double kHandlePerSpeed = 0.3;

bool InEditableRegion(double lat, double lng);

// The map position under a window point (content coordinates): the map pixel under it, then
// that pixel's map coordinates.
CLatLng MapPositionAt(const CWorldMap& map, int px, int py);

// "%06.3f,%06.3f (%d,%d)" with latitude, longitude and the map pixel, or "Outside Map Region".
std::string PointerText(const CWorldMap& map, int px, int py);

// Window pixels per map unit along latitude at the current zoom (both axes share it on the maps
// this program draws).
double WindowPixelsPerMapUnit(const CWorldMap& map);

// The speed handle of an incursion (along its heading) or an interceptor (straight up), in
// window pixels: kHandleBase + kHandlePerSpeed * speed map units from the unit, so that the
// handle stays under the pointer that drags it at any zoom.
CWindowPoint HandlePoint(const CWorldMap& map, double lat, double lng, double speed, double angle);
// The speed handle of a unit that has one.
CWindowPoint HandleOf(const CWorldMap& map, const CIncursion& incursion);
CWindowPoint HandleOf(const CWorldMap& map, const CInterceptor& interceptor);

// The unit that a click at (px, py) selects: radars, then incursions, then interceptors, each
// in list order; the first whose window point lies closer than kHitRadius. Kinds that are not
// shown cannot be hit. Empty when none.
CGSESelection UnitAt(const CScenario& scenario, const CWorldMap& map, int px, int py,
                     const CGSEDrawOptions& shown = CGSEDrawOptions());

// Whether a click at (px, py) grabs the selected unit's handle.
bool HandleHit(const CScenario& scenario, const CWorldMap& map, const CGSESelection& selection,
               int px, int py);

// The selected unit, or null when the selection names a kind other than T or no unit of the
// list any more.
template <class T> T* SelectedUnit(CScenario& scenario, const CGSESelection& selection) {
    if (selection.kind != UnitTraits<T>::kKind) {
        return nullptr;
    }
    CUnitList<T>& list = UnitTraits<T>::List(scenario);
    if (selection.index >= 0 && selection.index < list.Count() &&
        list.At(selection.index).GetId() == selection.id) {
        return &list.At(selection.index);
    }
    return list.FindById(selection.id);
}
template <class T>
const T* SelectedUnit(const CScenario& scenario, const CGSESelection& selection) {
    return SelectedUnit<T>(const_cast<CScenario&>(scenario), selection);
}

// Calls f with the selected unit as its own type (T& or const T&, as the scenario is); answers
// false when nothing is selected or the unit is gone.
template <class Scenario, class F>
bool VisitSelected(Scenario& scenario, const CGSESelection& selection, F&& f) {
    if (!selection.kind) {
        return false;
    }
    return VisitUnitKind(*selection.kind, [&](auto tag) {
        auto* unit = SelectedUnit<typename decltype(tag)::Type>(scenario, selection);
        if (unit != nullptr) {
            f(*unit);
        }
        return unit != nullptr;
    });
}

// The selected unit's name; empty when none.
std::string SelectedName(const CScenario& scenario, const CGSESelection& selection);
// The selection brought up to date after the lists changed: the index follows the ID; empty
// when the unit is gone.
CGSESelection Revalidate(const CScenario& scenario, const CGSESelection& selection);

} // namespace halyx
