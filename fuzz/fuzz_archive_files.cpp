// Any bytes read as each of the archive files a user can open: incursions, radars, interceptors,
// weather, map addresses, terrain codes, impact lines and trajectory. Every reader sees every
// input, so a mutation of one kind of file also reaches the others. A file that does not read
// throws ArchiveError pointing inside the file; one that reads writes back to bytes that read
// again into the same bytes, and what was read can be shown without fault.
#include "common/archive.h"
#include "external/maplib/impactlines.h"
#include "external/maplib/trajectory.h"
#include "fuzzcheck.h"
#include "scenario/geography.h"
#include "scenario/incursion.h"
#include "scenario/interceptor.h"
#include "scenario/radar.h"
#include "scenario/unitfiles.h"
#include "scenario/weathermap.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

using namespace halyx;
using fuzz::Check;

namespace {

using Bytes = std::span<const std::uint8_t>;

void CheckError(const ArchiveError& error, Bytes bytes) {
    Check(error.Offset() <= bytes.size());
    Check(!error.Expected().empty());
}

void Show(const CIncursion& unit) {
    unit.ToXml();
    unit.GetPositionAt(1.5);
}
void Show(const CRadar& unit) {
    unit.ToXml();
    unit.IsNearRangeEdge(10.0, 20.0);
}
void Show(const CInterceptor& unit) {
    unit.ToXml();
    unit.GetLatText();
    unit.GetRangeText();
}

template <class T> void FuzzUnits(Bytes bytes) {
    CUnitList<T> list;
    int resets = 0;
    list.Subscribe([&](UnitListChange change, int) { resets += change == UnitListChange::Reset; });
    try {
        ReadUnitFileBytes(bytes, list);
    } catch (const ArchiveError& error) {
        CheckError(error, bytes);
        Check(resets == 1); // the tables hear of the units read so far
        return;
    }
    Check(resets == 1);
    for (const T& unit : list) {
        Show(unit);
    }
    const std::vector<std::uint8_t> written = UnitFileBytes(list);
    CUnitList<T> again;
    ReadUnitFileBytes<T>(written, again);
    Check(again.Count() == list.Count());
    Check(UnitFileBytes(again) == written);
}

void FuzzWeather(Bytes bytes) {
    CWeatherMap map(3, 5);
    map.SetReferenceValues(1.0, 2.0, 3.0, 4.0, 5.0);
    const std::vector<std::uint8_t> before = WeatherFileBytes(map);
    try {
        ReadWeatherFileBytes(bytes, map);
    } catch (const ArchiveError& error) {
        CheckError(error, bytes);
        Check(WeatherFileBytes(map) == before); // a failed read leaves the grid as it was
        return;
    }
    for (int kind = 0; kind < 5; ++kind) {
        map.GetReferenceText(kind);
    }
    map.WeatherAt(100.0, 250.0);
    map.WeatherAt(-1e300, 1e300);
    // A station may ask about any point; the last 16 bytes of the input give one.
    if (bytes.size() >= 16) {
        double point[2];
        std::memcpy(point, bytes.data() + bytes.size() - 16, sizeof point);
        map.WeatherAt(point[0], point[1]);
    }
    for (int64_t slot = 0; slot < map.GetCount() && slot < 64; ++slot) {
        if (const CWeatherData* cell = map.GetCell(slot)) {
            cell->DumpText();
        }
    }
    if (map.GetCount() <= CWeatherMap::kLayers * CWeatherMap::kCellsPerLayer) {
        map.ToXml();
    }
    const std::vector<std::uint8_t> written = WeatherFileBytes(map);
    CWeatherMap again;
    ReadWeatherFileBytes(written, again);
    Check(again.GetCount() == map.GetCount());
    Check(WeatherFileBytes(again) == written);
}

template <class Object> std::vector<std::uint8_t> BytesOf(const Object& object) {
    CArchiveWriter out;
    object.Serialize(out);
    return out.TakeBytes();
}

template <class Object> void FuzzLines(Bytes bytes) {
    Object read;
    try {
        CArchiveReader in(bytes);
        read.Serialize(in);
    } catch (const ArchiveError& error) {
        CheckError(error, bytes);
        return;
    }
    read.ToXML();
    read.ToKQML();
    const std::vector<std::uint8_t> written = BytesOf(read);
    Object again;
    CArchiveReader in(written);
    again.Serialize(in);
    Check(in.AtEnd());
    Check(BytesOf(again) == written);
}

void FuzzMapInfo(Bytes bytes) {
    std::array<std::string, CGeography::kMapCount> urls;
    try {
        urls = ReadMapInfoBytes(bytes, "maps.hmi");
    } catch (const ArchiveError& error) {
        CheckError(error, bytes);
        return;
    }
    CGeography geography;
    geography.SetMapURLs(urls);
    geography.MapsXML();
    const std::vector<std::uint8_t> written = MapInfoBytes(urls);
    Check(ReadMapInfoBytes(written, "again.hmi") == urls);
}

void FuzzTerrain(Bytes bytes) {
    CTerrainTable table;
    try {
        table = ReadTerrainBytes(bytes, "codes.htd");
    } catch (const ArchiveError& error) {
        CheckError(error, bytes);
        return;
    }
    CGeography geography;
    for (const auto& entry : table) {
        geography.SetTerrain(entry.second);
    }
    geography.TerrainKQML();
    geography.TerrainCodeTexts();
    const std::vector<std::uint8_t> written = TerrainBytes(table);
    Check(ReadTerrainBytes(written, "again.htd") == table);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Bytes bytes(data, size);
    FuzzUnits<CIncursion>(bytes);
    FuzzUnits<CRadar>(bytes);
    FuzzUnits<CInterceptor>(bytes);
    FuzzWeather(bytes);
    FuzzLines<CImpactLines>(bytes);
    FuzzLines<CTrajectory>(bytes);
    FuzzMapInfo(bytes);
    FuzzTerrain(bytes);
    return 0;
}
