#include "seatmaps.h"

#include "common/format.h"
#include "external/maplib/draw/mapdraw.h"
#include "external/maplib/maptext.h"
#include "scenario/mapsource.h"

#include <QBuffer>
#include <QFutureWatcher>
#include <QImage>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <chrono>
#include <utility>

namespace halyx {

namespace {

// Map texts have been seen to name many addresses over a long session of missions; the
// addresses that could not be read are forgotten beyond this many.
constexpr std::size_t kMostFetched = 256;

std::uint64_t Fnv(std::string_view bytes, std::uint64_t hash = 14695981039346656037ull) {
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return hash;
}

std::string ColoursKey(const CTerrainTable& terrain) {
    std::string key;
    for (const auto& [code, record] : terrain) {
        AppendFormat(key, "%d:%06x ", static_cast<int>(code),
                     static_cast<unsigned>(record.colour()));
    }
    return key;
}

struct Drawn {
    CSeatMapPicture picture;
    std::string error;
    long long ms = 0;
};

} // namespace

struct CSeatMaps::Drawing {
    bool busy = true;
    CSeatMapPicture picture;
    std::unique_ptr<QFutureWatcher<Drawn>> watcher;
};

CSeatMaps::CSeatMaps(LineSink out, bool pictures) : m_out(std::move(out)), m_pictures(pictures) {}

CSeatMaps::~CSeatMaps() = default;

std::string CSeatMaps::Fetch(const std::string& address) {
    if (const auto known = m_fetched.find(address); known != m_fetched.end()) {
        return known->second.error;
    }
    CMapSourceOptions options;
    options.connectTimeoutMs = 5000;
    options.totalTimeoutMs = 10000;
    CMapSourceResult map = ReadMapSource(address, options);
    std::string error = map.ok ? std::string() : map.error;
    if (map.ok && map.text.rfind("#Brisal MapData(", 0) != 0) {
        error = "not map data";
    }
    m_out("MAP " + address +
          (error.empty() ? " " + std::to_string(map.text.size()) + " bytes" : " ERROR " + error));
    if (m_fetched.size() >= kMostFetched) {
        std::erase_if(m_fetched, [](const auto& entry) { return !entry.second.text; });
    }
    Fetched& fetched = m_fetched[address];
    fetched.error = error;
    if (m_pictures && error.empty()) {
        fetched.text = std::make_shared<const std::string>(std::move(map.text));
        m_textOrder.push_back(address);
        if (m_textOrder.size() > kKept) {
            m_fetched.erase(m_textOrder.front());
            m_textOrder.pop_front();
        }
    }
    return error;
}

const CSeatMapPicture* CSeatMaps::Get(const std::string& address, const CTerrainTable& terrain) {
    const auto fetched = m_fetched.find(address);
    if (fetched == m_fetched.end() || !fetched->second.text) {
        return nullptr;
    }
    const std::string colours = ColoursKey(terrain);
    const std::string key = address + '\n' + colours;
    if (const auto known = m_drawn.find(key); known != m_drawn.end()) {
        const Drawing& drawing = *known->second;
        return drawing.busy || drawing.picture.png.isEmpty() ? nullptr : &drawing.picture;
    }
    while (m_drawnOrder.size() >= kKept) {
        const auto idle =
            std::find_if(m_drawnOrder.begin(), m_drawnOrder.end(),
                         [this](const std::string& k) { return !m_drawn.at(k)->busy; });
        if (idle == m_drawnOrder.end()) {
            break;
        }
        m_drawn.erase(*idle);
        m_drawnOrder.erase(idle);
    }
    auto drawing = std::make_unique<Drawing>();
    Drawing* raw = drawing.get();
    raw->watcher = std::make_unique<QFutureWatcher<Drawn>>();
    QFutureWatcher<Drawn>* watcher = raw->watcher.get();
    QObject::connect(watcher, &QFutureWatcherBase::finished, watcher, [this, raw, address] {
        const Drawn drawn = raw->watcher->result();
        raw->busy = false;
        raw->picture = drawn.picture;
        raw->watcher.release()->deleteLater();
        m_out(
            "PICTURE " + address + " " +
            (drawn.error.empty()
                 ? Format("%dx%d %lld bytes in %lld ms", drawn.picture.width, drawn.picture.height,
                          static_cast<long long>(drawn.picture.png.size()), drawn.ms)
                 : "ERROR " + drawn.error));
        ++m_revision;
        if (m_ready) {
            m_ready();
        }
    });
    // A large map takes longer to draw and pack than the seats may wait for the event loop.
    watcher->setFuture(QtConcurrent::run([text = fetched->second.text, terrain, colours] {
        const auto start = std::chrono::steady_clock::now();
        Drawn drawn;
        drawn.picture = Draw(*text, terrain, kMaxSide, drawn.error);
        drawn.picture.version =
            Format("%016llx", static_cast<unsigned long long>(Fnv(colours, Fnv(*text))));
        drawn.ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - start)
                       .count();
        return drawn;
    }));
    m_drawn.emplace(key, std::move(drawing));
    m_drawnOrder.push_back(key);
    return nullptr;
}

CSeatMapPicture CSeatMaps::Draw(const std::string& text, const CTerrainTable& terrain, int maxSide,
                                std::string& error) {
    CSeatMapPicture picture;
    CWorldMap map;
    const CMapLoadResult loaded = LoadMapText(text, map);
    if (!loaded) {
        error = loaded.description;
        return picture;
    }
    map.setTerrainSettings(terrain);
    const QImage image = WholeMapPicture(map, maxSide);
    QBuffer buffer(&picture.png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
        error = "the picture could not be packed as PNG";
        picture.png.clear();
        return picture;
    }
    picture.width = image.width();
    picture.height = image.height();
    picture.minLat = std::min(map.GetMinLat(), map.GetMaxLat());
    picture.maxLat = std::max(map.GetMinLat(), map.GetMaxLat());
    picture.minLng = std::min(map.GetMinLng(), map.GetMaxLng());
    picture.maxLng = std::max(map.GetMinLng(), map.GetMaxLng());
    return picture;
}

} // namespace halyx
