#pragma once

#include "common/notifier.h"
#include "external/maplib/impactlines.h"
#include "external/maplib/latlng.h"
#include "external/maplib/terrain.h"
#include "external/maplib/trajectory.h"
#include "external/maplib/worldmap.h"
#include "scenario/geographyview.h"
#include "scenario/mapsource.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace halyx {

class IXmlElement;

// What changed in the geography, for the geography page, the editor's map view and the tables.
enum class GeographyChange {
    MapAddresses,
    Map, // the world map was replaced (or its settings changed)
    Terrain,
    ImpactLines,
    Trajectory,
};

// One row of the impact-line or trajectory list: "Northern Line", "Southern Line" or
// "Trajectory", and the point's latitude and longitude as "%0.3f".
struct CLineRow {
    std::string type;
    std::string latitude;
    std::string longitude;
};

// The terrain fields of the geography page, as the "Add >>" command reads them.
struct CTerrainFields {
    std::string name;
    std::string style;
    int code = 0;
    int red = 0;
    int green = 0;
    int blue = 0;
};

// The scenario's geography: the four map addresses and the world map fetched from one of them,
// the terrain colour codes, the northern and southern impact lines, the trajectory, and the
// three fixed station positions. GUI-free: the geography page and the console are views of it.
class CGeography {
public:
    static constexpr int kMapCount = 4;
    static constexpr int kGlobalMap = 3;
    // "Map Alpha", "Map Bravo", "Map Charlie", "Global Map".
    static const char* MapTitle(int index);
    // Station positions 0 (564, 325), 1 (267, 384), 2 (184, 472); (0, 0) for other indices.
    static CLatLng StationPosition(int index);

    using Observer = CNotifier<GeographyChange>::Observer;

    CGeography();
    CGeography(const CGeography&) = delete;
    CGeography& operator=(const CGeography&) = delete;

    // --- map addresses ---
    // The address of map index; any index outside 0-3 gives the Global Map address.
    const std::string& GetMapURL(int index) const;
    void SetMapURL(int index, std::string address);
    const std::array<std::string, kMapCount>& GetMapURLs() const { return m_urls; }
    void SetMapURLs(std::array<std::string, kMapCount> addresses);

    // --- the world map ---
    CWorldMap& GetWorldMap() { return m_map; }
    const CWorldMap& GetWorldMap() const { return m_map; }
    // Fetches the map text at address and loads it into the world map, telling the user through
    // view what went wrong. The terrain table, default zoom 3 and grid lines every 40 are handed
    // to the map first, and stay even when the fetch fails; a failed fetch keeps the previous
    // map. LastMapError() then holds the detail.
    bool GetMapFromURL(const std::string& address, IGeographyView& view);
    // The same with the text already read (ReadMapSource), so that a window can read a slow
    // address on a worker thread and load the result on its own.
    bool GetMapFromSource(const std::string& address, const CMapSourceResult& source,
                          IGeographyView& view);
    const std::string& LastMapError() const { return m_lastMapError; }
    // The two corners of the area a map file covers (lines 3 and 5 of its header).
    bool GetMapBounds(const std::string& address, CLatLng& corner1, CLatLng& corner2,
                      IGeographyView& view);
    // The same for map index 0-3, read once per address and remembered, failures included, so
    // that an editor redrawing many times a second does not fetch (and wait on a dead server)
    // each time. Changing an address forgets its bounds.
    bool GetCachedMapBounds(int index, CLatLng& corner1, CLatLng& corner2, IGeographyView& view);
    void SetMapSourceOptions(const CMapSourceOptions& options) { m_sourceOptions = options; }

    // --- terrain table ---
    const CTerrainTable& GetTerrain() const { return m_terrain; }
    // Sets (or replaces) the record of its code.
    void SetTerrain(const CTerrain& terrain);
    bool RemoveTerrain(uint8_t code);
    void ClearTerrain();
    // "Add >>": refuses an empty name or style ("Please fill in all Color Code Fields") and numbers
    // outside 0-255; otherwise sets the record of the code. Answers whether it was set.
    bool AddTerrainFromFields(const CTerrainFields& fields, IGeographyView& view);
    // "Remove <<" with the selected text of the code list (nothing selected: no text). Answers
    // the code to select next (the first left), or nothing.
    std::optional<uint8_t> RemoveTerrainBySelection(const std::optional<std::string>& selected,
                                                    IGeographyView& view);
    // The code list's texts, "%d", ascending.
    std::vector<std::string> TerrainCodeTexts() const;
    // "tell :number %d " then ":%d (tell :style %s :code %s :name %s :r %d :g %d :b %d) " per
    // entry in ascending code order.
    std::string TerrainKQML() const;

    // --- lines ---
    const CImpactLines& GetImpactLines() const { return m_lines; }
    const CTrajectory& GetTrajectory() const { return m_trajectory; }
    // Changes through these tell the observers.
    void SetImpactLines(CImpactLines lines);
    void SetTrajectory(CTrajectory trajectory);
    // Reads an "ImpactLines" element; false (and the lines unchanged) when it does not read.
    bool ImpactLinesFromXML(const IXmlElement& element);
    bool TrajectoryFromXML(const IXmlElement& element);
    std::vector<CLineRow> ImpactLineRows() const;
    std::vector<CLineRow> TrajectoryRows() const;

    // --- readiness, for initialising a simulation ---
    bool HasTrajectory() const { return m_trajectory.GetTrajectoryCt() >= 2; }
    bool HasImpactLines() const { return m_lines.GetNLineCt() >= 2 && m_lines.GetSLineCt() >= 2; }
    bool HasMapURLs() const;

    // "<Maps>\n<MapAlpha URL=\"%s\"/>\n…<GlobalMap URL=\"%s\"/>\n</Maps>".
    std::string MapsXML() const;

    // --- files ---
    // Each answers 0, or the errno code when the file cannot be created or opened (nothing
    // changes then). A file that breaks off or holds something else throws ArchiveError, and what
    // the geography held before the load stays as it was.
    int SaveMapInfo(const std::string& path) const;
    int LoadMapInfo(const std::string& path);
    int SaveTerrain(const std::string& path) const;
    int LoadTerrain(const std::string& path);
    int SaveImpactLines(const std::string& path) const;
    int LoadImpactLines(const std::string& path);
    int SaveTrajectory(const std::string& path) const;
    int LoadTrajectory(const std::string& path);

    int Subscribe(Observer observer);
    void Unsubscribe(int token);

private:
    void Notify(GeographyChange change);

    std::array<std::string, kMapCount> m_urls;
    CWorldMap m_map;
    CTerrainTable m_terrain;
    CImpactLines m_lines;
    CTrajectory m_trajectory;
    std::string m_lastMapError;
    CMapSourceOptions m_sourceOptions;
    struct CachedBounds {
        bool ok = false;
        CLatLng corner1;
        CLatLng corner2;
    };
    std::map<std::string, CachedBounds, std::less<>> m_boundsCache;
    CNotifier<GeographyChange> m_notifier;
};

// The archive bytes of the four geography files, for tests, fuzzers and the scenario set.
std::vector<uint8_t> MapInfoBytes(const std::array<std::string, CGeography::kMapCount>& urls);
std::array<std::string, CGeography::kMapCount> ReadMapInfoBytes(std::span<const uint8_t> bytes,
                                                                const std::string& fileName);
std::vector<uint8_t> TerrainBytes(const CTerrainTable& table);
CTerrainTable ReadTerrainBytes(std::span<const uint8_t> bytes, const std::string& fileName);

} // namespace halyx
