#pragma once

#include "common/notifier.h"
#include "scenario/geography.h"
#include "scenario/incursion.h"
#include "scenario/interceptor.h"
#include "scenario/radar.h"
#include "scenario/unitlist.h"
#include "scenario/weathermap.h"

#include <functional>
#include <utility>
#include <vector>

namespace halyx {

// What changed in a scenario. Part events carry the index their own notifier gave (a unit's
// position, a weather slot, or -1); Replaced says that the whole scenario was loaded, generated
// or set to its defaults, and comes once instead of the part events of that work.
enum class ScenarioChange {
    Incursions,
    Radars,
    Interceptors,
    Weather,
    Geography,
    Replaced,
};

// Everything a scenario holds and the stations are sent: the three unit lists, the weather grid
// (40 by 40) and the geography. One notifier reports every change of every part, so that tables,
// the map view and the editor can subscribe in one place.
class CScenario {
public:
    using Observer = CNotifier<ScenarioChange, int>::Observer;

    CScenario();
    CScenario(const CScenario&) = delete;
    CScenario& operator=(const CScenario&) = delete;

    CUnitList<CIncursion>& Incursions() { return m_incursions; }
    const CUnitList<CIncursion>& Incursions() const { return m_incursions; }
    CUnitList<CRadar>& Radars() { return m_radars; }
    const CUnitList<CRadar>& Radars() const { return m_radars; }
    CUnitList<CInterceptor>& Interceptors() { return m_interceptors; }
    const CUnitList<CInterceptor>& Interceptors() const { return m_interceptors; }
    CWeatherMap& Weather() { return m_weather; }
    const CWeatherMap& Weather() const { return m_weather; }
    CGeography& Geography() { return m_geography; }
    const CGeography& Geography() const { return m_geography; }

    // Runs work (which may change any part) with the part events held back, then reports one
    // Replaced. Used by loading, batch generation and the defaults.
    void ReplaceAll(const std::function<void()>& work);

    int Subscribe(Observer observer);
    void Unsubscribe(int token);

private:
    void Notify(ScenarioChange change, int index);

    CUnitList<CIncursion> m_incursions;
    CUnitList<CRadar> m_radars;
    CUnitList<CInterceptor> m_interceptors;
    CWeatherMap m_weather;
    CGeography m_geography;
    CNotifier<ScenarioChange, int> m_notifier;
    int m_holdDepth = 0;
};

// Copies every unit of one list into another that is emptied first (one Reset for observers).
template <class T> void CopyUnits(const CUnitList<T>& from, CUnitList<T>& to) {
    to.ClearQuietly();
    to.Reserve(static_cast<size_t>(from.Count()));
    for (const T& unit : from) {
        to.AddQuietly(std::make_unique<T>(unit));
    }
    to.NotifyReset();
}

} // namespace halyx
