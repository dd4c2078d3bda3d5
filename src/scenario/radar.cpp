#include "scenario/radar.h"

#include "common/archive.h"
#include "common/format.h"
#include "common/numtext.h"
#include "scenario/unitfiles.h"

#include <cmath>

namespace halyx {

namespace {
constexpr double kRimTolerance = 6.0;
} // namespace

CRadar::CRadar(std::string name, std::string id, std::string lat, std::string lng,
               std::string range, std::string life, std::string owner)
    : m_name(std::move(name)), m_id(std::move(id)), m_lat(std::move(lat)), m_lng(std::move(lng)),
      m_range(std::move(range)), m_life(std::move(life)), m_owner(std::move(owner)) {}

double CRadar::GetLatValue() const {
    return ReadNumber(m_lat);
}
double CRadar::GetLngValue() const {
    return ReadNumber(m_lng);
}
double CRadar::GetRangeValue() const {
    return ReadNumber(m_range);
}

void CRadar::SetLatValue(double value) {
    m_lat = Format("%0.3f", value);
}
void CRadar::SetLngValue(double value) {
    m_lng = Format("%0.3f", value);
}
void CRadar::SetRangeValue(double value) {
    m_range = Format("%0.3f", value);
}

bool CRadar::IsNearRangeEdge(double a, double b) const {
    const double da = a - GetLatValue();
    const double db = b - GetLngValue();
    const double d = std::sqrt(da * da + db * db);
    return std::fabs(d - GetRangeValue()) < kRimTolerance;
}

std::string CRadar::ToXml() const {
    std::string out = "<Radar";
    AppendXmlAttribute(out, "Name", m_name);
    AppendXmlAttribute(out, "ID", m_id);
    AppendXmlAttribute(out, "Lat", m_lat);
    AppendXmlAttribute(out, "Lng", m_lng);
    AppendXmlAttribute(out, "Range", m_range);
    out += "/>";
    return out;
}

void CRadar::Serialize(CArchiveWriter& archive) const {
    archive.WriteString(m_id);
    archive.WriteString(m_lat);
    archive.WriteString(m_lng);
    archive.WriteString(m_life);
    archive.WriteString(m_name);
    archive.WriteString(m_owner);
    archive.WriteString(m_range);
}

void CRadar::Serialize(CArchiveReader& archive) {
    m_id = archive.ReadString("a radar's ID");
    m_lat = archive.ReadString("a radar's Lat");
    m_lng = archive.ReadString("a radar's Lng");
    m_life = archive.ReadString("a radar's Life");
    m_name = archive.ReadString("a radar's Name");
    m_owner = archive.ReadString("a radar's Owner");
    m_range = archive.ReadString("a radar's Range");
}

std::string RadarsToXml(const CUnitList<CRadar>& list) {
    return UnitListToXml(list, "<Radars>", "</Radars>");
}

UnitXmlResult ReadRadarsXml(const pugi::xml_node& node, CUnitList<CRadar>& list) {
    return ReadUnitListXml(node, list, [](CUnitXmlFields& fields) {
        return std::make_unique<CRadar>(fields.Text("Name"), fields.Text("ID"), fields.Text("Lat"),
                                        fields.Text("Lng"), fields.Text("Range"), "", "");
    });
}

} // namespace halyx
