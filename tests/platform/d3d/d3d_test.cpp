#include "platform/d3d/d3d.h"
#include "platform/d3d/d3d_test.h"
#include "platform/d3d/raster.h"
#include "platform/ddraw/ddraw_test.h"
#include "platform/display/display.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct ColourVertex {
    float x, y, z, rhw;
    DWORD colour;
};

struct TexVertex {
    float x, y, z, rhw;
    DWORD colour;
    float u, v;
};

class SoftDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetVirtualDisplay();
        InstallSoftwareDirect3D(1);
        ASSERT_EQ(CreateDirectDraw7Object(&dd), DD_OK);
        ASSERT_EQ(dd->Initialize(nullptr), DD_OK);
        ASSERT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
        ASSERT_EQ(dd->QueryInterface(IID_IDirect3D7, reinterpret_cast<void**>(&d3d)), S_OK);
        target = Surface(16, 16, 32, 0, 0xFF0000, 0xFF00, 0xFF);
        ASSERT_EQ(d3d->CreateDevice(IID_IDirect3DTnLHalDevice, target, &device), D3D_OK);
        device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    }
    void TearDown() override
    {
        if (device != nullptr) device->Release();
        target->Release();
        d3d->Release();
        dd->Release();
        RemoveSoftwareDirect3D();
        EXPECT_EQ(GetLiveDirectDrawSurfaceCount(), 0);
    }

    IDirectDrawSurface7* Surface(int w, int h, DWORD bits, DWORD a, DWORD r, DWORD g, DWORD b)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        d.dwWidth = w;
        d.dwHeight = h;
        d.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY;
        d.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        d.ddpfPixelFormat.dwFlags = DDPF_RGB | (a != 0 ? DDPF_ALPHAPIXELS : 0);
        d.ddpfPixelFormat.dwRGBBitCount = bits;
        d.ddpfPixelFormat.dwRBitMask = r;
        d.ddpfPixelFormat.dwGBitMask = g;
        d.ddpfPixelFormat.dwBBitMask = b;
        d.ddpfPixelFormat.dwRGBAlphaBitMask = a;
        IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), DD_OK);
        return s;
    }

    // A 16-bit depth buffer the size of the target.
    IDirectDrawSurface7* DepthBuffer()
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        d.dwWidth = d.dwHeight = 16;
        d.ddsCaps.dwCaps = DDSCAPS_ZBUFFER;
        d.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        d.ddpfPixelFormat.dwFlags = DDPF_ZBUFFER;
        d.ddpfPixelFormat.dwZBufferBitDepth = 16;
        d.ddpfPixelFormat.dwZBitMask = 0xFFFF;
        IDirectDrawSurface7* s = nullptr;
        EXPECT_EQ(dd->CreateSurface(&d, &s, nullptr), DD_OK);
        return s;
    }

    std::uint32_t At(IDirectDrawSurface7* s, int x, int y)
    {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
        std::uint32_t v = 0;
        std::memcpy(&v, static_cast<BYTE*>(d.lpSurface) + y * d.lPitch + x * (d.ddpfPixelFormat.dwRGBBitCount / 8),
                    d.ddpfPixelFormat.dwRGBBitCount / 8);
        s->Unlock(nullptr);
        return v;
    }

    // The columns of row y that differ from zero.
    std::vector<int> Covered(int y)
    {
        std::vector<int> xs;
        for (int x = 0; x < 16; ++x)
            if ((At(target, x, y) & 0xFFFFFF) != 0) xs.push_back(x);
        return xs;
    }

    IDirectDraw7* dd = nullptr;
    IDirect3D7* d3d = nullptr;
    IDirectDrawSurface7* target = nullptr;
    IDirect3DDevice7* device = nullptr;
};

HRESULT CountDevices(char*, char*, D3DDEVICEDESC7* desc, void* context)
{
    auto* found = static_cast<std::vector<D3DDEVICEDESC7>*>(context);
    found->push_back(*desc);
    return D3DENUMRET_OK;
}

HRESULT CollectFormats(DDPIXELFORMAT* format, void* context)
{
    static_cast<std::vector<DDPIXELFORMAT>*>(context)->push_back(*format);
    return D3DENUMRET_OK;
}

