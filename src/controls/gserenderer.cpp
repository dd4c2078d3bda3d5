#include "controls/gserenderer.h"

#include "common/geometry.h"
#include "controls/gsegeometry.h"
#include "controls/unitsymbols.h"
#include "scenario/scenario.h"

#include <QPainter>
#include <QPen>

#include <algorithm>

namespace halyx {

namespace {

QRect PointsRect(const CWindowPoint& a, const CWindowPoint& b) {
    return QRect(QPoint(a.x, a.y), QPoint(b.x, b.y)).normalized();
}

QRect Around(const CWindowPoint& at, int reach) {
    return {at.x - reach, at.y - reach, 2 * reach + 1, 2 * reach + 1};
}

QRect RadarRect(const CWorldMap& map, const CRadar& radar) {
    const CWindowPoint at = map.LatLng2PixelLoc(radar.GetLatValue(), radar.GetLngValue());
    return RadarCircleRect(map, radar)
        .adjusted(-2, -2, 2, 2)
        .united(Around(at, kRadarCrossHalf + 2));
}

// The selection's box around a glyph: wide enough for a fast unit's tip.
constexpr int kOutlineReach = kGlyphSize + kFastTipExtra + 2;
constexpr int kHandleHalf = 3;

} // namespace

CGSERenderer::CGSERenderer(const CScenario& scenario) : m_scenario(scenario) {}

const CWorldMap& CGSERenderer::Map() const {
    return m_scenario.Geography().GetWorldMap();
}

void CGSERenderer::Render(QPainter& painter, const QRect& area) {
    if (area.isEmpty()) {
        return;
    }
    // Everything is composed in an off-screen frame of the area, then shown in one copy: the
    // range circles' dots go straight into its pixels between the painter's layers.
    // The frame only grows: a drag repaints rectangles of a new size at every step.
    if (m_frame.width() < area.width() || m_frame.height() < area.height()) {
        m_frame = QImage(std::max(m_frame.width(), area.width()),
                         std::max(m_frame.height(), area.height()), QImage::Format_RGB32);
    }
    const QRect used(QPoint(0, 0), area.size());
    {
        QPainter frame(&m_frame);
        frame.setClipRect(used);
        frame.translate(-area.topLeft());
        PaintBackground(frame, area);
    }
    const CWorldMap& map = Map();
    if (map.exists()) {
        if (m_options.radars) {
            PlotRangeCircles(area);
        }
        QPainter frame(&m_frame);
        frame.setClipRect(used);
        frame.translate(-area.topLeft());
        DrawUnits(frame, area);
        if (m_options.mapLimits) {
            DrawMapLimits(frame);
        }
        DrawBands(frame);
        DrawSelection(frame);
    }
    painter.drawImage(area.topLeft(), m_frame, used);
}

void CGSERenderer::PlotRangeCircles(const QRect& area) {
    const CWorldMap& map = Map();
    for (const CRadar& radar : m_scenario.Radars()) {
        const QRect circle = RadarCircleRect(map, radar);
        if (circle.adjusted(-1, -1, 1, 1).intersects(area)) {
            PlotDottedCircle(m_frame, area.topLeft(), circle, area.size());
        }
    }
}

void CGSERenderer::RenderBareMap(QPainter& painter, const QRect& area) {
    painter.fillRect(area, kOffMapColour);
    blt(painter, Map(), area, &m_raster);
}

void CGSERenderer::PaintBackground(QPainter& painter, const QRect& area) {
    const CWorldMap& map = Map();
    const bool current = m_backgroundValid && m_backgroundRevision == map.Revision() &&
                         m_backgroundScale == map.getScalefactor() &&
                         m_backgroundRect.contains(area);
    if (!current) {
        const QRect rect = m_visible.isEmpty() ? area : m_visible.united(area);
        // A kept image larger than a big screen would cost more memory than it saves time.
        constexpr qint64 kMaxKeptPixels = qint64{4096} * 4096;
        if (qint64{rect.width()} * rect.height() > kMaxKeptPixels) {
            DrawBackgroundLayers(painter, area);
            return;
        }
        if (m_background.size() != rect.size()) {
            m_background = QImage(rect.size(), QImage::Format_RGB32);
        }
        QPainter image(&m_background);
        image.translate(-rect.topLeft());
        DrawBackgroundLayers(image, rect);
        m_backgroundRect = rect;
        m_backgroundValid = true;
        m_backgroundRevision = map.Revision();
        m_backgroundScale = map.getScalefactor();
    }
    painter.drawImage(area.topLeft(), m_background, area.translated(-m_backgroundRect.topLeft()));
}

void CGSERenderer::DrawBackgroundLayers(QPainter& painter, const QRect& area) {
    painter.fillRect(area, kOffMapColour);
    const CWorldMap& map = Map();
    if (!map.exists()) {
        return;
    }
    blt(painter, map, area, &m_raster);
    DrawStations(painter);
    OnDraw(painter, map, m_scenario.Geography().GetImpactLines());
    OnDraw(painter, map, m_scenario.Geography().GetTrajectory());
}

void CGSERenderer::DrawStations(QPainter& painter) {
    const CWorldMap& map = Map();
    const int scale = map.getScalefactor();
    const int margin = std::max(scale - 4, 8);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(kStationColour, std::max(scale - 2, 4), Qt::SolidLine));
    painter.setBrush(Qt::NoBrush);
    for (int i = 0; i < 3; ++i) {
        const CLatLng station = CGeography::StationPosition(i);
        const CMapPixel pixel = map.pixelloc(station.lat, station.lng);
        if (pixel.x < 0 || pixel.y < 0) {
            continue;
        }
        const QRect square(pixel.x * scale, (map.getHeight() - pixel.y - 1) * scale, scale, scale);
        painter.drawRect(square);
        painter.drawEllipse(square.adjusted(-margin, -margin, margin, margin));
    }
    painter.restore();
}

