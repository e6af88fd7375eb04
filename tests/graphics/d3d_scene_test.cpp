// Graphs and shapes drawn through the Direct3D back-end on the software
// device, presented full screen at 16 and 32 bits and compared with a picture
// that a small model of the device's rules draws from the same vertices:
// pixel centres on integers, top-left fill on 1/256-pixel positions, flat
// colour from a triangle's first vertex, point sampling with clamping, the
// stage and blend rules, lines without their last pixel.
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
#include "support/image_fixtures.h"
#include "support/library_fixture.h"

namespace {

using u32 = std::uint32_t;
constexpr int kW = 640;
constexpr int kH = 480;

// 0xAARRGGBB texels of a w x h picture.
struct Picture {
    int w = 0, h = 0;
    std::vector<u32> argb;
};

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

int Mul(int a, int b)
{
    return (2 * a * b + 255) / 510;
}

// What the model draws with: a texture (or none), how colour and alpha are
// combined, the blend and the alpha test.
struct Pipe {
    const Picture* tex = nullptr;
    int texW = 1, texH = 1;  // the texture's power-of-two size
    bool modColour = false;  // texel x diffuse, else texel (or diffuse without texture)
    int alphaFrom = 0;       // 0 diffuse, 1 texel, 2 texel x diffuse
    int blend = 0;           // 0 none, 1 src-alpha / inv-src-alpha, 2 src-alpha / one
    bool alphaTest = false;  // alpha > 0 passes
};

struct Vtx {
    double x, y, u, v;
    u32 diffuse;  // 0xAARRGGBB
};

// The device's rules on the screen's raw pixels.
class Model {
public:
    explicit Model(bool x8888) : x8888_(x8888), px_(kW * kH, 0) {}

    void Fill(int r, int g, int b)
    {
        for (u32& v : px_) v = Encode(r, g, b);
    }

    void Triangle(const Pipe& p, const Vtx& a, const Vtx& b, const Vtx& c, const RECT& clip)
    {
        const long long X[3] = {Snap(a.x), Snap(b.x), Snap(c.x)}, Y[3] = {Snap(a.y), Snap(b.y), Snap(c.y)};
        const long long area = (X[1] - X[0]) * (Y[2] - Y[0]) - (Y[1] - Y[0]) * (X[2] - X[0]);
        if (area == 0) return;
        const double x0 = X[0] / 256.0, y0 = Y[0] / 256.0;
        const double e1x = X[1] / 256.0 - x0, e1y = Y[1] / 256.0 - y0, e2x = X[2] / 256.0 - x0, e2y = Y[2] / 256.0 - y0;
        const double det = e1x * e2y - e2x * e1y;
        auto grad = [&](double f0, double f1, double f2, double* dx, double* dy) {
            *dx = ((f1 - f0) * e2y - (f2 - f0) * e1y) / det;
            *dy = ((f2 - f0) * e1x - (f1 - f0) * e2x) / det;
        };
        double udx, udy, vdx, vdy;
        grad(a.u, b.u, c.u, &udx, &udy);
        grad(a.v, b.v, c.v, &vdx, &vdy);
        for (int py = clip.top; py < clip.bottom; ++py)
            for (int px = clip.left; px < clip.right; ++px) {
                if (!Inside(X, Y, area > 0, px * 256LL, py * 256LL)) continue;
                const double u = a.u + udx * (px - x0) + udy * (py - y0);
                const double v = a.v + vdx * (px - x0) + vdy * (py - y0);
                Shade(p, px, py, u, v, a.diffuse);
            }
    }

    // Columns (or rows) from the first end's nearest centre up to, not
    // including, the second end's.
    void Line(const Pipe& p, double ax, double ay, double bx, double by, u32 diffuse, const RECT& clip)
    {
        const double dx = bx - ax, dy = by - ay;
        const bool xMajor = std::fabs(dx) >= std::fabs(dy);
        const double s0 = xMajor ? ax : ay, s1 = xMajor ? bx : by;
        const long long c0 = static_cast<long long>(std::floor(s0 + 0.5)),
                        c1 = static_cast<long long>(std::floor(s1 + 0.5));
        for (long long k = c0; k != c1; k += (c1 > c0 ? 1 : -1)) {
            double t = (k - s0) / (xMajor ? dx : dy);
            t = std::min(1.0, std::max(0.0, t));
            const long long m = static_cast<long long>(std::floor((xMajor ? ay + t * dy : ax + t * dx) + 0.5));
            const int px = static_cast<int>(xMajor ? k : m), py = static_cast<int>(xMajor ? m : k);
            if (px >= clip.left && px < clip.right && py >= clip.top && py < clip.bottom) Shade(p, px, py, 0, 0, diffuse);
        }
    }

    void Point(const Pipe& p, double x, double y, u32 diffuse, const RECT& clip)
    {
        const int px = static_cast<int>(std::floor(x + 0.5)), py = static_cast<int>(std::floor(y + 0.5));
        if (px >= clip.left && px < clip.right && py >= clip.top && py < clip.bottom) Shade(p, px, py, 0, 0, diffuse);
    }

