#pragma once

#include <string>
#include <vector>

namespace halyx {

class CArchiveReader;
class CArchiveWriter;

// A point in the scenario's own map coordinates (not degrees of the globe): latitude runs along
// the map picture's width, longitude along its height, upward.
class CLatLng {
public:
    CLatLng() = default;
    CLatLng(double latitude, double longitude) : lat(latitude), lng(longitude) {}

    bool operator==(const CLatLng&) const = default;

    double lat = 0.0;
    double lng = 0.0;
};

using CLatLngList = std::vector<CLatLng>;

// Archive form of a point list, shared by the impact lines and the trajectory: a 32-bit count,
// then each point as two 8-byte doubles, latitude first.
void WritePointList(CArchiveWriter& out, const CLatLngList& points);
CLatLngList ReadPointList(CArchiveReader& in, const char* what);

// The text forms of a point list: XML "<Point Lat=\"%f\" Lng=\"%f\"/>\n" per point, and KQML
// "tell :number %d" then " :%d (tell :lat %f :lon %f)" per point.
void AppendPointsXml(std::string& out, const CLatLngList& points);
void AppendPointsKqml(std::string& out, const CLatLngList& points);

} // namespace halyx
