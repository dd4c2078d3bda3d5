#include "external/maplib/draw/mapdraw.h"

#include <QPainter>
#include <QPen>
#include <QPolygon>

#include <algorithm>
#include <cmath>

namespace halyx {

namespace {

QRgb ToQRgb(uint32_t rgb) {
    return qRgb(RedOf(rgb), GreenOf(rgb), BlueOf(rgb));
}

QPolygon WindowPolygon(const CWorldMap& map, const CLatLngList& points) {
    QPolygon polygon;
    polygon.reserve(static_cast<int>(points.size()));
    for (const CLatLng& point : points) {
        const CWindowPoint window = map.LatLng2PixelLoc(point.lat, point.lng);
        polygon << QPoint(window.x, window.y);
    }
    return polygon;
}

void DrawPolyline(QPainter& painter, const QPolygon& polygon, const QColor& colour, int width) {
    painter.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(polygon);
}

void DrawGridLines(QPainter& painter, const CWorldMap& map, const QRect& area) {
    const int scale = map.getScalefactor();
    const int mapWidth = map.getWidth() * scale;
    const int mapHeight = map.getHeight() * scale;
    const int left = std::max(area.left(), 0);
    const int right = std::min(area.right(), mapWidth - 1);
    const int top = std::max(area.top(), 0);
    const int bottom = std::min(area.bottom(), mapHeight - 1);
    if (left > right || top > bottom) {
        return;
    }
    painter.setPen(QPen(kGridLineColour, 1, Qt::SolidLine));

    // Lines of constant latitude are vertical: each at the left edge of the column holding it.
    const double latLow = std::min(map.GetMinLat(), map.GetMaxLat());
    const double latHigh = std::max(map.GetMinLat(), map.GetMaxLat());
    const int latStep = map.GetGridLatStep();
    for (double lat = std::ceil(latLow / latStep) * latStep; lat <= latHigh; lat += latStep) {
        const int x = map.pixelloc(lat, map.GetMinLng()).x * scale;
        if (x >= left && x <= right) {
            painter.drawLine(x, top, x, bottom);
        }
    }
    // Lines of constant longitude are horizontal: each at the bottom edge of the row holding it.
    const double lngLow = std::min(map.GetMinLng(), map.GetMaxLng());
    const double lngHigh = std::max(map.GetMinLng(), map.GetMaxLng());
    const int lngStep = map.GetGridLngStep();
    for (double lng = std::ceil(lngLow / lngStep) * lngStep; lng <= lngHigh; lng += lngStep) {
        const int y = (map.getHeight() - map.pixelloc(map.GetMinLat(), lng).y) * scale;
        if (y >= top && y <= bottom) {
            painter.drawLine(left, y, right, y);
        }
    }
}

} // namespace

QImage TerrainImage(const CWorldMap& map) {
    if (!map.exists()) {
        return {};
    }
    const int width = map.getWidth();
    const int height = map.getHeight();
    QImage image(width, height, QImage::Format_RGB32);
    QRgb colours[256];
    for (int code = 0; code < 256; ++code) {
        colours[code] = ToQRgb(map.TerrainColour(static_cast<uint8_t>(code)));
    }
    for (int y = 0; y < height; ++y) {
        // Map rows count from the bottom, image rows from the top.
        const uint8_t* source = map.Row(height - 1 - y);
        QRgb* target = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            target[x] = colours[source[x]];
        }
    }
    return image;
}

const QImage& CMapImageCache::Get(const CWorldMap& map) {
    if (m_map != &map || m_revision != map.Revision() || m_image.isNull()) {
        m_image = TerrainImage(map);
        m_map = &map;
        m_revision = map.Revision();
    }
    return m_image;
}

void blt(QPainter& painter, const CWorldMap& map, const QRect& windowArea, CMapImageCache* cache) {
    if (!map.exists()) {
        return;
    }
    QImage uncached;
    const QImage& image = cache != nullptr ? cache->Get(map) : (uncached = TerrainImage(map));
    const int scale = map.getScalefactor();

    // Only the map pixels under the area are scaled and drawn, so a deep zoom never makes an
    // image of the whole map at screen size.
    const int x0 = std::clamp(windowArea.left() / scale, 0, map.getWidth());
    const int y0 = std::clamp(windowArea.top() / scale, 0, map.getHeight());
    const int x1 = std::clamp(windowArea.right() / scale + 1, 0, map.getWidth());
    const int y1 = std::clamp(windowArea.bottom() / scale + 1, 0, map.getHeight());
    if (x0 >= x1 || y0 >= y1) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QRect source(x0, y0, x1 - x0, y1 - y0);
    const QRect target(x0 * scale, y0 * scale, source.width() * scale, source.height() * scale);
    painter.drawImage(target, image, source);
    if (map.GetGridlines()) {
        DrawGridLines(painter, map, windowArea);
    }
    painter.restore();
}

QImage WholeMapPicture(CWorldMap& map, int maxSide) {
    if (!map.exists() || maxSide < 1) {
        return {};
    }
    const int longest = std::max(map.getWidth(), map.getHeight());
    const int zoom = std::clamp(maxSide / longest, kMinZoom, kMaxZoom);
    map.setDefaultZoom(zoom);
    const QRect whole(0, 0, map.getWidth() * zoom, map.getHeight() * zoom);
    const double shrink = std::min(1.0, static_cast<double>(maxSide) / (longest * zoom));
    QImage image(std::max(1, static_cast<int>(std::lround(whole.width() * shrink))),
                 std::max(1, static_cast<int>(std::lround(whole.height() * shrink))),
                 QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        QPainter painter(&image);
        painter.scale(shrink, shrink);
        blt(painter, map, whole);
    }
    const bool flipLat = map.GetMaxLat() < map.GetMinLat();
    const bool flipLng = map.GetMaxLng() < map.GetMinLng();
    return flipLat || flipLng ? image.mirrored(flipLat, flipLng) : image;
}

void OnDraw(QPainter& painter, const CWorldMap& map, const CImpactLines& lines) {
    if (!map.exists()) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    DrawPolyline(painter, WindowPolygon(map, lines.GetNLine()), kNorthernLineColour, 2);
    DrawPolyline(painter, WindowPolygon(map, lines.GetSLine()), kSouthernLineColour, 2);
    painter.restore();
}

void OnDraw(QPainter& painter, const CWorldMap& map, const CTrajectory& trajectory) {
    if (!map.exists()) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QPolygon polygon = WindowPolygon(map, trajectory.GetTrajectory());
    DrawPolyline(painter, polygon, kTrajectoryColour, 2);
    painter.setBrush(kTrajectoryColour);
    for (const QPoint& point : polygon) {
        painter.drawEllipse(point, 3, 3);
    }
    painter.restore();
}

} // namespace halyx
