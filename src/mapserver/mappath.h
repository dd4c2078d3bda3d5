#pragma once

// Which served map a request path names. Kept apart from the server so that the rules can be
// tested and fuzzed without a socket.

#include <optional>
#include <string>
#include <string_view>

namespace halyx {

// The folder every map is served under.
inline constexpr std::string_view kMapPathPrefix = "/maps/";

// The map name in a request path of the form "/maps/NAME", NAME percent-decoded. Nothing else
// names a map: no other folder, no sub-folder, no "." or ".." (encoded or not), no separator or
// control byte inside the name, no malformed escape. The query and fragment must already be cut
// off.
std::optional<std::string> MapNameOfRequestPath(std::string_view path);

// A name the server may give a file: 1 to 128 bytes of letters, digits, '.', '-' and '_', not
// starting with '.'.
bool IsServableMapName(std::string_view name);

} // namespace halyx
