// V128: the SSE2 register as the vector loops see it (16 bytes: four 32-bit
// or eight 16-bit pixels). The same names as V256, so one loop template
// serves both levels. No neighbours.
#pragma once

#include <cstdint>
#include <emmintrin.h>

namespace softrender::simd {

struct V128 {
    using T = __m128i;
    static constexpr int kBytes = 16;

#define ZV [[gnu::always_inline]] static inline
    ZV T Load(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    ZV void Store(std::uint8_t* p, T v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
    ZV T Set32(std::uint32_t v) { return _mm_set1_epi32(static_cast<int>(v)); }
    ZV T Set16(std::uint32_t v) { return _mm_set1_epi16(static_cast<short>(v)); }
    ZV T Set64(std::uint64_t v) { return _mm_set1_epi64x(static_cast<long long>(v)); }
    ZV T Zero() { return _mm_setzero_si128(); }
    ZV T And(T a, T b) { return _mm_and_si128(a, b); }
    ZV T Or(T a, T b) { return _mm_or_si128(a, b); }
    ZV T AndNot(T a, T b) { return _mm_andnot_si128(a, b); }  // ~a & b
    ZV T Xor(T a, T b) { return _mm_xor_si128(a, b); }
    ZV T Add8(T a, T b) { return _mm_add_epi8(a, b); }
    ZV T Add16(T a, T b) { return _mm_add_epi16(a, b); }
    ZV T Sub16(T a, T b) { return _mm_sub_epi16(a, b); }
    ZV T Add32(T a, T b) { return _mm_add_epi32(a, b); }
    ZV T Sub32(T a, T b) { return _mm_sub_epi32(a, b); }
    ZV T AddsU8(T a, T b) { return _mm_adds_epu8(a, b); }
    ZV T SubsU8(T a, T b) { return _mm_subs_epu8(a, b); }
    ZV T Mullo16(T a, T b) { return _mm_mullo_epi16(a, b); }
    ZV T MulhiU16(T a, T b) { return _mm_mulhi_epu16(a, b); }
    ZV T Srl16(T a, int n) { return _mm_srli_epi16(a, n); }
    ZV T Sll16(T a, int n) { return _mm_slli_epi16(a, n); }
    ZV T Srl32(T a, int n) { return _mm_srli_epi32(a, n); }
    ZV T Sll32(T a, int n) { return _mm_slli_epi32(a, n); }
    ZV T Sra32(T a, int n) { return _mm_srai_epi32(a, n); }
    ZV T Mulhi16(T a, T b) { return _mm_mulhi_epi16(a, b); }
    // Pairs of signed 16-bit products summed into 32 bits.
    ZV T MulAddPairs16(T a, T b) { return _mm_madd_epi16(a, b); }
    ZV T UnpackLo8(T a, T b) { return _mm_unpacklo_epi8(a, b); }
    ZV T UnpackHi8(T a, T b) { return _mm_unpackhi_epi8(a, b); }
    ZV T PackUS16(T a, T b) { return _mm_packus_epi16(a, b); }
    ZV T PackS32(T a, T b) { return _mm_packs_epi32(a, b); }
    ZV T UnpackLo16(T a, T b) { return _mm_unpacklo_epi16(a, b); }
    ZV T UnpackHi16(T a, T b) { return _mm_unpackhi_epi16(a, b); }
    ZV T UnpackLo32(T a, T b) { return _mm_unpacklo_epi32(a, b); }
    ZV T UnpackHi32(T a, T b) { return _mm_unpackhi_epi32(a, b); }
    ZV T CmpEq16(T a, T b) { return _mm_cmpeq_epi16(a, b); }
    ZV T CmpEq32(T a, T b) { return _mm_cmpeq_epi32(a, b); }
    ZV T CmpLt16(T a, T b) { return _mm_cmplt_epi16(a, b); }
    // Lanes 3 and 7 (the alpha of each unpacked 32-bit pixel) in every lane of their pixel.
    ZV T SpreadAlpha16(T s16) { return _mm_shufflehi_epi16(_mm_shufflelo_epi16(s16, 0xFF), 0xFF); }
    // mask ? ifSet : ifClear, mask lanes all ones or all zeros.
    ZV T Select(T mask, T ifSet, T ifClear) { return _mm_or_si128(_mm_and_si128(mask, ifSet), _mm_andnot_si128(mask, ifClear)); }
    ZV bool AllZero(T a) { return _mm_movemask_epi8(_mm_cmpeq_epi8(a, _mm_setzero_si128())) == 0xFFFF; }
    ZV bool AllOnes(T a) { return _mm_movemask_epi8(a) == 0xFFFF; }
#undef ZV
};

}  // namespace softrender::simd
