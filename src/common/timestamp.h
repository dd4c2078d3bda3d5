#pragma once

#include <cstdint>
#include <string>

namespace halyx {

// Wall-clock stamp written on every experiment-log event: the text
// "month/day/year hour:min:sec:ms AM|PM" (12-hour clock, no leading zeros) in local time, and
// TSID, the same instant as milliseconds since 1970-01-01 UTC. Both come from one clock reading.
void MakeTimeStamp(std::string& text, int64_t& tsid);

// The text of MakeTimeStamp for a given TSID (local time zone of the process).
std::string TimeStampText(int64_t tsid);

// Milliseconds since 1970-01-01 UTC, now.
int64_t CurrentTsid();

} // namespace halyx
