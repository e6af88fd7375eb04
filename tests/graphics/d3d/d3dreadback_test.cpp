// Capture of the draw target into texture graphs under the Direct3D back-end:
// every copy method lands the right texels, the working method is
// remembered per kind of graph, bad rectangles fail, and a capture into a
// derived graph leaves the parent's texels outside its view alone.
#include <gtest/gtest.h>

#include <cstring>

#include "core/api.h"
#include "core/sysstate.h"
#include "support/library_fixture.h"
#include "graphics/d3d/d3ddevice.h"
#include "graphics/d3d/d3dtexture.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/imagesurface.h"
#include "graphics/screen.h"
#include "platform/kernel/clock.h"

namespace {

// Channels chosen so that 16-bit textures hold them exactly.
DWORD Pattern(int x, int y)
{
    const DWORD r = static_cast<DWORD>((x * 8) & 0xF8), g = static_cast<DWORD>((y * 4) & 0xFC), b = 0x40;
    return (r << 16) | (g << 8) | b;
}

int Channel(DWORD pixel, DWORD mask)
{
    if (mask == 0) return 0;
    int shift = 0;
    while (((mask >> shift) & 1) == 0) ++shift;
    DWORD v = (pixel & mask) >> shift;
    int bits = 0;
    while (((mask >> shift) >> bits) & 1) ++bits;
    return static_cast<int>(v << (8 - bits));
}

class D3DReadBack : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(StartDirect3DLibrary(), 0);
        ASSERT_EQ(IsDirect3DActive(), 1);
        SelectDrawTarget(-2);
        PaintBackScreen();
    }
    void TearDown() override
    {
        EndDirect3DLibrary();
    }

    static void PaintBackScreen()
    {
        IDirectDrawSurface7* back = GetBackScreenSurface();
        ASSERT_NE(back, nullptr);
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        ASSERT_EQ(back->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
        for (DWORD y = 0; y < d.dwHeight; ++y) {
            auto* row = static_cast<BYTE*>(d.lpSurface) + y * d.lPitch;
            for (DWORD x = 0; x < d.dwWidth; ++x) {
                const DWORD p = Pattern(static_cast<int>(x), static_cast<int>(y));
                std::memcpy(row + x * 4, &p, 4);
            }
        }
        back->Unlock(nullptr);
    }

    // The texel of graph pixel (x, y) as 0x00RRGGBB, read from its piece's texture.
    static DWORD GraphTexel(int graph, int x, int y)
    {
        const GRAPHREC* g = GetGraphRecord(graph);
        for (int i = 0; i < g->SurfaceCount; ++i) {
            const SURF3DREC* p = G_D3D_GetSurface3DData(g->Surfaces[i]);
            if (x < p->X || y < p->Y || x >= p->X + p->Width || y >= p->Y + p->Height) continue;
            IDirectDrawSurface7* t = PieceTexture(p);
            DDSURFACEDESC2 d{};
            d.dwSize = sizeof d;
            if (t->Lock(nullptr, &d, DDLOCK_WAIT, nullptr) != DD_OK) return 0xDEADBEEF;
            const DDPIXELFORMAT& f = d.ddpfPixelFormat;
            const int bytes = static_cast<int>(f.dwRGBBitCount / 8);
            DWORD v = 0;
            std::memcpy(&v, static_cast<BYTE*>(d.lpSurface) + (p->TexelY + y - p->Y) * d.lPitch +
                                (p->TexelX + x - p->X) * bytes,
                        static_cast<size_t>(bytes));
            t->Unlock(nullptr);
            return static_cast<DWORD>(Channel(v, f.dwRBitMask) << 16 | Channel(v, f.dwGBitMask) << 8 |
                                      Channel(v, f.dwBBitMask));
        }
        return 0xDEADBEEF;
    }
};

