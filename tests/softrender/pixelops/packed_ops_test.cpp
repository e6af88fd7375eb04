// The packed saturating operations' mask formulas against their per-channel
// descriptions, exhaustively per channel pair where that is small and on
// random whole words otherwise.
#include <gtest/gtest.h>

#include <random>

#include "support/pixel_reference.h"
#include "softrender/pixelops/packed_ops.h"

using namespace softpix;

TEST(PackedOps, MaskFormulasMatchPerChannelRulesOnRandomWords)
{
    std::mt19937 rng(12345);
    for (int i = 0; i < 400000; ++i) {
        const std::uint32_t u = rng(), d = rng();
        ASSERT_EQ(PackedSaturatingAdd(u, d), pixref::PackedAdd8888(u, d)) << std::hex << u << " " << d;
        ASSERT_EQ(PackedSaturatingSubtract(u, d), pixref::PackedSub8888(u, d)) << std::hex << u << " " << d;
        const std::uint32_t u16 = u & 0xFFFF, d16 = d & 0xFFFF;
        ASSERT_EQ(PackedSaturatingAdd565(u16, d16), pixref::PackedAdd565(u16, d16)) << std::hex << u16 << " " << d16;
        ASSERT_EQ(PackedSaturatingSubtract565(u16, d16), pixref::PackedSub565(u16, d16))
            << std::hex << u16 << " " << d16;
    }
}

TEST(PackedOps, EveryGreenPairWithBlueCarryMatches)
{
    // Green against green, with and without the carry/borrow from blue, and
    // red riding on it: the low-bit rules live here.
    for (std::uint32_t ug = 0; ug < 64; ++ug)
        for (std::uint32_t dg = 0; dg < 64; ++dg)
            for (std::uint32_t ub : {0u, 31u})
                for (std::uint32_t db : {0u, 1u, 31u}) {
                    const std::uint32_t u = Pack565(ug >> 1, ug, ub), d = Pack565(dg >> 1, dg, db);
                    ASSERT_EQ(PackedSaturatingAdd565(u, d), pixref::PackedAdd565(u, d));
                    ASSERT_EQ(PackedSaturatingSubtract565(u, d), pixref::PackedSub565(u, d));
                    const std::uint32_t u8 = (ug * 4) << 8 | (ub * 8), d8 = (dg * 4) << 8 | (db * 8);
                    ASSERT_EQ(PackedSaturatingAdd(u8, d8), pixref::PackedAdd8888(u8, d8));
                    ASSERT_EQ(PackedSaturatingSubtract(u8, d8), pixref::PackedSub8888(u8, d8));
                }
}

TEST(PackedOps, NamedLowBitCases)
{
    // 8888 word: 0x00RRGGBB.
    EXPECT_EQ(PackedSaturatingAdd(0x000200, 0x00FF00), 0x01FF00u);  // G saturates, R gets 1
    EXPECT_EQ(PackedSaturatingAdd(0x0000FF, 0x000001), 0x0001FFu);                        // B saturates, G gets 1
    EXPECT_EQ(PackedSaturatingAdd(0x800000, 0x800000) >> 24, 1u);                          // red carry into byte 3
    EXPECT_EQ(PackedSaturatingAdd(0, 0x77000000), 0u);                                    // old byte 3 dropped
    EXPECT_EQ(PackedSaturatingSubtract(0, 0x12000000), 0x010100u);                        // zero amount on black
    EXPECT_EQ(PackedSaturatingSubtract(0x000500, 0x000A00), 0x010700u);                   // 10 - 5 gives 7 in green
    EXPECT_EQ(PackedSaturatingSubtract(0xFFFFFF, 0xFFFFFF), 0x010100u);  // white from white keeps the low bits
    EXPECT_EQ(PackedSaturatingSubtract(0xFFFFFF, 0), 0u);
    // 565 as (r, g, b).
    EXPECT_EQ(PackedSaturatingAdd565(Pack565(0, 2, 0), Pack565(0, 62, 0)), Pack565(1, 62, 0));
    EXPECT_EQ(PackedSaturatingSubtract565(Pack565(0, 3, 0), Pack565(0, 10, 0)), Pack565(1, 8, 0));
    EXPECT_EQ(PackedSaturatingSubtract565(0, 0), Pack565(1, 0, 0));
    EXPECT_EQ(ByteWiseSaturatingSubtract(0x09050505, 0x550A0A0A), 0x4C050505u);
}
