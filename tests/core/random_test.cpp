// The generator against the 1998 reference outputs and an independent model
// of the classic per-block generator; the range mapping at its edges.
#include "core/random.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

namespace {

// The classic formulation: last word wraps to word 0 explicitly, no spare slot.
std::vector<std::uint32_t> ReferenceOutputs(std::uint32_t seed, int count)
{
    constexpr int n = 624, m = 397;
    std::uint32_t mt[n];
    for (int i = 0; i < n; ++i) {
        mt[i] = seed & 0xffff0000u;
        seed = 69069u * seed + 1;
        mt[i] |= (seed & 0xffff0000u) >> 16;
        seed = 69069u * seed + 1;
    }
    const std::uint32_t mag01[2] = {0, 0x9908b0dfu};
    std::vector<std::uint32_t> out;
    int mti = n;
    while (static_cast<int>(out.size()) < count) {
        if (mti >= n) {
            int kk = 0;
            std::uint32_t y;
            for (; kk < n - m; ++kk) {
                y = (mt[kk] & 0x80000000u) | (mt[kk + 1] & 0x7fffffffu);
                mt[kk] = mt[kk + m] ^ (y >> 1) ^ mag01[y & 1];
            }
            for (; kk < n - 1; ++kk) {
                y = (mt[kk] & 0x80000000u) | (mt[kk + 1] & 0x7fffffffu);
                mt[kk] = mt[kk + (m - n)] ^ (y >> 1) ^ mag01[y & 1];
            }
            y = (mt[n - 1] & 0x80000000u) | (mt[0] & 0x7fffffffu);
            mt[n - 1] = mt[m - 1] ^ (y >> 1) ^ mag01[y & 1];
            mti = 0;
        }
        std::uint32_t y = mt[mti++];
        y ^= y >> 11;
        y ^= (y << 7) & 0x9d2c5680u;
        y ^= (y << 15) & 0xefc60000u;
        y ^= y >> 18;
        out.push_back(y);
    }
    return out;
}

}  // namespace

TEST(RandomGenerator, Seed4357GivesTheReferenceFirstOutputs)
{
    SeedRandomGenerator(4357);
    // The two-step 69069 fill; the older one-step fill would start 3510405877.
    const std::uint32_t published[] = {2867219139u, 1585203162u, 3113124129u, 2953900839u, 2463794868u};
    for (std::uint32_t want : published) EXPECT_EQ(NextRandomWord(), want);
}

TEST(RandomGenerator, MatchesReferenceAcrossRegenerations)
{
    for (std::uint32_t seed : {4357u, 0u, 1u, 0xFFFFFFFFu, 123456789u}) {
        SeedRandomGenerator(seed);
        std::vector<std::uint32_t> want = ReferenceOutputs(seed, 624 * 3 + 5);
        for (std::size_t i = 0; i < want.size(); ++i) {
            ASSERT_EQ(NextRandomWord(), want[i]) << "seed " << seed << " output " << i;
        }
    }
}

TEST(RandomGenerator, DrawBeforeAnySeedSeedsWith4357)
{
    ResetRandomGenerator();
    std::vector<std::uint32_t> want = ReferenceOutputs(4357, 3);
    EXPECT_EQ(NextRandomWord(), want[0]);
    EXPECT_EQ(NextRandomWord(), want[1]);
    SeedRandomGenerator(4357);  // re-seeding restarts the sequence
    EXPECT_EQ(NextRandomWord(), want[0]);
}

TEST(RandomGenerator, RangeIsTheHighWordOfTheScaledOutput)
{
    struct Case {
        std::int32_t max;
        std::int32_t low;
        std::int32_t high;
    };
    const Case cases[] = {
        {0, 0, 0},
        {-1, 0, 0},  // factor max + 1 is 0
        {-5, -4, 0},
        {1, 0, 1},
        {99, 0, 99},
        {INT32_MAX, 0, INT32_MAX},  // max + 1 must not wrap to a negative factor
        {INT32_MIN, INT32_MIN + 1, 0},
    };
    for (const Case& c : cases) {
        SeedRandomGenerator(4357);
        std::vector<std::uint32_t> raw = ReferenceOutputs(4357, 200);
        for (std::uint32_t r : raw) {
            std::int32_t v = NextRandomInRange(c.max);
            std::int64_t want = (static_cast<std::int64_t>(r) * (static_cast<std::int64_t>(c.max) + 1)) >> 32;
            ASSERT_EQ(v, want) << "max " << c.max;
            ASSERT_GE(v, c.low) << "max " << c.max;
            ASSERT_LE(v, c.high) << "max " << c.max;
        }
    }
}

TEST(RandomGenerator, SmallRangeHitsEveryValueEvenly)
{
    SeedRandomGenerator(4357);
    int hits[6] = {};
    for (int i = 0; i < 60000; ++i) ++hits[NextRandomInRange(5)];
    for (int h : hits) EXPECT_NEAR(h, 10000, 500);
}
