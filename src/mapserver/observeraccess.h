#pragma once

// Who may watch the live mission page. The page and its event stream are answered only to a
// request that carries the key of this run (…/live?key=KEY); the key is 128 random bits from
// the system's cryptographic source, so that it cannot be guessed from the clock or from the
// program's own (predictable) random source. Kept apart from the server so that the rules can be
// tested without a socket.

#include <string>
#include <string_view>

namespace halyx {

// The observer page and its stream of states.
inline constexpr std::string_view kObserverPagePath = "/live";
inline constexpr std::string_view kObserverEventsPath = "/live/events";
// The map under the picture (a PNG), drawn by the console: the page fetches nothing elsewhere.
inline constexpr std::string_view kObserverMapPath = "/live/map.png";

// 32 lower-case hex digits; "" when the system has no random bytes to give.
std::string MakeObserverKey();

// The value of the first "key" parameter of a query ("a=1&key=K"), as written; "" when absent.
std::string_view QueryKey(std::string_view query);

// The keys are equal, compared in time that does not depend on where they differ. An empty
// expected key matches nothing.
bool ObserverKeyMatches(std::string_view given, std::string_view expected);

// The page itself: HTML with its script and style inline, nothing fetched from elsewhere.
const std::string& ObserverPageHtml();

} // namespace halyx
