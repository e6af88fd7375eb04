// YUV-to-RGB conversion against its defining formulas, each layout's own
// chroma, the three surface layouts, and the YUV surface path on a
// DirectDraw object of the test's own.
#include "theora_fixture.h"

#include <cmath>
#include <cstring>

#include "movie/theora_yuv.h"

namespace {

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Rgb& c)
{
    return os << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

int Clamp(long long v)
{
    return v < 0 ? 0 : (v > 255 ? 255 : static_cast<int>(v));
}

// The coefficients scaled by 16384 and truncated, quotients truncated toward zero.
Rgb FixedFormula(int y, int cb, int cr)
{
    const long long l = 19070LL * (y - 16);
    return {Clamp((l + 26148LL * (cr - 128)) / 16384), Clamp((l - 6406LL * (cb - 128) - 13320LL * (cr - 128)) / 16384),
            Clamp((l + 33062LL * (cb - 128)) / 16384)};
}

// Single-precision constants, double arithmetic, the luma term kept as a float.
Rgb FloatFormula(int y, int cb, int cr)
{
    const double u = cb - 128;
    const double v = cr - 128;
    const float l = static_cast<float>((y - 16) * static_cast<double>(1.164f));
    return {Clamp(static_cast<long long>(std::trunc(l + static_cast<double>(1.596f) * v))),
            Clamp(static_cast<long long>(std::trunc((l - static_cast<double>(0.391f) * u) - static_cast<double>(0.813f) * v))),
            Clamp(static_cast<long long>(std::trunc(l + static_cast<double>(2.018f) * u)))};
}

// A picture held in vectors, described by a stock entry.
struct Picture {
    std::vector<BYTE> y, u, v;
    FRAMESTOCK entry{};

    Picture(int w, int h, int shiftX, int shiftY, int phaseX = 0, int phaseY = 0)
    {
        entry.YWidth = entry.YStride = w;
        entry.YHeight = h;
        entry.UVWidth = entry.UVStride = ((w - 1 + phaseX) >> shiftX) + 1;
        entry.UVHeight = ((h - 1 + phaseY) >> shiftY) + 1;
        entry.ChromaShiftX = shiftX;
        entry.ChromaShiftY = shiftY;
        entry.ChromaPhaseX = phaseX;
        entry.ChromaPhaseY = phaseY;
        y.assign(static_cast<std::size_t>(w * h), 0);
        u.assign(static_cast<std::size_t>(entry.UVWidth * entry.UVHeight), 128);
        v.assign(u.size(), 128);
        entry.PlaneY = y.data();
        entry.PlaneU = u.data();
        entry.PlaneV = v.data();
    }
};

struct Image {
    GraphImage image{};
    std::vector<BYTE> pixels;
    Image(int w, int h, int pitch)
    {
        pixels.assign(static_cast<std::size_t>(pitch * h), 0xEE);
        image.Width = w;
        image.Height = h;
        image.Pitch = pitch;
        image.Pixels = pixels.data();
    }
    Rgb At(int x, int y) const
    {
        const BYTE* p = pixels.data() + y * image.Pitch + x * 4;
        return {p[2], p[1], p[0]};
    }
    int AlphaAt(int x, int y) const { return pixels[static_cast<std::size_t>(y * image.Pitch + x * 4 + 3)]; }
};

class TheoraYuv : public testing::Test {
protected:
    void SetUp() override { InitTheoraColorTables(); }
};

TEST_F(TheoraYuv, BothPathsGiveTheListedColours)
{
    struct Case {
        int y, cb, cr;
        Rgb rgb;
    } cases[] = {
        {16, 128, 128, {0, 0, 0}},     {235, 128, 128, {254, 254, 254}}, // studio white is 254
        {128, 128, 128, {130, 130, 130}}, {255, 128, 128, {255, 255, 255}}, {0, 128, 128, {0, 0, 0}},
        {81, 90, 240, {254, 0, 0}},    {145, 54, 34, {0, 255, 0}},       {41, 240, 110, {0, 0, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.y << "/" << c.cb << "/" << c.cr);
        Picture p420(2, 2, 1, 1);
        std::fill(p420.y.begin(), p420.y.end(), static_cast<BYTE>(c.y));
        p420.u[0] = static_cast<BYTE>(c.cb);
        p420.v[0] = static_cast<BYTE>(c.cr);
        ASSERT_TRUE(IsTheoraFrame420(&p420.entry));
        Image fixed(2, 2, 8);
        ConvertTheoraFrameFixed(&p420.entry, &fixed.image);
        Picture p444(1, 1, 0, 0);
        p444.y[0] = static_cast<BYTE>(c.y);
        p444.u[0] = static_cast<BYTE>(c.cb);
        p444.v[0] = static_cast<BYTE>(c.cr);
        Image floating(1, 1, 4);
        ConvertTheoraFrameFloat(&p444.entry, &floating.image);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(fixed.At(i % 2, i / 2), c.rgb);
            EXPECT_EQ(fixed.AlphaAt(i % 2, i / 2), 255);
        }
        EXPECT_EQ(floating.At(0, 0), c.rgb);
        EXPECT_EQ(floating.AlphaAt(0, 0), 255);
    }
}

TEST_F(TheoraYuv, BothPathsFollowTheirFormulasOverTheWholeRange)
{
    // Every luma value against a grid of chroma pairs, clamping included.
    for (int cb = 0; cb < 256; cb += 15) {
        for (int cr = 0; cr < 256; cr += 17) {
            Picture p420(256, 2, 1, 1);
            Picture p444(256, 1, 0, 0);
            for (int x = 0; x < 256; ++x) {
                p420.y[static_cast<std::size_t>(x)] = p420.y[static_cast<std::size_t>(256 + x)] = static_cast<BYTE>(x);
                p444.y[static_cast<std::size_t>(x)] = static_cast<BYTE>(x);
                p444.u[static_cast<std::size_t>(x)] = static_cast<BYTE>(cb);
                p444.v[static_cast<std::size_t>(x)] = static_cast<BYTE>(cr);
            }
            std::fill(p420.u.begin(), p420.u.end(), static_cast<BYTE>(cb));
            std::fill(p420.v.begin(), p420.v.end(), static_cast<BYTE>(cr));
            Image fixed(256, 2, 256 * 4);
            Image floating(256, 1, 256 * 4);
            ConvertTheoraFrameFixed(&p420.entry, &fixed.image);
            ConvertTheoraFrameFloat(&p444.entry, &floating.image);
            for (int y = 0; y < 256; ++y) {
                ASSERT_EQ(fixed.At(y, 1), FixedFormula(y, cb, cr)) << y << "/" << cb << "/" << cr;
                ASSERT_EQ(floating.At(y, 0), FloatFormula(y, cb, cr)) << y << "/" << cb << "/" << cr;
            }
        }
    }
}

TEST_F(TheoraYuv, FixedPathGivesTheSameBytesAtEveryInstructionSetOnEveryTriple)
{
    // 267 blocks a row: every (cb, cr) pair once per 256 x 256 of them, and
    // 11 blocks past them that the vector loops leave to the tables. Over 64
    // passes each block's four pixels take every luma value.
    const int blocks = 256 + 11;
    const int w = 2 * blocks;
    const int h = 512;
    Picture p(w, h, 1, 1);
    ASSERT_TRUE(IsTheoraFrame420(&p.entry));
    for (int by = 0; by < h / 2; ++by) {
        for (int bx = 0; bx < blocks; ++bx) {
            p.u[static_cast<std::size_t>(by * p.entry.UVStride + bx)] = static_cast<BYTE>(bx);
            p.v[static_cast<std::size_t>(by * p.entry.UVStride + bx)] = static_cast<BYTE>(by);
        }
    }
    const int pitch = w * 4 + 16;
    Image tables(w, h, pitch);
    Image sse2(w, h, pitch);
    Image avx2(w, h, pitch);
    for (int pass = 0; pass < 64; ++pass) {
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                p.y[static_cast<std::size_t>(y * w + x)] = static_cast<BYTE>(pass * 4 + (y % 2) * 2 + x % 2);
            }
        }
        ConvertTheoraFrameFixed(&p.entry, &tables.image, IsaLevel::Portable);
        ConvertTheoraFrameFixed(&p.entry, &sse2.image, IsaLevel::Sse2);
        ConvertTheoraFrameFixed(&p.entry, &avx2.image, IsaLevel::Avx2);
        ASSERT_EQ(tables.At(2 * 200 + 1, 2 * 100 + 1), FixedFormula(pass * 4 + 3, 200, 100));
        ASSERT_TRUE(sse2.pixels == tables.pixels) << "pass " << pass;
        ASSERT_TRUE(avx2.pixels == tables.pixels) << "pass " << pass;
    }
    // The row padding stays as it was.
    EXPECT_EQ(avx2.pixels[static_cast<std::size_t>(w * 4)], 0xEE);
    EXPECT_EQ(avx2.pixels[static_cast<std::size_t>((h - 1) * pitch + w * 4 + 15)], 0xEE);
}

