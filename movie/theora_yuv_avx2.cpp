// The AVX2 loop of the fixed-point 4:2:0 conversion: 32 pixels of each row
// a pass. The low lane takes pixels 0-3, 8-11, 16-19 and 24-27 (and their
// chroma), the high lane the groups between, so the in-lane steps of the
// loop store whole runs of 8 pixels in order. Reached only when the
// processor has AVX2 (softrender/simd/isa.h). No neighbours.
#include <immintrin.h>

#include "softrender/simd/avx2_begin.h"

#include "movie/theora_yuv_loop.h"
#include "softrender/simd/vec256.h"

namespace {

struct Loads256 {
    using V = softrender::simd::V256;
    static V::T Lanes(V::T v) { return _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7)); }
    static V::T Luma(const BYTE* p) { return Lanes(V::Load(p)); }
    static V::T Chroma(const BYTE* p)
    {
        return Lanes(_mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))));
    }
};

} // namespace

int ConvertTheoraRowPairAvx2(const Theora420RowPair& rows)
{
    return theora_yuv::ConvertRowPair<softrender::simd::V256, Loads256>(rows);
}

#include "softrender/simd/avx2_end.h"
