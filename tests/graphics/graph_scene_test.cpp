// Graphs from files to the window: PNG, BMP with its "_a" mask and JPEG
// graphs, drawn at points and clipped at every edge, stretched, mirrored,
// rotated, blended and tinted, with lines, circles, boxes and a derived
// graph, presented on 16- and 32-bit screens and compared with a picture the
// kernels' reference models compose; then the same frame after a lost screen.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "core/api.h"
#include "core/input.h"
#include "core/sysstate.h"
#include "graphics/soft/backend2d.h"
#include "graphics/drawapi.h"
#include "graphics/drawstate.h"
#include "graphics/graph.h"
#include "graphics/screen.h"
#include "graphics/soft/surface2d.h"
#include "platform/ddraw/ddraw_test.h"
#include "platform/display/display.h"
#include "platform/kernel/clock.h"
#include "softrender/blit/blit_reference.h"
#include "support/library_fixture.h"
#include "support/image_fixtures.h"
#include "support/pixel_reference.h"
#include "support/vertexcolour_reference.h"

namespace {

using u32 = std::uint32_t;

constexpr int kW = 640;
constexpr int kH = 480;

// An image as the test made it: 8-bit channels and alpha.
struct Picture {
    int w = 0;
    int h = 0;
    std::vector<u32> argb;  // a << 24 | r << 16 | g << 8 | b
};

Picture Pattern(int w, int h, int seed, bool withBlack)
{
    Picture p{w, h, {}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            u32 r = (x * 37 + seed * 11) & 0xFF, g = (y * 53 + x * 7 + seed) & 0xFF, b = (x * y * 3 + seed * 5) & 0xFF;
            if (withBlack && (x + y) % 5 == 0) r = g = b = 0;
            p.argb.push_back(0xFF000000u | r << 16 | g << 8 | b);
        }
    return p;
}

Bytes Rgb24Rows(const Picture& p)
{
    Bytes rows;
    for (u32 v : p.argb) {
        rows.push_back(static_cast<std::uint8_t>(v >> 16));
        rows.push_back(static_cast<std::uint8_t>(v >> 8));
        rows.push_back(static_cast<std::uint8_t>(v));
    }
    return rows;
}

Bytes BmpRows(const Picture& p)
{
    Bytes rows;
    const int pad = (4 - (p.w * 3) % 4) % 4;
    for (int y = p.h - 1; y >= 0; --y) {
        for (int x = 0; x < p.w; ++x) {
            const u32 v = p.argb[y * p.w + x];
            rows.push_back(static_cast<std::uint8_t>(v));
            rows.push_back(static_cast<std::uint8_t>(v >> 8));
            rows.push_back(static_cast<std::uint8_t>(v >> 16));
        }
        for (int i = 0; i < pad; ++i) rows.push_back(0);
    }
    return rows;
}

// The picture in a software image's raw pixels, as the reference models take them.
std::vector<u32> Raw(const Picture& p, bool x8888, bool alpha)
{
    std::vector<u32> raw;
    for (u32 v : p.argb) {
        const u32 a = v >> 24, r = (v >> 16) & 0xFF, g = (v >> 8) & 0xFF, b = v & 0xFF;
        if (x8888) {
            raw.push_back((alpha ? a << 24 : 0u) | r << 16 | g << 8 | b);
        } else {
            raw.push_back((alpha ? a << 16 : 0u) | (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
        }
    }
    return raw;
}

// A 5- or 6-bit channel widened the way the desktop shows 16-bit pictures.
u32 Widen(u32 v, int bits)
{
    return bits == 5 ? (v << 3 | v >> 2) : (v << 2 | v >> 4);
}

// The picture the reference composes, in the screen's raw pixels.
class Canvas {
public:
    explicit Canvas(bool x8888) : x8888_(x8888), px_(kW * kH, 0) {}

    u32 Colour(int r, int g, int b) const
    {
        return x8888_ ? (static_cast<u32>(r) << 16 | g << 8 | b) : ((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
    }
    void Fill(u32 v) { std::fill(px_.begin(), px_.end(), v); }

    void Blit(const std::vector<u32>& src, int sw, int sh, int x, int y, bool alpha, int keyFlag, u32 key)
    {
        blitref::Call k{};
        k.format = x8888_ ? 1 : 0;
        k.kind = alpha ? blitref::kAlpha : blitref::kDirect;
        k.mode = DrawState.BlendMode;
        k.p = DrawState.BlendParam;
        k.bright = DrawState.DrawBright & 0xFFFFFF;
        k.keyFlag = keyFlag;
        k.key = key;
        k.mmx = SysState.MMXFlag == 1;
        blitref::Images m{};
        m.sw = sw;
        m.sh = sh;
        m.src = src;
        m.dw = kW;
        m.dh = kH;
        m.dst = px_;
        m.x = x;
        m.y = y;
        m.areaLeft = DrawState.DrawArea.left;
        m.areaTop = DrawState.DrawArea.top;
        m.areaRight = DrawState.DrawArea.right;
        m.areaBottom = DrawState.DrawArea.bottom;
        px_ = blitref::Model(k, m).Run();
    }

    // Destination column k of the ordered rectangle shows source column
    // floor(k * 65536 / R) with R = (size << 16) / source size; mirrored axes count from the far end.
    void Stretch(const std::vector<u32>& src, int sw, int sh, int x1, int y1, int x2, int y2, bool alpha)
    {
        const int l = std::min(x1, x2), t = std::min(y1, y2), r = std::max(x1, x2), b = std::max(y1, y2);
        const long long rx = (static_cast<long long>(r - l) << 16) / sw;
        const long long ry = (static_cast<long long>(b - t) << 16) / sh;
        for (int y = std::max<int>(t, DrawState.DrawArea.top); y < std::min<int>(b, DrawState.DrawArea.bottom); ++y)
            for (int x = std::max<int>(l, DrawState.DrawArea.left); x < std::min<int>(r, DrawState.DrawArea.right); ++x) {
                int sx = static_cast<int>((static_cast<long long>(x - l) << 16) / rx);
                int sy = static_cast<int>((static_cast<long long>(y - t) << 16) / ry);
                if (x1 > x2) sx = sw - 1 - sx;
                if (y1 > y2) sy = sh - 1 - sy;
                Image(x, y, src[sy * sw + sx], alpha, pixref::Family::Stretch);
            }
    }

    // A quarter or half turn about (cx, cy) at rate 1: texel (a (x - cx) + b (y - cy) + w / 2, c (x - cx) + d (y - cy) + h / 2).
    void Turn(const std::vector<u32>& src, int sw, int sh, int cx, int cy, int a, int b, int c, int d)
    {
        for (int y = DrawState.DrawArea.top; y < DrawState.DrawArea.bottom; ++y)
            for (int x = DrawState.DrawArea.left; x < DrawState.DrawArea.right; ++x) {
                const int u = a * (x - cx) + b * (y - cy) + (sw >> 1);
                const int v = c * (x - cx) + d * (y - cy) + (sh >> 1);
                if (u >= 0 && u < sw && v >= 0 && v < sh) Image(x, y, src[v * sw + u], false, pixref::Family::RotTri3D);
            }
    }

    void Flat(int x, int y, u32 colour)
    {
        const RECT& a = DrawState.DrawArea;
        if (x < a.left || x >= a.right || y < a.top || y >= a.bottom) return;
        pixref::FlatCase k{x8888_, DrawState.BlendMode, DrawState.BlendParam, DrawState.DrawBright & 0xFFFFFF, colour};
        if (auto v = pixref::FlatPixel(k, px_[y * kW + x])) px_[y * kW + x] = *v;
    }

    void Box(int x1, int y1, int x2, int y2, u32 colour)
    {
        for (int y = std::min(y1, y2); y < std::max(y1, y2); ++y)
            for (int x = std::min(x1, x2); x < std::max(x1, x2); ++x) Flat(x, y, colour);
    }

    // The circle walk of the kernel, from its decision sequence.
    void Circle(int x, int y, int r, u32 colour, bool fill)
    {
        std::vector<bool> rowDone(kH, false);
        auto plot = [&](int px, int py) { Flat(px, py, colour); };
        auto span = [&](int row, int a, int b) {
            const RECT& ar = DrawState.DrawArea;
            if (row < ar.top || row >= ar.bottom || b < ar.left || a >= ar.right || rowDone[row]) return;
            rowDone[row] = true;
            for (int i = std::max<int>(a, ar.left); i <= std::min<int>(b, ar.right - 1); ++i) Flat(i, row, colour);
        };
        int d = 3 - 2 * r, py = r, px = 1;
        if (!fill) {
            plot(x - r, y), plot(x + r, y), plot(x, y + r), plot(x, y - r);
        } else {
            span(y, x - r, x + r);
        }
        if (d >= 0) {
            if (fill) span(y + r, x, x), span(y - r, x, x);
            d += 10 - 4 * r;
            py = r - 1;
        } else {
            d += 6;
        }
        if (py < 1) return;
        while (py >= px) {
            if (!fill) {
                const int pts[8][2] = {{px, py}, {-px, py}, {px, -py}, {-px, -py}, {py, px}, {-py, px}, {py, -px}, {-py, -px}};
                for (auto& p : pts) plot(x + p[0], y + p[1]);
            } else {
                span(y + px, x - py, x + py);
                span(y - px, x - py, x + py);
            }
            if (d >= 0) {
                if (fill) span(y + py, x - px, x + px), span(y - py, x - px, x + px);
                d += 4 * (px - py) + 10;
                --py;
            } else {
                d += 4 * px + 6;
            }
            ++px;
        }
    }

    // A thick horizontal line as two triangles: rows whose centre lies strictly
    // inside y -+ t/2, columns x1 .. x2 - 1, in the untextured vertex-colour rule.
    void ThickRow(int x1, int x2, int y, int t, int r, int g, int b)
    {
        for (int row = y - t; row <= y + t; ++row) {
            const double c = row + 0.5;
            if (!(c > y - t * 0.5 && c < y + t * 0.5)) continue;
            for (int x = x1; x < x2; ++x) {
                const RECT& a = DrawState.DrawArea;
                if (x < a.left || x >= a.right || row < a.top || row >= a.bottom) continue;
                vcref::VcCase k{};
                k.X8888 = x8888_;
                k.Mode = DrawState.BlendMode;
                k.Texel = x8888_ ? 0x00FFFFFFu : 0xFFFFu;
                k.M[0] = b;
                k.M[1] = g;
                k.M[2] = r;
                k.MA = 255;
                if (auto v = vcref::VcPixel(k, px_[row * kW + x])) px_[row * kW + x] = *v;
            }
        }
    }

    // The picture as the window shows it: 0x00RRGGBB.
    u32 Shown(int x, int y) const
    {
        const u32 v = px_[y * kW + x];
        if (x8888_) return v & 0xFFFFFF;
        return Widen((v >> 11) & 31, 5) << 16 | Widen((v >> 5) & 63, 6) << 8 | Widen(v & 31, 5);
    }

private:
    void Image(int x, int y, u32 texel, bool alpha, pixref::Family fam)
    {
        pixref::ImageCase k{};
        k.X8888 = x8888_;
        k.Alpha = alpha;
        k.Mode = DrawState.BlendMode;
        k.P = DrawState.BlendParam;
        k.Bright = DrawState.DrawBright & 0xFFFFFF;
        k.Mmx = SysState.MMXFlag == 1;
        k.Fam = fam;
        k.Texel = texel;
        if (auto v = pixref::ImagePixel(k, px_[y * kW + x])) px_[y * kW + x] = *v;
    }

    bool x8888_;
    std::vector<u32> px_;
};

struct SceneFiles {
    Picture png = Pattern(20, 16, 1, true);
    Picture bmp;
    Picture jpeg;
    int jw = 0, jh = 0;
};

// Writes the three graphs' files; the JPEG's pixels are read back with a bare libjpeg.
SceneFiles MakeFiles()
{
    SceneFiles f;
    PngSpec spec;
    spec.width = f.png.w;
    spec.height = f.png.h;
    spec.colorType = 2;  // RGB
    spec.samples = Rgb24Rows(f.png);
    WriteFileBytes("sprite.png", WritePng(spec));

    f.bmp = Pattern(13, 11, 2, false);
    Picture mask{13, 11, {}};
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 13; ++x) {
            const u32 a = x < 3 ? 0 : (x > 9 ? 255 : static_cast<u32>((x * 40 + y * 9) & 0xFF));
            mask.argb.push_back(0xFF000000u | a << 16 | a << 8 | a);
            f.bmp.argb[y * 13 + x] = (f.bmp.argb[y * 13 + x] & 0xFFFFFF) | a << 24;
        }
    BmpSpec bs;
    bs.width = 13;
    bs.height = 11;
    bs.pixels = BmpRows(f.bmp);
    WriteFileBytes("ghost.bmp", WriteBmp(bs));
    bs.pixels = BmpRows(mask);
    WriteFileBytes("ghost_a.bmp", WriteBmp(bs));

    Picture photo = Pattern(24, 18, 3, false);
    const Bytes jpeg = WriteJpeg(24, 18, 3, Rgb24Rows(photo), false, 90);
    WriteFileBytes("photo.jpg", jpeg);
    int comps = 0;
    const Bytes rgb = DecodeJpegReference(jpeg, &f.jw, &f.jh, &comps);
    f.jpeg = Picture{f.jw, f.jh, {}};
    for (int i = 0; i < f.jw * f.jh; ++i)
        f.jpeg.argb.push_back(0xFF000000u | u32{rgb[3 * i]} << 16 | u32{rgb[3 * i + 1]} << 8 | rgb[3 * i + 2]);
    return f;
}

struct Graphs {
    int png = -1, bmp = -1, jpeg = -1, derived = -1;
};

// The scene through the public and draw entries; the same steps on the
// reference canvas, each after the drawing state it reads was set.
void DrawScene(const Graphs& g, const SceneFiles& f, Canvas* ref)
{
    const bool x8888 = GetRequestedColorBits() == 32;
    const std::vector<u32> png = Raw(f.png, x8888, false);
    const std::vector<u32> bmp = Raw(f.bmp, x8888, true);
    const std::vector<u32> jpeg = Raw(f.jpeg, x8888, false);
    std::vector<u32> part;
    for (int y = 3; y < 3 + 6; ++y)
        for (int x = 4; x < 4 + 8; ++x) part.push_back(png[y * 20 + x]);

    SelectDrawTarget(-2);
    SysState.BackgroundRed = 12;
    SysState.BackgroundGreen = 34;
    SysState.BackgroundBlue = 200;
    EraseScreen();
    ref->Fill(ref->Colour(12, 34, 200));

    // At points, and cut by each edge of the screen.
    SelectBlendMode(0, 255);
    const int spots[][2] = {{100, 100}, {-7, 40}, {60, -5}, {kW - 9, 200}, {300, kH - 6}, {-3, -4}};
    for (auto& s : spots) {
        EXPECT_EQ(DrawGraphAt(s[0], s[1], g.png, 0), 0);
        ref->Blit(png, 20, 16, s[0], s[1], false, 0, 0);
    }
    // The masked graph in every blend mode, and with a brightness.
    const int modes[][2] = {{0, 255}, {1, 128}, {2, 200}};
    int x = 150;
    for (auto& m : modes) {
        SelectBlendMode(m[0], m[1]);
        EXPECT_EQ(DrawGraphAt(x, 150, g.bmp, 1), 0);
        ref->Blit(bmp, 13, 11, x, 150, true, 1, 0);
        EXPECT_EQ(DrawGraphAt(x, 170, g.jpeg, 0), 0);
        ref->Blit(jpeg, f.jw, f.jh, x, 170, false, 0, 0);
        x += 40;
    }
    SelectBlendMode(0, 255);
    SelectBrightness(200, 150, 100);
    EXPECT_EQ(DrawGraphAt(300, 150, g.jpeg, 0), 0);
    ref->Blit(jpeg, f.jw, f.jh, 300, 150, false, 0, 0);
    EXPECT_EQ(DrawGraphAt(340, 150, g.bmp, 1), 0);
    ref->Blit(bmp, 13, 11, 340, 150, true, 1, 0);
    SelectBrightness(255, 255, 255);

    // Stretched, mirrored, rotated, and the derived graph.
    EXPECT_EQ(DrawGraphStretched(400, 20, 451, 47, g.png, 0), 0);
    ref->Stretch(png, 20, 16, 400, 20, 451, 47, false);
    EXPECT_EQ(DrawGraphStretched(460, 60, 440, 30, g.jpeg, 0), 0);
    ref->Stretch(jpeg, f.jw, f.jh, 460, 60, 440, 30, false);
    EXPECT_EQ(DrawGraphTurned(480, 20, g.jpeg, 0), 0);
    ref->Stretch(jpeg, f.jw, f.jh, 480 + f.jw, 20, 480, 20 + f.jh, false);
    SelectBlendMode(1, 100);
    EXPECT_EQ(DrawGraphStretched(620, 90, 660, 130, g.png, 0), 0);
    ref->Stretch(png, 20, 16, 620, 90, 660, 130, false);
    SelectBlendMode(0, 255);
    const double pi = std::acos(-1.0);
    EXPECT_EQ(DrawGraphRotated(520, 250, 1.0, pi / 2, g.png, 0, 0), 0);
    ref->Turn(png, 20, 16, 520, 250, 0, 1, -1, 0);
    SelectBlendMode(2, 255);
    EXPECT_EQ(DrawGraphRotated(570, 250, 1.0, pi, g.jpeg, 0, 0), 0);
    ref->Turn(jpeg, f.jw, f.jh, 570, 250, -1, 0, 0, -1);
    SelectBlendMode(0, 255);
    EXPECT_EQ(DrawGraphRotatedPivot(100, 300, 2, 3, 1.0, 0.0, g.derived, 0, 0), 0);
    ref->Blit(part, 8, 6, 98, 297, false, 0, 0);

    // Lines of thickness 1 to 3, circles and boxes.
    const DWORD red = GetColorValue(255, 0, 0);
    const DWORD yellow = GetColorValue(255, 255, 0);
    const DWORD cyan = GetColorValue(0, 255, 255);
    EXPECT_EQ(DrawLineSegment(10, 400, 110, 400, red, 1), 0);
    for (int i = 10; i < 110; ++i) ref->Flat(i, 400, ref->Colour(255, 0, 0));
    EXPECT_EQ(DrawLineSegment(20, 410, 20, 470, cyan, 1), 0);
    for (int i = 410; i < 470; ++i) ref->Flat(20, i, ref->Colour(0, 255, 255));
    EXPECT_EQ(DrawLineSegment(30, 410, 60, 440, yellow, 1), 0);
    for (int i = 0; i < 30; ++i) ref->Flat(30 + i, 410 + i, ref->Colour(255, 255, 0));
    EXPECT_EQ(DrawLineSegment(300, 440, 320, 440, yellow, 2), 0);
    ref->ThickRow(300, 320, 440, 2, 255, 255, 0);
    EXPECT_EQ(DrawLineSegment(340, 450, 361, 450, cyan, 3), 0);
    ref->ThickRow(340, 361, 450, 3, 0, 255, 255);
    EXPECT_EQ(DrawCircleShape(500, 100, 10, yellow, 0), 0);
    ref->Circle(500, 100, 10, ref->Colour(255, 255, 0), false);
    SelectBlendMode(1, 128);
    EXPECT_EQ(DrawCircleShape(560, 100, 7, red, 1), 0);
    ref->Circle(560, 100, 7, ref->Colour(255, 0, 0), true);
    SelectBlendMode(0, 255);
    EXPECT_EQ(DrawCircleShape(kW - 4, 350, 12, cyan, 1), 0);
    ref->Circle(kW - 4, 350, 12, ref->Colour(0, 255, 255), true);
    SelectBlendMode(2, 160);
    EXPECT_EQ(FillRect2D(200, 320, 260, 380, cyan), 0);
    ref->Box(200, 320, 260, 380, ref->Colour(0, 255, 255));
    SelectBlendMode(0, 255);
    EXPECT_EQ(FillRect2D(kW - 10, kH - 10, kW + 10, kH + 10, red), 0);
    ref->Box(kW - 10, kH - 10, kW, kH, ref->Colour(255, 0, 0));
}

int CountDifferences(const Canvas& ref, std::string* first)
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
            if ((shown[y * width + x] & 0xFFFFFF) != ref.Shown(x, y)) {
                if (differences++ == 0) {
                    char text[96];
                    std::snprintf(text, sizeof text, "(%d,%d) shown %06X, expected %06X", x, y,
                                  shown[y * width + x] & 0xFFFFFF, ref.Shown(x, y));
                    *first = text;
                }
            }
    return differences;
}

class GraphScene : public testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        ResetLibraryProcessState();
        UseManualClock(100000, 20);
        SysState.DoubleStartAllowed = 1;
        SetScreenMode(kW, kH, GetParam(), 60);
        // Full screen: a window follows the desktop's depth, the display takes the requested one.
        SelectWindowMode(0);
        ASSERT_EQ(StartLibrary(), 0);
        ASSERT_EQ(GetRequestedColorBits(), GetParam());
    }
    void TearDown() override
    {
        EndLibrary();
        UseRealClock();
    }

    Graphs Load()
    {
        Graphs g;
        g.png = LoadGraphFile("sprite.png", 1);
        g.bmp = LoadGraphFile("ghost.bmp", 1);
        g.jpeg = LoadGraphFile("photo.jpg", 1);
        g.derived = CreateDerivedGraph(4, 3, 8, 6, g.png);
        return g;
    }
};

TEST_P(GraphScene, PresentedFrameEqualsTheReferencePicture)
{
    const SceneFiles files = MakeFiles();
    const Graphs g = Load();
    ASSERT_NE(g.png, -1);
    ASSERT_NE(g.bmp, -1);
    ASSERT_NE(g.jpeg, -1);
    ASSERT_NE(g.derived, -1);
    int w = 0, h = 0;
    EXPECT_EQ(QueryGraphSize(g.jpeg, &w, &h), 0);
    EXPECT_EQ(w, files.jw);
    EXPECT_EQ(h, files.jh);

    Canvas ref(GetParam() == 32);
    DrawScene(g, files, &ref);
    ASSERT_EQ(PresentScreen(), 0);
    std::string first;
    EXPECT_EQ(CountDifferences(ref, &first), 0) << first;
    // The frame's checksum in the log lets a refactor show it drew the same pixels.
    int w2 = 0, h2 = 0;
    const u32* shown = GetLastPresentedPixels(&w2, &h2);
    ASSERT_NE(shown, nullptr);
    std::uint64_t sum = 14695981039346656037ull;
    for (int i = 0; i < w2 * h2; ++i) {
        for (int b = 0; b < 24; b += 8) sum = (sum ^ ((shown[i] >> b) & 0xFF)) * 1099511628211ull;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(sum));
    RecordProperty("frame_fnv1a", text);
    std::printf("presented frame %d-bit FNV-1a %s\n", GetParam(), text);
}

TEST_P(GraphScene, LostScreenRefillsEveryGraphFromItsFile)
{
    const SceneFiles files = MakeFiles();
    const Graphs g = Load();
    ASSERT_NE(g.derived, -1);
    Canvas ref(GetParam() == 32);
    DrawScene(g, files, &ref);
    ASSERT_EQ(PresentScreen(), 0);
    int w = 0, h = 0;
    const u32* shown = GetLastPresentedPixels(&w, &h);
    const std::vector<u32> before(shown, shown + w * h);

    // The display went away: surfaces are lost and the graphs' pixels are
    // overwritten, as a loss leaves them; the rebuild refills them from their files.
    MarkAllDirectDrawSurfacesLost();
    for (int graph : {g.png, g.bmp, g.jpeg}) FillGraphWithColor(graph, 255, 0, 255, 255);
    ComposePadInputBits(1);
    ASSERT_EQ(IsInputStarted(), 1);
    RecreateLostScreen();
    // The input devices end with the old display and start again at the next read.
    EXPECT_EQ(IsInputStarted(), 0);
    EXPECT_TRUE(Contains(ReadLogFile(), "関連の終了処理... 完了"));
    ComposePadInputBits(1);
    EXPECT_EQ(IsInputStarted(), 1);

    Canvas again(GetParam() == 32);
    DrawScene(g, files, &again);
    ASSERT_EQ(PresentScreen(), 0);
    shown = GetLastPresentedPixels(&w, &h);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), shown));
}

INSTANTIATE_TEST_SUITE_P(Depths, GraphScene, testing::Values(32, 16),
                         [](const testing::TestParamInfo<int>& p) { return "Bits" + std::to_string(p.param); });

}  // namespace
