#pragma once

#include "external/maplib/worldmap.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace halyx {

// The first line of every map text begins with one of these (exact, case-sensitive).
inline constexpr std::string_view kMapMarker11 = "#Brisal MapData(1.1) -";
inline constexpr std::string_view kMapMarker12 = "#Brisal MapData(1.2) -";

// The size and coordinates that a version 1.2 header gives (lines 2 to 6 of the text).
struct CMapHeader {
    int width = 0;
    int height = 0;
    double minLat = 0.0; // line 3, before the ':'
    double maxLat = 0.0; // line 3, after it
    double minLng = 0.0; // line 5, before the ':'
    double maxLng = 0.0; // line 5, after it
    std::string velocityLine;
};

// The outcome of reading a whole map text into a map.
struct CMapLoadResult {
    enum class Status {
        Ok,
        NoMarker,  // no first line, or neither marker at its start
        BadHeader, // a version 1.2 header line is missing or unusable
        BadBody,   // the rows after the header do not read (see body)
    };
    Status status = Status::Ok;
    int version = 0; // 11 or 12 once the marker has been read
    std::string description;
    CMapParseResult body;

    explicit operator bool() const { return status == Status::Ok; }
};

// Splits a text into lines at '\n', dropping a '\r' before it; a final line without a line end
// counts, an empty text has no lines.
std::vector<std::string_view> SplitMapLines(std::string_view text);

// 11 or 12 when line begins with a marker, else 0.
int MapTextVersion(std::string_view firstLine);

// Reads header lines 2 to 6 (lines[1] to lines[5]). False with a description when one is missing,
// a size is not above 0 or beyond the limits, a range line has no ':', or a range is empty or not
// a finite number.
bool ReadMapHeader(const std::vector<std::string_view>& lines, CMapHeader& header,
                   std::string& description);

// Reads a whole map text (marker line, the header of version 1.2, the rows) and, only when all of
// it reads, replaces map's raster, size and coordinates with it; otherwise map is unchanged.
// Version 1.1 texts have no header: their size comes from a sizing pass over the rows and they
// cover map coordinates 0..width by 0..height.
CMapLoadResult LoadMapText(std::string_view text, CWorldMap& map);

// The body grammar, for CWorldMap::parse. With pixels null it only sizes; otherwise it writes
// into a raster of exactly width by height (row 0 at the bottom).
CMapParseResult ParseMapBody(std::string_view body, uint8_t* pixels, int width, int height);

} // namespace halyx
