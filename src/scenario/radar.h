#pragma once

#include "scenario/unitlist.h"

#include <pugixml.hpp>

#include <cstdint>
#include <string>
#include <string_view>

namespace halyx {

class CArchiveReader;
class CArchiveWriter;

// A fixed sensor covering a circle. Fields are text; Life and Owner go to the stations unchanged.
class CRadar {
public:
    static constexpr std::string_view kClassName = "CRadar";
    static constexpr uint16_t kSchema = 0;

    CRadar() = default;
    CRadar(std::string name, std::string id, std::string lat, std::string lng, std::string range,
           std::string life, std::string owner);

    const std::string& GetName() const { return m_name; }
    const std::string& GetId() const { return m_id; }
    const std::string& GetLat() const { return m_lat; }
    const std::string& GetLng() const { return m_lng; }
    const std::string& GetRange() const { return m_range; }
    const std::string& GetLife() const { return m_life; }
    const std::string& GetOwner() const { return m_owner; }

    double GetLatValue() const;
    double GetLngValue() const;
    double GetRangeValue() const;

    void SetName(std::string_view text) { m_name = text; }
    void SetId(std::string_view text) { m_id = text; }
    void SetLat(std::string_view text) { m_lat = text; }
    void SetLng(std::string_view text) { m_lng = text; }
    void SetRange(std::string_view text) { m_range = text; }
    void SetLife(std::string_view text) { m_life = text; }
    void SetOwner(std::string_view text) { m_owner = text; }

    // Number setters store the text "%0.3f".
    void SetLatValue(double value);
    void SetLngValue(double value);
    void SetRangeValue(double value);

    // True when (a, b) lies less than 6.0 from the range circle, inside or outside: the editor
    // picks a radar by its rim.
    bool IsNearRangeEdge(double a, double b) const;

    // <Radar Name ID Lat Lng Range/>: Life and Owner are not part of the XML form.
    std::string ToXml() const;

    // Record order in unit files: ID, Lat, Lng, Life, Name, Owner, Range.
    void Serialize(CArchiveWriter& archive) const;
    void Serialize(CArchiveReader& archive);

    bool operator==(const CRadar&) const = default;

private:
    std::string m_name;
    std::string m_id;
    std::string m_lat;
    std::string m_lng;
    std::string m_range;
    std::string m_life;
    std::string m_owner;
};

// "<Radars>" then each unit's element and "\n", then "</Radars>".
std::string RadarsToXml(const CUnitList<CRadar>& list);
// Empties list, then adds one radar per child element of node (Life and Owner empty).
UnitXmlResult ReadRadarsXml(const pugi::xml_node& node, CUnitList<CRadar>& list);

} // namespace halyx
