// 2D draws onto DirectDraw surfaces: screens whose layout the kernels lack
// (RGB 5:5:5, BGR) drawn in a converted work-surface copy, blended draws on
// video-memory targets through the work surfaces, the copies of the draw
// target into graphs, and the 8-bit screen's image transfer through GDI.
// Each picture is compared with the same kernel run on the pixels taken into
// the kernels' layout and brought back.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/api.h"
#include "core/imageforwarders.h"
#include "core/log.h"
#include "core/mainwindow.h"
#include "core/startup.h"
#include "core/sysstate.h"
#include "graphics/soft/backend2d.h"
#include "graphics/d3d/d3ddevice.h"
#include "graphics/soft/draw2d.h"
#include "graphics/drawapi.h"
#include "graphics/drawstate.h"
#include "graphics/font/font.h"
#include "graphics/graph.h"
#include "graphics/image/graphimage.h"
#include "graphics/imagesurface.h"
#include "graphics/kernel_entries.h"
#include "graphics/matrix.h"
#include "graphics/screen.h"
#include "graphics/soft/surface2d.h"
#include "platform/com/com.h"
#include "platform/ddraw/ddraw_test.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/file.h"
#include "support/library_fixture.h"

namespace {

using u32 = std::uint32_t;
constexpr int kW = 640;
constexpr int kH = 480;

// A full screen drawn through Direct3D, whose new graphs are DirectDraw
// surfaces, so the 2D entries lock them. The display's modes of `bits` take
// the given masks.
int StartSurfaceScreen(int bits, DWORD red, DWORD green, DWORD blue)
{
    SetDirectDrawModeMasks(bits, red, green, blue);
    const int result = StartDirect3DLibrary(kW, kH, bits);
    SysState.ActiveFlag = 1;
    SelectDrawTarget(-2);
    EnableGraph3DBackend(0);
    return result;
}

void EndSurfaceScreen()
{
    EnableGraph3DBackend(1);
    EndDirect3DLibrary();
    SetDirectDrawModeMasks(16, 0, 0, 0);
    SetDirectDrawModeMasks(32, 0, 0, 0);
}

int Bytes()
{
    return ScreenState.ColorBits / 8;
}

// Raw values of a surface's w x h pixels from (x, y).
std::vector<u32> ReadSurface(IDirectDrawSurface7* s, int x, int y, int w, int h)
{
    std::vector<u32> out(static_cast<std::size_t>(w) * h, 0xDEADBEEF);
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    RECT r{x, y, x + w, y + h};
    if (s->Lock(&r, &d, DDLOCK_WAIT, nullptr) != DD_OK) return out;
    const int bytes = static_cast<int>(d.ddpfPixelFormat.dwRGBBitCount / 8);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            u32 v = 0;
            std::memcpy(&v, static_cast<BYTE*>(d.lpSurface) + j * d.lPitch + i * bytes, static_cast<size_t>(bytes));
            out[static_cast<std::size_t>(j) * w + i] = v;
        }
    s->Unlock(&r);
    return out;
}

void WriteSurface(IDirectDrawSurface7* s, int x, int y, int w, int h, const std::function<u32(int, int)>& value)
{
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    RECT r{x, y, x + w, y + h};
    ASSERT_EQ(s->Lock(&r, &d, DDLOCK_WAIT, nullptr), DD_OK);
    const int bytes = static_cast<int>(d.ddpfPixelFormat.dwRGBBitCount / 8);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            const u32 v = value(i, j);
            std::memcpy(static_cast<BYTE*>(d.lpSurface) + j * d.lPitch + i * bytes, &v, static_cast<size_t>(bytes));
        }
    s->Unlock(&r);
}

IMGSURFREC* GraphImageSurface(int graph)
{
    return GetImageSurfaceRecord(GetSurface2DRecord(GetGraphRecord(graph)->Surfaces[0])->ImageSurface);
}

// A colour of the screen's layout, spare bits set as the library makes them.
u32 ScreenValue(int r, int g, int b)
{
    return GetColorValueInFormat(&ScreenState.ColorFormat, r, g, b, 255);
}

u32 Pattern(int x, int y)
{
    return ScreenValue((x * 7) & 0xFF, (y * 5 + x) & 0xFF, (x * y) & 0xFF);
}

