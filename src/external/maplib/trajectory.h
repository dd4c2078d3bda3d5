#pragma once

#include "external/maplib/latlng.h"

#include <string>

namespace halyx {

class CArchiveReader;
class CArchiveWriter;
class IXmlElement;

// The launch vehicle's ground track: one ordered point list.
class CTrajectory {
public:
    const CLatLngList& GetTrajectory() const { return m_points; }
    int GetTrajectoryCt() const { return static_cast<int>(m_points.size()); }
    void AddTrajectoryPoint(double lat, double lng) { m_points.emplace_back(lat, lng); }
    void RemoveTrajectory() { m_points.clear(); }

    // "<Trajectory>\n" then "<Point Lat=\"%f\" Lng=\"%f\"/>\n" per point, then "</Trajectory>".
    std::string ToXML() const;
    // "tell :number %d" followed by " :%d (tell :lat %f :lon %f)" per point.
    std::string ToKQML() const;

    // Reads the element ToXML writes; the points are replaced only when the whole element reads.
    bool TrajectoryFromXML(const IXmlElement& element);

    // Archive form: one point list (see WritePointList).
    void Serialize(CArchiveWriter& out) const;
    void Serialize(CArchiveReader& in);

    bool operator==(const CTrajectory&) const = default;

private:
    CLatLngList m_points;
};

} // namespace halyx
