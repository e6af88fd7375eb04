// The 2D triangle's AVX2 span of whole 32-bit texels: eight texel offsets
// stepped together, gathered (or, from one row, permuted) and stored at once. Compiled for AVX2 and
// reached only when the processor has it (softrender/simd/isa.h).
#include "softrender/triangle/triangle_textured.h"

#include <immintrin.h>

#include "softrender/simd/avx2_begin.h"

void CopyTexelSpan32Avx2(std::uint8_t* out, const std::uint8_t* src, std::ptrdiff_t pitch, std::int32_t width,
                         std::uint32_t iu, std::uint32_t iv, std::uint32_t su, std::uint32_t sv, std::int64_t n)
{
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    // Lane k holds iu + k * su (and iv + k * sv), wrapping as the scalar steps do.
    __m256i u = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(iu)),
                                 _mm256_mullo_epi32(lanes, _mm256_set1_epi32(static_cast<int>(su))));
    __m256i v = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(iv)),
                                 _mm256_mullo_epi32(lanes, _mm256_set1_epi32(static_cast<int>(sv))));
    const __m256i stepU = _mm256_set1_epi32(static_cast<int>(8 * su)), stepV = _mm256_set1_epi32(static_cast<int>(8 * sv));
    const __m256i pitch32 = _mm256_set1_epi32(static_cast<int>(pitch));
    const int* base = reinterpret_cast<const int*>(src);
    std::int64_t i = 0;
    // The gather takes 32-bit offsets: the span's farthest texel must fit.
    const std::uint64_t lastU = iu + static_cast<std::uint64_t>(su) * static_cast<std::uint64_t>(n > 0 ? n - 1 : 0);
    const std::uint64_t lastV = iv + static_cast<std::uint64_t>(sv) * static_cast<std::uint64_t>(n > 0 ? n - 1 : 0);
    const std::uint64_t maxTx = std::max<std::uint64_t>(iu, static_cast<std::uint32_t>(lastU)) >> TriangleFixedShift;
    const std::uint64_t maxTy = std::max<std::uint64_t>(iv, static_cast<std::uint32_t>(lastV)) >> TriangleFixedShift;
    if (pitch > 0 && maxTy * static_cast<std::uint64_t>(pitch) + maxTx * 4 <= 0x7FFFFFFFu) {
        std::uint32_t cu = iu, cv = iv;  // lane 0's coordinates
        for (; i + 8 <= n; i += 8, out += 32, cu += 8 * su, cv += 8 * sv) {
            // Eight pixels from one texture row and at most eight neighbouring
            // texels (a magnified span) come from one load and a permute.
            const std::uint32_t row = cv >> TriangleFixedShift;
            const std::uint32_t t0 = cu >> TriangleFixedShift, t7 = (cu + 7 * su) >> TriangleFixedShift;
            const std::uint32_t lo = std::min(t0, t7), hi = std::max(t0, t7);
            const __m256i tx = _mm256_srli_epi32(u, TriangleFixedShift);
            if (((cv + 7 * sv) >> TriangleFixedShift) == row && hi - lo <= 7 && width >= 8) {
                const std::uint32_t first = std::min(lo, static_cast<std::uint32_t>(width - 8));
                const __m256i texels =
                    _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + static_cast<std::ptrdiff_t>(row) * pitch + first * 4));
                const __m256i at = _mm256_sub_epi32(tx, _mm256_set1_epi32(static_cast<int>(first)));
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_permutevar8x32_epi32(texels, at));
            } else {
                const __m256i at = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_srli_epi32(v, TriangleFixedShift), pitch32),
                                                    _mm256_slli_epi32(tx, 2));
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_i32gather_epi32(base, at, 1));
            }
            u = _mm256_add_epi32(u, stepU);
            v = _mm256_add_epi32(v, stepV);
        }
    }
    CopyTexelSpan32(out, src, pitch, iu + static_cast<std::uint32_t>(i) * su, iv + static_cast<std::uint32_t>(i) * sv,
                    su, sv, n - i);
}

#include "softrender/simd/avx2_end.h"
