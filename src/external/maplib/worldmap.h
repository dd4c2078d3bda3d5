#pragma once

#include "external/maplib/latlng.h"
#include "external/maplib/terrain.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace halyx {

// Limits on what a map text may ask for: a header or body beyond them is refused before anything
// is allocated (16 million pixels is sixteen times the world map).
inline constexpr int kMaxMapSide = 16384;
inline constexpr int64_t kMaxMapPixels = int64_t{1} << 24;
// The scale factor (screen pixels per map pixel) stays within these bounds.
inline constexpr int kMinZoom = 1;
inline constexpr int kMaxZoom = 16;
// The fill byte for pixels that no map text has set, and the colour of codes without a record.
inline constexpr uint8_t kUnsetTerrain = 0x21;
inline constexpr uint32_t kUnknownTerrainColour = MakeRgb(128, 128, 128);

// A map pixel: column x from the left, row y from the bottom.
struct CMapPixel {
    int x = 0;
    int y = 0;
    bool operator==(const CMapPixel&) const = default;
};

// A point of the window the map is drawn in: x to the right, y downward, in screen pixels.
struct CWindowPoint {
    int x = 0;
    int y = 0;
    bool operator==(const CWindowPoint&) const = default;
};

// How a parse of map text ended, in the manner of an XML parser's result: a status, where in the
// text it stopped, a description, and the size that a sizing pass found.
struct CMapParseResult {
    enum class Status {
        Ok,
        BadCharacter,
        BadCount,
        BadCode,
        RowWidth,
        RowCount,
        Unterminated,
        Empty,
        TooLarge
    };
    Status status = Status::Ok;
    size_t offset = 0; // byte offset into the parsed text
    int width = 0;
    int height = 0;
    std::string description;

    explicit operator bool() const { return status == Status::Ok; }
};

// Told the map's size in screen pixels after every zoom, so that a scrolling view can size itself.
class IMapViewport {
public:
    virtual ~IMapViewport() = default;
    virtual void OnMapLayout(int viewId, int windowWidth, int windowHeight) = 0;
};

// The raster world map: a grid of terrain codes with the map coordinates it covers, a zoom
// (whole screen pixels per map pixel), grid lines, and the conversions between map coordinates,
// map pixels and window points. Rows count from the bottom: map pixel (x, y) is drawn at window
// point (x * scale, (height - y - 1) * scale).
class CWorldMap {
public:
    CWorldMap();

    // --- raster ---
    bool exists() const { return m_width > 0 && m_height > 0; }
    // Drops the raster; size 0 by 0. Settings (terrain, zoom, grid) stay.
    void empty();
    // A raster of width by height pixels, all fill. Covers map coordinates 0..width by 0..height
    // until updatelatlong says otherwise. False (and nothing allocated) beyond the size limits.
    bool create(int width, int height, uint8_t fill);
    // The map text body (see docs/file-formats.md). fill false: a sizing pass that checks the
    // whole text and answers its width and height. fill true: writes the rows into the raster,
    // which must already have exactly the text's size; the first text row is the top row.
    CMapParseResult parse(std::string_view text, bool fill);
    // The map coordinates that the raster covers: latitude minLat..maxLat across the width,
    // longitude minLng..maxLng up the height.
    void updatelatlong(double minLat, double maxLat, double minLng, double maxLng);
    // The header's velocity line, kept as it stands (the command station does not use it).
    void updatevelocitymatrix(std::string_view line) { m_velocityLine = line; }
    const std::string& GetVelocityLine() const { return m_velocityLine; }

    int getWidth() const { return m_width; }
    int getHeight() const { return m_height; }
    double GetMinLat() const { return m_minLat; }
    double GetMaxLat() const { return m_maxLat; }
    double GetMinLng() const { return m_minLng; }
    double GetMaxLng() const { return m_maxLng; }
    // The terrain code of a pixel; kUnsetTerrain outside the raster.
    uint8_t TerrainAt(int x, int y) const;
    // Row y (from the bottom), width bytes.
    const uint8_t* Row(int y) const { return m_pixels.data() + static_cast<size_t>(y) * m_width; }
    // Changes whenever the raster or the terrain colours change, so that drawing can cache.
    uint64_t Revision() const { return m_revision; }
    // Moves another map's raster, size, coordinates and velocity line into this one; this map's
    // settings stay. Used to replace a map only once its new text has read completely.
    void TakeRasterFrom(CWorldMap& other);

    // --- settings ---
    void setTerrainSettings(const CTerrainTable& table);
    const CTerrainTable& GetTerrainSettings() const { return m_terrain; }
    // The colour of a code: its record's colour, or kUnknownTerrainColour.
    uint32_t TerrainColour(uint8_t code) const { return m_colours[code]; }
    // Sets the default zoom and zooms to it.
    void setDefaultZoom(int zoom);
    int GetDefaultZoom() const { return m_defaultZoom; }
    // Grid lines every spacing map units along both axes.
    void setGridlines(bool on, int spacing);
    bool GetGridlines() const { return m_gridOn; }
    int GetGridLatStep() const { return m_gridLatStep; }
    int GetGridLngStep() const { return m_gridLngStep; }

    // --- zoom and view ---
    // Changes the scale by delta within kMinZoom..kMaxZoom; answers the new scale.
    int zoomby(int delta);
    int getScalefactor() const { return m_scale; }
    // Called by a view after every zoom: sets the grid steps (map units along latitude and
    // longitude) and the editable region, and tells the viewport, when one is given, the map's
    // size in screen pixels under viewId.
    void update(IMapViewport* viewport, int viewId, int gridLatStep, int gridLngStep,
                const CLatLng& regionMin, const CLatLng& regionMax);
    const CLatLng& GetRegionMin() const { return m_regionMin; }
    const CLatLng& GetRegionMax() const { return m_regionMax; }

    // --- coordinates ---
    // The map pixel that holds a point (floor of its position). Points off the raster give
    // pixels outside 0..width-1, 0..height-1; a point that is not a finite number gives (-1, -1).
    CMapPixel pixelloc(double lat, double lng) const;
    // The map coordinates of a pixel's lower-left corner (pixelloc of them is that pixel again).
    CLatLng latlongloc(int x, int y) const;
    // The window point of a map point at the current scale: pixelloc, scaled, rows flipped.
    CWindowPoint LatLng2PixelLoc(double lat, double lng) const;
    // The map pixel under a window point: (px / scale, height - py / scale - 1), divisions
    // truncating.
    CMapPixel PixelFromWindow(int px, int py) const;
    // A range in map units as a radius in map pixels (measured along the latitude axis), rounded
    // to the nearest pixel; 0 for a negative or non-finite range.
    int pixradius(double range) const;

private:
    void RebuildColours();

    int m_width = 0;
    int m_height = 0;
    std::vector<uint8_t> m_pixels;
    double m_minLat = 0.0;
    double m_maxLat = 0.0;
    double m_minLng = 0.0;
    double m_maxLng = 0.0;
    std::string m_velocityLine;
    uint64_t m_revision = 0;

    CTerrainTable m_terrain;
    uint32_t m_colours[256];
    int m_defaultZoom = 3;
    int m_scale = 3;
    bool m_gridOn = false;
    int m_gridLatStep = 40;
    int m_gridLngStep = 40;
    CLatLng m_regionMin;
    CLatLng m_regionMax;
};

} // namespace halyx
