#include "editortestmap.h"

namespace halyx::test {

void MakeTestMap(CScenario& scenario) {
    CWorldMap& map = scenario.Geography().GetWorldMap();
    CTerrainTable terrain;
    CTerrain sea;
    sea.code(45);
    sea.name("Sea");
    sea.style("Solid");
    sea.colour(MakeRgb(0, 99, 99));
    terrain[45] = sea;
    map.setTerrainSettings(terrain);
    map.create(1000, 700, 45);
    map.setDefaultZoom(3);
}

} // namespace halyx::test
