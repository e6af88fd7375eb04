// Vector loops for the 1:1 blit's commonest combinations (white brightness,
// no blend graph): one template per loop over the register type (V128 for
// SSE2, V256 for AVX2), with exactly the results of the one-pixel rules,
// which still draw each row's last few pixels. An AVX2 row ends with one
// 16-byte step before the single pixels. Included by the per-pixel loop
// tables (SSE2) and by blit_avx2.cpp (AVX2, under its own target).
#pragma once

#include <algorithm>

#include "softrender/blit/blit_kernel.h"
#include "softrender/simd/vec128.h"

namespace blitk::simd {

using softrender::simd::V128;

// Bytes 0-2 of each pixel from r, byte 3 kept from d.
template <class V>
[[gnu::always_inline]] inline typename V::T KeepByte3(typename V::T r, typename V::T d)
{
    return V::Select(V::Set32(0xFF000000u), d, r);
}

// d + floor((s - d) * w / 256) on every byte whose 16-bit weight lane is
// non-zero (w16lo/w16hi: the weights of the low and high unpacked halves).
// The true sum 256 d + (s - d) w lies in [0, 65280], so its high byte is d
// plus the high byte of the wrapped 16-bit product.
template <class V>
[[gnu::always_inline]] inline typename V::T LerpBytes(typename V::T s, typename V::T d, typename V::T w16lo,
                                                       typename V::T w16hi)
{
    const typename V::T z = V::Zero();
    typename V::T lo = V::Mullo16(V::Sub16(V::UnpackLo8(s, z), V::UnpackLo8(d, z)), w16lo);
    typename V::T hi = V::Mullo16(V::Sub16(V::UnpackHi8(s, z), V::UnpackHi8(d, z)), w16hi);
    return V::Add8(d, V::PackUS16(V::Srl16(lo, 8), V::Srl16(hi, 8)));
}

// The destination rows two ahead, asked for early: sprites land on rows of
// the screen that are rarely in the nearest caches.
[[gnu::always_inline]] inline void PrefetchRow(const BYTE* d, int y, int height, std::ptrdiff_t pitch, int rowBytes)
{
    if (y + 2 < height) {
        const BYTE* ahead = d + 2 * pitch;
        __builtin_prefetch(ahead, 1);
        __builtin_prefetch(ahead + rowBytes - 1, 1);
    }
}

template <class V>
struct CopyOp {
    static constexpr bool kWritesSourceOnly = true;
    [[gnu::always_inline]] explicit CopyOp(const BlitCall&) {}
    [[gnu::always_inline]] typename V::T operator()(typename V::T s, typename V::T) const { return s; }
};

template <class V>
struct HalfSumOp {
    [[gnu::always_inline]] explicit HalfSumOp(const BlitCall&) {}
    [[gnu::always_inline]] typename V::T operator()(typename V::T s, typename V::T d) const
    {
        const typename V::T m = V::Set32(0x007F7F7F);
        return V::Add32(V::And(V::Srl32(d, 1), m), V::And(V::Srl32(s, 1), m));
    }
};

template <class V>
struct AddSatOp {
    [[gnu::always_inline]] explicit AddSatOp(const BlitCall&) {}
    [[gnu::always_inline]] typename V::T operator()(typename V::T s, typename V::T d) const { return V::AddsU8(d, s); }
};

template <class V>
struct SubSatOp {
    [[gnu::always_inline]] explicit SubSatOp(const BlitCall&) {}
    [[gnu::always_inline]] typename V::T operator()(typename V::T s, typename V::T d) const { return V::SubsU8(d, s); }
};

// The packed word procedures, lane by lane.
template <class V>
[[gnu::always_inline]] inline typename V::T AddWords(typename V::T d, typename V::T a, bool full)
{
    const typename V::T m1 = V::Set32(0x00FEFEFF), m2 = V::Set32(0x01010100);
    typename V::T w = V::Add32(V::And(d, m1), V::And(a, m1));
    typename V::T k = V::And(w, m2);
    typename V::T r = V::Or(V::Sub32(k, V::Srl32(k, 8)), w);
    if (full) r = V::Or(r, V::And(V::Or(d, a), V::Set32(0x00010100)));
    return r;
}
template <class V>
[[gnu::always_inline]] inline typename V::T SubWords(typename V::T d, typename V::T a)
{
    const typename V::T m1 = V::Set32(0x00FEFEFF), m2 = V::Set32(0x01010100);
    typename V::T x = V::Sub32(V::Or(d, m2), V::And(a, m1));
    typename V::T k = V::And(x, m2);
    return V::And(x, V::Sub32(k, V::Srl32(k, 8)));
}

template <class V>
struct AddFastOp {
    [[gnu::always_inline]] explicit AddFastOp(const BlitCall&) {}
    [[gnu::always_inline]] typename V::T operator()(typename V::T s, typename V::T d) const { return AddWords<V>(d, s, false); }
};
template <class V>
struct SubOp {
    [[gnu::always_inline]] explicit SubOp(const BlitCall&) {}
    [[gnu::always_inline]] typename V::T operator()(typename V::T s, typename V::T d) const { return SubWords<V>(d, s); }
};

// d + floor((s - d) * p / 256) per colour byte; the weight's alpha lanes are
// 0, so byte 3 stays d's.
template <class V>
struct Lerp8Op {
    typename V::T w;
    [[gnu::always_inline]] explicit Lerp8Op(const BlitCall& c) : w(V::Set64(0x0000000100010001ull * c.ops.P)) {}
    [[gnu::always_inline]] typename V::T operator()(typename V::T s, typename V::T d) const { return LerpBytes<V>(s, d, w, w); }
};

// Scale(s) = s * p / 255 truncated, as (t + 1 + (t >> 8)) >> 8 with t = s * p
// (exact for every t up to 255 * 255), then the full add or the subtract.
template <class V, bool Add>
struct ScaleOp {
    typename V::T p;
    [[gnu::always_inline]] explicit ScaleOp(const BlitCall& c) : p(V::Set16(c.ops.P)) {}
    [[gnu::always_inline]] static typename V::T Div255(typename V::T t)
    {
        return V::Srl16(V::Add16(V::Add16(t, V::Set16(1)), V::Srl16(t, 8)), 8);
    }
    [[gnu::always_inline]] typename V::T operator()(typename V::T s, typename V::T d) const
    {
        const typename V::T z = V::Zero();
        typename V::T lo = Div255(V::Mullo16(V::UnpackLo8(s, z), p));
        typename V::T hi = Div255(V::Mullo16(V::UnpackHi8(s, z), p));
        typename V::T a = V::PackUS16(lo, hi);
        return Add ? AddWords<V>(d, a, true) : SubWords<V>(d, a);
    }
};

// One register of a direct source: key-coloured pixels keep the destination,
// and 16-bit pixels compare with the key's low 16 bits.
template <class Op>
concept WritesSourceOnly = Op::kWritesSourceOnly;

// A keyed copy reads the destination only where a register mixes keyed and
// drawn pixels: wholly drawn ones are stored, wholly keyed ones passed over.
template <class V, int Bytes>
[[gnu::always_inline]] inline typename V::T KeyOf(const BlitCall& c)
{
    return Bytes == 4 ? V::Set32(c.ops.Key) : V::Set16(c.ops.Key & 0xFFFF);
}
template <class V, int Bytes>
[[gnu::always_inline]] inline typename V::T IsKey(typename V::T sv, typename V::T key)
{
    return Bytes == 4 ? V::CmpEq32(sv, key) : V::CmpEq16(sv, key);
}

template <class V, template <class> class Op, bool K, int Bytes>
[[gnu::always_inline]] inline void DirectStep(typename V::T key, const Op<V>& op, const BYTE* s, BYTE* d)
{
    if constexpr (K && WritesSourceOnly<Op<V>>) {
        const typename V::T sv = V::Load(s);
        const typename V::T keyed = IsKey<V, Bytes>(sv, key);
        if (V::AllZero(keyed)) {
            V::Store(d, sv);
        } else if (!V::AllOnes(keyed)) {
            V::Store(d, V::Select(keyed, V::Load(d), sv));
        }
        return;
    }
    typename V::T sv = V::Load(s), dv = V::Load(d);
    typename V::T r = op(sv, dv);
    if constexpr (K) r = V::Select(IsKey<V, Bytes>(sv, key), dv, r);
    V::Store(d, r);
}

// The walks keep the call's values in locals: the stores may alias the record.
template <class V, template <class> class Op, class Px, bool K, int Bytes = 4>
void DirectWalk(const BlitCall& c)
{
    static_assert(Bytes == 2 || Bytes == 4);
    constexpr int kStep = V::kBytes / Bytes, kHalf = 16 / Bytes;
    const Op<V> op(c);
    const Op<V128> half(c);
    const typename V::T key = KeyOf<V, Bytes>(c);
    const typename V128::T keyHalf = KeyOf<V128, Bytes>(c);
    const int width = c.width, height = c.height;
    const std::ptrdiff_t srcSkip = c.srcSkip, dstSkip = c.dstSkip;
    const BYTE* s = c.src;
    BYTE* d = c.dst;
    for (int y = 0; y < height; ++y) {
        PrefetchRow(d, y, height, width * Bytes + dstSkip, width * Bytes);
        int x = 0;
        for (; x + kStep <= width; x += kStep, s += V::kBytes, d += V::kBytes) DirectStep<V, Op, K, Bytes>(key, op, s, d);
        if constexpr (V::kBytes > 16) {
            if (x + kHalf <= width) {
                DirectStep<V128, Op, K, Bytes>(keyHalf, half, s, d);
                x += kHalf, s += 16, d += 16;
            }
        }
        for (; x < width; ++x, s += Bytes, d += Bytes) Px::Apply(c, s, d, nullptr);
        s += srcSkip;
        d += dstSkip;
    }
}

// Alpha sources in mode 0 with the key flag: a = 255 copies the whole word,
// else d + (s - d) * a / 256 with byte 3 kept, which is d itself at a = 0.
template <class V>
[[gnu::always_inline]] inline void AlphaLerpStep(const BYTE* s, BYTE* d)
{
    const typename V::T z = V::Zero();
    const typename V::T colour = V::Set64(0x0000FFFFFFFFFFFFull);
    typename V::T sv = V::Load(s), dv = V::Load(d);
    typename V::T wlo = V::And(V::SpreadAlpha16(V::UnpackLo8(sv, z)), colour);
    typename V::T whi = V::And(V::SpreadAlpha16(V::UnpackHi8(sv, z)), colour);
    typename V::T r = LerpBytes<V>(sv, dv, wlo, whi);
    typename V::T full = V::CmpEq32(V::Or(sv, V::Set32(0x00FFFFFF)), V::Set32(0xFFFFFFFFu));
    V::Store(d, V::Select(full, sv, r));
}

template <class V, class Px>
void AlphaLerpWalk(const BlitCall& c)
{
    constexpr int kStep = V::kBytes / 4;
    const int width = c.width, height = c.height;
    const std::ptrdiff_t srcSkip = c.srcSkip, dstSkip = c.dstSkip;
    const BYTE* s = c.src;
    BYTE* d = c.dst;
    for (int y = 0; y < height; ++y) {
        PrefetchRow(d, y, height, width * 4 + dstSkip, width * 4);
        int x = 0;
        for (; x + kStep <= width; x += kStep, s += V::kBytes, d += V::kBytes) AlphaLerpStep<V>(s, d);
        if constexpr (V::kBytes > 16) {
            if (x + 4 <= width) {
                AlphaLerpStep<V128>(s, d);
                x += 4, s += 16, d += 16;
            }
        }
        for (; x < width; ++x, s += 4, d += 4) Px::Apply(c, s, d, nullptr);
        s += srcSkip;
        d += dstSkip;
    }
}

// Alpha sources in mode 1: d + floor((s - d) * w / 65536) with w = a * p, in
// 16-bit lanes as the high half of (s - d + 256) * w - 256 * w. With the key
// flag, a = 0 keeps the destination and a = 255 takes the opaque rule
// d + (s - d) * p / 256.
template <class V>
[[gnu::always_inline]] inline typename V::T AlphaLerp16Half(typename V::T s16, typename V::T d16, typename V::T p16)
{
    const typename V::T flip = V::Set16(0x8000);
    typename V::T a16 = V::SpreadAlpha16(s16);
    typename V::T w = V::Mullo16(a16, p16);
    typename V::T x = V::Add16(V::Sub16(s16, d16), V::Set16(256));
    typename V::T lo = V::Mullo16(x, w), hi = V::MulhiU16(x, w);
    typename V::T lo2 = V::Sll16(w, 8), hi2 = V::Srl16(w, 8);
    typename V::T borrow = V::CmpLt16(V::Xor(lo, flip), V::Xor(lo2, flip));
    return V::Add16(d16, V::Add16(V::Sub16(hi, hi2), borrow));
}

template <class V, bool K>
[[gnu::always_inline]] inline void AlphaLerp16Step(const BlitCall& c, const Lerp8Op<V>& opaque, const BYTE* s, BYTE* d)
{
    const typename V::T z = V::Zero();
    const typename V::T p16 = V::Set16(c.ops.P);
    typename V::T sv = V::Load(s), dv = V::Load(d);
    typename V::T lo = AlphaLerp16Half<V>(V::UnpackLo8(sv, z), V::UnpackLo8(dv, z), p16);
    typename V::T hi = AlphaLerp16Half<V>(V::UnpackHi8(sv, z), V::UnpackHi8(dv, z), p16);
    typename V::T r = KeepByte3<V>(V::PackUS16(lo, hi), dv);
    if constexpr (K) {
        typename V::T a = V::Srl32(sv, 24);
        r = V::Select(V::CmpEq32(a, V::Set32(255)), opaque(sv, dv), r);
        r = V::Select(V::CmpEq32(a, z), dv, r);
    }
    V::Store(d, r);
}

template <class V, class Px, bool K>
void AlphaLerp16Walk(const BlitCall& c)
{
    constexpr int kStep = V::kBytes / 4;
    const Lerp8Op<V> opaque(c);
    const Lerp8Op<V128> opaqueHalf(c);
    const BYTE* s = c.src;
    BYTE* d = c.dst;
    for (int y = 0; y < c.height; ++y) {
        int x = 0;
        for (; x + kStep <= c.width; x += kStep, s += V::kBytes, d += V::kBytes) AlphaLerp16Step<V, K>(c, opaque, s, d);
        if constexpr (V::kBytes > 16) {
            if (x + 4 <= c.width) {
                AlphaLerp16Step<V128, K>(c, opaqueHalf, s, d);
                x += 4, s += 16, d += 16;
            }
        }
        for (; x < c.width; ++x, s += 4, d += 4) Px::Apply(c, s, d, nullptr);
        s += c.srcSkip;
        d += c.dstSkip;
    }
}

// n bytes (n >= 2, even) of one opaque run: whole registers, the last one
// overlapping the one before, and runs shorter than a register in two
// overlapping moves of the largest size that fits, so no run needs a loop
// unless it spans more than two registers.
template <class V>
[[gnu::always_inline]] inline void MoveRun(BYTE* d, const BYTE* s, std::size_t n)
{
    constexpr std::size_t K = V::kBytes;
    if (n >= K) {
        V::Store(d, V::Load(s));
        // The middle stores aligned: a store split across two cache lines costs two.
        for (std::size_t i = K - (reinterpret_cast<std::uintptr_t>(d) & (K - 1)); i + K < n; i += K)
            V::Store(d + i, V::Load(s + i));
        V::Store(d + n - K, V::Load(s + n - K));
    } else if constexpr (K > 16) {
        if (n >= 16) {
            const V128::T a = V128::Load(s), b = V128::Load(s + n - 16);
            V128::Store(d, a);
            V128::Store(d + n - 16, b);
        } else {
            CopyRun(d, s, n);
        }
    } else {
        CopyRun(d, s, n);
    }
}

// The run-length path of a direct source in mode 0 with white brightness and
// no blend graph: opaque runs, and translucent ones (the opaque rule for a
// direct source), are the source's own words; keyed runs only move the pointers.
template <class V, int Bytes>
void RunCopyWalk(const BlitCall& c)
{
    const BYTE* run = c.runs;
    const BYTE* s = c.src;
    BYTE* d = c.dst;
    const int width = c.width, height = c.height;
    const std::ptrdiff_t srcSkip = c.srcSkip, dstSkip = c.dstSkip;
    auto draw = [&](unsigned b, int n) {
        const std::size_t bytes = static_cast<std::size_t>(n) * Bytes;
        if (b >= MEMIMG_RUN_OPAQUE) MoveRun<V>(d, s, bytes);
        s += bytes;
        d += bytes;
    };
    for (int y = 0; y < height; ++y) {
        int left = width;
        unsigned b = 0;
        // While two runs of the longest kind still fit, none can overrun the
        // row, and a keyed run followed by a drawn one (a sprite's rows
        // alternate so) is taken in one step: the walk costs per step.
        while (left >= 2 * MEMIMG_RUN_MAX) {
            b = run[0];
            const unsigned next = run[1];
            if (b < MEMIMG_RUN_OPAQUE && next - MEMIMG_RUN_OPAQUE < MEMIMG_RUN_END_OF_ROW - MEMIMG_RUN_OPAQUE) {
                const int skip = static_cast<int>(b & 63) + 1, n = static_cast<int>(next & 63) + 1;
                run += 2;
                left -= skip + n;
                s += skip * Bytes;
                d += skip * Bytes;
                draw(next, n);
                continue;
            }
            ++run;
            if (b >= MEMIMG_RUN_END_OF_ROW) break;
            const int n = static_cast<int>(b & 63) + 1;
            left -= n;
            draw(b, n);
        }
        while (b < MEMIMG_RUN_END_OF_ROW) {
            b = *run++;
            if (b >= MEMIMG_RUN_END_OF_ROW) break;
            const int n = std::min(static_cast<int>(b & 63) + 1, left);  // a table overrunning its row is cut
            if (n == 0) continue;
            left -= n;
            draw(b, n);
        }
        s += left * Bytes + srcSkip;
        d += left * Bytes + dstSkip;
    }
}

// The vector run-length loop for a choice, or null to use the generated one.
template <class V, int Bytes>
BlitLoop SelectRunCopy(const BlitChoice& ch)
{
    if (!ch.runs || ch.src != Src::Direct || ch.mode != 0 || !ch.white || ch.graph) return nullptr;
    return &RunCopyWalk<V, Bytes>;
}

// The run-length loop of one format: a vector copy at the draw's level, else
// the generated one. Instantiated by the run-length units only.
template <PixFmt Fmt>
BlitLoop SelectRunLoopAtLevel(const BlitChoice& ch)
{
    constexpr int kBytes = Fmt == PixFmt::X8888 ? 4 : 2;
    if (ch.isa == IsaLevel::Avx2) {
        if (BlitLoop vector = SelectRunCopyAvx2(ch, kBytes)) return vector;
    }
    if (ch.isa != IsaLevel::Portable) {
        if (BlitLoop vector = SelectRunCopy<V128, kBytes>(ch)) return vector;
    }
    return SelectGeneral<Fmt, true>(ch);
}

template <class V, template <class> class Op, int Mode, Fast F>
BlitLoop Direct(bool key)
{
    if (key) return &DirectWalk<V, Op, Pixel<PixFmt::X8888, Src::Direct, Mode, false, true, true, F>, true>;
    return &DirectWalk<V, Op, Pixel<PixFmt::X8888, Src::Direct, Mode, false, true, false, F>, false>;
}

template <class V>
using AddScaleOp = ScaleOp<V, true>;
template <class V>
using SubScaleOp = ScaleOp<V, false>;

// The vector loop for a 32-bit per-pixel choice, or null to use the generated one.
template <class V>
BlitLoop SelectXrgbVector(const BlitChoice& ch)
{
    if (!ch.white || ch.graph || ch.runs) return nullptr;
    if (ch.src == Src::Alpha && ch.mode == 0) {
        if (ch.key) return &AlphaLerpWalk<V, Pixel<PixFmt::X8888, Src::Alpha, 0, false, true, true, Fast::None>>;
        return &CopyRowsWalk<PixFmt::X8888>;  // the whole words, alpha ignored
    }
    if (ch.src == Src::Alpha && ch.mode == 1) {
        if (ch.key) return &AlphaLerp16Walk<V, Pixel<PixFmt::X8888, Src::Alpha, 1, false, true, true, Fast::None>, true>;
        return &AlphaLerp16Walk<V, Pixel<PixFmt::X8888, Src::Alpha, 1, false, true, false, Fast::None>, false>;
    }
    if (ch.src != Src::Direct) return nullptr;
    switch (ch.fast) {
        case Fast::Copy: return ch.key ? Direct<V, CopyOp, 0, Fast::Copy>(true) : nullptr;
        case Fast::HalfSum: return Direct<V, HalfSumOp, 1, Fast::HalfSum>(ch.key);
        case Fast::AddSat: return Direct<V, AddSatOp, 2, Fast::AddSat>(ch.key);
        case Fast::SubSat: return Direct<V, SubSatOp, 3, Fast::SubSat>(ch.key);
        case Fast::AddFast: return Direct<V, AddFastOp, 2, Fast::AddFast>(ch.key);
        case Fast::Sub: return Direct<V, SubOp, 3, Fast::Sub>(ch.key);
        case Fast::None: break;
        default: return nullptr;
    }
    switch (ch.mode) {
        case 1: return Direct<V, Lerp8Op, 1, Fast::None>(ch.key);
        case 2: return Direct<V, AddScaleOp, 2, Fast::None>(ch.key);
        case 3: return Direct<V, SubScaleOp, 3, Fast::None>(ch.key);
        default: return nullptr;
    }
}

// ---- RGB 5:6:5 ----

template <class V>
struct HalfSum565Op {
    [[gnu::always_inline]] explicit HalfSum565Op(const BlitCall&) {}
    [[gnu::always_inline]] typename V::T operator()(typename V::T s, typename V::T d) const
    {
        const typename V::T m = V::Set16(0x7BEF);
        return V::Add16(V::And(V::Srl16(d, 1), m), V::And(V::Srl16(s, 1), m));
    }
};

template <class V>
BlitLoop SelectRgb565Vector(const BlitChoice& ch)
{
    if (!ch.white || ch.graph || ch.runs || ch.src != Src::Direct) return nullptr;
    if (ch.fast == Fast::Copy && ch.key) {
        return &DirectWalk<V, CopyOp, Pixel<PixFmt::R565, Src::Direct, 0, false, true, true, Fast::Copy>, true, 2>;
    }
    if (ch.fast == Fast::HalfSum) {
        if (ch.key) return &DirectWalk<V, HalfSum565Op, Pixel<PixFmt::R565, Src::Direct, 1, false, true, true, Fast::HalfSum>, true, 2>;
        return &DirectWalk<V, HalfSum565Op, Pixel<PixFmt::R565, Src::Direct, 1, false, true, false, Fast::HalfSum>, false, 2>;
    }
    return nullptr;
}

}  // namespace blitk::simd
