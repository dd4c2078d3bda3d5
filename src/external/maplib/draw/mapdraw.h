#pragma once

#include "external/maplib/impactlines.h"
#include "external/maplib/trajectory.h"
#include "external/maplib/worldmap.h"

#include <QColor>
#include <QImage>
#include <QRect>

#include <cstdint>

class QPainter;

namespace halyx {

// Colours of what the map library draws over the raster.
inline const QColor kGridLineColour(150, 150, 150);
inline const QColor kNorthernLineColour(255, 64, 64);
inline const QColor kSouthernLineColour(255, 200, 0);
inline const QColor kTrajectoryColour(255, 255, 255);

// The raster at one image pixel per map pixel, in terrain colours, top row first (as drawn).
QImage TerrainImage(const CWorldMap& map);

// Keeps the terrain image of one map between draws; it is rebuilt when the map's raster or
// terrain colours change (CWorldMap::Revision).
class CMapImageCache {
public:
    const QImage& Get(const CWorldMap& map);

private:
    const CWorldMap* m_map = nullptr;
    uint64_t m_revision = 0;
    QImage m_image;
};

// Draws the part of the map that lies under windowArea (window pixels) at the map's scale: the
// raster in terrain colours, then the grid lines when they are on. Nothing when the map does not
// exist. With a cache the terrain image is built once per map revision.
void blt(QPainter& painter, const CWorldMap& map, const QRect& windowArea,
         CMapImageCache* cache = nullptr);

// The whole map as one picture for a page to lay under its own marks: at the largest whole zoom
// (up to kMaxZoom) whose longer side stays within maxSide, shrunk when even one pixel per map
// pixel is larger; latitude left to right and longitude upward, whichever way round the map's
// header gives its ranges. Sets the map's zoom. Empty when the map does not exist.
QImage WholeMapPicture(CWorldMap& map, int maxSide);

// The northern and southern impact lines as polylines through their window points.
void OnDraw(QPainter& painter, const CWorldMap& map, const CImpactLines& lines);
// The trajectory as a polyline with a dot at every point.
void OnDraw(QPainter& painter, const CWorldMap& map, const CTrajectory& trajectory);

} // namespace halyx
