// Graphs and shapes drawn through the Direct3D back-end on the software
// device, presented full screen at 16 and 32 bits and compared with a picture
// that the tests' model of the device's rules draws from the same vertices;
// subtract draws against the model's invert, add, invert and against the
// software renderer's subtract.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/api.h"
#include "core/number.h"
#include "core/sysstate.h"
#include "graphics/d3d/d3ddevice.h"
#include "graphics/d3d/d3ddraw.h"
#include "graphics/d3d/d3dtexture.h"
#include "graphics/drawapi.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/screen.h"
#include "platform/d3d/d3d_test.h"
#include "platform/display/display.h"
#include "platform/kernel/clock.h"
#include "support/d3d_model.h"
#include "support/image_fixtures.h"
#include "support/library_fixture.h"

namespace {

using namespace d3dmodel;
constexpr int kW = 640;
constexpr int kH = 480;

Picture Pattern(int w, int h, int seed, bool alpha)
{
    Picture p{w, h, {}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const u32 r = (x * 37 + seed * 11) & 0xFF, g = (y * 53 + x * 7 + seed) & 0xFF,
                      b = (x * y * 3 + seed * 5) & 0xFF;
            const u32 a = alpha ? static_cast<u32>((x * 29 + y * 17) & 0xFF) : 255u;
            p.argb.push_back(a << 24 | r << 16 | g << 8 | b);
        }
    return p;
}

u32 Diffuse()
{
    const DRAWSTATE& d = DrawState;
    const u32 a = d.BlendMode != 0 ? static_cast<u32>(d.BlendParam) : 255u;
    return a << 24 | (d.DrawBright & 0xFFFFFF);
}

int Pow2(int n)
{
    int c = 32;
    while (c < n) c *= 2;
    return c;
}

Pipe PipeFor(const Picture* pic, bool alpha)
{
    Pipe p;
    p.tex = pic;
    p.texW = Pow2(pic->w);
    p.texH = Pow2(pic->h);
    const DRAWSTATE& d = DrawState;
    p.modColour = !IsDrawBrightWhite(d.DrawBright);
    const bool modAlpha = d.BlendMode != 0;
    p.alphaFrom = alpha ? (modAlpha ? 2 : 1) : 0;
    p.blend = d.BlendMode == 1 ? 1 : (d.BlendMode == 2 || d.BlendMode == 5) ? 2 : (alpha ? 1 : 0);
    // Graphs without alpha are alpha-tested 1:5:5:5 textures on a 16-bit screen.
    p.texture16 = !alpha && ScreenState.ColorBits == 16;
    return p;
}

RECT Area()
{
    return DrawState.DrawArea;
}

void ModelAt(Model* m, const Picture& pic, bool alpha, int x, int y)
{
    GraphAt(m, PipeFor(&pic, alpha), pic.w, pic.h, x, y, Area(), Diffuse());
}

// A graph stretched into (x1, y1)-(x2, y2): corners from the scaled top-left
// less half a pixel; when it leaves the area, corners clamp to the area less
// half a pixel and their coordinates move with them.
void ModelStretched(Model* m, const Picture& pic, int x1, int y1, int x2, int y2)
{
    const Pipe p = PipeFor(&pic, false);
    const RECT a = Area();
    const float sx = static_cast<float>(x2 - x1) / pic.w, sy = static_cast<float>(y2 - y1) / pic.h;
    const float fx = static_cast<float>(x1) - 0.5f, fy = static_cast<float>(y1) - 0.5f;
    const bool inside = std::min(x1, x2) >= a.left && std::min(y1, y2) >= a.top && std::max(x1, x2) <= a.right &&
                        std::max(y1, y2) <= a.bottom;
    const float l = a.left - 0.5f, r = a.right - 0.5f, t = a.top - 0.5f, b = a.bottom - 0.5f;
    Vtx c[4];
    for (int k = 0; k < 4; ++k) {
        const float gx = (k & 1) ? static_cast<float>(pic.w) : 0.0f, gy = (k >> 1) ? static_cast<float>(pic.h) : 0.0f;
        float X = fx + gx * sx, Y = fy + gy * sy;
        float u = (k & 1) ? static_cast<float>(pic.w) / p.texW : 0.0f;
        float v = (k >> 1) ? static_cast<float>(pic.h) / p.texH : 0.0f;
        if (!inside) {
            const float du = 1.0f / (p.texW * sx), dv = 1.0f / (p.texH * sy);
            if (X < l) u += (l - X) * du, X = l;
            else if (X > r) u -= (X - r) * du, X = r;
            if (Y < t) v += (t - Y) * dv, Y = t;
            else if (Y > b) v -= (Y - b) * dv, Y = b;
        }
        c[k] = Vtx{X, Y, u, v, Diffuse()};
    }
    Quad(m, p, c, a);
}

// A graph turned about (x, y) at rate 1: the centre at its integer half, the
// quad a 32nd of a pixel up and left in graph space, its texture
// coordinates half as far.
void ModelTurned(Model* m, const Picture& pic, int x, int y, double angle)
{
    const Pipe p = PipeFor(&pic, false);
    float s = 0, c = 1;
    ComputeSinCos(static_cast<float>(angle), &s, &c);
    const float n = 1.0f / 32.0f, cx = static_cast<float>(pic.w / 2), cy = static_cast<float>(pic.h / 2);
    Vtx q[4];
    for (int k = 0; k < 4; ++k) {
        const float gx = static_cast<float>((k & 1) ? pic.w : 0), gy = static_cast<float>((k >> 1) ? pic.h : 0);
        const float ox = gx - n - cx, oy = gy - n - cy;
        const float u = (gx - 0.5f * n) / p.texW, v = (gy - 0.5f * n) / p.texH;
        q[k] = Vtx{x + ox * c - oy * s, y + ox * s + oy * c, u, v, Diffuse()};
    }
    Quad(m, p, q, Area());
}

// The shape colour: the colour value's channels scaled by the diffuse colour.
u32 ShapeDiffuse(DWORD colour)
{
    int r = 0, g = 0, b = 0;
    SplitColorValueToRGB(colour, &r, &g, &b);
    const u32 d = Diffuse();
    return (d & 0xFF000000u) | static_cast<u32>(r * static_cast<int>((d >> 16) & 0xFF) / 255) << 16 |
           static_cast<u32>(g * static_cast<int>((d >> 8) & 0xFF) / 255) << 8 |
           static_cast<u32>(b * static_cast<int>(d & 0xFF) / 255);
}

Pipe ShapePipe()
{
    Pipe p;
    p.blend = DrawState.BlendMode == 1 ? 1 : (DrawState.BlendMode == 2 || DrawState.BlendMode == 5) ? 2 : 0;
    return p;
}

// The midpoint circle: outline points, or one row span each, up to the
// area's last column.
void ModelCircle(Model* m, int cx, int cy, int r, DWORD colour, bool fill)
{
    const Pipe p = ShapePipe();
    const u32 d = ShapeDiffuse(colour);
    const RECT a = Area();
    const int left = a.left, top = a.top, right = a.right - 1, bottom = a.bottom - 1;
    std::vector<bool> done(kH, false);
    auto point = [&](int x, int y) {
        if (y >= top && y <= bottom && x <= right) m->Point(p, x, y, d, a);
    };
    auto row = [&](int y, int x1, int x2) {
        if (y < top || y > bottom || x2 < left || x1 > right || done[y]) return;
        done[y] = true;
        m->Line(p, std::max(x1, left), y, std::min(x2, right) + 1, y, d, a);
    };
    int x = 0, y = r, dd = 3 - 2 * r;
    if (!fill) {
        point(cx + r, cy), point(cx - r, cy), point(cx, cy + r), point(cx, cy - r);
        for (;;) {
            if (dd < 0) dd += 4 * x + 6;
            else dd += 4 * (x - y) + 10, --y;
            ++x;
            if (x > y) break;
            const int pts[8][2] = {{x, y}, {-x, y}, {x, -y}, {-x, -y}, {y, x}, {-y, x}, {y, -x}, {-y, -x}};
            for (auto& q : pts) point(cx + q[0], cy + q[1]);
        }
        return;
    }
    row(cy, cx - r, cx + r);
    if (dd >= 0) row(cy + r, cx, cx), row(cy - r, cx, cx);
    while (x <= y) {
        row(cy + x, cx - y, cx + y);
        row(cy - x, cx - y, cx + y);
        if (dd >= 0) row(cy + y, cx - x, cx + x), row(cy - y, cx - x, cx + x);
        if (dd < 0) dd += 4 * x + 6;
        else dd += 4 * (x - y) + 10, --y;
        ++x;
    }
}

void ModelBox(Model* m, int x1, int y1, int x2, int y2, DWORD colour)
{
    const u32 d = ShapeDiffuse(colour);
    const Vtx c[4] = {{double(x1), double(y1), 0, 0, d}, {double(x2), double(y1), 0, 0, d},
                      {double(x1), double(y2), 0, 0, d}, {double(x2), double(y2), 0, 0, d}};
    Quad(m, ShapePipe(), c, Area());
}

struct SceneGraphs {
    Picture opaque = Pattern(20, 16, 1, false);
    Picture ghost = Pattern(13, 11, 2, true);
    int opaqueGraph = -1, ghostGraph = -1;
};

class D3DScene : public testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        ASSERT_EQ(StartDirect3DLibrary(kW, kH, GetParam()), 0);
        ASSERT_EQ(IsDirect3DActive(), 1);
    }
    void TearDown() override
    {
        EndDirect3DLibrary();
    }

    // The back screen and the model filled with one colour.
    static void Clear(Model* ref, int r, int g, int b)
    {
        SelectDrawTarget(-2);
        SysState.BackgroundRed = r;
        SysState.BackgroundGreen = g;
        SysState.BackgroundBlue = b;
        EraseScreen();
        ref->Fill(r, g, b);
    }

    static void Load(SceneGraphs* s)
    {
        PngSpec spec;
        spec.width = s->opaque.w;
        spec.height = s->opaque.h;
        spec.colorType = 2;
        for (u32 v : s->opaque.argb) {
            spec.samples.push_back(static_cast<std::uint8_t>(v >> 16));
            spec.samples.push_back(static_cast<std::uint8_t>(v >> 8));
            spec.samples.push_back(static_cast<std::uint8_t>(v));
        }
        WriteFileBytes("d3d_opaque.png", WritePng(spec));
        spec.width = s->ghost.w;
        spec.height = s->ghost.h;
        spec.colorType = 6;
        spec.samples.clear();
        for (u32 v : s->ghost.argb) {
            spec.samples.push_back(static_cast<std::uint8_t>(v >> 16));
            spec.samples.push_back(static_cast<std::uint8_t>(v >> 8));
            spec.samples.push_back(static_cast<std::uint8_t>(v));
            spec.samples.push_back(static_cast<std::uint8_t>(v >> 24));
        }
        WriteFileBytes("d3d_ghost.png", WritePng(spec));
        s->opaqueGraph = LoadGraphFile("d3d_opaque.png", 0);
        s->ghostGraph = LoadGraphFile("d3d_ghost.png", 0);
    }
};

