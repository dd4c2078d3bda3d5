#include "external/maplib/latlng.h"

#include "common/archive.h"
#include "common/format.h"

namespace halyx {

namespace {
constexpr uint64_t kPointBytes = 16;
}

void WritePointList(CArchiveWriter& out, const CLatLngList& points) {
    out.WriteU32(static_cast<uint32_t>(points.size()));
    for (const CLatLng& point : points) {
        out.WriteDouble(point.lat);
        out.WriteDouble(point.lng);
    }
}

CLatLngList ReadPointList(CArchiveReader& in, const char* what) {
    const uint32_t count = in.ReadU32(what);
    // Checked against the bytes left before reserving, so a hostile count cannot allocate.
    in.RequireItems(count, kPointBytes, std::string(what) + " points");
    CLatLngList points;
    points.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        const double lat = in.ReadDouble("a point's latitude");
        const double lng = in.ReadDouble("a point's longitude");
        points.emplace_back(lat, lng);
    }
    return points;
}

void AppendPointsXml(std::string& out, const CLatLngList& points) {
    for (const CLatLng& point : points) {
        AppendFormat(out, "<Point Lat=\"%f\" Lng=\"%f\"/>\n", point.lat, point.lng);
    }
}

void AppendPointsKqml(std::string& out, const CLatLngList& points) {
    AppendFormat(out, "tell :number %d", static_cast<int>(points.size()));
    for (size_t i = 0; i < points.size(); ++i) {
        AppendFormat(out, " :%d (tell :lat %f :lon %f)", static_cast<int>(i), points[i].lat,
                     points[i].lng);
    }
}

} // namespace halyx
