// Graphs and shapes drawn through the Direct3D back-end on the software
// device, presented full screen at 16 and 32 bits and compared with a picture
// that the tests' model of the device's rules draws from the same vertices.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/api.h"
#include "core/number.h"
#include "core/sysstate.h"
#include "graphics/d3ddevice.h"
#include "graphics/d3ddraw.h"
#include "graphics/d3dtexture.h"
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
    p.blend = d.BlendMode == 1 ? 1 : d.BlendMode == 2 ? 2 : (alpha ? 1 : 0);
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

// An even-sized graph turned about (x, y) at rate 1: centre at half its size,
// the position half a pixel up and left.
void ModelTurned(Model* m, const Picture& pic, int x, int y, double angle)
{
    const Pipe p = PipeFor(&pic, false);
    float s = 0, c = 1;
    ComputeSinCos(static_cast<float>(angle), &s, &c);
    const float px = x - 0.5f, py = y - 0.5f, cx = static_cast<float>(pic.w / 2), cy = static_cast<float>(pic.h / 2);
    Vtx q[4];
    for (int k = 0; k < 4; ++k) {
        const float ox = ((k & 1) ? pic.w : 0) - cx, oy = ((k >> 1) ? pic.h : 0) - cy;
        const float u = (k & 1) ? static_cast<float>(pic.w) / p.texW : 0.0f;
        const float v = (k >> 1) ? static_cast<float>(pic.h) / p.texH : 0.0f;
        q[k] = Vtx{px + ox * c - oy * s, py + ox * s + oy * c, u, v, Diffuse()};
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
    p.blend = DrawState.BlendMode == 1 ? 1 : DrawState.BlendMode == 2 ? 2 : 0;
    return p;
}

// The midpoint circle: outline points, or one row span each, the row's last
// column one short of the area's right edge.
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
        m->Line(p, std::max(x1, left), y, std::min(x2, right - 1) + 1, y, d, a);
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

    void Load(SceneGraphs* s)
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
    SelectDrawTarget(-2);
    SysState.BackgroundRed = 12;
    SysState.BackgroundGreen = 34;
    SysState.BackgroundBlue = 200;
    EraseScreen();
    ref.Fill(12, 34, 200);

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

INSTANTIATE_TEST_SUITE_P(Depths, D3DScene, testing::Values(32, 16),
                         [](const testing::TestParamInfo<int>& info) { return "Bits" + std::to_string(info.param); });

} // namespace
