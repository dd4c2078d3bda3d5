#pragma once

// The mission statistics report: a station's mission_stats command turned into one
// <MissionStats> block of the experiment log. The figures are copied as text, escaped for XML;
// only the item counts are read as numbers, to bound the item lists.
//
// Usage (normally through CExperimentLog::LogMissionStats):
//     std::string block = MissionStatsXml("ALPHA", "tell :command mission_stats :totalCost 40 "
//                                                  ":radarStats (tell :count 1 :radar0 (...))");
//     log.WriteText(block);

#include <string>
#include <string_view>

namespace halyx {

// The whole block, from "<MissionStats TeamMember=...>\n" to "</MissionStats>\n".
// content is the command's KQML content text.
std::string MissionStatsXml(std::string_view teamMember, std::string_view content);

} // namespace halyx
