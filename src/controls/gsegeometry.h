#pragma once

#include "controls/gseselection.h"
#include "external/maplib/latlng.h"
#include "external/maplib/worldmap.h"

#include <string>

namespace halyx {

class CScenario;
class CRadar;
class CIncursion;
class CInterceptor;

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

// The unit that a click at (px, py) selects: radars, then incursions, then interceptors, each
// in list order; the first whose window point lies closer than kHitRadius. Kinds that are not
// shown cannot be hit. Empty when none.
CGSESelection UnitAt(const CScenario& scenario, const CWorldMap& map, int px, int py,
                     const CGSEDrawOptions& shown = CGSEDrawOptions());

// Whether a click at (px, py) grabs the selected unit's handle.
bool HandleHit(const CScenario& scenario, const CWorldMap& map, const CGSESelection& selection,
               int px, int py);

// The selected unit, or null when the selection names a kind other than this or no unit of the
// list any more.
const CRadar* SelectedRadar(const CScenario& scenario, const CGSESelection& selection);
const CIncursion* SelectedIncursion(const CScenario& scenario, const CGSESelection& selection);
const CInterceptor* SelectedInterceptor(const CScenario& scenario, const CGSESelection& selection);
CRadar* SelectedRadar(CScenario& scenario, const CGSESelection& selection);
CIncursion* SelectedIncursion(CScenario& scenario, const CGSESelection& selection);
CInterceptor* SelectedInterceptor(CScenario& scenario, const CGSESelection& selection);
// The selected unit's name; empty when none.
std::string SelectedName(const CScenario& scenario, const CGSESelection& selection);
// The selection brought up to date after the lists changed: the index follows the ID; empty
// when the unit is gone.
CGSESelection Revalidate(const CScenario& scenario, const CGSESelection& selection);

} // namespace halyx
