// The 3D triangle kernel's SSE2 lane stage, four pixels at a time, for
// processors without AVX2; the logic is triangle3d_lanes.h.
#include "softrender/triangle3d/triangle3d_lanes.h"

#include <emmintrin.h>

namespace softrender {
namespace {

struct Sse2Ops {
    using T = __m128i;
    static constexpr int kLanes = 4;
#define ZV [[gnu::always_inline]] static inline
    ZV T Set1(std::uint32_t v) { return _mm_set1_epi32(static_cast<int>(v)); }
    ZV T Zero() { return _mm_setzero_si128(); }
    ZV T Ramp(std::uint32_t base, std::uint32_t step)
    {
        return _mm_setr_epi32(static_cast<int>(base), static_cast<int>(base + step), static_cast<int>(base + 2 * step),
                              static_cast<int>(base + 3 * step));
    }
    ZV T Add(T a, T b) { return _mm_add_epi32(a, b); }
    ZV T Or(T a, T b) { return _mm_or_si128(a, b); }
    // The low 32 bits of each product, from the two even-lane multiplies SSE2 has.
    ZV T Mullo(T a, T b)
    {
        const T even = _mm_mul_epu32(a, b);
        const T odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), _mm_srli_epi64(b, 32));
        return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                                  _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
    }
    ZV T Sra(T a, int n) { return _mm_srai_epi32(a, n); }
    ZV T Srl(T a, int n) { return _mm_srli_epi32(a, n); }
    ZV T CmpEq(T a, T b) { return _mm_cmpeq_epi32(a, b); }
    ZV T CmpGt(T a, T b) { return _mm_cmpgt_epi32(a, b); }
    ZV T UGt(T a, T b)
    {
        const T bias = Set1(0x80000000u);
        return _mm_cmpgt_epi32(_mm_xor_si128(a, bias), _mm_xor_si128(b, bias));
    }
    ZV T Select(T mask, T ifSet, T ifClear) { return _mm_or_si128(_mm_and_si128(mask, ifSet), _mm_andnot_si128(mask, ifClear)); }
    ZV T ClampDepth(T n)
    {
        n = _mm_andnot_si128(_mm_cmpgt_epi32(Zero(), n), n);
        return Select(_mm_cmpgt_epi32(n, Set1(0xFFFF)), Set1(0xFFFF), n);
    }
    ZV T LoadDepth(const BYTE* p) { return _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), Zero()); }
    ZV void StoreDepth(BYTE* p, T v)
    {
        // The low halves of the four lanes into the low 64 bits.
        v = _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, _MM_SHUFFLE(3, 1, 2, 0)), _MM_SHUFFLE(3, 1, 2, 0));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_shuffle_epi32(v, _MM_SHUFFLE(3, 1, 2, 0)));
    }
    // 2^29 / q truncated, exact through doubles (see triangle3d_avx2.cpp).
    ZV T Quotient(T q)
    {
        const __m128d num = _mm_set1_pd(536870912.0);
        const T lo = _mm_cvttpd_epi32(_mm_div_pd(num, _mm_cvtepi32_pd(q)));
        const T hi = _mm_cvttpd_epi32(_mm_div_pd(num, _mm_cvtepi32_pd(_mm_shuffle_epi32(q, _MM_SHUFFLE(3, 2, 3, 2)))));
        return _mm_unpacklo_epi64(lo, hi);
    }
    ZV void Store(std::uint32_t* p, T v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
#undef ZV
};

}  // namespace

void Tri3DLaneStageSse2(const Tri3DDraw& d, Tri3DLanes& l, BYTE* zp, int n, std::uint32_t* u, std::uint32_t* w)
{
    RunTri3DLaneStage<Sse2Ops>(d, l, zp, n, u, w);
}

}  // namespace softrender
