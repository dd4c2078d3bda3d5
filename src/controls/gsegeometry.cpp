#include "controls/gsegeometry.h"

#include "common/format.h"
#include "common/geometry.h"
#include "scenario/scenario.h"

#include <algorithm>
#include <cmath>

namespace halyx {

namespace {

bool Near(const CWindowPoint& unit, int px, int py) {
    const double dx = unit.x - px;
    const double dy = unit.y - py;
    return dx * dx + dy * dy < kHitRadius * kHitRadius;
}

template <class T> int IndexOf(const CUnitList<T>& list, const CGSESelection& selection) {
    if (selection.index >= 0 && selection.index < list.Count() &&
        list.At(selection.index).GetId() == selection.id) {
        return selection.index;
    }
    return list.IndexOfId(selection.id);
}

} // namespace

bool InEditableRegion(double lat, double lng) {
    return lat > kRegionMinLat && lat < kRegionMaxLat && lng > kRegionMinLng && lng < kRegionMaxLng;
}

CLatLng MapPositionAt(const CWorldMap& map, int px, int py) {
    const CMapPixel pixel = map.PixelFromWindow(px, py);
    return map.latlongloc(pixel.x, pixel.y);
}

std::string PointerText(const CWorldMap& map, int px, int py) {
    if (!map.exists()) {
        return "Outside Map Region";
    }
    const CMapPixel pixel = map.PixelFromWindow(px, py);
    const CLatLng at = map.latlongloc(pixel.x, pixel.y);
    if (!InEditableRegion(at.lat, at.lng)) {
        return "Outside Map Region";
    }
    return Format("%06.3f,%06.3f (%d,%d)", at.lat, at.lng, pixel.x, pixel.y);
}

double WindowPixelsPerMapUnit(const CWorldMap& map) {
    const double span = std::fabs(map.GetMaxLat() - map.GetMinLat());
    if (!map.exists() || span <= 0.0) {
        return map.getScalefactor();
    }
    return map.getScalefactor() * map.getWidth() / span;
}

CWindowPoint HandlePoint(const CWorldMap& map, double lat, double lng, double speed, double angle) {
    const CWindowPoint at = map.LatLng2PixelLoc(lat, lng);
    const double distance = (kHandleBase + kHandlePerSpeed * speed) * WindowPixelsPerMapUnit(map);
    double x = 0.0;
    double y = 0.0;
    OffsetPoint(at.x, at.y, std::isfinite(distance) ? distance : 0.0, angle, x, y);
    constexpr double kLimit = 1e8;
    return {static_cast<int>(std::round(std::clamp(x, -kLimit, kLimit))),
            static_cast<int>(std::round(std::clamp(y, -kLimit, kLimit)))};
}

CWindowPoint HandleOf(const CWorldMap& map, const CIncursion& incursion) {
    return HandlePoint(map, incursion.GetLatValue(), incursion.GetLngValue(),
                       incursion.GetSpeedValue(), DegreesToRadians(incursion.GetHeadingValue()));
}

CWindowPoint HandleOf(const CWorldMap& map, const CInterceptor& interceptor) {
    return HandlePoint(map, interceptor.GetLat(), interceptor.GetLng(), interceptor.GetSpeed(),
                       0.0);
}

CGSESelection UnitAt(const CScenario& scenario, const CWorldMap& map, int px, int py,
                     const CGSEDrawOptions& shown) {
    // Without a map every unit would sit at one made-up window point.
    if (!map.exists()) {
        return {};
    }
    for (const UnitKind kind : kUnitKinds) {
        if (!shown.Shows(kind)) {
            continue;
        }
        const CGSESelection hit = VisitUnitKind(kind, [&](auto tag) -> CGSESelection {
            using T = typename decltype(tag)::Type;
            int index = 0;
            for (const T& unit : UnitTraits<T>::List(scenario)) {
                const CWindowPoint at =
                    map.LatLng2PixelLoc(UnitTraits<T>::Lat(unit), UnitTraits<T>::Lng(unit));
                if (Near(at, px, py)) {
                    return {kind, index, unit.GetId()};
                }
                ++index;
            }
            return {};
        });
        if (!hit.Empty()) {
            return hit;
        }
    }
    return {};
}

namespace {

// Whether (px, py) grabs this unit's handle: a speed handle, or a radar's range circle.
template <class T> bool OnHandle(const CWorldMap& map, const T& unit, int px, int py) {
    return Near(HandleOf(map, unit), px, py);
}

bool OnHandle(const CWorldMap& map, const CRadar& radar, int px, int py) {
    const CLatLng at = MapPositionAt(map, px, py);
    const double distance = std::hypot(at.lat - radar.GetLatValue(), at.lng - radar.GetLngValue());
    return std::fabs(distance - radar.GetRangeValue()) < kHitRadius;
}

} // namespace

bool HandleHit(const CScenario& scenario, const CWorldMap& map, const CGSESelection& selection,
               int px, int py) {
    if (!map.exists()) {
        return false;
    }
    bool hit = false;
    VisitSelected(scenario, selection,
                  [&](const auto& unit) { hit = OnHandle(map, unit, px, py); });
    return hit;
}

std::string SelectedName(const CScenario& scenario, const CGSESelection& selection) {
    std::string name;
    VisitSelected(scenario, selection, [&](const auto& unit) { name = unit.GetName(); });
    return name;
}

CGSESelection Revalidate(const CScenario& scenario, const CGSESelection& selection) {
    if (!selection.kind) {
        return {};
    }
    const int index = VisitUnitKind(*selection.kind, [&](auto tag) {
        return IndexOf(UnitTraits<typename decltype(tag)::Type>::List(scenario), selection);
    });
    if (index < 0) {
        return {};
    }
    return {selection.kind, index, selection.id};
}

} // namespace halyx
