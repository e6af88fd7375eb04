// V256: the AVX2 register as the vector loops see it (32 bytes: eight 32-bit
// or sixteen 16-bit pixels), the same names as V128. Included only by the
// AVX2 translation units, after they switch the target to AVX2, so nothing
// here is compiled for processors without it. No neighbours.
#pragma once

#include <cstdint>
#include <immintrin.h>

namespace softrender::simd {

struct V256 {
    using T = __m256i;
    static constexpr int kBytes = 32;

#define ZV [[gnu::always_inline]] static inline
    ZV T Load(const std::uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    ZV void Store(std::uint8_t* p, T v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
    ZV T Set32(std::uint32_t v) { return _mm256_set1_epi32(static_cast<int>(v)); }
    ZV T Set16(std::uint32_t v) { return _mm256_set1_epi16(static_cast<short>(v)); }
    ZV T Set64(std::uint64_t v) { return _mm256_set1_epi64x(static_cast<long long>(v)); }
    ZV T Zero() { return _mm256_setzero_si256(); }
    ZV T And(T a, T b) { return _mm256_and_si256(a, b); }
    ZV T Or(T a, T b) { return _mm256_or_si256(a, b); }
    ZV T AndNot(T a, T b) { return _mm256_andnot_si256(a, b); }
    ZV T Xor(T a, T b) { return _mm256_xor_si256(a, b); }
    ZV T Add8(T a, T b) { return _mm256_add_epi8(a, b); }
    ZV T Add16(T a, T b) { return _mm256_add_epi16(a, b); }
    ZV T Sub16(T a, T b) { return _mm256_sub_epi16(a, b); }
    ZV T Add32(T a, T b) { return _mm256_add_epi32(a, b); }
    ZV T Sub32(T a, T b) { return _mm256_sub_epi32(a, b); }
    ZV T AddsU8(T a, T b) { return _mm256_adds_epu8(a, b); }
    ZV T SubsU8(T a, T b) { return _mm256_subs_epu8(a, b); }
    ZV T Mullo16(T a, T b) { return _mm256_mullo_epi16(a, b); }
    ZV T MulhiU16(T a, T b) { return _mm256_mulhi_epu16(a, b); }
    ZV T Srl16(T a, int n) { return _mm256_srli_epi16(a, n); }
    ZV T Sll16(T a, int n) { return _mm256_slli_epi16(a, n); }
    ZV T Srl32(T a, int n) { return _mm256_srli_epi32(a, n); }
    ZV T Sll32(T a, int n) { return _mm256_slli_epi32(a, n); }
    ZV T Sra32(T a, int n) { return _mm256_srai_epi32(a, n); }
    ZV T Mulhi16(T a, T b) { return _mm256_mulhi_epi16(a, b); }
    // Pairs of signed 16-bit products summed into 32 bits.
    ZV T MulAddPairs16(T a, T b) { return _mm256_madd_epi16(a, b); }
    // Within each 128-bit half, like PackUS16, so an unpack-pack pair keeps pixel order.
    ZV T UnpackLo8(T a, T b) { return _mm256_unpacklo_epi8(a, b); }
    ZV T UnpackHi8(T a, T b) { return _mm256_unpackhi_epi8(a, b); }
    ZV T PackUS16(T a, T b) { return _mm256_packus_epi16(a, b); }
    ZV T PackS32(T a, T b) { return _mm256_packs_epi32(a, b); }
    ZV T UnpackLo16(T a, T b) { return _mm256_unpacklo_epi16(a, b); }
    ZV T UnpackHi16(T a, T b) { return _mm256_unpackhi_epi16(a, b); }
    ZV T UnpackLo32(T a, T b) { return _mm256_unpacklo_epi32(a, b); }
    ZV T UnpackHi32(T a, T b) { return _mm256_unpackhi_epi32(a, b); }
    ZV T CmpEq16(T a, T b) { return _mm256_cmpeq_epi16(a, b); }
    ZV T CmpEq32(T a, T b) { return _mm256_cmpeq_epi32(a, b); }
    ZV T CmpLt16(T a, T b) { return _mm256_cmpgt_epi16(b, a); }
    ZV T SpreadAlpha16(T s16) { return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(s16, 0xFF), 0xFF); }
    ZV T Select(T mask, T ifSet, T ifClear) { return _mm256_blendv_epi8(ifClear, ifSet, mask); }
    ZV bool AllZero(T a) { return _mm256_testz_si256(a, a) != 0; }
    ZV bool AllOnes(T a) { return _mm256_movemask_epi8(a) == -1; }
#undef ZV
};

}  // namespace softrender::simd
