#include "platform/ddraw/ddraw.h"
#include "platform/ddraw/ddraw_test.h"
#include "platform/display/display.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/heap.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::uint64_t g_now = 0;
std::uint64_t ManualNow() { return g_now; }
void ManualSleep(std::uint64_t us) { g_now += us; }

class DirectDrawTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetVirtualDisplay();
        SetVirtualDesktopSize(800, 600);
        SetDisplayClientRect(RECT{100, 50, 420, 290});
        g_now = 0;
        SetDisplayClock(ManualNow, ManualSleep);
        ASSERT_EQ(CreateDirectDraw7Object(&dd), DD_OK);
        ASSERT_EQ(dd->Initialize(nullptr), DD_OK);
        ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    }
    void TearDown() override
    {
        dd->Release();
        SetDirectDrawModeMasks(16, 0, 0, 0);
        EXPECT_EQ(GetLiveDirectDrawSurfaceCount(), 0);
        SetDisplayClock(nullptr, nullptr);
    }

    IDirectDrawSurface7* Plain(int w, int h, DWORD caps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        d.dwWidth = w;
        d.dwHeight = h;
        d.ddsCaps.dwCaps = caps;
        IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), DD_OK);
        return s;
    }

    IDirectDrawSurface7* Primary(DWORD caps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_3DDEVICE)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS;
        d.ddsCaps.dwCaps = caps;
        IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), DD_OK);
        return s;
    }

    static std::uint32_t At(IDirectDrawSurface7* s, int x, int y)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        RECT r{x, y, x + 1, y + 1};
        EXPECT_EQ(s->Lock(&r, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr), DD_OK);
        std::uint32_t v = 0;
        std::memcpy(&v, d.lpSurface, d.ddpfPixelFormat.dwRGBBitCount / 8);
        s->Unlock(&r);
        return v;
    }

    IDirectDraw7* dd = nullptr;
};

TEST_F(DirectDrawTest, WindowedPrimaryIsTheDesktopAndShowsTheClientArea)
{
    IDirectDrawSurface7* primary = Primary();
    DDSCAPS2 caps{};
    primary->GetCaps(&caps);
    EXPECT_TRUE(caps.dwCaps & DDSCAPS_VIDEOMEMORY);

    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0x00123456;
    RECT r{100, 50, 420, 290};
    ASSERT_EQ(primary->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);

    int w = 0, h = 0;
    const std::uint32_t* shown = GetLastPresentedPixels(&w, &h);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 240);
    EXPECT_EQ(shown[0], 0x00123456u);
    EXPECT_EQ(shown[320 * 240 - 1], 0x00123456u);
    EXPECT_EQ(At(primary, 99, 50), 0u);

    // A second primary is refused while the first lives.
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    IDirectDrawSurface7* second = nullptr;
    EXPECT_NE(dd->CreateSurface(&d, &second, nullptr), DD_OK);
    primary->Release();
}