TEST_F(SoftDeviceTest, EnumeratesOneTnLDeviceAndTheTextureFormatsInOrder)
{
    std::vector<D3DDEVICEDESC7> devices;
    EXPECT_EQ(d3d->EnumDevices(CountDevices, &devices), D3D_OK);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_TRUE(devices[0].deviceGUID == IID_IDirect3DTnLHalDevice);
    EXPECT_EQ(devices[0].dwDeviceRenderBitDepth & (DDBD_16 | DDBD_32), DDBD_16 | DDBD_32);
    EXPECT_EQ(devices[0].dwMaxTextureWidth, 2048u);
    EXPECT_EQ(devices[0].wMaxTextureBlendStages, 8);

    std::vector<DDPIXELFORMAT> formats;
    EXPECT_EQ(device->EnumTextureFormats(CollectFormats, &formats), D3D_OK);
    const DWORD expected[][2] = {{16, 0}, {32, 0}, {16, 0xF000}, {32, 0xFF000000}, {16, 0x8000}};
    ASSERT_EQ(formats.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(formats[i].dwRGBBitCount, expected[i][0]);
        EXPECT_EQ(formats[i].dwRGBAlphaBitMask, expected[i][1]);
    }
    EXPECT_EQ(formats[0].dwGBitMask, 0x07E0u);  // R5G6B5 first

    std::vector<DDPIXELFORMAT> z;
    EXPECT_EQ(d3d->EnumZBufferFormats(IID_IDirect3DHALDevice, CollectFormats, &z), D3D_OK);
    ASSERT_EQ(z.size(), 1u);
    EXPECT_EQ(z[0].dwFlags, DDPF_ZBUFFER);
    EXPECT_EQ(z[0].dwZBufferBitDepth, 16u);
}

TEST_F(SoftDeviceTest, TheSwitchReportsNoDeviceAndRemovalNoDirect3D)
{
    InstallSoftwareDirect3D(0);
    std::vector<D3DDEVICEDESC7> devices;
    EXPECT_EQ(d3d->EnumDevices(CountDevices, &devices), D3D_OK);
    EXPECT_TRUE(devices.empty());
    IDirect3DDevice7* other = nullptr;
    EXPECT_NE(d3d->CreateDevice(IID_IDirect3DTnLHalDevice, target, &other), D3D_OK);
    RemoveSoftwareDirect3D();
    IDirect3D7* none = nullptr;
    EXPECT_NE(dd->QueryInterface(IID_IDirect3D7, reinterpret_cast<void**>(&none)), S_OK);
    InstallSoftwareDirect3D(1);
}

TEST_F(SoftDeviceTest, InvalidStateValuesAreRefusedAndLeaveTheStateAsItWas)
{
    DWORD v = 0;
    const struct {
        D3DRENDERSTATETYPE state;
        DWORD bad;
    } cases[] = {{D3DRENDERSTATE_SRCBLEND, 0},   {D3DRENDERSTATE_DESTBLEND, 0}, {D3DRENDERSTATE_ALPHAFUNC, 0},
                 {D3DRENDERSTATE_ZFUNC, 9},      {D3DRENDERSTATE_CULLMODE, 0},  {D3DRENDERSTATE_SHADEMODE, 7},
                 {D3DRENDERSTATE_ALPHAREF, 256}};
    for (const auto& c : cases) {
        DWORD before = 0;
        device->GetRenderState(c.state, &before);
        EXPECT_EQ(device->SetRenderState(c.state, c.bad), D3DERR_INVALIDCALL) << c.state;
        device->GetRenderState(c.state, &v);
        EXPECT_EQ(v, before) << c.state;
    }
    device->GetRenderState(D3DRENDERSTATE_SRCBLEND, &v);
    EXPECT_EQ(v, D3DBLEND_ONE);
    EXPECT_EQ(device->SetTextureStageState(0, D3DTSS_COLOROP, 99), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetTextureStageState(8, D3DTSS_COLOROP, D3DTOP_DISABLE), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetTextureStageState(0, D3DTSS_COLORARG1, 0x45), D3DERR_INVALIDCALL);
    ColourVertex tri[3] = {};
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x42, tri, 3, 0), D3DERR_INVALIDCALL);
}

TEST_F(SoftDeviceTest, TrianglesFollowTheTopLeftRuleOnPixelCentres)
{
    // A square with its edges on pixel centres: [2, 6) x [3, 7).
    const DWORD white = 0xFFFFFFFF;
    ColourVertex quad[6] = {{2, 3, 0, 1, white}, {6, 3, 0, 1, white}, {2, 7, 0, 1, white},
                            {6, 7, 0, 1, white}, {2, 7, 0, 1, white}, {6, 3, 0, 1, white}};
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x44, quad, 6, 0), D3D_OK);
    EXPECT_TRUE(Covered(2).empty());
    for (int y = 3; y < 7; ++y) EXPECT_EQ(Covered(y), (std::vector<int>{2, 3, 4, 5})) << y;
    EXPECT_TRUE(Covered(7).empty());
}

TEST_F(SoftDeviceTest, ZeroAreaTrianglesAreRejectedAtOnce)
{
    const long long before = GetDirect3DRejectedTriangleCount();
    ColourVertex flat[6] = {{0, 5, 0, 1, 0xFFFFFFFF},  {0, 5, 0, 1, 0xFFFFFFFF},  {0, 9, 0, 1, 0xFFFFFFFF},
                            {1e9f, 5, 0, 1, 0xFFFFFFFF}, {2, 5, 0, 1, 0xFFFFFFFF}, {9, 5, 0, 1, 0xFFFFFFFF}};
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x44, flat, 6, 0), D3D_OK);
    EXPECT_EQ(GetDirect3DRejectedTriangleCount() - before, 2);
    for (int y = 0; y < 16; ++y) EXPECT_TRUE(Covered(y).empty());
}

