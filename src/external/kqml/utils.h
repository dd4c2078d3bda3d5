#pragma once

// Small text helpers of the framework.
//
//   CUtils::remove_parenthesis("(hello there)")  ->  "hello there"

#include <string>
#include <string_view>

namespace halyx {

class CUtils {
public:
    // Takes off one pair of enclosing parentheses when the first '(' is closed by the last ')'
    // (surrounding white space is ignored). Any other text comes back unchanged, so "(a) (b)"
    // keeps its parentheses.
    static std::string remove_parenthesis(std::string_view text);
};

} // namespace halyx
