// SSE2 loops for the 1:1 blit's commonest combinations (white brightness, no
// blend graph): four 32-bit or eight 16-bit pixels per step with exactly the
// results of the one-pixel rules, which still draw each row's tail.
// Included only by the per-pixel loop tables.
#pragma once

#include "softrender/blit/blit_kernel.h"

#if defined(__SSE2__)
#include <emmintrin.h>

namespace blitk::simd {

inline __m128i Load(const BYTE* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void Store(BYTE* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
inline __m128i Select(__m128i mask, __m128i ifSet, __m128i ifClear)
{
    return _mm_or_si128(_mm_and_si128(mask, ifSet), _mm_andnot_si128(mask, ifClear));
}
// Bytes 0-2 from r, byte 3 kept from d.
inline __m128i KeepByte3(__m128i r, __m128i d)
{
    const __m128i top = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    return _mm_or_si128(_mm_andnot_si128(top, r), _mm_and_si128(top, d));
}

struct CopyOp {
    explicit CopyOp(const BlitCall&) {}
    __m128i operator()(__m128i s, __m128i) const { return s; }
};

struct HalfSumOp {
    explicit HalfSumOp(const BlitCall&) {}
    __m128i operator()(__m128i s, __m128i d) const
    {
        const __m128i m = _mm_set1_epi32(0x007F7F7F);
        return _mm_add_epi32(_mm_and_si128(_mm_srli_epi32(d, 1), m), _mm_and_si128(_mm_srli_epi32(s, 1), m));
    }
};

struct AddSatOp {
    explicit AddSatOp(const BlitCall&) {}
    __m128i operator()(__m128i s, __m128i d) const { return _mm_adds_epu8(d, s); }
};

struct SubSatOp {
    explicit SubSatOp(const BlitCall&) {}
    __m128i operator()(__m128i s, __m128i d) const { return _mm_subs_epu8(d, s); }
};

// The packed word procedures, lane by lane.
inline __m128i AddWords(__m128i d, __m128i a, bool full)
{
    const __m128i m1 = _mm_set1_epi32(0x00FEFEFF), m2 = _mm_set1_epi32(0x01010100);
    __m128i w = _mm_add_epi32(_mm_and_si128(d, m1), _mm_and_si128(a, m1));
    __m128i k = _mm_and_si128(w, m2);
    __m128i r = _mm_or_si128(_mm_sub_epi32(k, _mm_srli_epi32(k, 8)), w);
    if (full) r = _mm_or_si128(r, _mm_and_si128(_mm_or_si128(d, a), _mm_set1_epi32(0x00010100)));
    return r;
}
inline __m128i SubWords(__m128i d, __m128i a)
{
    const __m128i m1 = _mm_set1_epi32(0x00FEFEFF), m2 = _mm_set1_epi32(0x01010100);
    __m128i x = _mm_sub_epi32(_mm_or_si128(d, m2), _mm_and_si128(a, m1));
    __m128i k = _mm_and_si128(x, m2);
    return _mm_and_si128(x, _mm_sub_epi32(k, _mm_srli_epi32(k, 8)));
}

struct AddFastOp {
    explicit AddFastOp(const BlitCall&) {}
    __m128i operator()(__m128i s, __m128i d) const { return AddWords(d, s, false); }
};
struct SubOp {
    explicit SubOp(const BlitCall&) {}
    __m128i operator()(__m128i s, __m128i d) const { return SubWords(d, s); }
};

// d + (s - d) * p / 256 per colour byte, byte 3 kept: in 16-bit lanes the
// sum d * (256 - p) + s * p never passes 65280.
struct Lerp8Op {
    __m128i p, q;
    explicit Lerp8Op(const BlitCall& c)
        : p(_mm_set1_epi16(static_cast<short>(c.ops.P))), q(_mm_set1_epi16(static_cast<short>(256 - c.ops.P)))
    {
    }
    __m128i Half(__m128i s16, __m128i d16) const
    {
        return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(d16, q), _mm_mullo_epi16(s16, p)), 8);
    }
    __m128i operator()(__m128i s, __m128i d) const
    {
        const __m128i z = _mm_setzero_si128();
        __m128i lo = Half(_mm_unpacklo_epi8(s, z), _mm_unpacklo_epi8(d, z));
        __m128i hi = Half(_mm_unpackhi_epi8(s, z), _mm_unpackhi_epi8(d, z));
        return KeepByte3(_mm_packus_epi16(lo, hi), d);
    }
};

// Scale(s) = s * p / 255 truncated, as (t + 1 + (t >> 8)) >> 8 with t = s * p
// (exact for every t up to 255 * 255), then the full add or the subtract.
template <bool Add>
struct ScaleOp {
    __m128i p;
    explicit ScaleOp(const BlitCall& c) : p(_mm_set1_epi16(static_cast<short>(c.ops.P))) {}
    static __m128i Div255(__m128i t)
    {
        return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(t, _mm_set1_epi16(1)), _mm_srli_epi16(t, 8)), 8);
    }
    __m128i operator()(__m128i s, __m128i d) const
    {
        const __m128i z = _mm_setzero_si128();
        __m128i lo = Div255(_mm_mullo_epi16(_mm_unpacklo_epi8(s, z), p));
        __m128i hi = Div255(_mm_mullo_epi16(_mm_unpackhi_epi8(s, z), p));
        __m128i a = _mm_packus_epi16(lo, hi);
        return Add ? AddWords(d, a, true) : SubWords(d, a);
    }
};

