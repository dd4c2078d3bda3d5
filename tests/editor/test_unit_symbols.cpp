// The unit symbols drawn into an image at one window pixel per map pixel (and a larger scale for
// the radar circle), checked pixel by pixel where the geometry is exact.
#include "editor/unitsymbols.h"

#include "external/maplib/worldmap.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace halyx {
namespace {

constexpr QRgb kBackground = 0xff102030;

struct UnitSymbols : ::testing::Test {
    CWorldMap map;
    QImage image{200, 200, QImage::Format_RGB32};
    CUnitList<CRadar> radars;
    CUnitList<CIncursion> incursions;
    CUnitList<CInterceptor> interceptors;

    void SetUp() override {
        map.create(200, 200, 0);
        map.setDefaultZoom(1);
        image.fill(kBackground);
    }
    void Draw() {
        QPainter painter(&image);
        DrawRadarsAndIncursions(painter, map, radars, incursions);
        DrawInterceptors(painter, map, interceptors);
    }
    QRgb At(int x, int y) const { return image.pixel(x, y); }
    // The smallest rectangle holding every pixel of the range circle's colour.
    QRect RingBounds() const {
        QRect bounds;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (At(x, y) == kRadarRangeColour.rgb()) {
                    bounds |= QRect(x, y, 1, 1);
                }
            }
        }
        return bounds;
    }
    // The window point of (100, 100): (100, 200 - 100 - 1).
    static constexpr int kX = 100;
    static constexpr int kY = 99;
};

TEST_F(UnitSymbols, IncursionTipPointsAlongItsHeadingAndGrowsFromSpeed500) {
    incursions.Add(CIncursion("East", "e", "100", "100", "60", "90", "0"));
    Draw();
    const QRgb red = kIncursionColour.rgb();
    EXPECT_EQ(At(kX + 8, kY), red);          // tip 8 pixels to the right
    EXPECT_EQ(At(kX + 10, kY), kBackground); // and no further
    EXPECT_EQ(At(kX - 8, kY), kBackground);  // the notch side is open
    EXPECT_EQ(At(kX, kY), qRgb(0, 0, 0));    // the black centre dot

    // From speed 500 the tip lies 18 pixels out, below it 8 (both heading up).
    incursions.RemoveAll();
    incursions.Add(CIncursion("Fast", "f", "100", "100", "500", "0", "0"));
    incursions.Add(CIncursion("Slow", "s", "50", "100", "499.9", "0", "0"));
    image.fill(kBackground);
    Draw();
    EXPECT_EQ(At(kX, kY - 18), red);
    EXPECT_EQ(At(kX, kY - 20), kBackground);
    EXPECT_EQ(At(50, kY - 8), red);
    EXPECT_EQ(At(50, kY - 10), kBackground);
}

TEST_F(UnitSymbols, InterceptorPointsUpWhateverItsHeadingWithATwelvePixelLine) {
    interceptors.Add(CInterceptor("Jet", "j", "100", "100", "300", "90", "1", "1", "air"));
    Draw();
    const QRgb grey = kInterceptorColour.rgb();
    EXPECT_EQ(At(kX, kY - 8), grey);  // the triangle's tip, straight up
    EXPECT_EQ(At(kX, kY - 11), grey); // the line reaches 12 pixels up
    EXPECT_EQ(At(kX, kY - 14), kBackground);
    EXPECT_EQ(At(kX + 8, kY), kBackground); // nothing along the heading
    // The back corners lie a third of a turn either side of up: below and to each side.
    EXPECT_EQ(At(kX + 6, kY + 3), grey);
    EXPECT_EQ(At(kX - 6, kY + 3), grey);
}

TEST_F(UnitSymbols, RadarWithRangeZeroStillShowsItsCrossAndACircleOfTheScale) {
    map.zoomby(3); // scale 4
    radars.Add(CRadar("Zero", "z", "20", "180", "0", "-", "-"));
    Draw();
    const CWindowPoint at = map.LatLng2PixelLoc(20, 180);
    const QRgb white = kRadarCrossColour.rgb();
    EXPECT_EQ(At(at.x - 4, at.y - 4), white);
    EXPECT_EQ(At(at.x + 4, at.y - 4), white);
    EXPECT_EQ(At(at.x - 4, at.y + 4), white);
    // The circle: a few dotted pixels within the 4-pixel square above the point, none far out.
    const QRect ring = RingBounds();
    EXPECT_FALSE(ring.isEmpty());
    EXPECT_TRUE(QRect(QPoint(at.x - 1, at.y - 5), QPoint(at.x + 5, at.y + 1)).contains(ring))
        << ring.x() << "," << ring.y() << " " << ring.width() << "x" << ring.height();
}

TEST_F(UnitSymbols, RadarCircleRadiusFollowsRangeAndScale) {
    map.zoomby(1); // scale 2
    radars.Add(CRadar("Wide", "w", "50", "150", "20", "-", "-"));
    Draw();
    const CWindowPoint at = map.LatLng2PixelLoc(50, 150);
    // The circle spans x - 40 to x + 2 + 40; its leftmost and rightmost pixels sit there.
    EXPECT_NEAR(RingBounds().left(), at.x - 40, 1);
    EXPECT_NEAR(RingBounds().right(), at.x + 42, 1);
}

TEST_F(UnitSymbols, NothingIsDrawnWithoutAMap) {
    map.empty();
    radars.Add(CRadar("R", "r", "100", "100", "10", "-", "-"));
    incursions.Add(CIncursion("I", "i", "100", "100", "60", "0", "0"));
    interceptors.Add(CInterceptor("F", "f", "100", "100", "60", "0", "1", "1", "s"));
    QImage blank = image.copy();
    Draw();
    EXPECT_EQ(image, blank);
}

} // namespace
} // namespace halyx
