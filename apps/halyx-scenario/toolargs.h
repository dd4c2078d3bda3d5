#pragma once

// Argument helpers shared by the scenario-set, generation and map commands.

#include "commands.h"

#include <charconv>
#include <optional>
#include <ostream>
#include <string>

namespace halyx::tool {

// A whole number of 0 or more written with digits only.
inline std::optional<long long> ParseCount(const std::string& text) {
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < 0) {
        return std::nullopt;
    }
    return value;
}

inline int ToolUsageError(std::ostream& err, const ToolCommand& command,
                          const std::string& message) {
    Report(err, message);
    PrintCommandUsage(err, command);
    return kExitUsage;
}

} // namespace halyx::tool
