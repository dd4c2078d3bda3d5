#pragma once

namespace halyx {

// The program's one random source: a 15-bit linear congruential generator (values 0...32767),
// the classic C library recurrence, so that a seed gives the same scenario on every platform.
// It is seeded once at start-up from the clock; tests seed it explicitly.
void SeedRandom(unsigned int seed);
void SeedRandomFromClock();
int NextRandom();

// r / 32768.0 * (high - low + 1.0) + low: a value in [low, high + 1). Truncating it gives every
// integer from low to high with equal chance.
double RandomInRange(double low, double high);

} // namespace halyx
