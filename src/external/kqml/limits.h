#pragma once

#include <cstddef>

namespace halyx {

// Bounds that keep hostile or broken input from costing unbounded memory or stack. A real
// scenario message is a few hundred kilobytes nested six or seven lists deep, so the limits sit
// far above anything a station or the console produces.
inline constexpr std::size_t kKqmlMaxMessageBytes = 16u * 1024u * 1024u;
inline constexpr std::size_t kKqmlMaxDepth = 256;
inline constexpr std::size_t kKqmlMaxElements = 1u << 20; // elements of one list

} // namespace halyx