TEST_F(SoftDeviceTest, FlatShadingTakesEachTrianglesFirstVertex)
{
    // A strip of two triangles: vertex 0 colours the first, vertex 1 the second.
    ColourVertex strip[4] = {{0, 0, 0, 1, 0xFF0000FF}, {8, 0, 0, 1, 0xFF00FF00}, {0, 8, 0, 1, 0xFFFF0000},
                             {8, 8, 0, 1, 0xFFFFFFFF}};
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0x44, strip, 4, 0), D3D_OK);
    EXPECT_EQ(At(target, 1, 1) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(At(target, 6, 6) & 0xFFFFFF, 0x00FF00u);
}

TEST_F(SoftDeviceTest, LinesLeaveOutTheirLastPixelAndPointsRoundToTheNearestCentre)
{
    ColourVertex line[2] = {{2, 4, 0, 1, 0xFFFFFFFF}, {7.9f, 4, 0, 1, 0xFFFFFFFF}};
    EXPECT_EQ(device->DrawPrimitive(D3DPT_LINELIST, 0x44, line, 2, 0), D3D_OK);
    EXPECT_EQ(Covered(4), (std::vector<int>{2, 3, 4, 5, 6, 7}));
    ColourVertex point = {10.4f, 11.6f, 0, 1, 0xFFFFFFFF};
    EXPECT_EQ(device->DrawPrimitive(D3DPT_POINTLIST, 0x44, &point, 1, 0), D3D_OK);
    EXPECT_EQ(Covered(12), (std::vector<int>{10}));
}

TEST_F(SoftDeviceTest, TheViewportClipsAndTheKeyDiscards)
{
    D3DVIEWPORT7 vp{4, 4, 4, 4, 0, 1};
    EXPECT_EQ(device->SetViewport(&vp), D3D_OK);
    IDirectDrawSurface7* tex = Surface(2, 1, 32, 0, 0xFF0000, 0xFF00, 0xFF);
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    ASSERT_EQ(tex->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    static_cast<std::uint32_t*>(d.lpSurface)[0] = 0x123456;
    static_cast<std::uint32_t*>(d.lpSurface)[1] = 0x00FF00;
    tex->Unlock(nullptr);
    DDCOLORKEY key{0x00FF00, 0x00FF00};
    tex->SetColorKey(DDCKEY_SRCBLT, &key);
    device->SetTexture(0, tex);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP);
    device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, TRUE);
    // The whole target, left half mapped to texel 0 and right half to the keyed texel 1.
    TexVertex quad[4] = {{-0.5f, -0.5f, 0, 1, 0xFFFFFFFF, 0, 0}, {15.5f, -0.5f, 0, 1, 0xFFFFFFFF, 1, 0},
                         {-0.5f, 15.5f, 0, 1, 0xFFFFFFFF, 0, 1}, {15.5f, 15.5f, 0, 1, 0xFFFFFFFF, 1, 1}};
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0x144, quad, 4, 0), D3D_OK);
    EXPECT_EQ(Covered(3), std::vector<int>{});
    EXPECT_EQ(Covered(5), (std::vector<int>{4, 5, 6, 7}));
    EXPECT_EQ(At(target, 5, 5) & 0xFFFFFF, 0x123456u);
    device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, FALSE);
    device->SetTexture(0, nullptr);
    tex->Release();
}

TEST_F(SoftDeviceTest, BlendingModulatesAndSaturates)
{
    device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
    ColourVertex quad[4] = {{0, 0, 0, 1, 0x80FF8040}, {4, 0, 0, 1, 0}, {0, 4, 0, 1, 0}, {4, 4, 0, 1, 0x80FF8040}};
    device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0x44, quad, 4, 0);
    // Each channel x 128 / 255 rounded: FF -> 80, 80 -> 40, 40 -> 20.
    EXPECT_EQ(At(target, 1, 1) & 0xFFFFFF, 0x804020u);
    device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0x44, quad, 4, 0);
    device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0x44, quad, 4, 0);
    EXPECT_EQ(At(target, 1, 1) & 0xFFFFFF, 0xFFC060u);
}

// Keys a texture by the value of its texel (1, 0).
void KeyByTexelOne(IDirectDrawSurface7* s)
{
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    ASSERT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    DWORD v = 0;
    std::memcpy(&v, static_cast<BYTE*>(d.lpSurface) + d.ddpfPixelFormat.dwRGBBitCount / 8,
                d.ddpfPixelFormat.dwRGBBitCount / 8);
    s->Unlock(nullptr);
    DDCOLORKEY key{v, v};
    s->SetColorKey(DDCKEY_SRCBLT, &key);
}

