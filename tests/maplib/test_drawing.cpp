// Drawing the map into an image, as the editor's view and the map tool do: terrain colours at the
// right places with the rows flipped, scaled by the zoom, grid lines, and the lines on top.
#include "external/maplib/draw/mapdraw.h"
#include "external/maplib/maptext.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace halyx {
namespace {

constexpr QRgb kLand = 0xFF000000; // (0, 0, 0)
const QRgb kSea = qRgb(0, 99, 99);

CTerrainTable DefaultTerrain() {
    return {{35, CTerrain("Land", "Solid", 35, MakeRgb(0, 0, 0))},
            {45, CTerrain("Sea", "Solid", 45, MakeRgb(0, 99, 99))}};
}

// 4 by 3: top row land, bottom-right pixel land, one pixel of a code without a record.
const std::string kSmall = "#Brisal MapData(1.2) -\n4\n0:4\n3\n0:3\n0:0\n4#/2-{7}-/3-#/\n";

// The map of text with the default terrain at zoom.
CWorldMap MapOf(const std::string& text, int zoom) {
    CWorldMap map;
    EXPECT_TRUE(LoadMapText(text, map));
    map.setTerrainSettings(DefaultTerrain());
    map.setDefaultZoom(zoom);
    return map;
}

std::string Rows(int count, const std::string& row) {
    std::string rows;
    for (int i = 0; i < count; ++i) {
        rows += row;
    }
    return rows;
}

QImage Draw(const CWorldMap& map, CMapImageCache* cache = nullptr) {
    QImage image(map.getWidth() * map.getScalefactor(), map.getHeight() * map.getScalefactor(),
                 QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    blt(painter, map, image.rect(), cache);
    return image;
}

TEST(MapDrawing, TerrainColoursLandWhereTheMapSaysEvenWhenCached) {
    const CWorldMap map = MapOf(kSmall, 1);
    const QImage image = Draw(map);
    EXPECT_EQ(image.pixel(0, 0), kLand); // top row of the text is the top of the picture
    EXPECT_EQ(image.pixel(0, 2), kSea);
    EXPECT_EQ(image.pixel(3, 2), kLand);               // map pixel (3, 0), the bottom row
    EXPECT_EQ(image.pixel(2, 1), qRgb(128, 128, 128)); // code 7 has no record

    // A cached picture follows terrain changes.
    CWorldMap changing = MapOf(kSmall, 1);
    CMapImageCache cache;
    EXPECT_EQ(Draw(changing, &cache).pixel(0, 0), kLand);
    CTerrainTable terrain = DefaultTerrain();
    terrain[35].colour(MakeRgb(200, 150, 0));
    changing.setTerrainSettings(terrain);
    EXPECT_EQ(Draw(changing, &cache).pixel(0, 0), qRgb(200, 150, 0));
}

TEST(MapDrawing, ZoomScalesEveryMapPixelToASquare) {
    const CWorldMap map = MapOf(kSmall, 5);
    const QImage image = Draw(map);
    ASSERT_EQ(image.size(), QSize(20, 15));
    const CWindowPoint corner = map.LatLng2PixelLoc(3.5, 0.5); // map pixel (3, 0)
    EXPECT_EQ(corner.x, 15);
    EXPECT_EQ(corner.y, 10);
    for (int dx = 0; dx < 5; ++dx) {
        for (int dy = 0; dy < 5; ++dy) {
            EXPECT_EQ(image.pixel(corner.x + dx, corner.y + dy), kLand);
        }
    }
    EXPECT_EQ(image.pixel(14, 12), kSea);
}

TEST(MapDrawing, WholeMapPictureKeepsWithinItsSideAndLaysLatitudeRightLongitudeUp) {
    CWorldMap map = MapOf(kSmall, 1);
    EXPECT_EQ(WholeMapPicture(map, 10).size(), QSize(8, 6)); // zoom 2
    EXPECT_EQ(WholeMapPicture(map, 2).size(), QSize(2, 2));  // shrunk below one pixel each
    // Ranges given the other way round turn the picture: bottom-right land comes top-left.
    map.updatelatlong(4, 0, 3, 0);
    const QImage turned = WholeMapPicture(map, 4);
    EXPECT_EQ(turned.pixel(0, 0), kLand);
    EXPECT_EQ(turned.pixel(1, 0), kSea);
    EXPECT_EQ(turned.pixel(1, 2), kLand);
}

TEST(MapDrawing, OnlyTheExposedAreaIsPaintedAndNothingWithoutAMap) {
    const CWorldMap map = MapOf(kSmall, 10);
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    blt(painter, map, QRect(0, 20, 10, 10));
    painter.end();
    EXPECT_EQ(image.pixel(5, 25), kSea);
    EXPECT_EQ(image.pixel(35, 5), QColor(Qt::magenta).rgb());

    // Without a map nothing is painted.
    const CWorldMap none;
    QImage blank(10, 10, QImage::Format_RGB32);
    blank.fill(Qt::magenta);
    QPainter blankPainter(&blank);
    blt(blankPainter, none, blank.rect());
    OnDraw(blankPainter, none, CImpactLines());
    blankPainter.end();
    EXPECT_EQ(blank.pixel(5, 5), QColor(Qt::magenta).rgb());
}

TEST(MapDrawing, GridLinesEveryStepOfMapUnits) {
    CWorldMap map =
        MapOf("#Brisal MapData(1.2) -\n100\n0:100\n80\n0:80\n0:0\n" + Rows(80, "100-/"), 2);
    map.setGridlines(true, 40);
    const QImage image = Draw(map);
    const QRgb grid = kGridLineColour.rgb();
    EXPECT_EQ(image.pixel(80, 11), grid);  // latitude 40
    EXPECT_EQ(image.pixel(160, 11), grid); // latitude 80
    EXPECT_EQ(image.pixel(81, 11), kSea);
    EXPECT_EQ(image.pixel(11, 80), grid); // longitude 40: (80 - 40) * 2 from the top
    EXPECT_EQ(image.pixel(11, 81), kSea);
}

TEST(MapDrawing, LinesAndTrajectoryLieOverTheirPoints) {
    const CWorldMap map = MapOf("#Brisal MapData(1.1) -\n" + Rows(50, "50-/"), 2);
    CImpactLines lines;
    lines.AddNLinePoint(5, 40);
    lines.AddNLinePoint(45, 40);
    lines.AddSLinePoint(5, 10);
    lines.AddSLinePoint(45, 10);
    CTrajectory trajectory;
    trajectory.AddTrajectoryPoint(25, 5);
    trajectory.AddTrajectoryPoint(25, 45);

    QImage image = Draw(map);
    QPainter painter(&image);
    OnDraw(painter, map, lines);
    OnDraw(painter, map, trajectory);
    painter.end();
    const CWindowPoint north = map.LatLng2PixelLoc(15, 40);
    const CWindowPoint south = map.LatLng2PixelLoc(15, 10);
    const CWindowPoint track = map.LatLng2PixelLoc(25, 30);
    EXPECT_EQ(image.pixel(north.x, north.y), kNorthernLineColour.rgb());
    EXPECT_EQ(image.pixel(south.x, south.y), kSouthernLineColour.rgb());
    EXPECT_EQ(image.pixel(track.x, track.y), kTrajectoryColour.rgb());
    EXPECT_EQ(image.pixel(track.x + 10, track.y), kSea);
}

} // namespace
} // namespace halyx

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