TEST_F(TheoraYuv, FloatPathTakesEachLayoutsOwnChroma)
{
    struct Layout {
        const char* name;
        int w, h, shiftX, shiftY, phaseX, phaseY;
    } layouts[] = {{"4:2:2", 6, 3, 1, 0, 0, 0},
                   {"4:4:4", 5, 3, 0, 0, 0, 0},
                   {"4:2:0 of odd size", 5, 3, 1, 1, 0, 0},
                   {"4:2:0 cropped at an odd offset", 4, 4, 1, 1, 1, 1}};
    for (const Layout& l : layouts) {
        SCOPED_TRACE(l.name);
        Picture p(l.w, l.h, l.shiftX, l.shiftY, l.phaseX, l.phaseY);
        // Every chroma sample different, luma mid-grey.
        for (std::size_t i = 0; i < p.u.size(); ++i) {
            p.u[i] = static_cast<BYTE>(40 + 13 * i);
            p.v[i] = static_cast<BYTE>(220 - 11 * i);
        }
        std::fill(p.y.begin(), p.y.end(), 120);
        EXPECT_FALSE(IsTheoraFrame420(&p.entry));
        Image out(l.w, l.h, l.w * 4 + 8);
        ConvertTheoraFrameFloat(&p.entry, &out.image);
        for (int y = 0; y < l.h; ++y) {
            for (int x = 0; x < l.w; ++x) {
                const std::size_t c = static_cast<std::size_t>(((y + l.phaseY) >> l.shiftY) * p.entry.UVStride +
                                                               ((x + l.phaseX) >> l.shiftX));
                EXPECT_EQ(out.At(x, y), FloatFormula(120, p.u[c], p.v[c])) << x << "," << y;
            }
            // The row's padding beyond the picture is left alone.
            EXPECT_EQ(out.pixels[static_cast<std::size_t>(y * out.image.Pitch + l.w * 4)], 0xEE);
        }
    }
}

