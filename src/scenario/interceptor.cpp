#include "scenario/interceptor.h"

#include "common/archive.h"
#include "common/format.h"
#include "common/numtext.h"
#include "scenario/unitfiles.h"

namespace halyx {

CInterceptor::CInterceptor(std::string name, std::string id, std::string_view lat,
                           std::string_view lng, std::string_view speed, std::string_view heading,
                           std::string_view range, std::string_view minRange, std::string scope)
    : CInterceptor(std::move(name), std::move(id), ReadNumber(lat), ReadNumber(lng),
                   ReadNumber(speed), ReadNumber(heading), ReadNumber(range), ReadNumber(minRange),
                   std::move(scope)) {}

CInterceptor::CInterceptor(std::string name, std::string id, double lat, double lng, double speed,
                           double heading, double range, double minRange, std::string scope)
    : m_lat(lat), m_lng(lng), m_speed(speed), m_minRange(minRange), m_range(range),
      m_heading(heading), m_id(std::move(id)), m_name(std::move(name)), m_scope(std::move(scope)) {}

std::string CInterceptor::GetLatText() const {
    return Format("%f", m_lat);
}
std::string CInterceptor::GetLngText() const {
    return Format("%f", m_lng);
}
std::string CInterceptor::GetSpeedText() const {
    return Format("%f", m_speed);
}
std::string CInterceptor::GetMinRangeText() const {
    return Format("%f", m_minRange);
}
std::string CInterceptor::GetRangeText() const {
    return Format("%f", m_range);
}
std::string CInterceptor::GetHeadingText() const {
    return Format("%f", m_heading);
}

void CInterceptor::SetLatText(std::string_view text) {
    m_lat = ReadNumber(text);
}
void CInterceptor::SetLngText(std::string_view text) {
    m_lng = ReadNumber(text);
}
void CInterceptor::SetSpeedText(std::string_view text) {
    m_speed = ReadNumber(text);
}
void CInterceptor::SetHeadingText(std::string_view text) {
    m_heading = ReadNumber(text);
}

std::string CInterceptor::ToXml() const {
    std::string out = "<Interceptor";
    AppendXmlAttribute(out, "Name", m_name);
    AppendXmlAttribute(out, "ID", m_id);
    AppendFormat(out, " Speed=\"%f\" Heading=\"%f\" Lat=\"%f\" Lng=\"%f\"/>", m_speed, m_heading,
                 m_lat, m_lng);
    return out;
}

void CInterceptor::Serialize(CArchiveWriter& archive) const {
    archive.WriteDouble(m_lat);
    archive.WriteDouble(m_lng);
    archive.WriteDouble(m_speed);
    archive.WriteDouble(m_minRange);
    archive.WriteDouble(m_range);
    archive.WriteDouble(m_heading);
    archive.WriteString(m_id);
    archive.WriteString(m_name);
    archive.WriteString(m_scope);
}

void CInterceptor::Serialize(CArchiveReader& archive) {
    m_lat = archive.ReadDouble("an interceptor's Lat");
    m_lng = archive.ReadDouble("an interceptor's Lng");
    m_speed = archive.ReadDouble("an interceptor's Speed");
    m_minRange = archive.ReadDouble("an interceptor's Min Range");
    m_range = archive.ReadDouble("an interceptor's Range");
    m_heading = archive.ReadDouble("an interceptor's Heading");
    m_id = archive.ReadString("an interceptor's ID");
    m_name = archive.ReadString("an interceptor's Name");
    m_scope = archive.ReadString("an interceptor's Scope");
}

std::string InterceptorsToXml(const CUnitList<CInterceptor>& list) {
    return UnitListToXml(list, "<Interceptors>\n", "</Interceptors>");
}

UnitXmlResult ReadInterceptorsXml(const pugi::xml_node& node, CUnitList<CInterceptor>& list) {
    return ReadUnitListXml(node, list, [](CUnitXmlFields& fields) {
        return std::make_unique<CInterceptor>(
            fields.Text("Name"), fields.Text("ID"), fields.Text("Lat"), fields.Text("Lng"),
            fields.Text("Speed"), fields.Text("Heading"), "0", "0", "");
    });
}

} // namespace halyx
