// The word procedures only the 1:1 blit's fast branch uses: the half-sums,
// the add without the inputs' low bits, the pair add and subtract of 16-bit
// pixels (the left pixel's red carry reaches the right one's blue), and the
// byte-saturating add. Their low-bit effects are part of the results.
#pragma once

#include <cstdint>

#include "softrender/pixelops/packed_ops.h"

namespace blitk {

using u32 = std::uint32_t;

// Per channel h(d) + h(a); byte 3 becomes 0.
constexpr u32 HalfSum8888(u32 d, u32 a) { return ((d >> 1) & 0x007F7F7Fu) + ((a >> 1) & 0x007F7F7Fu); }

// The packed add without OR-ing in the inputs' lowest bits of green and red.
constexpr u32 AddFast8888(u32 d, u32 a)
{
    u32 w = (d & 0x00FEFEFFu) + (a & 0x00FEFEFFu);
    u32 k = w & 0x01010100u;
    return (k - (k >> 8)) | w;
}

// min(255, d + a) in each of the four bytes.
constexpr u32 AddSat8888(u32 d, u32 a)
{
    u32 low = (d & 0x7F7F7F7Fu) + (a & 0x7F7F7F7Fu);
    u32 carry = ((d & a) | ((d | a) & low)) & 0x80808080u;
    return (low ^ ((d ^ a) & 0x80808080u)) | ((carry >> 7) * 0xFFu);
}

// Half-sum of one 16-bit pixel, or of a pair held in one word.
constexpr u32 HalfSum565(u32 s, u32 d) { return ((s >> 1) & 0x7BEF7BEFu) + ((d >> 1) & 0x7BEF7BEFu); }

constexpr std::uint16_t AddFast565(u32 d, u32 a)
{
    u32 w = (d & 0xF7DEF7DFu) + (a & 0xF7DEF7DFu);
    u32 k = w & 0x08210820u;
    return static_cast<std::uint16_t>(w | (k - (k >> 5)));
}

constexpr u32 AddPair565(u32 s, u32 d)
{
    std::uint64_t wide = static_cast<std::uint64_t>(s & 0xF7DEF7DFu) + (d & 0xF7DEF7DFu);
    u32 w = static_cast<u32>(wide);
    u32 c = static_cast<u32>(wide >> 32);
    u32 k = w & 0x08210820u;
    return w | (k - ((k >> 5) | (c << 27)));
}

constexpr u32 SubPair565(u32 s, u32 d)
{
    u32 dd = d | 0x08210820u;
    u32 ss = s & 0xF7DEF7DFu;
    u32 x = dd - ss;
    u32 m = dd >= ss ? 0xF8000000u : 0u;  // no borrow out of bit 31
    u32 k = x & 0x08210820u;
    return x & ((k - (k >> 5)) | m);
}

}  // namespace blitk
