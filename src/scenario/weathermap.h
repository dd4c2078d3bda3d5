#pragma once

#include "common/notifier.h"
#include "scenario/weatherdata.h"

#include <pugixml.hpp>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace halyx {

class CArchiveReader;
class CArchiveWriter;
class IProgress;

// What changed in a weather grid, for the weather page and whoever else shows it.
enum class WeatherMapChange {
    Reset,            // cells generated, cleared, loaded or read from XML; slot is -1
    CellReplaced,     // slot: the cell an edit replaced
    ReferenceChanged, // the season or a reference value; slot is -1
};

// The scenario's weather: 16 hourly layers (layer 0 is 16 hours before launch, layer 15 one hour
// before) of Rows x Cols cells, of which only a fixed band of 191 cells carries weather. Slot i of
// the cell array is layer * (Rows * Cols) + row * Cols + col; empty slots hold no cell.
class CWeatherMap {
public:
    static constexpr std::string_view kClassName = "CWeatherMap";
    static constexpr uint16_t kSchema = 0;
    static constexpr int kLayers = 16;
    static constexpr int kGridRows = 40;
    static constexpr int kGridCols = 40;
    static constexpr int kCellsPerLayer = kGridRows * kGridCols;
    static constexpr int kSeasons = 4;

    using Observer = CNotifier<WeatherMapChange, int>::Observer;

    // Rows and Cols 0; the Reference takes season 0.
    CWeatherMap();
    // The weather page uses 40 x 40; the Reference takes season 0.
    CWeatherMap(int rows, int cols);
    CWeatherMap(const CWeatherMap&) = delete;
    CWeatherMap& operator=(const CWeatherMap&) = delete;

    int GetRows() const { return m_rows; }
    int GetCols() const { return m_cols; }
    void SetRows(int rows) { m_rows = rows; }
    void SetCols(int cols) { m_cols = cols; }
    // Number of slots in the cell array (16 x 1600 after generation).
    int GetCount() const { return static_cast<int>(m_cells.size()); }

    // "Spring", "Summer", "Autumn", "Winter" and their reference values; nullptr and zeros for
    // an index outside 0-3.
    static const char* SeasonName(int season);
    static CWeatherData SeasonReference(int season);
    // Sets the Reference from the season table. False (and no change) outside 0-3.
    bool SetSeason(int season);
    void SetReferenceValues(double temperature, double pressure, double humidity, double windSpeed,
                            double windDir);
    const CWeatherData& GetReference() const { return m_reference; }
    // By value kind index; index outside 0-4: value 0, text "0.00", setting does nothing.
    double GetReferenceValue(int kind) const;
    void SetReferenceValue(int kind, double value);
    std::string GetReferenceText(int kind) const;

    // True for the cells of the 40 x 40 mask that carry weather (191 of them).
    static bool CarriesWeather(int row, int col);

    // Builds the grid by a random walk from the Reference: over the cellsPerLayer cells of the
    // base layer with the space variance, then from each layer to the next with the time
    // variance; cells outside the weather band are then emptied. cellsPerLayer is held within
    // 0-1600: the band lies inside the 40 x 40 mask, so cells beyond it could never carry weather.
    void Generate(int cellsPerLayer, double spaceVariance, double timeVariance);

    // The cell at slot, or nullptr when slot is negative, not below Count, or empty.
    const CWeatherData* GetCell(int64_t slot) const;
    CWeatherData* GetCell(int64_t slot);
    // Replaces the cell at slot (destroying the old one; cell may be null to empty the slot).
    // False, and nothing changes, when slot is negative or not below Count.
    bool ReplaceCell(int64_t slot, std::unique_ptr<CWeatherData> cell);
    // Destroys every cell; Count becomes 0.
    void Clear();

    // The base-layer cell that holds a map point, as a station's weather query asks for it. The
    // first coordinate runs along the columns (23.75 per column) and the second up the rows (14.0
    // per row, row 39 at the bottom). nullptr (no data) when the slot is negative, not below Count
    // or empty.
    const CWeatherData* WeatherAt(double lat, double lng) const;
    // The slot WeatherAt looks at; -1 when the point is so far off that no slot could hold it.
    int64_t SlotOfPoint(double lat, double lng) const;

    // "<WeatherMap>\n", a "<T16>" … "</T1>" block per layer with one element per cell, then
    // "</WeatherMap>". progress (optional) runs from 0 to 16 x 1600, one step per cell slot.
    std::string ToXml(IProgress* progress = nullptr) const;
    // Reads the elements ToXml writes into the grid without clearing it: each WeatherData element
    // replaces the cell of its slot; slots outside the grid are skipped. Answers the cells set.
    int ReadXml(const pugi::xml_node& weatherMap);

    // Cols, Rows, Count, the Reference as a tagged object, then the slots as tagged objects (an
    // empty slot as a null tag). A read that fails leaves the map as it was.
    void Serialize(CArchiveWriter& archive) const;
    void Serialize(CArchiveReader& archive);

    int Subscribe(Observer observer);
    void Unsubscribe(int token);

private:
    void Notify(WeatherMapChange change, int slot);

    int m_rows = 0;
    int m_cols = 0;
    std::vector<std::unique_ptr<CWeatherData>> m_cells;
    CWeatherData m_reference;
    CNotifier<WeatherMapChange, int> m_notifier;
};

// Weather files (.hwd): the archive form of the map. The file functions answer 0, or the errno
// code when the file cannot be created or opened (nothing is then written or read); a file that
// breaks off, holds another class, or cannot be written completely throws ArchiveError.
int WriteWeatherFile(const std::string& path, const CWeatherMap& map);
int ReadWeatherFile(const std::string& path, CWeatherMap& map);
std::vector<uint8_t> WeatherFileBytes(const CWeatherMap& map);
void ReadWeatherFileBytes(std::span<const uint8_t> bytes, CWeatherMap& map,
                          const std::string& fileName = {});

} // namespace halyx