TEST_F(D3DReadBack, TheFirstWorkingMethodIsRememberedAndLandsTheRectangle)
{
    const int g = CreateGraphOfSize(16, 16, 1, 0, 0);
    ASSERT_EQ(GetGraphRecord(g)->Format.Texture, 1);
    const SURF3DREC* piece = G_D3D_GetSurface3DData(GetGraphRecord(g)->Surfaces[0]);
    const IMGFLAGS& f = GetImageSurfaceRecord(piece->ImageSurface)->Format;
    const int kind = (f.AlphaChFlag != 0 || f.AlphaTestFlag != 0) ? 0 : 1;
    EXPECT_EQ(D3DState.ReadBackMethod[kind], -1);
    D3DState.ReadBackMethod[1 - kind] = 3;  // the other kind keeps its own entry
    ASSERT_EQ(CaptureDrawScreenToGraph(100, 50, 116, 66, g, 0), 0);
    EXPECT_EQ(D3DState.ReadBackMethod[kind], 0);  // lock and convert
    EXPECT_EQ(D3DState.ReadBackMethod[1 - kind], 3);
    for (int y : {0, 7, 15})
        for (int x : {0, 9, 15}) EXPECT_EQ(GraphTexel(g, x, y), Pattern(100 + x, 50 + y)) << x << "," << y;
}

TEST_F(D3DReadBack, RectanglesTheGraphOrTargetCannotHoldFail)
{
    const int g = CreateGraphOfSize(16, 16, 1, 0, 0);
    ASSERT_EQ(CaptureDrawScreenToGraph(0, 0, 16, 16, g, 0), 0);
    EXPECT_EQ(CaptureDrawScreenToGraph(0, 0, 17, 16, g, 0), -1);  // wider than the graph
    EXPECT_EQ(D3DState.ReadBackMethod[0] & D3DState.ReadBackMethod[1], -1);  // the remembered method is dropped
    EXPECT_EQ(CaptureDrawScreenToGraph(10, 0, 10, 16, g, 0), -1);  // empty
    EXPECT_EQ(CaptureDrawScreenToGraph(-1, 0, 15, 16, g, 0), -1);
    EXPECT_EQ(CaptureDrawScreenToGraph(641, 0, 650, 16, g, 0), -1);  // starts past the target

    // Running past the right edge cuts the copy at the edge.
    ASSERT_EQ(CaptureDrawScreenToGraph(630, 100, 640, 116, g, 0), 0);
    EXPECT_EQ(GraphTexel(g, 9, 3), Pattern(639, 103));
}

// Each method, remembered in turn, copies only the piece's rectangle: the parent
// of a derived graph keeps its texels outside the view.
TEST_F(D3DReadBack, EveryMethodCopiesTheViewAndSparesTheParent)
{
    const int parent = CreateGraphOfSize(32, 32, 1, 0, 0);
    ASSERT_EQ(FillGraphWithColor(parent, 0x10, 0x20, 0x30, 255), 0);
    const int view = CreateDerivedGraph(8, 8, 8, 8, parent);
    ASSERT_NE(view, -1);
    const DWORD fill = GraphTexel(parent, 0, 0);
    for (int method = 0; method < 5; ++method) {
        SCOPED_TRACE(method);
        PaintBackScreen();
        D3DState.ReadBackMethod[0] = D3DState.ReadBackMethod[1] = method;
        ASSERT_EQ(CaptureDrawScreenToGraph(200 + method, 40, 208 + method, 48, view, 0), 0);
        EXPECT_EQ(D3DState.ReadBackMethod[0] & D3DState.ReadBackMethod[1], method);
        EXPECT_EQ(GraphTexel(view, 0, 0), Pattern(200 + method, 40));
        EXPECT_EQ(GraphTexel(view, 7, 7), Pattern(207 + method, 47));
        for (int p : {0, 7, 16, 31}) {
            EXPECT_EQ(GraphTexel(parent, p, 0), fill);
            EXPECT_EQ(GraphTexel(parent, 0, p), fill);
            EXPECT_EQ(GraphTexel(parent, 16, p), fill);
        }
    }
}

} // namespace
