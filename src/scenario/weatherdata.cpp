#include "scenario/weatherdata.h"

#include "common/archive.h"
#include "common/format.h"

namespace halyx {

CWeatherData::CWeatherData(const CWeatherData& other, double delta)
    : m_temperature(other.m_temperature + delta), m_pressure(other.m_pressure + delta),
      m_windSpeed(other.m_windSpeed + delta), m_windDir(other.m_windDir + delta),
      m_humidity(other.m_humidity + delta) {}

CWeatherData::CWeatherData(double temperature, double pressure, double windSpeed, double windDir,
                           double humidity)
    : m_temperature(temperature), m_pressure(pressure), m_windSpeed(windSpeed), m_windDir(windDir),
      m_humidity(humidity) {}

std::string CWeatherData::GetTemperatureText() const {
    return Format("%f", m_temperature);
}
std::string CWeatherData::GetPressureText() const {
    return Format("%f", m_pressure);
}
std::string CWeatherData::GetWindSpeedText() const {
    return Format("%f", m_windSpeed);
}
std::string CWeatherData::GetWindDirText() const {
    return Format("%f", m_windDir);
}
std::string CWeatherData::GetHumidityText() const {
    return Format("%f", m_humidity);
}

double CWeatherData::GetValue(int kind) const {
    switch (kind) {
    case kTemperature:
        return m_temperature;
    case kPressure:
        return m_pressure;
    case kHumidity:
        return m_humidity;
    case kWindSpeed:
        return m_windSpeed;
    case kWindDir:
        return m_windDir;
    default:
        return 0.0;
    }
}

void CWeatherData::SetValue(int kind, double value) {
    switch (kind) {
    case kTemperature:
        m_temperature = value;
        break;
    case kPressure:
        m_pressure = value;
        break;
    case kHumidity:
        m_humidity = value;
        break;
    case kWindSpeed:
        m_windSpeed = value;
        break;
    case kWindDir:
        m_windDir = value;
        break;
    default:
        break;
    }
}

std::string CWeatherData::DumpText() const {
    return Format("Weather Data:\nTemperature = %f\nPressure = %f\nHumidity = %f\nWindSpeed = "
                  "%f\nWind Dir = %f\n",
                  m_temperature, m_pressure, m_humidity, m_windSpeed, m_windDir);
}

void CWeatherData::AppendXml(std::string& out, int gridRow, int gridCol) const {
    AppendFormat(out,
                 "<WeatherData GridRow=\"%d\" GridCol=\"%d\" Temperature=\"%f\" Pressure=\"%f\" "
                 "Humidity=\"%f\" WindSpeed=\"%f\" WindDir=\"%f\"/>",
                 gridRow, gridCol, m_temperature, m_pressure, m_humidity, m_windSpeed, m_windDir);
}

std::string CWeatherData::ToXml(int gridRow, int gridCol) const {
    std::string out;
    AppendXml(out, gridRow, gridCol);
    return out;
}

void CWeatherData::Serialize(CArchiveWriter& archive) const {
    archive.WriteDouble(m_temperature);
    archive.WriteDouble(m_pressure);
    archive.WriteDouble(m_humidity);
    archive.WriteDouble(m_windDir);
    archive.WriteDouble(m_windSpeed);
}

void CWeatherData::Serialize(CArchiveReader& archive) {
    m_temperature = archive.ReadDouble("a weather cell's Temperature");
    m_pressure = archive.ReadDouble("a weather cell's Pressure");
    m_humidity = archive.ReadDouble("a weather cell's Humidity");
    m_windDir = archive.ReadDouble("a weather cell's WindDir");
    m_windSpeed = archive.ReadDouble("a weather cell's WindSpeed");
}

} // namespace halyx
