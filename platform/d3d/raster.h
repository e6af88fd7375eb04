// The software device's rasteriser: triangles, lines and points of
// pre-transformed vertices through the texture stages, alpha test, colour
// key, depth test and blending into locked memory surfaces. d3d.cpp feeds it.
#pragma once

#include <cstdint>

#include "platform/d3d/d3d.h"

namespace d3dsoft {

// A locked surface and its layout.
struct PixelView {
    std::uint8_t* pixels = nullptr;
    int pitch = 0;
    int width = 0;
    int height = 0;
    int bytes = 0;  // 2 or 4
    DWORD mask[4] = {};  // blue, green, red, alpha
    int shift[4] = {};
    int bits[4] = {};
    DWORD spare = 0;  // bits of a pixel that belong to no channel; written set
    bool hasKey = false;
    DWORD key = 0;
    DWORD colourMask = 0;  // the bits compared with the key
    // A 16-bit layout's values decoded to BGRA, shared by every surface of the layout.
    const std::uint32_t* decode = nullptr;
};

// Fills the layout fields from a pixel format; false for a layout the
// rasteriser cannot read or write.
bool DescribeFormat(const DDPIXELFORMAT& format, PixelView* view);

struct Stage {
    DWORD colorOp = D3DTOP_DISABLE;
    DWORD colorArg1 = D3DTA_TEXTURE;
    DWORD colorArg2 = D3DTA_CURRENT;
    DWORD alphaOp = D3DTOP_DISABLE;
    DWORD alphaArg1 = D3DTA_TEXTURE;
    DWORD alphaArg2 = D3DTA_CURRENT;
    DWORD texCoordIndex = 0;
    DWORD address = D3DTADDRESS_WRAP;
    DWORD magFilter = D3DTFG_POINT;
    DWORD minFilter = 1;
    DWORD mipFilter = 1;
    IDirectDrawSurface7* texture = nullptr;
};

// One vertex after fetch, whatever its format.
struct Vertex {
    float x, y, z;
    std::uint8_t diffuse[4];  // blue, green, red, alpha
    std::uint8_t specular[4];
    float u[2], v[2];
};

// The alphas an alpha test passes, as vector code tests them: every compare passes one run of
// the 256 values or fails one, so a pixel fails when its alpha lies inside [low, high] exactly
// when `inside` says so.
struct AlphaBand {
    int low = 1, high = 0;
    bool inside = false;
};

// The common single-stage case decided once per draw: a point-sampled,
// clamped texture on stage 0, flat colour, no depth, a 32-bit target and one
// of the three usual blends.
struct FastSetup {
    bool ok = false;
    bool modColour = false;
    int alphaFrom = 0;  // 0 diffuse, 1 texel, 2 texel x diffuse
    int blend = 0;      // 0 none, 1 src-alpha/inv-src-alpha, 2 src-alpha/one
    bool key = false;
    bool alphaTest = false;
    DWORD alphaFunc = D3DCMP_ALWAYS;
    DWORD alphaRef = 0;
    AlphaBand band;
    bool unitColumns = false;  // a rectangle's cached columns step by one texel per pixel
    const int* rows = nullptr;  // a rectangle's texel row for each of its rows, from the first
};

// One draw's surfaces and states. The rasteriser keeps what it decides from them in it
// (fastKnown and fast): a context kept between draws must clear fastKnown at every draw.
struct DrawContext {
    PixelView target;
    PixelView depth;  // pixels null without a depth surface
    PixelView textures[8];  // pixels null for an unbound stage
    const Stage* stages = nullptr;
    const DWORD* renderStates = nullptr;  // indexed by D3DRENDERSTATETYPE, 256 entries
    RECT clip{};  // viewport within the target
    mutable bool fastKnown = false;
    mutable FastSetup fast;
    // The span routines of this draw's rectangles, whose columns step by one texel or not,
    // picked at their first use; cleared with the decision. Kept untyped: the routines' type
    // is private to the rasteriser.
    using RectSpan = void (*)();
    mutable RectSpan rectSpans[2] = {};
    // The decision as a rectangle hands it to its span, with the rectangle's own columns and rows.
    mutable FastSetup rectFast;
};

// Counters of the device's work, for tests and benchmarks.
struct RasterCounters {
    long long triangles = 0;
    long long rejected = 0;  // zero-area or culled at once
    long long pixels = 0;
};
extern RasterCounters g_counters;

inline void CountRejected()
{
    ++g_counters.triangles;
    ++g_counters.rejected;
}

// The widest span code to use: -1 none (every pixel through the general
// shader, for comparing), 0 scalar, 1 SSE2, 2 AVX2. Answers the level in
// effect, which is at most what the build and the processor offer; the
// fastest by default.
int SetSpanLevel(int level);

void DrawTriangle(const DrawContext& c, const Vertex& a, const Vertex& b, const Vertex& d);
// The triangles a[0..2] and b[0..2] at once when they are the halves (p0, p1, p2) and
// (p3, p2, p1) of an axis-aligned rectangle the span code draws, with the same pixels
// as DrawTriangle twice; false, having drawn nothing, when they are not.
bool DrawRectangle(const DrawContext& c, const Vertex* a, const Vertex* b);
void DrawLine(const DrawContext& c, const Vertex& a, const Vertex& b);
void DrawPoint(const DrawContext& c, const Vertex& a);

} // namespace d3dsoft
