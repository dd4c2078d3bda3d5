#include "scenario/geography.h"

#include "common/archive.h"
#include "common/format.h"
#include "common/numtext.h"
#include "common/xmlescape.h"
#include "external/maplib/maptext.h"

namespace halyx {

namespace {

constexpr const char* kInternalMapError = "Internal Error: CHalyxStationView::GetMapFromURL()";
constexpr int kDefaultZoom = 3;
constexpr int kGridSpacing = 40;

int ClampIndex(int index) {
    return index >= 0 && index < CGeography::kMapCount ? index : CGeography::kGlobalMap;
}

template <class Object> std::vector<uint8_t> ObjectBytes(const Object& object) {
    CArchiveWriter out;
    object.Serialize(out);
    return out.TakeBytes();
}

// Reads a whole archive file into a fresh object; the target is replaced only when every byte
// was understood.
template <class Object> int LoadObjectFile(const std::string& path, Object& target) {
    std::vector<uint8_t> bytes;
    if (const int code = ReadFileBytes(path, bytes); code != 0) {
        return code;
    }
    CArchiveReader in(bytes, path);
    Object read;
    read.Serialize(in);
    target = std::move(read);
    return 0;
}

void AppendRows(std::vector<CLineRow>& rows, const char* type, const CLatLngList& points) {
    for (const CLatLng& point : points) {
        rows.push_back({type, Format("%0.3f", point.lat), Format("%0.3f", point.lng)});
    }
}

} // namespace

const char* CGeography::MapTitle(int index) {
    static const char* const kTitles[kMapCount] = {"Map Alpha", "Map Bravo", "Map Charlie",
                                                   "Global Map"};
    return kTitles[ClampIndex(index)];
}

CLatLng CGeography::StationPosition(int index) {
    static const CLatLng kPositions[3] = {{564, 325}, {267, 384}, {184, 472}};
    return index >= 0 && index < 3 ? kPositions[index] : CLatLng();
}

CGeography::CGeography() = default;

const std::string& CGeography::GetMapURL(int index) const {
    return m_urls[ClampIndex(index)];
}

void CGeography::SetMapURL(int index, std::string address) {
    m_urls[ClampIndex(index)] = std::move(address);
    Notify(GeographyChange::MapAddresses);
}

void CGeography::SetMapURLs(std::array<std::string, kMapCount> addresses) {
    m_urls = std::move(addresses);
    Notify(GeographyChange::MapAddresses);
}

bool CGeography::HasMapURLs() const {
    for (const std::string& url : m_urls) {
        if (url.empty()) {
            return false;
        }
    }
    return true;
}

bool CGeography::GetMapFromURL(const std::string& address, IGeographyView& view) {
    return GetMapFromSource(address, ReadMapSource(address, m_sourceOptions), view);
}

bool CGeography::GetMapFromSource(const std::string& address, const CMapSourceResult& source,
                                  IGeographyView& view) {
    m_map.setTerrainSettings(m_terrain);
    m_map.setDefaultZoom(kDefaultZoom);
    m_map.setGridlines(true, kGridSpacing);
    m_lastMapError.clear();

    if (!source.ok) {
        m_lastMapError = source.error;
        view.ShowMessage("Error in retriving " + address, true);
        return false;
    }
    const CMapLoadResult loaded = LoadMapText(source.text, m_map);
    switch (loaded.status) {
    case CMapLoadResult::Status::Ok:
        if (loaded.version == 11) {
            view.ShowMessage(Format("Map is %d pixels wide by %d pixels high", m_map.getWidth(),
                                    m_map.getHeight()),
                             false);
        }
        Notify(GeographyChange::Map);
        return true;
    case CMapLoadResult::Status::NoMarker:
        m_lastMapError = loaded.description;
        view.ShowMessage("Invalid File Format " + address, true);
        view.ShowMessage(kInternalMapError, true);
        return false;
    case CMapLoadResult::Status::BadHeader:
        m_lastMapError = loaded.description;
        view.ShowMessage(kInternalMapError, true);
        return false;
    case CMapLoadResult::Status::BadBody:
        break;
    }
    m_lastMapError = loaded.description;
    view.ShowMessage("Invalid File Format " + address + "\n" + loaded.description, true);
    return false;
}

bool CGeography::GetMapBounds(const std::string& address, CLatLng& corner1, CLatLng& corner2,
                              IGeographyView& view) {
    const CMapSourceResult source = ReadMapSource(address, m_sourceOptions);
    if (!source.ok) {
        view.ShowMessage("Error in retriving " + address, true);
        return false;
    }
    std::vector<std::string_view> lines = SplitMapLines(source.text);
    if (lines.empty() || MapTextVersion(lines[0]) == 0) {
        return false;
    }
    // Only lines 2 to 5 matter here; a 1.1 text or a header without its velocity line has none
    // to offer, which ReadMapHeader reports like any other missing line.
    if (lines.size() == 5) {
        lines.emplace_back();
    }
    CMapHeader header;
    std::string description;
    if (!ReadMapHeader(lines, header, description)) {
        return false;
    }
    corner1 = {header.minLat, header.minLng};
    corner2 = {header.maxLat, header.maxLng};
    return true;
}

bool CGeography::GetCachedMapBounds(int index, CLatLng& corner1, CLatLng& corner2,
                                    IGeographyView& view) {
    const std::string& address = GetMapURL(index);
    auto it = m_boundsCache.find(address);
    if (it == m_boundsCache.end()) {
        CachedBounds bounds;
        bounds.ok = GetMapBounds(address, bounds.corner1, bounds.corner2, view);
        it = m_boundsCache.emplace(address, bounds).first;
    }
    corner1 = it->second.corner1;
    corner2 = it->second.corner2;
    return it->second.ok;
}

void CGeography::SetTerrain(const CTerrain& terrain) {
    m_terrain[terrain.code()] = terrain;
    Notify(GeographyChange::Terrain);
}

bool CGeography::RemoveTerrain(uint8_t code) {
    if (m_terrain.erase(code) == 0) {
        return false;
    }
    Notify(GeographyChange::Terrain);
    return true;
}

void CGeography::ClearTerrain() {
    m_terrain.clear();
    Notify(GeographyChange::Terrain);
}

bool CGeography::AddTerrainFromFields(const CTerrainFields& fields, IGeographyView& view) {
    if (fields.name.empty() || fields.style.empty()) {
        view.ShowMessage("Please fill in all Color Code Fields", false);
        return false;
    }
    for (const int value : {fields.code, fields.red, fields.green, fields.blue}) {
        if (value < 0 || value > 255) {
            view.ShowMessage("Please enter an integer between 0 and 255.", false);
            return false;
        }
    }
    const auto code = static_cast<uint8_t>(fields.code);
    SetTerrain(
        CTerrain(fields.name, fields.style, code,
                 MakeRgb(static_cast<uint8_t>(fields.red), static_cast<uint8_t>(fields.green),
                         static_cast<uint8_t>(fields.blue))));
    return true;
}

std::optional<uint8_t>
CGeography::RemoveTerrainBySelection(const std::optional<std::string>& selected,
                                     IGeographyView& view) {
    if (!selected) {
        return std::nullopt;
    }
    const int code = ReadInt(*selected);
    if (code < 0 || code > 255 || !RemoveTerrain(static_cast<uint8_t>(code))) {
        view.ShowMessage("Error Accessing Data", true);
        return std::nullopt;
    }
    if (m_terrain.empty()) {
        return std::nullopt;
    }
    return m_terrain.begin()->first;
}

std::vector<std::string> CGeography::TerrainCodeTexts() const {
    std::vector<std::string> texts;
    texts.reserve(m_terrain.size());
    for (const auto& entry : m_terrain) {
        texts.push_back(Format("%d", entry.first));
    }
    return texts;
}

std::string CGeography::TerrainKQML() const {
    std::string out = Format("tell :number %d ", static_cast<int>(m_terrain.size()));
    int index = 0;
    for (const auto& [code, terrain] : m_terrain) {
        AppendFormat(out, ":%d (tell :style %s :code %s :name %s :r %d :g %d :b %d) ", index++,
                     terrain.GetStyleStr().c_str(), terrain.GetCodeStr().c_str(),
                     terrain.name().c_str(), RedOf(terrain.colour()), GreenOf(terrain.colour()),
                     BlueOf(terrain.colour()));
    }
    return out;
}

void CGeography::SetImpactLines(CImpactLines lines) {
    m_lines = std::move(lines);
    Notify(GeographyChange::ImpactLines);
}

void CGeography::SetTrajectory(CTrajectory trajectory) {
    m_trajectory = std::move(trajectory);
    Notify(GeographyChange::Trajectory);
}

bool CGeography::ImpactLinesFromXML(const IXmlElement& element) {
    if (!m_lines.IILFromXML(element)) {
        return false;
    }
    Notify(GeographyChange::ImpactLines);
    return true;
}

bool CGeography::TrajectoryFromXML(const IXmlElement& element) {
    if (!m_trajectory.TrajectoryFromXML(element)) {
        return false;
    }
    Notify(GeographyChange::Trajectory);
    return true;
}

std::vector<CLineRow> CGeography::ImpactLineRows() const {
    std::vector<CLineRow> rows;
    AppendRows(rows, "Northern Line", m_lines.GetNLine());
    AppendRows(rows, "Southern Line", m_lines.GetSLine());
    return rows;
}

std::vector<CLineRow> CGeography::TrajectoryRows() const {
    std::vector<CLineRow> rows;
    AppendRows(rows, "Trajectory", m_trajectory.GetTrajectory());
    return rows;
}

std::string CGeography::MapsXML() const {
    // The addresses are escaped: a web address often holds '&', which would otherwise leave the
    // scenario document (and the experiment log that embeds it) unreadable.
    std::string out = "<Maps>\n";
    static const char* const kElements[kMapCount] = {"MapAlpha", "MapBravo", "MapCharlie",
                                                     "GlobalMap"};
    for (int i = 0; i < kMapCount; ++i) {
        AppendFormat(out, "<%s URL=\"%s\"/>\n", kElements[i], XmlEscape(m_urls[i]).c_str());
    }
    out += "</Maps>";
    return out;
}

std::vector<uint8_t> MapInfoBytes(const std::array<std::string, CGeography::kMapCount>& urls) {
    CArchiveWriter out;
    for (const std::string& url : urls) {
        out.WriteString(url);
    }
    return out.TakeBytes();
}

std::array<std::string, CGeography::kMapCount> ReadMapInfoBytes(std::span<const uint8_t> bytes,
                                                                const std::string& fileName) {
    CArchiveReader in(bytes, fileName);
    std::array<std::string, CGeography::kMapCount> urls;
    for (std::string& url : urls) {
        url = in.ReadString("a map address");
    }
    return urls;
}

std::vector<uint8_t> TerrainBytes(const CTerrainTable& table) {
    CArchiveWriter out;
    out.WriteCount(static_cast<uint32_t>(table.size()));
    for (const auto& [code, terrain] : table) {
        out.WriteU16(code);
        out.WriteObjectTag(CTerrain::kClassName);
        terrain.Serialize(out);
    }
    return out.TakeBytes();
}

CTerrainTable ReadTerrainBytes(std::span<const uint8_t> bytes, const std::string& fileName) {
    CArchiveReader in(bytes, fileName);
    const uint64_t count = in.ReadCount("the number of terrain codes");
    // Each entry takes at least a key, a tag and a record of 2 + 2 + 1 + 4 bytes.
    in.RequireItems(count, 2 + 2 + 9, "terrain entries");
    CTerrainTable table;
    for (uint64_t i = 0; i < count; ++i) {
        const size_t keyOffset = in.Offset();
        const uint16_t key = in.ReadU16("a terrain code");
        if (key > 255) {
            in.Fail(keyOffset, "a terrain code from 0 to 255");
        }
        if (!in.ReadObjectOf(CTerrain::kClassName)) {
            in.Fail("a terrain record");
        }
        CTerrain terrain;
        terrain.Serialize(in);
        table[static_cast<uint8_t>(key)] = std::move(terrain);
    }
    return table;
}

int CGeography::SaveMapInfo(const std::string& path) const {
    return WriteFileBytes(path, MapInfoBytes(m_urls));
}

int CGeography::LoadMapInfo(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (const int code = ReadFileBytes(path, bytes); code != 0) {
        return code;
    }
    SetMapURLs(ReadMapInfoBytes(bytes, path));
    return 0;
}

int CGeography::SaveTerrain(const std::string& path) const {
    return WriteFileBytes(path, TerrainBytes(m_terrain));
}

int CGeography::LoadTerrain(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (const int code = ReadFileBytes(path, bytes); code != 0) {
        return code;
    }
    m_terrain = ReadTerrainBytes(bytes, path);
    Notify(GeographyChange::Terrain);
    return 0;
}

int CGeography::SaveImpactLines(const std::string& path) const {
    return WriteFileBytes(path, ObjectBytes(m_lines));
}

int CGeography::LoadImpactLines(const std::string& path) {
    const int code = LoadObjectFile(path, m_lines);
    if (code == 0) {
        Notify(GeographyChange::ImpactLines);
    }
    return code;
}

int CGeography::SaveTrajectory(const std::string& path) const {
    return WriteFileBytes(path, ObjectBytes(m_trajectory));
}

int CGeography::LoadTrajectory(const std::string& path) {
    const int code = LoadObjectFile(path, m_trajectory);
    if (code == 0) {
        Notify(GeographyChange::Trajectory);
    }
    return code;
}

int CGeography::Subscribe(Observer observer) {
    return m_notifier.Subscribe(std::move(observer));
}

void CGeography::Unsubscribe(int token) {
    m_notifier.Unsubscribe(token);
}

void CGeography::Notify(GeographyChange change) {
    if (change == GeographyChange::MapAddresses) {
        m_boundsCache.clear();
    }
    m_notifier.Notify(change);
}

} // namespace halyx
