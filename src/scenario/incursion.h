#pragma once

#include "scenario/unitlist.h"

#include <pugixml.hpp>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace halyx {

class CArchiveReader;
class CArchiveWriter;

// A boat or aircraft that crosses the range on a straight course. Every field is text as the
// user typed it or the generator wrote it; numbers are read from the text when needed.
class CIncursion {
public:
    static constexpr std::string_view kClassName = "CIncursion";
    static constexpr uint16_t kSchema = 0;

    CIncursion() = default;
    CIncursion(std::string name, std::string id, std::string lat, std::string lng,
               std::string speed, std::string heading, std::string time);

    const std::string& GetName() const { return m_name; }
    const std::string& GetId() const { return m_id; }
    const std::string& GetLat() const { return m_lat; }
    const std::string& GetLng() const { return m_lng; }
    const std::string& GetSpeed() const { return m_speed; }
    const std::string& GetHeading() const { return m_heading; }
    const std::string& GetTime() const { return m_time; }

    double GetLatValue() const;
    double GetLngValue() const;
    double GetSpeedValue() const;
    double GetHeadingValue() const;

    void SetName(std::string_view text) { m_name = text; }
    void SetId(std::string_view text) { m_id = text; }
    void SetLat(std::string_view text) { m_lat = text; }
    void SetLng(std::string_view text) { m_lng = text; }
    void SetSpeed(std::string_view text) { m_speed = text; }
    void SetHeading(std::string_view text) { m_heading = text; }
    void SetTime(std::string_view text) { m_time = text; }

    // Number setters store the text "%0.3f" (Time: "%d").
    void SetLatValue(double value);
    void SetLngValue(double value);
    void SetSpeedValue(double value);
    void SetHeadingValue(double value);
    void SetTimeValue(int minutes);

    // Position (lat, lng) at t hours of simulated time. The course starts at minute Time ("-" is
    // minute 0) and runs straight at Speed per hour along Heading; before its start the result
    // lies behind the start point.
    std::pair<double, double> GetPositionAt(double t) const;

    // <Incursion Name="…" …/> with every field XML-escaped.
    std::string ToXml() const;

    // Record order in unit files: Heading, ID, Lat, Lng, Name, Speed, Time.
    void Serialize(CArchiveWriter& archive) const;
    void Serialize(CArchiveReader& archive);

    bool operator==(const CIncursion&) const = default;

private:
    std::string m_name;
    std::string m_id;
    std::string m_lat;
    std::string m_lng;
    std::string m_speed;
    std::string m_heading;
    std::string m_time;
};

// "<Incursions>" then each unit's element and "\n", then "</Incursions>".
std::string IncursionsToXml(const CUnitList<CIncursion>& list);
// Empties list, then adds one incursion per child element of node.
UnitXmlResult ReadIncursionsXml(const pugi::xml_node& node, CUnitList<CIncursion>& list);

} // namespace halyx
