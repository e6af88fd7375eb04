// Channel arithmetic shared by the display, GDI and DirectDraw stand-ins: reading a
// channel of a masked pixel value as 8 bits, and writing 8 bits into one.
#pragma once

#include <cstdint>

inline int MaskShift(std::uint32_t mask)
{
    return mask == 0 ? 0 : __builtin_ctz(mask);
}

inline int MaskWidth(std::uint32_t mask)
{
    return __builtin_popcount(mask);
}

// Widens one channel to 8 bits by repeating its top bits (5 bits 0x1F -> 0xFF).
inline std::uint32_t ExpandChannel(std::uint32_t value, std::uint32_t mask)
{
    if (mask == 0) return 0;
    int bits = MaskWidth(mask);
    std::uint32_t v = (value & mask) >> MaskShift(mask);
    if (bits >= 8) return (v >> (bits - 8)) & 0xFF;
    std::uint32_t out = 0;
    for (int filled = 0; filled < 8; filled += bits) out |= (v << 8) >> (filled + bits);
    return out & 0xFF;
}

// Places the top bits of an 8-bit channel into a mask.
inline std::uint32_t PackChannel(std::uint32_t value8, std::uint32_t mask)
{
    if (mask == 0) return 0;
    int bits = MaskWidth(mask);
    std::uint32_t v = bits >= 8 ? value8 << (bits - 8) : value8 >> (8 - bits);
    return (v << MaskShift(mask)) & mask;
}