const COLORFMT* KernelLayout()
{
    return LookupMemImgColorFormat(Bytes() == 2 ? MEMIMG_FORMAT_RGB565 : MEMIMG_FORMAT_XRGB8888, 0, 0);
}

u32 ToKernel(u32 v, bool convert)
{
    return convert ? ConvertColorValueBetweenFormats(KernelLayout(), &ScreenState.ColorFormat, v) : v;
}

// Raw pixels of a w x h picture, wrapped for the kernels in their layout:
// taken into it from the screen's when `convert`, else as they are.
class KernelPicture {
public:
    KernelPicture(const std::vector<u32>& raw, int w, int h, bool convert, DWORD key = 0)
        : w_(w), h_(h), convert_(convert), bytes_(static_cast<std::size_t>(w) * h * Bytes())
    {
        for (int i = 0; i < w * h; ++i) Put(i, ToKernel(raw[static_cast<std::size_t>(i)], convert));
        AllocateMemImg(&image, w, h, w * Bytes(), ToKernel(key, convert), Bytes() == 2 ? MEMIMG_FORMAT_RGB565 : MEMIMG_FORMAT_XRGB8888,
                       0, 0, 0, bytes_.data());
    }
    ~KernelPicture() { DropMemImgReference(&image); }
    // Back in the screen's layout over `rect`; `outside` keeps the rest.
    std::vector<u32> Out(const RECT& rect, std::vector<u32> outside) const
    {
        for (int y = rect.top; y < rect.bottom; ++y)
            for (int x = rect.left; x < rect.right; ++x) {
                const std::size_t i = static_cast<std::size_t>(y) * w_ + x;
                u32 v = 0;
                std::memcpy(&v, &bytes_[i * Bytes()], static_cast<size_t>(Bytes()));
                outside[i] = convert_ ? ConvertColorValueBetweenFormats(&ScreenState.ColorFormat, KernelLayout(), v) : v;
            }
        return outside;
    }
    MEMIMG image{};

private:
    void Put(int i, u32 v) { std::memcpy(&bytes_[static_cast<std::size_t>(i) * Bytes()], &v, static_cast<size_t>(Bytes())); }
    int w_, h_;
    bool convert_;
    std::vector<BYTE> bytes_;
};

struct Layout {
    const char* name;
    int bits;
    DWORD red, green, blue;
    int kind;
};

class SurfaceScreenDraws : public testing::TestWithParam<Layout> {
protected:
    void SetUp() override
    {
        const Layout& l = GetParam();
        ASSERT_EQ(StartSurfaceScreen(l.bits, l.red, l.green, l.blue), 0);
        ASSERT_EQ(IsDirect3DActive(), 1);
        ASSERT_EQ(ScreenState.FormatKind, l.kind);
        ASSERT_EQ(DrawState.TargetInVideoMemory, 1);
        back_ = GetBackScreenSurface();
        ASSERT_NE(back_, nullptr);
        WriteSurface(back_, 0, 0, kW, kH, Pattern);
    }
    void TearDown() override { EndSurfaceScreen(); }

    bool Converts() const { return GetParam().kind == 1 || GetParam().kind == 3; }
    std::vector<u32> Screen() const { return ReadSurface(back_, 0, 0, kW, kH); }

    // The picture after a draw over `rect`, clipped to the draw area: the
    // kernel run on the screen's pixels, taken through the kernels' layout
    // when `convert`.
    std::vector<u32> Expected(const std::vector<u32>& before, RECT rect, bool convert,
                              const std::function<void(MEMIMG*)>& kernel) const
    {
        ClipRectAgainstRect(&rect, &DrawState.DrawArea);
        KernelPicture picture(before, kW, kH, convert);
        kernel(&picture.image);
        return picture.Out(rect, before);
    }

    IDirectDrawSurface7* back_ = nullptr;
};

// Counts the pixels that differ and names the first.
testing::AssertionResult SamePicture(const std::vector<u32>& got, const std::vector<u32>& want)
{
    int differ = 0;
    std::size_t first = 0;
    for (std::size_t i = 0; i < want.size(); ++i)
        if (got[i] != want[i] && differ++ == 0) first = i;
    if (differ == 0) return testing::AssertionSuccess();
    return testing::AssertionFailure() << differ << " pixels differ, first at (" << first % kW << ", " << first / kW
                                       << "): " << std::hex << got[first] << " for " << want[first];
}

