// Owns the number routines; no state.
#include "core/number.h"

#include <climits>
#include <cmath>

void ComputeSinCos(float angle, float* sine, float* cosine)
{
    long double x = angle;
    long double s;
    long double c;
#if defined(__x86_64__) || defined(__i386__)
    // One x87 evaluation in extended precision, as the kernels' exact results expect.
    __asm__("fsincos" : "=t"(c), "=u"(s) : "0"(x));
#else
    s = sinl(x);
    c = cosl(x);
#endif
    *sine = static_cast<float>(s);
    *cosine = static_cast<float>(c);
}

int TruncDoubleToInt(double value)
{
    // The processor's out-of-range answer, without undefined behaviour.
    if (!(value > -2147483649.0 && value < 2147483648.0)) return INT_MIN;
    return static_cast<int>(value);
}

int TruncFloatToInt(float value)
{
    return TruncDoubleToInt(static_cast<double>(value));
}

int TruncateClamped(double value, int low, int high, int nanValue)
{
    if (value != value) return nanValue;
    if (value <= low) return low;
    if (value >= high) return high;
    return static_cast<int>(value);
}

void TruncRectToInts(const double values[4], int out[4])
{
    for (int i = 0; i < 4; ++i) out[i] = TruncDoubleToInt(values[i]);
}

int ParseFirstInteger(const char* text)
{
    const char* p = text;
    while (*p != '\0' && *p != '-' && (*p < '0' || *p > '9')) ++p;
    if (*p == '\0') return -1;
    bool negative = false;
    if (*p == '-') {
        negative = true;
        ++p;
    }
    unsigned value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10u + static_cast<unsigned>(*p - '0');
        ++p;
    }
    if (negative) value = 0u - value;
    return static_cast<int>(value);
}

char* IntToText(int value, char* buffer, int radix)
{
    char* out = buffer;
    if (radix < 2 || radix > 36) {
        *out = '\0';
        return buffer;
    }
    unsigned magnitude = static_cast<unsigned>(value);
    if (value < 0) {
        *out++ = '-';
        magnitude = 0u - magnitude;
    }
    char digits[33];
    int n = 0;
    do {
        unsigned d = magnitude % static_cast<unsigned>(radix);
        digits[n++] = static_cast<char>(d > 9 ? 0x57 + d : '0' + d);
        magnitude /= static_cast<unsigned>(radix);
    } while (magnitude != 0);
    while (n > 0) *out++ = digits[--n];
    *out = '\0';
    return buffer;
}

void MultiplyU64Wide(const ULONGLONG* a, const ULONGLONG* b, UINT128* result)
{
    *result = static_cast<UINT128>(*a) * *b;
}

void DivideWideByU64(const UINT128* dividend, const ULONGLONG* divisor, ULONGLONG* quotient)
{
    if (*divisor == 0) {
        *quotient = 0;
        return;
    }
    *quotient = static_cast<ULONGLONG>(*dividend / *divisor);
}
