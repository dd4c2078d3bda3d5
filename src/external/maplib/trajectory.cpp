#include "external/maplib/trajectory.h"

#include "common/archive.h"
#include "external/maplib/impactlines.h"
#include "external/maplib/xmlelement.h"

namespace halyx {

std::string CTrajectory::ToXML() const {
    std::string out = "<Trajectory>\n";
    AppendPointsXml(out, m_points);
    out += "</Trajectory>";
    return out;
}

std::string CTrajectory::ToKQML() const {
    std::string out;
    AppendPointsKqml(out, m_points);
    return out;
}

bool CTrajectory::TrajectoryFromXML(const IXmlElement& element) {
    if (element.LocalName() != "Trajectory") {
        return false;
    }
    CLatLngList points;
    if (!ReadPointElements(element, points)) {
        return false;
    }
    m_points = std::move(points);
    return true;
}

void CTrajectory::Serialize(CArchiveWriter& out) const {
    WritePointList(out, m_points);
}

void CTrajectory::Serialize(CArchiveReader& in) {
    m_points = ReadPointList(in, "the trajectory");
}

} // namespace halyx
