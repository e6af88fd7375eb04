// The 3D triangle kernel's AVX2 lane stage and its span of whole 32-bit
// texels, eight at a time by a gather or, from one row, a permute. Compiled for AVX2 and reached only when
// the processor has it (softrender/simd/isa.h); the logic is triangle3d_lanes.h.
#include "softrender/triangle3d/triangle3d_loop.h"

#include <algorithm>
#include <immintrin.h>

#include "softrender/simd/avx2_begin.h"
// After the switch, so the lane templates are compiled for AVX2 here.
#include "softrender/triangle3d/triangle3d_lanes.h"

namespace softrender {
namespace {

struct Avx2Ops {
    using T = __m256i;
    static constexpr int kLanes = 8;
#define ZV [[gnu::always_inline]] static inline
    ZV T Set1(std::uint32_t v) { return _mm256_set1_epi32(static_cast<int>(v)); }
    ZV T Zero() { return _mm256_setzero_si256(); }
    ZV T Ramp(std::uint32_t base, std::uint32_t step)
    {
        return _mm256_add_epi32(Set1(base), _mm256_mullo_epi32(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7), Set1(step)));
    }
    ZV T Add(T a, T b) { return _mm256_add_epi32(a, b); }
    ZV T Or(T a, T b) { return _mm256_or_si256(a, b); }
    ZV T Mullo(T a, T b) { return _mm256_mullo_epi32(a, b); }
    ZV T Sra(T a, int n) { return _mm256_srai_epi32(a, n); }
    ZV T Srl(T a, int n) { return _mm256_srli_epi32(a, n); }
    ZV T CmpEq(T a, T b) { return _mm256_cmpeq_epi32(a, b); }
    ZV T CmpGt(T a, T b) { return _mm256_cmpgt_epi32(a, b); }
    ZV T UGt(T a, T b)
    {
        const T bias = Set1(0x80000000u);
        return _mm256_cmpgt_epi32(_mm256_xor_si256(a, bias), _mm256_xor_si256(b, bias));
    }
    ZV T Select(T mask, T ifSet, T ifClear) { return _mm256_blendv_epi8(ifClear, ifSet, mask); }
    ZV T ClampDepth(T n) { return _mm256_min_epi32(_mm256_max_epi32(n, Zero()), Set1(0xFFFF)); }
    ZV T LoadDepth(const BYTE* p) { return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))); }
    ZV void StoreDepth(BYTE* p, T v)
    {
        // Values are 0..0xFFFF: the unsigned pack keeps them; the permute joins the halves.
        const T packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(v, v), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(packed));
    }
    // 2^29 / q truncated: the double quotient of two 32-bit integers is never
    // rounded across a whole number, so truncating it gives the integer one.
    ZV T Quotient(T q)
    {
        const __m256d num = _mm256_set1_pd(536870912.0);
        const __m128i lo = _mm256_cvttpd_epi32(_mm256_div_pd(num, _mm256_cvtepi32_pd(_mm256_castsi256_si128(q))));
        const __m128i hi = _mm256_cvttpd_epi32(_mm256_div_pd(num, _mm256_cvtepi32_pd(_mm256_extracti128_si256(q, 1))));
        return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
    }
    ZV void Store(std::uint32_t* p, T v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
#undef ZV
};

}  // namespace

void Tri3DLaneStageAvx2(const Tri3DDraw& d, Tri3DLanes& l, BYTE* zp, int n, std::uint32_t* u, std::uint32_t* w)
{
    RunTri3DLaneStage<Avx2Ops>(d, l, zp, n, u, w);
}

void Tri3DCopySpan32Avx2(const Tri3DDraw& d, Tri3DLanes& l, BYTE* dp, BYTE* zp, int n)
{
    Tri3DLaneWalk<Avx2Ops> walk(d, l);
    const __m256i pitch = _mm256_set1_epi32(d.texPitch);
    const int* base = reinterpret_cast<const int*>(d.texPixels);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        __m256i u, w;
        const __m256i skip = walk.Group(d, zp != nullptr ? zp + 2 * i : nullptr, &u, &w);
        __m256i* out = reinterpret_cast<__m256i*>(dp + 4 * i);
        if (d.texWidth >= 8 && _mm256_testz_si256(skip, skip)) {
            // Eight texels of one row within eight columns (a magnified span):
            // one load and a permute instead of the gather.
            const std::uint32_t u0 = static_cast<std::uint32_t>(_mm256_cvtsi256_si32(u));
            const std::uint32_t u7 = static_cast<std::uint32_t>(_mm256_extract_epi32(u, 7));
            const std::uint32_t first = std::min(std::min(u0, u7), d.texWidth - 8);
            const std::uint32_t row = static_cast<std::uint32_t>(_mm256_cvtsi256_si32(w));
            const __m256i at = _mm256_sub_epi32(u, Avx2Ops::Set1(first));
            const __m256i apart = _mm256_or_si256(Avx2Ops::UGt(at, Avx2Ops::Set1(7)),
                                                  _mm256_xor_si256(_mm256_cmpeq_epi32(w, Avx2Ops::Set1(row)), _mm256_set1_epi32(-1)));
            if (_mm256_testz_si256(apart, apart)) {
                const BYTE* texels = d.texPixels + static_cast<std::ptrdiff_t>(row) * d.texPitch + first * 4;
                _mm256_storeu_si256(out, _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(texels)), at));
                continue;
            }
        }
        const __m256i at = _mm256_add_epi32(_mm256_mullo_epi32(w, pitch), _mm256_slli_epi32(u, 2));
        // Skipped lanes keep the destination's pixel.
        const __m256i old = _mm256_loadu_si256(out);
        _mm256_storeu_si256(out, _mm256_mask_i32gather_epi32(old, base, at, _mm256_xor_si256(skip, _mm256_set1_epi32(-1)), 1));
    }
    l.Advance(i);
    for (; i < n; ++i) {
        std::uint32_t u, w;
        if (Tri3DTexelAt(d, l.v, zp != nullptr ? zp + 2 * i : nullptr, &u, &w))
            Store32(dp + 4 * i, Load32(d.texPixels + static_cast<std::ptrdiff_t>(w) * d.texPitch + u * 4));
        l.Advance(1);
    }
}

}  // namespace softrender

#include "softrender/simd/avx2_end.h"
