// Conversions between map coordinates, map pixels and window points, with the rows flipped and
// the zoom applied, as the editor uses them for drawing and for hit tests.
#include "external/maplib/maptext.h"
#include "external/maplib/worldmap.h"

#include <gtest/gtest.h>

#include <limits>

namespace halyx {
namespace {

// The world map's layout: 1000 by 700 pixels over map coordinates 0..1000 by 0..700.
CWorldMap WorldLikeMap() {
    CWorldMap map;
    EXPECT_TRUE(map.create(1000, 700, '-'));
    return map;
}

// A map at two pixels per map unit over a window of the region, as the station maps are.
CWorldMap StationLikeMap() {
    CWorldMap map;
    EXPECT_TRUE(map.create(320, 240, '-'));
    map.updatelatlong(104, 264, 412, 532);
    return map;
}

TEST(MapCoordinates, PointsFallInThePixelThatHoldsThemAndCornersRoundTrip) {
    const CWorldMap world = WorldLikeMap();
    EXPECT_EQ(world.pixelloc(178, 456), (CMapPixel{178, 456}));
    EXPECT_EQ(world.pixelloc(178.99, 456.5), (CMapPixel{178, 456}));
    EXPECT_EQ(world.pixelloc(-0.5, 10), (CMapPixel{-1, 10}));

    const CWorldMap station = StationLikeMap();
    EXPECT_EQ(station.pixelloc(184, 472), (CMapPixel{160, 120}));
    EXPECT_EQ(station.pixelloc(104.49, 412.51), (CMapPixel{0, 1}));
    // A pixel's corner round-trips to the same pixel.
    for (int x : {0, 1, 7, 159, 319}) {
        for (int y : {0, 3, 120, 239}) {
            const CLatLng corner = station.latlongloc(x, y);
            EXPECT_EQ(station.pixelloc(corner.lat, corner.lng), (CMapPixel{x, y}));
        }
    }
    EXPECT_EQ(station.latlongloc(2, 4), (CLatLng{105.0, 414.0}));
}

TEST(MapCoordinates, WindowRowsCountFromTheTop) {
    CWorldMap world = WorldLikeMap();
    world.setDefaultZoom(3);
    // Map pixel (x, y) is drawn at (x * s, (h - y - 1) * s).
    EXPECT_EQ(world.LatLng2PixelLoc(178, 456), (CWindowPoint{534, (700 - 456 - 1) * 3}));
    EXPECT_EQ(world.LatLng2PixelLoc(0, 0), (CWindowPoint{0, 699 * 3}));
    EXPECT_EQ(world.LatLng2PixelLoc(0, 699.5), (CWindowPoint{0, 0}));
    // And back, divisions truncating: every window pixel of the square belongs to that pixel.
    EXPECT_EQ(world.PixelFromWindow(534, 729), (CMapPixel{178, 456}));
    EXPECT_EQ(world.PixelFromWindow(536, 731), (CMapPixel{178, 456}));
    EXPECT_EQ(world.PixelFromWindow(537, 732), (CMapPixel{179, 455}));
}

TEST(MapZoom, StaysWithinItsBoundsAndResizesTheView) {
    struct Viewport : IMapViewport {
        int id = 0, width = 0, height = 0;
        void OnMapLayout(int viewId, int w, int h) override {
            id = viewId;
            width = w;
            height = h;
        }
    } viewport;
    CWorldMap world = WorldLikeMap();
    world.setDefaultZoom(3);
    EXPECT_EQ(world.zoomby(+1), 4);
    world.update(&viewport, 104, 40, 40, {0, 95}, {950, 655});
    EXPECT_EQ(viewport.id, 104);
    EXPECT_EQ(viewport.width, 4000);
    EXPECT_EQ(viewport.height, 2800);
    EXPECT_EQ(world.GetRegionMax(), (CLatLng{950, 655}));

    for (int i = 0; i < 40; ++i) {
        world.zoomby(+1);
    }
    EXPECT_EQ(world.getScalefactor(), kMaxZoom);
    for (int i = 0; i < 40; ++i) {
        world.zoomby(-1);
    }
    EXPECT_EQ(world.getScalefactor(), kMinZoom);
    // A reloaded map keeps the zoom settings.
    ASSERT_TRUE(LoadMapText("#Brisal MapData(1.1) -\n2-/\n", world));
    EXPECT_EQ(world.getScalefactor(), kMinZoom);
}

TEST(MapCoordinates, RangeBecomesARadiusInPixelsAndNonsenseGoesOffTheMap) {
    const CWorldMap world = WorldLikeMap();
    EXPECT_EQ(world.pixradius(80), 80);
    EXPECT_EQ(world.pixradius(0), 0);
    EXPECT_EQ(world.pixradius(-5), 0);
    const CWorldMap station = StationLikeMap();
    EXPECT_EQ(station.pixradius(80), 160);
    EXPECT_EQ(station.pixradius(2.3), 5);

    // Nonsense inputs give off-map answers, not crashes.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(world.pixelloc(nan, 5), (CMapPixel{-1, -1}));
    EXPECT_EQ(world.pixelloc(5, inf), (CMapPixel{-1, -1}));
    EXPECT_EQ(world.pixradius(inf), 0);
    // Far-off points stay within int at the deepest zoom.
    CWorldMap zoomed = WorldLikeMap();
    zoomed.setDefaultZoom(kMaxZoom);
    const CWindowPoint far = zoomed.LatLng2PixelLoc(1e300, -1e300);
    EXPECT_GT(far.x, 0);
    EXPECT_GT(far.y, 0);
    // Without a raster nothing is on the map.
    const CWorldMap none;
    EXPECT_EQ(none.pixelloc(1, 1), (CMapPixel{-1, -1}));
    EXPECT_EQ(none.pixradius(10), 0);
}

} // namespace
} // namespace halyx
