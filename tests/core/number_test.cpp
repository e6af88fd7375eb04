#include "core/clock.h"
#include "core/number.h"
#include "core/sysstate.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/system.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <climits>
#include <cmath>
#include <string>

TEST(ParseFirstInteger, FirstSignedRunOrMinusOne)
{
    struct Case {
        const char* text;
        int value;
    } cases[] = {
        {"a-b12", 0},     // a "-" without digits comes first
        {"x200y", 200},
        {"abc", -1},
        {"", -1},
        {"-42,7", -42},
        {"4294967297", 1},  // wraps in 32 bits
        {"000000000000000000000000000000000000000015", 15},  // more than 32 digits
    };
    for (const Case& c : cases) EXPECT_EQ(ParseFirstInteger(c.text), c.value) << c.text;
}

TEST(IntToText, RadixDigitsSignAndEdgeValues)
{
    struct Case {
        int value;
        int radix;
        const char* text;
    } cases[] = {
        {255, 16, "ff"}, {-7, 10, "-7"}, {0, 10, "0"}, {INT_MIN, 10, "-2147483648"},
        {INT_MAX, 2, "1111111111111111111111111111111"}, {35, 36, "z"},
        {5, 1, ""}, {5, 0, ""}, {5, -3, ""}, {5, 37, ""},  // radices outside 2..36 write nothing
    };
    for (const Case& c : cases) {
        char buffer[40];
        EXPECT_EQ(IntToText(c.value, buffer, c.radix), buffer);
        EXPECT_STREQ(buffer, c.text) << c.value << " radix " << c.radix;
    }
}

TEST(Truncation, TowardsZeroWhateverTheRoundingModeAndOutOfRangeGivesIntMin)
{
    const int saved = std::fegetround();
    std::fesetround(FE_UPWARD);
    EXPECT_EQ(TruncDoubleToInt(-2.7), -2);
    EXPECT_EQ(TruncFloatToInt(2.9f), 2);
    EXPECT_EQ(std::fegetround(), FE_UPWARD);
    std::fesetround(saved);

    EXPECT_EQ(TruncDoubleToInt(3e9), INT_MIN);
    EXPECT_EQ(TruncDoubleToInt(-3e9), INT_MIN);
    EXPECT_EQ(TruncDoubleToInt(std::nan("")), INT_MIN);
    const double rect[4] = {1.9, -1.9, 0.5, 2147483647.5};
    int out[4];
    TruncRectToInts(rect, out);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[1], -1);
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[3], INT_MAX);
}

TEST(Truncation, ClampedTruncationHoldsTheBoundsAndAnswersNaNAsAsked)
{
    const struct {
        double value;
        int want;
    } cases[] = {
        {2.9, 2}, {-2.9, -2}, {999999999.9, 999999999}, {1e9, 1000000000}, {5e12, 1000000000},
        {-1e9, -1000000000}, {-7e20, -1000000000}, {INFINITY, 1000000000}, {-INFINITY, -1000000000},
    };
    for (const auto& c : cases) EXPECT_EQ(TruncateClamped(c.value, -1000000000, 1000000000, 7), c.want) << c.value;
    EXPECT_EQ(TruncateClamped(std::nan(""), -1000000000, 1000000000, 7), 7);
    EXPECT_EQ(TruncateClamped(3e9, INT_MIN, INT_MAX, 0), INT_MAX);
    EXPECT_EQ(TruncateClamped(-3e9, INT_MIN, INT_MAX, 0), INT_MIN);
}

TEST(WideArithmetic, FullProductAndQuotientAndZeroDivisor)
{
    ULONGLONG a = 0xFFFFFFFFFFFFFFFFull;
    ULONGLONG b = 1000000;
    UINT128 product;
    MultiplyU64Wide(&a, &b, &product);
    ULONGLONG q;
    DivideWideByU64(&product, &b, &q);
    EXPECT_EQ(q, a);
    ULONGLONG zero = 0;
    DivideWideByU64(&product, &zero, &q);
    EXPECT_EQ(q, 0u);
}

TEST(ComputeSinCos, MatchesTheLibraryFunctions)
{
    float s, c;
    ComputeSinCos(0.5f, &s, &c);
    EXPECT_FLOAT_EQ(s, std::sin(0.5f));
    EXPECT_FLOAT_EQ(c, std::cos(0.5f));
}

TEST(MicrosecondClock, UsesTheTimeStampCounterOnlyOnceStarted)
{
    UseManualClock(5000, 0);
    CPUIDSTUB stub{true, "GenuineTest!", 1u << 4, 0, "", 7};  // counter runs 7x the clock
    SetCpuidStub(&stub);
    SysState.TSCFlag = 1;
    SysState.TSCFrequency = 7000000;
    SysState.PerfCounterFlag = 1;
    SysState.PerfCounterFrequency = 1000000;

    SysState.InitializeFlag = 0;
    EXPECT_EQ(GetMicrosecondClock(1), 5000000u);  // the performance counter
    SysState.InitializeFlag = 1;
    EXPECT_EQ(GetMicrosecondClock(1), 5000000u);  // the time-stamp counter, scaled
    SysState.PerfCounterFlag = 0;
    EXPECT_EQ(GetMicrosecondClock(0), 5000000u);  // the millisecond clock
    AdvanceManualClock(1500);
    EXPECT_EQ(GetMicrosecondClock(0), 5001000u);

    SetCpuidStub(nullptr);
    UseRealClock();
    SysState = SYSSTATE{};
}