// Writes a fixed pseudo-random pattern over a whole surface.
void Scramble(IDirectDrawSurface7* s, std::uint32_t seed)
{
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    ASSERT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    for (DWORD y = 0; y < d.dwHeight; ++y)
        for (DWORD x = 0; x < d.dwWidth * (d.ddpfPixelFormat.dwRGBBitCount / 8); ++x) {
            seed = seed * 1103515245u + 12345u;
            static_cast<BYTE*>(d.lpSurface)[y * d.lPitch + x] = static_cast<BYTE>(seed >> 16);
        }
    s->Unlock(nullptr);
}

// Every fourth row clear and the one after it opaque, so spans meet whole groups of either.
void BandAlpha(IDirectDrawSurface7* s)
{
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    ASSERT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    const DWORD alpha = d.ddpfPixelFormat.dwRGBAlphaBitMask, bytes = d.ddpfPixelFormat.dwRGBBitCount / 8;
    for (DWORD y = 0; y < d.dwHeight; ++y)
        for (DWORD x = 0; x < d.dwWidth && y % 4 < 2; ++x) {
            BYTE* p = static_cast<BYTE*>(d.lpSurface) + y * d.lPitch + x * bytes;
            DWORD v = 0;
            std::memcpy(&v, p, bytes);
            v = y % 4 == 0 ? v & ~alpha : v | alpha;
            std::memcpy(p, &v, bytes);
        }
    s->Unlock(nullptr);
}

TEST_F(SoftDeviceTest, EverySpanLevelDrawsTheSamePixels)
{
    IDirectDrawSurface7* textures[3] = {Surface(8, 8, 32, 0xFF000000, 0xFF0000, 0xFF00, 0xFF),
                                        Surface(8, 8, 32, 0, 0xFF0000, 0xFF00, 0xFF),
                                        Surface(8, 8, 16, 0xF000, 0xF00, 0xF0, 0xF)};
    for (int i = 0; i < 3; ++i) {
        Scramble(textures[i], 7 + i);
        // Texel (1, 0) is the key, so some pixels of every quad are keyed.
        KeyByTexelOne(textures[i]);
    }
    device->SetTextureStageState(0, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetRenderState(D3DRENDERSTATE_ALPHAFUNC, D3DCMP_GREATER);
    device->SetRenderState(D3DRENDERSTATE_ALPHAREF, 0x60);
    // An axis-aligned quad with uneven row lengths, a turned one reading texels along both axes, and
    // one texel per pixel as most of a frame's quads are drawn.
    TexVertex straight[4] = {{0.3f, 0.7f, 0, 1, 0, 0, 0}, {13.6f, 0.7f, 0, 1, 0, 1, 0},
                             {0.3f, 14.2f, 0, 1, 0, 0, 1}, {13.6f, 14.2f, 0, 1, 0, 1, 1}};
    TexVertex turned[3] = {{8, -1, 0, 1, 0, 0, 0}, {17, 8, 0, 1, 0, 1, 0}, {-1, 9, 0, 1, 0, 0, 1}};
    TexVertex unscaled[4] = {{3.5f, 2.5f, 0, 1, 0, 0, 0}, {11.5f, 2.5f, 0, 1, 0, 1, 0},
                             {3.5f, 10.5f, 0, 1, 0, 0, 1}, {11.5f, 10.5f, 0, 1, 0, 1, 1}};
    // Diffuse colours with a partial, a full and no alpha, and white or grey colour.
    const DWORD colours[4] = {0xA0C08040, 0xFFFFFFFF, 0x00FFFFFF, 0xFF808080};
    auto paint = [&](DWORD colour) {
        for (TexVertex& v : straight) v.colour = colour;
        for (TexVertex& v : turned) v.colour = colour;
        for (TexVertex& v : unscaled) v.colour = colour;
    };
    const DWORD blends[3][3] = {{FALSE, D3DBLEND_ONE, D3DBLEND_ZERO},
                                {TRUE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},
                                {TRUE, D3DBLEND_SRCALPHA, D3DBLEND_ONE}};
    const DWORD alphas[3][2] = {{D3DTOP_SELECTARG2, D3DTA_DIFFUSE},
                                {D3DTOP_SELECTARG1, D3DTA_TEXTURE},
                                {D3DTOP_MODULATE, D3DTA_TEXTURE}};
    const int best = d3dsoft::SetSpanLevel(1 << 20);
    auto draw = [&](int level) {
        d3dsoft::SetSpanLevel(level);
        Scramble(target, 99);
        device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0x144, straight, 4, 0);
        device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x144, turned, 3, 0);
        device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0x144, unscaled, 4, 0);
        std::vector<std::uint32_t> pixels;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) pixels.push_back(At(target, x, y));
        return pixels;
    };
    for (int t = 0; t < 3; ++t)
        for (int b = 0; b < 3; ++b)
            for (int m = 0; m < 2; ++m)
                for (int a = 0; a < 3; ++a)
                    for (int k = 0; k < 16; ++k) {
                        paint(colours[k / 4]);
                        device->SetTexture(0, textures[t]);
                        device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, blends[b][0]);
                        device->SetRenderState(D3DRENDERSTATE_SRCBLEND, blends[b][1]);
                        device->SetRenderState(D3DRENDERSTATE_DESTBLEND, blends[b][2]);
                        device->SetTextureStageState(0, D3DTSS_COLOROP, m == 0 ? D3DTOP_SELECTARG1 : D3DTOP_MODULATE);
                        device->SetTextureStageState(0, D3DTSS_ALPHAOP, alphas[a][0]);
                        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, alphas[a][1]);
                        device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, (k & 1) != 0);
                        device->SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, (k & 2) != 0);
                        const std::vector<std::uint32_t> scalar = draw(0);
                        for (int level = 1; level <= best; ++level)
                            EXPECT_EQ(draw(level), scalar) << "level " << level << " texture " << t << " blend " << b
                                                           << " modulate " << m << " alpha " << a << " key/test "
                                                           << k % 4 << " colour " << k / 4;
                    }
    d3dsoft::SetSpanLevel(1 << 20);
    device->SetTexture(0, nullptr);
    for (IDirectDrawSurface7* t : textures) t->Release();
}

} // namespace

