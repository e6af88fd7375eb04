// The arithmetic every software pixel operator is built from: the packed
// saturating add and subtract of blend modes 2 and 3 (their inexact low bits
// are the required results), the floor mixes, unaligned pixel access and
// RGB565 fields. Pure constexpr helpers; no tables, no state.
#pragma once

#include <cstdint>
#include <cstring>

namespace softpix {

// --- packed saturating operations on one XRGB8888 word / one RGB565 value ---

// Byte 3 of the result is the carry out of red; byte 3 of either input is dropped.
constexpr std::uint32_t PackedSaturatingAdd(std::uint32_t u, std::uint32_t d)
{
    std::uint32_t x = (u & 0xFEFEFFu) + (d & 0xFEFEFFu);
    std::uint32_t k = x & 0x1010100u;
    return (k - (k >> 8)) | ((u | d) & 0x10100u) | x;
}

// Byte 3 of the result is 0. A zero amount still sets the low bit of green and red.
constexpr std::uint32_t PackedSaturatingSubtract(std::uint32_t u, std::uint32_t d)
{
    std::uint32_t e = (d | 0x1010100u) - (u & 0xFEFEFEFFu);
    std::uint32_t k = e & 0x1010100u;
    return (k - (k >> 8)) & e;
}

constexpr std::uint16_t PackedSaturatingAdd565(std::uint32_t u, std::uint32_t d)
{
    std::uint32_t x = (u & 0xF7DEF7DFu) + (d & 0xF7DEF7DFu);
    std::uint32_t k = x & 0x8210820u;
    return static_cast<std::uint16_t>((k - (k >> 5)) | ((u | d) & 0x820u) | x);
}

constexpr std::uint16_t PackedSaturatingSubtract565(std::uint32_t u, std::uint32_t d)
{
    std::uint32_t e = (d | 0x8210820u) - (u & 0xF7DEF7DFu);
    std::uint32_t k = e & 0x8210820u;
    return static_cast<std::uint16_t>((k - (k >> 5)) & e);
}

// Exact per-byte max(0, d - s) on all four bytes, byte 3 included: the
// processor's saturating byte subtraction.
constexpr std::uint32_t ByteWiseSaturatingSubtract(std::uint32_t s, std::uint32_t d)
{
    std::uint32_t r = 0;
    for (int sh = 0; sh < 32; sh += 8) {
        std::uint32_t dk = (d >> sh) & 0xFFu, sk = (s >> sh) & 0xFFu;
        r |= (dk > sk ? dk - sk : 0u) << sh;
    }
    return r;
}

// --- mixes ---

// d + floor((x - d) * w / 2^shift) for channel values d, x >= 0. The true sum
// d*2^shift + (x - d)*w always lies in [0, 2^32), so unsigned wrap-around
// gives it exactly (signed 32-bit would overflow for three factors).
template <int Shift>
constexpr std::uint32_t Mix(std::uint32_t d, std::uint32_t x, std::uint32_t w)
{
    return ((d << Shift) + (x - d) * w) >> Shift;
}

// Mix<8> on the three colour bytes of two XRGB8888 words at once (red and
// blue share one multiply: each lane stays below 2^16); byte 3 of the result is 0.
constexpr std::uint32_t Lerp8Word(std::uint32_t d, std::uint32_t x, std::uint32_t w)
{
    const std::uint32_t rb = (((d & 0xFF00FFu) * (256 - w) + (x & 0xFF00FFu) * w) >> 8) & 0xFF00FFu;
    const std::uint32_t g = (((d & 0xFF00u) * (256 - w) + (x & 0xFF00u) * w) >> 8) & 0xFF00u;
    return rb | g;
}

// --- unaligned pixel access ---

inline std::uint32_t Load32(const std::uint8_t* p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline std::uint16_t Load16(const std::uint8_t* p)
{
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline void Store32(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }
inline void Store16(std::uint8_t* p, std::uint16_t v) { std::memcpy(p, &v, 2); }

// RGB565 fields (red, green, blue) and their packing.
constexpr std::uint32_t R565(std::uint32_t v) { return (v >> 11) & 0x1Fu; }
constexpr std::uint32_t G565(std::uint32_t v) { return (v >> 5) & 0x3Fu; }
constexpr std::uint32_t B565(std::uint32_t v) { return v & 0x1Fu; }
constexpr std::uint16_t Pack565(std::uint32_t r, std::uint32_t g, std::uint32_t b)
{
    return static_cast<std::uint16_t>((r << 11) | (g << 5) | b);
}

}  // namespace softpix
