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

template <class T> T* FindSelected(CUnitList<T>& list, const CGSESelection& selection, int kind) {
    if (selection.kind != kind) {
        return nullptr;
    }
    if (selection.index >= 0 && selection.index < list.Count() &&
        list.At(selection.index).GetId() == selection.id) {
        return &list.At(selection.index);
    }
    return list.FindById(selection.id);
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

CGSESelection UnitAt(const CScenario& scenario, const CWorldMap& map, int px, int py,
                     const CGSEDrawOptions& shown) {
    // Without a map every unit would sit at one made-up window point.
    if (!map.exists()) {
        return {};
    }
    int index = 0;
    for (const CRadar& radar : scenario.Radars()) {
        if (!shown.radars) {
            break;
        }
        if (Near(map.LatLng2PixelLoc(radar.GetLatValue(), radar.GetLngValue()), px, py)) {
            return {kRadarKind, index, radar.GetId()};
        }
        ++index;
    }
    index = 0;
    for (const CIncursion& incursion : scenario.Incursions()) {
        if (!shown.incursions) {
            break;
        }
        if (Near(map.LatLng2PixelLoc(incursion.GetLatValue(), incursion.GetLngValue()), px, py)) {
            return {kIncursionKind, index, incursion.GetId()};
        }
        ++index;
    }
    index = 0;
    for (const CInterceptor& interceptor : scenario.Interceptors()) {
        if (!shown.interceptors) {
            break;
        }
        if (Near(map.LatLng2PixelLoc(interceptor.GetLat(), interceptor.GetLng()), px, py)) {
            return {kInterceptorKind, index, interceptor.GetId()};
        }
        ++index;
    }
    return {};
}

bool HandleHit(const CScenario& scenario, const CWorldMap& map, const CGSESelection& selection,
               int px, int py) {
    if (!map.exists()) {
        return false;
    }
    if (const CIncursion* incursion = SelectedIncursion(scenario, selection)) {
        return Near(HandlePoint(map, incursion->GetLatValue(), incursion->GetLngValue(),
                                incursion->GetSpeedValue(),
                                DegreesToRadians(incursion->GetHeadingValue())),
                    px, py);
    }
    if (const CInterceptor* interceptor = SelectedInterceptor(scenario, selection)) {
        return Near(HandlePoint(map, interceptor->GetLat(), interceptor->GetLng(),
                                interceptor->GetSpeed(), 0.0),
                    px, py);
    }
    if (const CRadar* radar = SelectedRadar(scenario, selection)) {
        const CLatLng at = MapPositionAt(map, px, py);
        const double distance =
            std::hypot(at.lat - radar->GetLatValue(), at.lng - radar->GetLngValue());
        return std::fabs(distance - radar->GetRangeValue()) < kHitRadius;
    }
    return false;
}

const CRadar* SelectedRadar(const CScenario& scenario, const CGSESelection& selection) {
    return SelectedRadar(const_cast<CScenario&>(scenario), selection);
}
const CIncursion* SelectedIncursion(const CScenario& scenario, const CGSESelection& selection) {
    return SelectedIncursion(const_cast<CScenario&>(scenario), selection);
}
const CInterceptor* SelectedInterceptor(const CScenario& scenario, const CGSESelection& selection) {
    return SelectedInterceptor(const_cast<CScenario&>(scenario), selection);
}
CRadar* SelectedRadar(CScenario& scenario, const CGSESelection& selection) {
    return FindSelected(scenario.Radars(), selection, kRadarKind);
}
CIncursion* SelectedIncursion(CScenario& scenario, const CGSESelection& selection) {
    return FindSelected(scenario.Incursions(), selection, kIncursionKind);
}
CInterceptor* SelectedInterceptor(CScenario& scenario, const CGSESelection& selection) {
    return FindSelected(scenario.Interceptors(), selection, kInterceptorKind);
}

std::string SelectedName(const CScenario& scenario, const CGSESelection& selection) {
    if (const CRadar* radar = SelectedRadar(scenario, selection)) {
        return radar->GetName();
    }
    if (const CIncursion* incursion = SelectedIncursion(scenario, selection)) {
        return incursion->GetName();
    }
    if (const CInterceptor* interceptor = SelectedInterceptor(scenario, selection)) {
        return interceptor->GetName();
    }
    return {};
}

CGSESelection Revalidate(const CScenario& scenario, const CGSESelection& selection) {
    int index = -1;
    switch (selection.kind) {
    case kRadarKind:
        index = IndexOf(scenario.Radars(), selection);
        break;
    case kIncursionKind:
        index = IndexOf(scenario.Incursions(), selection);
        break;
    case kInterceptorKind:
        index = IndexOf(scenario.Interceptors(), selection);
        break;
    default:
        break;
    }
    if (index < 0) {
        return {};
    }
    return {selection.kind, index, selection.id};
}

} // namespace halyx
