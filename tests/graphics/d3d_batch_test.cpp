// The Direct3D back-end's batching, texture split and draw-target rules on the
// software device: flush counts of a sprite frame, flushes before state
// changes, the quit flag, the split table and its piece limit, targets
// that cannot be rendered into, and runs of graph parts.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/api.h"
#include "core/sysstate.h"
#include "support/library_fixture.h"
#include "graphics/d3d/d3ddevice.h"
#include "graphics/d3d/d3ddraw.h"
#include "graphics/d3d/d3dtexture.h"
#include "graphics/drawapi.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/screen.h"
#include "platform/d3d/d3d_test.h"
#include "platform/ddraw/ddraw_test.h"
#include "platform/kernel/clock.h"
#include "support/d3d_batch_capture.h"
#include "support/library_fixture.h"

namespace {

class D3DBackEnd : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(StartDirect3DLibrary(), 0);
        ASSERT_EQ(IsDirect3DActive(), 1);
        SelectDrawTarget(-2);
        sprite = CreateGraphOfSize(16, 16, 1, 0, 0);
        other = CreateGraphOfSize(16, 16, 1, 0, 0);
        ASSERT_NE(sprite, -1);
        ASSERT_EQ(GetGraphRecord(sprite)->Format.Texture, 1);
        PresentScreen();
    }
    void TearDown() override
    {
        SysState.QuitFlag = 0;
        EndDirect3DLibrary();
    }

    int sprite = -1;
    int other = -1;

    // The back screen's 0xRRGGBB at (x, y) once the pending quads are drawn.
    static DWORD BackPixel(int x, int y)
    {
        G_D3D_EndCurrentScene();
        IDirectDrawSurface7* back = GetBackScreenSurface();
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        if (back->Lock(nullptr, &d, DDLOCK_WAIT, nullptr) != DD_OK) return 0xDEADBEEF;
        DWORD v = 0;
        std::memcpy(&v, static_cast<BYTE*>(d.lpSurface) + y * d.lPitch + x * 4, 4);
        back->Unlock(nullptr);
        return v & 0xFFFFFF;
    }
};

TEST_F(D3DBackEnd, AThousandSpritesOfOneStateFlushOnlyWhenTheBatchIsFull)
{
    SelectBlendMode(0, 255);
    DrawGraphAt(0, 0, sprite, 0);  // the state is committed by the first draw
    PresentScreen();
    const long long before = GetDirect3DDrawCallCount();
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(DrawGraphAt(i % 600, (i / 600) * 20, sprite, 0), 0);
    // 389 quads fill the 2,340-vertex batch; the 390th and the 779th draw it first.
    EXPECT_EQ(GetDirect3DDrawCallCount() - before, 2);
    PresentScreen();
    EXPECT_EQ(GetDirect3DDrawCallCount() - before, 3);
}

TEST_F(D3DBackEnd, AStateOrTextureChangeDrawsThePendingQuadsFirst)
{
    DrawGraphAt(0, 0, sprite, 0);
    PresentScreen();
    long long count = GetDirect3DDrawCallCount();
    for (int i = 0; i < 5; ++i) DrawGraphAt(i * 20, 40, sprite, 0);
    EXPECT_EQ(GetDirect3DDrawCallCount(), count);
    SelectBlendMode(1, 128);
    DrawGraphAt(0, 60, sprite, 0);
    EXPECT_EQ(GetDirect3DDrawCallCount(), count + 1);
    DrawGraphAt(0, 80, other, 0);  // another texture
    EXPECT_EQ(GetDirect3DDrawCallCount(), count + 2);
    DrawGraphAt(20, 80, other, 0);  // same state: queued
    EXPECT_EQ(GetDirect3DDrawCallCount(), count + 2);
    SelectBlendMode(0, 255);
    PresentScreen();
    EXPECT_EQ(GetDirect3DDrawCallCount(), count + 3);
}

