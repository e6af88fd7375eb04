// Number routines of the library: truncating conversions, the combined
// sine-cosine, decimal parsing and formatting, and 128-bit arithmetic.
#pragma once

#include "platform/kernel/types.h"

using UINT128 = unsigned __int128;

void ComputeSinCos(float angle, float* sine, float* cosine);
// Truncated towards zero; a value outside the i32 range (or NaN) gives INT32_MIN.
int TruncFloatToInt(float value);
int TruncDoubleToInt(double value);
void TruncRectToInts(const double values[4], int out[4]);
// Truncated towards zero and held inside low ... high; NaN gives nanValue.
// The drawing entries clamp to +-1e9, so coordinates far out stay drawable sums.
int TruncateClamped(double value, int low, int high, int nanValue);

// The first signed decimal integer in the text (wrapping in 32 bits), or -1
// when the text holds neither a digit nor a "-".
int ParseFirstInteger(const char* text);
// Writes value in radix (2..36) and answers buffer, which must hold 34 bytes.
// A radix outside 2..36 writes an empty text.
char* IntToText(int value, char* buffer, int radix);

void MultiplyU64Wide(const ULONGLONG* a, const ULONGLONG* b, UINT128* result);
// The quotient's low 64 bits; a divisor of 0 gives 0.
void DivideWideByU64(const UINT128* dividend, const ULONGLONG* divisor, ULONGLONG* quotient);
