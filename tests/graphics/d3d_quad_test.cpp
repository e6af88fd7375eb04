// Free quads under the Direct3D back-end: parallelograms go into the batch as
// one quad (also when given right to left), other shapes as one indexed grid,
// graphs of several pieces land where the whole graph would, and the grid's
// index list joins its strips within one call.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/api.h"
#include "core/sysstate.h"
#include "support/library_fixture.h"
#include "graphics/d3ddevice.h"
#include "graphics/d3ddraw.h"
#include "graphics/drawapi.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/screen.h"
#include "platform/d3d/d3d_test.h"
#include "platform/kernel/clock.h"

namespace {

class D3DQuad : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(StartDirect3DLibrary(), 0);
        ASSERT_EQ(IsDirect3DActive(), 1);
        SelectDrawTarget(-2);
        ClearDrawTarget();
        savedCull = DrawState.CullMode;
    }
    void TearDown() override
    {
        DrawState.CullMode = savedCull;
        EndDirect3DLibrary();
    }

    int savedCull = 0;

    // A graph of one colour (white).
    static int SolidGraph(int w, int h)
    {
        const int g = CreateGraphOfSize(w, h, 1, 0, 0);
        EXPECT_EQ(FillGraphWithColor(g, 255, 255, 255, 255), 0);
        return g;
    }

    // The back screen after the pending quads are drawn: 1 where white.
    static std::vector<int> WhiteMask()
    {
        G_D3D_EndCurrentScene();
        std::vector<int> mask(640 * 480, 0);
        IDirectDrawSurface7* back = GetBackScreenSurface();
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        if (back->Lock(nullptr, &d, DDLOCK_WAIT, nullptr) != DD_OK) return mask;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) {
                DWORD p = 0;
                std::memcpy(&p, static_cast<BYTE*>(d.lpSurface) + y * d.lPitch + x * 4, 4);
                mask[y * 640 + x] = (p & 0xFFFFFF) == 0xFFFFFF ? 1 : 0;
            }
        back->Unlock(nullptr);
        return mask;
    }

    // 1 when exactly the pixels of [x1, x2) x [y1, y2) are white.
    static testing::AssertionResult CoversExactly(int x1, int y1, int x2, int y2)
    {
        const std::vector<int> mask = WhiteMask();
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) {
                const int want = (x >= x1 && x < x2 && y >= y1 && y < y2) ? 1 : 0;
                if (mask[y * 640 + x] != want)
                    return testing::AssertionFailure() << "pixel (" << x << "," << y << ") is " << mask[y * 640 + x];
            }
        return testing::AssertionSuccess();
    }
};

// The public corners run clockwise: top-left, top-right, bottom-right, bottom-left.
TEST_F(D3DQuad, AParallelogramIsOneBatchedQuadAndFacesTheViewerEitherWay)
{
    const int g = SolidGraph(16, 16);
    DrawGraphToQuadF(0, 0, 1, 0, 1, 1, 0, 1, g, 0);  // commits the state
    G_D3D_EndCurrentScene();
    ClearDrawTarget();
    const long long before = GetDirect3DDrawCallCount();
    ASSERT_EQ(DrawGraphToQuadF(100, 100, 132, 100, 132, 132, 100, 132, g, 0), 0);
    EXPECT_EQ(GetDirect3DDrawCallCount(), before);  // waits in the batch
    EXPECT_TRUE(CoversExactly(100, 100, 132, 132));
    EXPECT_EQ(GetDirect3DDrawCallCount(), before + 1);

    ClearDrawTarget();
    DrawState.CullMode = D3DCULL_CCW;
    const long long rejected = GetDirect3DRejectedTriangleCount();
    ASSERT_EQ(DrawGraphToQuadF(132, 100, 100, 100, 100, 132, 132, 132, g, 0), 0);  // mirrored
    EXPECT_TRUE(CoversExactly(100, 100, 132, 132));
    EXPECT_EQ(GetDirect3DRejectedTriangleCount(), rejected);
}

TEST_F(D3DQuad, ATrapezoidIsOneIndexedGridCoveringItsShape)
{
    const int g = SolidGraph(16, 16);
    G_D3D_EndCurrentScene();
    const long long before = GetDirect3DDrawCallCount();
    // Top edge 40 wide, bottom edge 80 wide, 40 high, symmetric about x = 200.
    ASSERT_EQ(DrawGraphToQuadF(180, 100, 220, 100, 240, 140, 160, 140, g, 0), 0);
    EXPECT_EQ(GetDirect3DDrawCallCount(), before + 1);
    const std::vector<int> mask = WhiteMask();
    for (int y : {100, 120, 139}) {
        const float half = 20.0f + (y - 100) * 0.5f;
        EXPECT_EQ(mask[y * 640 + static_cast<int>(200 - half + 1)], 1) << y;
        EXPECT_EQ(mask[y * 640 + static_cast<int>(200 + half - 1)], 1) << y;
        EXPECT_EQ(mask[y * 640 + static_cast<int>(200 - half - 2)], 0) << y;
        EXPECT_EQ(mask[y * 640 + static_cast<int>(200 + half + 1)], 0) << y;
    }
    EXPECT_EQ(mask[99 * 640 + 200], 0);
    EXPECT_EQ(mask[140 * 640 + 200], 0);
}

TEST_F(D3DQuad, PiecesOfAWideGraphMeetWithoutGapOrOverlap)
{
    const int g = SolidGraph(640, 48);  // pieces of 512 and 128 texels across
    ASSERT_EQ(GetGraphRecord(g)->SurfaceCount, 2);
    ASSERT_EQ(DrawGraphToQuadF(50, 60, 370, 60, 370, 84, 50, 84, g, 0), 0);  // half the size
    EXPECT_TRUE(CoversExactly(50, 60, 370, 84));
}

TEST_F(D3DQuad, TheGridJoinsItsStripsAndRefusesTooFewRowsOrColumns)
{
    IDirect3DDevice7* device = G_D3D_GetCurrentDevice();
    TLVTXTEX v[64]{};
    EXPECT_EQ(G_D3D_DrawIndexedGrid(device, 1, v, 8), -1);
    EXPECT_EQ(G_D3D_DrawIndexedGrid(device, 8, v, 1), -1);
    EXPECT_EQ(G_D3D_DrawIndexedGrid(nullptr, 8, v, 8), -1);
    const long long before = GetDirect3DDrawCallCount();
    EXPECT_EQ(G_D3D_DrawIndexedGrid(device, 8, v, 8), 0);
    EXPECT_EQ(GetDirect3DDrawCallCount(), before + 1);  // 7 strips of 16 and their joins stay under 1,000
}

} // namespace
