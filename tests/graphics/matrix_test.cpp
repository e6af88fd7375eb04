// Matrices (row vectors) and rectangle clipping, ordering and size.
#include <gtest/gtest.h>

#include <cmath>

#include "graphics/matrix.h"
#include "graphics/screen.h"

namespace {

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(ClipRect, CasesAgainstABound)
{
    const RECT bound = {10, 20, 110, 220};
    struct {
        RECT in, out;
        const char* what;
    } cases[] = {
        {{10, 20, 110, 220}, {10, 20, 110, 220}, "equal to the bound"},
        {{-5, -5, 500, 500}, {10, 20, 110, 220}, "larger on every side"},
        {{0, 30, 5, 40}, {10, 30, 10, 40}, "wholly left: empty at bound.left"},
        {{50, 300, 60, 400}, {50, 220, 60, 220}, "wholly below: empty at bound.bottom"},
        {{10, 10, 5, 20}, {10, 20, 10, 20}, "inverted: collapsed, not swapped"},
        {{40, 60, 40, 90}, {40, 60, 40, 90}, "already empty stays empty"},
        {{100, 200, 150, 250}, {100, 200, 110, 220}, "overlapping corner"},
    };
    for (const auto& c : cases) {
        RECT r = c.in;
        EXPECT_EQ(ClipRectAgainstRect(&r, &bound), 0);
        EXPECT_TRUE(SameRect(r, c.out)) << c.what << ": " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    }
    RECT inv = {10, 10, 5, 20};
    RECT big = {0, 0, 100, 100};
    ClipRectAgainstRect(&inv, &big);
    EXPECT_TRUE(SameRect(inv, RECT{10, 10, 10, 20}));
}

TEST(RectOps, OrderAndSize)
{
    RECT r = {30, 40, 10, 5};
    OrderRectCorners(&r);
    EXPECT_TRUE(SameRect(r, RECT{10, 5, 30, 40}));
    int w = 0, h = 0;
    GetRectWidthHeight(&r, &w, &h);
    EXPECT_EQ(w, 20);
    EXPECT_EQ(h, 35);
    GetRectWidthHeight(&r, nullptr, &h);
}

void Transform(const MAT44& m, float x, float y, float z, float out[4])
{
    const float p[4] = {x, y, z, 1};
    for (int c = 0; c < 4; ++c) {
        out[c] = p[0] * m.m[c] + p[1] * m.m[4 + c] + p[2] * m.m[8 + c] + p[3] * m.m[12 + c];
    }
}

TEST(Matrix, ProductAppliesLeftFirstAndAllowsAliasing)
{
    MAT44 a, b, ab, aa;
    for (int i = 0; i < 16; ++i) {
        a.m[i] = static_cast<float>(i + 1);
        b.m[i] = static_cast<float>((i * 7) % 5 - 2);
    }
    MultiplyMatrix4x4(&ab, &a, &b);
    EXPECT_FLOAT_EQ(ab.m[4 * 1 + 2], a.m[4] * b.m[2] + a.m[5] * b.m[6] + a.m[6] * b.m[10] + a.m[7] * b.m[14]);
    aa = a;
    MultiplyMatrix4x4(&aa, &aa, &b);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(aa.m[i], ab.m[i]);
    MAT44 bb = b;
    MultiplyMatrix4x4(&bb, &a, &bb);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(bb.m[i], ab.m[i]);
    MultiplyMatrix4x4(nullptr, &a, &b);

    // Translate then scale: a point moves first, then grows.
    MAT44 t, s, ts;
    ResetMatrixToIdentity(&t);
    ResetMatrixToIdentity(&s);
    t.m[12] = 1;
    s.m[0] = 2;
    MultiplyMatrix4x4(&ts, &t, &s);
    float out[4];
    Transform(ts, 3, 0, 0, out);
    EXPECT_FLOAT_EQ(out[0], 8);
}

TEST(Matrix, PerspectiveWorkedExampleAndRefusal)
{
    MAT44 m;
    ASSERT_EQ(BuildPerspectiveProjection(&m, 1.0471976f, 1.0f, 1001.0f, 0.75f), 0);
    EXPECT_NEAR(m.m[0], 1.2990381, 1e-5);
    EXPECT_NEAR(m.m[5], 1.7320508, 1e-5);
    EXPECT_NEAR(m.m[10], 1.001, 1e-5);
    EXPECT_EQ(m.m[11], 1.0f);
    EXPECT_NEAR(m.m[14], -1.001, 1e-5);
    EXPECT_EQ(m.m[15], 0.0f);

    MAT44 untouched;
    for (float& f : untouched.m) f = 7;
    EXPECT_EQ(BuildPerspectiveProjection(&untouched, 1.0f, 5.0f, 5.0f, 1.0f), -1);
    EXPECT_EQ(BuildPerspectiveProjection(&untouched, 0.0f, 1.0f, 10.0f, 1.0f), -1);
    for (float f : untouched.m) EXPECT_EQ(f, 7);

    // No aspect given: the screen's height over width, whatever an earlier
    // test in this process left the screen size at.
    int width = 0, height = 0;
    GetScreenPixelSize(&width, &height);
    ASSERT_GT(width, 0);
    ASSERT_EQ(BuildPerspectiveProjection(&m, 1.0471976f, 1.0f, 1001.0f, -1.0f), 0);
    EXPECT_NEAR(m.m[0], static_cast<double>(height) / width * 1.7320508, 1e-5);
}

TEST(Matrix, ViewportMapsProjectedCornersToPixels)
{
    MAT44 v;
    BuildViewportMatrix(&v, 320, 240, 640, 480);
    float out[4];
    Transform(v, -1, 1, 0.5f, out);
    EXPECT_FLOAT_EQ(out[0], 0);
    EXPECT_FLOAT_EQ(out[1], 0);
    EXPECT_FLOAT_EQ(out[2], 0.5f);
    Transform(v, 1, -1, 0, out);
    EXPECT_FLOAT_EQ(out[0], 640);
    EXPECT_FLOAT_EQ(out[1], 480);
}

TEST(Matrix, LookAtPutsTargetOnPositiveZ)
{
    VEC3F eye = {0, 0, -10}, target = {0, 0, 0}, up = {0, 1, 0};
    MAT44 v;
    BuildLookAtView(&v, &eye, &target, &up);
    float out[4];
    Transform(v, 0, 0, 0, out);
    EXPECT_FLOAT_EQ(out[2], 10);
    Transform(v, 1, 2, -10, out);  // a point beside the eye keeps x right, y up
    EXPECT_FLOAT_EQ(out[0], 1);
    EXPECT_FLOAT_EQ(out[1], 2);
    EXPECT_NEAR(out[2], 0, 1e-6);

    VEC3F eye2 = {10, 0, 0};
    BuildLookAtView(&v, &eye2, &target, &up);
    Transform(v, 0, 0, 0, out);
    EXPECT_NEAR(out[2], 10, 1e-5);
    Transform(v, 10, 0, 1, out);  // left-handed: looking down -x, the world's +z is to the right
    EXPECT_NEAR(out[0], 1, 1e-5);
}

TEST(Matrix, DotProduct)
{
    VEC3F a = {1, 2, 3}, b = {4, -5, 6};
    EXPECT_DOUBLE_EQ(DotProductVector3(&a, &b), 12.0);
}

}  // namespace