// Direct sources, 16 bytes per step (four 32-bit or eight 16-bit pixels);
// key-coloured pixels keep the destination, and 16-bit pixels compare with the
// key's low 16 bits. Px draws the row's tail one pixel at a time.
template <class Op, class Px, bool K, int Bytes = 4>
void DirectWalk(const BlitCall& c)
{
    static_assert(Bytes == 2 || Bytes == 4);
    const __m128i key = Bytes == 4 ? _mm_set1_epi32(static_cast<int>(c.ops.Key))
                                   : _mm_set1_epi16(static_cast<short>(c.ops.Key & 0xFFFF));
    const Op op(c);
    const BYTE* s = c.src;
    BYTE* d = c.dst;
    for (int y = 0; y < c.height; ++y) {
        int x = 0;
        for (; x + 16 / Bytes <= c.width; x += 16 / Bytes, s += 16, d += 16) {
            __m128i sv = Load(s), dv = Load(d);
            __m128i r = op(sv, dv);
            if constexpr (K) {
                const __m128i keyed = Bytes == 4 ? _mm_cmpeq_epi32(sv, key) : _mm_cmpeq_epi16(sv, key);
                r = Select(keyed, dv, r);
            }
            Store(d, r);
        }
        for (; x < c.width; ++x, s += Bytes, d += Bytes) Px::Apply(c, s, d, nullptr);
        s += c.srcSkip;
        d += c.dstSkip;
    }
}

// Alpha sources in mode 0 with the key flag: a = 0 keeps the destination,
// a = 255 copies the whole word, else d + (s - d) * a / 256 with byte 3 kept.
template <class Px>
void AlphaLerpWalk(const BlitCall& c)
{
    const __m128i z = _mm_setzero_si128();
    const __m128i c256 = _mm_set1_epi16(256);
    const __m128i full = _mm_set1_epi32(255);
    const BYTE* s = c.src;
    BYTE* d = c.dst;
    auto half = [&](__m128i s16, __m128i d16) {
        __m128i a16 = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s16, 0xFF), 0xFF);
        return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(d16, _mm_sub_epi16(c256, a16)), _mm_mullo_epi16(s16, a16)),
                              8);
    };
    for (int y = 0; y < c.height; ++y) {
        int x = 0;
        for (; x + 4 <= c.width; x += 4, s += 16, d += 16) {
            __m128i sv = Load(s), dv = Load(d);
            __m128i lo = half(_mm_unpacklo_epi8(sv, z), _mm_unpacklo_epi8(dv, z));
            __m128i hi = half(_mm_unpackhi_epi8(sv, z), _mm_unpackhi_epi8(dv, z));
            __m128i r = KeepByte3(_mm_packus_epi16(lo, hi), dv);
            __m128i a = _mm_srli_epi32(sv, 24);
            r = Select(_mm_cmpeq_epi32(a, full), sv, r);
            r = Select(_mm_cmpeq_epi32(a, z), dv, r);
            Store(d, r);
        }
        for (; x < c.width; ++x, s += 4, d += 4) Px::Apply(c, s, d, nullptr);
        s += c.srcSkip;
        d += c.dstSkip;
    }
}


// Alpha sources in mode 1: d + floor((s - d) * w / 65536) with w = a * p, in
// 16-bit lanes as the high half of (s - d + 256) * w - 256 * w. With the key
// flag, a = 0 keeps the destination and a = 255 takes the opaque rule
// d + (s - d) * p / 256.
template <class Px, bool K>
void AlphaLerp16Walk(const BlitCall& c)
{
    const __m128i z = _mm_setzero_si128();
    const __m128i c256 = _mm_set1_epi16(256);
    const __m128i flip = _mm_set1_epi16(static_cast<short>(0x8000));
    const __m128i full = _mm_set1_epi32(255);
    const __m128i p16 = _mm_set1_epi16(static_cast<short>(c.ops.P));
    const Lerp8Op opaque(c);
    const BYTE* s = c.src;
    BYTE* d = c.dst;
    auto half = [&](__m128i s16, __m128i d16) {
        __m128i a16 = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s16, 0xFF), 0xFF);
        __m128i w = _mm_mullo_epi16(a16, p16);
        __m128i x = _mm_add_epi16(_mm_sub_epi16(s16, d16), c256);
        __m128i lo = _mm_mullo_epi16(x, w), hi = _mm_mulhi_epu16(x, w);
        __m128i lo2 = _mm_slli_epi16(w, 8), hi2 = _mm_srli_epi16(w, 8);
        __m128i borrow = _mm_cmplt_epi16(_mm_xor_si128(lo, flip), _mm_xor_si128(lo2, flip));
        return _mm_add_epi16(d16, _mm_add_epi16(_mm_sub_epi16(hi, hi2), borrow));
    };
    for (int y = 0; y < c.height; ++y) {
        int x = 0;
        for (; x + 4 <= c.width; x += 4, s += 16, d += 16) {
            __m128i sv = Load(s), dv = Load(d);
            __m128i lo = half(_mm_unpacklo_epi8(sv, z), _mm_unpacklo_epi8(dv, z));
            __m128i hi = half(_mm_unpackhi_epi8(sv, z), _mm_unpackhi_epi8(dv, z));
            __m128i r = KeepByte3(_mm_packus_epi16(lo, hi), dv);
            if constexpr (K) {
                __m128i a = _mm_srli_epi32(sv, 24);
                r = Select(_mm_cmpeq_epi32(a, full), opaque(sv, dv), r);
                r = Select(_mm_cmpeq_epi32(a, z), dv, r);
            }
            Store(d, r);
        }
        for (; x < c.width; ++x, s += 4, d += 4) Px::Apply(c, s, d, nullptr);
        s += c.srcSkip;
        d += c.dstSkip;
    }
}