    u32 Shown(int x, int y) const
    {
        const u32 v = px_[y * kW + x];
        if (x8888_) return v & 0xFFFFFF;
        const u32 r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
        return (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
    }

private:
    static long long Snap(double v) { return static_cast<long long>(std::floor(static_cast<float>(v) * 256.0 + 0.5)); }

    // A centre on an edge belongs to the triangle only on its top or left edges.
    static bool Inside(const long long* X, const long long* Y, bool clockwise, long long px, long long py)
    {
        for (int e = 0; e < 3; ++e) {
            int i = e, j = (e + 1) % 3;
            if (!clockwise) std::swap(i, j);
            const long long ex = X[j] - X[i], ey = Y[j] - Y[i];
            const long long w = ex * (py - Y[i]) - ey * (px - X[i]);
            if (w < 0) return false;
            if (w == 0 && !(ey < 0 || (ey == 0 && ex > 0))) return false;
        }
        return true;
    }

    u32 Encode(int r, int g, int b) const
    {
        if (x8888_) return 0xFF000000u | static_cast<u32>(r) << 16 | static_cast<u32>(g) << 8 | static_cast<u32>(b);
        return static_cast<u32>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
    }

    void Decode(u32 v, int* r, int* g, int* b) const
    {
        if (x8888_) {
            *r = (v >> 16) & 0xFF, *g = (v >> 8) & 0xFF, *b = v & 0xFF;
            return;
        }
        const int R = (v >> 11) & 31, G = (v >> 5) & 63, B = v & 31;
        *r = R << 3 | R >> 2, *g = G << 2 | G >> 4, *b = B << 3 | B >> 2;
    }

    void Shade(const Pipe& p, int px, int py, double u, double v, u32 diffuse)
    {
        const int dr = (diffuse >> 16) & 0xFF, dg = (diffuse >> 8) & 0xFF, db = diffuse & 0xFF, da = diffuse >> 24;
        int r = dr, g = dg, b = db, a = da;
        if (p.tex != nullptr) {
            int tx = static_cast<int>(std::floor(u * p.texW)), ty = static_cast<int>(std::floor(v * p.texH));
            tx = std::min(std::max(tx, 0), p.texW - 1);
            ty = std::min(std::max(ty, 0), p.texH - 1);
            // Texels beyond the picture hold what the texture was created with: zero.
            const u32 t = (tx < p.tex->w && ty < p.tex->h) ? p.tex->argb[ty * p.tex->w + tx] : 0u;
            int tr = (t >> 16) & 0xFF, tg = (t >> 8) & 0xFF, tb = t & 0xFF;
            const int ta = t >> 24;
            if (!x8888_ && p.alphaFrom == 0) {
                // Graphs without alpha are alpha-tested 1:5:5:5 textures on a 16-bit screen.
                tr = (tr >> 3) << 3 | tr >> 5, tg = (tg >> 3) << 3 | tg >> 5, tb = (tb >> 3) << 3 | tb >> 5;
            }
            r = p.modColour ? Mul(tr, dr) : tr;
            g = p.modColour ? Mul(tg, dg) : tg;
            b = p.modColour ? Mul(tb, db) : tb;
            a = p.alphaFrom == 0 ? da : p.alphaFrom == 1 ? ta : Mul(ta, da);
        }
        if (p.alphaTest && a <= 0) return;
        u32& dst = px_[py * kW + px];
        if (p.blend != 0) {
            int or_, og, ob;
            Decode(dst, &or_, &og, &ob);
            auto mix = [&](int s, int d) {
                return std::min(255, Mul(s, a) + (p.blend == 1 ? Mul(d, 255 - a) : d));
            };
            r = mix(r, or_), g = mix(g, og), b = mix(b, ob);
        }
        dst = Encode(r, g, b);
    }

    bool x8888_;
    std::vector<u32> px_;
};

// The library's quads: corners top-left, top-right, bottom-left, bottom-right
// as two triangles (0, 1, 2) and (3, 2, 1), the diffuse colour on the first of each.
void Quad(Model* m, const Pipe& p, const Vtx c[4], const RECT& clip)
{
    m->Triangle(p, c[0], c[1], c[2], clip);
    m->Triangle(p, c[3], c[2], c[1], clip);
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
    return p;
}

RECT Area()
{
    return DrawState.DrawArea;
}

// A graph drawn at a point: its corners half a pixel up and left, clamped to the area.
void ModelAt(Model* m, const Picture& pic, bool alpha, int x, int y)
{
    const Pipe p = PipeFor(&pic, alpha);
    const RECT a = Area();
    Vtx c[4];
    const double xs[2] = {x - 0.5, x - 0.5 + pic.w}, ys[2] = {y - 0.5, y - 0.5 + pic.h};
    for (int k = 0; k < 4; ++k) {
        double X = xs[k & 1], Y = ys[k >> 1];
        double u = (k & 1) ? static_cast<double>(static_cast<float>(pic.w) / p.texW) : 0.0;
        double v = (k >> 1) ? static_cast<double>(static_cast<float>(pic.h) / p.texH) : 0.0;
        const bool inside = x >= a.left && y >= a.top && x + pic.w <= a.right && y + pic.h <= a.bottom;
        if (!inside) {
            if (X < a.left) u += (a.left - X) / p.texW, X = a.left;
            else if (X > a.right) u -= (X - a.right) / p.texW, X = a.right;
            if (Y < a.top) v += (a.top - Y) / p.texH, Y = a.top;
            else if (Y > a.bottom) v -= (Y - a.bottom) / p.texH, Y = a.bottom;
        }
        c[k] = Vtx{X, Y, u, v, Diffuse()};
    }
    Quad(m, p, c, a);
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

int CountDifferences(const Model& ref, std::string* first)
{
    int width = 0, height = 0;
    const u32* shown = GetLastPresentedPixels(&width, &height);
    if (shown == nullptr || width != kW || height != kH) {
        *first = "no picture of the screen's size";
        return -1;
    }
    int differences = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            if ((shown[y * width + x] & 0xFFFFFF) != ref.Shown(x, y) && differences++ == 0) {
                char text[96];
                std::snprintf(text, sizeof text, "(%d,%d) shown %06X, expected %06X", x, y,
                              shown[y * width + x] & 0xFFFFFF, ref.Shown(x, y));
                *first = text;
            }
    return differences;
}

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