TEST_F(TheoraYuv, SurfaceLayouts)
{
    Picture p(4, 2, 1, 1);
    p.y = {1, 2, 3, 4, 5, 6, 7, 8};
    p.u = {10, 11};
    p.v = {20, 21};
    const long pitch = 10;
    struct Case {
        DWORD fourcc;
        std::vector<BYTE> expect; // the written bytes; 0xEE left alone
    } cases[] = {
        // Luma rows, then Cr before Cb, each chroma row half a pitch apart.
        {FOURCC_YV12, {1, 2, 3, 4, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 5, 6, 7, 8, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE,
                       20, 21, 0xEE, 0xEE, 0xEE, 10, 11}},
        {FOURCC_YUY2, {1, 10, 2, 20, 3, 11, 4, 21, 0xEE, 0xEE, 5, 10, 6, 20, 7, 11, 8, 21}},
        {FOURCC_UYVY, {10, 1, 20, 2, 11, 3, 21, 4, 0xEE, 0xEE, 10, 5, 20, 6, 11, 7, 21, 8}},
    };
    for (const Case& c : cases) {
        std::vector<BYTE> surface(40, 0xEE);
        PackTheoraFrame(&p.entry, c.fourcc, surface.data(), pitch);
        surface.resize(c.expect.size());
        EXPECT_EQ(surface, c.expect) << std::string(reinterpret_cast<const char*>(&c.fourcc), 4);
    }
}