namespace {

// The span and rectangle code against the general per-pixel shader: every alpha test, alpha
// source, blend and texture layout, on quads one texel a pixel (inside, across the target's
// edge, cut by the viewport, edges through pixel centres, mirrored), scaled ones at two offsets,
// turned ones, as strips and as the back-end's lists, in two diffuse colours.
TEST_F(SoftDeviceTest, SpanCodeDrawsWhatTheGeneralShaderDraws)
{
    // The 16-bit layouts are widened through a table: one of each channel width. The last two
    // have rows of clear and of opaque texels.
    IDirectDrawSurface7* textures[7] = {Surface(8, 8, 32, 0xFF000000, 0xFF0000, 0xFF00, 0xFF),
                                        Surface(8, 8, 32, 0, 0xFF0000, 0xFF00, 0xFF),
                                        Surface(8, 8, 16, 0xF000, 0xF00, 0xF0, 0xF),
                                        Surface(8, 8, 16, 0, 0xF800, 0x07E0, 0x001F),
                                        Surface(8, 8, 16, 0x8000, 0x7C00, 0x03E0, 0x001F),
                                        Surface(8, 8, 32, 0xFF000000, 0xFF0000, 0xFF00, 0xFF),
                                        Surface(8, 8, 16, 0xF000, 0xF00, 0xF0, 0xF)};
    for (int i = 0; i < 7; ++i) {
        Scramble(textures[i], 21 + i);
        if (i >= 5) BandAlpha(textures[i]);
        KeyByTexelOne(textures[i]);
    }
    device->SetTextureStageState(0, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, TRUE);
    TexVertex inside[4] = {{2.5f, 1.5f, 0, 1, 0, 0, 0}, {10.5f, 1.5f, 0, 1, 0, 1, 0},
                           {2.5f, 9.5f, 0, 1, 0, 0, 1}, {10.5f, 9.5f, 0, 1, 0, 1, 1}};
    TexVertex across[4] = {{10.5f, 7.5f, 0, 1, 0, 0, 0}, {18.5f, 7.5f, 0, 1, 0, 1, 0},
                           {10.5f, 15.5f, 0, 1, 0, 0, 1}, {18.5f, 15.5f, 0, 1, 0, 1, 1}};
    TexVertex scaled[4] = {{-0.5f, 9.5f, 0, 1, 0, 0, 0}, {11.5f, 9.5f, 0, 1, 0, 1, 0},
                           {-0.5f, 14.5f, 0, 1, 0, 0, 1}, {11.5f, 14.5f, 0, 1, 0, 1, 1}};
    // The scaled quad half a pixel along both axes: the same planes start half a pixel further
    // from the first pixel centre, so its columns and rows fall differently.
    TexVertex shifted[4] = {{0.0f, 1.0f, 0, 1, 0, 0, 0}, {12.0f, 1.0f, 0, 1, 0, 1, 0},
                            {0.0f, 6.0f, 0, 1, 0, 0, 1}, {12.0f, 6.0f, 0, 1, 0, 1, 1}};
    TexVertex turned[3] = {{8, -1, 0, 1, 0, 0, 0}, {17, 8, 0, 1, 0, 1, 0}, {-1, 9, 0, 1, 0, 0, 1}};
    // Off the pixel grid, so edge crossings move by uneven fractions of a column from row to row.
    TexVertex slanted[3] = {{3.3f, 0.7f, 0, 1, 0, 0.1f, 0}, {14.6f, 5.2f, 0, 1, 0, 0.9f, 0.3f},
                            {1.9f, 13.4f, 0, 1, 0, 0.2f, 1}};
    // Edges through pixel centres, mirrored, and a quarter pixel off.
    TexVertex onCentres[4] = {{2, 3, 0, 1, 0, 0, 0}, {10, 3, 0, 1, 0, 1, 0},
                              {2, 11, 0, 1, 0, 0, 1}, {10, 11, 0, 1, 0, 1, 1}};
    TexVertex mirrored[4] = {{13.5f, 0.5f, 0, 1, 0, 0, 1}, {5.5f, 0.5f, 0, 1, 0, 1, 1},
                             {13.5f, 8.5f, 0, 1, 0, 0, 0}, {5.5f, 8.5f, 0, 1, 0, 1, 0}};
    TexVertex offQuarter[4] = {{0.25f, 6.75f, 0, 1, 0, 0, 0}, {8.25f, 6.75f, 0, 1, 0, 1, 0},
                               {0.25f, 14.75f, 0, 1, 0, 0, 1}, {8.25f, 14.75f, 0, 1, 0, 1, 1}};
    // A quad as the back-end sends it in a list: (0, 1, 2) and (3, 2, 1).
    auto listed = [](const TexVertex* q) {
        return std::vector<TexVertex>{q[0], q[1], q[2], q[3], q[2], q[1]};
    };
    const DWORD colours[2] = {0xB0C08040, 0xFFFFFFFF};
    const DWORD blends[3][3] = {{FALSE, D3DBLEND_ONE, D3DBLEND_ZERO},
                                {TRUE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},
                                {TRUE, D3DBLEND_SRCALPHA, D3DBLEND_ONE}};
    const DWORD alphas[3][2] = {{D3DTOP_SELECTARG2, D3DTA_DIFFUSE},
                                {D3DTOP_SELECTARG1, D3DTA_TEXTURE},
                                {D3DTOP_MODULATE, D3DTA_TEXTURE}};
    const DWORD refs[3] = {0x00, 0x80, 0xFF};
    const int best = d3dsoft::SetSpanLevel(1 << 20);
    auto draw = [&](int level) {
        d3dsoft::SetSpanLevel(level);
        Scramble(target, 5);
        D3DVIEWPORT7 whole{0, 0, 16, 16, 0, 1};
        device->SetViewport(&whole);
        device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0x144, inside, 4, 0);
        device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0x144, across, 4, 0);
        device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x144, turned, 3, 0);
        device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x144, slanted, 3, 0);
        std::vector<TexVertex> quads;
        for (const TexVertex* q : {inside, across, onCentres, mirrored, offQuarter, scaled, shifted})
            for (const TexVertex& v : listed(q)) quads.push_back(v);
        device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x144, quads.data(), static_cast<DWORD>(quads.size()), 0);
        D3DVIEWPORT7 cut{3, 2, 9, 13, 0, 1};
        device->SetViewport(&cut);
        device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0x144, scaled, 4, 0);
        device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0x144, inside, 4, 0);
        device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x144, quads.data(), static_cast<DWORD>(quads.size()), 0);
        device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x144, slanted, 3, 0);
        std::vector<std::uint32_t> pixels;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) pixels.push_back(At(target, x, y));
        return pixels;
    };
    for (int t = 0; t < 7; ++t)
        for (int b = 0; b < 3; ++b)
            for (int a = 0; a < 3; ++a)
                for (DWORD func = D3DCMP_NEVER; func <= D3DCMP_ALWAYS; ++func)
                    for (int k = 0; k < 6; ++k) {
                        for (TexVertex* quad : {inside, across, scaled, shifted, onCentres, mirrored, offQuarter})
                            for (int i = 0; i < 4; ++i) quad[i].colour = colours[k % 2];
                        for (TexVertex& v : turned) v.colour = colours[k % 2];
                        for (TexVertex& v : slanted) v.colour = colours[k % 2];
                        device->SetTexture(0, textures[t]);
                        device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, blends[b][0]);
                        device->SetRenderState(D3DRENDERSTATE_SRCBLEND, blends[b][1]);
                        device->SetRenderState(D3DRENDERSTATE_DESTBLEND, blends[b][2]);
                        device->SetTextureStageState(0, D3DTSS_ALPHAOP, alphas[a][0]);
                        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, alphas[a][1]);
                        device->SetRenderState(D3DRENDERSTATE_ALPHAFUNC, func);
                        device->SetRenderState(D3DRENDERSTATE_ALPHAREF, refs[k / 2]);
                        const std::vector<std::uint32_t> general = draw(-1);
                        for (int level = 0; level <= best; ++level)
                            EXPECT_EQ(draw(level), general)
                                << "level " << level << " texture " << t << " blend " << b << " alpha " << a
                                << " func " << func << " ref " << refs[k / 2] << " colour " << k % 2;
                    }
    d3dsoft::SetSpanLevel(1 << 20);
    device->SetTexture(0, nullptr);
    for (IDirectDrawSurface7* t : textures) t->Release();
}