void CGSERenderer::DrawUnits(QPainter& painter, const QRect& area) {
    const CWorldMap& map = Map();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    // Only symbols that reach into the area are drawn: a drag repaints a small rectangle.
    if (m_options.radars) {
        // The range circles are already in the frame, under every cross.
        m_crosses.clear();
        for (const CRadar& radar : m_scenario.Radars()) {
            const CWindowPoint at = map.LatLng2PixelLoc(radar.GetLatValue(), radar.GetLngValue());
            if (Around(at, kRadarCrossHalf + 2).intersects(area)) {
                m_crosses.emplace_back(at.x - kRadarCrossHalf, at.y - kRadarCrossHalf,
                                       at.x + kRadarCrossHalf, at.y + kRadarCrossHalf);
                m_crosses.emplace_back(at.x - kRadarCrossHalf, at.y + kRadarCrossHalf,
                                       at.x + kRadarCrossHalf, at.y - kRadarCrossHalf);
            }
        }
        painter.setPen(QPen(kRadarCrossColour, 2, Qt::SolidLine, Qt::FlatCap));
        painter.drawLines(m_crosses.data(), static_cast<int>(m_crosses.size()));
    }
    if (m_options.incursions) {
        m_shapes.clear();
        for (const CIncursion& incursion : m_scenario.Incursions()) {
            const CWindowPoint at =
                map.LatLng2PixelLoc(incursion.GetLatValue(), incursion.GetLngValue());
            if (Around(at, kGlyphReach).intersects(area)) {
                m_shapes.push_back(IncursionShape(map, incursion));
            }
        }
        DrawGlyphs(painter, m_shapes, 0, kIncursionColour, kIncursionColour);
    }
    if (m_options.interceptors) {
        m_shapes.clear();
        for (const CInterceptor& interceptor : m_scenario.Interceptors()) {
            const CWindowPoint at = map.LatLng2PixelLoc(interceptor.GetLat(), interceptor.GetLng());
            if (Around(at, kGlyphReach).intersects(area)) {
                m_shapes.push_back(InterceptorShape(map, interceptor));
            }
        }
        DrawGlyphs(painter, m_shapes, 2, kInterceptorColour, kInterceptorColour);
    }
    painter.restore();
}

void CGSERenderer::DrawMapLimits(QPainter& painter) {
    const CWorldMap& map = Map();
    painter.save();
    painter.setBrush(Qt::NoBrush);
    for (size_t i = 0; i < m_limits.size(); ++i) {
        const CMapLimit& limit = m_limits[i];
        if (!limit.ok) {
            continue;
        }
        painter.setPen(QPen(kMapLimitColours[i], 2, Qt::SolidLine));
        painter.drawRect(PointsRect(map.LatLng2PixelLoc(limit.corner1.lat, limit.corner1.lng),
                                    map.LatLng2PixelLoc(limit.corner2.lat, limit.corner2.lng)));
    }
    painter.restore();
}

