#include "scenario/weathermap.h"

#include "common/archive.h"
#include "common/format.h"
#include "common/numtext.h"
#include "common/progress.h"
#include "common/random.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace halyx {

namespace {

// Far above the 25,600 slots of a generated grid; see the weather file reader.
constexpr uint64_t kMaxWeatherSlots = 1u << 20;

struct MaskRow {
    int row;
    int firstCol;
    int lastCol;
};

// The band of cells that carries weather, row by row (inclusive column ranges). Rows 0-8 carry
// none.
constexpr MaskRow kWeatherBand[] = {
    {9, 5, 9},    {10, 5, 9},   {11, 5, 10},  {12, 5, 11},  {13, 5, 13},  {14, 5, 15},
    {15, 5, 17},  {16, 5, 18},  {17, 13, 19}, {18, 14, 21}, {19, 15, 22}, {20, 16, 23},
    {21, 19, 23}, {22, 20, 24}, {23, 21, 25}, {24, 22, 26}, {25, 22, 27}, {26, 23, 27},
    {27, 24, 28}, {28, 25, 29}, {29, 25, 29}, {30, 26, 30}, {31, 27, 31}, {32, 28, 31},
    {33, 28, 32}, {34, 29, 33}, {35, 30, 33}, {36, 31, 35}, {37, 31, 35}, {38, 33, 35},
    {39, 33, 35},
};

struct SeasonPreset {
    const char* name;
    double temperature;
    double pressure;
    double humidity;
    double windSpeed;
    double windDir;
};

constexpr SeasonPreset kSeasonPresets[CWeatherMap::kSeasons] = {
    {"Spring", 70, 72, 74, 78, 76},
    {"Summer", 90, 92, 94, 96, 98},
    {"Autumn", 55, 56, 57, 58, 59},
    {"Winter", 15, 17, 18, 19, 20},
};

// A value in [-v/2, +v/2] from the program's random source.
double VarianceDraw(double v) {
    return NextRandom() / 32767.0 * v - v / 2.0;
}

// Column width and row height of a grid cell in map coordinates, and the map's lowest second
// coordinate.
constexpr double kColumnWidth = 23.75;
constexpr double kRowHeight = 14.0;
constexpr double kLowestLng = 95.0;
// A point whose row or column lies this far out can match no slot; it also keeps the conversion
// to an integer defined.
constexpr double kFarOff = 1e12;

// A WeatherData element's whole-number attribute, read the way atoi reads it.
int64_t WholeAttribute(const pugi::xml_node& element, const char* name) {
    return ReadInt(element.attribute(name).value());
}

double NumberAttribute(const pugi::xml_node& element, const char* name) {
    return ReadNumber(element.attribute(name).value());
}

} // namespace

CWeatherMap::CWeatherMap() : CWeatherMap(0, 0) {}

CWeatherMap::CWeatherMap(int rows, int cols) : m_rows(rows), m_cols(cols) {
    SetSeason(0);
}

const char* CWeatherMap::SeasonName(int season) {
    return season >= 0 && season < kSeasons ? kSeasonPresets[season].name : nullptr;
}

CWeatherData CWeatherMap::SeasonReference(int season) {
    if (season < 0 || season >= kSeasons) {
        return {};
    }
    const SeasonPreset& p = kSeasonPresets[season];
    return CWeatherData(p.temperature, p.pressure, p.windSpeed, p.windDir, p.humidity);
}

bool CWeatherMap::SetSeason(int season) {
    if (season < 0 || season >= kSeasons) {
        return false;
    }
    m_reference = SeasonReference(season);
    Notify(WeatherMapChange::ReferenceChanged, -1);
    return true;
}

void CWeatherMap::SetReferenceValues(double temperature, double pressure, double humidity,
                                     double windSpeed, double windDir) {
    m_reference = CWeatherData(temperature, pressure, windSpeed, windDir, humidity);
    Notify(WeatherMapChange::ReferenceChanged, -1);
}

double CWeatherMap::GetReferenceValue(int kind) const {
    return m_reference.GetValue(kind);
}

void CWeatherMap::SetReferenceValue(int kind, double value) {
    if (kind < 0 || kind >= kWeatherValueKinds) {
        return;
    }
    m_reference.SetValue(kind, value);
    Notify(WeatherMapChange::ReferenceChanged, -1);
}

std::string CWeatherMap::GetReferenceText(int kind) const {
    return Format("%.2f", m_reference.GetValue(kind));
}

bool CWeatherMap::CarriesWeather(int row, int col) {
    for (const MaskRow& band : kWeatherBand) {
        if (band.row == row) {
            return col >= band.firstCol && col <= band.lastCol;
        }
    }
    return false;
}

