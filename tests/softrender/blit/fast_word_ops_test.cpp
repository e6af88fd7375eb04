// The fast branch's word procedures against the per-channel rules they
// stand for, over many random words.
#include <gtest/gtest.h>

#include <random>

#include "blit_reference.h"
#include "softrender/blit/fast_word_ops.h"

namespace {

using blitref::u32;

TEST(FastWordOps, MatchTheirPerChannelRules)
{
    std::mt19937 rng(7);
    for (int i = 0; i < 200000; ++i) {
        u32 d = rng(), a = rng();
        // 32-bit
        blitref::C4 dc = blitref::Split32(d), ac = blitref::Split32(a);
        blitref::C4 half{};
        for (int c = 0; c < 3; ++c) half.c[c] = (dc.c[c] >> 1) + (ac.c[c] >> 1);
        ASSERT_EQ(blitk::HalfSum8888(d, a), blitref::Join32(half));
        ASSERT_EQ(blitk::AddFast8888(d, a), blitref::Join32(blitref::AddFast32(dc, ac, false)));
        u32 sat = 0;
        for (int s = 0; s < 32; s += 8) {
            u32 v = ((d >> s) & 255) + ((a >> s) & 255);
            sat |= (v > 255 ? 255 : v) << s;
        }
        ASSERT_EQ(blitk::AddSat8888(d, a), sat);

        // 16-bit pairs: left pixel in the low half.
        blitref::C3 dl = blitref::Split16(d & 0xFFFF), dr = blitref::Split16(d >> 16);
        blitref::C3 sl = blitref::Split16(a & 0xFFFF), sr = blitref::Split16(a >> 16);
        u32 addPair = blitref::Join16(blitref::AddFast16(dl, sl, false)) |
                      blitref::Join16(blitref::AddPairRight16(dr, sr, blitref::RedOverflow16(dl, sl))) << 16;
        ASSERT_EQ(blitk::AddPair565(a, d), addPair) << std::hex << d << " " << a;
        u32 subPair = blitref::Join16(blitref::Sub16(dl, sl)) |
                      blitref::Join16(blitref::SubPairRight16(dr, sr, blitref::RedBorrow16(dl, sl))) << 16;
        ASSERT_EQ(blitk::SubPair565(a, d), subPair) << std::hex << d << " " << a;
        ASSERT_EQ(blitk::AddFast565(d & 0xFFFF, a & 0xFFFF), blitref::Join16(blitref::AddFast16(dl, sl, false)));
        blitref::C3 h16{};
        for (int c = 0; c < 3; ++c) h16.c[c] = (dl.c[c] >> 1) + (sl.c[c] >> 1);
        ASSERT_EQ(blitk::HalfSum565(a & 0xFFFF, d & 0xFFFF), blitref::Join16(h16));
    }
}

}  // namespace
