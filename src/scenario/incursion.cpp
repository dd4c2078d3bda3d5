#include "scenario/incursion.h"

#include "common/archive.h"
#include "common/format.h"
#include "common/geometry.h"
#include "common/numtext.h"
#include "common/xmlescape.h"
#include "scenario/unitfiles.h"

#include <cmath>

namespace halyx {

CIncursion::CIncursion(std::string name, std::string id, std::string lat, std::string lng,
                       std::string speed, std::string heading, std::string time)
    : m_name(std::move(name)), m_id(std::move(id)), m_lat(std::move(lat)), m_lng(std::move(lng)),
      m_speed(std::move(speed)), m_heading(std::move(heading)), m_time(std::move(time)) {}

double CIncursion::GetLatValue() const {
    return ReadNumber(m_lat);
}
double CIncursion::GetLngValue() const {
    return ReadNumber(m_lng);
}
double CIncursion::GetSpeedValue() const {
    return ReadNumber(m_speed);
}
double CIncursion::GetHeadingValue() const {
    return ReadNumber(m_heading);
}

void CIncursion::SetLatValue(double value) {
    m_lat = Format("%0.3f", value);
}
void CIncursion::SetLngValue(double value) {
    m_lng = Format("%0.3f", value);
}
void CIncursion::SetSpeedValue(double value) {
    m_speed = Format("%0.3f", value);
}
void CIncursion::SetHeadingValue(double value) {
    m_heading = Format("%0.3f", value);
}
void CIncursion::SetTimeValue(int minutes) {
    m_time = Format("%d", minutes);
}

std::pair<double, double> CIncursion::GetPositionAt(double t) const {
    const double lat0 = GetLatValue();
    const double lng0 = GetLngValue();
    const double speed = GetSpeedValue();
    const double heading = GetHeadingValue();
    const double t0 = m_time == "-" ? 0.0 : ReadNumber(m_time) / 60.0;
    const double h = heading * kPi / 180.0;
    return {lat0 + (t - t0) * speed * std::sin(h), lng0 + (t - t0) * speed * std::cos(h)};
}

std::string CIncursion::ToXml() const {
    std::string out = "<Incursion";
    AppendXmlAttribute(out, "Name", m_name);
    AppendXmlAttribute(out, "ID", m_id);
    AppendXmlAttribute(out, "Lat", m_lat);
    AppendXmlAttribute(out, "Lng", m_lng);
    AppendXmlAttribute(out, "Speed", m_speed);
    AppendXmlAttribute(out, "Heading", m_heading);
    AppendXmlAttribute(out, "Time", m_time);
    out += "/>";
    return out;
}

void CIncursion::Serialize(CArchiveWriter& archive) const {
    archive.WriteString(m_heading);
    archive.WriteString(m_id);
    archive.WriteString(m_lat);
    archive.WriteString(m_lng);
    archive.WriteString(m_name);
    archive.WriteString(m_speed);
    archive.WriteString(m_time);
}

void CIncursion::Serialize(CArchiveReader& archive) {
    m_heading = archive.ReadString("an incursion's Heading");
    m_id = archive.ReadString("an incursion's ID");
    m_lat = archive.ReadString("an incursion's Lat");
    m_lng = archive.ReadString("an incursion's Lng");
    m_name = archive.ReadString("an incursion's Name");
    m_speed = archive.ReadString("an incursion's Speed");
    m_time = archive.ReadString("an incursion's Time");
}

std::string IncursionsToXml(const CUnitList<CIncursion>& list) {
    return UnitListToXml(list, "<Incursions>", "</Incursions>");
}

UnitXmlResult ReadIncursionsXml(const pugi::xml_node& node, CUnitList<CIncursion>& list) {
    return ReadUnitListXml(node, list, [](CUnitXmlFields& fields) {
        return std::make_unique<CIncursion>(
            fields.Text("Name"), fields.Text("ID"), fields.Text("Lat"), fields.Text("Lng"),
            fields.Text("Speed"), fields.Text("Heading"), fields.Text("Time"));
    });
}

} // namespace halyx
