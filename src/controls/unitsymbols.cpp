#include "controls/unitsymbols.h"

#include "common/geometry.h"
#include "external/maplib/worldmap.h"

#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPolygon>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <utility>

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

// The dotted pen's period along a range circle: one pixel on, two off.
constexpr double kDotPeriod = 3.0;
constexpr int kInterceptorLineWidth = 2;

int TipExtraFor(double speed) {
    return speed >= kFastSpeed ? kFastTipExtra : 0;
}

} // namespace

CGlyphShape GlyphShape(const CWorldMap& map, double lat, double lng, double angle, int size,
                       int lineExtra, int lineWidth, int tipExtra, bool notch) {
    CGlyphShape shape;
    const CWindowPoint at = map.LatLng2PixelLoc(lat, lng);
    shape.centre = QPoint(at.x, at.y);
    const int count = notch ? 4 : 3;
    shape.polygon.resize(count);
    double a = angle;
    for (int i = 0; i < count; ++i) {
        if (i == 2 && notch) {
            shape.polygon[i] = shape.centre;
            continue;
        }
        shape.polygon[i] = OffsetPixel(at.x, at.y, i == 0 ? size + tipExtra : size, a);
        a += kTwoThirdsPi;
    }
    if (lineWidth > 0) {
        shape.line = QLine(shape.centre, OffsetPixel(at.x, at.y, size + lineExtra, angle));
    }
    return shape;
}

CGlyphShape IncursionShape(const CWorldMap& map, const CIncursion& incursion) {
    return GlyphShape(map, incursion.GetLatValue(), incursion.GetLngValue(),
                      DegreesToRadians(incursion.GetHeadingValue()), kGlyphSize, 2, 0,
                      TipExtraFor(incursion.GetSpeedValue()), true);
}

CGlyphShape InterceptorShape(const CWorldMap& map, const CInterceptor& interceptor) {
    return GlyphShape(map, interceptor.GetLat(), interceptor.GetLng(), 0.0, kGlyphSize, 4,
                      kInterceptorLineWidth, TipExtraFor(interceptor.GetSpeed()), false);
}

