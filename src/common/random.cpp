#include "common/random.h"

#include <chrono>

namespace halyx {

namespace {
unsigned int g_state = 1;
} // namespace

void SeedRandom(unsigned int seed) {
    g_state = seed;
}

void SeedRandomFromClock() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    SeedRandom(
        static_cast<unsigned int>(std::chrono::duration_cast<std::chrono::seconds>(now).count()));
}

int NextRandom() {
    g_state = g_state * 214013u + 2531011u;
    return static_cast<int>((g_state >> 16) & 0x7FFFu);
}

double RandomInRange(double low, double high) {
    const int r = NextRandom();
    return r / 32768.0 * (high - low + 1.0) + low;
}

} // namespace halyx