// DirectDraw as far as the YUV surface uses it: formats it refuses, locks
// that fail a given number of times, and the memory each surface shows.
struct FakeSurface : RefCounted<IDirectDrawSurface7> {
    std::vector<BYTE> Memory;
    int* FailLocks;
    int* Live;
    FakeSurface(int bytes, int* failLocks, int* live) : Memory(static_cast<std::size_t>(bytes), 0), FailLocks(failLocks), Live(live) { ++*Live; }
    ~FakeSurface() override { --*Live; }
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    HRESULT Lock(RECT*, DDSURFACEDESC2* desc, DWORD flags, HANDLE) override
    {
        EXPECT_EQ(flags, DDLOCK_WRITEONLY);
        if (*FailLocks > 0) {
            --*FailLocks;
            return DDERR_SURFACELOST;
        }
        desc->lPitch = 160;
        desc->lpSurface = Memory.data();
        return DD_OK;
    }
    HRESULT Unlock(RECT*) override { return DD_OK; }
    HRESULT GetCaps(DDSCAPS2*) override { return DDERR_UNSUPPORTED; }
    HRESULT GetSurfaceDesc(DDSURFACEDESC2*) override { return DDERR_UNSUPPORTED; }
    HRESULT GetPixelFormat(DDPIXELFORMAT*) override { return DDERR_UNSUPPORTED; }
    HRESULT Blt(RECT*, IDirectDrawSurface7*, RECT*, DWORD, DDBLTFX*) override { return DDERR_UNSUPPORTED; }
    HRESULT BltFast(DWORD, DWORD, IDirectDrawSurface7*, RECT*, DWORD) override { return DDERR_UNSUPPORTED; }
    HRESULT Flip(IDirectDrawSurface7*, DWORD) override { return DDERR_UNSUPPORTED; }
    HRESULT GetAttachedSurface(DDSCAPS2*, IDirectDrawSurface7**) override { return DDERR_UNSUPPORTED; }
    HRESULT AddAttachedSurface(IDirectDrawSurface7*) override { return DDERR_UNSUPPORTED; }
    HRESULT DeleteAttachedSurface(DWORD, IDirectDrawSurface7*) override { return DDERR_UNSUPPORTED; }
    HRESULT EnumAttachedSurfaces(void*, LPDDENUMSURFACESCALLBACK7) override { return DDERR_UNSUPPORTED; }
    HRESULT SetColorKey(DWORD, DDCOLORKEY*) override { return DDERR_UNSUPPORTED; }
    HRESULT GetColorKey(DWORD, DDCOLORKEY*) override { return DDERR_UNSUPPORTED; }
    HRESULT SetClipper(IDirectDrawClipper*) override { return DDERR_UNSUPPORTED; }
    HRESULT SetPalette(IDirectDrawPalette*) override { return DDERR_UNSUPPORTED; }
    HRESULT GetPalette(IDirectDrawPalette**) override { return DDERR_UNSUPPORTED; }
    HRESULT IsLost() override { return DD_OK; }
    HRESULT Restore() override { return DD_OK; }
    HRESULT GetDC(HDC*) override { return DDERR_UNSUPPORTED; }
    HRESULT ReleaseDC(HDC) override { return DDERR_UNSUPPORTED; }
};

struct FakeDirectDraw : IDirectDraw7 {
    std::vector<DWORD> Tried;
    DWORD Refused = 0;
    int FailLocks = 0;
    int Live = 0;
    std::vector<FakeSurface*> Made;
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** out, IUnknown*) override
    {
        EXPECT_EQ(desc->dwFlags, DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT);
        EXPECT_EQ(desc->ddpfPixelFormat.dwFlags, DDPF_FOURCC);
        EXPECT_EQ(desc->ddsCaps.dwCaps, DDSCAPS_OFFSCREENPLAIN);
        Tried.push_back(desc->ddpfPixelFormat.dwFourCC);
        if (desc->ddpfPixelFormat.dwFourCC == FOURCC_YV12 || desc->ddpfPixelFormat.dwFourCC == Refused) {
            return DDERR_INVALIDPIXELFORMAT;
        }
        Made.push_back(new FakeSurface(160 * 2 * static_cast<int>(desc->dwHeight), &FailLocks, &Live));
        *out = Made.back();
        return DD_OK;
    }
    HRESULT Initialize(GUID*) override { return DDERR_UNSUPPORTED; }
    HRESULT SetCooperativeLevel(HWND, DWORD) override { return DDERR_UNSUPPORTED; }
    HRESULT SetDisplayMode(DWORD, DWORD, DWORD, DWORD, DWORD) override { return DDERR_UNSUPPORTED; }
    HRESULT RestoreDisplayMode() override { return DDERR_UNSUPPORTED; }
    HRESULT GetDisplayMode(DDSURFACEDESC2*) override { return DDERR_UNSUPPORTED; }
    HRESULT CreateClipper(DWORD, IDirectDrawClipper**, IUnknown*) override { return DDERR_UNSUPPORTED; }
    HRESULT CreatePalette(DWORD, PALETTEENTRY*, IDirectDrawPalette**, IUnknown*) override { return DDERR_UNSUPPORTED; }
    HRESULT WaitForVerticalBlank(DWORD, HANDLE) override { return DDERR_UNSUPPORTED; }
    HRESULT GetVerticalBlankStatus(BOOL*) override { return DDERR_UNSUPPORTED; }
    HRESULT GetScanLine(DWORD*) override { return DDERR_UNSUPPORTED; }
    HRESULT FlipToGDISurface() override { return DDERR_UNSUPPORTED; }
    HRESULT GetCaps(DDCAPS*, DDCAPS*) override { return DDERR_UNSUPPORTED; }
    HRESULT GetDeviceIdentifier(DDDEVICEIDENTIFIER2*, DWORD) override { return DDERR_UNSUPPORTED; }
    HRESULT GetAvailableVidMem(DDSCAPS2*, DWORD*, DWORD*) override { return DDERR_UNSUPPORTED; }
};