// The span code finds each row's covered columns from the edges that cross the row; the general
// shader tests all three edges at every pixel. Vertices on quarter pixels put many of them (and
// many horizontal and vertical edges) exactly on sample rows and columns.
TEST_F(SoftDeviceTest, SpanRowsOfTrianglesCoverWhatTheEdgeTestsCover)
{
    IDirectDrawSurface7* texture = Surface(8, 8, 32, 0, 0xFF0000, 0xFF00, 0xFF);
    Scramble(texture, 3);
    device->SetTexture(0, texture);
    device->SetTextureStageState(0, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    std::uint32_t seed = 12345;
    auto next = [&](int n) {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<int>((seed >> 8) % static_cast<std::uint32_t>(n));
    };
    const int best = d3dsoft::SetSpanLevel(1 << 20);
    for (int i = 0; i < 400; ++i) {
        TexVertex tri[3];
        for (TexVertex& v : tri) {
            v = TexVertex{(next(80) - 8) / 4.0f, (next(80) - 8) / 4.0f, 0, 1, 0xFFFFFFFF, next(9) / 8.0f, next(9) / 8.0f};
        }
        // Some with a level or an upright edge.
        if (i % 4 == 1) tri[1].y = tri[0].y;
        if (i % 4 == 2) tri[2].x = tri[1].x;
        auto draw = [&](int level) {
            d3dsoft::SetSpanLevel(level);
            Scramble(target, 5);
            device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x144, tri, 3, 0);
            std::vector<std::uint32_t> pixels;
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x) pixels.push_back(At(target, x, y));
            return pixels;
        };
        const std::vector<std::uint32_t> general = draw(-1);
        if (draw(best) != general) {
            ADD_FAILURE() << "triangle " << i << ": (" << tri[0].x << ", " << tri[0].y << ") (" << tri[1].x << ", "
                          << tri[1].y << ") (" << tri[2].x << ", " << tri[2].y << ")";
            break;
        }
    }
    d3dsoft::SetSpanLevel(1 << 20);
    device->SetTexture(0, nullptr);
    texture->Release();
}