TEST_P(D3DScene, GraphsAndShapesMatchTheDeviceModel)
{
    SceneGraphs s;
    Load(&s);
    ASSERT_NE(s.opaqueGraph, -1);
    ASSERT_NE(s.ghostGraph, -1);
    EXPECT_EQ(GetGraphRecord(s.opaqueGraph)->Format.Texture, 1);

    Model ref(GetParam() == 32);
    Clear(&ref, 12, 34, 200);

    SelectBlendMode(0, 255);
    const int spots[][2] = {{100, 100}, {-7, 40}, {60, -5}, {kW - 9, 200}, {300, kH - 6}, {-3, -4}};
    for (auto& p : spots) {
        EXPECT_EQ(DrawGraphAt(p[0], p[1], s.opaqueGraph, 0), 0);
        ModelAt(&ref, s.opaque, false, p[0], p[1]);
    }
    const int modes[][2] = {{0, 255}, {1, 128}, {2, 200}};
    int x = 150;
    for (auto& m : modes) {
        SelectBlendMode(m[0], m[1]);
        EXPECT_EQ(DrawGraphAt(x, 150, s.ghostGraph, 1), 0);
        ModelAt(&ref, s.ghost, true, x, 150);
        EXPECT_EQ(DrawGraphAt(x, 170, s.opaqueGraph, 0), 0);
        ModelAt(&ref, s.opaque, false, x, 170);
        x += 40;
    }
    SelectBlendMode(0, 255);
    SelectBrightness(200, 150, 100);
    EXPECT_EQ(DrawGraphAt(300, 150, s.opaqueGraph, 0), 0);
    ModelAt(&ref, s.opaque, false, 300, 150);
    EXPECT_EQ(DrawGraphAt(340, 150, s.ghostGraph, 1), 0);
    ModelAt(&ref, s.ghost, true, 340, 150);
    SelectBrightness(255, 255, 255);

    EXPECT_EQ(DrawGraphStretched(400, 20, 451, 47, s.opaqueGraph, 0), 0);
    ModelStretched(&ref, s.opaque, 400, 20, 451, 47);
    EXPECT_EQ(DrawGraphStretched(460, 60, 440, 30, s.opaqueGraph, 0), 0);
    ModelStretched(&ref, s.opaque, 460, 60, 440, 30);
    SelectBlendMode(1, 100);
    EXPECT_EQ(DrawGraphStretched(620, 90, 660, 130, s.opaqueGraph, 0), 0);
    ModelStretched(&ref, s.opaque, 620, 90, 660, 130);
    SelectBlendMode(0, 255);
    const double pi = std::acos(-1.0);
    EXPECT_EQ(DrawGraphRotated(520, 250, 1.0, pi / 2, s.opaqueGraph, 0, 0), 0);
    ModelTurned(&ref, s.opaque, 520, 250, pi / 2);
    SelectBlendMode(2, 255);
    EXPECT_EQ(DrawGraphRotated(570, 250, 1.0, pi, s.opaqueGraph, 0, 0), 0);
    ModelTurned(&ref, s.opaque, 570, 250, pi);
    SelectBlendMode(0, 255);

    const DWORD red = GetColorValue(255, 0, 0), yellow = GetColorValue(255, 255, 0), cyan = GetColorValue(0, 255, 255);
    EXPECT_EQ(DrawLineSegment(10, 400, 110, 400, red, 1), 0);
    ref.Line(ShapePipe(), 10, 400, 110 - 0.1f, 400, ShapeDiffuse(red), Area());
    EXPECT_EQ(DrawLineSegment(20, 410, 20, 470, cyan, 1), 0);
    ref.Line(ShapePipe(), 20, 410, 20, 470 - 0.1f, ShapeDiffuse(cyan), Area());
    EXPECT_EQ(DrawLineSegment(30, 410, 60, 440, yellow, 1), 0);
    ref.Line(ShapePipe(), 30, 410, 60, 440, ShapeDiffuse(yellow), Area());
    EXPECT_EQ(DrawCircleShape(500, 100, 10, yellow, 0), 0);
    ModelCircle(&ref, 500, 100, 10, yellow, false);
    SelectBlendMode(1, 128);
    EXPECT_EQ(DrawCircleShape(560, 100, 7, red, 1), 0);
    ModelCircle(&ref, 560, 100, 7, red, true);
    SelectBlendMode(0, 255);
    EXPECT_EQ(DrawCircleShape(kW - 4, kH - 5, 12, cyan, 1), 0);
    ModelCircle(&ref, kW - 4, kH - 5, 12, cyan, true);
    SelectBlendMode(2, 160);
    EXPECT_EQ(G_D3D_DrawFilledBox(200, 320, 260, 380, cyan), 0);
    ModelBox(&ref, 200, 320, 260, 380, cyan);
    SelectBlendMode(0, 255);
    EXPECT_EQ(G_D3D_DrawFilledBox(kW - 10, kH - 10, kW + 10, kH + 10, red), 0);
    ModelBox(&ref, kW - 10, kH - 10, kW, kH, red);

    ASSERT_EQ(PresentScreen(), 0);
    std::string first;
    EXPECT_EQ(CountDifferences(ref, &first), 0) << first;
    int w = 0, h = 0;
    const u32* shown = GetLastPresentedPixels(&w, &h);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown[400 * w + 50] & 0xFFFFFF, 0xFF0000u);   // the red line
    EXPECT_EQ(shown[400 * w + 110] & 0xFFFFFF, ref.Shown(110, 400));  // its last pixel left out
    EXPECT_EQ(shown[90 * w + 500] & 0xFFFFFF, 0xFFFF00u);   // the circle's top
}