void CWeatherMap::Generate(int cellsPerLayer, double spaceVariance, double timeVariance) {
    m_cells.clear();
    const int n = std::clamp(cellsPerLayer, 0, kCellsPerLayer);
    if (n > 0) {
        // Every cell is drawn, in order, so that a seed gives the same grid as before; only the
        // cells of the band are kept.
        std::vector<CWeatherData> walk(static_cast<size_t>(kLayers) * n);
        walk[0] = CWeatherData(m_reference, VarianceDraw(spaceVariance));
        for (int i = 1; i < n; ++i) {
            walk[i] = CWeatherData(walk[i - 1], VarianceDraw(spaceVariance));
        }
        for (int k = 1; k < kLayers; ++k) {
            for (int c = 0; c < n; ++c) {
                const size_t slot = static_cast<size_t>(k) * n + c;
                walk[slot] = CWeatherData(walk[slot - n], VarianceDraw(timeVariance));
            }
        }
        m_cells.resize(walk.size());
        for (int c = 0; c < n; ++c) {
            if (!CarriesWeather(c / kGridCols, c % kGridCols)) {
                continue;
            }
            for (int k = 0; k < kLayers; ++k) {
                const size_t slot = static_cast<size_t>(k) * n + c;
                m_cells[slot] = std::make_unique<CWeatherData>(walk[slot]);
            }
        }
    }
    Notify(WeatherMapChange::Reset, -1);
}

const CWeatherData* CWeatherMap::GetCell(int64_t slot) const {
    if (slot < 0 || slot >= static_cast<int64_t>(m_cells.size())) {
        return nullptr;
    }
    return m_cells[static_cast<size_t>(slot)].get();
}

CWeatherData* CWeatherMap::GetCell(int64_t slot) {
    return const_cast<CWeatherData*>(std::as_const(*this).GetCell(slot));
}

bool CWeatherMap::ReplaceCell(int64_t slot, std::unique_ptr<CWeatherData> cell) {
    if (slot < 0 || slot >= static_cast<int64_t>(m_cells.size())) {
        return false;
    }
    m_cells[static_cast<size_t>(slot)] = std::move(cell);
    Notify(WeatherMapChange::CellReplaced, static_cast<int>(slot));
    return true;
}

void CWeatherMap::Clear() {
    m_cells.clear();
    Notify(WeatherMapChange::Reset, -1);
}

int64_t CWeatherMap::SlotOfPoint(double lat, double lng) const {
    const double col = std::trunc(lat / kColumnWidth);
    const double row = std::fabs(std::trunc((lng - kLowestLng) / kRowHeight) - 39.0);
    if (!(std::fabs(col) < kFarOff) || !(row < kFarOff)) {
        return -1; // also catches NaN
    }
    // Cols comes from the weather file as it stands: with an absurd one, a far point's slot
    // would overflow and wrap round onto a real cell. No grid holds a slot beyond 64 bits.
    int64_t slot = 0;
    if (__builtin_mul_overflow(static_cast<int64_t>(row), int64_t{m_cols}, &slot) ||
        __builtin_add_overflow(slot, static_cast<int64_t>(col), &slot)) {
        return -1;
    }
    return slot;
}

const CWeatherData* CWeatherMap::WeatherAt(double lat, double lng) const {
    return GetCell(SlotOfPoint(lat, lng));
}

std::string CWeatherMap::ToXml(IProgress* progress) const {
    CNullProgress none;
    IProgress& bar = progress != nullptr ? *progress : none;
    bar.SetRange(0, kLayers * kCellsPerLayer);
    std::string out = "<WeatherMap>\n";
    // About 190 bytes per element.
    out.reserve(64 + m_cells.size() / 8 * 200);
    int step = 0;
    for (int layer = 0; layer < kLayers; ++layer) {
        AppendFormat(out, "<T%d>\n", kLayers - layer);
        for (int j = 0; j < kCellsPerLayer; ++j) {
            if (const CWeatherData* cell = GetCell(layer * kCellsPerLayer + j)) {
                cell->AppendXml(out, j / kGridCols, j % kGridCols);
                out += '\n';
            }
            bar.SetPos(++step);
        }
        AppendFormat(out, "</T%d>\n", kLayers - layer);
    }
    out += "</WeatherMap>";
    bar.Close();
    return out;
}

int CWeatherMap::ReadXml(const pugi::xml_node& weatherMap) {
    int set = 0;
    for (const pugi::xml_node& layerNode : weatherMap.children()) {
        const char* name = layerNode.name();
        if (layerNode.type() != pugi::node_element || name[0] != 'T') {
            continue;
        }
        const int64_t layer = kLayers - static_cast<int64_t>(ReadInt(name + 1));
        for (const pugi::xml_node& element : layerNode.children("WeatherData")) {
            const int64_t slot = WholeAttribute(element, "GridRow") * kGridCols +
                                 WholeAttribute(element, "GridCol") + layer * kCellsPerLayer;
            if (slot < 0 || slot >= static_cast<int64_t>(m_cells.size())) {
                continue;
            }
            m_cells[static_cast<size_t>(slot)] = std::make_unique<CWeatherData>(
                NumberAttribute(element, "Temperature"), NumberAttribute(element, "Pressure"),
                NumberAttribute(element, "WindSpeed"), NumberAttribute(element, "WindDir"),
                NumberAttribute(element, "Humidity"));
            ++set;
        }
    }
    Notify(WeatherMapChange::Reset, -1);
    return set;
}