TEST_P(SurfaceScreenDraws, GraphDrawsMatchTheKernelInItsOwnLayout)
{
    // Magenta keys differ between 5:5:5 and 5:6:5, and between BGR and RGB.
    const DWORD savedKey = DrawState.TransColor;
    DrawState.TransColor = 0xFF00FF;
    const int g = CreateGraphOfSize(16, 16, 0, 0, 0);
    DrawState.TransColor = savedKey;
    ASSERT_NE(g, -1);
    IMGSURFREC* is = GraphImageSurface(g);
    ASSERT_NE(is->Surface, nullptr);
    ASSERT_EQ(is->Format.SystemMemory, 0);
    const u32 key = ConvertRGBToScreenColor(255, 0, 255);
    // The first column holds the colour key.
    auto texel = [&](int x, int y) { return x == 0 ? key : ScreenValue(255 - x * 9, y * 13, 128 + x); };
    WriteSurface(is->Surface, 0, 0, 16, 16, texel);
    std::vector<u32> raw;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) raw.push_back(texel(x, y));
    KernelPicture source(raw, 16, 16, Converts(), key);

    struct Case {
        int mode, param, red, green, blue, x, y, trans;
    };
    // Blended and keyed across the left edge; tinted, unblended, across the bottom right corner.
    for (const Case c : {Case{1, 128, 255, 255, 255, -5, 10, 1}, Case{0, 255, 200, 255, 100, 630, 470, 0},
                         Case{2, 200, 255, 255, 255, 100, 100, 1}}) {
        SCOPED_TRACE(c.mode);
        SelectBlendMode(c.mode, c.param);
        SelectBrightness(c.red, c.green, c.blue);
        const std::vector<u32> before = Screen();
        const std::vector<u32> want =
            Expected(before, RECT{c.x, c.y, c.x + 16, c.y + 16}, Converts(), [&](MEMIMG* dest) {
                BlitMemImg(dest, &source.image, c.x, c.y, c.trans, nullptr);
            });
        ASSERT_EQ(DrawGraphAt(c.x, c.y, g, c.trans), 0);
        EXPECT_TRUE(SamePicture(Screen(), want));
        EXPECT_EQ(Draw2DBlock.DestLocked + Draw2DBlock.SourceLocked, 0);
    }
    SelectBlendMode(0, 255);
    SelectBrightness(255, 255, 255);
    // The graph keeps its own layout.
    EXPECT_EQ(ReadSurface(is->Surface, 0, 0, 16, 16), raw);
}

TEST_P(SurfaceScreenDraws, BlendedShapesTakeTheirColourIntoTheKernelsLayout)
{
    const u32 colour = ConvertRGBToScreenColor(40, 200, 120);
    SelectBlendMode(1, 100);
    std::vector<u32> before = Screen();
    std::vector<u32> want = Expected(before, RECT{20, 20, 60, 50}, Converts(), [&](MEMIMG* dest) {
        const RECT box{20, 20, 60, 50};
        FillMemImgRect(dest, &box, ToKernel(colour, Converts()));
    });
    ASSERT_EQ(FillRect2D(20, 20, 60, 50, colour), 0);
    EXPECT_TRUE(SamePicture(Screen(), want));

    before = Screen();
    want = Expected(before, RECT{100, 30, 201, 71}, Converts(), [&](MEMIMG* dest) {
        PlotMemImgLine(dest, 100, 30, 200, 70, ToKernel(colour, Converts()));
    });
    ASSERT_EQ(DrawLine2D(100, 30, 200, 70, colour), 0);
    EXPECT_TRUE(SamePicture(Screen(), want));
    SelectBlendMode(0, 255);
}