// 255 minus every pixel: a white box in the device's inverting blend.
void ModelInvert(Model* m)
{
    Pipe p;
    p.blend = 3;
    const RECT all{0, 0, m->Width(), m->Height()};
    const Vtx c[4] = {{0, 0, 0, 0, 0xFFFFFFFFu}, {double(all.right), 0, 0, 0, 0xFFFFFFFFu},
                      {0, double(all.bottom), 0, 0, 0xFFFFFFFFu}, {double(all.right), double(all.bottom), 0, 0, 0xFFFFFFFFu}};
    Quad(m, p, c, all);
}

// Subtraction as the arithmetic of invert, add, invert: the whole screen is
// inverted (so the library's choice of rectangle is not taken on trust), the
// draw modelled as the device's add by the blend parameter, and inverted back.
template <class Draw>
void ModelSubtract(Model* m, Draw draw)
{
    ModelInvert(m);
    const int mode = DrawState.BlendMode;
    DrawState.BlendMode = 5;
    draw();
    DrawState.BlendMode = mode;
    ModelInvert(m);
}

TEST_P(D3DScene, SubtractIsInvertAddInvertAndLeavesTheStateAsItWas)
{
    SceneGraphs s;
    Load(&s);
    ASSERT_NE(s.opaqueGraph, -1);
    Model ref(GetParam() == 32);
    Clear(&ref, 12, 200, 90);
    // A patterned floor to subtract from, darker and lighter than the graphs.
    SelectBlendMode(0, 255);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(DrawGraphStretched(100 + 20 * k, 100, 120 + 20 * k, 116, s.opaqueGraph, 0), 0);
        ModelStretched(&ref, s.opaque, 100 + 20 * k, 100, 120 + 20 * k, 116);
    }

    struct Case {
        int param, r, g, b;
    };
    const Case cases[] = {{255, 255, 255, 255}, {160, 200, 150, 100}, {0, 255, 255, 255}};
    int y = 104;
    for (const Case& c : cases) {
        SelectBlendMode(3, c.param);
        SelectBrightness(c.r, c.g, c.b);
        const DWORD bright = DrawState.DrawBright;
        EXPECT_EQ(DrawGraphAt(110, y, s.opaqueGraph, 0), 0);
        ModelSubtract(&ref, [&] { ModelAt(&ref, s.opaque, false, 110, y); });
        EXPECT_EQ(DrawGraphAt(150, y, s.ghostGraph, 1), 0);
        ModelSubtract(&ref, [&] { ModelAt(&ref, s.ghost, true, 150, y); });
        EXPECT_EQ(DrawState.BlendMode, 3);
        EXPECT_EQ(DrawState.BlendParam, c.param);
        EXPECT_EQ(DrawState.DrawBright, bright);
        EXPECT_EQ(D3DState.DiffuseColor, static_cast<DWORD>(c.param) << 24 | bright);
        y += 5;
    }
    SelectBrightness(255, 255, 255);
    SelectBlendMode(3, 255);
    // Clipped by the screen's corner, turned, stretched and mirrored.
    EXPECT_EQ(DrawGraphAt(-5, -3, s.opaqueGraph, 0), 0);
    ModelSubtract(&ref, [&] { ModelAt(&ref, s.opaque, false, -5, -3); });
    const double pi = std::acos(-1.0);
    EXPECT_EQ(DrawGraphRotated(130, 110, 1.0, pi / 2, s.opaqueGraph, 0, 0), 0);
    ModelSubtract(&ref, [&] { ModelTurned(&ref, s.opaque, 130, 110, pi / 2); });
    EXPECT_EQ(DrawGraphStretched(190, 125, 160, 95, s.opaqueGraph, 0), 0);
    ModelSubtract(&ref, [&] { ModelStretched(&ref, s.opaque, 190, 125, 160, 95); });
    // A quad whose right and bottom corners pass pixel centres.
    const float qx = 300.0f, qy = 300.0f, qr = 320.6f, qb = 316.7f;
    EXPECT_EQ(DrawGraphToQuadF(qx, qy, qr, qy, qr, qb, qx, qb, s.opaqueGraph, 0), 0);
    ModelSubtract(&ref, [&] {
        const Pipe p = PipeFor(&s.opaque, false);
        const float u = static_cast<float>(s.opaque.w) / p.texW, v = static_cast<float>(s.opaque.h) / p.texH;
        const Vtx c[4] = {{qx, qy, 0, 0, Diffuse()}, {qr, qy, u, 0, Diffuse()}, {qx, qb, 0, v, Diffuse()},
                          {qr, qb, u, v, Diffuse()}};
        Quad(&ref, p, c, Area());
    });
    // Shapes on the device subtract the same way.
    const DWORD grey = GetColorValue(100, 120, 140);
    EXPECT_EQ(DrawLineSegment(100, 130, 180, 130, grey, 1), 0);
    ModelSubtract(&ref, [&] { ref.Line(ShapePipe(), 100, 130, 180 - 0.1f, 130, ShapeDiffuse(grey), Area()); });
    EXPECT_EQ(DrawCircleShape(140, 108, 9, grey, 1), 0);
    ModelSubtract(&ref, [&] { ModelCircle(&ref, 140, 108, 9, grey, true); });
    SelectBlendMode(0, 255);

    ASSERT_EQ(PresentScreen(), 0);
    std::string first;
    EXPECT_EQ(CountDifferences(ref, &first), 0) << first;
}

