// The AVX2 loop of the fixed-point 4:2:0 conversion: the SSE2 loop's steps
// on 32 pixels of each row, each 128-bit lane holding 16 pixels and their 8
// chroma samples; the lanes are put back in order when stored.
// Reached only when the processor has AVX2. No neighbours.
#include "movie/theora_yuv_simd.h"

#include <immintrin.h>

#include "softrender/simd/avx2_begin.h"

namespace {

inline void Products(__m256i v, __m256i factor, __m256i& lo, __m256i& hi)
{
    const __m256i low = _mm256_mullo_epi16(v, factor);
    const __m256i high = _mm256_mulhi_epi16(v, factor);
    lo = _mm256_unpacklo_epi16(low, high);
    hi = _mm256_unpackhi_epi16(low, high);
}

inline __m256i Channel(const __m256i luma[4], const __m256i chroma[4])
{
    const __m256i a = _mm256_srai_epi32(_mm256_add_epi32(luma[0], chroma[0]), 14);
    const __m256i b = _mm256_srai_epi32(_mm256_add_epi32(luma[1], chroma[1]), 14);
    const __m256i c = _mm256_srai_epi32(_mm256_add_epi32(luma[2], chroma[2]), 14);
    const __m256i d = _mm256_srai_epi32(_mm256_add_epi32(luma[3], chroma[3]), 14);
    return _mm256_packus_epi16(_mm256_packs_epi32(a, b), _mm256_packs_epi32(c, d));
}

inline void Spread(__m256i first4, __m256i next4, __m256i out[4])
{
    out[0] = _mm256_unpacklo_epi32(first4, first4);
    out[1] = _mm256_unpackhi_epi32(first4, first4);
    out[2] = _mm256_unpacklo_epi32(next4, next4);
    out[3] = _mm256_unpackhi_epi32(next4, next4);
}

inline void ConvertRow(const BYTE* luma, const __m256i red[4], const __m256i green[4], const __m256i blue[4],
                       BYTE* out)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(luma));
    const __m256i offset = _mm256_set1_epi16(16);
    const __m256i factor = _mm256_set1_epi16(THEORA_LUMA);
    __m256i l[4];
    Products(_mm256_sub_epi16(_mm256_unpacklo_epi8(bytes, zero), offset), factor, l[0], l[1]);
    Products(_mm256_sub_epi16(_mm256_unpackhi_epi8(bytes, zero), offset), factor, l[2], l[3]);
    const __m256i r = Channel(l, red);
    const __m256i g = Channel(l, green);
    const __m256i b = Channel(l, blue);
    const __m256i opaque = _mm256_set1_epi8(static_cast<char>(0xFF));
    const __m256i bgLow = _mm256_unpacklo_epi8(b, g);
    const __m256i bgHigh = _mm256_unpackhi_epi8(b, g);
    const __m256i raLow = _mm256_unpacklo_epi8(r, opaque);
    const __m256i raHigh = _mm256_unpackhi_epi8(r, opaque);
    const __m256i q0 = _mm256_unpacklo_epi16(bgLow, raLow);   // pixels 0-3 | 16-19
    const __m256i q1 = _mm256_unpackhi_epi16(bgLow, raLow);   // 4-7 | 20-23
    const __m256i q2 = _mm256_unpacklo_epi16(bgHigh, raHigh); // 8-11 | 24-27
    const __m256i q3 = _mm256_unpackhi_epi16(bgHigh, raHigh); // 12-15 | 28-31
    __m256i* p = reinterpret_cast<__m256i*>(out);
    _mm256_storeu_si256(p, _mm256_permute2x128_si256(q0, q1, 0x20));
    _mm256_storeu_si256(p + 1, _mm256_permute2x128_si256(q2, q3, 0x20));
    _mm256_storeu_si256(p + 2, _mm256_permute2x128_si256(q0, q1, 0x31));
    _mm256_storeu_si256(p + 3, _mm256_permute2x128_si256(q2, q3, 0x31));
}

} // namespace

int ConvertTheoraRowPairAvx2(const Theora420RowPair& rows)
{
    const __m256i centre = _mm256_set1_epi16(128);
    const __m256i redFactor = _mm256_set1_epi16(THEORA_RED_FROM_CR);
    const __m256i halfBlueFactor = _mm256_set1_epi16(THEORA_BLUE_FROM_CB / 2);
    const __m256i greenFactors =
        _mm256_set1_epi32(static_cast<int>((static_cast<unsigned>(THEORA_GREEN_FROM_CR) << 16) |
                                           (static_cast<unsigned>(THEORA_GREEN_FROM_CB) & 0xFFFFu)));
    int block = 0;
    for (; block + 16 <= rows.Blocks; block += 16) {
        // Chroma 0-7 in the low lane, 8-15 in the high lane: the lanes of the luma rows.
        const __m256i cb = _mm256_sub_epi16(
            _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(rows.Cb + block))), centre);
        const __m256i cr = _mm256_sub_epi16(
            _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(rows.Cr + block))), centre);
        __m256i lo;
        __m256i hi;
        __m256i red[4];
        Products(cr, redFactor, lo, hi);
        Spread(lo, hi, red);
        __m256i blue[4];
        Products(cb, halfBlueFactor, lo, hi);
        Spread(_mm256_slli_epi32(lo, 1), _mm256_slli_epi32(hi, 1), blue);
        __m256i green[4];
        Spread(_mm256_madd_epi16(_mm256_unpacklo_epi16(cb, cr), greenFactors),
               _mm256_madd_epi16(_mm256_unpackhi_epi16(cb, cr), greenFactors), green);
        ConvertRow(rows.Luma0 + 2 * block, red, green, blue, rows.Out0 + 8 * block);
        ConvertRow(rows.Luma1 + 2 * block, red, green, blue, rows.Out1 + 8 * block);
    }
    return block;
}

#include "softrender/simd/avx2_end.h"