TEST_F(D3DBackEnd, WhileQuittingFullBatchesAreEmptiedWithoutDrawing)
{
    DrawGraphAt(0, 0, sprite, 0);
    PresentScreen();
    const long long before = GetDirect3DDrawCallCount();
    SysState.QuitFlag = 1;
    for (int i = 0; i < 800; ++i) DrawGraphAt(i % 600, 0, sprite, 0);
    G_D3D_EndCurrentScene();
    EXPECT_EQ(GetDirect3DDrawCallCount(), before);
}

TEST_F(D3DBackEnd, SidesSplitIntoPowerOfTwoTexturesAndTheSplitStaysInItsArray)
{
    const struct {
        int length;
        std::vector<int> sizes;
    } cases[] = {
        {640, {512, 128}}, {300, {512}}, {33, {64}}, {800, {512, 256, 32}}, {1500, {1024, 512}},
        {2000, {1024, 1024}}, {10, {16}},
    };
    for (const auto& c : cases) {
        int sizes[64] = {};
        const int n = G_D3D_SplitTextureLength(c.length, sizes, 64, 0);
        EXPECT_EQ(std::vector<int>(sizes, sizes + (n > 0 ? n : 0)), c.sizes) << c.length;
    }
    int two[2] = {};
    EXPECT_EQ(G_D3D_SplitTextureLength(3000, two, 2, 0), -1);
    // A graph needing more than 64 pieces is refused: 9 x 8 pieces of 1,024.
    EXPECT_EQ(CreateGraphOfSize(9 * 1024 - 100, 8 * 1024 - 100, 1, 0, 0), -1);
}

TEST_F(D3DBackEnd, AGraphOfTwoPiecesDrawsBothAndCannotBeARenderTarget)
{
    const int wide = CreateGraphOfSize(640, 480, 1, 0, 0);
    ASSERT_NE(wide, -1);
    const GRAPHREC* g = GetGraphRecord(wide);
    ASSERT_EQ(g->SurfaceCount, 2);
    const SURF3DREC* right = G_D3D_GetSurface3DData(g->Surfaces[1]);
    ASSERT_NE(right, nullptr);
    EXPECT_EQ(right->X, 512);
    EXPECT_EQ(right->Width, 128);
    EXPECT_EQ(right->Height, 480);
    EXPECT_EQ(SelectDrawTarget(wide), -1);
    EXPECT_EQ(GetCurrentDrawTarget(), -2);
    EXPECT_EQ(DrawGraphAt(-10, 0, wide, 0), 0);
}

// A run of parts of a graph of two pieces queues, flushes and draws what the
// parts drawn one by one do: parts across the pieces' border, cut by the
// area or wholly outside it, on the back and the front screen.
TEST_F(D3DBackEnd, APartRunQueuesWhatItsPartsDrawnOneByOneQueue)
{
    const int wide = CreateGraphOfSize(640, 480, 1, 0, 0);
    ASSERT_EQ(GetGraphRecord(wide)->SurfaceCount, 2);
    ASSERT_EQ(FillGraphWithColor(wide, 200, 100, 50, 255), 0);
    const GRAPHSUBRECT parts[] = {
        {10, 10, 500, 20, 30, 16}, {600, 100, 0, 0, 64, 32}, {-20, 300, 100, 100, 40, 40},
        {700, 500, 0, 0, 8, 8},    {100, 200, 512, 0, 128, 100}, {3, 460, 490, 470, 40, 10},
    };
    for (int target : {DRAWTARGET_BACK, DRAWTARGET_FRONT}) {
        auto draw = [&](bool oneByOne) {
            SelectDrawTarget(target);
            EraseScreen();
            StoreDrawArea(5, 5, 630, 470);
            SelectBrightness(255, 128, 64);
            G_D3D_FlushCurrentVertexBatch();
            const long long before = GetDirect3DDrawCallCount();
            if (oneByOne) {
                for (const GRAPHSUBRECT& p : parts)
                    EXPECT_EQ(DrawGraphSubRect(p.X, p.Y, p.SrcX, p.SrcY, p.Width, p.Height, wide, 1, 0), 0);
            } else {
                EXPECT_EQ(DrawGraphSubRects(parts, 6, wide, 1), 0);
            }
            QueuedBatch queued = CaptureQueuedBatch();
            queued.drawCalls -= before;
            const std::vector<std::uint32_t> pixels = DrawnScreenPixels();
            SelectBrightness(255, 255, 255);
            StoreDrawArea(0, 0, 640, 480);
            SelectDrawTarget(DRAWTARGET_BACK);
            return std::make_pair(queued, pixels);
        };
        const auto want = draw(true);
        const auto got = draw(false);
        EXPECT_EQ(got.first, want.first) << target;
        EXPECT_TRUE(got.second == want.second) << target;
        EXPECT_GT(want.first.drawCalls + static_cast<long long>(want.first.words.size()), 0) << target;
    }
}

