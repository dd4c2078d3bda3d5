#pragma once

#include <string>

namespace halyx {

class CLogTimeline;

// Writes the timeline picture to path: PNG or SVG by the name's ending. False with error set when
// the ending is neither or the file cannot be written; a failed write leaves no partial file.
bool WriteTimelineFile(const CLogTimeline& timeline, const std::string& path, std::string& error);

// True when path ends in ".png" or ".svg", in any case.
bool IsTimelineFileName(const std::string& path);

} // namespace halyx
