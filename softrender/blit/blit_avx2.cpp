// The 1:1 blit's vector loops at the AVX2 level: blit_simd.h's templates
// instantiated on V256. Everything below the target switch is compiled for
// AVX2 and reached only when the processor has it (softrender/simd/isa.h).
#include "softrender/blit/blit_kernel.h"
#include "softrender/simd/vec128.h"

#include <immintrin.h>

#include "softrender/simd/avx2_begin.h"
#include "softrender/blit/blit_simd.h"
#include "softrender/simd/vec256.h"

namespace blitk {

BlitLoop SelectXrgbVectorAvx2(const BlitChoice& choice)
{
    return simd::SelectXrgbVector<softrender::simd::V256>(choice);
}

BlitLoop SelectRgb565VectorAvx2(const BlitChoice& choice)
{
    return simd::SelectRgb565Vector<softrender::simd::V256>(choice);
}

BlitLoop SelectRunCopyAvx2(const BlitChoice& choice, int bytesPerPixel)
{
    using softrender::simd::V256;
    return bytesPerPixel == 4 ? simd::SelectRunCopy<V256, 4>(choice) : simd::SelectRunCopy<V256, 2>(choice);
}

void ExpandCoverageAvx2(const BYTE* in, DWORD* out, int count, const DWORD levels[16])
{
    // Two eight-word halves of the table, the level's bit 3 choosing between them.
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(levels));
    const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(levels + 8));
    const __m256i nibble = _mm256_set1_epi32(15);
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i level =
            _mm256_and_si256(_mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + i))), nibble);
        const __m256 fromLow = _mm256_castsi256_ps(_mm256_permutevar8x32_epi32(low, level));
        const __m256 fromHigh = _mm256_castsi256_ps(_mm256_permutevar8x32_epi32(high, level));
        const __m256 pick = _mm256_castsi256_ps(_mm256_slli_epi32(level, 28));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                            _mm256_castps_si256(_mm256_blendv_ps(fromLow, fromHigh, pick)));
    }
    for (; i < count; ++i) out[i] = levels[in[i] & 15];
}

}  // namespace blitk

#include "softrender/simd/avx2_end.h"
