// The editor's renderer: the default scenario at zoom 3 (the whole map) and zoom 10 (a 1280 x 1024
// view around the launch site, with a selected interceptor), and the unit symbols on one sheet,
// compared with the reference images in tests/editor/data (HALYX_REGENERATE_GOLDEN=1
// build/bin/editor_tests makes them again, see goldenimage.h; mismatches go to
// build/tests/editor/). Painting only what a drag touched must leave exactly the picture a full
// repaint gives, or moved units would leave ghosts behind.
#include "editortestmap.h"
#include "goldenimage.h"

#include "controls/gsegeometry.h"
#include "controls/gserenderer.h"
#include "controls/maplimits.h"
#include "controls/unitsymbols.h"
#include "external/maplib/worldmap.h"
#include "scenario/defaultscenario.h"
#include "scenario/geographyview.h"
#include "scenario/scenario.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <string>

namespace halyx {
namespace {

struct Drawing : ::testing::Test {
    CScenario scenario;
    CGSERenderer renderer{scenario};

    // Renders area of the content into image, whose top left is the content's origin.
    void Paint(QImage& image, const QPoint& origin, const QRect& area) {
        QPainter painter(&image);
        painter.translate(-origin);
        renderer.Render(painter, area);
    }
    QImage Draw(const QRect& area) {
        QImage image(area.size(), QImage::Format_RGB32);
        renderer.SetVisibleRect(area);
        Paint(image, area.topLeft(), area);
        return image;
    }
};

struct GoldenDrawing : Drawing {
    void SetUp() override {
        LoadDefaultScenario(scenario, HALYX_SOURCE_DIR "/data/maps/");
        CGeography& geography = scenario.Geography();
        CSilentGeographyView silent;
        ASSERT_TRUE(geography.GetMapFromURL(geography.GetMapURL(CGeography::kGlobalMap), silent));
        const CMapLimits limits =
            ReadMapLimits({geography.GetMapURL(0), geography.GetMapURL(1), geography.GetMapURL(2)});
        for (const CMapLimit& limit : limits) {
            ASSERT_TRUE(limit.ok);
        }
        renderer.SetMapLimits(limits);
        geography.GetWorldMap().update(nullptr, 104, 40, 40, CLatLng(kRegionMinLat, kRegionMinLng),
                                       CLatLng(kRegionMaxLat, kRegionMaxLng));
    }

    void Compare(const QImage& drawn, const std::string& name) {
        test::ExpectMatchesGolden(drawn, HALYX_TEST_DATA_DIR, name,
                                  std::string(HALYX_BINARY_DIR) + "/tests/editor");
    }
};

TEST_F(GoldenDrawing, DefaultScenarioAtZoom3AndAtZoom10AroundTheLaunchSite) {
    CWorldMap& map = scenario.Geography().GetWorldMap();
    ASSERT_EQ(map.getScalefactor(), 3);
    Compare(Draw(QRect(0, 0, map.getWidth() * 3, map.getHeight() * 3)), "default_zoom3.png");

    map.zoomby(7);
    ASSERT_EQ(map.getScalefactor(), 10);
    const int f16 = 9; // the second "F-16", at (178, 461)
    ASSERT_EQ(scenario.Interceptors().At(f16).GetName(), "F-16");
    renderer.SetSelection({UnitKind::Interceptor, f16, scenario.Interceptors().At(f16).GetId()});
    const CWindowPoint site = map.LatLng2PixelLoc(184, 472);
    Compare(Draw(QRect(site.x - 640, site.y - 512, 1280, 1024)), "default_zoom10.png");
}

struct PartialRepaint : Drawing {
    const QRect view{300, 600, 640, 480};