void CGSERenderer::DrawBands(QPainter& painter) {
    const CWorldMap& map = Map();
    const int scale = map.getScalefactor();
    const double maxLat = std::max(map.GetMinLat(), map.GetMaxLat());
    const double maxLng = std::max(map.GetMinLng(), map.GetMaxLng());
    // Each band covers the pixels of its corners whole.
    const QRect east =
        PointsRect(map.LatLng2PixelLoc(kRegionMaxLat, 0.0), map.LatLng2PixelLoc(maxLat, maxLng))
            .adjusted(0, 0, scale, scale);
    const QRect south =
        PointsRect(map.LatLng2PixelLoc(0.0, 0.0), map.LatLng2PixelLoc(maxLat, kRegionMinLng))
            .adjusted(0, scale, scale, scale);
    painter.fillRect(east, kBandColour);
    painter.fillRect(south, kBandColour);
}

void CGSERenderer::DrawSelection(QPainter& painter) {
    const CWorldMap& map = Map();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(kSelectionColour, 1, Qt::SolidLine));
    painter.setBrush(Qt::NoBrush);
    auto drawHandle = [&](const CWindowPoint& at, const CWindowPoint& handle) {
        painter.drawLine(at.x, at.y, handle.x, handle.y);
        painter.drawRect(handle.x - kHandleHalf, handle.y - kHandleHalf, 2 * kHandleHalf,
                         2 * kHandleHalf);
    };
    if (const CRadar* radar = SelectedRadar(m_scenario, m_selection)) {
        const CWindowPoint at = map.LatLng2PixelLoc(radar->GetLatValue(), radar->GetLngValue());
        painter.drawRect(at.x - kRadarCrossHalf - 3, at.y - kRadarCrossHalf - 3,
                         2 * (kRadarCrossHalf + 3), 2 * (kRadarCrossHalf + 3));
        // The range circle is the radar's handle: shown in the selection colour.
        const int scale = map.getScalefactor();
        const int reach = map.pixradius(radar->GetRangeValue()) * scale;
        painter.drawEllipse(
            QRect(at.x - reach, at.y - scale - reach, scale + 2 * reach, scale + 2 * reach));
    } else if (const CIncursion* incursion = SelectedIncursion(m_scenario, m_selection)) {
        const CWindowPoint at =
            map.LatLng2PixelLoc(incursion->GetLatValue(), incursion->GetLngValue());
        painter.drawRect(at.x - kOutlineReach, at.y - kOutlineReach, 2 * kOutlineReach,
                         2 * kOutlineReach);
        drawHandle(at, HandlePoint(map, incursion->GetLatValue(), incursion->GetLngValue(),
                                   incursion->GetSpeedValue(),
                                   DegreesToRadians(incursion->GetHeadingValue())));
    } else if (const CInterceptor* interceptor = SelectedInterceptor(m_scenario, m_selection)) {
        const CWindowPoint at = map.LatLng2PixelLoc(interceptor->GetLat(), interceptor->GetLng());
        painter.drawRect(at.x - kOutlineReach, at.y - kOutlineReach, 2 * kOutlineReach,
                         2 * kOutlineReach);
        drawHandle(at, HandlePoint(map, interceptor->GetLat(), interceptor->GetLng(),
                                   interceptor->GetSpeed(), 0.0));
    }
    painter.restore();
}

QRect CGSERenderer::UnitRect(const CGSESelection& unit) const {
    const CWorldMap& map = Map();
    const auto withHandle = [&](const CWindowPoint& at, const CWindowPoint& handle) {
        return Around(at, kOutlineReach + 2)
            .united(QRect(QPoint(at.x, at.y), QPoint(handle.x, handle.y)).normalized())
            .united(Around(handle, kHandleHalf + 2));
    };
    if (const CRadar* radar = SelectedRadar(m_scenario, unit)) {
        return RadarRect(map, *radar)
            .united(Around(map.LatLng2PixelLoc(radar->GetLatValue(), radar->GetLngValue()),
                           kRadarCrossHalf + 5));
    }
    if (const CIncursion* incursion = SelectedIncursion(m_scenario, unit)) {
        return withHandle(map.LatLng2PixelLoc(incursion->GetLatValue(), incursion->GetLngValue()),
                          HandlePoint(map, incursion->GetLatValue(), incursion->GetLngValue(),
                                      incursion->GetSpeedValue(),
                                      DegreesToRadians(incursion->GetHeadingValue())));
    }
    if (const CInterceptor* interceptor = SelectedInterceptor(m_scenario, unit)) {
        return withHandle(map.LatLng2PixelLoc(interceptor->GetLat(), interceptor->GetLng()),
                          HandlePoint(map, interceptor->GetLat(), interceptor->GetLng(),
                                      interceptor->GetSpeed(), 0.0));
    }
    return {};
}

} // namespace halyx
