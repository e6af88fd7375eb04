// The rotate kernel's AVX2 spans: eight source positions stepped at once and
// their texels fetched, for plain and keyed 32-bit copies. Compiled for AVX2
// and reached only when the processor has it (softrender/simd/isa.h).
#include "softrender/rotate/rotate_loop.h"

#include <immintrin.h>

#include "softrender/simd/avx2_begin.h"

namespace softrender {
namespace {

template <bool Keyed>
[[gnu::always_inline]] inline void PutTexel(BYTE* d, std::uint32_t t, std::uint32_t key)
{
    if (!Keyed || t != key) softpix::Store32(d, t);
}

// A keyed register reads the destination only where it mixes keyed and drawn pixels.
template <bool Keyed>
[[gnu::always_inline]] inline void PutEight(BYTE* d, __m256i t, __m256i key)
{
    auto* at = reinterpret_cast<__m256i*>(d);
    if constexpr (Keyed) {
        const __m256i keyed = _mm256_cmpeq_epi32(t, key);
        if (!_mm256_testz_si256(keyed, keyed)) {
            if (_mm256_movemask_epi8(keyed) == -1) return;
            t = _mm256_blendv_epi8(t, _mm256_loadu_si256(at), keyed);
        }
    }
    _mm256_storeu_si256(at, t);
}

// The eight texels at byte offsets at from src: scalar loads into the
// register's lanes beat this processor family's gather.
[[gnu::always_inline]] inline __m256i Fetch8(const BYTE* src, __m256i at)
{
    auto texel = [src](std::uint64_t offset) { return static_cast<int>(softpix::Load32(src + offset)); };
    const __m128i a = _mm256_castsi256_si128(at), b = _mm256_extracti128_si256(at, 1);
    const std::uint64_t o0 = static_cast<std::uint64_t>(_mm_cvtsi128_si64(a));
    const std::uint64_t o1 = static_cast<std::uint64_t>(_mm_extract_epi64(a, 1));
    const std::uint64_t o2 = static_cast<std::uint64_t>(_mm_cvtsi128_si64(b));
    const std::uint64_t o3 = static_cast<std::uint64_t>(_mm_extract_epi64(b, 1));
    __m128i lo = _mm_cvtsi32_si128(texel(o0 & 0xFFFFFFFFu));
    lo = _mm_insert_epi32(lo, texel(o0 >> 32), 1);
    lo = _mm_insert_epi32(lo, texel(o1 & 0xFFFFFFFFu), 2);
    lo = _mm_insert_epi32(lo, texel(o1 >> 32), 3);
    __m128i hi = _mm_cvtsi32_si128(texel(o2 & 0xFFFFFFFFu));
    hi = _mm_insert_epi32(hi, texel(o2 >> 32), 1);
    hi = _mm_insert_epi32(hi, texel(o3 & 0xFFFFFFFFu), 2);
    hi = _mm_insert_epi32(hi, texel(o3 >> 32), 3);
    return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
}

template <bool Keyed>
void CopySpan32(BYTE* d, int n, std::uint32_t u, std::uint32_t v, std::uint32_t dUx, std::uint32_t dVx,
                const BYTE* src, int srcPitch, std::uint32_t key)
{
    if (n < 8) {
        for (int i = 0; i < n; ++i, u += dUx, v += dVx, d += 4) {
            const std::uint32_t t = softpix::Load32(src + static_cast<std::size_t>(v >> 18) * srcPitch + (u >> 18) * 4);
            PutTexel<Keyed>(d, t, key);
        }
        return;
    }
    const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i stepU = _mm256_set1_epi32(static_cast<int>(dUx)), stepV = _mm256_set1_epi32(static_cast<int>(dVx));
    const __m256i pitch = _mm256_set1_epi32(srcPitch), keyV = _mm256_set1_epi32(static_cast<int>(key));
    auto texels = [&](__m256i uv, __m256i vv) {
        const __m256i at = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_srli_epi32(vv, 18), pitch),
                                            _mm256_slli_epi32(_mm256_srli_epi32(uv, 18), 2));
        return Fetch8(src, at);
    };
    __m256i uv = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(u)), _mm256_mullo_epi32(lane, stepU));
    __m256i vv = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(v)), _mm256_mullo_epi32(lane, stepV));
    const __m256i eightU = _mm256_slli_epi32(stepU, 3), eightV = _mm256_slli_epi32(stepV, 3);
    int i = 0;
    for (; i + 8 <= n; i += 8, d += 32) {
        PutEight<Keyed>(d, texels(uv, vv), keyV);
        uv = _mm256_add_epi32(uv, eightU);
        vv = _mm256_add_epi32(vv, eightV);
    }
    if (i < n) {
        // The last eight pixels again, overlapping: a copy gives the same words twice.
        const std::uint32_t back = static_cast<std::uint32_t>(8 - (n - i));
        uv = _mm256_sub_epi32(uv, _mm256_set1_epi32(static_cast<int>(back * dUx)));
        vv = _mm256_sub_epi32(vv, _mm256_set1_epi32(static_cast<int>(back * dVx)));
        PutEight<Keyed>(d - 4 * back, texels(uv, vv), keyV);
    }
}

}  // namespace

RotateSpanFn RotateCopySpan32Avx2(bool keyed)
{
    return keyed ? &CopySpan32<true> : &CopySpan32<false>;
}

}  // namespace softrender

#include "softrender/simd/avx2_end.h"
