#pragma once

#include <array>
#include <string>

namespace halyx {

class CScenario;

// The folder of the map files that ship with the program (ending with '/'): $HALYX_MAP_DIR when
// set, else the first of share/halyx/maps, data/maps beside or above the program's bin folder
// that holds world.txt (an installed program, a build tree inside the source tree); else the
// first of those candidates, so that the failure names a sensible place.
std::string DefaultMapFolder();

// The four default map addresses (Alpha, Bravo, Charlie, Global): file addresses of
// atlantic.txt, bahamas.txt, florida.txt and world.txt in mapFolder.
std::array<std::string, 4> DefaultMapURLs(const std::string& mapFolder = DefaultMapFolder());

// Fills scenario with the start-up defaults, replacing what it held: 12 radars, 9 incursions and
// 14 interceptors (IDs freshly made), then the geography: the map addresses, the terrain codes
// "Land" and "Sea", the northern and southern impact lines and the trajectory. The weather and the
// loaded world map are left alone.
void LoadDefaultScenario(CScenario& scenario, const std::string& mapFolder = DefaultMapFolder());

} // namespace halyx
