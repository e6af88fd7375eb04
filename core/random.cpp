// Owns the generator block (state, tempered outputs, index). Uses the kernel's
// CPUID facts only for the MMX flag, which changes nothing in the results.
#include "core/random.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {

constexpr int kWords = 624;
constexpr int kShift = 397;
constexpr std::uint32_t kMatrixA = 0x9908B0DFu;
constexpr std::uint32_t kUpper = 0x80000000u;
constexpr std::uint32_t kLower = 0x7FFFFFFFu;

struct RANDSTATE {
    std::uint32_t State[kWords + 1];  // the extra slot holds word 0 during regeneration
    std::uint32_t Output[kWords];
    std::int32_t Index = kWords;
    std::int32_t Seeded = 0;
    std::int32_t MMX = 0;
};

RANDSTATE Rand;

int HasMmx()
{
#if defined(__x86_64__) || defined(__i386__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0) return 0;
    return (d >> 23) & 1;
#else
    return 0;
#endif
}

inline std::uint32_t Twist(std::uint32_t cur, std::uint32_t next, std::uint32_t far)
{
    std::uint32_t y = (cur & kUpper) | (next & kLower);
    return far ^ (y >> 1) ^ ((y & 1) ? kMatrixA : 0u);
}

// The whole block at once; the MMX flag would only widen this loop, the
// arithmetic and so the outputs are the same either way.
void Regenerate()
{
    std::uint32_t* s = Rand.State;
    int i = 0;
    for (; i < kWords - kShift; ++i) s[i] = Twist(s[i], s[i + 1], s[i + kShift]);
    s[kWords] = s[0];
    for (; i < kWords; ++i) s[i] = Twist(s[i], s[i + 1], s[i - (kWords - kShift)]);

    for (int k = 0; k < kWords; ++k) {
        std::uint32_t y = s[k];
        y ^= y >> 11;
        y ^= (y << 7) & 0x9D2C5680u;
        y ^= (y << 15) & 0xEFC60000u;
        y ^= y >> 18;
        Rand.Output[k] = y;
    }
    Rand.Index = 0;
}

}  // namespace

void SeedRandomGenerator(std::uint32_t seed)
{
    for (int i = 0; i < kWords; ++i) {
        std::uint32_t word = seed & 0xFFFF0000u;
        seed = 69069u * seed + 1u;
        word |= seed >> 16;
        seed = 69069u * seed + 1u;
        Rand.State[i] = word;
    }
    Rand.MMX = HasMmx();
    Rand.Seeded = 1;
    Regenerate();
}

void ResetRandomGenerator()
{
    Rand = RANDSTATE{};
}

std::uint32_t NextRandomWord()
{
    if (Rand.Index >= kWords) {
        if (Rand.Seeded == 0) {
            SeedRandomGenerator(4357);
        } else {
            Regenerate();
        }
    }
    return Rand.Output[Rand.Index++];
}

std::int32_t NextRandomInRange(std::int32_t max)
{
    // max + 1 in 64 bits: at INT32_MAX a 32-bit sum would wrap to a negative factor.
    std::int64_t factor = static_cast<std::int64_t>(max) + 1;
    std::int64_t product = static_cast<std::int64_t>(NextRandomWord()) * factor;
    return static_cast<std::int32_t>(product >> 32);
}