// A surface of another implementation: every call goes to a surface of the
// DirectDraw layer, so the device must take it through its interface alone.
struct ForwardingSurface final : RefCounted<IDirectDrawSurface7> {
    explicit ForwardingSurface(IDirectDrawSurface7* inner) : in(inner) { in->AddRef(); }
    ~ForwardingSurface() override { in->Release(); }
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    HRESULT GetCaps(DDSCAPS2* c) override { return in->GetCaps(c); }
    HRESULT GetSurfaceDesc(DDSURFACEDESC2* d) override { return in->GetSurfaceDesc(d); }
    HRESULT GetPixelFormat(DDPIXELFORMAT* f) override { return in->GetPixelFormat(f); }
    HRESULT Lock(RECT* r, DDSURFACEDESC2* d, DWORD f, HANDLE e) override { return in->Lock(r, d, f, e); }
    HRESULT Unlock(RECT* r) override { return in->Unlock(r); }
    HRESULT Blt(RECT* d, IDirectDrawSurface7* s, RECT* r, DWORD f, DDBLTFX* fx) override { return in->Blt(d, s, r, f, fx); }
    HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface7* s, RECT* r, DWORD f) override { return in->BltFast(x, y, s, r, f); }
    HRESULT Flip(IDirectDrawSurface7* t, DWORD f) override { return in->Flip(t, f); }
    HRESULT GetAttachedSurface(DDSCAPS2* c, IDirectDrawSurface7** o) override { return in->GetAttachedSurface(c, o); }
    HRESULT AddAttachedSurface(IDirectDrawSurface7* s) override { return in->AddAttachedSurface(s); }
    HRESULT DeleteAttachedSurface(DWORD f, IDirectDrawSurface7* s) override { return in->DeleteAttachedSurface(f, s); }
    HRESULT EnumAttachedSurfaces(void* c, LPDDENUMSURFACESCALLBACK7 f) override { return in->EnumAttachedSurfaces(c, f); }
    HRESULT SetColorKey(DWORD f, DDCOLORKEY* k) override { return in->SetColorKey(f, k); }
    HRESULT GetColorKey(DWORD f, DDCOLORKEY* k) override { return in->GetColorKey(f, k); }
    HRESULT SetClipper(IDirectDrawClipper* c) override { return in->SetClipper(c); }
    HRESULT SetPalette(IDirectDrawPalette* p) override { return in->SetPalette(p); }
    HRESULT GetPalette(IDirectDrawPalette** p) override { return in->GetPalette(p); }
    HRESULT IsLost() override { return in->IsLost(); }
    HRESULT Restore() override { return in->Restore(); }
    HRESULT GetDC(HDC* dc) override { return in->GetDC(dc); }
    HRESULT ReleaseDC(HDC dc) override { return in->ReleaseDC(dc); }
    IDirectDrawSurface7* in;
};

