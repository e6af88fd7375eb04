// Pixel arithmetic shared by the software kernels: unaligned pixel loads and
// stores, the packed-word add, subtract and half-sum procedures of both pixel
// formats (with their lowest-bit carries, which are part of the results),
// the byte-saturating adds, and the weighted mixes. No state.
#pragma once

#include <cstdint>
#include <cstring>

#include "platform/kernel/types.h"

namespace softpx {

inline DWORD Load32(const void* p)
{
    DWORD v;
    std::memcpy(&v, p, 4);
    return v;
}
inline WORD Load16(const void* p)
{
    WORD v;
    std::memcpy(&v, p, 2);
    return v;
}
inline void Store32(void* p, DWORD v) { std::memcpy(p, &v, 4); }
inline void Store16(void* p, WORD v) { std::memcpy(p, &v, 2); }

// ---- XRGB 8:8:8:8 words (blue byte 0, green 1, red 2, byte 3 spare) ----

// Per channel h(d) + h(a); byte 3 becomes 0.
constexpr DWORD HalfSum8888(DWORD d, DWORD a) { return ((d >> 1) & 0x007F7F7Fu) + ((a >> 1) & 0x007F7F7Fu); }

// Saturating add whose lowest bits of green and red carry the overflow of the
// channel below, OR the inputs' own lowest bits; byte 3 = red overflow.
constexpr DWORD AddFull8888(DWORD d, DWORD a)
{
    DWORD w = (d & 0x00FEFEFFu) + (a & 0x00FEFEFFu);
    DWORD k = w & 0x01010100u;
    return (k - (k >> 8)) | ((d | a) & 0x00010100u) | w;
}

// As AddFull8888 without the inputs' lowest bits of green and red.
constexpr DWORD AddFast8888(DWORD d, DWORD a)
{
    DWORD w = (d & 0x00FEFEFFu) + (a & 0x00FEFEFFu);
    DWORD k = w & 0x01010100u;
    return (k - (k >> 8)) | w;
}

// Saturating subtract; green's and red's lowest bits say the channel below
// did not borrow; byte 3 becomes 0.
constexpr DWORD Sub8888(DWORD d, DWORD a)
{
    DWORD x = (d | 0x01010100u) - (a & 0x00FEFEFFu);
    DWORD k = x & 0x01010100u;
    return x & (k - (k >> 8));
}

// Byte-wise saturating add and subtract of all four bytes.
constexpr DWORD AddSat8888(DWORD d, DWORD a)
{
    DWORD r = 0;
    for (int s = 0; s < 32; s += 8) {
        DWORD v = ((d >> s) & 0xFF) + ((a >> s) & 0xFF);
        r |= (v > 255 ? 255u : v) << s;
    }
    return r;
}
constexpr DWORD SubSat8888(DWORD d, DWORD a)
{
    DWORD r = 0;
    for (int s = 0; s < 32; s += 8) {
        DWORD dv = (d >> s) & 0xFF, av = (a >> s) & 0xFF;
        r |= (dv > av ? dv - av : 0u) << s;
    }
    return r;
}

// ---- RGB 5:6:5 words; a pair holds the left pixel in bits 0-15 ----

constexpr DWORD HalfSum565(DWORD s, DWORD d) { return ((s >> 1) & 0x7BEF7BEFu) + ((d >> 1) & 0x7BEF7BEFu); }

constexpr WORD AddFull565(DWORD d, DWORD a)
{
    DWORD w = (d & 0xF7DEF7DFu) + (a & 0xF7DEF7DFu);
    DWORD k = w & 0x08210820u;
    return static_cast<WORD>(w | (k - (k >> 5)) | ((d | a) & 0x0820u));
}

constexpr WORD AddFast565(DWORD d, DWORD a)
{
    DWORD w = (d & 0xF7DEF7DFu) + (a & 0xF7DEF7DFu);
    DWORD k = w & 0x08210820u;
    return static_cast<WORD>(w | (k - (k >> 5)));
}

// Two pixels at once: the left pixel's red overflow reaches the right one's blue.
constexpr DWORD AddPair565(DWORD s, DWORD d)
{
    std::uint64_t wide = static_cast<std::uint64_t>(s & 0xF7DEF7DFu) + (d & 0xF7DEF7DFu);
    DWORD w = static_cast<DWORD>(wide);
    DWORD c = static_cast<DWORD>(wide >> 32);
    DWORD k = w & 0x08210820u;
    return w | (k - ((k >> 5) | (c << 27)));
}

constexpr WORD Sub565(DWORD d, DWORD a)
{
    DWORD x = (d | 0x08210820u) - (a & 0xF7DEF7DFu);
    DWORD k = x & 0x08210820u;
    return static_cast<WORD>(x & (k - (k >> 5)));
}

constexpr DWORD SubPair565(DWORD s, DWORD d)
{
    DWORD dd = d | 0x08210820u;
    DWORD ss = s & 0xF7DEF7DFu;
    DWORD x = dd - ss;
    DWORD m = dd >= ss ? 0xF8000000u : 0u;  // no borrow out of bit 31
    DWORD k = x & 0x08210820u;
    return x & ((k - (k >> 5)) | m);
}

// ---- weighted mixes: d + (x - d) * w / 2^bits, floored, in wrapping u32 ----

template <int Bits>
constexpr DWORD Lerp(DWORD d, DWORD x, DWORD w)
{
    return (d * ((1u << Bits) - w) + x * w) >> Bits;
}

}  // namespace softpx
