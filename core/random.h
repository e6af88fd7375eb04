// The library's random numbers: one Mersenne Twister generator (MT19937 with
// its 1998 seeding), seeded at window creation and drawn by GetRandomNumber.
#pragma once

#include <cstdint>

void SeedRandomGenerator(std::uint32_t seed);
// Back to the never-seeded state, whose first draw seeds with 4357 (tests).
void ResetRandomGenerator();

// A value 0 ... max; for max < 0 a value max + 1 ... 0.
std::int32_t NextRandomInRange(std::int32_t max);

// The next raw 32-bit output (the generator step behind NextRandomInRange).
std::uint32_t NextRandomWord();