TEST_F(D3DBackEnd, AFilledCircleBelowAMovedAreaTopDrawsOnlyInsideTheArea)
{
    StoreDrawArea(100, 100, 200, 200);
    EXPECT_EQ(DrawCircleShape(150, 100, 30, GetColorValue(255, 255, 255), 1), 0);
    EXPECT_EQ(DrawCircleShape(150, 205, 30, GetColorValue(255, 255, 255), 1), 0);
    StoreDrawArea(0, 0, 640, 480);
    PresentScreen();
}

} // namespace

namespace {

// A lost screen takes the Direct3D object and device away and brings them
// back in the same record, with the graphs' textures made again.
TEST_F(D3DBackEnd, ALostScreenRebuildsTheDeviceAndItsTextures)
{
    SelectBlendMode(1, 128);
    DrawGraphAt(0, 0, sprite, 0);
    const int device = D3DState.CurrentDevice;
    ASSERT_EQ(RecreateLostScreen(), 0);
    EXPECT_EQ(IsDirect3DActive(), 1);
    EXPECT_EQ(D3DState.CurrentDevice, device);
    ASSERT_NE(G_D3D_GetCurrentDevice(), nullptr);
    EXPECT_EQ(D3DDevices[device].Force, 0u);
    EXPECT_EQ(D3DDevices[device].BlendMode, 1);  // cached states survive
    const SURF3DREC* piece = G_D3D_GetSurface3DData(GetGraphRecord(sprite)->Surfaces[0]);
    ASSERT_NE(piece, nullptr);
    ASSERT_NE(PieceTexture(piece), nullptr);

    // The new device draws: a white sprite lands on the back screen.
    SelectBlendMode(0, 255);
    ASSERT_EQ(FillGraphWithColor(sprite, 255, 255, 255, 255), 0);
    ClearDrawTarget();
    ASSERT_EQ(DrawGraphAt(40, 30, sprite, 0), 0);
    EXPECT_EQ(BackPixel(45, 35), 0xFFFFFFu);
    EXPECT_NE(BackPixel(60, 35), 0xFFFFFFu);

    // A second release without a rebuild in between finds the object gone.
    EXPECT_EQ(G_D3D_ReleaseDirect3DObject(), 0);
    EXPECT_EQ(G_D3D_ReleaseDirect3DObject(), 0);
    EXPECT_EQ(IsDirect3DActive(), 0);
    EXPECT_EQ(G_D3D_RecreateDirect3D(), 0);
    EXPECT_EQ(IsDirect3DActive(), 1);
}

// A device left without a render target refuses its draws rather than
// answering 0 for pixels that go nowhere.
TEST_F(D3DBackEnd, DrawsWithoutARenderTargetAnswerMinusOne)
{
    D3DDEVREC* r = CurrentD3DDevice();
    ASSERT_NE(r, nullptr);
    IDirectDrawSurface7* target = r->CurrentTarget;
    ASSERT_NE(target, nullptr);
    r->CurrentTarget = nullptr;
    const DWORD white = GetColorValue(255, 255, 255);
    EXPECT_EQ(DrawGraphAt(10, 10, sprite, 0), -1);
    EXPECT_EQ(DrawGraphRotated(40, 40, 1.0, 1.0, sprite, 0, 0), -1);
    EXPECT_EQ(DrawLineSegment(0, 0, 30, 30, white, 1), -1);
    EXPECT_EQ(DrawCircleShape(50, 50, 10, white, 1), -1);
    EXPECT_EQ(G_D3D_DrawFilledBox(0, 0, 10, 10, white), -1);
    r->CurrentTarget = target;
    EXPECT_EQ(DrawGraphAt(10, 10, sprite, 0), 0);
}

// Full screen deactivation releases Direct3D; a library ended then leaves no
// records behind, and the next start takes the first device record again.
TEST_F(D3DBackEnd, EndingWhileDirect3DIsReleasedClearsItsRecords)
{
    ASSERT_GT(Surface3DTable.Count, 0u);
    ASSERT_EQ(G_D3D_ReleaseDirect3DObject(), 0);
    EndDirect3DLibrary();
    EXPECT_EQ(Surface3DTable.Count, 0u);
    EXPECT_EQ(ImageSurfaceTable.Count, 0u);
    EXPECT_EQ(GetLiveDirectDrawSurfaceCount(), 0);
    for (const D3DDEVREC& r : D3DDevices) EXPECT_EQ(r.Used, 0u);
    EXPECT_EQ(D3DState.Initialized, 0u);
    EXPECT_EQ(G_D3D_Terminate(), -1);  // nothing is left to end

    ASSERT_EQ(StartDirect3DLibrary(), 0);
    EXPECT_EQ(D3DState.CurrentDevice, 0);
    SelectDrawTarget(-2);
    const int g = CreateGraphOfSize(16, 16, 1, 0, 0);
    ASSERT_EQ(FillGraphWithColor(g, 255, 255, 255, 255), 0);
    ASSERT_EQ(DrawGraphAt(40, 30, g, 0), 0);
    EXPECT_EQ(BackPixel(45, 35), 0xFFFFFFu);
}

} // namespace