TEST_F(SoftDeviceTest, ASurfaceOfAnotherImplementationDrawsAsTheLayersOwnDoes)
{
    // A keyed 16-bit texture with a depth buffer on the target: layout, key and depth all read.
    IDirectDrawSurface7* tex = Surface(8, 8, 16, 0, 0xF800, 0x07E0, 0x001F);
    Scramble(tex, 7);
    KeyByTexelOne(tex);
    IDirectDrawSurface7* z = DepthBuffer();
    ASSERT_NE(z, nullptr);
    ASSERT_EQ(target->AddAttachedSurface(z), DD_OK);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, TRUE);
    device->SetRenderState(D3DRENDERSTATE_ZENABLE, TRUE);
    TexVertex near[4] = {{0, 0, 0.25f, 1, 0xFFFFFFFF, 0, 0}, {12, 0, 0.25f, 1, 0xFFFFFFFF, 1, 0},
                         {0, 12, 0.25f, 1, 0xFFFFFFFF, 0, 1}, {12, 12, 0.25f, 1, 0xFFFFFFFF, 1, 1}};
    TexVertex far[4] = {{4, 4, 0.75f, 1, 0xFFFFFFFF, 0, 0}, {16, 4, 0.75f, 1, 0xFFFFFFFF, 1, 0},
                        {4, 16, 0.75f, 1, 0xFFFFFFFF, 0, 1}, {16, 16, 0.75f, 1, 0xFFFFFFFF, 1, 1}};
    auto frame = [&](IDirectDrawSurface7* texture) {
        DDBLTFX fx{};
        fx.dwSize = sizeof fx;
        fx.dwFillDepth = 0xFFFF;
        z->Blt(nullptr, nullptr, nullptr, DDBLT_DEPTHFILL, &fx);
        fx.dwFillColor = 0;
        target->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx);
        device->SetTexture(0, texture);
        EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0x144, near, 4, 0), D3D_OK);
        EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0x144, far, 4, 0), D3D_OK);
        device->SetTexture(0, nullptr);
        std::vector<std::uint32_t> pixels;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) pixels.push_back(At(target, x, y));
        return pixels;
    };
    const std::vector<std::uint32_t> own = frame(tex);
    auto* foreign = new ForwardingSurface(tex);
    EXPECT_EQ(frame(foreign), own);
    foreign->Release();
    // The far quad shows only where the near one left the depth clear: a keyed texel or outside it.
    EXPECT_NE(own[14 * 16 + 14], 0u);
    target->DeleteAttachedSurface(0, z);
    z->Release();
    tex->Release();
}

TEST_F(SoftDeviceTest, ADrawSeesNoTextureOrDepthSurfaceTheDrawBeforeItHad)
{
    IDirectDrawSurface7* tex = Surface(1, 1, 32, 0, 0xFF0000, 0xFF00, 0xFF);
    Scramble(tex, 3);
    const std::uint32_t texel = At(tex, 0, 0) & 0xFFFFFF;
    ASSERT_NE(texel, 0xFFFFFFu);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    TexVertex quad[4] = {{0, 0, 0.5f, 1, 0xFFFFFFFF, 0, 0}, {16, 0, 0.5f, 1, 0xFFFFFFFF, 1, 0},
                         {0, 16, 0.5f, 1, 0xFFFFFFFF, 0, 1}, {16, 16, 0.5f, 1, 0xFFFFFFFF, 1, 1}};
    device->SetTexture(0, tex);
    device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0x144, quad, 4, 0);
    EXPECT_EQ(At(target, 3, 3) & 0xFFFFFF, texel);
    // Unbound, the stage reads white.
    device->SetTexture(0, nullptr);
    device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0x144, quad, 4, 0);
    EXPECT_EQ(At(target, 3, 3) & 0xFFFFFF, 0xFFFFFFu);

    // A depth buffer cleared to nearest hides the quad; taken away, it hides nothing.
    IDirectDrawSurface7* z = DepthBuffer();
    ASSERT_NE(z, nullptr);
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillDepth = 0;
    z->Blt(nullptr, nullptr, nullptr, DDBLT_DEPTHFILL, &fx);
    ASSERT_EQ(target->AddAttachedSurface(z), DD_OK);
    device->SetRenderState(D3DRENDERSTATE_ZENABLE, TRUE);
    device->SetTexture(0, tex);
    device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0x144, quad, 4, 0);
    EXPECT_EQ(At(target, 3, 3) & 0xFFFFFF, 0xFFFFFFu);
    target->DeleteAttachedSurface(0, z);
    device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0x144, quad, 4, 0);
    EXPECT_EQ(At(target, 3, 3) & 0xFFFFFF, texel);
    device->SetTexture(0, nullptr);
    z->Release();
    tex->Release();
}

} // namespace