// While the device cannot draw, its shapes go 2D, where mode 3 subtracts by
// itself: no inversion is made (a 2D inversion box would blacken the
// rectangle, and the 2D kernels draw nothing in the device's add mode).
TEST_P(D3DScene, ShapesSubtractIn2DWhileTheDeviceCannotDraw)
{
    SelectDrawTarget(-2);
    SysState.BackgroundRed = SysState.BackgroundGreen = SysState.BackgroundBlue = 0;
    EraseScreen();
    // Odd floors keep the 2D subtract's half-channel steps exact.
    SelectBlendMode(0, 255);
    EXPECT_EQ(DrawCircleShape(16, 16, 40, GetColorValue(201, 97, 49), 1), 0);
    G_D3D_FlushCurrentVertexBatch();
    D3DState.DeviceUnusable = 1;
    SelectBlendMode(3, 255);
    const DWORD grey = GetColorValue(48, 48, 48);
    EXPECT_EQ(DrawCircleShape(16, 16, 4, grey, 1), 0);
    EXPECT_EQ(DrawLineSegment(2, 28, 30, 28, grey, 1), 0);
    EXPECT_EQ(DrawState.BlendMode, 3);
    D3DState.DeviceUnusable = 0;
    SelectBlendMode(0, 255);
    ASSERT_EQ(PresentScreen(), 0);
    int w = 0, h = 0;
    const u32* shown = GetLastPresentedPixels(&w, &h);
    ASSERT_NE(shown, nullptr);
    auto at = [&](int x, int y) { return shown[y * w + x] & 0xFFFFFF; };
    const u32 floor = at(30, 10);
    EXPECT_NE(floor, 0u);
    EXPECT_EQ(at(12, 12), floor);  // in the circle's rectangle, not in the circle
    for (const u32 v : {at(16, 16), at(10, 28)}) {
        EXPECT_NE(v, floor);
        EXPECT_NE(v, 0u);
        if (GetParam() == 32) {
            EXPECT_EQ(v, floor - 0x303030u);
        }
    }
}

