// The blend tables against their defining formulas, written here in a
// different form (floating point, floor/trunc) from the builder's.
#include <gtest/gtest.h>

#include <cmath>

#include "graphics/blendtable.h"

namespace {

class BlendTablesTest : public testing::Test {
protected:
    static void SetUpTestSuite() { BuildSoftBlendTables(); }
};

TEST_F(BlendTablesTest, ProductTableIsTruncatedProductOver255)
{
    for (int v = 0; v < 256; ++v) {
        for (int i = 0; i < 256; ++i) {
            auto expected = static_cast<DWORD>(std::floor(static_cast<double>(i) * v / 255.0 + 1e-9));
            ASSERT_EQ(BlendTables.ProductTable[v][i], expected) << "v=" << v << " i=" << i;
        }
    }
    EXPECT_EQ(BlendTables.ProductTable[255][127], 127u);
    EXPECT_EQ(BlendTables.ProductTable[0][200], 0u);
}

TEST_F(BlendTablesTest, SignedDifferencesTruncateTowardZero)
{
    for (int v = 0; v < 256; ++v) {
        EXPECT_EQ(BlendTables.SignedProductTable[v][0], 0) << "slot 0 is never written";
        for (int d = -255; d <= 255; ++d) {
            int expected = static_cast<int>(std::trunc(static_cast<double>(d) * v / 255.0 + (d >= 0 ? 1e-9 : -1e-9)));
            ASSERT_EQ(SignedProductRow(v)[d], expected) << "v=" << v << " d=" << d;
        }
    }
    EXPECT_EQ(SignedProductRow(255)[-1], -1);
    EXPECT_EQ(SignedProductRow(254)[-1], 0);
}

TEST_F(BlendTablesTest, InterpolationCubeWeighsSourceByPlane)
{
    for (int k = 0; k < 64; ++k) {
        for (int s = 0; s < 64; ++s) {
            for (int d = 0; d < 64; ++d) {
                double exact = (static_cast<double>(s) * k + static_cast<double>(d) * (63 - k)) / 63.0;
                ASSERT_EQ(BlendTables.InterpolationCube[k][s][d], static_cast<int>(std::floor(exact + 1e-9)))
                    << k << "," << s << "," << d;
            }
        }
    }
    // Plane 63 is the source, plane 0 the destination.
    EXPECT_EQ(BlendTables.InterpolationCube[63][40][7], 40);
    EXPECT_EQ(BlendTables.InterpolationCube[0][40][7], 7);
}

// The factor ramp: a line of slope 256 / (range + 1) through base, clamped.
int ExpectedFactor(int p, int range, int g)
{
    double r = range + 1.0;
    double base = 256.0 - std::floor((std::floor(65536.0 / r) + 256.0) * p / 256.0);
    double e = std::floor(g * 256.0 / r) + base;
    return static_cast<int>(std::fmin(255.0, std::fmax(0.0, e)));
}

TEST(BlendGraphFactorTable, MatchesRampForEveryParameterAndRange)
{
    for (int p = 0; p < 256; p += 5) {
        for (int range = 0; range < 256; range += 3) {
            BuildBlendGraphFactorTable(p, range);
            for (int g = 0; g < 256; ++g) {
                ASSERT_EQ(BlendTables.BlendGraphFactorTable[g], ExpectedFactor(p, range, g))
                    << "p=" << p << " range=" << range << " g=" << g;
            }
        }
    }
}

TEST(BlendGraphFactorTable, WorkedExamples)
{
    BuildBlendGraphFactorTable(0, 40);
    for (int g = 0; g < 256; ++g) ASSERT_EQ(BlendTables.BlendGraphFactorTable[g], 255);

    BuildBlendGraphFactorTable(128, 255);  // base 0: the identity ramp
    for (int g = 0; g < 256; ++g) ASSERT_EQ(BlendTables.BlendGraphFactorTable[g], g);

    BuildBlendGraphFactorTable(128, 0);  // range 0: steps of 256, base -32640
    EXPECT_EQ(BlendTables.BlendGraphFactorTable[127], 0);
    EXPECT_EQ(BlendTables.BlendGraphFactorTable[128], 128);
    EXPECT_EQ(BlendTables.BlendGraphFactorTable[129], 255);

    BuildBlendGraphFactorTable(100, -1);  // out-of-range input is clamped, no division by zero
    EXPECT_EQ(BlendTables.BlendGraphFactorTable[0], ExpectedFactor(100, 0, 0));
}

}  // namespace