    void SetUp() override {
        test::MakeTestMap(scenario);
        CImpactLines lines;
        lines.AddNLinePoint(100, 400);
        lines.AddNLinePoint(300, 300);
        scenario.Geography().SetImpactLines(lines);
        scenario.Radars().Add(CRadar("R", "r", "200", "400", "40", "-", "-"));
        scenario.Incursions().Add(CIncursion("I", "i", "210", "420", "60", "30", "0"));
        scenario.Interceptors().Add(CInterceptor("F", "f", "190", "410", "80", "0", "1", "1", "s"));
    }
};

TEST_F(PartialRepaint, DamagedRectanglesMatchAFullRepaintAndHiddenKindsLeaveNoTrace) {
    const CGSESelection incursion{UnitKind::Incursion, 0, "i"};
    const CGSESelection radar{UnitKind::Radar, 0, "r"};
    renderer.SetSelection(incursion);
    QImage picture = Draw(view);
    for (int step = 1; step <= 6; ++step) {
        const QRect before = renderer.UnitRect(incursion);
        CIncursion& unit = scenario.Incursions().At(0);
        unit.SetLatValue(210 + 4 * step);
        unit.SetHeadingValue(30 + 40 * step);
        Paint(picture, view.topLeft(),
              before.united(renderer.UnitRect(incursion)).intersected(view));
    }
    EXPECT_EQ(picture, Draw(view));

    // A radar's range grows: its circle is part of what it covers.
    renderer.SetSelection(radar);
    picture = Draw(view);
    const QRect before = renderer.UnitRect(radar);
    scenario.Radars().At(0).SetRangeValue(55);
    Paint(picture, view.topLeft(), before.united(renderer.UnitRect(radar)).intersected(view));
    EXPECT_EQ(picture, Draw(view));

    // Hidden kinds leave no trace.
    const CWindowPoint cross = scenario.Geography().GetWorldMap().LatLng2PixelLoc(200, 400);
    const QPoint at = QPoint(cross.x, cross.y) - view.topLeft() + QPoint(4, 4);
    EXPECT_EQ(Draw(view).pixel(at), kRadarCrossColour.rgb());
    CGSEDrawOptions options;
    options.radars = false;
    renderer.SetOptions(options);
    EXPECT_NE(Draw(view).pixel(at), kRadarCrossColour.rgb());
}

constexpr QRgb kBackground = 0xff102030;

// Each symbol on a sheet of three panels, each at its map scale, compared to the pixel with
// unit-symbols.png: at scale 1, an incursion heading east (speed 60: tip 8 pixels out), two
// heading up at speed 500 (tip 18 out) and 499.9 (8 out), and an interceptor, which points up
// whatever its heading, with its 12-pixel line; at scale 4 a radar of range 0 (its cross and a
// circle of the scale); at scale 2 a radar of range 20 (a circle 40 pixels each side).
TEST(UnitSymbols, TheSymbolSheetMatchesItsReferenceExactlyAndNothingIsDrawnWithoutAMap) {
    QImage sheet(600, 200, QImage::Format_RGB32);
    sheet.fill(kBackground);
    const auto panel = [&](int index, int zoom, const CUnitList<CRadar>& radars,
                           const CUnitList<CIncursion>& incursions,
                           const CUnitList<CInterceptor>& interceptors) {
        CWorldMap map;
        map.create(200, 200, 0);
        map.setDefaultZoom(1);
        if (zoom > 0) {
            map.zoomby(zoom);
        }
        QPainter painter(&sheet);
        painter.setClipRect(index * 200, 0, 200, 200);
        painter.translate(index * 200, 0);
        DrawRadarsAndIncursions(painter, map, radars, incursions);
        DrawInterceptors(painter, map, interceptors);
    };
    CUnitList<CIncursion> incursions;
    incursions.Add(CIncursion("East", "e", "100", "150", "60", "90", "0"));
    incursions.Add(CIncursion("Fast", "f", "150", "100", "500", "0", "0"));
    incursions.Add(CIncursion("Slow", "s", "50", "100", "499.9", "0", "0"));
    CUnitList<CInterceptor> interceptors;
    interceptors.Add(CInterceptor("Jet", "j", "100", "50", "300", "90", "1", "1", "air"));
    panel(0, 0, {}, incursions, interceptors);
    CUnitList<CRadar> zero;
    zero.Add(CRadar("Zero", "z", "20", "180", "0", "-", "-"));
    panel(1, 3, zero, {}, {});
    CUnitList<CRadar> wide;
    wide.Add(CRadar("Wide", "w", "50", "150", "20", "-", "-"));
    panel(2, 1, wide, {}, {});
    test::ExpectMatchesGolden(sheet, HALYX_TEST_DATA_DIR, "unit-symbols.png",
                              std::string(HALYX_BINARY_DIR) + "/tests/editor", 0, 0.0);

    // Without a map nothing is drawn.
    CWorldMap none;
    none.create(200, 200, 0);
    none.empty();
    sheet.fill(kBackground);
    const QImage blank = sheet.copy();
    QPainter painter(&sheet);
    DrawRadarsAndIncursions(painter, none, wide, incursions);
    DrawInterceptors(painter, none, interceptors);
    painter.end();
    EXPECT_EQ(sheet, blank);
}

} // namespace
} // namespace halyx
