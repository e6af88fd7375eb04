// Free quads under the Direct3D back-end: parallelograms go into the batch as
// one quad (also when given right to left), other shapes as one indexed grid,
// graphs of several pieces land where the whole graph would, the grid's index
// list joins its strips within one call, and quads under a blend graph are
// drawn at once as the device model draws them.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/api.h"
#include "core/sysstate.h"
#include "support/library_fixture.h"
#include "graphics/d3d/d3ddevice.h"
#include "graphics/d3d/d3ddraw.h"
#include "graphics/drawapi.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/screen.h"
#include "platform/d3d/d3d_test.h"
#include "platform/kernel/clock.h"
#include "support/d3d_model.h"
#include "support/image_fixtures.h"

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

// The strip of a blend-graph quad: each corner of the one piece is its own
// corner less half a pixel, the drawn graph's texels where the blend graph's
// alpha reaches the border parameter.
TEST_F(D3DQuad, AQuadUnderABlendGraphIsDrawnAtOnceAsTheModelDrawsIt)
{
    using namespace d3dmodel;
    Picture drawn{32, 32, {}}, mask{32, 32, {}};
    PngSpec colour, alpha;
    colour.width = alpha.width = 32;
    colour.height = alpha.height = 32;
    colour.colorType = 2;
    alpha.colorType = 6;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const u32 r = (x * 37) & 0xFF, g = (y * 53 + x * 7) & 0xFF, b = (x * y * 3) & 0xFF;
            const u32 a = static_cast<u32>((x * 8 + y * 3) & 0xFF);
            drawn.argb.push_back(0xFF000000u | r << 16 | g << 8 | b);
            mask.argb.push_back(a << 24 | 0x808080u);
            for (u32 v : {r, g, b}) colour.samples.push_back(static_cast<std::uint8_t>(v));
            for (u32 v : {0x80u, 0x80u, 0x80u, a}) alpha.samples.push_back(static_cast<std::uint8_t>(v));
        }
    WriteFileBytes("d3d_quad_drawn.png", WritePng(colour));
    WriteFileBytes("d3d_quad_mask.png", WritePng(alpha));
    const int g = LoadGraphFile("d3d_quad_drawn.png", 0);
    const int blend = LoadGraphFile("d3d_quad_mask.png", 0);
    ASSERT_NE(g, -1);
    ASSERT_NE(blend, -1);
    SysState.BackgroundRed = SysState.BackgroundGreen = SysState.BackgroundBlue = 0;
    ClearDrawTarget();
    ASSERT_EQ(StoreBlendGraphSetting(blend, 128, 0), 0);
    G_D3D_EndCurrentScene();

    const long long before = GetDirect3DDrawCallCount();
    // A trapezoid: public corners clockwise from the top-left.
    ASSERT_EQ(DrawGraphToQuadF(100, 100, 180, 110, 170, 170, 90, 150, g, 0), 0);
    EXPECT_EQ(GetDirect3DDrawCallCount(), before + 1);  // drawn at once, not batched
    // An axis-aligned rectangle is a stretched draw, which waits in the batch.
    ASSERT_EQ(DrawGraphToQuadF(300, 300, 332, 300, 332, 340, 300, 340, g, 0), 0);
    EXPECT_EQ(GetDirect3DDrawCallCount(), before + 1);
    G_D3D_EndCurrentScene();
    EXPECT_EQ(GetDirect3DDrawCallCount(), before + 2);
    StoreBlendGraphSetting(-1, 0, 0);

    Model ref(true);
    ref.Fill(0, 0, 0);
    Pipe pipe;
    pipe.tex = &drawn;
    pipe.texW = pipe.texH = 32;
    pipe.mask = &mask;
    pipe.maskW = pipe.maskH = 32;
    pipe.maskRef = 128;
    const double corners[4][2] = {{100, 100}, {180, 110}, {90, 150}, {170, 170}};  // strip order
    Vtx v[4];
    for (int k = 0; k < 4; ++k) {
        const double s = (k & 1) ? 1.0 : 0.0, t = (k >> 1) ? 1.0 : 0.0;
        v[k] = Vtx{corners[k][0] - 0.5, corners[k][1] - 0.5, s, t, 0xFFFFFFFFu, s, t};
    }
    const RECT all{0, 0, 640, 480};
    ref.Triangle(pipe, v[0], v[1], v[2], all);
    ref.Triangle(pipe, v[1], v[3], v[2], all);
    // The stretched rectangle: 32 x 40 from (300, 300), its blend coordinates from the graph's corners.
    const Vtx q[4] = {{299.5, 299.5, 0, 0, 0xFFFFFFFFu, 0, 0},
                      {331.5, 299.5, 1, 0, 0xFFFFFFFFu, 1, 0},
                      {299.5, 339.5, 0, 1, 0xFFFFFFFFu, 0, 1},
                      {331.5, 339.5, 1, 1, 0xFFFFFFFFu, 1, 1}};
    Quad(&ref, pipe, q, all);
    PresentScreen();
    std::string first;
    EXPECT_EQ(CountDifferences(ref, &first), 0) << first;
}

} // namespace
