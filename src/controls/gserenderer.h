#pragma once

#include "controls/gseselection.h"
#include "controls/unitsymbols.h"
#include "external/maplib/draw/mapdraw.h"
#include "external/maplib/latlng.h"

#include <QColor>
#include <QImage>
#include <QLine>
#include <QRect>

#include <array>
#include <cstdint>
#include <vector>

class QPainter;

namespace halyx {

class CScenario;
class CWorldMap;

inline const QColor kStationColour(0x80, 0xFF, 0x00);
inline const QColor kSelectionColour(0xDF, 0xDF, 0x00);
inline const std::array<QColor, 3> kMapLimitColours = {
    QColor(0x42, 0xFF, 0x21), QColor(0xFC, 0xBE, 0x30), QColor(0x00, 0xCC, 0xFF)};
// Outside the map picture, and the bands over the map outside the editable region.
inline const QColor kOffMapColour(72, 72, 72);
inline const QColor kBandColour(0, 0, 0, 110);

// The area one of the station maps (Alpha, Bravo, Charlie) covers; ok false when its address
// gave no bounds, and nothing is drawn for it then.
struct CMapLimit {
    bool ok = false;
    CLatLng corner1;
    CLatLng corner2;
};

// Paints the editor's map into any paint device, in content coordinates (window pixels of the
// whole map at the current zoom): the map, the station positions, the impact lines and the
// trajectory, the radars and incursions, the interceptors, the map limits, the bands outside the
// editable region and the selection. The first three layers change rarely and are kept in an
// image of the visible area, so a drag repaints the units over a copy of it.
class CGSERenderer {
public:
    explicit CGSERenderer(const CScenario& scenario);

    void SetOptions(const CGSEDrawOptions& options) { m_options = options; }
    const CGSEDrawOptions& Options() const { return m_options; }
    void SetMapLimits(const std::array<CMapLimit, 3>& limits) { m_limits = limits; }
    const std::array<CMapLimit, 3>& MapLimits() const { return m_limits; }
    void SetSelection(const CGSESelection& selection) { m_selection = selection; }
    const CGSESelection& Selection() const { return m_selection; }

    // The area the kept background image covers when it is rebuilt (the visible part of the map).
    void SetVisibleRect(const QRect& visible) { m_visible = visible; }
    // The impact lines, trajectory or station layer changed: the kept image is redrawn next time.
    void InvalidateBackground() { m_backgroundValid = false; }

    // Draws everything under area; painter works in content coordinates.
    void Render(QPainter& painter, const QRect& area);
    // Only the map raster and its grid, as the library draws it.
    void RenderBareMap(QPainter& painter, const QRect& area);

    // Content pixels that the symbol of a unit and its selection marks cover.
    QRect UnitRect(const CGSESelection& unit) const;

private:
    const CWorldMap& Map() const;
    void PaintBackground(QPainter& painter, const QRect& area);
    void DrawBackgroundLayers(QPainter& painter, const QRect& area);
    void DrawStations(QPainter& painter);
    void PlotRangeCircles(const QRect& area);
    void DrawUnits(QPainter& painter, const QRect& area);
    void DrawMapLimits(QPainter& painter);
    void DrawBands(QPainter& painter);
    void DrawSelection(QPainter& painter);

    const CScenario& m_scenario;
    CGSEDrawOptions m_options;
    std::array<CMapLimit, 3> m_limits;
    CGSESelection m_selection;
    CMapImageCache m_raster;

    // Kept between draws so that a repaint allocates nothing.
    QImage m_frame;
    std::vector<QLine> m_crosses;
    std::vector<CGlyphShape> m_shapes;

    QRect m_visible;
    QImage m_background;
    QRect m_backgroundRect;
    bool m_backgroundValid = false;
    uint64_t m_backgroundRevision = 0;
    int m_backgroundScale = 0;
};

} // namespace halyx
