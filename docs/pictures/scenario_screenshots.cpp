// Writes a picture of each scenario page, filled with the default scenario, into a folder:
//   QT_QPA_PLATFORM=offscreen build/bin/scenario_page_screenshots docs/images
// The pictures in docs/ are made this way; run it again after a change to a page's look. The
// pages get the room they have in a window of 1366x768. The map addresses shown are those of
// HALYX_MAP_DIR when it is set (a neutral folder holding a copy of data/maps), else of the
// source tree.
#include "agent/halyxcommand.h"
#include "common/random.h"
#include "desktop/geographypage.h"
#include "desktop/scenariopage.h"
#include "desktop/unitpages.h"
#include "desktop/weatherpage.h"
#include "external/agentkit/memorycommunicator.h"
#include "external/agentkit/nameregistry.h"
#include "record/experimentlog.h"
#include "scenario/defaultscenario.h"
#include "scenario/scenario.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QUndoStack>

#include <clocale>
#include <cstdio>

using namespace halyx;

namespace {

bool Grab(CPage&& page, const QString& folder, const QString& name) {
    page.resize(1340, 660);
    page.show();
    QApplication::processEvents();
    const QString path = QDir(folder).filePath(name);
    const bool ok = page.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("halyx-screenshots"));
    // Pictures of the pages as a first start shows them: no column widths from an earlier run.
    const QString settings = QDir::temp().filePath(QStringLiteral("halyx-screenshots-settings"));
    QDir(settings).removeRecursively();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    std::setlocale(LC_NUMERIC, "C");
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(folder);

    SeedRandom(7);
    CScenario scenario;
    LoadDefaultScenario(scenario, qEnvironmentVariableIsEmpty("HALYX_MAP_DIR")
                                      ? std::string(HALYX_SOURCE_DIR "/data/maps/")
                                      : DefaultMapFolder());
    scenario.Weather().Generate(CWeatherMap::kCellsPerLayer, 0.3, 4.0);
    CExperimentLog log;
    CHalyxCommand agent(AgentScenario::Of(scenario), log);
    CNameRegistry registry;
    CMemoryCommunicator comm(agent, &registry);
    QUndoStack stack;
    CPageContext context{scenario, agent, log, stack};

    bool ok = true;
    {
        CScenarioPage page(context);
        page.Model().SetName("Alpha");
        page.Model().SetNotes("Default scenario: 12 radars, 9 incursions, 14 interceptors.");
        page.Refresh();
        ok = Grab(std::move(page), folder, QStringLiteral("page-scenarios.png")) && ok;
    }
    ok = Grab(CIncursionsPage(context), folder, QStringLiteral("page-incursions.png")) && ok;
    ok = Grab(CInterceptorsPage(context), folder, QStringLiteral("page-interceptors.png")) && ok;
    ok = Grab(CWeatherPage(context), folder, QStringLiteral("page-weather.png")) && ok;
    {
        CGeographyPage page(context);
        QSignalSpy fetched(&page, &CGeographyPage::PreviewUpdated);
        if (page.Fetching()) {
            fetched.wait(20000);
        }
        ok = Grab(std::move(page), folder, QStringLiteral("page-geography.png")) && ok;
    }
    return ok ? 0 : 1;
}