TEST_P(SurfaceScreenDraws, UnblendedShapesWriteTheScreensOwnValues)
{
    const u32 colour = ConvertRGBToScreenColor(250, 10, 90);
    std::vector<u32> want = Screen();
    for (int y = 40; y < 60; ++y)
        for (int x = 300; x < 340; ++x) want[static_cast<std::size_t>(y) * kW + x] = colour;
    ASSERT_EQ(FillRect2D(300, 40, 340, 60, colour), 0);
    EXPECT_TRUE(SamePicture(Screen(), want));
    // A circle's pixels are the colour exactly, on every layout.
    ASSERT_EQ(DrawCircle2D(400, 200, 20, colour, 1), 0);
    const std::vector<u32> after = Screen();
    EXPECT_EQ(after[200 * kW + 400], colour);
    EXPECT_EQ(after[200 * kW + 419], colour);
    EXPECT_EQ(after[200 * kW + 430], want[200 * kW + 430]);
}

// A graph target and a source taller than the screen-sized work surfaces are
// drawn in place, converted there and back: the source keeps its layout.
TEST_P(SurfaceScreenDraws, BlendedDrawsBetweenGraphsTallerThanTheScreenLandInPlace)
{
    const int target = CreateGraphOfSize(32, 600, 0, 0, 0);
    const int g = CreateGraphOfSize(16, 500, 0, 0, 0);
    ASSERT_NE(target, -1);
    ASSERT_NE(g, -1);
    IDirectDrawSurface7* t = GraphImageSurface(target)->Surface;
    IDirectDrawSurface7* src = GraphImageSurface(g)->Surface;
    WriteSurface(t, 0, 0, 32, 600, Pattern);
    auto texel = [](int x, int y) { return ScreenValue(x * 16, 255 - y / 2, 77); };
    WriteSurface(src, 0, 0, 16, 500, texel);
    const std::vector<u32> raw = ReadSurface(src, 0, 0, 16, 500);
    ASSERT_EQ(SelectDrawTarget(target), 0);
    SelectBlendMode(1, 90);
    const std::vector<u32> before = ReadSurface(t, 0, 0, 32, 600);
    KernelPicture source(raw, 16, 500, Converts());
    KernelPicture dest(before, 32, 600, Converts());
    BlitMemImg(&dest.image, &source.image, 10, 60, 0, nullptr);
    ASSERT_EQ(DrawGraphAt(10, 60, g, 0), 0);
    EXPECT_EQ(ReadSurface(t, 0, 0, 32, 600), dest.Out(RECT{10, 60, 26, 560}, before));
    EXPECT_EQ(ReadSurface(src, 0, 0, 16, 500), raw);
    SelectBlendMode(0, 255);
    SelectDrawTarget(-2);
}

// Text keeps its colour on every layout: on black, straight ink is the
// colour's own value, tinted by the brightness, also while a blend graph
// sends the target through a converted copy; ink blended at 254 of 255 is
// next to it in each channel.
TEST_P(SurfaceScreenDraws, TextKeepsItsColourOnEveryLayout)
{
    WriteSurface(back_, 0, 0, kW, kH, [](int, int) { return ScreenValue(0, 0, 0); });
    const u32 colour = ConvertRGBToScreenColor(40, 200, 120);
    const COLORFMT& f = ScreenState.ColorFormat;
    const u32 masks[3] = {f.RedMask, f.GreenMask, f.BlueMask};
    // A font of the software cache: its strings take the 2D draw.
    FontSystem.TextureCacheOff = 1;
    const int font = CreateFontToHandle(nullptr, -1, -1, 0, -1, -1, -1, -1, -1);
    FontSystem.TextureCacheOff = 0;
    ASSERT_NE(font, -1);
    ASSERT_EQ(GetFontRecord(font)->TextureCache, 0);
    const int blendGraph = CreateGraphOfSize(16, 16, 0, 0, 0);
    ASSERT_NE(blendGraph, -1);
    auto step = [](u32 v, u32 mask) { return static_cast<int>((v & mask) / (mask & (~mask + 1))); };
    struct Case {
        int mode, param, graph, red;
    };
    int y = 20;
    // A tint of one channel shows a colour read in the wrong layout on BGR screens too.
    for (const Case c : {Case{0, 255, -1, 255}, Case{0, 255, blendGraph, 128}, Case{1, 254, -1, 255}}) {
        SCOPED_TRACE(testing::Message() << c.mode << " graph " << c.graph);
        SelectBlendMode(c.mode, c.param);
        SelectBrightness(c.red, 255, 255);
        ASSERT_EQ(StoreBlendGraphSetting(c.graph, 128, 0), 0);
        ASSERT_EQ(DrawTextWithFontHandle(20, y, "ZARVO 2D", colour, font, 0, 0), 0);
        StoreBlendGraphSetting(-1, 0, 0);
        SelectBrightness(255, 255, 255);
        const u32 tinted = ConvertRGBToScreenColor(40 * c.red / 255, 200, 120);
        int ink = 0;
        for (u32 v : ReadSurface(back_, 0, y, kW, 40)) {
            if ((v & (masks[0] | masks[1] | masks[2])) == 0) continue;
            ++ink;
            if (c.mode == 0) {
                ASSERT_EQ(v, tinted) << std::hex << v;
                continue;
            }
            // The kernels' blend rounds down a little: a step on 5 and 6 bits, three on 8.
            for (u32 m : masks) {
                ASSERT_LE(std::abs(step(v, m) - step(colour, m)), 1 + step(m, m) / 100) << std::hex << v << " " << m;
            }
        }
        EXPECT_GT(ink, 20);
        y += 60;
    }
    SelectBlendMode(0, 255);
}

