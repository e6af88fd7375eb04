// The arithmetic every image and flat-colour operator is built from: the
// packed saturating add and subtract of blend modes 2 and 3 (their inexact low
// bits are the required results), the floor mixes, pixel access and RGB565
// fields. Pure constexpr helpers over softrender/pixel_ops.h; no state.
#pragma once

#include <cstdint>

#include "softrender/pixel_ops.h"

namespace softpix {

// The packed procedures live once, in softrender/pixel_ops.h (shared with the
// 1:1 blit); these are the names the image and flat-colour operators use.

// Byte 3 of the result is the carry out of red; byte 3 of either input is dropped.
constexpr std::uint32_t PackedSaturatingAdd(std::uint32_t u, std::uint32_t d) { return softpx::AddFull8888(d, u); }

// Byte 3 of the result is 0. A zero amount still sets the low bit of green and red.
constexpr std::uint32_t PackedSaturatingSubtract(std::uint32_t u, std::uint32_t d) { return softpx::Sub8888(d, u); }

constexpr std::uint16_t PackedSaturatingAdd565(std::uint32_t u, std::uint32_t d) { return softpx::AddFull565(d, u); }

constexpr std::uint16_t PackedSaturatingSubtract565(std::uint32_t u, std::uint32_t d) { return softpx::Sub565(d, u); }

// Exact per-byte max(0, d - s) on all four bytes, byte 3 included: the
// processor's saturating byte subtraction.
constexpr std::uint32_t ByteWiseSaturatingSubtract(std::uint32_t s, std::uint32_t d) { return softpx::SubSat8888(d, s); }

// d + floor((x - d) * w / 2^shift) for channel values d, x >= 0, formed in
// wrapping u32 (the true value always lies in [0, 2^32)).
template <int Shift>
constexpr std::uint32_t Mix(std::uint32_t d, std::uint32_t x, std::uint32_t w)
{
    return softpx::Lerp<Shift>(d, x, w);
}

// Mix<8> on the three colour bytes of two XRGB8888 words at once (red and
// blue share one multiply: each lane stays below 2^16); byte 3 of the result is 0.
constexpr std::uint32_t Lerp8Word(std::uint32_t d, std::uint32_t x, std::uint32_t w)
{
    const std::uint32_t rb = (((d & 0xFF00FFu) * (256 - w) + (x & 0xFF00FFu) * w) >> 8) & 0xFF00FFu;
    const std::uint32_t g = (((d & 0xFF00u) * (256 - w) + (x & 0xFF00u) * w) >> 8) & 0xFF00u;
    return rb | g;
}

using softpx::Load16;
using softpx::Load32;
using softpx::Store16;
using softpx::Store32;

// RGB565 fields (red, green, blue) and their packing.
constexpr std::uint32_t R565(std::uint32_t v) { return (v >> 11) & 0x1Fu; }
constexpr std::uint32_t G565(std::uint32_t v) { return (v >> 5) & 0x3Fu; }
constexpr std::uint32_t B565(std::uint32_t v) { return v & 0x1Fu; }
constexpr std::uint16_t Pack565(std::uint32_t r, std::uint32_t g, std::uint32_t b)
{
    return static_cast<std::uint16_t>((r << 11) | (g << 5) | b);
}

}  // namespace softpix