// Memory running out answers DDERR_OUTOFMEMORY and makes no surface, for
// every kind of surface; the next creation succeeds again.
TEST_F(DirectDrawTest, SurfacesWhosePixelsCannotBeHadAreRefusedAsOutOfMemory)
{
    const auto create = [&](DWORD flags, DWORD caps, IDirectDrawSurface7** out) {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = flags;
        d.dwWidth = 64;
        d.dwHeight = 32;
        d.dwBackBufferCount = 1;
        d.ddsCaps.dwCaps = caps;
        return dd->CreateSurface(&d, out, nullptr);
    };
    struct Case {
        const char* name;
        DWORD flags;
        DWORD caps;
        bool fullScreen;
    };
    const Case cases[] = {
        {"offscreen", DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY, false},
        {"windowed primary", DDSD_CAPS, DDSCAPS_PRIMARYSURFACE, false},
        {"exclusive primary", DDSD_CAPS, DDSCAPS_PRIMARYSURFACE, true},
        {"flip chain", DDSD_CAPS | DDSD_BACKBUFFERCOUNT, DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.fullScreen) {
            ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
            ASSERT_EQ(dd->SetDisplayMode(320, 240, 16, 0, 0), DD_OK);
        }
        // The windowed primary is the desktop: a new desktop size drops its pixels.
        SetVirtualDesktopSize(800, 600);
        IDirectDrawSurface7* s = reinterpret_cast<IDirectDrawSurface7*>(1);
        FailNextHeapAllocations(1);
        EXPECT_EQ(create(c.flags, c.caps, &s), DDERR_OUTOFMEMORY);
        FailNextHeapAllocations(0);
        EXPECT_EQ(s, nullptr);
        EXPECT_EQ(GetLiveDirectDrawSurfaceCount(), 0);
        ASSERT_EQ(create(c.flags, c.caps, &s), DD_OK);
        ASSERT_NE(s, nullptr);
        s->Release();
        if (c.fullScreen) {
            dd->RestoreDisplayMode();
            ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
        }
    }
    // A blit of a surface onto itself needs a copy of it.
    IDirectDrawSurface7* plain = Plain(16, 16);
    RECT to{4, 4, 12, 12};
    FailNextHeapAllocations(1);
    EXPECT_EQ(plain->Blt(&to, plain, nullptr, DDBLT_WAIT, nullptr), DDERR_OUTOFMEMORY);
    FailNextHeapAllocations(1);
    EXPECT_EQ(plain->BltFast(4, 4, plain, nullptr, DDBLTFAST_WAIT), DDERR_OUTOFMEMORY);
    FailNextHeapAllocations(0);
    plain->Release();
}