const Layout kLayouts[] = {
    {"RGB555", 16, 0x7C00, 0x03E0, 0x001F, 1},
    {"BGR565", 16, 0x001F, 0x07E0, 0xF800, 3},
    {"XBGR", 32, 0x0000FF, 0x00FF00, 0xFF0000, 3},
    {"RGB565", 16, 0, 0, 0, 0},
    {"XRGB", 32, 0, 0, 0, 2},
};

INSTANTIATE_TEST_SUITE_P(Layouts, SurfaceScreenDraws, testing::ValuesIn(kLayouts),
                         [](const testing::TestParamInfo<Layout>& i) { return std::string(i.param.name); });

// --- a DirectDraw screen without Direct3D -------------------------------------

// Started below the library's start with the software-start request, which
// keeps Direct3D out without turning to GDI: graphs in system memory are
// software images and can be draw targets, and 8-bit modes keep 8 bits.
class DirectDrawScreen : public testing::Test {
protected:
    void Start(int bits, DWORD red = 0, DWORD green = 0, DWORD blue = 0)
    {
        ResetLibraryProcessState();
        UseManualClock(100000, 20);
        SetDirectDrawModeMasks(bits, red, green, blue);
        SysState.DoubleStartAllowed = 1;
        SysState.WindowModeFlag = 0;
        GetCurrentDirectoryA(sizeof SysState.StartDirectory, SysState.StartDirectory);
        CreateLogFile();
        ASSERT_EQ(InitializeCom(), 0);
        ASSERT_EQ(CreateMainWindow(), 0);
        started_ = true;
        SysState.StartupFlag = 1;
        ApplyScreenMode(kW, kH, bits, -1);
        StoreSoftwareStartRequest(1);
        ASSERT_EQ(StartScreenSystem(SysState.MainWindow), 0);
        SysState.ActiveFlag = 1;
        SwitchDrawTarget(-2);
        ASSERT_EQ(ScreenState.GdiOnly, 0);
        ASSERT_EQ(ScreenState.ColorBits, bits);
    }
    void TearDown() override
    {
        if (started_) {
            EndScreenSystem();
            CloseMainWindow();
            CoUninitialize();
        }
        SetDirectDrawModeMasks(16, 0, 0, 0);
        SetDirectDrawModeMasks(32, 0, 0, 0);
        UseRealClock();
    }
    bool started_ = false;
};

// Colours with channels of 0 or 255 only, the same in every layout.
void PrimaryColour(int x, int y, int* r, int* g, int* b)
{
    const u32 h = ((static_cast<u32>(x) + 1) * 2654435761u ^ (static_cast<u32>(y) + 1) * 40503u) >> 13;
    *r = (h & 1) ? 255 : 0;
    *g = (h & 2) ? 255 : 0;
    *b = (h & 4) ? 255 : 0;
}

