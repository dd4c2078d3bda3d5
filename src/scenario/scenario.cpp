#include "scenario/scenario.h"

namespace halyx {

CScenario::CScenario() : m_weather(CWeatherMap::kGridRows, CWeatherMap::kGridCols) {
    // The parts live exactly as long as the scenario, so their subscriptions are never removed.
    m_incursions.Subscribe(
        [this](UnitListChange, int index) { Notify(ScenarioChange::Incursions, index); });
    m_radars.Subscribe(
        [this](UnitListChange, int index) { Notify(ScenarioChange::Radars, index); });
    m_interceptors.Subscribe(
        [this](UnitListChange, int index) { Notify(ScenarioChange::Interceptors, index); });
    m_weather.Subscribe(
        [this](WeatherMapChange, int slot) { Notify(ScenarioChange::Weather, slot); });
    m_geography.Subscribe([this](GeographyChange) { Notify(ScenarioChange::Geography, -1); });
}

void CScenario::ReplaceAll(const std::function<void()>& work) {
    // Held back even when work throws, so that a failed load does not leave events silenced.
    struct Hold {
        int& depth;
        explicit Hold(int& d) : depth(d) { ++depth; }
        ~Hold() { --depth; }
    };
    {
        Hold hold(m_holdDepth);
        work();
    }
    Notify(ScenarioChange::Replaced, -1);
}

int CScenario::Subscribe(Observer observer) {
    return m_notifier.Subscribe(std::move(observer));
}

void CScenario::Unsubscribe(int token) {
    m_notifier.Unsubscribe(token);
}

void CScenario::Notify(ScenarioChange change, int index) {
    if (m_holdDepth > 0) {
        return;
    }
    m_notifier.Notify(change, index);
}

} // namespace halyx
