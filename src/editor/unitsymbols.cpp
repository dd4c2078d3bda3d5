#include "editor/unitsymbols.h"

#include "common/geometry.h"
#include "external/maplib/worldmap.h"

#include <QPainter>
#include <QPen>
#include <QPolygon>

#include <cmath>

namespace halyx {

namespace {

// Rounds half away from zero (std::round does), so that -2.5 gives -3 as 2.5 gives 3.
int RoundPixel(double value) {
    return static_cast<int>(std::round(value));
}

QPoint OffsetPixel(int x, int y, double distance, double angle) {
    double ox = 0.0;
    double oy = 0.0;
    OffsetPoint(x, y, distance, angle, ox, oy);
    return {RoundPixel(ox), RoundPixel(oy)};
}

int TipExtraFor(double speed) {
    return speed >= kFastSpeed ? kFastTipExtra : 0;
}

} // namespace

void DrawUnitGlyph(QPainter& painter, const CWorldMap& map, double lat, double lng, double angle,
                   int size, int lineExtra, int lineWidth, int tipExtra, bool notch,
                   const QColor& fill, const QColor& outline) {
    const CWindowPoint at = map.LatLng2PixelLoc(lat, lng);
    const int count = notch ? 4 : 3;
    QPolygon polygon(count);
    double a = angle;
    for (int i = 0; i < count; ++i) {
        if (i == 2 && notch) {
            polygon[i] = QPoint(at.x, at.y);
            continue;
        }
        polygon[i] = OffsetPixel(at.x, at.y, i == 0 ? size + tipExtra : size, a);
        a += kTwoThirdsPi;
    }
    if (lineWidth > 0) {
        painter.setPen(QPen(outline, lineWidth, Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(QPoint(at.x, at.y), OffsetPixel(at.x, at.y, size + lineExtra, angle));
    }
    painter.setPen(QPen(outline, 1, Qt::SolidLine));
    painter.setBrush(fill);
    painter.drawPolygon(polygon);
    painter.setPen(QPen(Qt::black, 1, Qt::SolidLine));
    painter.setBrush(Qt::black);
    // The dot spans (x - 1, y - 1) to (x + 2, y + 2), right and bottom edges excluded.
    painter.drawEllipse(QRect(at.x - 1, at.y - 1, 2, 2));
}

void DrawRadar(QPainter& painter, const CWorldMap& map, const CRadar& radar) {
    const CWindowPoint at = map.LatLng2PixelLoc(radar.GetLatValue(), radar.GetLngValue());
    const int scale = map.getScalefactor();
    const int reach = map.pixradius(radar.GetRangeValue()) * scale;
    painter.setPen(QPen(kRadarCrossColour, 2, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(at.x - kRadarCrossHalf, at.y - kRadarCrossHalf, at.x + kRadarCrossHalf,
                     at.y + kRadarCrossHalf);
    painter.drawLine(at.x - kRadarCrossHalf, at.y + kRadarCrossHalf, at.x + kRadarCrossHalf,
                     at.y - kRadarCrossHalf);
    painter.setPen(QPen(kRadarRangeColour, 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    // From (x - R, y + R) to (x + s + R, y - s - R): a circle of diameter s + 2R.
    const int side = scale + 2 * reach;
    painter.drawEllipse(QRect(at.x - reach, at.y - scale - reach, side, side));
}

void DrawIncursion(QPainter& painter, const CWorldMap& map, const CIncursion& incursion) {
    DrawUnitGlyph(painter, map, incursion.GetLatValue(), incursion.GetLngValue(),
                  DegreesToRadians(incursion.GetHeadingValue()), kGlyphSize, 2, 0,
                  TipExtraFor(incursion.GetSpeedValue()), true, kIncursionColour, kIncursionColour);
}

void DrawInterceptor(QPainter& painter, const CWorldMap& map, const CInterceptor& interceptor) {
    DrawUnitGlyph(painter, map, interceptor.GetLat(), interceptor.GetLng(), 0.0, kGlyphSize, 4, 2,
                  TipExtraFor(interceptor.GetSpeed()), false, kInterceptorColour,
                  kInterceptorColour);
}

void DrawRadarsAndIncursions(QPainter& painter, const CWorldMap& map,
                             const CUnitList<CRadar>& radars,
                             const CUnitList<CIncursion>& incursions, bool showRadars,
                             bool showIncursions) {
    if (!map.exists()) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (showRadars) {
        for (const CRadar& radar : radars) {
            DrawRadar(painter, map, radar);
        }
    }
    if (showIncursions) {
        for (const CIncursion& incursion : incursions) {
            DrawIncursion(painter, map, incursion);
        }
    }
    painter.restore();
}

void DrawInterceptors(QPainter& painter, const CWorldMap& map,
                      const CUnitList<CInterceptor>& interceptors) {
    if (!map.exists()) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (const CInterceptor& interceptor : interceptors) {
        DrawInterceptor(painter, map, interceptor);
    }
    painter.restore();
}

} // namespace halyx
