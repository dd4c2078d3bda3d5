#pragma once

#include "scenario/incursion.h"
#include "scenario/interceptor.h"
#include "scenario/radar.h"
#include "scenario/unitlist.h"

#include <QColor>
#include <QLine>
#include <QPoint>
#include <QPolygon>
#include <QRect>
#include <QSize>

#include <span>

class QImage;
class QPainter;

namespace halyx {

class CWorldMap;

// Colours and sizes of the unit symbols on the editor's map.
inline const QColor kRadarCrossColour(255, 255, 255);
// Orange: bright against the dark sea and black land of the maps, and of another hue than the
// sea's teal, so that one-pixel dots stay visible on either.
inline const QColor kRadarRangeColour(255, 165, 0);
inline const QColor kIncursionColour(255, 33, 33);
inline const QColor kInterceptorColour(204, 204, 204);
inline constexpr int kGlyphSize = 8;
inline constexpr int kFastTipExtra = 10; // the tip of a unit at speed 500 or more
inline constexpr double kFastSpeed = 500.0;
inline constexpr int kRadarCrossHalf = 5;

// The shared arrow glyph: a triangle pointing along angle (radians, clockwise from up), its tip
// size + tipExtra pixels from the unit's window point and its back corners size pixels away a
// third of a turn either side; with notch the unit's own point sits between the back corners.
// A line of lineWidth (none when 0) runs size + lineExtra pixels along angle, and a black dot
// marks the unit's point. Points are rounded half away from zero.
void DrawUnitGlyph(QPainter& painter, const CWorldMap& map, double lat, double lng, double angle,
                   int size, int lineExtra, int lineWidth, int tipExtra, bool notch,
                   const QColor& fill, const QColor& outline);

// Radars (a white cross and the dotted range circle), then incursions (red notched arrows along
// their heading), each in list order. Nothing without a loaded map.
void DrawRadarsAndIncursions(QPainter& painter, const CWorldMap& map,
                             const CUnitList<CRadar>& radars,
                             const CUnitList<CIncursion>& incursions, bool showRadars = true,
                             bool showIncursions = true);
// Interceptors: grey arrows pointing straight up with a 2-pixel line above them.
void DrawInterceptors(QPainter& painter, const CWorldMap& map,
                      const CUnitList<CInterceptor>& interceptors);

void DrawRadar(QPainter& painter, const CWorldMap& map, const CRadar& radar);
void DrawIncursion(QPainter& painter, const CWorldMap& map, const CIncursion& incursion);
void DrawInterceptor(QPainter& painter, const CWorldMap& map, const CInterceptor& interceptor);

// The pieces of the symbols, for a renderer that draws many units at once: all the lines of a
// kind, then all its triangles, then all its dots, each with the painter set up once.
struct CGlyphShape {
    QPoint centre;
    QPolygon polygon;
    QLine line; // empty without a line
};
CGlyphShape GlyphShape(const CWorldMap& map, double lat, double lng, double angle, int size,
                       int lineExtra, int lineWidth, int tipExtra, bool notch);
CGlyphShape IncursionShape(const CWorldMap& map, const CIncursion& incursion);
CGlyphShape InterceptorShape(const CWorldMap& map, const CInterceptor& interceptor);
void DrawGlyphs(QPainter& painter, std::span<const CGlyphShape> shapes, int lineWidth,
                const QColor& fill, const QColor& outline);
// The radar's range circle's bounding square, and its cross.
QRect RadarCircleRect(const CWorldMap& map, const CRadar& radar);
void DrawRadarCross(QPainter& painter, const QPoint& at);
// The range circle as one-pixel dots written straight into layer (ARGB32), whose top-left pixel
// is the window point origin; dots off the layer are skipped. A painter strokes a dotted
// ellipse dash by dash along its whole length, clipped or not, and at the deepest zoom a
// thousand ranges thousands of pixels round cost far more than the view they cross.
// Only the top-left part of the layer of size within is written (all of it when empty).
void PlotDottedCircle(QImage& layer, const QPoint& origin, const QRect& circle,
                      QSize within = QSize());

// Half the side of a square around a unit's window point that holds everything its symbol
// draws (the radar's range circle excepted), for repainting only what a drag touched.
inline constexpr int kGlyphReach = kGlyphSize + kFastTipExtra + 4;

} // namespace halyx
