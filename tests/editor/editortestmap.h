#pragma once

#include "scenario/scenario.h"

namespace halyx::test {

// A world map of 1000 by 700 sea pixels covering latitude 0-1000 and longitude 0-700, as the
// global map does, made without reading a file.
inline void MakeTestMap(CScenario& scenario) {
    CWorldMap& map = scenario.Geography().GetWorldMap();
    map.setTerrainSettings({{45, CTerrain("Sea", "Solid", 45, MakeRgb(0, 99, 99))}});
    map.create(1000, 700, 45);
    map.setDefaultZoom(3);
}

} // namespace halyx::test
