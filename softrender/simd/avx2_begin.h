// Opens the AVX2 part of a translation unit: every function defined from
// here to softrender/simd/avx2_end.h is compiled for AVX2 and must be reached
// only when softrender/simd/isa.h says the processor has it. Include the
// headers the unit shares with others before this one.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
