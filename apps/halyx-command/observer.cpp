#include "observer.h"

#include "controls/settings.h"
#include "desktop/missionfollower.h"
#include "headlessconsole.h"
#include "mapserver/mapserver.h"
#include "mapserver/observeraccess.h"
#include "mission/missionjson.h"
#include "scenario/scenario.h"

#include "external/maplib/draw/mapdraw.h"
#include "external/maplib/maptext.h"
#include "scenario/mapsource.h"

#include <QBuffer>
#include <QImage>
#include <QNetworkInterface>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace halyx {

namespace {

bool StoredFlag(const char* key, bool fallback) {
    const QString value = CSettings::Text(QString::fromLatin1(key), QString());
    if (value.isEmpty()) {
        return fallback;
    }
    return value == QStringLiteral("true") || value == QStringLiteral("1") ||
           value == QStringLiteral("on");
}

} // namespace

ObserverOptions StoredObserverOptions() {
    ObserverOptions options;
    options.enabled = StoredFlag("Observer/Enabled", false);
    options.chat = StoredFlag("Observer/Chat", true);
    return options;
}

std::string ObserverHost(const std::string& bind) {
    const QHostAddress bound(QString::fromStdString(bind));
    if (!bind.empty() && !bound.isNull() && bound != QHostAddress::Any &&
        bound != QHostAddress::AnyIPv4 && bound != QHostAddress::AnyIPv6) {
        return bound.toString().toStdString();
    }
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        const auto flags = interface.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) ||
            flags.testFlag(QNetworkInterface::IsLoopBack)) {
            continue;
        }
        for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol) {
                return entry.ip().toString().toStdString();
            }
        }
    }
    return "127.0.0.1";
}

bool StartObserver(CMapServer& server, const std::string& bind, std::string& error) {
    const std::string key = MakeObserverKey();
    if (key.empty()) {
        error = "no random bytes for the observer's key";
        return false;
    }
    server.EnableObserver(key);
    if (!server.IsListening()) {
        const QHostAddress address = bind.empty() ? QHostAddress(QHostAddress::Any)
                                                  : QHostAddress(QString::fromStdString(bind));
        if (address.isNull()) {
            error = "cannot listen on " + bind + ": not an address";
            return false;
        }
        if (!server.Listen(address, 0, error)) {
            return false;
        }
    }
    CHeadlessConsole::Print("OBSERVER " + server.ObserverAddress(ObserverHost(bind)));
    return true;
}

std::unique_ptr<CObserverFeed> OpenObserver(CMapServer& server, CMissionFollower& follower,
                                            ObserverOptions options, const std::string& bind,
                                            std::string& error) {
    auto feed = std::make_unique<CObserverFeed>(server, follower, options);
    if (!StartObserver(server, bind, error)) {
        return nullptr;
    }
    return feed;
}

CObserverFeed::CObserverFeed(CMapServer& server, CMissionFollower& follower,
                             ObserverOptions options)
    : m_server(server), m_follower(follower), m_options(options) {
    m_timer.setInterval(kPublishMs);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { Publish(); });
    m_timer.start();
    Publish();
}

std::string CObserverFeed::Json() {
    MissionJsonOptions json;
    json.withChat = m_options.chat;
    std::string out = MissionStateJson(m_follower.State(), m_follower.Marks(), json);
    // The frame the page maps onto its canvas: every start point of the scenario, so that the
    // map does not jump as marks come and go.
    double west = 0;
    double east = 0;
    double south = 0;
    double north = 0;
    bool any = false;
    const auto take = [&](const MissionPoint& p) {
        if (!std::isfinite(p.lat) || !std::isfinite(p.lng)) {
            return;
        }
        west = any ? std::min(west, p.lng) : p.lng;
        east = any ? std::max(east, p.lng) : p.lng;
        south = any ? std::min(south, p.lat) : p.lat;
        north = any ? std::max(north, p.lat) : p.lat;
        any = true;
    };
    for (const MissionTrack& track : m_follower.Setup().tracks) {
        take(track.from);
    }
    // The impact lines and the trajectory, for the page to draw under the marks.
    const CGeography& geography = m_follower.Scenario().Geography();
    std::string lines;
    const auto line = [&](const char* name, const CLatLngList& points) {
        lines += lines.empty() ? "\"" : ",\"";
        lines += name;
        lines += "\":[";
        for (std::size_t i = 0; i < points.size(); ++i) {
            lines += i == 0 ? "[" : ",[";
            AppendJsonNumber(lines, points[i].lat);
            lines += ',';
            AppendJsonNumber(lines, points[i].lng);
            lines += ']';
            take({points[i].lat, points[i].lng});
        }
        lines += ']';
    };
    line("north", geography.GetImpactLines().GetNLine());
    line("south", geography.GetImpactLines().GetSLine());
    line("trajectory", geography.GetTrajectory().GetTrajectory());
    for (const MissionUnitPoint& unit : m_follower.Setup().resources) {
        take(unit.point);
    }
    if (any && !out.empty() && out.back() == '}') {
        out.pop_back();
        out += ",\"frame\":{\"west\":";
        AppendJsonNumber(out, west);
        out += ",\"east\":";
        AppendJsonNumber(out, east);
        out += ",\"south\":";
        AppendJsonNumber(out, south);
        out += ",\"north\":";
        AppendJsonNumber(out, north);
        out += "},\"lines\":{" + lines + "}}";
    }
    if (!m_mapJson.empty() && !out.empty() && out.back() == '}') {
        out.pop_back();
        out += "," + m_mapJson + "}";
    }
    return out;
}