// The same subtract draws through the software renderer and through the
// device's invert, add, invert. Each test starts the back-end it draws with.
class SubtractBackEnds : public D3DScene {
protected:
    void SetUp() override {}
    void TearDown() override
    {
        if (started_ == 1) EndDrawingLibrary();
        if (started_ == 2) EndDirect3DLibrary();
        started_ = 0;
    }

    // The screen after a floor of graphs and, over it, the graph subtracted
    // with `param` at the given brightness.
    std::vector<u32> Draw(bool device, int param, int r, int g, int b)
    {
        started_ = device ? 2 : 1;
        const int start = device ? StartDirect3DLibrary(kW, kH, GetParam()) : StartDrawingLibrary(kW, kH, GetParam());
        EXPECT_EQ(start, 0);
        EXPECT_EQ(IsDirect3DActive(), device ? 1 : 0);
        SceneGraphs s;
        Load(&s);
        SelectDrawTarget(-2);
        SysState.BackgroundRed = 12;
        SysState.BackgroundGreen = 200;
        SysState.BackgroundBlue = 90;
        EraseScreen();
        SelectBlendMode(0, 255);
        for (int k = 0; k < 4; ++k) DrawGraphAt(100 + 20 * k, 100, s.opaqueGraph, 0);
        SelectBlendMode(3, param);
        SelectBrightness(r, g, b);
        DrawGraphAt(110, 104, s.opaqueGraph, 0);
        PresentScreen();
        int w = 0, h = 0;
        const u32* shown = GetLastPresentedPixels(&w, &h);
        std::vector<u32> out;
        for (int i = 0; shown != nullptr && w == kW && i < w * h; ++i) out.push_back(shown[i] & 0xFFFFFF);
        TearDown();
        return out;
    }

