#pragma once

#include "scenario/unitlist.h"

#include <pugixml.hpp>

#include <cstdint>
#include <string>
#include <string_view>

namespace halyx {

class CArchiveReader;
class CArchiveWriter;

// One of the defenders' own craft. Unlike the other units its position, speed, ranges and heading
// are held as numbers.
class CInterceptor {
public:
    static constexpr std::string_view kClassName = "CInterceptor";
    static constexpr uint16_t kSchema = 0;

    CInterceptor() = default;
    // Number texts are read as numbers.
    CInterceptor(std::string name, std::string id, std::string_view lat, std::string_view lng,
                 std::string_view speed, std::string_view heading, std::string_view range,
                 std::string_view minRange, std::string scope);
    CInterceptor(std::string name, std::string id, double lat, double lng, double speed,
                 double heading, double range, double minRange, std::string scope);

    double GetLat() const { return m_lat; }
    double GetLng() const { return m_lng; }
    double GetSpeed() const { return m_speed; }
    double GetMinRange() const { return m_minRange; }
    double GetRange() const { return m_range; }
    double GetHeading() const { return m_heading; }
    const std::string& GetId() const { return m_id; }
    const std::string& GetName() const { return m_name; }
    const std::string& GetScope() const { return m_scope; }

    // "%f" texts of the six numbers, as the interceptor table and the station messages show them.
    std::string GetLatText() const;
    std::string GetLngText() const;
    std::string GetSpeedText() const;
    std::string GetMinRangeText() const;
    std::string GetRangeText() const;
    std::string GetHeadingText() const;

    void SetLat(double value) { m_lat = value; }
    void SetLng(double value) { m_lng = value; }
    void SetSpeed(double value) { m_speed = value; }
    void SetMinRange(double value) { m_minRange = value; }
    void SetRange(double value) { m_range = value; }
    void SetHeading(double value) { m_heading = value; }
    // Text setters read the text as a number.
    void SetLatText(std::string_view text);
    void SetLngText(std::string_view text);
    void SetSpeedText(std::string_view text);
    void SetHeadingText(std::string_view text);
    void SetId(std::string_view text) { m_id = text; }
    void SetName(std::string_view text) { m_name = text; }
    void SetScope(std::string_view text) { m_scope = text; }

    // <Interceptor Name ID Speed Heading Lat Lng/>: Range, Min Range and Scope are not part of
    // the XML form.
    std::string ToXml() const;

    // Record order in unit files: Lat, Lng, Speed, Min Range, Range, Heading as doubles, then ID,
    // Name, Scope.
    void Serialize(CArchiveWriter& archive) const;
    void Serialize(CArchiveReader& archive);

    bool operator==(const CInterceptor&) const = default;

private:
    double m_lat = 0.0;
    double m_lng = 0.0;
    double m_speed = 0.0;
    double m_minRange = 0.0;
    double m_range = 0.0;
    double m_heading = 0.0;
    std::string m_id;
    std::string m_name;
    std::string m_scope;
};

// "<Interceptors>\n" then each unit's element and "\n", then "</Interceptors>".
std::string InterceptorsToXml(const CUnitList<CInterceptor>& list);
// Empties list, then adds one interceptor per child element of node (ranges 0, Scope empty).
UnitXmlResult ReadInterceptorsXml(const pugi::xml_node& node, CUnitList<CInterceptor>& list);

} // namespace halyx
