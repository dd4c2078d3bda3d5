#pragma once

#include "scenario/scenario.h"

namespace halyx::test {

// A world map of 1000 by 700 sea pixels covering latitude 0-1000 and longitude 0-700, as the
// global map does, made without reading a file.
void MakeTestMap(CScenario& scenario);

} // namespace halyx::test
