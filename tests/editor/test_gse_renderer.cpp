// The renderer's partial repaints: painting only what a drag touched must leave exactly the
// picture a full repaint gives, or moved units would leave ghosts behind.
#include "editortestmap.h"

#include "editor/gsegeometry.h"
#include "editor/gserenderer.h"
#include "editor/unitsymbols.h"
#include "scenario/scenario.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace halyx {
namespace {

struct PartialRepaint : ::testing::Test {
    CScenario scenario;
    CGSERenderer renderer{scenario};
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
        renderer.SetVisibleRect(view);
    }
    void Paint(QImage& image, const QRect& area) {
        QPainter painter(&image);
        painter.translate(-view.topLeft());
        renderer.Render(painter, area);
    }
    QImage Full() {
        QImage image(view.size(), QImage::Format_RGB32);
        Paint(image, view);
        return image;
    }
};

TEST_F(PartialRepaint, DamagedRectanglesAfterEachDragStepMatchAFullRepaint) {
    const CGSESelection incursion{kIncursionKind, 0, "i"};
    const CGSESelection radar{kRadarKind, 0, "r"};
    renderer.SetSelection(incursion);
    QImage picture = Full();
    for (int step = 1; step <= 6; ++step) {
        const QRect before = renderer.UnitRect(incursion);
        CIncursion& unit = scenario.Incursions().At(0);
        unit.SetLatValue(210 + 4 * step);
        unit.SetHeadingValue(30 + 40 * step);
        Paint(picture, before.united(renderer.UnitRect(incursion)).intersected(view));
    }
    EXPECT_EQ(picture, Full());

    // A radar's range grows: its circle is part of what it covers.
    renderer.SetSelection(radar);
    picture = Full();
    const QRect before = renderer.UnitRect(radar);
    scenario.Radars().At(0).SetRangeValue(55);
    Paint(picture, before.united(renderer.UnitRect(radar)).intersected(view));
    EXPECT_EQ(picture, Full());
}

TEST_F(PartialRepaint, HiddenKindsLeaveNoTrace) {
    const CWindowPoint cross = scenario.Geography().GetWorldMap().LatLng2PixelLoc(200, 400);
    const QPoint at = QPoint(cross.x, cross.y) - view.topLeft() + QPoint(4, 4);
    EXPECT_EQ(Full().pixel(at), kRadarCrossColour.rgb());
    CGSEDrawOptions options;
    options.radars = false;
    renderer.SetOptions(options);
    EXPECT_NE(Full().pixel(at), kRadarCrossColour.rgb());
}

} // namespace
} // namespace halyx