FakeDirectDraw* g_fake = nullptr;

class TheoraYuvSurface : public TheoraYuv {
protected:
    void SetUp() override
    {
        TheoraYuv::SetUp();
        g_fake = &fake;
        SetTheoraDirectDrawSource([]() -> IDirectDraw7* { return g_fake; });
    }
    void TearDown() override
    {
        SetTheoraDirectDrawSource(nullptr);
        g_fake = nullptr;
        EXPECT_EQ(fake.Live, 0); // the close released the surface
    }
    FakeDirectDraw fake;
};

TEST_F(TheoraYuvSurface, TakesTheFirstFormatOfferedAndCopiesTheFrameUnconverted)
{
    {
        OpenedMovie movie(MakeMovie(4));
        ASSERT_NE(movie.Ctx, nullptr);
        EXPECT_EQ(fake.Tried, (std::vector<DWORD>{FOURCC_YV12, FOURCC_YUY2}));
        EXPECT_EQ(movie.Ctx->YuvFourCC, FOURCC_YUY2);
        ASSERT_NE(GetTheoraYuvSurface(movie.Ctx), nullptr);
        EXPECT_EQ(movie.Ctx->SurfaceDone, 1);
        // The open's copy: YUY2 rows of the picture, the first group Y0 Cb Y1 Cr.
        const FakeSurface* s = fake.Made.back();
        std::uint8_t yuv[3];
        MovieFrameSample(0, 0, 0, 64, yuv);
        EXPECT_NEAR(s->Memory[1], yuv[1], 6);
        EXPECT_NEAR(s->Memory[3], yuv[2], 6);
        EXPECT_EQ(CopyTheoraFrameToImage(movie.Ctx, 0, 1), 0); // already in the surface
    }
    fake.Tried.clear();
    fake.Refused = FOURCC_YUY2;
    OpenedMovie third(MakeMovie(4));
    EXPECT_EQ(third.Ctx->YuvFourCC, FOURCC_UYVY);
}

TEST_F(TheoraYuvSurface, FailedLocksRemakeTheSurfaceAtMostThreeTimes)
{
    OpenedMovie movie(MakeMovie(4));
    ASSERT_NE(movie.Ctx, nullptr);
    AdvanceTheoraFrame(movie.Ctx, 1);
    // One failure: the re-made surface takes the frame.
    fake.FailLocks = 1;
    EXPECT_EQ(CopyTheoraFrameToImage(movie.Ctx, 0, 1), 1);
    EXPECT_EQ(movie.Ctx->SurfaceDone, 1);
    EXPECT_EQ(fake.Live, 1);
    const FakeSurface* s = fake.Made.back();
    EXPECT_NE(std::count(s->Memory.begin(), s->Memory.end(), 0), static_cast<long>(s->Memory.size()));
    // Three failures: the copy is given up for this call, the image still made.
    AdvanceTheoraFrame(movie.Ctx, 1);
    fake.FailLocks = 3;
    EXPECT_EQ(CopyTheoraFrameToImage(movie.Ctx, 1, 1), 1);
    EXPECT_EQ(movie.Ctx->SurfaceDone, 0);
    EXPECT_EQ(movie.Ctx->ImageDone, 1);
    EXPECT_EQ(ReadMovieFrameNumber(movie.Ctx->RgbImage), 2);
    EXPECT_EQ(CopyTheoraFrameToImage(movie.Ctx, 0, 1), 1); // the next call tries again
    EXPECT_EQ(movie.Ctx->SurfaceDone, 1);
}

} // namespace
