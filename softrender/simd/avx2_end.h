// Closes the AVX2 part opened by softrender/simd/avx2_begin.h.
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