// The channel bits of a primary colour in a layout, spare bits clear.
u32 PrimaryValue(const COLORFMT* f, int x, int y, bool spare)
{
    int r, g, b;
    PrimaryColour(x, y, &r, &g, &b);
    const u32 v = GetColorValueInFormat(f, r, g, b, 255);
    return spare ? v : v & (f->RedMask | f->GreenMask | f->BlueMask);
}

void FillImage(MEMIMG* image, int w, int h)
{
    const int bytes = image->Body->PixelFormat == MEMIMG_FORMAT_RGB565 ? 2 : 4;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const u32 v = PrimaryValue(image->Body->ColorFormat, x, y, false);
            std::memcpy(image->Pixels + y * image->Body->Pitch + x * bytes, &v, static_cast<size_t>(bytes));
        }
}

u32 ImagePixel(const MEMIMG* image, int x, int y)
{
    const int bytes = image->Body->PixelFormat == MEMIMG_FORMAT_RGB565 ? 2 : 4;
    u32 v = 0;
    std::memcpy(&v, image->Pixels + y * image->Body->Pitch + x * bytes, static_cast<size_t>(bytes));
    return v;
}

class ScreenReadBack : public DirectDrawScreen, public testing::WithParamInterface<Layout> {};

// Every pair of where the target and the graph keep their pixels lands the
// rectangle with the bits no channel uses set, except the plain copy between
// two software images.
TEST_P(ScreenReadBack, EveryPairOfTargetAndGraphCopiesTheRectangle)
{
    const Layout& l = GetParam();
    Start(l.bits, l.red, l.green, l.blue);
    if (HasFatalFailure()) return;
    const COLORFMT* screen = &ScreenState.ColorFormat;
    WriteSurface(GetBackScreenSurface(), 0, 0, kW, kH, [&](int x, int y) { return PrimaryValue(screen, x, y, false); });
    const int surfaceGraph = CreateGraphOfSize(16, 12, 0, 0, 0);
    const int parent = CreateGraphOfSize(64, 64, 0, 0, 0);
    const int view = CreateDerivedGraph(8, 8, 40, 40, parent);
    SetNewGraphInSystemMemory(1);
    const int imageGraph = CreateGraphOfSize(16, 12, 0, 0, 0);
    const int imageTarget = CreateGraphOfSize(40, 40, 0, 0, 0);
    SetNewGraphInSystemMemory(0);
    for (int g : {surfaceGraph, parent, view, imageGraph, imageTarget}) ASSERT_NE(g, -1);
    ASSERT_NE(GraphImageSurface(surfaceGraph)->Surface, nullptr);
    ASSERT_EQ(GraphImageSurface(imageGraph)->Software, 1);
    WriteSurface(GraphImageSurface(parent)->Surface, 0, 0, 64, 64,
                 [&](int x, int y) { return PrimaryValue(screen, x, y, false); });
    MEMIMG* targetImage = &GraphImageSurface(imageTarget)->Image;
    FillImage(targetImage, 40, 40);

    struct Case {
        const char* name;
        int target;  // -2 the back screen
        int graph;
        int originX, originY;  // where the target's (0, 0) lies in the pattern
    };
    for (const Case c : {Case{"back to surface", -2, surfaceGraph, 0, 0}, Case{"back to image", -2, imageGraph, 0, 0},
                         Case{"image to surface", imageTarget, surfaceGraph, 0, 0},
                         Case{"image to image", imageTarget, imageGraph, 0, 0},
                         Case{"derived view to surface", view, surfaceGraph, 8, 8}}) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(SelectDrawTarget(c.target), 0);
        ASSERT_EQ(CaptureDrawScreenToGraph(4, 6, 20, 18, c.graph, 0), 0);
        IMGSURFREC* is = GraphImageSurface(c.graph);
        const bool plain = c.target == imageTarget && c.graph == imageGraph;
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x) {
                const int px = c.originX + 4 + x, py = c.originY + 6 + y;
                const u32 got = is->Software == 1 ? ImagePixel(&is->Image, x, y)
                                                  : ReadSurface(is->Surface, x, y, 1, 1)[0];
                const COLORFMT* f = is->Software == 1 ? is->Image.Body->ColorFormat : screen;
                ASSERT_EQ(got, PrimaryValue(f, px, py, !plain)) << x << "," << y;
            }
    }
    SelectDrawTarget(-2);
    // The rectangle must be the graph's size and lie in the target.
    EXPECT_EQ(CaptureDrawScreenToGraph(4, 6, 20, 17, surfaceGraph, 0), -1);
    EXPECT_EQ(CaptureDrawScreenToGraph(630, 6, 646, 18, surfaceGraph, 0), -1);
}