void DrawGlyphs(QPainter& painter, std::span<const CGlyphShape> shapes, int lineWidth,
                const QColor& fill, const QColor& outline) {
    if (lineWidth > 0) {
        painter.setPen(QPen(outline, lineWidth, Qt::SolidLine, Qt::FlatCap));
        for (const CGlyphShape& shape : shapes) {
            painter.drawLine(shape.line);
        }
    }
    painter.setPen(QPen(outline, 1, Qt::SolidLine));
    painter.setBrush(fill);
    for (const CGlyphShape& shape : shapes) {
        painter.drawPolygon(shape.polygon);
    }
    // The black dot, the ellipse from (x - 1, y - 1) to (x + 2, y + 2): at that size the pixels
    // of a plus around the point, drawn for all glyphs in one call.
    thread_local QList<QRect> dots;
    dots.resize(0);
    for (const CGlyphShape& shape : shapes) {
        dots.append(QRect(shape.centre.x() - 1, shape.centre.y(), 3, 1));
        dots.append(QRect(shape.centre.x(), shape.centre.y() - 1, 1, 3));
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawRects(dots);
}

void DrawUnitGlyph(QPainter& painter, const CWorldMap& map, double lat, double lng, double angle,
                   int size, int lineExtra, int lineWidth, int tipExtra, bool notch,
                   const QColor& fill, const QColor& outline) {
    const CGlyphShape shape =
        GlyphShape(map, lat, lng, angle, size, lineExtra, lineWidth, tipExtra, notch);
    DrawGlyphs(painter, std::span<const CGlyphShape>(&shape, 1), lineWidth, fill, outline);
}

QRect RadarCircleRect(const CWorldMap& map, const CRadar& radar) {
    const CWindowPoint at = map.LatLng2PixelLoc(radar.GetLatValue(), radar.GetLngValue());
    const int scale = map.getScalefactor();
    const int reach = map.pixradius(radar.GetRangeValue()) * scale;
    // From (x - R, y + R) to (x + s + R, y - s - R): a circle of diameter s + 2R.
    const int side = scale + 2 * reach;
    return {at.x - reach, at.y - scale - reach, side, side};
}

void DrawRadarCross(QPainter& painter, const QPoint& at) {
    painter.setPen(QPen(kRadarCrossColour, 2, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(at.x() - kRadarCrossHalf, at.y() - kRadarCrossHalf, at.x() + kRadarCrossHalf,
                     at.y() + kRadarCrossHalf);
    painter.drawLine(at.x() - kRadarCrossHalf, at.y() + kRadarCrossHalf, at.x() + kRadarCrossHalf,
                     at.y() - kRadarCrossHalf);
}

void PlotDottedCircle(QImage& layer, const QPoint& origin, const QRect& circle, QSize within) {
    if (within.isEmpty()) {
        within = layer.size();
    }
    within = within.boundedTo(layer.size());
    const double radius = circle.width() / 2.0;
    const double cx = circle.left() + radius - origin.x();
    const double cy = circle.top() + radius - origin.y();
    const double width = within.width();
    const double height = within.height();
    // Nothing when the circle misses the layer, or holds all of it inside its line.
    if (cx + radius < -1 || cx - radius > width + 1 || cy + radius < -1 ||
        cy - radius > height + 1) {
        return;
    }
    const double farX = std::max(std::fabs(cx), std::fabs(width - cx));
    const double farY = std::max(std::fabs(cy), std::fabs(height - cy));
    if (farX * farX + farY * farY < (radius - 1) * (radius - 1)) {
        return;
    }
    // Plain geometry of a circle on the screen: the true pi, not the stored scenarios' 22/7.
    constexpr double kTurn = 2.0 * std::numbers::pi;
    // The circle is walked sector by sector, and sectors whose arc misses the layer are skipped:
    // at the deepest zoom most of a large range circle lies outside the view.
    constexpr int kSectors = 64;
    const int perSector = std::max(1, static_cast<int>(kTurn * radius / kDotPeriod) / kSectors);
    const double step = kTurn / (perSector * kSectors);
    const double cosStep = std::cos(step);
    const double sinStep = std::sin(step);
    const double span = kTurn / kSectors;
    // How far an arc of one sector bulges beyond the chord between its ends.
    const double bulge = radius * (1.0 - std::cos(span / 2.0)) + 1.0;
    const QRgb colour = kRadarRangeColour.rgba();
    uchar* bits = layer.bits();
    const qsizetype stride = layer.bytesPerLine();
    const int layerWidth = within.width();
    const int layerHeight = within.height();
    // The sectors' edges on the unit circle, worked out once.
    static const auto kEdges = [] {
        std::array<std::pair<double, double>, kSectors + 1> edges{};
        for (int i = 0; i <= kSectors; ++i) {
            edges[static_cast<size_t>(i)] = {std::cos(i * kTurn / kSectors),
                                             std::sin(i * kTurn / kSectors)};
        }
        return edges;
    }();
    // Floors by truncation of a shifted value: layer coordinates stay far above -kShift.
    constexpr double kShift = 1 << 20;
    for (int sector = 0; sector < kSectors; ++sector) {
        double dx = radius * kEdges[static_cast<size_t>(sector)].first;
        double dy = radius * kEdges[static_cast<size_t>(sector)].second;
        const double endX = radius * kEdges[static_cast<size_t>(sector) + 1].first;
        const double endY = radius * kEdges[static_cast<size_t>(sector) + 1].second;
        if (cx + std::max(dx, endX) + bulge < 0 || cx + std::min(dx, endX) - bulge > width ||
            cy + std::max(dy, endY) + bulge < 0 || cy + std::min(dy, endY) - bulge > height) {
            continue;
        }
        for (int i = 0; i < perSector; ++i) {
            const double px = cx + dx;
            const double py = cy + dy;
            if (px >= 0 && py >= 0 && px < layerWidth && py < layerHeight) {
                const int x = static_cast<int>(px + kShift) - (1 << 20);
                const int y = static_cast<int>(py + kShift) - (1 << 20);
                reinterpret_cast<QRgb*>(bits + y * stride)[x] = colour;
            }
            const double nx = dx * cosStep - dy * sinStep;
            dy = dx * sinStep + dy * cosStep;
            dx = nx;
        }
    }
}

void DrawRadar(QPainter& painter, const CWorldMap& map, const CRadar& radar) {
    const CWindowPoint at = map.LatLng2PixelLoc(radar.GetLatValue(), radar.GetLngValue());
    DrawRadarCross(painter, QPoint(at.x, at.y));
    painter.setPen(QPen(kRadarRangeColour, 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(RadarCircleRect(map, radar));
}

void DrawIncursion(QPainter& painter, const CWorldMap& map, const CIncursion& incursion) {
    const CGlyphShape shape = IncursionShape(map, incursion);
    DrawGlyphs(painter, std::span<const CGlyphShape>(&shape, 1), 0, kIncursionColour,
               kIncursionColour);
}

void DrawInterceptor(QPainter& painter, const CWorldMap& map, const CInterceptor& interceptor) {
    const CGlyphShape shape = InterceptorShape(map, interceptor);
    DrawGlyphs(painter, std::span<const CGlyphShape>(&shape, 1), kInterceptorLineWidth,
               kInterceptorColour, kInterceptorColour);
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
