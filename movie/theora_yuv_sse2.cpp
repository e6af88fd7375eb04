// The SSE2 loop of the fixed-point 4:2:0 conversion: 16 pixels of each of
// the two rows per pass, chroma terms worked out once for both rows.
// No neighbours.
#include "movie/theora_yuv_simd.h"

#include <emmintrin.h>

namespace {

// 32-bit products of eight 16-bit values and one 16-bit factor.
inline void Products(__m128i v, __m128i factor, __m128i& lo, __m128i& hi)
{
    const __m128i low = _mm_mullo_epi16(v, factor);
    const __m128i high = _mm_mulhi_epi16(v, factor);
    lo = _mm_unpacklo_epi16(low, high);
    hi = _mm_unpackhi_epi16(low, high);
}

// One channel of 16 pixels: (luma term + chroma term) / 16384, clamped to a byte.
// For a negative sum both the shift and the truncating quotient clamp to 0.
inline __m128i Channel(const __m128i luma[4], const __m128i chroma[4])
{
    const __m128i a = _mm_srai_epi32(_mm_add_epi32(luma[0], chroma[0]), 14);
    const __m128i b = _mm_srai_epi32(_mm_add_epi32(luma[1], chroma[1]), 14);
    const __m128i c = _mm_srai_epi32(_mm_add_epi32(luma[2], chroma[2]), 14);
    const __m128i d = _mm_srai_epi32(_mm_add_epi32(luma[3], chroma[3]), 14);
    return _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d));
}

// Four chroma values, each widened to the two pixels it covers.
inline void Spread(__m128i first4, __m128i next4, __m128i out[4])
{
    out[0] = _mm_unpacklo_epi32(first4, first4);
    out[1] = _mm_unpackhi_epi32(first4, first4);
    out[2] = _mm_unpacklo_epi32(next4, next4);
    out[3] = _mm_unpackhi_epi32(next4, next4);
}

inline void ConvertRow(const BYTE* luma, const __m128i red[4], const __m128i green[4], const __m128i blue[4],
                       BYTE* out)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(luma));
    const __m128i offset = _mm_set1_epi16(16);
    const __m128i factor = _mm_set1_epi16(THEORA_LUMA);
    __m128i l[4];
    Products(_mm_sub_epi16(_mm_unpacklo_epi8(bytes, zero), offset), factor, l[0], l[1]);
    Products(_mm_sub_epi16(_mm_unpackhi_epi8(bytes, zero), offset), factor, l[2], l[3]);
    const __m128i r = Channel(l, red);
    const __m128i g = Channel(l, green);
    const __m128i b = Channel(l, blue);
    const __m128i opaque = _mm_set1_epi8(static_cast<char>(0xFF));
    const __m128i bgLow = _mm_unpacklo_epi8(b, g);
    const __m128i bgHigh = _mm_unpackhi_epi8(b, g);
    const __m128i raLow = _mm_unpacklo_epi8(r, opaque);
    const __m128i raHigh = _mm_unpackhi_epi8(r, opaque);
    __m128i* p = reinterpret_cast<__m128i*>(out);
    _mm_storeu_si128(p, _mm_unpacklo_epi16(bgLow, raLow));
    _mm_storeu_si128(p + 1, _mm_unpackhi_epi16(bgLow, raLow));
    _mm_storeu_si128(p + 2, _mm_unpacklo_epi16(bgHigh, raHigh));
    _mm_storeu_si128(p + 3, _mm_unpackhi_epi16(bgHigh, raHigh));
}

} // namespace

int ConvertTheoraRowPairSse2(const Theora420RowPair& rows)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i centre = _mm_set1_epi16(128);
    const __m128i redFactor = _mm_set1_epi16(THEORA_RED_FROM_CR);
    // The blue factor does not fit 16 bits signed: half of it, doubled after.
    const __m128i halfBlueFactor = _mm_set1_epi16(THEORA_BLUE_FROM_CB / 2);
    const __m128i greenFactors =
        _mm_set1_epi32(static_cast<int>((static_cast<unsigned>(THEORA_GREEN_FROM_CR) << 16) |
                                        (static_cast<unsigned>(THEORA_GREEN_FROM_CB) & 0xFFFFu)));
    static_assert(THEORA_BLUE_FROM_CB % 2 == 0);
    int block = 0;
    for (; block + 8 <= rows.Blocks; block += 8) {
        const __m128i cb = _mm_sub_epi16(
            _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(rows.Cb + block)), zero), centre);
        const __m128i cr = _mm_sub_epi16(
            _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(rows.Cr + block)), zero), centre);
        __m128i lo;
        __m128i hi;
        __m128i red[4];
        Products(cr, redFactor, lo, hi);
        Spread(lo, hi, red);
        __m128i blue[4];
        Products(cb, halfBlueFactor, lo, hi);
        Spread(_mm_slli_epi32(lo, 1), _mm_slli_epi32(hi, 1), blue);
        __m128i green[4];
        Spread(_mm_madd_epi16(_mm_unpacklo_epi16(cb, cr), greenFactors),
               _mm_madd_epi16(_mm_unpackhi_epi16(cb, cr), greenFactors), green);
        ConvertRow(rows.Luma0 + 2 * block, red, green, blue, rows.Out0 + 8 * block);
        ConvertRow(rows.Luma1 + 2 * block, red, green, blue, rows.Out1 + 8 * block);
    }
    return block;
}
