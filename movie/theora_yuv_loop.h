// The vector loop of the fixed-point 4:2:0 conversion, one template for
// every register width (softrender/simd: V128, V256). A pass converts
// V::kBytes pixels of each of two rows that share one chroma row; the chroma
// terms are worked out once for both. Loads puts the pass's luma bytes and
// widened chroma into the register so that every step after stays within
// its 128-bit lane and the four stores come out in pixel order.
// Include after the instruction set's target is chosen. No neighbours.
#pragma once

#include "movie/theora_yuv_simd.h"

namespace theora_yuv {

// 32-bit products of 16-bit values and one 16-bit factor: the low and high halves.
template <class V>
[[gnu::always_inline]] inline void Products(typename V::T v, typename V::T factor, typename V::T& lo,
                                            typename V::T& hi)
{
    const typename V::T low = V::Mullo16(v, factor);
    const typename V::T high = V::Mulhi16(v, factor);
    lo = V::UnpackLo16(low, high);
    hi = V::UnpackHi16(low, high);
}

// Each chroma term widened to the two pixels it covers.
template <class V>
[[gnu::always_inline]] inline void Spread(typename V::T lo, typename V::T hi, typename V::T out[4])
{
    out[0] = V::UnpackLo32(lo, lo);
    out[1] = V::UnpackHi32(lo, lo);
    out[2] = V::UnpackLo32(hi, hi);
    out[3] = V::UnpackHi32(hi, hi);
}

// (luma term + chroma term) / 16384 clamped to a byte. For a negative sum
// both the shift and the table loop's truncating quotient clamp to 0.
template <class V>
[[gnu::always_inline]] inline typename V::T Channel(const typename V::T luma[4], const typename V::T chroma[4])
{
    typename V::T q[4];
    for (int i = 0; i < 4; ++i) q[i] = V::Sra32(V::Add32(luma[i], chroma[i]), 14);
    return V::PackUS16(V::PackS32(q[0], q[1]), V::PackS32(q[2], q[3]));
}

template <class V, class Loads>
[[gnu::always_inline]] inline void ConvertRow(const BYTE* luma, const typename V::T red[4],
                                              const typename V::T green[4], const typename V::T blue[4], BYTE* out)
{
    using T = typename V::T;
    const T bytes = Loads::Luma(luma);
    const T offset = V::Set16(16);
    const T factor = V::Set16(THEORA_LUMA);
    T l[4];
    Products<V>(V::Sub16(V::UnpackLo8(bytes, V::Zero()), offset), factor, l[0], l[1]);
    Products<V>(V::Sub16(V::UnpackHi8(bytes, V::Zero()), offset), factor, l[2], l[3]);
    const T r = Channel<V>(l, red);
    const T g = Channel<V>(l, green);
    const T b = Channel<V>(l, blue);
    const T opaque = V::Set32(0xFFFFFFFFu);
    const T bgLow = V::UnpackLo8(b, g);
    const T bgHigh = V::UnpackHi8(b, g);
    const T raLow = V::UnpackLo8(r, opaque);
    const T raHigh = V::UnpackHi8(r, opaque);
    V::Store(out, V::UnpackLo16(bgLow, raLow));
    V::Store(out + V::kBytes, V::UnpackHi16(bgLow, raLow));
    V::Store(out + 2 * V::kBytes, V::UnpackLo16(bgHigh, raHigh));
    V::Store(out + 3 * V::kBytes, V::UnpackHi16(bgHigh, raHigh));
}

template <class V, class Loads>
int ConvertRowPair(const Theora420RowPair& rows)
{
    using T = typename V::T;
    constexpr int BlocksPerPass = V::kBytes / 2;
    const T centre = V::Set16(128);
    const T redFactor = V::Set16(THEORA_RED_FROM_CR);
    // The blue factor does not fit 16 bits signed: half of it, doubled after.
    static_assert(THEORA_BLUE_FROM_CB % 2 == 0);
    const T halfBlueFactor = V::Set16(THEORA_BLUE_FROM_CB / 2);
    const T greenFactors = V::Set32((static_cast<std::uint32_t>(THEORA_GREEN_FROM_CR) << 16) |
                                    (static_cast<std::uint32_t>(THEORA_GREEN_FROM_CB) & 0xFFFFu));
    int block = 0;
    for (; block + BlocksPerPass <= rows.Blocks; block += BlocksPerPass) {
        const T cb = V::Sub16(Loads::Chroma(rows.Cb + block), centre);
        const T cr = V::Sub16(Loads::Chroma(rows.Cr + block), centre);
        T lo;
        T hi;
        T red[4];
        Products<V>(cr, redFactor, lo, hi);
        Spread<V>(lo, hi, red);
        T blue[4];
        Products<V>(cb, halfBlueFactor, lo, hi);
        Spread<V>(V::Sll32(lo, 1), V::Sll32(hi, 1), blue);
        T green[4];
        Spread<V>(V::MulAddPairs16(V::UnpackLo16(cb, cr), greenFactors),
                  V::MulAddPairs16(V::UnpackHi16(cb, cr), greenFactors), green);
        ConvertRow<V, Loads>(rows.Luma0 + 2 * block, red, green, blue, rows.Out0 + 8 * block);
        ConvertRow<V, Loads>(rows.Luma1 + 2 * block, red, green, blue, rows.Out1 + 8 * block);
    }
    return block;
}

} // namespace theora_yuv