// Under bilinear filtering a keyed graph drawn at a point keeps its alpha test
// (no blending); stretched, it blends by the filtered alpha, as the float
// stretch always does; the float stretch places its corners exactly.
TEST_F(D3DBackEnd, IntegerEntriesKeepTheAlphaTestAndTheFloatStretchKeepsItsCorners)
{
    ASSERT_EQ(GetGraphRecord(sprite)->Format.AlphaTestFlag, 1);
    ASSERT_EQ(FillGraphWithColor(sprite, 255, 255, 255, 255), 0);
    ClearDrawTarget();
    StoreTextureFilterMode(1);
    D3DDEVREC* r = CurrentD3DDevice();
    ASSERT_NE(r, nullptr);
    struct Case {
        int entry;  // 0 at a point, 1 stretched, 2 stretched with float corners
        DWORD alphaTest, alphaChannel;
    };
    for (const Case c : {Case{0, 1, 0}, Case{1, 0, 1}, Case{2, 0, 1}, Case{0, 1, 0}}) {
        const int answer = c.entry == 0   ? DrawGraphAt(40, 30, sprite, 1)
                           : c.entry == 1 ? DrawGraphStretched(40, 30, 72, 62, sprite, 1)
                                          : DrawGraphStretchedF(40.0f, 30.0f, 72.0f, 62.0f, sprite, 1);
        ASSERT_EQ(answer, 0);
        EXPECT_EQ(r->AlphaTest, c.alphaTest) << c.entry;
        EXPECT_EQ(r->AlphaChannel, c.alphaChannel) << c.entry;
    }
    StoreTextureFilterMode(0);

    // Corners at x = 200.6: pixel centre 200 lies left of the quad, 201 inside.
    ASSERT_EQ(DrawGraphStretchedF(200.6f, 60.0f, 216.6f, 76.0f, sprite, 0), 0);
    EXPECT_EQ(BackPixel(200, 65), 0u);
    EXPECT_EQ(BackPixel(201, 65), 0xFFFFFFu);
    EXPECT_EQ(BackPixel(216, 65), 0xFFFFFFu);
    EXPECT_EQ(BackPixel(217, 65), 0u);
}