INSTANTIATE_TEST_SUITE_P(Layouts, ScreenReadBack,
                         testing::Values(Layout{"RGB555", 16, 0x7C00, 0x03E0, 0x001F, 1},
                                         Layout{"XRGB", 32, 0, 0, 0, 2}),
                         [](const testing::TestParamInfo<Layout>& i) { return std::string(i.param.name); });

// Nearest entry of the screen's palette by squared distance, the first of equals.
BYTE NearestPaletteIndex(int r, int g, int b)
{
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < 256; ++i) {
        const PALETTEENTRY& e = ScreenState.PaletteEntries[i];
        const long dr = r - e.peRed, dg = g - e.peGreen, db = b - e.peBlue;
        const long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return static_cast<BYTE>(best);
}

TEST_F(DirectDrawScreen, AnEightBitScreenTakesImagesAsNearestPaletteEntries)
{
    Start(8);
    if (HasFatalFailure()) return;
    ASSERT_NE(ScreenState.Palette, nullptr);
    // Exact entries (black, white, 16, 82, the grey 160) and colours between entries.
    const int colours[8][3] = {{0, 0, 0},     {255, 255, 255}, {0, 0, 139},  {250, 1, 0},
                               {128, 128, 128}, {130, 126, 129}, {60, 200, 20}, {17, 90, 240}};
    GraphImage image{};
    ASSERT_EQ(MakeXrgbGraphImage(8, 4, &image), 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) {
            const int* c = colours[(x + y) % 8];
            const u32 v = static_cast<u32>(c[0] << 16 | c[1] << 8 | c[2]);
            std::memcpy(static_cast<BYTE*>(image.Pixels) + y * image.Pitch + x * 4, &v, 4);
        }
    auto want = [&](int x, int y) {
        const int* c = colours[(x + y) % 8];
        return static_cast<u32>(NearestPaletteIndex(c[0], c[1], c[2]));
    };
    EXPECT_EQ(want(1, 0), 255u);
    EXPECT_EQ(want(3, 0), 82u);

    const int g = CreateGraphOfSize(8, 4, 0, 0, 0);
    ASSERT_NE(g, -1);
    IDirectDrawSurface7* surface = GraphImageSurface(g)->Surface;
    ASSERT_NE(surface, nullptr);
    ASSERT_EQ(TransferImageToGraph(nullptr, nullptr, nullptr, nullptr, 0, &image, nullptr, 0, 0, g, 0), 0);
    std::vector<u32> expected;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) expected.push_back(want(x, y));
    EXPECT_EQ(ReadSurface(surface, 0, 0, 8, 4), expected);

    // A rectangle lands at its place and nowhere else.
    WriteSurface(surface, 0, 0, 8, 4, [](int, int) { return 7u; });
    const RECT part{1, 1, 4, 3};
    ASSERT_EQ(TransferImageRectToGraph(nullptr, nullptr, nullptr, nullptr, 0, &image, nullptr, &part, 4, 2, g, 0), 0);
    const std::vector<u32> got = ReadSurface(surface, 0, 0, 8, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool inside = x >= 4 && x < 7 && y >= 2 && y < 4;
            EXPECT_EQ(got[static_cast<std::size_t>(y) * 8 + x], inside ? want(x - 3, y - 1) : 7u) << x << "," << y;
        }

    // The plain copy draws the indexes; the kernels have no 8-bit layout, so a blended draw is refused.
    ASSERT_EQ(DrawGraphAt(100, 50, g, 0), 0);
    EXPECT_EQ(ReadSurface(GetBackScreenSurface(), 100, 50, 8, 4), got);
    SelectBlendMode(1, 128);
    EXPECT_EQ(DrawGraphAt(100, 50, g, 0), -1);
    EXPECT_EQ(Draw2DBlock.DestLocked, 0);
    SelectBlendMode(0, 255);
    DiscardGraphImage(&image);
}

}  // namespace
