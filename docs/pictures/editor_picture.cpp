// The scenario editor with the Global Map, zoomed in once over the Caribbean with the radar
// MoreLand selected, for the user guide:
//
//   QT_QPA_PLATFORM=offscreen build/bin/editor_picture docs/gse-editor.png
#include "editor/gseframe.h"
#include "editor/gsetreeview.h"
#include "editor/gseview.h"
#include "picture.h"
#include "scenario/defaultscenario.h"
#include "scenario/scenario.h"

#include <QApplication>
#include <QTest>
#include <QUndoStack>

#include <cstdio>

int main(int argc, char** argv) {
    using namespace halyx;
    QApplication app(argc, argv);
    StartPicture("editor_picture");
    const QString out =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("gse-editor.png");
    CScenario scenario;
    LoadDefaultScenario(scenario, std::string(HALYX_SOURCE_DIR) + "/data/maps/");
    QUndoStack undo;
    CGSEFrame frame(scenario, undo);
    frame.setAttribute(Qt::WA_DeleteOnClose, false);
    frame.resize(1100, 820);
    frame.show();
    bool loaded = false;
    QObject::connect(&frame, &CGSEFrame::MapLoadFinished, [&](bool ok) { loaded = ok; });
    frame.LoadGlobalMap();
    if (!QTest::qWaitFor([&] { return loaded; }, 10000)) {
        std::fprintf(stderr, "the Global Map did not load\n");
        return 1;
    }
    frame.Tree()->AddTreeEntry("Scenarios/Scenario_0001/Scenario_0001.hsf");
    frame.Tree()->AddTreeEntry("Scenarios/Scenario_0002/Scenario_0002.hsf");
    CGSEView* view = frame.View();
    view->ZoomIn();
    // Brings a place into the view and answers where it shows.
    const auto show = [&](double lat, double lng) {
        const CWindowPoint at = scenario.Geography().GetWorldMap().LatLng2PixelLoc(lat, lng);
        view->ScrollTo(QPoint(at.x, at.y) - QPoint(200, 200));
        return view->ViewportPoint(QPoint(at.x, at.y));
    };
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, show(231, 548)); // MoreLand
    QTest::mouseMove(view->viewport(), show(230, 520));
    view->ScrollTo(view->ContentPoint(QPoint(0, 0)) - QPoint(250, 150));
    const bool saved = frame.grab().save(out);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(out));
    return saved ? 0 : 1;
}
