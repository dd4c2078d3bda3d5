#include "controls/maplimits.h"

#include "external/maplib/worldmap.h"
#include "scenario/geography.h"
#include "scenario/geographyview.h"

#include <QPainter>
#include <QPen>

namespace halyx {

CMapLimits ReadMapLimits(const std::array<std::string, 3>& addresses) {
    CMapLimits limits;
    // A geography of its own: the worker must not touch the scenario's.
    CGeography reader;
    CSilentGeographyView silent;
    for (size_t i = 0; i < addresses.size(); ++i) {
        limits[i].ok = !addresses[i].empty() && reader.GetMapBounds(addresses[i], limits[i].corner1,
                                                                    limits[i].corner2, silent);
    }
    return limits;
}

void DrawMapLimits(QPainter& painter, const CWorldMap& map, const CMapLimits& limits) {
    painter.save();
    painter.setBrush(Qt::NoBrush);
    for (size_t i = 0; i < limits.size(); ++i) {
        const CMapLimit& limit = limits[i];
        if (!limit.ok) {
            continue;
        }
        const CWindowPoint a = map.LatLng2PixelLoc(limit.corner1.lat, limit.corner1.lng);
        const CWindowPoint b = map.LatLng2PixelLoc(limit.corner2.lat, limit.corner2.lng);
        painter.setPen(QPen(kMapLimitColours[i], 2, Qt::SolidLine));
        painter.drawRect(QRect(QPoint(a.x, a.y), QPoint(b.x, b.y)).normalized());
    }
    painter.restore();
}

} // namespace halyx
