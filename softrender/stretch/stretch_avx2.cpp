// The stretch kernel's AVX2 row: eight texels gathered through the column
// map per store. Compiled for AVX2 and reached only when the processor has it
// (softrender/simd/isa.h); the rest of the row goes through GatherRow32.
#include "softrender/stretch/stretch_walk.h"

#include <immintrin.h>

#include "softrender/simd/avx2_begin.h"

void softpix::GatherRow32Avx2(std::uint8_t* d, const std::uint8_t* s, const std::int32_t* col, std::size_t cols)
{
    const int* base = reinterpret_cast<const int*>(s);
    std::size_t i = 0;
    for (; i + 8 <= cols; i += 8) {
        const __m256i at = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(col + i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 4 * i), _mm256_i32gather_epi32(base, at, 1));
    }
    for (; i < cols; ++i) Store32(d + 4 * i, Load32(s + col[i]));
}

#include "softrender/simd/avx2_end.h"
