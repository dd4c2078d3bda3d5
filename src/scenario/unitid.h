#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace halyx {

// A unit identifier: the local time of day as "%H%M%S", the digit 0 (the clock that stamps IDs has
// whole seconds, so its millisecond part is always 0), then a fresh value of the random source in
// decimal, with no separators. Stations receive IDs as opaque text.
std::string MakeUnitId();

// The same for a given instant (milliseconds since 1970, read in the local time zone) and random
// value; lets tests pin the result.
std::string MakeUnitIdAt(int64_t tsid, int randomValue);

// Two units added within one second share the time part, so their IDs differ only by a 15-bit
// draw and can collide. This draws again while `taken` answers true for the candidate, so that a
// list never hands out an ID it already holds (a repeated ID would make removal by ID hit the
// wrong unit).
std::string MakeUnitId(const std::function<bool(std::string_view)>& taken);

} // namespace halyx
