#include "commands.h"

#include "common/format.h"
#include "common/numericlocale.h"
#include "external/maplib/draw/mapdraw.h"
#include "scenario/defaultscenario.h"
#include "scenario/scenario.h"
#include "scenario/scenariofileset.h"
#include "toolargs.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdlib>
#include <ostream>

namespace halyx::tool {

namespace {

// Messages of the map fetch, as lines on the error stream.
class StreamView final : public IGeographyView {
public:
    explicit StreamView(std::ostream& err) : m_err(err) {}
    void ShowMessage(const std::string& text, bool) override {
        std::string line = text;
        std::replace(line.begin(), line.end(), '\n', ' ');
        Report(m_err, line);
    }

private:
    std::ostream& m_err;
};

// The station positions as the editor marks them: a map pixel's square and a ring around it.
void DrawStations(QPainter& painter, const CWorldMap& map) {
    const int s = map.getScalefactor();
    const int h = map.getHeight();
    const int margin = std::max(s - 4, 8);
    painter.setPen(QPen(QColor(0x80, 0xFF, 0x00), std::max(s - 2, 4)));
    painter.setBrush(Qt::NoBrush);
    for (int i = 0; i < 3; ++i) {
        const CLatLng station = CGeography::StationPosition(i);
        const CMapPixel p = map.pixelloc(station.lat, station.lng);
        if (p.x < 0 || p.y < 0) {
            continue;
        }
        const QRect square(p.x * s, (h - p.y - 1) * s, s, s);
        painter.drawRect(square);
        painter.drawEllipse(square.adjusted(-margin, -margin, margin, margin));
    }
}

// Each radar as a white cross with its name, so that a reader can check where places fall.
void DrawRadars(QPainter& painter, const CWorldMap& map, const CUnitList<CRadar>& radars) {
    painter.setPen(QPen(Qt::white, 2));
    for (const CRadar& radar : radars) {
        const CWindowPoint w = map.LatLng2PixelLoc(radar.GetLatValue(), radar.GetLngValue());
        painter.drawLine(w.x - 5, w.y - 5, w.x + 5, w.y + 5);
        painter.drawLine(w.x - 5, w.y + 5, w.x + 5, w.y - 5);
        painter.drawText(w.x + 8, w.y + 4, QString::fromStdString(radar.GetName()));
    }
}

} // namespace

int RunMap(Args args, std::ostream& out, std::ostream& err) {
    const ToolCommand& self = CommandNamed("map");
    std::string address;
    std::string png;
    std::string scenarioFile;
    int zoom = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--png" || arg == "--scenario" || arg == "--zoom") {
            if (i + 1 >= args.size()) {
                return ToolUsageError(err, self, "option " + arg + " needs a value");
            }
            const std::string& value = args[++i];
            if (arg == "--png") {
                png = value;
            } else if (arg == "--scenario") {
                scenarioFile = value;
            } else {
                const auto parsed = ParseCount(value);
                if (!parsed || *parsed < kMinZoom || *parsed > kMaxZoom) {
                    return ToolUsageError(err, self,
                                          Format("--zoom takes %d to %d", kMinZoom, kMaxZoom));
                }
                zoom = static_cast<int>(*parsed);
            }
        } else if (arg.rfind("--", 0) == 0 || !address.empty()) {
            return ToolUsageError(err, self, "unexpected argument \"" + arg + "\"");
        } else {
            address = arg;
        }
    }
    if (address.empty() || png.empty()) {
        return ToolUsageError(err, self, "map takes a map file or address and --png OUT.png");
    }

    CScenario scenario;
    LoadDefaultScenario(scenario);
    if (!scenarioFile.empty()) {
        CScenarioFields fields;
        const CScenarioLoadResult loaded = LoadScenarioSet(scenarioFile, fields, scenario);
        if (!loaded.error.empty()) {
            Report(err, loaded.error);
            return kExitFailure;
        }
    }
    StreamView view(err);
    CGeography& geography = scenario.Geography();
    if (!geography.GetMapFromURL(address, view)) {
        if (!geography.LastMapError().empty()) {
            Report(err, geography.LastMapError());
        }
        return kExitFailure;
    }
    CWorldMap& map = geography.GetWorldMap();
    // Small station maps are enlarged so that the picture is about 1000 pixels wide.
    map.setDefaultZoom(zoom > 0 ? zoom : std::clamp(1000 / map.getWidth(), kMinZoom, kMaxZoom));

    // Text needs a font database, which needs an application object; no display is used.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int argc = 1;
    char name[] = "halyx-scenario";
    char* argv[] = {name, nullptr};
    QGuiApplication application(argc, argv);
    halyx::KeepNumbersInCLocale();

    const int s = map.getScalefactor();
    QImage image(map.getWidth() * s, map.getHeight() * s, QImage::Format_RGB32);
    QPainter painter(&image);
    blt(painter, map, image.rect());
    OnDraw(painter, map, geography.GetImpactLines());
    OnDraw(painter, map, geography.GetTrajectory());
    DrawStations(painter, map);
    DrawRadars(painter, map, scenario.Radars());
    painter.end();
    if (!image.save(QString::fromStdString(png), "PNG")) {
        Report(err, "cannot write " + png);
        return kExitFailure;
    }
    out << Format("%s: %d by %d pixels at zoom %d", png.c_str(), image.width(), image.height(), s)
        << "\n";
    return kExitOk;
}

} // namespace halyx::tool
