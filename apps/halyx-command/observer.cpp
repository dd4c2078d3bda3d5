#include "observer.h"

#include "controls/settings.h"
#include "desktop/missionfollower.h"
#include "headlessconsole.h"
#include "mapserver/mapserver.h"
#include "mapserver/observeraccess.h"
#include "mission/missionjson.h"
#include "scenario/scenario.h"

#include "external/maplib/draw/mapdraw.h"

#include <QBuffer>
#include <QImage>
#include <QNetworkInterface>

#include <algorithm>
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

void CObserverFeed::UpdateMap() {
    const CWorldMap& map = m_follower.Scenario().Geography().GetWorldMap();
    if (!map.exists()) {
        if (!m_mapJson.empty()) {
            m_server.PublishObserverMap({});
            m_mapJson.clear();
        }
        m_mapRevision = 0;
        return;
    }
    if (map.Revision() == m_mapRevision && !m_mapJson.empty()) {
        return;
    }
    m_mapRevision = map.Revision();
    QImage image = TerrainImage(map);
    if (static_cast<long long>(image.width()) * image.height() > kMaxMapPixels) {
        const double shrink = std::sqrt(double(kMaxMapPixels) / image.width() / image.height());
        image = image.scaled(std::max(1, int(image.width() * shrink)),
                             std::max(1, int(image.height() * shrink)), Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation);
    }
    QByteArray png;
    QBuffer buffer(&png);
    if (image.isNull() || !buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
        m_server.PublishObserverMap({});
        m_mapJson.clear();
        return;
    }
    m_server.PublishObserverMap(std::string(png.constData(), static_cast<std::size_t>(png.size())));
    ++m_mapPicture;
    // The map's pixels run along the latitude from left to right and along the longitude from
    // bottom to top, over the map's bounds (CWorldMap::pixelloc).
    m_mapJson = "\"map\":{\"width\":" + std::to_string(map.getWidth()) +
                ",\"height\":" + std::to_string(map.getHeight()) + ",\"minLat\":";
    AppendJsonNumber(m_mapJson, map.GetMinLat());
    m_mapJson += ",\"maxLat\":";
    AppendJsonNumber(m_mapJson, map.GetMaxLat());
    m_mapJson += ",\"minLng\":";
    AppendJsonNumber(m_mapJson, map.GetMinLng());
    m_mapJson += ",\"maxLng\":";
    AppendJsonNumber(m_mapJson, map.GetMaxLng());
    m_mapJson += ",\"picture\":" + std::to_string(m_mapPicture) + "}";
}

void CObserverFeed::Publish() {
    const std::uint64_t mapRevision = m_mapRevision;
    UpdateMap();
    if (m_follower.Version() == m_published && mapRevision == m_mapRevision) {
        return;
    }
    m_published = m_follower.Version();
    std::string state = Json();
    std::string update = MissionStateUpdate(m_last, state);
    m_last = state;
    m_server.PublishObserverState(std::move(state), std::move(update));
}

} // namespace halyx
