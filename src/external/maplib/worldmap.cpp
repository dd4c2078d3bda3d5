#include "external/maplib/worldmap.h"

#include "external/maplib/maptext.h"

#include <algorithm>
#include <cmath>

namespace halyx {

namespace {

// Pixel positions are computed in doubles; a point exactly on a pixel's edge (which latlongloc
// produces) must land in that pixel despite rounding in the divisions.
constexpr double kEdgeTolerance = 1e-9;
// Keeps pixel positions (and window points at the largest scale) within the range of int.
constexpr double kCoordinateLimit = 1e8;

int ToPixel(double position) {
    return static_cast<int>(
        std::floor(std::clamp(position + kEdgeTolerance, -kCoordinateLimit, kCoordinateLimit)));
}

} // namespace

CWorldMap::CWorldMap() {
    RebuildColours();
}

void CWorldMap::empty() {
    m_width = 0;
    m_height = 0;
    m_pixels.clear();
    m_pixels.shrink_to_fit();
    m_minLat = m_maxLat = m_minLng = m_maxLng = 0.0;
    m_velocityLine.clear();
    ++m_revision;
}

bool CWorldMap::create(int width, int height, uint8_t fill) {
    if (width <= 0 || height <= 0 || width > kMaxMapSide || height > kMaxMapSide ||
        int64_t{width} * height > kMaxMapPixels) {
        return false;
    }
    m_pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), fill);
    m_width = width;
    m_height = height;
    m_minLat = 0.0;
    m_maxLat = width;
    m_minLng = 0.0;
    m_maxLng = height;
    ++m_revision;
    return true;
}

CMapParseResult CWorldMap::parse(std::string_view text, bool fill) {
    if (!fill) {
        return ParseMapBody(text, nullptr, 0, 0);
    }
    if (!exists()) {
        CMapParseResult result;
        result.status = CMapParseResult::Status::Empty;
        result.description = "the map has not been created";
        return result;
    }
    ++m_revision;
    return ParseMapBody(text, m_pixels.data(), m_width, m_height);
}

void CWorldMap::updatelatlong(double minLat, double maxLat, double minLng, double maxLng) {
    m_minLat = minLat;
    m_maxLat = maxLat;
    m_minLng = minLng;
    m_maxLng = maxLng;
}

uint8_t CWorldMap::TerrainAt(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) {
        return kUnsetTerrain;
    }
    return m_pixels[static_cast<size_t>(y) * m_width + x];
}

void CWorldMap::TakeRasterFrom(CWorldMap& other) {
    m_width = other.m_width;
    m_height = other.m_height;
    m_pixels = std::move(other.m_pixels);
    m_minLat = other.m_minLat;
    m_maxLat = other.m_maxLat;
    m_minLng = other.m_minLng;
    m_maxLng = other.m_maxLng;
    m_velocityLine = std::move(other.m_velocityLine);
    other.empty();
    ++m_revision;
}

void CWorldMap::setTerrainSettings(const CTerrainTable& table) {
    m_terrain = table;
    RebuildColours();
    ++m_revision;
}

void CWorldMap::RebuildColours() {
    std::fill(std::begin(m_colours), std::end(m_colours), kUnknownTerrainColour);
    for (const auto& [code, terrain] : m_terrain) {
        m_colours[code] = terrain.colour();
    }
}

void CWorldMap::setDefaultZoom(int zoom) {
    m_defaultZoom = std::clamp(zoom, kMinZoom, kMaxZoom);
    m_scale = m_defaultZoom;
}

void CWorldMap::setGridlines(bool on, int spacing) {
    m_gridOn = on;
    if (spacing > 0) {
        m_gridLatStep = spacing;
        m_gridLngStep = spacing;
    }
}

int CWorldMap::zoomby(int delta) {
    m_scale = std::clamp(m_scale + delta, kMinZoom, kMaxZoom);
    return m_scale;
}

void CWorldMap::update(IMapViewport* viewport, int viewId, int gridLatStep, int gridLngStep,
                       const CLatLng& regionMin, const CLatLng& regionMax) {
    if (gridLatStep > 0) {
        m_gridLatStep = gridLatStep;
    }
    if (gridLngStep > 0) {
        m_gridLngStep = gridLngStep;
    }
    m_regionMin = regionMin;
    m_regionMax = regionMax;
    if (viewport != nullptr) {
        viewport->OnMapLayout(viewId, m_width * m_scale, m_height * m_scale);
    }
}

CMapPixel CWorldMap::pixelloc(double lat, double lng) const {
    if (!exists() || !std::isfinite(lat) || !std::isfinite(lng)) {
        return {-1, -1};
    }
    const double x = (lat - m_minLat) * m_width / (m_maxLat - m_minLat);
    const double y = (lng - m_minLng) * m_height / (m_maxLng - m_minLng);
    if (!std::isfinite(x) || !std::isfinite(y)) {
        return {-1, -1};
    }
    return {ToPixel(x), ToPixel(y)};
}

CLatLng CWorldMap::latlongloc(int x, int y) const {
    if (!exists()) {
        return {};
    }
    return {m_minLat + x * (m_maxLat - m_minLat) / m_width,
            m_minLng + y * (m_maxLng - m_minLng) / m_height};
}

CWindowPoint CWorldMap::LatLng2PixelLoc(double lat, double lng) const {
    const CMapPixel pixel = pixelloc(lat, lng);
    return {pixel.x * m_scale, (m_height - pixel.y - 1) * m_scale};
}

CMapPixel CWorldMap::PixelFromWindow(int px, int py) const {
    return {px / m_scale, m_height - py / m_scale - 1};
}

int CWorldMap::pixradius(double range) const {
    if (!exists() || !std::isfinite(range) || range <= 0.0) {
        return 0;
    }
    const double radius = range * m_width / std::fabs(m_maxLat - m_minLat);
    if (!std::isfinite(radius)) {
        return 0;
    }
    return static_cast<int>(std::lround(std::min(radius, kCoordinateLimit)));
}

} // namespace halyx
