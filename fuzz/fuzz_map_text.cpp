// Any text read as a map (versions 1.1 and 1.2, as fetched from a map address): a text that does
// not read leaves the map as it was; one that reads gives a raster within the size limits, and
// the coordinate conversions a view makes on it stay in range. The body grammar alone agrees
// with itself: a body that a sizing pass accepts fills a raster of that size.
#include "external/maplib/maptext.h"
#include "external/maplib/worldmap.h"
#include "fuzzcheck.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

using namespace halyx;
using fuzz::Check;

namespace {

void UseCoordinates(CWorldMap& map) {
    const int width = map.getWidth();
    const int height = map.getHeight();
    for (const CMapPixel corner : {CMapPixel{0, 0}, CMapPixel{width - 1, height - 1},
                                   CMapPixel{width / 2, height / 3}, CMapPixel{-7, height + 9}}) {
        const CLatLng point = map.latlongloc(corner.x, corner.y);
        map.pixelloc(point.lat, point.lng);
        map.LatLng2PixelLoc(point.lat, point.lng);
        map.TerrainAt(corner.x, corner.y);
    }
    for (const double far : {1e300, -1e300, 0.0}) {
        map.pixelloc(far, -far);
        map.LatLng2PixelLoc(-far, far);
        map.pixradius(far);
    }
    map.zoomby(100);
    map.PixelFromWindow(width * 16 - 1, height * 16 - 1);
    map.LatLng2PixelLoc(map.GetMaxLat(), map.GetMaxLng());
    map.zoomby(-100);
    map.PixelFromWindow(-5, -5);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    CWorldMap map;
    Check(map.create(3, 2, '#'));
    const uint64_t revision = map.Revision();
    const CMapLoadResult loaded = LoadMapText(text, map);
    if (!loaded) {
        Check(!loaded.description.empty());
        Check(map.Revision() == revision && map.getWidth() == 3 && map.getHeight() == 2);
        Check(map.TerrainAt(2, 1) == '#');
    } else {
        Check(loaded.version == 11 || loaded.version == 12);
        Check(map.exists() && map.getWidth() <= kMaxMapSide && map.getHeight() <= kMaxMapSide);
        Check(int64_t{map.getWidth()} * map.getHeight() <= kMaxMapPixels);
        UseCoordinates(map);
    }

    // The text as a bare body: sizing and filling must agree.
    const CMapParseResult sized = ParseMapBody(text, nullptr, 0, 0);
    Check(sized.offset <= size);
    if (sized) {
        Check(sized.width > 0 && sized.width <= kMaxMapSide);
        Check(sized.height > 0 && sized.height <= kMaxMapSide);
        std::vector<std::uint8_t> pixels(static_cast<std::size_t>(sized.width) * sized.height);
        const CMapParseResult filled = ParseMapBody(text, pixels.data(), sized.width, sized.height);
        Check(filled && filled.width == sized.width && filled.height == sized.height);
    }
    return 0;
}
