#pragma once

#include <cstdlib>

namespace halyx::fuzz {

// A promise of the reader under test that did not hold: abort, so that the fuzzer keeps the
// input that broke it.
inline void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace halyx::fuzz
