// 2D draws onto DirectDraw surfaces: screens whose layout the kernels lack
// (RGB 5:5:5, BGR) drawn in a converted work-surface copy, blended draws on
// video-memory targets through the work surfaces, the copies of the draw
// target into graphs, and the 8-bit screen's image transfer through GDI.
// Each picture is compared with the same kernel run on the pixels taken into
// the kernels' layout and brought back.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/api.h"
#include "core/sysstate.h"
#include "graphics/backend2d.h"
#include "graphics/d3ddevice.h"
#include "graphics/draw2d.h"
#include "graphics/drawapi.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/image/graphimage.h"
#include "graphics/imagesurface.h"
#include "graphics/kernel_entries.h"
#include "graphics/matrix.h"
#include "graphics/screen.h"
#include "graphics/surface2d.h"
#include "platform/ddraw/ddraw_test.h"
#include "platform/kernel/clock.h"
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

const Layout kLayouts[] = {
    {"RGB555", 16, 0x7C00, 0x03E0, 0x001F, 1},
    {"BGR565", 16, 0x001F, 0x07E0, 0xF800, 3},
    {"XBGR", 32, 0x0000FF, 0x00FF00, 0xFF0000, 3},
    {"RGB565", 16, 0, 0, 0, 0},
    {"XRGB", 32, 0, 0, 0, 2},
};

INSTANTIATE_TEST_SUITE_P(Layouts, SurfaceScreenDraws, testing::ValuesIn(kLayouts),
                         [](const testing::TestParamInfo<Layout>& i) { return std::string(i.param.name); });

}  // namespace
