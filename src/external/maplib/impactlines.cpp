#include "external/maplib/impactlines.h"

#include "common/archive.h"
#include "common/numtext.h"
#include "external/maplib/xmlelement.h"

namespace halyx {

std::string CImpactLines::ToXML() const {
    std::string out = "<ImpactLines>\n<NLine>\n";
    AppendPointsXml(out, m_north);
    out += "</NLine>\n<SLine>\n";
    AppendPointsXml(out, m_south);
    out += "</SLine>\n</ImpactLines>";
    return out;
}

std::string CImpactLines::ToKQML() const {
    std::string out = "tell :nline (";
    AppendPointsKqml(out, m_north);
    out += ") :sline (";
    AppendPointsKqml(out, m_south);
    out += ")";
    return out;
}

bool ReadPointElements(const IXmlElement& list, CLatLngList& points) {
    bool ok = true;
    list.ForEachChild([&](const IXmlElement& child) {
        if (!ok || child.LocalName() != "Point") {
            return;
        }
        const auto lat = child.Attribute("Lat");
        const auto lng = child.Attribute("Lng");
        if (!lat || !lng) {
            ok = false;
            return;
        }
        points.emplace_back(ReadNumber(*lat), ReadNumber(*lng));
    });
    return ok;
}

bool CImpactLines::IILFromXML(const IXmlElement& element) {
    if (element.LocalName() != "ImpactLines") {
        return false;
    }
    CLatLngList north;
    CLatLngList south;
    bool ok = true;
    element.ForEachChild([&](const IXmlElement& child) {
        if (!ok) {
            return;
        }
        if (child.LocalName() == "NLine") {
            ok = ReadPointElements(child, north);
        } else if (child.LocalName() == "SLine") {
            ok = ReadPointElements(child, south);
        }
    });
    if (!ok) {
        return false;
    }
    m_north = std::move(north);
    m_south = std::move(south);
    return true;
}

void CImpactLines::Serialize(CArchiveWriter& out) const {
    WritePointList(out, m_north);
    WritePointList(out, m_south);
}

void CImpactLines::Serialize(CArchiveReader& in) {
    CLatLngList north = ReadPointList(in, "the northern impact line");
    CLatLngList south = ReadPointList(in, "the southern impact line");
    m_north = std::move(north);
    m_south = std::move(south);
}

} // namespace halyx