namespace {

// The map as the page draws it: a PNG of the terrain and where it lies.
ObserverMapPicture DrawMapPicture(const CWorldMap& map) {
    ObserverMapPicture picture;
    QImage image = TerrainImage(map);
    const long long pixels = static_cast<long long>(image.width()) * image.height();
    if (pixels > CObserverFeed::kMaxMapPixels) {
        const double shrink = std::sqrt(double(CObserverFeed::kMaxMapPixels) / double(pixels));
        image = image.scaled(std::max(1, int(image.width() * shrink)),
                             std::max(1, int(image.height() * shrink)), Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation);
    }
    QByteArray png;
    QBuffer buffer(&png);
    if (image.isNull() || !buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
        return picture;
    }
    picture.png.assign(png.constData(), static_cast<std::size_t>(png.size()));
    // The map's pixels run along the latitude from left to right and along the longitude from
    // bottom to top, over the map's bounds (CWorldMap::pixelloc).
    picture.json = "\"map\":{\"width\":" + std::to_string(map.getWidth()) +
                   ",\"height\":" + std::to_string(map.getHeight()) + ",\"minLat\":";
    AppendJsonNumber(picture.json, map.GetMinLat());
    picture.json += ",\"maxLat\":";
    AppendJsonNumber(picture.json, map.GetMaxLat());
    picture.json += ",\"minLng\":";
    AppendJsonNumber(picture.json, map.GetMinLng());
    picture.json += ",\"maxLng\":";
    AppendJsonNumber(picture.json, map.GetMaxLng());
    return picture;
}

} // namespace

void CObserverFeed::TakeMap(ObserverMapPicture picture) {
    if (picture.png.empty()) {
        if (!m_mapJson.empty()) {
            m_server.PublishObserverMap({});
            m_mapJson.clear();
            ++m_mapChanges;
        }
        return;
    }
    m_server.PublishObserverMap(std::move(picture.png));
    ++m_mapChanges;
    m_mapJson = picture.json + ",\"picture\":" + std::to_string(m_mapChanges) + "}";
}

void CObserverFeed::UpdateMap() {
    const CScenario& scenario = m_follower.Scenario();
    const CWorldMap& map = scenario.Geography().GetWorldMap();
    if (map.exists()) {
        // The window has the map loaded: drawn from it whenever it changes.
        if (map.Revision() != m_mapRevision) {
            m_mapRevision = map.Revision();
            m_mapAddress.clear();
            TakeMap(DrawMapPicture(map));
        }
        return;
    }
    m_mapRevision = 0;
    // The headless console never loads the map: it is read here, off the clock's thread, from
    // the address the stations are given.
    const std::string& address = scenario.Geography().GetMapURL(CGeography::kGlobalMap);
    if (m_mapReading.valid() &&
        m_mapReading.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        TakeMap(m_mapReading.get());
    }
    if (address == m_mapAddress || m_mapReading.valid()) {
        return;
    }
    m_mapAddress = address;
    m_mapReading =
        std::async(std::launch::async, [address, terrain = scenario.Geography().GetTerrain()] {
            const CMapSourceResult source = ReadMapSource(address);
            CWorldMap read;
            read.setTerrainSettings(terrain);
            if (!source.ok || LoadMapText(source.text, read).status != CMapLoadResult::Status::Ok) {
                return ObserverMapPicture{};
            }
            return DrawMapPicture(read);
        });
}

void CObserverFeed::Publish() {
    const int mapChanges = m_mapChanges;
    UpdateMap();
    if (m_follower.Version() == m_published && mapChanges == m_mapChanges) {
        return;
    }
    m_published = m_follower.Version();
    std::string state = Json();
    std::string update = MissionStateUpdate(m_last, state);
    m_last = state;
    m_server.PublishObserverState(std::move(state), std::move(update));
}

} // namespace halyx