TEST_F(DirectDrawTest, LockPointsAtTheRectangleAndRefusesNesting)
{
    IDirectDrawSurface7* s = Plain(64, 32);
    DDSURFACEDESC2 whole{}, part{};
    ASSERT_EQ(s->Lock(nullptr, &whole, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(s->Lock(nullptr, &part, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    auto* base = static_cast<std::uint8_t*>(whole.lpSurface);
    ASSERT_EQ(s->Unlock(nullptr), DD_OK);
    RECT r{3, 5, 10, 9};
    ASSERT_EQ(s->Lock(&r, &part, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(static_cast<std::uint8_t*>(part.lpSurface), base + 5 * whole.lPitch + 3 * 4);
    s->Unlock(&r);
    RECT outside{60, 0, 70, 4};
    EXPECT_EQ(s->Lock(&outside, &part, DDLOCK_WAIT, nullptr), DDERR_INVALIDRECT);
    EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);
    s->Release();
}

TEST_F(DirectDrawTest, ScaledBltHonoursTheClipperOfTheDestination)
{
    IDirectDrawSurface7* primary = Primary();
    IDirectDrawClipper* clipper = nullptr;
    ASSERT_EQ(dd->CreateClipper(0, &clipper, nullptr), DD_OK);
    clipper->SetHWnd(0, nullptr);
    primary->SetClipper(clipper);
    clipper->Release();

    IDirectDrawSurface7* back = Plain(2, 2);
    DDSURFACEDESC2 d{};
    ASSERT_EQ(back->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    auto* row0 = static_cast<std::uint32_t*>(d.lpSurface);
    auto* row1 = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(d.lpSurface) + d.lPitch);
    row0[0] = 1; row0[1] = 2; row1[0] = 3; row1[1] = 4;
    back->Unlock(nullptr);

    // Doubled into a rectangle that hangs over the client area's left edge.
    RECT dst{98, 50, 102, 54};
    ASSERT_EQ(primary->Blt(&dst, back, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(At(primary, 99, 50), 0u);  // outside the clip
    EXPECT_EQ(At(primary, 100, 50), 2u);
    EXPECT_EQ(At(primary, 101, 51), 2u);
    EXPECT_EQ(At(primary, 100, 52), 4u);

    RECT badSource{0, 0, 3, 3};
    EXPECT_EQ(primary->Blt(&dst, back, &badSource, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
    back->Release();
    primary->Release();
}

TEST_F(DirectDrawTest, BltFastSkipsTheSourceKeyAndClipsToTheDestination)
{
    IDirectDrawSurface7* src = Plain(4, 1);
    IDirectDrawSurface7* dst = Plain(3, 1);
    DDSURFACEDESC2 d{};
    src->Lock(nullptr, &d, DDLOCK_WAIT, nullptr);
    std::uint32_t px[4] = {7, 0, 9, 11};
    std::memcpy(d.lpSurface, px, sizeof px);
    src->Unlock(nullptr);
    DDCOLORKEY key{0, 0};
    src->SetColorKey(DDCKEY_SRCBLT, &key);

    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 5;
    dst->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
    ASSERT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_SRCCOLORKEY), DD_OK);
    EXPECT_EQ(At(dst, 0, 0), 7u);
    EXPECT_EQ(At(dst, 1, 0), 5u);  // keyed out
    EXPECT_EQ(At(dst, 2, 0), 9u);  // the fourth source pixel fell off the edge
    ASSERT_EQ(dst->BltFast(0, 0, src, nullptr, DDBLTFAST_NOCOLORKEY), DD_OK);
    EXPECT_EQ(At(dst, 1, 0), 0u);
    src->Release();
    dst->Release();
}

TEST_F(DirectDrawTest, FullScreenFlipChainSwapsAndShowsTheModeScaled)
{
    ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    EXPECT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DDERR_EXCLUSIVEMODEALREADYSET);
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 24, 0, 0), DDERR_INVALIDMODE);
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 16, 60, 0), DD_OK);

    DDSURFACEDESC2 mode{};
    dd->GetDisplayMode(&mode);
    EXPECT_EQ(mode.ddpfPixelFormat.dwRBitMask, 0xF800u);

    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    d.dwBackBufferCount = 1;
    d.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
    IDirectDrawSurface7* primary = nullptr;
    ASSERT_EQ(dd->CreateSurface(&d, &primary, nullptr), DD_OK);
    DDSCAPS2 want{DDSCAPS_BACKBUFFER, 0, 0, 0};
    IDirectDrawSurface7* back = nullptr;
    ASSERT_EQ(primary->GetAttachedSurface(&want, &back), DD_OK);

    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0xF800;  // red
    back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
    g_now = 1000;
    ASSERT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_GT(g_now, 1000u);  // waited for the emulated blank
    EXPECT_TRUE(IsInVerticalBlank());

    int w = 0, h = 0;
    const std::uint32_t* shown = GetLastPresentedPixels(&w, &h);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    EXPECT_EQ(shown[0], 0xFF0000u);
    EXPECT_EQ(At(back, 0, 0), 0u);

    back->Release();
    primary->Release();
    EXPECT_EQ(dd->RestoreDisplayMode(), DD_OK);
    EXPECT_FALSE(IsVirtualDisplayModeChanged());
}

// A test's RGB 5:5:5 mode shows in the mode, the flip chain and plain
// surfaces, while the desktop stays XRGB; GDI copies between two surfaces of
// that layout keep the bit no channel uses; an 8-bit surface without a
// palette of its own takes the display's for GDI.
TEST_F(DirectDrawTest, TestLayoutsAndPalettesReachSurfacesAndTheirDeviceContexts)
{
    SetDirectDrawModeMasks(16, 0x7C00, 0x03E0, 0x001F);
    DDSURFACEDESC2 mode{};
    dd->GetDisplayMode(&mode);
    EXPECT_EQ(mode.ddpfPixelFormat.dwRBitMask, 0xFF0000u);  // windowed: the desktop
    ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 16, 60, 0), DD_OK);
    dd->GetDisplayMode(&mode);
    EXPECT_EQ(mode.ddpfPixelFormat.dwRBitMask, 0x7C00u);
    EXPECT_EQ(mode.ddpfPixelFormat.dwGBitMask, 0x03E0u);
    IDirectDrawSurface7* a = Plain(4, 4);
    IDirectDrawSurface7* b = Plain(4, 4);
    DDPIXELFORMAT pf{};
    a->GetPixelFormat(&pf);
    EXPECT_EQ(pf.dwRBitMask, 0x7C00u);
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0xFC00;  // red with the spare bit
    a->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
    HDC from = nullptr, to = nullptr;
    ASSERT_EQ(a->GetDC(&from), DD_OK);
    ASSERT_EQ(b->GetDC(&to), DD_OK);
    EXPECT_TRUE(BitBlt(to, 0, 0, 4, 4, from, 0, 0, SRCCOPY));
    a->ReleaseDC(from);
    b->ReleaseDC(to);
    EXPECT_EQ(At(b, 3, 3), 0xFC00u);
    a->Release();
    b->Release();

    ASSERT_EQ(dd->SetDisplayMode(640, 480, 8, 60, 0), DD_OK);
    PALETTEENTRY entries[256]{};
    entries[9] = PALETTEENTRY{200, 100, 50, 0};
    IDirectDrawPalette* palette = nullptr;
    ASSERT_EQ(dd->CreatePalette(DDPCAPS_8BIT, entries, &palette, nullptr), DD_OK);
    IDirectDrawSurface7* primary = Primary(DDSCAPS_PRIMARYSURFACE);
    primary->SetPalette(palette);
    IDirectDrawSurface7* plain = Plain(4, 4);
    std::uint32_t nearEntry9 = 0xC66534;  // nearest to entry 9
    HDC source = CreateBufferDC(GdiPixelBuffer{&nearEntry9, 1, 1, 4, 32, 0xFF0000, 0xFF00, 0xFF, nullptr});
    HDC dc = nullptr;
    ASSERT_EQ(plain->GetDC(&dc), DD_OK);
    EXPECT_TRUE(BitBlt(dc, 1, 1, 1, 1, source, 0, 0, SRCCOPY));
    plain->ReleaseDC(dc);
    DeleteDC(source);
    EXPECT_EQ(At(plain, 1, 1), 9u);
    plain->Release();
    primary->Release();
    palette->Release();
    dd->RestoreDisplayMode();
}