void CWeatherMap::Serialize(CArchiveWriter& archive) const {
    archive.WriteI32(m_cols);
    archive.WriteI32(m_rows);
    archive.WriteI32(GetCount());
    archive.WriteObjectTag(CWeatherData::kClassName, CWeatherData::kSchema);
    m_reference.Serialize(archive);
    archive.WriteCount(static_cast<uint32_t>(m_cells.size()));
    for (const auto& cell : m_cells) {
        if (cell) {
            archive.WriteObjectTag(CWeatherData::kClassName, CWeatherData::kSchema);
            cell->Serialize(archive);
        } else {
            archive.WriteNullTag();
        }
    }
}

void CWeatherMap::Serialize(CArchiveReader& archive) {
    const size_t shapeOffset = archive.Offset();
    const int cols = archive.ReadI32("the weather grid's Cols");
    const int rows = archive.ReadI32("the weather grid's Rows");
    // Every query looks the grid up by this shape: any other one would answer "no data" for
    // the whole mission while the load said it went well.
    if (!(cols == kGridCols && rows == kGridRows) && !(cols == 0 && rows == 0)) {
        archive.Fail(shapeOffset, Format("a weather grid of %d x %d cells (or an empty one), "
                                         "found %d x %d",
                                         kGridCols, kGridRows, cols, rows));
    }
    const size_t countFieldOffset = archive.Offset();
    const int count = archive.ReadI32("the weather grid's Count");
    CWeatherData reference;
    if (archive.ReadObjectOf(CWeatherData::kClassName, CWeatherData::kSchema)) {
        reference.Serialize(archive);
    }
    const size_t countOffset = archive.Offset();
    const uint64_t slots = archive.ReadCount("the number of weather slots");
    // Every slot takes at least its 2-byte tag.
    if (slots > archive.Remaining() / 2) {
        archive.Fail(countOffset, Format("%llu weather slots, more than the file can hold",
                                         static_cast<unsigned long long>(slots)));
    }
    // An empty slot costs 2 bytes in the file but a pointer in memory; a grid of 16 layers of
    // 40 x 40 holds 25,600, so a bound far above that keeps a hostile file from costing
    // several times its size.
    if (slots > kMaxWeatherSlots) {
        archive.Fail(countOffset, Format("%llu weather slots, more than a weather grid holds (at "
                                         "most %llu)",
                                         static_cast<unsigned long long>(slots),
                                         static_cast<unsigned long long>(kMaxWeatherSlots)));
    }
    // A grid holds all its layers or none (not generated yet).
    const uint64_t full = cols == 0 ? 0 : uint64_t{kLayers} * static_cast<uint64_t>(cols * rows);
    if (slots != 0 && slots != full) {
        archive.Fail(countOffset,
                     Format("0 or %llu weather slots for a grid of %d x %d, found %llu",
                            static_cast<unsigned long long>(full), cols, rows,
                            static_cast<unsigned long long>(slots)));
    }
    if (static_cast<uint64_t>(count) != slots) {
        archive.Fail(countFieldOffset, Format("a weather Count equal to its %llu slots, found %d",
                                              static_cast<unsigned long long>(slots), count));
    }
    std::vector<std::unique_ptr<CWeatherData>> cells(static_cast<size_t>(slots));
    for (auto& cell : cells) {
        if (archive.ReadObjectOf(CWeatherData::kClassName, CWeatherData::kSchema)) {
            cell = std::make_unique<CWeatherData>();
            cell->Serialize(archive);
        }
    }
    m_cols = cols;
    m_rows = rows;
    m_reference = reference;
    m_cells = std::move(cells);
    Notify(WeatherMapChange::Reset, -1);
}

int CWeatherMap::Subscribe(Observer observer) {
    return m_notifier.Subscribe(std::move(observer));
}

void CWeatherMap::Unsubscribe(int token) {
    m_notifier.Unsubscribe(token);
}

void CWeatherMap::Notify(WeatherMapChange change, int slot) {
    m_notifier.Notify(change, slot);
}

std::vector<uint8_t> WeatherFileBytes(const CWeatherMap& map) {
    CArchiveWriter archive;
    archive.Reserve(64 + static_cast<size_t>(map.GetCount()) * 6);
    map.Serialize(archive);
    return archive.TakeBytes();
}

void ReadWeatherFileBytes(std::span<const uint8_t> bytes, CWeatherMap& map,
                          const std::string& fileName) {
    CArchiveReader archive(bytes, fileName);
    map.Serialize(archive);
}

int WriteWeatherFile(const std::string& path, const CWeatherMap& map) {
    return WriteFileBytes(path, WeatherFileBytes(map));
}

int ReadWeatherFile(const std::string& path, CWeatherMap& map) {
    std::vector<uint8_t> bytes;
    if (const int code = ReadFileBytes(path, bytes); code != 0) {
        return code;
    }
    ReadWeatherFileBytes(bytes, map, path);
    return 0;
}

} // namespace halyx
