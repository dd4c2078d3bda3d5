#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace halyx {

class CArchiveReader;
class CArchiveWriter;

// The number by which the weather page and the map select one of a cell's five values.
enum WeatherValueKind : int {
    kTemperature = 0,
    kPressure = 1,
    kHumidity = 2,
    kWindSpeed = 3,
    kWindDir = 4,
};
inline constexpr int kWeatherValueKinds = 5;

// The weather of one grid cell of one hourly layer. No units are attached to the values.
class CWeatherData {
public:
    static constexpr std::string_view kClassName = "CWeatherData";
    static constexpr uint16_t kSchema = 0;

    CWeatherData() = default;
    // Each of the five values of other, plus the same delta: cells of the grid move together.
    CWeatherData(const CWeatherData& other, double delta);
    // Note the order: the declaration order of the fields, not the value kind order.
    CWeatherData(double temperature, double pressure, double windSpeed, double windDir,
                 double humidity);
    CWeatherData(const CWeatherData&) = default;
    CWeatherData& operator=(const CWeatherData&) = default;

    double GetTemperature() const { return m_temperature; }
    double GetPressure() const { return m_pressure; }
    double GetWindSpeed() const { return m_windSpeed; }
    double GetWindDir() const { return m_windDir; }
    double GetHumidity() const { return m_humidity; }
    void SetTemperature(double value) { m_temperature = value; }
    void SetPressure(double value) { m_pressure = value; }
    void SetWindSpeed(double value) { m_windSpeed = value; }
    void SetWindDir(double value) { m_windDir = value; }
    void SetHumidity(double value) { m_humidity = value; }

    // "%f" texts.
    std::string GetTemperatureText() const;
    std::string GetPressureText() const;
    std::string GetWindSpeedText() const;
    std::string GetWindDirText() const;
    std::string GetHumidityText() const;

    // By value kind index; 0 for an index outside 0-4 (setting one does nothing).
    double GetValue(int kind) const;
    void SetValue(int kind, double value);

    // "Weather Data:\nTemperature = …\n…Wind Dir = …\n".
    std::string DumpText() const;
    // <WeatherData GridRow GridCol Temperature Pressure Humidity WindSpeed WindDir/>.
    std::string ToXml(int gridRow, int gridCol) const;
    void AppendXml(std::string& out, int gridRow, int gridCol) const;

    // Archive order: Temperature, Pressure, Humidity, WindDir, WindSpeed.
    void Serialize(CArchiveWriter& archive) const;
    void Serialize(CArchiveReader& archive);

    bool operator==(const CWeatherData&) const = default;

private:
    double m_temperature = 0.0;
    double m_pressure = 0.0;
    double m_windSpeed = 0.0;
    double m_windDir = 0.0;
    double m_humidity = 0.0;
};

} // namespace halyx