TEST_F(DirectDrawTest, LostSurfacesRefuseWorkUntilRestored)
{
    IDirectDrawSurface7* s = Plain(8, 8);
    MarkAllDirectDrawSurfacesLost();
    DDSURFACEDESC2 d{};
    EXPECT_EQ(s->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(s->Restore(), DD_OK);
    EXPECT_EQ(s->IsLost(), DD_OK);
    EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    s->Unlock(nullptr);
    s->Release();
}

TEST_F(DirectDrawTest, OverlaysAndDirect3DAreNotAvailable)
{
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    d.dwWidth = d.dwHeight = 16;
    d.ddsCaps.dwCaps = DDSCAPS_OVERLAY | DDSCAPS_VIDEOMEMORY;
    IDirectDrawSurface7* s = nullptr;
    EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), DDERR_NOOVERLAYHW);
    EXPECT_EQ(s, nullptr);
    void* d3d = nullptr;
    EXPECT_EQ(dd->QueryInterface(IID_IDirect3D7, &d3d), E_NOINTERFACE);
    EXPECT_EQ(dd->QueryInterface(IID_IDirectDraw, &d3d), E_NOINTERFACE);
}

TEST_F(DirectDrawTest, DepthSurfaceAttachesToASurfaceOfItsSize)
{
    IDirectDrawSurface7* back = Plain(32, 16, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE);
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    d.dwWidth = 32;
    d.dwHeight = 16;
    d.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY;
    d.ddpfPixelFormat.dwSize = 32;
    d.ddpfPixelFormat.dwFlags = DDPF_ZBUFFER;
    d.ddpfPixelFormat.dwZBufferBitDepth = 16;
    d.ddpfPixelFormat.dwZBitMask = 0xFFFF;
    IDirectDrawSurface7* z = nullptr;
    ASSERT_EQ(dd->CreateSurface(&d, &z, nullptr), DD_OK);
    ASSERT_EQ(back->AddAttachedSurface(z), DD_OK);
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillDepth = 0xFFFF;
    ASSERT_EQ(z->Blt(nullptr, nullptr, nullptr, DDBLT_DEPTHFILL | DDBLT_WAIT, &fx), DD_OK);
    EXPECT_EQ(At(z, 31, 15), 0xFFFFu);
    EXPECT_EQ(back->DeleteAttachedSurface(0, z), DD_OK);
    z->Release();
    back->Release();
}

} // namespace