    int started_ = 0;
};

// Where the two may differ: the software renderer scales the source with
// truncated products and subtracts green and red without their lowest bit
// (carrying the channel below into it); the device rounds its products. At
// 16 bits the device subtracts a source held in 5 bits a channel, the
// software renderer works on the screen's fields a bit short, so the two
// may lie up to three 5-bit steps apart there. At full parameter and
// brightness on 32 bits both subtract exactly. (At 16 bits even the floor
// differs: the device's texture of an opaque graph keeps 5 bits of green.)
TEST_P(SubtractBackEnds, DeviceSubtractMatchesTheSoftwareRendererUpToRounding)
{
    struct Case {
        int param, r, g, b;
    };
    const Case cases[] = {{255, 255, 255, 255}, {160, 255, 255, 255}, {255, 200, 150, 100}};
    const RECT drawn{110, 104, 130, 120};
    for (const Case& c : cases) {
        const std::vector<u32> soft = Draw(false, c.param, c.r, c.g, c.b);
        const std::vector<u32> dev = Draw(true, c.param, c.r, c.g, c.b);
        ASSERT_EQ(soft.size(), static_cast<std::size_t>(kW * kH));
        ASSERT_EQ(dev.size(), soft.size());
        const bool exact = GetParam() == 32 && c.param == 255 && c.r == 255 && c.g == 255 && c.b == 255;
        const int bound = exact ? 0 : GetParam() == 32 ? 3 : 24;
        int worst = 0, outside = 0;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const u32 a = soft[y * kW + x], d = dev[y * kW + x];
                if (x < drawn.left || x >= drawn.right || y < drawn.top || y >= drawn.bottom) {
                    outside += a != d;
                    continue;
                }
                for (int k = 0; k < 24; k += 8)
                    worst = std::max(worst, std::abs(static_cast<int>((a >> k) & 0xFF) - static_cast<int>((d >> k) & 0xFF)));
            }
        if (GetParam() == 32) {
            EXPECT_EQ(outside, 0) << "param " << c.param;
        }
        EXPECT_LE(worst, bound) << "param " << c.param << " brightness " << c.r << "," << c.g << "," << c.b;
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, SubtractBackEnds, testing::Values(32, 16),
                         [](const testing::TestParamInfo<int>& info) { return "Bits" + std::to_string(info.param); });

INSTANTIATE_TEST_SUITE_P(Depths, D3DScene, testing::Values(32, 16),
                         [](const testing::TestParamInfo<int>& info) { return "Bits" + std::to_string(info.param); });

} // namespace
