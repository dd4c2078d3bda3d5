#pragma once

#include "external/maplib/latlng.h"

#include <QColor>

#include <array>
#include <string>

class QPainter;

namespace halyx {

class CWorldMap;

// The area one of the station maps (Alpha, Bravo, Charlie) covers; ok false when its address
// gave no bounds, and nothing is drawn for it then.
struct CMapLimit {
    bool ok = false;
    CLatLng corner1;
    CLatLng corner2;
};

using CMapLimits = std::array<CMapLimit, 3>;

// Each station map's rectangle has its own colour, in the editor and the geography preview.
inline const std::array<QColor, 3> kMapLimitColours = {
    QColor(0x42, 0xFF, 0x21), QColor(0xFC, 0xBE, 0x30), QColor(0x00, 0xCC, 0xFF)};

// Reads the bounds of the three station maps from their addresses (empty ones give none). Reads
// files or the network and touches nothing shared, so it runs on a worker.
CMapLimits ReadMapLimits(const std::array<std::string, 3>& addresses);

// Draws the rectangles of the limits that were read, 2 pixels wide, at the map's zoom. The
// painter is left as it was.
void DrawMapLimits(QPainter& painter, const CWorldMap& map, const CMapLimits& limits);

} // namespace halyx