template <class Op, int Mode, Fast F>
BlitLoop Direct(bool key)
{
    if (key) return &DirectWalk<Op, Pixel<PixFmt::X8888, Src::Direct, Mode, false, true, true, F>, true>;
    return &DirectWalk<Op, Pixel<PixFmt::X8888, Src::Direct, Mode, false, true, false, F>, false>;
}

// The vector loop for a 32-bit per-pixel choice, or null to use the generated one.
inline BlitLoop SelectXrgbVector(const BlitChoice& ch)
{
    if (!ch.white || ch.graph || ch.runs) return nullptr;
    if (ch.src == Src::Alpha && ch.mode == 0) {
        if (ch.key) return &AlphaLerpWalk<Pixel<PixFmt::X8888, Src::Alpha, 0, false, true, true, Fast::None>>;
        return &CopyRowsWalk<PixFmt::X8888>;  // the whole words, alpha ignored
    }
    if (ch.src == Src::Alpha && ch.mode == 1) {
        if (ch.key) return &AlphaLerp16Walk<Pixel<PixFmt::X8888, Src::Alpha, 1, false, true, true, Fast::None>, true>;
        return &AlphaLerp16Walk<Pixel<PixFmt::X8888, Src::Alpha, 1, false, true, false, Fast::None>, false>;
    }
    if (ch.src != Src::Direct) return nullptr;
    switch (ch.fast) {
        case Fast::Copy: return ch.key ? Direct<CopyOp, 0, Fast::Copy>(true) : nullptr;
        case Fast::HalfSum: return Direct<HalfSumOp, 1, Fast::HalfSum>(ch.key);
        case Fast::AddSat: return Direct<AddSatOp, 2, Fast::AddSat>(ch.key);
        case Fast::SubSat: return Direct<SubSatOp, 3, Fast::SubSat>(ch.key);
        case Fast::AddFast: return Direct<AddFastOp, 2, Fast::AddFast>(ch.key);
        case Fast::Sub: return Direct<SubOp, 3, Fast::Sub>(ch.key);
        case Fast::None: break;
        default: return nullptr;
    }
    switch (ch.mode) {
        case 1: return Direct<Lerp8Op, 1, Fast::None>(ch.key);
        case 2: return Direct<ScaleOp<true>, 2, Fast::None>(ch.key);
        case 3: return Direct<ScaleOp<false>, 3, Fast::None>(ch.key);
        default: return nullptr;
    }
}

// ---- RGB 5:6:5, eight pixels per step ----

struct HalfSum565Op {
    explicit HalfSum565Op(const BlitCall&) {}
    __m128i operator()(__m128i s, __m128i d) const
    {
        const __m128i m = _mm_set1_epi16(0x7BEF);
        return _mm_add_epi16(_mm_and_si128(_mm_srli_epi16(d, 1), m), _mm_and_si128(_mm_srli_epi16(s, 1), m));
    }
};

inline BlitLoop SelectRgb565Vector(const BlitChoice& ch)
{
    if (!ch.white || ch.graph || ch.runs || ch.src != Src::Direct) return nullptr;
    if (ch.fast == Fast::Copy && ch.key) {
        return &DirectWalk<CopyOp, Pixel<PixFmt::R565, Src::Direct, 0, false, true, true, Fast::Copy>, true, 2>;
    }
    if (ch.fast == Fast::HalfSum) {
        if (ch.key) return &DirectWalk<HalfSum565Op, Pixel<PixFmt::R565, Src::Direct, 1, false, true, true, Fast::HalfSum>, true, 2>;
        return &DirectWalk<HalfSum565Op, Pixel<PixFmt::R565, Src::Direct, 1, false, true, false, Fast::HalfSum>, false, 2>;
    }
    return nullptr;
}

}  // namespace blitk::simd

#endif
